#!/usr/bin/env python3
"""Draws the program's pictures: the splash bitmap (splash.bmp, 400x300,
8 bits, 250 colours) and the icon (demo.ico, 32x32, 16 colours).

Letters are drawn with round-capped strokes of lines and circular arcs,
anti-aliased from the distance to each stroke; the colours are reduced to the
palette size by median cut. Standard library only. Run it from anywhere:
it writes beside itself.
"""
import math
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

# ---- strokes -----------------------------------------------------------------


def seg(x0, y0, x1, y1):
    return ("seg", x0, y0, x1, y1)


def arc(cx, cy, r, a0, a1):
    """Arc counter-clockwise from a0 to a1 degrees (y up)."""
    return ("arc", cx, cy, r, a0, a1)


def dot(x, y):
    return ("seg", x, y, x, y)


def distance(p, x, y):
    if p[0] == "seg":
        _, x0, y0, x1, y1 = p
        dx, dy = x1 - x0, y1 - y0
        length2 = dx * dx + dy * dy
        t = 0.0 if length2 == 0 else max(0.0, min(1.0, ((x - x0) * dx + (y - y0) * dy) / length2))
        return math.hypot(x - x0 - t * dx, y - y0 - t * dy)
    _, cx, cy, r, a0, a1 = p
    angle = math.degrees(math.atan2(y - cy, x - cx))
    if (angle - a0) % 360.0 <= (a1 - a0) % 360.0 or (a1 - a0) % 360.0 == 0:
        return abs(math.hypot(x - cx, y - cy) - r)
    ends = [(cx + r * math.cos(math.radians(a)), cy + r * math.sin(math.radians(a))) for a in (a0, a1)]
    return min(math.hypot(x - ex, y - ey) for ex, ey in ends)


def extent(p):
    if p[0] == "seg":
        _, x0, y0, x1, y1 = p
        return min(x0, x1), min(y0, y1), max(x0, x1), max(y0, y1)
    _, cx, cy, r, _, _ = p
    return cx - r, cy - r, cx + r, cy + r


# ---- a small geometric typeface ---------------------------------------------
# Glyph coordinates: baseline y = 0, cap height 1, x-height X, y up. Each
# glyph gives its strokes and its advance for a stroke half-width h.

X = 0.68


def s_curve(h, height):
    r = (height - 2 * h) / 4
    cx = h + r
    return [arc(cx, height - h - r, r, 30, 270), arc(cx, h + r, r, -150, 90)], 2 * r + 2 * h


