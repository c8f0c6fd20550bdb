#include <windows.h>
// After windows.h, which it needs.
#include <gtest/gtest.h>
#include <uxtheme.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "ui/icon_button.h"
#include "ui/widgets_test_util.h"

namespace travik::ui {
namespace {

using testing::Canvas;
using testing::CreateHostWindow;
using testing::CreateIconButton;
using testing::FindPixels;

constexpr COLORREF kIconBlue = RGB(0, 0, 255);
constexpr COLORREF kCaptionRed = RGB(255, 0, 0);

bool IsIconBlue(COLORREF c) { return c == kIconBlue; }
// Ink of red or green text, smoothed or not, over any grey or white background: the amount by
// which one channel stands out depends only on the glyph's coverage of the pixel.
bool IsRed(COLORREF c) { return GetRValue(c) - std::max(GetGValue(c), GetBValue(c)) > 60; }
bool IsGreen(COLORREF c) { return GetGValue(c) - std::max(GetRValue(c), GetBValue(c)) > 40; }
bool IsEmpty(const RECT& r) { return r.right < r.left; }

std::string Describe(const RECT& r) {
  return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + ")-(" +
         std::to_string(r.right) + "," + std::to_string(r.bottom) + ")";
}

// Inclusive pixel box of a w x h rectangle at (x, y), clipped to the canvas.
RECT Box(int x, int y, int w, int h, int canvas_w, int canvas_h) {
  RECT r = {std::max(x, 0), std::max(y, 0), std::min(x + w, canvas_w) - 1,
            std::min(y + h, canvas_h) - 1};
  if (r.right < r.left || r.bottom < r.top) r = {canvas_w, canvas_h, -1, -1};
  return r;
}

bool Inside(const RECT& inner, const RECT& outer) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
         inner.bottom <= outer.bottom;
}

void SetState(HWND button, int state) {
  SetPropW(button, kDrawStateProp, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(state)));
}

void SetColourProp(HWND button, const wchar_t* name, COLORREF colour) {
  SetPropW(button, name, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(colour)));
}

// The caption's one-line size in the font the button paints with.
SIZE MeasureCaption(HWND button, const std::wstring& caption) {
  HFONT font = reinterpret_cast<HFONT>(SendMessageW(button, WM_GETFONT, 0, 0));
  Canvas canvas(4, 4);
  SelectObject(canvas.dc(), font ? font : ButtonFont());
  RECT r = {0, 0, 0, 0};
  DrawTextW(canvas.dc(), caption.c_str(), static_cast<int>(caption.size()), &r,
            DT_SINGLELINE | DT_CALCRECT);
  return {r.right - r.left, r.bottom - r.top};
}

// The layout of an icon button, step by step as the painting rules state them: the caption
// centred alone; then icon, gap of 5 and caption centred as a pair; icon centred vertically,
// caption too; pressed moves both one pixel right and down. Divisions truncate toward zero.
struct ModelLayout {
  POINT icon;
  POINT caption;
};

int Truncate(double v) { return static_cast<int>(v); }

ModelLayout Model(int w, int h, int tw, int th, int iw, int ih, bool has_icon, int state) {
  ModelLayout out = {};
  int x = tw > 0 ? Truncate((w - tw) / 2.0) : 0;
  if (has_icon) {
    x = Truncate((w - (tw + iw + 5)) / 2.0);
    const int iy = Truncate((h - ih) / 2.0);
    out.icon = state == 3 ? POINT{x + 1, iy + 1} : POINT{x, iy};
    x = x + iw + 5;
  }
  int ty = Truncate((h - th) / 2.0);
  if (state == 3) {
    ++x;
    ++ty;
  }
  out.caption = {x, ty};
  return out;
}

