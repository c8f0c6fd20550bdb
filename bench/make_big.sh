#!/bin/bash
# Prints the path of a ~100 MB GBK text on tmpfs, made once from 14 copies of the sample corpus;
# `make_big.sh utf-8` prints the path of the same text converted to UTF-8 (made once, by iconv).
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
case "${1:-gbk}" in
  gbk) echo "$big" ;;
  utf-8)
    utf8=$dir/big_utf8.txt
    if [ ! -s "$utf8" ] || [ "$utf8" -ot "$big" ]; then
      iconv -f GBK -t UTF-8 "$big" > "$utf8.tmp"
      mv "$utf8.tmp" "$utf8"
    fi
    echo "$utf8" ;;
  *) echo "usage: make_big.sh [gbk|utf-8]" >&2; exit 2 ;;
esac
