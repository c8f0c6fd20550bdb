// Icon buttons: push buttons that show their icon and their caption side by side, painted by the
// program (themed or classic background, icon, caption, all drawn off-screen and copied once).
// SetupIconButtons (ui/widgets.h) turns buttons into icon buttons; the rest is for the window
// code and the tests.
#ifndef TRAVIK_UI_ICON_BUTTON_H_
#define TRAVIK_UI_ICON_BUTTON_H_

#include <windows.h>

#include "ui/widgets.h"

namespace travik::ui {

// Window properties. Values are 32-bit numbers stored as the property handle.
// On each icon button: its previous window procedure (its presence marks an icon button).
inline constexpr wchar_t kButtonIconProcProp[] = L"ButtonIcon_Proc";
// On each icon button: caption colour while enabled; -1 means COLOR_BTNTEXT.
inline constexpr wchar_t kButtonIconTextColor1Prop[] = L"ButtonIcon_TextColor1";
// On each icon button: caption colour while disabled; -1 means embossed text.
inline constexpr wchar_t kButtonIconTextColor2Prop[] = L"ButtonIcon_TextColor2";
// On each icon button: its DrawState (absent reads as normal).
inline constexpr wchar_t kDrawStateProp[] = L"Vexa_DrawState";
// On each parent of an icon button: the parent's previous window procedure.
inline constexpr wchar_t kButtonIconParentProcProp[] = L"ButtonIcon_ParentProc";

// The DrawState of an icon button: how it is drawn. (The name DrawState itself is a Win32 macro.)
enum IconButtonDrawState : int {
  kDrawNormal = 0,
  kDrawDefault = 1,  // never set by the program; drawn as a default button
  kDrawHot = 2,      // the mouse has hovered 50 ms, or the button was released while pressed
  kDrawPressed = 3,
  kDrawDisabled = 4,
};

// The DrawState of `button` (kDrawNormal when it has none).
int GetDrawState(HWND button);

// Paints the icon button into `dc`, or into the button's own device context when `dc` is null.
void PaintIconButton(HWND button, HDC dc);

// The fallback caption font, "宋体" 12 px, GB2312 character set: created on the first call and
// kept for the whole run. Call it at start-up to create it before any window.
HFONT ButtonFont();

}  // namespace travik::ui

#endif  // TRAVIK_UI_ICON_BUTTON_H_
