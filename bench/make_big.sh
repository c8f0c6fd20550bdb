#!/bin/bash
# Prints the path of a ~100 MB GBK text on tmpfs, made once from 14 copies of the sample corpus.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
corpus=${TRAVIK_CORPUS_DIR:-$root/../shared/corpus}/novel_gbk.txt
dir=/dev/shm/travik-bench
big=$dir/big_gbk.txt
mkdir -p "$dir"
if [ ! -s "$big" ] || [ "$(stat -c %s "$big")" -ne $(( $(stat -c %s "$corpus") * 14 )) ]; then
  for _ in $(seq 14); do cat "$corpus"; done > "$big.tmp"
  mv "$big.tmp" "$big"
fi
echo "$big"
