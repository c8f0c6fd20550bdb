#include "split/split_job.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#endif

#include "files/file_entry.h"
#include "files/files.h"
#include "text/codepage.h"
#include "text/encoding.h"
#include "text/text.h"
#include "merge/merge_job.h"
#include "split/piece_writer.h"
#include "split/split_test_util.h"
#include "tests/test_util.h"

namespace travik {
namespace {

using testing::operator""_gbk;
using testing::ReadFileBytes;
using testing::RecordingHost;
using testing::ScopedTempDir;
using testing::WriteFileBytes;

const std::string kSep = kPathSeparator;

std::string Bytes(const std::string& path) {
  std::string bytes;
  EXPECT_TRUE(ReadFileBytes(path, &bytes)) << path;
  return bytes;
}

bool Exists(const std::string& path) { return FileSizeOf(path) >= 0; }

// A temporary folder with an output folder "out" and a program folder "prog".
struct Scene {
  Scene() {
    MakeDirectory(out);
    MakeDirectory(program);
  }
  std::string Source(const std::string& name, std::string_view bytes) const {
    std::string path = dir.Join(name);
    EXPECT_TRUE(WriteFileBytes(path, bytes));
    return path;
  }
  SplitForm Form(const std::vector<std::string>& paths) const {
    SplitForm form;
    for (const std::string& p : paths) form.rows.push_back(MakeSplitEntry(p));
    form.chosen_folder = out;
    form.program_folder = program;
    return form;
  }
  ScopedTempDir dir;
  std::string out = dir.Join("out");
  std::string program = dir.Join("prog");
};

TEST(SplitJobChecks, StopInOrderBeforeAnyFileIsRead) {
  Scene scene;
  const std::string source = scene.Source("书.txt", "abc");
  struct Case {
    SplitForm form;
    std::string message;
  };
  std::vector<Case> cases;
  SplitForm empty_list = scene.Form({});
  empty_list.chosen_folder.clear();
  empty_list.size_text.clear();
  cases.push_back({empty_list, "请先添加欲分割的文件！"});
  SplitForm no_folder = scene.Form({source});
  no_folder.chosen_folder.clear();
  cases.push_back({no_folder, "请选择保存的位置！"});
  // With 选择框3 ticked the empty 编辑框10 does not matter; the size field is next.
  SplitForm program_folder = no_folder;
  program_folder.save_in_program_folder = true;
  cases.push_back({program_folder, "欲分割大小不能为空"});
  const std::vector<std::pair<std::string, std::string>> sizes = {{"0", "欲分割大小不能为0"},
                                                                  {"-5", "欲分割大小必须大于0"},
                                                                  {"0.5", "欲分割大小必须大于0"},
                                                                  {"abc", "欲分割大小必须大于0"},
                                                                  {"00", "欲分割大小必须大于0"}};
  for (const auto& [text, message] : sizes) {
    SplitForm form = scene.Form({source});
    form.size_text = text;
    cases.push_back({form, message});
  }
  const std::vector<std::pair<std::string, std::string>> parts = {
      {"", "欲分割份数不能为空"}, {"0", "欲分割份数不能为0"}, {"-1", "欲分割份数必须大于0"}};
  for (const auto& [text, message] : parts) {
    SplitForm form = scene.Form({source});
    form.mode = SplitMode::kByCount;
    form.size_text = "0";  // the other modes' fields are not looked at
    form.parts_text = text;
    cases.push_back({form, message});
  }
  SplitForm keyword = scene.Form({source});
  keyword.mode = SplitMode::kByKeyword;
  cases.push_back({keyword, "请输入关键字"});

  for (const Case& c : cases) {
    RecordingHost host;
    SplitJob(c.form, host);
    EXPECT_EQ(host.messages, std::vector<std::string>{c.message});
    EXPECT_EQ(host.completions, 0) << c.message;
    EXPECT_TRUE(host.pane0_history.empty()) << c.message;
    EXPECT_FALSE(FolderExists(scene.out + kSep + "书")) << c.message;
  }
  // The program's folder gets its split folder before the size check stops the job.
  EXPECT_TRUE(FolderExists(scene.program + kSep + "分割后的文件"));
}

TEST(SplitJobChecks, PartCountAboveTheSmallestFileSizeIsRefusedBeforeWriting) {
  Scene scene;
  const std::string small = scene.Source("小.txt", "abcde");
  const std::string large = scene.Source("大.txt", std::string(300, 'x'));
  const std::string empty = scene.Source("空.txt", "");
  const std::string missing = scene.dir.Join("无.txt");
  struct Case {
    std::vector<std::string> files;
    std::string parts;
    std::string message;  // empty: the job runs
  };
  const std::vector<Case> cases = {
      {{small}, "6", "欲分割份数不能大于文件大小（5 字节）"},
      {{small}, "2000000000", "欲分割份数不能大于文件大小（5 字节）"},
      {{large, small}, "100", "欲分割份数不能大于文件大小（5 字节）"},  // the smallest counts
      {{empty}, "1", "欲分割份数不能大于文件大小（0 字节）"},
      {{missing, small}, "9", "欲分割份数不能大于文件大小（5 字节）"},
      {{small}, "5", ""},                // one byte per part is allowed
      {{missing, large}, "300", ""},     // a missing file fails when it is read
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.parts + " parts of " + NumberToText(static_cast<int>(c.files.size())));
    SplitForm form = scene.Form(c.files);
    form.mode = SplitMode::kByCount;
    form.parts_text = c.parts;
    RecordingHost host;
    SplitJob(form, host);
    if (c.message.empty()) {
      EXPECT_TRUE(host.messages.empty());
      EXPECT_TRUE(Exists(scene.out + kSep + form.rows.back().name + kSep + c.parts + ".txt"));
      continue;
    }
    EXPECT_EQ(host.messages, std::vector<std::string>{c.message});
    EXPECT_EQ(host.completions, 0);
    EXPECT_TRUE(host.failures.empty());
    for (const FileEntry& row : form.rows) EXPECT_FALSE(FolderExists(scene.out + kSep + row.name));
  }
}

TEST(SplitJob, NoModeCheckedOnlyCompletes) {
  Scene scene;
  SplitForm form = scene.Form({scene.Source("a.txt", "abc")});
  form.mode = SplitMode::kUnchecked;
  RecordingHost host;
  SplitJob(form, host);
  EXPECT_TRUE(host.messages.empty());
  EXPECT_EQ(host.completions, 1);
  EXPECT_EQ(host.pane0_history, std::vector<std::string>{"当前状态: 任务完成"});
  EXPECT_FALSE(FolderExists(scene.out + kSep + "a"));
}

TEST(SplitJob, OneFolderPerSourceWithPiecesScriptAndStatus) {
  Scene scene;
  const std::string first(2500, 'x');
  std::string second;
  for (int i = 0; i < 1000; ++i) second += "東"_gbk;
  SplitForm form = scene.Form({scene.Source("甲.txt", first), scene.Source("乙.txt", second)});
  form.size_text = "1";
  form.write_merge_script = true;
  form.save_in_program_folder = true;
  RecordingHost host;
  SplitJob(form, host);
  EXPECT_TRUE(host.messages.empty());
  EXPECT_EQ(host.failures.size(), 0u);
  EXPECT_EQ(host.completions, 1);
  EXPECT_EQ(host.pane0_history,
            (std::vector<std::string>{"当前状态: 正在处理第 1 个任务",
                                      "当前状态: 正在处理第 2 个任务", "当前状态: 任务完成"}));
  const std::string base = scene.program + kSep + "分割后的文件" + kSep;
  EXPECT_EQ(Bytes(base + "甲" + kSep + "1.txt"), first.substr(0, 1025));
  EXPECT_EQ(Bytes(base + "甲" + kSep + "3.txt"), first.substr(2050));
  EXPECT_FALSE(Exists(base + "甲" + kSep + "4.txt"));
  EXPECT_EQ(Bytes(base + "甲" + kSep + "点我合并.bat"),
            MergeScriptText("甲", {"1.txt", "2.txt", "3.txt"}));
  EXPECT_EQ(Bytes(base + "乙" + kSep + "1.txt"), second.substr(0, 1024));
  EXPECT_EQ(Bytes(base + "乙" + kSep + "2.txt"), second.substr(1024));
}

TEST(SplitJob, FractionalSizeStillWritesTheWholeText) {
  Scene scene;
  const std::string text(4096, 'a');
  SplitForm form = scene.Form({scene.Source("a.txt", text)});
  form.size_text = "1.5";  // three pieces by the count, 1 KB pieces by the cut
  RecordingHost host;
  SplitJob(form, host);
  std::string joined;
  for (int i = 1; i <= 4; ++i)
    joined += Bytes(scene.out + kSep + "a" + kSep + NumberToText(i) + ".txt");
  EXPECT_EQ(joined, text);
  EXPECT_FALSE(Exists(scene.out + kSep + "a" + kSep + "5.txt"));
}

TEST(SplitJob, NamingModeLastsUntilARadioIsChecked) {
  Scene scene;
  SplitForm form = scene.Form({scene.Source("a.txt", "abcdef")});
  form.mode = SplitMode::kByCount;
  form.parts_text = "2";
  form.naming = PieceNaming::kCustom;
  form.custom_text = "片";
  SplitContext context;
  RecordingHost host;
  SplitJob(form, context, host);
  form.naming = PieceNaming::kUnchecked;
  form.custom_text = "段";
  SplitJob(form, context, host);
  EXPECT_EQ(Bytes(scene.out + kSep + "a" + kSep + "段2.txt"), "def");
  EXPECT_TRUE(context.source_text.empty());
  // A fresh context with no naming radio checked numbers the pieces.
  SplitJob(form, host);
  EXPECT_EQ(Bytes(scene.out + kSep + "a" + kSep + "2.txt"), "def");
}

TEST(SplitJob, FailuresAreReportedOnceAndTheOtherFilesGoOn) {
  Scene scene;
  const std::string missing = scene.dir.Join("无.txt");
  // A 0x00 inside: no text, nothing written for it. A 0x1A inside: split whole, told.
  const std::string cut = scene.Source("截.txt", std::string("abc\0"
                                                             "def",
                                                             7));
  const std::string eof = scene.Source("控.txt", std::string(1000, 'e') + "\x1A" +
                                                     std::string(1000, 'f') + "\x1A\x1A");
  const std::string blocked = scene.Source("阻.txt", "blocked");
  WriteFileBytes(scene.out + kSep + "阻", "a file where the piece folder should be");
  const std::string locked = scene.Source("锁.txt", std::string(3000, 'z'));
  MakeDirectory(scene.out + kSep + "锁");
  WriteFileBytes(scene.out + kSep + "锁" + kSep + "2.txt", "old");
  testing::SetReadOnly(scene.out + kSep + "锁" + kSep + "2.txt", true);
  const std::string good = scene.Source("好.txt", "good");
  SplitForm form = scene.Form({missing, cut, eof, blocked, locked, good});
  form.size_text = "1";
  form.write_merge_script = true;
  RecordingHost host;
  SplitJob(form, host);
  EXPECT_EQ(host.completions, 0);
  EXPECT_EQ(host.failure_reports, 1);
  std::vector<std::string> failed;
  for (const FileFailure& f : host.failures) failed.push_back(f.path);
  EXPECT_EQ(failed, (std::vector<std::string>{missing, cut, blocked, locked}));
  EXPECT_EQ(host.panes[0], "当前状态: 任务完成，4 个文件失败");
  EXPECT_EQ(host.failures[1].reason.rfind("第 4 字节是 0x00", 0), 0u) << host.failures[1].reason;
  EXPECT_FALSE(Exists(scene.out + kSep + "截"));
  // The whole text with its 0x1A, its padding left out.
  EXPECT_EQ(Bytes(scene.out + kSep + "控" + kSep + "1.txt") +
                Bytes(scene.out + kSep + "控" + kSep + "2.txt"),
            std::string(1000, 'e') + "\x1A" + std::string(1000, 'f'));
  EXPECT_FALSE(Exists(scene.out + kSep + "控" + kSep + "3.txt"));
  EXPECT_EQ(host.warnings,
            (std::vector<std::string>{eof + ": 第 1001 字节有 0x1A 控制字符，已原样保留",
                                      eof + ": 文件末尾的 2 个 0x00/0x1A 填充字节不属于文本，已略去"}));
  // The read-only piece stays; with a piece missing no script is written (it would join the book
  // with a hole), and the report says so and names the piece missing.
  EXPECT_EQ(Bytes(scene.out + kSep + "锁" + kSep + "2.txt"), "old");
  EXPECT_FALSE(Exists(scene.out + kSep + "锁" + kSep + "点我合并.bat"));
  EXPECT_EQ(host.failures[3].reason, "有 1 个分割文件无法写入，" + scene.out + kSep + "锁" +
                                         " 中缺少：2.txt；没有写出合并文件 " + scene.out + kSep +
                                         "锁" + kSep + "点我合并.bat");
  EXPECT_EQ(Bytes(scene.out + kSep + "好" + kSep + "1.txt"), "good");
  testing::SetReadOnly(scene.out + kSep + "锁" + kSep + "2.txt", false);
}

// A folder of a piece's name in the way: the folder stays as it was, the other pieces are
// written, and no merge script joins the book without that piece.
TEST(SplitJob, AFolderInAPiecesWayLeavesNoScriptThatSkipsIt) {
  Scene scene;
  const std::string text =
      std::string(1024, 'a') + std::string(1024, 'b') + std::string(1024, 'c');
  const std::string source = scene.Source("书.txt", text);
  const std::string pieces = scene.out + kSep + "书";
  MakeDirectory(pieces);
  MakeDirectory(pieces + kSep + "2.txt");
  WriteFileBytes(pieces + kSep + "2.txt" + kSep + "inside.txt", "kept");
  SplitForm form = scene.Form({source});
  form.size_text = "1";
  form.write_merge_script = true;
  RecordingHost host;
  SplitJob(form, host);
  const std::string first = Bytes(pieces + kSep + "1.txt");
  const std::string last = Bytes(pieces + kSep + "3.txt");
  EXPECT_EQ(text.substr(0, first.size()), first);
  EXPECT_EQ(text.substr(text.size() - last.size()), last);
  EXPECT_LT(first.size() + last.size(), text.size());
  EXPECT_TRUE(FolderExists(pieces + kSep + "2.txt"));
  EXPECT_EQ(Bytes(pieces + kSep + "2.txt" + kSep + "inside.txt"), "kept");
  EXPECT_FALSE(Exists(pieces + kSep + "点我合并.bat"));
  ASSERT_EQ(host.failures.size(), 1u);
  EXPECT_EQ(host.failures[0].reason, "有 1 个分割文件无法写入，" + pieces +
                                         " 中缺少：2.txt；没有写出合并文件 " + pieces + kSep +
                                         "点我合并.bat");
  EXPECT_EQ(host.completions, 0);
}

#ifndef _WIN32
// Files may grow only to `limit` bytes while it lives (as on a disk that fills up): a write
// beyond fails part-way, leaving what fitted, as a full disk does.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t limit) {
    getrlimit(RLIMIT_FSIZE, &old_);
    old_signal_ = signal(SIGXFSZ, SIG_IGN);
    rlimit now = old_;
    now.rlim_cur = limit;
    setrlimit(RLIMIT_FSIZE, &now);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &old_);
    signal(SIGXFSZ, old_signal_);
  }

 private:
  rlimit old_;
  void (*old_signal_)(int);
};

