// The feedback window "意见反馈": the project has no public address to write to, so the window says
// so and shows the feedback text (program, version, system) for the person to copy and send to
// whoever gave them the program, with a button that copies it; the banner below. Shown modally.
// ShowFeedbackWindow (ui/widgets.h) opens it.
#ifndef TRAVIK_UI_FEEDBACK_WINDOW_H_
#define TRAVIK_UI_FEEDBACK_WINDOW_H_

#include <windows.h>

#include <string>

#include "ui/widgets.h"

namespace travik::ui {

// The text of the window's label: there is no address; what to do instead.
inline constexpr wchar_t kFeedbackText[] =
    L"本软件没有公开的反馈地址。请复制下面的内容，写上遇到的问题，发给向你提供本软件的人。";

// Control ids of the window's controls.
inline constexpr int kFeedbackLabelId = 1;    // 透明标签1
inline constexpr int kFeedbackPictureId = 2;  // 图片框1
inline constexpr int kFeedbackReportId = 3;   // the text to copy (read-only)
inline constexpr int kFeedbackCopyId = 4;     // "复制": the text onto the clipboard

// The feedback text: the program and its version, the system's version, and a line for the
// problem (CR LF line ends).
std::wstring FeedbackReport();

// The feedback window while it is open, else null.
HWND FeedbackWindow();

// The banner decoded from the program's resources and scaled to cover width x height (centred,
// the overhang cut off), as a 32-bit top-down DIB section the caller deletes. Null when the
// banner cannot be decoded.
HBITMAP LoadFeedbackBanner(int width, int height);

}  // namespace travik::ui

#endif  // TRAVIK_UI_FEEDBACK_WINDOW_H_
