#!/usr/bin/python3
"""Draws one of the programs' icons and writes it as a Windows .ico file.

Every icon group holds the same eleven images: 128, 48, 32, 24 and 16 pixels
at 8 bits per pixel, then 256, 128, 48, 32, 24 and 16 pixels at 32 bits per pixel.
usage: make_icon.py STYLE OUTPUT.ico
"""
import struct
import sys

STYLES = {
    # name: (background RGB, mark RGB)
    "app": ((0x00, 0x33, 0xBC), (0xFF, 0xFF, 0xFF)),
    "app-doc": ((0x2A, 0x6F, 0xD8), (0xFF, 0xFF, 0xFF)),
    "loader": ((0x1B, 0x8A, 0x4A), (0xFF, 0xFF, 0xFF)),
    "loader-doc": ((0x37, 0xA8, 0x65), (0xFF, 0xFF, 0xFF)),
    "reporter": ((0xD0, 0x5A, 0x10), (0xFF, 0xFF, 0xFF)),
    "reporter-alt": ((0xB0, 0x30, 0x30), (0xFF, 0xFF, 0xFF)),
}
IMAGES = [(128, 8), (48, 8), (32, 8), (24, 8), (16, 8),
          (256, 32), (128, 32), (48, 32), (32, 32), (24, 32), (16, 32)]


def coverage(size, x, y):
    """Fraction 0..1 of the disc, and whether the pixel is on the mark (a V)."""
    samples = 4
    disc = mark = 0
    for sy in range(samples):
        for sx in range(samples):
            u = (x + (sx + 0.5) / samples) / size * 2 - 1
            v = (y + (sy + 0.5) / samples) / size * 2 - 1
            if u * u + v * v <= 0.94:
                disc += 1
                # Two strokes meeting at the bottom: |u| = (0.55 - v) * 0.55
                if -0.55 <= v <= 0.6 and abs(abs(u) - (0.6 - v) * 0.5) < 0.14:
                    mark += 1
    n = samples * samples
    return disc / n, mark / n


def pixels(size, style):
    back, fore = STYLES[style]
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            d, m = coverage(size, x, y)
            colour = tuple(round(b * (d - m) / d + f * m / d) if d else 0 for b, f in zip(back, fore))
            row.append((colour, d))
        rows.append(row)
    return rows


def palette_index(rgb):
    r, g, b = rgb
    return (r >> 5) << 5 | (g >> 5) << 2 | (b >> 6)


PALETTE = b"".join(struct.pack("<BBBB", ((i & 3) * 255) // 3, (((i >> 2) & 7) * 255) // 7,
                               (((i >> 5) & 7) * 255) // 7, 0) for i in range(256))


def mask_rows(rows, size):
    stride = ((size + 31) // 32) * 4
    out = b""
    for row in reversed(rows):
        bits = bytearray(stride)
        for x, (_, d) in enumerate(row):
            if d < 0.5:
                bits[x // 8] |= 0x80 >> (x % 8)
        out += bytes(bits)
    return out


def dib(size, bpp, rows):
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bpp, 0, 0, 0, 0,
                         256 if bpp == 8 else 0, 0)
    body = b""
    if bpp == 8:
        body += PALETTE
        stride = (size + 3) & ~3
        for row in reversed(rows):
            line = bytes(palette_index(c) if d >= 0.5 else 0 for c, d in row)
            body += line + b"\0" * (stride - size)
    else:
        for row in reversed(rows):
            body += b"".join(struct.pack("<BBBB", c[2], c[1], c[0], round(d * 255)) for c, d in row)
    return header + body + mask_rows(rows, size)


def main():
    style, output = sys.argv[1], sys.argv[2]
    cache = {}
    images = []
    for size, bpp in IMAGES:
        if size not in cache:
            cache[size] = pixels(size, style)
        rows = cache[size]
        images.append((size, bpp, dib(size, bpp, rows)))
    offset = 6 + 16 * len(images)
    directory = struct.pack("<HHH", 0, 1, len(images))
    data = b""
    for size, bpp, blob in images:
        directory += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, bpp, len(blob), offset + len(data))
        data += blob
    with open(output, "wb") as f:
        f.write(directory + data)


if __name__ == "__main__":
    main()
