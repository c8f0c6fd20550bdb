#include "ui/tray_icon.h"

#include <shellapi.h>

#include <cwchar>

#include "ui/win_text.h"

namespace travik::ui {

namespace {

constexpr UINT kTrayIconId = 1;

NOTIFYICONDATAW BaseData(HWND owner) {
  NOTIFYICONDATAW data = {};
  data.cbSize = sizeof(data);
  data.hWnd = owner;
  data.uID = kTrayIconId;
  return data;
}

}  // namespace

bool TrayIcon::Show(HWND owner, UINT callback_message, HICON icon, const std::string& tip) {
  Hide();
  owner_ = owner;
  callback_message_ = callback_message;
  icon_ = icon;
  tip_ = tip;
  return Add();
}

bool TrayIcon::Restore() { return shown() && Add(); }

bool TrayIcon::Add() {
  NOTIFYICONDATAW data = BaseData(owner_);
  data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_SHOWTIP;
  data.uCallbackMessage = callback_message_;
  data.hIcon = icon_;
  std::wstring tip = Wide(tip_);
  wcsncpy(data.szTip, tip.c_str(), ARRAYSIZE(data.szTip) - 1);
  version4_ = false;
  if (!Shell_NotifyIconW(NIM_ADD, &data)) return false;
  data.uVersion = NOTIFYICON_VERSION_4;
  version4_ = Shell_NotifyIconW(NIM_SETVERSION, &data) != FALSE;
  return true;
}

void TrayIcon::Hide() {
  if (!shown()) return;
  NOTIFYICONDATAW data = BaseData(owner_);
  Shell_NotifyIconW(NIM_DELETE, &data);
  owner_ = nullptr;
}

}  // namespace travik::ui
