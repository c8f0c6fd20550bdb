// The feedback window "意见反馈": the contact address and the program's banner, shown modally.
// ShowFeedbackWindow (ui/widgets.h) opens it.
#ifndef TRAVIK_UI_FEEDBACK_WINDOW_H_
#define TRAVIK_UI_FEEDBACK_WINDOW_H_

#include <windows.h>

#include "ui/widgets.h"

namespace travik::ui {

// The text of the window's label: "作者邮箱：" followed by the contact address.
inline constexpr wchar_t kFeedbackText[] = L"作者邮箱：travik@users.noreply.example.org";

// Control ids of the window's two controls.
inline constexpr int kFeedbackLabelId = 1;    // 透明标签1
inline constexpr int kFeedbackPictureId = 2;  // 图片框1

// The feedback window while it is open, else null.
HWND FeedbackWindow();

// The banner decoded from the program's resources and scaled to cover width x height (centred,
// the overhang cut off), as a 32-bit top-down DIB section the caller deletes. Null when the
// banner cannot be decoded.
HBITMAP LoadFeedbackBanner(int width, int height);

}  // namespace travik::ui

#endif  // TRAVIK_UI_FEEDBACK_WINDOW_H_
