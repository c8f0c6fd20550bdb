#!/bin/bash
# Ctrl+C during a long split: travik stops between pieces and exits 130, leaving only complete
# pieces, numbered without a gap, that join to the start of the text. (Native build: a signal
# sent to a program under Wine does not reach it as Ctrl+C.)
source "$(dirname "$0")/lib.sh"
export LC_ALL=C
[ "$PLATFORM" = native ] || { echo "skipped under Wine"; exit 0; }
cd "$WORK"
for _ in 1 2 3 4 5 6 7 8; do cat "$CORPUS"; done >big.txt  # about 60 MB
size=$(stat -c %s big.txt)

"$TRAVIK_BIN" split -s 1 -o "$WORK/out" big.txt 2>stderr &
pid=$!
# Interrupt once the first pieces are there.
for _ in $(seq 200); do [ -e "$WORK/out/big/10.txt" ] && break; sleep 0.01; done
kill -INT "$pid"
status=0
wait "$pid" || status=$?
[ "$status" = 130 ] || fail "exit $status after Ctrl+C, not 130 ($(cat stderr))"
grep -q '已停止' stderr || fail "no word of the stop on stderr"

n=1
: >joined
while [ -e "out/big/$n.txt" ]; do
  piece=$(stat -c %s "out/big/$n.txt")
  [ "$piece" -ge 1024 ] && [ "$piece" -le 1025 ] || fail "piece $n has $piece bytes: not whole"
  cat "out/big/$n.txt" >>joined
  n=$((n + 1))
done
pieces=$(ls out/big | wc -l)
[ "$pieces" = $((n - 1)) ] || fail "$pieces pieces, but only 1 to $((n - 1)) follow each other"
grep -q "已完整写入 $pieces 个文件，最后一个是 .*$pieces\.txt" stderr ||
  fail "the report does not name the $pieces pieces written ($(cat stderr))"
joined_size=$(stat -c %s joined)
[ "$joined_size" -lt "$size" ] || fail "the split ran to its end before the interrupt"
cmp -s joined <(head -c "$joined_size" big.txt) || fail "the pieces are not the start of the text"
echo "stopped after $pieces pieces ($joined_size of $size bytes)"
