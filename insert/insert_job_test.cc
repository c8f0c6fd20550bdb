#include "insert/insert_job.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "core/files.h"
#include "core/text.h"
#include "insert/insertion_builder.h"
#include "tests/test_util.h"

namespace travik {
namespace {

using testing::ReadFileBytes;
using testing::ScopedTempDir;
using testing::WriteFileBytes;

class RecordingHost : public JobHost {
 public:
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  void SetStatusPane(int index, const std::string& text) override {
    panes[index] = text;
    pane_writes.push_back(NumberToText(index) + ":" + text);
  }
  std::string StatusPane(int index) const override { return panes[index]; }
  void ShowCompletionNotice() override { ++notices; }
  void ReportFailures(const std::vector<FileFailure>& list) override {
    ++reports;
    failures.insert(failures.end(), list.begin(), list.end());
  }

  std::vector<std::string> messages;
  std::vector<std::string> pane_writes;
  std::string panes[2];
  int notices = 0;
  int reports = 0;
  std::vector<FileFailure> failures;
};

std::string Bytes(const std::string& path) {
  std::string bytes;
  return ReadFileBytes(path, &bytes) ? bytes : "<missing>";
}

size_t EntriesIn(const std::string& folder) {
  size_t n = 0;
  for (const auto& entry : std::filesystem::directory_iterator(testing::NativePath(folder))) {
    (void)entry;
    ++n;
  }
  return n;
}

// A form over files already written, listed with their current sizes.
InsertForm FormFor(const ScopedTempDir& dir, std::vector<std::string> paths) {
  InsertForm form;
  for (const std::string& path : paths) form.rows.push_back(MakeInsertEntry(path));
  form.text_to_insert = "##";
  form.program_folder = dir.path();
  return form;
}

std::string Processed(const ScopedTempDir& dir) { return dir.Join(kProcessedFolderName); }

TEST(InsertJob, ChecksTheTextAndThePositionFirst) {
  ScopedTempDir dir;
  std::string path = dir.Join("a.txt");
  WriteFileBytes(path, "第一章");
  InsertForm form = FormFor(dir, {path});
  form.keyword_text = "章";
  form.text_to_insert = "";
  InsertContext context;
  RecordingHost host;
  InsertJob(form, context, host);
  EXPECT_EQ(host.messages, std::vector<std::string>{"请输入欲插入的文字！"});
  EXPECT_TRUE(host.pane_writes.empty());
  EXPECT_EQ(host.notices, 0);

  form.text_to_insert = " ";  // spaces are a text
  form.keyword_text = "";
  RecordingHost no_position;
  InsertJob(form, context, no_position);
  EXPECT_EQ(no_position.messages, std::vector<std::string>{"请输入欲插入的文字的位置！"});
  EXPECT_TRUE(no_position.pane_writes.empty());
  EXPECT_FALSE(FolderExists(Processed(dir)));
  EXPECT_EQ(Bytes(path), "第一章");

  // Keyword and interval both given: the keyword decides.
  form.keyword_text = "章";
  form.every_text = "1";
  RecordingHost both;
  InsertJob(form, context, both);
  EXPECT_TRUE(both.messages.empty());
  EXPECT_EQ(Bytes(dir.Join(kProcessedFolderName) + kPathSeparator + "a.txt"), "第一章 ");
}

TEST(InsertJob, EmptyListStillRunsAndReportsItsFolder) {
  ScopedTempDir dir;
  InsertForm form = FormFor(dir, {});
  form.random = true;  // no keyword or interval needed
  InsertContext context;
  RecordingHost host;
  InsertJob(form, context, host);
  EXPECT_TRUE(host.messages.empty());
  EXPECT_EQ(host.pane_writes,
            (std::vector<std::string>{"0:当前状态: 正在处理文件...", "1:保存目录: " + dir.path(),
                                      "0:当前状态: 已完成", "1:保存目录: " + Processed(dir)}));
  EXPECT_EQ(host.notices, 1);
  EXPECT_EQ(context.output_folder, Processed(dir));
}

TEST(InsertCounts, FollowTheTables) {
  const std::pair<const char*, int> random[] = {
      {"0", 2},    {"99", 2},    {"100", 1},    {"999", 9},     {"1000", 1},
      {"9999", 9}, {"10000", 2}, {"99999", 19}, {"100000", 10}, {"1234567", 123}};
  for (const auto& [listed, count] : random) EXPECT_EQ(RandomCountFor(listed), count) << listed;

  EXPECT_EQ(StepCountFor(10000, 3000), 3);
  EXPECT_EQ(StepCountFor(10000, 10001), 0);
  EXPECT_EQ(StepCountFor(10000, 0), 0);
  EXPECT_EQ(StepCountFor(10000, -5), 0);
  EXPECT_EQ(StepCountFor(10, 10), 1);
  // The quotient is rounded to single precision before its integer part is taken.
  EXPECT_EQ(StepCountFor(16777217, 1), 16777216);
  EXPECT_EQ(StepCountFor(33554431, 1), 33554432);
}

TEST(InsertJob, KeepsCopiesNamedAfterTheList) {
  ScopedTempDir dir;
  std::string log = dir.Join("卷一.log");
  std::string plain = dir.Join("noext");
  WriteFileBytes(log, "第一章\r\n正文第二章\r\n");
  WriteFileBytes(plain, "章");
  InsertForm form = FormFor(dir, {log, plain});
  form.keyword_text = "章";
  InsertContext context;
  RecordingHost host;
  InsertJob(form, context, host);
  const std::string out = Processed(dir) + kPathSeparator;
  EXPECT_EQ(Bytes(out + "卷一.txt"), "第一章##\r\n正文第二章##\r\n");
  EXPECT_EQ(Bytes(out + ".txt"), "章##");  // a name without "." has an empty base name
  EXPECT_EQ(Bytes(log), "第一章\r\n正文第二章\r\n");
  EXPECT_EQ(Bytes(plain), "章");
  EXPECT_EQ(host.panes[1], "保存目录: " + Processed(dir));
  EXPECT_EQ(host.notices, 1);
  EXPECT_TRUE(host.failures.empty());
}

TEST(InsertJob, ChosenFolderReceivesTheCopiesItself) {
  ScopedTempDir dir;
  ScopedTempDir chosen;
  std::string path = dir.Join("b.txt");
  WriteFileBytes(path, "abcdefghij");
  InsertForm form = FormFor(dir, {path});
  form.every_text = "3";
  form.text_to_insert = "#";
  form.use_program_folder = false;
  form.output_folder = chosen.path();
  InsertContext context;
  RecordingHost host;
  InsertJob(form, context, host);
  EXPECT_EQ(Bytes(chosen.Join("b.txt")), "abc#def#ghi#j");
  EXPECT_FALSE(FolderExists(Processed(dir)));
  EXPECT_EQ(host.pane_writes.front(), "0:当前状态: 正在处理文件...");
  EXPECT_EQ(host.panes[1], "保存目录: " + chosen.path());

  // No folder chosen at all: the program's sub-folder, never the root folder.
  form.output_folder.clear();
  RecordingHost fallback;
  InsertJob(form, context, fallback);
  EXPECT_EQ(Bytes(Processed(dir) + kPathSeparator + "b.txt"), "abc#def#ghi#j");
}

TEST(InsertJob, InPlaceReplacesTheWholeFileAndLeavesPaneOne) {
  ScopedTempDir dir;
  std::string path = dir.Join("第一卷.txt");
  WriteFileBytes(path, "中文中文中文");
  InsertForm form = FormFor(dir, {path});
  form.every_text = "3";
  form.text_to_insert = "#";
  form.keep_original = false;
  form.use_program_folder = false;
  form.output_folder = "unused";
  InsertContext context;
  RecordingHost host;
  host.panes[1] = "保存目录: 先前的目录";
  InsertJob(form, context, host);
  EXPECT_EQ(Bytes(path), "中文#中#文中#文#");
  EXPECT_EQ(host.panes[1], "保存目录: 先前的目录");
  EXPECT_EQ(EntriesIn(dir.path()), 1u);  // no temporary file left beside it
  EXPECT_EQ(host.notices, 1);

  // Nothing to insert: the file is not written at all.
  std::string unchanged = dir.Join("c.txt");
  WriteFileBytes(unchanged, "abc");
  form = FormFor(dir, {unchanged});
  form.keep_original = false;
  form.keyword_text = "x";
  auto before = std::filesystem::last_write_time(testing::NativePath(unchanged));
  RecordingHost nothing;
  InsertJob(form, context, nothing);
  EXPECT_EQ(Bytes(unchanged), "abc");
  EXPECT_EQ(std::filesystem::last_write_time(testing::NativePath(unchanged)), before);
  // 选择框7 ticked: pane 1 names the program's folder (step 4) and stays so after in place.
  EXPECT_EQ(nothing.panes[1], "保存目录: " + dir.path());
}

// In place with 选择框7 ticked, the length and random modes still make the program's sub-folder
// (empty); the keyword mode in place makes none.
TEST(InsertJob, InPlaceMakesTheSubFolderOnlyForCountedModes) {
  ScopedTempDir dir;
  std::string path = dir.Join("i.txt");
  WriteFileBytes(path, "第一章");
  InsertForm form = FormFor(dir, {path});
  form.keep_original = false;
  form.keyword_text = "章";
  InsertContext context;
  RecordingHost keyword;
  InsertJob(form, context, keyword);
  EXPECT_EQ(Bytes(path), "第一章##");
  EXPECT_FALSE(FolderExists(Processed(dir)));

  form.keyword_text.clear();
  form.every_text = "100";  // more than the listed length: nothing inserted
  RecordingHost every;
  InsertJob(form, context, every);
  EXPECT_EQ(Bytes(path), "第一章##");
  EXPECT_TRUE(FolderExists(Processed(dir)));
  EXPECT_EQ(EntriesIn(Processed(dir)), 0u);

  ScopedTempDir other;
  std::string random_path = other.Join("j.txt");
  WriteFileBytes(random_path, "中文");
  form = FormFor(other, {random_path});
  form.keep_original = false;
  form.random = true;
  SeededCounter counter(3);
  context.random = &counter;
  RecordingHost random;
  InsertJob(form, context, random);
  EXPECT_TRUE(FolderExists(Processed(other)));
  EXPECT_EQ(EntriesIn(Processed(other)), 0u);
  EXPECT_EQ(TextLength(Bytes(random_path)), 4 + 2 * 2);  // two digits or fewer: two draws
  EXPECT_EQ(random.notices, 1);
}

TEST(InsertJob, KeepModeNeverWritesOverTheSource) {
  ScopedTempDir dir;
  std::string path = dir.Join("d.txt");
  WriteFileBytes(path, "第一章");
  InsertForm form = FormFor(dir, {path});
  form.keyword_text = "章";
  form.use_program_folder = false;
  form.output_folder = dir.path();  // the copy's path is the source's own
  InsertContext context;
  RecordingHost host;
  InsertJob(form, context, host);
  EXPECT_EQ(Bytes(path), "第一章");
  ASSERT_EQ(host.failures.size(), 1u);
  EXPECT_EQ(host.failures[0].path, path);
  EXPECT_EQ(host.reports, 1);
  EXPECT_EQ(host.notices, 0);
  EXPECT_EQ(host.panes[0], "当前状态: 已完成，1 个文件失败");
}

TEST(InsertJob, SourcesCutShortAreReported) {
  ScopedTempDir dir;
  std::string path = dir.Join("e.txt");
  const std::string bytes(
      "ab\x1A"
      "cd章",
      7);
  WriteFileBytes(path, bytes);
  InsertForm form = FormFor(dir, {path});
  form.every_text = "1";
  form.text_to_insert = "#";
  form.keep_original = false;
  InsertContext context;
  RecordingHost in_place;
  InsertJob(form, context, in_place);
  EXPECT_EQ(Bytes(path), bytes);  // writing "a#b#" back would drop "cd章"
  ASSERT_EQ(in_place.failures.size(), 1u);
  EXPECT_EQ(in_place.notices, 0);

  form.keep_original = true;
  RecordingHost keep;
  InsertJob(form, context, keep);
  EXPECT_EQ(Bytes(path), bytes);
  // The listed length (7) is larger than the text "ab": the later points go to its end.
  EXPECT_EQ(Bytes(Processed(dir) + kPathSeparator + "e.txt"), "a#b######");
  ASSERT_EQ(keep.failures.size(), 1u);
  EXPECT_EQ(keep.failures[0].path, path);
}

TEST(InsertJob, FilesThatCannotBeOpenedAreSkipped) {
  ScopedTempDir dir;
  std::string missing = dir.Join("missing.txt");
  std::string locked = dir.Join("locked.txt");
  std::string good = dir.Join("good.txt");
  WriteFileBytes(locked, "章");
  WriteFileBytes(good, "章");
  InsertForm form = FormFor(dir, {locked, good});
  form.rows.insert(form.rows.begin(), FileEntry{"missing", missing, "100"});
  testing::SetReadOnly(locked, true);
  form.keyword_text = "章";
  InsertContext context;
  RecordingHost host;
  InsertJob(form, context, host);
  testing::SetReadOnly(locked, false);
  const std::string out = Processed(dir) + kPathSeparator;
  EXPECT_EQ(Bytes(out + "missing.txt"), "<missing>");
  EXPECT_EQ(Bytes(out + "locked.txt"), "<missing>");
  EXPECT_EQ(Bytes(out + "good.txt"), "章##");
  ASSERT_EQ(host.failures.size(), 2u);
  EXPECT_EQ(host.failures[0].path, missing);
  EXPECT_EQ(host.failures[1].path, locked);
  EXPECT_EQ(host.notices, 0);
}

TEST(InsertJob, RandomDrawsComeFromTheInjectedCounter) {
  ScopedTempDir dir;
  std::string text;
  for (int i = 0; i < 500; ++i) text += i % 7 == 0 ? "，\r\n" : "中文a";
  std::string path = dir.Join("f.txt");
  std::string empty = dir.Join("empty.txt");
  WriteFileBytes(path, text);
  WriteFileBytes(empty, "");
  InsertForm form = FormFor(dir, {path, empty});
  form.random = true;
  form.keyword_text = "ignored";
  InsertContext context;
  SeededCounter counter(7);
  context.random = &counter;
  RecordingHost host;
  InsertJob(form, context, host);

  const int listed = TextLength(text);
  SeededCounter same(7);
  std::vector<int> draws;
  for (int k = 0; k < RandomCountFor(NumberToText(listed)); ++k) {
    draws.push_back(RandomInRange(same, 1, listed));
  }
  SortIntegers(draws);
  ASSERT_EQ(draws.size(), 2u);  // four digits: listed / 1000
  const std::string out = Processed(dir) + kPathSeparator;
  StringSink expected;
  ASSERT_TRUE(InsertAtDraws(text, "##", draws, expected));
  EXPECT_EQ(Bytes(out + "f.txt"), expected.text);
  EXPECT_EQ(Bytes(out + "empty.txt"), "");  // listed length 0: nothing drawn, a plain copy
  EXPECT_EQ(host.notices, 1);

  // In place, an empty file is left alone.
  form.rows = {MakeInsertEntry(empty)};
  form.keep_original = false;
  RecordingHost in_place;
  InsertJob(form, context, in_place);
  EXPECT_EQ(Bytes(empty), "");
  EXPECT_EQ(in_place.notices, 1);
}

TEST(InsertJob, InvalidPatternIsNamedAndNothingIsWritten) {
  ScopedTempDir dir;
  std::string a = dir.Join("a.txt");
  std::string b = dir.Join("b.txt");
  WriteFileBytes(a, "a(b");
  WriteFileBytes(b, "c");
  InsertForm form = FormFor(dir, {a, b});
  form.keyword_text = "(";
  InsertContext context;
  RecordingHost host;
  InsertJob(form, context, host);
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].rfind("关键字不是有效的正则表达式：", 0), 0u) << host.messages[0];
  EXPECT_FALSE(FolderExists(Processed(dir)));
  EXPECT_EQ(host.notices, 0);
  form.keep_original = false;
  InsertJob(form, context, host);
  EXPECT_EQ(host.messages.size(), 2u);
  EXPECT_EQ(Bytes(a), "a(b");
}

