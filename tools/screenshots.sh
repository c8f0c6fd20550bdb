#!/bin/bash
# Saves a screenshot of each page of the window program: starts travik.exe under Wine in a
# private virtual display, once per page (it starts on the page given by --page=N), and captures
# its window.
# Then, at 96 dpi, the window at work (travik-job-shots.exe): a split in progress with its progress
# bar, and the status bar after a job.
# Usage: tools/screenshots.sh [OUT_DIR [DPI]]
#   OUT_DIR  where the PNGs go (default build/screenshots); DPI  the screen's DPI (default 96)
#   TRAVIK_EXE  the program to show (default build/win/app/travik.exe)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
out=${1:-build/screenshots}
dpi=${2:-96}
exe=${TRAVIK_EXE:-build/win/app/travik.exe}
[ -f "$exe" ] || { echo "no $exe: build the Windows program first (tools/run.sh)" >&2; exit 1; }
mkdir -p "$out"

# A prefix of its own: Wine draws the window frame itself (no window manager runs here) and the
# DPI is set, without touching the prefix the tests use.
export TRAVIK_BUILD_ROOT=${TRAVIK_BUILD_ROOT:-$root/build}
export WINEPREFIX_OVERRIDE=$TRAVIK_BUILD_ROOT/wineprefix-screenshots-$dpi
. tools/wine_env.sh
tools/wine_prefix.sh
if [ ! -f "$WINEPREFIX/.travik-screenshots" ]; then
  DISPLAY= "$TRAVIK_WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
    >/dev/null 2>&1
  DISPLAY= "$TRAVIK_WINE" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD \
    /d "$dpi" /f >/dev/null 2>&1
  DISPLAY= "$TRAVIK_WINE" reg add \
    'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts' /v LogPixels \
    /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
  "$TRAVIK_WINESERVER" -w
  touch "$WINEPREFIX/.travik-screenshots"
fi

# A private virtual display on the first free number from 120.
display=
for n in $(seq 120 199); do
  if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then display=:$n; break; fi
done
[ -n "$display" ] || { echo "no free display number" >&2; exit 1; }
Xvfb "$display" -screen 0 1600x1200x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
cleanup() {
  "$TRAVIK_WINESERVER" -k 2>/dev/null || true
  kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT
export DISPLAY=$display
sleep 1

# The X window of the program's main window, once it is shown.
main_window() {
  xwininfo -root -tree 2>/dev/null | awk '/"Travik": \("travik(-job-shots)?.exe"/ { print $1; exit }'
}

names=(split merge insert)
for page in 0 1 2; do
  "$TRAVIK_WINE" "$exe" --page=$page >/dev/null 2>&1 &
  program_pid=$!
  id=
  for _ in $(seq 150); do
    id=$(main_window)
    [ -n "$id" ] && break
    sleep 0.2
  done
  [ -n "$id" ] || { echo "travik.exe showed no window" >&2; exit 1; }
  sleep 2  # let it paint
  file=$out/travik-${names[$page]}.png
  [ "$dpi" = 96 ] || file=$out/travik-${names[$page]}-${dpi}dpi.png
  import -window "$id" "$file"
  echo "$file"
  "$TRAVIK_WINESERVER" -k 2>/dev/null || true
  wait "$program_pid" 2>/dev/null || true
done

# The window at work: the helper program writes a marker when the window shows what is wanted and
# waits until the picture is taken.
shots=${TRAVIK_JOB_SHOTS_EXE:-build/win/app/travik-job-shots.exe}
if [ "$dpi" = 96 ] && [ -f "$shots" ]; then
  work=$TRAVIK_BUILD_ROOT/job-shots
  rm -rf "$work"
  mkdir -p "$work"
  "$TRAVIK_WINE" "$shots" "$(DISPLAY= "$TRAVIK_WINE" winepath -w "$work" 2>/dev/null)" \
    >/dev/null 2>&1 &
  program_pid=$!
  for shot in running finished; do
    for _ in $(seq 1200); do
      [ -f "$work/$shot" ] && break
      sleep 0.1
    done
    [ -f "$work/$shot" ] || { echo "travik-job-shots.exe did not reach '$shot'" >&2; exit 1; }
    sleep 0.5  # let it paint
    file=$out/travik-job-$shot.png
    import -window "$(main_window)" "$file"
    echo "$file"
    touch "$work/$shot.taken"
  done
  wait "$program_pid" 2>/dev/null || true
  rm -rf "$work"
fi
