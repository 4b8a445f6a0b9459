#!/usr/bin/env python3
"""Writes the seed corpus of fuzz_string_block into corpus/string_block/.

Each input: the entry index (1 byte), the buffer capacity in units (2 bytes,
little-endian), then the block as little-endian 16-bit units.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "corpus", "string_block")


def entry(text):
    units = [ord(c) for c in text]
    return [len(units)] + units


def seed(name, index, capacity, units):
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(struct.pack("<BH", index, capacity))
        f.write(struct.pack("<%dH" % len(units), *units))


def main():
    os.makedirs(OUT, exist_ok=True)
    sixteen = []
    for i in range(16):
        sixteen += entry("s%d" % i) if i % 3 else [0]
    seed("well-formed-last", 15, 256, sixteen)
    seed("well-formed-empty", 3, 256, sixteen)
    seed("short-block", 5, 256, entry("a") + [0] + entry("bc"))
    seed("count-past-end", 2, 256, [0, 0, 100, ord("x"), ord("y")])
    seed("nul-first", 0, 256, [3, 0, ord("x"), ord("y")] + [0] * 15)
    seed("nul-inside", 0, 256, entry("ab\0cd") + [0] * 15)
    seed("long-entry-cut", 0, 256, [300] + [ord("0") + i % 10 for i in range(300)] + [0] * 15)
    seed("capacity-one", 0, 1, entry("abc") + [0] * 15)
    seed("capacity-zero", 0, 0, entry("abc") + [0] * 15)
    seed("index-out-of-range", 16, 256, sixteen + entry("extra"))
    seed("empty-block", 0, 256, [])


if __name__ == "__main__":
    main()
