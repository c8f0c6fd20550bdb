#include "ui/icon_button.h"

#include <uxtheme.h>
#include <vssym32.h>

#include <cwchar>
#include <string>

namespace travik::ui {
namespace {

constexpr DWORD kHoverTimeMs = 50;
constexpr int kIconCaptionGap = 5;
constexpr int kUseSystemColour = -1;

// The window that most recently asked for mouse tracking; cleared when the mouse leaves it.
HWND g_tracked_window = nullptr;

int GetIntProp(HWND window, const wchar_t* name) {
  return static_cast<int>(reinterpret_cast<INT_PTR>(GetPropW(window, name)));
}

void SetIntProp(HWND window, const wchar_t* name, int value) {
  SetPropW(window, name, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(value)));
}

// Every change repaints, even to the same state: the caller may have drawn over the button.
void SetDrawState(HWND button, int state) {
  SetIntProp(button, kDrawStateProp, state);
  InvalidateRect(button, nullptr, FALSE);
}

// Half of a difference, truncated toward zero as the layout of the caption expects.
int Centre(int outer, int inner) { return static_cast<int>((outer - inner) / 2.0); }

// The visual-styles functions, loaded when present; without them the classic frame is drawn.
struct ThemeFunctions {
  decltype(&OpenThemeData) open = nullptr;
  decltype(&DrawThemeBackground) draw = nullptr;
  decltype(&CloseThemeData) close = nullptr;
};

const ThemeFunctions& Theme() {
  static const ThemeFunctions functions = [] {
    ThemeFunctions f;
    if (HMODULE module = LoadLibraryW(L"uxtheme.dll")) {
      f.open = reinterpret_cast<decltype(f.open)>(
          reinterpret_cast<void*>(GetProcAddress(module, "OpenThemeData")));
      f.draw = reinterpret_cast<decltype(f.draw)>(
          reinterpret_cast<void*>(GetProcAddress(module, "DrawThemeBackground")));
      f.close = reinterpret_cast<decltype(f.close)>(
          reinterpret_cast<void*>(GetProcAddress(module, "CloseThemeData")));
      if (!f.open || !f.draw || !f.close) f = ThemeFunctions();
    }
    return f;
  }();
  return functions;
}

void DrawBackground(HWND button, HDC dc, const RECT& rect, int state) {
  const ThemeFunctions& theme = Theme();
  if (HTHEME handle = theme.open ? theme.open(button, L"BUTTON") : nullptr) {
    static constexpr int kThemeState[] = {PBS_NORMAL, PBS_DEFAULTED, PBS_HOT, PBS_PRESSED,
                                          PBS_DISABLED};
    int part_state = state >= 0 && state <= 4 ? kThemeState[state] : PBS_NORMAL;
    theme.draw(handle, dc, BP_PUSHBUTTON, part_state, &rect, nullptr);
    theme.close(handle);
    return;
  }
  static constexpr UINT kClassicState[] = {0, DFCS_HOT, DFCS_HOT, DFCS_PUSHED, DFCS_INACTIVE};
  UINT extra = state >= 0 && state <= 4 ? kClassicState[state] : 0;
  RECT frame = rect;
  DrawFrameControl(dc, &frame, DFC_BUTTON, DFCS_BUTTONPUSH | extra);
}

// Size of an icon: the size of its colour bitmap (the mask's upper half for a monochrome one).
SIZE IconSize(HICON icon) {
  SIZE size = {0, 0};
  ICONINFO info = {};
  if (!GetIconInfo(icon, &info)) return size;
  BITMAP bitmap = {};
  if (info.hbmColor && GetObjectW(info.hbmColor, sizeof bitmap, &bitmap)) {
    size = {bitmap.bmWidth, bitmap.bmHeight};
  } else if (info.hbmMask && GetObjectW(info.hbmMask, sizeof bitmap, &bitmap)) {
    size = {bitmap.bmWidth, bitmap.bmHeight / 2};
  }
  if (info.hbmColor) DeleteObject(info.hbmColor);
  if (info.hbmMask) DeleteObject(info.hbmMask);
  return size;
}

// A memory device context with a bitmap of the target's kind; everything is restored and freed
// when it goes out of scope.
class OffscreenSurface {
 public:
  OffscreenSurface(HDC target, int width, int height)
      : dc_(CreateCompatibleDC(target)), bitmap_(CreateCompatibleBitmap(target, width, height)) {
    old_bitmap_ = SelectObject(dc_, bitmap_);
  }
  ~OffscreenSurface() {
    if (old_font_) SelectObject(dc_, old_font_);
    SelectObject(dc_, old_bitmap_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  OffscreenSurface(const OffscreenSurface&) = delete;
  OffscreenSurface& operator=(const OffscreenSurface&) = delete;

  HDC dc() const { return dc_; }
  void SelectFont(HFONT font) { old_font_ = SelectObject(dc_, font); }

 private:
  HDC dc_;
  HBITMAP bitmap_;
  HGDIOBJ old_bitmap_ = nullptr;
  HGDIOBJ old_font_ = nullptr;
};

// The button's own device context, taken only when the caller gave none.
class ButtonDc {
 public:
  ButtonDc(HWND button, HDC given)
      : button_(button), dc_(given ? given : GetDC(button)), owned_(!given) {}
  ~ButtonDc() {
    if (owned_ && dc_) ReleaseDC(button_, dc_);
  }
  ButtonDc(const ButtonDc&) = delete;
  ButtonDc& operator=(const ButtonDc&) = delete;
  HDC get() const { return dc_; }

 private:
  HWND button_;
  HDC dc_;
  bool owned_;
};

std::wstring WindowText(HWND window) {
  int length = GetWindowTextLengthW(window);
  if (length <= 0) return {};
  std::wstring text(length + 1, L'\0');
  text.resize(GetWindowTextW(window, text.data(), length + 1));
  return text;
}

LRESULT CALLBACK IconButtonProc(HWND button, UINT message, WPARAM wparam, LPARAM lparam) {
  auto previous = reinterpret_cast<WNDPROC>(GetPropW(button, kButtonIconProcProp));
  auto pass_on = [&] { return CallWindowProcW(previous, button, message, wparam, lparam); };
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(button, &paint);
      PaintIconButton(button, dc);
      EndPaint(button, &paint);
      return 1;
    }
    case WM_MOUSEMOVE: {
      LRESULT result = pass_on();
      if (g_tracked_window != button) {
        g_tracked_window = button;
        TRACKMOUSEEVENT track = {sizeof track, TME_HOVER | TME_LEAVE, button, kHoverTimeMs};
        TrackMouseEvent(&track);
      }
      return result;
    }
    case WM_MOUSEHOVER: {
      LRESULT result = pass_on();
      SetDrawState(button, kDrawHot);
      return result;
    }
    case WM_MOUSELEAVE: {
      g_tracked_window = nullptr;
      LRESULT result = pass_on();
      SetDrawState(button, kDrawNormal);
      return result;
    }
    case WM_ENABLE: {
      LRESULT result = pass_on();
      SetDrawState(button, wparam ? kDrawNormal : kDrawDisabled);
      return result;
    }
    case WM_LBUTTONDOWN: {
      LRESULT result = pass_on();
      SetDrawState(button, kDrawPressed);
      return result;
    }
    case WM_LBUTTONUP: {
      LRESULT result = pass_on();
      SetDrawState(button, GetDrawState(button) == kDrawPressed ? kDrawHot : kDrawNormal);
      return result;
    }
    default:
      return pass_on();
  }
}

LRESULT CALLBACK IconButtonParentProc(HWND parent, UINT message, WPARAM wparam, LPARAM lparam) {
  auto previous = reinterpret_cast<WNDPROC>(GetPropW(parent, kButtonIconParentProcProp));
  if (message == WM_DRAWITEM && lparam) {
    DRAWITEMSTRUCT item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lparam);
    // Menu items carry a menu handle here, never a window.
    if (item.CtlType == ODT_BUTTON && GetPropW(item.hwndItem, kButtonIconProcProp)) {
      PaintIconButton(item.hwndItem, item.hDC);
      return TRUE;
    }
  }
  return CallWindowProcW(previous, parent, message, wparam, lparam);
}

