// The three file lists: adding files through the open dialogs and by dropping them, deleting
// rows, the list menu.
#include <windows.h>

#include <commctrl.h>

#include <algorithm>

#include "files/file_entry.h"
#include "files/files.h"
#include "files/natural_order.h"
#include "merge/merge_job.h"
#include "text/text.h"
#include "ui/handlers.h"
#include "ui/main_window.h"
#include "ui/win_text.h"

namespace travik::ui {

namespace {

// The page's list changed: its last job's summary no longer describes it.
void ListChanged(MainWindow& window, ControlId list) {
  window.jobs().summary[PageOf(list)].clear();
  RefreshStatusBar(window);
}

// True for a name ending in ".txt" in any case.
bool IsTextFileName(std::string_view name) {
  if (name.size() < 4) return false;
  std::string end(name.substr(name.size() - 4));
  for (char& c : end) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return end == ".txt";
}

void QueueFiles(MainWindow& window, ControlId list, std::vector<std::string> paths) {
  if (paths.empty()) return;
  window.jobs().summary[PageOf(list)].clear();
  window.QueueRows(list, std::move(paths), [&window, list] {
    if (list == 超级列表框2 && window.RowCount(list) > 0) {
      window.SetText(编辑框5, DefaultMergedName(window.Cell(超级列表框2, 0, 0)));
    }
    ListChanged(window, list);
  });
}

}  // namespace

void AddFiles(MainWindow& window, ControlId list) {
  const char* title = list == 超级列表框1   ? "选择欲分割的文件"
                      : list == 超级列表框2 ? "选择欲合并的文件"
                                            : "选择欲插入文字的文件";
  std::vector<std::string> paths = window.desktop().PickTextFiles(window.hwnd(), title, true);
  // Files chosen together come in the order people read numbered names, whatever order the
  // dialog gave them in.
  SortPathsNaturally(paths, kPathSeparator[0]);
  QueueFiles(window, list, std::move(paths));
}

void AddDroppedPaths(MainWindow& window, ControlId list, std::vector<std::string> files,
                     std::vector<std::string> folders) {
  SortPathsNaturally(files, kPathSeparator[0]);
  SortPathsNaturally(folders, kPathSeparator[0]);
  for (const std::string& folder : folders) {
    std::vector<std::string> names = FileNamesIn(folder);
    std::vector<std::string> texts;
    for (const std::string& name : names) {
      if (IsTextFileName(name)) texts.push_back(JoinText(folder, kPathSeparator, name));
    }
    SortPathsNaturally(texts, kPathSeparator[0]);
    files.insert(files.end(), texts.begin(), texts.end());
  }
  QueueFiles(window, list, std::move(files));
}

void AddToCurrentList(MainWindow& window) { AddFiles(window, window.CurrentList()); }

void DeleteSelectedRow(MainWindow& window) {
  ControlId list = window.CurrentList();
  window.FinishAddingRows();
  const std::vector<int> rows = window.SelectedRows(list);
  for (auto row = rows.rbegin(); row != rows.rend(); ++row) window.DeleteRow(list, *row);
  if (!rows.empty()) ListChanged(window, list);
}

void DeleteAllRows(MainWindow& window) {
  window.FinishAddingRows();
  window.DeleteAllRows(window.CurrentList());
  ListChanged(window, window.CurrentList());
}

void SelectAllRows(MainWindow& window, ControlId list) {
  LVITEMW item = {};
  item.stateMask = LVIS_SELECTED;
  item.state = LVIS_SELECTED;
  SendMessageW(window.Control(list), LVM_SETITEMSTATE, static_cast<WPARAM>(-1),
               reinterpret_cast<LPARAM>(&item));
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
    case kMenuEncodingBig5:
      return EncodingChoice::kBig5;
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

void EnableListMenu(MainWindow& window, HMENU menu, ControlId list) {
  // Nothing changes the list of a running job, nor is added twice while one is being added.
  const bool busy = window.runner().page() == PageOf(list);
  const int row = window.SelectedRow(list);
  const int last = window.RowCount(list) - 1;
  const auto enable = [&](int command, bool on) {
    EnableMenuItem(menu, command, MF_BYCOMMAND | (on ? MF_ENABLED : MF_GRAYED));
  };
  enable(kMenuAdd, !busy);
  enable(kMenuDelete, !busy && row >= 0);
  enable(kMenuDeleteAll, !busy && last >= 0);
  enable(kMenuMoveUp, !busy && row > 0);
  enable(kMenuMoveToTop, !busy && row > 0);
  enable(kMenuMoveDown, !busy && row >= 0 && row < last);
  enable(kMenuMoveToBottom, !busy && row >= 0 && row < last);
  enable(kMenuSortByName, !busy && last > 0);
  const std::string& folder = window.runner().last_folder();
  enable(kMenuOpenFolder, (!folder.empty() && FolderExists(folder)) || window.StatusPane(1) != "保存目录:");
}

void ShowListMenu(MainWindow& window, ControlId list) {
  ScopedMenu menu = window.BuildPopupMenu(MenuName::k菜单);
  EnableListMenu(window, menu.get(), list);
  const int row = window.SelectedRow(list);
  const bool busy = window.runner().page() == PageOf(list);
  // Below a separator, how the selected row's encoding is decided, its present choice checked.
  AppendMenuW(menu.get(), MF_SEPARATOR, 0, nullptr);
  for (const MenuItemLayout& item : MenuItems()) {
    if (item.menu != MenuName::k编码) continue;
    UINT flags = MF_STRING | (row >= 0 && !busy ? MF_ENABLED : MF_GRAYED);
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
