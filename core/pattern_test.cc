#include "core/pattern.h"

#include <gtest/gtest.h>

#include "core/text.h"
#include "tests/test_util.h"

namespace travik {
namespace {

std::vector<std::string> AllMatchTexts(std::string_view pattern, std::string_view text) {
  Pattern p;
  EXPECT_TRUE(RegexCompile(&p, pattern)) << pattern;
  RegexSearchResult r = RegexSearchAll(p, text);
  std::vector<std::string> out;
  for (const MatchRecord& m : r.matches) out.push_back(MatchText(m, text));
  return out;
}

std::vector<int64_t> AllMatchPositions(std::string_view pattern, std::string_view text) {
  Pattern p;
  EXPECT_TRUE(RegexCompile(&p, pattern)) << pattern;
  std::vector<int64_t> out;
  for (const MatchRecord& m : RegexSearchAll(p, text).matches) out.push_back(MatchPosition(m));
  return out;
}

TEST(RegexSearchAll, SeesCharactersNotBytes) {
  std::string text = "第一章 甲\r\n正文\r\n第二章 乙\r\n";
  EXPECT_EQ(AllMatchTexts("第.+章", text), (std::vector<std::string>{"第一章 甲\r\n正文\r\n第二章"}));
  EXPECT_EQ(AllMatchTexts("(?-s)第.+章", text), (std::vector<std::string>{"第一章", "第二章"}));
  EXPECT_EQ(AllMatchTexts("第.章", text), (std::vector<std::string>{"第一章", "第二章"}));
  EXPECT_TRUE(AllMatchTexts("第..章", text).empty());
  EXPECT_EQ(AllMatchTexts("第[一二三四五六七八九十百千零]+章", "第十二章"),
            (std::vector<std::string>{"第十二章"}));
  EXPECT_EQ(AllMatchTexts("哈{2}", "哈哈哈哈哈"), (std::vector<std::string>{"哈哈", "哈哈"}));
  // 東 is 96 7C: its second byte is no "|", and it matches only itself.
  EXPECT_EQ(AllMatchPositions("東", "a東b東"), (std::vector<int64_t>{1, 4}));
  EXPECT_TRUE(AllMatchPositions("東", "abc").empty());
  // Second bytes "^", "[", "]", "\", "{", "}" as in 頭 過 遊 錦 and others.
  for (const char* c : {"頭", "過", "遊", "錦", "\x81\x5B", "\x81\x5D", "\x81\x5C", "\x81\x7B", "\x81\x7D"}) {
    EXPECT_EQ(AllMatchPositions(c, std::string("x") + c + "\x81\x40" + c), (std::vector<int64_t>{1, 5}))
        << c;
  }
  // 日落 is C8 D5 C2 E4: its middle bytes are 章, which is no match.
  EXPECT_TRUE(AllMatchPositions("章", "日落").empty());
  EXPECT_TRUE(AllMatchTexts("^第.{2,16}章", "第二日落时分，天色已晚。\n").empty());
  EXPECT_EQ(AllMatchTexts("^第.{2,16}章", "第二日落时分\n第三章 乙"),
            (std::vector<std::string>{"第二日落时分\n第三章"}));
  // A trail byte "\" is no match for "\\\\"; the ASCII one after it is.
  EXPECT_EQ(AllMatchPositions("\\\\", "\x81\x5C\\"), (std::vector<int64_t>{2}));
  // Bytes that do not decode match "." and negated classes, never a literal.
  EXPECT_EQ(AllMatchPositions(".", "\x80\x41z"), (std::vector<int64_t>{0, 2}));
  EXPECT_EQ(AllMatchPositions("[^z]", "\x80\x41z\xFF"), (std::vector<int64_t>{0, 3}));
  EXPECT_TRUE(AllMatchPositions("\x80\x41", "\x80\x41").empty());
  EXPECT_TRUE(AllMatchTexts("abc", "ABC").empty());
  Pattern p;
  EXPECT_TRUE(RegexCompile(&p, "abc", false));
  EXPECT_EQ(RegexSearchAll(p, "xABC").size(), 1u);
}

TEST(RegexSearchAll, AnInvalidPatternSaysWhy) {
  Pattern p;
  EXPECT_FALSE(RegexCompile(&p, "(ab"));
  EXPECT_FALSE(p.valid());
  EXPECT_NE(p.error().find("parenthesis"), std::string::npos) << p.error();
  EXPECT_TRUE(RegexSearchAll(p, "(ab").empty());
  EXPECT_FALSE(RegexCompile(&p, "第[章"));
  EXPECT_FALSE(p.error().empty());
  EXPECT_TRUE(RegexCompile(&p, "東"));  // byte 7C of 東 is no alternation
  EXPECT_TRUE(p.error().empty());
}

TEST(RegexSearchAll, AnchorsAndLookBehindSeeTheWholeText) {
  std::string text = "第一\r\n第二\n第三";
  EXPECT_EQ(AllMatchPositions("^第", text), (std::vector<int64_t>{0, 6, 11}));
  // "^" matches at line starts only, also right after a previous match.
  EXPECT_EQ(AllMatchPositions("^a", "aaa\naa"), (std::vector<int64_t>{0, 4}));
  // "^" after a lone CR matches, but not between CR and LF.
  EXPECT_EQ(AllMatchPositions("^x", "x\rx\r\nx"), (std::vector<int64_t>{0, 2, 5}));
  // "$" before CR LF but not between them.
  EXPECT_EQ(AllMatchPositions("b$", "ab\r\nab"), (std::vector<int64_t>{1, 5}));
  EXPECT_EQ(AllMatchPositions("\\r$", "a\r\nb\r"), (std::vector<int64_t>{4}));
  // Look-behind and \b see the character before the place the search goes on from.
  EXPECT_EQ(AllMatchPositions("(?<=甲)乙", "甲乙乙甲乙"), (std::vector<int64_t>{2, 8}));
  EXPECT_EQ(AllMatchPositions("(?<=日)落", "日落"), (std::vector<int64_t>{2}));
  EXPECT_EQ(AllMatchPositions("\\bb", "b bb"), (std::vector<int64_t>{0, 2}));
  EXPECT_EQ(AllMatchPositions("(?<!a)b", "abbab"), (std::vector<int64_t>{2}));
  Pattern p;
  RegexCompile(&p, "x");
  EXPECT_EQ(MatchPosition(RegexSearchAll(p, "xa")[0]), 0);
  EXPECT_TRUE(RegexSearchAll(p, "").empty());
}

TEST(RegexSearchAll, EveryEmptyMatchIsKeptOnce) {
  EXPECT_EQ(AllMatchPositions("^", "甲\r\n乙\n\n丙"), (std::vector<int64_t>{0, 4, 7, 8}));
  // No line follows a final line break.
  EXPECT_EQ(AllMatchPositions("^", "甲\n乙\n"), (std::vector<int64_t>{0, 3}));
  EXPECT_EQ(AllMatchPositions("$", "ab\ncd"), (std::vector<int64_t>{2, 5}));
  EXPECT_EQ(AllMatchPositions("^(?=第)", "第一\n正文\n第二"), (std::vector<int64_t>{0, 10}));
  EXPECT_EQ(AllMatchPositions("x*", "中x"), (std::vector<int64_t>{0, 2, 3}));
  EXPECT_EQ(AllMatchPositions("(?=b)", "中b中b"), (std::vector<int64_t>{2, 5}));
  EXPECT_EQ(AllMatchPositions("(?=a)|b", "中ab"), (std::vector<int64_t>{2, 3}));
}

TEST(RegexSearchAll, ReportsASearchTheLibraryAbandons) {
  Pattern p;
  ASSERT_TRUE(RegexCompile(&p, "(a*)*b"));
  std::string text(5000, 'a');
  RegexSearchResult r = RegexSearchAll(p, "b" + text);
  EXPECT_TRUE(r.cut_short);
  EXPECT_EQ(r.size(), 1u);  // the match before the library gave up is kept
}

TEST(RegexSearchAll, FindsOnlyTheRealCharactersInTheCorpus) {
  std::string path = testing::CorpusFile();
  if (path.empty()) GTEST_SKIP() << "sample corpus not found";
  std::string text;
  ASSERT_TRUE(testing::ReadFileBytes(path, &text));
  Pattern p;
  ASSERT_TRUE(RegexCompile(&p, "章"));
  RegexSearchResult r = RegexSearchAll(p, text);
  EXPECT_FALSE(r.cut_short);
  EXPECT_EQ(r.size(), 2919u);
  int bytes = 0;
  for (int at = FindText(text, "\xD5\xC2"), from = 1; at != -1; at = FindText(text, "\xD5\xC2", from)) {
    ++bytes;
    from = at + 2;
  }
  EXPECT_EQ(bytes, 2919);  // FindText steps over characters as well
  size_t raw = 0;
  for (size_t at = text.find("\xD5\xC2"); at != std::string::npos; at = text.find("\xD5\xC2", at + 1)) {
    ++raw;
  }
  EXPECT_EQ(raw, 3294u);
  ASSERT_TRUE(RegexCompile(&p, "^第"));
  EXPECT_EQ(RegexSearchAll(p, text).size(), 900u);
}

}  // namespace
}  // namespace travik
