#!/bin/bash
# Times travik insert against the standard tools on the ~100 MB sample text, in one run, on tmpfs:
#   travik insert --keyword 章 --text '##'   against   LC_ALL=C sed 's/章/&##/g' (GBK bytes)
#   travik insert --every 1000 --text '##'   against   cp
# and prints the ratios and travik's peak memory. Usage: bench/bench_insert.sh [travik] [runs]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/bench/table.sh"
bench_arguments "$@"
big=$("$root/bench/make_big.sh")
size=$(stat -c %s "$big")
name=$(basename "$big" .txt)

work=$(mktemp -d /dev/shm/travik-bench-insert.XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir "$work/out"
export LC_ALL=C
zhang=$'\xd5\xc2'  # 章 in GBK

now() { date +%s.%N; }
seconds() { local t0 t1; t0=$(now); "$@"; t1=$(now); echo "$t1 - $t0" | bc; }

travik_keyword() { "$travik" insert --keyword 章 --text '##' -o "$work/out" "$big" >/dev/null; }
sed_keyword() { sed "s/$zhang/&##/g" "$big" >"$work/sed.txt"; }
travik_every() { "$travik" insert --every 1000 --text '##' -o "$work/out" "$big" >/dev/null; }
cp_every() { cp "$big" "$work/cp.txt"; }

best_tk= best_sed= best_te= best_cp=
for _ in $(seq "$runs"); do
  take_run best_tk "$(seconds travik_keyword)"
  take_run best_sed "$(seconds sed_keyword)"
  take_run best_te "$(seconds travik_every)"
  take_run best_cp "$(seconds cp_every)"
done

# Sanity: every insertion is two bytes; the keyword copy holds one per character 章 (sed also
# inserts after byte pairs D5 C2 that straddle two characters).
travik_keyword
keyword_growth=$(( $(stat -c %s "$work/out/$name.txt") - size ))
[ $(( keyword_growth % 2 )) -eq 0 ] && [ "$keyword_growth" -gt 0 ] ||
  { echo "keyword copy grew by $keyword_growth bytes" >&2; exit 1; }
travik_every
every_growth=$(( $(stat -c %s "$work/out/$name.txt") - size ))
[ "$every_growth" -eq $(( size / 1000 * 2 )) ] ||
  { echo "every-1000 copy grew by $every_growth bytes, want $(( size / 1000 * 2 ))" >&2; exit 1; }

peak() {
  if [ -x /usr/bin/time ]; then
    /usr/bin/time -v "$@" 2>&1 >/dev/null | awk -F': ' '/Maximum resident set size/ { print $2 }'
  fi
}
peak_keyword=$(peak "$travik" insert --keyword 章 --text '##' -o "$work/out" "$big")
peak_every=$(peak "$travik" insert --every 1000 --text '##' -o "$work/out" "$big")

mb=$(echo "scale=1; $size / 1048576" | bc)
printf 'insert into %s MB (median of %d alternating runs)\n' "$mb" "$runs"
printf '  travik insert --keyword 章   %.3f s  (%d insertions)\n' "$best_tk" $(( keyword_growth / 2 ))
printf '  sed s/章/&##/g               %.3f s\n' "$best_sed"
printf '  ratio travik/sed: %.2f\n' "$(echo "$best_tk / $best_sed" | bc -l)"
printf '  travik insert --every 1000   %.3f s  (%d insertions)\n' "$best_te" $(( every_growth / 2 ))
printf '  cp                           %.3f s\n' "$best_cp"
printf '  ratio travik/cp: %.2f\n' "$(echo "$best_te / $best_cp" | bc -l)"
bench_row "insert -e 1000" "$best_te" "cp" "$best_cp" 1.2
bench_row "insert -k 章" "$best_tk" "sed" "$best_sed" 0.6
if [ -n "$peak_keyword" ]; then
  printf '  peak memory: keyword %d MB (%.2fx input), every %d MB (%.2fx input)\n' \
    $(( peak_keyword / 1024 )) "$(echo "$peak_keyword * 1024 / $size" | bc -l)" \
    $(( peak_every / 1024 )) "$(echo "$peak_every * 1024 / $size" | bc -l)"
  in_mb=$(echo "$size / 1048576" | bc -l)
  bench_row "peak MB, insert -k" "$(echo "$peak_keyword / 1024" | bc -l)" "input MB" "$in_mb" 1.5
  bench_row "peak MB, insert -e" "$(echo "$peak_every / 1024" | bc -l)" "input MB" "$in_mb" 0.1
else
  echo "  peak memory: /usr/bin/time not available"
fi
