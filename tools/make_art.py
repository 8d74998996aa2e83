#!/usr/bin/env python3
"""Draws Wardeck's pictures and icons and writes them into res/.

Standard library only. The drawings are made of simple shapes (a shield with a
tick, the word "Wardeck" in stroked letters, a soft blue gradient) rendered
with signed distances for smooth edges, then written as 8-bit BMP files and
ICO files. The outputs are committed; the build does not run this script.

    python3 tools/make_art.py [output-folder]
"""

import math
import os
import struct
import sys

# ---------------------------------------------------------------------------
# Geometry: signed distances (negative inside) in pixels.


def seg_dist(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy
    t = 0.0 if length2 == 0 else max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / length2))
    qx, qy = ax + t * dx - px, ay + t * dy - py
    return math.sqrt(qx * qx + qy * qy)


def arc_dist(px, py, cx, cy, r, a0, a1):
    """Distance to the arc of centre (cx, cy), radius r, from angle a0 to a1
    (radians, counter-clockwise with y up)."""
    span = a1 - a0
    if span >= 2 * math.pi - 1e-9:
        return abs(math.hypot(px - cx, py - cy) - r)
    span %= 2 * math.pi
    rel = (math.atan2(py - cy, px - cx) - a0) % (2 * math.pi)
    if rel <= span:
        return abs(math.hypot(px - cx, py - cy) - r)
    e0 = (cx + r * math.cos(a0), cy + r * math.sin(a0))
    e1 = (cx + r * math.cos(a1), cy + r * math.sin(a1))
    return min(math.hypot(px - e0[0], py - e0[1]), math.hypot(px - e1[0], py - e1[1]))


def polygon_sdf(px, py, pts):
    d = float("inf")
    inside = False
    n = len(pts)
    j = n - 1
    for i in range(n):
        xi, yi = pts[i]
        xj, yj = pts[j]
        d = min(d, seg_dist(px, py, xi, yi, xj, yj))
        if (yi > py) != (yj > py) and px < (xj - xi) * (py - yi) / (yj - yi) + xi:
            inside = not inside
        j = i
    return -d if inside else d


def coverage(d):
    """Fraction of a pixel covered by a shape at signed distance d."""
    return max(0.0, min(1.0, 0.5 - d))


def mix(a, b, t):
    return tuple(a[k] + (b[k] - a[k]) * t for k in range(3))


class Canvas:
    def __init__(self, width, height, fill=(0.0, 0.0, 0.0), alpha=1.0):
        self.w, self.h = width, height
        self.rgb = [[fill for _ in range(width)] for _ in range(height)]
        self.a = [[alpha for _ in range(width)] for _ in range(height)]

    def blend(self, x, y, colour, cov):
        if cov <= 0.0:
            return
        old = self.rgb[y][x]
        oa = self.a[y][x]
        na = cov + oa * (1.0 - cov)
        if na <= 0.0:
            return
        self.rgb[y][x] = tuple((colour[k] * cov + old[k] * oa * (1.0 - cov)) / na for k in range(3))
        self.a[y][x] = na

    def shape(self, sdf, paint, box=None):
        """Paints where sdf(x, y) < 0; paint is a colour or a function of (x, y)."""
        x0, y0, x1, y1 = box if box else (0, 0, self.w, self.h)
        x0, y0 = max(0, int(x0) - 2), max(0, int(y0) - 2)
        x1, y1 = min(self.w, int(x1) + 3), min(self.h, int(y1) + 3)
        for y in range(y0, y1):
            for x in range(x0, x1):
                cov = coverage(sdf(x + 0.5, y + 0.5))
                if cov > 0.0:
                    colour = paint(x + 0.5, y + 0.5) if callable(paint) else paint
                    self.blend(x, y, colour, cov)


# ---------------------------------------------------------------------------
# The shield with a tick.