// Pieces that a full disk cut short are removed, not left under their real names for a later
// merge of the folder to join; the pieces that fitted stay, the script is not written, and the
// report names every piece missing.
TEST(SplitJob, PiecesCutShortByAFullDiskAreRemovedAndNamed) {
  Scene scene;
  std::string text;
  for (int i = 0; i < 25; ++i) text += std::string(2048, static_cast<char>('a' + i));
  text += std::string(100, 'z');
  const std::string source = scene.Source("满.txt", text);
  SplitForm form = scene.Form({source});
  form.size_text = "2";
  form.write_merge_script = true;
  RecordingHost host;
  {
    FileSizeLimit limit(1500);
    SplitJob(form, host);
  }
  // Only the last piece, of less than 100 bytes, fitted.
  const std::string pieces = scene.out + kSep + "满";
  EXPECT_EQ(FileNamesIn(pieces), std::vector<std::string>{"26.txt"});
  const std::string last = Bytes(pieces + kSep + "26.txt");
  EXPECT_EQ(last, std::string(last.size(), 'z'));
  EXPECT_LT(last.size(), 100u);
  std::string missing;
  for (int i = 1; i <= 20; ++i) missing += (i == 1 ? "" : "、") + std::to_string(i) + ".txt";
  ASSERT_EQ(host.failures.size(), 1u);
  EXPECT_EQ(host.failures[0].reason, "有 25 个分割文件无法写入，" + pieces + " 中缺少：" + missing +
                                         " 等；没有写出合并文件 " + pieces + kSep + "点我合并.bat");
  EXPECT_EQ(host.panes[0], "当前状态: 任务完成，1 个文件失败");

  // A script cut short is removed too; so is any file DiskOutput could not write whole.
  DiskOutput output;
  const std::string script = scene.dir.Join("点我合并.bat");
  {
    FileSizeLimit limit(10);
    EXPECT_FALSE(output.WriteFile(script, MergeScriptText("书", {"1.txt", "2.txt"})));
    EXPECT_FALSE(output.WriteFileParts(scene.dir.Join("p.txt"), "12345678", "90abc"));
  }
  EXPECT_FALSE(Exists(script));
  EXPECT_FALSE(Exists(scene.dir.Join("p.txt")));
  EXPECT_TRUE(output.WriteFileParts(scene.dir.Join("p.txt"), "12345678", "90abc"));
  EXPECT_EQ(Bytes(scene.dir.Join("p.txt")), "1234567890abc");
}
#endif  // _WIN32

