#include "merge/merge_job.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "text/codepage.h"
#include "text/encoding.h"
#include "files/files.h"
#include "files/natural_order.h"
#include "tests/test_util.h"

namespace travik {
namespace {

using testing::ReadFileBytes;
using testing::ScopedTempDir;
using testing::SetReadOnly;
using testing::WriteFileBytes;
using testing::operator""_gbk;

constexpr char kNoTask[] = "当前没有可执行的任务！";
constexpr char kNoName[] = "请输入合并后的文件名！";
constexpr char kNoFolder[] = "未指定保存目录，合并后的文件将保存到软件所在目录！";
constexpr char kMerging[] = "当前状态: 正在合并文件...";
constexpr char kFinished[] = "当前状态: 已完成";

// Records everything the job shows.
class RecordingHost : public JobHost {
 public:
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  void SetStatusPane(int index, const std::string& text) override {
    pane_log.push_back(std::to_string(index) + ":" + text);
    panes[index] = text;
  }
  std::string StatusPane(int index) const override { return panes[index]; }
  void ShowCompletionNotice() override { ++notices; }
  void ReportFailures(const std::vector<FileFailure>& reported) override {
    ++reports;
    failures.insert(failures.end(), reported.begin(), reported.end());
  }
  void FileStarted(int, int, const std::string& path) override { started.push_back(path); }
  void OutputWritten(const std::string& path) override { written.push_back(path); }
  void ShowNote(const std::string& text) override { notes.push_back(text); }
  void CheckWarning(const std::string& path, const std::string& text) override {
    warnings.push_back(path + ": " + text);
  }
  void ReportResults(const std::vector<FileResult>& list) override {
    for (const FileResult& r : list) results.push_back(r.path + " " + r.summary);
  }

  std::vector<std::string> FailedPaths() const {
    std::vector<std::string> paths;
    for (const FileFailure& f : failures) paths.push_back(f.path);
    return paths;
  }

  std::vector<std::string> messages;
  std::vector<std::string> pane_log;
  std::string panes[2];
  int notices = 0;
  int reports = 0;
  std::vector<FileFailure> failures;
  std::vector<std::string> started;  // FileStarted paths, in order
  std::vector<std::string> written;  // OutputWritten paths
  std::vector<std::string> notes;
  std::vector<std::string> warnings;  // "PATH: TEXT"
  std::vector<std::string> results;  // "PATH SUMMARY"
};

bool Exists(const std::string& path) { return FileSizeOf(path) >= 0; }

std::string Bytes(const std::string& path) {
  std::string bytes;
  EXPECT_TRUE(ReadFileBytes(path, &bytes)) << path;
  return bytes;
}

bool Mentions(const FileFailure& failure, std::string_view text) {
  return failure.reason.find(text) != std::string::npos;
}

// A folder with a "D" save folder and a "prog" program folder inside.
struct Scene {
  Scene() {
    MakeDirectory(save);
    MakeDirectory(program);
  }
  std::string File(const std::string& name, std::string_view bytes) const {
    std::string path = dir.Join(name);
    EXPECT_TRUE(WriteFileBytes(path, bytes));
    return path;
  }
  MergeForm Form(std::vector<std::string> paths, std::string name = "m") const {
    MergeForm form;
    for (const std::string& p : paths) form.rows.push_back(MakeMergeEntry(p));
    form.merged_name = std::move(name);
    form.chosen_folder = save;
    form.program_folder = program;
    return form;
  }
  std::string ProgramOutput() const { return program + kPathSeparator + kMergedFolderName; }

