#include "ui/win_text.h"

#include "core/codepage.h"

namespace travik::ui {

std::wstring Wide(std::string_view gbk) { return GbkToWideLossy(gbk); }

std::string Gbk(std::wstring_view wide) { return WideToGbkLossy(wide); }

std::string WindowTextOf(HWND window) {
  int length = GetWindowTextLengthW(window);
  if (length <= 0) return {};
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  int copied = GetWindowTextW(window, text.data(), length + 1);
  text.resize(static_cast<size_t>(copied > 0 ? copied : 0));
  return Gbk(text);
}

void SetWindowTextOf(HWND window, std::string_view gbk) {
  SetWindowTextW(window, Wide(gbk).c_str());
}

}  // namespace travik::ui