TEST(InsertJob, AFileWithoutTheKeywordIsReportedAndItsCopyStillWritten) {
  ScopedTempDir dir;
  std::string a = dir.Join("a.txt");
  std::string b = dir.Join("b.txt");
  WriteFileBytes(a, "甲\r\n乙\r\n");
  WriteFileBytes(b, "無");
  InsertForm form = FormFor(dir, {a, b});
  form.keyword_text = "^";
  form.text_to_insert = "　　";
  InsertContext context;
  RecordingHost host;
  InsertJob(form, context, host);
  const std::string out = Processed(dir) + kPathSeparator;
  EXPECT_EQ(Bytes(out + "a.txt"), "　　甲\r\n　　乙\r\n");  // every line, none after the last break
  form.keyword_text = "東";
  InsertJob(form, context, host);
  EXPECT_EQ(Bytes(out + "b.txt"), "無");  // the copy is written all the same
  ASSERT_EQ(host.failures.size(), 2u);
  EXPECT_EQ(host.failures[0].reason, "未找到关键字");
  EXPECT_EQ(host.failures[1].reason, "未找到关键字");
  EXPECT_EQ(host.notices, 1);  // only the first job went without a failure
  // In place, a file without the keyword stays as it is and is named.
  form.keep_original = false;
  InsertJob(form, context, host);
  EXPECT_EQ(Bytes(b), "無");
  EXPECT_EQ(host.failures.size(), 4u);
}