void MakeIconButton(HWND button) {
  if (!GetPropW(button, kButtonIconProcProp)) {
    LONG_PTR previous =
        SetWindowLongPtrW(button, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&IconButtonProc));
    SetPropW(button, kButtonIconProcProp, reinterpret_cast<HANDLE>(previous));
    LONG style = GetWindowLongW(button, GWL_STYLE);
    if ((style | BS_OWNERDRAW) != style) SetWindowLongW(button, GWL_STYLE, style | BS_OWNERDRAW);
    SetIntProp(button, kButtonIconTextColor1Prop, kUseSystemColour);
    SetIntProp(button, kButtonIconTextColor2Prop, kUseSystemColour);
    if (!IsWindowEnabled(button)) SetDrawState(button, kDrawDisabled);
  }
  HWND parent = GetParent(button);
  if (parent && !GetPropW(parent, kButtonIconParentProcProp)) {
    LONG_PTR previous =
        SetWindowLongPtrW(parent, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&IconButtonParentProc));
    SetPropW(parent, kButtonIconParentProcProp, reinterpret_cast<HANDLE>(previous));
  }
}

}  // namespace

HFONT ButtonFont() {
  static const HFONT font =
      CreateFontW(12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, GB2312_CHARSET, OUT_DEFAULT_PRECIS,
                  CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, L"宋体");
  return font;
}

