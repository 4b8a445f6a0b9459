#!/usr/bin/env python3
"""Checks the illustration bitmaps and their resource script.

    check-bitmaps.py [BITMAP_DIR [RC_FILE]]
    check-bitmaps.py --2x [BITMAP_DIR [RC_FILE]]

Defaults: oemui/doceventdlg/res/bitmaps and res/illustrations.rc; with
--2x, the pictures at twice the size, res/bitmaps-2x and
res/illustrations-2x.rc.

Every bitmap must be a BMP file with a 40-byte BITMAPINFOHEADER, the
pixel size and depth the dialog's callers expect, no compression, a
positive (bottom-up) height, a colour table of exactly 256 (8-bit) or 16
(4-bit) entries and none at 24 bits, and sizes and offsets that agree with
the file's length. Its pixels must use only entries of its colour table,
the picture must not be empty, and the pictures that mark a page edge or
corner must contain the red of the mark. The resource script must name
all bitmaps, one line each, in ID order.

The pictures at twice the size are 8-bit and run-length encoded
(BI_RLE8): their runs must fill every row exactly and end with the end of
the bitmap inside the file, and each must show the picture of its ID in
the table: halved by averaging 2 x 2 blocks it must come close to the
table's picture (checked when res/bitmaps is beside the folder).
"""
import os
import re
import struct
import sys

EXPECTED = {
    105: (155, 100, 8), 106: (155, 100, 8), 107: (155, 100, 8),
    108: (155, 100, 8), 109: (155, 100, 8), 110: (155, 100, 8),
    111: (155, 100, 8), 112: (155, 100, 8), 113: (155, 100, 8),
    114: (155, 100, 8), 115: (155, 100, 8), 116: (155, 100, 8),
    117: (155, 100, 8), 118: (155, 100, 8), 119: (155, 100, 8),
    120: (155, 100, 8), 121: (155, 100, 8), 122: (155, 100, 8),
    123: (155, 100, 8), 133: (155, 100, 8), 134: (155, 100, 8),
    146: (155, 100, 8), 147: (155, 100, 4), 149: (155, 100, 8),
    151: (155, 100, 8), 152: (155, 100, 8), 153: (155, 100, 4),
    154: (152, 98, 24), 155: (155, 100, 4),
}

# The larger pictures: twice the size, 8 bits, BI_RLE8, whatever the depth
# of the table's picture.
EXPECTED_2X = {pid: (2 * w, 2 * h, 8) for pid, (w, h, _) in EXPECTED.items()}
BI_RGB, BI_RLE8 = 0, 1

# Pictures without a marked page: a finger on a button, the screen button.
UNMARKED = {109, 122, 153}


def decode_rle8(bits, width, height):
    """The rows (bottom row first) of a BI_RLE8 stream, or an error text.
    Every row must be filled exactly; delta escapes are not used here."""
    rows, row, i = [], bytearray(), 0
    while True:
        if i + 2 > len(bits):
            return "the runs end without an end of bitmap"
        count, value = bits[i], bits[i + 1]
        i += 2
        if count:
            row += bytes((value,)) * count
        elif value == 0 or value == 1:  # end of line, end of bitmap
            if len(row) != width:
                return "row %d has %d pixels" % (len(rows), len(row))
            rows.append(bytes(row))
            row = bytearray()
            if value == 1 or len(rows) == height:
                if value == 0 and bits[i:i + 2] == b"\0\1":
                    i += 2
                elif value == 0:
                    return "no end of bitmap after the last row"
                break
        elif value == 2:
            return "delta escape at byte %d" % (i - 2)
        else:
            if i + value > len(bits):
                return "absolute run past the end"
            row += bits[i:i + value]
            i += value + (value & 1)
        if len(row) > width:
            return "row %d runs past its width" % len(rows)
    if len(rows) != height:
        return "%d rows, expected %d" % (len(rows), height)
    if i != len(bits):
        return "%d bytes after the end of bitmap" % (len(bits) - i)
    return rows


def is_mark_red(rgb):
    r, g, b = rgb
    return r >= 200 and g <= 70 and b <= 70


