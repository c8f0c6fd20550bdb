#!/bin/bash
# Names that GBK cannot hold (an emoji, Korean, a character beyond the first plane, Spanish
# letters) are names like any other: a folder of such files is merged whole and in natural order,
# a text so named is split into a folder of its own name, copied by insert and listed by chapters,
# and typed texts holding such characters name pieces and merged files. Every result is looked at
# on the disk. On POSIX a name that is not UTF-8 at all still names its file, while a typed text
# that is not UTF-8 is a usage error naming its option.
source "$(dirname "$0")/lib.sh"
cd "$WORK"
gbk() { printf '%s' "$1" | iconv -f UTF-8 -t GBK || fail "cannot write $1 in GBK"; }

# 1. A folder of five GBK texts, merged as a folder: all five, in natural order.
mkdir five
names=('1.txt' '2 😀.txt' '3 한국.txt' '4 𠀀.txt' '5 España.txt')
texts=('第一章 甲' '第二章 乙' '第三章 丙' '第四章 丁' '第五章 戊')
for i in 0 1 2 3 4; do gbk "${texts[$i]}"$'\r\n' >"five/${names[$i]}"; done
[ "$(ls five | wc -l)" -eq 5 ] || fail "the test's own files: $(ls five)"
travik merge -n m -o "$(to_arg "$WORK/out")" "$(to_arg "$WORK/five")" >stdout 2>stderr ||
  fail "merge of the folder: exit $? $(cat stderr)"
(cd five && cat "${names[@]}") | cmp - out/m.txt || fail "the folder merged: $(od -c out/m.txt | head)"
[ "$(iconv -f GBK -t UTF-8 out/m.txt | tr -d '\r')" = "$(printf '%s\n' "${texts[@]}")" ] ||
  fail "the merged text is not the five texts in order"
grep -q 'm.txt' stdout || fail "merged path not printed: $(cat stdout)"
[ "$(ls five | wc -l)" -eq 5 ] || fail "sources gone after the merge: $(ls five)"

#    Named one by one: the given order kept and the warning names both files; the merged file
#    named with every one of those characters.
(cd five && travik merge -n '全😀한국𠀀ñ' -o ../out '5 España.txt' '4 𠀀.txt') >stdout 2>stderr ||
  fail "merge one by one: exit $? $(cat stderr)"
(cd five && cat '5 España.txt' '4 𠀀.txt') | cmp - 'out/全😀한국𠀀ñ.txt' ||
  fail "merged by name: $(ls out)"
grep -q '5 España.txt 排在 4 𠀀.txt 之前' stderr || fail "order warning: $(cat stderr)"
grep -q '全😀한국𠀀ñ.txt' stdout || fail "merged path not printed in UTF-8: $(cat stdout)"
#    The default merged name: the first name's characters outside ASCII.
(cd five && travik merge -o ../out '2 😀.txt' '3 한국.txt') >/dev/null 2>stderr ||
  fail "default merged name: exit $? $(cat stderr)"
(cd five && cat '2 😀.txt' '3 한국.txt') | cmp - 'out/😀.txt' || fail "default name: $(ls out)"
#    A missing source is named in UTF-8 on stderr, whatever the platform.
set +e
(cd five && travik merge -n x -o ../out '1.txt' '6 😀.txt') >/dev/null 2>stderr
status=$?
set -e
[ "$status" -eq 3 ] && grep -q '6 😀.txt: 无法打开文件' stderr || fail "missing 6 😀.txt: exit $status $(cat stderr)"

# 2. A text named with an emoji, split: its pieces in a folder of its name; custom names and
#    keyword names in other scripts.
cp "$CORPUS" '😀 小说.txt'
travik split -p 3 --merge-script -o "$(to_arg "$WORK/pieces")" "$(to_arg "$WORK/😀 小说.txt")" \
  >/dev/null 2>stderr || fail "split of 😀 小说.txt: exit $? $(cat stderr)"
dir='pieces/😀 小说'
[ -d "$dir" ] || fail "no folder named after the text: $(ls pieces)"
[ "$(ls pieces | wc -l)" -eq 1 ] || fail "split wrote elsewhere: $(ls pieces)"
[ "$(cd "$dir" && ls | LC_ALL=C sort | tr '\n' ' ')" = "1.txt 2.txt 3.txt 点我合并.bat " ] ||
  fail "pieces of 😀 小说: $(ls "$dir")"
cat "$dir/1.txt" "$dir/2.txt" "$dir/3.txt" | cmp - "$CORPUS" || fail "the pieces do not join back"
#    The merge script is GBK, as cmd reads batch files on a Chinese system (and Wine's cmd reads
#    every one): the merged name GBK cannot hold is taken from the script's own folder.
script=$dir/点我合并.bat
iconv -f GBK -t UTF-8 "$script" >/dev/null 2>&1 || fail "the merge script is not GBK"
iconv -f GBK -t UTF-8 "$script" | grep -q '"1.txt"+"2.txt"+"3.txt" "合并后的文件\\%travik_name%.txt"' ||
  fail "the merge script's copy line: $(iconv -f GBK -t UTF-8 "$script" | grep -i copy)"
