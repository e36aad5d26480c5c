#!/usr/bin/env python3
"""Draw the Velbrook tray icon and write it as a multi-size .ico file.

The emblem is a blue cloud with a dark-blue rim and a white upward arrow:
"your files go up to the backup". Every size is rendered on its own pixel
grid: the geometry is designed on a 16 x 16 grid, scaled, and the straight
edges (the cloud's flat bottom, the arrow's stem and the base of its head)
are snapped to whole pixels so that the small sizes stay crisp. Curved and
slanted edges are anti-aliased by supersampling each pixel.

Usage:
    make_icon.py [ICO_PATH] [--preview PNG_PATH]

Without arguments the icon is written next to this folder, as
../qvbuitray.ico. With --preview a PNG showing every size on a light and a
dark background is written as well.

Only the Python standard library is used (struct, zlib).
"""

import math
import os
import struct
import sys
import zlib

SIZES = (16, 24, 32, 48, 128)

# Colours (R, G, B).
RIM = (10, 61, 145)
FILL_TOP = (72, 170, 250)
FILL_BOTTOM = (22, 104, 214)
ARROW = (255, 255, 255)

# Rim width in pixels, per size.
RIM_WIDTH = {16: 1.0, 24: 1.0, 32: 1.5, 48: 2.0, 128: 4.5}

# Subsamples per pixel along each axis.
SUPERSAMPLE = {16: 8, 24: 8, 32: 8, 48: 6, 128: 4}


class Geometry:
    """The emblem's shapes for one icon size, in that size's pixel units."""

    def __init__(self, size):
        f = size / 16.0
        self.size = size
        self.rim = RIM_WIDTH[size]

        # Cloud body on the 16 grid: a small bump on the left, a large one
        # slightly right of the centre, a medium one on the right, and a flat
        # bottom between them. The outer bumps sit on the bottom line so that
        # they form the cloud's rounded lower corners.
        left = round(1 * f)
        right = size - round(1 * f)
        bottom = round(13 * f)
        r_left = 3.3 * f
        r_right = 2.9 * f
        self.bumps = (
            (left + r_left, bottom - r_left, r_left),
            (9.0 * f, 7.5 * f, 4.4 * f),
            (right - r_right, bottom - r_right, r_right),
        )
        self.base = (left + r_left, round(9 * f), right - r_right, bottom, 0.0)
        self.fill_top = self.bumps[1][1] - self.bumps[1][2]
        self.fill_bottom = self.base[3]

        # Arrow: stem and head, symmetric about the vertical centre line,
        # which lies on a pixel boundary for every even size.
        cx = size / 2.0
        stem_half = max(1, round(1 * f))
        head_half = round(4 * f)
        self.cx = cx
        self.stem = (cx - stem_half, round(8 * f), cx + stem_half, round(12 * f))
        self.head_base = round(8 * f)
        self.head_apex = self.head_base - head_half  # 45 degree flanks
        self.head_half = head_half

    def in_cloud(self, x, y, grow):
        x0, y0, x1, y1, r = self.base
        if in_round_rect(x, y, x0 - grow, y0 - grow, x1 + grow, y1 + grow, r + grow):
            return True
        for cx, cy, cr in self.bumps:
            rr = cr + grow
            dx = x - cx
            dy = y - cy
            if dx * dx + dy * dy <= rr * rr:
                return True
        return False

    def in_arrow(self, x, y):
        x0, y0, x1, y1 = self.stem
        if x0 <= x < x1 and y0 <= y < y1:
            return True
        if self.head_apex <= y < self.head_base:
            half = (y - self.head_apex) / (self.head_base - self.head_apex) * self.head_half
            return abs(x - self.cx) <= half
        return False

    def fill_colour(self, y):
        t = (y - self.fill_top) / (self.fill_bottom - self.fill_top)
        t = min(1.0, max(0.0, t))
        return tuple(a + (b - a) * t for a, b in zip(FILL_TOP, FILL_BOTTOM))


def in_round_rect(x, y, x0, y0, x1, y1, r):
    if x < x0 or x >= x1 or y < y0 or y >= y1:
        return False
    qx = max(x0 + r - x, 0.0, x - (x1 - r))
    qy = max(y0 + r - y, 0.0, y - (y1 - r))
    return qx * qx + qy * qy <= r * r


