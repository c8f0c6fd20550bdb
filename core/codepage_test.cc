#include "core/codepage.h"

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

}  // namespace
}  // namespace travik
