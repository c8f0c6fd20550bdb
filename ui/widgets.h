// Contracts between the main window and the self-drawn widgets and resources
// (icon buttons, feedback window, completion sound). Implemented in icon_button.cc,
// feedback_window.cc and completion_sound.cc.
#ifndef TRAVIK_UI_WIDGETS_H_
#define TRAVIK_UI_WIDGETS_H_

#include <windows.h>

namespace travik::ui {

// Turns every push button with an icon under `parent` (recursively) into an icon button and
// hooks its parent once. Calling it again changes nothing.
void SetupIconButtons(HWND parent);

// Opens the feedback window "意见反馈" modally, owned by `owner`; returns when it is closed.
void ShowFeedbackWindow(HWND owner);

// Starts playing the completion sound once and returns at once. No sound device is not an error.
void PlayCompletionSound();

// The program's own icon (window and tray) at the given size; never null.
HICON LoadTravikIcon(int size);

// The icon of a main-window button by its layout name number (按钮1 ... 按钮8), at `size`;
// null when that button has none.
HICON LoadButtonIcon(int button_number, int size);

}  // namespace travik::ui

#endif  // TRAVIK_UI_WIDGETS_H_
