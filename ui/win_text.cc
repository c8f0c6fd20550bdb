#include "ui/win_text.h"

#include "core/codepage.h"

namespace travik::ui {

std::wstring Wide(std::string_view gbk) { return GbkToWideLossy(gbk); }

std::wstring WideIn(std::string_view text, Encoding encoding) {
  if (encoding == Encoding::kGbk || text.empty()) return Wide(text);
  const UINT code_page = encoding == Encoding::kUtf8 ? CP_UTF8 : 54936;
  const int n = MultiByteToWideChar(code_page, 0, text.data(), static_cast<int>(text.size()),
                                    nullptr, 0);
  std::wstring wide(static_cast<size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0) {
    MultiByteToWideChar(code_page, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
  }
  return wide;
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
