#include "insert/insertion_builder.h"

#include <gtest/gtest.h>

#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "files/files.h"
#include "text/text.h"
#include "insert/insert_job.h"
#include "insert/insert_model.h"
#include "insert/random_source.h"
#include "tests/test_util.h"

namespace travik {
namespace {

using testing::operator""_gbk;

// Keeps the strings it takes, as the file's sink does (it writes them later), and leaves the
// builder a string with room or none at all: the output must not depend on which.
class TakingSink : public OutputSink {
 public:
  bool Write(std::string_view bytes) override {
    pieces_.emplace_back(bytes);
    return true;
  }
  bool Take(std::string* bytes) override {
    pieces_.push_back(std::move(*bytes));
    *bytes = std::string();
    if (pieces_.size() % 2 == 0) bytes->reserve(3 * pieces_.size());
    return true;
  }
  std::string text() const {
    std::string all;
    for (const std::string& piece : pieces_) all += piece;
    return all;
  }

 private:
  std::vector<std::string> pieces_;
};

// The routines into a string, handing on output in pieces of `piece` bytes. Each runs twice: on
// the source as a view, and reading it ahead a piece at a time through its SourceBytes (as the
// job does, so that a mapped file is read rather than touched) into a sink that takes the
// builder's strings (as the job's does): both give the same.
std::string Every(const std::string& source, const std::string& insert, int interval, int steps,
                  size_t piece = 5) {
  StringSink sink;
  TakingSink read_ahead;
  EXPECT_TRUE(InsertEveryInterval(source, insert, interval, steps, sink, piece));
  const SourceBytes bytes(source);
  TextLayout layout;
  layout.bytes = &bytes;
  EXPECT_TRUE(InsertEveryInterval(bytes, insert, interval, steps, read_ahead, piece, layout));
  EXPECT_EQ(read_ahead.text(), sink.text);
  return sink.text;
}

std::string AtDraws(const std::string& source, const std::string& insert,
                    const std::vector<int>& draws, size_t piece = 5) {
  StringSink sink;
  TakingSink read_ahead;
  EXPECT_TRUE(InsertAtDraws(source, insert, draws, sink, piece));
  const SourceBytes bytes(source);
  TextLayout layout;
  layout.bytes = &bytes;
  EXPECT_TRUE(InsertAtDraws(bytes, insert, draws, read_ahead, piece, layout));
  EXPECT_EQ(read_ahead.text(), sink.text);
  return sink.text;
}

std::string KeywordInsert(const std::string& source, const std::string& insert,
                          const std::string& pattern, size_t piece = 5) {
  Pattern compiled;
  if (!RegexCompile(&compiled, pattern)) return source;
  StringSink sink;
  EXPECT_TRUE(InsertAfterMatches(source, insert, RegexSearchAll(compiled, source), sink, piece));
  return sink.text;
}

TEST(InsertEveryInterval, CountsFromTheUnmovedPoint) {
  EXPECT_EQ(Every("abcdefghij", "#", 3, 3), "abc#def#ghi#j");
  // Double-byte characters only: byte 3 is the first byte of 文, so the first text goes after
  // two characters; the next point is 3 + 3 + 1 = 7, counted from 3, not from 4.
  EXPECT_EQ(Every("中文中文中文"_gbk, "#", 3, 4), "中文#中#文中#文#"_gbk);
  // "x" is no anchor: at 7 the rule's parity is off by the letter and would split 文.
  EXPECT_EQ(Every("中文中文"_gbk, "x", 3, 2), "中文x中x文"_gbk);
  EXPECT_EQ(Every("中文ab"_gbk, "#", 6, 1), "中文ab#"_gbk);
  EXPECT_EQ(Every("abc", "#", 3, 0), "abc");
  // Points beyond the text (a listed length larger than the text) go to its end: no gaps.
  EXPECT_EQ(Every("abcde", "#", 3, 3), "abc#de##");
  EXPECT_EQ(Every("中文"_gbk, "##", 3, 1), "中文##"_gbk);
}

TEST(InsertAtDraws, MovesCloseCandidatesOn) {
  const std::string letters = "abcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwxyz";
  // 5 and 5: the second candidate is 5 + 2 = 7, less than 2 + 2 after 5, so it becomes 9.
  EXPECT_EQ(AtDraws("abcdefghijkl", "XY", {5, 5}), "abcdeXYfgXYhijkl");
  // 5 and 40: 42 stays.
  std::string expected = letters;
  expected.insert(40, "XY");
  expected.insert(5, "XY");
  EXPECT_EQ(AtDraws(letters, "XY", {5, 40}), expected);
  EXPECT_EQ(AtDraws("abc", "XY", {}), "abc");
  // Equal draws near the end of the text: the candidate lies past it and is clamped.
  EXPECT_EQ(AtDraws("abcd", "XY", {4, 4}), "abcdXYXY");
  // A draw on the first byte of a character goes after the character.
  EXPECT_EQ(AtDraws("中文"_gbk, "XY", {1}), "中XY文"_gbk);
}

TEST(InsertAfterMatches, TextGoesAfterEveryMatch) {
  // GBK texts; the keyword is typed (UTF-8) and searched for as the characters it names.
  EXPECT_EQ(KeywordInsert("第一章\r\n正文第二章\r\n"_gbk, "##", "章"),
            "第一章##\r\n正文第二章##\r\n"_gbk);
  EXPECT_EQ(KeywordInsert("ab章"_gbk, "##", "章"), "ab章##"_gbk);
  EXPECT_EQ(KeywordInsert("abc", "##", "x"), "abc");
  // "." matches one byte; a match never starts on a second byte, and a match ending on a first
  // byte gets its text after the character: the text goes after every character.
  EXPECT_EQ(KeywordInsert("a中b"_gbk, "#", "."), "a#中#b#"_gbk);
  EXPECT_EQ(KeywordInsert("第一章"_gbk, "#", "第."), "第一#章"_gbk);
  // Empty matches receive the text at their start.
  EXPECT_EQ(KeywordInsert("ab\r\ncd", "#", "$"), "ab#\r\ncd#");
  // The same bytes across two characters are no match: 谡 is DA D5 in GBK, and 第章 is
  // B5 DA D5 C2.
  EXPECT_EQ(KeywordInsert("第章"_gbk, "#", "谡"), "第章"_gbk);
  EXPECT_EQ(KeywordInsert("第章谡"_gbk, "#", "谡"), "第章谡#"_gbk);
}

struct Draw {
  std::string source;
  std::string insert;
  int listed;
};

Draw RandomDraw(std::mt19937& rng) {
  Draw d;
  d.source = model::RandomText(rng, 150, rng() % 8 == 0);
  d.insert = model::RandomText(rng, 6, true);
  if (d.insert.empty()) d.insert = rng() % 2 ? "\xA3\xAC" : "#";
  d.listed = TextLength(d.source) + (rng() % 4 == 0 ? static_cast<int>(rng() % 20) : 0);
  return d;
}

TEST(InsertEveryInterval, AgreesWithTheLiteralModel) {
  const unsigned seed = 5101;
  std::mt19937 rng(seed);
  for (int round = 0; round < 4000; ++round) {
    Draw d = RandomDraw(rng);
    int interval = 1 + static_cast<int>(rng() % 30);
    int steps = StepCountFor(d.listed, interval);
    size_t piece = 1 + rng() % (round % 2 ? 8 : 300);
    ASSERT_EQ(model::Hex(Every(d.source, d.insert, interval, steps, piece)),
              model::Hex(model::InsertByLength(d.source, d.insert, interval, steps)))
        << "seed " << seed << " round " << round << " interval " << interval << " steps " << steps
        << "\nsource " << model::Hex(d.source) << "\ninsert " << model::Hex(d.insert);
  }
}

// Long lines of double-byte characters with rare anchors, line breaks and letters: most points
// are settled without the anchors, the others look far back, across pieces already handed on.
TEST(InsertEveryInterval, AgreesWithTheModelOnLongSparseTexts) {
  const std::vector<std::string> rare = {"\xA3\xAC", "\xA1\xC2 ", "\r\n", "\n", "\\",
                                         "1",        "\xA9x",     "a",    " ",  "\x81\n"};
  const unsigned seed = 5104;
  std::mt19937 rng(seed);
  for (int round = 0; round < 12; ++round) {
    const size_t length = 2000 + rng() % 7000;
    const std::string source = model::SparseText(rng, length, 3 + rng() % 2000, rare);
    const std::string insert = round % 3 == 0 ? "#" : (round % 3 == 1 ? "\xA3\xAC" : "a\r\n");
    int interval = 1 + static_cast<int>(rng() % (round % 2 ? 40 : 900));
    int steps = StepCountFor(TextLength(source), interval);
    size_t piece = 100 + rng() % 5000;
    ASSERT_EQ(model::Hex(Every(source, insert, interval, steps, piece)),
              model::Hex(model::InsertByLength(source, insert, interval, steps)))
        << "seed " << seed << " round " << round << " interval " << interval << " steps " << steps
        << "\nsource " << model::Hex(source);
  }
}

TEST(InsertAtDraws, AgreesWithTheLiteralModel) {
  const unsigned seed = 5102;
  std::mt19937 rng(seed);
  for (int round = 0; round < 4000; ++round) {
    Draw d = RandomDraw(rng);
    std::vector<int> draws;
    if (d.listed > 0) {
      int count = static_cast<int>(rng() % 10);
      for (int k = 0; k < count; ++k) {
        // Clustered draws make the close-candidate rule and the clamp fire often.
        int base = 1 + static_cast<int>(rng() % d.listed);
        draws.push_back(rng() % 3 == 0 ? base : std::min(d.listed, base + int(rng() % 3)));
      }
    }
    SortIntegers(draws);
    std::string drawn;
    for (int v : draws) drawn += std::to_string(v) + " ";
    size_t piece = 1 + rng() % (round % 2 ? 8 : 300);
    ASSERT_EQ(model::Hex(AtDraws(d.source, d.insert, draws, piece)),
              model::Hex(model::InsertAtRandom(d.source, d.insert, draws)))
        << "seed " << seed << " round " << round << " draws " << drawn << "\nsource "
        << model::Hex(d.source) << "\ninsert " << model::Hex(d.insert);
  }
}

TEST(InsertAfterMatches, AgreesWithTheLiteralModel) {
  // Typed keywords (UTF-8); "\xD0" is no UTF-8 text: it matches nothing, here or in the model.
  const char* const patterns[] = {"章", "\r\n", ".",  "第.",  "第[^\r\n]+章",
                                  "$",  "^",    "a*", "1|，", "(?-s).",
                                  "\\\\", "\xD0", "..", "\\r?\\n", "[a-z]+"};
  const unsigned seed = 5103;
  std::mt19937 rng(seed);
  for (int round = 0; round < 3000; ++round) {
    Draw d = RandomDraw(rng);
    std::string pattern = patterns[rng() % std::size(patterns)];
    size_t piece = 1 + rng() % (round % 2 ? 8 : 300);
    ASSERT_EQ(model::Hex(KeywordInsert(d.source, d.insert, pattern, piece)),
              model::Hex(model::InsertAtKeyword(d.source, d.insert, pattern)))
        << "seed " << seed << " round " << round << " pattern " << model::Hex(pattern)
        << "\nsource " << model::Hex(d.source) << "\ninsert " << model::Hex(d.insert);
  }
}

TEST(InsertionBuilder, NeverPutsTextBetweenACarriageReturnAndItsLineFeed) {
  // By length and at random, a point after the CR goes after the LF; the count goes on from the
  // unmoved point.
  EXPECT_EQ(Every("ab\r\ncd\r\nef", "#", 3, 3), "ab\r\n#cd#\r\ne#f");
  EXPECT_EQ(Every("中\r\n文"_gbk, "#", 3, 1), "中\r\n#文"_gbk);
  EXPECT_EQ(AtDraws("ab\r\ncd", "XY", {3, 3}), "ab\r\nXYcXYd");
  EXPECT_EQ(AtDraws("\r\n", "#", {1}), "\r\n#");
  // A CR alone, or at the very end, is no line break to keep together.
  EXPECT_EQ(Every("ab\rcd", "#", 3, 1), "ab\r#cd");
  EXPECT_EQ(AtDraws("ab\r", "#", {3}), "ab\r#");
  // An inserted text that ends in CR is kept apart from an LF of the source as well.
  EXPECT_EQ(Every("a\nbcdef", "x\r", 1, 2), "ax\r\nx\rbcdef");
  // A keyword match keeps its point: a pattern that ends on the CR is the user's choice.
  EXPECT_EQ(KeywordInsert("ab\r\ncd", "#", "\r"), "ab\r#\ncd");
}

// Texts of lines ending in CR LF: every candidate from 0 to past the end, alone and as the second
// insertion after an earlier one, agrees with the model.
TEST(InsertionBuilder, LineBreakRuleAgreesWithTheModelAtEveryOffset) {
  const unsigned seed = 5107;
  std::mt19937 rng(seed);
  const char* const pieces[] = {"\xD6\xD0", "\xA3\xAC", "a", "1", "\r\n", "\r\n\r\n", "\r"};
  for (int round = 0; round < 300; ++round) {
    std::string source;
    const int n = 1 + static_cast<int>(rng() % 24);
    for (int i = 0; i < n; ++i) source += pieces[rng() % std::size(pieces)];
    const std::string insert = round % 3 == 0 ? "#" : (round % 3 == 1 ? "\r" : "\xA3\xAC\r\n");
    const int length = TextLength(source);
    for (int first = 0; first <= length + 1; ++first) {
      for (int second : {first, first + 1 + static_cast<int>(rng() % 4)}) {
        StringSink sink;
        InsertionBuilder builder(source, insert, sink, 1 + rng() % 8);
        model::WorkingFile file(source);
        for (int pos : {first, second}) {
          int expected = model::InsertionOffset(file.ReadText(), pos);
          ASSERT_EQ(builder.InsertAtPoint(pos), expected)
              << "seed " << seed << " round " << round << " points " << first << " " << second
              << "\nsource " << model::Hex(source);
          file.InsertAt(expected, insert);
        }
        ASSERT_TRUE(builder.Finish());
        ASSERT_EQ(model::Hex(sink.text), model::Hex(file.bytes()));
      }
    }
  }
}

// Positions drawn for 700 insertions into a 7 MB text: no tenth of the result holds more than
// twice its share, for any of 20 seeds.
TEST(InsertAtDraws, RandomPositionsSpreadOverTheWholeFile) {
  std::mt19937 rng(5108);
  const std::string source = model::SparseText(
      rng, 7000000, 30, {"\r\n", "\xA3\xAC", "\xA1\xA3", "1", "a", "\r\n\r\n"});
  const int length = TextLength(source);
  for (uint64_t seed = 1; seed <= 20; ++seed) {
    RandomGenerator generator(seed);
    std::vector<int> draws = DrawSortedPositions(generator, 700, length);
    StringSink sink;
    ASSERT_TRUE(InsertAtDraws(source, "\x01", draws, sink));
    std::vector<int> tenths(10, 0);
    for (size_t i = 0; i < sink.text.size(); ++i) {
      if (sink.text[i] != '\x01') continue;
      ++tenths[std::min<size_t>(9, i * 10 / sink.text.size())];
      ASSERT_FALSE(i > 0 && sink.text[i - 1] == '\r' && sink.text[i + 1] == '\n') << "seed " << seed;
    }
    std::string counts;
    for (int c : tenths) counts += std::to_string(c) + " ";
    for (int c : tenths) ASSERT_LE(c, 140) << "seed " << seed << " tenths " << counts;
    EXPECT_EQ(std::accumulate(tenths.begin(), tenths.end(), 0), 700) << "seed " << seed;
  }
}

// Candidates in any non-decreasing order, repeats and points past the end included; a candidate
// that goes backwards fails the builder (its bytes may be handed on already).
TEST(InsertionBuilder, NonDecreasingCandidatesAgreeWithTheModel) {
  const unsigned seed = 5104;
  std::mt19937 rng(seed);
  for (int round = 0; round < 2000; ++round) {
    Draw d = RandomDraw(rng);
    StringSink sink;
    InsertionBuilder builder(d.source, d.insert, sink, 1 + rng() % 16);
    model::WorkingFile file(d.source);
    int pos = 0;
    for (int k = 0; k < 8; ++k) {
      pos += static_cast<int>(rng() % (k % 3 == 0 ? 2 : 25));
      int expected = model::InsertionOffset(file.ReadText(), pos);
      ASSERT_EQ(builder.InsertAtPoint(pos), expected)
          << "seed " << seed << " round " << round << " step " << k;
      file.InsertAt(expected, d.insert);
    }
    ASSERT_TRUE(builder.Finish());
    ASSERT_EQ(model::Hex(sink.text), model::Hex(file.bytes()))
        << "seed " << seed << " round " << round;
  }
  StringSink sink;
  InsertionBuilder builder("abcdef", "#", sink);
  EXPECT_EQ(builder.InsertAtPoint(4), 4);
  EXPECT_EQ(builder.InsertAtPoint(2), -1);
  EXPECT_FALSE(builder.Finish());
}

// A sink that fails makes the whole result fail.
TEST(InsertionBuilder, ReportsAFailingSink) {
  class FailingSink : public OutputSink {
   public:
    bool Write(std::string_view) override { return false; }
  } sink;
  EXPECT_FALSE(InsertEveryInterval("abcdef", "#", 2, 3, sink));
  EXPECT_FALSE(InsertAtDraws("abcdef", "#", {1, 2}, sink));
  EXPECT_FALSE(InsertAfterMatches("abcdef", "#", RegexSearchResult(), sink));
}

// Every inserted byte lands on a character boundary of valid text, and removing the inserted
// texts gives back the source.
TEST(InsertionBuilder, NoInsertionSplitsACharacter) {
  const unsigned seed = 5105;
  std::mt19937 rng(seed);
  for (int round = 0; round < 3000; ++round) {
    std::string source = model::RandomText(rng, 300);
    const int listed = TextLength(source);
    std::string out;
    if (round % 2 == 0) {
      int interval = 1 + static_cast<int>(rng() % 12);
      out = Every(source, "\x01", interval, StepCountFor(listed, interval), 64);
    } else {
      std::vector<int> draws;
      for (int k = 0; k < 12 && listed > 0; ++k) draws.push_back(1 + rng() % listed);
      SortIntegers(draws);
      out = AtDraws(source, "\x01", draws, 64);
    }
    BoundaryCursor boundaries(out);
    std::string without;
    for (size_t i = 0; i < out.size(); ++i) {
      if (out[i] == '\x01') {
        ASSERT_TRUE(boundaries.IsCharStart(i)) << "seed " << seed << " round " << round;
      } else {
        without.push_back(out[i]);
      }
    }
    ASSERT_EQ(without, source) << "seed " << seed << " round " << round;
  }
}

// The steps as the file layer would take them: a working file written once, re-opened and
// re-read for every step, the text inserted at the resolved offset (clamped to the end).
std::string FileLayerByLength(const std::string& path, const std::string& source,
                              const std::string& insert, int interval, int steps) {
  WriteWholeFile(path, source);
  int position = 0;
  for (int k = 1; k <= steps; ++k) {
    FileNumber file = OpenFile(path);
    std::string current = ReadTextFromFile(file);
    position += interval + (k == 1 ? 0 : TextLength(insert));
    int offset = model::InsertionOffset(current, position);
    SeekFile(file, offset);
    InsertTextIntoFile(file, insert);
  }
  CloseAllFiles();
  FileNumber file = OpenFile(path);
  std::string result = ReadTextFromFile(file);
  CloseAllFiles();
  return result;
}

TEST(InsertEveryInterval, MatchesTheStepsThroughRealFiles) {
  testing::ScopedTempDir dir;
  const unsigned seed = 5106;
  std::mt19937 rng(seed);
  for (int round = 0; round < 150; ++round) {
    Draw d = RandomDraw(rng);
    // The reader drops a lone lead byte at the very end of a file; keep such texts out.
    auto loose = [](const std::string& t) {
      return !t.empty() && static_cast<unsigned char>(t.back()) >= 0x80;
    };
    if (loose(d.source) || loose(d.insert)) continue;
    int interval = 1 + static_cast<int>(rng() % 25);
    int steps = StepCountFor(d.listed, interval);
    size_t piece = 1 + rng() % (round % 2 ? 8 : 300);
    ASSERT_EQ(model::Hex(Every(d.source, d.insert, interval, steps, piece)),
              model::Hex(FileLayerByLength(dir.Join("linshishuju.txt"), d.source, d.insert,
                                           interval, steps)))
        << "seed " << seed << " round " << round;
  }
}

}  // namespace
}  // namespace travik
