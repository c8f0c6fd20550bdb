#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "split/split_modes.h"
#include "split/split_test_util.h"
#include "tests/test_util.h"

namespace travik {
namespace {

using testing::MemoryOutput;
using testing::operator""_gbk;

std::vector<std::string> CountPieces(const std::string& text, int parts,
                                     std::vector<std::string>* names = nullptr) {
  SplitContext context;
  context.source_text = text;
  context.requested_parts = parts;
  MemoryOutput out;
  PieceWriter writer("D", PieceNaming::kCustom, "第", "m", out);
  SplitByCount(context, writer);
  if (names != nullptr) *names = writer.names();
  return testing::PieceBytes(out);
}

TEST(ExtraByteAtCut, OneExactlyWhenByteXBeginsADoubleByteCharacter) {
  EXPECT_EQ(ExtraByteAtCut("ab中"_gbk, 3), 1);  // after a single byte, yet byte 3 is a lead byte
  EXPECT_EQ(ExtraByteAtCut("ab中"_gbk, 2), 0);
  EXPECT_EQ(ExtraByteAtCut("ab中"_gbk, 4), 0);
  EXPECT_EQ(ExtraByteAtCut("ab中"_gbk, 0), 0);
  EXPECT_EQ(ExtraByteAtCut("ab中"_gbk, 5), 0);
  EXPECT_EQ(ExtraByteAtCut("東中"_gbk, 1), 1);
  EXPECT_EQ(ExtraByteAtCut("東中"_gbk, 2), 0);  // 7C is the second byte of 東
  EXPECT_EQ(ExtraByteAtCut("東中"_gbk, 3), 1);
  EXPECT_EQ(ExtraByteAtCut("a\r\n中中"_gbk, 4), 1);
  EXPECT_EQ(ExtraByteAtCut("a\r\n中中"_gbk, 5), 0);
  // The pair D0 D6 that the cut would close also stands at a boundary later in the line, yet
  // byte 3 begins a character here.
  EXPECT_EQ(ExtraByteAtCut("中中"_gbk + "\xD0\xD6", 3), 1);
  EXPECT_EQ(ExtraByteAtCut("中中"_gbk + "\xD0\xD6", 5), 1);
  EXPECT_EQ(ExtraByteAtCut("中中"_gbk + "\xD0\xD6", 6), 0);
  // A lead byte with nothing after it still begins a character.
  EXPECT_EQ(ExtraByteAtCut("ab\xD6", 3), 1);
}

TEST(SplitByCount, CutsEqualPiecesAndTheLastTakesTheRest) {
  EXPECT_EQ(CountPieces("abcdefgh\r\n", 3), (std::vector<std::string>{"abc", "def", "gh\r\n"}));
  EXPECT_EQ(CountPieces("abcdefgh\r\n", 1), (std::vector<std::string>{"abcdefgh\r\n"}));
  EXPECT_EQ(CountPieces("abcdefg", 3), (std::vector<std::string>{"ab", "cd", "efg"}));
  // A cut on a lead byte takes the whole character; the next piece starts one byte later.
  EXPECT_EQ(CountPieces("ab中cd"_gbk, 2), (std::vector<std::string>{"ab中"_gbk, "cd"}));
  // Shorter than the number of parts: empty pieces first, then the whole text.
  std::vector<std::string> names;
  EXPECT_EQ(CountPieces("abc", 5, &names), (std::vector<std::string>{"", "", "", "", "abc"}));
  EXPECT_EQ(names,
            (std::vector<std::string>{"第1.txt", "第2.txt", "第3.txt", "第4.txt", "第5.txt"}));
  // Extra bytes use the text up early: the remaining pieces are empty.
  EXPECT_EQ(CountPieces("中中中"_gbk, 4), (std::vector<std::string>{"中"_gbk, "中"_gbk, "中"_gbk, ""}));
  EXPECT_EQ(CountPieces("", 2), (std::vector<std::string>{"", ""}));
}

TEST(SplitByCount, TakesLinearTimeOnOneLongLine) {
  // One 16 MB line of double-byte characters into 20,000 parts: the cuts never rescan the line.
  SplitContext context;
  std::string text;
  const std::string zhong = "中"_gbk;
  for (int i = 0; i < (8 << 20); ++i) text += zhong;
  context.source_text = text + "x";
  context.requested_parts = 20000;
  testing::CountingOutput out;
  PieceWriter writer("D", PieceNaming::kNumber, "", "m", out);
  SplitByCount(context, writer);
  EXPECT_EQ(out.files, 20000u);
  EXPECT_EQ(out.bytes_total, context.source_text.size());
}

}  // namespace
}  // namespace travik