// Piece folders are named as Windows resolves names, on every system: "x." is the folder "x", so
// x.txt and x..txt get a folder each; a source called "nul" (or con, com1 ...) gets "nul_", and
// the merged file in its script too, so that no piece goes to the null device.
TEST(SplitJob, PieceFoldersAreNeitherSharedNorDevices) {
  Scene scene;
  const std::string x = scene.Source("x.txt", "first");
  const std::string x2 = scene.Source("x..txt", "second");
  // Three files: one file listed three times would be split once.
  const std::string other = scene.Source("书.txt", "third");
  const std::string other2 = scene.Source("书2.txt", "third");
  const std::string other3 = scene.Source("书3.txt", "third");
  SplitForm form = scene.Form({x, x2});
  EXPECT_EQ(form.rows[1].name, "x.");
  // A row may carry any name (the window's list takes it from the file); these are devices.
  form.rows.push_back({"Nul", other, "0.01"});
  form.rows.push_back({"com1.", other2, "0.01"});
  form.rows.push_back({"X ", other3, "0.01"});
  form.size_text = "1";
  form.write_merge_script = true;
  RecordingHost host;
  SplitContext context;
  SplitJob(form, context, host);
  EXPECT_TRUE(host.failures.empty());
  EXPECT_EQ(Bytes(scene.out + kSep + "x" + kSep + "1.txt"), "first");
  EXPECT_EQ(Bytes(scene.out + kSep + "x(2)" + kSep + "1.txt"), "second");
  EXPECT_EQ(Bytes(scene.out + kSep + "X(3)" + kSep + "1.txt"), "third");
  EXPECT_EQ(Bytes(scene.out + kSep + "Nul_" + kSep + "1.txt"), "third");
  EXPECT_EQ(Bytes(scene.out + kSep + "com1_" + kSep + "1.txt"), "third");
  EXPECT_EQ(Bytes(scene.out + kSep + "Nul_" + kSep + "点我合并.bat"),
            MergeScriptText("Nul_", {"1.txt"}));
  EXPECT_EQ(Bytes(scene.out + kSep + "x(2)" + kSep + "点我合并.bat"),
            MergeScriptText("x", {"1.txt"}));
  for (const char* name : {"x", "x(2)", "X(3)", "Nul_", "com1_"}) {
    EXPECT_TRUE(FolderExists(scene.out + kSep + name)) << name;
  }
  EXPECT_EQ(context.renamed_folders,
            (std::vector<std::string>{scene.out + kSep + "x(2)", scene.out + kSep + "X(3)"}));
  EXPECT_EQ(context.device_folders,
            (std::vector<std::string>{scene.out + kSep + "Nul_", scene.out + kSep + "com1_"}));
}

