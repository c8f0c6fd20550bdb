// Access to the widgets' resources compiled into the program (ui/resources/widgets.rc).
#ifndef TRAVIK_UI_WIDGET_RESOURCES_H_
#define TRAVIK_UI_WIDGET_RESOURCES_H_

#include <windows.h>

#include <string_view>

namespace travik::ui {

// The module that holds the resources: the one this code is linked into.
HMODULE WidgetResourceModule();

// The bytes of an RCDATA resource; they live as long as the program. Empty when it is missing.
std::string_view WidgetResourceBytes(int id);

}  // namespace travik::ui

#endif  // TRAVIK_UI_WIDGET_RESOURCES_H_
