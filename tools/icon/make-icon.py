#!/usr/bin/env python3
"""Draws the program icon and writes it as a Windows .ico file.

The picture: a rounded blue square with a white circular arrow (turning clockwise) around a
small white globe. Six images, each drawn for its own size (16, 20, 24, 32, 48 and 128 px)
rather than one scaled: 32-bit RGBA with alpha, each PNG-compressed, which Windows reads at
any size from Vista on and which keeps the exe small. Drawn by 4 x 4 supersampling; the output
depends on nothing but this script (and zlib, for the PNG images).

    tools/icon/make-icon.py [OUT.ico] [--preview OUT.png]

OUT.ico defaults to app/res/Pelorin.ico. --preview also writes every size side by side as
a PNG to look at, up to 48 px eight times enlarged.
"""
import math
import struct
import sys
import zlib
from pathlib import Path

SAMPLES = 4  # per axis and pixel

TOP_COLOUR = (0x3D, 0x8B, 0xFD)
BOTTOM_COLOUR = (0x17, 0x50, 0xC0)
WHITE = (0xFF, 0xFF, 0xFF)


class Design:
    """The picture drawn for one size, in that size's pixels.

    A rounded blue square; a circular arrow: a ring open between two angles (degrees,
    counter-clockwise from the right), with its head at the upper end of the gap pointing
    clockwise into it; a white globe, with an equator and a meridian in the background colour
    where the size has room for them. Strokes are whole pixels wide at the small sizes, so
    that they stay sharp instead of turning into grey smears.
    """

    def __init__(self, size, margin, corner, ring_radius, ring_half_width, head_half_width,
                 head_length, globe_radius, line_half_width=0.0, meridian_rx=0.0,
                 gap=(30.0, 88.0)):
        self.size = size
        self.centre = size / 2
        self.lo, self.hi = margin, size - margin
        self.corner = corner
        self.ring_radius, self.ring_half_width = ring_radius, ring_half_width
        self.gap_from, self.gap_to = gap
        self.head_half_width, self.head_length = head_half_width, head_length
        self.globe_radius = globe_radius
        self.line_half_width, self.meridian_rx = line_half_width, meridian_rx
        self.head = self.head_triangle()

    def in_rounded_square(self, x, y):
        if not (self.lo <= x <= self.hi and self.lo <= y <= self.hi):
            return False
        cx = min(max(x, self.lo + self.corner), self.hi - self.corner)
        cy = min(max(y, self.lo + self.corner), self.hi - self.corner)
        return (x - cx) ** 2 + (y - cy) ** 2 <= self.corner ** 2

    def screen_point(self, angle_deg, radius):
        a = math.radians(angle_deg)
        return self.centre + radius * math.cos(a), self.centre - radius * math.sin(a)

    def head_triangle(self):
        a = math.radians(self.gap_to)
        base_x, base_y = self.screen_point(self.gap_to, self.ring_radius)
        radial = (math.cos(a), -math.sin(a))
        clockwise = (math.sin(a), math.cos(a))
        return [
            (base_x + radial[0] * self.head_half_width, base_y + radial[1] * self.head_half_width),
            (base_x - radial[0] * self.head_half_width, base_y - radial[1] * self.head_half_width),
            (base_x + clockwise[0] * self.head_length, base_y + clockwise[1] * self.head_length),
        ]

    def in_arrow(self, x, y):
        dx, dy = x - self.centre, self.centre - y
        r = math.hypot(dx, dy)
        if abs(r - self.ring_radius) <= self.ring_half_width:
            angle = math.degrees(math.atan2(dy, dx)) % 360
            if not (self.gap_from < angle < self.gap_to):
                return True
        return in_triangle(x, y, self.head)

    def globe_part(self, x, y):
        """'disc' on the white disc, 'line' on a globe line, None outside."""
        dx, dy = x - self.centre, y - self.centre
        if math.hypot(dx, dy) > self.globe_radius:
            return None
        if self.line_half_width <= 0:
            return 'disc'
        if abs(dy) <= self.line_half_width:
            return 'line'
        if self.meridian_rx > 0:
            # Distance to the meridian ellipse, roughly: scaled radius near 1.
            e = math.hypot(dx / self.meridian_rx, dy / self.globe_radius)
            if abs(e - 1.0) * self.meridian_rx <= self.line_half_width:
                return 'line'
        return 'disc'

    def background(self, y):
        t = min(max((y - self.lo) / (self.hi - self.lo), 0.0), 1.0)
        return tuple(TOP_COLOUR[i] + (BOTTOM_COLOUR[i] - TOP_COLOUR[i]) * t for i in range(3))


