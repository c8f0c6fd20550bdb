#include "text/codepage.h"

#include <random>

#include <gtest/gtest.h>

namespace travik {
namespace {

// Narrow literals are GBK bytes whichever compiler built the program (clang compiles escaped
// copies of the sources); wide literals stay as the compiler writes them.
TEST(SourceLiterals, AreGbkBytesWithEveryCompiler) {
  EXPECT_EQ(std::string("任务完成"), "\xC8\xCE\xCE\xF1\xCD\xEA\xB3\xC9");
  EXPECT_EQ(sizeof "任务完成", 9u);
  // A digit or letter after a character stays its own byte (no escape swallows it).
  EXPECT_EQ(std::string("章1A\x41第"), "\xD5\xC2" "1AA\xB5\xDA");
  EXPECT_EQ(std::string("（" "字节）"), "\xA3\xA8\xD7\xD6\xBD\xDA\xA3\xA9");
  EXPECT_EQ(std::string("\"第\\章\""), "\"\xB5\xDA\\\xD5\xC2\"");  // escapes beside
  EXPECT_EQ(std::wstring(L"第"), std::wstring(1, static_cast<wchar_t>(0x7B2C)));
  EXPECT_EQ(std::string(u8"第"), "\xE7\xAC\xAC");
  EXPECT_EQ(std::u16string(u"第"), std::u16string(1, u'\x7B2C'));
  EXPECT_EQ(std::string(1, '"') + "第" + '\'' + "章", "\"\xB5\xDA'\xD5\xC2");
  // Raw literals keep their quotes, backslashes and line breaks; the next line keeps its number.
  const int line = __LINE__ + 3;
  EXPECT_EQ(std::string(R"x(第"\?)
章)x"), "\xB5\xDA\"\\?)\n\xD5\xC2");
  EXPECT_EQ(__LINE__, line);
  EXPECT_EQ(std::string(R"(a\b)"), "a\\b");
  // '章' in a comment, "第" in a comment: left as they are.
}

TEST(Codepage, ConvertsGbkAndRejectsWhatDoesNotConvert) {
  std::string utf8;
  ASSERT_TRUE(GbkToUtf8("第一章", &utf8));  // the literal is GBK in this program
  EXPECT_EQ(utf8, "\xE7\xAC\xAC\xE4\xB8\x80\xE7\xAB\xA0");
  std::string gbk;
  ASSERT_TRUE(Utf8ToGbk(utf8, &gbk));
  EXPECT_EQ(gbk, "第一章");
  EXPECT_FALSE(GbkToUtf8("\x81\x7F", &utf8));
  EXPECT_FALSE(GbkToUtf8("a\xB0", &utf8));  // incomplete character
  EXPECT_FALSE(Utf8ToGbk("\xF0\x9F\x98\x80", &gbk));  // an emoji has no GBK form
  EXPECT_FALSE(Utf8ToGbk("\xC3", &gbk));
  EXPECT_EQ(GbkToUtf8Lossy("a\x81\x7F" "b"), "a?b");
  ASSERT_TRUE(GbkToUtf8("", &utf8));
  EXPECT_EQ(utf8, "");
#ifdef _WIN32
  std::wstring wide;
  ASSERT_TRUE(GbkToWide("中\\", &wide));
  EXPECT_EQ(wide, L"\x4E2D\\");
  ASSERT_TRUE(WideToGbk(L"\x4E2D", &gbk));
  EXPECT_EQ(gbk, "中");
  EXPECT_FALSE(WideToGbk(L"\xD83D\xDE00", &gbk));
  EXPECT_FALSE(GbkToWide("\x81\x7F", &wide));
#endif
}

#ifdef _WIN32
// UTF-16 as the window gives it, in the typed form the command line gives for the same UTF-8.
TEST(WideToTypedText, AgreesWithTheCommandLinesFormOnRandomTexts) {
  // Characters GBK holds (ASCII, Han, the euro sign) and lacks (Extension B, an emoji, a Han
  // character outside GBK), and lone surrogates, which have no form anywhere.
  const char32_t pool[] = {U'a', U'\\', U'\u4E2D', U'\u3010', U'\u20AC', U'\U00020000',
                           U'\U0001F600', U'\u9FA6', 0xD800, 0xDC00};
  // The model: each code point as UTF-8 by hand, then the command line's conversion.
  const auto utf8_of = [](const std::u32string& text) {
    std::string out;
    for (char32_t c : text) {
      if (c < 0x80) {
        out += static_cast<char>(c);
      } else if (c < 0x800) {
        out += {static_cast<char>(0xC0 | c >> 6), static_cast<char>(0x80 | (c & 0x3F))};
      } else if (c < 0x10000) {
        out += {static_cast<char>(0xE0 | c >> 12), static_cast<char>(0x80 | (c >> 6 & 0x3F)),
                static_cast<char>(0x80 | (c & 0x3F))};
      } else {
        out += {static_cast<char>(0xF0 | c >> 18), static_cast<char>(0x80 | (c >> 12 & 0x3F)),
                static_cast<char>(0x80 | (c >> 6 & 0x3F)), static_cast<char>(0x80 | (c & 0x3F))};
      }
    }
    return out;
  };
  const uint32_t seed = 1207;
  std::mt19937 rng(seed);
  int lacking = 0, invalid = 0;
  for (int round = 0; round < 3000; ++round) {
    std::u32string text;
    std::wstring wide;
    const int length = static_cast<int>(rng() % 8);
    for (int i = 0; i < length; ++i) {
      // Lone surrogates are rare, so that most texts are valid.
      const size_t pick = rng() % 100 < 3 ? 8 + rng() % 2 : rng() % 8;
      const char32_t c = pool[pick];
      text += c;
      if (c >= 0x10000) {
        wide += static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
        wide += static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
      } else {
        wide += static_cast<wchar_t>(c);
      }
    }
    const bool lone = text.find(char32_t{0xD800}) != std::u32string::npos ||
                      text.find(char32_t{0xDC00}) != std::u32string::npos;
    std::string typed = "unchanged", expected;
    const bool converted = WideToTypedText(wide, &typed);
    ASSERT_EQ(converted, !lone) << "seed " << seed << " round " << round;
    if (lone) {
      EXPECT_EQ(typed, "unchanged");
      ++invalid;
      continue;
    }
    ASSERT_TRUE(Utf8ToTypedText(utf8_of(text), &expected));
    EXPECT_EQ(typed, expected) << "seed " << seed << " round " << round;
    // The typed form carries every character: back to UTF-8 it is the text itself.
    std::string back;
    ASSERT_TRUE(ConvertTypedText(typed, Encoding::kUtf8, &back));
    EXPECT_EQ(back, utf8_of(text)) << "seed " << seed << " round " << round;
    std::string gbk;
    if (!WideToGbk(wide, &gbk)) {
      ++lacking;
    } else {
      EXPECT_EQ(typed, gbk) << "what GBK holds stays GBK, byte for byte";
    }
  }
  EXPECT_GT(lacking, 500);
  EXPECT_GT(invalid, 10);
}
#endif

}  // namespace
}  // namespace travik

