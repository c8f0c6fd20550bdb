// The three file lists: adding files through the open dialogs, deleting rows, the list menu.
#include "core/file_entry.h"
#include "merge/merge_job.h"
#include "ui/handlers.h"
#include "ui/main_window.h"

namespace travik::ui {

void AddSplitFile(MainWindow& window) {
  std::vector<std::string> paths = window.desktop().PickTextFiles(window.hwnd(), "", false);
  if (paths.empty()) return;
  window.AppendRow(超级列表框1, MakeSplitEntry(paths.front()));
}

void AddFiles(MainWindow& window, ControlId list) {
  // The same title on both pages.
  std::vector<std::string> paths =
      window.desktop().PickTextFiles(window.hwnd(), "选择欲分割的文件", true);
  if (paths.empty()) return;
  for (const std::string& path : paths) {
    window.AppendRow(list, list == 超级列表框2 ? MakeMergeEntry(path) : MakeInsertEntry(path));
  }
  if (list == 超级列表框2) {
    window.SetText(编辑框5, DefaultMergedName(window.Cell(超级列表框2, 0, 0)));
  }
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
}

void DeleteAllRows(MainWindow& window) { window.DeleteAllRows(window.CurrentList()); }

void ShowListMenu(MainWindow& window, ControlId list) {
  ScopedMenu menu = window.BuildPopupMenu(MenuName::k菜单);
  EnableMenuItem(menu.get(), kMenuDelete,
                 MF_BYCOMMAND | (window.SelectedRow(list) >= 0 ? MF_ENABLED : MF_GRAYED));
  EnableMenuItem(menu.get(), kMenuDeleteAll,
                 MF_BYCOMMAND | (window.RowCount(list) > 0 ? MF_ENABLED : MF_GRAYED));
  POINT cursor = {};
  GetCursorPos(&cursor);
  int command = window.desktop().TrackPopupMenu(menu.get(), TPM_LEFTALIGN | TPM_RIGHTBUTTON,
                                                cursor.x + 3, cursor.y + 3, window.hwnd());
  menu.reset();
  if (command != 0) OnMenuCommand(window, command);
}

}  // namespace travik::ui