  ScopedTempDir dir;
  std::string save = dir.Join("D");
  std::string program = dir.Join("prog");
};

TEST(MergeJobChecks, StopInOrderBeforeTouchingAnyFile) {
  Scene scene;
  std::string a = scene.File("a.txt", "x");

  RecordingHost empty_list;
  MergeForm form = scene.Form({}, "");
  MergeResult result;
  MergeJob(form, empty_list, &result);
  EXPECT_EQ(empty_list.messages, std::vector<std::string>{kNoTask});  // even with no name
  EXPECT_TRUE(empty_list.pane_log.empty());
  EXPECT_FALSE(result.checks_passed);
  EXPECT_EQ(empty_list.notices, 0);

  RecordingHost no_name;
  form = scene.Form({a}, "");
  form.delete_sources = true;
  form.save_in_program_folder = false;
  form.chosen_folder.clear();  // the name check comes before the folder notice
  MergeJob(form, no_name, &result);
  EXPECT_EQ(no_name.messages, std::vector<std::string>{kNoName});
  EXPECT_TRUE(no_name.pane_log.empty());
  EXPECT_EQ(Bytes(a), "x");
  EXPECT_FALSE(FolderExists(scene.ProgramOutput()));
  EXPECT_EQ(no_name.notices + no_name.reports, 0);

  // A name of spaces is not trimmed away.
  RecordingHost spaces;
  form = scene.Form({a}, "  ");
  MergeJob(form, spaces, &result);
  EXPECT_TRUE(spaces.messages.empty());
  EXPECT_EQ(Bytes(scene.save + kPathSeparator + "  .txt"), "x");
}

// A merged name that is a device would send the book to the device (NUL: nowhere) on Windows:
// it is refused, on every system, before any file is touched.
TEST(MergeJobChecks, AMergedNameThatIsADeviceIsRefused) {
  Scene scene;
  std::string a = scene.File("a.txt", "x");
  for (const char* name : {"nul", "CON", "aux.book", "Com1", "lpt9 ", "prn."}) {
    RecordingHost host;
    MergeForm form = scene.Form({a}, name);
    form.delete_sources = true;
    MergeResult result;
    MergeJob(form, host, &result);
    EXPECT_EQ(host.messages, std::vector<std::string>{DeviceNameProblem(name)}) << name;
    EXPECT_FALSE(result.checks_passed) << name;
    EXPECT_EQ(Bytes(a), "x");
    // Nothing in the save folder (on Windows a look at "nul.txt" itself finds the device).
    EXPECT_TRUE(FileNamesIn(scene.save).empty()) << name;
  }
  // A name that only begins like one is a name.
  RecordingHost host;
  MergeJob(scene.Form({a}, "null"), host);
  EXPECT_TRUE(host.messages.empty());
  EXPECT_EQ(Bytes(scene.save + kPathSeparator + "null.txt"), "x");
#ifdef _WIN32
  // On Windows a source of such a name is the device: the merge is refused.
  RecordingHost device_source;
  MergeForm form = scene.Form({a}, "书");
  form.rows.push_back(MakeMergeEntry(scene.dir.Join("nul.txt")));
  MergeJob(form, device_source);
  EXPECT_EQ(device_source.messages, std::vector<std::string>{DeviceNameProblem("nul.txt")});
  EXPECT_EQ(FileSizeOf(scene.save + kPathSeparator + "书.txt"), -1);
#endif
}

TEST(MergeJobChecks, MissingSaveFolderFallsBackToTheProgramFolder) {
  Scene scene;
  std::string a = scene.File("a.txt", "x");
  MergeForm form = scene.Form({a});
  form.chosen_folder.clear();
  RecordingHost host;
  MergeResult result;
  MergeJob(form, host, &result);
  EXPECT_EQ(host.messages, std::vector<std::string>{kNoFolder});
  EXPECT_TRUE(result.checks_passed);
  EXPECT_TRUE(result.save_in_program_folder);
  EXPECT_EQ(result.merged_path, scene.ProgramOutput() + kPathSeparator + "m.txt");
  EXPECT_EQ(Bytes(result.merged_path), "x");
  EXPECT_EQ(host.pane_log,
            (std::vector<std::string>{std::string("0:") + kMerging, std::string("0:") + kFinished,
                                      "1:保存目录: " + scene.program}));
  EXPECT_EQ(host.notices, 1);
}

TEST(MergeJob, JoinsFilesInListOrderWithNothingBetween) {
  Scene scene;
  std::string a = scene.File("a.txt", "x\r\n");
  std::string b = scene.File("b.txt", "y");
  std::string c = scene.File("第二卷.txt", "\xD5\xC2\x5C");  // ends on a trail byte 0x5C
  std::string empty = scene.File("空.txt", "");

  RecordingHost host;
  MergeResult result;
  MergeJob(scene.Form({a, b}), host, &result);
  EXPECT_EQ(Bytes(scene.save + kPathSeparator + "m.txt"), "x\r\ny");
  EXPECT_TRUE(result.written);
  EXPECT_EQ(result.failures, 0);
  EXPECT_EQ(host.pane_log,
            (std::vector<std::string>{std::string("0:") + kMerging, std::string("0:") + kFinished,
                                      "1:保存目录: " + scene.save}));
  EXPECT_EQ(host.notices, 1);
  EXPECT_EQ(host.reports, 0);
  EXPECT_TRUE(host.messages.empty());
  EXPECT_TRUE(Exists(a) && Exists(b));  // nothing deleted unless asked

  // Row order decides, a file listed again is merged once (with a note), ".txt" is always
  // appended, Chinese names work.
  RecordingHost again;
  MergeJob(scene.Form({c, empty, b, c, a}, "合并.txt"), again, &result);
  EXPECT_EQ(result.merged_path, scene.save + kPathSeparator + "合并.txt.txt");
  EXPECT_EQ(Bytes(result.merged_path),
            "\xD5\xC2\x5C"
            "y"
            "x\r\n");
  EXPECT_EQ(again.notes.size(), 1u);
  EXPECT_EQ(again.notices, 1);

  // Only empty sources: an empty merged file.
  RecordingHost nothing;
  MergeJob(scene.Form({empty}, "e"), nothing, &result);
  EXPECT_EQ(FileSizeOf(scene.save + kPathSeparator + "e.txt"), 0);
  EXPECT_EQ(nothing.notices, 1);
}

TEST(MergeJob, ProgramFolderIsCreatedThenReusedAndTheFileReplaced) {
  Scene scene;
  std::string a = scene.File("a.txt", "first");
  MergeForm form = scene.Form({a});
  form.save_in_program_folder = true;
  form.chosen_folder = scene.dir.Join("ignored");
  RecordingHost host;
  MergeResult result;
  MergeJob(form, host, &result);
  EXPECT_TRUE(host.messages.empty());
  EXPECT_TRUE(FolderExists(scene.ProgramOutput()));
  EXPECT_EQ(Bytes(scene.ProgramOutput() + kPathSeparator + "m.txt"), "first");
  EXPECT_EQ(host.panes[1], "保存目录: " + scene.program);

  ASSERT_TRUE(WriteFileBytes(a, "2nd"));
  RecordingHost second;
  MergeJob(form, second, &result);
  EXPECT_EQ(Bytes(result.merged_path), "2nd");
  EXPECT_EQ(second.notices, 1);
  EXPECT_EQ(second.reports, 0);
  // The temporary file of the write is gone.
  int entries = 0;
  for (const auto& e :
       std::filesystem::directory_iterator(testing::NativePath(scene.ProgramOutput()))) {
    (void)e;
    ++entries;
  }
  EXPECT_EQ(entries, 1);

  // A program folder below a file cannot be made: said before any source is read, naming the
  // file; nothing written, sources kept.
  const std::string file = scene.File("挡路", "x");
  form.program_folder = file + kPathSeparator + "where";
  form.delete_sources = true;
  RecordingHost unmade;
  MergeJob(form, unmade, &result);
  EXPECT_FALSE(result.written);
  EXPECT_FALSE(result.checks_passed);
  ASSERT_EQ(unmade.messages.size(), 1u);
  EXPECT_NE(unmade.messages[0].find(file + " 是文件，不是文件夹"), std::string::npos)
      << unmade.messages[0];
  EXPECT_TRUE(unmade.failures.empty());
  EXPECT_EQ(unmade.notices, 0);
  EXPECT_TRUE(Exists(a));
}

TEST(MergeJob, CutShortSourcesContributeTheirTextAndAreReportedAndKept) {
  Scene scene;
  // A 0x1A inside is text: merged whole, told, deleted like any source read whole.
  std::string eof = scene.File("eof.txt", std::string("ab\x1A"
                                                      "cd",
                                                      5));
  // 0x1A bytes at the end of a source that another follows stand inside the book: kept, told.
  // At the end of the last source they pad the book's end: left out, told, the source kept.
  std::string padded = scene.File("padded.txt", "pq\x1A\x1A");
  // A 0x00 inside: no text; the merge writes nothing at all (a book with a hole is no book).
  std::string binary = scene.File("binary.txt", std::string("b\0n", 3));
  {
    RecordingHost refused_host;
    MergeResult refused;
    MergeJob(scene.Form({eof, binary}), refused_host, &refused);
    EXPECT_FALSE(refused.written);
    EXPECT_FALSE(Exists(scene.save + kPathSeparator + "m.txt"));
    EXPECT_EQ(refused_host.FailedPaths(),
              (std::vector<std::string>{binary, scene.save + kPathSeparator + "m.txt"}));
    EXPECT_NE(refused_host.failures[0].reason.find("第 2 字节是 0x00"), std::string::npos)
        << refused_host.failures[0].reason;
  }
  // A character cut across two files by a byte-wise split is whole again.
  std::string half = scene.File("half.txt", "ab\xB0");
  std::string joined = scene.File("joined.txt", "\xA1z");
  std::string inner = scene.File("inner.txt",
                                 "\xB0\x1A"
                                 "c");  // 0x1A as a trail byte: whole
  std::string clean = scene.File("clean.txt", "ok");
  std::string tail = scene.File("tail.txt", "x\xB0");  // nothing after it: reported
  MergeForm form = scene.Form({eof, padded, half, joined, inner, clean, tail});
  form.delete_sources = true;
  RecordingHost host;
  MergeResult result;
  MergeJob(form, host, &result);

  EXPECT_EQ(Bytes(result.merged_path),
            "ab\x1A" "cd"
            "pq\x1A\x1A"
            "ab\xB0\xA1z"
            "\xB0\x1A"
            "c"
            "ok"
            "x");
  EXPECT_EQ(host.FailedPaths(), (std::vector<std::string>{tail}));
  EXPECT_EQ(host.reports, 1);
  EXPECT_NE(host.failures[0].reason.find("其后的 1 字节未被合并"), std::string::npos)
      << host.failures[0].reason;
  EXPECT_NE(host.failures[0].reason.find("原文件未删除"), std::string::npos);
  EXPECT_EQ(host.warnings,
            (std::vector<std::string>{
                eof + ": 第 3 字节有 0x1A 控制字符，已原样保留",
                padded + ": 末尾的 2 个 0x1A 控制字符在合并后的文件中间，已原样保留",
                inner + ": 第 2 字节有 0x1A 控制字符，已原样保留"}));
  EXPECT_TRUE(Exists(tail));
  EXPECT_FALSE(Exists(eof) || Exists(padded) || Exists(half) || Exists(joined) || Exists(inner) ||
               Exists(clean));
  EXPECT_EQ(result.sources_deleted, 6);
  EXPECT_EQ(host.notices, 0);
  EXPECT_EQ(host.panes[0], std::string(kFinished) + "，1 个文件失败");
  EXPECT_EQ(host.panes[1], "保存目录: " + scene.save);

  const std::string first = scene.File("first.txt", "A");
  const std::string end = scene.File("end.txt", std::string("pq\x1A\0", 4));
  RecordingHost last_host;
  MergeResult last;
  form = scene.Form({first, end});
  form.delete_sources = true;
  MergeJob(form, last_host, &last);
  EXPECT_EQ(Bytes(last.merged_path), "Apq");
  EXPECT_TRUE(last_host.failures.empty());
  EXPECT_FALSE(Exists(first));
  EXPECT_EQ(Bytes(end), std::string("pq\x1A\0", 4));
  EXPECT_EQ(last_host.warnings,
            (std::vector<std::string>{
                end + ": 文件末尾的 2 个 0x00/0x1A 填充字节不属于文本，已略去",
                end + ": 末尾的填充字节不在合并后的文件中，原文件未删除"}));
}

TEST(MergeJob, ACutCharacterIsCarriedOverEmptyFiles) {
  // An empty file between the two halves of a character: the character is whole, nothing failed.
  Scene scene;
  std::string half = scene.File("1.txt", "ab\xB5");
  std::string empty = scene.File("2.txt", "");
  std::string rest = scene.File("3.txt", "\xDA" "cd");
  MergeForm form = scene.Form({half, empty, rest});
  form.delete_sources = true;
  RecordingHost host;
  MergeResult result;
  MergeJob(form, host, &result);
  EXPECT_TRUE(result.written);
  EXPECT_EQ(Bytes(scene.save + kPathSeparator + "m.txt"), "ab\xB5\xDA" "cd");
  EXPECT_TRUE(host.failures.empty()) << host.failures[0].path << host.failures[0].reason;
  EXPECT_EQ(result.sources_deleted, 3);
  // Nothing after the empty file: the half character is reported against its own file only.
  half = scene.File("1.txt", "ab\xB5");
  empty = scene.File("2.txt", "");
  RecordingHost tail_host;
  MergeJob(scene.Form({half, empty}), tail_host, &result);
  EXPECT_EQ(Bytes(scene.save + kPathSeparator + "m.txt"), "ab");
  EXPECT_EQ(tail_host.FailedPaths(), std::vector<std::string>{half});
}

TEST(MergeJob, WritesNothingWhenNoSourceWasRead) {
  Scene scene;
  const std::string target = scene.save + kPathSeparator + "全书.txt";
  ASSERT_TRUE(WriteFileBytes(target, "good book"));
  MergeForm form = scene.Form({scene.dir.Join("3.txt"), scene.dir.Join("4.txt")}, "全书");
  RecordingHost host;
  MergeResult result;
  MergeJob(form, host, &result);
  EXPECT_FALSE(result.written);
  EXPECT_EQ(Bytes(target), "good book");
  EXPECT_EQ(host.FailedPaths(),
            (std::vector<std::string>{form.rows[0].path, form.rows[1].path, target}));
  EXPECT_NE(host.failures[0].reason.find("不存在"), std::string::npos) << host.failures[0].reason;
  EXPECT_EQ(host.notices, 0);
  // An empty file that was read is something: the merge of it is written.
  std::string empty = scene.File("empty.txt", "");
  RecordingHost empty_host;
  MergeJob(scene.Form({empty}, "全书"), empty_host, &result);
  EXPECT_TRUE(result.written);
  EXPECT_EQ(Bytes(target), "");

  // With no program folder known, the merged file never goes to the root folder.
  form = scene.Form({empty}, "x");
  form.save_in_program_folder = true;
  form.program_folder.clear();
  RecordingHost no_folder;
  MergeJob(form, no_folder, &result);
  EXPECT_FALSE(result.checks_passed);
  EXPECT_FALSE(result.written);
  EXPECT_EQ(no_folder.messages.size(), 1u);
}

TEST(MergeJob, DeletesOnlyCompleteSourcesAfterTheMergedFileIsWritten) {
  Scene scene;
  // The write fails (a folder holds the merged file's name): every source stays.
  std::string a = scene.File("a.txt", "A");
  std::string b = scene.File("b.txt", "B");
  MergeForm form = scene.Form({a, b});
  form.delete_sources = true;
  form.chosen_folder = scene.dir.Join("out");
  ASSERT_TRUE(MakeDirectory(form.chosen_folder));
  ASSERT_TRUE(MakeDirectory(form.chosen_folder + kPathSeparator + form.merged_name + ".txt"));
  RecordingHost failed_write;
  MergeResult result;
  MergeJob(form, failed_write, &result);
  EXPECT_FALSE(result.written);
  EXPECT_EQ(failed_write.FailedPaths(), std::vector<std::string>{result.merged_path});
  EXPECT_NE(failed_write.failures[0].reason.find("原文件均未删除"), std::string::npos);
  EXPECT_TRUE(Exists(a) && Exists(b));
  EXPECT_EQ(failed_write.notices, 0);

  // A read-only merged file cannot be replaced: the same.
  std::string target = scene.save + kPathSeparator + "m.txt";
  ASSERT_TRUE(WriteFileBytes(target, "old"));
  ASSERT_TRUE(SetReadOnly(target, true));
  form.chosen_folder = scene.save;
  RecordingHost read_only_target;
  MergeJob(form, read_only_target, &result);
  EXPECT_EQ(read_only_target.FailedPaths(), std::vector<std::string>{target});
  EXPECT_EQ(Bytes(target), "old");
  EXPECT_TRUE(Exists(a) && Exists(b));
  ASSERT_TRUE(SetReadOnly(target, false));

  // A missing source, a read-only source, a duplicate row.
  std::string missing = scene.dir.Join("不在.txt");
  std::string locked = scene.File("locked.txt", "L");
  ASSERT_TRUE(SetReadOnly(locked, true));
  form = scene.Form({a, missing, locked, b, a});
  form.delete_sources = true;
  RecordingHost mixed;
  MergeJob(form, mixed, &result);
  EXPECT_TRUE(result.written);
  // A read-only source is read; the second "a" row is the same file: merged once.
  EXPECT_EQ(Bytes(target), "ALB");
  EXPECT_EQ(mixed.FailedPaths(), (std::vector<std::string>{missing, locked}));
  EXPECT_EQ(mixed.reports, 1);
  EXPECT_FALSE(Exists(a) || Exists(b));
  EXPECT_TRUE(Exists(locked));
  EXPECT_EQ(result.sources_deleted, 2);
  EXPECT_EQ(mixed.notices, 0);
  SetReadOnly(locked, false);
}

TEST(MergeJob, AMergedFileThatIsOneOfTheSourcesIsRefusedBeforeAnythingIsWritten) {
  // The default name is taken from the first file: "第一章.txt" would become the whole book.
  Scene scene;
  const std::string first = scene.save + kPathSeparator + "第一章.txt";
  const std::string second = scene.save + kPathSeparator + "第二章.txt";
  ASSERT_TRUE(WriteFileBytes(first, "一"_gbk));
  ASSERT_TRUE(WriteFileBytes(second, "二"_gbk));
  const std::string other_spelling =
      scene.save + kPathSeparator + "." + kPathSeparator + "第一章.txt";
  const std::string linked = scene.dir.Join("link.txt");
  std::filesystem::create_hard_link(testing::NativePath(second), testing::NativePath(linked));
  struct Case {
    std::vector<std::string> rows;
    std::string name;
    bool delete_sources;
  };
  const Case cases[] = {
      {{first, second}, "第一章", false},
      {{first, second}, "第一章", true},
      {{second, other_spelling}, "第一章", true},  // another spelling of the same file
      {{first, linked}, "第二章", false},          // a hard link to the merged file
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name + " " + test.rows.back());
    MergeForm form = scene.Form(test.rows, test.name);
    form.delete_sources = test.delete_sources;
    RecordingHost host;
    MergeResult result;
    MergeJob(form, host, &result);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_NE(host.messages[0].find("合并会覆盖它"), std::string::npos) << host.messages[0];
    EXPECT_NE(host.messages[0].find(test.name + ".txt"), std::string::npos) << host.messages[0];
    EXPECT_FALSE(result.checks_passed);
    EXPECT_FALSE(result.written);
    EXPECT_TRUE(host.pane_log.empty());
    EXPECT_TRUE(host.written.empty());
    EXPECT_EQ(Bytes(first), "一"_gbk);
    EXPECT_EQ(Bytes(second), "二"_gbk);
    EXPECT_EQ(Bytes(linked), "二"_gbk);
  }
  // Another name is merged as asked.
  RecordingHost other;
  MergeResult result;
  MergeForm form = scene.Form({first, second}, "全书");
  for (FileEntry& row : form.rows) row.encoding = EncodingChoice::kGbk;  // two bytes say little
  MergeJob(form, other, &result);
  EXPECT_TRUE(result.written);
  EXPECT_EQ(Bytes(result.merged_path), "一二"_gbk);
}

TEST(MergeJob, AFileListedAgainIsMergedOnceUnlessRepeatsAreAllowed) {
  // Overlapping wildcards, another spelling, a link: the same file, merged at its first row, with
  // a note for each row dropped. Allowed on purpose, every row contributes, and a deletion
  // deletes the file once.
  Scene scene;
  std::string a = scene.File("a.txt", "A");
  std::string b = scene.File("b.txt", "B");
  // A lead byte before zero padding: no next file completes it, so the text is cut short.
  std::string cut = scene.File("cut.txt", std::string("C\xB5\0", 3));
  std::string a_again = scene.dir.path() + kPathSeparator + "." + kPathSeparator + "a.txt";
  std::string b_link = scene.dir.Join("b_link.txt");
  std::filesystem::create_hard_link(testing::NativePath(b), testing::NativePath(b_link));
  RecordingHost keep;
  MergeResult result;
  MergeJob(scene.Form({a, b, a, cut, cut, b_link, a_again}), keep, &result);
  EXPECT_EQ(Bytes(result.merged_path), "ABC");
  EXPECT_EQ(keep.notes.size(), 4u);
  ASSERT_FALSE(keep.notes.empty());
  EXPECT_NE(keep.notes[0].find(a + " 与前面列出的文件是同一个文件，只合并一次"), std::string::npos)
      << keep.notes[0];
  EXPECT_EQ(keep.FailedPaths(), std::vector<std::string>{cut});  // the cut file, once

  MergeForm repeated = scene.Form({a, b, a, cut, cut, b_link});
  repeated.repeats_allowed = true;
  RecordingHost twice;
  MergeJob(repeated, twice, &result);
  EXPECT_EQ(Bytes(result.merged_path), "ABACCB");
  EXPECT_TRUE(twice.notes.empty());

  MergeForm form = scene.Form({a, b, a_again, cut, a, cut, b});
  form.delete_sources = true;
  RecordingHost deleting;
  MergeJob(form, deleting, &result);
  EXPECT_TRUE(result.written);
  EXPECT_EQ(Bytes(result.merged_path), "ABC");
  EXPECT_EQ(deleting.FailedPaths(), std::vector<std::string>{cut});  // reported once, kept
  EXPECT_FALSE(Exists(a) || Exists(b));
  EXPECT_TRUE(Exists(cut));
  EXPECT_EQ(result.sources_deleted, 2);

  a = scene.File("a.txt", "A");
  form = scene.Form({a, a});
  form.delete_sources = true;
  form.repeats_allowed = true;
  RecordingHost both;
  MergeJob(form, both, &result);
  EXPECT_EQ(Bytes(result.merged_path), "AA");
  EXPECT_TRUE(both.failures.empty());
  EXPECT_FALSE(Exists(a));
  EXPECT_EQ(result.sources_deleted, 1);
}

// Appends to a file when the job starts on row `at`: another program writing to a source while
// the merge runs. Stops the job when `stop_after` sources were deleted.
class MeddlingHost : public RecordingHost {
 public:
  void FileStarted(int index, int count, const std::string& path) override {
    RecordingHost::FileStarted(index, count, path);
    if (index == at) {
      std::string bytes = Bytes(changed);
      EXPECT_TRUE(WriteFileBytes(changed, bytes + "+"));
    }
  }
  bool StopRequested() const override { return stop; }
  int at = -1;
  std::string changed;
  bool stop = false;
};

TEST(MergeJob, ASourceChangedAfterItWasReadIsKeptAndReported) {
  Scene scene;
  std::string a = scene.File("a.txt", "A");
  std::string b = scene.File("b.txt", "B");
  std::string c = scene.File("c.txt", "C");
  MergeForm form = scene.Form({a, b, c});
  form.delete_sources = true;
  MeddlingHost host;
  host.at = 2;  // "a.txt" grows while "c.txt" is read
  host.changed = a;
  MergeResult result;
  MergeJob(form, host, &result);
  EXPECT_TRUE(result.written);
  EXPECT_EQ(Bytes(result.merged_path), "ABC");
  EXPECT_EQ(Bytes(a), "A+");  // the line added is still somewhere: in a.txt
  EXPECT_EQ(host.FailedPaths(), std::vector<std::string>{a});
  EXPECT_TRUE(Mentions(host.failures[0], "被其他程序修改")) << host.failures[0].reason;
  EXPECT_FALSE(Exists(b) || Exists(c));
  EXPECT_EQ(result.sources_deleted, 2);

  // The same size, written again (a file replaced by another of its name) counts too.
  a = scene.File("a.txt", "A");
  b = scene.File("b.txt", "B");
  std::string swap = scene.File("swap.txt", "X");
  MeddlingHost replaced;
  replaced.at = -1;
  form = scene.Form({a, b});
  form.delete_sources = true;
  form.remove_source = [&](const std::string& path) {
    if (path == a) {
      // Just before a.txt's turn, b.txt is replaced by a file of the same size.
      std::filesystem::rename(testing::NativePath(swap), testing::NativePath(b));
    }
    return RemoveFile(path);
  };
  MergeJob(form, replaced, &result);
  EXPECT_EQ(Bytes(result.merged_path), "AB");
  EXPECT_FALSE(Exists(a));
  EXPECT_EQ(Bytes(b), "X");
  EXPECT_EQ(replaced.FailedPaths(), std::vector<std::string>{b});
}

TEST(MergeJob, AStopBetweenDeletionsKeepsTheRestAndSaysWhichWereDeleted) {
  Scene scene;
  std::string a = scene.File("a.txt", "A");
  std::string b = scene.File("b.txt", "B");
  std::string c = scene.File("c.txt", "C");
  MergeForm form = scene.Form({a, b, c});
  form.delete_sources = true;
  MeddlingHost host;
  form.remove_source = [&](const std::string& path) {
    host.stop = true;  // Ctrl+C while the first source is being deleted
    return RemoveFile(path);
  };
  MergeResult result;
  MergeJob(form, host, &result);
  EXPECT_TRUE(result.written);
  EXPECT_EQ(Bytes(result.merged_path), "ABC");
  EXPECT_TRUE(result.stopped_while_deleting);
  EXPECT_EQ(result.sources_deleted, 1);
  EXPECT_FALSE(Exists(a));
  EXPECT_TRUE(Exists(b) && Exists(c));
  EXPECT_EQ(host.results, std::vector<std::string>{a + " 已删除原文件"});
  EXPECT_EQ(host.FailedPaths(), (std::vector<std::string>{b, c}));
  EXPECT_TRUE(Mentions(host.failures[0], "已停止，原文件未删除"));

  // A stop just after the merged file was written deletes nothing.
  a = scene.File("a.txt", "A");
  form = scene.Form({a, b});
  form.delete_sources = true;
  form.remove_source = nullptr;
  struct StopAtWrite : MeddlingHost {
    void OutputWritten(const std::string& path) override {
      MeddlingHost::OutputWritten(path);
      stop = true;
    }
  } at_write;
  MergeJob(form, at_write, &result);
  EXPECT_TRUE(result.written);
  EXPECT_EQ(result.sources_deleted, 0);
  EXPECT_TRUE(Exists(a) && Exists(b));
  EXPECT_TRUE(at_write.results.empty());
  EXPECT_EQ(at_write.FailedPaths(), (std::vector<std::string>{a, b}));
}

TEST(MergeJob, NamesGbkCannotHoldAreMergedLikeAnyOther) {
  Scene scene;
  // A folder of sources, itself named outside GBK, listed as the folder's files in natural order:
  // every name is one GBK lacks (emoji, Hangul, U+20000, ñ). Their texts are GBK, GB18030 and
  // UTF-8; the first that is more than ASCII (GBK) decides, the GB18030 one makes it GB18030.
  const std::string folder = scene.dir.Join("卷😀");
  ASSERT_TRUE(MakeDirectory(folder));
  const std::string sep = kPathSeparator;
  const std::string one = folder + sep + "1 😀.txt";
  const std::string two = folder + sep + "2 𠀀.txt";
  const std::string three = folder + sep + "3 한국.txt";
  const std::string four = folder + sep + "4 España.txt";
  ASSERT_TRUE(WriteFileBytes(one, "第一章 笑\r\n"_gbk));
  ASSERT_TRUE(WriteFileBytes(two, testing::Gb18030("第二章 𠀀\r\n")));
  ASSERT_TRUE(WriteFileBytes(three, "第三章 한국\r\n"));
  ASSERT_TRUE(WriteFileBytes(four, "第四章 España\r\n"));
  std::vector<std::string> paths;
  for (const std::string& name : FileNamesIn(folder)) paths.push_back(folder + sep + name);
  SortPathsNaturally(paths, sep[0]);
  ASSERT_EQ(paths, (std::vector<std::string>{one, two, three, four}));
  const std::string book = testing::Gb18030("第一章 笑\r\n第二章 𠀀\r\n第三章 한국\r\n第四章 España\r\n");

  // Into a save folder and under a merged name that GBK cannot hold either, deleting the sources.
  const std::string save = scene.dir.Join("출력 España");
  ASSERT_TRUE(MakeDirectory(save));
  MergeForm form = scene.Form(paths, "합본😀");
  form.chosen_folder = save;
  form.delete_sources = true;
  RecordingHost host;
  MergeResult result;
  MergeJob(form, host, &result);
  EXPECT_EQ(result.merged_path, save + sep + "합본😀.txt");
  EXPECT_TRUE(result.written);
  EXPECT_TRUE(host.failures.empty()) << host.failures[0].path << " " << host.failures[0].reason;
  EXPECT_EQ(testing::HexBytes(Bytes(result.merged_path)), testing::HexBytes(book));
  EXPECT_EQ(host.started, paths);
  EXPECT_EQ(host.written, std::vector<std::string>{result.merged_path});
  EXPECT_EQ(host.panes[1], "保存目录: " + save);
  EXPECT_EQ(host.notices, 1);
  EXPECT_EQ(result.sources_deleted, 4);
  EXPECT_TRUE(FileNamesIn(folder).empty());
  EXPECT_EQ(FileNamesIn(save), std::vector<std::string>{"합본😀.txt"});

  // A missing source of such a name is named by its path as listed; the others are merged into
  // the program's folder, itself named outside GBK.
  ASSERT_TRUE(WriteFileBytes(one, "第一章 笑\r\n"_gbk));
  ASSERT_TRUE(WriteFileBytes(three, "第三章 한국\r\n"));
  const std::string missing = folder + sep + "없음😀.txt";
  form = scene.Form({three, missing, one}, "합본😀");
  form.program_folder = scene.dir.Join("프로그램 😀");
  ASSERT_TRUE(MakeDirectory(form.program_folder));
  form.save_in_program_folder = true;
  RecordingHost program_host;
  MergeJob(form, program_host, &result);
  const std::string in_program =
      form.program_folder + sep + kMergedFolderName + sep + "합본😀.txt";
  EXPECT_EQ(result.merged_path, in_program);
  EXPECT_TRUE(result.written);
  // The UTF-8 text comes first and decides: the GBK text after it is converted.
  EXPECT_EQ(testing::HexBytes(Bytes(in_program)),
            testing::HexBytes("第三章 한국\r\n第一章 笑\r\n"));
  EXPECT_EQ(program_host.FailedPaths(), std::vector<std::string>{missing});
  EXPECT_TRUE(Mentions(program_host.failures[0], "不存在")) << program_host.failures[0].reason;
  EXPECT_EQ(program_host.panes[1], "保存目录: " + form.program_folder);
  EXPECT_EQ(program_host.notices, 0);
  EXPECT_TRUE(Exists(one) && Exists(three));
}

// The job's steps, literally, on a snapshot of the files: what the merged file, the remaining
// files and the failure list must be.
struct ModelFile {
  std::string bytes;
  bool exists = false;
  bool read_only = false;
};

// Reading a GBK text (no 0x00 in it) as the file layer defines it: a run of 0x1A bytes at the
// very end is padding, left out (`padded`), unless its first byte follows a lead byte; a 0x1A
// before it is text; a lead byte without a trail byte ends the text early (not `whole`).
std::string ModelRead(const std::string& b, bool* whole, bool* padded) {
  size_t end = b.size();
  while (end > 0 && b[end - 1] == '\x1A') --end;
  size_t i = 0;
  while (i < end) {
    if (static_cast<unsigned char>(b[i]) < 0x80) {
      i += 1;
    } else if (i + 1 < end || (i + 1 < b.size() && b[i + 1] == '\x1A')) {
      i += 2;
      end = std::max(end, i);
    } else {
      break;
    }
  }
  *whole = i == end;
  *padded = end < b.size();
  return b.substr(0, i);
}

TEST(MergeJob, MatchesTheLiteralStepsOnRandomLists) {
  // 盶 was B1 5C in GBK (a trail byte that is "\"); the emoji has no GBK form at all.
  const char* names[] = {"a.txt", "第一卷.txt", "b盶😀.txt", "m.txt", "空.txt"};
  for (unsigned seed = 1; seed <= 300; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
    Scene scene;
    bool program = pick(3) == 0;
    bool save_missing = !program && pick(6) == 0;
    MergeForm form;
    form.merged_name = "m";
    form.program_folder = scene.program;
    form.save_in_program_folder = program;
    form.chosen_folder = save_missing ? scene.dir.Join("gone") : scene.save;
    form.delete_sources = pick(2) == 0;
    const std::string out_folder = program ? scene.ProgramOutput() : form.chosen_folder;
    const std::string merged_path = out_folder + kPathSeparator + "m.txt";

    // Files in the save folder, so that "m.txt" is sometimes the merged file itself.
    std::vector<std::string> paths;
    std::vector<ModelFile> model;
    for (const char* name : names) {
      std::string path = scene.save + kPathSeparator + name;
      ModelFile f;
      f.exists = pick(5) != 0;
      if (f.exists) {
        // Valid GBK: the rows are read as GBK given, which refuses any other text.
        f.bytes = testing::ValidGbkText(testing::RandomGbkText(rng, 40, pick(3) == 0));
        if (pick(6) == 0) f.bytes.push_back('\xC4');  // ends in half a character
        ASSERT_TRUE(WriteFileBytes(path, f.bytes));
        f.read_only = pick(8) == 0;
        if (f.read_only) SetReadOnly(path, true);
      }
      paths.push_back(path);
      model.push_back(f);
    }
    std::vector<int> rows;
    for (int n = pick(6); n > 0; --n) rows.push_back(pick(5));
    // Read as GBK: a short random GBK text can happen to be valid UTF-8.
    for (int r : rows) {
      form.rows.push_back(MakeMergeEntry(paths[r]));
      form.rows.back().encoding = EncodingChoice::kGbk;
    }

    RecordingHost host;
    MergeResult result;
    MergeJob(form, host, &result);

    if (rows.empty()) {
      EXPECT_EQ(host.messages, std::vector<std::string>{kNoTask});
      continue;
    }
    std::string merged;
    std::vector<std::string> failed;
    std::vector<int> complete;
    // The merged file "m.txt" listed as a source: refused before anything is written.
    const bool overwrites_source =
        !program && !save_missing && model[3].exists &&
        std::find(rows.begin(), rows.end(), 3) != rows.end();
    if (overwrites_source) {
      EXPECT_FALSE(result.written);
      EXPECT_EQ(host.messages.size(), 1u);
      EXPECT_TRUE(host.failures.empty());
      for (size_t i = 0; i < paths.size(); ++i) {
        EXPECT_EQ(Exists(paths[i]), model[i].exists) << paths[i];
        if (model[i].exists) {
          EXPECT_EQ(Bytes(paths[i]), model[i].bytes) << paths[i];
        }
        if (model[i].read_only) SetReadOnly(paths[i], false);
      }
      continue;
    }
    // An existing file listed again is merged once, at its first row.
    std::vector<bool> seen(paths.size(), false);
    std::vector<int> listed;
    for (int r : rows) {
      if (model[r].exists && seen[r]) continue;
      seen[r] = true;
      listed.push_back(r);
    }
    rows = listed;
    std::string carry;  // a lone lead byte at the end of a file, read with the next file
    int carry_from = -1;
    int read = 0;
    bool blocked = false;
    for (size_t k = 0; k < rows.size(); ++k) {
      const int r = rows[k];
      if (!model[r].exists) {
        failed.push_back(paths[r]);
        continue;
      }
      if (!carry.empty() && model[r].bytes.empty()) {  // the byte waits for the next file
        ++read;
        complete.push_back(r);
        continue;
      }
      bool whole = false, padded = false;
      const std::string bytes = carry + model[r].bytes;
      const std::string text = ModelRead(bytes, &whole, &padded);
      // A lone lead byte and the next file's first byte may make a pair GBK lacks: not valid
      // as given, that file is refused and stops the merge (the byte waits on).
      if (FirstInvalidGbkChar(text) != text.size()) {
        failed.push_back(paths[r]);
        blocked = true;
        continue;
      }
      ++read;
      merged += text;
      // Padding that another file follows stands inside the book: it is kept.
      const bool padding_kept = padded && k + 1 < rows.size();
      if (padding_kept) merged += bytes.substr(text.size());
      if (carry_from >= 0) {
        if (text.empty()) {
          failed.push_back(paths[carry_from]);
        } else {
          complete.push_back(carry_from);
        }
      }
      carry.clear();
      carry_from = -1;
      const bool lone_lead = !whole && text.size() + 1 == bytes.size() &&
                             static_cast<unsigned char>(bytes.back()) >= 0x80;
      if (lone_lead && k + 1 < rows.size()) {
        carry = bytes.substr(bytes.size() - 1);
        carry_from = r;
      } else if (whole && !(padded && !padding_kept && form.delete_sources)) {
        complete.push_back(r);  // a source whose padding is in no file is not deleted
      } else if (!whole) {
        failed.push_back(paths[r]);
      }
    }
    if (carry_from >= 0) failed.push_back(paths[carry_from]);
    // A missing save folder is made before anything is read: the merged file goes there, and
    // the listed m.txt is then not the merged file itself.
    const bool same_target = !program && !save_missing;
    bool target_read_only = same_target && model[3].exists && model[3].read_only;
    bool written = !target_read_only && read > 0 && !blocked;
    if (!written) {
      failed.push_back(merged_path);
    } else {
      if (same_target) model[3] = {merged, true, false};
      if (form.delete_sources) {
        for (int r : complete) {
          if (model[r].read_only) {
            failed.push_back(paths[r]);  // a file it cannot delete
          } else {
            model[r].exists = false;
          }
        }
      }
    }

    EXPECT_EQ(result.written, written);
    if (written) {
      EXPECT_EQ(Bytes(merged_path), merged);
    }
    EXPECT_EQ(host.FailedPaths(), failed)
        << (host.failures.empty() ? std::string() : host.failures[0].reason);
    EXPECT_EQ(host.notices, failed.empty() ? 1 : 0);
    EXPECT_EQ(host.messages.empty(), true);
    for (size_t i = 0; i < paths.size(); ++i) {
      EXPECT_EQ(Exists(paths[i]), model[i].exists) << paths[i];
      if (model[i].exists) {
        EXPECT_EQ(Bytes(paths[i]), model[i].bytes) << paths[i];
      }
      if (model[i].read_only) SetReadOnly(paths[i], false);
    }
  }
}

// Characters GBK lacks: 𠀀 U+20000 and 😀 U+1F600.
constexpr char kExtB[] = "𠀀";
constexpr char kEmoji[] = "😀";
constexpr char kUtf8Mark[] = "\xEF\xBB\xBF";

// A UTF-8 text in the encoding; UTF-16 with its byte-order mark.
std::string In(Encoding encoding, std::string_view utf8) {
  std::string out;
  if (encoding == Encoding::kUtf16Le || encoding == Encoding::kUtf16Be) {
    std::u32string points;
    EXPECT_TRUE(DecodeText(utf8, Encoding::kUtf8, &points));
    const bool le = encoding == Encoding::kUtf16Le;
    auto unit = [&](uint32_t u) {
      const char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
      out += le ? lo : hi;
      out += le ? hi : lo;
    };
    unit(0xFEFF);
    for (char32_t c : points) {
      if (c < 0x10000) {
        unit(c);
      } else {
        unit(0xD800 + ((c - 0x10000) >> 10));
        unit(0xDC00 + ((c - 0x10000) & 0x3FF));
      }
    }
    return out;
  }
  EXPECT_TRUE(ConvertText(utf8, Encoding::kUtf8, encoding, &out)) << EncodingName(encoding);
  return out;
}

// Merges the files into scene.save/m.txt, deleting the sources.
void MergeDeleting(const Scene& scene, const std::vector<std::string>& rows, RecordingHost* host,
                   MergeResult* result) {
  MergeForm form = scene.Form(rows);
  form.delete_sources = true;
  MergeJob(form, *host, result);
}

TEST(MergeJobEncodings, TheMergedTextTakesTheFirstEncodingAndOthersAreConverted) {
  Scene scene;
  const std::string merged = scene.save + kPathSeparator + "m.txt";
  // UTF-8 with a mark first: GBK and GB18030 sources are converted, later marks dropped.
  std::string a = scene.File("a.txt", kUtf8Mark + In(Encoding::kUtf8, "第一章\r\n"));
  std::string b = scene.File("b.txt", In(Encoding::kGbk, "中文"));
  std::string c = scene.File("c.txt", In(Encoding::kGb18030, std::string("字") + kExtB + kEmoji));
  std::string d = scene.File("d.txt", kUtf8Mark + In(Encoding::kUtf8, "尾"));
  RecordingHost host;
  MergeResult result;
  MergeDeleting(scene, {a, b, c, d}, &host, &result);
  EXPECT_TRUE(result.written);
  EXPECT_TRUE(host.failures.empty()) << host.failures[0].path << host.failures[0].reason;
  EXPECT_EQ(Bytes(merged),
            kUtf8Mark + In(Encoding::kUtf8, std::string("第一章\r\n中文字") + kExtB + kEmoji + "尾"));
  EXPECT_EQ(result.sources_deleted, 4);

  // GB18030 first: a UTF-8 emoji fits; the mark of the second file is dropped.
  a = scene.File("a.txt", In(Encoding::kGb18030, std::string("甲") + kExtB));
  b = scene.File("b.txt", kUtf8Mark + In(Encoding::kUtf8, std::string("乙") + kEmoji));
  RecordingHost gb_host;
  MergeJob(scene.Form({a, b}), gb_host, &result);
  EXPECT_TRUE(gb_host.failures.empty());
  EXPECT_EQ(Bytes(merged), In(Encoding::kGb18030, std::string("甲") + kExtB + "乙" + kEmoji));

  // ASCII and empty texts decide nothing (they are the same bytes in every encoding): the UTF-8
  // text after them is kept as it is, mark included, as the merged text begins there.
  a = scene.File("a.txt", "");
  b = scene.File("b.txt", kUtf8Mark + In(Encoding::kUtf8, "一"));
  c = scene.File("c.txt", "Preface\r\n");
  d = scene.File("d.txt", In(Encoding::kUtf8, "二"));
  std::string e = scene.File("e.txt", In(Encoding::kGbk, "三"));
  RecordingHost ascii_host;
  MergeJob(scene.Form({a, b, c, d, e}), ascii_host, &result);
  EXPECT_TRUE(ascii_host.failures.empty());
  EXPECT_EQ(Bytes(merged), kUtf8Mark + In(Encoding::kUtf8, "一Preface\r\n二三"));
  RecordingHost late_host;
  MergeJob(scene.Form({c, b, e}), late_host, &result);
  EXPECT_EQ(Bytes(merged), "Preface\r\n" + In(Encoding::kUtf8, "一三"));  // not at the start

  // A first row that cannot be read is reported; the first file read decides.
  RecordingHost missing_host;
  MergeJob(scene.Form({scene.dir.Join("gone.txt"), e, d}), missing_host, &result);
  EXPECT_TRUE(result.written);
  EXPECT_EQ(missing_host.FailedPaths(), std::vector<std::string>{scene.dir.Join("gone.txt")});
  EXPECT_EQ(Bytes(merged), In(Encoding::kGbk, "三二"));
}

// Pieces of a GBK book split at ^第: the head piece 目录 is valid UTF-8 too (Ŀ¼), and a piece of
// one rare character can read better as UTF-8 (C3 96 is 脰 in GBK, Ö in UTF-8). Short pieces whose
// reading is in doubt take the encoding the book has settled on: the book comes back byte for
// byte, in GBK.
TEST(MergeJobEncodings, ShortPiecesInDoubtTakeTheBooksEncoding) {
  Scene scene;
  const std::string merged = scene.save + kPathSeparator + "m.txt";
  const std::string toc = In(Encoding::kGbk, "目录\r\n");
  const std::string one = In(Encoding::kGbk, "第一章 十时\r\n他说：“全都在头里。”\r\n");
  const std::string rare = "\xC3\x96";
  const std::string two = In(Encoding::kGbk, "第二章 目录\r\n");
  std::string a = scene.File("a.txt", toc);
  std::string b = scene.File("b.txt", one);
  std::string c = scene.File("c.txt", rare);
  std::string d = scene.File("d.txt", two);
  RecordingHost host;
  MergeResult result;
  MergeJob(scene.Form({a, b, c, d}), host, &result);
  EXPECT_TRUE(result.written);
  EXPECT_TRUE(host.failures.empty()) << host.failures[0].path << host.failures[0].reason;
  EXPECT_EQ(Bytes(merged), toc + one + rare + two);
  // In a UTF-8 book the same rare piece is the UTF-8 Ö it reads as.
  a = scene.File("a.txt", In(Encoding::kUtf8, "第一章\r\n"));
  RecordingHost utf8_host;
  MergeJob(scene.Form({a, c}), utf8_host, &result);
  EXPECT_TRUE(utf8_host.failures.empty());
  EXPECT_EQ(Bytes(merged), In(Encoding::kUtf8, "第一章\r\n") + rare);
}

// GBK's euro sign is the single byte 0x80, which GB18030 does not hold: in a GB18030 book it
// becomes A2 E3, and the byte after it stays the character it was.
TEST(MergeJobEncodings, TheGbkEuroSignIsWrittenAsGb18030WritesIt) {
  Scene scene;
  const std::string merged = scene.save + kPathSeparator + "m.txt";
  const std::string head = In(Encoding::kGb18030, std::string("甲") + kExtB + "\r\n");
  std::string a = scene.File("a.txt", head);
  std::string b = scene.File("b.txt", "80\x80 \xB5\xDA\x80\x80x\x80\r\n");
  RecordingHost host;
  MergeResult result;
  MergeJob(scene.Form({a, b}), host, &result);
  EXPECT_TRUE(result.written);
  EXPECT_TRUE(host.failures.empty());
  EXPECT_EQ(Bytes(merged), head + "80\xA2\xE3 \xB5\xDA\xA2\xE3\xA2\xE3x\xA2\xE3\r\n");
  std::u32string check;
  EXPECT_TRUE(DecodeText(Bytes(merged), Encoding::kGb18030, &check));
}

TEST(MergeJobEncodings, NothingIsWrittenWhenASourceCannotBeMerged) {
  Scene scene;
  const std::string merged = scene.save + kPathSeparator + "m.txt";
  ASSERT_TRUE(WriteFileBytes(merged, "old"));
  const std::string gbk = scene.File("gbk.txt", In(Encoding::kGbk, "第一章"));
  const std::string emoji = scene.File("emoji.txt", In(Encoding::kUtf8, std::string("笑") + kEmoji));
  const std::string utf8 = scene.File("u.txt", In(Encoding::kUtf8, "好"));
  const std::string le = scene.File("le.txt", In(Encoding::kUtf16Le, "好"));
  const std::string be = scene.File("be.txt", In(Encoding::kUtf16Be, "好"));
  struct Case {
    std::vector<std::string> rows;
    std::vector<std::string> blocking;  // the files named, in order
    const char* reason;                 // in the first one's report
  };
  const Case cases[] = {
      // GBK first: it cannot hold the emoji of the UTF-8 file (its 4th byte on).
      {{gbk, utf8, emoji}, {emoji}, "第 4 字节起的字符无法用 GBK 编码表示"},
      {{le, gbk}, {le}, "UTF-16LE"},
      {{gbk, be, utf8, le}, {be, le}, "UTF-16BE"},
      {{emoji, gbk, le}, {le}, "另存为 UTF-8 或 GBK"},
      // The emoji cut between two pieces: named in the piece that completes it, at its start.
      {{gbk, scene.File("cut1.txt", In(Encoding::kUtf8, std::string("好") + kEmoji).substr(0, 5)),
        scene.File("cut2.txt", In(Encoding::kUtf8, std::string("好") + kEmoji).substr(5))},
       {scene.dir.Join("cut2.txt")},
       "第 1 字节起的字符无法用 GBK 编码表示"},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.rows.front() + " " + std::to_string(test.rows.size()));
    RecordingHost host;
    MergeResult result;
    MergeDeleting(scene, test.rows, &host, &result);
    EXPECT_FALSE(result.written);
    EXPECT_EQ(Bytes(merged), "old");
    std::vector<std::string> named = test.blocking;
    named.push_back(merged);
    EXPECT_EQ(host.FailedPaths(), named);
    EXPECT_TRUE(Mentions(host.failures[0], test.reason)) << host.failures[0].reason;
    EXPECT_TRUE(Mentions(host.failures.back(), "合并后的文件未写入，原文件均未删除"));
    EXPECT_EQ(result.sources_deleted, 0);
    for (const std::string& path : test.rows) EXPECT_TRUE(Exists(path)) << path;
  }
  // A text that is not valid in the encoding given for it is refused the same way.
  MergeForm form = scene.Form({utf8, gbk});
  for (FileEntry& row : form.rows) row.encoding = EncodingChoice::kUtf8;
  RecordingHost host;
  MergeJob(form, host, nullptr);
  EXPECT_EQ(host.FailedPaths(), (std::vector<std::string>{gbk, merged}));
  EXPECT_EQ(Bytes(merged), "old");
  // Given as GBK, a UTF-8 text's bytes are GBK characters: merged as they are.
  const std::string pairs = scene.File("pairs.txt", In(Encoding::kUtf8, "中文"));
  form = scene.Form({gbk, pairs});
  for (FileEntry& row : form.rows) row.encoding = EncodingChoice::kGbk;
  RecordingHost gbk_host;
  MergeJob(form, gbk_host, nullptr);
  EXPECT_TRUE(gbk_host.failures.empty());
  EXPECT_EQ(Bytes(merged), In(Encoding::kGbk, "第一章") + In(Encoding::kUtf8, "中文"));
}

