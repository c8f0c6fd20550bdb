#!/bin/bash
# A book never replaces its own sources, a file named twice is handled once, a source written to
# by another program is never deleted, pipes are read to their end, and SIGTERM or SIGHUP stop a
# job the way Ctrl+C does, leaving no temporary file.
source "$(dirname "$0")/lib.sh"
cd "$WORK"
gbk() { printf '%s' "$1" | iconv -f UTF-8 -t GBK; }
gbk $'第一章 开端\r\n一\r\n' >第一章.txt
gbk $'第二章 发展\r\n二\r\n' >第二章.txt
cp 第一章.txt one.bak
cp 第二章.txt two.bak

# 1. The default name is taken from the first file: 第一章.txt would become the whole book.
status=0
travik merge -o "$(to_arg "$WORK")" "$(to_arg "$WORK/第一章.txt")" "$(to_arg "$WORK/第二章.txt")" \
  >out 2>err || status=$?
[ "$status" = 1 ] || fail "merge over its own source: exit $status ($(cat err))"
grep -q '合并会覆盖它' err || fail "no word of the refusal: $(cat err)"
cmp -s 第一章.txt one.bak && cmp -s 第二章.txt two.bak || fail "a source was changed"
[ "$(ls | grep -c '\.tmp$')" = 0 ] || fail "a temporary file was left"

# 2. The same file named twice (another spelling, a hard link) is merged once, with a note;
#    --repeat merges it as often as it is named.
ln 第一章.txt link.txt
travik merge -n 书 -o "$(to_arg "$WORK/out1")" "$(to_arg "$WORK/第一章.txt")" \
  "$(to_arg "$WORK/./第一章.txt")" "$(to_arg "$WORK/link.txt")" "$(to_arg "$WORK/第二章.txt")" \
  >out 2>err || fail "merge of a repeated file: $(cat err)"
cat one.bak two.bak | cmp -s - out1/书.txt || fail "a repeated file was merged more than once"
[ "$(grep -c '只合并一次' err)" = 2 ] || fail "no note for each repeated file: $(cat err)"
travik merge --repeat -n 书 -o "$(to_arg "$WORK/out2")" "$(to_arg "$WORK/第一章.txt")" \
  "$(to_arg "$WORK/第一章.txt")" >out 2>err || fail "merge --repeat: $(cat err)"
cat one.bak one.bak | cmp -s - out2/书.txt || fail "--repeat did not merge the file twice"

# 3. Insert in place into a file named three times: the text goes in once per heading.
cp one.bak a.txt
ln a.txt a_link.txt
travik insert -k '第.章' -t 【注】 --in-place "$(to_arg "$WORK/a.txt")" "$(to_arg "$WORK/a.txt")" \
  "$(to_arg "$WORK/a_link.txt")" >out 2>err || fail "insert into a repeated file: $(cat err)"
[ "$(iconv -f GBK -t UTF-8 a.txt | grep -o '【注】' | wc -l)" = 1 ] ||
  fail "the text was inserted more than once: $(iconv -f GBK -t UTF-8 a.txt)"
grep -q '只处理一次' err || fail "no note for the repeated file"

# 4. Split: the same file twice makes one folder.
travik split -s 1 -o "$(to_arg "$WORK/pieces")" "$(to_arg "$WORK/第二章.txt")" \
  "$(to_arg "$WORK/link.txt")" "$(to_arg "$WORK/第一章.txt")" >out 2>err ||
  fail "split of a repeated file: $(cat err)"
[ "$(ls pieces | wc -l)" = 2 ] || fail "folders: $(ls pieces)"

[ "$PLATFORM" = native ] || { echo "pipes and signals: native only"; exit 0; }

# 5. Pipes are read to their end: standard input, a process substitution, a FIFO.
cat "$CORPUS" | "$TRAVIK_BIN" split -s 100 -o pieces_in /dev/stdin >out 2>err ||
  fail "split of a pipe: $(cat err)"
