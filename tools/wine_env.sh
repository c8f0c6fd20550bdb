# Sourced: the Wine environment of the project. The prefix lives in the build folder, never in
# the user's home, and is created quietly on first use.
_travik_root=$(cd "$(dirname "${0}")/.." 2>/dev/null && pwd)
: "${TRAVIK_BUILD_ROOT:=${_travik_root}/build}"
export WINEPREFIX="${WINEPREFIX_OVERRIDE:-$TRAVIK_BUILD_ROOT/wineprefix}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=;winemenubuilder.exe=d}"
export LC_ALL=zh_CN.UTF-8 LANG=zh_CN.UTF-8
if [ -x /usr/lib/wine/wine64 ]; then TRAVIK_WINE=/usr/lib/wine/wine64; else TRAVIK_WINE=wine; fi
if [ -x /usr/lib/wine/wineserver64 ]; then TRAVIK_WINESERVER=/usr/lib/wine/wineserver64; else TRAVIK_WINESERVER=wineserver; fi
export TRAVIK_WINE TRAVIK_WINESERVER
