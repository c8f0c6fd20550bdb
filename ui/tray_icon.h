// The notification-area icon 托盘图标1: added with NOTIFYICON_VERSION_4 and removed when the
// object is hidden or destroyed, so it is never left behind.
#ifndef TRAVIK_UI_TRAY_ICON_H_
#define TRAVIK_UI_TRAY_ICON_H_

#include <windows.h>

#include <string>

namespace travik::ui {

class TrayIcon {
 public:
  TrayIcon() = default;
  ~TrayIcon() { Hide(); }
  TrayIcon(const TrayIcon&) = delete;
  TrayIcon& operator=(const TrayIcon&) = delete;

  // Adds the icon with the tooltip `tip` (UTF-8). Its mouse events reach `owner` as
  // `callback_message` with the event in LOWORD(lParam) (version 4). Returns whether the shell
  // took it; the icon counts as shown either way, so that a later shell start can re-add it.
  bool Show(HWND owner, UINT callback_message, HICON icon, const std::string& tip);
  // Adds the icon again after the shell (the taskbar) was restarted; false when not shown.
  bool Restore();
  // Removes the icon; does nothing when it is not shown.
  void Hide();

  bool shown() const { return owner_ != nullptr; }
  // True when the shell took NOTIFYICON_VERSION_4: right clicks then come as WM_CONTEXTMENU.
  bool version4() const { return version4_; }
  const std::string& tip() const { return tip_; }

 private:
  bool Add();

  HWND owner_ = nullptr;
  UINT callback_message_ = 0;
  HICON icon_ = nullptr;
  std::string tip_;
  bool version4_ = false;
};

}  // namespace travik::ui

#endif  // TRAVIK_UI_TRAY_ICON_H_
