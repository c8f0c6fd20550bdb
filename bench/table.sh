# Sourced by the bench scripts. bench_arguments takes a script's arguments, [travik] [runs]:
# sets $travik (default the native build's) and $runs (default 5), and stops when there is no
# travik to run.
bench_arguments() {
  travik=${1:-$root/build/native/cli/travik}
  runs=${2:-5}
  [ -x "$travik" ] || { echo "no travik at $travik (give its path)" >&2; exit 2; }
}

# median <numbers...>: the middle one (the mean of the two middle ones for an even count). The
# machine is shared and noisy: runs alternate between travik and the reference, and the median of
# each side is compared.
median() {
  printf '%s\n' "$@" | sort -g |
    awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
# take_run <variable> <seconds>: adds a run's time to <variable>_runs and sets <variable> to the
# median so far.
take_run() {
  local runs_var="${1}_runs"
  printf -v "$runs_var" '%s %s' "${!runs_var:-}" "$2"
  # shellcheck disable=SC2086
  printf -v "$1" '%s' "$(median ${!runs_var})"
}

# bench_row adds one row to the table that bench/run_all.sh prints
# at the end of its run (the file named by TRAVIK_BENCH_ROWS; nothing when it is unset).
#   bench_row <job> <travik seconds> <reference> <reference seconds> <goal ratio> [note]
bench_row() {
  [ -n "${TRAVIK_BENCH_ROWS:-}" ] || return 0
  local ratio
  ratio=$(echo "$2 / $4" | bc -l)
  printf '%s\t%.3f\t%s\t%.3f\t%.3f\t%s\t%s\n' "$1" "$2" "$3" "$4" "$ratio" "$5" "${6:-}" \
    >>"$TRAVIK_BENCH_ROWS"
}

# Prints the rows as one table, each ratio against its goal.
bench_table() {
  local job t ref tr ratio goal note mark
  printf '%-30s %8s  %-24s %8s  %6s  %-6s  %s\n' job travik reference 'ref' ratio goal note
  while IFS=$'\t' read -r job t ref tr ratio goal note; do
    mark=met
    [ "$(echo "$ratio > $goal" | bc -l)" = 1 ] && mark=MISSED
    printf '%-30s %8s  %-24s %8s  %6s  <=%-4s  %s %s\n' "$job" "$t" "$ref" "$tr" "$ratio" "$goal" \
      "$mark" "$note"
  done <"$1"
}
