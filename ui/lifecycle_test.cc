// Start-up, the tray icon and its menu, closing; and travik.exe itself as a process.
#include <windows.h>
// The headers below need the types of windows.h.
#include <shellapi.h>

#include <string>

#include "files/files.h"
#include "text/text.h"
#include "tests/test_util.h"
#include "ui/win_text.h"
#include "ui/window_test_fixture.h"
#ifdef TRAVIK_HAVE_WIDGETS
#include "ui/feedback_window.h"
#endif

namespace travik::ui::testing {
namespace {

using travik::testing::ScopedTempDir;
using travik::testing::WriteFileBytes;

using LifecycleTest = WindowTest;

// Whether the shell still holds the window's tray icon (modifying a missing icon fails).
bool ShellHasTrayIcon(HWND owner) {
  NOTIFYICONDATAW data = {};
  data.cbSize = sizeof(data);
  data.hWnd = owner;
  data.uID = 1;
  return Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE;
}

void SendTrayEvent(HWND window, UINT event) {
  SendMessageW(window, kTrayMessage, 0, MAKELPARAM(event, 1));
}

TEST_F(LifecycleTest, TrayIconComesWithTheWindowAndGoesWithIt) {
  HWND main = window().hwnd();
  EXPECT_TRUE(window().tray().shown());
  EXPECT_EQ(window().tray().tip(), "Travik");
  EXPECT_TRUE(ShellHasTrayIcon(main));

  // Closing closes every open file and removes the icon; the window is gone.
  ScopedTempDir dir;
  std::string path = dir.Join("open.txt");
  ASSERT_TRUE(WriteFileBytes(path, "x"));
  ASSERT_NE(OpenFile(path), 0);
  SendMessageW(main, WM_CLOSE, 0, 0);
  Pump();
  EXPECT_FALSE(IsWindow(main));
  EXPECT_EQ(OpenFileCount(), 0);
  EXPECT_FALSE(window().tray().shown());
  EXPECT_FALSE(ShellHasTrayIcon(main));
}

TEST_F(LifecycleTest, TrayDoubleClickRestoresAndSingleClicksDoNothing) {
  HWND main = window().hwnd();
  ShowWindow(main, SW_MINIMIZE);
  Pump();
  ASSERT_TRUE(IsIconic(main));
  SendTrayEvent(main, WM_LBUTTONDOWN);
  SendTrayEvent(main, WM_LBUTTONUP);
  Pump();
  EXPECT_TRUE(IsIconic(main)) << "a single click does nothing";
  SendTrayEvent(main, WM_LBUTTONDBLCLK);
  Pump();
  EXPECT_FALSE(IsIconic(main));
  EXPECT_TRUE(IsWindowVisible(main));
  RECT rect;
  GetWindowRect(main, &rect);
  EXPECT_EQ(rect.right - rect.left, window().Scale(581)) << "back in its normal size";
  // Already shown: nothing visible changes.
  SendTrayEvent(main, WM_LBUTTONDBLCLK);
  Pump();
  EXPECT_FALSE(IsIconic(main));
  EXPECT_TRUE(desktop_.menus.empty());
}

TEST_F(LifecycleTest, TrayMenuPopsLeftOfTheCursorAndItsItemsWork) {
  HWND main = window().hwnd();
  ShowWindow(main, SW_MINIMIZE);
  Pump();
  desktop_.menu_answers = {kMenuShowWindow, 0, kMenuExit};
  SendTrayEvent(main, WM_CONTEXTMENU);
  Pump();
  EXPECT_FALSE(IsIconic(main)) << "显示界面 restores the window";

  SendTrayEvent(main, WM_CONTEXTMENU);  // closed without a choice
  Pump();
  EXPECT_TRUE(IsWindow(main));

  ASSERT_EQ(desktop_.menus.size(), 2u);
  const ShownMenu& menu = desktop_.menus[1];
  ASSERT_EQ(menu.items.size(), 2u);
  EXPECT_EQ(menu.items[0].caption, "显示界面");
  EXPECT_EQ(menu.items[1].caption, "退出");
  EXPECT_TRUE(menu.items[0].enabled && menu.items[1].enabled);
  EXPECT_EQ(menu.owner, main);
  EXPECT_EQ(menu.foreground, main) << "the owner is brought to the foreground first";
  EXPECT_EQ(menu.flags & TPM_RIGHTALIGN, static_cast<UINT>(TPM_RIGHTALIGN));
  POINT cursor;
  GetCursorPos(&cursor);
  EXPECT_EQ(menu.x, cursor.x - 5);
  EXPECT_EQ(menu.y, cursor.y - 5);

  SendTrayEvent(main, WM_CONTEXTMENU);  // "退出"
  Pump();
  EXPECT_FALSE(IsWindow(main));
  EXPECT_FALSE(window().tray().shown());
  EXPECT_FALSE(ShellHasTrayIcon(main));
}

#ifdef TRAVIK_HAVE_WIDGETS
// What the feedback window looked like while it was open; closes it.
struct FeedbackSeen {
  int opened = 0;
  HWND owner = nullptr;
  bool owner_enabled = true;
  std::wstring caption;
};
FeedbackSeen feedback_seen;

void CALLBACK CloseFeedbackWindow(HWND, UINT, UINT_PTR timer, DWORD) {
  HWND feedback = FeedbackWindow();
  if (feedback == nullptr) return;
  KillTimer(nullptr, timer);
  ++feedback_seen.opened;
  feedback_seen.owner = GetWindow(feedback, GW_OWNER);
  feedback_seen.owner_enabled = IsWindowEnabled(feedback_seen.owner) != FALSE;
  wchar_t caption[32] = {};
  GetWindowTextW(feedback, caption, 32);
  feedback_seen.caption = caption;
  PostMessageW(feedback, WM_CLOSE, 0, 0);
}

TEST_F(LifecycleTest, FeedbackItemOpensTheFeedbackWindowModallyEachTime) {
  feedback_seen = {};
  for (int i = 0; i < 2; ++i) {
    SetTimer(nullptr, 0, 50, CloseFeedbackWindow);
    Menu(kMenuFeedback);  // returns when the window has been closed
    EXPECT_EQ(FeedbackWindow(), nullptr);
    EXPECT_EQ(feedback_seen.opened, i + 1);
  }
  EXPECT_EQ(feedback_seen.owner, window().hwnd());
  EXPECT_FALSE(feedback_seen.owner_enabled) << "the main window takes no input meanwhile";
  EXPECT_EQ(feedback_seen.caption, L"意见反馈");
  EXPECT_TRUE(IsWindowEnabled(window().hwnd()));
}
#endif

// travik.exe, started as a program: its window appears with the layout's caption and place,
// and closing it ends the process with exit code 0.
TEST(TravikProgram, StartsIntoItsWindowAndExitsWithZero) {
  std::wstring program = Wide(JoinText(ProgramDirectory(), kPathSeparator, "..", kPathSeparator,
                                       "app", kPathSeparator, "travik.exe"));
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  // As at a first start: no settings a person (or an earlier test) left in the prefix.
  std::wstring command = L"\"" + program + L"\" --no-settings";
  ASSERT_TRUE(CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                             nullptr, &startup, &process))
      << GetLastError();
  ASSERT_EQ(WaitForInputIdle(process.hProcess, 20000), 0u);

