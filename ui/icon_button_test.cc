#include "ui/icon_button.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "ui/widgets_test_util.h"

namespace travik::ui {
namespace {

using testing::CountsOf;
using testing::CreateChild;
using testing::CreateHostWindow;
using testing::CreateIconButton;
using testing::PumpMessages;

constexpr COLORREF kIconBlue = RGB(0, 0, 255);

LONG_PTR WndProcOf(HWND window) { return GetWindowLongPtrW(window, GWLP_WNDPROC); }
HANDLE Prop(HWND window, const wchar_t* name) { return GetPropW(window, name); }
int IntProp(HWND window, const wchar_t* name) {
  return static_cast<int>(reinterpret_cast<INT_PTR>(GetPropW(window, name)));
}

// Everything about a window that the set-up may change.
struct WindowSnapshot {
  LONG_PTR proc;
  LONG style;
  HANDLE button_proc, colour1, colour2, state, parent_proc;
  bool operator==(const WindowSnapshot& o) const {
    return proc == o.proc && style == o.style && button_proc == o.button_proc &&
           colour1 == o.colour1 && colour2 == o.colour2 && state == o.state &&
           parent_proc == o.parent_proc;
  }
};

WindowSnapshot Snapshot(HWND w) {
  return {WndProcOf(w),
          GetWindowLongW(w, GWL_STYLE),
          Prop(w, kButtonIconProcProp),
          Prop(w, kButtonIconTextColor1Prop),
          Prop(w, kButtonIconTextColor2Prop),
          Prop(w, kDrawStateProp),
          Prop(w, kButtonIconParentProcProp)};
}

bool HasNoIconButtonProps(HWND w) {
  return !Prop(w, kButtonIconProcProp) && !Prop(w, kButtonIconTextColor1Prop) &&
         !Prop(w, kButtonIconTextColor2Prop) && !Prop(w, kDrawStateProp) &&
         !Prop(w, kButtonIconParentProcProp);
}

class IconButtonTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host_ = CreateHostWindow(400, 300);
    ASSERT_NE(host_, nullptr);
  }
  void TearDown() override { DestroyWindow(host_); }
  HWND host_ = nullptr;
};

