#include "insert/insert_job.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "text/encoding.h"
#include "files/files.h"
#include "text/text.h"
#include "insert/insertion_builder.h"
#include "tests/test_util.h"

namespace travik {
namespace {

using testing::ReadFileBytes;
using testing::ScopedTempDir;
using testing::WriteFileBytes;
using testing::operator""_gbk;

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
  void ReportResults(const std::vector<FileResult>& list) override {
    EXPECT_EQ(reports, 0) << "results come before failures";
    for (const FileResult& r : list) results.push_back(r.path + " " + r.summary);
  }
  void FileStarted(int, int, const std::string& path) override { started.push_back(path); }
  void OutputWritten(const std::string& path) override { written.push_back(path); }
  void ShowNote(const std::string& text) override { notes.push_back(text); }
  void CheckWarning(const std::string& path, const std::string& text) override {
    warnings.push_back(path + ": " + text);
  }

  std::vector<std::string> notes;
  std::vector<std::string> warnings;  // "PATH: TEXT"
  std::vector<std::string> messages;
  std::vector<std::string> pane_writes;
  std::string panes[2];
  int notices = 0;
  int reports = 0;
  std::vector<FileFailure> failures;
  std::vector<std::string> results;
  std::vector<std::string> started;  // FileStarted paths, in order
  std::vector<std::string> written;  // OutputWritten paths, in order
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
  WriteFileBytes(path, "第一章"_gbk);
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
  EXPECT_EQ(Bytes(path), "第一章"_gbk);

