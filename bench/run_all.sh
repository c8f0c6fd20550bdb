#!/bin/bash
# Runs every benchmark in one go on the ~100 MB sample text (GBK, and the same text in UTF-8):
# the core searches (MB/s, FindText against memmem), then each job against the standard tool
# doing the nearest job, and ends with one table of every ratio against its goal.
# The Windows rows run travik-cli.exe under Wine from the cross build beside it (build/win), when
# Wine is there. Usage: bench/run_all.sh [build folder, default build/native] [Windows build folder]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/bench/table.sh"
build=${1:-$root/build/native}
win_build=${2:-$(dirname "$build")/win}
cmake --build "$build" --target travik core_bench >/dev/null
"$root/bench/make_big.sh" >/dev/null
"$root/bench/make_big.sh" utf-8 >/dev/null
TRAVIK_BENCH_ROWS=$(mktemp /dev/shm/travik-bench-rows.XXXXXX)
export TRAVIK_BENCH_ROWS
trap 'rm -f "$TRAVIK_BENCH_ROWS"' EXIT
echo "== core searches"
"$build/bench/core_bench" --benchmark_min_time=0.5 2>/dev/null
echo "== split";  "$root/bench/bench_split.sh" "$build/cli/travik"
echo "== split, UTF-8"; "$root/bench/bench_utf8.sh" "$build/cli/travik"
echo "== encoding detection"; "$root/bench/bench_detect.sh" "$build"
echo "== merge";  "$root/bench/bench_merge.sh" "$build/cli/travik"
echo "== insert"; "$root/bench/bench_insert.sh" "$build/cli/travik"
echo "== chapters"; "$root/bench/bench_chapters.sh" "$build/cli/travik"
if command -v wine >/dev/null || [ -x /usr/lib/wine/wine64 ]; then
  cmake --build "$win_build" --target travik bare_pieces_win32 >/dev/null
  echo "== Windows, under Wine"; "$root/bench/bench_wine.sh" "$win_build"
else
  echo "== Windows, under Wine: no Wine here, rows left out"
fi
echo
echo "== all ratios (travik / reference, seconds; medians of each script's alternating runs)"
bench_table "$TRAVIK_BENCH_ROWS"