def shield_points(cx, top, width, height, steps=24):
    """Outline of a shield whose top edge is centred at (cx, top), y down."""
    hw = width / 2.0
    shoulder = top + height * 0.10
    side_end = top + height * 0.48
    tip = top + height
    pts = []
    # Top edge: a low arch from the left shoulder over the middle.
    for i in range(steps + 1):
        t = i / steps
        x = -hw + 2 * hw * t
        pts.append((cx + x, shoulder - (shoulder - top) * (1 - (x / hw) ** 2)))
    # Right side down, then a curve into the tip.
    pts.append((cx + hw, side_end))
    for i in range(1, steps + 1):
        t = i / steps
        ctrl = (cx + hw * 0.96, top + height * 0.86)
        x = (1 - t) ** 2 * (cx + hw) + 2 * (1 - t) * t * ctrl[0] + t * t * cx
        y = (1 - t) ** 2 * side_end + 2 * (1 - t) * t * ctrl[1] + t * t * tip
        pts.append((x, y))
    for i in range(steps - 1, 0, -1):
        t = i / steps
        ctrl = (cx - hw * 0.96, top + height * 0.86)
        x = (1 - t) ** 2 * (cx - hw) + 2 * (1 - t) * t * ctrl[0] + t * t * cx
        y = (1 - t) ** 2 * side_end + 2 * (1 - t) * t * ctrl[1] + t * t * tip
        pts.append((x, y))
    pts.append((cx - hw, side_end))
    return pts


def draw_shield(canvas, cx, top, width, height, rim=None, tick=True):
    pts = shield_points(cx, top, width, height)
    box = (cx - width / 2, top, cx + width / 2, top + height)
    rim = rim if rim is not None else max(1.0, width * 0.07)
    light, deep = (0.36, 0.64, 0.93), (0.07, 0.25, 0.58)

    def body(x, y):
        t = ((x - box[0]) / width * 0.35 + (y - top) / height * 0.65)
        return mix(light, deep, max(0.0, min(1.0, t)))

    # White rim, then the blue body inside it.
    canvas.shape(lambda x, y: polygon_sdf(x, y, pts), (1.0, 1.0, 1.0), box)
    inner = lambda x, y: polygon_sdf(x, y, pts) + rim
    canvas.shape(inner, body, box)
    # A soft highlight on the left half.
    gloss = lambda x, y: max(inner(x, y), x - cx)
    canvas.shape(gloss, lambda x, y: mix(body(x, y), (1.0, 1.0, 1.0), 0.16), box)
    if tick:
        s = width / 40.0
        stroke = 3.2 * s
        a = (cx - 9.5 * s, top + height * 0.48)
        b = (cx - 2.5 * s, top + height * 0.66)
        c = (cx + 10.5 * s, top + height * 0.30)
        canvas.shape(
            lambda x, y: min(seg_dist(x, y, *a, *b), seg_dist(x, y, *b, *c)) - stroke / 2,
            (1.0, 1.0, 1.0),
            box,
        )


# ---------------------------------------------------------------------------
# "Wardeck" in stroked letters. Glyph units: cap height 1, baseline 0, y up.


def glyphs():
    tau = 2 * math.pi
    deg = math.pi / 180
    r = 0.35
    return {
        "W": (0.98, [("line", [(0.0, 1.0), (0.24, 0.0), (0.49, 0.78), (0.74, 0.0), (0.98, 1.0)])]),
        "a": (0.76, [("arc", (0.36, r, r, 0, tau)), ("line", [(0.71, 0.7), (0.71, 0.0)])]),
        "r": (0.48, [("line", [(0.05, 0.7), (0.05, 0.0)]), ("arc", (0.42, 0.33, 0.37, 95 * deg, 180 * deg))]),
        "d": (0.76, [("arc", (0.36, r, r, 0, tau)), ("line", [(0.71, 1.0), (0.71, 0.0)])]),
        "e": (0.74, [("line", [(0.02, 0.36), (0.70, 0.36)]), ("arc", (0.36, r, r, 0, 320 * deg))]),
        "c": (0.70, [("arc", (0.36, r, r, 40 * deg, 320 * deg))]),
        "k": (0.64, [("line", [(0.05, 1.0), (0.05, 0.0)]), ("line", [(0.58, 0.7), (0.05, 0.2)]),
                     ("line", [(0.24, 0.38), (0.62, 0.0)])]),
    }


