#include "text/text.h"

#include <gtest/gtest.h>

#include <random>

#include "tests/test_util.h"

namespace travik {
namespace {

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
  EXPECT_EQ(FindText("ab中文ab", "ab", 2), 7);
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
  EXPECT_EQ(LeftText("中", 1), "\xD6");
  EXPECT_EQ(JoinText("a", std::string("b"), "", "c"), "abc");
  EXPECT_EQ(TextLength(""), 0);
  EXPECT_EQ(TextLength("中a"), 3);
}

TEST(CharCodeAt, IsSignedAndZeroOutOfRange) {
  EXPECT_LT(CharCodeAt("中", 1), 0);
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

TEST(TrimSpaces, RemovesAsciiAndFullWidthSpaces) {
  EXPECT_EQ(TrimSpaces("\xA1\xA1x \xA1\xA1"), "x");
  EXPECT_EQ(TrimSpaces("\tx\t"), "\tx\t");
  EXPECT_EQ(TrimSpaces("  "), "");
  EXPECT_EQ(TrimSpaces(""), "");
  EXPECT_EQ(TrimSpaces(" 中 文 "), "中 文");
  // A1 A1 made of the trail byte of one character and the lead byte of the next is no space.
  EXPECT_EQ(TrimSpaces("\xB0\xA1\xA1\xB0"), "\xB0\xA1\xA1\xB0");
  EXPECT_EQ(TrimSpaces("x\xB0\xA1\xA1"), "x\xB0\xA1");  // ends in a lone lead byte: only it goes
  EXPECT_EQ(TrimSpaces("x  \xB0"), "x  ");
}

TEST(Conversions, FoldFullWidthFormsAndParseLikeTheCLibrary) {
  EXPECT_EQ(TextToInt("\xA3\xB1\xA3\xB2"), 12);  // full-width 1 2
  EXPECT_EQ(TextToInt("12abc"), 12);
  EXPECT_EQ(TextToInt("abc"), 0);
  EXPECT_EQ(TextToInt("  -7"), -7);
  EXPECT_EQ(TextToInt(2.9), 2);
  EXPECT_EQ(TextToInt(-2.9), -2);
  EXPECT_EQ(TextToInt("99999999999"), INT32_MAX);
  EXPECT_EQ(TextToInt(1e20), INT32_MAX);
  EXPECT_DOUBLE_EQ(TextToNumber("1.5"), 1.5);
  EXPECT_DOUBLE_EQ(TextToNumber("\xA3\xB1\xA3\xAE\xA3\xB5"), 1.5);  // full-width 1.5
  EXPECT_DOUBLE_EQ(TextToNumber("x"), 0);
  EXPECT_DOUBLE_EQ(TextToNumber("inf"), 0);
  EXPECT_DOUBLE_EQ(TextToNumber("2e3"), 2000);
  EXPECT_EQ(FoldFullWidth("\xA1\xA1\xA1\xAB\xA1\xEE\xA1\xEF"), " ~**");
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
