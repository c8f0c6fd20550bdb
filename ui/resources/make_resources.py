#!/usr/bin/env python3
"""Draws Travik's own resources with code and writes them beside this script:

  travik.ico            the program's icon (window, tray): 16, 24, 32, 48, 64, 128 px
  add_file.ico          "添加文件"  (按钮1, 按钮7, 按钮8): 128, 64, 48, 32, 16 px
  start_split.ico       "开始分割"  (按钮5):               128, 64, 48, 32, 16 px
  merge.ico             "合并文件"  (按钮2):               48, 16 px
  start_processing.ico  "开始处理"  (按钮4):               48, 16 px
  browse.ico            "浏览"      (按钮3, 按钮6):        48, 16 px
  feedback_banner.jpg   the 280 x 50 banner of the feedback window
  completion.wav        the short chime that ends every job

Standard library only; the output is the same bytes on every run.
Usage: make_resources.py [--preview DIR] [--check]
  --preview DIR  also writes enlarged PNG previews into DIR
  --check        writes nothing; fails when a file here differs from what the script draws
"""

import math
import os
import sys

from formats import ico_bytes, jpeg_bytes, png_bytes, wav_bytes
from raster import (Canvas, arc_points, circle, grow, hex_rgba, intersect, line, linear_gradient,
                    polygon, polyline, ring, rounded_rect, shift, union, vertical_gradient)

HERE = os.path.dirname(os.path.abspath(__file__))

# One palette for the whole set.
SLATE = hex_rgba("4A5A70")
PAGE_TOP = hex_rgba("FFFFFF")
PAGE_BOTTOM = hex_rgba("E6ECF5")
FOLD = hex_rgba("C8D3E2")
TEXT_LINE = hex_rgba("9AA9BE")
WHITE = hex_rgba("FFFFFF")
SHADOW = hex_rgba("1B2A40", 0.18)
ACCENTS = {
    "green": (hex_rgba("3CC26E"), hex_rgba("1E8F4A")),
    "orange": (hex_rgba("FFB23E"), hex_rgba("E5760B")),
    "violet": (hex_rgba("9B7BFF"), hex_rgba("6445D8")),
    "blue": (hex_rgba("45A7FF"), hex_rgba("1C6FE0")),
    "folder": (hex_rgba("FFD45C"), hex_rgba("F0A81E")),
    "folder_back": (hex_rgba("E8A623"), hex_rgba("C9861A")),
}


def stroke(c, design, min_px):
    """A stroke width: the design width, but never thinner than `min_px` pixels."""
    return max(design, min_px * c.px)


def page_shape(c, x0, y0, x1, y1, fold):
    """A sheet with its top right corner folded over, edges on the pixel grid."""
    x0, y0, x1, y1 = c.snap(x0), c.snap(y0), c.snap(x1), c.snap(y1)
    f = c.snap(fold)
    radius = max(c.px, 0.04)
    body = intersect(rounded_rect(x0, y0, x1, y1, radius),
                     polygon([(x0 - 1, y0 - 1), (x1 - f - 1, y0 - 1), (x1 + 1, y0 + f + 1),
                              (x1 + 1, y1 + 1), (x0 - 1, y1 + 1)]))
    return body, (x0, y0, x1, y1, f)