namespace travik {
namespace {

TEST(ConvertText, BetweenTheThreeEncodingsWithoutSubstituting) {
  const std::string utf8 = "\xE7\xAC\xAC\xE4\xB8\x80\xE7\xAB\xA0 a\\|\r\n";  // 第一章 a\|
  const std::string gbk = "第一章 a\\|\r\n";
  // 𠀀 (U+20000) and 😀 (U+1F600) exist in UTF-8 and GB18030 only.
  const std::string rare_utf8 = "a\xF0\xA0\x80\x80" "b\xF0\x9F\x98\x80";
  const std::string rare_gb18030 = "a\x95\x32\x82\x36" "b\x94\x39\xFC\x36";
  std::string out;
  ASSERT_TRUE(ConvertText(gbk, Encoding::kGbk, Encoding::kUtf8, &out));
  EXPECT_EQ(out, utf8);
  ASSERT_TRUE(ConvertText(utf8, Encoding::kUtf8, Encoding::kGbk, &out));
  EXPECT_EQ(out, gbk);
  ASSERT_TRUE(ConvertText(gbk, Encoding::kGbk, Encoding::kGb18030, &out));
  EXPECT_EQ(out, gbk);  // GB18030 keeps GBK's two-byte forms
  ASSERT_TRUE(ConvertText(rare_utf8, Encoding::kUtf8, Encoding::kGb18030, &out));
  EXPECT_EQ(out, rare_gb18030);
  ASSERT_TRUE(ConvertText(rare_gb18030, Encoding::kGb18030, Encoding::kUtf8, &out));
  EXPECT_EQ(out, rare_utf8);
  std::u32string cps;
  ASSERT_TRUE(DecodeText(rare_gb18030, Encoding::kGb18030, &cps));
  EXPECT_EQ(cps, U"a\U00020000b\U0001F600");
  // What GBK cannot hold, or invalid input, fails and leaves the output alone.
  out = "unchanged";
  EXPECT_FALSE(ConvertText(rare_utf8, Encoding::kUtf8, Encoding::kGbk, &out));
  EXPECT_FALSE(ConvertText(rare_gb18030, Encoding::kGb18030, Encoding::kGbk, &out));
  EXPECT_FALSE(ConvertText("a\xE7\xAC", Encoding::kUtf8, Encoding::kGb18030, &out));
  EXPECT_FALSE(ConvertText("\xED\xA0\x80", Encoding::kUtf8, Encoding::kGb18030, &out));
  EXPECT_FALSE(ConvertText("a\x95\x32\x41", Encoding::kGb18030, Encoding::kUtf8, &out));
  EXPECT_FALSE(ConvertText("ab", Encoding::kUtf16Le, Encoding::kUtf8, &out));
  EXPECT_FALSE(ConvertText("ab", Encoding::kUtf8, Encoding::kUtf16Be, &out));
  EXPECT_EQ(out, "unchanged");
  ASSERT_TRUE(ConvertText("", Encoding::kUtf8, Encoding::kGbk, &out));
  EXPECT_EQ(out, "");
}

}  // namespace
}  // namespace travik