TEST_F(IconButtonTest, SetupTurnsIconButtonsOnceAndHooksEachParentOnce) {
  // host: two icon buttons, an edit box, and a static panel holding an icon button and a plain
  // button; inside the plain button (no icon) sits one more icon button.
  HWND a = CreateIconButton(host_, L"A", 10, 10, 80, 30, 16, kIconBlue);
  HWND b = CreateIconButton(host_, L"B", 100, 10, 80, 30, 16, kIconBlue, BS_DEFPUSHBUTTON);
  HWND edit = CreateChild(host_, L"Edit", L"text", WS_BORDER, 10, 50, 80, 20);
  HWND panel = CreateChild(host_, L"Static", L"", 0, 10, 80, 300, 150);
  HWND c = CreateIconButton(panel, L"C", 0, 0, 80, 30, 16, kIconBlue);
  HWND plain = CreateChild(panel, L"Button", L"plain", BS_PUSHBUTTON, 0, 40, 200, 100);
  HWND nested = CreateIconButton(plain, L"N", 5, 5, 80, 30, 16, kIconBlue);

  const LONG_PTR host_proc = WndProcOf(host_);
  const LONG_PTR panel_proc = WndProcOf(panel);
  const LONG_PTR plain_proc = WndProcOf(plain);
  const LONG_PTR a_proc = WndProcOf(a);
  const LONG a_style = GetWindowLongW(a, GWL_STYLE);
  const LONG b_style = GetWindowLongW(b, GWL_STYLE);
  const WindowSnapshot edit_before = Snapshot(edit);
  const LONG plain_style = GetWindowLongW(plain, GWL_STYLE);

  SetupIconButtons(host_);

  for (HWND button : {a, b, c, nested}) {
    SCOPED_TRACE(::testing::Message() << "button " << button);
    EXPECT_NE(Prop(button, kButtonIconProcProp), nullptr);
    EXPECT_EQ(IntProp(button, kButtonIconTextColor1Prop), -1);
    EXPECT_EQ(IntProp(button, kButtonIconTextColor2Prop), -1);
    EXPECT_EQ(GetDrawState(button), kDrawNormal);
    EXPECT_EQ(GetWindowLongW(button, GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
  }
  // The previous procedure is kept; the style only gains the owner-drawn bits.
  EXPECT_EQ(reinterpret_cast<LONG_PTR>(Prop(a, kButtonIconProcProp)), a_proc);
  EXPECT_NE(WndProcOf(a), a_proc);
  EXPECT_EQ(GetWindowLongW(a, GWL_STYLE), a_style | BS_OWNERDRAW);
  EXPECT_EQ(GetWindowLongW(b, GWL_STYLE), b_style | BS_OWNERDRAW);

  // Each parent of an icon button is hooked, keeping its own procedure.
  EXPECT_EQ(reinterpret_cast<LONG_PTR>(Prop(host_, kButtonIconParentProcProp)), host_proc);
  EXPECT_EQ(reinterpret_cast<LONG_PTR>(Prop(panel, kButtonIconParentProcProp)), panel_proc);
  EXPECT_EQ(reinterpret_cast<LONG_PTR>(Prop(plain, kButtonIconParentProcProp)), plain_proc);
  EXPECT_NE(WndProcOf(host_), host_proc);
  EXPECT_EQ(WndProcOf(host_), WndProcOf(panel));  // one parent procedure for all

  // The plain button and the edit box are left alone (the plain button only got its parent
  // hook, as the parent of an icon button).
  EXPECT_EQ(Snapshot(edit), edit_before);
  EXPECT_TRUE(HasNoIconButtonProps(edit));
  EXPECT_EQ(GetWindowLongW(plain, GWL_STYLE), plain_style);
  EXPECT_EQ(Prop(plain, kButtonIconProcProp), nullptr);
  EXPECT_TRUE(HasNoIconButtonProps(CreateChild(host_, L"Static", L"late", 0, 0, 0, 1, 1)));

  // A second set-up changes nothing at all.
  const HWND all[] = {host_, a, b, edit, panel, c, plain, nested};
  WindowSnapshot before[8];
  for (int i = 0; i < 8; ++i) before[i] = Snapshot(all[i]);
  SetupIconButtons(host_);
  SetupIconButtons(panel);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(Snapshot(all[i]), before[i]) << "window " << i;

  // Hooked once: a message to the host reaches its own procedure exactly once, and a click on
  // an icon button is still reported to its parent.
  DRAWITEMSTRUCT item = {};
  item.CtlType = ODT_BUTTON;
  item.hwndItem = edit;  // not an icon button: passed on
  CountsOf(host_).draw_items = 0;
  SendMessageW(host_, WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&item));
  EXPECT_EQ(CountsOf(host_).draw_items, 1);
  CountsOf(host_).clicks = 0;
  SendMessageW(a, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  SendMessageW(a, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  EXPECT_EQ(CountsOf(host_).clicks, 1);
}

TEST_F(IconButtonTest, LeavesButtonsWithoutIconsAndOtherClassesAlone) {
  HWND no_icon = CreateChild(host_, L"Button", L"none", BS_PUSHBUTTON, 10, 10, 80, 30);
  HWND check = CreateChild(host_, L"Static", L"", SS_ICON, 10, 50, 32, 32);
  SendMessageW(check, STM_SETICON, reinterpret_cast<WPARAM>(testing::MakeSolidIcon(16, 0)), 0);
  const WindowSnapshot no_icon_before = Snapshot(no_icon);
  const WindowSnapshot check_before = Snapshot(check);
  const WindowSnapshot host_before = Snapshot(host_);
  SetupIconButtons(host_);
  EXPECT_EQ(Snapshot(no_icon), no_icon_before);
  EXPECT_EQ(Snapshot(check), check_before);
  EXPECT_EQ(Snapshot(host_), host_before);  // no icon button below: not hooked
  EXPECT_TRUE(HasNoIconButtonProps(host_));
  SetupIconButtons(nullptr);  // nothing to do, and no crash
}

TEST_F(IconButtonTest, DisabledBeforeSetupStartsInStateFourAndFollowsEnabling) {
  HWND disabled = CreateIconButton(host_, L"D", 10, 10, 80, 30, 16, kIconBlue, WS_DISABLED);
  HWND enabled = CreateIconButton(host_, L"E", 100, 10, 80, 30, 16, kIconBlue);
  SetupIconButtons(host_);
  EXPECT_EQ(GetDrawState(disabled), kDrawDisabled);
  EXPECT_EQ(GetDrawState(enabled), kDrawNormal);
  EXPECT_EQ(Prop(enabled, kDrawStateProp), nullptr);  // absent reads as normal
  EnableWindow(disabled, TRUE);
  EXPECT_EQ(GetDrawState(disabled), kDrawNormal);
  EnableWindow(enabled, FALSE);
  EXPECT_EQ(GetDrawState(enabled), kDrawDisabled);
  EnableWindow(enabled, TRUE);
  EXPECT_EQ(GetDrawState(enabled), kDrawNormal);
}

TEST_F(IconButtonTest, StateFollowsHoverPressReleaseAndLeave) {
  HWND button = CreateIconButton(host_, L"S", 10, 10, 80, 30, 16, kIconBlue);
  SetupIconButtons(host_);
  UpdateWindow(host_);
  // Sends one message and tells the state afterwards, and whether the button was invalidated.
  auto send = [&](UINT message, WPARAM wparam = 0) {
    ValidateRect(button, nullptr);
    SendMessageW(button, message, wparam, MAKELPARAM(5, 5));
    RECT update;
    return std::make_pair(GetDrawState(button), GetUpdateRect(button, &update, FALSE) != 0);
  };
  using Step = std::pair<int, bool>;
  EXPECT_EQ(send(WM_MOUSEMOVE).first, kDrawNormal);
  EXPECT_EQ(send(WM_MOUSEHOVER), Step(kDrawHot, true));
  EXPECT_EQ(send(WM_MOUSEHOVER), Step(kDrawHot, true));  // same state, still repainted
  EXPECT_EQ(send(WM_LBUTTONDOWN, MK_LBUTTON), Step(kDrawPressed, true));
  EXPECT_EQ(send(WM_LBUTTONUP), Step(kDrawHot, true));
  EXPECT_EQ(send(WM_MOUSELEAVE), Step(kDrawNormal, true));
  // A press without a hover, released: hot.
  EXPECT_EQ(send(WM_LBUTTONDOWN, MK_LBUTTON).first, kDrawPressed);
  EXPECT_EQ(send(WM_LBUTTONUP).first, kDrawHot);
  // Leaving while pressed gives normal; a release that follows stays normal.
  EXPECT_EQ(send(WM_LBUTTONDOWN, MK_LBUTTON).first, kDrawPressed);
  EXPECT_EQ(send(WM_MOUSELEAVE).first, kDrawNormal);
  EXPECT_EQ(send(WM_LBUTTONUP).first, kDrawNormal);
  // Messages the button does not handle leave the state alone.
  EXPECT_EQ(send(WM_MOUSEHOVER).first, kDrawHot);
  EXPECT_EQ(send(WM_SETFOCUS).first, kDrawHot);
  EXPECT_EQ(send(WM_KILLFOCUS).first, kDrawHot);
}

TEST_F(IconButtonTest, MouseTrackingHoversAfterFiftyMillisecondsAndLeaves) {
  HWND button = CreateIconButton(host_, L"T", 10, 10, 120, 40, 16, kIconBlue);
  SetupIconButtons(host_);
  SetForegroundWindow(testing::TestDesktop());
  PumpMessages(100);
  RECT r;
  GetWindowRect(button, &r);
  // The first move over the button asks for tracking; no message runs before the query, so the
  // hover time has not been used up yet.
  SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  SendMessageW(button, WM_MOUSEMOVE, 0, MAKELPARAM(60, 20));
  TRACKMOUSEEVENT query = {sizeof query, TME_QUERY, nullptr, 0};
  ASSERT_TRUE(TrackMouseEvent(&query));
  EXPECT_EQ(query.hwndTrack, button);
  EXPECT_EQ(query.dwFlags & (TME_HOVER | TME_LEAVE), DWORD{TME_HOVER | TME_LEAVE});
  EXPECT_EQ(query.dwHoverTime, 50u);
  PumpMessages(400);
  EXPECT_EQ(GetDrawState(button), kDrawHot);
  SetCursorPos(r.right + 200, r.bottom + 200);
  PumpMessages(400);
  EXPECT_EQ(GetDrawState(button), kDrawNormal);
  SetCursorPos(0, 0);
}

TEST(ButtonFont, IsSimSunTwelvePixelsGb2312AndMadeOnce) {
  HFONT font = ButtonFont();
  ASSERT_NE(font, nullptr);
  EXPECT_EQ(ButtonFont(), font);
  LOGFONTW lf = {};
  ASSERT_EQ(GetObjectW(font, sizeof lf, &lf), static_cast<int>(sizeof lf));
  EXPECT_EQ(lf.lfHeight, 12);
  EXPECT_EQ(lf.lfWidth, 0);
  EXPECT_EQ(lf.lfWeight, 400);
  EXPECT_FALSE(lf.lfItalic || lf.lfUnderline || lf.lfStrikeOut);
  EXPECT_EQ(lf.lfCharSet, 134);
  EXPECT_EQ(std::wstring(lf.lfFaceName), L"宋体");
}

}  // namespace
}  // namespace travik::ui
