#include "ui/feedback_window.h"

namespace travik::ui {

void ShowFeedbackWindow(HWND) {}

}  // namespace travik::ui