def draw_page(c, x0, y0, x1, y1, fold=None, lines=0, line_inset=0.1, cut_top=False,
              cut_bottom=False):
    """A white sheet with an outline, a folded corner and `lines` lines of text.
    `cut_top`/`cut_bottom` draw the piece of a sheet that was cut there: square corners, no fold
    on a bottom piece."""
    fold = (x1 - x0) * 0.3 if fold is None else fold
    if cut_top:
        fold = 0.0
    body, (x0, y0, x1, y1, f) = page_shape(c, x0, y0, x1, y1, fold)
    if cut_top or cut_bottom:
        body = intersect(body, rounded_rect(x0 - 1, y0 if cut_top else y0 - 1,
                                            x1 + 1, y1 if cut_bottom else y1 + 1))
    outline = stroke(c, 0.028, 1.0)
    if c.scale >= 32:
        c.fill(shift(grow(body, c.px * 0.5), 0.012, 0.024), SHADOW)
    c.fill(body, vertical_gradient(PAGE_TOP, PAGE_BOTTOM, y0, y1))
    c.fill(intersect(ring(body, outline * 2), grow(body, 0)), SLATE)
    if f > 0 and c.scale > 16:  # at 16 px the cut corner alone reads better
        corner = polygon([(x1 - f, y0), (x1 - f, y0 + f), (x1, y0 + f)])
        c.fill(corner, FOLD)
        c.fill(polyline([(x1 - f, y0), (x1 - f, y0 + f), (x1, y0 + f)], outline), SLATE)
    if lines:
        width = stroke(c, 0.045, 1.0)
        top = y0 + max(f, (y1 - y0) * 0.18) + width
        step = (y1 - top - (y1 - y0) * 0.12) / max(1, lines - 1) if lines > 1 else 0
        for i in range(lines):
            y = c.snap(top + step * i) + (c.px / 2 if c.scale <= 16 else 0)
            right = x1 - (x1 - x0) * (0.34 if i == lines - 1 else line_inset) - outline
            if y > y1 - outline * 2:
                break
            c.fill(line(x0 + (x1 - x0) * line_inset + outline, y, right, y, width), TEXT_LINE)


def draw_badge(c, cx, cy, r, accent):
    """A round badge in the accent colour with a white rim that separates it from the art."""
    top, bottom = ACCENTS[accent]
    rim = stroke(c, 0.05, 1.0)
    c.erase(circle(cx, cy, r + rim))
    c.fill(circle(cx, cy, r), vertical_gradient(top, bottom, cy - r, cy + r))
    if c.scale >= 32:
        c.fill(ring(circle(cx, cy, r - c.px), c.px), hex_rgba("FFFFFF", 0.25))


def badge_geometry(c):
    if c.scale <= 16:
        return 11.5 / 16, 11.5 / 16, 4.5 / 16
    return 0.72, 0.72, 0.255


def plus_glyph(c, cx, cy, r):
    width = stroke(c, r * 0.3, 2.0 if c.scale <= 16 else 1.0)
    arm = r * 0.55
    c.fill(union(line(cx - arm, cy, cx + arm, cy, width),
                 line(cx, cy - arm, cx, cy + arm, width)), WHITE)


def play_glyph(c, cx, cy, r):
    s = r * 0.5
    c.fill(grow(polygon([(cx - s * 0.7, cy - s), (cx + s, cy), (cx - s * 0.7, cy + s)]),
                c.px * 0.3), WHITE)


def merge_glyph(c, cx, cy, r):
    width = stroke(c, r * 0.22, 1.2)
    a = r * 0.48
    c.fill(polyline([(cx - a, cy - a), (cx, cy), (cx + a, cy - a)], width), WHITE)
    c.fill(line(cx, cy, cx, cy + a * 0.75, width), WHITE)
    head = a * 0.6
    c.fill(polygon([(cx - head, cy + a * 0.45), (cx + head, cy + a * 0.45),
                    (cx, cy + a * 0.45 + head)]), WHITE)


# --- The icons ---

def icon_add_file(c):
    draw_page(c, 0.14, 0.05, 0.72, 0.90, lines=3 if c.scale >= 32 else 0)
    cx, cy, r = badge_geometry(c)
    draw_badge(c, cx, cy, r, "green")
    plus_glyph(c, cx, cy, r)


def icon_start_split(c):
    # The set's sheet, cut in two across the middle (the lower piece drawn a little apart), the
    # cut marked by a dashed line in the accent colour, and the accent's "start" badge.
    small = c.scale <= 16
    x0, y0, x1, y1 = 0.14, 0.05, 0.72, 0.90
    mid = 7.5 / 16 if small else 0.44
    gap = 2 / 16 if small else 0.1
    shift = 0.0 if small else 0.05
    lines = 2 if c.scale >= 32 else 0
    draw_page(c, x0, y0, x1, mid - gap / 2, lines=lines, cut_bottom=True)
    draw_page(c, x0 + shift, mid + gap / 2, x1 + shift, y1, lines=lines, fold=0, cut_top=True)
    top, bottom = ACCENTS["orange"]
    width = stroke(c, 0.045, 1.0)
    y = c.snap(mid) + (c.px / 2 if small else 0)
    dash = 3 / 16 if small else 0.1
    x = 0.02
    while x < 0.86:
        c.fill(line(x, y, min(x + dash * 0.5, 0.9), y, width),
               linear_gradient(top, bottom, (0, 0), (1, 0)))
        x += dash
    cx, cy, r = badge_geometry(c)
    draw_badge(c, cx, cy, r, "orange")
    play_glyph(c, cx, cy, r)


