#!/bin/bash
# travik merge on texts in UTF-8 (with and without a byte-order mark), GB18030 (with characters
# GBK lacks) and UTF-16, made from the sample text with iconv: byte pieces join back to their
# source, other encodings are converted to the first file's, and what cannot be merged stops the
# merge before anything is written.
source "$(dirname "$0")/lib.sh"
export LC_ALL=C
cd "$WORK"

iconv -f GBK -t UTF-8 "$CORPUS" >u8.txt
{ printf '\xef\xbb\xbf'; cat u8.txt; } >bom.txt
# GB18030 with four-byte characters: U+20000 after the 6th byte of every line, U+1F600 at the
# end of every 7th line.
sed $'s/^\\(.\\{6\\}\\)/\\1\xf0\xa0\x80\x80/; 0~7s/$/\xf0\x9f\x98\x80/' u8.txt >rare_u8.txt
iconv -f UTF-8 -t GB18030 rare_u8.txt >gb.txt
[ "$(grep -c $'\x95\x32\x82\x36' gb.txt)" -gt 100 ] || fail "no four-byte characters in gb.txt"

# 1. Byte pieces (cut inside characters) of each text merge back to it byte for byte; only the
#    first piece of the marked text has the mark.
for source in u8.txt bom.txt gb.txt; do
  mkdir "p_$source"
  (cd "p_$source" && split -b 7777 -d -a 3 --additional-suffix=.txt "../$source" 段_)
  (cd "p_$source" && travik merge -n 全 -o . 段_*.txt) >/dev/null 2>stderr ||
    fail "$source pieces: exit $? $(cat stderr)"
  cmp "$source" "p_$source/全.txt" || fail "$source pieces merged differ from the source"
done
#    So do travik's own pieces (by size, by parts) of the marked UTF-8 and the GB18030 text,
#    merged by travik and joined byte for byte.
for source in bom.txt gb.txt; do
  for mode in "-s 7" "-p 13"; do
    out=$WORK/t_${source%.txt}_${mode//[ -]/}
    # shellcheck disable=SC2086
    travik split $mode -o "$(to_arg "$out")" "$source" >/dev/null 2>stderr ||
      fail "$source split $mode: exit $? $(cat stderr)"
    pieces=$(cd "$out/${source%.txt}" && ls | sort -n | tr '\n' ' ')
    # shellcheck disable=SC2086
    (cd "$out/${source%.txt}" && travik merge -n 全 -o .. $pieces) >/dev/null 2>stderr ||
      fail "$source split $mode, merged: exit $? $(cat stderr)"
    cmp "$source" "$out/全.txt" || fail "$source split $mode, merged, differs from the source"
    # The merge script copies the pieces byte for byte: only the first may hold the mark.
    # shellcheck disable=SC2086
    (cd "$out/${source%.txt}" && cat $pieces) | cmp - "$source" ||
      fail "$source split $mode: the pieces joined byte for byte differ from the source"
  done
done
iconv -f UTF-8 -t UTF-8 p_bom.txt/全.txt >/dev/null || fail "merged UTF-8 does not decode"
iconv -f GB18030 -t UTF-8 p_gb.txt/全.txt >/dev/null || fail "merged GB18030 does not decode"

# 2. Mixed encodings take the first file's: GB18030 first holds the UTF-8 texts (their mark
#    dropped); UTF-8 first holds the GB18030 and GBK texts.
travik merge -n mix1 -o . gb.txt bom.txt u8.txt >/dev/null 2>stderr || fail "mix1: $(cat stderr)"
iconv -f GB18030 -t UTF-8 mix1.txt | cmp - <(cat rare_u8.txt u8.txt u8.txt) ||
  fail "GB18030-first merge is not the three texts"
travik merge -n mix2 -o . bom.txt gb.txt "$CORPUS" >/dev/null 2>stderr || fail "mix2: $(cat stderr)"
cmp mix2.txt <(printf '\xef\xbb\xbf'; cat u8.txt rare_u8.txt u8.txt) ||
  fail "UTF-8-first merge is not the three texts"

# 3. What cannot be merged: nothing is written (an existing merged file stays), the file is
#    named, no source is deleted.
{ printf '\xff\xfe'; iconv -f GBK -t UTF-16LE "$CORPUS"; } >le.txt
{ printf '\xfe\xff'; iconv -f GBK -t UTF-16BE "$CORPUS"; } >be.txt
printf 'first line\r\n\xe7\xac\x91\xf0\x9f\x98\x80\r\n' >emoji.txt  # UTF-8 with an emoji
head -c 2000 "$CORPUS" >gbk.txt
check_refused() {  # expected-file expected-text files...
  local named=$1 text=$2
  shift 2
  printf 'old' >no.txt
  set +e
  travik merge -n no -o . --delete-sources "$@" >/dev/null 2>stderr
  local status=$?
  set -e
  [ "$status" -eq 3 ] || fail "$*: exit $status, want 3"
  [ "$(cat no.txt)" = old ] || fail "$*: the merged file was written"
  grep -q "$named: .*$text" stderr || fail "$*: $named not named: $(cat stderr)"
  grep -q 'no.txt: .*合并后的文件未写入' stderr || fail "$*: merged file not reported"
  for f in "$@"; do
    case $f in *.txt) [ -e "$f" ] || fail "$*: $f deleted" ;; esac
  done
}
check_refused le.txt 'UTF-16LE 编码' gbk.txt le.txt
check_refused be.txt 'UTF-16BE 编码' be.txt bom.txt
check_refused emoji.txt '第 16 字节起的字符无法用 GBK 编码表示' gbk.txt emoji.txt
check_refused gbk.txt '不是有效的字符' --encoding utf-8 u8.txt gbk.txt

# 4. The option itself.
set +e
travik merge --encoding latin1 -n z -o . u8.txt 2>stderr
status=$?
set -e
[ "$status" -eq 2 ] && grep -q -- '--encoding' stderr || fail "bad --encoding: exit $status"
travik merge --help | grep -q -- '--encoding' || fail "--help does not name --encoding"
travik merge --encoding GB18030 -n z -o . gb.txt >/dev/null || fail "--encoding GB18030"
cmp z.txt gb.txt || fail "--encoding GB18030 changed the text"
echo "merge encodings e2e: ok"
