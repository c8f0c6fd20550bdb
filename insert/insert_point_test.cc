#include "insert/insert_point.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "text/text.h"
#include "insert/insert_model.h"
#include "tests/test_util.h"

namespace travik {
namespace {

using testing::operator""_gbk;

std::vector<int> Sorted(std::vector<int> v) {
  std::sort(v.begin(), v.end());
  return v;
}

TEST(AnchorTables, HoldTheListedCharactersInOrder) {
  std::string singles;
  for (std::string_view s : kSingleByteAnchors) singles += s;
  EXPECT_EQ(singles, "0123456789~|()[]-*=<>#$&%@,.?:!");

  const char* const listed[] = {"A3AC", "A1A3", "A3BF", "A3A1", "A1A2",   "A3BA", "A1AD", "A1AE",
                                "A1AF", "A894", "A895", "5C",   "A84D",   "A1AA", "A978", "A979",
                                "A1B4", "A1B5", "A1B8", "A1B9", "A1BC",   "A1BD", "A1B6", "A1B7",
                                "A1BE", "A1BF", "A980", "A1C1", "A1C220", "A3A3", "A3A4", "A3A6",
                                "A3A5", "A3C0", "A3AA", "A3A8", "A3A9"};
  ASSERT_EQ(std::size(listed), kDoubleByteAnchors.size());
  for (size_t i = 0; i < kDoubleByteAnchors.size(); ++i) {
    std::string hex;
    for (char c : kDoubleByteAnchors[i]) {
      char buffer[3];
      snprintf(buffer, sizeof buffer, "%02X", static_cast<unsigned char>(c));
      hex += buffer;
    }
    EXPECT_EQ(hex, listed[i]) << "entry " << i + 1;
  }
}

TEST(ResolveInsertOffset, WhereTheRuleIsRight) {
  EXPECT_EQ(ResolveInsertOffset("1中文"_gbk, 2), 3);  // anchor 1, d = 1: after 中
  EXPECT_EQ(ResolveInsertOffset("1中文"_gbk, 3), 3);  // d = 2
  EXPECT_EQ(ResolveInsertOffset("中文"_gbk, 1), 2);
  EXPECT_EQ(ResolveInsertOffset("中文"_gbk, 2), 2);
  EXPECT_EQ(ResolveInsertOffset("，中文"_gbk, 3), 4);     // "，" recorded at its second byte
  EXPECT_EQ(ResolveInsertOffset("1\r\n中文"_gbk, 5), 5);  // anchor before the line: a = 1, d = 4
  EXPECT_EQ(ResolveInsertOffset("ab", 1), 1);         // a one-byte character ends at once
  EXPECT_EQ(ResolveInsertOffset("中a"_gbk, 3), 3);
  // Both pos and pos + 1 lie between characters and the rule says pos + 1: it stands.
  EXPECT_EQ(ResolveInsertOffset("1x中a"_gbk, 4), 5);
  // Beyond the end: pos or pos + 1 by the rule, not checked (the routines clamp).
  EXPECT_EQ(ResolveInsertOffset("中文"_gbk, 7), 8);
  EXPECT_EQ(ResolveInsertOffset("1中文"_gbk, 7), 7);
  EXPECT_EQ(ResolveInsertOffset("中文"_gbk, 8), 8);
  EXPECT_EQ(ResolveInsertOffset("", 0), 0);
}

TEST(ResolveInsertOffset, NeverLandsInsideACharacter) {
  // A letter between the anchor and the point flips the parity: the rule's answer falls inside
  // the character and the other offset is taken.
  EXPECT_EQ(model::RuleOffset("a中"_gbk, 2), 2);
  EXPECT_EQ(ResolveInsertOffset("a中"_gbk, 2), 3);
  EXPECT_EQ(model::RuleOffset("1\t中"_gbk, 3), 3);
  EXPECT_EQ(ResolveInsertOffset("1\t中"_gbk, 3), 4);
  EXPECT_EQ(model::RuleOffset("1a中文"_gbk, 4), 5);  // byte 4 ends 中; 5 would split 文
  EXPECT_EQ(ResolveInsertOffset("1a中文"_gbk, 4), 4);
  // Trail bytes that look like anchors or line breaks are not: where both pos and pos + 1 lie
  // between characters, only the right anchor gives the right answer.
  EXPECT_EQ(ResolveInsertOffset("x\x81|" + "中a"_gbk, 5), 6);  // not '|' at 3
  EXPECT_EQ(ResolveInsertOffset("\x81\\" + "中a"_gbk, 4), 4);  // not "\\" at 2
  // No line break: anchor 1.
  EXPECT_EQ(ResolveInsertOffset("1x，"_gbk + "\x81\r\n" + "中a"_gbk, 9), 9);
  EXPECT_EQ(ResolveInsertOffset("1x，\r\n中a"_gbk, 8), 8);  // a line break: "，" at 4
}

TEST(CollectAnchors, StopsAtOneByteAnchorsOnTheLine) {
  // One-byte anchors in table order; byte pos itself is not searched.
  EXPECT_EQ(Sorted(CollectAnchors("9a1b，中"_gbk, 7, 1)), (std::vector<int>{1, 3}));
  EXPECT_EQ(Sorted(CollectAnchors("9a1", 3, 1)), (std::vector<int>{1}));
  // The nearest one-byte anchor lies before the line start: double-byte anchors join.
  EXPECT_EQ(Sorted(CollectAnchors("1\r\n，中"_gbk, 7, 2)), (std::vector<int>{1, 5}));
  EXPECT_EQ(Sorted(CollectAnchors("1\r\n中"_gbk, 6, 2)), (std::vector<int>{1}));
  // The backslash is a double-byte table entry recorded at start + 1; "÷" needs its space.
  EXPECT_EQ(Sorted(CollectAnchors("中\\中"_gbk, 5, 1)), (std::vector<int>{4}));
  EXPECT_EQ(Sorted(CollectAnchors("\xA1\xC2 " + "中"_gbk, 6, 1)), (std::vector<int>{2}));
  EXPECT_EQ(Sorted(CollectAnchors("\xA1\xC2" + "中"_gbk, 5, 1)), (std::vector<int>{}));
  // Only occurrences lying wholly within the first pos - 1 bytes count.
  EXPECT_EQ(Sorted(CollectAnchors("中，"_gbk, 4, 1)), (std::vector<int>{}));
  EXPECT_EQ(Sorted(CollectAnchors("中，"_gbk, 5, 1)), (std::vector<int>{4}));
  EXPECT_EQ(Sorted(CollectAnchors("\xA1\xC2 ", 3, 1)), (std::vector<int>{}));
  // An anchor byte that is the second byte of a character is no anchor.
  EXPECT_EQ(Sorted(CollectAnchors("\x81"
                                  "1\x81|\x81\\",
                                  7, 1)),
            (std::vector<int>{}));
}

TEST(ResolveInsertOffset, AgreesWithTheLiteralModel) {
  const unsigned seed = 4501;
  std::mt19937 rng(seed);
  int checked = 0;
  for (int round = 0; round < 3000; ++round) {
    std::string text = model::RandomText(rng, 60, true);
    const int length = TextLength(text);
    for (int pos = 0; pos <= length + 2; ++pos) {
      ASSERT_EQ(ResolveInsertOffset(text, pos), model::ResolveInsertOffset(text, pos))
          << "seed " << seed << " round " << round << " pos " << pos << " text "
          << model::Hex(text);
      int line_start = static_cast<int>(rng() % (length + 2)) + 1;
      ASSERT_EQ(Sorted(CollectAnchors(text, pos, line_start)),
                Sorted(model::CollectAnchors(text, pos, line_start)))
          << "seed " << seed << " round " << round << " pos " << pos << " line " << line_start
          << " text " << model::Hex(text);
      ++checked;
    }
  }
  EXPECT_GT(checked, 50000);
}

TEST(AnchorScanner, AnswersGrowingRegionsLikeAFreshScan) {
  const unsigned seed = 4502;
  std::mt19937 rng(seed);
  for (int round = 0; round < 2000; ++round) {
    // Long texts too, so that whole 64-byte blocks are read through masks.
    std::string text = model::RandomText(rng, round % 4 == 0 ? 700 : 150, true);
    const TextWindow window{text, 0};
    AnchorScanner scanner;
    for (int64_t pos = 0; pos <= TextLength(text) + 1; pos += 1 + rng() % (round % 3 ? 5 : 90)) {
      size_t region = static_cast<size_t>(std::clamp<int64_t>(pos - 1, 0, TextLength(text)));
      scanner.AdvanceTo(window, region);
      ASSERT_LE(scanner.frontier(), region);
      ASSERT_EQ(ResolveWithScanner(window, pos, scanner), model::ResolveInsertOffset(text, pos))
          << "seed " << seed << " round " << round << " pos " << pos << " text "
          << model::Hex(text);
    }
  }
}

// Punctuation-dense text with every kind of anchor and line break near the block edges.
TEST(AnchorScanner, BlocksSeeAnchorsAcrossTheirEdges) {
  const std::string pieces[] = {
      "\xA3\xAC", "\xA1\xC2 ", "\xA1\xC2", "\r\n",     "\r",       "\r\r\n", "\\",
      "1",        "\xA1\xA1",  "\xA2\xB1", "\xA7\xA1", "\xA8M",    "\xA9x",  "\xA9\x80",
      "\xA8\x94", "\x81\r",    "\x82\\",   "\xD6\xD0", "\xA4\xA1", "a",      "\xA9y"};
  const unsigned seed = 4503;
  std::mt19937 rng(seed);
  for (int round = 0; round < 400; ++round) {
    std::string text;
    while (text.size() < 400) text += pieces[rng() % std::size(pieces)];
    const TextWindow window{text, 0};
    for (int64_t pos = 60; pos <= TextLength(text); pos += 1 + rng() % 7) {
      AnchorScanner scanner;  // one fresh scan: a single long run of blocks
      scanner.AdvanceTo(window, static_cast<size_t>(pos - 1));
      ASSERT_EQ(ResolveWithScanner(window, pos, scanner), model::ResolveInsertOffset(text, pos))
          << "seed " << seed << " round " << round << " pos " << pos << " text "
          << model::Hex(text);
    }
  }
}

// Texts of several kilobytes with rare anchors: the blocks are looked at in runs, and the last
// anchor of a kind may lie in an earlier run than the last of another kind.
TEST(AnchorScanner, FindsRareAnchorsAcrossRunsOfBlocks) {
  const std::vector<std::string> rare = {"\xA3\xAC", "\xA1\xC2 ", "\r\n", "\\", "1",
                                         "\xA9x",    "\x82\\",    "a",    "b",  "\xA1\xA3"};
  const unsigned seed = 4504;
  std::mt19937 rng(seed);
  for (int round = 0; round < 60; ++round) {
    const size_t length = 2000 + rng() % 8000;
    const std::string text = model::SparseText(rng, length, 50 + rng() % 3000, rare);
    const TextWindow window{text, 0};
    AnchorScanner growing;
    for (int64_t pos = 1 + rng() % 300; pos <= TextLength(text); pos += 1 + rng() % 900) {
      AnchorScanner scanner;
      scanner.AdvanceTo(window, static_cast<size_t>(pos - 1));
      growing.AdvanceTo(window, static_cast<size_t>(pos - 1));
      const int64_t want = model::ResolveInsertOffset(text, pos);
      ASSERT_EQ(ResolveWithScanner(window, pos, scanner), want)
          << "seed " << seed << " round " << round << " pos " << pos << " text "
          << model::Hex(text);
      ASSERT_EQ(ResolveWithScanner(window, pos, growing), want)
          << "seed " << seed << " round " << round << " pos " << pos << " (growing) text "
          << model::Hex(text);
      ASSERT_EQ(scanner.NearestAnchor(), growing.NearestAnchor())
          << "seed " << seed << " round " << round << " pos " << pos;
    }
  }
}

// Jumps look back from the region in chunks that start after line feeds: with anchors and line
// breaks far apart, in any order, they end where a walk from the frontier ends.
TEST(AnchorScanner, JumpsEndLikeAWalkFromTheFrontier) {
  const std::vector<std::string> rare = {"\xA3\xAC", "\xA1\xC2 ", "\xA1\xC2", "\r\n",
                                         "\r",       "\n",        "\x81\n",   "\\",
                                         "1",        "\xA9x",     "\x82\\",   "a"};
  const unsigned seed = 4505;
  std::mt19937 rng(seed);
  for (int round = 0; round < 40; ++round) {
    const size_t length = 3000 + rng() % 12000;
    const std::string text = model::SparseText(rng, length, 20 + rng() % 4000, rare);
    const TextWindow window{text, 0};
    AnchorScanner walking;
    AnchorScanner jumping;
    const unsigned stride = round % 2 ? 300 : 12000;
    for (int64_t pos = 1 + rng() % 50; pos <= TextLength(text) + 1; pos += 1 + rng() % stride) {
      const size_t region = static_cast<size_t>(std::min<int64_t>(pos - 1, TextLength(text)));
      walking.AdvanceTo(window, region);
      jumping.JumpTo(window, region);
      ASSERT_EQ(jumping.frontier(), walking.frontier())
          << "seed " << seed << " round " << round << " pos " << pos;
      ASSERT_EQ(jumping.NearestAnchor(), walking.NearestAnchor())
          << "seed " << seed << " round " << round << " pos " << pos;
      ASSERT_EQ(ResolveWithScanner(window, pos, jumping), model::ResolveInsertOffset(text, pos))
          << "seed " << seed << " round " << round << " pos " << pos << " text "
          << model::Hex(text);
    }
  }
}

}  // namespace
}  // namespace travik
