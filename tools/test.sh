#!/bin/bash
# Builds Travik natively and for Windows and runs every test: native unit and end-to-end tests,
# the same tests under Wine, and the window tests under Wine in a virtual X display.
# Usage: tools/test.sh            (from anywhere; installs what is missing first)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

tools/install_deps.sh

jobs=$(nproc)
export TRAVIK_BUILD_ROOT=$root/build
. tools/wine_env.sh

echo "== native build"
cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/native -j "$jobs"

echo "== windows build (mingw-w64)"
cmake -S . -B build/win -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake >/dev/null
cmake --build build/win -j "$jobs"

# A private Wine prefix in the build folder, made quietly once.
tools/wine_prefix.sh

# Window tests need a display: start a virtual one unless one is given.
xvfb_pid=
if [ -z "${DISPLAY:-}" ]; then
  for n in $(seq 91 150); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then export DISPLAY=:$n; break; fi
  done
  Xvfb "$DISPLAY" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  trap '[ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null; "$TRAVIK_WINESERVER" -k 2>/dev/null || true' EXIT
  sleep 1
fi

status=0
echo "== native tests"
(cd build/native && ctest --output-on-failure -j "$jobs") || status=1
echo "== windows tests under Wine"
(cd build/win && ctest --output-on-failure -j "$jobs") || status=1

echo "== native tests under AddressSanitizer and UndefinedBehaviorSanitizer (clang)"
(. tools/sanitize_build.sh >/dev/null && cd build/sanitize && ctest --output-on-failure -j "$jobs") ||
  status=1
# Every fuzz target for 60 s, as many at once as there are cores; any finding fails.
echo "== fuzz smoke"
export TRAVIK_FUZZ_BUILT=1
if [ -d build/sanitize/fuzz ]; then
  printf '%s\n' fuzz/corpus/*/ | xargs -n 1 basename | xargs -P "$jobs" -I{} bash -c '
    log=build/sanitize/{}.log
    if tools/fuzz.sh {} 60 >"$log" 2>&1; then
      echo "{}: $(grep -a -m1 -o "DONE.*exec/s: [0-9]*" "$log")"
    else
      tail -n 40 "$log"; echo "{}: FAILED (build/sanitize/fuzz-findings/)"; exit 1
    fi' || status=1
else
  status=1
fi
exit $status
