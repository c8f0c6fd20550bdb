// A size split of a large file begins while the file is still being read. Whatever the reader
// finds later (a text that is GB18030 or UTF-8 after all, a 0x1A far in, a long ASCII start), the
// folder ends up holding exactly the pieces the model cuts from the text as read, and nothing else.
#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "files/file_entry.h"
#include "files/files.h"
#include "text/text.h"
#include "gtest/gtest.h"
#include "split/split_job.h"
#include "split/split_model.h"
#include "split/split_modes.h"
#include "split/split_test_util.h"
#include "tests/test_util.h"

namespace travik {
namespace {

using testing::NativePath;
using testing::ReadFileBytes;
using testing::ScopedTempDir;
using testing::WriteFileBytes;

class QuietHost : public testing::RecordingHost {
 public:
  void OutputWritten(const std::string& path) override { written.push_back(path); }
  // Each piece's bytes are told as done once it is written, whether or not it is told as written.
  void Progress(int64_t, int64_t) override {
    if (++pieces_done == stop_after) stop = true;
  }
  bool StopRequested() const override { return stop; }
  int pieces_done = 0;
  int stop_after = -1;
  bool stop = false;
  std::vector<std::string> written;
};

// A GBK-like text of at least n bytes, in lines.
std::string GbkText(std::mt19937& rng, size_t n) {
  std::string text;
  while (text.size() < n) text += testing::RandomGbkText(rng, 3000) + "\r\n";
  return text;
}

std::string Utf8Text(std::mt19937& rng, size_t n) {
  static const char* const kChars[] = {"\xE7\xAC\xAC", "\xE4\xB8\x80", "a", "\r\n",
                                        "\xF0\x9F\x98\x80", "\xC3\xA9"};
  std::string t;
  while (t.size() < n) t += kChars[rng() % std::size(kChars)];
  return t;
}

// A split by size of `source` (in `dir`) into pieces of `kb` KB, saved in <dir>/出.
SplitForm SizeForm(const ScopedTempDir& dir, const std::string& source, const std::string& kb) {
  SplitForm form;
  form.rows = {MakeSplitEntry(source)};
  form.mode = SplitMode::kBySize;
  form.size_text = kb;
  form.chosen_folder = dir.Join("出");
  MakeDirectory(form.chosen_folder);
  return form;
}

struct Case {
  std::string name;
  std::string file;      // the file's bytes
  std::string text;      // the text the reader gives, or more (a lone lead byte at the end)
  Encoding encoding;
  EncodingChoice choice = EncodingChoice::kAuto;
};

TEST(SplitAhead, LargeFilesEndWithTheModelsPiecesWhateverTheReaderFindsLate) {
  std::mt19937 rng(1616);
  std::vector<Case> cases;
  const std::string gbk = GbkText(rng, (2u << 20) + 777);
  cases.push_back({"GBK", gbk, gbk, Encoding::kGbk});
  // A long ASCII start: no cut is made until the first double-byte character.
  const std::string ascii = std::string(600000, 'x') + "\r\n" + GbkText(rng, 900000);
  cases.push_back({"ASCII start", ascii, ascii, Encoding::kGbk});
  // A GB18030 four-byte character far in: the pieces cut as GBK before it go.
  std::string gb18030 = GbkText(rng, (2u << 20) + 3);
  gb18030.insert(gb18030.find("\r\n", 1500000) + 2, "\x95\x32\x82\x36");
  cases.push_back({"GB18030", gb18030, gb18030, Encoding::kGb18030});
  // A 0x1A far in: a byte of the text. Padding at the end: no part of it.
  std::string eof = GbkText(rng, (2u << 20) + 5);
  const size_t at = eof.find("\r\n", 1300000) + 2;
  eof.insert(at, "\x1A");
  cases.push_back({"0x1A", eof, eof, Encoding::kGbk});
  cases.push_back({"padding", gbk + std::string("\x1A\0\x1A", 3), gbk, Encoding::kGbk});
  const std::string utf8 = Utf8Text(rng, (2u << 20) + 1);
  cases.push_back({"UTF-8", utf8, utf8, Encoding::kUtf8});
  // One byte that breaks UTF-8 near the end: GBK after all (not GB18030: no four-byte form).
  const std::string broken = utf8 + "\xB5\xDA";
  cases.push_back({"late GBK", broken, broken, DetectEncoding(broken).encoding});
  // Given as UTF-8: cut as UTF-8 from the start; with a byte-order mark, after the reading.
  cases.push_back({"given UTF-8", utf8, utf8, Encoding::kUtf8, EncodingChoice::kUtf8});
  const std::string marked = "\xEF\xBB\xBF" + utf8;
  cases.push_back({"given marked UTF-8", marked, marked, Encoding::kUtf8, EncodingChoice::kUtf8});

  for (const Case& c : cases) {
    for (const int kb : {3, 64, 100, 257, 4500}) {
      SCOPED_TRACE(c.name + ", " + std::to_string(kb) + " KB");
      ScopedTempDir dir;
      const std::string source = dir.Join("源.txt");
      ASSERT_TRUE(WriteFileBytes(source, c.file));
      SplitForm form = SizeForm(dir, source, NumberToText(kb));
      form.rows[0].encoding = c.choice;
      QuietHost host;
      SplitJob(form, host);

      // The text as the reader gives it (its rules are tested with the reader).
      const SourceText read = LoadSourceText(source, {}, c.choice);
      ASSERT_TRUE(read.ok);
      ASSERT_EQ(read.encoding, c.encoding);
      ASSERT_TRUE(read.text == c.text.substr(0, read.text.size()));
      const std::string text(read.text.view());
      const double count =
          SizeModePieceCount(static_cast<int64_t>(c.file.size()), NumberToText(kb));
      const std::vector<model::Piece> want =
          c.encoding == Encoding::kGbk
              ? model::SplitBySize(text, kb, count, {})
              : model::SplitBySize(text, kb, count, {}, c.encoding, read.mark_length);
      const std::string folder = JoinText(form.chosen_folder, kPathSeparator, "源");
      std::vector<std::string> names;
      for (const auto& entry : std::filesystem::directory_iterator(NativePath(folder))) {
        names.push_back(entry.path().filename().u8string());
      }
      ASSERT_EQ(names.size(), want.size());
      for (const model::Piece& piece : want) {
        std::string bytes;
        ASSERT_TRUE(ReadFileBytes(JoinText(folder, kPathSeparator, piece.name), &bytes))
            << piece.name;
        ASSERT_TRUE(bytes == piece.bytes) << piece.name;
      }
      EXPECT_EQ(host.failures.size(), read.cut_short ? 1u : 0u);
      // Each piece is reported written once, and only the pieces that stay: a summary counts
      // them, and names the last.
      std::vector<std::string> reported;
      for (const std::string& path : host.written) {
        reported.push_back(path.substr(path.rfind(kPathSeparator) + 1));
      }
      std::vector<std::string> kept;
      for (const model::Piece& piece : want) kept.push_back(piece.name);
      EXPECT_EQ(reported, kept);
    }
  }
}

// The reader's blocks shown to a split begun early, as LoadSourceText shows them: blocks of any
// size, each a fresh copy with a few bytes of the block before (or none), the text known to be GBK
// or UTF-8 only from some block on. Whatever the blocks, the pieces written while reading and
// those the split writes after it are the pieces of the split of the whole text, byte for byte
// and by name.
TEST(SplitAhead, PiecesCutFromBlocksAreThoseOfTheWholeText) {
  const unsigned seed = 1616;
  std::mt19937 rng(seed);
  for (int round = 0; round < 800; ++round) {
    // Texts with long runs of bytes >= 0x80 (cuts that look far back), long ASCII starts, plain
    // GBK, and UTF-8 (with an ASCII start, or four-byte characters everywhere).
    std::string text;
    const int kind = round % 7;
    const Encoding encoding = kind >= 5 ? Encoding::kUtf8 : Encoding::kGbk;
    if (kind == 1 || kind == 5) text.assign(rng() % 20000, 'a');
    while (text.size() < 2000u + round * 37 % 60000) {
      if (kind == 6) {
        text += rng() % 2 ? "\xF0\x9F\x98\x80" : "\xE7\xAC\xAC";
      } else if (kind == 5) {
        text += Utf8Text(rng, 500) + "\n";
      } else if (kind == 2 && rng() % 3 == 0) {
        text.append(rng() % 3000, static_cast<char>(0x81 + rng() % 0x7E));
      } else if (kind == 3) {  // a single byte now and then: cuts look back over whole pieces
        text.append(rng() % 6000, static_cast<char>(0x81 + rng() % 0x7E));
        text += "\n";
      } else {
        text += testing::RandomGbkText(rng, 700) + "\r\n";
      }
    }
    const int64_t piece_bytes = 1 + rng() % (round % 5 == 0 ? 20000 : 3000);
    const size_t max_block = 1 + rng() % (round % 3 == 0 ? 50 : 9000);
    const size_t overlap = rng() % 2 ? 0 : rng() % 5000;
    // Known to be in its encoding from this byte on.
    const size_t known_from = rng() % 2 ? 0 : rng() % text.size();
    SCOPED_TRACE("seed " + std::to_string(seed) + " round " + std::to_string(round) + ", piece " +
                 std::to_string(piece_bytes) + ", block " + std::to_string(max_block) +
                 ", overlap " + std::to_string(overlap) + ", known from " +
                 std::to_string(known_from));

    SplitContext whole;
    whole.source_text = SourceBytes(text);
    whole.encoding = encoding;
    testing::MemoryOutput want;
    PieceWriter want_writer("d", PieceNaming::kUnchecked, "", "m", want);
    SplitBySize(whole, piece_bytes, want_writer);

    testing::MemoryOutput got;
    PieceWriter writer("d", PieceNaming::kUnchecked, "", "m", got);
    int folders = 0;
    SizeSplitAhead ahead(piece_bytes, writer, [&folders] { ++folders; });
    std::string buffer;  // reused, as the reader's
    for (size_t looked = 0; looked < text.size();) {
      const size_t next = std::min(text.size(), looked + 1 + rng() % max_block);
      const size_t begin = looked - std::min(looked, overlap);
      buffer.assign(text, begin, next - begin);
      looked = next;
      const bool known = looked >= known_from;
      ASSERT_TRUE(ahead.Take({text, looked, buffer, begin, true,
                              known && encoding == Encoding::kGbk,
                              known && encoding == Encoding::kUtf8}));
      buffer.assign(buffer.size(), '\x1A');  // the copy is gone once the block is taken
    }
    ASSERT_TRUE(ahead.CutFrom(text));
    if (ahead.wrote()) {
      ASSERT_EQ(ahead.encoding(), encoding);
    }
    SplitContext rest;
    rest.source_text = SourceBytes(text);
    rest.encoding = encoding;
    SplitBySize(rest, piece_bytes, writer, ahead.next_number(), ahead.pos());
    EXPECT_EQ(folders, ahead.wrote() ? 1 : 0);
    ASSERT_EQ(got.files.size(), want.files.size());
    for (size_t i = 0; i < want.files.size(); ++i) {
      ASSERT_EQ(got.files[i].path, want.files[i].path);
      ASSERT_TRUE(got.files[i].bytes == want.files[i].bytes) << want.files[i].path;
    }
  }
}

// Stopped while the file is still being read, a split keeps the complete pieces it wrote, each
// the model's, and writes no merge script.
TEST(SplitAhead, AStopWhileReadingKeepsTheCompletePieces) {
  std::mt19937 rng(8);
  ScopedTempDir dir;
  const std::string source = dir.Join("源.txt");
  const std::string text = GbkText(rng, 3u << 20);
  ASSERT_TRUE(WriteFileBytes(source, text));
  SplitForm form = SizeForm(dir, source, "100");
  form.write_merge_script = true;
  QuietHost host;
  host.stop_after = 5;
  SplitJob(form, host);
  const std::vector<model::Piece> want = model::SplitBySize(
      text, 100, SizeModePieceCount(static_cast<int64_t>(text.size()), "100"), {});
  const std::string folder = JoinText(form.chosen_folder, kPathSeparator, "源");
  size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(NativePath(folder))) {
    (void)entry;
    ++files;
  }
  ASSERT_EQ(files, 5u);
  ASSERT_EQ(host.written.size(), 5u);  // told once they were known to stay
  for (size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(host.written[i], JoinText(folder, kPathSeparator, want[i].name));
    std::string bytes;
    ASSERT_TRUE(ReadFileBytes(JoinText(folder, kPathSeparator, want[i].name), &bytes));
    EXPECT_TRUE(bytes == want[i].bytes) << want[i].name;
  }
}

// A UTF-16 file refused after the split began as GBK leaves no folder behind.
TEST(SplitAhead, ARefusedFileLeavesNoFolder) {
  std::mt19937 rng(7);
  ScopedTempDir dir;
  const std::string source = dir.Join("源.txt");
  // Double-byte text without a zero byte for a long while, then UTF-16 with its zeros: the
  // zeros end the text... unless recognition calls the whole file UTF-16.
  std::string file = GbkText(rng, 1200000);
  for (int i = 0; i < 600000; ++i) file += std::string("a\0", 2);
  ASSERT_TRUE(WriteFileBytes(source, file));
  SplitForm form = SizeForm(dir, source, "100");
  QuietHost host;
  SplitJob(form, host);
  const Encoding found = DetectEncoding(file).encoding;
  const bool exists =
      std::filesystem::exists(NativePath(JoinText(form.chosen_folder, kPathSeparator, "源")));
  if (found == Encoding::kUtf16Le || found == Encoding::kUtf16Be) {
    EXPECT_FALSE(exists);
    ASSERT_EQ(host.failures.size(), 1u);
  } else {
    EXPECT_TRUE(exists);
  }
}

// Given as UTF-8, a file with a byte that is no UTF-8 far in is refused once it has been read:
// the pieces cut before that byte go, and so does the folder they were put in.
TEST(SplitAhead, AFileGivenAsUtf8ButRefusedLeavesNoFolder) {
  std::mt19937 rng(12);
  ScopedTempDir dir;
  const std::string source = dir.Join("源.txt");
  ASSERT_TRUE(WriteFileBytes(source, Utf8Text(rng, 1500000) + "\xB5\xDA" + Utf8Text(rng, 9000)));
  SplitForm form = SizeForm(dir, source, "100");
  form.rows[0].encoding = EncodingChoice::kUtf8;
  QuietHost host;
  host.stop_after = 1000;  // counts the pieces written
  SplitJob(form, host);
#ifndef _WIN32
  EXPECT_GE(host.pieces_done, 14);  // cut while reading (Windows reads the file whole first)
#endif
  ASSERT_EQ(host.failures.size(), 1u);
  EXPECT_TRUE(host.written.empty());
  EXPECT_FALSE(
      std::filesystem::exists(NativePath(JoinText(form.chosen_folder, kPathSeparator, "源"))));
}

// Given as GBK, a file that begins with a UTF-16 mark is refused once it has been read, however
// long its text goes without a zero byte (characters such as U+7B2C have none): the piece
// folder is left as it was, without the folder when it was not there and with the files of an
// earlier split untouched.
TEST(SplitAhead, AFileGivenAsGbkButRefusedLeavesTheFolderAsItWas) {
  std::string le = "\xFF\xFE", be = "\xFE\xFF";
  for (int i = 0; i < 400000; ++i) le += "\x2C\x7B\xE0\x7A", be += "\x7B\x2C\x7A\xE0";
  for (const std::string& file : {le, be}) {
    for (const bool earlier_split : {false, true}) {
      SCOPED_TRACE(std::string(file == le ? "UTF-16LE" : "UTF-16BE") +
                   (earlier_split ? ", earlier pieces" : ", no folder"));
      ScopedTempDir dir;
      const std::string source = dir.Join("源.txt");
      ASSERT_TRUE(WriteFileBytes(source, file));
      SplitForm form = SizeForm(dir, source, "100");
      form.rows[0].encoding = EncodingChoice::kGbk;
      form.write_merge_script = true;
      const std::string folder = JoinText(form.chosen_folder, kPathSeparator, "源");
      const std::vector<std::string> old = {"1.txt", "2.txt", "9.txt"};
      if (earlier_split) {
        MakeDirectory(folder);
        for (const std::string& name : old) {
          ASSERT_TRUE(WriteFileBytes(JoinText(folder, kPathSeparator, name), "old " + name));
        }
      }
      QuietHost host;
      SplitJob(form, host);
      ASSERT_EQ(host.failures.size(), 1u);
      EXPECT_TRUE(host.written.empty());
      ASSERT_EQ(std::filesystem::exists(NativePath(folder)), earlier_split);
      if (!earlier_split) continue;
      std::vector<std::string> names;
      for (const auto& entry : std::filesystem::directory_iterator(NativePath(folder))) {
        names.push_back(entry.path().filename().u8string());
      }
      std::sort(names.begin(), names.end());
      EXPECT_EQ(names, old);
      for (const std::string& name : old) {
        std::string bytes;
        ASSERT_TRUE(ReadFileBytes(JoinText(folder, kPathSeparator, name), &bytes)) << name;
        EXPECT_EQ(bytes, "old " + name);
      }
    }
  }
}

// A piece folder kept from an earlier split: its files are replaced only by pieces that stay, and
// the others are left as they were (and reported), whatever the reader finds late. A lone lead
// byte at the end that would be a piece on its own is no piece of the text read.
TEST(SplitAhead, FilesOfAnEarlierSplitAreReplacedOnlyByPiecesThatStay) {
  std::mt19937 rng(33);
  std::vector<Case> cases;
  std::string pairs;  // 12 pieces of 100 KB
  for (int i = 0; i < 12 * 102400 / 2; ++i) pairs += "\xB5\xDA";
  cases.push_back({"lone lead byte alone", pairs + "\xB5", pairs, Encoding::kGbk});
  const std::string gbk = GbkText(rng, (3u << 20) / 2);
  cases.push_back({"lone lead byte", gbk + "\xB5", gbk, Encoding::kGbk});
  std::string eof = gbk;
  eof.insert(eof.find("\r\n", 1200000) + 2, "\x1A");
  cases.push_back({"0x1A", eof, eof, Encoding::kGbk});
  cases.push_back({"padding", gbk + std::string(5000, '\0'), gbk, Encoding::kGbk});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScopedTempDir dir;
    const std::string source = dir.Join("源.txt");
    ASSERT_TRUE(WriteFileBytes(source, c.file));
    SplitForm form = SizeForm(dir, source, "100");
    const std::string folder = JoinText(form.chosen_folder, kPathSeparator, "源");
    MakeDirectory(folder);
    const int old_count = static_cast<int>(c.file.size() / 102400) + 3;
    for (int i = 1; i <= old_count; ++i) {
      ASSERT_TRUE(WriteFileBytes(JoinText(folder, kPathSeparator, NumberToText(i), ".txt"), "old"));
    }
    QuietHost host;
    SplitJob(form, host);
    const std::vector<model::Piece> want = model::SplitBySize(
        c.text, 100, SizeModePieceCount(static_cast<int64_t>(c.file.size()), "100"), {});
    ASSERT_LT(static_cast<int>(want.size()), old_count);
    for (int i = 1; i <= old_count; ++i) {
      std::string bytes;
      ASSERT_TRUE(ReadFileBytes(JoinText(folder, kPathSeparator, NumberToText(i), ".txt"), &bytes))
          << i;
      if (i <= static_cast<int>(want.size())) {
        EXPECT_TRUE(bytes == want[i - 1].bytes) << i;
      } else {
        EXPECT_EQ(bytes, "old") << i;
      }
    }
    EXPECT_EQ(host.written.size(), want.size());
    // The text that ended early (a lone lead byte), and the files not written.
    ASSERT_EQ(host.failures.size(), c.file.back() == '\xB5' ? 2u : 1u);
  }
}

