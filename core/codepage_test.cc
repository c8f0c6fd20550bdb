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