cat pieces_in/stdin/*.txt | wc -c | grep -qx "$(stat -c %s "$CORPUS")" ||
  fail "the pieces of a pipe do not hold the whole text"
"$TRAVIK_BIN" merge -n p -o from_pipe <(cat one.bak) 第二章.txt >out 2>err ||
  fail "merge of a pipe: $(cat err)"
cat one.bak two.bak | cmp -s - from_pipe/p.txt || fail "the piped source was not merged whole"
status=0
cat one.bak | "$TRAVIK_BIN" merge --delete-sources -n q -o from_pipe /dev/stdin 第二章.txt \
  >out 2>err || status=$?
[ "$status" = 3 ] && grep -q '不是普通文件' err || fail "a pipe's deletion: exit $status $(cat err)"
[ ! -e 第二章.txt ] || fail "the regular source was not deleted"
cp two.bak 第二章.txt
# A FIFO nobody writes to: Ctrl+C, SIGTERM and SIGHUP stop the wait.
mkfifo waiting.txt
for signal in INT TERM HUP; do
  "$TRAVIK_BIN" merge -n w -o fifo waiting.txt 第二章.txt >out 2>err &
  pid=$!
  sleep 0.3
  kill -"$signal" "$pid"
  status=0
  for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$pid" 2>/dev/null && { kill -KILL "$pid"; fail "SIG$signal did not stop a wait on a FIFO"; }
  wait "$pid" || status=$?
  case $signal in INT) want=130 ;; TERM) want=143 ;; HUP) want=129 ;; esac
  [ "$status" = "$want" ] || fail "SIG$signal: exit $status, not $want ($(cat err))"
  grep -q '已停止' err || fail "SIG$signal: no word of the stop"
  [ ! -e fifo/w.txt ] || fail "SIG$signal: a merged file was written"
done

# 6. SIGTERM or SIGHUP while a merge has written part of the book (waiting on a FIFO after a
#    large file): no .travik-*.tmp is left behind.
for _ in 1 2 3; do cat "$CORPUS"; done >big.txt
for signal in TERM HUP; do
  mkdir -p big_out
  "$TRAVIK_BIN" merge -n big -o big_out big.txt waiting.txt >out 2>err &
  pid=$!
  for _ in $(seq 300); do ls big_out | grep -q '\.tmp$' && break; sleep 0.01; done
  ls big_out | grep -q '\.tmp$' || fail "the merge made no temporary file"
  sleep 0.2
  kill -"$signal" "$pid"
  status=0
  wait "$pid" || status=$?
  [ "$status" -ge 129 ] || fail "SIG$signal: exit $status"
  [ -z "$(ls big_out)" ] || fail "SIG$signal left $(ls big_out)"
  rm -rf big_out
done
# A stream that never ends and never waits (yes | travik ...): Ctrl+C stops the reading at once,
# instead of after the program's range of 2 GB has been read into memory.
"$TRAVIK_BIN" split -s 1000 -o endless /dev/stdin < <(yes 第一章) >out 2>err &
pid=$!
sleep 0.5
kill -INT "$pid"
for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$pid" 2>/dev/null && { kill -KILL "$pid"; fail "Ctrl+C did not stop the reading of an endless pipe"; }
status=0
wait "$pid" || status=$?
[ "$status" = 130 ] || fail "Ctrl+C on an endless pipe: exit $status ($(cat err))"
[ -z "$(ls endless 2>/dev/null)" ] || fail "Ctrl+C on an endless pipe left $(ls endless)"

# 7. A reader that goes away (travik ... | head) does not cut a job short: a warning written to a
#    closed pipe while the first of two texts is split would otherwise end the program there,
#    without the first text's merge script, the second text's pieces or a word of it.
for name in gap_a gap_b; do
  for n in 1 2 3 5 6 7 8 9 10; do gbk "第${n}章 标题"$'\r\n'"正文正文正文。"$'\r\n'; done >"$name.txt"
done
status=0
"$TRAVIK_BIN" split --chapters --merge-script -o gap_out gap_a.txt gap_b.txt 2>&1 | true
status=${PIPESTATUS[0]}
[ "$status" = 0 ] || fail "split to a closed pipe: exit $status"
for name in gap_a gap_b; do
  [ -e "gap_out/$name/点我合并.bat" ] || fail "split to a closed pipe: $name has no merge script"
  cat gap_out/"$name"/0*.txt | cmp -s - "$name.txt" || fail "split to a closed pipe: $name is not whole"
done
"$TRAVIK_BIN" merge -n gap -o gap_out gap_a.txt gap_b.txt | true
status=${PIPESTATUS[0]}
[ "$status" = 0 ] || fail "merge to a closed pipe: exit $status"
cat gap_a.txt gap_b.txt | cmp -s - gap_out/gap.txt || fail "merge to a closed pipe: book not whole"
echo "safety: all checks passed"