run_script() {
  timeout 300 "$SOURCE_ROOT/tools/wine_run.sh" cmd /c "$(to_arg "$WORK/$1")" </dev/null \
    >cmd.out 2>&1 || [ $? -ne 124 ] || fail "the merge script $1 did not finish"
}
if [ "$PLATFORM" = windows ]; then
  run_script "$script"
  cmp "$CORPUS" "$dir/合并后的文件/😀 小说.txt" ||
    fail "the merge script of 😀 小说: $(ls "$dir" "$dir/合并后的文件" 2>&1)"
fi

#    Pieces named with characters GBK lacks: the script names them by patterns ("?" for each
#    UTF-16 unit of such a character), and joins them only when each matches exactly one file.
printf '序\r\n第一章 😀\r\n甲\r\n第二章 한국\r\n乙\r\n第三章 𠀀\r\n丙\r\n第四章 España\r\n丁\r\n' >'名.utf8.txt'
travik split -k '^第.章[^\r\n]*' --name keyword --merge-script -o "$(to_arg "$WORK/wide")" \
  "$(to_arg "$WORK/名.utf8.txt")" >/dev/null 2>stderr || fail "split by headings: exit $? $(cat stderr)"
dir='wide/名.utf8'
[ "$(cd "$dir" && ls | LC_ALL=C sort | tr '\n' ' ')" = \
  "头文本.txt 点我合并.bat 第一章 😀.txt 第三章 𠀀.txt 第二章 한국.txt 第四章 España.txt " ] ||
  fail "pieces named by the headings: $(ls "$dir")"
script=$(iconv -f GBK -t UTF-8 "$dir/点我合并.bat") || fail "the merge script is not GBK"
for pattern in '第一章 ??.txt' '第二章 ??.txt' '第三章 ??.txt' '第四章 Espa?a.txt'; do
  grep -qF "('dir /b /a-d \"$pattern\" 2^>nul') do set /a travik_n+=1" <<<"$script" ||
    fail "no check of $pattern: $script"
done
grep -qF 'copy /y /b "头文本.txt"+"第一章 ??.txt"+"第二章 ??.txt"+"第三章 ??.txt"+"第四章 Espa?a.txt" "合并后的文件\名.utf8.txt" >nul' <<<"$script" ||
  fail "the copy line: $script"
if [ "$PLATFORM" = windows ]; then
  run_script "$dir/点我合并.bat"
  cmp '名.utf8.txt' "$dir/合并后的文件/名.utf8.txt" || fail "the book joined by patterns differs"
  # Another file that a pattern matches: the script stops and joins nothing.
  rm -r "$dir/合并后的文件"
  printf 'x' >"$dir/第二章 일본.txt"
  run_script "$dir/点我合并.bat"
  [ ! -e "$dir/合并后的文件/名.utf8.txt" ] || fail "the script joined with a second match"
  rm "$dir/第二章 일본.txt" "$dir/第三章 𠀀.txt"
  run_script "$dir/点我合并.bat"
  [ ! -e "$dir/合并后的文件/名.utf8.txt" ] || fail "the script joined without a piece"
fi

travik split -p 2 --name custom --custom-text '卷😀' -o "$(to_arg "$WORK/custom")" \
  "$(to_arg "$WORK/five/2 😀.txt")" >/dev/null 2>stderr || fail "custom names: exit $? $(cat stderr)"
[ "$(ls 'custom/2 😀' | LC_ALL=C sort | tr '\n' ' ')" = "卷😀1.txt 卷😀2.txt " ] ||
  fail "custom names: $(ls 'custom/2 😀')"
cat 'custom/2 😀/卷😀1.txt' 'custom/2 😀/卷😀2.txt' | cmp - 'five/2 😀.txt' ||
  fail "custom pieces do not join back"

printf '서문\r\n제1장 시작\r\n하나\r\n제2장 끝\r\n둘\r\n' >'3 한국.utf8.txt'
travik split -k '^제\d장[^\r\n]*' --name keyword -o "$(to_arg "$WORK/korean")" \
  "$(to_arg "$WORK/3 한국.utf8.txt")" >/dev/null 2>stderr || fail "Korean keyword: exit $? $(cat stderr)"
dir='korean/3 한국.utf8'
[ -f "$dir/제1장 시작.txt" ] && [ -f "$dir/제2장 끝.txt" ] && [ "$(ls "$dir" | wc -l)" -eq 3 ] ||
  fail "pieces named by Korean headings: $(ls "$dir")"
cat "$dir/头文本.txt" "$dir/제1장 시작.txt" "$dir/제2장 끝.txt" | cmp - '3 한국.utf8.txt' ||
  fail "Korean pieces do not join back"

