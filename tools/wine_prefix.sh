#!/bin/bash
# Creates the project's Wine prefix (in the build folder) once, quietly, and switches off what
# would pop up windows during tests: the HTML application host mshta, crash dialogs, menus.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine_env.sh"
if [ ! -f "$WINEPREFIX/.travik-ready" ]; then
  mkdir -p "$WINEPREFIX"
  DISPLAY= "$TRAVIK_WINE" wineboot -i >/dev/null 2>&1 || true
  timeout 300 "$TRAVIK_WINESERVER" -w || true
  # No crash dialogs; mshta does nothing (the merge script's last line calls it).
  "$TRAVIK_WINE" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
  "$TRAVIK_WINE" reg add 'HKCU\Software\Wine\DllOverrides' /v mshta.exe /t REG_SZ /d '' /f >/dev/null 2>&1
  timeout 300 "$TRAVIK_WINESERVER" -w || true
  touch "$WINEPREFIX/.travik-ready"
fi
# Wine draws the caption buttons with the Marlett font; the packaged prefix may lack it.
fonts="$WINEPREFIX/drive_c/windows/Fonts"
if [ -d "$fonts" ] && [ ! -f "$fonts/marlett.ttf" ] && [ -f /usr/share/wine/fonts/marlett.ttf ]; then
  cp /usr/share/wine/fonts/marlett.ttf "$fonts/"
fi
