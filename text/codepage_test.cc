#include "text/codepage.h"

#include <random>

#include <gtest/gtest.h>

namespace travik {
namespace {

// Narrow literals are UTF-8 whichever compiler built the program: no execution character set of
// its own is asked for.
TEST(SourceLiterals, AreUtf8WithEveryCompiler) {
  EXPECT_EQ(std::string("任务完成"), "\xE4\xBB\xBB\xE5\x8A\xA1\xE5\xAE\x8C\xE6\x88\x90");
  EXPECT_EQ(sizeof "任务完成", 13u);
  EXPECT_EQ(std::string("章1A\x41第"), "\xE7\xAB\xA0" "1AA\xE7\xAC\xAC");
  EXPECT_EQ(std::wstring(L"第"), std::wstring(1, static_cast<wchar_t>(0x7B2C)));
  EXPECT_EQ(std::string("😀"), "\xF0\x9F\x98\x80");
}

TEST(Codepage, ConvertsGbkAndRejectsWhatDoesNotConvert) {
  std::string utf8;
  ASSERT_TRUE(GbkToUtf8("\xB5\xDA\xD2\xBB\xD5\xC2", &utf8));  // 第一章 in GBK
  EXPECT_EQ(utf8, "第一章");
  std::string gbk;
  ASSERT_TRUE(Utf8ToGbk(utf8, &gbk));
  EXPECT_EQ(gbk, "\xB5\xDA\xD2\xBB\xD5\xC2");
  EXPECT_FALSE(GbkToUtf8("\x81\x7F", &utf8));
  EXPECT_FALSE(GbkToUtf8("a\xB0", &utf8));  // incomplete character
  EXPECT_FALSE(Utf8ToGbk("\xF0\x9F\x98\x80", &gbk));  // an emoji has no GBK form
  EXPECT_FALSE(Utf8ToGbk("\xC3", &gbk));
  ASSERT_TRUE(GbkToUtf8("", &utf8));
  EXPECT_EQ(utf8, "");
}

TEST(Codepage, ShowsAFilesTextWithoutEverFailing) {
  EXPECT_EQ(ToUtf8Lossy("a\x81\x7F" "b\xD5\xC2", Encoding::kGbk), "a\xEF\xBF\xBD" "b章");
  EXPECT_EQ(ToUtf8Lossy("\xD5\xC2", Encoding::kGb18030), "章");
  EXPECT_EQ(ToUtf8Lossy("a\xE7\xAB" "b", Encoding::kUtf8), "a\xEF\xBF\xBD\xEF\xBF\xBD" "b");
  EXPECT_EQ(ToUtf8Lossy("章😀", Encoding::kUtf8), "章😀");
  EXPECT_TRUE(IsValidUtf8(""));
  EXPECT_TRUE(IsValidUtf8("a章😀𠀀 España 한국"));
  EXPECT_FALSE(IsValidUtf8("\xB5\xDA"));
  EXPECT_FALSE(IsValidUtf8("a\xE7\xAB"));
  EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));  // a surrogate's form is no UTF-8
  EXPECT_FALSE(IsValidUtf8(std::string(100, 'a') + "\xC0\x80"));
}

// Names the system gives come back unchanged through the program's UTF-8, whatever they hold.
TEST(WideText, RoundTripsEveryNameThroughUtf8) {
  EXPECT_EQ(Utf8ToWide("中\\"), std::wstring(L"\x4E2D\\"));
  EXPECT_EQ(WideToUtf8(L"\x4E2D"), "中");
  EXPECT_EQ(WideToUtf8(Utf8ToWide("2 😀.txt")), "2 😀.txt");
  EXPECT_EQ(WideToUtf8(Utf8ToWide("𠀀 한국 España")), "𠀀 한국 España");
  EXPECT_EQ(Utf8ToWide("a\xFF" "b"), std::wstring(L"a\xFFFD" L"b"));
  // A lone surrogate (a Windows name can hold one) keeps its place and value.
  std::wstring lone(L"x");
  lone += static_cast<wchar_t>(0xDC01);
  lone += L"y";
  EXPECT_EQ(Utf8ToWide(WideToUtf8(lone)), lone);
  const uint32_t seed = 1207;
  std::mt19937 rng(seed);
  const char32_t pool[] = {U'a', U'\\', U'\u4E2D', U'\u3010', U'\u20AC', U'\U00020000',
                           U'\U0001F600', U'\u00F1', U'\uD55C'};
  for (int round = 0; round < 2000; ++round) {
    std::wstring wide;
    for (int i = 0, n = static_cast<int>(rng() % 8); i < n; ++i) {
      const char32_t c = pool[rng() % (sizeof pool / sizeof pool[0])];
      if (sizeof(wchar_t) == 2 && c >= 0x10000) {
        wide += static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
        wide += static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
      } else {
        wide += static_cast<wchar_t>(c);
      }
    }
    const std::string utf8 = WideToUtf8(wide);
    ASSERT_TRUE(IsValidUtf8(utf8)) << "seed " << seed << " round " << round;
    ASSERT_EQ(Utf8ToWide(utf8), wide) << "seed " << seed << " round " << round;
  }
}

}  // namespace
}  // namespace travik

