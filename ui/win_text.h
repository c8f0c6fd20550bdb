// Window texts at the Win32 boundary: the program's GBK texts go in and come out through code
// page 936 explicitly, so the window reads the same whatever the system's code page.
#ifndef TRAVIK_UI_WIN_TEXT_H_
#define TRAVIK_UI_WIN_TEXT_H_

#include <windows.h>

#include <string>
#include <string_view>

#include "text/encoding.h"

namespace travik::ui {

// GBK to UTF-16 for the window system (invalid bytes show as replacement characters).
std::wstring Wide(std::string_view gbk);
// A text of a file in its encoding (GBK, GB18030, UTF-8) for the window system (invalid bytes show
// as replacement characters).
std::wstring WideIn(std::string_view text, Encoding encoding);
// A typed text (GBK, with the four-byte GB18030 form of a character GBK lacks: a heading's title
// in any encoding) for the window system, such characters shown as themselves.
std::wstring WideOfTyped(std::string_view typed);
// UTF-16 from the window system to GBK; characters GBK lacks become "?".
std::string Gbk(std::wstring_view wide);

// The window's text as GBK.
std::string WindowTextOf(HWND window);
// The window's text as a typed text: GBK, with the four-byte GB18030 form of a character GBK
// lacks (ConvertTypedText puts it into a file's encoding). Never "?" for such a character.
std::string TypedWindowTextOf(HWND window);
// Sets the window's text from GBK.
void SetWindowTextOf(HWND window, std::string_view gbk);

}  // namespace travik::ui

#endif  // TRAVIK_UI_WIN_TEXT_H_
