"""A small anti-aliased rasteriser for drawing icons with code (standard library only).

Shapes are signed distance functions in a design space where the picture spans 0..1 on both
axes; a pixel's coverage is taken from the distance at its centre, which gives one pixel of
smooth edge at every size. Paint is an RGBA colour or a function of the design position.
"""

import math


def clamp(v, lo=0.0, hi=1.0):
    return lo if v < lo else hi if v > hi else v


def hex_rgba(text, alpha=1.0):
    text = text.lstrip("#")
    return (int(text[0:2], 16) / 255.0, int(text[2:4], 16) / 255.0, int(text[4:6], 16) / 255.0,
            alpha)


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(4))


def vertical_gradient(top, bottom, y0, y1):
    """Paint that runs from `top` at design y0 to `bottom` at y1."""
    def paint(_x, y):
        return mix(top, bottom, clamp((y - y0) / (y1 - y0)) if y1 != y0 else 0.0)
    return paint


def linear_gradient(c0, c1, p0, p1):
    dx, dy = p1[0] - p0[0], p1[1] - p0[1]
    length2 = dx * dx + dy * dy

    def paint(x, y):
        return mix(c0, c1, clamp(((x - p0[0]) * dx + (y - p0[1]) * dy) / length2))
    return paint


# --- Shapes: each returns (sdf(x, y) in design units, bounding box x0, y0, x1, y1). ---

def rounded_rect(x0, y0, x1, y1, r=0.0):
    cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
    hx, hy = (x1 - x0) / 2, (y1 - y0) / 2
    r = min(r, hx, hy)

    def sdf(x, y):
        qx = abs(x - cx) - hx + r
        qy = abs(y - cy) - hy + r
        outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
        return outside + min(max(qx, qy), 0.0) - r
    return sdf, (x0, y0, x1, y1)


def circle(cx, cy, r):
    def sdf(x, y):
        return math.hypot(x - cx, y - cy) - r
    return sdf, (cx - r, cy - r, cx + r, cy + r)


