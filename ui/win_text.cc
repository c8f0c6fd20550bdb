#include "ui/win_text.h"

#include "text/codepage.h"

namespace travik::ui {

std::wstring Wide(std::string_view gbk) { return GbkToWideLossy(gbk); }

std::wstring WideIn(std::string_view text, Encoding encoding) {
  if (encoding == Encoding::kGbk || text.empty()) return Wide(text);
  // GB18030 through the program's own tables: code page 54936 is not there everywhere (Wine).
  // A text invalid in GB18030 shows its GBK part, the rest as replacement characters.
  std::string utf8;
  if (encoding == Encoding::kGb18030) {
    if (!ConvertText(text, Encoding::kGb18030, Encoding::kUtf8, &utf8)) return Wide(text);
    text = utf8;
  }
  const int n =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0) {
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
  }
  return wide;
}

std::wstring WideOfTyped(std::string_view typed) {
  std::string utf8;
  return ConvertTypedText(typed, Encoding::kUtf8, &utf8) ? WideIn(utf8, Encoding::kUtf8)
                                                         : Wide(typed);
}

std::string Gbk(std::wstring_view wide) { return WideToGbkLossy(wide); }

namespace {

std::wstring WideWindowTextOf(HWND window) {
  int length = GetWindowTextLengthW(window);
  if (length <= 0) return {};
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  int copied = GetWindowTextW(window, text.data(), length + 1);
  text.resize(static_cast<size_t>(copied > 0 ? copied : 0));
  return text;
}

}  // namespace

std::string WindowTextOf(HWND window) { return Gbk(WideWindowTextOf(window)); }

std::string TypedWindowTextOf(HWND window) {
  const std::wstring wide = WideWindowTextOf(window);
  std::string typed;
  // A lone surrogate (pasted from a broken text) has no form at all: shown as "?", as before.
  return WideToTypedText(wide, &typed) ? typed : Gbk(wide);
}

void SetWindowTextOf(HWND window, std::string_view gbk) {
  SetWindowTextW(window, Wide(gbk).c_str());
}

}  // namespace travik::ui