def text_strokes(text, x, baseline, cap, spacing=0.2):
    """Returns the strokes of `text` in pixel coordinates and its width."""
    table = glyphs()
    strokes = []
    pen = x
    for ch in text:
        advance, parts = table[ch]
        for kind, data in parts:
            if kind == "line":
                pts = [(pen + px * cap, baseline - py * cap) for px, py in data]
                for i in range(len(pts) - 1):
                    strokes.append(("seg", pts[i] + pts[i + 1]))
            else:
                cx, cy, rr, a0, a1 = data
                # y flips: angles mirror.
                strokes.append(("arc", (pen + cx * cap, baseline - cy * cap, rr * cap, -a1, -a0)))
        pen += (advance + spacing) * cap
    return strokes, pen - x - spacing * cap


def draw_text(canvas, text, x, baseline, cap, colour, weight=0.14, shadow=None):
    strokes, width = text_strokes(text, x, baseline, cap)
    half = weight * cap / 2

    def sdf_at(ox, oy):
        def sdf(px, py):
            px -= ox
            py -= oy
            best = float("inf")
            for kind, d in strokes:
                if kind == "seg":
                    best = min(best, seg_dist(px, py, *d))
                else:
                    best = min(best, arc_dist(px, py, *d))
            return best - half
        return sdf

    box = (x - cap * 0.2, baseline - cap * 1.2, x + width + cap * 0.2, baseline + cap * 0.3)
    if shadow:
        off, shade = shadow
        canvas.shape(sdf_at(off, off), shade, (box[0], box[1], box[2] + off, box[3] + off))
    canvas.shape(sdf_at(0, 0), colour, box)
    return width


# ---------------------------------------------------------------------------
# Pictures.


def gradient(canvas, left, right, top_light=0.10):
    for y in range(canvas.h):
        for x in range(canvas.w):
            t = x / max(1, canvas.w - 1)
            c = mix(left, right, t)
            v = 1.0 - y / max(1, canvas.h - 1)
            canvas.rgb[y][x] = mix(c, (1.0, 1.0, 1.0), top_light * v)


def bubbles(canvas, items, scale):
    for cx, cy, r, strength in items:
        cx, cy, r = cx * scale, cy * scale, r * scale
        canvas.shape(lambda x, y, cx=cx, cy=cy, r=r: math.hypot(x - cx, y - cy) - r,
                     lambda x, y: mix(canvas_colour(canvas, x, y), (1.0, 1.0, 1.0), strength),
                     (cx - r, cy - r, cx + r, cy + r))


def canvas_colour(canvas, x, y):
    return canvas.rgb[min(canvas.h - 1, int(y))][min(canvas.w - 1, int(x))]


def banner(scale):
    c = Canvas(487 * scale, 62 * scale)
    gradient(c, (0.16, 0.40, 0.74), (0.62, 0.80, 0.96))
    bubbles(c, [(330, 8, 26, 0.07), (372, 50, 18, 0.08), (420, 20, 30, 0.06), (455, 58, 14, 0.08)], scale)
    # A thin light line along the bottom edge.
    for x in range(c.w):
        for k in range(scale):
            c.rgb[c.h - 1 - k][x] = mix(c.rgb[c.h - 1 - k][x], (1.0, 1.0, 1.0), 0.45)
    draw_shield(c, 34 * scale, 7 * scale, 38 * scale, 48 * scale)
    draw_text(c, "Wardeck", 66 * scale, 44 * scale, 27 * scale, (1.0, 1.0, 1.0),
              shadow=(1.2 * scale, (0.10, 0.24, 0.46)))
    return c


