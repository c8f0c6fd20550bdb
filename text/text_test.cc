#include "text/text.h"

#include <gtest/gtest.h>

#include <random>

#include "tests/test_util.h"

namespace travik {
namespace {

using testing::operator""_gbk;

// Literal double-byte stepping scans, for comparison with the fast searches.
int SteppingFind(std::string_view text, std::string_view sought, int start) {
  size_t len = text.size();
  size_t s = start > 1 ? static_cast<size_t>(start) - 1 : 0;
  if (s >= len) return -1;
  if (sought.empty()) return 1;
  size_t p = s;
  while (p < len && len - p >= sought.size()) {
    if (text.substr(p, sought.size()) == sought) return static_cast<int>(p) + 1;
    if (static_cast<unsigned char>(text[p]) >= 0x80) {
      if (p + 1 >= len) break;
      p += 2;
    } else {
      p += 1;
    }
  }
  return -1;
}

int SteppingFindReverse(std::string_view text, std::string_view sought, int start) {
  size_t len = text.size();
  size_t region = len;
  if (start != kWholeText) {
    size_t b = start > 1 ? static_cast<size_t>(start) - 1 : 0;
    region = std::min(b, len);
  }
  if (region == 0) return -1;
  if (sought.empty()) return 1;
  int found = -1;
  size_t p = 0;
  while (p < len) {
    if (p + sought.size() <= region && text.substr(p, sought.size()) == sought) {
      found = static_cast<int>(p) + 1;
    }
    if (static_cast<unsigned char>(text[p]) >= 0x80) {
      if (p + 1 >= len) break;
      p += 2;
    } else {
      p += 1;
    }
  }
  return found;
}

TEST(FindText, StepsOverDoubleByteCharacters) {
  // The text is a GBK file's: 中文 is four bytes, so the second "ab" starts at byte 7.
  EXPECT_EQ(FindText("ab中文ab"_gbk, "ab", 2), 7);
  EXPECT_EQ(FindText("ab中文ab"_gbk, "文"_gbk), 5);
  EXPECT_EQ(FindText("ab", "ab", 3), -1);
  EXPECT_EQ(FindText("abc", "", 1), 1);
  EXPECT_EQ(FindText("", "", 1), -1);
  EXPECT_EQ(FindText("abc", "", 9), -1);
  EXPECT_EQ(FindText("abc", "", 2), 1);  // 1, not start
  EXPECT_EQ(FindText("abc", "a", -5), 1);
  // D5 C2 (章) straddling two characters is not a match.
  std::string straddle = "\xB0\xD5\xC2\xB1";  // two characters: B0 D5, C2 B1
  EXPECT_EQ(FindText(straddle, "\xD5\xC2"), -1);
  // Starting the scan on the trail byte treats it as a character start.
  EXPECT_EQ(FindText(straddle, "\xD5\xC2", 2), 2);
  // A trail byte equal to '\' is not found inside its character.
  EXPECT_EQ(FindText("\x81\x5C", "\\"), -1);
  EXPECT_EQ(FindText("\x81\x5C\\", "\\"), 3);
  // A lone lead byte at the end is still a candidate.
  EXPECT_EQ(FindText("a\xB0", "\xB0"), 2);
}

TEST(FindTextReverse, StepsOverDoubleByteCharacters) {
  EXPECT_EQ(FindTextReverse("a\r\nb\r\nc", "\r\n", 6), 2);
  EXPECT_EQ(FindTextReverse("a\r\nb\r\nc", "\r\n", 7), 5);
  EXPECT_EQ(FindTextReverse("a\r\nb\r\nc", "\r\n"), 5);
  EXPECT_EQ(FindTextReverse("abc", "a", 1), -1);
  EXPECT_EQ(FindTextReverse("abc", "", 1), -1);
  EXPECT_EQ(FindTextReverse("abc", "", 2), 1);
  EXPECT_EQ(FindTextReverse("", "a"), -1);
  EXPECT_EQ(FindTextReverse("\xB0\xD5\xC2\xB1", "\xD5\xC2"), -1);
  EXPECT_EQ(FindTextReverse("\x81\x5C" "a\\", "\\"), 4);
  EXPECT_EQ(FindTextReverse("\\\x81\x5C", "\\"), 1);
  // A match found before a lone trailing lead byte is still returned.
  EXPECT_EQ(FindTextReverse("ab\xB0", "b"), 2);
}

TEST(FindText, AgreesWithSteppingScanOnRandomText) {
  std::mt19937 rng(20261207);
  const std::string needles[] = {"\xD5\xC2", "\r\n", "\\", "a", "\xA1\xA1", "\xC2\xD5", "b\xD5"};
  for (int round = 0; round < 3000; ++round) {
    std::string text = testing::RandomGbkText(rng, 60);
    if (round % 7 == 0 && !text.empty()) text.pop_back();  // sometimes a lone lead byte at the end
    const std::string& needle = needles[round % 7];
    int start = std::uniform_int_distribution<int>(-1, static_cast<int>(text.size()) + 2)(rng);
    ASSERT_EQ(FindText(text, needle, start), SteppingFind(text, needle, start))
        << "round " << round << " start " << start;
    ASSERT_EQ(FindTextReverse(text, needle, start), SteppingFindReverse(text, needle, start))
        << "round " << round << " start " << start;
    ASSERT_EQ(FindTextReverse(text, needle), SteppingFindReverse(text, needle, kWholeText))
        << "round " << round;
  }
}

TEST(BoundaryCursor, FollowsSteppingFromTheOrigin) {
  std::mt19937 rng(7);
  for (int round = 0; round < 500; ++round) {
    std::string text = testing::RandomGbkText(rng, 80);
    std::vector<bool> starts(text.size() + 1, false);
    for (size_t p = 0; p < text.size();) {
      starts[p] = true;
      p += static_cast<unsigned char>(text[p]) >= 0x80 ? 2 : 1;
      if (p >= text.size()) starts[std::min(p, text.size())] = true;
    }
    BoundaryCursor cursor(text);
    for (size_t q = 0; q < text.size(); q += 1 + rng() % 3) {
      ASSERT_EQ(cursor.IsCharStart(q), static_cast<bool>(starts[q])) << round << " at " << q;
    }
  }
}

TEST(Slicing, CutsBytesWithoutLookingAtCharacters) {
  EXPECT_EQ(MidText("abcdef", 5, 10), "ef");
  EXPECT_EQ(MidText("abc", 4, 1), "");
  EXPECT_EQ(MidText("abc", 0, 2), "");
  EXPECT_EQ(MidText("abc", 2, 0), "");
  EXPECT_EQ(LeftText("abc", 0), "");
  EXPECT_EQ(LeftText("abc", 2), "ab");
  EXPECT_EQ(RightText("abc", 5), "abc");
  EXPECT_EQ(RightText("abc", -1), "");
  EXPECT_EQ(LeftText("中"_gbk, 1), "\xD6");
  EXPECT_EQ(JoinText("a", std::string("b"), "", "c"), "abc");
  EXPECT_EQ(TextLength(""), 0);
  EXPECT_EQ(TextLength("中a"_gbk), 3);
}

TEST(CharCodeAt, IsSignedAndZeroOutOfRange) {
  EXPECT_EQ(CharCodeAt("中"_gbk, 1), -42);  // D6
  EXPECT_EQ(CharCodeAt("中"_gbk, 2), -48);  // D0
  EXPECT_EQ(CharCodeAt("\xB0", 1), -80);
  EXPECT_EQ(CharCodeAt("a", 2), 0);
  EXPECT_EQ(CharCodeAt("a", 0), 0);
  EXPECT_EQ(CharCodeAt("a", 1), 'a');
}

TEST(CompareText, ComparesUnsignedBytes) {
  EXPECT_EQ(CompareText("", ""), 0);
  EXPECT_LT(CompareText("", "a"), 0);
  EXPECT_GT(CompareText("\xB0", "a"), 0);
  EXPECT_LT(CompareText("ab", "abc"), 0);
  EXPECT_EQ(CompareText("0", "0"), 0);
}

// What a person typed (UTF-8): ASCII spaces and the ideographic space U+3000 (E3 80 80) go from
// both ends, nothing else, and never a byte of another character.
TEST(TrimSpaces, RemovesAsciiAndIdeographicSpaces) {
  EXPECT_EQ(TrimSpaces("　x 　"), "x");
  EXPECT_EQ(TrimSpaces("　 　"), "");
  EXPECT_EQ(TrimSpaces("\tx\t"), "\tx\t");
  EXPECT_EQ(TrimSpaces("  "), "");
  EXPECT_EQ(TrimSpaces(""), "");
  EXPECT_EQ(TrimSpaces(" 中 文 "), "中 文");
  EXPECT_EQ(TrimSpaces("　第一章　标题　"), "第一章　标题");  // spaces inside stay
  // Neighbours of U+3000 (、 is E3 80 81, 〃 E3 80 83) and other wide or fixed spaces are kept.
  EXPECT_EQ(TrimSpaces("、x、"), "、x、");
  EXPECT_EQ(TrimSpaces("〃 "), "〃");
  EXPECT_EQ(TrimSpaces("\xC2\xA0x\xE2\x80\x83"), "\xC2\xA0x\xE2\x80\x83");  // U+00A0, U+2003
  // The GBK form of the full-width space (A1 A1) is no space in a UTF-8 text.
  EXPECT_EQ(TrimSpaces("\xA1\xA1x"), "\xA1\xA1x");
  // A space cut short, or bytes that are no character, stay as they are.
  EXPECT_EQ(TrimSpaces(" x\xE3\x80"), "x\xE3\x80");
  EXPECT_EQ(TrimSpaces("\x80\x80 x"), "\x80\x80 x");
  EXPECT_EQ(TrimSpaces("x \xE3"), "x \xE3");
  // Four-byte characters next to the spaces are whole after the cut.
  EXPECT_EQ(TrimSpaces("　😀 𠀀　"), "😀 𠀀");
}

TEST(Conversions, FoldFullWidthFormsAndParseLikeTheCLibrary) {
  EXPECT_EQ(TextToInt("１２"), 12);  // full-width 1 2 (U+FF11 U+FF12)
  EXPECT_EQ(TextToInt("　－７"), -7);  // ideographic space, full-width minus
  EXPECT_EQ(TextToInt("＋１２章"), 12);
  EXPECT_EQ(TextToInt("1２3"), 123);  // ASCII and full-width digits mix
  EXPECT_EQ(TextToInt("第１２章"), 0);  // no digits first
  EXPECT_EQ(TextToInt("12abc"), 12);
  EXPECT_EQ(TextToInt("abc"), 0);
  EXPECT_EQ(TextToInt("  -7"), -7);
  EXPECT_EQ(TextToInt("\xA3\xB1\xA3\xB2"), 0);  // the GBK form of １２ is no number in UTF-8
  EXPECT_EQ(TextToInt(2.9), 2);
  EXPECT_EQ(TextToInt(-2.9), -2);
  EXPECT_EQ(TextToInt("99999999999"), INT32_MAX);
  EXPECT_EQ(TextToInt("９９９９９９９９９９９"), INT32_MAX);
  EXPECT_EQ(TextToInt("-99999999999"), INT32_MIN);
  EXPECT_EQ(TextToInt(1e20), INT32_MAX);
  EXPECT_DOUBLE_EQ(TextToNumber("1.5"), 1.5);
  EXPECT_DOUBLE_EQ(TextToNumber("１．５"), 1.5);  // full-width 1.5
  EXPECT_DOUBLE_EQ(TextToNumber("　２ｅ３"), 2000);
  EXPECT_DOUBLE_EQ(TextToNumber("－．５"), -0.5);
  EXPECT_DOUBLE_EQ(TextToNumber("x"), 0);
  EXPECT_DOUBLE_EQ(TextToNumber("inf"), 0);
  EXPECT_DOUBLE_EQ(TextToNumber("ｉｎｆ"), 0);
  EXPECT_DOUBLE_EQ(TextToNumber("０ｘ１０"), 0);  // no hexadecimal, full-width or not
  EXPECT_DOUBLE_EQ(TextToNumber("2e3"), 2000);
  // U+FF01..U+FF5E are "!".."~"; the ideographic space, ￥, ￣, ☆ and ★ as before.
  std::string all_forms, all_ascii;
  for (char32_t c = 0xFF01; c <= 0xFF5E; ++c) {
    all_forms += {static_cast<char>(0xE0 | c >> 12), static_cast<char>(0x80 | (c >> 6 & 0x3F)),
                  static_cast<char>(0x80 | (c & 0x3F))};
    all_ascii += static_cast<char>(c - 0xFF01 + '!');
  }
  EXPECT_EQ(all_forms.substr(0, 3), "！");
  EXPECT_EQ(all_forms.substr(all_forms.size() - 3), "～");
  EXPECT_EQ(FoldFullWidth(all_forms), all_ascii);
  EXPECT_EQ(FoldFullWidth("　～☆★￥￣"), " ~**$~");
  EXPECT_EQ(FoldFullWidth("第１２章ａＢ"), "第12章aB");
  // Their neighbours and other characters stay, and so do bytes that are no character.
  for (const char* kept : {"\xEF\xBC\x80", "｟", "｡", "ｱ", "￦", "、", "中", "😀", "é", "①", "\xA3\xB1",
                           "\xEF\xBC", "\xEF", "\x91"}) {
    EXPECT_EQ(FoldFullWidth(kept), kept) << testing::HexBytes(kept);
  }
  EXPECT_EQ(FoldFullWidth("\xEF\xBC\x91\x91"), "1\x91");  // a stray byte after a whole form
  EXPECT_EQ(FoldFullWidth("\xEF\xBC１"), "\xEF\xBC" "1");  // a cut-short form before a whole one
  EXPECT_EQ(NumberToText(0.1 + 0.2), "0.3");
  EXPECT_EQ(NumberToText(1.5), "1.5");
  EXPECT_EQ(NumberToText(2.0), "2");
  EXPECT_EQ(NumberToText(1024.25), "1024.25");
  EXPECT_EQ(NumberToText(0.0009765625), "0.0009765625");
  EXPECT_EQ(NumberToText(-12), "-12");
  EXPECT_EQ(SpaceText(0), "");
  EXPECT_EQ(SpaceText(260).size(), 260u);
  EXPECT_EQ(ToByteArray(std::string("a\0b", 3)).size(), 3u);
}

TEST(Arithmetic, RoundsHalfAwayFromZeroWithANudge) {
  EXPECT_DOUBLE_EQ(RoundTo(1.005, 2), 1.01);
  EXPECT_DOUBLE_EQ(RoundTo(2.345, 2), 2.35);
  EXPECT_DOUBLE_EQ(RoundTo(-2.5, 0), -3);
  EXPECT_DOUBLE_EQ(RoundTo(2.4), 2);
  EXPECT_DOUBLE_EQ(RoundTo(1234, -2), 1200);
  EXPECT_DOUBLE_EQ(RoundTo(0, 3), 0);
  EXPECT_EQ(IntegerPart(2.9999999999995), 3);
  EXPECT_EQ(IntegerPart(2.9999), 2);
  EXPECT_DOUBLE_EQ(Remainder(7.5, 2), 1.5);
  EXPECT_DOUBLE_EQ(Remainder(-7.5, 2), -1.5);
  std::vector<int> values = {3, -1, 2};
  SortIntegers(values);
  EXPECT_EQ(values, (std::vector<int>{-1, 2, 3}));
  SortIntegers(values, false);
  EXPECT_EQ(values, (std::vector<int>{3, 2, -1}));
}

}  // namespace
}  // namespace travik
