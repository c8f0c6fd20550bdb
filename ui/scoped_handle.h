// Move-only owners for the Win32 handles the window keeps: fonts, brushes, icons, menus.
#ifndef TRAVIK_UI_SCOPED_HANDLE_H_
#define TRAVIK_UI_SCOPED_HANDLE_H_

#include <windows.h>

#include <utility>

namespace travik::ui {

// Owns one handle and releases it with Traits::Close when it goes out of scope or is reset.
template <typename Traits>
class ScopedHandle {
 public:
  using Handle = typename Traits::Handle;

  ScopedHandle() = default;
  explicit ScopedHandle(Handle handle) : handle_(handle) {}
  ~ScopedHandle() { reset(); }
  ScopedHandle(ScopedHandle&& other) noexcept : handle_(other.release()) {}
  ScopedHandle& operator=(ScopedHandle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;

  Handle get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }
  // Gives up ownership without closing.
  Handle release() { return std::exchange(handle_, nullptr); }
  // Closes the handle held (if any) and takes `handle`.
  void reset(Handle handle = nullptr) {
    if (handle_ != nullptr) Traits::Close(handle_);
    handle_ = handle;
  }

 private:
  Handle handle_ = nullptr;
};

struct FontTraits {
  using Handle = HFONT;
  static void Close(HFONT h) { DeleteObject(h); }
};
struct BrushTraits {
  using Handle = HBRUSH;
  static void Close(HBRUSH h) { DeleteObject(h); }
};
struct BitmapTraits {
  using Handle = HBITMAP;
  static void Close(HBITMAP h) { DeleteObject(h); }
};
struct IconTraits {
  using Handle = HICON;
  static void Close(HICON h) { DestroyIcon(h); }
};
struct MenuTraits {
  using Handle = HMENU;
  static void Close(HMENU h) { DestroyMenu(h); }
};
struct WindowTraits {
  using Handle = HWND;
  static void Close(HWND h) {
    if (IsWindow(h)) DestroyWindow(h);
  }
};

using ScopedFont = ScopedHandle<FontTraits>;
using ScopedBrush = ScopedHandle<BrushTraits>;
using ScopedBitmap = ScopedHandle<BitmapTraits>;
using ScopedIcon = ScopedHandle<IconTraits>;
using ScopedMenu = ScopedHandle<MenuTraits>;
using ScopedWindow = ScopedHandle<WindowTraits>;

}  // namespace travik::ui

#endif  // TRAVIK_UI_SCOPED_HANDLE_H_