TEST(MergeJobEncodings, CharactersCutBetweenFilesAreWholeAgainInTheirEncoding) {
  Scene scene;
  const std::string merged = scene.save + kPathSeparator + "m.txt";
  // UTF-8 (with a mark) and GB18030 texts cut inside characters, every way, then joined.
  const std::string texts[] = {
      kUtf8Mark + In(Encoding::kUtf8, std::string("第一章 开始\r\n") + kExtB + "字" + kEmoji),
      In(Encoding::kGb18030, std::string("第一章\r\n") + kExtB + "文" + kEmoji + "章"),
  };
  for (const std::string& text : texts) {
    // A piece of one or two bytes of a mark cannot be recognised as UTF-8: cut after it.
    for (size_t cut = ByteOrderMarkLength(text, Encoding::kUtf8) + 1; cut < text.size(); ++cut) {
      for (size_t gap : {size_t{0}, size_t{1}}) {  // with an empty file between the parts
        SCOPED_TRACE("cut " + std::to_string(cut) + " gap " + std::to_string(gap));
        std::vector<std::string> rows = {scene.File("1.txt", text.substr(0, cut))};
        if (gap) rows.push_back(scene.File("2.txt", ""));
        rows.push_back(scene.File("3.txt", text.substr(cut)));
        RecordingHost host;
        MergeResult result;
        MergeDeleting(scene, rows, &host, &result);
        EXPECT_TRUE(host.failures.empty()) << host.failures[0].path << host.failures[0].reason;
        EXPECT_EQ(Bytes(merged), text);
        EXPECT_EQ(result.sources_deleted, static_cast<int>(rows.size()));
      }
    }
  }
  // A piece that is ASCII up to a cut UTF-8 character holds no whole UTF-8 character, so alone
  // it reads as GBK (a lead byte, or a GBK character then perhaps a lead byte); the next piece
  // completes the character as UTF-8. Cut after every byte of characters of two, three and four
  // bytes, with and without a UTF-8 text before them that decides the merged text, and with an
  // empty file between the pieces.
  const std::string ahead = In(Encoding::kUtf8, "第一章\n");
  for (const std::string& ch : {std::string("\xC3\xAF"), std::string("\xE2\x80\x94"),
                                std::string("\xF0\x9F\x98\x80")}) {
    const std::string text = "plain line\r\nna" + ch + "ve end, " + ch + "\r\n";
    for (size_t cut = 15; cut < 14 + ch.size(); ++cut) {
      for (const int shape : {0, 1, 2}) {  // alone, after UTF-8, with an empty file between
        SCOPED_TRACE(testing::HexBytes(ch) + " cut " + std::to_string(cut) + " shape " +
                     std::to_string(shape));
        std::vector<std::string> rows = {scene.File("1.txt", text.substr(0, cut)),
                                         scene.File("2.txt", text.substr(cut))};
        if (shape == 1) rows.insert(rows.begin(), scene.File("0.txt", ahead));
        if (shape == 2) rows.insert(rows.begin() + 1, scene.File("1a.txt", ""));
        RecordingHost host;
        MergeResult result;
        MergeDeleting(scene, rows, &host, &result);
        EXPECT_TRUE(host.failures.empty()) << host.failures[0].path << host.failures[0].reason;
        EXPECT_EQ(testing::HexBytes(Bytes(merged)),
                  testing::HexBytes((shape == 1 ? ahead : std::string()) + text));
        EXPECT_EQ(result.sources_deleted, static_cast<int>(rows.size()));
      }
    }
  }
  // The same bytes followed by a text that does not complete a UTF-8 character are GBK, read as
  // always: a lead byte takes the next file's first byte, a GBK character stays whole, and a UTF-8
  // text after them is converted.
  struct GbkCase {
    std::string first, second, bytes;
  };
  const GbkCase gbk_cases[] = {
      {"plain\xD6", "\xD0" + In(Encoding::kGbk, "文"), In(Encoding::kGbk, "plain中文")},
      {"plain\xE4", "\xA1z", "plain\xE4\xA1z"},
      {"plain\xE4\xA1", In(Encoding::kGbk, "中"), "plain\xE4\xA1" + In(Encoding::kGbk, "中")},
      {"plain\xE4\xA1", In(Encoding::kUtf8, "中"), "plain\xE4\xA1" + In(Encoding::kGbk, "中")},
      {"plain\xF0\x9F\x98", "\xA1z", "plain\xF0\x9F\x98\xA1z"},
  };
  for (const GbkCase& test : gbk_cases) {
    SCOPED_TRACE(testing::HexBytes(test.first) + "| " + testing::HexBytes(test.second));
    RecordingHost host;
    MergeResult result;
    MergeDeleting(scene, {scene.File("g1.txt", test.first), scene.File("g2.txt", test.second)},
                  &host, &result);
    EXPECT_TRUE(host.failures.empty()) << host.failures[0].path << host.failures[0].reason;
    EXPECT_EQ(testing::HexBytes(Bytes(merged)), testing::HexBytes(test.bytes));
    EXPECT_EQ(result.sources_deleted, 2);
  }

  // Nothing completes the character: the file it ends is reported as cut short and kept.
  const std::string head = In(Encoding::kUtf8, "文ab");
  const std::string cut = scene.File("cut.txt", In(Encoding::kUtf8, "文ab中").substr(0, 7));
  const std::string gbk = scene.File("gbk.txt", In(Encoding::kGbk, "中文"));
  // Not "nul.txt": on Windows that name is the null device.
  const std::string nul = scene.File("zero.txt", std::string("\0\0", 2));
  const std::string utf8 = scene.File("u.txt", In(Encoding::kUtf8, "中"));
  struct Case {
    std::vector<std::string> rows;
    std::string bytes;
    std::vector<std::string> failed;
  };
  const Case cases[] = {
      {{cut}, head, {cut}},                                     // the last file
      {{cut, gbk}, head + In(Encoding::kUtf8, "中文"), {cut}},  // continued by another text
      {{cut, nul}, head, {cut}},  // zero padding comes first
      {{cut, utf8}, head + In(Encoding::kUtf8, "中"), {cut}},  // a whole character follows
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.rows.front() + " " + std::to_string(test.rows.size()));
    RecordingHost host;
    MergeResult result;
    MergeDeleting(scene, test.rows, &host, &result);
    EXPECT_TRUE(result.written);
    EXPECT_EQ(Bytes(merged), test.bytes);
    EXPECT_EQ(host.FailedPaths(), test.failed);
    EXPECT_TRUE(Mentions(host.failures[0], "只读取了前 5 字节（末尾有不完整的字符）"))
        << host.failures[0].reason;
    EXPECT_TRUE(Exists(cut));
  }
}

