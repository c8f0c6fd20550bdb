#!/bin/bash
# What the three commands write, and where: no output replaces another or an existing file with
# nothing, read-only sources are read, in-place changes keep the file's permissions and links,
# nothing is written at the root, and merges go in the order people mean.
source "$(dirname "$0")/lib.sh"
export LC_ALL=C
cd "$WORK"
gbk() { printf '%s' "$1" | iconv -f UTF-8 -t GBK; }

# 1. A merge that read nothing leaves an existing merged file as it was.
mkdir -p one/合并后的文件
gbk '好书' >one/合并后的文件/全书.txt
set +e
(cd one && travik merge -n 全书 3.txt) 2>stderr
status=$?
set -e
[ "$status" -eq 3 ] || fail "merge of nothing: exit $status, want 3"
[ "$(cat one/合并后的文件/全书.txt)" = "$(gbk '好书')" ] || fail "merge of nothing replaced the file"
grep -q '3.txt: 无法打开文件: 不存在' stderr || fail "missing source: $(cat stderr)"
grep -q '没有读取到任何文件' stderr || fail "nothing-read not reported: $(cat stderr)"

# 2. Two sources of one name: their pieces and copies never replace each other.
mkdir -p two/a two/b
gbk '第一部甲乙丙' >two/a/小说.txt
gbk '第二部丁戊己' >two/b/小说.txt
(cd two && travik split -p 2 a/小说.txt b/小说.txt) 2>stderr || fail "split: $(cat stderr)"
[ "$(cat two/分割后的文件/小说/1.txt two/分割后的文件/小说/2.txt)" = "$(cat two/a/小说.txt)" ] &&
  [ "$(cat two/分割后的文件/小说\(2\)/1.txt two/分割后的文件/小说\(2\)/2.txt)" = "$(cat two/b/小说.txt)" ] ||
  fail "same-named split: $(ls two/分割后的文件)"
grep -q '小说(2)' stderr || fail "renamed folder not named: $(cat stderr)"
(cd two && travik insert -e 2 -t '#' a/小说.txt b/小说.txt) >/dev/null 2>stderr || fail "insert: $(cat stderr)"
[ "$(tr -d '#' <two/处理后的文件/小说.txt)" = "$(cat two/a/小说.txt)" ] &&
  [ "$(tr -d '#' <two/处理后的文件/小说\(2\).txt)" = "$(cat two/b/小说.txt)" ] || fail "same-named copies"
grep -q '小说(2).txt' stderr || fail "renamed copy not named: $(cat stderr)"
# Splitting again into fewer parts: the old pieces stay and are counted.
set +e
(cd two && travik split -p 1 a/小说.txt) 2>stderr
status=$?
set -e
[ "$status" -eq 3 ] && grep -q '另有 1 个文件' stderr || fail "leftover pieces: exit $status $(cat stderr)"
[ -e two/分割后的文件/小说/2.txt ] || fail "an old piece was deleted"

# 3. Files without an extension keep their name.
mkdir three
gbk '甲乙' >three/小说
gbk '丙丁' >three/第二部
(cd three && travik insert -e 2 -t '#' 小说 第二部) >/dev/null 2>stderr || fail "insert: $(cat stderr)"
[ -e three/处理后的文件/小说.txt ] && [ -e three/处理后的文件/第二部.txt ] || fail "copies: $(ls three/处理后的文件)"
(cd three && travik merge 小说 第二部) >/dev/null 2>stderr || fail "merge: $(cat stderr)"
[ "$(cat three/合并后的文件/小说.txt)" = "$(gbk '甲乙丙丁')" ] || fail "merge of names without extension"

# 6. Read-only sources are read; an in-place change of one says why it cannot.
mkdir six
gbk '第一章甲乙丙丁' >six/ro.txt
chmod 444 six/ro.txt
(cd six && travik split -p 2 ro.txt && travik merge -n m ro.txt && travik insert -e 2 -t '#' ro.txt) \
  >/dev/null 2>stderr || fail "read-only source: $(cat stderr)"
