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

TEST(RegexSearchAll, DotMatchesLineBreaksAndSingleBytes) {
  std::string text = "第一章 甲\r\n正文\r\n第二章 乙\r\n";
  EXPECT_EQ(AllMatchTexts("第.+章", text), (std::vector<std::string>{"第一章 甲\r\n正文\r\n第二章"}));
  EXPECT_EQ(AllMatchTexts("第[^\\r\\n]+章", text),
            (std::vector<std::string>{"第一章", "第二章"}));
  EXPECT_TRUE(AllMatchTexts("第.章", "第一章").empty());
  EXPECT_EQ(AllMatchTexts("第..章", "第一章"), (std::vector<std::string>{"第一章"}));
  EXPECT_TRUE(AllMatchTexts("abc", "ABC").empty());
  Pattern p;
  EXPECT_TRUE(RegexCompile(&p, "abc", false));
  EXPECT_EQ(RegexSearchAll(p, "xABC").size(), 1u);
  EXPECT_FALSE(RegexCompile(&p, "(ab"));
  EXPECT_FALSE(p.valid());
  EXPECT_TRUE(RegexSearchAll(p, "(ab").empty());
}

TEST(RegexSearchAll, AnchorsSeeEachRangeAsATextOfItsOwn) {
  std::string text = "第一\r\n第二\n第三";
  EXPECT_EQ(AllMatchPositions("^第", text), (std::vector<int64_t>{0, 6, 11}));
  // Right after a match the next range begins, so "^" matches there too.
  EXPECT_EQ(AllMatchPositions("^a", "aaa"), (std::vector<int64_t>{0, 1, 2}));
  // "^" after a lone CR matches, but not between CR and LF.
  EXPECT_EQ(AllMatchPositions("^x", "x\rx\r\nx"), (std::vector<int64_t>{0, 2, 5}));
  // "$" before CR LF but not between them.
  EXPECT_EQ(AllMatchPositions("b$", "ab\r\nab"), (std::vector<int64_t>{1, 5}));
  EXPECT_EQ(AllMatchPositions("\\r$", "a\r\nb\r"), (std::vector<int64_t>{4}));
  Pattern p;
  RegexCompile(&p, "x");
  EXPECT_EQ(MatchPosition(RegexSearchAll(p, "xa")[0]), 0);
  EXPECT_TRUE(RegexSearchAll(p, "").empty());
}

TEST(RegexSearchAll, NeverStartsOnASecondByte) {
  // B0 D5 | C2 B1: D5 C2 straddles two characters.
  EXPECT_TRUE(AllMatchPositions("\xD5\xC2", "\xB0\xD5\xC2\xB1").empty());
  EXPECT_EQ(AllMatchPositions("\xD5\xC2", "\xB0\xD5\xC2\xB1\xD5\xC2"), (std::vector<int64_t>{4}));
  // A trail byte '\' is not a match for "\\\\"; the ASCII one after it is.
  EXPECT_EQ(AllMatchPositions("\\\\", "\x81\x5C\\"), (std::vector<int64_t>{2}));
  // The search goes on within the same range: "^" does not match in the middle of a line.
  EXPECT_TRUE(AllMatchPositions("^\xC2", "\xD5\xC2").empty());
  // Look-behind still sees the byte before.
  EXPECT_EQ(AllMatchPositions("(?<=\xB1)\xD5", "\xB0\xB1\xD5\xC2"), (std::vector<int64_t>{2}));
  EXPECT_EQ(AllMatchPositions("(?<=\xB1\xB1)\xD5", "\xB1\xB1\xD5\xC2"), (std::vector<int64_t>{2}));
}

TEST(RegexSearchAll, EmptyMatchesDoNotLoop) {
  // An empty match at the very start ends the list.
  EXPECT_EQ(AllMatchPositions("x*", "abc"), (std::vector<int64_t>{0}));
  // After an empty match elsewhere the search moves one character on; the end stops it.
  EXPECT_EQ(AllMatchPositions("$", "ab\ncd"), (std::vector<int64_t>{2, 5}));
  EXPECT_EQ(AllMatchPositions("(?=b)", "中b中b"), (std::vector<int64_t>{2, 5}));
  EXPECT_EQ(AllMatchPositions("b?", "ab"), (std::vector<int64_t>{0}));
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
  ASSERT_FALSE(path.empty()) << "tests/data/novel_gbk.txt not found";
  std::string text;
  ASSERT_TRUE(testing::ReadFileBytes(path, &text));
  Pattern p;
  ASSERT_TRUE(RegexCompile(&p, "章"));
  RegexSearchResult r = RegexSearchAll(p, text);
  EXPECT_FALSE(r.cut_short);
  EXPECT_EQ(r.size(), 546u);
  int bytes = 0;
  for (int at = FindText(text, "\xD5\xC2"), from = 1; at != -1; at = FindText(text, "\xD5\xC2", from)) {
    ++bytes;
    from = at + 2;
  }
  EXPECT_EQ(bytes, 546);  // FindText steps over characters as well
  size_t raw = 0;
  for (size_t at = text.find("\xD5\xC2"); at != std::string::npos; at = text.find("\xD5\xC2", at + 1)) {
    ++raw;
  }
  EXPECT_EQ(raw, 568u);
  ASSERT_TRUE(RegexCompile(&p, "^第"));
  EXPECT_EQ(RegexSearchAll(p, text).size(), 28u);
}

}  // namespace
}  // namespace travik
