#!/bin/bash
# travik split on the sample text in other encodings: UTF-8 with and without a byte-order mark,
# GB18030 with four-byte characters (U+20000, an emoji) mixed in, and ASCII are split by size, by
# count and at a keyword; every piece decodes in the source's encoding, only the first piece
# holds the mark, and the pieces joined in order give the source byte for byte. UTF-16 texts are
# refused, naming their encoding, and nothing is written for them.
source "$(dirname "$0")/lib.sh"
cd "$WORK"
[ -f "$CORPUS" ] || fail "no sample text"

iconv -f GBK -t UTF-8 "$CORPUS" >utf8.txt
{ printf '\xef\xbb\xbf'; cat utf8.txt; } >utf8bom.txt
# Every 40th line and every third heading get U+20000 and U+1F600, which GBK lacks, at their end.
LC_ALL=C awk 'NR % 40 == 0 || (/^第/ && ++h % 3 == 0) {
    sub(/\r?$/, "\xf0\xa0\x80\x80\xf0\x9f\x98\x80&")
  } { print }' utf8.txt |
  iconv -f UTF-8 -t GB18030 >gb18030.txt
LC_ALL=C grep -q $'\x95\x32\x82\x36' gb18030.txt || fail "gb18030.txt holds no U+20000"
LC_ALL=C grep -q $'\x94\x39\xfc\x36' gb18030.txt || fail "gb18030.txt holds no emoji"
{ printf '\xff\xfe'; iconv -f GBK -t UTF-16LE "$CORPUS"; } >utf16le.txt
{ printf '\xfe\xff'; iconv -f GBK -t UTF-16BE "$CORPUS"; } >utf16be.txt
seq 1 30000 | sed -e 's/^/line /' -e 's/$/\r/' >ascii.txt
headings=$(LC_ALL=C grep -c $'^\xb5\xda' "$CORPUS")  # lines of the GBK text that start with 第

# Joins <dir>/<n>.txt for n = first, first+1 ... while they exist; prints how many there were.
join_numbered() {
  local dir=$1 n=$2 out=$3 count=0
  : >"$out"
  while [ -e "$dir/$n.txt" ]; do
    cat "$dir/$n.txt" >>"$out"
    n=$((n + 1)) count=$((count + 1))
  done
  echo "$count"
}

