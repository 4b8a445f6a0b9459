#!/usr/bin/env python3
"""Reads the resources of a PE image (any machine) for the package checks.

  pe_resources.py list <dll>       one line per resource: type name language size sha256
  pe_resources.py dialogs <dll>    one line per dialog: name form exstyle items
  pe_resources.py bitmaps <dll>    one line per bitmap: name width height bits
  pe_resources.py version <dll>    the fixed file and product versions, a.b.c.d
  pe_resources.py manifest <dll>   the text of manifest 2

Names and types are numbers (resources named by strings print their name).
Exits 1 with a message when the image or its resource tree is malformed.
"""
import hashlib
import struct
import sys

RT_BITMAP, RT_DIALOG, RT_VERSION, RT_MANIFEST = 2, 5, 16, 24
WS_EX_LAYOUTRTL = 0x00400000


class Malformed(Exception):
    pass


def unpack(data, offset, fmt):
    size = struct.calcsize(fmt)
    if offset < 0 or offset + size > len(data):
        raise Malformed(f"read of {size} bytes at {offset:#x} past the end")
    return struct.unpack_from(fmt, data, offset)


def sections(image):
    (pe,) = unpack(image, 0x3C, "<I")
    if image[pe:pe + 4] != b"PE\0\0":
        raise Malformed("no PE signature")
    _, count, _, _, _, optional_size, _ = unpack(image, pe + 4, "<HHIIIHH")
    optional = pe + 24
    (magic,) = unpack(image, optional, "<H")
    directories = optional + (112 if magic == 0x20B else 96)
    resource_rva, resource_size = unpack(image, directories + 2 * 8, "<II")
    table = optional + optional_size
    result = []
    for index in range(count):
        _, virtual_size, rva, raw_size, raw_offset = unpack(image, table + 40 * index, "<8sIIII")
        result.append((rva, max(virtual_size, raw_size), raw_offset))
    return resource_rva, resource_size, result


def file_offset(layout, rva):
    for start, size, raw in layout:
        if start <= rva < start + size:
            return raw + rva - start
    raise Malformed(f"RVA {rva:#x} lies in no section")


def resources(path):
    """Every leaf of the resource tree as (type, name, language, bytes)."""
    with open(path, "rb") as handle:
        image = handle.read()
    resource_rva, resource_size, layout = sections(image)
    if resource_rva == 0 or resource_size == 0:
        return []
    base = file_offset(layout, resource_rva)

    def label(entry_name):
        if entry_name & 0x80000000:
            offset = base + (entry_name & 0x7FFFFFFF)
            (length,) = unpack(image, offset, "<H")
            return image[offset + 2:offset + 2 + 2 * length].decode("utf-16-le")
        return entry_name

    def walk(offset, depth, path_so_far, found):
        if depth > 2:
            raise Malformed("resource tree deeper than three levels")
        _, _, _, _, named, numbered = unpack(image, base + offset, "<IIHHHH")
        for index in range(named + numbered):
            entry_name, target = unpack(image, base + offset + 16 + 8 * index, "<II")
            key = path_so_far + [label(entry_name)]
            if target & 0x80000000:
                walk(target & 0x7FFFFFFF, depth + 1, key, found)
            else:
                data_rva, size, _, _ = unpack(image, base + target, "<IIII")
                start = file_offset(layout, data_rva)
                if start + size > len(image):
                    raise Malformed(f"resource {key} runs past the end of the file")
                found.append((*key, image[start:start + size]))
        return found

    return walk(0, 0, [], [])


def dialog_items(data):
    """The form (DIALOG or DIALOGEX), extended style and control count."""
    signature, version = unpack(data, 0, "<HH")
    if signature == 1 and version == 0xFFFF:
        _, exstyle, _, items = unpack(data, 4, "<IIIH")
        return "DIALOGEX", exstyle, items
    _, exstyle, items = unpack(data, 0, "<IIH")
    return "DIALOG", exstyle, items


def fixed_versions(data):
    # VS_VERSIONINFO: wLength, wValueLength, wType, "VS_VERSION_INFO\0", padding,
    # then VS_FIXEDFILEINFO, which starts with its signature.
    offset = data.find(struct.pack("<I", 0xFEEF04BD))
    if offset < 0:
        raise Malformed("no VS_FIXEDFILEINFO in the version resource")
    _, _, file_ms, file_ls, product_ms, product_ls = unpack(data, offset, "<IIIIII")

    def text(ms, ls):
        return f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}"

    return text(file_ms, file_ls), text(product_ms, product_ls)


def main(argv):
    if len(argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    command, path = argv[1], argv[2]
    entries = resources(path)
    if command == "list":
        for kind, name, language, data in entries:
            print(kind, name, language, len(data), hashlib.sha256(data).hexdigest())
    elif command == "dialogs":
        for kind, name, _, data in entries:
            if kind == RT_DIALOG:
                form, exstyle, items = dialog_items(data)
                print(name, form, f"{exstyle:#010x}", items)
    elif command == "bitmaps":
        for kind, name, _, data in entries:
            if kind == RT_BITMAP:
                header, width, height, _, bits = unpack(data, 0, "<IiiHH")
                if header < 40:
                    raise Malformed(f"bitmap {name} has a header of {header} bytes")
                print(name, width, abs(height), bits)
    elif command == "version":
        blocks = [data for kind, _, _, data in entries if kind == RT_VERSION]
        if len(blocks) != 1:
            raise Malformed(f"{len(blocks)} version resources")
        print(*fixed_versions(blocks[0]))
    elif command == "manifest":
        texts = [data for kind, name, _, data in entries if kind == RT_MANIFEST and name == 2]
        if len(texts) != 1:
            raise Malformed(f"{len(texts)} manifests with ID 2")
        sys.stdout.write(texts[0].decode("utf-8"))
    else:
        print(__doc__, file=sys.stderr)
        return 2
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main(sys.argv))
    except (Malformed, OSError, UnicodeDecodeError) as error:
        print(f"{sys.argv[-1]}: {error}", file=sys.stderr)
        sys.exit(1)