# One design a size. The small ones drop what they cannot show: 16 and 20 px a plain white
# globe, 24 px its equator only; the ring is 2 px wide up to 24 px, its head larger in
# proportion. 32 px is the picture as it always was; 48 and 128 px draw it finer. The largest
# is 128 px, not 256: Explorer's extra-large view doubles it, and it takes half the room of a
# 256 px image in an exe held to 250 KB.
DESIGNS = [
    Design(16, margin=0.0, corner=3.0, ring_radius=5.0, ring_half_width=1.0, head_half_width=2.6,
           head_length=3.4, globe_radius=2.2, gap=(25.0, 92.0)),
    Design(20, margin=0.5, corner=4.0, ring_radius=6.9, ring_half_width=1.0, head_half_width=2.8,
           head_length=3.6, globe_radius=3.4),
    Design(24, margin=0.5, corner=4.5, ring_radius=8.0, ring_half_width=1.0, head_half_width=3.0,
           head_length=4.0, globe_radius=4.4, line_half_width=0.5),
    Design(32, margin=1.0, corner=6.0, ring_radius=10.0, ring_half_width=1.35, head_half_width=3.7,
           head_length=5.2, globe_radius=5.8, line_half_width=0.6, meridian_rx=2.6),
    Design(48, margin=1.5, corner=9.0, ring_radius=15.0, ring_half_width=2.0, head_half_width=5.5,
           head_length=7.8, globe_radius=8.7, line_half_width=0.8, meridian_rx=3.9),
    Design(128, margin=4.0, corner=24.0, ring_radius=40.0, ring_half_width=4.5, head_half_width=14.0,
           head_length=20.0, globe_radius=23.5, line_half_width=1.3, meridian_rx=10.5),
]
# Sizes stored PNG-compressed (Windows Vista and later read them at any size); the others as
# bitmaps, which every Windows reads. All of them: Windows 7 is the oldest the program runs on.
PNG_SIZES = (16, 20, 24, 32, 48, 128)


def in_triangle(x, y, tri):
    def side(p, q):
        return (q[0] - p[0]) * (y - p[1]) - (q[1] - p[1]) * (x - p[0])
    d = [side(tri[i], tri[(i + 1) % 3]) for i in range(3)]
    return all(v >= 0 for v in d) or all(v <= 0 for v in d)


def draw(design):
    """Rows top to bottom of (r, g, b, a) tuples."""
    rows = []
    for py in range(design.size):
        row = []
        for px in range(design.size):
            covered, total = 0, [0.0, 0.0, 0.0]
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x = px + (sx + 0.5) / SAMPLES
                    y = py + (sy + 0.5) / SAMPLES
                    if not design.in_rounded_square(x, y):
                        continue
                    covered += 1
                    part = design.globe_part(x, y)
                    white = design.in_arrow(x, y) or part == 'disc'
                    colour = WHITE if white else design.background(y)
                    for i in range(3):
                        total[i] += colour[i]
            if covered:
                row.append(tuple(round(c / covered) for c in total)
                           + (round(255 * covered / SAMPLES ** 2),))
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    return rows


def bitmap_image(rows):
    size = len(rows)
    xor = b''.join(bytes((b, g, r, a)) for row in reversed(rows) for (r, g, b, a) in row)
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        line = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0,
                         len(xor) + len(mask), 0, 0, 0, 0)
    return header + xor + bytes(mask)


def ico_bytes(images):
    """images: (size, image bytes) in the order of the directory."""
    directory = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries, data = b'', b''
    for size, image in images:
        # A width or height of 256 is written as 0.
        entries += struct.pack('<BBBBHHII', size % 256, size % 256, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
        data += image
    return directory + entries + data


def paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    return a if pa <= pb and pa <= pc else b if pb <= pc else c


def filtered(line, previous, kind):
    out = bytearray([kind])
    for i, x in enumerate(line):
        a = line[i - 4] if i >= 4 else 0
        b = previous[i]
        c = previous[i - 4] if i >= 4 else 0
        guess = (0, a, b, (a + b) // 2, paeth(a, b, c))[kind]
        out.append((x - guess) & 0xFF)
    return out


def png_bytes(rows, scale=1):
    lines = []
    for row in rows:
        line = b''.join(bytes(p) for p in row for _ in range(scale))
        lines.extend([line] * scale)
    # Each of the five PNG filters for every row; the one that compresses smallest is kept.
    smallest = None
    for kind in range(5):
        raw = bytearray()
        for i, line in enumerate(lines):
            raw += filtered(line, lines[i - 1] if i else bytes(len(line)), kind)
        packed = zlib.compress(bytes(raw), 9)
        if smallest is None or len(packed) < len(smallest):
            smallest = packed

    def chunk(kind, data):
        return (struct.pack('>I', len(data)) + kind + data
                + struct.pack('>I', zlib.crc32(kind + data) & 0xFFFFFFFF))
    width, height = len(rows[0]) * scale, len(rows) * scale
    return (b'\x89PNG\r\n\x1a\n'
            + chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, 8, 6, 0, 0, 0))
            + chunk(b'IDAT', smallest) + chunk(b'IEND', b''))


def preview_sheet(drawn):
    """Every size side by side, each eight times enlarged up to 48 px, on one sheet."""
    shown = [(rows, 8 if len(rows) <= 48 else 1) for rows in drawn]
    height = max(len(rows) * scale for rows, scale in shown)
    sheet = [[] for _ in range(height)]
    for rows, scale in shown:
        for y in range(height):
            line = sheet[y]
            if y < len(rows) * scale:
                line.extend(p for p in rows[y // scale] for _ in range(scale))
            else:
                line.extend([(0, 0, 0, 0)] * (len(rows) * scale))
            line.extend([(0, 0, 0, 0)] * 16)
    return sheet


def main(argv):
    out = Path(__file__).resolve().parents[2] / 'app' / 'res' / 'Pelorin.ico'
    preview = None
    args = list(argv)
    while args:
        a = args.pop(0)
        if a == '--preview':
            preview = Path(args.pop(0))
        else:
            out = Path(a)
    drawn = [draw(design) for design in DESIGNS]
    images = [(design.size, png_bytes(rows) if design.size in PNG_SIZES else bitmap_image(rows))
              for design, rows in zip(DESIGNS, drawn)]
    out.write_bytes(ico_bytes(images))
    if preview:
        preview.write_bytes(png_bytes(preview_sheet(drawn)))


if __name__ == '__main__':
    main(sys.argv[1:])