  // Keyword and interval both given: the keyword decides.
  form.keyword_text = "章";
  form.every_text = "1";
  RecordingHost both;
  InsertJob(form, context, both);
  EXPECT_TRUE(both.messages.empty());
  EXPECT_EQ(Bytes(dir.Join(kProcessedFolderName) + kPathSeparator + "a.txt"), "第一章 "_gbk);
}

TEST(InsertJob, TheChosenPlaceDecidesAndItsNumberIsChecked) {
  ScopedTempDir dir;
  std::string path = dir.Join("a.txt");
  WriteFileBytes(path, "第一章"_gbk);
  InsertForm form = FormFor(dir, {path});
  form.keyword_text = "章";
  form.every_text = "2";
  const std::string copy = dir.Join(kProcessedFolderName) + kPathSeparator + "a.txt";
  // Both filled, the length chosen: the length places the text, never the keyword.
  form.place = InsertPlace::kLength;
  InsertContext context;
  RecordingHost by_length;
  InsertJob(form, context, by_length);
  EXPECT_TRUE(by_length.messages.empty());
  EXPECT_EQ(Bytes(copy), "第##一##章##"_gbk);
  // The keyword chosen but empty: no silent use of the length.
  form.place = InsertPlace::kKeyword;
  form.keyword_text.clear();
  RecordingHost empty_keyword;
  InsertJob(form, context, empty_keyword);
  EXPECT_EQ(empty_keyword.messages, std::vector<std::string>{"请输入欲插入的文字的位置！"});
  // Lengths out of range are refused before any file is touched, naming the range.
  form.place = InsertPlace::kLength;
  RemoveFile(copy);
  for (const char* every : {"-5", "0", "99999999999"}) {
    form.every_text = every;
    RecordingHost out_of_range;
    InsertJob(form, context, out_of_range);
    EXPECT_EQ(out_of_range.messages,
              std::vector<std::string>{"按文本长度须在 1 到 2147483647 字节之间"})
        << every;
    EXPECT_LT(FileSizeOf(copy), 0) << every;
  }
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
  std::string dot_txt = dir.Join(".txt");
  WriteFileBytes(log, "第一章\r\n正文第二章\r\n"_gbk);
  WriteFileBytes(plain, "章"_gbk);
  WriteFileBytes(dot_txt, "章章"_gbk);
  // Two sources of one name, from two folders: the second copy gets "(2)", the third "(3)".
  MakeDirectory(dir.Join("b"));
  MakeDirectory(dir.Join("c"));
  std::string again = dir.Join("b") + kPathSeparator + "卷一.txt";
  std::string third = dir.Join("c") + kPathSeparator + "卷一.TXT";
  WriteFileBytes(again, "b章"_gbk);
  WriteFileBytes(third, "c章"_gbk);
  // Names that Windows takes for one (full-width and Greek letters differ only in case).
  std::string upper = dir.Join("b") + kPathSeparator + "Ｘα.txt";
  std::string lower = dir.Join("c") + kPathSeparator + "ｘΑ.txt";
  WriteFileBytes(upper, "U章"_gbk);
  WriteFileBytes(lower, "L章"_gbk);
  InsertForm form = FormFor(dir, {log, plain, dot_txt, again, third, upper, lower});
  form.keyword_text = "章";
  InsertContext context;
  RecordingHost host;
  InsertJob(form, context, host);
  const std::string out = Processed(dir) + kPathSeparator;
  EXPECT_EQ(Bytes(out + "卷一.txt"), "第一章##\r\n正文第二章##\r\n"_gbk);
  EXPECT_EQ(Bytes(out + "noext.txt"), "章##"_gbk);  // a name without an extension is kept whole
  EXPECT_EQ(Bytes(out + ".txt"), "章##章##"_gbk);      // and ".txt" keeps its name
  EXPECT_EQ(Bytes(out + "卷一(2).txt"), "b章##"_gbk);
  EXPECT_EQ(Bytes(out + "卷一(3).txt"), "c章##"_gbk);
  EXPECT_EQ(Bytes(out + "Ｘα.txt"), "U章##"_gbk);
  EXPECT_EQ(Bytes(out + "ｘΑ(2).txt"), "L章##"_gbk);
  EXPECT_EQ(context.renamed_copies, (std::vector<std::string>{out + "卷一(2).txt", out + "卷一(3).txt",
                                                              out + "ｘΑ(2).txt"}));
  EXPECT_EQ(Bytes(log), "第一章\r\n正文第二章\r\n"_gbk);
  EXPECT_EQ(Bytes(plain), "章"_gbk);
  EXPECT_EQ(host.panes[1], "保存目录: " + Processed(dir));
  EXPECT_EQ(host.notices, 1);
  EXPECT_TRUE(host.failures.empty());
}

// A copy is never named as a device: written to "nul.txt" on Windows it would vanish. It gets a
// mark, and is told like a copy renamed.
TEST(InsertJob, CopiesAreNeverNamedAsDevices) {
  ScopedTempDir dir;
  std::string a = dir.Join("a.txt");
  std::string b = dir.Join("b.txt");
  WriteFileBytes(a, "章"_gbk);
  WriteFileBytes(b, "章章"_gbk);
  InsertForm form = FormFor(dir, {a, b});
  form.rows[0].name = "NUL";
  form.rows[1].name = "com1.part";
  form.keyword_text = "章";
  InsertContext context;
  RecordingHost host;
  InsertJob(form, context, host);
  const std::string out = Processed(dir) + kPathSeparator;
  EXPECT_EQ(Bytes(out + "NUL_.txt"), "章##"_gbk);
  EXPECT_EQ(Bytes(out + "com1_.part.txt"), "章##章##"_gbk);
  EXPECT_EQ(context.renamed_copies,
            (std::vector<std::string>{out + "NUL_.txt", out + "com1_.part.txt"}));
  EXPECT_TRUE(host.failures.empty());
}

TEST(InsertJob, NamesGbkCannotHoldAreHandledLikeAnyOther) {
  // Sources in folders named outside GBK, under names GBK lacks (emoji, Hangul, U+20000, ñ); the
  // texts are GBK, UTF-8 and GB18030, and the typed text goes into each in its encoding.
  ScopedTempDir dir;
  const std::string sep = kPathSeparator;
  const std::string in = dir.Join("입력 😀");
  const std::string more = dir.Join("𠀀");
  ASSERT_TRUE(MakeDirectory(in));
  ASSERT_TRUE(MakeDirectory(more));
  const std::string emoji = in + sep + "😀.txt";
  const std::string korean = in + sep + "한국.txt";
  const std::string spain = in + sep + "España.txt";
  const std::string bare = in + sep + "𠀀";
  const std::string spain_caps = more + sep + "ESPAÑA.txt";  // one name with España.txt on Windows
  const std::string emoji_again = more + sep + "😀.txt";
  auto write_all = [&]() {
    ASSERT_TRUE(WriteFileBytes(emoji, "第一章\r\n笑"_gbk));
    ASSERT_TRUE(WriteFileBytes(korean, "第一章 한국\r\n"));
    ASSERT_TRUE(WriteFileBytes(spain, testing::Gb18030("第一章 𠀀\r\n")));
    ASSERT_TRUE(WriteFileBytes(bare, "章"_gbk));
    ASSERT_TRUE(WriteFileBytes(spain_caps, "章"_gbk));
    ASSERT_TRUE(WriteFileBytes(emoji_again, "b章"_gbk));
  };
  write_all();
  const std::vector<std::string> paths = {emoji, korean, spain, bare, spain_caps, emoji_again};
  InsertForm form = FormFor(dir, paths);
  form.program_folder = dir.Join("프로그램 😀");
  ASSERT_TRUE(MakeDirectory(form.program_folder));
  form.keyword_text = "章";
  form.text_to_insert = "【注】";
  InsertContext context;
  RecordingHost host;
  InsertJob(form, context, host);
  const std::string out = form.program_folder + sep + kProcessedFolderName + sep;
  EXPECT_EQ(Bytes(out + "😀.txt"), "第一章【注】\r\n笑"_gbk);
  EXPECT_EQ(Bytes(out + "한국.txt"), "第一章【注】 한국\r\n");
  EXPECT_EQ(Bytes(out + "España.txt"), testing::Gb18030("第一章【注】 𠀀\r\n"));
  EXPECT_EQ(Bytes(out + "𠀀.txt"), "章【注】"_gbk);
  EXPECT_EQ(Bytes(out + "ESPAÑA(2).txt"), "章【注】"_gbk);
  EXPECT_EQ(Bytes(out + "😀(2).txt"), "b章【注】"_gbk);
  EXPECT_EQ(EntriesIn(form.program_folder + sep + kProcessedFolderName), 6u);
  EXPECT_EQ(context.renamed_copies,
            (std::vector<std::string>{out + "ESPAÑA(2).txt", out + "😀(2).txt"}));
  EXPECT_EQ(host.started, paths);
  EXPECT_EQ(host.written, (std::vector<std::string>{out + "😀.txt", out + "한국.txt",
                                                    out + "España.txt", out + "𠀀.txt",
                                                    out + "ESPAÑA(2).txt", out + "😀(2).txt"}));
  std::vector<std::string> results;
  for (const std::string& path : paths) results.push_back(path + " 插入 1 处");
  EXPECT_EQ(host.results, results);
  EXPECT_EQ(host.pane_writes,
            (std::vector<std::string>{"0:当前状态: 正在处理文件...",
                                      "1:保存目录: " + form.program_folder, "0:当前状态: 已完成",
                                      "1:保存目录: " + form.program_folder + sep +
                                          kProcessedFolderName}));
  EXPECT_TRUE(host.failures.empty()) << host.failures[0].path << " " << host.failures[0].reason;
  EXPECT_EQ(host.notices, 1);
  EXPECT_EQ(Bytes(emoji), "第一章\r\n笑"_gbk);

  // In place, with a text the GBK files cannot hold: those are named by their paths as listed and
  // left as they are; the others get it.
  form.keep_original = false;
  form.text_to_insert = "😀";
  RecordingHost in_place;
  InsertJob(form, context, in_place);
  EXPECT_EQ(Bytes(korean), "第一章😀 한국\r\n");
  EXPECT_EQ(Bytes(spain), testing::Gb18030("第一章😀 𠀀\r\n"));
  EXPECT_EQ(Bytes(emoji), "第一章\r\n笑"_gbk);
  EXPECT_EQ(Bytes(bare), "章"_gbk);
  std::vector<std::string> refused;
  for (const FileFailure& f : in_place.failures) refused.push_back(f.path);
  EXPECT_EQ(refused, (std::vector<std::string>{emoji, bare, spain_caps, emoji_again}));
  EXPECT_EQ(in_place.results,
            (std::vector<std::string>{korean + " 插入 1 处", spain + " 插入 1 处"}));
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
  WriteFileBytes(path, "中文中文中文"_gbk);
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
  EXPECT_EQ(Bytes(path), "中文#中#文中#文#"_gbk);
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
  WriteFileBytes(path, "第一章"_gbk);
  InsertForm form = FormFor(dir, {path});
  form.keep_original = false;
  form.keyword_text = "章";
  InsertContext context;
  RecordingHost keyword;
  InsertJob(form, context, keyword);
  EXPECT_EQ(Bytes(path), "第一章##"_gbk);
  EXPECT_FALSE(FolderExists(Processed(dir)));

  form.keyword_text.clear();
  form.every_text = "100";  // more than the listed length: nothing inserted
  RecordingHost every;
  InsertJob(form, context, every);
  EXPECT_EQ(Bytes(path), "第一章##"_gbk);
  EXPECT_TRUE(FolderExists(Processed(dir)));
  EXPECT_EQ(EntriesIn(Processed(dir)), 0u);

  ScopedTempDir other;
  std::string random_path = other.Join("j.txt");
  WriteFileBytes(random_path, "中文"_gbk);
  form = FormFor(other, {random_path});
  form.keep_original = false;
  form.random = true;
  RandomGenerator generator(3);
  context.random = &generator;
  RecordingHost random;
  InsertJob(form, context, random);
  EXPECT_TRUE(FolderExists(Processed(other)));
  EXPECT_EQ(EntriesIn(Processed(other)), 0u);
  EXPECT_EQ(TextLength(Bytes(random_path)), 4 + 2 * 2);  // two digits or fewer: two draws
  EXPECT_EQ(random.notices, 1);

  // No program folder known: in place needs no folder, and the empty one is never made at the
  // root of the drive, ticked or not.
  const std::string at_root = JoinText(kPathSeparator, kProcessedFolderName);
  const bool was_there = FolderExists(at_root);
  for (bool ticked : {true, false}) {
    form = FormFor(other, {random_path});
    form.keep_original = false;
    form.every_text = "2";
    form.program_folder.clear();
    form.use_program_folder = ticked;
    RecordingHost no_folder;
    InsertJob(form, context, no_folder);
    EXPECT_TRUE(no_folder.failures.empty());
    EXPECT_EQ(no_folder.notices, 1);
  }
  EXPECT_EQ(TextLength(Bytes(random_path)), 8 + 4 * 2 + 8 * 2);
  if (!was_there) {
    EXPECT_FALSE(FolderExists(at_root)) << at_root;
    std::filesystem::remove(testing::NativePath(at_root));
  }
}

TEST(InsertJob, KeepModeNeverWritesOverTheSource) {
  ScopedTempDir dir;
  std::string path = dir.Join("d.txt");
  WriteFileBytes(path, "第一章"_gbk);
  InsertForm form = FormFor(dir, {path});
  form.keyword_text = "章";
  form.use_program_folder = false;
  form.output_folder = dir.path();  // the copy's path is the source's own
  InsertContext context;
  RecordingHost host;
  InsertJob(form, context, host);
  EXPECT_EQ(Bytes(path), "第一章"_gbk);
  ASSERT_EQ(host.failures.size(), 1u);
  EXPECT_EQ(host.failures[0].path, path);
  EXPECT_EQ(host.reports, 1);
  EXPECT_EQ(host.notices, 0);
  EXPECT_EQ(host.panes[0], "当前状态: 已完成，1 个文件失败");
  EXPECT_TRUE(host.results.empty());

  // Nor over another row's source in the chosen folder: the copy of a/d.txt takes "d(2)" and
  // leaves d.txt to be read as it is.
  MakeDirectory(dir.Join("a"));
  std::string other = dir.Join("a") + kPathSeparator + "d.txt";
  WriteFileBytes(other, "第二章"_gbk);
  form = FormFor(dir, {other, path});
  form.keyword_text = "章";
  form.use_program_folder = false;
  form.output_folder = dir.path();
  RecordingHost two;
  InsertJob(form, context, two);
  EXPECT_EQ(Bytes(path), "第一章"_gbk);
  EXPECT_EQ(Bytes(dir.Join("d(2).txt")), "第二章##"_gbk);
  EXPECT_EQ(context.renamed_copies, std::vector<std::string>{dir.Join("d(2).txt")});
  ASSERT_EQ(two.failures.size(), 1u);
  EXPECT_EQ(two.failures[0].path, path);  // its own copy would be itself
}

TEST(InsertJob, ControlBytesAreTextPaddingIsToldAndZerosRefuse) {
  ScopedTempDir dir;
  std::string path = dir.Join("e.txt");
  // A 0x1A inside is a byte of the text: insertions go on after it, in place too.
  const std::string bytes = std::string("ab\x1A" "cd", 5) + "章"_gbk;
  WriteFileBytes(path, bytes);
  InsertForm form = FormFor(dir, {path});
  form.every_text = "2";
  form.text_to_insert = "#";
  form.keep_original = false;
  InsertContext context;
  RecordingHost in_place;
  InsertJob(form, context, in_place);
  EXPECT_EQ(Bytes(path), std::string("ab#\x1A" "c#d", 7) + "章#"_gbk);
  EXPECT_TRUE(in_place.failures.empty());
  EXPECT_EQ(in_place.warnings,
            std::vector<std::string>{path + ": 第 3 字节有 0x1A 控制字符，已原样保留"});
  EXPECT_EQ(in_place.notices, 1);

  // Padding: the copy leaves it out and says so; in place the file is left as it is.
  const std::string padded = "abcd" + std::string("\x1A\0", 2);
  WriteFileBytes(path, padded);
  RecordingHost padded_in_place;
  InsertJob(form, context, padded_in_place);
  EXPECT_EQ(Bytes(path), padded);
  ASSERT_EQ(padded_in_place.failures.size(), 1u);
  EXPECT_EQ(padded_in_place.failures[0].reason,
            "文件末尾有 2 个 0x00/0x1A 填充字节，写回会丢失这些字节，未作修改");
  form.keep_original = true;
  RecordingHost keep;
  InsertJob(form, context, keep);
  EXPECT_EQ(Bytes(path), padded);
  // The listed length (6) counts the padding: the point past the text goes to its end.
  EXPECT_EQ(Bytes(Processed(dir) + kPathSeparator + "e.txt"), "ab#cd##");
  EXPECT_TRUE(keep.failures.empty());
  EXPECT_EQ(keep.warnings, std::vector<std::string>{
                               path + ": 文件末尾的 2 个 0x00/0x1A 填充字节不属于文本，已略去"});

  // A 0x00 inside: no copy, no change.
  const std::string binary = std::string("ab\0cd", 5);
  WriteFileBytes(path, binary);
  RemoveFile(Processed(dir) + kPathSeparator + "e.txt");
  RecordingHost refused;
  InsertJob(form, context, refused);
  EXPECT_EQ(Bytes(path), binary);
  EXPECT_LT(FileSizeOf(Processed(dir) + kPathSeparator + "e.txt"), 0);
  ASSERT_EQ(refused.failures.size(), 1u);
  EXPECT_EQ(refused.failures[0].reason.rfind("第 3 字节是 0x00", 0), 0u) << refused.failures[0].reason;

  // A lead byte without its second byte at the end: the copy lacks it, and says so.
  WriteFileBytes(path, "ab\xB0");
  RemoveFile(Processed(dir) + kPathSeparator + "e.txt");
  form.every_text = "1";
  RecordingHost lone;
  InsertJob(form, context, lone);
  // The listed length (7, of the first file) counts on past the text: those points go to its end.
  EXPECT_EQ(Bytes(Processed(dir) + kPathSeparator + "e.txt"), "a#b######");
  ASSERT_EQ(lone.failures.size(), 1u);
  EXPECT_EQ(lone.failures[0].reason, "文件末尾有不完整的双字节字符，副本不含这个字节");
}

// Files in each encoding, the same story in each: "第一章\r\n" with a character GBK lacks.
constexpr char kUtf8Chapter[] = "\xE7\xAC\xAC\xE4\xB8\x80\xE7\xAB\xA0\xF0\xA0\x80\x80\r\n";
constexpr char kGb18030Chapter[] = "\xB5\xDA\xD2\xBB\xD5\xC2\x95\x32\x82\x36\r\n";
constexpr char kGb18030Emoji[] = "\x94\x39\xFC\x36";  // U+1F600
constexpr char kUtf8Emoji[] = "\xF0\x9F\x98\x80";

std::string FailureFor(const RecordingHost& host, const std::string& path) {
  std::string reasons;
  for (const FileFailure& f : host.failures) {
    if (f.path == path) reasons += f.reason;
  }
  return reasons;
}

TEST(InsertJob, EachFileGetsTheTextInItsOwnEncodingOrIsRefusedUntouched) {
  ScopedTempDir dir;
  const std::string gbk = dir.Join("gbk.txt");
  const std::string utf8 = dir.Join("utf8.txt");
  const std::string marked = dir.Join("marked.txt");
  const std::string gb18030 = dir.Join("gb18030.txt");
  const std::string utf16 = dir.Join("utf16.txt");
  const std::string utf16_bytes("\xFF\xFE\x2C\x7B\x00\x4E\xE0\x7A", 8);
  auto write_all = [&]() {
    WriteFileBytes(gbk, "第一章\r\n"_gbk);
    WriteFileBytes(utf8, kUtf8Chapter);
    WriteFileBytes(marked, std::string("\xEF\xBB\xBF") + kUtf8Chapter);
    WriteFileBytes(gb18030, kGb18030Chapter);
    WriteFileBytes(utf16, utf16_bytes);
  };
  write_all();
  InsertForm form = FormFor(dir, {gbk, utf8, marked, gb18030, utf16});
  form.text_to_insert = "😀";  // typed
  form.keyword_text = "^|章";  // the start of the text, after the mark, and after 章

  for (bool keep : {true, false}) {
    SCOPED_TRACE(keep ? "kept copies" : "in place");
    write_all();
    std::filesystem::remove_all(testing::NativePath(Processed(dir)));
    form.keep_original = keep;
    InsertContext context;
    RecordingHost host;
    InsertJob(form, context, host);
    const std::string out = keep ? Processed(dir) + kPathSeparator : dir.path() + kPathSeparator;
    const std::string e = kUtf8Emoji;
    EXPECT_EQ(Bytes(out + "utf8.txt"), e + "\xE7\xAC\xAC\xE4\xB8\x80\xE7\xAB\xA0" + e +
                                           "\xF0\xA0\x80\x80\r\n");
    EXPECT_EQ(Bytes(out + "marked.txt"), "\xEF\xBB\xBF" + e +
                                             "\xE7\xAC\xAC\xE4\xB8\x80\xE7\xAB\xA0" + e +
                                             "\xF0\xA0\x80\x80\r\n");
    EXPECT_EQ(Bytes(out + "gb18030.txt"), std::string(kGb18030Emoji) + "\xB5\xDA\xD2\xBB\xD5\xC2" +
                                              kGb18030Emoji + "\x95\x32\x82\x36\r\n");
    // GBK cannot hold the emoji, and UTF-16 is not worked in: both untouched, no copy.
    EXPECT_EQ(Bytes(gbk), "第一章\r\n"_gbk);
    EXPECT_EQ(Bytes(utf16), utf16_bytes);
    if (keep) {
      EXPECT_EQ(Bytes(out + "gbk.txt"), "<missing>");
      EXPECT_EQ(Bytes(out + "utf16.txt"), "<missing>");
      EXPECT_EQ(EntriesIn(Processed(dir)), 3u);
    }
    EXPECT_NE(FailureFor(host, gbk).find("GBK"), std::string::npos) << FailureFor(host, gbk);
    EXPECT_EQ(FailureFor(host, utf16), Utf16RefusalMessage(Encoding::kUtf16Le));
    EXPECT_EQ(host.failures.size(), 2u);
    EXPECT_EQ(host.results, (std::vector<std::string>{utf8 + " 插入 2 处", marked + " 插入 2 处",
                                                      gb18030 + " 插入 2 处"}));
    EXPECT_EQ(host.notices, 0);
  }

  // A text GBK can hold goes into the GBK file in GBK, into the others in their own encodings.
  write_all();
  form.text_to_insert = "【注】";
  form.keep_original = false;
  InsertContext context;
  RecordingHost host;
  InsertJob(form, context, host);
  EXPECT_EQ(Bytes(gbk), "【注】第一章【注】\r\n"_gbk);
  EXPECT_EQ(Bytes(gb18030), "【注】"_gbk + "\xB5\xDA\xD2\xBB\xD5\xC2" + "【注】"_gbk +
                                "\x95\x32\x82\x36\r\n");
  EXPECT_EQ(Bytes(utf8), "【注】\xE7\xAC\xAC\xE4\xB8\x80\xE7\xAB\xA0【注】\xF0\xA0\x80\x80\r\n");
  EXPECT_EQ(host.failures.size(), 1u);  // the UTF-16 file
}

TEST(InsertJob, AGivenEncodingDecidesAndInvalidTextIsRefused) {
  ScopedTempDir dir;
  const std::string gbk = dir.Join("gbk.txt");
  const std::string utf8 = dir.Join("utf8.txt");
  WriteFileBytes(gbk, "第一章"_gbk);  // B5 DA D2 BB D5 C2: not UTF-8
  WriteFileBytes(utf8, "\xE4\xB8\xAD\xE6\x96\x87");  // 中文
  InsertForm form = FormFor(dir, {gbk, utf8});
  for (FileEntry& row : form.rows) row.encoding = EncodingChoice::kUtf8;
  form.every_text = "3";
  form.text_to_insert = "#";
  InsertContext context;
  RecordingHost host;
  InsertJob(form, context, host);
  const std::string out = Processed(dir) + kPathSeparator;
  EXPECT_EQ(Bytes(out + "gbk.txt"), "<missing>");
  EXPECT_NE(FailureFor(host, gbk).find("UTF-8"), std::string::npos) << FailureFor(host, gbk);
  EXPECT_EQ(Bytes(out + "utf8.txt"), "\xE4\xB8\xAD#\xE6\x96\x87#");  // 6 bytes: two points

  // The same UTF-8 bytes read as GBK are three double-byte characters (the point at 3 is inside
  // the second).
  for (FileEntry& row : form.rows) row.encoding = EncodingChoice::kGbk;
  RecordingHost as_gbk;
  InsertJob(form, context, as_gbk);
  EXPECT_TRUE(as_gbk.failures.empty());
  EXPECT_EQ(Bytes(out + "utf8.txt"), "\xE4\xB8\xAD\xE6#\x96\x87#");
  EXPECT_EQ(Bytes(gbk), "第一章"_gbk);
}

// A UTF-8 novel with one stray byte is UTF-8: in place it is refused (recognition is a guess,
// and a wrong one would write another encoding into the file), and named it is refused as not
// UTF-8; its copy gets UTF-8 text between UTF-8 characters, the stray byte kept and told.
TEST(InsertJob, AUtf8TextWithAStrayByteGetsUtf8TextOnlyInACopy) {
  ScopedTempDir dir;
  const std::string path = dir.Join("stray.txt");
  std::string line = "第一章 天下大事，分久必合，合久必分。\r\n";
  std::string novel;
  while (novel.size() < 3000) novel += line;
  novel.insert(line.size() * 3, "\xFF");
  WriteFileBytes(path, novel);
  InsertForm form = FormFor(dir, {path});
  form.every_text = "500";
  form.text_to_insert = "【注】";
  form.keep_original = false;
  InsertContext context;
  RecordingHost in_place;
  InsertJob(form, context, in_place);
  EXPECT_EQ(Bytes(path), novel);
  EXPECT_EQ(FailureFor(in_place, path),
            "文件中有 1 个无效字节，按 UTF-8 编码识别，不原地插入；请保留原文件后再插入，文件未作修改");
  for (FileEntry& row : form.rows) row.encoding = EncodingChoice::kUtf8;
  RecordingHost named;
  InsertJob(form, context, named);
  EXPECT_EQ(Bytes(path), novel);
  EXPECT_EQ(FailureFor(named, path), "按 UTF-8 编码读取时，第 " +
                                         std::to_string(line.size() * 3 + 1) +
                                         " 字节起不是有效的字符，文件未处理");

  for (FileEntry& row : form.rows) row.encoding = EncodingChoice::kAuto;
  form.keep_original = true;
  RecordingHost keep;
  InsertJob(form, context, keep);
  EXPECT_TRUE(keep.failures.empty());
  EXPECT_EQ(keep.warnings, std::vector<std::string>{path + ": 第 " +
                                                    std::to_string(line.size() * 3 + 1) +
                                                    " 字节起有 1 个无效字节，已原样保留"});
  const std::string copy = Bytes(Processed(dir) + kPathSeparator + "stray.txt");
  // Taking the UTF-8 insertions out gives the novel back; each stood between two characters.
  const std::string mark = "【注】";
  std::string rest;
  size_t inserted = 0;
  for (size_t at = 0; at < copy.size();) {
    if (copy.compare(at, mark.size(), mark) == 0) {
      ++inserted;
      at += mark.size();
      ASSERT_TRUE(rest.size() == novel.size() ||
                  (static_cast<unsigned char>(novel[rest.size()]) & 0xC0) != 0x80)
          << "inside a character at " << rest.size();
      continue;
    }
    rest += copy[at++];
  }
  EXPECT_EQ(rest, novel);
  EXPECT_GE(inserted, 6u);
}

TEST(InsertJob, AUtf8TextCutShortKeepsItsCopyOnlyWithoutTheBrokenCharacter) {
  ScopedTempDir dir;
  const std::string path = dir.Join("cut.txt");
  const std::string bytes = "\xE4\xB8\xAD\xE6\x96\x87\xE7\xAB";  // 中文 and part of 章
  WriteFileBytes(path, bytes);
  InsertForm form = FormFor(dir, {path});
  for (FileEntry& row : form.rows) row.encoding = EncodingChoice::kUtf8;
  form.keyword_text = "文";
  form.keep_original = false;
  InsertContext context;
  RecordingHost in_place;
  InsertJob(form, context, in_place);
  EXPECT_EQ(Bytes(path), bytes);
  EXPECT_NE(FailureFor(in_place, path).find("不完整"), std::string::npos);

  form.keep_original = true;
  RecordingHost keep;
  InsertJob(form, context, keep);
  EXPECT_EQ(Bytes(Processed(dir) + kPathSeparator + "cut.txt"), "\xE4\xB8\xAD\xE6\x96\x87##");
  EXPECT_NE(FailureFor(keep, path).find("不完整"), std::string::npos) << FailureFor(keep, path);
  EXPECT_EQ(FailureFor(keep, path).find("0x00"), std::string::npos) << FailureFor(keep, path);
}

TEST(InsertJob, FilesThatCannotBeOpenedAreSkipped) {
  ScopedTempDir dir;
  std::string missing = dir.Join("missing.txt");
  std::string locked = dir.Join("locked.txt");
  std::string good = dir.Join("good.txt");
  WriteFileBytes(locked, "章"_gbk);
  WriteFileBytes(good, "章"_gbk);
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
  EXPECT_EQ(Bytes(out + "locked.txt"), "章##"_gbk);  // a read-only source can be copied
  EXPECT_EQ(Bytes(out + "good.txt"), "章##"_gbk);
  ASSERT_EQ(host.failures.size(), 1u);
  EXPECT_EQ(host.failures[0].path, missing);
  EXPECT_NE(host.failures[0].reason.find("不存在"), std::string::npos) << host.failures[0].reason;
  EXPECT_EQ(host.notices, 0);
  // Only what was written is listed.
  EXPECT_EQ(host.results, (std::vector<std::string>{locked + " 插入 1 处", good + " 插入 1 处"}));

  // In place it needs writing, and says why it cannot.
  testing::SetReadOnly(locked, true);
  form.keep_original = false;
  RecordingHost in_place;
  InsertJob(form, context, in_place);
  testing::SetReadOnly(locked, false);
  EXPECT_EQ(Bytes(locked), "章"_gbk);
  EXPECT_EQ(Bytes(good), "章##"_gbk);
  ASSERT_EQ(in_place.failures.size(), 2u);
  EXPECT_EQ(in_place.failures[1].path, locked);
  EXPECT_NE(in_place.failures[1].reason.find("只读"), std::string::npos)
      << in_place.failures[1].reason;
}

TEST(InsertJob, RandomDrawsComeFromTheGivenGeneratorForEveryFileAlike) {
  ScopedTempDir dir;
  std::string text;
  for (int i = 0; i < 500; ++i) text += i % 7 == 0 ? "，\r\n"_gbk : "中文a"_gbk;
  std::string path = dir.Join("f.txt");
  std::string empty = dir.Join("empty.txt");
  ScopedTempDir other;
  std::string twin = other.Join("f.txt");
  WriteFileBytes(path, text);
  WriteFileBytes(twin, text);
  WriteFileBytes(empty, "");
  InsertForm form = FormFor(dir, {path, empty});
  form.random = true;
  form.keyword_text = "ignored";
  InsertContext context;
  RandomGenerator generator(7);
  context.random = &generator;
  RecordingHost host;
  InsertJob(form, context, host);

  const int listed = TextLength(text);
  RandomGenerator same(7);
  std::vector<int> draws = DrawSortedPositions(same, RandomCountFor(NumberToText(listed)), listed);
  ASSERT_EQ(draws.size(), 2u);  // four digits: listed / 1000
  const std::string out = Processed(dir) + kPathSeparator;
  StringSink expected;
  ASSERT_TRUE(InsertAtDraws(text, "##", draws, expected));
  EXPECT_EQ(Bytes(out + "f.txt"), expected.text);
  EXPECT_EQ(Bytes(out + "empty.txt"), "");  // listed length 0: nothing drawn, a plain copy
  EXPECT_EQ(host.notices, 1);
  EXPECT_EQ(host.results, (std::vector<std::string>{path + " 插入 2 处", empty + " 插入 0 处"}));

  // The same file after another one gets the same positions from the same seed.
  form = FormFor(other, {empty, twin});
  form.random = true;
  RecordingHost second;
  InsertJob(form, context, second);
  EXPECT_EQ(Bytes(Processed(other) + kPathSeparator + "f.txt"), expected.text);

  // In place, an empty file is left alone.
  form.rows = {MakeInsertEntry(empty)};
  form.keep_original = false;
  RecordingHost in_place;
  InsertJob(form, context, in_place);
  EXPECT_EQ(Bytes(empty), "");
  EXPECT_EQ(in_place.notices, 1);
  EXPECT_EQ(in_place.results, std::vector<std::string>{empty + " 插入 0 处"});

  // Without a given generator every file is drawn for afresh: two copies of one text get their
  // own positions (twelve draws each among 121400 bytes, never equal in practice).
  ScopedTempDir fresh;
  std::string long_text;
  for (int i = 0; i < 50; ++i) long_text += text;
  WriteFileBytes(fresh.Join("a.txt"), long_text);
  WriteFileBytes(fresh.Join("b.txt"), long_text);
  form = FormFor(fresh, {fresh.Join("a.txt"), fresh.Join("b.txt")});
  form.random = true;
  context.random = nullptr;
  RecordingHost unseeded;
  InsertJob(form, context, unseeded);
  const std::string a = Bytes(Processed(fresh) + kPathSeparator + "a.txt");
  EXPECT_EQ(a.size(), long_text.size() + 12 * 2);
  const std::string b = Bytes(Processed(fresh) + kPathSeparator + "b.txt");
  EXPECT_TRUE(a != b) << "the same positions twice";
  EXPECT_EQ(unseeded.results.size(), 2u);
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
  WriteFileBytes(a, "甲\r\n乙\r\n"_gbk);
  WriteFileBytes(b, "無"_gbk);
  InsertForm form = FormFor(dir, {a, b});
  form.keyword_text = "^";
  form.text_to_insert = "　　";
  InsertContext context;
  RecordingHost host;
  InsertJob(form, context, host);
  const std::string out = Processed(dir) + kPathSeparator;
  EXPECT_EQ(Bytes(out + "a.txt"), "　　甲\r\n　　乙\r\n"_gbk);  // every line, none after the last break
  EXPECT_EQ(host.notices, 1);
  form.keyword_text = "東";
  RecordingHost second;  // one host per job, as the window and the command line have
  InsertJob(form, context, second);
  EXPECT_EQ(Bytes(out + "b.txt"), "無"_gbk);  // the copy is written all the same
  ASSERT_EQ(second.failures.size(), 2u);
  EXPECT_EQ(second.failures[0].reason, "未找到关键字");
  EXPECT_EQ(second.failures[1].reason, "未找到关键字");
  EXPECT_EQ(second.notices, 0);
  // In place, a file without the keyword stays as it is and is named.
  form.keep_original = false;
  RecordingHost third;
  InsertJob(form, context, third);
  EXPECT_EQ(Bytes(b), "無"_gbk);
  EXPECT_EQ(third.failures.size(), 2u);
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

TEST(InsertJob, AFileListedTwiceGetsTheTextOnce) {
  // Overlapping wildcards, another spelling, a link: one file, handled at its first row.
  // A change in place makes a new file of the path: the links are made anew for each run.
  for (bool keep : {false, true}) {
    SCOPED_TRACE(keep ? "copies" : "in place");
    ScopedTempDir dir;
    const std::string a = dir.Join("a.txt");
    ASSERT_TRUE(WriteFileBytes(a, "第一章\r\n正文\r\n"_gbk));
    const std::string hard = dir.Join("hard.txt");
    std::filesystem::create_hard_link(testing::NativePath(a), testing::NativePath(hard));
    std::vector<std::string> rows = {
        a, a, dir.path() + kPathSeparator + "." + kPathSeparator + "a.txt", hard};
#ifndef _WIN32
    const std::string soft = dir.Join("soft.txt");
    std::filesystem::create_symlink("a.txt", testing::NativePath(soft));
    rows.push_back(soft);
#endif
    InsertForm form = FormFor(dir, rows);
    form.keyword_text = "章";
    form.keep_original = keep;
    InsertContext context;
    RecordingHost host;
    InsertJob(form, context, host);
    EXPECT_TRUE(host.failures.empty());
    EXPECT_EQ(host.started, std::vector<std::string>{a});
    EXPECT_EQ(host.results, std::vector<std::string>{a + " 插入 1 处"});
    EXPECT_EQ(host.notes.size(), rows.size() - 1);
    const std::string out = keep ? Processed(dir) + kPathSeparator + "a.txt" : a;
    EXPECT_EQ(Bytes(out), "第一章##\r\n正文\r\n"_gbk);
    if (keep) {
      EXPECT_EQ(EntriesIn(Processed(dir)), 1u);
    }
  }
}

// Another program appends a line to the file while the job makes its new text (when the job
// asks whether to stop, just before the file is replaced).
class AppendingHost : public RecordingHost {
 public:
  void FileStarted(int index, int count, const std::string& path) override {
    RecordingHost::FileStarted(index, count, path);
    armed = path == target;
  }
  bool StopRequested() const override {
    if (armed && !tried) {
      tried = true;
      std::string bytes;
      EXPECT_TRUE(ReadFileBytes(target, &bytes));
      appended = WriteFileBytes(target, bytes + "追加\r\n"_gbk);
    }
    return false;
  }
  std::string target;
  bool armed = false;
  mutable bool tried = false;
  mutable bool appended = false;
};

TEST(InsertJob, InPlaceKeepsAFileAnotherProgramWroteMeanwhile) {
  ScopedTempDir dir;
  const std::string a = dir.Join("a.txt");
  const std::string b = dir.Join("b.txt");
  ASSERT_TRUE(WriteFileBytes(a, "第一章\r\n"_gbk));
  ASSERT_TRUE(WriteFileBytes(b, "第二章\r\n"_gbk));
  InsertForm form = FormFor(dir, {a, b});
  form.keyword_text = "章";
  form.keep_original = false;
  InsertContext context;
  AppendingHost host;
  host.target = a;
  InsertJob(form, context, host);
  EXPECT_TRUE(host.tried);
#ifdef _WIN32
  // Held against writers while the job works on it: the other program cannot write it.
  EXPECT_FALSE(host.appended);
  EXPECT_EQ(Bytes(a), "第一章##\r\n"_gbk);
  EXPECT_TRUE(host.failures.empty());
#else
  EXPECT_TRUE(host.appended);
  EXPECT_EQ(Bytes(a), "第一章\r\n追加\r\n"_gbk);  // the line added is kept, nothing inserted
  ASSERT_EQ(host.failures.size(), 1u);
  EXPECT_EQ(host.failures[0].path, a);
  EXPECT_NE(host.failures[0].reason.find("被其他程序修改"), std::string::npos);
#endif
  EXPECT_EQ(Bytes(b), "第二章##\r\n"_gbk);  // the file nobody touched is changed
}

}  // namespace
}  // namespace travik
