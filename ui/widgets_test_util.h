// Helpers for the widgets' tests under Wine: a host window, solid test icons, a memory canvas
// whose pixels can be read back, and a message pump.
#ifndef TRAVIK_UI_WIDGETS_TEST_UTIL_H_
#define TRAVIK_UI_WIDGETS_TEST_UTIL_H_

#include <windows.h>

#include <string>

namespace travik::ui::testing {

// A top-level window that counts what reaches its own window procedure.
struct HostCounts {
  int draw_items = 0;  // WM_DRAWITEM
  int clicks = 0;      // WM_COMMAND with BN_CLICKED
};

// The one visible top-level window of the test program, made on first use and never destroyed
// (under Wine in a virtual display, hiding a top-level window costs seconds).
HWND TestDesktop();

// Creates a host window, a visible child of TestDesktop() at (0, 0); counts what reaches it.
HWND CreateHostWindow(int width, int height);
HostCounts& CountsOf(HWND host);

// A child window of `parent` of `window_class` ("Button", "Static", "Edit" ...).
HWND CreateChild(HWND parent, const wchar_t* window_class, const wchar_t* text, DWORD style, int x,
                 int y, int width, int height);

// A push button with a solid icon of `icon_size` px in `colour`, set with BM_SETIMAGE. The icon
// is not freed: a test process is short.
HWND CreateIconButton(HWND parent, const wchar_t* caption, int x, int y, int width, int height,
                      int icon_size, COLORREF colour, DWORD extra_style = 0);

// A fully opaque icon of one colour.
HICON MakeSolidIcon(int size, COLORREF colour);

// Runs the message loop for `milliseconds`.
void PumpMessages(int milliseconds);

// A 32-bit top-down bitmap selected into a memory device context.
class Canvas {
 public:
  Canvas(int width, int height);
  ~Canvas();
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  HDC dc() const { return dc_; }
  int width() const { return width_; }
  int height() const { return height_; }
  COLORREF Pixel(int x, int y) const;
  void Fill(COLORREF colour);
  // Writes the pixels as a 24-bit BMP (for looking at them).
  bool SaveBmp(const std::string& path) const;

 private:
  int width_;
  int height_;
  HDC dc_;
  HBITMAP bitmap_;
  HGDIOBJ old_;
  unsigned* bits_ = nullptr;
};

// Bounding box of the pixels for which `match` holds; empty (right < left) when none.
template <class Match>
RECT FindPixels(const Canvas& canvas, Match match) {
  RECT box = {canvas.width(), canvas.height(), -1, -1};
  for (int y = 0; y < canvas.height(); ++y) {
    for (int x = 0; x < canvas.width(); ++x) {
      if (!match(canvas.Pixel(x, y))) continue;
      if (x < box.left) box.left = x;
      if (y < box.top) box.top = y;
      if (x > box.right) box.right = x;
      if (y > box.bottom) box.bottom = y;
    }
  }
  return box;
}

}  // namespace travik::ui::testing

#endif  // TRAVIK_UI_WIDGETS_TEST_UTIL_H_
