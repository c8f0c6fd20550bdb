// Window texts at the Win32 boundary: the program's texts are UTF-8 and the window system's
// UTF-16; they are converted here and nowhere else, so the window reads the same whatever the
// system's code page.
#ifndef TRAVIK_UI_WIN_TEXT_H_
#define TRAVIK_UI_WIN_TEXT_H_

#include <windows.h>

#include <string>
#include <string_view>

#include "text/encoding.h"

namespace travik::ui {

// A program text (UTF-8) for the window system.
std::wstring Wide(std::string_view utf8);
// A text of a file in its encoding (GBK, GB18030, UTF-8) for the window system (invalid bytes show
// as replacement characters).
std::wstring WideIn(std::string_view text, Encoding encoding);
// What the window system gives, as a program text (UTF-8). Never fails: every character keeps its
// form, and a lone surrogate (pasted from a broken text) keeps its own (WTF-8), which no file's
// encoding takes.
std::string Utf8(std::wstring_view wide);

// The window's text (UTF-8).
std::string WindowTextOf(HWND window);
// Sets the window's text from UTF-8.
void SetWindowTextOf(HWND window, std::string_view utf8);

}  // namespace travik::ui

#endif  // TRAVIK_UI_WIN_TEXT_H_
