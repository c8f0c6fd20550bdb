#!/bin/bash
# travik merge on pieces of the sample text cut by the standard tools: the merged file is the
# source byte for byte; what cannot be merged completely is reported and kept.
source "$(dirname "$0")/lib.sh"
export LC_ALL=C  # split and csplit work on bytes; globs sort bytewise
cd "$WORK"

# 1. One piece per chapter (csplit at the heading lines "第..."), Chinese names, the default
#    merged name (the Chinese characters of the first name: 第000章 gives 第章).
mkdir chapters out
(cd chapters && csplit -s -z -f '第' -b '%03d章.txt' "$CORPUS" $'/^\xb5\xda/' '{*}')
pieces=$(ls chapters | wc -l)
[ "$pieces" -eq 901 ] || fail "csplit made $pieces pieces"
(cd chapters && travik merge -o "$(to_arg "$WORK/out")" 第*章.txt) >stdout 2>stderr ||
  fail "merge of chapters: exit $? $(cat stderr)"
cmp "$CORPUS" "out/第章.txt" || fail "chapters merged differ from the source"
grep -q '第章.txt' stdout || fail "merged path not printed: $(cat stdout)"
[ "$(ls chapters | wc -l)" -eq 901 ] || fail "sources deleted without --delete-sources"

# 2. Line-aligned pieces of at most 64 KB, merged into ./合并后的文件 and deleted afterwards.
mkdir lines
(cd lines && split -C 64K -d -a 4 --additional-suffix=.txt "$CORPUS" 卷_)
(cd lines && travik merge -n 全唐詩 --delete-sources 卷_*.txt) 2>stderr ||
  fail "merge of line pieces: exit $? $(cat stderr)"
cmp "$CORPUS" "lines/合并后的文件/全唐詩.txt" || fail "line pieces merged differ from the source"
[ -z "$(ls lines | grep -v '^合并后的文件$')" ] || fail "sources left after --delete-sources"

# 3. Byte pieces (split -b cuts inside characters): a piece ending on the first byte of a
#    character is read without that byte; it is reported, kept, and its byte is not merged.
mkdir bytes
(cd bytes && split -b 100000 -d -a 3 --additional-suffix=.txt "$CORPUS" 段_ && cp 段_*.txt ../)
set +e
(cd bytes && travik merge -n b -o . --delete-sources 段_*.txt) 2>stderr
status=$?
set -e
[ "$status" -eq 3 ] || fail "byte pieces: exit $status, want 3"
reported=$(grep -o '段_[0-9]*\.txt' stderr | sort -u)
[ -n "$reported" ] || fail "no piece reported"
grep -q '其后的 1 字节未被合并，原文件未删除' stderr || fail "reason missing: $(head -3 stderr)"
expected=$WORK/expected_bytes
: >"$expected"
for piece in 段_*.txt; do
  if grep -qx "$piece" <<<"$reported"; then
    head -c -1 "$piece" >>"$expected"
    cmp "$piece" "bytes/$piece" || fail "reported piece $piece changed or deleted"
  else
    cat "$piece" >>"$expected"
    [ ! -e "bytes/$piece" ] || fail "complete piece $piece not deleted"
  fi
done
cmp "$expected" bytes/b.txt || fail "byte pieces merged differ from the pieces' texts"

# 4. The merged file listed as a source, and a source holding 0x1A: both reported and kept.
mkdir special
printf 'old\r\n' >special/m.txt
printf 'A' >special/a.txt
printf 'ab\x1acd' >special/eof.txt
set +e
(cd special && travik merge -n m -o . --delete-sources m.txt a.txt eof.txt) 2>stderr
status=$?
set -e
[ "$status" -eq 3 ] || fail "special sources: exit $status, want 3"
[ "$(cat special/m.txt)" = "$(printf 'old\r\nAab')" ] || fail "m.txt holds $(od -c special/m.txt)"
[ ! -e special/a.txt ] || fail "a.txt not deleted"
[ "$(od -An -tx1 special/eof.txt)" = "$(printf 'ab\x1acd' | od -An -tx1)" ] || fail "eof.txt changed"
grep -q 'm.txt: 是合并后的文件本身，未删除' stderr || fail "m.txt not reported: $(cat stderr)"
grep -q 'eof.txt: 只读取了前 2 字节' stderr || fail "eof.txt not reported: $(cat stderr)"

# 5. A failed check and a usage error.
set +e
travik merge 2>stderr
status=$?
travik merge --no-such-option a.txt 2>/dev/null
usage=$?
set -e
[ "$status" -eq 1 ] && grep -q '当前没有可执行的任务！' stderr || fail "empty list: exit $status"
[ "$usage" -eq 2 ] || fail "usage error: exit $usage"
echo "merge e2e: ok ($pieces chapters)"
