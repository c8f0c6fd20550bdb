// The file lists: adding through the dialogs, the list menu's states, deleting rows.
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "files/files.h"
#include "tests/test_util.h"
#include "ui/window_test_fixture.h"

namespace travik::ui::testing {
namespace {

using travik::testing::ScopedTempDir;
using travik::testing::WriteFileBytes;

class FileListsTest : public WindowTest {
 protected:
  // A file of `size` bytes named `name` in the scratch folder; its GBK path.
  std::string MakeFile(const std::string& name, size_t size) {
    std::string path = dir_.Join(name);
    EXPECT_TRUE(WriteFileBytes(path, std::string(size, 'a')));
    return path;
  }
  std::vector<std::string> Column(ControlId list, int column) {
    std::vector<std::string> cells;
    for (int row = 0; row < window().RowCount(list); ++row) {
      cells.push_back(window().Cell(list, row, column));
    }
    return cells;
  }

  ScopedTempDir dir_;
};

using Texts = std::vector<std::string>;

TEST_F(FileListsTest, SplitListTakesChosenFilesWithTheirSizesInKilobytes) {
  std::string volume = MakeFile("第一卷.txt", 1536);
  std::string dotted = MakeFile("a.b.txt", 1024);
  std::string small = MakeFile("noext", 100);
  desktop_.file_answers = {{volume}, {}, {dotted}, {small}, {volume}};
  for (int i = 0; i < 5; ++i) Click(按钮1);

  EXPECT_EQ(desktop_.log, Texts(5, "files: 选择欲分割的文件"));
  EXPECT_EQ(desktop_.multiple_selection, std::vector<bool>(5, true));
  // The cancelled dialog added nothing; the same file twice gives two identical rows.
  // A name without an extension is its own base name.
  EXPECT_EQ(Column(超级列表框1, 0), (Texts{"第一卷", "a.b", "noext", "第一卷"}));
  EXPECT_EQ(Column(超级列表框1, 1), (Texts{volume, dotted, small, volume}));
  EXPECT_EQ(Column(超级列表框1, 2), (Texts{"1.5", "1", "0.1", "1.5"}));
  EXPECT_EQ(window().RowCount(超级列表框2) + window().RowCount(超级列表框3), 0);
}

TEST_F(FileListsTest, AQuickSecondClickOnAnIconButtonStillAdds) {
  std::string a = MakeFile("a.txt", 10);
  desktop_.file_answers = {{a}, {a}};
  HWND main = GetAncestor(Hwnd(按钮1), GA_ROOT);
  ASSERT_NE(main, nullptr);
  ASSERT_EQ(GetWindowLongPtrW(Hwnd(按钮1), GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
  Click(按钮1);
  // What an owner-drawn button sends for the second click of a double click.
  SendMessageW(main, WM_COMMAND, MAKEWPARAM(按钮1, BN_DOUBLECLICKED),
               reinterpret_cast<LPARAM>(Hwnd(按钮1)));
  Pump();
  EXPECT_EQ(window().RowCount(超级列表框1), 2);
}

TEST_F(FileListsTest, InsertListAppendsTheChosenFilesInNaturalOrder) {
  std::string a = MakeFile("a.txt", 10);
  std::string b = MakeFile("b.txt", 20);
  std::string c = MakeFile("c.txt", 300);
  ClickTab(2);
  desktop_.file_answers = {{a, b}, {c, a, b}};
  Click(按钮8);
  Click(按钮8);
  EXPECT_EQ(desktop_.log, Texts(2, "files: 选择欲插入文字的文件"));
  EXPECT_EQ(desktop_.multiple_selection, std::vector<bool>(2, true));
  EXPECT_EQ(Column(超级列表框3, 0), (Texts{"a", "b", "a", "b", "c"}));
  EXPECT_EQ(Column(超级列表框3, 1), (Texts{a, b, a, b, c}));
  EXPECT_EQ(Column(超级列表框3, 2), (Texts{"10", "20", "10", "20", "300"}));
}

TEST_F(FileListsTest, MergeListProposesTheNameFromItsFirstRow) {
  std::string novel = MakeFile("我的小说2_第一部.txt", 5);
  std::string digits = MakeFile("12345.txt", 5);
  std::string other = MakeFile("另一本.txt", 5);
  ClickTab(1);
  desktop_.file_answers = {{novel}, {other}, {}};
  Click(按钮7);
  EXPECT_EQ(window().Text(编辑框5), "我的小说第一部");
  window().SetText(编辑框5, "我的名字");
  Click(按钮7);  // the name comes from row 0 again, not from the file just added
  EXPECT_EQ(window().Text(编辑框5), "我的小说第一部");
  window().SetText(编辑框5, "我的名字");
  Click(按钮7);  // cancelled: the name stays
  EXPECT_EQ(window().Text(编辑框5), "我的名字");
  EXPECT_EQ(Column(超级列表框2, 1), (Texts{novel, other}));
  // The merge list has no size column: its third column is the encoding.
  WaitForEncodings();
  EXPECT_EQ(Column(超级列表框2, 2), (Texts{"GBK", "GBK"}));

  Menu(kMenuDeleteAll);
  EXPECT_EQ(window().RowCount(超级列表框2), 0);
  EXPECT_EQ(window().Text(编辑框5), "我的名字") << "deleting rows leaves the name";
  desktop_.file_answers = {{digits, novel}};
  Click(按钮7);
  EXPECT_EQ(window().Text(编辑框5), "");
}

TEST_F(FileListsTest, AddFollowsThePageShown) {
  std::string a = MakeFile("a.txt", 1);
  desktop_.file_answers = {{a}, {a}, {a}};
  Menu(kMenuAdd);
  ClickTab(1);
  Menu(kMenuAdd);
  ClickTab(2);
  Menu(kMenuAdd);
  EXPECT_EQ(desktop_.multiple_selection, (std::vector<bool>{true, true, true}));
  EXPECT_EQ(window().RowCount(超级列表框1), 1);
  EXPECT_EQ(window().RowCount(超级列表框2), 1);
  EXPECT_EQ(window().RowCount(超级列表框3), 1);
}

TEST_F(FileListsTest, ListMenuEnablesItsItemsToFitTheList) {
  std::string a = MakeFile("a.txt", 1);
  std::string b = MakeFile("b.txt", 2);
  ClickTab(1);
  RightClickList(超级列表框2);  // empty
  desktop_.file_answers = {{a, b}};
  Click(按钮7);
  SelectRow(超级列表框2, -1);
  RightClickList(超级列表框2);  // rows, none selected
  SelectRow(超级列表框2, 1);
  RightClickList(超级列表框2);  // a row selected

  ASSERT_EQ(desktop_.menus.size(), 3u);
  const bool expected[3][3] = {{true, false, false}, {true, false, true}, {true, true, true}};
  for (int m = 0; m < 3; ++m) {
    const ShownMenu& menu = desktop_.menus[m];
    ASSERT_EQ(menu.items.size(), 15u);
    EXPECT_EQ(menu.items[0].caption, "添加");
    EXPECT_EQ(menu.items[1].caption, "删除");
    EXPECT_EQ(menu.items[2].caption, "全部删除");
    for (int i = 0; i < 3; ++i) EXPECT_EQ(menu.items[i].enabled, expected[m][i]) << m << i;
    // After a separator, the encoding choices, for a selected row only.
    EXPECT_EQ(menu.items[9].caption, "");
    for (int i = 10; i < 14; ++i) EXPECT_EQ(menu.items[i].enabled, expected[m][1]) << m << i;
    EXPECT_EQ(menu.owner, window().hwnd());
    EXPECT_EQ(menu.flags & (TPM_RIGHTBUTTON | TPM_RIGHTALIGN), static_cast<UINT>(TPM_RIGHTBUTTON));
  }
  POINT cursor;
  GetCursorPos(&cursor);
  EXPECT_EQ(desktop_.menus[2].x, cursor.x + 3);
  EXPECT_EQ(desktop_.menus[2].y, cursor.y + 3);
  // The pop-up copy is gone, the bar's menu is untouched.
  HMENU bar_menu = GetSubMenu(GetMenu(window().hwnd()), 0);
  EXPECT_EQ(GetMenuState(bar_menu, kMenuDelete, MF_BYCOMMAND) & MF_GRAYED, 0u);
}

TEST_F(FileListsTest, DeleteActsOnTheShownPagesListOnly) {
  std::string a = MakeFile("a.txt", 1);
  std::string b = MakeFile("b.txt", 2);
  std::string c = MakeFile("c.txt", 3);
  desktop_.file_answers = {{a}, {a, b, c}, {a, b}};
  Click(按钮1);
  ClickTab(2);
  Click(按钮8);
  ClickTab(1);
  Click(按钮7);

  // Chosen from the pop-up menu of the merge list.
  SelectRow(超级列表框2, 0);
  desktop_.menu_answers = {kMenuDelete};
  RightClickList(超级列表框2);
  EXPECT_EQ(Column(超级列表框2, 1), (Texts{b}));
  // "删除" without a selected row deletes nothing.
  SelectRow(超级列表框2, -1);
  Menu(kMenuDelete);
  EXPECT_EQ(window().RowCount(超级列表框2), 1);
  EXPECT_EQ(window().RowCount(超级列表框1), 1);
  EXPECT_EQ(window().RowCount(超级列表框3), 3);

  ClickTab(2);
  SelectRow(超级列表框3, 1);
  Menu(kMenuDelete);
  EXPECT_EQ(Column(超级列表框3, 1), (Texts{a, c}));
  desktop_.menu_answers = {kMenuDeleteAll};
  RightClickList(超级列表框3);
  EXPECT_EQ(window().RowCount(超级列表框3), 0);
  EXPECT_EQ(window().RowCount(超级列表框1), 1);
  EXPECT_EQ(window().RowCount(超级列表框2), 1);
}

// Names GBK cannot hold are listed as they are, with the size of the file of that name: on every
// page, as the list view shows them and as the program reads them back.
TEST_F(FileListsTest, NamesGbkCannotHoldAreListedAsTheyAre) {
  const std::string smile = MakeFile("😀.txt", 1536);
  const std::string korean = MakeFile("한국 𠀀.txt", 20);
  const std::string spanish = MakeFile("España.txt", 300);
  desktop_.file_answers = {{smile}, {korean}, {smile, spanish, korean}};
  Click(按钮1);
  Click(按钮1);
  ClickTab(2);
  Click(按钮8);
  EXPECT_EQ(Column(超级列表框1, 0), (Texts{"😀", "한국 𠀀"}));
  EXPECT_EQ(Column(超级列表框1, 1), (Texts{smile, korean}));
  EXPECT_EQ(Column(超级列表框1, 2), (Texts{"1.5", "0.02"}));
  EXPECT_EQ(ListViewText(Hwnd(超级列表框1), 0, 0), L"\xD83D\xDE00");
  EXPECT_EQ(ListViewText(Hwnd(超级列表框1), 1, 0), L"\xD55C\xAD6D \xD840\xDC00");
  ASSERT_EQ(window().RowCount(超级列表框3), 3);
  std::vector<std::string> names = Column(超级列表框3, 0);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (Texts{"España", "한국 𠀀", "😀"}));
  for (int row = 0; row < 3; ++row) {
    const std::string path = window().Cell(超级列表框3, row, 1);
    const std::string size = path == smile ? "1536" : path == korean ? "20" : "300";
    EXPECT_EQ(window().Cell(超级列表框3, row, 2), size) << path;
  }
  // Each file was found again under its name for the column "编码" (not kUnreadableEncoding).
  WaitForEncodings();
  EXPECT_EQ(Column(超级列表框1, 3), Texts(2, "GBK"));
  EXPECT_EQ(Column(超级列表框3, 3), Texts(3, "GBK"));
}

TEST_F(FileListsTest, VanishedFileIsListedWithTheSizeOfAMissingFile) {
  std::string gone = dir_.Join("gone.txt");
  ClickTab(2);
  desktop_.file_answers = {{gone}};
  Click(按钮8);
  EXPECT_EQ(Column(超级列表框3, 2), (Texts{"-1"}));
}

}  // namespace
}  // namespace travik::ui::testing