[ "$(cat six/合并后的文件/m.txt)" = "$(cat six/ro.txt)" ] || fail "read-only source merged wrongly"
set +e
(cd six && travik insert -e 2 -t '#' --in-place ro.txt) 2>stderr
status=$?
set -e
[ "$status" -eq 3 ] && grep -q '只读' stderr || fail "read-only in place: exit $status $(cat stderr)"
[ "$(cat six/ro.txt)" = "$(gbk '第一章甲乙丙丁')" ] || fail "read-only file changed"

# 7. In place keeps the permission bits and symbolic links (POSIX).
if [ "$PLATFORM" = native ]; then
  mkdir seven
  gbk '甲乙丙丁' >seven/private.txt
  chmod 600 seven/private.txt
  ln -s private.txt seven/link.txt
  travik insert -e 2 -t '#' --in-place seven/link.txt 2>stderr || fail "in place: $(cat stderr)"
  [ "$(stat -c %a seven/private.txt)" = 600 ] || fail "mode became $(stat -c %a seven/private.txt)"
  [ -L seven/link.txt ] || fail "the link was replaced by a file"
  [ "$(tr -d '#' <seven/private.txt)" = "$(gbk '甲乙丙丁')" ] && grep -q '#' seven/private.txt ||
    fail "the link's target was not changed"
  [ -z "$(ls seven | grep -v -e '^private.txt$' -e '^link.txt$')" ] || fail "left behind: $(ls seven)"
fi

