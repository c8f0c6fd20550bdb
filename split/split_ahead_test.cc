// A size split of a large file begins while the file is still being read. Whatever the reader
// finds later (a text that is GB18030 or UTF-8 after all, a 0x1A far in, a long ASCII start), the
// folder ends up holding exactly the pieces the model cuts from the text as read, and nothing else.
#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "core/file_entry.h"
#include "core/files.h"
#include "core/text.h"
#include "gtest/gtest.h"
#include "split/split_job.h"
#include "split/split_model.h"
#include "tests/test_util.h"

namespace travik {
namespace {

using testing::NativePath;
using testing::ReadFileBytes;
using testing::ScopedTempDir;
using testing::WriteFileBytes;

class QuietHost : public JobHost {
 public:
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  void SetStatusPane(int, const std::string&) override {}
  std::string StatusPane(int) const override { return {}; }
  void ShowCompletionNotice() override {}
  void ReportFailures(const std::vector<FileFailure>& list) override {
    failures.insert(failures.end(), list.begin(), list.end());
  }
  void OutputWritten(const std::string& path) override {
    written.push_back(path);
    if (static_cast<int>(written.size()) == stop_after) stop = true;
  }
  bool StopRequested() const override { return stop; }
  int stop_after = -1;
  bool stop = false;
  std::vector<std::string> written;
  std::vector<std::string> messages;
  std::vector<FileFailure> failures;
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

struct Case {
  std::string name;
  std::string file;      // the file's bytes
  std::string text;      // the text the reader gives, or more (a lone lead byte at the end)
  Encoding encoding;
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
  // A 0x1A far in: the text ends there.
  std::string eof = GbkText(rng, (2u << 20) + 5);
  const size_t at = eof.find("\r\n", 1300000) + 2;
  eof.insert(at, "\x1A");
  cases.push_back({"0x1A", eof, eof.substr(0, at), Encoding::kGbk});
  const std::string utf8 = Utf8Text(rng, (2u << 20) + 1);
  cases.push_back({"UTF-8", utf8, utf8, Encoding::kUtf8});
  // One byte that breaks UTF-8 near the end: GBK after all (not GB18030: no four-byte form).
  const std::string broken = utf8 + "\xB5\xDA";
  cases.push_back({"late GBK", broken, broken, DetectEncoding(broken).encoding});

  for (const Case& c : cases) {
    for (const int kb : {3, 64, 100, 257, 4500}) {
      SCOPED_TRACE(c.name + ", " + std::to_string(kb) + " KB");
      ScopedTempDir dir;
      const std::string source = dir.Join("源.txt");
      ASSERT_TRUE(WriteFileBytes(source, c.file));
      SplitForm form;
      form.rows = {MakeSplitEntry(source)};
      form.mode = SplitMode::kBySize;
      form.size_text = NumberToText(kb);
      form.chosen_folder = dir.Join("出");
      MakeDirectory(form.chosen_folder);
      QuietHost host;
      SplitJob(form, host);

      // The text as the reader gives it (its rules are tested with the reader).
      const SourceText read = LoadSourceText(source);
      ASSERT_TRUE(read.ok);
      ASSERT_EQ(read.encoding, c.encoding);
      ASSERT_TRUE(read.text == c.text.substr(0, read.text.size()));
      const std::string text(read.text.view());
      const double count =
          SizeModePieceCount(static_cast<int64_t>(c.file.size()), NumberToText(kb));
      const std::vector<model::Piece> want =
          c.encoding == Encoding::kGbk
              ? model::SplitBySize(text, kb, count, {})
              : model::SplitBySize(text, kb, count, {}, c.encoding, 0);
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
  SplitForm form;
  form.rows = {MakeSplitEntry(source)};
  form.mode = SplitMode::kBySize;
  form.size_text = "100";
  form.write_merge_script = true;
  form.chosen_folder = dir.Join("出");
  MakeDirectory(form.chosen_folder);
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
  for (size_t i = 0; i < 5; ++i) {
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
  SplitForm form;
  form.rows = {MakeSplitEntry(source)};
  form.mode = SplitMode::kBySize;
  form.size_text = "100";
  form.chosen_folder = dir.Join("出");
  MakeDirectory(form.chosen_folder);
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

}  // namespace
}  // namespace travik
