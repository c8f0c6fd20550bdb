// The split modes against the literal model of split_model.cc, on thousands of random GBK-like
// texts: the same pieces, bytes and names (UTF-8), in the same order.
#include "split/split_model.h"

#include <gtest/gtest.h>

#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "files/files.h"
#include "text/codepage.h"
#include "text/encoding.h"
#include "text/text.h"
#include "split/split_modes.h"
#include "split/split_test_util.h"
#include "tests/test_util.h"

namespace travik {
namespace {

using testing::MemoryOutput;
using testing::operator""_gbk;

constexpr unsigned kSeed = 936;
constexpr int kRounds = 3000;

// Snippets for the random texts (GBK), NUL-separated: headings, pieces of headings, and texts
// that make awkward file names (東 and 錦 have the second bytes 7C and 5C), and headings that
// differ only in the case of a letter.
constexpr char kSnippets[] =
    "第一章\0第二章 卷二\0章\0第\0CON\0a?b\0章节\0 .\0Con.\0東錦|\0"
    "第Ａ章\0第ａ章\0第ⅰ章\0第Ⅰ章\0ё\0Ё";
std::string_view Snippets() {
  static const std::string gbk = testing::Gbk(std::string_view(kSnippets, sizeof(kSnippets) - 1));
  return gbk;
}

model::Naming RandomNaming(std::mt19937& rng) {
  // Typed text (UTF-8), characters GBK lacks among it.
  static const char* const kCustom[] = {"自定义内容", "", "卷", "a/b:", "COM", "x. ", "東",
                                        "😀",          "España", "한국", "𠀀"};
  model::Naming naming;
  naming.mode = static_cast<PieceNaming>(rng() % 4);  // including "never checked"
  naming.custom_text = kCustom[rng() % std::size(kCustom)];
  if (rng() % 10 == 0) naming.custom_text = std::string(120, 'k');
  if (rng() % 10 == 0) {
    for (int i = static_cast<int>(rng() % 40); i > 0; --i) naming.custom_text += "😀章";
  }
  return naming;
}

// The real routine's files against the model's pieces.
void ExpectSamePieces(const std::vector<model::Piece>& expected, const MemoryOutput& out,
                      const PieceWriter& writer, const std::string& text) {
  ASSERT_EQ(out.files.size(), expected.size()) << "text " << testing::HexBytes(text);
  std::vector<std::string> names;
  for (size_t i = 0; i < expected.size(); ++i) {
    ASSERT_EQ(out.files[i].path, "D" + std::string(kPathSeparator) + expected[i].name)
        << "piece " << i << " of text " << testing::HexBytes(text);
    ASSERT_EQ(out.files[i].bytes, expected[i].bytes)
        << "piece " << i << " of text " << testing::HexBytes(text);
    names.push_back(expected[i].name);
  }
  EXPECT_EQ(writer.names(), names);
}

TEST(SplitModel, SizeSplitMatchesTheModel) {
  std::mt19937 rng(kSeed);
  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE("seed " + std::to_string(kSeed) + " round " + std::to_string(round));
    const std::string text = testing::RandomGbkText(rng, 5000, round % 5 == 0, Snippets());
    const int kb = static_cast<int>(rng() % 3) + 1;
    const double count =
        rng() % 2 ? SizeModePieceCount(static_cast<int64_t>(text.size()), NumberToText(kb))
                  : static_cast<double>(rng() % 7);
    const model::Naming naming = RandomNaming(rng);
    SplitContext context;
    context.source_text = text;
    context.piece_count = count;
    MemoryOutput out;
    PieceWriter writer("D", naming.mode, naming.custom_text, "m", out);
    SplitBySize(context, kb * 1024, writer);
    ExpectSamePieces(model::SplitBySize(text, kb, count, naming), out, writer, text);
  }
}

TEST(SplitModel, CountSplitMatchesTheModel) {
  std::mt19937 rng(kSeed + 1);
  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE("seed " + std::to_string(kSeed + 1) + " round " + std::to_string(round));
    const std::string text = testing::RandomGbkText(rng, 3000, round % 5 == 0, Snippets());
    const int parts = static_cast<int>(rng() % 12) + 1;
    const model::Naming naming = RandomNaming(rng);
    SplitContext context;
    context.source_text = text;
    context.requested_parts = parts;
    MemoryOutput out;
    PieceWriter writer("D", naming.mode, naming.custom_text, "m", out);
    SplitByCount(context, writer);
    ExpectSamePieces(model::SplitByCount(text, parts, naming), out, writer, text);
  }
}

TEST(SplitModel, KeywordSplitMatchesTheModel) {
  static const char* const kKeywords[] = {
      "第",    "章",  "第.{2}章",     "^第",  "(?=第)", "\\r\\n",  "a|b", "x*",
      "$",     "^",   "[^\\r\\n]{3}", "\\\\", "\\|",    "\\.",     " ",   "CON",
      "a\\?b", "第(", "(?<=章)",      ".",    "\\n?",   "Con\\.|a"};
  constexpr int kKeywordCount = sizeof(kKeywords) / sizeof(kKeywords[0]);
  std::mt19937 rng(kSeed + 2);
  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE("seed " + std::to_string(kSeed + 2) + " round " + std::to_string(round));
    const std::string text = testing::RandomGbkText(rng, 700, round % 5 == 0, Snippets());
    const std::string keyword = kKeywords[rng() % kKeywordCount];
    model::Naming naming = RandomNaming(rng);
    if (rng() % 2) naming.mode = PieceNaming::kKeyword;
    SplitContext context;
    context.source_text = text;
    context.keyword = keyword;
    MemoryOutput out;
    PieceWriter writer("D", naming.mode, naming.custom_text, "m", out);
    KeywordSplitOutcome outcome = SplitByKeyword(context, writer);
    bool compiled = false;
    std::vector<model::Piece> expected = model::SplitByKeyword(text, keyword, naming, &compiled);
    EXPECT_EQ(outcome.pattern_ok, compiled) << keyword;
    EXPECT_EQ(outcome.pieces, static_cast<int64_t>(expected.size()));
    ExpectSamePieces(expected, out, writer, text);
  }
}

