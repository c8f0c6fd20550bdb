#include "ui/widgets_test_util.h"

#include <cstdio>
#include <map>
#include <vector>

namespace travik::ui::testing {
namespace {

constexpr wchar_t kHostClass[] = L"TravikWidgetsTestHost";

std::map<HWND, HostCounts>& AllCounts() {
  static std::map<HWND, HostCounts> counts;
  return counts;
}

LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_DRAWITEM) {
    ++AllCounts()[window].draw_items;
    return TRUE;
  }
  if (message == WM_COMMAND && HIWORD(wparam) == BN_CLICKED) ++AllCounts()[window].clicks;
  return DefWindowProcW(window, message, wparam, lparam);
}

// A 32-bit top-down DIB section; `bits` receives its pixels (0xAARRGGBB).
HBITMAP CreateTopDownDib(int width, int height, unsigned** bits) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* pixels = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
  *bits = static_cast<unsigned*>(pixels);
  return bitmap;
}

bool RegisterHostClass() {
  static const bool registered = [] {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = HostProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    wc.lpszClassName = kHostClass;
    return RegisterClassW(&wc) != 0;
  }();
  return registered;
}

}  // namespace

HWND TestDesktop() {
  static const HWND desktop =
      RegisterHostClass()
          ? CreateWindowExW(0, kHostClass, L"widgets test", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100,
                            100, 640, 480, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr)
          : nullptr;
  return desktop;
}

HWND CreateHostWindow(int width, int height) {
  HWND desktop = TestDesktop();
  if (!desktop) return nullptr;
  HWND host = CreateWindowExW(0, kHostClass, L"host", WS_CHILD | WS_VISIBLE, 0, 0, width, height,
                              desktop, nullptr, GetModuleHandleW(nullptr), nullptr);
  AllCounts()[host] = HostCounts();
  return host;
}

HostCounts& CountsOf(HWND host) { return AllCounts()[host]; }

HWND CreateChild(HWND parent, const wchar_t* window_class, const wchar_t* text, DWORD style, int x,
                 int y, int width, int height) {
  return CreateWindowExW(0, window_class, text, WS_CHILD | WS_VISIBLE | style, x, y, width, height,
                         parent, nullptr, GetModuleHandleW(nullptr), nullptr);
}

HWND CreateIconButton(HWND parent, const wchar_t* caption, int x, int y, int width, int height,
                      int icon_size, COLORREF colour, DWORD extra_style) {
  HWND button =
      CreateChild(parent, L"Button", caption, BS_PUSHBUTTON | extra_style, x, y, width, height);
  SendMessageW(button, BM_SETIMAGE, IMAGE_ICON,
               reinterpret_cast<LPARAM>(MakeSolidIcon(icon_size, colour)));
  return button;
}

HICON MakeSolidIcon(int size, COLORREF colour) {
  unsigned* pixels = nullptr;
  HBITMAP colour_bitmap = CreateTopDownDib(size, size, &pixels);
  const unsigned bgra =
      0xFF000000u | (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
  for (int i = 0; i < size * size; ++i) pixels[i] = bgra;
  std::vector<BYTE> zeros(((size + 15) / 16) * 2 * size, 0);
  HBITMAP mask = CreateBitmap(size, size, 1, 1, zeros.data());
  ICONINFO icon_info = {TRUE, 0, 0, mask, colour_bitmap};
  HICON icon = CreateIconIndirect(&icon_info);
  DeleteObject(mask);
  DeleteObject(colour_bitmap);
  return icon;
}

void PumpMessages(int milliseconds) {
  const DWORD end = GetTickCount() + milliseconds;
  for (;;) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    const DWORD now = GetTickCount();
    if (static_cast<int>(end - now) <= 0) break;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, end - now, QS_ALLINPUT);
  }
}

Canvas::Canvas(int width, int height) : width_(width), height_(height) {
  dc_ = CreateCompatibleDC(nullptr);
  bitmap_ = CreateTopDownDib(width, height, &bits_);
  old_ = SelectObject(dc_, bitmap_);
}

Canvas::~Canvas() {
  SelectObject(dc_, old_);
  DeleteObject(bitmap_);
  DeleteDC(dc_);
}

COLORREF Canvas::Pixel(int x, int y) const {
  GdiFlush();
  const unsigned v = bits_[y * width_ + x];
  return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
}

void Canvas::Fill(COLORREF colour) {
  GdiFlush();
  const unsigned v = (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
  for (int i = 0; i < width_ * height_; ++i) bits_[i] = v;
}

bool Canvas::SaveBmp(const std::string& path) const {
  const int stride = (width_ * 3 + 3) & ~3;
  BITMAPFILEHEADER file = {};
  BITMAPINFOHEADER header = {};
  header.biSize = sizeof header;
  header.biWidth = width_;
  header.biHeight = height_;
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biSizeImage = stride * height_;
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof header;
  file.bfSize = file.bfOffBits + header.biSizeImage;
  FILE* out = std::fopen(path.c_str(), "wb");
  if (!out) return false;
  std::fwrite(&file, sizeof file, 1, out);
  std::fwrite(&header, sizeof header, 1, out);
  std::vector<BYTE> row(stride, 0);
  for (int y = height_ - 1; y >= 0; --y) {
    for (int x = 0; x < width_; ++x) {
      COLORREF c = Pixel(x, y);
      row[3 * x] = GetBValue(c);
      row[3 * x + 1] = GetGValue(c);
      row[3 * x + 2] = GetRValue(c);
    }
    std::fwrite(row.data(), 1, stride, out);
  }
  return std::fclose(out) == 0;
}

}  // namespace travik::ui::testing
