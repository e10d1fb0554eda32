#!/usr/bin/env python3
"""Draws the application icon (a microcode chip) as 16-colour PNGs of 16x16 and 32x32.

Usage: python3 tools/make_icons.py   (writes data/icons/veskari-16.png and veskari-32.png)
"""

import os
import struct
import zlib

# The 16-colour palette of the classic desktop.
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
    (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255),
    (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, NAVY, GREY, SILVER, YELLOW, WHITE = 0, 4, 8, 7, 11, 15
TRANSPARENT = 13  # magenta, made transparent through the tRNS chunk


def draw(size):
    s = size / 32.0
    pixels = [[TRANSPARENT] * size for _ in range(size)]

    def rect(x0, y0, x1, y1, colour):
        for y in range(int(y0 * s), max(int(y0 * s) + 1, int(y1 * s))):
            for x in range(int(x0 * s), max(int(x0 * s) + 1, int(x1 * s))):
                if 0 <= x < size and 0 <= y < size:
                    pixels[y][x] = colour

    # Pins on all four sides.
    for i in range(4):
        p = 8 + i * 5
        rect(p, 2, p + 2, 7, SILVER)
        rect(p, 25, p + 2, 30, SILVER)
        rect(2, p, 7, p + 2, SILVER)
        rect(25, p, 30, p + 2, SILVER)
    # The package, its outline and a bright die with a notch.
    rect(6, 6, 26, 26, BLACK)
    rect(7, 7, 25, 25, NAVY)
    rect(11, 11, 21, 21, YELLOW)
    rect(13, 13, 19, 19, GREY)
    rect(8, 8, 10, 10, WHITE)
    return pixels


def png(pixels):
    size = len(pixels)
    raw = b"".join(b"\x00" + bytes((row[x] << 4) | row[x + 1] for x in range(0, size, 2)) for row in pixels)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    transparency = bytes(0 if i == TRANSPARENT else 255 for i in range(16))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 4, 3, 0, 0, 0))
            + chunk(b"PLTE", b"".join(bytes(c) for c in PALETTE)) + chunk(b"tRNS", transparency)
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def main():
    folder = os.path.join(os.path.dirname(__file__), "..", "data", "icons")
    os.makedirs(folder, exist_ok=True)
    for size in (16, 32):
        with open(os.path.join(folder, "veskari-%d.png" % size), "wb") as f:
            f.write(png(draw(size)))


if __name__ == "__main__":
    main()