def glyph(c, h):
    if c == "O":
        r = 0.5 - h
        return [arc(0.5, 0.5, r, 0, 360)], 1.0
    if c == "Q":
        r = 0.5 - h
        return [arc(0.5, 0.5, r, 0, 360), seg(0.62, 0.32, 0.98, -0.06)], 1.0
    if c == "C":
        r = 0.5 - h
        return [arc(0.5, 0.5, r, 42, 318)], 0.88
    if c == "R":
        rb = (1 - h - 0.46) / 2
        return [seg(h, h, h, 1 - h), seg(h, 1 - h, 0.42, 1 - h), arc(0.42, 0.46 + rb, rb, -90, 90),
                seg(h, 0.46, 0.42, 0.46), seg(0.46, 0.46, 0.74, h)], 0.8
    if c == "A":
        return [seg(h, h, 0.44, 1 - h), seg(0.44, 1 - h, 0.88 - h, h), seg(0.2, 0.34, 0.68, 0.34)], 0.88
    if c == "S":
        return s_curve(h, 1.0)
    if c == "E":
        return [seg(h, h, h, 1 - h), seg(h, 1 - h, 0.62, 1 - h), seg(h, 0.5, 0.55, 0.5), seg(h, h, 0.62, h)], 0.68
    if c == "V":
        return [seg(h, 1 - h, 0.42, h), seg(0.42, h, 0.84 - h, 1 - h)], 0.84
    if c == "o":
        r = X / 2 - h
        return [arc(h + r, X / 2, r, 0, 360)], 2 * r + 2 * h
    if c == "e":
        r = X / 2 - h
        return [seg(h, X / 2, h + 2 * r, X / 2), arc(h + r, X / 2, r, 0, 318)], 2 * r + 2 * h
    if c == "c":
        r = X / 2 - h
        return [arc(h + r, X / 2, r, 45, 315)], 2 * r + 2 * h - 0.06
    if c == "a":
        r = X / 2 - h
        return [arc(h + r, X / 2, r, 0, 360), seg(h + 2 * r, h, h + 2 * r, X - h)], 2 * r + 2 * h
    if c == "s":
        return s_curve(h, X)
    if c == "l":
        return [seg(h, h, h, 1 - h)], 2 * h
    if c == "i":
        return [seg(h, h, h, X - h), dot(h, X + 0.2)], 2 * h
    if c == "f":
        rf = 0.18
        x0 = h + 0.08
        return [seg(x0, h, x0, 1 - h - rf), arc(x0 + rf, 1 - h - rf, rf, 45, 180),
                seg(h - 0.02, X - h, x0 + 0.2, X - h)], 0.34
    if c == "t":
        x0 = h + 0.1
        return [seg(x0, h, x0, 0.9), seg(h - 0.02, X - h, x0 + 0.2, X - h)], 0.36
    if c == "r":
        return [seg(h, h, h, X - h), arc(h + 0.24, X - h - 0.24, 0.24, 55, 180)], 0.4
    if c == "n":
        ra = 0.2
        return [seg(h, h, h, X - h), arc(h + ra, X - h - ra, ra, 0, 180), seg(h + 2 * ra, h, h + 2 * ra, X - h - ra)], 2 * h + 2 * ra
    if c == "x":
        return [seg(h, h, 0.5 - h, X - h), seg(h, X - h, 0.5 - h, h)], 0.5
    if c == "-":
        return [seg(h, 0.36, 0.3, 0.36)], 0.3 + h
    if c == "2":
        r = 0.26
        cy = 1 - h - r
        ex, ey = 0.3 + r * math.cos(math.radians(-35)), cy + r * math.sin(math.radians(-35))
        return [arc(0.3, cy, r, -35, 165), seg(ex, ey, h, h), seg(h, h, 0.6, h)], 0.6
    if c == "1":
        return [seg(0.28, h, 0.28, 1 - h), seg(0.28, 1 - h, 0.1, 0.82)], 0.42
    if c == ".":
        return [dot(h, h)], 2 * h
    if c == " ":
        return [], 0.3
    raise ValueError("no glyph for " + c)


def layout(text, size, stroke, tracking):
    """Strokes of a line of text in em units, and its width in em."""
    h = stroke / 2
    strokes, x = [], 0.0
    for c in text:
        parts, advance = glyph(c, h)
        for p in parts:
            if p[0] == "seg":
                strokes.append(("seg", p[1] + x, p[2], p[3] + x, p[4]))
            else:
                strokes.append(("arc", p[1] + x, p[2], p[3], p[4], p[5]))
        x += advance + tracking
    return strokes, x - tracking


# ---- drawing -----------------------------------------------------------------


class Canvas:
    def __init__(self, width, height):
        self.width, self.height = width, height
        self.rgb = [[(0.0, 0.0, 0.0)] * width for _ in range(height)]
        self.alpha = [[1.0] * width for _ in range(height)]

    def fill(self, colour_at):
        for y in range(self.height):
            row = self.rgb[y]
            for x in range(self.width):
                row[x] = colour_at(x, y)

    def blend(self, coverage, colour):
        for (x, y), a in coverage.items():
            r, g, b = self.rgb[y][x]
            self.rgb[y][x] = (r + (colour[0] - r) * a, g + (colour[1] - g) * a, b + (colour[2] - b) * a)


def stroke_coverage(strokes, half_width, to_pixels, width, height, into=None):
    """Coverage of round-capped strokes; to_pixels maps (x, y) to pixels and
    gives the scale. Coverage is the most any stroke gives a pixel."""
    coverage = {} if into is None else into
    for p in strokes:
        x0, y0, x1, y1 = extent(p)
        (px0, py0), scale = to_pixels(x0, y1)
        (px1, py1), _ = to_pixels(x1, y0)
        w = half_width * scale
        pixel_p = map_stroke(p, to_pixels)
        for py in range(max(0, int(py0 - w - 2)), min(height, int(py1 + w + 3))):
            for px in range(max(0, int(px0 - w - 2)), min(width, int(px1 + w + 3))):
                a = max(0.0, min(1.0, w - distance(pixel_p, px + 0.5, py + 0.5) + 0.5))
                if a > coverage.get((px, py), 0.0):
                    coverage[(px, py)] = a
    return coverage


