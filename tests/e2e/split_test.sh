#!/bin/bash
# travik split on the sample text in its three modes: the pieces, joined in order, give the source
# byte for byte, and every piece is GBK that iconv decodes (the sample's traditional characters
# have many second bytes below 0x80). On the Windows build the merge script, run by cmd, rebuilds
# the source too.
source "$(dirname "$0")/lib.sh"
export LC_ALL=C
cd "$WORK"
size=$(stat -c %s "$CORPUS")
headings=$(LC_ALL=C grep -a -c $'^\xb5\xda' "$CORPUS")  # lines that start with 第

# Joins <dir>/<n>.txt for n = first, first+1 ... while they exist.
join_numbered() {
  local dir=$1 n=$2 out=$3
  : >"$out"
  while [ -e "$dir/$n.txt" ]; do
    cat "$dir/$n.txt" >>"$out"
    n=$((n + 1))
  done
}

# Every .txt in the folder decodes as GBK.
check_gbk() {
  local f
  for f in "$1"/*.txt; do
    iconv -f GBK -t UTF-8 "$f" >/dev/null 2>&1 || fail "$f is not valid GBK"
  done
}

# The piece names on the "copy" lines of a merge script, in order. Each line is
#   copy /y /b ["<merged file>"+]"<piece>"+"<piece>"... "<merged file>" >nul
# and only the merged file's path holds a "\".
script_names() {
  iconv -f GBK -t UTF-8 "$1" | tr -d '\r' | grep '^copy ' |
    sed -e 's/^copy \/y \/b //' -e 's/ "[^"]*" >nul$//' -e 's/^"[^"]*\\[^"]*"+//' |
    sed 's/"+"/\n/g' | tr -d '"'
}

# Moves <dir> to a folder of another name and depth, runs its 点我合并.bat with cmd under Wine
# from $WORK (not from the script's folder) and compares the merged file, which must land beside
# the pieces in their new place.
run_merge_script() {
  local dir=$1 merged=$2
  [ "$PLATFORM" = windows ] || return 0
  local moved=moved/"$(basename "$dir")"' 移走'
  rm -rf moved && mkdir moved && mv "$dir" "$moved"
  # The script's last line calls mshta; a hang there would stop the test here, not forever.
  timeout 300 "$SOURCE_ROOT/tools/wine_run.sh" cmd /c "$(to_arg "$WORK/$moved/点我合并.bat")" \
    >cmd.out 2>&1 || [ $? -ne 124 ] || fail "merge script in $moved did not finish (mshta?)"
  cmp "$CORPUS" "$moved/合并后的文件/$merged.txt" || fail "merge script in $moved: result differs"
  [ ! -e "$dir" ] && [ ! -e 合并后的文件 ] || fail "merge script wrote outside its folder"
  # Run twice: the same file, not a doubled one.
  timeout 300 "$SOURCE_ROOT/tools/wine_run.sh" cmd /c "$(to_arg "$WORK/$moved/点我合并.bat")" \
    >cmd.out 2>&1 || true
  cmp "$CORPUS" "$moved/合并后的文件/$merged.txt" || fail "merge script run twice: result differs"
  mv "$moved" "$dir" && rm -rf "$dir/合并后的文件"
}

# 1. By size, 100 KB, into ./分割后的文件/novel with the merge script.
travik split -s 100 --merge-script novel.txt 2>stderr || fail "size split: exit $? $(cat stderr)"
dir=分割后的文件/novel
pieces=$(ls "$dir" | grep -c '\.txt$')
[ "$pieces" -eq $(( (size + 102399) / 102400 )) ] || fail "size split made $pieces pieces"
join_numbered "$dir" 1 size.joined
cmp "$CORPUS" size.joined || fail "size pieces joined differ from the source"
for n in $(seq 1 $((pieces - 1))); do
  s=$(stat -c %s "$dir/$n.txt")
  [ "$s" -eq 102400 ] || [ "$s" -eq 102401 ] || fail "piece $n has $s bytes"
done
check_gbk "$dir"
[ "$(script_names "$dir/点我合并.bat" | tr '\n' ' ')" = "$(seq 1 "$pieces" | sed 's/$/.txt/' | tr '\n' ' ')" ] ||
  fail "size split: merge script lists other pieces"
run_merge_script "$dir" novel

# 2. By part count into a chosen folder, custom names.
travik split -p 7 --name custom --custom-text 卷 -o "$(to_arg "$WORK/parts")" novel.txt \
  >count.out 2>stderr || fail "count split: exit $? $(cat stderr)"
dir=parts/novel
# One line per source says what it made and where.
[ "$(tr -d '\r' <count.out | wc -l)" -eq 1 ] || fail "count split printed: $(cat count.out)"
tr -d '\r' <count.out | grep -q "novel.txt: 7 个分割文件，保存在 .*parts.novel$" ||
  fail "count split printed: $(cat count.out)"
[ "$(ls "$dir" | wc -l)" -eq 7 ] || fail "count split made $(ls "$dir" | wc -l) pieces"
: >count.joined
for n in 1 2 3 4 5 6 7; do cat "$dir/卷$n.txt" >>count.joined; done
cmp "$CORPUS" count.joined || fail "count pieces joined differ from the source"
cut=$((size / 7))
for n in 1 2 3 4 5 6; do
  s=$(stat -c %s "$dir/卷$n.txt")
  [ "$s" -eq "$cut" ] || [ "$s" -eq $((cut + 1)) ] || fail "part $n has $s bytes, cut $cut"
done
check_gbk "$dir"

# A save folder three levels deep that does not exist is made; one below a file is refused, named,
# before the text is read.
travik split -s 100 -o "$(to_arg "$WORK/deep/a/b")" novel.txt >deep.out 2>stderr ||
  fail "deep split: exit $? $(cat stderr)"
[ -e deep/a/b/novel/1.txt ] || fail "deep split wrote no pieces"
echo x >blocker
travik split -s 100 -o "$(to_arg "$WORK/blocker/sub")" novel.txt >blocked.out 2>stderr && fail "split under a file succeeded"
grep -q "blocker 是文件，不是文件夹" stderr || fail "split under a file said: $(cat stderr)"
[ ! -s blocked.out ] || fail "split under a file printed: $(cat blocked.out)"

# 3. By keyword: numbered (head piece 0.txt), then named by the chapter headings.
travik split -k '^第' -o "$(to_arg "$WORK/kw")" novel.txt 2>stderr || fail "keyword split: exit $? $(cat stderr)"
dir=kw/novel
[ "$(ls "$dir" | wc -l)" -eq $((headings + 1)) ] || fail "keyword split made $(ls "$dir" | wc -l) pieces"
join_numbered "$dir" 0 keyword.joined
cmp "$CORPUS" keyword.joined || fail "keyword pieces joined differ from the source"
for n in 1 $((headings / 2)) "$headings"; do
  head -c 2 "$dir/$n.txt" | iconv -f GBK -t UTF-8 | grep -q '^第' || fail "piece $n does not start with 第"
done
check_gbk "$dir"

travik split -k '^第[^ ]+章' --name keyword --merge-script -o "$(to_arg "$WORK/named")" novel.txt \
  2>stderr || fail "named keyword split: exit $? $(cat stderr)"
dir=named/novel
[ -e "$dir/头文本.txt" ] && [ -e "$dir/第一章.txt" ] && [ -e "$dir/第二十八章.txt" ] ||
  fail "keyword names missing: $(ls "$dir" | head -3)"
[ "$(ls "$dir" | grep -c '\.txt$')" -eq $((headings + 1)) ] || fail "named split made $(ls "$dir" | wc -l) files"
: >named.joined
while IFS= read -r name; do
  cat "$dir/$name" >>named.joined
done < <(script_names "$dir/点我合并.bat")
cmp "$CORPUS" named.joined || fail "named pieces joined in script order differ from the source"
check_gbk "$dir"
run_merge_script "$dir" novel

# 4. Checks and failures: the exit codes of the command line.
set +e
travik split novel.txt 2>/dev/null; [ $? -eq 2 ] || fail "no mode: want exit 2"
for bad in 0 -5 1e3 100abc ''; do
  travik split -s "$bad" novel.txt 2>stderr; [ $? -eq 2 ] || fail "size '$bad': want exit 2"
  grep -q '正整数' stderr || fail "size '$bad': no clear message: $(cat stderr)"
done
travik split -p 0 novel.txt 2>/dev/null; [ $? -eq 2 ] || fail "parts 0: want exit 2"
travik split -p 3 missing.txt 2>stderr; status=$?
set -e
[ "$status" -eq 3 ] || fail "missing file: exit $status, want 3"
grep -q 'missing.txt' stderr || fail "missing file not named: $(cat stderr)"

# 5. A 0x1A in the middle of the novel is a byte of it: the pieces hold the whole file, and a
#    warning says where it stands (counted from 1). A 0x00 inside: no text, nothing written.
mkdir ctl
head -n 2000 "$CORPUS" >ctl/eof.txt && printf '\x1a' >>ctl/eof.txt
tail -n +2001 "$CORPUS" >>ctl/eof.txt
at=$(($(head -n 2000 "$CORPUS" | wc -c) + 1))
travik split -s 50 -o "$(to_arg "$WORK/ctl/out")" "$(to_arg "$WORK/ctl/eof.txt")" 2>stderr ||
  fail "0x1A inside: exit $? $(cat stderr)"
join_numbered ctl/out/eof 1 ctl/eof.joined
cmp ctl/eof.txt ctl/eof.joined || fail "0x1A inside: the pieces are not the whole file"
grep -q "第 $at 字节有 0x1A 控制字符，已原样保留" stderr || fail "0x1A inside: no warning: $(cat stderr)"
printf 'ab\0cd' >ctl/bin.txt
set +e
travik split -s 1 -o "$(to_arg "$WORK/ctl/out")" "$(to_arg "$WORK/ctl/bin.txt")" 2>stderr
status=$?
set -e
[ "$status" -eq 3 ] && grep -q 'bin.txt.*第 3 字节是 0x00' stderr ||
  fail "0x00 inside: exit $status $(cat stderr)"
[ ! -e ctl/out/bin ] || fail "0x00 inside: a piece folder was made"
echo "split e2e: ok"