def icon_merge(c):
    draw_page(c, 0.30, 0.04, 0.86, 0.74, lines=0)
    draw_page(c, 0.12, 0.16, 0.68, 0.92, lines=3 if c.scale >= 32 else 0)
    cx, cy, r = badge_geometry(c)
    draw_badge(c, cx, cy, r, "violet")
    if c.scale >= 32:
        merge_glyph(c, cx, cy, r)
    else:
        # Pixel-aligned: two arms joining into one stem.
        p = c.px
        c.fill(polyline([(cx - 2 * p, cy - 2 * p), (cx, cy), (cx + 2 * p, cy - 2 * p)], p * 1.1),
               WHITE)
        c.fill(line(cx, cy, cx, cy + 2.5 * p, p * 1.1), WHITE)


def icon_start_processing(c):
    # A sheet of text with an insertion caret, and the accent's "start" badge.
    x0, y0, x1, y1 = 0.14, 0.05, 0.72, 0.90
    draw_page(c, x0, y0, x1, y1, lines=4 if c.scale >= 32 else 0)
    top, bottom = ACCENTS["blue"]
    if c.scale >= 32:
        w = stroke(c, 0.035, 1.0)
        cx, yt, yb = 0.40, 0.40, 0.62
        colour = linear_gradient(top, bottom, (0, yt), (0, yb))
        c.fill(line(cx, yt, cx, yb, w), colour)
        c.fill(line(cx - 0.05, yt, cx + 0.05, yt, w), colour)
        c.fill(line(cx - 0.05, yb, cx + 0.05, yb, w), colour)
    else:
        c.fill(line(5.5 / 16, 4 / 16, 5.5 / 16, 10 / 16, c.px), bottom)
    cx, cy, r = badge_geometry(c)
    draw_badge(c, cx, cy, r, "blue")
    play_glyph(c, cx, cy, r)


def icon_browse(c):
    back_top, back_bottom = ACCENTS["folder_back"]
    top, bottom = ACCENTS["folder"]
    s = c.snap
    radius = max(c.px, 0.05)
    tab = union(rounded_rect(s(0.06), s(0.14), s(0.42), s(0.34), radius),
                polygon([(s(0.30), s(0.14)), (s(0.46), s(0.24)), (s(0.30), s(0.34))]))
    back = union(tab, rounded_rect(s(0.06), s(0.22), s(0.94), s(0.86), radius))
    c.fill(back, vertical_gradient(back_top, back_bottom, 0.14, 0.86))
    # A sheet peeking out of the folder.
    sheet = rounded_rect(s(0.16), s(0.30), s(0.84), s(0.70), c.px)
    c.fill(sheet, hex_rgba("FBFCFE"))
    front = polygon([(s(0.14), s(0.42)), (s(0.98), s(0.42)), (s(0.88), s(0.86)),
                     (s(0.04), s(0.86))])
    c.fill(front, vertical_gradient(top, bottom, 0.42, 0.86))
    c.fill(line(s(0.17), s(0.46) + c.px / 2, s(0.93), s(0.46) + c.px / 2, c.px),
           hex_rgba("FFFFFF", 0.55))