def map_stroke(p, to_pixels):
    if p[0] == "seg":
        (a, b), _ = to_pixels(p[1], p[2])
        (c, d), _ = to_pixels(p[3], p[4])
        return ("seg", a, b, c, d)
    (cx, cy), scale = to_pixels(p[1], p[2])
    # y is flipped on the way to pixels, so the arc's angles are mirrored.
    return ("arc", cx, cy, p[3] * scale, -p[5], -p[4])


def text_coverage(text, cap_height, stroke, tracking, centre_x, baseline, width, height):
    strokes, em_width = layout(text, cap_height, stroke, tracking)
    left = centre_x - em_width * cap_height / 2

    def to_pixels(x, y):
        return (left + x * cap_height, baseline - y * cap_height), cap_height

    return stroke_coverage(strokes, stroke / 2, to_pixels, width, height)


def hex_colour(text):
    return tuple(int(text[i:i + 2], 16) / 255.0 for i in (1, 3, 5))


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def logo_strokes(cx, cy, r):
    """The mark: a ring with a tail leaving it down and to the right, like an
    archive opening outwards (a small square inside is the file it holds)."""
    k = r * 0.7071
    return [arc(cx, cy, r, 0, 360), seg(cx + k * 0.75, cy + k * 0.75, cx + r * 1.2, cy + r * 1.2)]


# ---- palette reduction -------------------------------------------------------


def median_cut(histogram, count):
    boxes = [list(histogram.items())]
    while len(boxes) < count:
        best, best_score, best_channel = None, -1, 0
        for i, box in enumerate(boxes):
            if len(box) < 2:
                continue
            population = sum(n for _, n in box)
            for channel in range(3):
                values = [c[channel] for c, _ in box]
                spread = (max(values) - min(values)) * math.sqrt(population)
                if spread > best_score:
                    best, best_score, best_channel = i, spread, channel
        if best is None:
            break
        box = sorted(boxes.pop(best), key=lambda item: item[0][best_channel])
        total, running, cut = sum(n for _, n in box), 0, 1
        for j, (_, n) in enumerate(box):
            running += n
            if running * 2 >= total:
                cut = max(1, min(len(box) - 1, j + 1))
                break
        boxes += [box[:cut], box[cut:]]
    palette = []
    for box in boxes:
        population = sum(n for _, n in box)
        palette.append(tuple(round(sum(c[i] * n for c, n in box) / population) for i in range(3)))
    while len(palette) < count:
        palette.append((0, 0, 0))
    return palette


def quantise(canvas, count):
    pixels = [[tuple(max(0, min(255, round(v * 255))) for v in canvas.rgb[y][x]) for x in range(canvas.width)]
              for y in range(canvas.height)]
    histogram = {}
    for row in pixels:
        for c in row:
            histogram[c] = histogram.get(c, 0) + 1
    palette = median_cut(histogram, count)
    nearest = {}
    for c in histogram:
        nearest[c] = min(range(len(palette)),
                         key=lambda i: sum((c[k] - palette[i][k]) ** 2 for k in range(3)))
    return palette, [[nearest[c] for c in row] for row in pixels]


# ---- the splash bitmap -------------------------------------------------------

SPLASH_W, SPLASH_H, SPLASH_COLOURS = 400, 300, 250
PIXELS_PER_METRE = 2834

TOP, BOTTOM = hex_colour("#0b1a2e"), hex_colour("#1c3d63")
GLOW = hex_colour("#2a5a8c")
AMBER = hex_colour("#f2a33a")
WHITE = hex_colour("#ffffff")
SUBTITLE = hex_colour("#a9cbec")
MUTED = hex_colour("#7896b6")


def splash_canvas():
    canvas = Canvas(SPLASH_W, SPLASH_H)
    logo_x, logo_y = 200, 72

    def background(x, y):
        t = (y / (SPLASH_H - 1)) * 0.8 + (x / (SPLASH_W - 1)) * 0.2
        base = mix(TOP, BOTTOM, t)
        glow = max(0.0, 1.0 - math.hypot(x - logo_x, (y - logo_y) * 1.3) / 170.0)
        return mix(base, GLOW, 0.45 * glow * glow)

    canvas.fill(background)

    logo = stroke_coverage([flip(p) for p in logo_strokes(logo_x, logo_y, 27)], 5.0, pixel_space, SPLASH_W, SPLASH_H)
    canvas.blend(logo, AMBER)
    box = {}
    for y in range(logo_y - 7, logo_y + 8):
        for x in range(logo_x - 7, logo_x + 8):
            box[(x, y)] = 1.0
    canvas.blend(box, WHITE)

    canvas.blend(text_coverage("QORARC", 46, 0.15, 0.1, 200, 172, SPLASH_W, SPLASH_H), WHITE)
    canvas.blend(text_coverage("Self-Extractor", 19, 0.12, 0.07, 200, 209, SPLASH_W, SPLASH_H), SUBTITLE)
    rule = {}
    for x in range(150, 250):
        for y in (229, 230):
            rule[(x, y)] = 1.0 - abs(x - 200) / 60.0 if abs(x - 200) > 40 else 1.0
    canvas.blend(rule, AMBER)
    canvas.blend(text_coverage("Version 2.1", 11, 0.14, 0.08, 200, 268, SPLASH_W, SPLASH_H), MUTED)
    return canvas