// True when the bytes begin with one whole character of the encoding longer than `carried`.
bool ModelCompletes(const std::string& bytes, size_t carried, Encoding encoding) {
  std::u32string points;
  for (size_t k = carried + 1; k <= 4 && k <= bytes.size(); ++k) {
    if (DecodeText(bytes.substr(0, k), encoding, &points) && points.size() == 1) return true;
  }
  return false;
}

bool GbFamily(Encoding encoding) {
  return encoding == Encoding::kGbk || encoding == Encoding::kGb18030;
}

// A random Big5 text of traditional characters, punctuation (some with a trail byte below 0x80,
// as 「 A1 75) and ASCII.
std::string RandomBig5Text(std::mt19937& rng, size_t characters) {
  static const char* const kPool[] = {"第", "回", "話", "說", "天", "下", "國", "們", "這", "個",
                                      "來", "時", "為", "會", "後", "裡", "學", "與", "書", "見",
                                      "，", "。", "「", "」", "　", "a", "7", " ", "\r\n", "嫋"};
  std::string utf8;
  for (size_t k = 0; k < characters; ++k) utf8 += kPool[rng() % (sizeof kPool / sizeof kPool[0])];
  std::string big5;
  EXPECT_TRUE(ConvertTypedText(utf8, Encoding::kBig5, &big5)) << utf8;
  return big5;
}

