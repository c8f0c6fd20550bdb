#!/bin/bash
# travik insert on the sample text in every mode, keeping the originals and in place: every result
# is valid GBK, taking the inserted text out again gives back the source, in-place results equal
# the kept copies, and what cannot be done safely is left alone and reported.
source "$(dirname "$0")/lib.sh"
cd "$WORK"
size=$(stat -c %s "$CORPUS")
iconv -f GBK -t UTF-8 "$CORPUS" >source.utf8 || fail "the corpus is not GBK"

# check FILE MARKER COUNT: FILE decodes as GBK, holds MARKER (UTF-8) COUNT times, and without the
# markers it is the source.
check() {
  iconv -f GBK -t UTF-8 "$1" >check.utf8 || fail "$1 is not valid GBK"
  local found
  found=$(grep -o -F "$2" check.utf8 | wc -l)
  [ "$found" -eq "$3" ] || fail "$1 holds $2 $found times, want $3"
  LC_ALL=C sed "s/$2//g" check.utf8 | cmp -s - source.utf8 || fail "$1 without $2 differs from the source"
}
for marker in '##' '【插】' '<随机>'; do
  ! grep -q -F "$marker" source.utf8 || fail "marker $marker occurs in the corpus"
done

# 1. After every 章, into ./处理后的文件 under the current folder; then in place on a copy.
mkdir keyword && cp "$CORPUS" keyword/novel.txt
(cd keyword && travik insert -k 章 -t '##' novel.txt) >stdout 2>stderr ||
  fail "keyword insert: exit $? $(cat stderr)"
grep -q '处理后的文件' stdout || fail "results folder not printed: $(cat stdout)"
chapters=$(grep -o 章 source.utf8 | wc -l)
check keyword/处理后的文件/novel.txt '##' "$chapters"
[ "$(grep -o '章##' check.utf8 | wc -l)" -eq "$chapters" ] || fail "## not right after every 章"
cmp -s "$CORPUS" keyword/novel.txt || fail "keep mode changed the source"
cp "$CORPUS" keyword/in_place.txt
(cd keyword && travik insert -k 章 -t '##' --in-place in_place.txt) 2>stderr ||
  fail "keyword in place: exit $? $(cat stderr)"
cmp keyword/in_place.txt keyword/处理后的文件/novel.txt || fail "keyword: in place differs from copy"

# 2. Every 1000 bytes, with a marker of double-byte characters; each insertion lies at its byte
#    count or one byte later.
mkdir every every/out && cp "$CORPUS" every/novel.txt
travik insert -e 1000 -t '【插】' -o "$(to_arg "$WORK/every/out")" "$(to_arg "$WORK/every/novel.txt")" \
  >/dev/null 2>stderr || fail "every-1000 insert: exit $? $(cat stderr)"
check every/out/novel.txt '【插】' $(( size / 1000 ))
marker_gbk=$(printf '【插】' | iconv -f UTF-8 -t GBK)
LC_ALL=C grep -o -b -a -F "$marker_gbk" every/out/novel.txt | cut -d: -f1 |
  awk -v n="$(printf '%s' "$marker_gbk" | wc -c)" '{ want = NR * 1000 + (NR - 1) * n
                             if ($1 != want && $1 != want + 1) { print NR ": " $1; exit 1 } }' ||
  fail "an every-1000 insertion is off its byte count"
travik insert -e 1000 -t '【插】' --in-place "$(to_arg "$WORK/every/novel.txt")" 2>stderr ||
  fail "every-1000 in place: exit $? $(cat stderr)"
cmp every/novel.txt every/out/novel.txt || fail "every-1000: in place differs from copy"
[ ! -e 处理后的文件 ] || fail "in place made a results folder"

# No insertion between a CR and its LF (the corpus has none alone): such a line would break.
no_lone_cr() {
  ! LC_ALL=C grep -a -q $'\r.' "$1" || fail "$1 has a CR without its LF"
}
no_lone_cr "$CORPUS"
no_lone_cr every/out/novel.txt
mkdir every997
travik insert -e 997 -t '【注】' -o "$(to_arg "$WORK/every997")" "$(to_arg "$CORPUS")" \
  >stdout 2>stderr || fail "every-997 insert: exit $? $(cat stderr)"
check every997/novel.txt '【注】' $(( size / 997 ))
no_lone_cr every997/novel.txt
grep -q "novel.txt: 插入 $(( size / 997 )) 处" stdout || fail "count not reported: $(cat stdout)"

# 3. Random places, reproducible with --seed: one per 10000 bytes for a six- or seven-digit
#    length, the same positions on every platform (the first five below are what the native
#    build gives for the repository's sample; the Windows build must give the same), spread over
#    the whole file.
mkdir random random/a random/b && cp "$CORPUS" random/novel.txt
for out in a b; do
  travik insert -r --seed 7 -t '<随机>' -o "$(to_arg "$WORK/random/$out")" \
    "$(to_arg "$WORK/random/novel.txt")" >stdout 2>stderr || fail "random: exit $? $(cat stderr)"