// Red ink of `caption` drawn alone at (x, y) in the button's font over the button face colour.
RECT ReferenceInk(HWND button, const std::wstring& caption, int x, int y, int w, int h) {
  Canvas canvas(w, h);
  canvas.Fill(GetSysColor(COLOR_BTNFACE));
  HFONT font = reinterpret_cast<HFONT>(SendMessageW(button, WM_GETFONT, 0, 0));
  SelectObject(canvas.dc(), font ? font : ButtonFont());
  SetBkMode(canvas.dc(), TRANSPARENT);
  SetTextColor(canvas.dc(), kCaptionRed);
  const SIZE size = MeasureCaption(button, caption);
  RECT r = {x, y, x + size.cx, y + size.cy};  // clipped to its measured box
  DrawTextW(canvas.dc(), caption.c_str(), static_cast<int>(caption.size()), &r, DT_SINGLELINE);
  return FindPixels(canvas, IsRed);
}

class PaintIconButtonTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host_ = CreateHostWindow(400, 300);
    ASSERT_NE(host_, nullptr);
  }
  void TearDown() override { DestroyWindow(host_); }

  // An icon button with a solid blue icon and a red caption. Unless `themed`, in the classic
  // look, whose face is the plain button face colour in every state, so that the caption's
  // smoothed edges can be compared pixel by pixel with a reference drawn over that colour.
  HWND MakeButton(const wchar_t* caption, int w, int h, int icon_size, bool themed = false) {
    HWND button = CreateIconButton(host_, caption, 10, 10, w, h, icon_size, kIconBlue);
    if (!themed) SetWindowTheme(button, L" ", L" ");
    SetupIconButtons(button);
    SetColourProp(button, kButtonIconTextColor1Prop, kCaptionRed);
    return button;
  }

  HWND host_ = nullptr;
};

TEST_F(PaintIconButtonTest, DrawsTheEightyByThirtyExampleAtItsPositions) {
  // 80 x 30, a 16 x 16 icon and a caption 48 px wide and 11 or 12 px high (both centre at 9).
  // The real caption first; digits of equal width where the display's font makes it narrower.
  HWND button = nullptr;
  std::wstring caption;
  std::string tried;
  for (const wchar_t* candidate : {L"添加文件", L"00000000", L"MMMM", L"000000"}) {
    if (button) DestroyWindow(button);
    button = MakeButton(candidate, 80, 30, 16);
    SIZE size = MeasureCaption(button, candidate);
    tried += " " + std::to_string(size.cx) + "x" + std::to_string(size.cy);
    if (size.cx == 48 && (size.cy == 12 || size.cy == 11)) {
      caption = candidate;
      break;
    }
  }
  ASSERT_FALSE(caption.empty()) << "no caption measures 48 px here:" << tried;

  Canvas canvas(80, 30);
  PaintIconButton(button, canvas.dc());
  const RECT icon = FindPixels(canvas, IsIconBlue);
  const RECT ink = FindPixels(canvas, IsRed);
  EXPECT_EQ(Describe(icon), Describe({5, 7, 20, 22}));
  EXPECT_EQ(Describe(ink), Describe(ReferenceInk(button, caption, 26, 9, 80, 30)));
  EXPECT_TRUE(Inside(ink, {26, 9, 26 + 47, 9 + 11})) << Describe(ink);

  for (int state : {kDrawHot, kDrawDefault}) {
    SetState(button, state);
    PaintIconButton(button, canvas.dc());
    EXPECT_EQ(Describe(FindPixels(canvas, IsIconBlue)), Describe(icon)) << "state " << state;
    EXPECT_EQ(Describe(FindPixels(canvas, IsRed)), Describe(ink)) << "state " << state;
  }

  SetState(button, kDrawPressed);
  PaintIconButton(button, canvas.dc());
  EXPECT_EQ(Describe(FindPixels(canvas, IsIconBlue)), Describe({6, 8, 21, 23}));
  EXPECT_EQ(Describe(FindPixels(canvas, IsRed)),
            Describe({ink.left + 1, ink.top + 1, ink.right + 1, ink.bottom + 1}));

  // Disabled: a grey icon and embossed caption in the system's colours, not the button's.
  SetState(button, kDrawDisabled);
  PaintIconButton(button, canvas.dc());
  EXPECT_TRUE(IsEmpty(FindPixels(canvas, IsIconBlue)));
  EXPECT_TRUE(IsEmpty(FindPixels(canvas, IsRed)));
  const COLORREF shadow = GetSysColor(COLOR_3DSHADOW);
  const COLORREF light = GetSysColor(COLOR_3DHILIGHT);
  const RECT grey_icon = FindPixels(canvas, [&](COLORREF c) { return c == shadow; });
  EXPECT_FALSE(IsEmpty(grey_icon));
  int embossed_light = 0;
  for (int y = 9; y < 21; ++y) {
    for (int x = 27; x < 76; ++x) embossed_light += canvas.Pixel(x, y) == light;
  }
  EXPECT_GT(embossed_light, 10);

  // Disabled with a caption colour of its own: that colour, at the unpressed position.
  SetColourProp(button, kButtonIconTextColor2Prop, RGB(0, 160, 0));
  PaintIconButton(button, canvas.dc());
  EXPECT_EQ(Describe(FindPixels(canvas, IsGreen)), Describe(ink));
}

