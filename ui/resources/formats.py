"""Writers for the resource file formats (standard library only): ICO, PNG, baseline JPEG, WAVE.

Every writer is deterministic, so running the generator again gives the same bytes.
"""

import math
import struct
import zlib


# --- ICO: 32-bit BGRA images with an AND mask, which every Windows version reads. ---

def ico_bytes(images):
    """`images`: list of (size, rows of RGBA bytes, top to bottom), smallest first or any order."""
    header = struct.pack("<HHH", 0, 1, len(images))
    entries = b""
    blobs = b""
    offset = 6 + 16 * len(images)
    for size, rows in images:
        blob = _ico_image(size, rows)
        dim = 0 if size >= 256 else size
        entries += struct.pack("<BBBBHHII", dim, dim, 0, 0, 1, 32, len(blob), offset)
        blobs += blob
        offset += len(blob)
    return header + entries + blobs


def _ico_image(size, rows):
    mask_stride = ((size + 31) // 32) * 4
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0,
                       size * size * 4 + mask_stride * size, 0, 0, 0, 0)
    colour = bytearray()
    mask = bytearray()
    for row in reversed(rows):  # bottom-up
        bits = bytearray(mask_stride)
        for x in range(size):
            r, g, b, a = row[4 * x:4 * x + 4]
            colour += bytes((b, g, r, a))
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return info + bytes(colour) + bytes(mask)


# --- PNG, for previews of what the generator drew. ---

