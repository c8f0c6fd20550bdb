// Stopping the three jobs between units of work: only complete files are left, a merge writes and
// deletes nothing, an in-place insertion leaves the file it was on untouched. Each stopped run is
// compared with an unstopped run of the same inputs.
#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "files/file_entry.h"
#include "files/files.h"
#include "text/text.h"
#include "gtest/gtest.h"
#include "insert/insert_job.h"
#include "merge/merge_job.h"
#include "split/piece_writer.h"
#include "split/split_job.h"
#include "tests/test_util.h"

namespace travik {
namespace {

using testing::NativePath;
using testing::operator""_gbk;
using testing::RandomGbkText;
using testing::ReadFileBytes;
using testing::ScopedTempDir;
using testing::WriteFileBytes;

// Asks the job to stop once `stop_after_outputs` files were written, or when file
// `stop_at_file` starts; records what the job told it.
class StoppingHost : public JobHost {
 public:
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  void SetStatusPane(int, const std::string&) override {}
  std::string StatusPane(int) const override { return {}; }
  void ShowCompletionNotice() override {}
  void ReportFailures(const std::vector<FileFailure>& list) override {
    failures.insert(failures.end(), list.begin(), list.end());
  }
  void FileStarted(int index, int, const std::string&) override {
    started.push_back(index);
    if (index == stop_at_file) stop = true;
  }
  void OutputWritten(const std::string& path) override {
    written.push_back(path);
    if (static_cast<int>(written.size()) == stop_after_outputs) stop = true;
  }
  bool StopRequested() const override { return stop; }

