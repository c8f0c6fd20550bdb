#!/bin/bash
# Runs one fuzz target for a number of seconds, e.g. tools/fuzz.sh split 600 (the targets: split,
# insert, pattern, files, encoding; "fuzz_split" works too). Further arguments go to libFuzzer.
#
# Builds build/sanitize first (clang, sanitizers, libFuzzer). The target starts from its seeds in
# fuzz/corpus/<target>/, which it only reads; what it learns goes to build/sanitize/fuzz-work/.
# A finding (crash, leak, timeout, broken invariant) is saved in build/sanitize/fuzz-findings/
# and the run fails: once the fault is mended, keep the input as fuzz/corpus/<target>/crash-<...>
# so that every later run replays it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
if [ $# -lt 2 ]; then
  echo "usage: tools/fuzz.sh TARGET SECONDS [libFuzzer options]" >&2
  exit 2
fi
target=fuzz_${1#fuzz_}
seconds=$2
shift 2
if [ ! -d "$root/fuzz/corpus/$target" ]; then
  echo "no fuzz target $target (see fuzz/corpus/)" >&2
  exit 2
fi
# TRAVIK_FUZZ_BUILT=1: the caller has built the tree already.
if [ -z "${TRAVIK_FUZZ_BUILT:-}" ]; then
  . "$root/tools/sanitize_build.sh" "$target" >/dev/null
fi

# As in the sanitizer build (tools/test.sh builds first and skips that step).
export ASAN_OPTIONS=${ASAN_OPTIONS:-halt_on_error=1:abort_on_error=1:detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}

work=$root/build/sanitize/fuzz-work/$target
findings=$root/build/sanitize/fuzz-findings
mkdir -p "$work" "$findings"
# The files target makes its scratch folder here; it is removed again when the run ends.
export TMPDIR=$(mktemp -d)
trap 'rm -rf "$TMPDIR"' EXIT
# Any finding exits non-zero. -len_control=0 tries long inputs from the start.
"$root/build/sanitize/fuzz/$target" -max_total_time="$seconds" -len_control=0 -max_len=4096 \
    -timeout=90 -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$findings/$target-" \
    "$@" "$work" "$root/fuzz/corpus/$target"
