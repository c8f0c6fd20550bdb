// Icon buttons: push buttons that show their icon and caption side by side, drawn by the program.
#ifndef TRAVIK_UI_ICON_BUTTON_H_
#define TRAVIK_UI_ICON_BUTTON_H_

#include "ui/widgets.h"

#endif  // TRAVIK_UI_ICON_BUTTON_H_
