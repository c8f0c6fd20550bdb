#!/bin/bash
# Times travik chapters against `grep -c` of the heading lines (^第 in the file's own bytes, GBK)
# on the ~100 MB sample text, in one run, alternating, best of the runs, and prints the ratio and
# travik's peak memory. Both write their answer to a file on tmpfs (grep stops at the first line
# when its output is /dev/null).
# Usage: bench/bench_chapters.sh [path/to/travik] [runs]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/bench/table.sh"
bench_arguments "$@"
big=$("$root/bench/make_big.sh")
work=$(mktemp -d /dev/shm/travik-bench-chapters.XXXXXX)
trap 'rm -rf "$work"' EXIT
heading=$'^\xb5\xda'

now() { date +%s.%N; }
best() {
  if [ -z "${!1}" ] || [ "$(echo "$2 < ${!1}" | bc)" = 1 ]; then printf -v "$1" '%s' "$2"; fi
}
timed() {
  local var=$1 t0 t1
  shift
  t0=$(now)
  "$@"
  t1=$(now)
  best "$var" "$(echo "$t1 - $t0" | bc)"
}
travik_chapters() { "$travik" chapters "$big" >"$work/table"; }
grep_count() { LC_ALL=C grep -c "$heading" "$big" >"$work/count"; }

t_travik= t_grep=
for _ in $(seq "$runs"); do
  timed t_travik travik_chapters
  timed t_grep grep_count
done
headings=$(grep -c '^ *[0-9]' "$work/table" || true)
peak=$( { /usr/bin/time -v "$travik" chapters "$big" >/dev/null; } 2>&1 |
        sed -n 's/.*Maximum resident set size (kbytes): //p')
printf 'travik chapters  %6.3f s  (%s headings listed, grep counts %s lines)\n' "$t_travik" \
  "$headings" "$(cat "$work/count")"
printf 'grep -c ^第      %6.3f s\n' "$t_grep"
printf 'ratio            %6.2f  (goal <= 2.0)   peak memory %s KB\n' \
  "$(echo "$t_travik / $t_grep" | bc -l)" "$peak"
bench_row "chapters" "$t_travik" "grep -c ^第" "$t_grep" 2.0
