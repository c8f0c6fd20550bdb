#!/bin/bash
# travik chapters on the sample novel in each encoding it works in, made with iconv: the same
# headings (lines, titles, numbers) in GBK, UTF-8 with and without a mark, and GB18030 with
# characters GBK lacks; the JSON names the encoding and each offset is that file's own; the table
# prints UTF-8 titles as characters; --encoding overrides; UTF-16 is refused.
source "$(dirname "$0")/lib.sh"
cd "$WORK"
[ -f novel.txt ] || fail "no sample novel"

iconv -f GBK -t UTF-8 novel.txt >utf8.txt || fail "iconv UTF-8"
{ printf '\xef\xbb\xbf'; cat utf8.txt; } >mark.txt
iconv -f GBK -t GB18030 novel.txt >plain18030.txt || fail "iconv GB18030"
# 𠀀 (U+20000) and 😀 in the first chapter's heading and in the prose after it.
python3 - <<'PY' || fail "cannot make the GB18030 text"
text = open("utf8.txt", encoding="utf-8").read()
lines = text.split("\n")
first = next(i for i, l in enumerate(lines) if l.startswith("第一章"))
lines[first] = lines[first].rstrip("\r") + "\U00020000\r"
lines[first + 2] = "\U0001F600" + lines[first + 2]
wide = "\n".join(lines)
open("wide18030.txt", "wb").write(wide.encode("gb18030"))
open("wide_utf8.txt", "wb").write(wide.encode("utf-8"))
PY

for f in novel utf8 mark plain18030 wide18030 wide_utf8; do
  travik chapters --json "$f.txt" >"$f.json" 2>"$f.err" || fail "$f: exit $? $(cat "$f.err")"
done
travik chapters --encoding gb18030 --json plain18030.txt >forced.json || fail "forced: exit $?"
travik chapters -k '^第' --json mark.txt >mark_pattern.json || fail "-k on mark.txt: exit $?"
travik chapters -k '^第' --json novel.txt >novel_pattern.json || fail "-k on novel.txt: exit $?"

python3 - <<'PY' || fail "JSON of the forms differ"
import json
def load(name):
    return json.loads(open(name + ".json", encoding="utf-8").read())
gbk = load("novel")
assert gbk["encoding"] == "GBK" and len(gbk["chapters"]) > 20, gbk["encoding"]
def seen(d):
    return [(c["line"], c["number"], c["kind"], c["title"]) for c in d["chapters"]]
forms = {  # file: (json, encoding named, Python codec, mark length)
    "utf8.txt": ("utf8", "UTF-8", "utf-8", 0),
    "mark.txt": ("mark", "UTF-8", "utf-8", 3),
    "plain18030.txt": ("plain18030", "GBK", "gbk", 0),  # no four-byte character: read as GBK
    "plain18030.txt ": ("forced", "GB18030", "gb18030", 0),
    "wide18030.txt": ("wide18030", "GB18030", "gb18030", 0),
    "wide_utf8.txt": ("wide_utf8", "UTF-8", "utf-8", 0),
    "mark.txt ": ("mark_pattern", "UTF-8", "utf-8", 3),
}
for file, (name, encoding, codec, mark) in forms.items():
    d = load(name)
    assert d["encoding"] == encoding, (file, d["encoding"])
    expected = seen(load("novel_pattern") if name == "mark_pattern" else gbk)
    if name.startswith("wide"):
        expected[0] = expected[0][:3] + (expected[0][3] + "\U00020000",)
    assert seen(d) == expected, (file, seen(d)[:3], expected[:3])
    raw = open(file.strip(), "rb").read()
    total = 0
    for i, c in enumerate(d["chapters"]):
        at = c["offset"] if c["offset"] > 0 else mark
        raw[:at].decode(codec)  # the cut lies between characters
        assert raw[at:].lstrip(b" \t").startswith(c["title"].encode(codec)), (file, c)
        assert c["offset"] == 0 or raw[c["offset"] - 1:c["offset"]] == b"\n", (file, c)
        total += c["bytes"]
    assert total == len(raw) - d["chapters"][0]["offset"], file
PY

# The table of a UTF-8 text: its titles as characters, the rare one included.
travik chapters wide_utf8.txt >table.out 2>stderr || fail "table: exit $? $(cat stderr)"
grep -q "第一章.*𠀀" table.out || fail "table title: $(head -3 table.out)"
[ "$(grep -c '^ *[0-9]' table.out)" -eq "$(python3 -c 'import json; print(len(json.load(open("novel.json", encoding="utf-8"))["chapters"]))')" ] ||
  fail "table rows: $(head -5 table.out)"

# --encoding: given, it is the encoding read in; a bad value is a usage error; UTF-16 and a text
# not valid in the encoding given are refused by name.
travik chapters --encoding UTF8 --json utf8.txt >as_utf8.json || fail "--encoding UTF8: exit $?"
iconv -f UTF-8 -t UTF-16 utf8.txt >utf16.txt
set +e
travik chapters --encoding latin1 utf8.txt >bad.out 2>&1; bad=$?
travik chapters utf16.txt >utf16.out 2>&1; utf16=$?
travik chapters --encoding utf-8 novel.txt >invalid.out 2>&1; invalid=$?
travik chapters --encoding gbk utf8.txt >as_gbk.out 2>&1; as_gbk=$?
set -e
[ "$as_gbk" -eq 3 ] || fail "UTF-8 given as GBK: exit $as_gbk $(head -c 300 as_gbk.out)"
grep -q '按 GBK 编码读取时，第 [0-9]* 字节起不是有效的字符' as_gbk.out ||
  fail "UTF-8 given as GBK: $(head -c 300 as_gbk.out)"
[ "$bad" -eq 2 ] || fail "--encoding latin1: exit $bad $(cat bad.out)"
grep -q -- '--encoding' bad.out || fail "--encoding latin1: $(cat bad.out)"
[ "$utf16" -eq 3 ] || fail "UTF-16: exit $utf16 $(cat utf16.out)"
grep -q 'UTF-16' utf16.out || fail "UTF-16 message: $(cat utf16.out)"
[ "$invalid" -eq 3 ] || fail "UTF-8 given for GBK: exit $invalid $(cat invalid.out)"
grep -q 'UTF-8' invalid.out || fail "invalid message: $(cat invalid.out)"
travik chapters --help | grep -q -- '--encoding' || fail "--help does not name --encoding"
echo "chapters encodings e2e passed"
