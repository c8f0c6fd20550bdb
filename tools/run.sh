#!/bin/bash
# Builds the Windows program and starts its window under Wine. Without a display it starts a
# virtual one, takes screenshots of the window instead, and says where they are.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
tools/install_deps.sh
export TRAVIK_BUILD_ROOT=$root/build
. tools/wine_env.sh
cmake -S . -B build/win -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake >/dev/null
cmake --build build/win -j "$(nproc)"
tools/wine_prefix.sh
if [ ! -f build/win/app/travik.exe ]; then
  echo "the window program is not built yet; the command line is build/win/cli/travik-cli.exe"
  exit 1
fi
if [ -z "${DISPLAY:-}" ]; then
  echo "no display: starting a virtual one and saving screenshots to build/screenshots/"
  exec tools/screenshots.sh
fi
exec "$TRAVIK_WINE" build/win/app/travik.exe