  HWND found = nullptr;
  for (int i = 0; i < 200 && found == nullptr; ++i) {
    for (HWND w = FindWindowW(L"TravikMainWindow", nullptr); w != nullptr;
         w = FindWindowExW(nullptr, w, L"TravikMainWindow", nullptr)) {
      DWORD pid = 0;
      GetWindowThreadProcessId(w, &pid);
      if (pid == process.dwProcessId) found = w;
    }
    if (found == nullptr) Sleep(50);
  }
  ASSERT_NE(found, nullptr);
  wchar_t caption[32] = {};
  GetWindowTextW(found, caption, 32);
  EXPECT_STREQ(caption, L"Travik");
  EXPECT_TRUE(IsWindowVisible(found));
  RECT rect;
  GetWindowRect(found, &rect);
  HDC screen = GetDC(nullptr);
  int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  EXPECT_EQ(rect.left, MulDiv(50, dpi, 96));
  EXPECT_EQ(rect.right - rect.left, MulDiv(581, dpi, 96));
  EXPECT_EQ(rect.bottom - rect.top, MulDiv(460, dpi, 96));

  PostMessageW(found, WM_CLOSE, 0, 0);
  ASSERT_EQ(WaitForSingleObject(process.hProcess, 20000), WAIT_OBJECT_0);
  DWORD exit_code = 1;
  GetExitCodeProcess(process.hProcess, &exit_code);
  EXPECT_EQ(exit_code, 0u);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
}

}  // namespace
}  // namespace travik::ui::testing
