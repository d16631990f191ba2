#!/usr/bin/env python3
"""Draws Velmora's icon and writes it as an icon file.

    make-icon.py OUTPUT.ico [--png PREVIEW.png]

The icon file holds one image, 64 x 64 pixels at 32 bits per pixel (BGRA with
alpha, bottom-up rows, then an all-clear AND mask): 16 958 bytes in all. The
picture: a dark rounded tile with three lanes of coloured headline bars gliding
to the left, the look of the ticker on a desktop. Standard library only.
"""
import math
import struct
import sys
import zlib

SIZE = 64
SUPERSAMPLE = 4
EXPECTED_FILE_SIZE = 16958


def rounded_rect_coverage(x, y, left, top, right, bottom, radius):
    """1 when (x, y) lies in the rounded rectangle, else 0."""
    if x < left or x > right or y < top or y > bottom:
        return 0.0
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return 1.0 if (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2 else 0.0


# Lanes of headline bars: (y centre, half height, [(x from, x to), ...], colour)
LANES = [
    (19.0, 4.2, [(14.0, 40.0), (45.0, 56.0)], (255, 82, 82)),
    (32.0, 4.2, [(8.0, 26.0), (31.0, 58.0)], (255, 214, 64)),
    (45.0, 4.2, [(18.0, 50.0)], (64, 220, 255)),
]
# Short motion streaks to the right of the bars.
STREAKS = [(19.0, 58.5, 61.0), (45.0, 52.5, 58.0)]


def shade(x, y):
    """Colour (r, g, b, a) at a point of the picture, 0..64 coordinates."""
    tile = rounded_rect_coverage(x, y, 1.0, 1.0, 63.0, 63.0, 12.0)
    if tile == 0.0:
        return (0, 0, 0, 0)
    # A deep blue tile, lighter at the top.
    t = y / SIZE
    colour = (int(28 + 20 * (1 - t)), int(36 + 30 * (1 - t)), int(72 + 60 * (1 - t)))
    for centre, half, bars, bar_colour in LANES:
        for start, end in bars:
            if rounded_rect_coverage(x, y, start, centre - half, end, centre + half, half):
                colour = bar_colour
    for centre, start, end in STREAKS:
        if start <= x <= end and abs(y - centre) <= 1.0:
            colour = (230, 236, 255)
    return colour + (255,)


def render():
    """Rows top-down of (r, g, b, a), supersampled for smooth edges."""
    rows = []
    step = 1.0 / SUPERSAMPLE
    for py in range(SIZE):
        row = []
        for px in range(SIZE):
            sums = [0, 0, 0, 0]
            for sy in range(SUPERSAMPLE):
                for sx in range(SUPERSAMPLE):
                    r, g, b, a = shade(px + (sx + 0.5) * step, py + (sy + 0.5) * step)
                    sums[0] += r * a
                    sums[1] += g * a
                    sums[2] += b * a
                    sums[3] += a
            alpha = sums[3]
            if alpha == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append((sums[0] // alpha, sums[1] // alpha, sums[2] // alpha,
                            alpha // (SUPERSAMPLE * SUPERSAMPLE)))
        rows.append(row)
    return rows


def icon_file(rows):
    header_size = 40
    pixels = b"".join(
        bytes((b, g, r, a)) for row in reversed(rows) for (r, g, b, a) in row)
    mask_row = ((SIZE + 31) // 32) * 4
    mask = bytes(mask_row * SIZE)
    image = struct.pack("<IiiHHIIiiII", header_size, SIZE, SIZE * 2, 1, 32, 0,
                        len(pixels) + len(mask), 0, 0, 0, 0) + pixels + mask
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 32, len(image), 6 + 16)
    return directory + entry + image


def png_file(rows):
    raw = b"".join(b"\x00" + b"".join(bytes(p) for p in row) for row in rows)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def main(argv):
    if len(argv) not in (2, 4) or (len(argv) == 4 and argv[2] != "--png"):
        print(__doc__.strip().splitlines()[2].strip(), file=sys.stderr)
        return 2
    rows = render()
    data = icon_file(rows)
    if len(data) != EXPECTED_FILE_SIZE:
        print(f"make-icon: made {len(data)} bytes, not {EXPECTED_FILE_SIZE}", file=sys.stderr)
        return 1
    with open(argv[1], "wb") as out:
        out.write(data)
    if len(argv) == 4:
        with open(argv[3], "wb") as out:
            out.write(png_file(rows))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
