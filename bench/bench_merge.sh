#!/bin/bash
# Times travik merge against cat on ~1,000 line-aligned pieces of the ~100 MB sample text, in one
# run, on tmpfs, and prints the ratio. Usage: bench/bench_merge.sh [path/to/travik] [runs]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/bench/table.sh"
bench_arguments "$@"
big=$("$root/bench/make_big.sh")
size=$(stat -c %s "$big")

work=$(mktemp -d /dev/shm/travik-bench-merge.XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir "$work/pieces" "$work/out"
# Pieces cut at line ends, so that every piece is whole GBK text.
(cd "$work/pieces" && split -C $(( size / 1000 + 1 )) -d -a 4 --additional-suffix=.txt "$big" p)
count=$(ls "$work/pieces" | wc -l)

now() { date +%s.%N; }
best_travik=
best_cat=
for _ in $(seq "$runs"); do
  rm -f "$work/out/m.txt" "$work/cat.txt"
  t0=$(now)
  (cd "$work/pieces" && "$travik" merge -n m -o "$work/out" p*.txt >/dev/null)
  t1=$(now)
  (cd "$work/pieces" && cat p*.txt >"$work/cat.txt")
  t2=$(now)
  tt=$(echo "$t1 - $t0" | bc)
  tc=$(echo "$t2 - $t1" | bc)
  take_run best_travik "$tt"
  take_run best_cat "$tc"
done
cmp "$work/out/m.txt" "$work/cat.txt" || { echo "travik merge and cat differ" >&2; exit 1; }
# Peak memory of one more merge, against the size of the text merged.
rm -f "$work/out/m.txt"
peak_kb=$(cd "$work/pieces" &&
  /usr/bin/time -f %M "$travik" merge -n m -o "$work/out" p*.txt 2>&1 >/dev/null | tail -1)
cmp "$work/out/m.txt" "$big" || { echo "merged pieces differ from the source" >&2; exit 1; }

mb=$(echo "scale=1; $size / 1048576" | bc)
printf 'merge %s MB in %d pieces (median of %d alternating runs)\n' "$mb" "$count" "$runs"
printf '  travik merge  %.3f s  %6.0f MB/s\n' "$best_travik" "$(echo "$mb / $best_travik" | bc -l)"
printf '  cat           %.3f s  %6.0f MB/s\n' "$best_cat" "$(echo "$mb / $best_cat" | bc -l)"
printf '  ratio travik/cat: %.2f\n' "$(echo "$best_travik / $best_cat" | bc -l)"
printf '  peak memory %d KB: %.3f of the input\n' "$peak_kb" "$(echo "$peak_kb * 1024 / $size" | bc -l)"
bench_row "merge ($count pieces)" "$best_travik" "cat" "$best_cat" 1.0
bench_row "peak MB, merge" "$(echo "$peak_kb / 1024" | bc -l)" "input MB" \
  "$(echo "$size / 1048576" | bc -l)" 0.1