// Pieces of a Big5 text cut as a split by size cuts them (each ends at the first character
// boundary at or after its size) merge back byte for byte: at any size with the encoding given,
// and recognised on their own from kRecognisedFrom bytes on.
TEST(MergeJobEncodings, Big5TextsComeBackFromTheirPieces) {
  constexpr size_t kRecognisedFrom = 24;
  for (unsigned seed = 1; seed <= 120; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    const std::string text = RandomBig5Text(rng, 20 + rng() % 300);
    const size_t size = seed % 3 == 0 ? kRecognisedFrom + rng() % 100 : 1 + rng() % 40;
    Scene scene;
    std::vector<std::string> paths;
    CharCursor cursor(text, Encoding::kBig5);
    for (size_t at = 0; at < text.size();) {
      const size_t end = cursor.NextBoundary(at + size);
      paths.push_back(scene.File(std::to_string(paths.size()) + ".txt", text.substr(at, end - at)));
      at = end;
    }
    MergeForm given = scene.Form(paths);
    for (FileEntry& row : given.rows) row.encoding = EncodingChoice::kBig5;
    RecordingHost host;
    MergeResult result;
    MergeJob(given, host, &result);
    ASSERT_TRUE(host.failures.empty()) << host.failures[0].reason;
    EXPECT_EQ(Bytes(scene.save + kPathSeparator + "m.txt"), text) << "pieces of " << size;
    if (size < kRecognisedFrom) continue;
    RecordingHost auto_host;
    MergeJob(scene.Form(paths), auto_host, &result);
    ASSERT_TRUE(auto_host.failures.empty()) << auto_host.failures[0].reason;
    EXPECT_EQ(Bytes(scene.save + kPathSeparator + "m.txt"), text) << "pieces of " << size;
  }
}