def png_bytes(width, height, rows, channels=4):
    raw = b"".join(b"\x00" + row for row in rows)
    colour_type = 6 if channels == 4 else 2

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    return (b"\x89PNG\r\n\x1a\n" +
            chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, colour_type, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


# --- Baseline JPEG (JFIF, 4:4:4, standard Huffman tables). ---

_ZIGZAG = [
    0, 1, 8, 16, 9, 2, 3, 10, 17, 24, 32, 25, 18, 11, 4, 5, 12, 19, 26, 33, 40, 48, 41, 34, 27,
    20, 13, 6, 7, 14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51, 58,
    59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63]

_LUMA_Q = [
    16, 11, 10, 16, 24, 40, 51, 61, 12, 12, 14, 19, 26, 58, 60, 55, 14, 13, 16, 24, 40, 57, 69,
    56, 14, 17, 22, 29, 51, 87, 80, 62, 18, 22, 37, 56, 68, 109, 103, 77, 24, 35, 55, 64, 81, 104,
    113, 92, 49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99]
_CHROMA_Q = [
    17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99, 24, 26, 56, 99, 99, 99, 99,
    99, 47, 66, 99, 99, 99, 99, 99, 99] + [99] * 32

# (counts of codes per length 1..16, symbols) of the standard tables.
_DC_LUMA = ([0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0], list(range(12)))
_DC_CHROMA = ([0, 3, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0], list(range(12)))
_AC_LUMA = ([0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 0x7D], bytes.fromhex(
    "01020300041105122131410613516107227114328191a1082342b1c11552d1f02433627282090a161718191a"
    "25262728292a3435363738393a434445464748494a535455565758595a636465666768696a73747576777879"
    "7a838485868788898a92939495969798999aa2a3a4a5a6a7a8a9aab2b3b4b5b6b7b8b9bac2c3c4c5c6c7c8c9"
    "cad2d3d4d5d6d7d8d9dae1e2e3e4e5e6e7e8e9eaf1f2f3f4f5f6f7f8f9fa"))
_AC_CHROMA = ([0, 2, 1, 2, 4, 4, 3, 4, 7, 5, 4, 4, 0, 1, 2, 0x77], bytes.fromhex(
    "000102031104052131061241510761711322328108144291a1b1c109233352f0156272d10a162434e125f1"
    "1718191a262728292a35363738393a434445464748494a535455565758595a636465666768696a7374757677"
    "78797a82838485868788898a92939495969798999aa2a3a4a5a6a7a8a9aab2b3b4b5b6b7b8b9bac2c3c4c5c6"
    "c7c8c9cad2d3d4d5d6d7d8d9dae2e3e4e5e6e7e8e9eaf2f3f4f5f6f7f8f9fa"))


def _huffman_codes(table):
    counts, symbols = table
    codes = {}
    code = 0
    k = 0
    for length in range(1, 17):
        for _ in range(counts[length - 1]):
            codes[symbols[k]] = (code, length)
            code += 1
            k += 1
        code <<= 1
    return codes


def _scaled_table(base, quality):
    scale = 5000 // quality if quality < 50 else 200 - 2 * quality
    return [min(255, max(1, (q * scale + 50) // 100)) for q in base]


class _BitWriter:
    def __init__(self):
        self.out = bytearray()
        self.acc = 0
        self.bits = 0

    def put(self, code, length):
        self.acc = (self.acc << length) | code
        self.bits += length
        while self.bits >= 8:
            self.bits -= 8
            byte = (self.acc >> self.bits) & 0xFF
            self.out.append(byte)
            if byte == 0xFF:
                self.out.append(0)  # byte stuffing
        self.acc &= (1 << self.bits) - 1

    def flush(self):
        if self.bits:
            self.put((1 << (8 - self.bits)) - 1, 8 - self.bits)


def _magnitude(v):
    n = abs(v).bit_length()
    return n, (v if v >= 0 else v + (1 << n) - 1)


_COS = [[math.cos((2 * x + 1) * u * math.pi / 16) * (math.sqrt(0.5) if u == 0 else 1.0)
         for x in range(8)] for u in range(8)]


def _dct(block):
    rows = [[sum(block[y * 8 + x] * _COS[u][x] for x in range(8)) / 2 for u in range(8)]
            for y in range(8)]
    return [sum(rows[y][u] * _COS[v][y] for y in range(8)) / 2 for v in range(8) for u in range(8)]


def jpeg_bytes(width, height, rgb_rows, quality=92):
    """Encodes rows of 8-bit RGB as a baseline JFIF JPEG."""
    # Quantisation tables in zig-zag order, as the coefficients are taken and as DQT stores them.
    qtables = [[t[_ZIGZAG[k]] for k in range(64)]
               for t in (_scaled_table(_LUMA_Q, quality), _scaled_table(_CHROMA_Q, quality))]
    planes = [[], [], []]
    for row in rgb_rows:
        ys, cbs, crs = [], [], []
        for x in range(width):
            r, g, b = row[3 * x:3 * x + 3]
            ys.append(0.299 * r + 0.587 * g + 0.114 * b - 128)
            cbs.append(-0.168736 * r - 0.331264 * g + 0.5 * b)
            crs.append(0.5 * r - 0.418688 * g - 0.081312 * b)
        for plane, values in zip(planes, (ys, cbs, crs)):
            plane.append(values)

    def sample(plane, x, y):
        return plane[min(y, height - 1)][min(x, width - 1)]

    dc_codes = [_huffman_codes(_DC_LUMA), _huffman_codes(_DC_CHROMA)]
    ac_codes = [_huffman_codes(_AC_LUMA), _huffman_codes(_AC_CHROMA)]
    writer = _BitWriter()
    previous_dc = [0, 0, 0]
    for by in range(0, height, 8):
        for bx in range(0, width, 8):
            for c in range(3):
                t = 0 if c == 0 else 1
                coeffs = _dct([sample(planes[c], bx + i % 8, by + i // 8) for i in range(64)])
                q = [int(round(coeffs[_ZIGZAG[k]] / qtables[t][k])) for k in range(64)]
                size, bits = _magnitude(q[0] - previous_dc[c])
                previous_dc[c] = q[0]
                writer.put(*dc_codes[t][size])
                if size:
                    writer.put(bits, size)
                run = 0
                for k in range(1, 64):
                    if q[k] == 0:
                        run += 1
                        continue
                    while run > 15:
                        writer.put(*ac_codes[t][0xF0])
                        run -= 16
                    size, bits = _magnitude(q[k])
                    writer.put(*ac_codes[t][(run << 4) | size])
                    writer.put(bits, size)
                    run = 0
                if run:
                    writer.put(*ac_codes[t][0x00])
    writer.flush()

    def segment(marker, data):
        return struct.pack(">BBH", 0xFF, marker, len(data) + 2) + data

    def dht(cls, ident, table):
        counts, symbols = table
        return bytes([(cls << 4) | ident]) + bytes(counts) + bytes(symbols)

    out = b"\xFF\xD8"
    out += segment(0xE0, b"JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00")
    for ident, table in enumerate(qtables):
        out += segment(0xDB, bytes([ident]) + bytes(table))
    out += segment(0xC0, struct.pack(">BHHB", 8, height, width, 3) +
                   bytes([1, 0x11, 0, 2, 0x11, 1, 3, 0x11, 1]))
    out += segment(0xC4, dht(0, 0, _DC_LUMA) + dht(1, 0, _AC_LUMA) +
                   dht(0, 1, _DC_CHROMA) + dht(1, 1, _AC_CHROMA))
    out += segment(0xDA, bytes([3, 1, 0x00, 2, 0x11, 3, 0x11, 0, 63, 0]))
    return out + bytes(writer.out) + b"\xFF\xD9"


# --- RIFF WAVE, 16-bit PCM. ---

def wav_bytes(samples, rate, channels=1):
    data = b"".join(struct.pack("<h", max(-32767, min(32767, int(round(s * 32767)))))
                    for s in samples)
    fmt = struct.pack("<HHIIHH", 1, channels, rate, rate * channels * 2, channels * 2, 16)
    body = b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt + \
        b"data" + struct.pack("<I", len(data)) + data
    return b"RIFF" + struct.pack("<I", len(body)) + body
