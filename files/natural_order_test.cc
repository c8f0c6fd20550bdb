#include "files/natural_order.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "text/codepage.h"
#include "text/text.h"

namespace travik {
namespace {

// Chinese numerals as people write chapter numbers, for 0 < n < 100000000.
std::string ChineseNumber(int n) {
  static const char* kDigits[] = {"零", "一", "二", "三", "四", "五", "六", "七", "八", "九"};
  static const char* kUnits[] = {"", "十", "百", "千"};
  auto below_10000 = [&](int v, bool lead) {
    std::string out;
    bool zero = false;
    for (int u = 3; u >= 0; --u) {
      int d = v / (u == 3 ? 1000 : u == 2 ? 100 : u == 1 ? 10 : 1) % 10;
      if (d == 0) {
        zero = !out.empty() || !lead;
        continue;
      }
      if (zero && !out.empty()) out += "零";
      zero = false;
      if (!(d == 1 && u == 1 && out.empty() && lead)) out += kDigits[d];
      out += kUnits[u];
    }
    return out;
  };
  if (n >= 10000) {
    std::string out = below_10000(n / 10000, true) + "万";
    if (n % 10000 != 0) out += (n % 10000 < 1000 ? "零" : "") + below_10000(n % 10000, true);
    return out;
  }
  return below_10000(n, true);
}

// The number in full-width digits (U+FF10..U+FF19, EF BC 90..99).
std::string FullWidth(int n) {
  static const char* const kDigits[] = {"０", "１", "２", "３", "４", "５", "６", "７", "８", "９"};
  std::string out;
  for (char c : std::to_string(n)) out += kDigits[c - '0'];
  return out;
}

std::vector<std::string> Sorted(std::vector<std::string> names) {
  std::sort(names.begin(), names.end(), NaturalLess);
  return names;
}

TEST(NaturalOrder, NumbersCompareByValue) {
  EXPECT_EQ(Sorted({"10.txt", "2.txt", "1.txt", "12.txt", "11.txt"}),
            (std::vector<std::string>{"1.txt", "2.txt", "10.txt", "11.txt", "12.txt"}));
  EXPECT_TRUE(NaturalLess("小说_2.txt", "小说_10.txt"));
  EXPECT_TRUE(NaturalLess(FullWidth(9) + ".txt", FullWidth(10) + ".txt"));
  EXPECT_TRUE(NaturalLess(FullWidth(9) + ".txt", "10.txt"));  // full-width and ASCII mix
  EXPECT_TRUE(NaturalLess("9.txt", FullWidth(10) + ".txt"));
  EXPECT_EQ(FullWidth(120), "１２０");
  EXPECT_EQ(Sorted({"第１０章.txt", "第2章.txt", "第１章.txt", "第11章.txt", "第９章.txt"}),
            (std::vector<std::string>{"第１章.txt", "第2章.txt", "第９章.txt", "第１０章.txt",
                                      "第11章.txt"}));
  // Equal numbers written either way are still ordered, one way only.
  EXPECT_TRUE(NaturalLess("１", "1") != NaturalLess("1", "１"));
  // A full-width digit cut short at the end of a name is no digit (numbers come first).
  EXPECT_TRUE(NaturalLess("a1", "a\xEF\xBC"));
  EXPECT_TRUE(NaturalLess("a1", "a\xEF"));
  EXPECT_TRUE(NaturalLess("a2b3", "a2b10"));
  EXPECT_TRUE(NaturalLess("007", "8"));
  // Huge runs compare by length of their digits, not by a value that overflows.
  EXPECT_TRUE(NaturalLess("99999999999999999999999", "100000000000000000000000"));
  // Numbers come before other characters; a shorter name first when it is a prefix.
  EXPECT_TRUE(NaturalLess("1", "a"));
  EXPECT_TRUE(NaturalLess("abc", "abc1"));
  EXPECT_TRUE(NaturalLess("abc.txt", "abd.txt"));
  EXPECT_TRUE(NaturalLess("Abc", "abd"));  // ASCII case folded
}

TEST(NaturalOrder, ChineseNumeralsAfterDi) {
  EXPECT_EQ(Sorted({"第一百一十一章.txt", "第十章.txt", "第二章.txt", "第十一章.txt", "第一章.txt"}),
            (std::vector<std::string>{"第一章.txt", "第二章.txt", "第十章.txt", "第十一章.txt",
                                      "第一百一十一章.txt"}));
  EXPECT_TRUE(NaturalLess("第九十九章", "第一百章"));
  EXPECT_TRUE(NaturalLess("第一百零五章", "第一百一十章"));
  EXPECT_TRUE(NaturalLess("第两百章", "第三百章"));
  EXPECT_TRUE(NaturalLess("第一〇四章", "第一〇五章"));
  EXPECT_TRUE(NaturalLess("第九千九百九十九章", "第一万章"));
  EXPECT_TRUE(NaturalLess("第3章", "第四章"));  // digits and numerals are both numbers
  EXPECT_TRUE(NaturalLess("第四章", "第5章"));
  // Numerals not after 第 are ordinary characters: 十 (CA AE) is after 二 (B6 FE) by GBK code.
  EXPECT_TRUE(NaturalLess("卷二", "卷十"));
  EXPECT_FALSE(NaturalLess("卷十", "卷二"));
  EXPECT_TRUE(NaturalLess("二卷", "十卷"));
  EXPECT_TRUE(NaturalLess("第二卷第九章", "第二卷第十章"));
}

TEST(NaturalOrder, HeadPieceFirst) {
  EXPECT_EQ(Sorted({"第二章.txt", "1.txt", "头文本.txt", "a.txt"}),
            (std::vector<std::string>{"头文本.txt", "1.txt", "a.txt", "第二章.txt"}));
  EXPECT_TRUE(NaturalLess("头文本", "0"));
  EXPECT_FALSE(NaturalLess("头文本2.txt", "1.txt"));  // only the head piece itself
  EXPECT_FALSE(NaturalLess("头文本.txt.bak", "1.txt"));
}

// Parts of a chapter and of a book, as people name their files: 上 < 中 < 下, 前 < 后, front
// matter before the chapters and the afterword after them, whatever the numbers are written in.
TEST(NaturalOrder, PartsOfABookInReadingOrder) {
  EXPECT_EQ(Sorted({"第1章（下）.txt", "第1章（上）.txt", "第2章（上）.txt", "第1章（中）.txt"}),
            (std::vector<std::string>{"第1章（上）.txt", "第1章（中）.txt", "第1章（下）.txt",
                                      "第2章（上）.txt"}));
  EXPECT_EQ(Sorted({"第十章 下.txt", "第十章 中.txt", "第十章 上.txt", "第九章.txt"}),
            (std::vector<std::string>{"第九章.txt", "第十章 上.txt", "第十章 中.txt",
                                      "第十章 下.txt"}));
  EXPECT_EQ(Sorted({"第3章后篇.txt", "第3章前篇.txt"}),
            (std::vector<std::string>{"第3章前篇.txt", "第3章后篇.txt"}));
  EXPECT_TRUE(NaturalLess("上", "中"));
  EXPECT_TRUE(NaturalLess("中", "下"));
  EXPECT_TRUE(NaturalLess("上", "下"));
  EXPECT_TRUE(NaturalLess("前", "后"));
  EXPECT_FALSE(NaturalLess("下", "中"));
  EXPECT_FALSE(NaturalLess("后", "前"));
  EXPECT_EQ(Sorted({"番外2.txt", "第二章.txt", "完本感言.txt", "楔子.txt", "尾声.txt", "第一章.txt",
                    "后记.txt", "番外1.txt", "序.txt", "头文本.txt", "第十章.txt"}),
            (std::vector<std::string>{"头文本.txt", "序.txt", "楔子.txt", "第一章.txt",
                                      "第二章.txt", "第十章.txt", "尾声.txt", "后记.txt",
                                      "番外1.txt", "番外2.txt", "完本感言.txt"}));
  EXPECT_EQ(Sorted({"1.txt", "前言.txt", "引子.txt", "序章.txt", "2.txt", "番外 婚后.txt"}),
            (std::vector<std::string>{"序章.txt", "引子.txt", "前言.txt", "1.txt", "2.txt",
                                      "番外 婚后.txt"}));
  // Only a name that is the word itself is front matter: a chapter named after it stays a chapter.
  EXPECT_TRUE(NaturalLess("第一章.txt", "序曲 开端.txt"));
  EXPECT_TRUE(NaturalLess("第一章.txt", "前言后语.txt"));
  EXPECT_TRUE(NaturalLess("序.txt", "第一章.txt"));
  EXPECT_FALSE(NaturalLess("序.txt.bak", "第一章.txt"));
  std::vector<std::string> paths = {"b/尾声.txt", "a/第1章.txt", "c/序.txt"};
  SortPathsNaturally(paths, '/');
  EXPECT_EQ(paths, (std::vector<std::string>{"c/序.txt", "a/第1章.txt", "b/尾声.txt"}));
  // Windows takes "/" as a separator too: "travik-cli.exe merge -N ./*.txt" gives such paths.
  paths = {"Z:\\书\\./尾声.txt", "Z:\\书\\./第1章.txt", "Z:\\书/楔子.txt", "Z:\\书\\后记.txt"};
  SortPathsNaturally(paths, '\\');
  EXPECT_EQ(paths, (std::vector<std::string>{"Z:\\书/楔子.txt", "Z:\\书\\./第1章.txt",
                                             "Z:\\书\\./尾声.txt", "Z:\\书\\后记.txt"}));
}

// Random names from pieces that meet in numbers, numerals and double-byte characters.
std::string RandomName(std::mt19937& rng) {
  // Full-width digits, characters GBK lacks, and bytes that are no UTF-8 (cut-short sequences,
  // a stray FF, the GBK form of a name from an old disk).
  static const char* kParts[] = {"第", "章", "一", "十", "百", "零", "两", "0", "1", "2", "9",
                                 "１", "０", "a", "B", ".", "txt", "头文本", "\x81", "😀", "한",
                                 "𠀀", "ñ", "é", "\xEF\xBC", "\xFF", "\xF0\x9F", "\xB5\xDA"};
  std::string out;
  int n = static_cast<int>(rng() % 6);
  for (int i = 0; i < n; ++i) out += kParts[rng() % (sizeof(kParts) / sizeof(kParts[0]))];
  return out;
}

TEST(NaturalOrder, IsAStrictTotalOrder) {
  for (unsigned seed = 1; seed <= 4; ++seed) {
    std::mt19937 rng(seed);
    std::vector<std::string> names;
    for (int i = 0; i < 300; ++i) names.push_back(RandomName(rng));
    for (size_t i = 0; i < names.size(); ++i) {
      const std::string& a = names[i];
      const std::string& b = names[(i * 7 + 3) % names.size()];
      EXPECT_FALSE(NaturalLess(a, a)) << "seed " << seed << " " << a;
      int held = NaturalLess(a, b) + NaturalLess(b, a) + (a == b);
      EXPECT_EQ(held, 1) << "seed " << seed << " [" << a << "] [" << b << "]";
    }
    // Sorting checks the whole order: each neighbour pair in order, transitively.
    std::sort(names.begin(), names.end(), NaturalLess);
    for (size_t i = 0; i + 1 < names.size(); ++i) {
      EXPECT_FALSE(NaturalLess(names[i + 1], names[i])) << "seed " << seed;
      for (size_t j = i + 2; j < std::min(names.size(), i + 20); ++j) {
        EXPECT_FALSE(NaturalLess(names[j], names[i])) << "seed " << seed;
      }
    }
  }
}

// Every way of writing chapter numbers sorts as the numbers do.
TEST(NaturalOrder, AgreesWithTheNumbersWritten) {
  std::mt19937 rng(11);
  for (int round = 0; round < 2000; ++round) {
    int x = static_cast<int>(rng() % 120000) + 1, y = static_cast<int>(rng() % 120000) + 1;
    if (round % 3 == 0) y = x + 1;
    for (int form = 0; form < 3; ++form) {
      auto write = [form](int n) {
        std::string number = form == 0 ? ChineseNumber(n) : form == 1 ? FullWidth(n)
                                                                      : std::to_string(n);
        return "第" + number + "章 标题.txt";
      };
      EXPECT_EQ(NaturalLess(write(x), write(y)), x < y)
          << "seed 11 round " << round << ": " << x << " " << y << " form " << form;
    }
  }
}

TEST(NaturalOrder, SortsPathsByTheirNames) {
  std::vector<std::string> paths = {"b/10.txt", "a/2.txt", "b/1.txt", "a/1.txt"};
  SortPathsNaturally(paths, '/');
  EXPECT_EQ(paths, (std::vector<std::string>{"a/1.txt", "b/1.txt", "a/2.txt", "b/10.txt"}));
  // A separator after a three-byte character is a separator: 中 is E4 B8 AD, and GBK's stepping
  // would read AD and the separator as one character. The name is "b.txt", before "c.txt";
  // "中\b.txt" would come after it.
  for (const char separator : {'\\', '/'}) {
    const std::string sep(1, separator);
    std::vector<std::string> utf8 = {"y" + sep + "c.txt", "x" + sep + "中" + sep + "b.txt"};
    SortPathsNaturally(utf8, separator);
    EXPECT_EQ(utf8[0], "x" + sep + "中" + sep + "b.txt") << separator;
  }
  // Windows takes "/" for a separator as well: "./楔子.txt" (a shell's wildcard) is named 楔子,
  // which comes before the numbered chapters.
  std::vector<std::string> dotted = {"./第1章.txt", "./楔子.txt", "./尾声.txt"};
  SortPathsNaturally(dotted, '\\');
  EXPECT_EQ(dotted, (std::vector<std::string>{"./楔子.txt", "./第1章.txt", "./尾声.txt"}));
  // The folder decides only between equal names.
  std::vector<std::string> same = {"乙/第一章.txt", "甲/第一章.txt", "甲/第十章.txt", "乙/第二章.txt"};
  SortPathsNaturally(same, '/');
  EXPECT_EQ(same, (std::vector<std::string>{"甲/第一章.txt", "乙/第一章.txt", "乙/第二章.txt",
                                            "甲/第十章.txt"}));
}

// Names as UTF-8 keep the order they had as GBK: characters by their GBK codes (GB2312's
// characters by reading), and a character GBK lacks after every one it holds, at that place only.
TEST(NaturalOrder, NamesBeyondGbkComeAfterTheCharactersGbkHolds) {
  EXPECT_TRUE(NaturalLess("第二章.txt", "第十章.txt"));
  EXPECT_TRUE(NaturalLess("2.txt", "10.txt"));
  // By GBK code, where code points and UTF-8 bytes would say the other way.
  EXPECT_TRUE(NaturalLess("啊.txt", "吧.txt"));  // B0 A1 before B0 C9; U+554A after U+5427
  EXPECT_FALSE(NaturalLess("吧.txt", "啊.txt"));
  EXPECT_TRUE(NaturalLess("李.txt", "张.txt"));  // C0 EE before D5 C5; U+674E after U+5F20
  EXPECT_EQ(Sorted({"张三.txt", "李四.txt", "王五.txt", "赵六.txt"}),
            (std::vector<std::string>{"李四.txt", "王五.txt", "张三.txt", "赵六.txt"}));
  // 齄 (F7 FE) is the last character of GBK's Chinese rows; 丂 (81 40) the first of its others.
  for (const char* beyond : {"😀", "한국", "𠀀", "ñ", "É", "\U0010FFFD"}) {
    for (const char* held : {"齄", "丂", "z", "é", "Ａ", "\uE4C5"}) {  // E4C5: FE FE
      EXPECT_TRUE(NaturalLess(std::string("小说") + held + ".txt", std::string("小说") + beyond + ".txt"))
          << held << " " << beyond;
      EXPECT_FALSE(NaturalLess(std::string("小说") + beyond + ".txt", std::string("小说") + held + ".txt"))
          << held << " " << beyond;
    }
    // Only at that place: an earlier difference decides.
    EXPECT_TRUE(NaturalLess(std::string("第一章") + beyond + ".txt", "第二章.txt")) << beyond;
    EXPECT_TRUE(NaturalLess(std::string("a") + beyond, "b")) << beyond;
    EXPECT_TRUE(NaturalLess(std::string("第9章") + beyond, "第10章")) << beyond;
    // Numbers still come first.
    EXPECT_TRUE(NaturalLess("1", beyond)) << beyond;
  }
  EXPECT_EQ(Sorted({"España.txt", "Espb.txt", "Espé.txt", "Espa.txt", "Espaz.txt"}),
            (std::vector<std::string>{"Espa.txt", "Espaz.txt", "España.txt", "Espb.txt", "Espé.txt"}));
  EXPECT_EQ(Sorted({"😀.txt", "한국.txt", "韩国.txt", "𠀀.txt", "10.txt", "头文本.txt", "中.txt"}),
            (std::vector<std::string>{"头文本.txt", "10.txt", "韩国.txt", "中.txt", "한국.txt",
                                      "😀.txt", "𠀀.txt"}));
  // Names whose bytes are no UTF-8 are ordered too, and apart from any name that is.
  EXPECT_TRUE(NaturalLess("\xB5\xDA.txt", "\xB5\xDB.txt") != NaturalLess("\xB5\xDB.txt", "\xB5\xDA.txt"));
  EXPECT_NE(NaturalLess("\xFF", "😀"), NaturalLess("😀", "\xFF"));
}

// The order of names is the order of their GBK forms, byte by byte, when they hold no numbers,
// and no upper-case ASCII letters (a literal model of the order names had as GBK, character by
// character), with 下 and 后 taken as if they stood right after 中 and 前.
TEST(NaturalOrder, FollowsTheGbkBytesOfNamesWithoutNumbers) {
  static const char* const kChars[] = {"章", "节", "卷", "上", "下", "篇", "阿", "啊", "齄", "丂",
                                       "亇", "東", "乗", "α", "Я", "ā", "é", "ü", "Ａ", "ａ", "　",
                                       "，", "。", "、", "《", "》", "（", "a", "z", "_", "-", " ",
                                       ".", "~", "〇", "々", "あ", "ア", "中", "前",
                                       "后", "之"};
  auto gbk = [](const std::string& utf8) {
    std::string out;
    EXPECT_TRUE(Utf8ToGbk(utf8, &out)) << utf8;
    // Each character in GBK is one byte (ASCII) or two, compared as three: its bytes and zeros,
    // but 下 and 后 as 中 and 前 followed by 01, between them and the next code.
    std::string keyed;
    for (size_t i = 0; i < out.size();) {
      const size_t n = static_cast<unsigned char>(out[i]) < 0x80 ? 1 : 2;
      const std::string c = out.substr(i, n);
      keyed += c == "\xCF\xC2" ? std::string("\xD6\xD0\x01")
               : c == "\xBA\xF3" ? std::string("\xC7\xB0\x01")
                                  : c + std::string(3 - n, '\0');
      i += n;
    }
    return keyed;
  };
  std::mt19937 rng(2025);
  for (int round = 0; round < 20000; ++round) {
    std::string a, b;
    const int length = static_cast<int>(rng() % 5), shared = static_cast<int>(rng() % (length + 1));
    for (int n = 0; n < length; ++n) {
      a += kChars[rng() % std::size(kChars)];
      if (n + 1 == shared) b = a;  // often a shared beginning
    }
    for (int n = static_cast<int>(rng() % 4); n > 0; --n) b += kChars[rng() % std::size(kChars)];
    if (rng() % 2) std::swap(a, b);
    EXPECT_EQ(NaturalLess(a, b), CompareText(gbk(a), gbk(b)) < 0)
        << "seed 2025 round " << round << " [" << a << "] [" << b << "]";
  }
}

}  // namespace
}  // namespace travik
