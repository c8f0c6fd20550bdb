// The three start buttons on real files: the form filled from the page, the checks' messages in
// their order, the status texts, the completion notice and the failure box.
#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

#include "files/files.h"
#include "text/text.h"
#include "tests/test_util.h"
#include "ui/win_text.h"
#include "ui/window_host.h"
#include "ui/window_test_fixture.h"

namespace travik::ui::testing {
namespace {

using travik::testing::Gbk;
using travik::testing::NativePath;
using travik::testing::operator""_gbk;
using travik::testing::ReadFileBytes;
using travik::testing::ScopedTempDir;
using travik::testing::WriteFileBytes;
using Texts = std::vector<std::string>;

class JobButtonsTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    // What the window shows while the notice waits.
    desktop_.on_pause = [this] {
      desktop_.log.push_back(
          JoinText("notice: ", window().Text(透明标签1), " | ", window().StatusPane(0)));
      notice_visible_ = IsWindowVisible(Hwnd(透明标签1)) != FALSE;
    };
  }
  std::string MakeFile(const std::string& name, const std::string& bytes) {
    std::string path = dir_.Join(name);
    EXPECT_TRUE(WriteFileBytes(path, bytes));
    return path;
  }
  std::string Read(const std::string& path) {
    std::string bytes;
    EXPECT_TRUE(ReadFileBytes(path, &bytes)) << path;
    return bytes;
  }
  // Types `text` into a box as a person would: a click into it, then the keys.
  void Enter(ControlId box, const std::wstring& text) {
    MouseDown(box);
    window().SetText(box, "");
    Type(box, text);
  }
  Texts Messages() const {
    Texts messages;
    for (const std::string& line : desktop_.log) {
      if (line.rfind("message: ", 0) == 0) messages.push_back(line.substr(9));
    }
    return messages;
  }

  ScopedTempDir dir_;
  bool notice_visible_ = false;
};

// A GBK text of about `size` bytes: chapters of double-byte text with CR LF.
std::string Novel(size_t size) {
  std::string text;
  for (int chapter = 1; text.size() < size; ++chapter) {
    text += JoinText("第"_gbk, NumberToText(chapter), "章 风起\r\n"_gbk, "山高水长，云深不知处。\r\n"_gbk);
  }
  return text;
}

TEST_F(JobButtonsTest, SplitRefusesMorePartsThanTheFileHasBytes) {
  std::string novel = Novel(300);
  std::string source = MakeFile("短篇.txt", novel);
  desktop_.file_answers = {{source}};
  Click(按钮1);
  desktop_.folder_answers = {dir_.path()};
  Click(按钮6);
  Enter(编辑框2, L"2000000000");
  Click(按钮5);
  EXPECT_EQ(Messages(), (Texts{JoinText("欲分割份数不能大于文件大小（",
                                        NumberToText(static_cast<int>(novel.size())), " 字节）")}));
  EXPECT_FALSE(FolderExists(JoinText(dir_.path(), kPathSeparator, "短篇")));
}