def exit_banner(scale):
    c = Canvas(244 * scale, 78 * scale)
    gradient(c, (0.20, 0.45, 0.78), (0.60, 0.79, 0.96), top_light=0.12)
    bubbles(c, [(190, 12, 22, 0.07), (228, 62, 20, 0.08)], scale)
    draw_shield(c, 38 * scale, 12 * scale, 42 * scale, 54 * scale)
    draw_text(c, "Wardeck", 74 * scale, 50 * scale, 22 * scale, (1.0, 1.0, 1.0),
              shadow=(1.0 * scale, (0.10, 0.24, 0.46)))
    return c


FACE = (236 / 255, 233 / 255, 216 / 255)
SHADOW = (172 / 255, 168 / 255, 153 / 255)
WHITE = (1.0, 1.0, 1.0)


def hseparator(scale):
    # An etched line: shadow above, highlight below.
    c = Canvas(375 * scale, 2 * scale)
    for y in range(c.h):
        for x in range(c.w):
            c.rgb[y][x] = SHADOW if y < scale else WHITE
    return c


def vseparator(scale):
    c = Canvas(3 * scale, 282 * scale)
    for y in range(c.h):
        for x in range(c.w):
            c.rgb[y][x] = SHADOW if x < scale else (WHITE if x < 2 * scale else FACE)
    return c


def program_icon(size):
    c = Canvas(size, size, alpha=0.0)
    margin = size * 0.04
    draw_shield(c, size / 2, margin, size * 0.80, size - 2 * margin, rim=max(1.0, size * 0.06))
    return c


# ---------------------------------------------------------------------------
# Colour reduction (median cut) for 8-bit files.


def to_bytes(colour):
    return tuple(max(0, min(255, int(round(v * 255)))) for v in colour)


def median_cut(counts, limit):
    boxes = [list(counts.items())]
    while len(boxes) < limit:
        # Split the box with the widest channel range (weighted by pixels).
        best, best_score, best_axis = None, -1, 0
        for i, box in enumerate(boxes):
            if len(box) < 2:
                continue
            for axis in range(3):
                values = [c[axis] for c, _ in box]
                spread = max(values) - min(values)
                score = spread * math.sqrt(sum(n for _, n in box))
                if score > best_score:
                    best, best_score, best_axis = i, score, axis
        if best is None or best_score <= 0:
            break
        box = sorted(boxes.pop(best), key=lambda item: item[0][best_axis])
        total = sum(n for _, n in box)
        acc, cut = 0, 1
        for k, (_, n) in enumerate(box):
            acc += n
            if acc * 2 >= total:
                cut = max(1, min(len(box) - 1, k + 1))
                break
        boxes.append(box[:cut])
        boxes.append(box[cut:])
    palette = []
    for box in boxes:
        total = sum(n for _, n in box)
        palette.append(tuple(int(round(sum(c[k] * n for c, n in box) / total)) for k in range(3)))
    return palette


def quantize(pixels, limit=256):
    """pixels: rows of (r, g, b) bytes. Returns (palette, rows of indexes)."""
    counts = {}
    for row in pixels:
        for p in row:
            counts[p] = counts.get(p, 0) + 1
    if len(counts) <= limit:
        palette = sorted(counts)
    else:
        palette = median_cut(counts, limit)
    lookup = {}

    def nearest(p):
        hit = lookup.get(p)
        if hit is None:
            hit = min(range(len(palette)),
                      key=lambda i: (palette[i][0] - p[0]) ** 2 * 3 + (palette[i][1] - p[1]) ** 2 * 4
                      + (palette[i][2] - p[2]) ** 2 * 2)
            lookup[p] = hit
        return hit

    return palette, [[nearest(p) for p in row] for row in pixels]