# 8. Merge with deleting sources: the merged file is on the disk (flushed, renamed into place,
# its folder flushed) before the first source is deleted. Seen through strace where it can run.
if [ "$PLATFORM" = native ] && command -v strace >/dev/null &&
  strace -o /dev/null true 2>/dev/null; then
  mkdir eight
  printf a >eight/1.txt
  printf b >eight/2.txt
  # (A sanitizer build's leak check cannot run under ptrace: it is off for this one run.)
  (cd eight && ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0" strace -o ../trace -e trace=fsync,fdatasync,rename,renameat,renameat2,unlink,unlinkat \
    "$TRAVIK_BIN" merge -n m --delete-sources 1.txt 2.txt) >/dev/null 2>stderr ||
    fail "merge --delete-sources: $(cat stderr)"
  order=$(sed -E -e 's/^[0-9]+ +//' -e 's/\(.*//' -e 's/^(rename|unlink)[a-z0-9]*$/\1/' \
    -e 's/^fdatasync$/fsync/' trace | grep -v '^[+-]' | uniq | tr '\n' ' ')
  [ "$order" = "fsync rename fsync unlink " ] ||
    fail "sources deleted before the merged file was on the disk: $order"
  [ "$(cat eight/合并后的文件/m.txt)" = ab ] && [ ! -e eight/1.txt ] && [ ! -e eight/2.txt ] ||
    fail "merge --delete-sources: $(ls eight)"
fi

# 9. A current folder whose name GBK cannot hold is a folder like any other: the results go under
#    it; in place makes no folder; nothing is written at the root.
mkdir España
gbk '甲乙' >España/小说.txt
(cd España && travik split -p 2 小说.txt && travik merge 小说.txt && travik insert -e 2 -t '#' 小说.txt) \
  >/dev/null 2>stderr || fail "in España: $(cat stderr)"
[ "$(cat España/分割后的文件/小说/1.txt España/分割后的文件/小说/2.txt)" = "$(gbk '甲乙')" ] ||
  fail "split in España: $(ls -R España)"
[ "$(cat España/合并后的文件/小说.txt)" = "$(gbk '甲乙')" ] || fail "merge in España: $(ls -R España)"
[ "$(tr -d '#' <España/处理后的文件/小说.txt)" = "$(gbk '甲乙')" ] && grep -q '#' España/处理后的文件/小说.txt ||
  fail "insert in España: $(ls -R España)"
[ "$(ls España | LC_ALL=C sort | tr '\n' ' ')" = "$(printf '%s\n' 分割后的文件 合并后的文件 处理后的文件 小说.txt | LC_ALL=C sort | tr '\n' ' ')" ] ||
  fail "España holds $(ls España)"
rm -r España/分割后的文件 España/合并后的文件 España/处理后的文件
(cd España && travik insert -e 2 -t '#' --in-place 小说.txt) 2>stderr || fail "in place in España: $(cat stderr)"
[ "$(ls España)" = 小说.txt ] && grep -q '#' España/小说.txt || fail "in place in España: $(ls España)"
#    A current folder the system cannot name (removed while in it; POSIX): a usage error that
#    asks for -o, never the root folder instead.
if [ "$PLATFORM" = native ]; then
  mkdir gone
  for command in "split -p 2" "merge" "insert -e 1 -t #"; do
    set +e
    # shellcheck disable=SC2086
    (cd gone && rmdir "$WORK/gone" && travik $command "$WORK/España/小说.txt") 2>stderr
    status=$?
    set -e
    [ "$status" -eq 2 ] && grep -q -- '-o' stderr || fail "$command in a removed folder: exit $status $(cat stderr)"
    mkdir gone
  done
fi
[ ! -e /分割后的文件 ] && [ ! -e /合并后的文件 ] && [ ! -e /处理后的文件 ] || fail "written at the root"

# 11. Natural order: --natural, a folder argument, the warning, and wildcards on Windows.
mkdir eleven eleven/d
for i in $(seq 1 12); do printf '%s,' "$i" >"eleven/$i.txt"; cp "eleven/$i.txt" eleven/d/; done
want=$(seq 1 12 | tr '\n' ',')
(cd eleven && travik merge -N -n 全 ./*.txt) >/dev/null 2>stderr || fail "natural: $(cat stderr)"
[ "$(cat eleven/合并后的文件/全.txt)" = "$want" ] || fail "natural: $(cat eleven/合并后的文件/全.txt)"
(cd eleven && travik merge -n 夹 -o out d) >/dev/null 2>stderr || fail "folder: $(cat stderr)"
[ "$(cat eleven/out/夹.txt)" = "$want" ] || fail "folder argument: $(cat eleven/out/夹.txt)"
(cd eleven && travik merge -n 序 1.txt 10.txt 2.txt) >/dev/null 2>stderr || fail "given order"
[ "$(cat eleven/合并后的文件/序.txt)" = "1,10,2," ] || fail "the given order was not kept"
grep -q '10.txt 排在 2.txt 之前' stderr && grep -q -- '--natural' stderr || fail "no warning: $(cat stderr)"
mkdir eleven/wide  # full-width digits are numbers too
printf b >eleven/wide/卷２.txt
printf a >eleven/wide/卷１.txt
(cd eleven/wide && travik merge -n 宽 -o . 卷２.txt 卷１.txt) >/dev/null 2>stderr || fail "full-width: $(cat stderr)"
[ "$(cat eleven/wide/宽.txt)" = ba ] || fail "full-width: the given order was not kept"
grep -q '卷２.txt 排在 卷１.txt 之前' stderr || fail "no warning for full-width digits: $(cat stderr)"
if [ "$PLATFORM" = windows ]; then
  (cd eleven && travik merge -N -n 星 '*.txt') >/dev/null 2>stderr || fail "wildcard: $(cat stderr)"
  [ "$(cat eleven/合并后的文件/星.txt)" = "$want" ] || fail "wildcard: $(cat eleven/合并后的文件/星.txt)"
fi

# 13. merge -o makes one level of folder; merge with no files is a usage error.
(cd eleven && travik merge -n 新 -o 新目录 1.txt) >/dev/null 2>stderr || fail "merge -o: $(cat stderr)"
[ "$(cat eleven/新目录/新.txt)" = "1," ] || fail "merge -o did not make the folder"
set +e
travik merge -n x 2>stderr
status=$?
set -e
[ "$status" -eq 2 ] || fail "merge with no files: exit $status"
# 14. Natural order as chapter files are named: 上 < 中 < 下, the preface first, the afterword last.
mkdir fourteen
for name in '第1章（上）' '第1章（下）' '第1章（中）' '第2章' '楔子' '后记' '番外1' '尾声'; do
  printf '%s,' "$name" >"fourteen/$name.txt"
done
(cd fourteen && travik merge -N -n 书 -o . ./*.txt) >/dev/null 2>stderr || fail "natural parts: $(cat stderr)"
[ "$(cat fourteen/书.txt)" = '楔子,第1章（上）,第1章（中）,第1章（下）,第2章,尾声,后记,番外1,' ] ||
  fail "natural order of parts: $(cat fourteen/书.txt)"

# 15. Names as Windows resolves them: x.txt and x..txt get a folder each; no folder, copy or
#     merged file is a device name (on Windows a source so named is the device, and refused).
mkdir fifteen
printf 'one' >fifteen/x.txt
printf 'two' >fifteen/x..txt
(cd fifteen && travik split -p 1 -o out x.txt x..txt) >/dev/null 2>stderr || fail "x..txt: $(cat stderr)"
[ "$(cat fifteen/out/x/1.txt)" = one ] && [ "$(cat 'fifteen/out/x(2)/1.txt')" = two ] ||
  fail "x.txt and x..txt: $(ls fifteen/out)"
[ "$(ls fifteen/out | wc -l)" -eq 2 ] || fail "x.txt and x..txt: $(ls fifteen/out)"
set +e
(cd fifteen && travik merge -n nul -o . x.txt) >/dev/null 2>stderr
status=$?
set -e
[ "$status" -eq 1 ] && grep -q '“nul”是 Windows 的设备名' stderr || fail "merge -n nul: exit $status $(cat stderr)"
if [ "$PLATFORM" = native ]; then
  printf 'abc' >fifteen/nul.txt
  (cd fifteen && travik split -p 1 --merge-script -o dev nul.txt) >/dev/null 2>stderr ||
    fail "split of nul.txt: $(cat stderr)"
  [ "$(cat fifteen/dev/nul_/1.txt)" = abc ] && [ ! -e fifteen/dev/nul ] || fail "nul.txt: $(ls fifteen/dev)"
  iconv -f GBK -t UTF-8 fifteen/dev/nul_/点我合并.bat | grep -qF '"合并后的文件\nul_.txt"' ||
    fail "the merged name in the script of nul.txt"
  grep -q '设备名，分割文件保存在 .*nul_' stderr || fail "the mark is not told: $(cat stderr)"
  (cd fifteen && travik insert -e 1 -t '#' -o copies nul.txt) >/dev/null 2>stderr ||
    fail "insert of nul.txt: $(cat stderr)"
  [ "$(tr -d '#' <fifteen/copies/nul_.txt)" = abc ] || fail "the copy of nul.txt: $(ls fifteen/copies)"
else
  for device in nul.txt CON.txt com1.txt; do
    set +e
    (cd fifteen && travik split -s 1 -o dev "$device") >/dev/null 2>stderr
    status=$?
    set -e
    [ "$status" -eq 3 ] && grep -q "“$device”是 Windows 的设备名" stderr ||
      fail "split of $device: exit $status $(cat stderr)"
  done
  [ -z "$(ls fifteen/dev 2>/dev/null)" ] || fail "split of a device wrote $(ls fifteen/dev)"
fi

# 16. A piece that cannot be written is named, leaves nothing under its name, and the merge script
#     is not written: a folder in a piece's way, and (natively) a disk that fills up.
mkdir -p sixteen/out/书/2.txt
head -c 3000 "$CORPUS" >sixteen/书.txt
set +e
(cd sixteen && travik split -p 3 --merge-script -o out 书.txt) >/dev/null 2>stderr
status=$?
set -e
[ "$status" -eq 3 ] && grep -q '中缺少：2.txt；没有写出合并文件' stderr ||
  fail "a folder in the way: exit $status $(cat stderr)"
[ -d sixteen/out/书/2.txt ] && [ ! -e sixteen/out/书/点我合并.bat ] && [ -s sixteen/out/书/3.txt ] ||
  fail "a folder in the way: $(ls sixteen/out/书)"
if [ "$PLATFORM" = native ]; then
  mkdir sixteen/full
  head -c 250000 "$CORPUS" >sixteen/full/大.txt
  set +e
  (cd sixteen/full && trap '' XFSZ && ulimit -f 80 && travik split -s 100 --merge-script -o out 大.txt) \
    >/dev/null 2>stderr
  status=$?
  set -e
  [ "$status" -eq 3 ] && grep -q '有 2 个分割文件无法写入，.* 中缺少：1.txt、2.txt；没有写出合并文件' stderr ||
    fail "a full disk: exit $status $(cat stderr)"
  [ "$(ls sixteen/full/out/大)" = 3.txt ] || fail "pieces left by a full disk: $(ls -l sixteen/full/out/大)"
fi

echo "outputs e2e: ok"