TEST_F(JobButtonsTest, SplitChecksInOrderThenWritesThePieces) {
  std::string novel = Novel(2600);
  std::string source = MakeFile("长篇.txt", novel);
  Click(按钮5);
  desktop_.file_answers = {{source}};
  Click(按钮1);
  Click(按钮5);
  desktop_.folder_answers = {dir_.path()};
  Click(按钮6);
  Click(按钮5);  // size empty
  Enter(编辑框1, L"0");
  Click(按钮5);  // "0" became empty on focus loss
  MouseDown(编辑框2);
  Click(按钮5);
  MouseDown(编辑框3);
  Click(按钮5);
  EXPECT_EQ(Messages(), (Texts{"请先添加欲分割的文件！", "请选择保存的位置！", "欲分割大小不能为空",
                               "欲分割大小不能为空", "欲分割份数不能为空", "请输入关键字"}));
  EXPECT_EQ(desktop_.captions, Texts(6, "提示"));

  desktop_.log.clear();
  Enter(编辑框1, L"1");
  Click(选择框4);
  Click(按钮5);
  // The notice shows once the status bar says what was made, and where.
  std::string folder = JoinText(dir_.path(), kPathSeparator, "长篇", kPathSeparator);
  const std::string done =
      JoinText("已完成：1 个文件 → 3 个分割文件，保存在 ", dir_.path(), kPathSeparator, "长篇");
  EXPECT_EQ(desktop_.log, (Texts{"pause: 500", JoinText("notice: 任务完成！ | ", done)}));
  EXPECT_TRUE(notice_visible_);
  EXPECT_EQ(window().Text(透明标签1), "");
  EXPECT_FALSE(IsWindowVisible(Hwnd(透明标签1)));
  EXPECT_EQ(window().StatusPane(0), done);

  std::string joined;
  for (const char* piece : {"1.txt", "2.txt", "3.txt"}) {
    std::string bytes = Read(folder + piece);
    EXPECT_LE(bytes.size(), 1025u);
    joined += bytes;
  }
  EXPECT_EQ(joined, novel);
  EXPECT_FALSE(std::filesystem::exists(NativePath(folder + "4.txt")));
  EXPECT_TRUE(std::filesystem::exists(NativePath(folder + "点我合并.bat")));
  // The list is the same after the job.
  EXPECT_EQ(window().RowCount(超级列表框1), 1);
}

TEST_F(JobButtonsTest, SameNamedOutputsAreNamedInTheStatusBarAndABox) {
  // Two sources called 小说 from two folders: the second one's pieces go to 小说(2).
  MakeDirectory(dir_.Join("a"));
  MakeDirectory(dir_.Join("b"));
  std::string first = MakeFile(JoinText("a", kPathSeparator, "小说.txt"), "第一本书啊"_gbk);
  std::string second = MakeFile(JoinText("b", kPathSeparator, "小说.txt"), "第二本书啊"_gbk);
  ScopedTempDir out;
  desktop_.file_answers = {{first}, {second}};
  Click(按钮1);
  Click(按钮1);
  desktop_.folder_answers = {out.path()};
  Click(按钮6);
  Click(单选框2);
  Enter(编辑框2, L"2");
  Click(按钮5);
  const std::string renamed = out.Join("小说(2)");
  EXPECT_EQ(Read(JoinText(renamed, kPathSeparator, "1.txt")).substr(0, 4), "第二"_gbk);
  EXPECT_EQ(Read(out.Join("小说") + kPathSeparator + "1.txt").substr(0, 4), "第一"_gbk);
  EXPECT_EQ(Messages(), (Texts{JoinText("同名文件的分割文件保存在：\r\n", renamed)}));
  EXPECT_EQ(window().StatusPane(0), JoinText("已完成：2 个文件 → 4 个分割文件，保存在 ", out.path(),
                                             "，1 个同名文件另存"));

  // Copies of the two in the insert page: the second is 小说(2).txt.
  desktop_.log.clear();
  ClickTab(2);
  desktop_.file_answers = {{first, second}};
  Click(按钮8);
  desktop_.folder_answers = {out.path()};
  Click(选择框7);
  Enter(编辑框7, L"-");
  Enter(编辑框9, L"4");
  Click(按钮4);
  const std::string copy = out.Join("小说(2).txt");
  EXPECT_EQ(Read(out.Join("小说.txt")), "第一-本书-啊"_gbk);
  EXPECT_EQ(Read(copy), "第二-本书-啊"_gbk);
  EXPECT_EQ(Messages(), (Texts{JoinText("已处理 2 个文件：\r\n", first, "：插入 2 处\r\n", second,
                                         "：插入 2 处"),
                                JoinText("同名文件的副本存为：\r\n", copy)}));
  EXPECT_EQ(window().StatusPane(0), JoinText("已完成：2 个文件 → 2 个插入文字后的副本，保存在 ",
                                             out.path(), "，1 个同名文件另存"));
}

