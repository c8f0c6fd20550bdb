#include "ui/feedback_window.h"

#include <objbase.h>
#include <wincodec.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <cmath>
#include <vector>

#include "travik_version.h"
#include "ui/icon_button.h"
#include "ui/resources/resource_ids.h"
#include "ui/widget_resources.h"

namespace travik::ui {
namespace {

constexpr wchar_t kWindowClass[] = L"TravikFeedbackWindow";
constexpr wchar_t kCaption[] = L"意见反馈";
constexpr POINT kPosition = {50, 50};
constexpr SIZE kOuterSize = {368, 250};
constexpr RECT kLabelRect = {8, 8, 8 + 344, 8 + 32};
constexpr RECT kReportRect = {8, 44, 8 + 344, 44 + 92};
constexpr RECT kCopyRect = {272, 142, 272 + 80, 142 + 24};
// The picture box reaches 3 px past the client area's left edge.
constexpr RECT kPictureRect = {-3, 172, -3 + 368, 172 + 40};

HWND g_window = nullptr;

struct WindowState {
  HWND owner = nullptr;
  bool owner_disabled_here = false;
  HBITMAP banner = nullptr;
};

// Holds one COM interface and releases it.
template <class T>
class ComRef {
 public:
  ComRef() = default;
  ~ComRef() {
    if (ptr_) ptr_->Release();
  }
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  T* operator->() const { return ptr_; }
  T* get() const { return ptr_; }
  T** out() { return &ptr_; }

 private:
  T* ptr_ = nullptr;
};

// COM for this thread while decoding; left as it was found afterwards.
class ComApartment {
 public:
  ComApartment() : initialised_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
  ~ComApartment() {
    if (initialised_) CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

 private:
  bool initialised_;
};

// The banner's pixels as 32-bit BGRX rows, decoded by the system's imaging component.
bool DecodeBanner(std::vector<BYTE>& pixels, UINT& width, UINT& height) {
  std::string_view jpeg = WidgetResourceBytes(IDR_FEEDBACK_BANNER);
  if (jpeg.empty()) return false;
  ComApartment apartment;
  ComRef<IWICImagingFactory> factory;
  ComRef<IWICStream> stream;
  ComRef<IWICBitmapDecoder> decoder;
  ComRef<IWICBitmapFrameDecode> frame;
  ComRef<IWICFormatConverter> converter;
  if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                              IID_IWICImagingFactory, reinterpret_cast<void**>(factory.out()))) ||
      FAILED(factory->CreateStream(stream.out())) ||
      FAILED(stream->InitializeFromMemory(reinterpret_cast<BYTE*>(const_cast<char*>(jpeg.data())),
                                          jpeg.size())) ||
      FAILED(factory->CreateDecoderFromStream(stream.get(), nullptr, WICDecodeMetadataCacheOnDemand,
                                              decoder.out())) ||
      FAILED(decoder->GetFrame(0, frame.out())) || FAILED(frame->GetSize(&width, &height)) ||
      width == 0 || height == 0 || FAILED(factory->CreateFormatConverter(converter.out())) ||
      FAILED(converter->Initialize(frame.get(), GUID_WICPixelFormat32bppBGR,
                                   WICBitmapDitherTypeNone, nullptr, 0,
                                   WICBitmapPaletteTypeCustom))) {
    return false;
  }
  pixels.assign(static_cast<size_t>(width) * height * 4, 0);
  return SUCCEEDED(
      converter->CopyPixels(nullptr, width * 4, static_cast<UINT>(pixels.size()), pixels.data()));
}

// BGRX pixels as floats, row by row.
struct Image {
  int width = 0;
  int height = 0;
  std::vector<float> pixels;  // 4 channels
  float* at(int x, int y) { return &pixels[(static_cast<size_t>(y) * width + x) * 4]; }
};

// Area-averaging resize along one axis: every target pixel is the mean of the source span it
// covers, partial source pixels weighted by the part covered. Smooth at any ratio.
Image Resize(Image& src, int width, int height) {
  const bool horizontal = width != src.width;
  const int src_len = horizontal ? src.width : src.height;
  const int dst_len = horizontal ? width : height;
  Image dst{width, height, std::vector<float>(static_cast<size_t>(width) * height * 4)};
  const double ratio = static_cast<double>(src_len) / dst_len;
  const int lines = horizontal ? height : width;
  for (int line = 0; line < lines; ++line) {
    for (int d = 0; d < dst_len; ++d) {
      const double begin = d * ratio;
      const double end = begin + ratio;
      double sum[4] = {0, 0, 0, 0};
      for (int s = static_cast<int>(begin); s < src_len && s < end; ++s) {
        const double weight = std::min<double>(end, s + 1) - std::max<double>(begin, s);
        const float* p = horizontal ? src.at(s, line) : src.at(line, s);
        for (int c = 0; c < 4; ++c) sum[c] += p[c] * weight;
      }
      float* q = horizontal ? dst.at(d, line) : dst.at(line, d);
      for (int c = 0; c < 4; ++c) q[c] = static_cast<float>(sum[c] / ratio);
    }
  }
  return dst;
}

