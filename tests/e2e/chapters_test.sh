#!/bin/bash
# travik chapters on novels written here in each heading form: the table and the JSON list the
# headings (and only those), the warnings name the odd chapters, nothing is written, and the exit
# code says whether headings were found. travik split --chapters cuts at exactly those headings
# and its pieces join back to the source.
source "$(dirname "$0")/lib.sh"
cd "$WORK"

# gbk NAME: the UTF-8 text on stdin, with CR LF line ends, saved as GBK.
gbk() { sed 's/$/\r/' | iconv -f UTF-8 -t GBK >"$1" || fail "cannot make $1"; }
body() { for _ in $(seq "$1"); do echo "　　他沿着河岸走了很久，直到天色暗下来，才在一座小桥边停住。"; done; }

# A novel with a preamble, a 楔子, a volume restart, a gap, prose traps, and titles whose
# characters have second bytes 0x5C (淺) and 0x7C (東).
{
  echo "书名：河"; echo
  echo "楔子"; body 8
  echo "第一卷 春"
  echo "第一章 出发"; body 8
  echo "　　第三天早上，他出门了。"; echo "第一封信是寄给母亲的"; body 8
  echo "第二章　淺東"; body 8
  echo "　　他翻到第五章，读了起来。"; body 8
  echo "第二卷 夏"
  echo "第一章：小桥"; body 8
  echo "第三章 夜雨"; body 8
  echo "第四章 2019年的夏天"; body 8
  echo "尾声"; body 3
} | gbk novel.txt
cp novel.txt original.txt

# JSON: one object per file, in UTF-8, with the headings and warnings.
travik chapters --json novel.txt >json.out 2>stderr || fail "chapters --json: exit $? $(cat stderr)"
python3 - json.out <<'EOF' || fail "JSON: $(cat json.out)"
import json, sys
lines = open(sys.argv[1], encoding="utf-8").read().splitlines()
assert len(lines) == 1, lines
d = json.loads(lines[0])
assert d["file"] == "novel.txt" and d["encoding"] == "GBK", d
titles = [c["title"] for c in d["chapters"]]
assert titles == ["楔子", "第一卷 春", "第一章 出发", "第二章　淺東", "第二卷 夏", "第一章：小桥",
                  "第三章 夜雨", "第四章 2019年的夏天", "尾声"], titles
assert [c["number"] for c in d["chapters"]] == [None, 1, 1, 2, 2, 1, 3, 4, None]
assert [c["kind"] for c in d["chapters"]] == ["extra", "volume", "chapter", "chapter", "volume",
                                              "chapter", "chapter", "chapter", "extra"]
assert d["chapters"][0]["line"] == 3
assert [w["kind"] for w in d["warnings"]] == ["gap"], d["warnings"]
assert d["warnings"][0]["line"] == d["chapters"][6]["line"]
raw = open("novel.txt", "rb").read()
for i, c in enumerate(d["chapters"]):
    assert raw[c["offset"]:].startswith(c["title"].encode("gbk")), c
    end = d["chapters"][i + 1]["offset"] if i + 1 < len(d["chapters"]) else len(raw)
    assert c["bytes"] == end - c["offset"], c
EOF

# The table: one row per heading, the gap marked, a summary line.
travik chapters novel.txt >table.out 2>stderr || fail "chapters: exit $? $(cat stderr)"
tr -d '\r' <table.out >table.txt
[ "$(grep -c -e '第\(一\|二\|三\|四\)\(章\|卷\)' -e '^ *[0-9].*楔子' -e '^ *[0-9].*尾声' table.txt)" -eq 9 ] || fail "table rows: $(cat table.txt)"
grep -q '! 章节号从 1 跳到 3' table.txt || fail "gap not marked: $(cat table.txt)"
grep -q '共 9 个标题，1 个警告' table.txt || fail "summary: $(cat table.txt)"
cmp novel.txt original.txt || fail "chapters changed the file"
mkdir look && cp novel.txt look/
(cd look && travik chapters novel.txt >../look.out && travik chapters --json novel.txt >>../look.out) ||
  fail "chapters in look/: exit $?"
[ "$(ls -A look)" = novel.txt ] || fail "chapters wrote files: $(ls -A look)"

# split --chapters: pieces at the same headings, the preamble in the head piece, joined = source.
travik split --chapters --merge-script novel.txt >split.out 2>stderr ||
  fail "split --chapters: exit $? $(cat stderr)"