namespace travik {
namespace {

TEST(ConvertText, BetweenTheThreeEncodingsWithoutSubstituting) {
  const std::string utf8 = "\xE7\xAC\xAC\xE4\xB8\x80\xE7\xAB\xA0 a\\|\r\n";  // 第一章 a\|
  const std::string gbk = "\xB5\xDA\xD2\xBB\xD5\xC2 a\\|\r\n";  // 第一章 a\|
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

// What a person types (UTF-8) reaches each file in the file's encoding, or not at all.
TEST(TypedText, ReachesEveryEncodingOrIsRefused) {
  std::string out;
  ASSERT_TRUE(ConvertTypedText("注", Encoding::kGbk, &out));
  EXPECT_EQ(out, "\xD7\xA2");
  ASSERT_TRUE(ConvertTypedText("注", Encoding::kUtf8, &out));
  EXPECT_EQ(out, "\xE6\xB3\xA8");
  ASSERT_TRUE(ConvertTypedText("注", Encoding::kGb18030, &out));
  EXPECT_EQ(out, "\xD7\xA2");
  // A GBK file cannot hold an emoji; the others can.
  out = "unchanged";
  EXPECT_FALSE(ConvertTypedText("a😀", Encoding::kGbk, &out));
  EXPECT_EQ(out, "unchanged");
  ASSERT_TRUE(ConvertTypedText("a😀", Encoding::kUtf8, &out));
  EXPECT_EQ(out, "a\xF0\x9F\x98\x80");
  ASSERT_TRUE(ConvertTypedText("a😀", Encoding::kGb18030, &out));
  EXPECT_EQ(out, "a\x94\x39\xFC\x36");
  // The euro sign is GB18030's A2 E3, beside a character only GB18030 has.
  EXPECT_FALSE(ConvertTypedText("€𠀀注", Encoding::kGbk, &out));
  ASSERT_TRUE(ConvertTypedText("€𠀀注", Encoding::kGb18030, &out));
  EXPECT_EQ(out, "\xA2\xE3\x95\x32\x82\x36\xD7\xA2");
  // Bytes that are no UTF-8 are no typed text; UTF-16 is no file encoding.
  EXPECT_FALSE(ConvertTypedText("\xE6\xB3", Encoding::kGbk, &out));
  EXPECT_FALSE(ConvertTypedText("\xE6\xB3", Encoding::kGb18030, &out));
  out = "unchanged";
  EXPECT_FALSE(ConvertTypedText("a\xED\xA0\x80" "b", Encoding::kUtf8, &out));  // a lone surrogate
  EXPECT_FALSE(ConvertTypedText("\xE6\xB3", Encoding::kUtf8, &out));
  EXPECT_EQ(out, "unchanged");
  EXPECT_FALSE(ConvertTypedText("注", Encoding::kUtf16Le, &out));
}

TEST(EncodingChoice, ParsesTheCommandLinesNamesOnly) {
  EncodingChoice c = EncodingChoice::kAuto;
  const std::pair<const char*, EncodingChoice> names[] = {
      {"auto", EncodingChoice::kAuto},       {"GBK", EncodingChoice::kGbk},
      {"gb18030", EncodingChoice::kGb18030}, {"UTF-8", EncodingChoice::kUtf8},
      {"utf8", EncodingChoice::kUtf8},       {"Auto", EncodingChoice::kAuto},
      {"big5", EncodingChoice::kBig5},       {"BIG5", EncodingChoice::kBig5}};
  for (const auto& [name, choice] : names) {
    ASSERT_TRUE(ParseEncodingChoice(name, &c)) << name;
    EXPECT_EQ(c, choice) << name;
  }
  for (const char* bad : {"", "utf-16", "gb2312", "utf-8 ", "big5-hkscs", "cp950"}) {
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