// A Big5 piece joins a GBK or a UTF-8 book converted; a character the book's encoding lacks
// stops the merge, named by its byte.
TEST(MergeJobEncodings, Big5AndGbkPiecesAreConvertedIntoTheBooksEncoding) {
  Scene scene;
  const std::string merged = scene.save + kPathSeparator + "m.txt";
  const std::string big5_line = "第一回　話說天下大勢，分久必合，合久必分。\r\n";
  std::string big5;
  ASSERT_TRUE(ConvertTypedText(big5_line, Encoding::kBig5, &big5));
  const std::string b = scene.File("b.txt", big5);
  for (Encoding book : {Encoding::kGbk, Encoding::kUtf8, Encoding::kGb18030}) {
    const std::string a = scene.File("a.txt", In(book, "前言：这是一部书。\r\n"));
    RecordingHost host;
    MergeResult result;
    MergeJob(scene.Form({a, b}), host, &result);
    EXPECT_TRUE(host.failures.empty()) << EncodingName(book);
    EXPECT_EQ(Bytes(merged), In(book, "前言：这是一部书。\r\n" + big5_line)) << EncodingName(book);
  }
  // A Big5 book: GBK and UTF-8 pieces are converted into Big5.
  const std::string g = scene.File("g.txt", In(Encoding::kGbk, "第二回　天下大勢\r\n"));
  const std::string u = scene.File("u.txt", In(Encoding::kUtf8, "第三回　分久必合\r\n"));
  RecordingHost host;
  MergeResult result;
  MergeJob(scene.Form({b, g, u}), host, &result);
  EXPECT_TRUE(host.failures.empty()) << host.failures[0].reason;
  std::string expected;
  ASSERT_TRUE(ConvertTypedText(big5_line + "第二回　天下大勢\r\n第三回　分久必合\r\n",
                               Encoding::kBig5, &expected));
  EXPECT_EQ(Bytes(merged), expected);
  // Simplified characters have no Big5 form: the merge stops, naming the byte.
  const std::string s = scene.File("s.txt", In(Encoding::kUtf8, "第四回　这里\r\n"));
  RecordingHost lacking;
  MergeJob(scene.Form({b, s}), lacking, &result);
  EXPECT_FALSE(result.written);
  EXPECT_EQ(lacking.FailedPaths(), (std::vector<std::string>{s, merged}));
  EXPECT_EQ(lacking.failures[0].reason,
            "第 13 字节起的字符无法用 Big5 编码表示（合并后的文件取第一个文件的编码），未合并");
}

