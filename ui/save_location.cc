// Save folders of the three pages and the status bar texts that no job owns.
#include "files/files.h"
#include "text/text.h"
#include "ui/handlers.h"
#include "ui/main_window.h"
#include "travik_version.h"

namespace travik::ui {

namespace {

std::string ProgramSubFolder(std::string_view name) {
  return JoinText(ProgramDirectory(), kPathSeparator, name);
}

void ShowSaveFolder(MainWindow& window, std::string_view folder) {
  window.SetStatusPane(1, JoinText("保存目录: ", folder));
}

// The insert page's folder becomes the program's "\处理后的文件".
void UseProgramFolderForInsert(MainWindow& window) {
  ShowSaveFolder(window, ProgramDirectory());
  window.jobs().insert.output_folder = ProgramSubFolder(kProcessedFolderName);
}

}  // namespace

void BrowseSaveFolder(MainWindow& window, ControlId button) {
  ControlId box = button == 按钮3 ? 编辑框4 : 编辑框10;
  std::string folder = window.desktop().BrowseForFolder(window.hwnd(), "选择欲保存到的文件夹");
  window.SetText(box, folder);  // a cancelled choice clears the box
  ShowSaveFolder(window, window.Text(box));
}

void OnProgramFolderBoxClicked(MainWindow& window) { ShowSaveFolder(window, ProgramDirectory()); }

void OnInsertProgramFolderBoxClicked(MainWindow& window) {
  if (window.Checked(选择框7)) {
    UseProgramFolderForInsert(window);
    return;
  }
  std::string folder = window.desktop().BrowseForFolder(window.hwnd(), "选择保存目录");
  if (folder.empty()) {
    UseProgramFolderForInsert(window);  // the box stays unticked
    return;
  }
  ShowSaveFolder(window, folder);
  window.jobs().insert.output_folder = folder;
}

void RefreshStatusBar(MainWindow& window) {
  if (window.runner().running()) return;  // the bar tells of the running job until it ends
  ControlId list = window.CurrentList();
  int rows = window.RowCount(list);
  const std::string& summary = window.jobs().summary[window.CurrentPage()];
  if (!summary.empty()) {
    window.SetStatusPane(0, summary);
  } else {
    window.SetStatusPane(0, rows == 0 ? std::string("当前状态: 无任务")
                                      : JoinText("当前状态: 共 ", NumberToText(rows), " 个任务"));
  }
  switch (window.CurrentPage()) {
    case 0:
      ShowSaveFolder(window, window.Text(编辑框10));
      break;
    case 1:
      ShowSaveFolder(window, window.Text(编辑框4));
      break;
    default:
      if (window.Checked(选择框7)) {
        UseProgramFolderForInsert(window);
      } else {
        ShowSaveFolder(window, window.jobs().insert.output_folder);
      }
      break;
  }
}

void ShowAbout(MainWindow& window) {
  const std::string settings = window.settings_path();
  window.desktop().ShowMessageBox(
      window.hwnd(),
      JoinText("Travik ", TRAVIK_VERSION_TEXT,
               "\r\n分割、合并长篇文本（GBK、GB18030、UTF-8），并向其中插入文字。\r\n\r\n"
               "许可：MIT License（见 LICENSE.txt）\r\n设置保存在：",
               settings.empty() ? std::string("（本次不保存设置）") : settings),
      "关于 Travik");
}

void OpenSaveFolder(MainWindow& window) {
  std::string pane = window.StatusPane(1);
  if (pane == "保存目录:") return;
  // The folder follows the first colon and its space, so a drive path is taken whole.
  const size_t colon = pane.find(':');
  if (colon == std::string::npos || colon + 2 > pane.size()) return;
  const std::string folder = pane.substr(colon + 2);
  if (FolderExists(folder)) window.desktop().ExploreFolder(folder);
}

void OpenLastJobFolder(MainWindow& window) {
  const std::string& folder = window.runner().last_folder();
  if (!folder.empty() && FolderExists(folder)) {
    window.desktop().ExploreFolder(folder);
  } else {
    OpenSaveFolder(window);
  }
}

}  // namespace travik::ui
