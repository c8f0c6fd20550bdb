#!/bin/bash
# travik insert on the sample text in UTF-8 (with and without a byte-order mark) and in GB18030
# with characters GBK lacks: every result decodes in its encoding, taking the inserted text out
# gives the source back, byte counts are the file's own; what the file's encoding cannot hold, a
# UTF-16 text and a text invalid in the given encoding are refused with the file untouched.
source "$(dirname "$0")/lib.sh"
cd "$WORK"
iconv -f GBK -t UTF-8 "$CORPUS" >source.utf8 || fail "the corpus is not GBK"

# expect_exit WANT ARGS...: travik insert ARGS exits WANT; its stderr is left in ./stderr.
expect_exit() {
  local want=$1
  shift
  set +e
  travik insert "$@" >stdout 2>stderr
  local got=$?
  set -e
  [ "$got" -eq "$want" ] || fail "travik insert $*: exit $got, want $want ($(cat stderr))"
}
# same_text FILE ENCODING MARKER: FILE decodes in ENCODING and without MARKER (UTF-8) it is
# reference.utf8; the count of MARKER is left in $found.
same_text() {
  iconv -f "$2" -t UTF-8 "$1" >check.utf8 || fail "$1 is not valid $2"
  found=$(grep -o -F "$3" check.utf8 | wc -l)
  LC_ALL=C sed "s/$3//g" check.utf8 | cmp -s - reference.utf8 ||
    fail "$1 without $3 differs from the source"
}
# counted_offsets FILE MARKER_BYTES STEP SLACK: the k-th MARKER lies at k * STEP + (k - 1) *
# length, or at most SLACK bytes later (the end of the character, then past an LF).
counted_offsets() {
  LC_ALL=C grep -o -b -a -F "$2" "$1" | cut -d: -f1 |
    awk -v n="$(printf '%s' "$2" | wc -c)" -v step="$3" -v slack="$4" '
      { want = NR * step + (NR - 1) * n
        if ($1 < want || $1 > want + slack) { print NR ": " $1 " want " want; exit 1 } }' ||
    fail "$1: an insertion is off its byte count"
}
cp source.utf8 reference.utf8

# 1. The sample in UTF-8, every 1000 bytes, in place: valid UTF-8, each insertion at its count or
#    at most to the end of its character and past an LF.
mkdir utf8 && cp source.utf8 utf8/novel.txt
size=$(stat -c %s utf8/novel.txt)
travik insert -e 1000 -t 【注】 --in-place "$(to_arg "$WORK/utf8/novel.txt")" >stdout 2>stderr ||
  fail "UTF-8 every-1000 in place: exit $? $(cat stderr)"
same_text utf8/novel.txt UTF-8 【注】
[ "$found" -eq $(( size / 1000 )) ] || fail "UTF-8: $found insertions, want $(( size / 1000 ))"
grep -q "插入 $(( size / 1000 )) 处" stdout || fail "UTF-8 count not reported: $(cat stdout)"
counted_offsets utf8/novel.txt 【注】 1000 3
! LC_ALL=C grep -a -q $'\r.' utf8/novel.txt || fail "UTF-8: a CR without its LF"

# 2. With a byte-order mark, kept copy, at random: the mark stays first, nothing goes before it.
mkdir marked
{ printf '\xef\xbb\xbf'; cat source.utf8; } >marked/novel.txt
cp marked/novel.txt marked/original.txt
travik insert -r --seed 5 -t '<随机>' -o "$(to_arg "$WORK/marked/out")" \
  "$(to_arg "$WORK/marked/novel.txt")" >/dev/null 2>stderr || fail "marked random: $(cat stderr)"
cmp -s marked/novel.txt marked/original.txt || fail "keep mode changed the marked source"
[ "$(head -c 3 marked/out/novel.txt | od -An -tx1 | tr -d ' \n')" = efbbbf ] ||
  fail "the mark is not the copy's first bytes"
tail -c +4 marked/out/novel.txt >marked/body.txt
same_text marked/body.txt UTF-8 '<随机>'
[ "$found" -gt 0 ] || fail "marked: nothing inserted"
travik insert -k '^' -t '##' -o "$(to_arg "$WORK/marked/out2")" \
  "$(to_arg "$WORK/marked/novel.txt")" >/dev/null 2>stderr || fail "marked keyword: $(cat stderr)"
[ "$(head -c 5 marked/out2/novel.txt | od -An -tx1 | tr -d ' \n')" = efbbbf2323 ] ||
  fail "a keyword at the start went before the mark"

# 3. Keywords find the same places in the UTF-8 and GBK forms.
mkdir keyword && cp source.utf8 keyword/novel.txt
travik insert -k 章 -t '##' -o "$(to_arg "$WORK/keyword/gbk")" "$(to_arg "$CORPUS")" \
  >/dev/null 2>stderr || fail "GBK keyword: $(cat stderr)"
travik insert -k 章 -t '##' -o "$(to_arg "$WORK/keyword/utf8")" "$(to_arg "$WORK/keyword/novel.txt")" \
  >/dev/null 2>stderr || fail "UTF-8 keyword: $(cat stderr)"
iconv -f GBK -t UTF-8 keyword/gbk/novel.txt | cmp -s - keyword/utf8/novel.txt ||
  fail "the keyword landed elsewhere in the UTF-8 form"