TEST_F(PaintIconButtonTest, MatchesTheLayoutModelOnRandomButtons) {
  const unsigned seed = 20240607;
  std::mt19937 rng(seed);
  const wchar_t* captions[] = {
      L"",         L"浏览", L"添加文件", L"开始分割",
      L"合并文件", L"x",    L"Browse",   L"A much longer caption than the button"};
  const int icon_sizes[] = {8, 16, 24, 32, 48};
  int exact_comparisons = 0;
  for (int round = 0; round < 150; ++round) {
    const int w = std::uniform_int_distribution<int>(20, 200)(rng);
    const int h = std::uniform_int_distribution<int>(12, 64)(rng);
    const int iw = icon_sizes[rng() % 5];
    const std::wstring caption = captions[rng() % 8];
    const int state = std::vector<int>{kDrawNormal, kDrawHot, kDrawPressed}[rng() % 3];
    SCOPED_TRACE(::testing::Message() << "seed " << seed << " round " << round << " size " << w
                                      << "x" << h << " icon " << iw << " state " << state);
    HWND button = MakeButton(caption.c_str(), w, h, iw);
    SetState(button, state);
    Canvas canvas(w, h);
    PaintIconButton(button, canvas.dc());
    const SIZE text = caption.empty() ? SIZE{0, 0} : MeasureCaption(button, caption);
    const ModelLayout model = Model(w, h, text.cx, text.cy, iw, iw, true, state);
    EXPECT_EQ(Describe(FindPixels(canvas, IsIconBlue)),
              Describe(Box(model.icon.x, model.icon.y, iw, iw, w, h)));
    if (!caption.empty()) {
      const RECT ink = FindPixels(canvas, IsRed);
      const RECT expected = ReferenceInk(button, caption, model.caption.x, model.caption.y, w, h);
      // The caption is drawn within its measured box; where the box lies off the frame (whose
      // colours change the smoothing of the glyphs' edges), exactly as the reference.
      EXPECT_TRUE(IsEmpty(ink) ||
                  Inside(ink, Box(model.caption.x, model.caption.y, text.cx, text.cy, w, h)))
          << Describe(ink);
      if (model.caption.x >= 3 && model.caption.x + text.cx <= w - 3 && model.caption.y >= 3 &&
          model.caption.y + text.cy <= h - 3) {
        EXPECT_EQ(Describe(ink), Describe(expected));
        ++exact_comparisons;
      }
    }
    DestroyWindow(button);
  }
  EXPECT_GT(exact_comparisons, 40);
}

TEST_F(PaintIconButtonTest, ButtonsWithoutCaptionCentreTheIconWithItsGap) {
  HWND button = MakeButton(L"", 40, 30, 16);
  Canvas canvas(40, 30);
  PaintIconButton(button, canvas.dc());
  // x = (40 - (0 + 16 + 5)) / 2 = 9
  EXPECT_EQ(Describe(FindPixels(canvas, IsIconBlue)), Describe({9, 7, 24, 22}));
}