#ifdef _WIN32
// On Windows a source named nul.txt is the null device: it is refused, and nothing is written.
TEST(SplitJob, ASourceThatIsADeviceIsRefused) {
  Scene scene;
  const std::string good = scene.Source("好.txt", "good");
  SplitForm form = scene.Form({});
  for (const char* device : {"nul.txt", "CON", "aux.txt", "com1.txt", "LPT9.txt"}) {
    form.rows.push_back({BaseName(device), scene.dir.Join(device), ""});
  }
  form.rows.push_back(MakeSplitEntry(good));
  form.size_text = "1";
  RecordingHost host;
  SplitJob(form, host);
  ASSERT_EQ(host.failures.size(), 5u);
  EXPECT_EQ(host.failures[0].path, scene.dir.Join("nul.txt"));
  EXPECT_EQ(host.failures[0].reason, DeviceNameProblem("nul.txt"));
  EXPECT_EQ(host.failures[4].reason, DeviceNameProblem("LPT9.txt"));
  for (const char* folder : {"nul", "nul_", "CON", "CON_", "aux_"}) {
    EXPECT_FALSE(FolderExists(scene.out + kSep + folder)) << folder;
  }
  EXPECT_EQ(Bytes(scene.out + kSep + "好" + kSep + "1.txt"), "good");
}
#endif

