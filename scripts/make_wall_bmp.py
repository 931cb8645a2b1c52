#!/usr/bin/env python3
"""Draws examples/Wall.bmp: a 256 x 256 brick wall, 24-bit BMP.

Bricks of 64 x 32 pixels in staggered courses, each with its own shade of red
and a little grain, set in pure black mortar so that the viewer's alpha rule
(pure black is transparent) shows as gaps in the wall. Deterministic: the same
bytes on every run.

usage: scripts/make_wall_bmp.py [OUT.bmp]   (default: examples/Wall.bmp)
"""
import os
import struct
import sys

WIDTH, HEIGHT = 256, 256
BRICK_W, BRICK_H = 64, 32
MORTAR = 3  # pixels of black at the top and left of every brick


def lcg(seed):
    state = seed & 0xFFFFFFFF
    while True:
        state = (state * 1664525 + 1013904223) & 0xFFFFFFFF
        yield state >> 24


def pixel(x, y, grain):
    """Colour (r, g, b) of the picture at column x, row y (row 0 at the top)."""
    course = y // BRICK_H
    shift = (BRICK_W // 2) * (course % 2)
    bx = (x + shift) % BRICK_W
    by = y % BRICK_H
    if bx < MORTAR or by < MORTAR:
        return (0, 0, 0)
    brick = course * 8 + (x + shift) // BRICK_W
    shade = (brick * 37) % 48
    r = 150 + shade + next(grain) % 24
    g = 50 + shade // 2 + next(grain) % 16
    b = 35 + next(grain) % 12
    # A lighter top edge and darker bottom edge give the bricks some depth.
    if by == MORTAR:
        r, g, b = r + 30, g + 20, b + 15
    elif by == BRICK_H - 1:
        r, g, b = r - 40, g - 20, b - 15
    return (min(r, 255), min(g, 255), max(b, 1))


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "examples", "Wall.bmp")
    grain = lcg(2024)
    rows = [[pixel(x, y, grain) for x in range(WIDTH)] for y in range(HEIGHT)]
    row_bytes = (WIDTH * 3 + 3) // 4 * 4
    data = bytearray()
    for row in reversed(rows):  # BMP rows run bottom row first
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        data += line + bytes(row_bytes - len(line))
    header = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(out, "wb") as f:
        f.write(header + info + data)


if __name__ == "__main__":
    main()
