// Save folders and the status bar: browse buttons, the program-folder boxes, the refresh on a
// page change, and opening the shown folder.
#include <windows.h>

#include <string>
#include <vector>

#include "files/files.h"
#include "text/text.h"
#include "tests/test_util.h"
#include "ui/window_test_fixture.h"

namespace travik::ui::testing {
namespace {

using travik::testing::ScopedTempDir;
using travik::testing::WriteFileBytes;
using Texts = std::vector<std::string>;

using SaveLocationTest = WindowTest;

std::string Folder(const std::string& folder) { return JoinText("保存目录: ", folder); }

TEST_F(SaveLocationTest, BrowseButtonsFillTheirBoxAndACancelClearsIt) {
  desktop_.folder_answers = {"D:", "", "C:\\文本"};
  Click(按钮6);
  EXPECT_EQ(window().Text(编辑框10), "D:");
  EXPECT_EQ(window().StatusPane(1), "保存目录: D:");
  Click(按钮6);
  EXPECT_EQ(window().Text(编辑框10), "");
  EXPECT_EQ(window().StatusPane(1), "保存目录: ");
  ClickTab(1);
  Click(按钮3);
  EXPECT_EQ(window().Text(编辑框4), "C:\\文本");
  EXPECT_EQ(window().StatusPane(1), "保存目录: C:\\文本");
  EXPECT_EQ(desktop_.log, Texts(3, "folder: 选择欲保存到的文件夹"));
}

TEST_F(SaveLocationTest, ProgramFolderBoxesShowTheProgramsFolder) {
  std::string program = ProgramDirectory();
  desktop_.folder_answers = {"C:\\x"};
  ClickTab(1);
  Click(按钮3);
  for (int i = 0; i < 2; ++i) {  // ticking and unticking alike
    window().SetStatusPane(1, "");
    Click(选择框6);
    EXPECT_EQ(window().StatusPane(1), Folder(program));
  }
  EXPECT_EQ(window().Text(编辑框4), "C:\\x");
  ClickTab(0);
  Click(选择框3);
  EXPECT_EQ(window().StatusPane(1), Folder(program));
  EXPECT_TRUE(window().Checked(选择框3));
  // The split and merge pages show their box on a page change, ticked or not.
  ClickTab(1);
  EXPECT_EQ(window().StatusPane(1), "保存目录: C:\\x");
}

TEST_F(SaveLocationTest, InsertPagesFolderFollowsItsBoxAndTheBrowser) {
  std::string program = ProgramDirectory();
  std::string processed = JoinText(program, kPathSeparator, "处理后的文件");
  ClickTab(2);
  EXPECT_EQ(window().StatusPane(1), Folder(program));
  EXPECT_EQ(window().jobs().insert.output_folder, processed);

  desktop_.folder_answers = {"E:\\out", ""};
  Click(选择框7);  // unticked: choose a folder
  EXPECT_FALSE(window().Checked(选择框7));
  EXPECT_EQ(desktop_.log, Texts{"folder: 选择保存目录"});
  EXPECT_EQ(window().StatusPane(1), "保存目录: E:\\out");
  EXPECT_EQ(window().jobs().insert.output_folder, "E:\\out");
  ClickTab(0);
  ClickTab(2);
  EXPECT_EQ(window().StatusPane(1), "保存目录: E:\\out");

  Click(选择框7);  // ticked again
  EXPECT_EQ(window().jobs().insert.output_folder, processed);
  Click(选择框7);  // unticked, browser cancelled: the program's folder, the box stays unticked
  EXPECT_FALSE(window().Checked(选择框7));
  EXPECT_EQ(window().StatusPane(1), Folder(program));
  EXPECT_EQ(window().jobs().insert.output_folder, processed);
}

TEST_F(SaveLocationTest, PageChangeCountsTheRowsOfThePageShown) {
  ScopedTempDir dir;
  std::string a = dir.Join("a.txt");
  ASSERT_TRUE(WriteFileBytes(a, "x"));
  desktop_.file_answers = {{a, a}, {a}};
  ClickTab(1);
  EXPECT_EQ(window().StatusPane(0), "当前状态: 无任务");
  Click(按钮7);
  EXPECT_EQ(window().StatusPane(0), "当前状态: 共 2 个任务") << "the count follows the list";
  ClickTab(2);
  EXPECT_EQ(window().StatusPane(0), "当前状态: 无任务");
  ClickTab(1);
  EXPECT_EQ(window().StatusPane(0), "当前状态: 共 2 个任务");
  ClickTab(0);
  Click(按钮1);
  ClickTab(2);
  ClickTab(0);
  EXPECT_EQ(window().StatusPane(0), "当前状态: 共 1 个任务");
}

TEST_F(SaveLocationTest, PressOnTheStatusBarOpensAnExistingFolderOnly) {
  ScopedTempDir dir;
  MouseDown(状态条1);  // "保存目录: " with nothing after it
  window().SetStatusPane(1, "保存目录:");
  MouseDown(状态条1);
  window().SetStatusPane(1, Folder(dir.Join("missing")));
  MouseDown(状态条1);
  EXPECT_TRUE(desktop_.log.empty());

  // The text is cut at the first colon, so a drive path is opened whole.
  desktop_.folder_answers = {dir.path()};
  Click(按钮6);
  MouseDown(状态条1);
  EXPECT_EQ(desktop_.log.back(), JoinText("explore: ", dir.path()));
}

}  // namespace
}  // namespace travik::ui::testing