TEST_F(PaintIconButtonTest, AmpersandUnderlinesTheNextCharacterAndIsNotShown) {
  HWND plain = MakeButton(L"W", 80, 30, 16);
  HWND prefixed = MakeButton(L"&W", 80, 30, 16);
  EXPECT_EQ(MeasureCaption(plain, L"W").cx, MeasureCaption(prefixed, L"&W").cx);
  Canvas a(80, 30);
  Canvas b(80, 30);
  PaintIconButton(plain, a.dc());
  PaintIconButton(prefixed, b.dc());
  const RECT ink_a = FindPixels(a, IsRed);
  const RECT ink_b = FindPixels(b, IsRed);
  ASSERT_FALSE(IsEmpty(ink_a));
  // The same W at the same place, no ampersand, and a line below it.
  for (int y = ink_a.top; y <= ink_a.bottom; ++y) {
    for (int x = 0; x < 80; ++x) ASSERT_EQ(a.Pixel(x, y), b.Pixel(x, y)) << x << "," << y;
  }
  EXPECT_EQ(ink_b.top, ink_a.top);
  EXPECT_GT(ink_b.bottom, ink_a.bottom);
}

TEST_F(PaintIconButtonTest, ClassicFrameWithoutThemeDrawsHotAsDefault) {
  HWND button = MakeButton(L"浏览", 61, 23, 16, true);
  Canvas themed(61, 23);
  PaintIconButton(button, themed.dc());
  SetWindowTheme(button, L" ", L" ");  // no theme for this button: the classic frame
  Canvas normal(61, 23);
  PaintIconButton(button, normal.dc());
  auto render = [&](int state, Canvas& canvas) {
    SetState(button, state);
    PaintIconButton(button, canvas.dc());
  };
  Canvas hot(61, 23), def(61, 23), pressed(61, 23), disabled(61, 23);
  render(kDrawHot, hot);
  render(kDrawDefault, def);
  render(kDrawPressed, pressed);
  render(kDrawDisabled, disabled);
  auto differ = [](const Canvas& x, const Canvas& y) {
    for (int j = 0; j < x.height(); ++j) {
      for (int i = 0; i < x.width(); ++i) {
        if (x.Pixel(i, j) != y.Pixel(i, j)) return true;
      }
    }
    return false;
  };
  EXPECT_FALSE(differ(hot, def));
  EXPECT_TRUE(differ(normal, pressed));
  EXPECT_TRUE(differ(normal, disabled));
  // The classic pushed frame: dark top-left edge.
  EXPECT_EQ(pressed.Pixel(0, 10), GetSysColor(COLOR_3DDKSHADOW));
  if (IsThemeActive()) {
    EXPECT_TRUE(differ(themed, normal));
  }
}

TEST_F(PaintIconButtonTest, PaintsThroughTheParentsDrawItemAndItsOwnContext) {
  HWND button = MakeButton(L"合并文件", 88, 30, 16);
  Canvas canvas(88, 30);
  DRAWITEMSTRUCT item = {};
  item.CtlType = ODT_BUTTON;
  item.hwndItem = button;
  item.hDC = canvas.dc();
  item.rcItem = {0, 0, 88, 30};
  testing::CountsOf(host_).draw_items = 0;
  EXPECT_EQ(SendMessageW(host_, WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&item)), TRUE);
  EXPECT_EQ(testing::CountsOf(host_).draw_items, 0);  // handled, not passed on
  const RECT icon = FindPixels(canvas, IsIconBlue);
  EXPECT_FALSE(IsEmpty(icon));

  // No context given: the button's own. Read it back from the window.
  UpdateWindow(testing::TestDesktop());
  PaintIconButton(button, nullptr);
  Canvas screen(88, 30);
  HDC own = GetDC(button);
  BitBlt(screen.dc(), 0, 0, 88, 30, own, 0, 0, SRCCOPY);
  ReleaseDC(button, own);
  EXPECT_EQ(Describe(FindPixels(screen, IsIconBlue)), Describe(icon));
}

}  // namespace
}  // namespace travik::ui
