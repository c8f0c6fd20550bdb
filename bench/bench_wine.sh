#!/bin/bash
# Travik for Windows under Wine, on the ~100 MB sample text, all output on tmpfs:
#   travik-cli split --keyword '^第'  against  the bare create/write/close loop for the same pieces
#                                              (bare_pieces_win32: the file system's floor)
#   peak memory of split --size 100, merge of ~1,000 pieces and insert --every 1000 against the
#   input's size: the most the Wine process held (its resident set, as /usr/bin/time counts it;
#   Wine's own GetProcessMemoryInfo answers nothing for another process); the table's rows take
#   away what an idle travik-cli holds, Wine's own share, and name the whole beside it.
# Runs alternate and the median of each is taken. Usage: bench/bench_wine.sh [build/win] [runs]
# (runs: default $TRAVIK_WINE_RUNS, else 3; a run of the split takes a minute or more)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/bench/table.sh"
build=$(cd "${1:-$root/build/win}" && pwd)
runs=${2:-${TRAVIK_WINE_RUNS:-3}}
cli=$build/cli/travik-cli.exe
bare=$build/bench/bare_pieces_win32.exe
for exe in "$cli" "$bare"; do
  [ -f "$exe" ] || { echo "no $exe (cmake --build $build --target travik bare_pieces_win32)" >&2; exit 2; }
done
export TRAVIK_BUILD_ROOT=${TRAVIK_BUILD_ROOT:-$(dirname "$build")}
"$root/tools/wine_prefix.sh"
. "$root/tools/wine_env.sh"
big=$("$root/bench/make_big.sh")
size=$(stat -c %s "$big")
name=$(basename "$big" .txt)
work=$(mktemp -d /dev/shm/travik-bench-wine.XXXXXX)
trap 'rm -rf "$work"' EXIT
win() { echo "Z:${1//\//\\}"; }
# The server stays up between runs, as it does for a person running one job after another.
"$TRAVIK_WINESERVER" -p 60 2>/dev/null || true  # fails when one is up already
"$TRAVIK_WINE" "$cli" --help >/dev/null 2>&1 || true

now() { date +%s.%N; }
fresh() { rm -rf "$work/out"; mkdir "$work/out"; }

travik_keyword() { "$TRAVIK_WINE" "$cli" split --keyword '^第' -o "$(win "$work/out")" "$(win "$big")" >/dev/null; }
bare_keyword() { "$TRAVIK_WINE" "$bare" "$(win "$big")" "$(win "$work/out")" '第' >/dev/null; }
t_travik=() t_bare=()
for _ in $(seq "$runs"); do
  fresh; t0=$(now); travik_keyword; t1=$(now); t_travik+=("$(echo "$t1 - $t0" | bc)")
  pieces=$(ls "$work/out/$name" | wc -l)
  fresh; t0=$(now); bare_keyword; t1=$(now); t_bare+=("$(echo "$t1 - $t0" | bc)")
  bare_pieces=$(ls "$work/out" | wc -l)
done
[ "$pieces" -eq "$bare_pieces" ] || { echo "travik made $pieces pieces, the loop $bare_pieces" >&2; exit 1; }
mt=$(median "${t_travik[@]}") mb=$(median "${t_bare[@]}")
printf 'keyword split under Wine, %d pieces (median of %d, alternating)\n' "$pieces" "$runs"
printf '  travik-cli split --keyword ^第  %s s  (runs: %s)\n' "$mt" "${t_travik[*]}"
printf '  bare create/write/close loop    %s s  (runs: %s)\n' "$mb" "${t_bare[*]}"
printf '  ratio: %.2f\n' "$(echo "$mt / $mb" | bc -l)"
bench_row "Wine split -k ^第" "$mt" "bare Win32 loop" "$mb" 1.2 "$pieces pieces"

# Peak working sets, one run each, checked against the expected outputs.
in_mb=$(echo "$size / 1048576" | bc -l)
peak_of() { /usr/bin/time -f %M "$TRAVIK_WINE" "$@" 2>&1 >/dev/null | tail -n 1; }
p_idle=$(peak_of "$cli" --help)
fresh
p_size=$(peak_of "$cli" split --size 100 -o "$(win "$work/out")" "$(win "$big")")
(cd "$work/out/$name" && cat $(seq -f '%g.txt' 1 "$(ls | grep -c '^[0-9]*\.txt$')")) | cmp - "$big" ||
  { echo "size pieces joined differ from the source" >&2; exit 1; }
rm -rf "$work/out"; mkdir -p "$work/out" "$work/pieces"
(cd "$work/pieces" && split -C $(( size / 1000 + 1 )) -d -a 4 --additional-suffix=.txt "$big" p)
p_merge=$(cd "$work/pieces" && peak_of "$cli" merge -n m -o "$(win "$work/out")" p*.txt)
cmp "$work/out/m.txt" "$big" || { echo "merged pieces differ from the source" >&2; exit 1; }
rm -rf "$work/pieces"; fresh
p_insert=$(peak_of "$cli" insert --every 1000 --text '##' -o "$(win "$work/out")" "$(win "$big")")
[ $(( $(stat -c %s "$work/out/$name.txt") - size )) -eq $(( size / 1000 * 2 )) ] ||
  { echo "insert --every 1000 made a copy of the wrong size" >&2; exit 1; }
printf 'peak memory under Wine (input %.1f MB; an idle travik-cli holds %d KB)\n' "$in_mb" "$p_idle"
for row in "split --size 100:$p_size" "merge (1,000 pieces):$p_merge" "insert --every 1000:$p_insert"; do
  kb=${row##*:}
  printf '  %-22s %6d KB  %.3fx the input, %.3fx above the idle program\n' "${row%:*}" "$kb" \
    "$(echo "$kb * 1024 / $size" | bc -l)" "$(echo "($kb - $p_idle) * 1024 / $size" | bc -l)"
done
# Against the goal: what the job holds beyond an idle travik-cli, which is Wine's own (its DLLs
# and server link, some 15 MB that a program on Windows does not carry). The whole is in the note.
for row in "split -s 100:$p_size" "merge:$p_merge" "insert -e:$p_insert"; do
  kb=${row##*:}
  bench_row "Wine peak MB, ${row%:*}" "$(echo "($kb - $p_idle) / 1024" | bc -l)" "input MB" "$in_mb" 0.1 \
    "above idle; whole $((kb / 1024)) MB, idle $((p_idle / 1024)) MB"
done
