#!/usr/bin/env python3
"""Draws the application icon (a microcode chip) as 16-colour PNGs and as an SVG.

The icon is a list of rectangles on a 32-unit grid; every PNG size rasterises the same
list, and the SVG states it as it is, so all sizes keep one look.

The Windows program's icon resource (veskari.ico) holds the 32 and the 16 pixel image with
16 colours, as the classic desktop draws them.

Usage: python3 tools/make_icons.py   (writes data/icons/veskari-SIZE.png, veskari.svg and veskari.ico)
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
GRID = 32
# Every size that the hicolor theme and the software centres look for.
SIZES = (16, 24, 32, 48, 64, 128, 256)


def shapes():
    """The icon as (x0, y0, x1, y1, colour) rectangles on the 32-unit grid, back to front."""
    result = []
    # Pins on all four sides.
    for i in range(4):
        p = 8 + i * 5
        result += [(p, 2, p + 2, 7, SILVER), (p, 25, p + 2, 30, SILVER),
                   (2, p, 7, p + 2, SILVER), (25, p, 30, p + 2, SILVER)]
    # The package, its outline and a bright die with a notch.
    result += [(6, 6, 26, 26, BLACK), (7, 7, 25, 25, NAVY), (11, 11, 21, 21, YELLOW),
               (13, 13, 19, 19, GREY), (8, 8, 10, 10, WHITE)]
    return result


def draw(size):
    s = size / GRID
    pixels = [[TRANSPARENT] * size for _ in range(size)]
    for x0, y0, x1, y1, colour in shapes():
        # Every rectangle keeps at least one pixel, so the 16 px pins do not vanish.
        for y in range(int(y0 * s), max(int(y0 * s) + 1, int(y1 * s))):
            for x in range(int(x0 * s), max(int(x0 * s) + 1, int(x1 * s))):
                if 0 <= x < size and 0 <= y < size:
                    pixels[y][x] = colour
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


def ico(images):
    """An icon file of 4-bit images: each a BITMAPINFOHEADER (twice the height, for the
    image and its mask), the palette, the colour rows and the transparency mask, both
    bottom-up with rows padded to four bytes."""
    entries, bodies = b"", b""
    offset = 6 + 16 * len(images)
    for pixels in images:
        size = len(pixels)
        colour_row = (size // 2 + 3) // 4 * 4
        mask_row = ((size + 31) // 32) * 4
        colours, mask = b"", b""
        for row in reversed(pixels):
            line = bytes(((0 if row[x] == TRANSPARENT else row[x]) << 4)
                         | (0 if row[x + 1] == TRANSPARENT else row[x + 1]) for x in range(0, size, 2))
            colours += line.ljust(colour_row, b"\x00")
            bits = 0
            for x in range(size):
                bits = (bits << 1) | (row[x] == TRANSPARENT)
            mask += bits.to_bytes(size // 8 if size >= 8 else 1, "big").ljust(mask_row, b"\x00")
        body = (struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, len(colours) + len(mask), 0, 0, 16, 0)
                + b"".join(bytes((b, g, r, 0)) for r, g, b in PALETTE) + colours + mask)
        entries += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(body), offset)
        bodies += body
        offset += len(body)
    return struct.pack("<HHH", 0, 1, len(images)) + entries + bodies


def svg():
    lines = ['<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" viewBox="0 0 %d %d"'
             ' shape-rendering="crispEdges">' % (GRID, GRID, GRID, GRID)]
    for x0, y0, x1, y1, colour in shapes():
        lines.append('  <rect x="%d" y="%d" width="%d" height="%d" fill="#%02x%02x%02x"/>'
                     % ((x0, y0, x1 - x0, y1 - y0) + PALETTE[colour]))
    lines.append("</svg>")
    return "\n".join(lines) + "\n"


def main():
    folder = os.path.join(os.path.dirname(__file__), "..", "data", "icons")
    os.makedirs(folder, exist_ok=True)
    for size in SIZES:
        with open(os.path.join(folder, "veskari-%d.png" % size), "wb") as f:
            f.write(png(draw(size)))
    with open(os.path.join(folder, "veskari.svg"), "w", encoding="ascii") as f:
        f.write(svg())
    with open(os.path.join(folder, "veskari.ico"), "wb") as f:
        f.write(ico([draw(32), draw(16)]))


if __name__ == "__main__":
    main()
