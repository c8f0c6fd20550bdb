#include "merge/merge_job.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "core/files.h"
#include "tests/test_util.h"

namespace travik {
namespace {

using testing::ReadFileBytes;
using testing::ScopedTempDir;
using testing::SetReadOnly;
using testing::WriteFileBytes;

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
};

bool Exists(const std::string& path) { return FileSizeOf(path) >= 0; }

std::string Bytes(const std::string& path) {
  std::string bytes;
  EXPECT_TRUE(ReadFileBytes(path, &bytes)) << path;
  return bytes;
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

  // Row order decides, duplicates repeat, ".txt" is always appended, Chinese names work.
  RecordingHost again;
  MergeJob(scene.Form({c, empty, b, c, a}, "合并.txt"), again, &result);
  EXPECT_EQ(result.merged_path, scene.save + kPathSeparator + "合并.txt.txt");
  EXPECT_EQ(Bytes(result.merged_path),
            "\xD5\xC2\x5C"
            "y"
            "\xD5\xC2\x5C"
            "x\r\n");
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

  // A program folder whose parent is missing cannot be made: reported, sources kept.
  form.program_folder = scene.dir.Join("no") + kPathSeparator + "where";
  form.delete_sources = true;
  RecordingHost unmade;
  MergeJob(form, unmade, &result);
  EXPECT_FALSE(result.written);
  ASSERT_EQ(unmade.failures.size(), 1u);
  EXPECT_EQ(unmade.failures[0].path, form.program_folder + kPathSeparator + kMergedFolderName);
  EXPECT_EQ(unmade.notices, 0);
  EXPECT_TRUE(Exists(a));
}

TEST(MergeJob, CutShortSourcesContributeTheirTextAndAreReportedAndKept) {
  Scene scene;
  std::string eof = scene.File("eof.txt", std::string("ab\x1A"
                                                      "cd",
                                                      5));
  std::string utf16 = scene.File("utf16.txt", std::string("\xFF\xFE"
                                                          "a\0b\0",
                                                          6));
  // A character cut across two files by a byte-wise split is whole again.
  std::string half = scene.File("half.txt", "ab\xB0");
  std::string joined = scene.File("joined.txt", "\xA1z");
  std::string inner = scene.File("inner.txt",
                                 "\xB0\x1A"
                                 "c");  // 0x1A as a trail byte: whole
  std::string clean = scene.File("clean.txt", "ok");
  std::string tail = scene.File("tail.txt", "x\xB0");  // nothing after it: reported
  MergeForm form = scene.Form({eof, utf16, half, joined, inner, clean, tail});
  form.delete_sources = true;
  RecordingHost host;
  MergeResult result;
  MergeJob(form, host, &result);

  EXPECT_EQ(Bytes(result.merged_path),
            "ab"
            "\xFF\xFE"
            "a"
            "ab\xB0\xA1z"
            "\xB0\x1A"
            "c"
            "ok"
            "x");
  EXPECT_EQ(host.FailedPaths(), (std::vector<std::string>{eof, utf16, tail}));
  EXPECT_EQ(host.reports, 1);
  EXPECT_NE(host.failures[0].reason.find("其后的 3 字节未被合并"), std::string::npos)
      << host.failures[0].reason;
  EXPECT_NE(host.failures[0].reason.find("原文件未删除"), std::string::npos);
  EXPECT_EQ(Bytes(eof), std::string("ab\x1A"
                                    "cd",
                                    5));
  EXPECT_TRUE(Exists(utf16) && Exists(tail));
  EXPECT_FALSE(Exists(half) || Exists(joined) || Exists(inner) || Exists(clean));
  EXPECT_EQ(result.sources_deleted, 4);
  EXPECT_EQ(host.notices, 0);
  EXPECT_EQ(host.panes[0], std::string(kFinished) + "，3 个文件失败");
  EXPECT_EQ(host.panes[1], "保存目录: " + scene.save);
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
  // The write fails (the chosen folder does not exist): every source stays.
  std::string a = scene.File("a.txt", "A");
  std::string b = scene.File("b.txt", "B");
  MergeForm form = scene.Form({a, b});
  form.delete_sources = true;
  form.chosen_folder = scene.dir.Join("missing");
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

  // The merged file listed as a source, a missing source, a read-only source, a duplicate row.
  std::string missing = scene.dir.Join("不在.txt");
  std::string locked = scene.File("locked.txt", "L");
  ASSERT_TRUE(SetReadOnly(locked, true));
  form = scene.Form({target, a, missing, locked, b, a});
  form.delete_sources = true;
  RecordingHost mixed;
  MergeJob(form, mixed, &result);
  EXPECT_TRUE(result.written);
  // A read-only source is read; the second "a" row finds its file already taken.
  EXPECT_EQ(Bytes(target), "oldALB");
  EXPECT_EQ(mixed.FailedPaths(), (std::vector<std::string>{missing, target, locked}));
  EXPECT_EQ(mixed.reports, 1);
  EXPECT_FALSE(Exists(a) || Exists(b));
  EXPECT_TRUE(Exists(locked));
  EXPECT_EQ(result.sources_deleted, 2);
  EXPECT_EQ(mixed.notices, 0);
  SetReadOnly(locked, false);
}

TEST(MergeJob, AFileListedAgainAddsNothingWhenSourcesAreDeleted) {
  // Deleting takes each file away with its first row, so a later row of the same file reads
  // nothing; without deleting, every row contributes.
  Scene scene;
  std::string a = scene.File("a.txt", "A");
  std::string b = scene.File("b.txt", "B");
  std::string cut = scene.File("cut.txt", std::string("C\x1A" "c", 3));
  std::string a_again = scene.dir.path() + kPathSeparator + "." + kPathSeparator + "a.txt";
  RecordingHost keep;
  MergeResult result;
  MergeJob(scene.Form({a, b, a, cut, cut}), keep, &result);
  EXPECT_EQ(Bytes(result.merged_path), "ABACC");

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
}

// The job's steps, literally, on a snapshot of the files: what the merged file, the remaining
// files and the failure list must be.
struct ModelFile {
  std::string bytes;
  bool exists = false;
  bool read_only = false;
};

// Reading as the file layer defines it: up to the first 0x00 or 0x1A outside a character, or a
// lead byte without a trail byte.
std::string ModelRead(const std::string& b, bool* whole) {
  size_t i = 0;
  while (i < b.size()) {
    unsigned char c = static_cast<unsigned char>(b[i]);
    if (c == 0x00 || c == 0x1A) break;
    if (c >= 0x80) {
      if (i + 1 >= b.size() || b[i + 1] == '\0') break;
      i += 2;
    } else {
      i += 1;
    }
  }
  *whole = (i == b.size());
  return b.substr(0, i);
}

TEST(MergeJob, MatchesTheLiteralStepsOnRandomLists) {
  const char* names[] = {"a.txt", "第一卷.txt", "b\xB1\x5C.txt", "m.txt", "空.txt"};
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
        f.bytes = testing::RandomGbkText(rng, 40, pick(3) == 0);
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
    for (int r : rows) form.rows.push_back(MakeMergeEntry(paths[r]));

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
    std::vector<bool> taken(paths.size(), false);  // read by an earlier row and to be deleted
    std::string carry;  // a lone lead byte at the end of a file, read with the next file
    int carry_from = -1;
    int read = 0;
    for (size_t k = 0; k < rows.size(); ++k) {
      const int r = rows[k];
      if (taken[r]) continue;
      if (!model[r].exists) {
        failed.push_back(paths[r]);
        continue;
      }
      ++read;
      taken[r] = form.delete_sources;
      if (!carry.empty() && model[r].bytes.empty()) {  // the byte waits for the next file
        complete.push_back(r);
        continue;
      }
      bool whole = false;
      const std::string bytes = carry + model[r].bytes;
      const std::string text = ModelRead(bytes, &whole);
      merged += text;
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
      } else if (whole) {
        complete.push_back(r);
      } else {
        failed.push_back(paths[r]);
      }
    }
    if (carry_from >= 0) failed.push_back(paths[carry_from]);
    bool target_read_only = !program && model[3].exists && model[3].read_only;
    bool written = !save_missing && !target_read_only && read > 0;
    if (!written) {
      failed.push_back(merged_path);
    } else {
      if (!program) model[3] = {merged, true, false};
      if (form.delete_sources) {
        for (int r : complete) {
          if ((!program && r == 3) || model[r].read_only) {
            failed.push_back(paths[r]);  // the merged file itself, or a file it cannot delete
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
    EXPECT_EQ(host.FailedPaths(), failed);
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

TEST(DefaultMergedName, KeepsTheDoubleByteCharactersOnly) {
  EXPECT_EQ(DefaultMergedName("我的小说2_第一部"), "我的小说第一部");
  EXPECT_EQ(DefaultMergedName("abc"), "");
  EXPECT_EQ(DefaultMergedName("12345"), "");
  EXPECT_EQ(DefaultMergedName(""), "");
  // Trail bytes below 0x80 belong to their character, even "\" and "|".
  EXPECT_EQ(DefaultMergedName("x\x81\x5C"
                              "1\x81\x7C"
                              "y"),
            "\x81\x5C\x81\x7C");
  // A trail byte of 0x80 or more is not taken for the start of another character.
  EXPECT_EQ(DefaultMergedName("\xB0\xA1\xB0"
                              "a"),
            "\xB0\xA1\xB0"
            "a");
  // Half a character at the end is dropped.
  EXPECT_EQ(DefaultMergedName("a\xD5\xC2"
                              "b\xD5"),
            "\xD5\xC2");
}

}  // namespace
}  // namespace travik
