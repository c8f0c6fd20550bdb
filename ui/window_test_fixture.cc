#include "ui/window_test_fixture.h"

#include <commctrl.h>
#include <windows.h>

#include "text/text.h"
#include "ui/win_text.h"

namespace travik::ui::testing {

std::vector<std::string> FakeDesktop::PickTextFiles(HWND, const std::string& title, bool multiple) {
  log.push_back(JoinText("files: ", title));
  multiple_selection.push_back(multiple);
  if (file_answers.empty()) return {};
  std::vector<std::string> answer = file_answers.front();
  file_answers.pop_front();
  return answer;
}

std::string FakeDesktop::BrowseForFolder(HWND, const std::string& title) {
  log.push_back(JoinText("folder: ", title));
  if (folder_answers.empty()) return {};
  std::string answer = folder_answers.front();
  folder_answers.pop_front();
  return answer;
}

void FakeDesktop::ShowMessageBox(HWND, const std::string& text, const std::string& caption) {
  log.push_back(JoinText("message: ", text));
  captions.push_back(caption);
  if (on_message) on_message();
}

int FakeDesktop::TrackPopupMenu(HMENU menu, UINT flags, int x, int y, HWND owner) {
  ShownMenu shown{{}, flags, x, y, owner, GetForegroundWindow()};
  int count = GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    wchar_t caption[64] = {};
    GetMenuStringW(menu, static_cast<UINT>(i), caption, 64, MF_BYPOSITION);
    UINT state = GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION);
    shown.items.push_back({static_cast<int>(GetMenuItemID(menu, i)), Utf8(caption),
                           (state & (MF_GRAYED | MF_DISABLED)) == 0, (state & MF_CHECKED) != 0});
  }
  menus.push_back(shown);
  if (menu_answers.empty()) return 0;
  int answer = menu_answers.front();
  menu_answers.pop_front();
  return answer;
}

void FakeDesktop::ExploreFolder(const std::string& folder) {
  log.push_back(JoinText("explore: ", folder));
}

void FakeDesktop::Pause(int milliseconds) {
  log.push_back(JoinText("pause: ", NumberToText(milliseconds)));
  if (on_pause) on_pause();
}

bool FakeDesktop::AskYesNo(HWND, const std::string& text, const std::string&) {
  log.push_back(JoinText("ask: ", text));
  if (on_ask) on_ask();
  if (yes_no_answers.empty()) return false;
  bool yes = yes_no_answers.front();
  yes_no_answers.pop_front();
  return yes;
}

bool FakeDesktop::RecycleFile(const std::string& path) {
  log.push_back(JoinText("recycle: ", path));
  if (on_recycle) on_recycle();
  return DeleteFileW(Wide(path).c_str()) != FALSE;
}

void WindowTest::SetUp() {
  window_ = std::make_unique<MainWindow>(desktop_);
  ASSERT_TRUE(window_->Create(GetModuleHandleW(nullptr), /*quit_on_destroy=*/false));
  ShowWindow(window_->hwnd(), SW_SHOWNORMAL);
  UpdateWindow(window_->hwnd());
  SetForegroundWindow(window_->hwnd());
  Pump();
}

void WindowTest::TearDown() {
  window_.reset();
  Pump();
}

std::wstring ListViewText(HWND list, int row, int column) {
  wchar_t text[512] = {};
  LVITEMW item = {};
  item.iSubItem = column;
  item.pszText = text;
  item.cchTextMax = 512;
  SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
  return text;
}

void WindowTest::Pump() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

void WindowTest::Click(ControlId id) {
  HWND control = Hwnd(id);
  ASSERT_NE(control, nullptr);
  if (!IsWindowEnabled(control) || !IsWindowVisible(control)) return;
  SendMessageW(control, BM_CLICK, 0, 0);
  Pump();
  WaitForJob();
}

void WindowTest::StartClick(ControlId id) {
  HWND control = Hwnd(id);
  ASSERT_NE(control, nullptr);
  ASSERT_TRUE(IsWindowEnabled(control) && IsWindowVisible(control));
  SendMessageW(control, BM_CLICK, 0, 0);
}

void WindowTest::WaitForEncodings() {
  const ULONGLONG deadline = GetTickCount64() + 60000;
  while (window_->hwnd() != nullptr && window_->RecognisingEncodings()) {
    ASSERT_LT(GetTickCount64(), deadline) << "the files were not read";
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    Pump();
  }
}

void WindowTest::WaitForJob() {
  const ULONGLONG deadline = GetTickCount64() + 120000;
  while (window_->hwnd() != nullptr && window_->runner().running()) {
    ASSERT_LT(GetTickCount64(), deadline) << "the job did not end";
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    Pump();
  }
}

void WindowTest::MouseDown(ControlId id) {
  HWND control = Hwnd(id);
  ASSERT_NE(control, nullptr);
  if (!IsWindowEnabled(control) || !IsWindowVisible(control)) return;
  SendMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
  SendMessageW(control, WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
  Pump();
}

void WindowTest::Type(ControlId id, const std::wstring& text) {
  HWND control = Hwnd(id);
  for (wchar_t c : text) SendMessageW(control, WM_CHAR, c, 1);
  Pump();
}

void WindowTest::Focus(ControlId id) {
  SetFocus(Hwnd(id));
  Pump();
}

void WindowTest::ClickTab(int page) {
  HWND tab = Hwnd(选择夹1);
  RECT item = {};
  SendMessageW(tab, TCM_GETITEMRECT, page, reinterpret_cast<LPARAM>(&item));
  LPARAM point = MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
  SendMessageW(tab, WM_LBUTTONDOWN, MK_LBUTTON, point);
  SendMessageW(tab, WM_LBUTTONUP, 0, point);
  Pump();
}

void WindowTest::RightClickList(ControlId list) {
  NMITEMACTIVATE click = {};
  click.hdr.hwndFrom = Hwnd(list);
  click.hdr.idFrom = static_cast<UINT_PTR>(list);
  click.hdr.code = NM_RCLICK;
  click.iItem = window_->SelectedRow(list);
  SendMessageW(window_->hwnd(), WM_NOTIFY, list, reinterpret_cast<LPARAM>(&click));
  Pump();
}

void WindowTest::SelectRow(ControlId list, int row) {
  LVITEMW item = {};
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  item.state = 0;
  SendMessageW(Hwnd(list), LVM_SETITEMSTATE, static_cast<WPARAM>(-1),
               reinterpret_cast<LPARAM>(&item));
  if (row >= 0) {
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(Hwnd(list), LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
  }
  Pump();
}

void WindowTest::Menu(int command) {
  SendMessageW(window_->hwnd(), WM_COMMAND, MAKEWPARAM(command, 0), 0);
  Pump();
}

}  // namespace travik::ui::testing