TEST_F(JobButtonsTest, MergeJoinsTheListIntoTheNamedFile) {
  std::string a = MakeFile("a.txt", "x\r\n");
  std::string b = MakeFile("b.txt", "y");
  ClickTab(1);
  Click(按钮2);
  desktop_.file_answers = {{a, b}};
  Click(按钮7);
  window().SetText(编辑框5, "");
  Click(按钮2);
  EXPECT_EQ(Messages(), (Texts{"当前没有可执行的任务！", "请输入合并后的文件名！"}));

  desktop_.log.clear();
  desktop_.folder_answers = {dir_.path()};
  Click(按钮3);
  Enter(编辑框5, L"合集");
  Click(按钮2);
  EXPECT_EQ(Read(dir_.Join("合集.txt")), "x\r\ny");
  const std::string done = JoinText("已完成：2 个文件 → 1 个合并后的文件，保存在 ", dir_.path());
  EXPECT_EQ(desktop_.log, (Texts{"folder: 选择欲保存到的文件夹", "pause: 500",
                                 JoinText("notice: 任务完成！ | ", done)}));
  EXPECT_EQ(window().StatusPane(0), done);
  EXPECT_EQ(window().StatusPane(1), JoinText("保存目录: ", dir_.path()));
  EXPECT_TRUE(std::filesystem::exists(NativePath(a)));

  // Deleting the sources.
  Click(选择框2);
  Enter(编辑框5, L"合集2");
  Click(按钮2);
  EXPECT_EQ(Read(dir_.Join("合集2.txt")), "x\r\ny");
  EXPECT_FALSE(std::filesystem::exists(NativePath(a)));
  EXPECT_FALSE(std::filesystem::exists(NativePath(b)));
}

// Files whose names GBK cannot hold (an emoji, Korean, a character beyond the first plane, a
// Latin letter with a mark), in a folder whose name GBK cannot hold either, chosen in the
// dialog's own order: the list shows their names as they are, and merged into a folder and a name
// of such characters they give the whole book; then they go to the Recycle Bin and their rows go.
TEST_F(JobButtonsTest, MergeTakesFilesWhoseNamesGbkCannotHold) {
  const std::string folder = dir_.Join("书😀");
  ASSERT_TRUE(MakeDirectory(folder));
  const Texts names = {"1 😀", "2 한국", "3 𠀀", "4 España"};
  Texts paths;
  std::string book;
  for (size_t i = 0; i < names.size(); ++i) {
    const std::string chapter =
        Gbk(JoinText("第", std::to_string(i + 1), "章 风起\r\n山高水长，云深不知处。\r\n"));
    book += chapter;
    paths.push_back(MakeFile(JoinText("书😀", kPathSeparator, names[i], ".txt"), chapter));
  }
  // The files are on disk under the names as the system spells them.
  EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(
      Wide(dir_.path()) + L"\\\x4E66\xD83D\xDE00\\3 \xD840\xDC00.txt")));

  ClickTab(1);
  desktop_.file_answers = {{paths[3], paths[1], paths[0], paths[2]}};
  Click(按钮7);
  ASSERT_EQ(window().RowCount(超级列表框2), 4);
  for (int row = 0; row < 4; ++row) {
    EXPECT_EQ(window().Cell(超级列表框2, row, 0), names[row]) << row;
    EXPECT_EQ(window().Cell(超级列表框2, row, 1), paths[row]) << row;
  }
  EXPECT_EQ(ListViewText(Hwnd(超级列表框2), 0, 0), L"1 \xD83D\xDE00");
  EXPECT_EQ(ListViewText(Hwnd(超级列表框2), 1, 0), L"2 \xD55C\xAD6D");
  EXPECT_EQ(ListViewText(Hwnd(超级列表框2), 2, 0), L"3 \xD840\xDC00");
  EXPECT_EQ(ListViewText(Hwnd(超级列表框2), 3, 0), L"4 Espa\x00F1" L"a");
  // Each file was found and read under its name.
  WaitForEncodings();
  for (int row = 0; row < 4; ++row) EXPECT_EQ(window().Cell(超级列表框2, row, 2), "GBK") << row;

  const std::string out = dir_.Join("输出한국");
  ASSERT_TRUE(MakeDirectory(out));
  desktop_.folder_answers = {out};
  Click(按钮3);
  EXPECT_EQ(window().Text(编辑框4), out);
  window().SetText(编辑框5, "全书𠀀😀");
  Click(选择框2);
  desktop_.log.clear();
  Click(按钮2);
  EXPECT_EQ(Messages(), Texts{});
  EXPECT_EQ(Read(JoinText(out, kPathSeparator, "全书𠀀😀.txt")), book);
  const std::string done = JoinText("已完成：4 个文件 → 1 个合并后的文件，保存在 ", out);
  EXPECT_EQ(desktop_.log,
            (Texts{JoinText("recycle: ", paths[0]), JoinText("recycle: ", paths[1]),
                   JoinText("recycle: ", paths[2]), JoinText("recycle: ", paths[3]), "pause: 500",
                   JoinText("notice: 任务完成！ | ", done)}));
  for (const std::string& path : paths) EXPECT_FALSE(std::filesystem::exists(NativePath(path)));
  EXPECT_EQ(window().RowCount(超级列表框2), 0);
  EXPECT_EQ(window().StatusPane(0), done);
  EXPECT_EQ(window().StatusPane(1), JoinText("保存目录: ", out));
}

