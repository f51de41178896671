#!/usr/bin/env python3
"""Draws the control's pictures: the 32 x 32 icon in 16 colours and the 16 x 15
24-bit toolbox bitmap. Both show a sheet of an INI file: a section header in
brackets and key = value lines.

    make_images.py ICON.ico BITMAP.bmp
"""
import struct
import sys

# The standard 16-colour palette, as (red, green, blue).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, DARK_BLUE, GREY, SILVER, RED, BLUE, YELLOW, WHITE = 0, 4, 8, 7, 9, 12, 11, 15
TRANSPARENT = None


def sheet(width, height, margin, fold, header_rows, lines):
    """A page with a folded corner, a blue header bar with brackets, and key lines."""
    pixels = [[TRANSPARENT] * width for _ in range(height)]
    left, right = margin, width - 1 - margin
    top, bottom = 0 if height < 20 else 1, height - 1 - (0 if height < 20 else 1)
    for y in range(top, bottom + 1):
        for x in range(left, right + 1):
            if x > right - fold + (y - top):  # the folded corner is cut away
                continue
            edge = x in (left, right) or y in (top, bottom) or x == right - fold + (y - top)
            pixels[y][x] = BLACK if edge else WHITE
    for y in range(top + 1, top + fold + 1):  # the fold itself
        for x in range(right - fold + 1, right - fold + 1 + (y - top)):
            pixels[y][x] = SILVER if x < right - fold + (y - top) else BLACK
    pixels[top + fold][right - fold:right + 1] = [BLACK] * (fold + 1)
    first, last = header_rows
    for y in range(first, last + 1):
        for x in range(left + 2, right - fold - 1):
            pixels[y][x] = DARK_BLUE
        pixels[y][left + 2] = pixels[y][right - fold - 2] = YELLOW
    for y, key, equals in lines:
        for x in range(left + 2, right - 1):
            pixels[y][x] = GREY if x < left + 2 + key else RED if x < left + 2 + key + equals else BLUE
    return pixels


def icon():
    rows = [(y, 6 + (y * 3) % 5, 2) for y in range(12, 28, 3)]
    return sheet(32, 32, 4, 6, (4, 7), rows)


def toolbox():
    rows = [(y, 3 + y % 2, 1) for y in (6, 8, 10, 12)]
    return sheet(16, 15, 1, 3, (2, 3), rows)


def write_icon(path, pixels):
    size = len(pixels)
    xor = bytearray()
    mask = bytearray()
    for row in reversed(pixels):  # bottom-up
        for x in range(0, size, 2):
            hi, lo = (row[x] or 0), (row[x + 1] or 0)
            xor.append(hi << 4 | lo)
        bits = 0
        for x, colour in enumerate(row):
            bits = bits << 1 | (colour is TRANSPARENT)
        mask += bits.to_bytes(size // 8, "big")
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, len(xor) + len(mask), 0, 0, 16, 0)
    image = header + palette + bytes(xor) + bytes(mask)
    directory = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(image), 22)
    with open(path, "wb") as out:
        out.write(directory + image)


def write_bitmap(path, pixels, background=(192, 192, 192)):
    height, width = len(pixels), len(pixels[0])
    stride = (width * 3 + 3) & ~3
    data = bytearray()
    for row in reversed(pixels):
        line = bytearray()
        for colour in row:
            r, g, b = background if colour is TRANSPARENT else PALETTE[colour]
            line += bytes((b, g, r))
        data += line + bytes(stride - len(line))
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    file_header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(data), 0, 0, 14 + len(info))
    with open(path, "wb") as out:
        out.write(file_header + info + data)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit("usage: make_images.py ICON.ico BITMAP.bmp")
    write_icon(sys.argv[1], icon())
    write_bitmap(sys.argv[2], toolbox())
