#!/usr/bin/env python3
"""Draws Mendora's icon and hand pointer.

    make_images.py ICON.ico CURSOR.cur

The icon holds six images: 16 x 16 with 16 colours, 16 x 16 with 256 colours, and
48 x 48, 32 x 32, 24 x 24, 16 x 16 with 32-bit colour (a blue disc with a white
wrench). The cursor is a 32 x 32 two-colour pointing hand with its hot spot at the
fingertip, column 5, row 0.
"""

import math
import struct
import sys

# The pointing hand: '#' outline (black), '+' inside (white), '.' transparent.
HAND = """
.....##.........................
....#++#........................
....#++#........................
....#++#........................
....#++#........................
....#++###......................
....#++#++###...................
....#++#++#++##.................
.##.#++#++#++#+#................
#++##++++++++#++#...............
#+++#+++++++++++#...............
.#++++++++++++++#...............
..#+++++++++++++#...............
..#++++++++++++#................
...#+++++++++++#................
...#++++++++++#.................
....#+++++++++#.................
....#+++++++++#.................
....###########.................
"""


def hand_rows():
    rows = [line for line in HAND.strip("\n").split("\n")]
    rows = [r.ljust(32, ".") for r in rows]
    return rows + ["." * 32] * (32 - len(rows))


def cursor_bytes():
    rows = hand_rows()
    assert rows[0][5] == "#", "hot spot must be on the fingertip"
    xor, and_ = bytearray(), bytearray()
    for row in reversed(rows):  # bottom-up
        x_bits = a_bits = 0
        for c in row:
            x_bits = (x_bits << 1) | (c == "+")
            a_bits = (a_bits << 1) | (c == ".")
        xor += x_bits.to_bytes(4, "big")
        and_ += a_bits.to_bytes(4, "big")
    header = struct.pack("<IiiHHIIiiII", 40, 32, 64, 1, 1, 0, len(xor) + len(and_), 0, 0, 2, 2)
    palette = bytes([0, 0, 0, 0, 255, 255, 255, 0])
    image = header + palette + xor + and_
    directory = struct.pack("<HHH", 0, 2, 1) + struct.pack("<BBBBHHII", 32, 32, 2, 0, 5, 0, len(image), 22)
    return directory + image


def shade(x, y):
    """RGBA of the icon at (x, y) in [0, 1]^2."""
    dx, dy = x - 0.5, y - 0.5
    r = math.hypot(dx, dy)
    if r > 0.48:
        return (0, 0, 0, 0)
    # The wrench: a handle from lower left to upper right and an open ring at its head.
    hx, hy = 0.66, 0.34
    t = max(0.0, min(1.0, ((x - 0.28) * (hx - 0.28) + (y - 0.72) * (hy - 0.72)) / ((hx - 0.28) ** 2 + (hy - 0.72) ** 2)))
    px, py = 0.28 + t * (hx - 0.28), 0.72 + t * (hy - 0.72)
    on_handle = math.hypot(x - px, y - py) < 0.07
    ring = math.hypot(x - hx, y - hy)
    mouth = (x - hx) + (hy - y) > 0.10 and abs((x - hx) - (hy - y)) < 0.09
    on_head = 0.06 < ring < 0.17 and not mouth
    if on_handle or on_head:
        return (255, 255, 255, 255)
    light = 1.0 - 0.35 * (y)
    return (int(30 * light), int(110 * light), int(200 * light), 255)


def render(size, samples=4):
    pixels = []
    for j in range(size):
        row = []
        for i in range(size):
            acc = [0, 0, 0, 0]
            for sj in range(samples):
                for si in range(samples):
                    c = shade((i + (si + 0.5) / samples) / size, (j + (sj + 0.5) / samples) / size)
                    for k in range(3):
                        acc[k] += c[k] * c[3]
                    acc[3] += c[3]
            n = samples * samples
            a = acc[3] / n
            rgb = [int(acc[k] / acc[3]) if acc[3] else 0 for k in range(3)]
            row.append((rgb[0], rgb[1], rgb[2], int(round(a))))
        pixels.append(row)
    return pixels


VGA = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
       (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255),
       (255, 0, 255), (0, 255, 255), (255, 255, 255)]


def palette256():
    cube = [(r * 51, g * 51, b * 51) for r in range(6) for g in range(6) for b in range(6)]
    colours = VGA + cube
    return colours + [(0, 0, 0)] * (256 - len(colours))


def nearest(colour, palette):
    return min(range(len(palette)), key=lambda k: sum((colour[c] - palette[k][c]) ** 2 for c in range(3)))


def and_mask(pixels):
    size = len(pixels)
    stride = ((size + 31) // 32) * 4
    out = bytearray()
    for row in reversed(pixels):
        bits = 0
        for p in row:
            bits = (bits << 1) | (p[3] < 128)
        bits <<= stride * 8 - size
        out += bits.to_bytes(stride, "big")
    return out


def dib(pixels, bpp):
    size = len(pixels)
    if bpp == 32:
        xor = bytearray()
        for row in reversed(pixels):
            for r, g, b, a in row:
                xor += bytes([b, g, r, a])
        palette = b""
    else:
        colours = VGA if bpp == 4 else palette256()
        palette = b"".join(bytes([b, g, r, 0]) for r, g, b in colours)
        stride = ((size * bpp + 31) // 32) * 4
        xor = bytearray()
        for row in reversed(pixels):
            indices = [nearest(p, colours) if p[3] >= 128 else 0 for p in row]
            line = bytearray()
            if bpp == 4:
                for k in range(0, size, 2):
                    line.append((indices[k] << 4) | indices[k + 1])
            else:
                line += bytes(indices)
            xor += line + bytes(stride - len(line))
    mask = and_mask(pixels)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bpp, 0, len(xor) + len(mask), 0, 0,
                         0 if bpp == 32 else (16 if bpp == 4 else 256), 0)
    return header + palette + xor + mask


def icon_bytes():
    images = [(16, 4), (16, 8), (48, 32), (32, 32), (24, 32), (16, 32)]
    rendered = {size: render(size) for size in {s for s, _ in images}}
    blobs = [dib(rendered[size], bpp) for size, bpp in images]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for (size, bpp), blob in zip(images, blobs):
        colours = 16 if bpp == 4 else 0
        out += struct.pack("<BBBBHHII", size, size, colours, 0, 1, bpp, len(blob), offset)
        offset += len(blob)
    return out + b"".join(blobs)


def main():
    icon, cursor = sys.argv[1], sys.argv[2]
    with open(icon, "wb") as f:
        f.write(icon_bytes())
    with open(cursor, "wb") as f:
        f.write(cursor_bytes())


if __name__ == "__main__":
    main()
