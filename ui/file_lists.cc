// The three file lists: adding files through the open dialogs, deleting rows, the list menu.
#include <algorithm>

#include "files/file_entry.h"
#include "files/files.h"
#include "files/natural_order.h"
#include "merge/merge_job.h"
#include "ui/handlers.h"
#include "ui/main_window.h"
#include "ui/win_text.h"

namespace travik::ui {

void AddSplitFile(MainWindow& window) {
  std::vector<std::string> paths = window.desktop().PickTextFiles(window.hwnd(), "", false);
  if (paths.empty()) return;
  window.AppendRow(超级列表框1, MakeSplitEntry(paths.front()));
  RefreshStatusBar(window);
}

void AddFiles(MainWindow& window, ControlId list) {
  std::vector<std::string> paths = window.desktop().PickTextFiles(
      window.hwnd(), list == 超级列表框2 ? "选择欲合并的文件" : "选择欲插入文字的文件", true);
  if (paths.empty()) return;
  // Files chosen together come in the order people read numbered names, whatever order the
  // dialog gave them in.
  SortPathsNaturally(paths, kPathSeparator[0]);
  for (const std::string& path : paths) {
    window.AppendRow(list, list == 超级列表框2 ? MakeMergeEntry(path) : MakeInsertEntry(path));
  }
  if (list == 超级列表框2) {
    window.SetText(编辑框5, DefaultMergedName(window.Cell(超级列表框2, 0, 0)));
  }
  RefreshStatusBar(window);
}

void AddToCurrentList(MainWindow& window) {
  switch (window.CurrentPage()) {
    case 0:
      AddSplitFile(window);
      break;
    case 1:
      AddFiles(window, 超级列表框2);
      break;
    case 2:
      AddFiles(window, 超级列表框3);
      break;
    default:
      break;
  }
}

void DeleteSelectedRow(MainWindow& window) {
  ControlId list = window.CurrentList();
  int row = window.SelectedRow(list);
  if (row >= 0) window.DeleteRow(list, row);
  RefreshStatusBar(window);
}

void DeleteAllRows(MainWindow& window) {
  window.DeleteAllRows(window.CurrentList());
  RefreshStatusBar(window);
}

void MoveSelectedRow(MainWindow& window, int command) {
  ControlId list = window.CurrentList();
  const int row = window.SelectedRow(list);
  const int last = window.RowCount(list) - 1;
  if (row < 0) return;
  int to = row;
  switch (command) {
    case kMenuMoveUp:
      to = std::max(row - 1, 0);
      break;
    case kMenuMoveDown:
      to = std::min(row + 1, last);
      break;
    case kMenuMoveToTop:
      to = 0;
      break;
    case kMenuMoveToBottom:
      to = last;
      break;
    default:
      break;
  }
  if (to != row) window.MoveRow(list, row, to);
}

void SortByName(MainWindow& window) {
  ControlId list = window.CurrentList();
  std::vector<std::string> names;
  for (const FileEntry& row : window.Rows(list)) names.push_back(FileNamePart(row.path));
  std::vector<int> order(names.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
  std::stable_sort(order.begin(), order.end(),
                   [&names](int a, int b) { return NaturalLess(names[a], names[b]); });
  window.ReorderRows(list, order);
}

namespace {

EncodingChoice EncodingChoiceOf(int command) {
  switch (command) {
    case kMenuEncodingGbk:
      return EncodingChoice::kGbk;
    case kMenuEncodingGb18030:
      return EncodingChoice::kGb18030;
    case kMenuEncodingUtf8:
      return EncodingChoice::kUtf8;
    default:
      return EncodingChoice::kAuto;
  }
}

}  // namespace

void SetEncodingOfSelectedRows(MainWindow& window, int command) {
  const ControlId list = window.CurrentList();
  for (int row : window.SelectedRows(list)) {
    window.SetRowEncoding(list, row, EncodingChoiceOf(command));
  }
}

void ShowListMenu(MainWindow& window, ControlId list) {
  ScopedMenu menu = window.BuildPopupMenu(MenuName::k菜单);
  EnableMenuItem(menu.get(), kMenuDelete,
                 MF_BYCOMMAND | (window.SelectedRow(list) >= 0 ? MF_ENABLED : MF_GRAYED));
  EnableMenuItem(menu.get(), kMenuDeleteAll,
                 MF_BYCOMMAND | (window.RowCount(list) > 0 ? MF_ENABLED : MF_GRAYED));
  const int row = window.SelectedRow(list);
  const int last = window.RowCount(list) - 1;
  const auto enable = [&](int command, bool on) {
    EnableMenuItem(menu.get(), command, MF_BYCOMMAND | (on ? MF_ENABLED : MF_GRAYED));
  };
  enable(kMenuMoveUp, row > 0);
  enable(kMenuMoveToTop, row > 0);
  enable(kMenuMoveDown, row >= 0 && row < last);
  enable(kMenuMoveToBottom, row >= 0 && row < last);
  enable(kMenuSortByName, last > 0);
  // Below a separator, how the selected row's encoding is decided, its present choice checked.
  AppendMenuW(menu.get(), MF_SEPARATOR, 0, nullptr);
  for (const MenuItemLayout& item : MenuItems()) {
    if (item.menu != MenuName::k编码) continue;
    UINT flags = MF_STRING | (row >= 0 ? MF_ENABLED : MF_GRAYED);
    if (row >= 0 && EncodingChoiceOf(item.command) == window.RowEncoding(list, row)) {
      flags |= MF_CHECKED;
    }
    AppendMenuW(menu.get(), flags, item.command, Wide(item.caption).c_str());
  }
  POINT cursor = {};
  GetCursorPos(&cursor);
  int command = window.desktop().TrackPopupMenu(menu.get(), TPM_LEFTALIGN | TPM_RIGHTBUTTON,
                                                cursor.x + 3, cursor.y + 3, window.hwnd());
  menu.reset();
  if (command != 0) OnMenuCommand(window, command);
}

}  // namespace travik::ui
