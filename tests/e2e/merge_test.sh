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
headings=$(LC_ALL=C grep -a -c $'^\xb5\xda' "$CORPUS")
[ "$pieces" -eq $((headings + 1)) ] || fail "csplit made $pieces pieces"
(cd chapters && travik merge -o "$(to_arg "$WORK/out")" 第*章.txt) >stdout 2>stderr ||
  fail "merge of chapters: exit $? $(cat stderr)"
cmp "$CORPUS" "out/第章.txt" || fail "chapters merged differ from the source"
grep -q '第章.txt' stdout || fail "merged path not printed: $(cat stdout)"
[ "$(ls chapters | wc -l)" -eq "$pieces" ] || fail "sources deleted without --delete-sources"

# 2. Line-aligned pieces of at most 64 KB, merged into ./合并后的文件 and deleted afterwards.
mkdir lines
(cd lines && split -C 64K -d -a 4 --additional-suffix=.txt "$CORPUS" 卷_)
(cd lines && travik merge -n 全唐詩 --delete-sources 卷_*.txt) 2>stderr ||
  fail "merge of line pieces: exit $? $(cat stderr)"
cmp "$CORPUS" "lines/合并后的文件/全唐詩.txt" || fail "line pieces merged differ from the source"
[ -z "$(ls lines | grep -v '^合并后的文件$')" ] || fail "sources left after --delete-sources"

# 3. Byte pieces (split -b cuts inside characters): a piece ending on the first byte of a
#    character hands it to the next piece, so the merged file is the source again and every
#    piece is complete (and deleted). Only a last piece that ends so is reported and kept.
mkdir bytes
(cd bytes && split -b 10000 -d -a 3 --additional-suffix=.txt "$CORPUS" 段_)
cut_pieces=0
for piece in bytes/段_*.txt; do
  # A piece whose bytes do not decode on their own ends (or starts) inside a character.
  iconv -f GBK -t UTF-8 "$piece" >/dev/null 2>&1 || cut_pieces=$((cut_pieces + 1))
done
[ "$cut_pieces" -gt 3 ] || fail "only $cut_pieces byte pieces cut a character"
(cd bytes && travik merge -n b -o . --delete-sources 段_*.txt) 2>stderr ||
  fail "byte pieces: exit $? $(cat stderr)"
cmp "$CORPUS" bytes/b.txt || fail "byte pieces merged differ from the source"
[ "$(ls bytes)" = b.txt ] || fail "complete byte pieces not deleted: $(ls bytes | head -3)"
printf 'ab\xb0' >bytes/末.txt
set +e
(cd bytes && travik merge -n c -o . 末.txt) 2>stderr
status=$?
set -e
[ "$status" -eq 3 ] && grep -q '末.txt: 只读取了前 2 字节' stderr || fail "last half character: exit $status $(cat stderr)"
[ "$(cat bytes/c.txt)" = ab ] && [ -e bytes/末.txt ] || fail "last half character: merged or deleted"

# 4. The merged file listed as a source: refused before anything is written. A source holding
#    a 0x1A: merged whole, told, deleted; a source padded at its end: its text merged, told, kept;
#    a source with a 0x00 inside: no text, and no merged file.
mkdir special
printf 'old\r\n' >special/m.txt
printf 'A' >special/a.txt
printf 'ab\x1acd' >special/eof.txt
printf 'pq\x1a\x1a' >special/pad.txt
printf 'b\x00n' >special/bin.txt
set +e
(cd special && travik merge -n m -o . --delete-sources m.txt a.txt eof.txt) 2>stderr
status=$?
set -e
[ "$status" -eq 1 ] || fail "merged file listed as a source: exit $status, want 1"
grep -q '合并会覆盖它' stderr || fail "the refusal is not shown: $(cat stderr)"
[ "$(cat special/m.txt)" = "$(printf 'old\r\n')" ] || fail "m.txt holds $(od -c special/m.txt)"
[ -e special/a.txt ] || fail "a.txt deleted"
set +e
(cd special && travik merge -n m -o . --delete-sources a.txt eof.txt pad.txt) 2>stderr
status=$?
set -e
[ "$status" -eq 0 ] || fail "special sources: exit $status, want 0 $(cat stderr)"
[ "$(od -An -tx1 special/m.txt)" = "$(printf 'Aab\x1acdpq' | od -An -tx1)" ] ||
  fail "m.txt holds $(od -c special/m.txt)"
[ ! -e special/a.txt ] && [ ! -e special/eof.txt ] || fail "a.txt or eof.txt not deleted"
[ "$(od -An -tx1 special/pad.txt)" = "$(printf 'pq\x1a\x1a' | od -An -tx1)" ] || fail "pad.txt changed"
grep -q 'eof.txt: 第 3 字节有 0x1A 控制字符，已原样保留' stderr || fail "eof.txt not told: $(cat stderr)"
grep -q 'pad.txt: 文件末尾的 2 个 0x00/0x1A 填充字节不属于文本，已略去' stderr ||
  fail "pad.txt not told: $(cat stderr)"
set +e
(cd special && travik merge -n n -o . pad.txt bin.txt) 2>stderr
status=$?
set -e
[ "$status" -eq 3 ] && grep -q 'bin.txt.*第 2 字节是 0x00' stderr ||
  fail "a source with a 0x00 inside: exit $status $(cat stderr)"
[ ! -e special/n.txt ] || fail "a merged file was written with a source left out"

# 5. A failed check and a usage error.
set +e
travik merge 2>stderr
status=$?
travik merge --no-such-option a.txt 2>/dev/null
usage=$?
set -e
[ "$status" -eq 2 ] && grep -q '没有给出要合并的文件' stderr || fail "no files: exit $status"
[ "$usage" -eq 2 ] || fail "usage error: exit $usage"
echo "merge e2e: ok ($pieces chapters)"