  int stop_after_outputs = -1;
  int stop_at_file = -1;
  bool stop = false;
  std::vector<int> started;
  std::vector<std::string> written;
  std::vector<std::string> messages;
  std::vector<FileFailure> failures;
};

// Every file of a folder (names only), sorted.
std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  if (!std::filesystem::exists(NativePath(folder))) return names;
  for (const auto& entry : std::filesystem::directory_iterator(NativePath(folder))) {
    names.push_back(entry.path().filename().u8string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string Read(const std::string& path) {
  std::string bytes;
  EXPECT_TRUE(ReadFileBytes(path, &bytes)) << path;
  return bytes;
}

// Random chapters so that a keyword split has many pieces.
std::string ChapterText(std::mt19937& rng) {
  std::string text;
  const int chapters = 10 + static_cast<int>(rng() % 20);
  for (int i = 0; i < chapters; ++i) {
    text += JoinText("第"_gbk, NumberToText(i + 1), "章\r\n"_gbk, RandomGbkText(rng, 800));
  }
  return text;
}

TEST(JobStop, SplitKeepsTheCompletePiecesWrittenBeforeTheStop) {
  for (unsigned seed = 1; seed <= 30; ++seed) {
    SCOPED_TRACE(::testing::Message() << "seed " << seed);
    std::mt19937 rng(seed);
    ScopedTempDir dir;
    const std::string text = ChapterText(rng);
    const std::string source = dir.Join("源.txt");
    ASSERT_TRUE(WriteFileBytes(source, text));
    const std::string second = dir.Join("二.txt");
    ASSERT_TRUE(WriteFileBytes(second, text));

    SplitForm form;
    form.rows = {MakeSplitEntry(source), MakeSplitEntry(second)};
    form.mode = static_cast<SplitMode>(1 + seed % 3);
    form.size_text = "1";
    form.parts_text = "7";
    form.keyword_text = "第[0-9]+章";
    form.chosen_folder = dir.Join("全");
    MakeDirectory(form.chosen_folder);
    StoppingHost whole;
    SplitJob(form, whole);
    const std::vector<std::string> all = whole.written;
    const int per_file = static_cast<int>(all.size()) / 2;
    ASSERT_GE(per_file, 2);

    const int stop_after = 1 + static_cast<int>(rng() % (per_file - 1));
    form.chosen_folder = dir.Join("停");
    MakeDirectory(form.chosen_folder);
    StoppingHost stopped;
    stopped.stop_after_outputs = stop_after;
    SplitJob(form, stopped);

    // Only the first file was started; exactly the pieces written before the stop are there,
    // each equal to the piece of the whole run, and together they are the start of the text.
    EXPECT_EQ(stopped.started, std::vector<int>{0});
    ASSERT_EQ(static_cast<int>(stopped.written.size()), stop_after);
    const std::string folder = JoinText(form.chosen_folder, kPathSeparator, "源");
    EXPECT_EQ(static_cast<int>(FilesIn(folder).size()), stop_after);
    EXPECT_TRUE(FilesIn(JoinText(form.chosen_folder, kPathSeparator, "二")).empty());
    std::string joined;
    for (int i = 0; i < stop_after; ++i) {
      const std::string piece = Read(stopped.written[i]);
      EXPECT_EQ(piece, Read(all[i])) << stopped.written[i];
      joined += piece;
    }
    EXPECT_EQ(joined, text.substr(0, joined.size()));
    EXPECT_LT(joined.size(), text.size());
    EXPECT_TRUE(stopped.failures.empty());
  }
}

// A stopped split writes no merge script: the script would join the pieces written so far into a
// file named after the whole text, which it is not.
TEST(JobStop, AStoppedSplitWritesNoMergeScript) {
  std::mt19937 rng(99);
  ScopedTempDir dir;
  const std::string text = ChapterText(rng);
  const std::string source = dir.Join("源.txt");
  ASSERT_TRUE(WriteFileBytes(source, text));
  SplitForm form;
  form.rows = {MakeSplitEntry(source)};
  form.mode = SplitMode::kBySize;
  form.size_text = "1";
  form.write_merge_script = true;
  form.chosen_folder = dir.path();
  StoppingHost stopped;
  stopped.stop_after_outputs = 2;
  SplitJob(form, stopped);
  const std::vector<std::string> files = FilesIn(JoinText(dir.path(), kPathSeparator, "源"));
  EXPECT_EQ(files.size(), 2u);
  for (const std::string& name : files) EXPECT_EQ(name.find(".bat"), std::string::npos) << name;
  // Not stopped, the same split writes it.
  form.chosen_folder = dir.Join("全");
  MakeDirectory(form.chosen_folder);
  StoppingHost whole;
  SplitJob(form, whole);
  EXPECT_TRUE(std::filesystem::exists(
      NativePath(JoinText(form.chosen_folder, kPathSeparator, "源", kPathSeparator, kMergeScriptName))));
}

TEST(JobStop, MergeStoppedAnywhereWritesNothingAndDeletesNothing) {
  std::mt19937 rng(7);
  for (int stop_at = 0; stop_at < 4; ++stop_at) {
    SCOPED_TRACE(::testing::Message() << "stop at file " << stop_at);
    ScopedTempDir dir;
    std::vector<std::string> texts;
    MergeForm form;
    for (int i = 0; i < 4; ++i) {
      texts.push_back(RandomGbkText(rng, 2000));
      const std::string path = dir.Join(JoinText("第", NumberToText(i + 1), "章.txt"));
      ASSERT_TRUE(WriteFileBytes(path, texts.back()));
      form.rows.push_back(MakeMergeEntry(path));
    }
    const std::vector<std::string> before = FilesIn(dir.path());
    form.merged_name = "合并";
    form.chosen_folder = dir.path();
    form.delete_sources = true;
    int removed = 0;
    form.remove_source = [&](const std::string&) { return ++removed, false; };
    StoppingHost host;
    host.stop_at_file = stop_at;  // the last one: every file was read, the stop comes at commit
    MergeResult result;
    MergeJob(form, host, &result);

    EXPECT_FALSE(result.written);
    EXPECT_TRUE(host.written.empty());
    EXPECT_EQ(removed, 0);
    EXPECT_EQ(FilesIn(dir.path()), before) << "no merged file and no temporary file is left";
    for (size_t i = 0; i < texts.size(); ++i) EXPECT_EQ(Read(form.rows[i].path), texts[i]);
    EXPECT_TRUE(host.failures.empty()) << host.failures.front().reason;
  }
}

TEST(JobStop, MergeHandsTheSourcesOverOnlyWhenTheMergedFileIsComplete) {
  ScopedTempDir dir;
  MergeForm form;
  std::string expected;
  for (int i = 0; i < 3; ++i) {
    const std::string text = JoinText("第"_gbk, NumberToText(i + 1), "章 文字\r\n"_gbk);
    const std::string path = dir.Join(JoinText(NumberToText(i + 1), ".txt"));
    ASSERT_TRUE(WriteFileBytes(path, text));
    form.rows.push_back(MakeMergeEntry(path));
    expected += text;
  }
  form.merged_name = "合并";
  form.chosen_folder = dir.path();
  form.delete_sources = true;
  const std::string merged = dir.Join("合并.txt");
  std::vector<std::string> recycled;
  form.remove_source = [&](const std::string& path) {
    // The merged file is on disk in full before the first source goes.
    EXPECT_EQ(Read(merged), expected);
    recycled.push_back(path);
    return std::filesystem::remove(NativePath(path));
  };
  StoppingHost host;
  MergeResult result;
  MergeJob(form, host, &result);
  EXPECT_TRUE(result.written);
  EXPECT_EQ(result.sources_deleted, 3);
  EXPECT_EQ(recycled, (std::vector<std::string>{form.rows[0].path, form.rows[1].path,
                                                form.rows[2].path}));
  EXPECT_EQ(host.written, std::vector<std::string>{merged});
  EXPECT_EQ(host.started, (std::vector<int>{0, 1, 2}));
}

TEST(JobStop, InPlaceInsertionLeavesTheFileItWasOnUntouched) {
  std::mt19937 rng(11);
  for (int stop_at = 0; stop_at < 3; ++stop_at) {
    SCOPED_TRACE(::testing::Message() << "stop at file " << stop_at);
    ScopedTempDir dir;
    std::vector<std::string> texts, paths;
    for (int i = 0; i < 3; ++i) {
      texts.push_back(ChapterText(rng));
      paths.push_back(dir.Join(JoinText(NumberToText(i + 1), ".txt")));
      ASSERT_TRUE(WriteFileBytes(paths.back(), texts.back()));
    }
    InsertForm form;
    for (const std::string& path : paths) form.rows.push_back(MakeInsertEntry(path));
    form.text_to_insert = "★";
    form.keyword_text = "章";
    form.keep_original = false;
    form.program_folder = dir.path();

    // What an unstopped run makes of each file, on copies.
    ScopedTempDir whole_dir;
    InsertForm whole_form = form;
    for (size_t i = 0; i < paths.size(); ++i) {
      whole_form.rows[i] = FileEntry{form.rows[i].name, whole_dir.Join(FileNamePart(paths[i])),
                                     form.rows[i].size};
      ASSERT_TRUE(WriteFileBytes(whole_form.rows[i].path, texts[i]));
    }
    StoppingHost whole;
    InsertContext whole_context;
    InsertJob(whole_form, whole_context, whole);

    StoppingHost host;
    host.stop_at_file = stop_at;
    InsertContext context;
    InsertJob(form, context, host);
    EXPECT_EQ(static_cast<int>(host.written.size()), stop_at);
    for (int i = 0; i < 3; ++i) {
      if (i < stop_at) {
        EXPECT_EQ(Read(paths[i]), Read(whole_form.rows[i].path)) << "changed before the stop";
        EXPECT_NE(Read(paths[i]), texts[i]);
      } else {
        EXPECT_EQ(Read(paths[i]), texts[i]) << "untouched from the stop on";
      }
    }
    EXPECT_EQ(FilesIn(dir.path()).size(), 3u) << "no temporary file is left";
    EXPECT_EQ(context.host, nullptr);
  }
}

#ifndef _WIN32
// Shortens `path` to `length` bytes the first time the job reports progress, or asks whether to
// stop once a file was started (after an insertion's result is made, before it is committed).
class ShorteningHost : public StoppingHost {
 public:
  ShorteningHost(std::string path, size_t length) : path_(std::move(path)), length_(length) {}
  void Progress(int64_t, int64_t) override { Shorten(); }
  void FileStarted(int index, int count, const std::string& path) override {
    StoppingHost::FileStarted(index, count, path);
    started_file_ = true;
  }
  bool StopRequested() const override {
    if (started_file_) Shorten();
    return StoppingHost::StopRequested();
  }
  bool shortened() const { return shortened_; }

 private:
  void Shorten() const {
    if (shortened_) return;
    shortened_ = true;
    EXPECT_EQ(truncate(NativePath(path_).c_str(), static_cast<off_t>(length_)), 0);
  }
  std::string path_;
  size_t length_;
  bool started_file_ = false;
  mutable bool shortened_ = false;
};

// A large source (mapped, not read into memory) that another program shortens while a job works
// on it: the job does not crash, names the file in its report, and leaves no result of it behind
// as if it were whole: a split writes no merge script, an insertion neither replaces the file nor
// writes a copy.
TEST(JobStop, ASourceShortenedWhileItIsWorkedOnIsReportedAndNothingIsCommitted) {
  std::mt19937 rng(1616);
  std::string text;
  while (text.size() < (size_t{3} << 20)) text += ChapterText(rng);
  const size_t kept = (size_t{1} << 20) + 777;
  // (A split by size cuts while it reads: shortened then, the file is split as it now is; see
  // ShortenedSource.ASplitBySizeWhileReadingEndsConsistent.)
  for (SplitMode mode : {SplitMode::kByCount, SplitMode::kByKeyword}) {
    SCOPED_TRACE(::testing::Message() << "split mode " << static_cast<int>(mode));
    ScopedTempDir dir;
    const std::string source = dir.Join("源.txt");
    ASSERT_TRUE(WriteFileBytes(source, text));
    SplitForm form;
    form.rows = {MakeSplitEntry(source)};
    form.mode = mode;
    form.size_text = "100";
    form.parts_text = "9";
    form.keyword_text = "第[0-9]+章";
    form.write_merge_script = true;
    form.chosen_folder = dir.path();
    ShorteningHost host(source, kept);
    SplitJob(form, host);
    EXPECT_TRUE(host.shortened());
    ASSERT_EQ(host.failures.size(), 1u);
    EXPECT_EQ(host.failures[0].path, source);
    const std::vector<std::string> files = FilesIn(JoinText(dir.path(), kPathSeparator, "源"));
    for (const std::string& name : files) EXPECT_EQ(name.find(".bat"), std::string::npos) << name;
  }
  for (const bool keep_original : {false, true}) {
    SCOPED_TRACE(::testing::Message() << "keep original " << keep_original);
    ScopedTempDir dir;
    const std::string source = dir.Join("1.txt");
    ASSERT_TRUE(WriteFileBytes(source, text));
    InsertForm form;
    form.rows = {MakeInsertEntry(source)};
    form.text_to_insert = "★";
    form.keyword_text = "章";
    form.keep_original = keep_original;
    form.use_program_folder = true;
    form.program_folder = dir.path();
    ShorteningHost host(source, kept);
    InsertContext context;
    InsertJob(form, context, host);
    EXPECT_TRUE(host.shortened());
    ASSERT_EQ(host.failures.size(), 1u);
    EXPECT_EQ(host.failures[0].path, source);
    EXPECT_TRUE(host.written.empty());
    EXPECT_TRUE(Read(source) == text.substr(0, kept)) << "the file is as the other program left it";
    // Only the file itself: no copy, no temporary file.
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(NativePath(dir.path()))) {
      if (entry.is_regular_file()) left.push_back(entry.path().filename().u8string());
    }
    EXPECT_EQ(left, std::vector<std::string>{"1.txt"});
  }
}
#endif

}  // namespace
}  // namespace travik
