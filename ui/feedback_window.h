// The feedback window "意见反馈".
#ifndef TRAVIK_UI_FEEDBACK_WINDOW_H_
#define TRAVIK_UI_FEEDBACK_WINDOW_H_

#include "ui/widgets.h"

#endif  // TRAVIK_UI_FEEDBACK_WINDOW_H_
