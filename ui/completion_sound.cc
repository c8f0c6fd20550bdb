#include "ui/widgets.h"

namespace travik::ui {

void PlayCompletionSound() {}

}  // namespace travik::ui
