#!/bin/bash
# Times encoding detection against travik split --size 100 on the ~100 MB GBK sample text, in one
# run, and prints the ratio (detection must stay a small part of a split):
#   DetectEncoding (core_bench)  against  travik split --size 100
# Usage: bench/bench_detect.sh [build folder] [runs]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/bench/table.sh"
build=${1:-$root/build/native}
runs=${2:-3}
travik=$build/cli/travik
bench=$build/bench/core_bench
[ -x "$travik" ] && [ -x "$bench" ] || { echo "build travik and core_bench in $build first" >&2; exit 2; }
big=$("$root/bench/make_big.sh")

work=$(mktemp -d /dev/shm/travik-bench-detect.XXXXXX)
trap 'rm -rf "$work"' EXIT

# Wall time and processor time (user + system) of each; the processor times compare fairly on a
# machine other work shares.
best= best_cpu=
for _ in $(seq "$runs"); do
  rm -rf "$work/out"
  mkdir "$work/out"
  t0=$(date +%s.%N)
  /usr/bin/time -f '%U %S' -o "$work/cpu" "$travik" split --size 100 -o "$work/out" "$big" >/dev/null
  t1=$(date +%s.%N)
  t=$(echo "$t1 - $t0" | bc)
  c=$(awk '{print $1 + $2}' "$work/cpu")
  if [ -z "$best" ] || [ "$(echo "$t < $best" | bc)" = 1 ]; then best=$t; fi
  if [ -z "$best_cpu" ] || [ "$(echo "$c < $best_cpu" | bc)" = 1 ]; then best_cpu=$c; fi
done
line=$(TRAVIK_BIG_TEXT=$big "$bench" --benchmark_filter='BM_DetectEncoding/gbk' \
         --benchmark_format=csv 2>/dev/null | grep '^"BM_DetectEncoding/gbk"')
detect_wall=$(echo "$line" | cut -d, -f3)
detect_cpu=$(echo "$line" | cut -d, -f4)
printf 'split --size 100: %.1f ms wall, %.1f ms cpu\n' "$(echo "$best * 1000" | bc)" \
  "$(echo "$best_cpu * 1000" | bc)"
printf 'detection (GBK):  %.1f ms wall, %.1f ms cpu\n' "$detect_wall" "$detect_cpu"
printf 'ratio: %.3f wall, %.3f cpu\n' "$(echo "$detect_wall / ($best * 1000)" | bc -l)" \
  "$(echo "$detect_cpu / ($best_cpu * 1000)" | bc -l)"
# Where detection really runs: inside the reader, which hands it each block while the block is in
# the cache. Its cost there is LoadSourceText recognising the text less LoadSourceText told GBK.
reader=$(TRAVIK_BIG_TEXT=$big "$bench" --benchmark_filter='BM_LoadSourceText/gbk' \
           --benchmark_repetitions=5 --benchmark_format=csv 2>/dev/null)
least_cpu() { echo "$reader" | grep "^\"$1\"," | cut -d, -f4 | sort -g | head -1; }
load_auto=$(least_cpu BM_LoadSourceText/gbk)
load_given=$(least_cpu BM_LoadSourceText/gbk_given)
in_reader=$(echo "$load_auto - $load_given" | bc -l)
printf 'reading the text: %.1f ms cpu recognising it, %.1f ms told GBK: detection %.1f ms, %.3f of the split\n' \
  "$load_auto" "$load_given" "$in_reader" "$(echo "$in_reader / ($best_cpu * 1000)" | bc -l)"
bench_row "DetectEncoding (GBK, cpu)" "$(echo "$detect_cpu / 1000" | bc -l)" \
  "split -s 100 (cpu)" "$best_cpu" 0.05 "wall: $(printf '%.3f' "$(echo "$detect_wall / ($best * 1000)" | bc -l)")"
bench_row "detection in the reader (cpu)" "$(echo "$in_reader / 1000" | bc -l)" \
  "split -s 100 (cpu)" "$best_cpu" 0.05 "LoadSourceText, auto less GBK given"