int GetDrawState(HWND button) { return GetIntProp(button, kDrawStateProp); }

void SetupIconButtons(HWND window) {
  if (!window) return;
  wchar_t class_name[256] = {};
  GetClassNameW(window, class_name, 256);
  if (std::wcscmp(class_name, L"Button") == 0 &&
      SendMessageW(window, BM_GETIMAGE, IMAGE_ICON, 0) != 0) {
    MakeIconButton(window);
    InvalidateRect(window, nullptr, FALSE);
  }
  for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    SetupIconButtons(child);
  }
}

void PaintIconButton(HWND button, HDC dc) {
  ButtonDc target(button, dc);
  if (!target.get()) return;
  RECT client = {};
  GetClientRect(button, &client);
  const int width = client.right - client.left;
  const int height = client.bottom - client.top;

  OffscreenSurface surface(target.get(), width, height);
  HDC mem = surface.dc();
  HFONT font = reinterpret_cast<HFONT>(SendMessageW(button, WM_GETFONT, 0, 0));
  surface.SelectFont(font ? font : ButtonFont());
  SetBkMode(mem, TRANSPARENT);
  FillRect(mem, &client, GetSysColorBrush(COLOR_BTNFACE));

  const int state = GetDrawState(button);
  DrawBackground(button, mem, client, state);

  const std::wstring caption = WindowText(button);
  int text_width = 0;
  int text_height = 0;
  int x = 0;
  if (!caption.empty()) {
    RECT measured = {0, 0, 0, 0};
    DrawTextW(mem, caption.c_str(), static_cast<int>(caption.size()), &measured,
              DT_SINGLELINE | DT_CALCRECT);
    text_width = measured.right - measured.left;
    text_height = measured.bottom - measured.top;
    x = Centre(width, text_width);
  }

  if (auto icon = reinterpret_cast<HICON>(SendMessageW(button, BM_GETIMAGE, IMAGE_ICON, 0))) {
    const SIZE icon_size = IconSize(icon);
    x = Centre(width, text_width + icon_size.cx + kIconCaptionGap);
    const int icon_y = Centre(height, icon_size.cy);
    if (state == kDrawDisabled) {
      DrawStateW(mem, nullptr, nullptr, reinterpret_cast<LPARAM>(icon), 0, x, icon_y, icon_size.cx,
                 icon_size.cy, DST_ICON | DSS_DISABLED);
    } else {
      const int offset = state == kDrawPressed ? 1 : 0;
      DrawIconEx(mem, x + offset, icon_y + offset, icon, icon_size.cx, icon_size.cy, 0, nullptr,
                 DI_NORMAL);
    }
    x += icon_size.cx + kIconCaptionGap;
  }

  if (!caption.empty()) {
    const int colour = GetIntProp(
        button, state == kDrawDisabled ? kButtonIconTextColor2Prop : kButtonIconTextColor1Prop);
    int text_y = Centre(height, text_height);
    const auto text = reinterpret_cast<LPARAM>(caption.c_str());
    const auto length = static_cast<WPARAM>(caption.size());
    if (state == kDrawDisabled && colour == kUseSystemColour) {
      DrawStateW(mem, nullptr, nullptr, text, length, x, text_y, text_width, text_height,
                 DST_PREFIXTEXT | DSS_DISABLED);
    } else {
      SetTextColor(mem, colour == kUseSystemColour ? GetSysColor(COLOR_BTNTEXT)
                                                   : static_cast<COLORREF>(colour));
      if (state == kDrawPressed) {
        ++x;
        ++text_y;
      }
      DrawStateW(mem, nullptr, nullptr, text, length, x, text_y, text_width, text_height,
                 DST_PREFIXTEXT | DSS_NORMAL);
    }
  }

  BitBlt(target.get(), 0, 0, width, height, mem, 0, 0, SRCCOPY);
}

}  // namespace travik::ui