# ---------------------------------------------------------------------------
# File formats.


def bmp8(canvas):
    pixels = [[to_bytes(p) for p in row] for row in canvas.rgb]
    palette, index = quantize(pixels)
    stride = (canvas.w + 3) & ~3
    image = bytearray()
    for row in reversed(index):  # bottom-up
        image += bytes(row) + bytes(stride - canvas.w)
    colours = len(palette)
    pal = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    info = struct.pack("<IiiHHIIiiII", 40, canvas.w, canvas.h, 1, 8, 0, len(image), 3780, 3780, colours, 0)
    offset = 14 + len(info) + len(pal)
    header = struct.pack("<2sIHHI", b"BM", offset + len(image), 0, 0, offset)
    return header + info + pal + bytes(image)


def and_mask(canvas, threshold=0.5):
    stride = ((canvas.w + 31) // 32) * 4
    out = bytearray()
    for y in reversed(range(canvas.h)):
        row = bytearray(stride)
        for x in range(canvas.w):
            if canvas.a[y][x] < threshold:
                row[x // 8] |= 0x80 >> (x % 8)
        out += row
    return bytes(out)


def icon_image_32(canvas):
    pixels = bytearray()
    for y in reversed(range(canvas.h)):
        for x in range(canvas.w):
            r, g, b = to_bytes(canvas.rgb[y][x])
            a = max(0, min(255, int(round(canvas.a[y][x] * 255))))
            pixels += bytes((b, g, r, a))
    info = struct.pack("<IiiHHIIiiII", 40, canvas.w, canvas.h * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    return info + bytes(pixels) + and_mask(canvas), 32, 0


def icon_image_8(canvas):
    # Pixels under the mask are black; the rest are reduced to 255 colours.
    solid = [[to_bytes(canvas.rgb[y][x]) if canvas.a[y][x] >= 0.5 else (0, 0, 0) for x in range(canvas.w)]
             for y in range(canvas.h)]
    palette, index = quantize(solid, 256)
    palette = list(palette) + [(0, 0, 0)] * (256 - len(palette))
    stride = (canvas.w + 3) & ~3
    pixels = bytearray()
    for row in reversed(index):
        pixels += bytes(row) + bytes(stride - canvas.w)
    pal = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    info = struct.pack("<IiiHHIIiiII", 40, canvas.w, canvas.h * 2, 1, 8, 0, 0, 0, 0, 256, 0)
    return info + pal + bytes(pixels) + and_mask(canvas), 8, 0


def ico(images):
    """images: list of (canvas, encoder)."""
    entries, blobs = [], []
    offset = 6 + 16 * len(images)
    for canvas, encode in images:
        blob, bits, colours = encode(canvas)
        w = canvas.w if canvas.w < 256 else 0
        h = canvas.h if canvas.h < 256 else 0
        entries.append(struct.pack("<BBBBHHII", w, h, colours, 0, 1, bits, len(blob), offset))
        blobs.append(blob)
        offset += len(blob)
    return struct.pack("<HHH", 0, 1, len(images)) + b"".join(entries) + b"".join(blobs)


# ---------------------------------------------------------------------------


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "res")
    os.makedirs(out, exist_ok=True)

    def write(name, data):
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)
        print(f"{name}: {len(data)} bytes")

    for scale, suffix in ((1, ""), (2, "_2x")):
        write(f"banner{suffix}.bmp", bmp8(banner(scale)))
        write(f"exit_banner{suffix}.bmp", bmp8(exit_banner(scale)))
        write(f"hseparator{suffix}.bmp", bmp8(hseparator(scale)))
        write(f"vseparator{suffix}.bmp", bmp8(vseparator(scale)))
    write("wardeck.ico", ico([(program_icon(s), icon_image_32) for s in (16, 32, 48)]))
    write("tray.ico", ico([(program_icon(16), icon_image_8)]))


if __name__ == "__main__":
    main()