# check NAME ENCODING MODE FIRST: the pieces in out_MODE/NAME decode as ENCODING, only the first
# may begin with a byte-order mark, and they join back to NAME.txt. Prints the piece count.
check() {
  local name=$1 enc=$2 mode=$3 first=$4 dir=out_$3/$1 f count
  for f in "$dir"/*.txt; do
    iconv -f "$enc" -t UTF-8 "$f" >/dev/null 2>&1 || fail "$mode $name: $f is not valid $enc"
    if [ "$(basename "$f")" != "$first.txt" ] && [ "$(head -c 3 "$f" | od -An -tx1 | tr -d ' ')" = efbbbf ]; then
      fail "$mode $name: $f begins with a byte-order mark"
    fi
  done
  count=$(join_numbered "$dir" "$first" joined.txt)
  [ "$count" -eq "$(ls "$dir" | wc -l)" ] || fail "$mode $name: pieces not numbered from $first"
  cmp -s "$name.txt" joined.txt || fail "$mode $name: the pieces do not join back to the source"
  echo "$count"
}

for pair in utf8:UTF-8 utf8bom:UTF-8 gb18030:GB18030 ascii:ASCII; do
  name=${pair%%:*} enc=${pair#*:}
  travik split -s 100 -o out_size "$name.txt" 2>stderr || fail "size split of $name: exit $? $(cat stderr)"
  pieces=$(check "$name" "$enc" size 1)
  size=$(stat -c %s "$name.txt")
  [ "$pieces" -eq $(((size + 102399) / 102400)) ] || fail "size split of $name: $pieces pieces"
  travik split -p 7 -o out_parts "$name.txt" 2>stderr || fail "count split of $name: exit $? $(cat stderr)"
  pieces=$(check "$name" "$enc" parts 1)
  [ "$pieces" -eq 7 ] || fail "count split of $name: $pieces pieces, not 7"
  if [ "$name" = ascii ]; then keyword='^line \d*000\r?$'; else keyword='^第'; fi
  travik split -k "$keyword" -o out_keyword "$name.txt" 2>stderr ||
    fail "keyword split of $name: exit $? $(cat stderr)"
  pieces=$(check "$name" "$enc" keyword 0)
  if [ "$name" = ascii ]; then
    [ "$pieces" -eq 31 ] || fail "keyword split of ascii: $pieces pieces, not 31"
  else
    # The same headings as in the GBK text, and the text before the first as piece 0.
    [ "$pieces" -eq $((headings + 1)) ] || fail "keyword split of $name: $pieces pieces, not $((headings + 1))"
  fi
done

# Pieces named by their headings: the same names in every encoding, characters GBK lacks kept.
travik split -k '^第[^\r\n]*' --name keyword -o out_named utf8bom.txt gb18030.txt novel.txt 2>stderr ||
  fail "named keyword split: exit $? $(cat stderr)"
diff <(ls out_named/utf8bom) <(ls out_named/novel) >/dev/null || fail "UTF-8 piece names differ from GBK"
[ "$(ls out_named/gb18030 | wc -l)" -eq "$(ls out_named/novel | wc -l)" ] || fail "GB18030 piece count"
rare_headings=$(iconv -f GB18030 -t UTF-8 gb18030.txt | grep -c '^第.*𠀀😀')
[ "$rare_headings" -gt 0 ] && [ "$(ls out_named/gb18030 | grep -c '𠀀😀\(([0-9]*)\)\?\.txt$')" -eq "$rare_headings" ] ||
  fail "GB18030 headings ending in U+20000 and an emoji: $rare_headings, named so: $(ls out_named/gb18030 | grep -c '𠀀😀')"

# A keyword holding characters GBK lacks, typed as they are, finds them in GB18030 and UTF-8.
iconv -f GB18030 -t UTF-8 gb18030.txt >gb18030_utf8.txt
lines=$(LC_ALL=C grep -c $'\x95\x32\x82\x36' gb18030.txt)
for pair in gb18030:GB18030 gb18030_utf8:UTF-8; do
  name=${pair%%:*} enc=${pair#*:}
  travik split -k '𠀀😀' -o out_beyond "$name.txt" 2>stderr || fail "𠀀😀 split of $name: exit $? $(cat stderr)"
  pieces=$(check "$name" "$enc" beyond 0)
  [ "$pieces" -eq $((lines + 1)) ] || fail "𠀀😀 split of $name: $pieces pieces, not $((lines + 1))"
done

# UTF-16: refused with the encoding named, nothing written, and the other file is still split.
# An encoding given does not change that for a text with a mark: as GBK the text would end at
# its first zero byte. Without a mark it is recognised.
iconv -f GBK -t UTF-16LE "$CORPUS" >utf16le_plain.txt
for pair in utf16le:UTF-16LE utf16be:UTF-16BE utf16le_plain:UTF-16LE; do
  lower=${pair%%:*} enc=${pair#*:} givens="auto gbk gb18030 utf-8"
  [ "$lower" != utf16le_plain ] || givens=auto
  for given in $givens; do
    rm -rf out_16 && mkdir out_16
    status=0
    travik split -s 100 --encoding "$given" -o out_16 "$lower.txt" ascii.txt 2>stderr || status=$?
    [ "$status" -eq 3 ] || fail "$lower as $given: exit $status, not 3"
    grep -q "$enc 编码" stderr || fail "$lower as $given: the message does not name $enc: $(cat stderr)"
    [ ! -e "out_16/$lower" ] || fail "$lower as $given: a folder was made"
    [ -e out_16/ascii/1.txt ] || fail "$lower as $given: the other file was not split"
  done
done

# --encoding: a bad value is a usage error; GBK text given as UTF-8 is refused, nothing written.
status=0
travik split -s 100 --encoding latin1 -o out_bad utf8.txt 2>stderr || status=$?
[ "$status" -eq 2 ] || fail "--encoding latin1: exit $status, not 2"
travik split --help | grep -q -- '--encoding' || fail "--help does not name --encoding"
status=0
travik split -s 100 --encoding utf-8 -o out_forced novel.txt utf8.txt 2>stderr || status=$?
[ "$status" -eq 3 ] || fail "GBK forced as UTF-8: exit $status, not 3"
[ ! -e out_forced/novel ] || fail "GBK forced as UTF-8: a folder was made"
cmp -s out_forced/utf8/1.txt out_size/utf8/1.txt || fail "forced UTF-8 pieces differ from recognised"
travik split -s 100 --encoding GB18030 -o out_gb gb18030.txt 2>stderr || fail "forced GB18030: $(cat stderr)"
diff -r out_gb/gb18030 out_size/gb18030 >/dev/null || fail "forced GB18030 pieces differ"

# On Windows the merge script, run by cmd, joins the pieces of the text with a mark.
if [ "$PLATFORM" = windows ]; then
  travik split -s 100 --merge-script -o out_script utf8bom.txt 2>stderr || fail "script split: $(cat stderr)"
  timeout 300 "$SOURCE_ROOT/tools/wine_run.sh" cmd /c "$(to_arg "$WORK/out_script/utf8bom/点我合并.bat")" \
    >cmd.out 2>&1 || [ $? -ne 124 ] || fail "merge script did not finish"
  cmp utf8bom.txt "out_script/utf8bom/合并后的文件/utf8bom.txt" || fail "merge script: result differs"
fi
echo "split in other encodings: ok"
