#!/bin/bash
# Recognition by evidence and checked encodings, as a person meets them: a GBK novel whose head
# piece 目录 is also valid UTF-8 splits at ^第 and merges back byte for byte; UTF-16LE with ideographic spaces is named as such; zero padding at the end of a
# GBK novel is no UTF-16.
source "$(dirname "$0")/lib.sh"
export LC_ALL=C
cd "$WORK"

# 1. 目录 (C4 BF C2 BC) before the chapters: the head piece of a ^第 split.
{ printf '\xc4\xbf\xc2\xbc\r\n'; cat "$CORPUS"; } >book.txt
travik split -k '^第' -o "$(to_arg "$WORK/pieces")" book.txt >/dev/null 2>stderr ||
  fail "split at ^第: exit $? $(cat stderr)"
head -c 6 pieces/book/0.txt | cmp -s - <(printf '\xc4\xbf\xc2\xbc\r\n') ||
  fail "head piece does not begin with 目录: $(xxd pieces/book/0.txt | head -2)"
list=$(cd pieces/book && ls | sort -n | tr '\n' ' ')
# shellcheck disable=SC2086
(cd pieces/book && travik merge -n 全 -o .. $list) >/dev/null 2>stderr ||
  fail "merge of the pieces: exit $? $(cat stderr)"
cmp book.txt pieces/全.txt || fail "the merged book differs from the source"
# The head piece alone is GBK, on slight evidence: an insertion says so and writes GBK.
printf '\xc4\xbf\xc2\xbc\r\n' >toc.txt
travik insert -k '录' -t '【注】' --in-place toc.txt >stdout 2>stderr ||
  fail "insert into 目录: exit $? $(cat stderr)"
grep -q 'GBK?' stdout || fail "the report does not say GBK?: $(cat stdout)"
[ "$(cat toc.txt)" = $'\xc4\xbf\xc2\xbc\xa1\xbe\xd7\xa2\xa1\xbf\r' ] ||
  fail "not inserted in GBK: $(xxd toc.txt)"

# 3. UTF-16LE, LF line ends, paragraphs indented with ideographic spaces: named UTF-16LE.
printf '\u3000\u3000第一章\n\u3000\u3000正文\n' | iconv -f UTF-8 -t UTF-16LE >le.txt
if travik split -s 1 -o "$(to_arg "$WORK/le")" le.txt >/dev/null 2>stderr; then
  fail "UTF-16 was split"
fi
grep -q 'UTF-16LE' stderr || fail "not named UTF-16LE: $(cat stderr)"

# 4. A GBK novel padded with 4,097 zero bytes: split, its text whole.
{ cat "$CORPUS"; head -c 4097 /dev/zero; } >padded.txt
travik split -p 3 -o "$(to_arg "$WORK/padded")" padded.txt >/dev/null 2>stderr || true
grep -q 'UTF-16' stderr && fail "zero padding taken for UTF-16: $(cat stderr)"
cat padded/padded/1.txt padded/padded/2.txt padded/padded/3.txt | cmp - "$CORPUS" ||
  fail "the padded novel's pieces are not its text"
echo ok
