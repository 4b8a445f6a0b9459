#!/usr/bin/env python3
"""Writes one illustration as a Windows BMP resource.

    write-bmp.py DEPTH WIDTH HEIGHT RAW_RGB OUT.bmp

RAW_RGB holds WIDTH*HEIGHT pixels, 3 bytes (R, G, B) each, top row first
(ImageMagick's "rgb:" output). DEPTH is 8, 4, 24 or rle8.

The file is a bottom-up DIB with a 40-byte BITMAPINFOHEADER. Depths 8, 4
and 24 are uncompressed (BI_RGB): 8-bit pictures carry a 256-entry colour
table (the picture must already be reduced to at most 256 colours), 4-bit
pictures the fixed 16-colour Windows palette (every pixel is mapped to the
nearest entry), 24-bit pictures no colour table. Rows are padded to 4
bytes. rle8 is the 8-bit form run-length encoded (BI_RLE8), which the
platform's bitmap loader expands itself: line art of a few flat colours
shrinks to about a fifth.
"""
import struct
import sys

VGA16 = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00),
    (0x80, 0x80, 0x00), (0x00, 0x00, 0x80), (0x80, 0x00, 0x80),
    (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0), (0x80, 0x80, 0x80),
    (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF),
    (0xFF, 0xFF, 0xFF),
]

PELS_PER_METER = 3780  # 96 dpi


def row_stride(width, depth):
    return ((width * depth + 31) // 32) * 4


def nearest(rgb, palette):
    best, best_d = 0, None
    for i, p in enumerate(palette):
        d = (rgb[0] - p[0]) ** 2 + (rgb[1] - p[1]) ** 2 + (rgb[2] - p[2]) ** 2
        if best_d is None or d < best_d:
            best, best_d = i, d
    return best


def rle8_row(row):
    """One row in BI_RLE8: runs of three or more equal pixels as a count and
    a value, the pixels between them in absolute mode (at least three, padded
    to a word), shorter stretches as runs of one or two; an end-of-line
    escape closes the row."""
    out = bytearray()
    i, n = 0, len(row)

    def run_at(k):
        j = k
        while j < n and j - k < 255 and row[j] == row[k]:
            j += 1
        return j - k

    while i < n:
        run = run_at(i)
        if run >= 3:
            out += bytes((run, row[i]))
            i += run
            continue
        k = i
        while k < n and k - i < 255 and run_at(k) < 3:
            k += 1
        literal = row[i:k]
        if len(literal) >= 3:
            out += bytes((0, len(literal))) + literal
            if len(literal) % 2:
                out += b"\0"
        else:
            for value in literal:
                out += bytes((1, value))
        i = k
    return bytes(out) + b"\0\0"


def encode(depth, width, height, raw):
    """Returns the bytes of the BMP file."""
    if len(raw) != width * height * 3:
        raise ValueError("expected %d bytes of RGB, got %d"
                         % (width * height * 3, len(raw)))
    pixels = [tuple(raw[i:i + 3]) for i in range(0, len(raw), 3)]
    stride = row_stride(width, 8 if depth == "rle8" else depth)
    rows = []
    if depth == 24:
        palette = []
        for y in range(height - 1, -1, -1):
            row = bytearray()
            for r, g, b in pixels[y * width:(y + 1) * width]:
                row += bytes((b, g, r))
            rows.append(bytes(row).ljust(stride, b"\0"))
    elif depth in (8, "rle8"):
        colours = sorted(set(pixels))
        if len(colours) > 256:
            raise ValueError("%d colours do not fit a 256-entry table"
                             % len(colours))
        index = {c: i for i, c in enumerate(colours)}
        palette = colours + [(0, 0, 0)] * (256 - len(colours))
        for y in range(height - 1, -1, -1):
            row = bytes(index[p] for p in pixels[y * width:(y + 1) * width])
            rows.append(rle8_row(row) if depth == "rle8" else row.ljust(stride, b"\0"))
    elif depth == 4:
        palette = VGA16
        cache = {}
        for y in range(height - 1, -1, -1):
            idx = []
            for p in pixels[y * width:(y + 1) * width]:
                if p not in cache:
                    cache[p] = nearest(p, VGA16)
                idx.append(cache[p])
            if len(idx) % 2:
                idx.append(0)
            row = bytes((idx[i] << 4) | idx[i + 1] for i in range(0, len(idx), 2))
            rows.append(row.ljust(stride, b"\0"))
    else:
        raise ValueError("unsupported depth %d" % depth)

    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    bits = b"".join(rows)
    compression = 0  # BI_RGB
    if depth == "rle8":
        bits += b"\0\1"  # end of bitmap
        depth, compression = 8, 1  # BI_RLE8
    offset = 14 + 40 + len(table)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, depth, compression,
                       len(bits), PELS_PER_METER, PELS_PER_METER,
                       len(palette), 0)
    head = struct.pack("<2sIHHI", b"BM", offset + len(bits), 0, 0, offset)
    return head + info + table + bits


def main(argv):
    if len(argv) != 6:
        sys.stderr.write(__doc__)
        return 2
    depth = argv[1] if argv[1] == "rle8" else int(argv[1])
    width, height = int(argv[2]), int(argv[3])
    with open(argv[4], "rb") as f:
        raw = f.read()
    data = encode(depth, width, height, raw)
    with open(argv[5], "wb") as f:
        f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