TEST_F(JobButtonsTest, MergeWithoutAFolderGoesToTheProgramsFolderAndTicksTheBox) {
  std::string a = MakeFile("a.txt", "abc");
  std::string name = "窗口测试合并";
  std::string target =
      JoinText(ProgramDirectory(), kPathSeparator, "合并后的文件", kPathSeparator, name, ".txt");
  ClickTab(1);
  desktop_.file_answers = {{a}};
  Click(按钮7);
  Enter(编辑框5, L"窗口测试合并");
  // The box is ticked once the notice has been read, before the job writes anything.
  std::vector<bool> ticked;
  desktop_.on_message = [&] { ticked.push_back(window().Checked(选择框6)); };
  desktop_.on_pause = [&] { ticked.push_back(window().Checked(选择框6)); };
  Click(按钮2);
  EXPECT_EQ(Messages(), Texts{"未指定保存目录，合并后的文件将保存到软件所在目录！"});
  EXPECT_EQ(ticked, (std::vector<bool>{false, true})) << "at the notice, at the completion notice";
  EXPECT_TRUE(window().Checked(选择框6));
  EXPECT_EQ(Read(target), "abc");
  EXPECT_EQ(window().StatusPane(1),
            JoinText("保存目录: ", ProgramDirectory(), kPathSeparator, "合并后的文件"));
  std::filesystem::remove(NativePath(target));
}

TEST_F(JobButtonsTest, MergeReportsAFileThatFailedInOneBox) {
  std::string a = MakeFile("a.txt", "abc");
  std::string gone = dir_.Join("不见了.txt");
  ClickTab(1);
  desktop_.file_answers = {{a, gone}};
  Click(按钮7);
  desktop_.folder_answers = {dir_.path()};
  Click(按钮3);
  Enter(编辑框5, L"m");
  Click(按钮2);
  Texts messages = Messages();
  ASSERT_EQ(messages.size(), 1u);
  // The job's whole summary first, failures first in it; then the files and their causes.
  EXPECT_EQ(messages[0].rfind("1 个文件失败；已完成：2 个文件 → 1 个合并后的文件，保存在 ", 0), 0u)
      << messages[0];
  EXPECT_NE(messages[0].find("\r\n\r\n以下 1 个文件未能完整处理：\r\n"), std::string::npos)
      << messages[0];
  EXPECT_NE(messages[0].find(JoinText(gone, "：")), std::string::npos) << messages[0];
  EXPECT_EQ(desktop_.captions, Texts{"提示"});
  // No completion notice after a failure.
  for (const std::string& line : desktop_.log) EXPECT_NE(line, "pause: 500");
}