TEST(SplitModel, CutRulesMatchTheModelAtEveryPosition) {
  std::mt19937 rng(kSeed + 3);
  for (int round = 0; round < 400; ++round) {
    SCOPED_TRACE("seed " + std::to_string(kSeed + 3) + " round " + std::to_string(round));
    const std::string text = testing::RandomGbkText(rng, 300, round % 3 == 0, Snippets());
    const int length = TextLength(text);
    for (int x = 0; x <= length + 2; ++x) {
      ASSERT_EQ(ExtraByteAtCut(text, x), model::ExtraByteAtCut(text, x))
          << x << " " << testing::HexBytes(text);
      ASSERT_EQ(LastSingleBytePosition(text, x), model::LastSingleBytePosition(text, x))
          << x << " " << testing::HexBytes(text);
    }
  }
}

// The width of a UTF-8 name as kMaxPieceNameWidth counts it.
size_t NameWidth(const std::string& name) {
  size_t width = 0;
  for (size_t i = 0; i < name.size();) {
    const size_t n = CharLength(Encoding::kUtf8, name.data() + i, name.data() + name.size());
    width += n == 3 ? 2 : n;
    i += n;
  }
  return width;
}

TEST(SplitModel, SafeNamesMatchTheModel) {
  std::mt19937 rng(kSeed + 4);
  static const char* const kSuffixes[] = {"", "1", "0", "12345"};
  // Characters of every width, and pieces of them.
  static const char* const kCharacters[] = {"章", "東", "ñ", "Ñ", "😀", "𠀀", "한", "ｚ",
                                            "\xE7\xAB", "\xF0\x9F\x98", "\xC0\xAF", "\xED\xA0\x80"};
  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE("seed " + std::to_string(kSeed + 4) + " round " + std::to_string(round));
    std::string text;
    const size_t length = rng() % 130;
    for (size_t i = 0; i < length; ++i) {
      // Bytes of every kind: controls, forbidden characters, spaces and dots, stray bytes above
      // 0x7F, characters.
      static const char kBytes[] = "\x01\x1F\\/:*?\"<>| .aZcon19\x7F";
      const unsigned kind = rng() % 3;
      if (kind == 0) {
        text += kBytes[rng() % (sizeof(kBytes) - 1)];
      } else if (kind == 1) {
        text += static_cast<char>(0x80 + rng() % 0x80);
      } else {
        text += kCharacters[rng() % std::size(kCharacters)];
      }
    }
    if (rng() % 4 == 0) text = std::string(rng() % 2 ? "CoM" : "lpt") + "7" + text.substr(0, 3);
    const std::string suffix = kSuffixes[rng() % 4];
    const std::string stem = SafeFileStem(text, suffix);
    ASSERT_EQ(stem, model::SafeStem(text, suffix)) << testing::HexBytes(text);
    EXPECT_TRUE(IsValidUtf8(stem)) << testing::HexBytes(stem);
    EXPECT_TRUE(PathIsRepresentable(stem + ".txt")) << testing::HexBytes(stem);
    EXPECT_LE(NameWidth(stem), kMaxPieceNameWidth + 1);  // a device name's "_" may be the 101st
  }
}

// Valid text (every lead byte has its second byte): in every mode each piece is made of whole
// characters and the pieces give back the text.
TEST(SplitModel, PiecesOfValidTextAreWholeCharacters) {
  std::mt19937 rng(kSeed + 5);
  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE("seed " + std::to_string(kSeed + 5) + " round " + std::to_string(round));
    const std::string text = testing::RandomGbkText(rng, 4000, false, Snippets()) + "第"_gbk;
    SplitContext context;
    context.source_text = text;
    context.piece_count = 1;
    context.requested_parts = static_cast<int>(rng() % 9) + 1;
    context.keyword = "第|章";
    for (int mode = 0; mode < 3; ++mode) {
      MemoryOutput out;
      PieceWriter writer("D", PieceNaming::kNumber, "", "m", out);
      if (mode == 0) SplitBySize(context, 1024, writer);
      if (mode == 1) SplitByCount(context, writer);
      if (mode == 2) SplitByKeyword(context, writer);
      std::string joined;
      for (const MemoryOutput::File& f : out.files) {
        size_t i = 0;
        while (i < f.bytes.size()) i += static_cast<unsigned char>(f.bytes[i]) >= 0x80 ? 2 : 1;
        ASSERT_EQ(i, f.bytes.size())
            << "mode " << mode << " " << f.path << " " << testing::HexBytes(text);
        joined += f.bytes;
      }
      ASSERT_EQ(joined, text) << "mode " << mode;
    }
  }
}

}  // namespace
}  // namespace travik
