#!/usr/bin/env python3
"""Draws the program icon at 48, 32 and 16 pixels as XPM (embedded in the
program) and, with ImageMagick, as PNG (installed into the icon theme).

The picture: a dark screen with a frame strip along its top and bottom edge
and a 4 x 4 block of sixteen palette colours in the middle, the colours an
MSX2 SCREEN 5 picture is made of. Run it again after changing the art:
    python3 app/icons/make_icons.py
"""
import os
import subprocess

HERE = os.path.dirname(os.path.abspath(__file__))

# Sixteen colours of the 512-colour space (3 bits a channel), slot 0 black.
PALETTE3 = [
    (0, 0, 0), (7, 7, 7), (7, 0, 0), (0, 6, 0),
    (1, 2, 7), (7, 6, 0), (0, 6, 7), (6, 0, 6),
    (7, 3, 0), (3, 7, 2), (4, 2, 7), (7, 4, 5),
    (2, 4, 3), (5, 5, 5), (3, 1, 0), (0, 3, 5),
]
FRAME = (0x1b, 0x24, 0x3a)   # the screen body
STRIP = (0x0c, 0x10, 0x1a)   # frame strip
HOLE = (0xd8, 0xdc, 0xe6)    # strip holes
EDGE = (0x5a, 0x6a, 0x8c)    # outline


def hexrgb(c):
    return "#%02X%02X%02X" % c


def expand(c3):
    return tuple(v * 255 // 7 for v in c3)


def draw(size):
    """Returns rows of colours (None = transparent)."""
    px = [[None] * size for _ in range(size)]
    r = max(1, size // 12)  # corner cut
    for y in range(size):
        for x in range(size):
            cx = min(x, size - 1 - x)
            cy = min(y, size - 1 - y)
            if cx + cy < r:
                continue
            edge = cx == 0 or cy == 0 or cx + cy == r
            px[y][x] = EDGE if edge else FRAME
    strip = max(2, size // 6)
    for y in list(range(1, strip + 1)) + list(range(size - 1 - strip, size - 1)):
        for x in range(1, size - 1):
            if px[y][x] is not None and px[y][x] != EDGE:
                px[y][x] = STRIP
    hole = max(1, size // 16)
    step = max(3, size // 6)
    top = 1 + (strip - hole) // 2
    bottom = size - 1 - strip + (strip - hole) // 2
    for x0 in range(step // 2, size - hole, step):
        for yy in (top, bottom):
            for y in range(yy, yy + hole):
                for x in range(x0, x0 + hole):
                    if px[y][x] == STRIP:
                        px[y][x] = HOLE
    inner0 = strip + 1 + max(1, size // 16)
    inner1 = size - strip - 1 - max(1, size // 16)
    span = inner1 - inner0
    cell = span // 4
    x_start = (size - cell * 4) // 2
    y_start = inner0 + (span - cell * 4) // 2
    gap = 1 if cell >= 4 else 0
    for i, c3 in enumerate(PALETTE3):
        gx, gy = i % 4, i // 4
        for y in range(cell - gap):
            for x in range(cell - gap):
                px[y_start + gy * cell + y][x_start + gx * cell + x] = expand(c3)
    return px


def write_xpm(size, px):
    colours = []
    for row in px:
        for c in row:
            if c is not None and c not in colours:
                colours.append(c)
    chars = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"
    key = {c: chars[i] for i, c in enumerate(colours)}
    name = "velmira_%d_xpm" % size
    lines = ['/* XPM */', 'static const char* const %s[] = {' % name,
             '"%d %d %d 1",' % (size, size, len(colours) + 1), '". c None",']
    lines += ['"%s c %s",' % (key[c], hexrgb(c)) for c in colours]
    for y, row in enumerate(px):
        text = "".join("." if c is None else key[c] for c in row)
        lines.append('"%s"%s' % (text, "," if y < size - 1 else ""))
    lines.append("};")
    path = os.path.join(HERE, "velmira-%d.xpm" % size)
    with open(path, "w") as f:
        f.write("\n".join(lines) + "\n")
    return path


for size in (48, 32, 16):
    xpm = write_xpm(size, draw(size))
    subprocess.run(["convert", xpm, os.path.join(HERE, "velmira-%d.png" % size)],
                   check=True)
