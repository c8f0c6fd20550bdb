// Window tests: the real main window driven through window messages, with a scripted stand-in
// for the calls that would wait for a person (dialogs, message boxes, pop-up menus, Explorer).
#ifndef TRAVIK_UI_WINDOW_TEST_FIXTURE_H_
#define TRAVIK_UI_WINDOW_TEST_FIXTURE_H_

#include <windows.h>

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "ui/desktop_calls.h"
#include "ui/main_window.h"

namespace travik::ui::testing {

// One item of a pop-up menu as it was shown.
struct ShownMenuItem {
  int command;
  std::string caption;  // UTF-8; empty for a separator
  bool enabled;
  bool checked = false;
};

struct ShownMenu {
  std::vector<ShownMenuItem> items;
  UINT flags;
  int x, y;
  HWND owner;
  HWND foreground;  // the foreground window when the menu was shown
};

// Answers the blocking calls from scripts and records every call in `log` ("message: …",
// "files: title", "folder: title", "explore: folder", "pause: 500"), all UTF-8.
class FakeDesktop : public DesktopCalls {
 public:
  std::vector<std::string> PickTextFiles(HWND owner, const std::string& title,
                                         bool multiple) override;
  std::string BrowseForFolder(HWND owner, const std::string& title) override;
  void ShowMessageBox(HWND owner, const std::string& text, const std::string& caption) override;
  int TrackPopupMenu(HMENU menu, UINT flags, int x, int y, HWND owner) override;
  void ExploreFolder(const std::string& folder) override;
  void Pause(int milliseconds) override;
  // Answers from yes_no_answers (none left: No); logs "ask: text".
  bool AskYesNo(HWND owner, const std::string& text, const std::string& caption) override;
  // Logs "recycle: path" and deletes the file (the tests' Recycle Bin).
  bool RecycleFile(const std::string& path) override;

  // Scripts: each call takes the next answer; none left means "cancelled".
  std::deque<std::vector<std::string>> file_answers;
  std::deque<std::string> folder_answers;
  std::deque<int> menu_answers;
  std::deque<bool> yes_no_answers;

  std::vector<std::string> log;
  std::vector<bool> multiple_selection;  // per PickTextFiles call
  std::vector<std::string> captions;     // per message box
  std::vector<ShownMenu> menus;
  // Run inside Pause and ShowMessageBox, to look at the window while the job waits.
  std::function<void()> on_pause;
  std::function<void()> on_message;
  // Run inside AskYesNo before it answers (as the question's own loop serves the window), and
  // inside RecycleFile before the file goes.
  std::function<void()> on_ask;
  std::function<void()> on_recycle;
};

// The text of a cell of a list view (any list, the preview's too), as the list gives it.
std::wstring ListViewText(HWND list, int row, int column);

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  MainWindow& window() { return *window_; }
  HWND Hwnd(ControlId id) { return window_->Control(id); }

  // Dispatches the window messages waiting in the queue.
  static void Pump();
  // A left click on a button, check box or radio button (nothing when it is disabled, as the
  // system would do). A job the click starts is waited for.
  void Click(ControlId id);
  // A click on an enabled button that returns at once, while the job it starts runs.
  void StartClick(ControlId id);
  // Serves the window until its job has ended.
  void WaitForJob();
  // Serves the window until the lists' column "编码" shows what every file was recognised as.
  void WaitForEncodings();
  // Left button pressed and released in an edit box or the status bar (enabled ones only).
  void MouseDown(ControlId id);
  // Characters typed into the control that has the focus after a click into it.
  void Type(ControlId id, const std::wstring& text);
  // Moves the keyboard focus to `id` (the previous owner loses it).
  void Focus(ControlId id);
  // A click on the tab of `page`.
  void ClickTab(int page);
  // A right click on a list's first row (or its empty area), as the list view reports it.
  void RightClickList(ControlId list);
  // Selects `row` of a list (-1: no row selected).
  void SelectRow(ControlId list, int row);
  // A menu command through WM_COMMAND, as the menu bar sends it.
  void Menu(int command);

  FakeDesktop desktop_;
  std::unique_ptr<MainWindow> window_;
};

}  // namespace travik::ui::testing

#endif  // TRAVIK_UI_WINDOW_TEST_FIXTURE_H_