# 3. insert copies keep the names; chapters lists the file by its name.
(cd five && travik insert -e 4 -t '#' -o ../copies "${names[@]}") >/dev/null 2>stderr ||
  fail "insert: exit $? $(cat stderr)"
for name in "${names[@]}"; do
  [ -f "copies/$name" ] || fail "no copy of $name: $(ls copies)"
  grep -q '#' "copies/$name" && [ "$(tr -d '#' <"copies/$name")" = "$(cat "five/$name")" ] ||
    fail "the copy of $name"
done
[ "$(ls copies | wc -l)" -eq 5 ] || fail "insert copies: $(ls copies)"
(cd five && travik chapters --json '4 𠀀.txt' '2 😀.txt') >chapters.json 2>stderr ||
  fail "chapters: exit $? $(cat stderr)"
python3 - chapters.json <<'EOF' || fail "chapters JSON: $(cat chapters.json)"
import json, sys
files = [json.loads(line) for line in open(sys.argv[1], encoding="utf-8")]
assert [f["file"] for f in files] == ["4 𠀀.txt", "2 😀.txt"], files
assert [[c["title"] for c in f["chapters"]] for f in files] == [["第四章 丁"], ["第二章 乙"]], files
EOF
(cd five && travik chapters '3 한국.txt') >table.out 2>stderr || fail "chapters table: $(cat stderr)"
[ "$(head -n 1 table.out | tr -d '\r')" = '3 한국.txt' ] || fail "table names: $(head -n 1 table.out)"

# 4. Windows: a wildcard stands for every matching name, whatever its characters.
if [ "$PLATFORM" = windows ]; then
  (cd five && travik merge -N -n 星 -o ../wild '*.txt') >stdout 2>stderr || fail "*.txt: $(cat stderr)"
  cmp out/m.txt wild/星.txt || fail "*.txt did not stand for all five: $(cat stderr)"
  (cd five && travik merge -N -n 问 -o ../wild '? *.txt') >/dev/null 2>stderr || fail "? *.txt: $(cat stderr)"
  (cd five && cat '2 😀.txt' '3 한국.txt' '4 𠀀.txt' '5 España.txt') | cmp - wild/问.txt ||
    fail "? *.txt did not stand for the four"
fi

# 5. POSIX: a name that is not UTF-8 still names its file; typed texts must be UTF-8.
if [ "$PLATFORM" = native ]; then
  raw=$'raw\xff\xfe'
  gbk '第一章 甲乙丙丁' >"$raw.txt"
  travik split -p 2 -o raw_out "$raw.txt" >/dev/null 2>stderr || fail "split of a raw name: $(cat stderr)"
  cat "raw_out/$raw/1.txt" "raw_out/$raw/2.txt" | cmp - "$raw.txt" || fail "pieces of a raw name"
  travik merge -n m -o raw_out "$raw.txt" five/1.txt >/dev/null 2>stderr || fail "merge: $(cat stderr)"
  cat "$raw.txt" five/1.txt | cmp - raw_out/m.txt || fail "merge of a raw name"
  travik insert -e 2 -t '#' -o raw_out "$raw.txt" >/dev/null 2>stderr || fail "insert: $(cat stderr)"
  [ "$(tr -d '#' <"raw_out/$raw.txt")" = "$(cat "$raw.txt")" ] || fail "insert copy of a raw name"
  travik chapters --json "$raw.txt" >raw.json 2>stderr || fail "chapters of a raw name: $(cat stderr)"
  python3 -c 'import json,sys; d=json.loads(open(sys.argv[1],"rb").read().decode("utf-8"));
assert d["file"] == "raw\ufffd\ufffd.txt" and len(d["chapters"]) == 1, d' raw.json ||
    fail "JSON of a raw name is not UTF-8: $(od -c raw.json | head -3)"

  # usage ARGS...: travik ARGS is a usage error whose message names $option; nothing written.
  usage() {
    set +e
    travik "$@" >/dev/null 2>stderr
    local status=$?
    set -e
    [ "$status" -eq 2 ] || fail "travik $*: exit $status, want 2 ($(cat stderr))"
    grep -q -- "$option .*UTF-8" stderr || fail "travik $*: $option not named: $(cat stderr)"
  }
  bad=$'\xb5\xda'  # 第 in GBK: not UTF-8
  option=-k usage split -k "$bad" -o typed five/1.txt
  option=--keyword usage split --keyword "^$bad" -o typed five/1.txt
  option=--custom-text usage split -p 2 --name custom --custom-text "$bad" -o typed five/1.txt
  option=-t usage insert -t "$bad" -e 2 -o typed five/1.txt
  option=-k usage insert -t '#' -k "$bad" -o typed five/1.txt
  option=-n usage merge -n "$bad" -o typed five/1.txt
  option=--keyword usage chapters "--keyword=$bad" five/1.txt
  [ ! -e typed ] || fail "a usage error wrote files: $(ls -R typed)"
fi
echo "names e2e: ok ($PLATFORM)"