def icon_travik(c):
    top, bottom = hex_rgba("3E8BFF"), hex_rgba("1747C8")
    s = c.snap
    tile = rounded_rect(s(0.04), s(0.04), s(0.96), s(0.96), 0.22)
    c.fill(tile, linear_gradient(top, bottom, (0.1, 0.0), (0.9, 1.0)))
    if c.scale >= 32:
        c.fill(ring(grow(tile, -c.px), c.px), hex_rgba("FFFFFF", 0.18))
    # The program's mark: a sheet cut in two, the pieces apart, the cut in orange.
    lines = 2 if c.scale >= 48 else 0
    gap = 0.12 if c.scale > 16 else 2 / 16
    mid = 0.47
    for piece in ((0.24, 0.16, 0.70, mid - gap / 2, False, True),
                  (0.30, mid + gap / 2, 0.76, 0.84, True, False)):
        x0, y0, x1, y1, cut_top, cut_bottom = piece
        body, (x0, y0, x1, y1, f) = page_shape(c, x0, y0, x1, y1, 0 if cut_top else 0.14)
        body = intersect(body, rounded_rect(x0 - 1, y0 if cut_top else y0 - 1, x1 + 1,
                                            y1 if cut_bottom else y1 + 1))
        c.fill(body, vertical_gradient(WHITE, hex_rgba("DCE8FF"), y0, y1))
        if f:
            c.fill(polygon([(x1 - f, y0), (x1 - f, y0 + f), (x1, y0 + f)]), hex_rgba("9DB9F0"))
        for i in range(lines):
            y = y0 + (y1 - y0) * (0.45 + 0.3 * i) + (0.04 if cut_top else 0)
            c.fill(line(x0 + 0.07, y, x1 - 0.1 - 0.08 * i, y, stroke(c, 0.04, 1.0)),
                   hex_rgba("9DB9F0"))
    o_top, o_bottom = ACCENTS["orange"]
    y = s(mid) + (c.px / 2 if c.scale <= 24 else 0)
    c.fill(line(0.16, y, 0.84, y, stroke(c, 0.05, 1.0)),
           linear_gradient(o_top, o_bottom, (0.16, 0), (0.84, 0)))


ICONS = [
    ("travik.ico", icon_travik, [16, 24, 32, 48, 64, 128]),
    ("add_file.ico", icon_add_file, [128, 64, 48, 32, 16]),
    ("start_split.ico", icon_start_split, [128, 64, 48, 32, 16]),
    ("merge.ico", icon_merge, [48, 16]),
    ("start_processing.ico", icon_start_processing, [48, 16]),
    ("browse.ico", icon_browse, [48, 16]),
]


def render_icon(draw, size):
    c = Canvas(size, size)
    draw(c)
    return c


# --- The banner: 280 x 50, the program's mark and its name on a blue band. ---

# Letters of the name as strokes in a box 1 unit high (x from 0 to the advance).
LETTERS = {
    "T": (0.62, [[(0.0, 0.0), (0.62, 0.0)], [(0.31, 0.0), (0.31, 1.0)]]),
    "r": (0.40, [[(0.05, 0.38), (0.05, 1.0)],
                 [(0.05, 0.62)] + arc_points(0.30, 0.62, 0.25, 180, 270, 8)[1:] +
                 [(0.36, 0.37)]]),
    "a": (0.52, [arc_points(0.24, 0.69, 0.25, 0, 360, 32), [(0.49, 0.38), (0.49, 1.0)]]),
    "v": (0.50, [[(0.0, 0.38), (0.25, 1.0), (0.50, 0.38)]]),
    "i": (0.14, [[(0.07, 0.38), (0.07, 1.0)], [(0.07, 0.12), (0.07, 0.13)]]),
    "k": (0.46, [[(0.05, 0.0), (0.05, 1.0)], [(0.44, 0.38), (0.05, 0.76)],
                 [(0.20, 0.62), (0.46, 1.0)]]),
}


def draw_word(c, text, x, baseline, height, width, paint):
    for ch in text:
        advance, strokes = LETTERS[ch]
        for points in strokes:
            pts = [(x + px * height, baseline - height + py * height) for px, py in points]
            c.fill(polyline(pts, width), paint)
        x += (advance + 0.2) * height
    return x