TEST(SplitJob, BadKeywordIsShownOnceAndWritesNothing) {
  Scene scene;
  SplitForm form =
      scene.Form({scene.Source("a.txt", "第一"_gbk), scene.Source("b.txt", "第二"_gbk)});
  form.mode = SplitMode::kByKeyword;
  form.keyword_text = "第(";
  form.write_merge_script = true;
  RecordingHost host;
  SplitJob(form, host);
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].rfind("关键字不是有效的正则表达式：", 0), 0u) << host.messages[0];
  EXPECT_GT(host.messages[0].size(), std::string("关键字不是有效的正则表达式：").size());
  EXPECT_FALSE(Exists(scene.out + kSep + "a"));
  EXPECT_FALSE(Exists(scene.out + kSep + "b"));
  EXPECT_EQ(host.completions, 0);
}

TEST(SplitJob, AFileWithoutTheKeywordIsReportedAndGetsNoFolder) {
  Scene scene;
  SplitForm form =
      scene.Form({scene.Source("a.txt", "甲\n第一章\n"_gbk), scene.Source("b.txt", "无"_gbk)});
  form.mode = SplitMode::kByKeyword;
  form.keyword_text = "^第";
  form.write_merge_script = true;
  RecordingHost host;
  SplitJob(form, host);
  ASSERT_EQ(host.failures.size(), 1u);
  EXPECT_EQ(host.failures[0].path, form.rows[1].path);
  EXPECT_EQ(host.failures[0].reason, "未找到关键字");
  EXPECT_EQ(host.completions, 0);
  EXPECT_EQ(Bytes(scene.out + kSep + "a" + kSep + "1.txt"), "第一章\n"_gbk);
  EXPECT_TRUE(Exists(scene.out + kSep + "a" + kSep + "点我合并.bat"));
  EXPECT_FALSE(Exists(scene.out + kSep + "b"));
}

TEST(SplitJob, AnAbandonedKeywordSearchIsReportedAndNoTextIsLost) {
  Scene scene;
  const std::string text = "b" + std::string(5000, 'a');
  SplitForm form = scene.Form({scene.Source("a.txt", text)});
  form.mode = SplitMode::kByKeyword;
  form.keyword_text = "(a*)*b";  // the library gives up on the run of "a"
  RecordingHost host;
  SplitJob(form, host);
  ASSERT_EQ(host.failures.size(), 1u);
  EXPECT_EQ(host.failures[0].path, form.rows[0].path);
  EXPECT_EQ(host.completions, 0);
  // The match found before the search gave up starts the only piece, which runs to the end.
  EXPECT_EQ(Bytes(scene.out + kSep + "a" + kSep + "1.txt"), text);
}