TEST(MergeJobEncodings, MatchesTheModelOnRandomMixedLists) {
  const char* const pool[] = {"中", "文", "第", "章", "a", "Z", " ", "\r\n", "\x1A", kExtB, kEmoji};
  const Encoding encodings[] = {Encoding::kGbk, Encoding::kGb18030, Encoding::kUtf8,
                                Encoding::kUtf8, Encoding::kUtf16Le, Encoding::kUtf16Be};
  for (unsigned seed = 1; seed <= 250; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    auto pick = [&](size_t n) {
      return static_cast<size_t>(std::uniform_int_distribution<size_t>(0, n - 1)(rng));
    };
    Scene scene;
    const std::string merged_path = scene.save + kPathSeparator + "m.txt";
    ASSERT_TRUE(WriteFileBytes(merged_path, "old"));
    // Texts in random encodings (UTF-8 sometimes with a mark), cut into pieces at random bytes
    // (UTF-16 texts stay whole: only their mark tells them); each piece is a row, read in its
    // text's encoding as given (UTF-16: recognised). A piece is sometimes missing.
    struct Row {
      std::string path, bytes;
      Encoding encoding;
      bool exists;
    };
    std::vector<Row> rows;
    MergeForm form = scene.Form({});
    for (size_t t = 1 + pick(3); t > 0; --t) {
      const Encoding encoding = encodings[pick(6)];
      std::string typed;
      for (size_t n = pick(12); n > 0; --n) {
        const char* piece = pool[pick(encoding == Encoding::kGbk ? 9 : 11)];
        if (piece[0] == '\x1A' && pick(4) != 0) continue;
        typed += piece;
      }
      std::string text = In(encoding, typed);
      if (encoding == Encoding::kUtf8 && pick(3) == 0) text = kUtf8Mark + text;
      const bool utf16 = !IsWorkingEncoding(encoding);
      std::vector<size_t> cuts = {0, text.size()};
      for (size_t n = utf16 ? 0 : pick(3); n > 0; --n) cuts.push_back(pick(text.size() + 1));
      std::sort(cuts.begin(), cuts.end());
      for (size_t i = 0; i + 1 < cuts.size(); ++i) {
        Row row{scene.dir.Join(std::to_string(rows.size()) + ".txt"),
                text.substr(cuts[i], cuts[i + 1] - cuts[i]), encoding, pick(10) != 0};
        if (row.exists) {
          ASSERT_TRUE(WriteFileBytes(row.path, row.bytes));
        }
        form.rows.push_back(MakeMergeEntry(row.path));
        if (!utf16) {
          form.rows.back().encoding = encoding == Encoding::kGbk       ? EncodingChoice::kGbk
                                      : encoding == Encoding::kGb18030 ? EncodingChoice::kGb18030
                                                                       : EncodingChoice::kUtf8;
        }
        rows.push_back(row);
      }
    }
    RecordingHost host;
    MergeResult result;
    MergeJob(form, host, &result);

    // The model, step by step.
    std::string merged;
    std::vector<std::string> failed;
    bool decided = false, blocked = false;
    Encoding target = Encoding::kGbk;
    std::string carry;
    Encoding carry_encoding = Encoding::kGbk;
    int carry_from = -1;
    int read = 0;
    for (size_t k = 0; k < rows.size(); ++k) {
      const Row& row = rows[k];
      const Encoding enc = row.encoding;
      if (!row.exists) {
        failed.push_back(row.path);
        continue;
      }
      if (!IsWorkingEncoding(enc)) {
        failed.push_back(row.path);
        blocked = true;
        continue;
      }
      const size_t mark = ByteOrderMarkLength(row.bytes, enc);
      bool taken = false;
      if (!carry.empty() && !row.bytes.empty() && mark == 0) {
        const std::string both = carry + row.bytes;
        if (carry_encoding == Encoding::kUtf8 || enc == Encoding::kUtf8) {
          taken = enc == carry_encoding && ModelCompletes(both, carry.size(), enc);
        } else if (enc == Encoding::kGb18030) {
          taken = ModelCompletes(both, carry.size(), enc);
        } else {
          taken = true;  // a GBK text takes any byte after a lead byte
        }
      }
      const std::string bytes = taken ? carry + row.bytes : row.bytes;
      std::string text, unfinished, padding;
      bool whole = false, lone_lead = false, padded = false;
      if (enc == Encoding::kGbk) {
        text = ModelRead(bytes, &whole, &padded);
        lone_lead = !whole && text.size() + 1 == bytes.size() &&
                    static_cast<unsigned char>(bytes.back()) >= 0x80;
        if (lone_lead) unfinished = bytes.substr(text.size());
        if (padded) padding = bytes.substr(text.size() + (whole ? 0 : 1));
        if (FirstInvalidGbkChar(text) != text.size()) {  // refused: not valid as given
          failed.push_back(row.path);
          blocked = true;
          continue;
        }
      } else {
        // The 0x1A bytes at the end pad it; those before them are text.
        size_t end = bytes.size();
        while (end > mark && bytes[end - 1] == '\x1A') --end;
        const TextCheckResult check =
            CheckText(std::string_view(bytes).substr(mark, end - mark), enc);
        if (check.check == TextCheck::kInvalid) {  // refused: not valid as given
          failed.push_back(row.path);
          blocked = true;
          continue;
        }
        text = bytes.substr(0, check.check == TextCheck::kCutShort ? mark + check.offset : end);
        unfinished = bytes.substr(text.size(), end - text.size());
        whole = text.size() == end;
        padded = end < bytes.size();
        padding = bytes.substr(end);
        lone_lead = !unfinished.empty() && !padded;
      }
      // Padding that another file follows stands inside the book.
      if (padded && k + 1 < rows.size()) text += padding;
      ++read;
      std::string body = merged.empty() ? text : text.substr(mark);
      bool non_ascii = false;
      for (unsigned char c : body) non_ascii = non_ascii || c >= 0x80;
      if (!decided && non_ascii) {
        decided = true;
        target = enc;
      }
      if (decided && GbFamily(enc) && GbFamily(target)) {
        if (enc == Encoding::kGb18030) target = enc;
      } else if (decided && enc != target) {
        std::string converted;
        if (!ConvertText(body, enc, target, &converted)) {
          failed.push_back(row.path);
          blocked = true;
        }
        body = converted;
      }
      merged += body;
      if (!carry.empty() && row.bytes.empty()) continue;  // the carried bytes pass on
      if (carry_from >= 0 && (!taken || text.size() < carry.size())) {
        failed.push_back(rows[carry_from].path);
      }
      carry.clear();
      carry_from = -1;
      if (lone_lead && k + 1 < rows.size()) {
        carry = unfinished;
        carry_encoding = enc;
        carry_from = static_cast<int>(k);
      } else if (!whole) {
        failed.push_back(row.path);
      }
    }
    if (carry_from >= 0) failed.push_back(rows[carry_from].path);
    const bool written = !blocked && read > 0;
    if (!written) failed.push_back(merged_path);

    std::string list;
    for (const Row& row : rows) {
      list += EncodingName(row.encoding) + std::string(row.exists ? " " : " (missing) ") +
              testing::HexBytes(row.bytes) + "\n";
    }
    SCOPED_TRACE(list);
    EXPECT_EQ(result.written, written);
    EXPECT_EQ(testing::HexBytes(Bytes(merged_path)), testing::HexBytes(written ? merged : "old"));
    EXPECT_EQ(host.FailedPaths(), failed);
  }
}

