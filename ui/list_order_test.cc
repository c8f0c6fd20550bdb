// Putting a list in order: the menu's move commands, sorting by name, dragging a row, the dialog
// titles and the count in the status bar that follows the list.
#include <windows.h>
// The common controls need the types of windows.h.
#include <commctrl.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "files/files.h"
#include "text/text.h"
#include "ui/window_test_fixture.h"

namespace travik::ui::testing {
namespace {

using Texts = std::vector<std::string>;

class ListOrderTest : public WindowTest {
 protected:
  // Paths that need not exist: the merge list shows names and paths only.
  void AddMergeRows(const Texts& names) {
    std::vector<std::string> paths;
    for (const std::string& name : names) paths.push_back(JoinText("C:\\书\\", name, ".txt"));
    ClickTab(1);
    desktop_.file_answers = {paths};
    Click(按钮7);
  }
  Texts Names() {
    Texts names;
    for (int row = 0; row < window().RowCount(超级列表框2); ++row) {
      names.push_back(window().Cell(超级列表框2, row, 0));
    }
    return names;
  }
  // The row a drag starts from, then the button released over `row` (-1: below the last row).
  void Drag(int from, int row) {
    HWND list = Hwnd(超级列表框2);
    NMLISTVIEW begin = {};
    begin.hdr.hwndFrom = list;
    begin.hdr.idFrom = 超级列表框2;
    begin.hdr.code = LVN_BEGINDRAG;
    begin.iItem = from;
    SendMessageW(window().hwnd(), WM_NOTIFY, 超级列表框2, reinterpret_cast<LPARAM>(&begin));
    EXPECT_EQ(GetCapture(), window().hwnd());
    RECT rect = {};
    rect.left = LVIR_BOUNDS;
    const int target = row >= 0 ? row : window().RowCount(超级列表框2) - 1;
    SendMessageW(list, LVM_GETITEMRECT, target, reinterpret_cast<LPARAM>(&rect));
    POINT at = {rect.left + 5, row >= 0 ? (rect.top + rect.bottom) / 2 : rect.bottom + 10};
    MapWindowPoints(list, window().hwnd(), &at, 1);
    SendMessageW(window().hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
    Pump();
    EXPECT_NE(GetCapture(), window().hwnd());
  }
};

TEST_F(ListOrderTest, MenuCommandsMoveTheSelectedRowAndSortByName) {
  // Chosen together, files come in natural order whatever the dialog's order.
  AddMergeRows({"第十章", "第2章", "第二章", "第10章", "第1章"});
  EXPECT_EQ(desktop_.log.back(), "files: 选择欲合并的文件");
  // 第二章 is chapter 2: after 第2章 (equal numbers keep to the bytes), before 第10章.
  const Texts sorted = {"第1章", "第2章", "第二章", "第10章", "第十章"};
  EXPECT_EQ(Names(), sorted);
  EXPECT_EQ(window().StatusPane(0), "当前状态: 共 5 个任务");

  SelectRow(超级列表框2, 2);
  Menu(kMenuMoveUp);
  EXPECT_EQ(Names(), (Texts{"第1章", "第二章", "第2章", "第10章", "第十章"}));
  EXPECT_EQ(window().SelectedRow(超级列表框2), 1) << "the moved row stays selected";
  Menu(kMenuMoveToBottom);
  EXPECT_EQ(Names(), (Texts{"第1章", "第2章", "第10章", "第十章", "第二章"}));
  Menu(kMenuMoveDown);  // already last: nothing
  EXPECT_EQ(Names(), (Texts{"第1章", "第2章", "第10章", "第十章", "第二章"}));
  Menu(kMenuMoveToTop);
  EXPECT_EQ(Names(), (Texts{"第二章", "第1章", "第2章", "第10章", "第十章"}));
  Menu(kMenuMoveUp);  // already first: nothing
  Menu(kMenuMoveDown);
  EXPECT_EQ(Names(), (Texts{"第1章", "第二章", "第2章", "第10章", "第十章"}));
  EXPECT_EQ(window().Cell(超级列表框2, 1, 1), "C:\\书\\第二章.txt") << "paths move with names";
  Menu(kMenuSortByName);
  EXPECT_EQ(Names(), sorted);

  // The menu offers what fits the selection.
  SelectRow(超级列表框2, 0);
  desktop_.menu_answers = {0};
  RightClickList(超级列表框2);
  ASSERT_FALSE(desktop_.menus.empty());
  Texts on, off;
  for (const ShownMenuItem& item : desktop_.menus.back().items) {
    if (item.command != 0) (item.enabled ? on : off).push_back(item.caption);  // no separator
  }
  EXPECT_EQ(off, (Texts{"上移", "移到最前"}));
  EXPECT_EQ(on, (Texts{"添加", "删除", "全部删除", "下移", "移到最后", "按文件名排序",
                       "打开保存目录", "自动", "GBK", "GB18030", "UTF-8", "Big5"}));

  // The count follows the list.
  Menu(kMenuDelete);
  EXPECT_EQ(window().StatusPane(0), "当前状态: 共 4 个任务");
  Menu(kMenuDeleteAll);
  EXPECT_EQ(window().StatusPane(0), "当前状态: 无任务");

  ClickTab(2);
  desktop_.file_answers = {{"C:\\a.txt"}};
  Click(按钮8);
  EXPECT_EQ(desktop_.log.back(), "files: 选择欲插入文字的文件");
}

TEST_F(ListOrderTest, MovesAgreeWithAModelOnRandomCommands) {
  AddMergeRows({"1", "2", "3", "4", "5", "6", "7"});
  Texts model = Names();
  std::mt19937 rng(14);
  const int commands[] = {kMenuMoveUp, kMenuMoveDown, kMenuMoveToTop, kMenuMoveToBottom};
  for (int step = 0; step < 60; ++step) {
    const int row = static_cast<int>(rng() % model.size());
    const int command = commands[rng() % 4];
    SelectRow(超级列表框2, row);
    Menu(command);
    int to = command == kMenuMoveUp      ? std::max(row - 1, 0)
             : command == kMenuMoveDown  ? std::min(row + 1, 6)
             : command == kMenuMoveToTop ? 0
                                         : 6;
    std::string moved = model[row];
    model.erase(model.begin() + row);
    model.insert(model.begin() + to, moved);
    ASSERT_EQ(Names(), model) << "step " << step << ", command " << command << " on row " << row;
  }
}

TEST_F(ListOrderTest, DraggedRowsLandWhereTheButtonIsReleased) {
  AddMergeRows({"甲1", "乙2", "丙3", "丁4"});
  // Natural order compares these names' characters by their GBK codes, as it always has (the
  // names are UTF-8): 丙 B1FB, 丁 B6A1, 甲 BCD7, 乙 D2D2.
  EXPECT_EQ(Names(), (Texts{"丙3", "丁4", "甲1", "乙2"}));
  Menu(kMenuSortByName);
  EXPECT_EQ(Names(), (Texts{"丙3", "丁4", "甲1", "乙2"}));
  SelectRow(超级列表框2, 2);
  Menu(kMenuMoveToTop);
  SelectRow(超级列表框2, 3);
  Menu(kMenuMoveUp);
  Menu(kMenuMoveUp);  // the moved row is still the selected one
  EXPECT_EQ(Names(), (Texts{"甲1", "乙2", "丙3", "丁4"}));
  Drag(0, 2);
  EXPECT_EQ(Names(), (Texts{"乙2", "丙3", "甲1", "丁4"}));
  Drag(3, 0);
  EXPECT_EQ(Names(), (Texts{"丁4", "乙2", "丙3", "甲1"}));
  Drag(1, -1);  // below the last row: to the end
  EXPECT_EQ(Names(), (Texts{"丁4", "丙3", "甲1", "乙2"}));
  Drag(2, 2);  // released where it started: nothing
  EXPECT_EQ(Names(), (Texts{"丁4", "丙3", "甲1", "乙2"}));
}

}  // namespace
}  // namespace travik::ui::testing
