#!/usr/bin/env python3
"""Draws the application icon (16 x 16, 32-bit RGBA) and writes it as an ICO
file whose single image is stored as PNG. Run it again after changing the
drawing; the committed app_icon.ico is its output."""

import math
import struct
import sys
import zlib

SIZE = 16


def pixel(x, y):
    """A lantern's warm glow on a night-blue rounded tile, crossed by a quill."""
    cx = cy = (SIZE - 1) / 2
    # Rounded-square tile: transparent outside a radius-3 corner.
    corner = 3.0
    dx = max(abs(x - cx) - (cx - corner), 0.0)
    dy = max(abs(y - cy) - (cy - corner), 0.0)
    if math.hypot(dx, dy) > corner + 0.5:
        return (0, 0, 0, 0)
    r, g, b = 22, 34, 68
    # Glow: amber fading outwards from slightly below the middle.
    d = math.hypot(x - cx, y - (cy + 1))
    glow = max(0.0, 1.0 - d / 5.5)
    r = int(r + (255 - r) * glow)
    g = int(g + (190 - g) * glow)
    b = int(b + (60 - b) * glow)
    # Quill: a light stroke from the upper right towards the lower left.
    if abs((x + y) - 17) <= 0 and 3 <= x <= 13:
        r, g, b = 240, 240, 250
    return (r, g, b, 255)


def png_bytes():
    def chunk(kind, data):
        body = kind + data
        return (struct.pack(">I", len(data)) + body +
                struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF))

    raw = bytearray()
    for y in range(SIZE):
        raw.append(0)  # filter type: none
        for x in range(SIZE):
            raw.extend(pixel(x, y))
    header = struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def ico_bytes(png):
    # ICONDIR (reserved, type 1 = icon, one image), then one ICONDIRENTRY.
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 32, len(png),
                        len(directory) + 16)
    return directory + entry + png


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "app_icon.ico"
    with open(out, "wb") as f:
        f.write(ico_bytes(png_bytes()))


if __name__ == "__main__":
    main()
