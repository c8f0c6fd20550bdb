#!/usr/bin/env python3
"""Writes the seed inputs of the fuzz targets into fuzz/corpus/<target>/: small slices of a GBK
sample text behind the parameter bytes each target reads first (see the targets' sources).
Keywords are typed texts, so UTF-8 whatever the text's encoding; texts to insert are already in
the text's encoding. Findings kept as regressions live beside the seeds and are not touched.

Usage: fuzz/make_seeds.py SAMPLE.txt
"""
import os
import sys

here = os.path.dirname(os.path.abspath(__file__))


def gbk(text):
    return text.encode("gbk")


def typed(text):
    return text.encode("utf-8")


def write(target, name, data):
    folder = os.path.join(here, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "seed_" + name), "wb") as f:
        f.write(data)


def main():
    sample = open(sys.argv[1], "rb").read()
    # Slices at odd and even offsets, so that some begin on the second byte of a character.
    slices = [sample[at:at + length] for at, length in
              [(0, 700), (2001, 400), (40000, 1500), (123457, 300), (500000, 2000), (900001, 64)]]
    # A slice with CR LF, 0x00, 0x1A and a lone lead byte at its end.
    slices.append(sample[3000:3200] + b"\r\n\x00" + sample[3200:3300] + b"\x1a" + b"\xb5")
    patterns = [typed("第"), typed("^第.*章"), typed("[帝京]+"), b"\\r\\n", b"(a*)*$", typed("(首|卷)"),
                b"", typed("。")]
    for k, text in enumerate(slices):
        pattern = patterns[k % len(patterns)]
        if k % 3 == 2:  # by keyword: the second byte is the keyword's length
            write("fuzz_split", "%d" % k, bytes([2, len(pattern), k % 4]) + pattern + text)
        else:
            write("fuzz_split", "%d" % k, bytes([k % 3, 5 + 7 * k, k % 4]) + text)
        write("fuzz_insert", "%d" % k, bytes([k % 4, 2]) + gbk("注") +
              (bytes([len(pattern)]) + pattern if k % 4 == 2 else bytes([17 * k + 3, 9, 40, 7, 30])) +
              text)
        write("fuzz_pattern", "%d" % k, bytes([len(pattern) | (0x80 if k % 2 else 0)]) + pattern +
              text)
        note = gbk("【注】")
        write("fuzz_files", "%d" % k, bytes([k, 17, 1, 3 * k, len(note)]) + note + text)
        # The insert target's UTF-8 (first byte 4: with a mark, 20: without) and GB18030 (12)
        # forms of the slice, GB18030 with characters GBK lacks mixed in.
        words = text.decode("gbk", errors="ignore")
        for first, encoding in [(4, "utf-8"), (20, "utf-8"), (12, "gb18030")]:
            if encoding == "gb18030":
                words = words.replace("。", "。\U00020000\U0001F600")
            note = "【注】".encode(encoding)
            mode = k % 3
            pattern = typed(words[:2]) if mode == 2 else b""
            write("fuzz_insert", "enc_%d_%d" % (first, k),
                  bytes([first, len(note) - 1]) + note + bytes([mode, len(pattern) or 5 + k, 7]) +
                  pattern + words.encode(encoding))
    write_encoding_seeds(slices, patterns)


def write_encoding_seeds(slices, patterns):
    # The flag byte picks the encoding (0 UTF-8, 1 GB18030, 2 GBK) and the pattern's length.
    rare = "\U00020000\U0001F600"
    for k, text in enumerate(slices):
        words = text.decode("gbk", errors="ignore")
        words = words[:len(words) // 2] + rare + words[len(words) // 2:]
        pattern = patterns[k % len(patterns)][:15]
        for e, name in enumerate(["utf-8", "gb18030", "gbk"]):
            body = words.encode(name, errors="ignore")
            if e == 0 and k % 2:
                body = b"\xef\xbb\xbf" + body
            flags = (e % 3) | (len(pattern) << 2)
            write("fuzz_encoding", "%d_%s" % (k, name), bytes([flags]) + pattern + body)


main()
