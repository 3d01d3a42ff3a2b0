#!/usr/bin/env python3
"""Fails unless every image of every icon given is transparent outside its picture:
wherever the AND mask lets the background through, the colour bits must be black
(the shell ANDs with the mask, then XORs with the colour).
Usage: check_icons.py ICON...
"""
import struct
import sys


def problems(path):
    data = open(path, "rb").read()
    _, kind, count = struct.unpack_from("<HHH", data, 0)
    if kind != 1 or count == 0:
        yield f"{path}: not an icon file"
        return
    for index in range(count):
        size_byte, _, _, _, _, _, length, offset = struct.unpack_from("<BBBBHHII", data, 6 + 16 * index)
        header_size, width, double_height, _, bits = struct.unpack_from("<IiiHH", data, offset)
        height = double_height // 2
        if bits > 8:
            yield f"{path} image {index}: {bits} bits a pixel, not checked"
            continue
        colours = struct.unpack_from("<I", data, offset + 32)[0] or (1 << bits)
        palette_at = offset + header_size
        palette = [data[palette_at + 4 * i: palette_at + 4 * i + 3] for i in range(colours)]
        xor_at = palette_at + 4 * colours
        xor_stride = (width * bits + 31) // 32 * 4
        and_at = xor_at + xor_stride * height
        and_stride = (width + 31) // 32 * 4
        showing = 0
        for row in range(height):
            for x in range(width):
                transparent = data[and_at + row * and_stride + x // 8] & (0x80 >> (x % 8))
                bit = x * bits
                byte = data[xor_at + row * xor_stride + bit // 8]
                value = (byte >> (8 - bits - bit % 8)) & ((1 << bits) - 1)
                if transparent and palette[value] != b"\0\0\0":
                    showing += 1
        if showing:
            yield f"{path} image {index} ({width}x{height}): {showing} transparent pixels carry a colour"


def main():
    found = [line for path in sys.argv[1:] for line in problems(path)]
    for line in found:
        print(line, file=sys.stderr)
    if not sys.argv[1:]:
        print("check_icons.py: no icon given", file=sys.stderr)
        return 2
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