def _segment_distance(x, y, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy
    t = 0.0 if length2 == 0 else clamp(((x - ax) * dx + (y - ay) * dy) / length2)
    return math.hypot(x - (ax + t * dx), y - (ay + t * dy))


def polyline(points, width, closed=False):
    """A stroke of the given width along the points, with round joins and caps."""
    pts = list(points) + ([points[0]] if closed else [])
    half = width / 2

    def sdf(x, y):
        return min(_segment_distance(x, y, *pts[i], *pts[i + 1])
                   for i in range(len(pts) - 1)) - half
    xs = [p[0] for p in pts]
    ys = [p[1] for p in pts]
    return sdf, (min(xs) - half, min(ys) - half, max(xs) + half, max(ys) + half)


def line(ax, ay, bx, by, width):
    return polyline([(ax, ay), (bx, by)], width)


def arc_points(cx, cy, r, a0, a1, steps=24):
    """Points on a circle from angle a0 to a1 (degrees, 0 = right, 90 = down)."""
    return [(cx + r * math.cos(math.radians(a0 + (a1 - a0) * i / steps)),
             cy + r * math.sin(math.radians(a0 + (a1 - a0) * i / steps)))
            for i in range(steps + 1)]


def polygon(points):
    pts = list(points)
    n = len(pts)

    def sdf(x, y):
        d = min(_segment_distance(x, y, *pts[i], *pts[(i + 1) % n]) for i in range(n))
        inside = False
        j = n - 1
        for i in range(n):
            xi, yi = pts[i]
            xj, yj = pts[j]
            if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                inside = not inside
            j = i
        return -d if inside else d
    xs = [p[0] for p in pts]
    ys = [p[1] for p in pts]
    return sdf, (min(xs), min(ys), max(xs), max(ys))


def grow(shape, amount):
    """The shape made `amount` larger on every side (smaller when negative)."""
    sdf, (x0, y0, x1, y1) = shape
    return (lambda x, y: sdf(x, y) - amount), (x0 - amount, y0 - amount, x1 + amount, y1 + amount)


def shift(shape, dx, dy):
    sdf, (x0, y0, x1, y1) = shape
    return (lambda x, y: sdf(x - dx, y - dy)), (x0 + dx, y0 + dy, x1 + dx, y1 + dy)


def ring(shape, width):
    """An outline of the given width centred on the shape's edge."""
    sdf, (x0, y0, x1, y1) = shape
    half = width / 2
    return (lambda x, y: abs(sdf(x, y)) - half), (x0 - half, y0 - half, x1 + half, y1 + half)


def intersect(a, b):
    sa, (ax0, ay0, ax1, ay1) = a
    sb, (bx0, by0, bx1, by1) = b
    return (lambda x, y: max(sa(x, y), sb(x, y))), (max(ax0, bx0), max(ay0, by0),
                                                   min(ax1, bx1), min(ay1, by1))


def union(*shapes):
    sdfs = [s for s, _ in shapes]
    boxes = [b for _, b in shapes]
    return (lambda x, y: min(s(x, y) for s in sdfs)), (
        min(b[0] for b in boxes), min(b[1] for b in boxes),
        max(b[2] for b in boxes), max(b[3] for b in boxes))


class Canvas:
    """Straight-alpha RGBA pixels, width x height, painted in design units."""

    def __init__(self, width, height, scale=None):
        self.width = width
        self.height = height
        # One design unit is `scale` pixels; icons are square, so the side length.
        self.scale = scale if scale is not None else width
        self.px = 1.0 / self.scale
        self.pixels = [[(0.0, 0.0, 0.0, 0.0)] * width for _ in range(height)]

    def snap(self, v):
        """The nearest pixel edge, so that straight edges stay crisp at small sizes."""
        return round(v * self.scale) / self.scale

    def fill(self, shape, paint, opacity=1.0):
        sdf, (x0, y0, x1, y1) = shape
        s = self.scale
        px0 = max(0, int(math.floor(x0 * s)) - 1)
        py0 = max(0, int(math.floor(y0 * s)) - 1)
        px1 = min(self.width, int(math.ceil(x1 * s)) + 1)
        py1 = min(self.height, int(math.ceil(y1 * s)) + 1)
        solid = paint if isinstance(paint, tuple) else None
        for py in range(py0, py1):
            row = self.pixels[py]
            y = (py + 0.5) / s
            for px in range(px0, px1):
                x = (px + 0.5) / s
                cover = clamp(0.5 - sdf(x, y) * s) * opacity
                if cover <= 0.0:
                    continue
                colour = solid if solid is not None else paint(x, y)
                row[px] = _over(row[px], colour, cover)

    def erase(self, shape):
        """Clears the shape to transparency (cut-outs)."""
        sdf, (x0, y0, x1, y1) = shape
        s = self.scale
        for py in range(max(0, int(y0 * s) - 1), min(self.height, int(math.ceil(y1 * s)) + 1)):
            row = self.pixels[py]
            y = (py + 0.5) / s
            for px in range(max(0, int(x0 * s) - 1), min(self.width, int(math.ceil(x1 * s)) + 1)):
                cover = clamp(0.5 - sdf((px + 0.5) / s, y) * s)
                if cover > 0.0:
                    r, g, b, a = row[px]
                    row[px] = (r, g, b, a * (1.0 - cover))

    def rgba_bytes(self, background=None):
        """Rows top to bottom of 8-bit RGBA, or RGB over `background` when one is given."""
        out = []
        for row in self.pixels:
            data = bytearray()
            for r, g, b, a in row:
                if background is not None:
                    r = r * a + background[0] * (1 - a)
                    g = g * a + background[1] * (1 - a)
                    b = b * a + background[2] * (1 - a)
                    data += bytes((_byte(r), _byte(g), _byte(b)))
                else:
                    data += bytes((_byte(r), _byte(g), _byte(b), _byte(a)))
            out.append(bytes(data))
        return out


def _byte(v):
    return int(clamp(v) * 255.0 + 0.5)


def _over(dst, src, cover):
    sa = src[3] * cover
    da = dst[3]
    out_a = sa + da * (1.0 - sa)
    if out_a <= 0.0:
        return (0.0, 0.0, 0.0, 0.0)
    k = da * (1.0 - sa)
    return ((src[0] * sa + dst[0] * k) / out_a, (src[1] * sa + dst[1] * k) / out_a,
            (src[2] * sa + dst[2] * k) / out_a, out_a)
