#include "ui/feedback_window.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "ui/widgets_test_util.h"

namespace travik::ui {
namespace {

std::wstring TextOf(HWND window) {
  wchar_t text[256] = {};
  GetWindowTextW(window, text, 256);
  return text;
}

// What the test saw while the window was open (checked from a timer inside its modal loop).
struct OpenWindowView {
  int checks = 0;
  HWND window = nullptr;
  RECT outer = {};
  RECT client = {};
  std::wstring caption;
  HWND owner = nullptr;
  bool owner_enabled = true;
  bool visible = false;
  std::wstring label_text;
  std::wstring report_text;
  bool report_read_only = false;
  std::wstring clipboard;
  RECT label = {};
  RECT picture = {};
  int windows_after_second_call = 0;
  bool second_call_returned = false;
};

OpenWindowView* g_view = nullptr;
HWND g_owner = nullptr;

RECT ChildRect(HWND window, int id) {
  RECT r = {};
  HWND child = GetDlgItem(window, id);
  if (!child) return r;
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

// Feedback windows of this process (another program may show its own meanwhile).
int CountFeedbackWindows() {
  int count = 0;
  HWND w = nullptr;
  while ((w = FindWindowExW(nullptr, w, nullptr, L"意见反馈")) != nullptr) {
    DWORD process = 0;
    GetWindowThreadProcessId(w, &process);
    count += process == GetCurrentProcessId();
  }
  return count;
}

void CALLBACK LookAtOpenWindow(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  OpenWindowView& v = *g_view;
  ++v.checks;
  v.window = FeedbackWindow();
  if (!v.window) return;
  GetWindowRect(v.window, &v.outer);
  GetClientRect(v.window, &v.client);
  v.caption = TextOf(v.window);
  v.owner = GetWindow(v.window, GW_OWNER);
  v.owner_enabled = IsWindowEnabled(g_owner) != 0;
  v.visible = IsWindowVisible(v.window) != 0;
  v.label_text = TextOf(GetDlgItem(v.window, kFeedbackLabelId));
  v.label = ChildRect(v.window, kFeedbackLabelId);
  HWND report = GetDlgItem(v.window, kFeedbackReportId);
  wchar_t report_text[1024] = {};
  GetWindowTextW(report, report_text, 1024);
  v.report_text = report_text;
  v.report_read_only = (GetWindowLongPtrW(report, GWL_STYLE) & ES_READONLY) != 0;
  SendMessageW(GetDlgItem(v.window, kFeedbackCopyId), BM_CLICK, 0, 0);
  if (OpenClipboard(nullptr)) {
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
      v.clipboard = static_cast<const wchar_t*>(GlobalLock(data));
      GlobalUnlock(data);
    }
    CloseClipboard();
  }
  v.picture = ChildRect(v.window, kFeedbackPictureId);
  // Asking again while it is open opens nothing more and returns at once.
  ShowFeedbackWindow(g_owner);
  v.second_call_returned = true;
  v.windows_after_second_call = CountFeedbackWindows();
  PostMessageW(v.window, WM_CLOSE, 0, 0);
}

// Closes whatever is open should the checks above never run, so that a fault fails the test
// instead of hanging it.
void CALLBACK Rescue(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  if (HWND w = FeedbackWindow()) PostMessageW(w, WM_CLOSE, 0, 0);
}

TEST(FeedbackWindow, OpensModallyTwiceInARowNeverTwoAtOnce) {
  g_owner = testing::TestDesktop();
  ASSERT_NE(g_owner, nullptr);
  HWND first = nullptr;
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    OpenWindowView view;
    g_view = &view;
    SetTimer(nullptr, 0, 200, LookAtOpenWindow);
    const UINT_PTR rescue = SetTimer(nullptr, 0, 10000, Rescue);
    ShowFeedbackWindow(g_owner);  // returns when the window has been closed
    KillTimer(nullptr, rescue);

    EXPECT_EQ(view.checks, 1);
    ASSERT_NE(view.window, nullptr);
    EXPECT_NE(view.window, g_owner);
    EXPECT_EQ(view.caption, L"意见反馈");
    EXPECT_EQ(view.outer.left, 50);
    EXPECT_EQ(view.outer.top, 50);
    EXPECT_EQ(view.outer.right - view.outer.left, 368);
    EXPECT_EQ(view.outer.bottom - view.outer.top, 250);
    EXPECT_TRUE(view.visible);
    EXPECT_EQ(view.owner, g_owner);
    EXPECT_FALSE(view.owner_enabled) << "the main window takes no input while it is open";
    // No made-up address: the window says there is none and what to send instead.
    EXPECT_EQ(view.label_text, kFeedbackText);
    EXPECT_EQ(view.label_text.find(L"@"), std::wstring::npos);
    EXPECT_EQ(view.report_text, FeedbackReport());
    EXPECT_EQ(view.report_text.rfind(L"软件：Travik ", 0), 0u);
    EXPECT_NE(view.report_text.find(L"系统：Windows"), std::wstring::npos);
    EXPECT_TRUE(view.report_read_only);
    EXPECT_EQ(view.clipboard, FeedbackReport()) << "复制 puts the text on the clipboard";
    EXPECT_EQ(view.label.left, 8);
    EXPECT_EQ(view.label.top, 8);
    EXPECT_EQ(view.picture.left, -3);
    EXPECT_EQ(view.picture.top, 172);
    EXPECT_GE(view.client.bottom, 212) << "the banner fits below the text";
    EXPECT_TRUE(view.second_call_returned);
    EXPECT_EQ(view.windows_after_second_call, 1);

    // Closed: gone, and the owner has its input back.
    EXPECT_EQ(FeedbackWindow(), nullptr);
    EXPECT_FALSE(IsWindow(view.window));
    EXPECT_TRUE(IsWindowEnabled(g_owner));
    EXPECT_EQ(CountFeedbackWindows(), 0);
    if (round == 0) first = view.window;
  }
  EXPECT_NE(first, nullptr);
  g_view = nullptr;
}

TEST(FeedbackWindow, EscapeClosesIt) {
  g_owner = testing::TestDesktop();
  SetTimer(nullptr, 0, 200, [](HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    if (HWND w = FeedbackWindow()) PostMessageW(w, WM_KEYDOWN, VK_ESCAPE, 0);
  });
  const UINT_PTR rescue = SetTimer(nullptr, 0, 10000, Rescue);
  const DWORD start = GetTickCount();
  ShowFeedbackWindow(g_owner);
  KillTimer(nullptr, rescue);
  EXPECT_LT(GetTickCount() - start, 9000u);
  EXPECT_TRUE(IsWindowEnabled(g_owner));
}

// Pixels of a 32-bit DIB section, top-down.
COLORREF BitmapPixel(HBITMAP bitmap, int x, int y) {
  DIBSECTION dib = {};
  if (GetObjectW(bitmap, sizeof dib, &dib) != sizeof dib) return CLR_INVALID;
  const auto* row = static_cast<const BYTE*>(dib.dsBm.bmBits) + y * dib.dsBm.bmWidthBytes;
  return RGB(row[4 * x + 2], row[4 * x + 1], row[4 * x]);
}

bool IsBlueBand(COLORREF c) {
  return GetBValue(c) > 150 && GetBValue(c) > GetRValue(c) + 40 && GetBValue(c) > GetGValue(c);
}
bool IsNearWhite(COLORREF c) {
  return GetRValue(c) > 200 && GetGValue(c) > 200 && GetBValue(c) > 200;
}

TEST(FeedbackBanner, DecodesTheJpegAndScalesItToThePictureBox) {
  // Full size: the band, the white tile behind the mark at the left, the white name.
  HBITMAP full = LoadFeedbackBanner(280, 50);
  ASSERT_NE(full, nullptr);
  BITMAP info = {};
  GetObjectW(full, sizeof info, &info);
  EXPECT_EQ(info.bmWidth, 280);
  EXPECT_EQ(info.bmHeight, 50);
  EXPECT_TRUE(IsBlueBand(BitmapPixel(full, 200, 4)));
  EXPECT_TRUE(IsBlueBand(BitmapPixel(full, 5, 45)));
  EXPECT_TRUE(IsNearWhite(BitmapPixel(full, 10, 25)));  // the tile behind the mark
  EXPECT_TRUE(IsNearWhite(BitmapPixel(full, 70, 20)));  // the stem of the T
  DeleteObject(full);

  // In the picture box: the same picture at 184/280, nothing lost to either side.
  HBITMAP box = LoadFeedbackBanner(184, 32);
  ASSERT_NE(box, nullptr);
  GetObjectW(box, sizeof info, &info);
  EXPECT_EQ(info.bmWidth, 184);
  EXPECT_EQ(info.bmHeight, 32);
  EXPECT_TRUE(IsBlueBand(BitmapPixel(box, 131, 3)));
  EXPECT_TRUE(IsBlueBand(BitmapPixel(box, 182, 30)));
  EXPECT_TRUE(IsNearWhite(BitmapPixel(box, 6, 16)));
  int white = 0;
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 184; ++x) white += IsNearWhite(BitmapPixel(box, x, y));
  }
  EXPECT_GT(white, 400);  // tile and name
  EXPECT_LT(white, 184 * 32 / 3);
  DeleteObject(box);

  EXPECT_EQ(LoadFeedbackBanner(0, 32), nullptr);
}

}  // namespace
}  // namespace travik::ui