dir=分割后的文件/novel
[ -f "$dir/000 头文本.txt" ] || fail "no head piece: $(ls "$dir")"
[ -f "$dir/003 第一章 出发.txt" ] || fail "pieces not named by place and heading: $(ls "$dir")"
[ -f "$dir/006 第一章：小桥.txt" ] || fail "second 第一章 missing: $(ls "$dir")"
pieces=$(ls "$dir" | grep -c '\.txt$')
[ "$pieces" -eq 10 ] || fail "split --chapters made $pieces pieces: $(ls "$dir")"
python3 - "$dir" <<'EOF' || fail "pieces do not join back"
import json, os, sys
d = json.loads(open("json.out", encoding="utf-8").read())
folder = sys.argv[1]
raw = open("novel.txt", "rb").read()
names = ["000 头文本"] + ["%03d %s" % (i + 1, c["title"]) for i, c in enumerate(d["chapters"])]
joined = b"".join(open(os.path.join(folder, n + ".txt"), "rb").read() for n in names)
assert joined == raw
EOF

# Presets by name, a pattern, and the exit codes.
travik chapters --preset chapter --json novel.txt >preset.out || fail "--preset chapter: exit $?"
python3 -c 'import json,sys; d=json.loads(open(sys.argv[1],encoding="utf-8").read());
assert [c["number"] for c in d["chapters"]] == [1, 2, 1, 3, 4], d["chapters"]
assert d["pattern"] == "preset:chapter"' preset.out || fail "preset chapter: $(cat preset.out)"
# The summary says which forms were named, and does not call them an automatic choice.
travik chapters --preset chapter novel.txt >named.out || fail "--preset chapter table: exit $?"
grep -q '（标题形式: preset:chapter）' named.out || fail "named forms: $(tail -1 named.out)"
grep -q '（自动识别: 第#章+第#卷+序章/楔子/尾声）' table.txt || fail "automatic: $(tail -1 table.txt)"
travik chapters -k '^第.章' --json novel.txt >pattern.out || fail "-k: exit $?"
python3 -c 'import json,sys; d=json.loads(open(sys.argv[1],encoding="utf-8").read());
assert len(d["chapters"]) == 5 and d["pattern"] == "^第.章", d' pattern.out || fail "-k: $(cat pattern.out)"

{ echo "Chapter 1"; echo "It was cold."; echo "Chapter 2: Rain"; echo "It rained."; } | gbk english.txt
{ echo "001 出发"; body 3; echo "002 小桥"; body 3; echo "003 夜雨"; body 3; } | gbk numbered.txt
travik chapters --json english.txt numbered.txt >two.out || fail "two files: exit $?"
python3 -c 'import json,sys; a,b=[json.loads(l) for l in open(sys.argv[1],encoding="utf-8")];
assert [c["number"] for c in a["chapters"]] == [1, 2], a
assert [c["number"] for c in b["chapters"]] == [1, 2, 3], b' two.out || fail "forms: $(cat two.out)"

body 20 | gbk prose.txt
set +e
travik chapters prose.txt >none.out 2>&1; code=$?
travik chapters --preset chapters novel.txt >bad.out 2>&1; bad=$?
travik chapters -k '(第' novel.txt >invalid.out 2>&1; invalid=$?
travik split --chapters prose.txt >split_none.out 2>&1; split_none=$?
set -e
[ "$code" -eq 1 ] || fail "no headings: exit $code $(cat none.out)"
grep -q '未找到章节标题，可改为按大小分割' none.out || fail "no headings: $(cat none.out)"
! grep -q '自动识别' none.out || fail "no headings, yet a form named: $(cat none.out)"
travik chapters --json prose.txt >none.json || true
python3 -c 'import json,sys; d=json.loads(open(sys.argv[1],encoding="utf-8").read());
assert d["pattern"] == "" and d["chapters"] == [], d' none.json || fail "no headings JSON: $(cat none.json)"
[ "$bad" -eq 2 ] || fail "unknown preset: exit $bad"
[ "$invalid" -eq 2 ] || fail "invalid pattern: exit $invalid"
grep -q '关键字不是有效的正则表达式' invalid.out || fail "invalid pattern: $(cat invalid.out)"
[ "$split_none" -eq 3 ] || fail "split --chapters of prose: exit $split_none $(cat split_none.out)"
[ ! -e 分割后的文件/prose ] || fail "split --chapters of prose wrote a folder"
echo "chapters e2e passed"