// The feedback text onto the clipboard, as Unicode text.
void CopyReport(HWND window) {
  const std::wstring text = FeedbackReport();
  if (!OpenClipboard(window)) return;
  EmptyClipboard();
  const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
    memcpy(GlobalLock(memory), text.c_str(), bytes);
    GlobalUnlock(memory);
    if (!SetClipboardData(CF_UNICODETEXT, memory)) GlobalFree(memory);
  }
  CloseClipboard();
}

LRESULT OnCreate(HWND window, const CREATESTRUCTW& create) {
  auto* state = new WindowState;
  state->owner = create.hwndParent;
  SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
  HINSTANCE instance = create.hInstance;
  HWND label = CreateWindowExW(
      0, L"STATIC", kFeedbackText, WS_CHILD | WS_VISIBLE | SS_LEFT, kLabelRect.left, kLabelRect.top,
      kLabelRect.right - kLabelRect.left, kLabelRect.bottom - kLabelRect.top, window,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFeedbackLabelId)), instance, nullptr);
  SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(ButtonFont()), FALSE);
  HWND report = CreateWindowExW(
      WS_EX_CLIENTEDGE, L"EDIT", FeedbackReport().c_str(),
      WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL,
      kReportRect.left, kReportRect.top, kReportRect.right - kReportRect.left,
      kReportRect.bottom - kReportRect.top, window,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFeedbackReportId)), instance, nullptr);
  SendMessageW(report, WM_SETFONT, reinterpret_cast<WPARAM>(ButtonFont()), FALSE);
  HWND copy = CreateWindowExW(
      0, L"BUTTON", L"复制", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, kCopyRect.left,
      kCopyRect.top, kCopyRect.right - kCopyRect.left, kCopyRect.bottom - kCopyRect.top, window,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFeedbackCopyId)), instance, nullptr);
  SendMessageW(copy, WM_SETFONT, reinterpret_cast<WPARAM>(ButtonFont()), FALSE);
  const int picture_width = kPictureRect.right - kPictureRect.left;
  const int picture_height = kPictureRect.bottom - kPictureRect.top;
  CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_OWNERDRAW, kPictureRect.left,
                  kPictureRect.top, picture_width, picture_height, window,
                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFeedbackPictureId)), instance,
                  nullptr);
  state->banner = LoadFeedbackBanner(picture_width, picture_height);
  return 0;
}

void OnDrawPicture(const WindowState& state, const DRAWITEMSTRUCT& item) {
  const RECT& r = item.rcItem;
  if (!state.banner) {
    FillRect(item.hDC, &r, GetSysColorBrush(COLOR_BTNFACE));
    return;
  }
  HDC source = CreateCompatibleDC(item.hDC);
  HGDIOBJ old = SelectObject(source, state.banner);
  BitBlt(item.hDC, r.left, r.top, r.right - r.left, r.bottom - r.top, source, 0, 0, SRCCOPY);
  SelectObject(source, old);
  DeleteDC(source);
}

// Gives the owner its input back; before the window goes, so that the owner is activated.
void ReleaseOwner(WindowState& state) {
  if (state.owner_disabled_here) EnableWindow(state.owner, TRUE);
  state.owner_disabled_here = false;
}

LRESULT CALLBACK FeedbackWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* state = reinterpret_cast<WindowState*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  switch (message) {
    case WM_CREATE:
      return OnCreate(window, *reinterpret_cast<const CREATESTRUCTW*>(lparam));
    case WM_CTLCOLORSTATIC:  // a transparent label over the window's own background
      SetBkMode(reinterpret_cast<HDC>(wparam), TRANSPARENT);
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    case WM_DRAWITEM: {
      const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lparam);
      if (state && item.CtlID == kFeedbackPictureId) {
        OnDrawPicture(*state, item);
        return TRUE;
      }
      break;
    }
    case WM_COMMAND:
      if (LOWORD(wparam) == IDCANCEL) PostMessageW(window, WM_CLOSE, 0, 0);  // Esc
      if (LOWORD(wparam) == kFeedbackCopyId) CopyReport(window);
      return 0;
    case WM_CLOSE:
      if (state) ReleaseOwner(*state);
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      if (state) {
        ReleaseOwner(*state);
        if (state->banner) DeleteObject(state->banner);
        delete state;
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      }
      if (g_window == window) g_window = nullptr;
      return 0;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

