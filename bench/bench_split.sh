#!/bin/bash
# Times travik split against the standard tools on the ~100 MB sample text, in one run, with all
# output on tmpfs, and prints the ratios and travik's peak memory:
#   travik split --size 100      against  split -b 100K
#   travik split --keyword '^第'  against  csplit at the same heading lines
# Usage: bench/bench_split.sh [path/to/travik] [runs]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/bench/table.sh"
travik=${1:-$root/build/native/cli/travik}
runs=${2:-3}
[ -x "$travik" ] || { echo "no travik at $travik (give its path)" >&2; exit 2; }
big=$("$root/bench/make_big.sh")
size=$(stat -c %s "$big")
name=$(basename "$big" .txt)

work=$(mktemp -d /dev/shm/travik-bench-split.XXXXXX)
trap 'rm -rf "$work"' EXIT
export LC_ALL=C  # csplit matches bytes; 第 is B5 DA in GBK
heading=$'^\xb5\xda'

now() { date +%s.%N; }
# timed <variable> <command...>: runs the command once into a fresh output folder.
timed() {
  local var=$1
  shift
  rm -rf "$work/out"
  mkdir "$work/out"
  local t0 t1
  t0=$(now)
  "$@"
  t1=$(now)
  take_run "$var" "$(echo "$t1 - $t0" | bc)"
}

travik_size() { "$travik" split --size 100 -o "$work/out" "$big" >/dev/null; }
coreutils_split() { split -b 100K -a 4 "$big" "$work/out/x"; }
# travik takes the keyword as typed (UTF-8) and finds its characters in the GBK text.
travik_keyword() { "$travik" split --keyword '^第' -o "$work/out" "$big" >/dev/null; }
coreutils_csplit() { csplit -s -z -n 5 -f "$work/out/x" "$big" "/$heading/" '{*}'; }

t_size= t_split= t_keyword= t_csplit=
for _ in $(seq "$runs"); do
  timed t_size travik_size
  timed t_split coreutils_split
  timed t_keyword travik_keyword
  timed t_csplit coreutils_csplit
done

# The outputs, checked once (outside the timings): pieces joined give the source; the keyword
# split cuts at the same lines as csplit.
travik_keyword
keyword_pieces=$(ls "$work/out/$name" | wc -l)
mkdir "$work/c"
(cd "$work/c" && csplit -s -z -n 5 -f x "$big" "/$heading/" '{*}')
csplit_pieces=$(ls "$work/c" | wc -l)
[ "$keyword_pieces" -eq "$csplit_pieces" ] ||
  { echo "keyword split made $keyword_pieces pieces, csplit $csplit_pieces" >&2; exit 1; }
cmp "$work/out/$name/1.txt" "$work/c/x00001" || { echo "keyword piece 1 differs" >&2; exit 1; }
rm -rf "$work/c" "$work/out"
mkdir "$work/out"
travik_size
size_pieces=$(ls "$work/out/$name" | wc -l)
(cd "$work/out/$name" && cat $(seq -f '%g.txt' 1 "$size_pieces")) | cmp - "$big" ||
  { echo "size pieces joined differ from the source" >&2; exit 1; }

# Peak memory (resident set) of one run of each travik mode.
peak() {
  if [ -x /usr/bin/time ]; then
    rm -rf "$work/out" && mkdir "$work/out"
    /usr/bin/time -v "$@" 2>&1 >/dev/null | sed -n 's/.*Maximum resident set size (kbytes): //p'
  else
    echo 0
  fi
}
peak_size=$(peak "$travik" split --size 100 -o "$work/out" "$big")
peak_keyword=$(peak "$travik" split --keyword '^第' -o "$work/out" "$big")
peak_count=$(peak "$travik" split --parts 1000 -o "$work/out" "$big")

mb=$(echo "scale=1; $size / 1048576" | bc)
printf 'split %s MB (median of %d alternating runs; output on tmpfs)\n' "$mb" "$runs"
printf '  travik split --size 100     %.3f s  %5d pieces  peak %d MB (%.2fx the text)\n' \
  "$t_size" "$size_pieces" $((peak_size / 1024)) "$(echo "$peak_size * 1024 / $size" | bc -l)"
printf '  split -b 100K               %.3f s\n' "$t_split"
printf '  ratio travik/split:   %.2f\n' "$(echo "$t_size / $t_split" | bc -l)"
printf '  travik split --keyword ^第  %.3f s  %5d pieces  peak %d MB (%.2fx the text)\n' \
  "$t_keyword" "$keyword_pieces" $((peak_keyword / 1024)) \
  "$(echo "$peak_keyword * 1024 / $size" | bc -l)"
printf '  csplit /^第/ {*}            %.3f s\n' "$t_csplit"
printf '  ratio travik/csplit:  %.2f\n' "$(echo "$t_keyword / $t_csplit" | bc -l)"
bench_row "split -s 100 (GBK)" "$t_size" "split -b 100K" "$t_split" 1.05 "$size_pieces pieces"
bench_row "split -k ^第 (GBK)" "$t_keyword" "csplit" "$t_csplit" 0.6 "$keyword_pieces pieces"
printf '  travik split --parts 1000   peak %d MB (%.2fx the text)\n' $((peak_count / 1024)) \
  "$(echo "$peak_count * 1024 / $size" | bc -l)"
# Peak memory in MB against the input's size in MB: the ratio is the share of the input held.
in_mb=$(echo "$size / 1048576" | bc -l)
bench_row "peak MB, split -s 100" "$(echo "$peak_size / 1024" | bc -l)" "input MB" "$in_mb" 0.1
bench_row "peak MB, split --parts 1000" "$(echo "$peak_count / 1024" | bc -l)" "input MB" "$in_mb" 0.5
bench_row "peak MB, split -k ^第" "$(echo "$peak_keyword / 1024" | bc -l)" "input MB" "$in_mb" 1.5
