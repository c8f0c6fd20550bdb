#!/bin/bash
# Keywords are patterns over characters. Small GBK files made here (no sample text needed) hold
# characters whose second byte is "|", "^" or "\"; each is found where it stands and nowhere
# else, every match ends between two characters, empty matches cut and insert everywhere, and an
# invalid keyword or a file without a match is reported, not passed as success.
source "$(dirname "$0")/lib.sh"
cd "$WORK"

# gbk FILE TEXT: writes TEXT (UTF-8 here) as GBK.
gbk() { printf '%b' "$2" | iconv -f UTF-8 -t GBK >"$1" || fail "cannot make $1"; }
# utf8 FILE: the file's text as UTF-8 (fails on anything that is not GBK).
utf8() { iconv -f GBK -t UTF-8 "$1" || fail "$1 is not valid GBK"; }
# joined DIR: the numbered pieces of DIR joined in order, from 0.txt or 1.txt.
joined() {
  local n=0
  [ -e "$1/0.txt" ] || n=1
  while [ -e "$1/$n.txt" ]; do cat "$1/$n.txt"; n=$((n + 1)); done
}
# run EXPECTED_EXIT ARGS...: runs travik, keeps stdout/stderr as UTF-8 text in out/err.
run() {
  local want=$1 got=0
  shift
  travik "$@" >out 2>err || got=$?
  [ "$got" -eq "$want" ] || fail "travik $*: exit $got, want $want: $(cat err)"
}

# 1. 東 (96 7C), 頭 and 過 (second byte 5E), 遊 and 錦 (second byte 5C), each found where it stands.
gbk traps.txt '序\r\n東風壓倒西風\r\n頭一回過江\r\n遊子錦衣\r\n又見東山頭\r\n'
for k in 東 頭 過 遊 錦; do
  want=$(utf8 traps.txt | grep -o "$k" | wc -l)
  run 0 split -k "$k" -o "$(to_arg "$WORK/split_$k")" "$(to_arg "$WORK/traps.txt")"
  dir=split_$k/traps
  pieces=$(ls "$dir" | wc -l)
  [ "$pieces" -eq $((want + 1)) ] || fail "split -k $k: $pieces pieces, want head + $want"
  joined "$dir" | cmp -s - traps.txt || fail "split -k $k: pieces joined differ from the source"
  for n in $(seq "$want"); do
    utf8 "$dir/$n.txt" | head -n 1 | grep -q "^$k" || fail "split -k $k: piece $n does not open with $k"
  done
  run 0 insert -k "$k" -t '##' -o "$(to_arg "$WORK/insert_$k")" "$(to_arg "$WORK/traps.txt")"
  copy=$(utf8 "insert_$k/traps.txt")
  [ "$(grep -o '##' <<<"$copy" | wc -l)" -eq "$want" ] || fail "insert -k $k: wrong number of insertions"
  [ "$(grep -o "$k##" <<<"$copy" | wc -l)" -eq "$want" ] || fail "insert -k $k: ## not right after $k"
done

# 2. The help's chapter pattern: 日落 is C8 D5 C2 E4, its middle bytes are 章, which ends no match.
gbk sunset.txt '序\r\n第一回 起\r\n第二日落时分，天色渐暗，众人各自散去回家。\r\n第三十二章 乙\r\n正文\r\n'
run 0 split -k '^第.{2,16}章' --name keyword -o "$(to_arg "$WORK/sunset")" "$(to_arg "$WORK/sunset.txt")"
names=$(LC_ALL=C ls sunset/sunset | tr '\n' ' ')
[ "$names" = "头文本.txt 第三十二章.txt " ] || fail "sunset pieces: $names"
cat sunset/sunset/头文本.txt sunset/sunset/第三十二章.txt | cmp -s - sunset.txt ||
  fail "sunset pieces joined differ from the source"

# 3. An empty match at the very start cuts there: a file that opens with its first chapter.
gbk chapters.txt '第一章\r\n甲\r\n第二章\r\n乙\r\n'
run 0 split -k '^(?=第)' -o "$(to_arg "$WORK/ahead")" "$(to_arg "$WORK/chapters.txt")"
[ "$(ls ahead/chapters | tr '\n' ' ')" = "1.txt 2.txt " ] || fail "^(?=第): $(ls ahead/chapters)"
[ "$(utf8 ahead/chapters/2.txt)" = "$(printf '第二章\r\n乙\r')" ] || fail "^(?=第): piece 2 is wrong"

# 4. insert -k '^' indents every line, and nothing follows the last line break.
gbk lines.txt '甲\r\n乙\n\r\n丙\r\n'
run 0 insert -k '^' -t '　　' -o "$(to_arg "$WORK/indent")" "$(to_arg "$WORK/lines.txt")"
printf '　　甲\r\n　　乙\n　　\r\n　　丙\r\n' | iconv -t GBK | cmp -s - indent/lines.txt ||
  fail "insert -k ^ gave $(utf8 indent/lines.txt | od -c | head -5)"

# 5. A file without the keyword: named in the report (exit 3); split writes no folder for it,
#    insert still writes its copy.
gbk plain.txt '无章无回\r\n'
run 3 split -k 東 -o "$(to_arg "$WORK/none")" "$(to_arg "$WORK/plain.txt")" "$(to_arg "$WORK/traps.txt")"
grep -q 'plain.txt' err && grep -q '未找到关键字' err || fail "split no-match report: $(cat err)"
[ ! -e none/plain ] || fail "split made a folder for a file without the keyword"
[ -e none/traps/1.txt ] || fail "split skipped the file that has the keyword"
run 3 insert -k 東 -t '##' -o "$(to_arg "$WORK/none_ins")" "$(to_arg "$WORK/plain.txt")"
grep -q '未找到关键字' err || fail "insert no-match report: $(cat err)"
cmp -s plain.txt none_ins/plain.txt || fail "insert did not write the unchanged copy"

# 6. An invalid pattern is named as such (exit 1) and nothing is written for any file.
run 1 split -k '第(' -o "$(to_arg "$WORK/bad")" "$(to_arg "$WORK/traps.txt")"
grep -q '关键字不是有效的正则表达式：' err out || fail "split invalid pattern: $(cat out err)"
[ ! -e bad/traps ] || fail "split wrote for an invalid pattern"
run 1 insert -k '第(' -t '##' -o "$(to_arg "$WORK/bad_ins")" "$(to_arg "$WORK/traps.txt")"
grep -q '关键字不是有效的正则表达式：' err out || fail "insert invalid pattern: $(cat out err)"
[ ! -e bad_ins/traps.txt ] || fail "insert wrote a copy for an invalid pattern"
echo "keyword: all checks passed"