def check_one(path, want, compression_wanted=BI_RGB):
    """The errors of one file, and its colours and pixels (rows top first,
    (r, g, b) each) when its header is sound."""
    errors = []
    with open(path, "rb") as f:
        data = f.read()

    def fail(msg):
        errors.append(msg)
        return errors

    if len(data) < 54:
        return fail("file too short (%d bytes)" % len(data))
    magic, bf_size, res1, res2, off_bits = struct.unpack_from("<2sIHHI", data, 0)
    (bi_size, width, height, planes, bpp, compression, size_image, xppm, yppm,
     clr_used, clr_important) = struct.unpack_from("<IiiHHIIiiII", data, 14)
    if magic != b"BM":
        fail("signature %r, not BM" % magic)
    if bf_size != len(data):
        fail("bfSize %d, file has %d bytes" % (bf_size, len(data)))
    if res1 or res2:
        fail("reserved header words not 0")
    if bi_size != 40:
        fail("info header is %d bytes, not 40" % bi_size)
    w, h, depth = want
    if width != w:
        fail("width %d, expected %d" % (width, w))
    if height <= 0:
        fail("height %d: not a bottom-up DIB" % height)
    elif height != h:
        fail("height %d, expected %d" % (height, h))
    if planes != 1:
        fail("planes %d" % planes)
    if bpp != depth:
        fail("%d bits per pixel, expected %d" % (bpp, depth))
    if compression != compression_wanted:
        fail("compression %d, expected %s" % (compression, "BI_RLE8 (1)"
             if compression_wanted == BI_RLE8 else "BI_RGB (0)"))
    if errors:
        return errors
    entries = (1 << depth) if depth <= 8 else 0
    if depth <= 8 and clr_used not in (0, entries):
        fail("biClrUsed %d, expected 0 or %d" % (clr_used, entries))
    if depth > 8 and clr_used != 0:
        fail("biClrUsed %d on a %d-bit bitmap" % (clr_used, depth))
    if clr_important > entries:
        fail("biClrImportant %d" % clr_important)
    table_bytes = entries * 4
    if off_bits != 14 + 40 + table_bytes:
        fail("bfOffBits %d, expected %d (header + %d-entry table)"
             % (off_bits, 14 + 40 + table_bytes, entries))
    stride = ((width * depth + 31) // 32) * 4
    bits_len = stride * height
    decoded = None
    if compression == BI_RLE8:
        bits_len = len(data) - off_bits
        if size_image != bits_len:
            fail("biSizeImage %d, the runs take %d bytes" % (size_image, bits_len))
        decoded = decode_rle8(data[off_bits:], width, height)
        if isinstance(decoded, str):
            fail(decoded)
        stride = width
    elif size_image not in (0, bits_len):
        fail("biSizeImage %d, expected %d" % (size_image, bits_len))
    if len(data) != 14 + 40 + table_bytes + bits_len:
        fail("file has %d bytes, header + table + rows make %d"
             % (len(data), 14 + 40 + table_bytes + bits_len))
    if errors:
        return errors

    palette = []
    for i in range(entries):
        b, g, r, zero = struct.unpack_from("<BBBB", data, 54 + 4 * i)
        if zero:
            fail("colour table entry %d has a non-zero fourth byte" % i)
        palette.append((r, g, b))

    colours = set()
    used_index = set()
    pixels = []
    for y in range(height):
        if decoded is not None:
            row = decoded[y]
        else:
            row = data[off_bits + y * stride: off_bits + (y + 1) * stride]
        line = []
        if depth == 24:
            for x in range(width):
                b, g, r = row[3 * x:3 * x + 3]
                colours.add((r, g, b))
                line.append((r, g, b))
            pad = row[3 * width:]
        elif depth == 8:
            for x in range(width):
                used_index.add(row[x])
                line.append(row[x])
            pad = row[width:]
        else:
            for x in range(width):
                v = row[x // 2]
                used_index.add(v >> 4 if x % 2 == 0 else v & 15)
                line.append(v >> 4 if x % 2 == 0 else v & 15)
            pad = row[(width + 1) // 2:]
        pixels.append(line)
        if any(pad):
            fail("row %d has non-zero padding" % y)
            break
    if depth <= 8:
        limit = clr_used or entries
        bad = [i for i in used_index if i >= limit]
        if bad:
            fail("pixels use colour indices %s beyond the table" % sorted(bad))
        colours = {palette[i] for i in used_index if i < len(palette)}
        if bad:
            return errors
        pixels = [[palette[i] for i in line] for line in pixels]
    if len(colours) < 6:
        fail("only %d colours: picture looks empty" % len(colours))
    pixels.reverse()  # top row first
    return errors, colours, pixels


def grey(pixels, halve=False):
    """The picture as one grey level per pixel, rows joined; halve averages
    2 x 2 blocks first."""
    if not halve:
        return [(r + g + b) / 3.0 for line in pixels for (r, g, b) in line]
    out = []
    for y in range(0, len(pixels) - 1, 2):
        top, bottom = pixels[y], pixels[y + 1]
        for x in range(0, len(top) - 1, 2):
            out.append(sum(sum(p) for p in (top[x], top[x + 1], bottom[x], bottom[x + 1])) / 12.0)
    return out


def mean_difference(a, b):
    return sum(abs(p - q) for p, q in zip(a, b)) / float(len(a))


def check_rc(rc_path, ids, larger=False):
    errors = []
    with open(rc_path, encoding="ascii") as f:
        lines = [ln.rstrip("\r\n") for ln in f]
    entries = []
    for ln in lines:
        s = ln.strip()
        if not s or s.startswith("//") or s.startswith("/*") or s.startswith("*"):
            continue
        pattern = (r'IDB_ILLUSTRATION_(\d+)_2X BITMAP "bitmaps-2x/(\d+)\.bmp"' if larger
                   else r'IDB_ILLUSTRATION_(\d+) BITMAP "bitmaps/(\d+)\.bmp"')
        m = re.fullmatch(pattern, s)
        if not m or m.group(1) != m.group(2):
            errors.append("unexpected line in %s: %r" % (rc_path, ln))
            continue
        entries.append(int(m.group(1)))
    if entries != sorted(ids):
        errors.append("%s names %s, expected %s in ID order"
                      % (rc_path, entries, sorted(ids)))
    return errors


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    res = os.path.join(here, "..", "..", "oemui", "doceventdlg", "res")
    larger = len(argv) > 1 and argv[1] == "--2x"
    if larger:
        argv = argv[:1] + argv[2:]
    expected = EXPECTED_2X if larger else EXPECTED
    bmp_dir = argv[1] if len(argv) > 1 else os.path.join(
        res, "bitmaps-2x" if larger else "bitmaps")
    rc_path = argv[2] if len(argv) > 2 else os.path.join(
        res, "illustrations-2x.rc" if larger else "illustrations.rc")
    # The table's pictures, to compare the larger ones with.
    small_dir = os.path.join(os.path.dirname(os.path.abspath(bmp_dir)), "bitmaps")
    small_greys = {}
    if larger:
        for pid in EXPECTED:
            small = os.path.join(small_dir, "%d.bmp" % pid)
            result = check_one(small, EXPECTED[pid]) if os.path.exists(small) else None
            if isinstance(result, tuple):
                small_greys[pid] = grey(result[2])
    failures = 0
    present = {int(n[:-4]) for n in os.listdir(bmp_dir)
               if re.fullmatch(r"\d+\.bmp", n)}
    for extra in sorted(present - set(expected)):
        print("FAIL %d.bmp: not one of the dialog's bitmaps" % extra)
        failures += 1
    for pid in sorted(expected):
        path = os.path.join(bmp_dir, "%d.bmp" % pid)
        if pid not in present:
            print("FAIL %d.bmp: missing" % pid)
            failures += 1
            continue
        result = check_one(path, expected[pid], BI_RLE8 if larger else BI_RGB)
        if isinstance(result, tuple):
            errors, colours, pixels = result
            if pid not in UNMARKED and not any(is_mark_red(c) for c in colours):
                errors.append("no red position mark")
            if larger and pid in small_greys:
                # Halved, it must come nearest to its own picture of the table
                # among those of its size: edges land on other pixels at the
                # other size, but another picture differs more.
                halved = grey(pixels, halve=True)
                own = mean_difference(halved, small_greys[pid])
                nearest = min((mean_difference(halved, g), other)
                              for other, g in small_greys.items()
                              if len(g) == len(halved))
                if own > 12 or nearest[1] != pid:
                    errors.append("halved, it differs from the table's %d by %.1f "
                                  "grey levels on average, from %d by %.1f"
                                  % (pid, own, nearest[1], nearest[0]))
        else:
            errors, colours = result, set()
        w, h, d = expected[pid]
        if errors:
            failures += 1
            for e in errors:
                print("FAIL %d.bmp: %s" % (pid, e))
        else:
            print("ok   %d.bmp  %dx%d  %2d bpp  %3d colours  %6d bytes"
                  % (pid, w, h, d, len(colours), os.path.getsize(path)))
    if os.path.exists(rc_path):
        for e in check_rc(rc_path, expected, larger):
            print("FAIL " + e)
            failures += 1
        if not failures:
            print("ok   %s: %d bitmaps in ID order"
                  % (os.path.relpath(rc_path), len(expected)))
    else:
        print("FAIL %s: missing" % rc_path)
        failures += 1
    print("%d bitmaps checked, %d failed" % (len(expected), failures)
          if failures else "all %d bitmaps pass" % len(expected))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
