#include <windows.h>
// After windows.h, which it needs.
#include <mmsystem.h>

#include "ui/resources/resource_ids.h"
#include "ui/widget_resources.h"
#include "ui/widgets.h"

namespace travik::ui {

void PlayCompletionSound() {
  // The sound lives in the program's resources for the whole run, as SND_MEMORY | SND_ASYNC
  // needs. Without a sound device PlaySound fails quietly, which is fine: the notice still shows.
  std::string_view wave = WidgetResourceBytes(IDR_COMPLETION_SOUND);
  if (wave.empty()) return;
  PlaySoundW(reinterpret_cast<LPCWSTR>(wave.data()), nullptr,
             SND_MEMORY | SND_ASYNC | SND_NODEFAULT);
}

}  // namespace travik::ui
