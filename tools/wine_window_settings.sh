#!/bin/bash
# Prepares the project's Wine prefix for the window tests: the windows of the given programs (the
# test programs, and explorer.exe, which keeps the tray icons) are not handed to an X window
# manager ("Managed"="N" for those programs only). In a bare virtual display no window manager
# answers, and Wine would wait two seconds on every window it hides or destroys.
# Usage: tools/wine_window_settings.sh PROGRAM.exe...
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
"$here/wine_prefix.sh"
. "$here/wine_env.sh"
for program in "$@"; do
  key="HKCU\\Software\\Wine\\AppDefaults\\$program\\X11 Driver"
  if ! grep -qF "AppDefaults\\\\$program\\\\X11 Driver]" "$WINEPREFIX/user.reg" 2>/dev/null; then
    "$TRAVIK_WINE" reg add "$key" /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
  fi
done