TEST(SplitJob, SourcesInsidePieceFoldersAreNotOverwritten) {
  Scene scene;
  MakeDirectory(scene.out + kSep + "名");
  const std::string source = scene.out + kSep + "名" + kSep + "1.txt";
  WriteFileBytes(source, "abcdef");
  SplitForm form = scene.Form({});
  form.rows.push_back({"名", source, "0.01"});
  form.mode = SplitMode::kByCount;
  form.parts_text = "2";
  RecordingHost host;
  SplitJob(form, host);
  EXPECT_EQ(Bytes(source), "abcdef");
  EXPECT_EQ(Bytes(scene.out + kSep + "名" + kSep + "1(2).txt"), "abc");
  EXPECT_EQ(Bytes(scene.out + kSep + "名" + kSep + "2.txt"), "def");

  // Nor the source of another row: a piece of an earlier split listed with the whole novel, in
  // either order. The novel's new pieces go beside it but never over it.
  for (bool piece_first : {true, false}) {
    SCOPED_TRACE(piece_first ? "piece first" : "novel first");
    Scene two;
    MakeDirectory(two.out + kSep + "小说");
    const std::string piece = two.out + kSep + "小说" + kSep + "2.txt";
    ASSERT_TRUE(WriteFileBytes(piece, "old-piece"));
    const std::string novel = two.Source("小说.txt", "aaabbb");
    SplitForm both = two.Form(piece_first ? std::vector<std::string>{piece, novel}
                                      : std::vector<std::string>{novel, piece});
    both.mode = SplitMode::kByCount;
    both.parts_text = "2";
    RecordingHost rows;
    SplitJob(both, rows);
    EXPECT_EQ(Bytes(piece), "old-piece");
    EXPECT_EQ(Bytes(two.out + kSep + "小说" + kSep + "1.txt"), "aaa");
    EXPECT_EQ(Bytes(two.out + kSep + "小说" + kSep + "2(2).txt"), "bbb");
    EXPECT_EQ(Bytes(two.out + kSep + "2" + kSep + "1.txt") +
                  Bytes(two.out + kSep + "2" + kSep + "2.txt"),
              "old-piece");
  }
}

TEST(SplitJob, SameNamedSourcesGetFoldersOfTheirOwnAndLeftoversAreCounted) {
  Scene scene;
  MakeDirectory(scene.dir.Join("a"));
  MakeDirectory(scene.dir.Join("b"));
  const std::string first = scene.Source("a" + std::string(kSep) + "小说.txt", "111222");
  const std::string second = scene.Source("b" + std::string(kSep) + "小说.txt", "333444");
  const std::string third = scene.Source("小说", "555666");  // no extension: the same name
  SplitForm form = scene.Form({first, second, third});
  form.mode = SplitMode::kByCount;
  form.parts_text = "2";
  SplitContext context;
  RecordingHost host;
  SplitJob(form, context, host);
  const std::string base = scene.out + kSep + "小说";
  EXPECT_EQ(Bytes(base + kSep + "1.txt"), "111");
  EXPECT_EQ(Bytes(base + "(2)" + kSep + "1.txt"), "333");
  EXPECT_EQ(Bytes(base + "(3)" + kSep + "2.txt"), "666");
  EXPECT_EQ(context.renamed_folders, (std::vector<std::string>{base + "(2)", base + "(3)"}));
  EXPECT_TRUE(host.failures.empty());
  EXPECT_EQ(host.completions, 1);

  // Windows takes names differing only in the case of full-width, Greek or Cyrillic letters
  // for one name: those sources get folders of their own as well.
  const std::string wide_upper = scene.Source("a" + std::string(kSep) + "Ａω.txt", "AAAaaa");
  const std::string wide_lower = scene.Source("b" + std::string(kSep) + "ａΩ.txt", "BBBbbb");
  SplitForm cased = scene.Form({wide_upper, wide_lower});
  cased.mode = SplitMode::kByCount;
  cased.parts_text = "2";
  SplitContext cased_context;
  RecordingHost cased_host;
  SplitJob(cased, cased_context, cased_host);
  EXPECT_EQ(Bytes(scene.out + kSep + "Ａω" + kSep + "1.txt"), "AAA");
  EXPECT_EQ(Bytes(scene.out + kSep + "ａΩ(2)" + kSep + "1.txt"), "BBB");
  EXPECT_EQ(cased_context.renamed_folders, (std::vector<std::string>{scene.out + kSep + "ａΩ(2)"}));
  EXPECT_TRUE(cased_host.failures.empty());
  // The next job of the window's context starts afresh, even one that a check stops.
  cased.parts_text.clear();
  RecordingHost stopped;
  SplitJob(cased, cased_context, stopped);
  EXPECT_EQ(stopped.messages.size(), 1u);
  EXPECT_TRUE(cased_context.renamed_folders.empty());

  // Splitting again into fewer parts leaves the earlier pieces: counted, reported, kept.
  form = scene.Form({first});
  form.mode = SplitMode::kByCount;
  form.parts_text = "1";
  RecordingHost again;
  SplitJob(form, again);
  EXPECT_EQ(Bytes(base + kSep + "1.txt"), "111222");
  EXPECT_EQ(Bytes(base + kSep + "2.txt"), "222");
  ASSERT_EQ(again.failures.size(), 1u);
  EXPECT_EQ(again.failures[0].path, base);
  EXPECT_NE(again.failures[0].reason.find("另有 1 个文件"), std::string::npos)
      << again.failures[0].reason;

  // No program folder known: nothing is written at the root.
  form.save_in_program_folder = true;
  form.program_folder.clear();
  RecordingHost no_folder;
  SplitJob(form, no_folder);
  EXPECT_EQ(no_folder.messages, std::vector<std::string>{"无法确定保存目录（软件所在目录未知）"});
  EXPECT_TRUE(no_folder.failures.empty());
}

