#!/bin/bash
# travik split, then travik merge of the pieces in order, gives back the sample text byte for
# byte in every split mode.
source "$(dirname "$0")/lib.sh"
cd "$WORK"

# split_then_merge NAME SPLIT-OPTIONS...: splits novel.txt into ./NAME/novel, merges the numbered
# pieces (0.txt or 1.txt onwards) into ./NAME/back.txt and compares it with the source.
split_then_merge() {
  local name=$1
  shift
  travik split "$@" -o "$(to_arg "$WORK/$name")" novel.txt 2>stderr ||
    fail "$name: split exit $? $(cat stderr)"
  local pieces
  pieces=$(cd "$name/novel" && ls | grep -E '^[0-9]+\.txt$' | sort -n | tr '\n' ' ')
  [ -n "$pieces" ] || fail "$name: no pieces"
  # Relative names keep the command line short under Wine too.
  # shellcheck disable=SC2086
  (cd "$name/novel" && travik merge -n back -o "$(to_arg "$WORK/$name")" $pieces) >/dev/null 2>stderr ||
    fail "$name: merge exit $? $(cat stderr)"
  cmp "$CORPUS" "$name/back.txt" || fail "$name: split then merge differs from the source"
}

split_then_merge size -s 100
split_then_merge odd-size -s 3
split_then_merge parts -p 13
split_then_merge keyword -k '^第'
split_then_merge chapter -k '章'
echo "split then merge e2e: ok"