TEST(DefaultMergedName, KeepsTheCharactersOutsideAsciiOnly) {
  EXPECT_EQ(DefaultMergedName("我的小说2_第一部"), "我的小说第一部");
  EXPECT_EQ(DefaultMergedName("abc"), "");
  EXPECT_EQ(DefaultMergedName("12345"), "");
  EXPECT_EQ(DefaultMergedName(""), "");
  // Characters of every length, those GBK lacks among them, are whole in the proposal.
  EXPECT_EQ(DefaultMergedName("x😀1한국_𠀀y España.txt"), "😀한국𠀀ñ");
  EXPECT_EQ(DefaultMergedName("Ｘα-é\\Ж"), "ＸαéЖ");
  // "\\" and "|" between characters are ASCII like any other: they go, the characters stay.
  EXPECT_EQ(DefaultMergedName("卷\\一|2"), "卷一");
  // Half a character at the end is dropped, whatever its length.
  EXPECT_EQ(DefaultMergedName("a章b" + std::string("文").substr(0, 2)), "章");
  EXPECT_EQ(DefaultMergedName("a章" + std::string("😀").substr(0, 3)), "章");
  // Bytes that begin no UTF-8 character (a name taken as the system gave it) are dropped, and
  // the characters after them kept: the proposal is always valid UTF-8.
  EXPECT_EQ(DefaultMergedName("\xB5\xDA" "1章\x80\xC0\xAF" "节\xFF" "b"), "章节");
  EXPECT_EQ(DefaultMergedName("\xED\xA0\x80" "后"), "后");  // a surrogate's form
}

}  // namespace
}  // namespace travik
