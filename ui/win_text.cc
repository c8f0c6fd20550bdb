#include "ui/win_text.h"

#include "text/codepage.h"

namespace travik::ui {

std::wstring Wide(std::string_view utf8) { return Utf8ToWide(utf8); }

std::wstring WideIn(std::string_view text, Encoding encoding) {
  // GB18030 through the program's own tables: code page 54936 is not there everywhere (Wine).
  return Utf8ToWide(ToUtf8Lossy(text, encoding));
}

std::string Utf8(std::wstring_view wide) { return WideToUtf8(wide); }

std::string WindowTextOf(HWND window) {
  int length = GetWindowTextLengthW(window);
  if (length <= 0) return {};
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  int copied = GetWindowTextW(window, text.data(), length + 1);
  text.resize(static_cast<size_t>(copied > 0 ? copied : 0));
  return Utf8(text);
}

void SetWindowTextOf(HWND window, std::string_view utf8) {
  SetWindowTextW(window, Wide(utf8).c_str());
}

}  // namespace travik::ui