TEST_F(JobButtonsTest, InsertChecksThenInsertsAfterEveryKeyword) {
  std::string original = "第一章abc\r\n第二章def"_gbk;
  std::string path = MakeFile("插入.txt", original);
  ClickTab(2);
  desktop_.file_answers = {{path}};
  Click(按钮8);
  Click(按钮4);
  Enter(编辑框7, L"【插】");
  Click(按钮4);
  EXPECT_EQ(Messages(), (Texts{"请输入欲插入的文字！", "请输入欲插入的文字的位置！"}));
  EXPECT_EQ(Read(path), original) << "a failed check changes nothing";

  // In place: the original is not kept.
  desktop_.log.clear();
  Click(选择框5);
  Enter(编辑框8, L"章");
  Click(按钮4);
  EXPECT_EQ(Read(path), "第一章【插】abc\r\n第二章【插】def"_gbk);
  // The number of insertions, then the completion notice with the end-of-job summary.
  const std::string done = JoinText("已完成：1 个文件 → 1 个文件已插入文字，保存在 ", dir_.path());
  EXPECT_EQ(desktop_.log,
            (Texts{JoinText("message: 已处理 1 个文件：\r\n", path, "：插入 2 处"), "pause: 500",
                   JoinText("notice: 任务完成！ | ", done)}));
  // Changed in place: the folder named is the file's own.
  EXPECT_EQ(window().StatusPane(1), JoinText("保存目录: ", dir_.path()));
}

TEST_F(JobButtonsTest, InsertKeepsACopyInTheChosenFolder) {
  ScopedTempDir out;
  std::string path = MakeFile("副本.txt", "0123456789");
  ClickTab(2);
  desktop_.file_answers = {{path}};
  Click(按钮8);
  desktop_.folder_answers = {out.path()};
  Click(选择框7);  // unticked: the chosen folder receives the copies
  Enter(编辑框7, L"-");
  Enter(编辑框9, L"4");
  Click(按钮4);
  EXPECT_EQ(Read(path), "0123456789");
  EXPECT_EQ(Read(out.Join("副本.txt")), "0123-4567-89");
  EXPECT_EQ(Messages(), Texts{JoinText("已处理 1 个文件：\r\n", path, "：插入 2 处")});
  EXPECT_EQ(window().StatusPane(0),
            JoinText("已完成：1 个文件 → 1 个插入文字后的副本，保存在 ", out.path()));
  EXPECT_EQ(window().StatusPane(1), JoinText("保存目录: ", out.path()));
}

// A long list is cut short so that the box stays on the screen; nothing is left unaccounted for.
TEST(ResultReportText, ListsTheFirstFilesAndCountsTheRest) {
  std::vector<FileResult> results;
  for (size_t i = 0; i < kMaxResultLines + 5; ++i) {
    results.push_back({JoinText("C:\\书\\", std::to_string(i), ".txt"), "插入 3 处"});
  }
  const std::string text = ResultReportText(results);
  EXPECT_EQ(text.rfind(JoinText("已处理 ", std::to_string(results.size()), " 个文件：\r\n"), 0), 0u);
  EXPECT_NE(text.find("C:\\书\\0.txt：插入 3 处\r\n"), std::string::npos);
  EXPECT_NE(text.find(JoinText("\\", std::to_string(kMaxResultLines - 1), ".txt")), std::string::npos);
  EXPECT_EQ(text.find(JoinText("\\", std::to_string(kMaxResultLines), ".txt")), std::string::npos);
  EXPECT_EQ(text.substr(text.rfind("\r\n")), "\r\n……另有 5 个文件");
  results.resize(kMaxResultLines);
  EXPECT_EQ(ResultReportText(results).find("另有"), std::string::npos);
}

}  // namespace
}  // namespace travik::ui::testing
