#!/bin/bash
# Screenshots of the icon buttons on the three pages (normal, hot, pressed) and of the feedback
# window, taken from travik.exe under Wine in a virtual display with a real (X) mouse.
# Usage: DISPLAY=:N docs/make_button_screenshots.sh build/win/app/travik.exe [OUTDIR]
# Needs xdotool and ImageMagick. OUTDIR defaults to docs/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
exe=$1
out=${2:-$root/docs}
mkdir -p "$out"
export TRAVIK_BUILD_ROOT=$root/build
. "$root/tools/wine_env.sh"
# Unmanaged: Wine draws the window frame itself, and the window stays where it was put (50, 50).
"$TRAVIK_WINE" reg add 'HKCU\Software\Wine\AppDefaults\travik.exe\X11 Driver' /v Managed \
  /t REG_SZ /d N /f >/dev/null 2>&1
"$TRAVIK_WINE" "$exe" >/dev/null 2>&1 &
for _ in $(seq 30); do xdotool search --name '^Travik$' >/dev/null 2>&1 && break; sleep 1; done
sleep 2

grab() { import -window root -crop "$3x$4+$1+$2" +repage "$5"; }
window() { grab 50 50 581 460 "$out/$1.png"; }
park() { xdotool mousemove 1200 1000; sleep 0.4; }
# Screen centre of a page control at (left, top, width, height) of the layout: the client area
# starts at (54, 91) under Wine's frame and menu bar; the tab control's at (5, 8) in it.
centre() { echo $((59 + $1 + $3 / 2)) $((99 + $2 + $4 / 2)); }
tabs=("88 110" "150 110" "212 110")
pages=(split merge insert)
add_button=("98 344 80 30" "152 344 88 30" "148 342 88 32")      # 按钮1, 按钮7, 按钮8
start_button=("225 344 80 30" "288 344 88 30" "306 342 88 32")   # 按钮5, 按钮2, 按钮4
for i in 0 1 2; do
  park
  xdotool mousemove ${tabs[$i]} click 1
  park
  window "buttons-${pages[$i]}-normal"
  # Hot: the mouse rests on the add button (hover time 50 ms).
  xdotool mousemove $(centre ${add_button[$i]}); sleep 0.2
  xdotool mousemove_relative 2 1; sleep 0.5
  window "buttons-${pages[$i]}-hot"
  # Pressed: the left button held down on the start button, released elsewhere (no click).
  xdotool mousemove $(centre ${start_button[$i]}); sleep 0.3
  xdotool mousedown 1; sleep 0.4
  window "buttons-${pages[$i]}-pressed"
  park
  xdotool mouseup 1; sleep 0.3
done
# The button rows of all pages and states, twice the size.
rows=()
for page in "${pages[@]}"; do
  for state in normal hot pressed; do
    convert "$out/buttons-$page-$state.png" -crop 400x40+90+387 +repage "$out/.row-$page-$state.png"
    rows+=("$out/.row-$page-$state.png")
  done
done
convert "${rows[@]}" -append -scale 200% "$out/buttons-closeup.png"
rm -f "${rows[@]}"

# "关于" > "问题反馈"
xdotool mousemove ${tabs[0]} click 1
park
xdotool mousemove 110 81 click 1; sleep 0.5
xdotool key Down Return; sleep 1.5
grab 50 50 184 113 "$out/feedback.png"
xdotool search --name '^意见反馈$' windowclose 2>/dev/null || true
sleep 1
xdotool search --name '^Travik$' windowclose 2>/dev/null || true