def render(size):
    """Return the image as rows of straight-alpha (R, G, B, A) byte tuples, top row first."""
    g = Geometry(size)
    n = SUPERSAMPLE[size]
    offsets = [(i + 0.5) / n for i in range(n)]
    total = float(n * n)
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            r = gg = b = a = 0.0
            for oy in offsets:
                y = py + oy
                fill = g.fill_colour(y)
                for ox in offsets:
                    x = px + ox
                    if g.in_arrow(x, y) and g.in_cloud(x, y, 0.0):
                        c = ARROW
                    elif g.in_cloud(x, y, 0.0):
                        c = fill
                    elif g.in_cloud(x, y, g.rim):
                        c = RIM
                    else:
                        continue
                    r += c[0]
                    gg += c[1]
                    b += c[2]
                    a += 1.0
            if a == 0.0:
                row.append((0, 0, 0, 0))
            else:
                row.append((round(r / a), round(gg / a), round(b / a), round(255 * a / total)))
        rows.append(row)
    return rows


def dib_image(rows):
    """A 32-bit BGRA DIB with its AND mask, as stored inside an .ico file."""
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = bytearray()
    for row in reversed(rows):
        for r, g, b, a in row:
            xor += bytes((b, g, r, a))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        line = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line
    return header + bytes(xor) + bytes(mask)


def write_ico(path, images):
    """images: list of (size, rows)."""
    entries = []
    blobs = []
    offset = 6 + 16 * len(images)
    for size, rows in images:
        blob = dib_image(rows)
        dim = 0 if size >= 256 else size
        entries.append(struct.pack("<BBBBHHII", dim, dim, 0, 0, 1, 32, len(blob), offset))
        blobs.append(blob)
        offset += len(blob)
    with open(path, "wb") as f:
        f.write(struct.pack("<HHH", 0, 1, len(images)))
        for e in entries:
            f.write(e)
        for b in blobs:
            f.write(b)


def png_bytes(width, height, pixels):
    """pixels: rows of (R, G, B, A) tuples."""
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    raw = bytearray()
    for row in pixels:
        raw.append(0)
        for p in row:
            raw += bytes(p)
    ihdr = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr)
            + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def write_preview(path, images):
    """Every size at its real pixel size and enlarged, on a light and a dark band."""
    scale_for = {16: 8, 24: 5, 32: 4, 48: 3, 128: 1}
    pad = 24
    cell_w = [max(size * scale_for[size], size) + pad for size, _ in images]
    band_h = max(size * scale_for[size] for size, _ in images) + max(s for s, _ in images if s < 128) + 3 * pad
    width = sum(cell_w) + pad
    height = 2 * band_h
    backgrounds = ((243, 243, 243, 255), (32, 32, 32, 255))
    canvas = [[backgrounds[0 if y < band_h else 1] for _ in range(width)] for y in range(height)]

    def blit(rows, left, top, scale, bg):
        for y, row in enumerate(rows):
            for x, (r, g, b, a) in enumerate(row):
                al = a / 255.0
                c = (round(r * al + bg[0] * (1 - al)), round(g * al + bg[1] * (1 - al)),
                     round(b * al + bg[2] * (1 - al)), 255)
                for dy in range(scale):
                    line = canvas[top + y * scale + dy]
                    for dx in range(scale):
                        line[left + x * scale + dx] = c

    big = max(size * scale_for[size] for size, _ in images)
    for band, bg in enumerate(backgrounds):
        top = band * band_h + pad
        left = pad
        for (size, rows), w in zip(images, cell_w):
            scale = scale_for[size]
            blit(rows, left, top + big - size * scale, scale, bg)
            if scale > 1:
                blit(rows, left + (size * scale - size) // 2, top + big + pad, 1, bg)
            left += w
    with open(path, "wb") as f:
        f.write(png_bytes(width, height, canvas))


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    ico_path = os.path.join(here, os.pardir, "qvbuitray.ico")
    preview_path = None
    args = list(argv)
    while args:
        arg = args.pop(0)
        if arg == "--preview" and args:
            preview_path = args.pop(0)
        elif arg.startswith("-"):
            sys.stderr.write(__doc__)
            return 2
        else:
            ico_path = arg
    images = [(size, render(size)) for size in SIZES]
    write_ico(os.path.normpath(ico_path), images)
    if preview_path:
        write_preview(preview_path, images)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
