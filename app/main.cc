// travik.exe: starts the common controls and OLE, creates the main window, runs the message
// loop until it closes, and exits with 0.
#include <windows.h>
// The headers below need the types of windows.h.
#include <commctrl.h>
#include <ole2.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "files/file_entry.h"
#include "files/natural_order.h"
#include "ui/chapter_preview.h"
#include "ui/desktop_calls.h"
#include "ui/main_window.h"
#include "ui/settings.h"
#include "ui/win_text.h"
#ifdef TRAVIK_HAVE_WIDGETS
#include "ui/icon_button.h"
#endif

namespace {

// "--page=N" starts on page N (0, 1, 2); the screenshot script uses it to show each page.
int StartPage(const wchar_t* command_line) {
  const wchar_t* option = wcsstr(command_line, L"--page=");
  if (option == nullptr) return 0;
  int page = option[7] - L'0';
  return page >= 0 && page <= 2 ? page : 0;
}

// The rest of the command line after `option`, without its quotes; empty when it is not there.
std::wstring OptionValue(const wchar_t* command_line, const wchar_t* option) {
  const wchar_t* found = wcsstr(command_line, option);
  if (found == nullptr) return {};
  std::wstring value = found + wcslen(option);
  if (value.size() >= 2 && value.front() == L'"' && value.back() == L'"') {
    value = value.substr(1, value.size() - 2);
  }
  return value;
}

// Every .txt file of `folder` into the merge list, in natural order, the last one read as
// UTF-8 whatever it is recognised as.
void ListFolder(travik::ui::MainWindow& window, const std::wstring& folder) {
  using namespace travik::ui;
  std::vector<std::string> paths;
  WIN32_FIND_DATAW found = {};
  HANDLE search = FindFirstFileW((folder + L"\\*.txt").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    paths.push_back(Utf8(folder + L"\\" + found.cFileName));
  } while (FindNextFileW(search, &found));
  FindClose(search);
  travik::SortPathsNaturally(paths, '\\');
  for (const std::string& path : paths) window.AppendRow(超级列表框2, travik::MakeMergeEntry(path));
  window.SetRowEncoding(超级列表框2, static_cast<int>(paths.size()) - 1,
                        travik::EncodingChoice::kUtf8);
}

// "--keyword-list" opens the keyword box's list, "--preview=FILE" (the rest of the command
// line) adds FILE to the split list and previews its chapters, and "--list=FOLDER" fills the
// merge list from FOLDER: the screenshot script shows them.
void ShowScreenshotState(travik::ui::MainWindow& window, const wchar_t* command_line) {
  using namespace travik::ui;
  if (wcsstr(command_line, L"--keyword-list") != nullptr) {
    SendMessageW(window.Control(编辑框3), CB_SHOWDROPDOWN, TRUE, 0);
  }
  const std::wstring folder = OptionValue(command_line, L"--list=");
  if (!folder.empty()) ListFolder(window, folder);
  const std::wstring path = OptionValue(command_line, L"--preview=");
  if (path.empty()) return;
  window.AppendRow(超级列表框1, travik::MakeSplitEntry(Utf8(path)));
  ChapterPreview* shown = ChapterPreview::Open(window);
  if (shown == nullptr || shown->chapters().warnings.empty()) return;
  // The first warning row double-clicked, to show its text.
  const auto& headings = shown->chapters().headings;
  for (size_t row = 0; row < headings.size(); ++row) {
    if (headings[row].line != shown->chapters().warnings.front().line) continue;
    HWND list = shown->Control(kPreviewList);
    NMITEMACTIVATE click = {};
    click.hdr = {list, kPreviewList, static_cast<UINT>(NM_DBLCLK)};
    click.iItem = static_cast<int>(row);
    SendMessageW(shown->hwnd(), WM_NOTIFY, kPreviewList, reinterpret_cast<LPARAM>(&click));
    break;
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR command_line, int show_command) {
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_STANDARD_CLASSES | ICC_TAB_CLASSES |
                                                         ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
  InitCommonControlsEx(&controls);
  // The folder browser's new dialog style needs OLE on this thread.
  OleInitialize(nullptr);
#ifdef TRAVIK_HAVE_WIDGETS
  // The icon buttons' fallback font exists before any button is drawn.
  travik::ui::ButtonFont();
#endif

  int exit_code = 0;
  {
    travik::ui::SystemDesktopCalls desktop;
    travik::ui::MainWindow window(desktop);
    if (window.Create(instance, /*quit_on_destroy=*/true)) {
      // "--no-settings": the window as at a first start, whatever a person left it as, and
      // nothing remembered (the screenshots and the tests start so).
      if (wcsstr(command_line, L"--no-settings") == nullptr) {
        const travik::ui::Settings settings = window.UseSettings(travik::ui::SettingsPath());
        if (settings.Get("window.maximized") == "1") show_command = SW_SHOWMAXIMIZED;
      }
      int page = StartPage(command_line);
      if (page != 0) window.ShowPage(page);
      // "--size=WxH" gives the window that outer size in pixels (the screenshots' larger shot).
      int width = 0, height = 0;
      if (const wchar_t* size = wcsstr(command_line, L"--size=");
          size != nullptr && swscanf(size + 7, L"%dx%d", &width, &height) == 2) {
        SetWindowPos(window.hwnd(), nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
      }
      ShowWindow(window.hwnd(), show_command);
      UpdateWindow(window.hwnd());
      ShowScreenshotState(window, command_line);
      MSG message;
      while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        // Tab and the arrow keys move between the controls as in a dialog.
        if (window.hwnd() != nullptr && IsDialogMessageW(window.hwnd(), &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
      }
    } else {
      exit_code = 1;
    }
  }
  OleUninitialize();
  return exit_code;
}
