// Big5: the table against the system's converter over every code, conversions to and from the
// other encodings, the check of a text, and stepping against a literal model.
#include "text/big5.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "text/codepage.h"
#include "text/encoding.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

namespace travik {
namespace {

bool IsTrail(int trail) { return (trail >= 0x40 && trail <= 0x7E) || (trail >= 0xA1 && trail <= 0xFE); }
bool InUserDefinedRow(int lead) { return lead <= 0xA0 || lead >= 0xFA; }

#ifdef _WIN32
// Code page 950 as Windows (or Wine) decodes one pair; 0 when it is not exactly one character.
char32_t SystemPairValue(int lead, int trail) {
  const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
  wchar_t w[4];
  const int n = MultiByteToWideChar(950, MB_ERR_INVALID_CHARS, pair, 2, w, 4);
  return n == 1 ? static_cast<char32_t>(static_cast<unsigned short>(w[0])) : 0;
}
// The pair code page 950 writes a code point as; 0 when none (no best fit, no default char).
uint16_t SystemCodeOf(char32_t cp) {
  const wchar_t w = static_cast<wchar_t>(cp);
  char out[4];
  BOOL used_default = FALSE;
  const int n = WideCharToMultiByte(950, WC_NO_BEST_FIT_CHARS, &w, 1, out, 4, nullptr, &used_default);
  if (n != 2 || used_default) return 0;
  return static_cast<uint16_t>(static_cast<unsigned char>(out[0]) << 8 | static_cast<unsigned char>(out[1]));
}
// Windows decodes the user-defined rows too.
constexpr bool kSystemHasUserRows = true;
#else
char32_t SystemPairValue(int lead, int trail) {
  iconv_t cd = iconv_open("UTF-32LE", "CP950");
  if (cd == reinterpret_cast<iconv_t>(-1)) return 0;
  char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
  unsigned char wide[8];
  char* src = pair;
  size_t src_left = 2;
  char* dst = reinterpret_cast<char*>(wide);
  size_t dst_left = sizeof wide;
  const size_t r = iconv(cd, &src, &src_left, &dst, &dst_left);
  iconv_close(cd);
  if (r == static_cast<size_t>(-1) || src_left != 0 || sizeof wide - dst_left != 4) return 0;
  return wide[0] | wide[1] << 8 | wide[2] << 16 | static_cast<char32_t>(wide[3]) << 24;
}
uint16_t SystemCodeOf(char32_t cp) {
  iconv_t cd = iconv_open("CP950", "UTF-32LE");
  if (cd == reinterpret_cast<iconv_t>(-1)) return 0;
  unsigned char wide[4] = {static_cast<unsigned char>(cp), static_cast<unsigned char>(cp >> 8),
                           static_cast<unsigned char>(cp >> 16), 0};
  char* src = reinterpret_cast<char*>(wide);
  size_t src_left = 4;
  unsigned char out[4];
  char* dst = reinterpret_cast<char*>(out);
  size_t dst_left = sizeof out;
  const size_t r = iconv(cd, &src, &src_left, &dst, &dst_left);
  iconv_close(cd);
  if (r == static_cast<size_t>(-1) || sizeof out - dst_left != 2) return 0;
  return static_cast<uint16_t>(out[0] << 8 | out[1]);
}
// glibc's CP950 leaves the user-defined rows 81-A0 and FA-FE undecoded.
constexpr bool kSystemHasUserRows = false;
#endif

// Four double-line box drawings have a pair in row A2 and one in row F9: Windows writes the F9
// pair, glibc the A2 one. Ours is Windows'.
uint16_t WindowsCodeOf([[maybe_unused]] char32_t cp, uint16_t system) {
#ifndef _WIN32
  switch (cp) {
    case 0x2550: return 0xF9F9;
    case 0x255E: return 0xF9E9;
    case 0x256A: return 0xF9EA;
    case 0x2561: return 0xF9EB;
  }
#endif
  return system;
}

TEST(Big5Table, DecodesEveryPairAsTheSystemConverterDoes) {
  int characters = 0;
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    for (int trail = 0x00; trail <= 0xFF; ++trail) {
      const char32_t ours = Big5PairValue(static_cast<unsigned char>(lead),
                                          static_cast<unsigned char>(trail));
      const char32_t system = SystemPairValue(lead, trail);
      if (!kSystemHasUserRows && InUserDefinedRow(lead) && IsTrail(trail)) {
        // Private use, numbered from U+E000 in the order Windows numbers them.
        EXPECT_EQ(system, 0u) << std::hex << lead << ' ' << trail;
        EXPECT_TRUE(ours >= 0xE000 && ours <= 0xF848) << std::hex << lead << ' ' << trail;
      } else {
        ASSERT_EQ(ours, system) << std::hex << lead << ' ' << trail;
      }
      if (ours != 0) ++characters;
      EXPECT_EQ(ours != 0 && !IsTrail(trail), false) << std::hex << lead << ' ' << trail;
    }
  }
  // 13,911 characters and symbols, 5,809 user-defined pairs in the outer rows.
  EXPECT_EQ(characters, 13911 + 5809);
  EXPECT_EQ(Big5PairValue(0xFA, 0x40), 0xE000u);
  EXPECT_EQ(Big5PairValue(0x8E, 0x40), 0xE311u);
  EXPECT_EQ(Big5PairValue(0x81, 0x40), 0xEEB8u);
  EXPECT_EQ(Big5PairValue(0xC6, 0xA1), 0xF6B1u);
  EXPECT_EQ(Big5PairValue(0xFE, 0xFE), 0xE310u);
}

TEST(Big5Table, EncodesEveryCodePointAsTheSystemConverterDoes) {
  int held = 0;
  for (char32_t cp = 0x80; cp < 0x10000; ++cp) {
    if (cp >= 0xD800 && cp <= 0xDFFF) continue;
    const uint16_t ours = Big5CodeOf(cp);
    const uint16_t system = WindowsCodeOf(cp, SystemCodeOf(cp));
    if (!kSystemHasUserRows && ours != 0 && InUserDefinedRow(ours >> 8)) {
      EXPECT_EQ(system, 0u) << std::hex << cp;
    } else {
      ASSERT_EQ(ours, system) << std::hex << cp;
    }
    if (ours != 0) {
      ++held;
      // What a code point is written as reads back as it.
      EXPECT_EQ(Big5PairValue(ours >> 8, ours & 0xFF), cp) << std::hex << cp;
    }
  }
  // Twenty pairs repeat a character (box drawings, 十 and 卅): ten fewer code points than pairs.
  EXPECT_EQ(held, 13911 + 5809 - 10);
  EXPECT_EQ(Big5CodeOf(U'十'), 0xA451);
  EXPECT_EQ(Big5CodeOf(U'卅'), 0xA4CA);
  EXPECT_EQ(Big5CodeOf(U'a'), 0);
  EXPECT_EQ(Big5CodeOf(0x2550), 0xF9F9);
  EXPECT_EQ(Big5CodeOf(0x256D), 0xA27E);
}

TEST(Big5Text, ConvertsToAndFromTheOtherEncodings) {
  // 第一回 in Big5: B2C4 A440 A65E (a trail byte below 0x80).
  std::string text;
  ASSERT_TRUE(ConvertTypedText("第一回 話說，「天下」", Encoding::kBig5, &text));
  EXPECT_EQ(text.substr(0, 6), "\xB2\xC4\xA4\x40\xA6\x5E");
  std::string back;
  ASSERT_TRUE(ConvertText(text, Encoding::kBig5, Encoding::kUtf8, &back));
  EXPECT_EQ(back, "第一回 話說，「天下」");
  for (Encoding other : {Encoding::kGbk, Encoding::kGb18030, Encoding::kUtf8}) {
    std::string there, again;
    ASSERT_TRUE(ConvertText(text, Encoding::kBig5, other, &there)) << EncodingName(other);
    ASSERT_TRUE(ConvertText(there, other, Encoding::kBig5, &again)) << EncodingName(other);
    EXPECT_EQ(again, text) << EncodingName(other);
  }
  // Simplified characters and emoji are not in Big5: refused, never a question mark.
  std::string out = "unchanged";
  EXPECT_FALSE(ConvertTypedText("这", Encoding::kBig5, &out));
  EXPECT_FALSE(ConvertTypedText("😀", Encoding::kBig5, &out));
  EXPECT_FALSE(ConvertText("\xD5\xE2", Encoding::kGbk, Encoding::kBig5, &out));  // 这 in GBK
  EXPECT_EQ(out, "unchanged");
  // Bytes that are no Big5 character are refused.
  EXPECT_FALSE(ConvertText("\xA4\x80", Encoding::kBig5, Encoding::kUtf8, &out));
  EXPECT_FALSE(ConvertText("a\xA4", Encoding::kBig5, Encoding::kUtf8, &out));
  EXPECT_FALSE(ConvertText("\xFF\xA1", Encoding::kBig5, Encoding::kUtf8, &out));
  EXPECT_EQ(out, "unchanged");
  EXPECT_EQ(ToUtf8Lossy("\xB2\xC4\xA4\x80" "a", Encoding::kBig5), "第\xEF\xBF\xBD" "a");
  // The command line and the window name it.
  EncodingChoice choice = EncodingChoice::kAuto;
  EXPECT_TRUE(ParseEncodingChoice("BIG5", &choice));
  EXPECT_EQ(choice, EncodingChoice::kBig5);
  EXPECT_EQ(ChosenEncoding(choice), Encoding::kBig5);
  EXPECT_STREQ(EncodingChoiceName(choice), "Big5");
  EXPECT_STREQ(EncodingName(Encoding::kBig5), "Big5");
  EXPECT_TRUE(IsWorkingEncoding(Encoding::kBig5));
}

TEST(Big5Text, IsCheckedCharacterByCharacter) {
  EXPECT_EQ(CheckText("ab\xB2\xC4\r\n", Encoding::kBig5).check, TextCheck::kValid);
  EXPECT_EQ(FirstInvalidBig5Char("ab\xB2\xC4\r\n"), 6u);
  struct Case {
    std::string text;
    TextCheck check;
    size_t offset;
  };
  for (const Case& c : {Case{"a\xB2\xC4\xA4\x80", TextCheck::kInvalid, 3},  // trail 0x80
                        Case{"\x80" "a", TextCheck::kInvalid, 0},
                        Case{"ab\xFF\xA1", TextCheck::kInvalid, 2},
                        Case{"\xA4\x40\xA4\x0A", TextCheck::kInvalid, 2},  // a lead before LF
                        Case{"\xA4\x40\xA4", TextCheck::kCutShort, 2}}) {
    const TextCheckResult r = CheckText(c.text, Encoding::kBig5);
    EXPECT_EQ(r.check, c.check) << c.text;
    EXPECT_EQ(r.offset, c.offset) << c.text;
    EXPECT_EQ(FirstInvalidBig5Char(c.text), c.offset) << c.text;
  }
}

// The literal rule: a byte of 0x80 or above with a byte after it begins a two-byte character.
std::vector<size_t> ModelStarts(const std::string& text) {
  std::vector<size_t> starts;
  for (size_t i = 0; i < text.size();) {
    starts.push_back(i);
    i += static_cast<unsigned char>(text[i]) >= 0x80 && i + 1 < text.size() ? 2 : 1;
  }
  return starts;
}

TEST(Big5Text, StepsBetweenCharactersOnRandomTexts) {
  std::mt19937 rng(950);
  for (int round = 0; round < 2000; ++round) {
    std::string text;
    const size_t n = rng() % 60;
    for (size_t k = 0; k < n; ++k) {
      const unsigned r = rng() % 10;
      if (r < 3) {
        text += static_cast<char>(r == 0 ? '\n' : 0x40 + rng() % 0x3F);  // ASCII, also trail-like
      } else {
        const int lead = 0xA1 + static_cast<int>(rng() % (0xF9 - 0xA1 + 1));
        const int trail = rng() % 2 ? 0x40 + static_cast<int>(rng() % 0x3F)
                                    : 0xA1 + static_cast<int>(rng() % 0x5E);
        text += static_cast<char>(lead);
        text += static_cast<char>(trail);
      }
    }
    if (rng() % 4 == 0) text += '\xA4';  // a lone lead at the end
    const std::vector<size_t> starts = ModelStarts(text);
    std::vector<bool> is_start(text.size() + 1, false);
    for (size_t s : starts) is_start[s] = true;
    is_start[text.size()] = true;
    CharCursor cursor(text, Encoding::kBig5);
    for (size_t at = 0; at <= text.size(); ++at) {
      ASSERT_EQ(cursor.IsCharStart(at), is_start[at]) << "round " << round << " at " << at;
    }
    DecodedSearchText chars(text, Encoding::kBig5);
    for (size_t s : starts) {
      ASSERT_TRUE(chars.IsStart(s));
      const size_t length = CharLength(Encoding::kBig5, text.data() + s, text.data() + text.size());
      const CodePoint value = DecodeChar(Encoding::kBig5, text.data() + s, text.data() + text.size());
      const unsigned char lead = static_cast<unsigned char>(text[s]);
      if (length == 2) {
        const char32_t pair = Big5PairValue(lead, static_cast<unsigned char>(text[s + 1]));
        ASSERT_EQ(value, pair ? pair : kUndecodableBase + lead);
      } else {
        ASSERT_EQ(value, lead < 0x80 ? lead : kUndecodableBase + lead);
      }
    }
  }
}

}  // namespace
}  // namespace travik