done
check random/a/novel.txt '<随机>' $(( size / 10000 ))
grep -q "novel.txt: 插入 $(( size / 10000 )) 处" stdout || fail "count not reported: $(cat stdout)"
cmp random/a/novel.txt random/b/novel.txt || fail "random with the same seed differs"
no_lone_cr random/a/novel.txt
random_gbk=$(printf '<随机>' | iconv -f UTF-8 -t GBK)
LC_ALL=C grep -o -b -a -F "$random_gbk" random/a/novel.txt | cut -d: -f1 >offsets
[ "$(head -5 offsets | tr '\n' ' ')" = "13239 19663 28341 33795 41667 " ] ||
  fail "seed 7 gave other positions: $(head -5 offsets | tr '\n' ' ')"
# A few dozen draws on the sample: the tight statistical bound lives in the unit tests (7 MB, 700
# draws); here the draws must reach most of the file and never crowd into one part of it.
awk -v n="$(stat -c %s random/a/novel.txt)" '{ t[int($1 * 10 / n)]++ }
  END { used = 0; for (i = 0; i < 10; i++) { if (t[i] > 0) used++; if (t[i] > NR / 2) exit 1 }
        if (used < 7) exit 1 }' offsets ||
  fail "random insertions bunch in one part of the file"
travik insert -r --seed 7 -t '<随机>' --in-place "$(to_arg "$WORK/random/novel.txt")" 2>stderr ||
  fail "random in place: exit $? $(cat stderr)"
cmp random/novel.txt random/a/novel.txt || fail "random: in place differs from copy"

# 4. Left alone and reported: the copy would be the source itself; a missing file; in place, a
#    source padded with 0x1A and 0x00 at its end (writing it back would drop them); a source with
#    a 0x00 inside (no text). A 0x1A inside is a byte of the text: insertions go on after it.
mkdir special && cp "$CORPUS" special/novel.txt
printf 'ab\xd5\xc2cd\x1a\x00' >special/padded.txt
printf 'ab\x1a\xd5\xc2cd' >special/eof.txt
printf 'ab\x00cd' >special/bin.txt
set +e
travik insert -k 章 -t '##' -o "$(to_arg "$WORK/special")" "$(to_arg "$WORK/special/novel.txt")" \
  "$(to_arg "$WORK/special/missing.txt")" >/dev/null 2>stderr
status=$?
set -e
[ "$status" -eq 3 ] || fail "copy over the source: exit $status, want 3"
grep -q 'novel.txt' stderr && grep -q 'missing.txt' stderr || fail "not reported: $(cat stderr)"
cmp -s "$CORPUS" special/novel.txt || fail "keep mode wrote over the source"
set +e
travik insert -e 1 -t '#' --in-place "$(to_arg "$WORK/special/padded.txt")" \
  "$(to_arg "$WORK/special/bin.txt")" 2>stderr
status=$?
set -e
[ "$status" -eq 3 ] || fail "padded source in place: exit $status, want 3"
[ "$(od -An -tx1 special/padded.txt | tr -d ' \n')" = 6162d5c263641a00 ] ||
  fail "padded.txt was changed"
[ "$(od -An -tx1 special/bin.txt | tr -d ' \n')" = 6162006364 ] || fail "bin.txt was changed"
grep -q 'padded.txt.*2 个 0x00/0x1A 填充字节' stderr && grep -q 'bin.txt.*第 3 字节是 0x00' stderr ||
  fail "padded or binary source not reported: $(cat stderr)"
travik insert -e 2 -t '#' --in-place "$(to_arg "$WORK/special/eof.txt")" 2>stderr ||
  fail "0x1A inside, in place: exit $? $(cat stderr)"
[ "$(od -An -tx1 special/eof.txt | tr -d ' \n')" = 6162231ad5c223632364 ] ||
  fail "0x1A inside: eof.txt holds $(od -An -tx1 special/eof.txt)"
grep -q 'eof.txt.*第 3 字节有 0x1A 控制字符，已原样保留' stderr || fail "0x1A not told: $(cat stderr)"

# 5. The checks and the usage errors.
expect_exit() {
  local want=$1
  shift
  set +e
  travik insert "$@" >/dev/null 2>stderr
  local got=$?
  set -e
  [ "$got" -eq "$want" ] || fail "travik insert $*: exit $got, want $want ($(cat stderr))"
}
expect_exit 1 -k 章 "$(to_arg "$CORPUS")"
grep -q '请输入欲插入的文字！' stderr || fail "missing-text message: $(cat stderr)"
expect_exit 1 -t x "$(to_arg "$CORPUS")"
grep -q '请输入欲插入的文字的位置！' stderr || fail "missing-position message: $(cat stderr)"
expect_exit 2 -t x -k 章 -e 5 "$(to_arg "$CORPUS")"
for bad in abc 0 -5 1e3 100abc; do
  expect_exit 2 -t x -e "$bad" "$(to_arg "$CORPUS")"
done
cmp -s "$CORPUS" "$CORPUS_DIR/novel_gbk.txt" || fail "the corpus copy was changed"
echo "insert e2e ok ($PLATFORM)"
