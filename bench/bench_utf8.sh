#!/bin/bash
# Times travik split on the ~100 MB sample text converted to UTF-8, in one run, alternating, best
# of the runs, with all output on tmpfs, and prints the ratios:
#   split --size 100 on the UTF-8 text     against  the same split of the GBK text
#   split --keyword '^第' on the UTF-8 text  against  csplit at the same heading lines
# The pieces are checked once, outside the timings (joined they give the source, each is whole
# UTF-8, the keyword split cuts where csplit does); a wrong result is printed beside its ratio.
# Usage: bench/bench_utf8.sh [path/to/travik] [runs]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/bench/table.sh"
bench_arguments "$@"
gbk=$("$root/bench/make_big.sh")
utf8=$("$root/bench/make_big.sh" utf-8)
name=$(basename "$utf8" .txt)

work=$(mktemp -d /dev/shm/travik-bench-utf8.XXXXXX)
trap 'rm -rf "$work"' EXIT
export LC_ALL=C      # csplit matches bytes
heading=$'^\xe7\xac\xac'  # 第 in UTF-8

now() { date +%s.%N; }
best() {
  if [ -z "${!1}" ] || [ "$(echo "$2 < ${!1}" | bc)" = 1 ]; then printf -v "$1" '%s' "$2"; fi
}
# timed <variable> <command...>: runs the command once into a fresh output folder; keeps the
# best wall time in <variable> and the best processor time (user + system, which compares fairly
# on a machine other work shares) in <variable>_cpu.
timed() {
  local var=$1 t0 t1
  shift
  rm -rf "$work/out"
  mkdir "$work/out"
  t0=$(now)
  # A failing split is timed all the same; its pieces are judged below.
  /usr/bin/time -f '%U %S' -o "$work/cpu" "$@" >/dev/null 2>&1 || true
  t1=$(now)
  best "$var" "$(echo "$t1 - $t0" | bc)"
  best "${var}_cpu" "$(tail -n 1 "$work/cpu" | awk '{print $1 + $2}')"  # after any exit-status line
}
size_split() { "$travik" split --size 100 -o "$work/out" "$1" >/dev/null 2>&1 || true; }
keyword_split() { "$travik" split --keyword '^第' -o "$work/out" "$utf8" >/dev/null 2>&1 || true; }

t_utf8= t_gbk= t_keyword= t_csplit= t_utf8_cpu= t_gbk_cpu= t_keyword_cpu= t_csplit_cpu=
for _ in $(seq "$runs"); do
  timed t_utf8 "$travik" split --size 100 -o "$work/out" "$utf8"
  timed t_gbk "$travik" split --size 100 -o "$work/out" "$gbk"
  timed t_keyword "$travik" split --keyword '^第' -o "$work/out" "$utf8"
  timed t_csplit csplit -s -z -n 5 -f "$work/out/x" "$utf8" "/$heading/" '{*}'
done

# pieces_problem <folder> <source>: what is wrong with the numbered pieces (0.txt or 1.txt, ...)
# in the folder, or nothing: in order they must join to the source, each must decode as UTF-8.
pieces_problem() {
  [ -n "$(ls "$1" 2>/dev/null)" ] || { echo "no pieces"; return; }
  python3 - "$1" "$2" <<'PY'
import os, sys
folder, source = sys.argv[1], sys.argv[2]
names = sorted(os.listdir(folder), key=lambda n: int(n.split(".")[0]))
joined, bad = [], []
for name in names:
    piece = open(os.path.join(folder, name), "rb").read()
    joined.append(piece)
    try:
        piece.decode("utf-8")
    except UnicodeDecodeError:
        bad.append(name)
if b"".join(joined) != open(source, "rb").read():
    print("pieces joined differ from the source")
elif bad:
    print(f"{len(bad)} pieces are not whole UTF-8 (first: {bad[0]})")
PY
}

count_pieces() { if [ -d "$1" ]; then ls "$1" | wc -l; else echo 0; fi; }

rm -rf "$work/out" && mkdir "$work/out"
size_split "$utf8"
size_pieces=$(count_pieces "$work/out/$name")
size_note="$size_pieces pieces"
problem=$(pieces_problem "$work/out/$name" "$utf8")
[ -z "$problem" ] || size_note="$size_note; WRONG: $problem"

rm -rf "$work/out" && mkdir "$work/out"
keyword_split
keyword_pieces=$(count_pieces "$work/out/$name")
mkdir "$work/c"
(cd "$work/c" && csplit -s -z -n 5 -f x "$utf8" "/$heading/" '{*}')
csplit_pieces=$(ls "$work/c" | wc -l)
keyword_note="$keyword_pieces pieces"
problem=$(pieces_problem "$work/out/$name" "$utf8")
if [ -n "$problem" ]; then
  keyword_note="$keyword_note; WRONG: $problem"
elif [ "$keyword_pieces" -ne "$csplit_pieces" ]; then
  keyword_note="$keyword_note; WRONG: csplit makes $csplit_pieces"
elif ! cmp -s "$work/out/$name/1.txt" "$work/c/x00001"; then
  keyword_note="$keyword_note; WRONG: piece 1 differs from csplit's"
fi

mb=$(echo "scale=1; $(stat -c %s "$utf8") / 1048576" | bc)
printf 'UTF-8 text, %s MB (best of %d; output on tmpfs)\n' "$mb" "$runs"
printf '  travik split --size 100, UTF-8   %.3f s  (%s)\n' "$t_utf8" "$size_note"
printf '  travik split --size 100, GBK     %.3f s\n' "$t_gbk"
printf '  ratio UTF-8/GBK:     %.2f (processor time %.3f s / %.3f s: %.2f)\n' \
  "$(echo "$t_utf8 / $t_gbk" | bc -l)" "$t_utf8_cpu" "$t_gbk_cpu" \
  "$(echo "$t_utf8_cpu / $t_gbk_cpu" | bc -l)"
printf '  travik split --keyword ^第       %.3f s  (%s)\n' "$t_keyword" "$keyword_note"
printf '  csplit /^第/ {*}                 %.3f s  (%s pieces)\n' "$t_csplit" "$csplit_pieces"
printf '  ratio travik/csplit: %.2f (processor time %.3f s / %.3f s: %.2f)\n' \
  "$(echo "$t_keyword / $t_csplit" | bc -l)" "$t_keyword_cpu" "$t_csplit_cpu" \
  "$(echo "$t_keyword_cpu / $t_csplit_cpu" | bc -l)"
bench_row "split -s 100 (UTF-8)" "$t_utf8" "split -s 100 (GBK)" "$t_gbk" 1.3 "$size_note"
bench_row "split -s 100 (UTF-8, cpu)" "$t_utf8_cpu" "split -s 100 (GBK, cpu)" "$t_gbk_cpu" 1.3
bench_row "split -k ^第 (UTF-8)" "$t_keyword" "csplit (UTF-8)" "$t_csplit" 1.0 "$keyword_note"
bench_row "split -k ^第 (UTF-8, cpu)" "$t_keyword_cpu" "csplit (UTF-8, cpu)" "$t_csplit_cpu" 1.0
