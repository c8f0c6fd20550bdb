#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "split/split_modes.h"
#include "split/split_test_util.h"
#include "tests/test_util.h"

namespace travik {
namespace {

using testing::Gbk;
using testing::MemoryOutput;
using testing::operator""_gbk;

struct KeywordRun {
  KeywordSplitOutcome outcome;
  std::vector<std::string> pieces;
  std::vector<std::string> names;
};

// The keyword and the names are UTF-8; the text is GBK.
KeywordRun RunKeyword(const std::string& text, const std::string& keyword,
                      PieceNaming naming = PieceNaming::kNumber) {
  SplitContext context;
  context.source_text = text;
  context.keyword = keyword;
  MemoryOutput out;
  PieceWriter writer("D", naming, "卷", "m", out);
  KeywordRun run;
  run.outcome = SplitByKeyword(context, writer);
  run.pieces = testing::PieceBytes(out);
  run.names = writer.names();
  return run;
}

const std::string kNovel =
    "序言\r\n第一章 起\r\n正文一\r\n第二章 承\r\n正文二\r\n第三章 合\r\n正文三\r\n"_gbk;

TEST(SplitByKeyword, HeadPieceThenOnePiecePerMatch) {
  KeywordRun run = RunKeyword(kNovel, "第.章");
  EXPECT_TRUE(run.outcome.pattern_ok);
  EXPECT_EQ(run.outcome.pieces, 4);
  EXPECT_EQ(run.pieces,
            (std::vector<std::string>{"序言\r\n"_gbk, "第一章 起\r\n正文一\r\n"_gbk,
                                      "第二章 承\r\n正文二\r\n"_gbk, "第三章 合\r\n正文三\r\n"_gbk}));
  EXPECT_EQ(run.names, (std::vector<std::string>{"0.txt", "1.txt", "2.txt", "3.txt"}));
  EXPECT_EQ(RunKeyword(kNovel, "第.章", PieceNaming::kKeyword).names,
            (std::vector<std::string>{"头文本.txt", "第一章.txt", "第二章.txt", "第三章.txt"}));
  EXPECT_EQ(RunKeyword(kNovel, "第.章", PieceNaming::kCustom).names,
            (std::vector<std::string>{"卷0.txt", "卷1.txt", "卷2.txt", "卷3.txt"}));
  // Matched text with a line break and spaces is made a file name.
  EXPECT_EQ(RunKeyword(kNovel, "第[^\\r]*\\r\\n", PieceNaming::kKeyword).names,
            (std::vector<std::string>{"头文本.txt", "第一章 起__.txt", "第二章 承__.txt",
                                      "第三章 合__.txt"}));
}

TEST(SplitByKeyword, OpenCasesAtTheEdgesOfTheText) {
  // A match at the very start: no empty head piece; piece 1 starts with it.
  KeywordRun at_start =
      RunKeyword("第一章\r\nA\r\n第二章\r\nB"_gbk, "第.章", PieceNaming::kKeyword);
  EXPECT_EQ(at_start.pieces,
            (std::vector<std::string>{"第一章\r\nA\r\n"_gbk, "第二章\r\nB"_gbk}));
  EXPECT_EQ(at_start.names, (std::vector<std::string>{"第一章.txt", "第二章.txt"}));
  // One match, at the start: one piece, the whole text.
  EXPECT_EQ(RunKeyword("第一章 only"_gbk, "第一章").pieces,
            (std::vector<std::string>{"第一章 only"_gbk}));
  // A last match that ends exactly at the end of the text is a piece of its own, once.
  KeywordRun at_end = RunKeyword("abc完def完"_gbk, "完");
  EXPECT_EQ(at_end.pieces, (std::vector<std::string>{"abc", "完def"_gbk, "完"_gbk}));
  // Zero-length matches cut without empty pieces; an empty match names the piece by number.
  KeywordRun lookahead = RunKeyword(kNovel, "(?=第)", PieceNaming::kKeyword);
  EXPECT_EQ(lookahead.pieces.size(), 4u);
  EXPECT_EQ(lookahead.names, (std::vector<std::string>{"头文本.txt", "1.txt", "2.txt", "3.txt"}));
  KeywordRun every = RunKeyword("ab中"_gbk, "x*");  // empty before every character and at the end
  EXPECT_EQ(every.pieces, (std::vector<std::string>{"a", "b", "中"_gbk}));
  // A file that opens with its first chapter: the empty match at the start cuts there too.
  KeywordRun chapters = RunKeyword("第一章\n甲\n第二章\n乙\n"_gbk, "^(?=第)");
  EXPECT_EQ(chapters.pieces, (std::vector<std::string>{"第一章\n甲\n"_gbk, "第二章\n乙\n"_gbk}));
  KeywordRun end_anchor = RunKeyword("ab\ncd", "$");
  EXPECT_EQ(end_anchor.pieces, (std::vector<std::string>{"ab", "\ncd"}));
}

TEST(SplitByKeyword, MatchesStartOnlyBetweenCharacters) {
  // B5 DA is 第; in "\x81\xB5\xDA\x41" the B5 is a second byte, so no piece starts there.
  const std::string text = "x\x81\xB5\xDA\x41y" + "第z"_gbk;
  KeywordRun run = RunKeyword(text, "第");
  EXPECT_EQ(run.pieces, (std::vector<std::string>{"x\x81\xB5\xDA\x41y", "第z"_gbk}));
  // 日落 is C8 D5 C2 E4; its middle bytes are 章, which ends no match and names no piece.
  KeywordRun sunset =
      RunKeyword("序\n第二日落时分\n第三章 乙\n"_gbk, "^第.{2,16}章", PieceNaming::kKeyword);
  EXPECT_EQ(sunset.names, (std::vector<std::string>{"头文本.txt", "第二日落时分_第三章.txt"}));
  // 東 (96 7C) is one character, not "0x96 or nothing".
  EXPECT_EQ(RunKeyword("甲東乙東"_gbk, "東").pieces,
            (std::vector<std::string>{"甲"_gbk, "東乙"_gbk, "東"_gbk}));
  // Named by them, 東 and 錦 (96 7C, E5 5C) keep their second bytes; in UTF-8 names no byte of a
  // character is a "|" or a "\\".
  EXPECT_EQ(RunKeyword("a東錦|b"_gbk, "東錦\\|", PieceNaming::kKeyword).names,
            (std::vector<std::string>{"头文本.txt", "東錦_.txt"}));
}

TEST(SplitByKeyword, NothingWrittenWithoutAMatchOrAValidPattern) {
  KeywordRun none = RunKeyword(kNovel, "第九章");
  EXPECT_TRUE(none.outcome.pattern_ok);
  EXPECT_TRUE(none.pieces.empty());
  KeywordRun bad = RunKeyword(kNovel, "第(");
  EXPECT_FALSE(bad.outcome.pattern_ok);
  EXPECT_TRUE(bad.pieces.empty());
  KeywordRun empty_text = RunKeyword("", "第");
  EXPECT_TRUE(empty_text.pieces.empty());
  // The folder is made before the first piece only, and never when there is none.
  int made = 0;
  SplitContext context;
  context.source_text = kNovel;
  MemoryOutput out;
  PieceWriter writer("D", PieceNaming::kNumber, "", "m", out);
  context.keyword = "第九章";
  SplitByKeyword(context, writer, [&] { ++made; });
  EXPECT_EQ(made, 0);
  context.keyword = "第";
  SplitByKeyword(context, writer, [&] { ++made; });
  EXPECT_EQ(made, 1);
}

TEST(SplitByKeyword, SameMatchedTextNeverOverwrites) {
  KeywordRun run = RunKeyword("章a章b章c"_gbk, "章", PieceNaming::kKeyword);
  EXPECT_EQ(run.pieces, (std::vector<std::string>{"章a"_gbk, "章b"_gbk, "章c"_gbk}));
  EXPECT_EQ(run.names, (std::vector<std::string>{"章.txt", "章(2).txt", "章(3).txt"}));
}


KeywordRun RunChapters(const std::string& text, unsigned presets = 0, const std::string& pattern = {}) {
  SplitContext context;
  context.source_text = text;
  context.keyword = pattern;
  context.chapter_presets = presets;
  MemoryOutput out;
  PieceWriter writer("D", PieceNaming::kKeyword, "卷", "m", out);
  KeywordRun run;
  run.outcome = SplitByChapters(context, writer);
  run.pieces = testing::PieceBytes(out);
  run.names = writer.names();
  return run;
}

TEST(SplitByChapters, CutsAtTheHeadingsAndNamesPiecesByThem) {
  const std::string text = "书名：河\r\n第一章 起\r\n第三天早上，他走了。\r\n　　第二章 承\r\n正文二\r\n"
                           "第三章：合\r\n正文三"_gbk;
  KeywordRun run = RunChapters(text);
  EXPECT_TRUE(run.outcome.pattern_ok);
  EXPECT_EQ(run.pieces,
            (std::vector<std::string>{"书名：河\r\n"_gbk, "第一章 起\r\n第三天早上，他走了。\r\n"_gbk,
                                      "　　第二章 承\r\n正文二\r\n"_gbk, "第三章：合\r\n正文三"_gbk}));
  // Each name starts with the piece's place in the book, so that any file list keeps its order.
  EXPECT_EQ(run.names, (std::vector<std::string>{"000 头文本.txt", "001 第一章 起.txt",
                                                 "002 第二章 承.txt", "003 第三章：合.txt"}));
  // With a pattern, only the pattern cuts; the heading line still names the piece.
  run = RunChapters(text, 0, "第二章");
  EXPECT_EQ(run.names, (std::vector<std::string>{"000 头文本.txt", "001 第二章 承.txt"}));
  EXPECT_EQ(run.pieces[1], "第二章 承\r\n正文二\r\n第三章：合\r\n正文三"_gbk);
  // No heading, or a pattern that does not compile: nothing written.
  run = RunChapters("正文一\r\n正文二\r\n"_gbk);
  EXPECT_TRUE(run.outcome.pattern_ok);
  EXPECT_EQ(run.outcome.pieces, 0);
  EXPECT_TRUE(run.pieces.empty());
  run = RunChapters(text, 0, "(第");
  EXPECT_FALSE(run.outcome.pattern_ok);
  EXPECT_TRUE(run.pieces.empty());
  // The finder's checks come with the pieces, for the split to report as travik chapters does.
  EXPECT_TRUE(RunChapters(text).outcome.warnings.empty());
  run = RunChapters("第一章 起\r\n正文一\r\n第三章 合\r\n正文三"_gbk);
  ASSERT_EQ(run.outcome.warnings.size(), 1u);
  EXPECT_EQ(run.outcome.warnings[0], "第 3 行: 章节号从 1 跳到 3，中间缺少 1 个");
  // A pair in a heading that is no GBK character (81 7F) names nothing: "_" in its place.
  const std::string odd = "第一章 甲"_gbk + "\x81\x7F" + "乙\r\n内容\r\n第二章 丙\r\n内容"_gbk;
  run = RunChapters(odd);
  EXPECT_EQ(run.names, (std::vector<std::string>{"001 第一章 甲_乙.txt", "002 第二章 丙.txt"}));
  EXPECT_EQ(run.pieces[0] + run.pieces[1], odd);
}

// On any text, the pieces of a chapter split join back to the source.
TEST(SplitByChapters, PiecesJoinBackToTheSourceOnRandomText) {
  std::mt19937 rng(7031);
  const std::string snippets[] = {"第一章 甲\r\n", "第二章\r\n", "第二卷 乙\n", "　　第三章 丙\r\n",
                                  "楔子\r\n", "001 题\n", "Chapter 4\r\n", "第五章 东，走\r\n"};
  for (int round = 0; round < 400; ++round) {
    std::string text;
    for (int i = static_cast<int>(rng() % 20); i > 0; --i) {
      text += rng() % 2 ? Gbk(snippets[rng() % std::size(snippets)]) : testing::RandomGbkText(rng, 30);
    }
    for (unsigned presets : {0u, 1u, 3u, 31u}) {
      KeywordRun run = RunChapters(text, presets);
      std::string joined;
      for (const std::string& piece : run.pieces) joined += piece;
      if (run.pieces.empty()) continue;
      ASSERT_EQ(joined, text) << "round " << round << " presets " << presets;
      ASSERT_EQ(run.outcome.pieces, static_cast<int64_t>(run.pieces.size()));
    }
  }
}

}  // namespace
}  // namespace travik