def pixel_space(x, y):
    """The mapping for strokes drawn in pixels and flipped to y up."""
    return (x, -y), 1.0


def flip(p):
    """Strokes given in pixel coordinates (y down) as y-up strokes."""
    if p[0] == "seg":
        return ("seg", p[1], -p[2], p[3], -p[4])
    return ("arc", p[1], -p[2], p[3], -p[5], -p[4])


def write_splash(path):
    palette, indices = quantise(splash_canvas(), SPLASH_COLOURS)
    colour_table = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    rows = b"".join(bytes(indices[y]) for y in range(SPLASH_H - 1, -1, -1))  # bottom-up
    padding = b"\0\0"  # the resource ends two bytes after the pixels
    offset = 14 + 40 + len(colour_table)
    size = offset + len(rows) + len(padding)
    header = struct.pack("<2sIHHI", b"BM", size, 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, SPLASH_W, SPLASH_H, 1, 8, 0, 0,
                       PIXELS_PER_METRE, PIXELS_PER_METRE, SPLASH_COLOURS, SPLASH_COLOURS)
    with open(path, "wb") as out:
        out.write(header + info + colour_table + rows + padding)


# ---- the icon ----------------------------------------------------------------

ICON_SIZE, ICON_COLOURS = 32, 16
NAVY = hex_colour("#163456")


def icon_canvas():
    canvas = Canvas(ICON_SIZE, ICON_SIZE)
    canvas.fill(lambda x, y: mix(hex_colour("#23507f"), NAVY, y / (ICON_SIZE - 1)))
    # A rounded square; outside it the icon is transparent.
    radius, half = 6.0, ICON_SIZE / 2 - 0.5
    for y in range(ICON_SIZE):
        for x in range(ICON_SIZE):
            qx = max(abs(x + 0.5 - ICON_SIZE / 2) - (half - radius), 0.0)
            qy = max(abs(y + 0.5 - ICON_SIZE / 2) - (half - radius), 0.0)
            inside = radius - math.hypot(qx, qy) + 0.5
            canvas.alpha[y][x] = max(0.0, min(1.0, inside))

    ring = stroke_coverage([flip(p) for p in logo_strokes(15.0, 15.0, 8.0)], 1.8, pixel_space, ICON_SIZE, ICON_SIZE)
    canvas.blend(ring, AMBER)
    canvas.blend({(x, y): 1.0 for x in range(14, 17) for y in range(14, 17)}, WHITE)
    return canvas


def write_icon(path):
    canvas = icon_canvas()
    palette, indices = quantise(canvas, ICON_COLOURS)
    colour_table = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    xor_rows, and_rows = b"", b""
    for y in range(ICON_SIZE - 1, -1, -1):
        row = bytearray()
        mask = 0
        for x in range(0, ICON_SIZE, 2):
            row.append((indices[y][x] << 4) | indices[y][x + 1])
        for x in range(ICON_SIZE):
            if canvas.alpha[y][x] < 0.5:
                mask |= 1 << (31 - x)
        xor_rows += bytes(row)
        and_rows += struct.pack(">I", mask)
    image = struct.pack("<IiiHHIIiiII", 40, ICON_SIZE, ICON_SIZE * 2, 1, 4, 0, len(xor_rows) + len(and_rows),
                        0, 0, ICON_COLOURS, 0) + colour_table + xor_rows + and_rows
    directory = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", ICON_SIZE, ICON_SIZE, ICON_COLOURS, 0, 1, 4,
                                                           len(image), 6 + 16)
    with open(path, "wb") as out:
        out.write(directory + image)


if __name__ == "__main__":
    write_splash(os.path.join(HERE, "splash.bmp"))
    write_icon(os.path.join(HERE, "demo.ico"))
