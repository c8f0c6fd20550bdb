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

std::vector<std::string> SizePieces(const std::string& text, int64_t s, double count,
                                    PieceNaming naming = PieceNaming::kNumber,
                                    std::vector<std::string>* names = nullptr) {
  SplitContext context;
  context.source_text = text;
  context.piece_count = count;
  MemoryOutput out;
  PieceWriter writer("D", naming, "", "m", out);
  SplitBySize(context, s, writer);
  if (names != nullptr) *names = writer.names();
  return testing::PieceBytes(out);
}

std::string Repeat(std::string_view unit, size_t times) {
  std::string s;
  for (size_t i = 0; i < times; ++i) s.append(unit);
  return s;
}

TEST(LastSingleBytePosition, FindsTheLastSingleByteBeforeTheCut) {
  EXPECT_EQ(LastSingleBytePosition("ab中文"_gbk, 6), 2);
  EXPECT_EQ(LastSingleBytePosition("ab中文"_gbk, 2), 1);
  EXPECT_EQ(LastSingleBytePosition("ab中文"_gbk, 1), 0);
  EXPECT_EQ(LastSingleBytePosition("中文"_gbk, 4), 0);
  EXPECT_EQ(LastSingleBytePosition("東x"_gbk, 3), 2);  // 96 7C: a second byte below 0x80 counts
  EXPECT_EQ(LastSingleBytePosition("ab", 10), 2);
  EXPECT_EQ(LastSingleBytePosition("ab\r\n中文中"_gbk, 8), 4);
  EXPECT_EQ(LastSingleBytePosition("a\r\n中文中x"_gbk, 9), 3);
}

TEST(SizePieceLength, KeepsEveryCutBetweenCharacters) {
  const std::string ascii_lines = Repeat("0123456789abcde\r\n", 200);
  EXPECT_EQ(SizePieceLength(ascii_lines, 1024), 1025);  // q = 1023 is odd: as written
  // A line of double-byte characters after its LF: odd LF position, byte 1024 begins a
  // character; even LF position, byte 1024 ends one.
  EXPECT_EQ(SizePieceLength("a\r\n" + Repeat("中"_gbk, 1000), 1024), 1025);
  EXPECT_EQ(SizePieceLength("ab\r\n" + Repeat("中"_gbk, 1000), 1024), 1024);
  // q odd, byte 1024 is the LF of a CR LF and byte 1025 a lead byte: one byte more would end the
  // piece on that lead byte, so the piece keeps 1024 bytes.
  const std::string lf_at_cut = std::string(1022, 'a') + "\r\n" + Repeat("中"_gbk, 10);
  EXPECT_EQ(SizePieceLength(lf_at_cut, 1024), 1024);
  // q odd, byte 1024 single and byte 1025 single too: one more byte, as written.
  EXPECT_EQ(SizePieceLength(std::string(1022, 'a') + "\r\nxyz", 1024), 1025);
  // Second bytes below 0x80 (東 is 96 7C).
  EXPECT_EQ(SizePieceLength(Repeat("東"_gbk, 1000), 1024), 1024);
  EXPECT_EQ(SizePieceLength("a" + Repeat("東"_gbk, 1000), 1024), 1025);
  // Short texts are one piece.
  EXPECT_EQ(SizePieceLength("abc", 1024), 3);
  EXPECT_EQ(SizePieceLength(std::string(1024, 'a'), 1024), 1024);
  EXPECT_EQ(SizePieceLength(std::string(1025, 'a'), 1024), 1025);
  EXPECT_EQ(SizePieceLength(std::string(1026, 'a'), 1024), 1025);
  EXPECT_EQ(SizePieceLength(std::string(1023, 'a') + "中"_gbk, 1024), 1025);
  // Two KB: the same rule.
  EXPECT_EQ(SizePieceLength("a" + Repeat("中"_gbk, 3000), 2048), 2049);
  EXPECT_EQ(SizePieceLength(Repeat("中"_gbk, 3000), 2048), 2048);
}

TEST(SplitBySize, GoesOnUntilTheTextIsUsedUp) {
  const std::string text(3000, 'x');
  EXPECT_EQ(SizePieces(text, 1024, 3),
            (std::vector<std::string>{std::string(1025, 'x'), std::string(1025, 'x'),
                                      std::string(950, 'x')}));
  // A count that is too small (a size typed as 1.5, a file that grew) still writes everything.
  EXPECT_EQ(SizePieces(text, 1024, 1).size(), 3u);
  EXPECT_EQ(SizePieces(text, 1024, 0).size(), 3u);
  // A count that is too large stops when the text is used up: no empty pieces.
  EXPECT_EQ(SizePieces(text, 1024, 10).size(), 3u);
  EXPECT_EQ(SizePieces(text, 4096, 10), (std::vector<std::string>{text}));
  // An empty text: nothing for a count of 0, one empty piece for a count of 1 or more.
  EXPECT_TRUE(SizePieces("", 1024, 0).empty());
  EXPECT_EQ(SizePieces("", 1024, 2), (std::vector<std::string>{""}));
  // Naming by keyword has no matched text here: the pieces are numbered.
  std::vector<std::string> names;
  SizePieces(text, 1024, 3, PieceNaming::kKeyword, &names);
  EXPECT_EQ(names, (std::vector<std::string>{"1.txt", "2.txt", "3.txt"}));
}

TEST(SplitBySize, PiecesOfValidTextAreWholeCharacters) {
  // Lines of mixed text whose CR LF falls on every parity.
  std::string text;
  for (int i = 0; i < 400; ++i) {
    text += std::string(static_cast<size_t>(i % 7), 'a') +
            Repeat("東中"_gbk, static_cast<size_t>(i % 13)) + "\r\n";
  }
  std::vector<std::string> pieces = SizePieces(text, 1024, 1);
  std::string joined;
  for (const std::string& piece : pieces) {
    joined += piece;
    size_t i = 0;
    while (i < piece.size()) i += static_cast<unsigned char>(piece[i]) >= 0x80 ? 2 : 1;
    EXPECT_EQ(i, piece.size()) << "piece " << &piece - &pieces[0] << " ends inside a character";
    EXPECT_TRUE(piece.size() == 1024 || piece.size() == 1025 || &piece == &pieces.back());
  }
  EXPECT_EQ(joined, text);
}

TEST(SplitBySize, TakesLinearTimeOnLongLinesOfDoubleByteText) {
  // 16 MB without a single byte below 0x80: every cut looks back over a whole piece, never more.
  SplitContext context;
  context.source_text = Repeat("中"_gbk, 8u << 20);
  testing::CountingOutput out;
  PieceWriter writer("D", PieceNaming::kNumber, "", "m", out);
  SplitBySize(context, 1024, writer);
  EXPECT_EQ(out.files, 16384u);
  EXPECT_EQ(out.bytes_total, context.source_text.size());
}

}  // namespace
}  // namespace travik
