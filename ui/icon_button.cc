#include "ui/icon_button.h"

namespace travik::ui {

void SetupIconButtons(HWND) {}

}  // namespace travik::ui
