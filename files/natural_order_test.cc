#include "files/natural_order.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

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

std::string FullWidth(int n) {
  std::string out;
  for (char c : std::to_string(n)) out += std::string("\xA3") + static_cast<char>(0xB0 + c - '0');
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
  // Numerals not after 第 are ordinary characters: 十 (CA AE) is after 二 (B6 FE) by bytes.
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

// Random names from pieces that meet in numbers, numerals and double-byte characters.
std::string RandomName(std::mt19937& rng) {
  static const char* kParts[] = {"第", "章", "一", "十", "百", "零", "两", "0", "1", "2", "9",
                                 "\xA3\xB1", "\xA3\xB0", "a", "B", ".", "txt", "头文本", "\x81"};
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
  // 0x5C as the second byte of a GBK character is no separator.
  // Its name is "\x95\\1.txt", which comes after "a.txt"; "1.txt" would come before.
  std::vector<std::string> gbk = {"x\\\x95\\1.txt", "y\\a.txt"};
  SortPathsNaturally(gbk, '\\');
  EXPECT_EQ(gbk[0], "y\\a.txt");
}

}  // namespace
}  // namespace travik
