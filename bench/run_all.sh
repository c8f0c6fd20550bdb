#!/bin/bash
# Runs every benchmark in one go on the ~100 MB sample text: the core searches (MB/s, FindText
# against memmem), then each job against the standard tool doing the nearest job.
# Usage: bench/run_all.sh [build folder, default build/native]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/native}
cmake --build "$build" --target travik core_bench >/dev/null
"$root/bench/make_big.sh" >/dev/null
echo "== core searches"
"$build/bench/core_bench" --benchmark_min_time=0.5 2>/dev/null
echo "== split";  "$root/bench/bench_split.sh" "$build/cli/travik"
echo "== merge";  "$root/bench/bench_merge.sh" "$build/cli/travik"
echo "== insert"; "$root/bench/bench_insert.sh" "$build/cli/travik"
echo "== chapters"; "$root/bench/bench_chapters.sh" "$build/cli/travik"