bool RegisterWindowClass(HINSTANCE instance) {
  WNDCLASSEXW existing = {};
  existing.cbSize = sizeof existing;
  if (GetClassInfoExW(instance, kWindowClass, &existing)) return true;
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = FeedbackWindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  wc.lpszClassName = kWindowClass;
  return RegisterClassExW(&wc) != 0;
}

}  // namespace

HWND FeedbackWindow() { return g_window; }

std::wstring FeedbackReport() {
  // The system's own version numbers (GetVersionEx answers for the manifest, not the system).
  OSVERSIONINFOEXW version = {};
  version.dwOSVersionInfoSize = sizeof(version);
  using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOEXW*);
  std::wstring system = L"Windows";
  if (HMODULE ntdll = GetModuleHandleW(L"ntdll.dll")) {
    auto get = reinterpret_cast<RtlGetVersionFunction>(
        reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")));
    if (get != nullptr && get(&version) == 0) {
      system += L" " + std::to_wstring(version.dwMajorVersion) + L"." +
                std::to_wstring(version.dwMinorVersion) + L"." +
                std::to_wstring(version.dwBuildNumber);
    }
  }
  std::wstring program;
  for (const char* c = TRAVIK_VERSION_TEXT; *c != '\0'; ++c) program += static_cast<wchar_t>(*c);
  return L"软件：Travik " + program + L"\r\n系统：" + system +
         L"\r\n问题（做了什么，看到了什么，本来应该怎样）：\r\n";
}

HBITMAP LoadFeedbackBanner(int width, int height) {
  if (width <= 0 || height <= 0) return nullptr;
  std::vector<BYTE> decoded;
  UINT src_w = 0;
  UINT src_h = 0;
  if (!DecodeBanner(decoded, src_w, src_h)) return nullptr;

  // Scale to cover the target, keeping the picture's proportions; cut the overhang evenly.
  const double scale =
      std::max(static_cast<double>(width) / src_w, static_cast<double>(height) / src_h);
  const int cover_w = std::max(width, static_cast<int>(std::lround(src_w * scale)));
  const int cover_h = std::max(height, static_cast<int>(std::lround(src_h * scale)));
  Image source{static_cast<int>(src_w), static_cast<int>(src_h),
               std::vector<float>(decoded.begin(), decoded.end())};
  Image wide = Resize(source, cover_w, source.height);
  Image scaled = Resize(wide, cover_w, cover_h);

  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bitmap) return nullptr;
  auto* out = static_cast<BYTE*>(bits);
  const int left = (cover_w - width) / 2;
  const int top = (cover_h - height) / 2;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const float* p = scaled.at(x + left, y + top);
      BYTE* q = &out[(static_cast<size_t>(y) * width + x) * 4];
      for (int c = 0; c < 3; ++c) q[c] = static_cast<BYTE>(std::clamp(p[c] + 0.5f, 0.f, 255.f));
      q[3] = 0;
    }
  }
  return bitmap;
}

void ShowFeedbackWindow(HWND owner) {
  if (g_window) {  // never two at once
    SetForegroundWindow(g_window);
    return;
  }
  HINSTANCE instance = WidgetResourceModule();
  if (!RegisterWindowClass(instance)) return;
  HWND window = CreateWindowExW(WS_EX_DLGMODALFRAME, kWindowClass, kCaption,
                                WS_POPUP | WS_CAPTION | WS_SYSMENU, kPosition.x, kPosition.y,
                                kOuterSize.cx, kOuterSize.cy, owner, nullptr, instance, nullptr);
  if (!window) return;
  g_window = window;
  auto* state = reinterpret_cast<WindowState*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (owner && IsWindowEnabled(owner)) {
    EnableWindow(owner, FALSE);
    state->owner_disabled_here = true;
  }
  ShowWindow(window, SW_SHOW);
  UpdateWindow(window);

  MSG message;
  while (IsWindow(window)) {
    BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == 0) {  // the program is ending: leave the quit message to the main loop
      PostQuitMessage(static_cast<int>(message.wParam));
      DestroyWindow(window);
      break;
    }
    if (got == -1) {
      DestroyWindow(window);
      break;
    }
    if (!IsDialogMessageW(window, &message)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
}

}  // namespace travik::ui
