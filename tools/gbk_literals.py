#!/usr/bin/env python3
"""Writes copies of the C++ sources whose narrow string and character literals hold GBK escapes.

The sources are UTF-8 and their narrow literals are meant as GBK bytes. GCC gets there with
-fexec-charset=GBK; a compiler without that option (clang) compiles these copies instead:
every non-ASCII character inside a narrow literal becomes its GBK bytes as three-digit octal
escapes (octal, so that a following hex digit can never join the escape; a raw literal with such
characters becomes ordinary ones), and nothing else in the file changes. Wide and Unicode
literals (L, u, U, u8) and comments are left as they are.
Each copy starts with a #line directive naming the original, so diagnostics and debug
information point at the real source. A copy is rewritten only when its text changes, so that
unchanged files are not compiled again.

Usage: gbk_literals.py SOURCE_ROOT OUTPUT_ROOT FILE...   (FILE relative to SOURCE_ROOT)
"""
import os
import sys

PREFIXES = {"L", "u", "U", "u8"}


def escape(text):
    """`text` with every non-ASCII character as GBK octal escapes."""
    out = []
    for ch in text:
        if ord(ch) < 0x80:
            out.append(ch)
            continue
        try:
            # GCC's converter writes the euro sign as 0x80 (code page 936); Python's gbk has none.
            data = b"\x80" if ch == "\u20ac" else ch.encode("gbk")
        except UnicodeEncodeError:
            raise ValueError("character U+%04X has no GBK form" % ord(ch))
        out.extend("\\%03o" % b for b in data)
    return "".join(out)


def convert(src):
    """The source with the narrow literals' non-ASCII characters escaped."""
    out = []
    i, n = 0, len(src)
    while i < n:
        c = src[i]
        if src.startswith("//", i):
            j = src.find("\n", i)
            j = n if j < 0 else j
            out.append(src[i:j])
            i = j
        elif src.startswith("/*", i):
            j = src.find("*/", i + 2)
            j = n if j < 0 else j + 2
            out.append(src[i:j])
            i = j
        elif c.isalpha() or c == "_":
            j = i
            while j < n and (src[j].isalnum() or src[j] == "_"):
                j += 1
            word = src[i:j]
            out.append(word)
            i = j
            if i < n and src[i] in "\"'":
                if word.endswith("R") and src[i] == '"' and word[:-1] in PREFIXES | {""}:
                    i = raw_string(src, i, out, narrow=word == "R")
                else:
                    i = literal(src, i, out, narrow=word not in PREFIXES)
        elif c.isdigit():
            # A pp-number, digit separators (1'000) included.
            j = i + 1
            while j < n and (src[j].isalnum() or src[j] in "_.'" or
                             (src[j] in "+-" and src[j - 1] in "eEpP")):
                j += 1
            out.append(src[i:j])
            i = j
        elif c in "\"'":
            i = literal(src, i, out, narrow=True)
        else:
            out.append(c)
            i += 1
    return "".join(out)


def literal(src, i, out, narrow):
    """Copies the quoted literal that starts at src[i]; returns the index after it."""
    quote = src[i]
    j = i + 1
    while j < len(src) and src[j] != quote:
        if src[j] == "\\":
            j += 1
        elif src[j] == "\n":
            raise ValueError("unterminated literal")
        j += 1
    body = src[i + 1:j]
    out.append(quote + (escape(body) if narrow else body) + quote)
    return j + 1


def raw_string(src, i, out, narrow):
    """Copies the raw string literal whose quote is src[i]; returns the index after it. A raw
    narrow literal cannot hold escapes: one with non-ASCII text becomes ordinary literals, one per
    source line and joined by the compiler, so that the lines after it keep their numbers."""
    open_paren = src.index("(", i)
    delimiter = src[i + 1:open_paren]
    close = src.index(")" + delimiter + '"', open_paren)
    end = close + len(delimiter) + 2
    text = src[i:end]
    if not narrow or all(ord(ch) < 0x80 for ch in text):
        out.append(text)
        return end
    out.pop()  # the "R" before the quote
    lines = src[open_paren + 1:close].split("\n")
    pieces = []
    for k, line in enumerate(lines):
        body = line.replace("\\", "\\\\").replace('"', '\\"').replace("?", "\\?")
        pieces.append('"' + escape(body) + ("\\n" if k + 1 < len(lines) else "") + '"')
    out.append("\n".join(pieces))
    return end


def main(argv):
    root, out_root = argv[1], argv[2]
    for rel in argv[3:]:
        path = os.path.join(root, rel)
        with open(path, encoding="utf-8") as f:
            src = f.read()
        try:
            quoted = path.replace("\\", "\\\\").replace('"', '\\"')
            text = '#line 1 "%s"\n' % quoted + convert(src)
        except ValueError as e:
            sys.exit("%s: %s" % (path, e))
        target = os.path.join(out_root, rel)
        try:
            with open(target, encoding="utf-8") as f:
                if f.read() == text:
                    continue
        except OSError:
            pass
        os.makedirs(os.path.dirname(target), exist_ok=True)
        with open(target, "w", encoding="utf-8") as f:
            f.write(text)


if __name__ == "__main__":
    main(sys.argv)