// UTF-8 texts large enough to be read block by block, with characters of 2, 3 and 4 bytes
// falling on every cut and block edge, and endings the reader treats apart (a character cut off
// by the end, a lone lead byte, a 0x00 late, a byte-order mark, a byte that is no UTF-8): auto or
// given as UTF-8, the folder ends with the model's pieces of the text as read, or nothing when
// the file is refused.
TEST(SplitAhead, RandomUtf8TextsEndWithTheModelsPieces) {
  const unsigned seed = 2323;
  std::mt19937 rng(seed);
  static const char* const kChars[] = {"\xC3\xA9", "\xE7\xAC\xAC", "\xF0\x9F\x98\x80", "a",
                                        "\n"};
  for (int round = 0; round < 24; ++round) {
    std::string file;
    if (round % 4 == 1) file.assign(rng() % 700000, 'x');  // a long ASCII start
    const size_t size = (1u << 20) + rng() % 700000;
    while (file.size() < size) file += kChars[rng() % (round % 3 == 0 ? 3 : 5)];
    const int ending = round % 6;
    if (ending == 1) file += "\xE7\xAC";                                   // cut off
    if (ending == 2) file += "\xE7";                                        // a lone lead byte
    if (ending == 3) file.insert(file.size() - rng() % 200000, 1, '\0');    // 0x00 late
    if (ending == 4) file.insert(0, "\xEF\xBB\xBF");                        // marked
    if (ending == 5) file.insert(file.size() - rng() % 300000, "\xFF");      // no UTF-8
    const EncodingChoice choice = round % 2 ? EncodingChoice::kUtf8 : EncodingChoice::kAuto;
    const int kb = 1 + static_cast<int>(rng() % 300);
    SCOPED_TRACE("seed " + std::to_string(seed) + " round " + std::to_string(round) + ", " +
                 std::to_string(kb) + " KB, ending " + std::to_string(ending));
    ScopedTempDir dir;
    const std::string source = dir.Join("源.txt");
    ASSERT_TRUE(WriteFileBytes(source, file));
    SplitForm form = SizeForm(dir, source, NumberToText(kb));
    form.rows[0].encoding = choice;
    QuietHost host;
    SplitJob(form, host);
    const SourceText read = LoadSourceText(source, {}, choice);
    const std::string folder = JoinText(form.chosen_folder, kPathSeparator, "源");
    if (!read.ok) {
      EXPECT_FALSE(std::filesystem::exists(NativePath(folder)));
      EXPECT_TRUE(host.written.empty());
      continue;
    }
    const std::string text(read.text.view());
    const double count = SizeModePieceCount(static_cast<int64_t>(file.size()), NumberToText(kb));
    const std::vector<model::Piece> want =
        read.encoding == Encoding::kGbk
            ? model::SplitBySize(text, kb, count, {})
            : model::SplitBySize(text, kb, count, {}, read.encoding, read.mark_length);
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(NativePath(folder))) {
      names.push_back(entry.path().filename().u8string());
    }
    ASSERT_EQ(names.size(), want.size());
    std::vector<std::string> kept;
    for (const model::Piece& piece : want) {
      std::string bytes;
      ASSERT_TRUE(ReadFileBytes(JoinText(folder, kPathSeparator, piece.name), &bytes))
          << piece.name;
      ASSERT_TRUE(bytes == piece.bytes) << piece.name;
      kept.push_back(JoinText(folder, kPathSeparator, piece.name));
    }
    EXPECT_EQ(host.written, kept);
  }
}