TEST(SplitJob, AFileListedTwiceIsSplitOnce) {
  // Overlapping wildcards, another spelling, a link: one folder of pieces, with a note per row
  // dropped (before, the second row made a folder "a(2)" holding the same pieces).
  Scene scene;
  const std::string a = scene.Source("a.txt", std::string(3000, 'x'));
  const std::string hard = scene.dir.Join("hard.txt");
  std::filesystem::create_hard_link(testing::NativePath(a), testing::NativePath(hard));
  SplitForm form = scene.Form({a, hard, scene.dir.path() + kSep + "." + kSep + "a.txt", a});
  form.mode = SplitMode::kBySize;
  form.size_text = "1";
  RecordingHost host;
  SplitJob(form, host);
  EXPECT_TRUE(host.failures.empty());
  EXPECT_EQ(host.notes.size(), 3u);
  EXPECT_EQ(FileNamesIn(scene.out).size(), 0u);
  EXPECT_TRUE(FolderExists(scene.out + kSep + "a"));
  EXPECT_FALSE(FolderExists(scene.out + kSep + "hard") || FolderExists(scene.out + kSep + "a(2)"));
  std::string joined;
  for (const char* name : {"1.txt", "2.txt", "3.txt"}) {
    joined += Bytes(scene.out + kSep + "a" + kSep + name);
  }
  EXPECT_EQ(joined, std::string(3000, 'x'));
  EXPECT_EQ(FileNamesIn(scene.out + kSep + "a").size(), 3u);
}

TEST(SizeModePieceCount, CountsARemainderOfTwoBytesOrMore) {
  EXPECT_EQ(SizeModePieceCount(2048, "1"), 2);            // an exact multiple
  EXPECT_EQ(SizeModePieceCount(3072, "2"), 2);            // a whole remainder of 1 KB
  EXPECT_EQ(SizeModePieceCount(2560, "2"), 2);            // 0.5 KB left over
  EXPECT_EQ(SizeModePieceCount(1026, "1"), 2);            // 2 bytes left over
  EXPECT_EQ(SizeModePieceCount(1025, "1"), 1);            // 1 byte left over: no piece for it
  EXPECT_EQ(SizeModePieceCount(4096, "1.5"), 3);          // 4 / 1.5 = 2.67, remainder 1
  EXPECT_EQ(SizeModePieceCount(5 * 1024 + 512, "2"), 3);  // remainder 1.5 KB
  EXPECT_EQ(SizeModePieceCount(0, "1"), 0);
  EXPECT_EQ(SizeModePieceCount(100, "100"), 1);
}

TEST(SplitJob, SplitThenMergeGivesBackTheSourceInEveryMode) {
  // Pieces read back by the merge job (the program's own reader, which drops a lead byte left at
  // the end of a file) give the source again: no piece ends inside a character.
  Scene scene;
  const std::string extra = "第一章\0第二章\r\n\0第"_gbk;
  std::mt19937 rng(20240603);
  // Few rounds: each writes and reads real files (slow under Wine); the in-memory model tests
  // cover the cuts on thousands of texts.
  for (int round = 0; round < 12; ++round) {
    SCOPED_TRACE("seed 20240603 round " + std::to_string(round));
    const std::string text =
        testing::RandomGbkText(rng, 6000, false, extra) + "第末"_gbk;
    const std::string source = scene.Source("r" + NumberToText(round) + ".txt", text);
    for (SplitMode mode : {SplitMode::kBySize, SplitMode::kByCount, SplitMode::kByKeyword}) {
      SplitForm form = scene.Form({source});
      form.mode = mode;
      form.size_text = "1";
      form.parts_text = NumberToText(static_cast<int>(rng() % 7) + 1);
      form.keyword_text = "第";
      RecordingHost host;
      SplitJob(form, host);
      ASSERT_TRUE(host.failures.empty());
      const std::string folder = scene.out + kSep + form.rows[0].name;
      MergeForm merge;
      for (int n = 0;; ++n) {
        const std::string piece = folder + kSep + NumberToText(n) + ".txt";
        if (n == 0 && !Exists(piece)) continue;  // only a keyword split has a head piece
        if (!Exists(piece)) break;
        merge.rows.push_back(MakeMergeEntry(piece));
      }
      merge.merged_name = "merged";
      merge.chosen_folder = scene.dir.path();
      RecordingHost merge_host;
      MergeJob(merge, merge_host);
      ASSERT_TRUE(merge_host.failures.empty());
      ASSERT_EQ(Bytes(scene.dir.Join("merged.txt")), text) << "mode " << static_cast<int>(mode);
      for (const FileEntry& row : merge.rows) RemoveFile(row.path);  // none left for the next run
    }
  }
}

