#include "ui/widgets.h"

namespace travik::ui {

HICON LoadTravikIcon(int) { return CopyIcon(LoadIconW(nullptr, IDI_APPLICATION)); }

HICON LoadButtonIcon(int button_number, int) {
  if (button_number < 1 || button_number > 8) return nullptr;
  return CopyIcon(LoadIconW(nullptr, IDI_INFORMATION));
}

}  // namespace travik::ui