// Pieces cut while reading never take the place of a file already in the piece folder: when the
// text turns out not to be in the encoding they were cut in, or is refused, they are removed, and
// an earlier split's file of the same name would go with them. Whatever the reader finds late,
// the folder ends with the model's pieces of the text as read (none when it is refused) and
// every other earlier file as it was.
TEST(SplitAhead, PiecesThatGoNeverTakeAnEarlierFilesPlace) {
  std::mt19937 rng(1717);
  const std::string utf8 = Utf8Text(rng, 1200000);
  std::string utf16 = GbkText(rng, 1200000);
  for (int i = 0; i < 600000; ++i) utf16 += std::string("a\0", 2);
  struct Late {
    std::string name;
    std::string file;
    EncodingChoice choice;
    std::string kb;
  };
  const std::vector<Late> cases = {
      {"given UTF-8, invalid late", utf8 + "\xB5\xDA" + Utf8Text(rng, 9000), EncodingChoice::kUtf8,
       "100"},
      // GBK pieces of 1 KB are mostly a byte longer than UTF-8 ones: fewer of them.
      {"UTF-8, GBK after all", utf8 + "\xB5\xDA", EncodingChoice::kAuto, "1"},
      {"UTF-16 after all", utf16, EncodingChoice::kAuto, "100"},
  };
  for (const Late& c : cases) {
    SCOPED_TRACE(c.name);
    ScopedTempDir dir;
    const std::string source = dir.Join("源.txt");
    ASSERT_TRUE(WriteFileBytes(source, c.file));
    SplitForm form = SizeForm(dir, source, c.kb);
    form.rows[0].encoding = c.choice;
    const std::string folder = JoinText(form.chosen_folder, kPathSeparator, "源");
    MakeDirectory(folder);
    const int old_count = static_cast<int>(c.file.size() / 1024) + 3;
    for (int i = 1; i <= old_count; ++i) {
      ASSERT_TRUE(WriteFileBytes(JoinText(folder, kPathSeparator, NumberToText(i), ".txt"), "old"));
    }
    QuietHost host;
    SplitJob(form, host);
    const SourceText read = LoadSourceText(source, {}, c.choice);
    std::vector<model::Piece> want;
    if (read.ok) {
      const std::string text(read.text.view());
      const double count = SizeModePieceCount(static_cast<int64_t>(c.file.size()), c.kb);
      want = read.encoding == Encoding::kGbk
                 ? model::SplitBySize(text, TextToInt(c.kb), count, {})
                 : model::SplitBySize(text, TextToInt(c.kb), count, {}, read.encoding,
                                      read.mark_length);
    }
    ASSERT_LT(static_cast<int>(want.size()), old_count);
    for (int i = 1; i <= old_count; ++i) {
      std::string bytes;
      ASSERT_TRUE(ReadFileBytes(JoinText(folder, kPathSeparator, NumberToText(i), ".txt"), &bytes))
          << i << " of " << want.size();
      if (i <= static_cast<int>(want.size())) {
        ASSERT_TRUE(bytes == want[i - 1].bytes) << i;
      } else {
        ASSERT_EQ(bytes, "old") << i;
      }
    }
    EXPECT_EQ(host.written.size(), want.size());
  }
}

}  // namespace
}  // namespace travik