#ifndef _WIN32
#include <iconv.h>
#endif
#include "text/gb18030.h"

namespace travik {
namespace {

// Every two-byte and four-byte BMP code, and the edges of the supplementary range: decoding
// agrees with the system's converter where there is one, and encoding gives the code back.
TEST(Gb18030Codec, AgreesWithTheSystemAndRoundTrips) {
  std::vector<std::string> codes;
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    for (int trail = 0x40; trail <= 0xFE; ++trail) {
      if (trail != 0x7F) codes.push_back({static_cast<char>(lead), static_cast<char>(trail)});
    }
  }
  for (int i = 0; i < 39420; ++i) {
    codes.push_back({static_cast<char>(0x81 + i / 12600), static_cast<char>(0x30 + i / 1260 % 10),
                     static_cast<char>(0x81 + i / 10 % 126), static_cast<char>(0x30 + i % 10)});
  }
  for (const char* c : {"\x90\x30\x81\x30", "\x95\x32\x82\x36", "\xE3\x32\x9A\x35",
                        "\xE3\x32\x9A\x36", "\x84\x31\xA5\x30", "\xFE\x39\xFE\x39"}) {
    codes.push_back(c);
  }
#ifndef _WIN32
  iconv_t cd = iconv_open("UTF-32LE", "GB18030");
  ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
#endif
  int decoded = 0;
  for (const std::string& code : codes) {
    std::u32string mine;
    const bool ok = DecodeGb18030(code, &mine);
#ifndef _WIN32
    char in[4], out[8];
    char* src = in;
    char* dst = out;
    size_t src_left = code.size(), dst_left = sizeof out;
    code.copy(in, code.size());
    const bool system_ok = iconv(cd, &src, &src_left, &dst, &dst_left) != static_cast<size_t>(-1) &&
                           dst_left == 4;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    ASSERT_EQ(ok, system_ok) << testing::PrintToString(code);
    if (ok) {
      const unsigned char* u = reinterpret_cast<const unsigned char*>(out);
      ASSERT_EQ(mine[0], static_cast<char32_t>(u[0] | u[1] << 8 | u[2] << 16 | u[3] << 24))
          << testing::PrintToString(code);
    }
#endif
    if (!ok) continue;
    ++decoded;
    ASSERT_EQ(mine.size(), 1u);
    std::string back;
    // A private-use value that the 2022 edition moved away from has no code of its own.
    if (EncodeGb18030(mine, &back)) {
      ASSERT_EQ(back, code) << testing::PrintToString(code);
    } else {
      ASSERT_TRUE(mine[0] >= 0xE000 && mine[0] <= 0xF8FF) << testing::PrintToString(code);
    }
  }
#ifndef _WIN32
  iconv_close(cd);
#endif
  EXPECT_GT(decoded, 63000);
  std::u32string cps;
  EXPECT_FALSE(DecodeGb18030("\xFE\x39\xFE\x39", &cps));  // beyond U+10FFFF
  EXPECT_FALSE(DecodeGb18030("\x80", &cps));
  std::string out;
  EXPECT_FALSE(EncodeGb18030(U"\xD800", &out));
  EXPECT_FALSE(EncodeGb18030(U"\x110000", &out));
  ASSERT_TRUE(EncodeGb18030(U"\x20087\x20000", &out));
  EXPECT_EQ(out, "\xFE\x51\x95\x32\x82\x36");
}

// What a person types reaches each file in the file's encoding, or not at all.
TEST(TypedText, ReachesEveryEncodingOrIsRefused) {
  std::string out;
  // Chinese text typed as GBK: copied into GBK files as typed, converted for the others.
  ASSERT_TRUE(ConvertTypedText("\xD7\xA2", Encoding::kGbk, &out));  // 注
  EXPECT_EQ(out, "\xD7\xA2");
  ASSERT_TRUE(ConvertTypedText("\xD7\xA2", Encoding::kUtf8, &out));
  EXPECT_EQ(out, "\xE6\xB3\xA8");
  ASSERT_TRUE(ConvertTypedText("\xD7\xA2", Encoding::kGb18030, &out));
  EXPECT_EQ(out, "\xD7\xA2");
  // An emoji can only be typed in its GB18030 form; a GBK file cannot hold it.
  const std::string emoji = "a\x94\x39\xFC\x36";  // a😀
  out = "unchanged";
  EXPECT_FALSE(ConvertTypedText(emoji, Encoding::kGbk, &out));
  EXPECT_EQ(out, "unchanged");
  ASSERT_TRUE(ConvertTypedText(emoji, Encoding::kUtf8, &out));
  EXPECT_EQ(out, "a\xF0\x9F\x98\x80");
  ASSERT_TRUE(ConvertTypedText(emoji, Encoding::kGb18030, &out));
  EXPECT_EQ(out, emoji);
  // GBK's euro sign (0x80, no GB18030 character) beside a character only GB18030 has: each
  // reads as what it is.
  const std::string euro_and_rare = "\x80\x95\x32\x82\x36\xD7\xA2";  // €, U+20000, 注
  EXPECT_FALSE(ConvertTypedText(euro_and_rare, Encoding::kGbk, &out));
  ASSERT_TRUE(ConvertTypedText(euro_and_rare, Encoding::kUtf8, &out));
  EXPECT_EQ(out, "\xE2\x82\xAC\xF0\xA0\x80\x80\xE6\xB3\xA8");
  ASSERT_TRUE(ConvertTypedText(euro_and_rare, Encoding::kGb18030, &out));
  EXPECT_EQ(out, "\xA2\xE3\x95\x32\x82\x36\xD7\xA2");
  // The command line's arguments: GBK where GBK holds them, else GB18030; invalid UTF-8 fails.
  ASSERT_TRUE(Utf8ToTypedText("\xE6\xB3\xA8", &out));
  EXPECT_EQ(out, "\xD7\xA2");
  ASSERT_TRUE(Utf8ToTypedText("\xF0\xA0\x80\x80", &out));  // U+20000
  EXPECT_EQ(out, "\x95\x32\x82\x36");
  EXPECT_FALSE(Utf8ToTypedText("\xE6\xB3", &out));
  EXPECT_FALSE(ConvertTypedText("\x95\x32\x82\x36", Encoding::kUtf16Le, &out));
}

TEST(EncodingChoice, ParsesTheCommandLinesNamesOnly) {
  EncodingChoice c = EncodingChoice::kAuto;
  const std::pair<const char*, EncodingChoice> names[] = {
      {"auto", EncodingChoice::kAuto},       {"GBK", EncodingChoice::kGbk},
      {"gb18030", EncodingChoice::kGb18030}, {"UTF-8", EncodingChoice::kUtf8},
      {"utf8", EncodingChoice::kUtf8},       {"Auto", EncodingChoice::kAuto}};
  for (const auto& [name, choice] : names) {
    ASSERT_TRUE(ParseEncodingChoice(name, &c)) << name;
    EXPECT_EQ(c, choice) << name;
  }
  for (const char* bad : {"", "utf-16", "gb2312", "utf-8 ", "big5"}) {
    c = EncodingChoice::kGb18030;
    EXPECT_FALSE(ParseEncodingChoice(bad, &c)) << bad;
    EXPECT_EQ(c, EncodingChoice::kGb18030) << bad;
  }
  EXPECT_STREQ(EncodingChoiceName(EncodingChoice::kUtf8), "UTF-8");
  EXPECT_STREQ(EncodingChoiceName(EncodingChoice::kAuto), "自动");
  EXPECT_EQ(ChosenEncoding(EncodingChoice::kGb18030), Encoding::kGb18030);
}

}  // namespace
}  // namespace travik