def render_banner():
    w, h = 280, 50
    c = Canvas(w, h, scale=w)  # design x 0..1, y 0..h/w
    ys = h / w
    c.fill(rounded_rect(0, 0, 1, ys), linear_gradient(hex_rgba("1F5FE0"), hex_rgba("5B3FD0"),
                                                      (0, 0), (1, ys)))
    # Soft cut-paper stripes in the background.
    for i, x in enumerate((0.60, 0.73, 0.86)):
        c.fill(polygon([(x, ys), (x + 0.10, 0), (x + 0.16, 0), (x + 0.06, ys)]),
               hex_rgba("FFFFFF", 0.07 + 0.03 * i))
    # The program's icon at 40 px, drawn into its own canvas and copied in.
    u = 1.0 / w  # one pixel in design units
    c.fill(rounded_rect(9 * u, 4 * u, 51 * u, 46 * u, 11 * u), hex_rgba("FFFFFF", 0.85))
    mark = render_icon(icon_travik, 40)
    for py in range(40):
        for px in range(40):
            r, g, b, a = mark.pixels[py][px]
            if a > 0:
                dst = c.pixels[5 + py][10 + px]
                c.pixels[5 + py][10 + px] = tuple(dst[i] * (1 - a) + (r, g, b)[i] * a
                                                  for i in range(3)) + (1.0,)
    draw_word(c, "Travik", 62 * u, 36 * u, 25 * u, 3.4 * u, WHITE)
    # An underline in the accent colour, like the cut in the mark.
    o_top, o_bottom = ACCENTS["orange"]
    c.fill(line(63 * u, 42.5 * u, 150 * u, 42.5 * u, 2.2 * u),
           linear_gradient(o_top, o_bottom, (63 * u, 0), (150 * u, 0)))
    return c


# --- The chime: two bell-like notes, a fifth apart, about 0.6 s. ---

def render_chime(rate=22050):
    length = int(rate * 0.62)
    out = [0.0] * length
    for start, freq, level in ((0.0, 1046.50, 0.55), (0.11, 1567.98, 0.45)):
        first = int(start * rate)
        for i in range(first, length):
            t = (i - first) / rate
            envelope = min(1.0, t / 0.004) * math.exp(-t * 7.0)
            v = (math.sin(2 * math.pi * freq * t) + 0.35 * math.sin(2 * math.pi * freq * 2.0 * t)
                 * math.exp(-t * 6.0) + 0.12 * math.sin(2 * math.pi * freq * 3.01 * t)
                 * math.exp(-t * 12.0))
            out[i] += level * envelope * v
    fade = int(rate * 0.05)
    for i in range(fade):
        out[length - 1 - i] *= i / fade
    peak = max(abs(v) for v in out)
    return [v * 0.7 / peak for v in out], rate


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


def enlarge(rows, size, factor, background):
    """Nearest-neighbour enlargement over a background, for looking at small icons."""
    out = []
    for row in rows:
        line_bytes = bytearray()
        for x in range(size):
            r, g, b, a = row[4 * x:4 * x + 4]
            k = a / 255.0
            px = bytes(int(v * k + bg * (1 - k) + 0.5) for v, bg in zip((r, g, b), background))
            line_bytes += px * factor
        out.extend([bytes(line_bytes)] * factor)
    return out


def render_all(preview=None):
    """Every output file's bytes by name; enlarged PNGs go to `preview` when it is given."""
    outputs = {}
    for name, draw, sizes in ICONS:
        images = [(size, render_icon(draw, size).rgba_bytes()) for size in sizes]
        outputs[name] = ico_bytes(images)
        if preview:
            for size, rows in images:
                factor = max(1, 128 // size)
                for bg_name, bg in (("light", (240, 240, 240)), ("dark", (60, 60, 60))):
                    write(os.path.join(preview, "%s-%d-%s.png" % (name[:-4], size, bg_name)),
                          png_bytes(size * factor, size * factor,
                                    enlarge(rows, size, factor, bg), 3))
    banner = render_banner().rgba_bytes(background=(1.0, 1.0, 1.0))
    outputs["feedback_banner.jpg"] = jpeg_bytes(280, 50, banner, quality=92)
    if preview:
        write(os.path.join(preview, "banner.png"), png_bytes(280, 50, banner, 3))
    samples, rate = render_chime()
    outputs["completion.wav"] = wav_bytes(samples, rate)
    return outputs


def main(argv):
    """Writes the resources; with --check only compares them with the files here (exit 1 when
    any differs, so that a changed drawing cannot go unnoticed)."""
    preview = argv[argv.index("--preview") + 1] if "--preview" in argv else None
    if preview:
        os.makedirs(preview, exist_ok=True)
    outputs = render_all(preview)
    if "--check" in argv:
        stale = []
        for name, data in outputs.items():
            path = os.path.join(HERE, name)
            if not os.path.exists(path) or open(path, "rb").read() != data:
                stale.append(name)
        for name in stale:
            print("differs from its drawing: %s (run %s)" % (name, os.path.basename(__file__)))
        return 1 if stale else 0
    for name, data in outputs.items():
        write(os.path.join(HERE, name), data)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