// UTF-8 and GB18030 texts with a stray byte: split by size at random sizes, each piece ends
// between two characters of the text (the stray byte a character of its own), the reader's note
// is told, and the merge job gives the text back byte for byte.
TEST(SplitJob, TextsWithAStrayByteAreCutBetweenCharactersAndMergeBack) {
  Scene scene;
  std::mt19937 rng(6565);
  static const unsigned char kUtf8Stray[] = {0x80, 0xBF, 0xC1, 0xE4, 0xF0, 0xFF};
  for (int round = 0; round < 16; ++round) {
    SCOPED_TRACE("seed 6565 round " + std::to_string(round));
    const Encoding e = round % 2 ? Encoding::kGb18030 : Encoding::kUtf8;
    std::string utf8 = e == Encoding::kGb18030 ? "\xF0\xA0\x80\x80" : "";  // U+20000
    const size_t length = 3000 + rng() % 30000;
    while (utf8.size() < length) {
      const unsigned kind = rng() % 6;
      if (kind < 4) {
        const unsigned cp = 0x4E00 + rng() % (0x9FA6 - 0x4E00);
        utf8 += static_cast<char>(0xE0 | (cp >> 12));
        utf8 += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        utf8 += static_cast<char>(0x80 | (cp & 0x3F));
      } else {
        utf8 += kind == 4 ? "\r\n" : "a";
      }
    }
    std::string text = utf8;
    if (e == Encoding::kGb18030) {
      ASSERT_TRUE(ConvertText(utf8, Encoding::kUtf8, e, &text));
    }
    // Where characters begin, then one stray byte put where one begins.
    std::vector<size_t> starts;
    for (size_t at = 0; at < text.size();
         at += CharLength(e, text.data() + at, text.data() + text.size())) {
      starts.push_back(at);
    }
    const size_t stray_at = starts[100 + rng() % (starts.size() - 100)];
    // In GB18030 0xFF: a lone 0x80 is GBK's euro, and a piece without a four-byte character is
    // GBK, whose euro a merge into GB18030 writes as GB18030 does (A2 E3).
    const unsigned char stray =
        e == Encoding::kUtf8 ? kUtf8Stray[rng() % std::size(kUtf8Stray)] : 0xFF;
    text.insert(stray_at, 1, static_cast<char>(stray));
    for (size_t& at : starts) at += at >= stray_at ? 1 : 0;
    starts.push_back(stray_at);
    starts.push_back(text.size());
    std::sort(starts.begin(), starts.end());

    const std::string source = scene.Source("s" + NumberToText(round) + ".txt", text);
    SplitForm form = scene.Form({source});
    form.mode = SplitMode::kBySize;
    form.size_text = NumberToText(1 + static_cast<int>(rng() % 4));
    RecordingHost host;
    SplitJob(form, host);
    ASSERT_TRUE(host.failures.empty()) << host.failures[0].reason;
    EXPECT_EQ(host.warnings, std::vector<std::string>{source + ": 第 " +
                                                      std::to_string(stray_at + 1) +
                                                      " 字节起有 1 个无效字节，已原样保留"});
    const std::string folder = scene.out + kSep + form.rows[0].name;
    MergeForm merge;
    size_t edge = 0;
    for (int n = 1;; ++n) {
      const std::string piece = folder + kSep + NumberToText(n) + ".txt";
      if (!Exists(piece)) break;
      edge += Bytes(piece).size();
      ASSERT_TRUE(std::binary_search(starts.begin(), starts.end(), edge))
          << "piece " << n << " ends inside a character at " << edge;
      merge.rows.push_back(MakeMergeEntry(piece));
    }
    ASSERT_EQ(edge, text.size());
    merge.merged_name = "merged";
    merge.chosen_folder = scene.dir.path();
    RecordingHost merge_host;
    MergeJob(merge, merge_host);
    ASSERT_TRUE(merge_host.failures.empty()) << merge_host.failures[0].reason;
    const std::string merged = Bytes(scene.dir.Join("merged.txt"));
    size_t differ = 0;
    while (differ < std::min(merged.size(), text.size()) && merged[differ] == text[differ]) {
      ++differ;
    }
    ASSERT_TRUE(merged == text) << "merged bytes differ from " << differ << " of " << text.size()
                                << "/" << merged.size() << " stray at " << stray_at << " "
                                << testing::HexBytes(merged.substr(differ > 8 ? differ - 8 : 0, 24))
                                << " size " << form.size_text;
    for (const FileEntry& row : merge.rows) RemoveFile(row.path);
  }
}

}  // namespace
}  // namespace travik
