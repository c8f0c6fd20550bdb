#include "core/codepage.h"

#include <gtest/gtest.h>

namespace travik {
namespace {

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
