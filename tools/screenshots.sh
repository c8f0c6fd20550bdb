#!/bin/bash
# Saves a screenshot of each page of the window program: starts travik.exe under Wine in a
# private virtual display, once per page (it starts on the page given by --page=N), and captures
# its window; then the split page with the keyword box's list open (--keyword-list) and the
# chapter preview of a small made-up novel (--preview=FILE), and the merge list holding texts in
# each encoding (--list=FOLDER).
# Then, at 96 dpi, the window at work (travik-job-shots.exe): a split in progress with its progress
# bar, and the status bar after a job.
# Also the split page at a larger size (--size=WxH).
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
# The X window of the chapter preview (the program's other top-level window with a caption).
preview_window() {
  xwininfo -root -tree 2>/dev/null |
    awk '/\("travik.exe"/ && !/"Travik":/ && !/"Default IME":/ && !/has no name/ { print $1; exit }'
}

# shoot FILE FINDER HOW ARGS...: runs the program with ARGS, waits for the window FINDER names,
# and captures it: HOW is "window", or "screen" for the screen's part under it (an open drop-down
# list is a window of its own lying over the main window).
shoot() {
  local file=$1 finder=$2 how=$3 id=
  shift 3
  # --no-settings: the window as at a first start, whatever settings the prefix has kept.
  "$TRAVIK_WINE" "$exe" --no-settings "$@" >/dev/null 2>&1 &
  local program_pid=$!
  for _ in $(seq 150); do
    id=$($finder)
    [ -n "$id" ] && break
    sleep 0.2
  done
  [ -n "$id" ] || { echo "travik.exe showed no window for $file" >&2; exit 1; }
  sleep 2  # let it paint
  if [ "$how" = screen ]; then
    local geometry
    geometry=$(xwininfo -id "$id" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
      /Width:/ {w=$NF} /Height:/ {h=$NF} END {print w "x" h "+" x "+" y}')
    import -window root -crop "$geometry" +repage "$file"
  else
    import -window "$id" "$file"
  fi
  echo "$file"
  "$TRAVIK_WINESERVER" -k 2>/dev/null || true
  wait "$program_pid" 2>/dev/null || true
}

suffix=
[ "$dpi" = 96 ] || suffix=-${dpi}dpi
names=(split merge insert)
for page in 0 1 2; do
  shoot "$out/travik-${names[$page]}$suffix.png" main_window window --page=$page
done
# The window made larger: the lists and the status bar take the room.
shoot "$out/travik-split-large$suffix.png" main_window window --page=0 --size=900x620

# A small novel in GBK for the preview: two volumes whose numbers restart, a line of prose that
# begins like a heading, a missing chapter and one short chapter.
novel=$out/江湖夜雨.txt
{
  body() { for _ in $(seq "$1"); do printf '山高水长，云深不知处。风过林梢，雨打芭蕉。\r\n'; done; }
  printf '江湖夜雨\r\n作者：无名\r\n\r\n第一卷 风起青萍\r\n'
  printf '第一章 初入江湖\r\n'; body 60
  printf '第二章 离家\r\n'; body 45
  printf '第三天早上，他出了门，再也没有回头。\r\n'; body 8
  printf '第三章 夜雨\r\n'; body 70
  printf '第五章 重逢\r\n'; body 52
  printf '第六章 短歌\r\n'; body 2
  printf '第二卷 江湖路远\r\n'
  printf '第一章 新生\r\n'; body 64
  printf '第二章 归来\r\n'; body 58
  printf '第三章 渡口\r\n'; body 49
  printf '尾声\r\n'; body 20
} | iconv -f UTF-8 -t GBK >"$novel"

# Chapters in each encoding for the merge list's column 编码 (the last one read as UTF-8 by
# choice).
encodings=$out/编码示例
rm -rf "$encodings"
mkdir -p "$encodings"
chapter() { printf '%s\r\n山高水长，云深不知处。\r\n' "$1"; }
chapter '第1章 风起' | iconv -f UTF-8 -t GBK >"$encodings/第1章.txt"
chapter '第2章 夜雨' >"$encodings/第2章.txt"
{ printf '\xEF\xBB\xBF'; chapter '第3章 渡口'; } >"$encodings/第3章.txt"
chapter '第4章 𠀀' | iconv -f UTF-8 -t GB18030 >"$encodings/第4章.txt"
{ printf '\xFF\xFE'; chapter '第5章 归来' | iconv -f UTF-8 -t UTF-16LE; } >"$encodings/第5章.txt"
chapter '第6章 尾声' >"$encodings/第6章.txt"
shoot "$out/travik-merge-encodings$suffix.png" main_window window --page=1 \
  "--list=$(DISPLAY= "$TRAVIK_WINE" winepath -w "$encodings" 2>/dev/null)"
rm -rf "$encodings"

shoot "$out/travik-split-keywords$suffix.png" main_window screen --keyword-list
shoot "$out/travik-chapter-preview$suffix.png" preview_window window \
  "--preview=$(DISPLAY= "$TRAVIK_WINE" winepath -w "$novel" 2>/dev/null)"

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
