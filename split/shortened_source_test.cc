// A large source that another program shortens while a job works on it: the job must not crash
// (a mapped file's missing pages raise SIGBUS), must say so by file, and must not pass off what it
// made from the missing bytes as the file's text.
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "files/file_entry.h"
#include "files/files.h"
#include "text/text.h"
#include "gtest/gtest.h"
#include "insert/insert_job.h"
#include "split/piece_writer.h"
#include "split/split_job.h"
#include "split/split_test_util.h"
#include "tests/test_util.h"

namespace travik {
namespace {

using testing::NativePath;
using testing::ReadFileBytes;
using testing::ScopedTempDir;
using testing::WriteFileBytes;

// Shortens `victim` to `keep` bytes at the `at`-th output written or the `at`-th stop check,
// as another program might at any moment; records the failures the job reports. Windows refuses
// to shorten a file that is mapped (the job's large source): `shortened` says whether it was.
class ShorteningHost : public testing::RecordingHost {
 public:
  ShorteningHost(std::string victim, uintmax_t keep, int at)
      : victim_(std::move(victim)), keep_(keep), at_(at) {}
  void OutputWritten(const std::string& path) override {
    written.push_back(path);
    if (count_outputs) Tick();
  }
  bool StopRequested() const override {
    if (!count_outputs) Tick();
    return false;
  }

  bool count_outputs = true;  // else stop checks are counted
  std::vector<std::string> written;
  mutable bool shortened = false;

 private:
  void Tick() const {
    if (++seen_ == at_) {
      std::error_code error;
      std::filesystem::resize_file(NativePath(victim_), keep_, error);
      shortened = !error;
    }
  }
  std::string victim_;
  uintmax_t keep_;
  int at_;
  mutable int seen_ = 0;
};

bool Mentions(const std::vector<FileFailure>& failures, const std::string& path,
              const std::string& words) {
  for (const FileFailure& f : failures) {
    if (f.path == path && f.reason.find(words) != std::string::npos) return true;
  }
  return false;
}

std::string LargeText(unsigned seed) {
  std::mt19937 rng(seed);
  std::string text;
  while (text.size() < (3u << 20)) text += testing::RandomGbkText(rng, 4000) + "\r\n";
  return text;
}

TEST(ShortenedSource, ASplitSaysSoAndWritesNoMergeScript) {
  // Shortened after the first piece, once the file has been read (a split by count waits for the
  // whole text): by most of the file (later pieces fault on missing pages), and by a few bytes
  // within the last page (no fault: only the length tells).
  const std::string text = LargeText(7);
  for (uintmax_t keep : {uintmax_t{(1u << 20) + 10}, uintmax_t{text.size() - 5}}) {
    SCOPED_TRACE(keep);
    ScopedTempDir dir;
    const std::string source = dir.Join("长.txt");
    ASSERT_TRUE(WriteFileBytes(source, text));
    SplitForm form;
    form.rows = {MakeSplitEntry(source)};
    form.mode = SplitMode::kByCount;
    form.parts_text = "30";
    form.write_merge_script = true;
    form.chosen_folder = dir.Join("出");
    MakeDirectory(form.chosen_folder);
    ShorteningHost host(source, keep, 1);
    SplitJob(form, host);
    const std::string folder = JoinText(form.chosen_folder, kPathSeparator, "长");
#ifndef _WIN32
    EXPECT_TRUE(host.shortened);
#endif
    EXPECT_EQ(Mentions(host.failures, source, "被其他程序改短"), host.shortened);
    EXPECT_EQ(std::filesystem::exists(
                  NativePath(JoinText(folder, kPathSeparator, kMergeScriptName))),
              !host.shortened);
    if (!host.shortened) {  // refused: the pieces are the whole text
      std::string joined;
      for (const std::string& path : host.written) {
        std::string piece;
        ASSERT_TRUE(ReadFileBytes(path, &piece));
        joined += piece;
      }
      EXPECT_TRUE(joined == text);
    }
    // The first piece was written before the change and is the text's start.
    ASSERT_FALSE(host.written.empty());
    std::string first;
    ASSERT_TRUE(ReadFileBytes(host.written.front(), &first));
    EXPECT_EQ(first, text.substr(0, first.size()));
  }
}

TEST(ShortenedSource, AnInsertionWritesNeitherTheFileNorACopy) {
  const std::string text = LargeText(8);
  for (bool keep_original : {false, true}) {
    SCOPED_TRACE(keep_original);
    ScopedTempDir dir;
    const std::string source = dir.Join("长.txt");
    ASSERT_TRUE(WriteFileBytes(source, text));
    InsertForm form;
    form.rows = {MakeInsertEntry(source)};
    form.text_to_insert = "##";
    form.every_text = "1000";
    form.keep_original = keep_original;
    form.use_program_folder = false;
    form.output_folder = dir.Join("副本");
    MakeDirectory(form.output_folder);
    form.program_folder = dir.path();
    // The stop checks: once before the file, once after its new text is made. The file is
    // shortened in between, after the whole text was read.
    ShorteningHost host(source, text.size() - 3, 2);
    host.count_outputs = false;
    InsertContext context;
    InsertJob(form, context, host);
#ifndef _WIN32
    EXPECT_TRUE(host.shortened);
#endif
    EXPECT_EQ(Mentions(host.failures, source, "被其他程序改短"), host.shortened)
        << host.failures.size();
    ASSERT_EQ(host.written.empty(), host.shortened);
    std::string now;
    ASSERT_TRUE(ReadFileBytes(source, &now));
    if (!host.shortened) {
      // Refused: the insertion was made into the whole text (two bytes per 1,000).
      std::string copy;
      ASSERT_TRUE(ReadFileBytes(host.written.front(), &copy));
      EXPECT_EQ(copy.size(), text.size() + text.size() / 1000 * 2);
      if (keep_original) {
        EXPECT_TRUE(now == text);
      }
      continue;
    }
    EXPECT_EQ(now, text.substr(0, text.size() - 3));  // as the other program left it
    EXPECT_FALSE(std::filesystem::exists(
        NativePath(JoinText(form.output_folder, kPathSeparator, "长.txt"))));
  }
}

// Shortened while a split by size is still reading it (at the check before its first piece): the
// pieces cut from the old bytes go and the file is split as it now is, never pieces of bytes the
// file lost mixed with the rest. The text read again is whole, so nothing is reported.
TEST(ShortenedSource, ASplitBySizeWhileReadingEndsConsistent) {
  const std::string text = LargeText(9);
  const uintmax_t keep = 50000;  // less than the pieces already cut from the first block
  ScopedTempDir dir;
  const std::string source = dir.Join("长.txt");
  ASSERT_TRUE(WriteFileBytes(source, text));
  SplitForm form;
  form.rows = {MakeSplitEntry(source)};
  form.mode = SplitMode::kBySize;
  form.size_text = "100";
  form.chosen_folder = dir.Join("出");
  MakeDirectory(form.chosen_folder);
  ShorteningHost host(source, keep, 1);
  host.count_outputs = false;  // pieces cut while reading are told as written only afterwards
  SplitJob(form, host);
  const std::string folder = JoinText(form.chosen_folder, kPathSeparator, "长");
  EXPECT_TRUE(host.failures.empty());
  std::string joined;
  for (int i = 1;; ++i) {
    std::string piece;
    if (!ReadFileBytes(JoinText(folder, kPathSeparator, NumberToText(i), ".txt"), &piece)) break;
    joined += piece;
  }
  std::string now;
  ASSERT_TRUE(ReadFileBytes(source, &now));
  EXPECT_TRUE(joined == now);
}

}  // namespace
}  // namespace travik