TEST(InsertJob, AnAbandonedSearchIsReported) {
  ScopedTempDir dir;
  std::string path = dir.Join("g.txt");
  const std::string text = "b" + std::string(5000, 'a');
  WriteFileBytes(path, text);
  InsertForm form = FormFor(dir, {path});
  form.keyword_text = "(a*)*b";
  form.keep_original = false;
  InsertContext context;
  RecordingHost in_place;
  InsertJob(form, context, in_place);
  EXPECT_EQ(Bytes(path), text);  // not half done in place
  ASSERT_EQ(in_place.failures.size(), 1u);
  EXPECT_EQ(in_place.notices, 0);

  form.keep_original = true;
  RecordingHost keep;
  InsertJob(form, context, keep);
  EXPECT_EQ(Bytes(Processed(dir) + kPathSeparator + "g.txt"), "b##" + std::string(5000, 'a'));
  ASSERT_EQ(keep.failures.size(), 1u);
  EXPECT_EQ(keep.failures[0].path, path);
}

TEST(InsertJob, ResultsBeyondTwoGigabytesAreRefused) {
  ScopedTempDir dir;
  std::string path = dir.Join("h.txt");
  WriteFileBytes(path, "abcdefghij");
  InsertForm form = FormFor(dir, {path});
  form.rows[0].size = "2000000000";  // listed long ago, much longer than now
  form.every_text = "1";
  InsertContext context;
  RecordingHost host;
  InsertJob(form, context, host);
  ASSERT_EQ(host.failures.size(), 1u);
  EXPECT_EQ(Bytes(Processed(dir) + kPathSeparator + "h.txt"), "<missing>");
}

}  // namespace
}  // namespace travik