# 4. GB18030 with U+20000 and an emoji after every 。: inserted every 997 bytes, and an emoji
#    inserted too.
sed 's/。/。𠀀😀/g' source.utf8 >reference.utf8
mkdir gb18030
iconv -f UTF-8 -t GB18030 reference.utf8 >gb18030/novel.txt
LC_ALL=C grep -a -q $'\x95\x32\x82\x36' gb18030/novel.txt || fail "no four-byte character made"
size=$(stat -c %s gb18030/novel.txt)
travik insert -e 997 -t 【注】 -o "$(to_arg "$WORK/gb18030/out")" \
  "$(to_arg "$WORK/gb18030/novel.txt")" >/dev/null 2>stderr || fail "GB18030: $(cat stderr)"
same_text gb18030/out/novel.txt GB18030 【注】
[ "$found" -eq $(( size / 997 )) ] || fail "GB18030: $found insertions, want $(( size / 997 ))"
counted_offsets gb18030/out/novel.txt "$(printf '【注】' | iconv -f UTF-8 -t GB18030)" 997 4
travik insert -k 。 -t '😀' --in-place "$(to_arg "$WORK/gb18030/novel.txt")" >/dev/null \
  2>stderr || fail "emoji into GB18030: $(cat stderr)"
iconv -f GB18030 -t UTF-8 gb18030/novel.txt | grep -q '。😀𠀀😀' || fail "GB18030: emoji not after 。"
#    A keyword that is a character GBK lacks finds it.
want=$(iconv -f GB18030 -t UTF-8 gb18030/novel.txt | grep -o '𠀀' | wc -l)
travik insert -k 𠀀 -t '#' -o "$(to_arg "$WORK/gb18030/keyed")" \
  "$(to_arg "$WORK/gb18030/novel.txt")" >stdout 2>stderr || fail "keyword 𠀀: $(cat stderr)"
[ "$want" -gt 0 ] && grep -q "插入 $want 处" stdout || fail "keyword 𠀀: $(cat stdout) want $want"
[ "$(iconv -f GB18030 -t UTF-8 gb18030/keyed/novel.txt | grep -o '𠀀#' | wc -l)" -eq "$want" ] ||
  fail "keyword 𠀀: the insertions are not after it"

# 5. An emoji: refused for the GBK file (untouched, no copy), written into the UTF-8 one.
mkdir emoji && cp "$CORPUS" emoji/gbk.txt && cp source.utf8 emoji/utf8.txt
expect_exit 3 -e 5000 -t '😀' --in-place "$(to_arg "$WORK/emoji/gbk.txt")" \
  "$(to_arg "$WORK/emoji/utf8.txt")"
cmp -s "$CORPUS" emoji/gbk.txt || fail "the GBK file was changed"
grep -q 'gbk.txt.*GBK' stderr || fail "GBK refusal not reported: $(cat stderr)"
! grep -q 'utf8.txt' stderr || fail "the UTF-8 file was reported: $(cat stderr)"
cp source.utf8 reference.utf8
same_text emoji/utf8.txt UTF-8 😀
[ "$found" -eq $(( $(stat -c %s source.utf8) / 5000 )) ] || fail "UTF-8 emoji count $found"
expect_exit 3 -k 章 -t '😀' -o "$(to_arg "$WORK/emoji/out")" "$(to_arg "$WORK/emoji/gbk.txt")"
[ ! -e emoji/out/gbk.txt ] || fail "a copy of the refused GBK file was written"

# 6. UTF-16 texts and texts invalid in the given encoding are refused, untouched.
mkdir refused
iconv -f UTF-8 -t UTF-16 source.utf8 >refused/utf16.txt
cp refused/utf16.txt refused/utf16.orig
expect_exit 3 -e 100 -t x --in-place "$(to_arg "$WORK/refused/utf16.txt")"
cmp -s refused/utf16.txt refused/utf16.orig || fail "the UTF-16 file was changed"
grep -q 'UTF-16' stderr || fail "UTF-16 not named: $(cat stderr)"
cp "$CORPUS" refused/gbk.txt
expect_exit 3 --encoding utf-8 -e 100 -t x -o "$(to_arg "$WORK/refused/out")" \
  "$(to_arg "$WORK/refused/gbk.txt")"
grep -q 'UTF-8' stderr || fail "invalid UTF-8 not reported: $(cat stderr)"
[ ! -e refused/out/gbk.txt ] || fail "a copy of the invalid file was written"
cmp -s "$CORPUS" refused/gbk.txt || fail "the invalid file was changed"
expect_exit 2 --encoding utf-16 -e 100 -t x "$(to_arg "$WORK/refused/gbk.txt")"
travik insert --help | grep -q -- '--encoding' || fail "--help does not name --encoding"

# --encoding gbk keeps the GBK rules on the GBK file: byte for byte what auto gives.
travik insert -e 1000 -t 【注】 --encoding GBK -o "$(to_arg "$WORK/refused/forced")" \
  "$(to_arg "$WORK/refused/gbk.txt")" >/dev/null 2>stderr || fail "forced GBK: $(cat stderr)"
travik insert -e 1000 -t 【注】 -o "$(to_arg "$WORK/refused/auto")" \
  "$(to_arg "$WORK/refused/gbk.txt")" >/dev/null 2>stderr || fail "auto GBK: $(cat stderr)"
cmp refused/forced/gbk.txt refused/auto/gbk.txt || fail "forced GBK differs from auto"
echo "insert encoding e2e ok ($PLATFORM)"
