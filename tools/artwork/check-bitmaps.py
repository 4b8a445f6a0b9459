#!/usr/bin/env python3
"""Checks the illustration bitmaps and their resource script.

    check-bitmaps.py [BITMAP_DIR [RC_FILE]]

Defaults: oemui/doceventdlg/res/bitmaps and res/illustrations.rc.

Every bitmap must be a BMP file with a 40-byte BITMAPINFOHEADER, the
pixel size and depth the dialog's callers expect, no compression, a
positive (bottom-up) height, a colour table of exactly 256 (8-bit) or 16
(4-bit) entries and none at 24 bits, and sizes and offsets that agree with
the file's length. Its pixels must use only entries of its colour table,
the picture must not be empty, and the pictures that mark a page edge or
corner must contain the red of the mark. The resource script must name
all bitmaps, one line each, in ID order.
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

# Pictures without a marked page: a finger on a button, the screen button.
UNMARKED = {109, 122, 153}


def is_mark_red(rgb):
    r, g, b = rgb
    return r >= 200 and g <= 70 and b <= 70


def check_one(path, want):
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
    if compression != 0:
        fail("compression %d, expected BI_RGB (0)" % compression)
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
    if size_image not in (0, bits_len):
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
    for y in range(height):
        row = data[off_bits + y * stride: off_bits + (y + 1) * stride]
        if depth == 24:
            for x in range(width):
                b, g, r = row[3 * x:3 * x + 3]
                colours.add((r, g, b))
            pad = row[3 * width:]
        elif depth == 8:
            for x in range(width):
                used_index.add(row[x])
            pad = row[width:]
        else:
            for x in range(width):
                v = row[x // 2]
                used_index.add(v >> 4 if x % 2 == 0 else v & 15)
            pad = row[(width + 1) // 2:]
        if any(pad):
            fail("row %d has non-zero padding" % y)
            break
    if depth <= 8:
        limit = clr_used or entries
        bad = [i for i in used_index if i >= limit]
        if bad:
            fail("pixels use colour indices %s beyond the table" % sorted(bad))
        colours = {palette[i] for i in used_index if i < len(palette)}
    if len(colours) < 6:
        fail("only %d colours: picture looks empty" % len(colours))
    return errors, colours


def check_rc(rc_path, ids):
    errors = []
    with open(rc_path, encoding="ascii") as f:
        lines = [ln.rstrip("\r\n") for ln in f]
    entries = []
    for ln in lines:
        s = ln.strip()
        if not s or s.startswith("//") or s.startswith("/*") or s.startswith("*"):
            continue
        m = re.fullmatch(r'IDB_ILLUSTRATION_(\d+) BITMAP "bitmaps/(\d+)\.bmp"', s)
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
    bmp_dir = argv[1] if len(argv) > 1 else os.path.join(res, "bitmaps")
    rc_path = argv[2] if len(argv) > 2 else os.path.join(res, "illustrations.rc")
    failures = 0
    present = {int(n[:-4]) for n in os.listdir(bmp_dir)
               if re.fullmatch(r"\d+\.bmp", n)}
    for extra in sorted(present - set(EXPECTED)):
        print("FAIL %d.bmp: not one of the dialog's bitmaps" % extra)
        failures += 1
    for pid in sorted(EXPECTED):
        path = os.path.join(bmp_dir, "%d.bmp" % pid)
        if pid not in present:
            print("FAIL %d.bmp: missing" % pid)
            failures += 1
            continue
        result = check_one(path, EXPECTED[pid])
        if isinstance(result, tuple):
            errors, colours = result
            if pid not in UNMARKED and not any(is_mark_red(c) for c in colours):
                errors.append("no red position mark")
        else:
            errors, colours = result, set()
        w, h, d = EXPECTED[pid]
        if errors:
            failures += 1
            for e in errors:
                print("FAIL %d.bmp: %s" % (pid, e))
        else:
            print("ok   %d.bmp  %dx%d  %2d bpp  %3d colours  %6d bytes"
                  % (pid, w, h, d, len(colours), os.path.getsize(path)))
    if os.path.exists(rc_path):
        for e in check_rc(rc_path, EXPECTED):
            print("FAIL " + e)
            failures += 1
        if not failures:
            print("ok   %s: %d bitmaps in ID order"
                  % (os.path.relpath(rc_path), len(EXPECTED)))
    else:
        print("FAIL %s: missing" % rc_path)
        failures += 1
    print("%d bitmaps checked, %d failed" % (len(EXPECTED), failures)
          if failures else "all %d bitmaps pass" % len(EXPECTED))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
