#!/usr/bin/env python3
"""Draws the program icon and writes it as a Windows .ico file.

The picture: a rounded blue square with a white circular arrow (turning clockwise) around a
small white globe. One 32 x 32 image, 32-bit BGRA with alpha and an AND mask. Drawn by
4 x 4 supersampling; the output depends on nothing but this script.

    tools/icon/make-icon.py [OUT.ico] [--preview OUT.png]

OUT.ico defaults to app/res/Pelorin.ico. --preview also writes the picture eight times
enlarged as a PNG, to look at.
"""
import math
import struct
import sys
import zlib
from pathlib import Path

SIZE = 32
SAMPLES = 4  # per axis and pixel
CENTRE = SIZE / 2

# Rounded square.
SQUARE_LO, SQUARE_HI, CORNER = 1.0, 31.0, 6.0
TOP_COLOUR = (0x3D, 0x8B, 0xFD)
BOTTOM_COLOUR = (0x17, 0x50, 0xC0)
WHITE = (0xFF, 0xFF, 0xFF)

# Circular arrow: a ring open between two angles (degrees, counter-clockwise from the
# right), with its head at the upper end of the gap pointing clockwise into it.
RING_RADIUS, RING_HALF_WIDTH = 10.0, 1.35
GAP_FROM, GAP_TO = 30.0, 88.0
HEAD_HALF_WIDTH, HEAD_LENGTH = 3.7, 5.2

# Globe: a white disc with an equator and a meridian in the background colour.
GLOBE_RADIUS = 5.8
LINE_HALF_WIDTH = 0.6
MERIDIAN_RX = 2.6


def in_rounded_square(x, y):
    if not (SQUARE_LO <= x <= SQUARE_HI and SQUARE_LO <= y <= SQUARE_HI):
        return False
    cx = min(max(x, SQUARE_LO + CORNER), SQUARE_HI - CORNER)
    cy = min(max(y, SQUARE_LO + CORNER), SQUARE_HI - CORNER)
    return (x - cx) ** 2 + (y - cy) ** 2 <= CORNER ** 2


def screen_point(angle_deg, radius):
    a = math.radians(angle_deg)
    return CENTRE + radius * math.cos(a), CENTRE - radius * math.sin(a)


def head_triangle():
    a = math.radians(GAP_TO)
    base_x, base_y = screen_point(GAP_TO, RING_RADIUS)
    radial = (math.cos(a), -math.sin(a))
    clockwise = (math.sin(a), math.cos(a))
    return [
        (base_x + radial[0] * HEAD_HALF_WIDTH, base_y + radial[1] * HEAD_HALF_WIDTH),
        (base_x - radial[0] * HEAD_HALF_WIDTH, base_y - radial[1] * HEAD_HALF_WIDTH),
        (base_x + clockwise[0] * HEAD_LENGTH, base_y + clockwise[1] * HEAD_LENGTH),
    ]


HEAD = head_triangle()


def in_triangle(x, y, tri):
    def side(p, q):
        return (q[0] - p[0]) * (y - p[1]) - (q[1] - p[1]) * (x - p[0])
    d = [side(tri[i], tri[(i + 1) % 3]) for i in range(3)]
    return all(v >= 0 for v in d) or all(v <= 0 for v in d)


def in_arrow(x, y):
    dx, dy = x - CENTRE, CENTRE - y
    r = math.hypot(dx, dy)
    if abs(r - RING_RADIUS) <= RING_HALF_WIDTH:
        angle = math.degrees(math.atan2(dy, dx)) % 360
        if not (GAP_FROM < angle < GAP_TO):
            return True
    return in_triangle(x, y, HEAD)


def globe_part(x, y):
    """'disc' on the white disc, 'line' on a globe line, None outside."""
    dx, dy = x - CENTRE, y - CENTRE
    if math.hypot(dx, dy) > GLOBE_RADIUS:
        return None
    if abs(dy) <= LINE_HALF_WIDTH:
        return 'line'
    # Distance to the meridian ellipse, roughly: scaled radius near 1.
    e = math.hypot(dx / MERIDIAN_RX, dy / GLOBE_RADIUS)
    if abs(e - 1.0) * MERIDIAN_RX <= LINE_HALF_WIDTH:
        return 'line'
    return 'disc'


def background(y):
    t = min(max((y - SQUARE_LO) / (SQUARE_HI - SQUARE_LO), 0.0), 1.0)
    return tuple(TOP_COLOUR[i] + (BOTTOM_COLOUR[i] - TOP_COLOUR[i]) * t for i in range(3))


def draw():
    """Rows top to bottom of (r, g, b, a) tuples."""
    rows = []
    for py in range(SIZE):
        row = []
        for px in range(SIZE):
            covered, total = 0, [0.0, 0.0, 0.0]
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x = px + (sx + 0.5) / SAMPLES
                    y = py + (sy + 0.5) / SAMPLES
                    if not in_rounded_square(x, y):
                        continue
                    covered += 1
                    part = globe_part(x, y)
                    white = in_arrow(x, y) or part == 'disc'
                    colour = WHITE if white else background(y)
                    for i in range(3):
                        total[i] += colour[i]
            if covered:
                row.append(tuple(round(c / covered) for c in total)
                           + (round(255 * covered / SAMPLES ** 2),))
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    return rows


def ico_bytes(rows):
    xor = b''.join(bytes((b, g, r, a)) for row in reversed(rows) for (r, g, b, a) in row)
    mask_stride = ((SIZE + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        line = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line
    header = struct.pack('<IiiHHIIiiII', 40, SIZE, SIZE * 2, 1, 32, 0,
                         len(xor) + len(mask), 0, 0, 0, 0)
    image = header + xor + bytes(mask)
    directory = struct.pack('<HHH', 0, 1, 1)
    entry = struct.pack('<BBBBHHII', SIZE, SIZE, 0, 0, 1, 32, len(image), 6 + 16)
    return directory + entry + image


def png_bytes(rows, scale):
    raw = bytearray()
    for row in rows:
        line = b''.join(bytes(p) for p in row for _ in range(scale))
        for _ in range(scale):
            raw += b'\0' + line
    def chunk(kind, data):
        return (struct.pack('>I', len(data)) + kind + data
                + struct.pack('>I', zlib.crc32(kind + data) & 0xFFFFFFFF))
    width = SIZE * scale
    return (b'\x89PNG\r\n\x1a\n'
            + chunk(b'IHDR', struct.pack('>IIBBBBB', width, width, 8, 6, 0, 0, 0))
            + chunk(b'IDAT', zlib.compress(bytes(raw), 9)) + chunk(b'IEND', b''))


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
    rows = draw()
    out.write_bytes(ico_bytes(rows))
    if preview:
        preview.write_bytes(png_bytes(rows, 8))


if __name__ == '__main__':
    main(sys.argv[1:])
