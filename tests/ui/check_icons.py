#!/usr/bin/env python3
"""Fails unless every image of every icon given is transparent outside its picture:
wherever the AND mask lets the background through, the colour bits must be black
(the shell ANDs with the mask, then XORs with the colour); unless each image's
main shape (its most common opaque colour) has a contrast of at least 3:1 against
a light and a dark taskbar; and unless the icons differ in shape (their masks at
each size), not only in colour.
Usage: check_icons.py ICON...
"""
import itertools
import struct
import sys

TASKBARS = {"light": (243, 243, 243), "dark": (32, 32, 32)}
MIN_CONTRAST = 3.0


def luminance(rgb):
    def linear(channel):
        c = channel / 255
        return c / 12.92 if c <= 0.04045 else ((c + 0.055) / 1.055) ** 2.4
    r, g, b = (linear(c) for c in rgb)
    return 0.2126 * r + 0.7152 * g + 0.0722 * b


def contrast(a, b):
    high, low = sorted((luminance(a), luminance(b)), reverse=True)
    return (high + 0.05) / (low + 0.05)


def images(path):
    """(width, mask rows, opaque colours as (r, g, b)) per image of 8 bits or fewer."""
    data = open(path, "rb").read()
    count = struct.unpack_from("<HHH", data, 0)[2]
    for index in range(count):
        offset = struct.unpack_from("<I", data, 6 + 16 * index + 12)[0]
        header_size, width, double_height, _, bits = struct.unpack_from("<IiiHH", data, offset)
        height = double_height // 2
        if bits > 8:
            continue
        colours = struct.unpack_from("<I", data, offset + 32)[0] or (1 << bits)
        palette_at = offset + header_size
        palette = [tuple(data[palette_at + 4 * i + 2 - c] for c in range(3)) for i in range(colours)]
        xor_at = palette_at + 4 * colours
        xor_stride = (width * bits + 31) // 32 * 4
        and_at = xor_at + xor_stride * height
        and_stride = (width + 31) // 32 * 4
        mask = data[and_at:and_at + and_stride * height]
        opaque = []
        for row in range(height):
            for x in range(width):
                if not data[and_at + row * and_stride + x // 8] & (0x80 >> (x % 8)):
                    bit = x * bits
                    byte = data[xor_at + row * xor_stride + bit // 8]
                    opaque.append(palette[(byte >> (8 - bits - bit % 8)) & ((1 << bits) - 1)])
        yield width, mask, opaque


def seen_problems(paths):
    """The main shape's contrast on either taskbar, and icons alike in shape."""
    masks = {}
    for path in paths:
        for width, mask, opaque in images(path):
            masks.setdefault(width, []).append((path, mask))
            if not opaque:
                yield f"{path} ({width}px): nothing opaque"
                continue
            main = max(set(opaque), key=opaque.count)
            for taskbar, background in TASKBARS.items():
                ratio = contrast(main, background)
                if ratio < MIN_CONTRAST:
                    yield f"{path} ({width}px): main colour {main} has {ratio:.2f}:1 on a {taskbar} taskbar"
    for width, entries in masks.items():
        for (first, a), (second, b) in itertools.combinations(entries, 2):
            if a == b:
                yield f"{first} and {second} ({width}px): the same shape, told apart by colour alone"


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
    found = [line for path in sys.argv[1:] for line in problems(path)] + list(seen_problems(sys.argv[1:]))
    for line in found:
        print(line, file=sys.stderr)
    if not sys.argv[1:]:
        print("check_icons.py: no icon given", file=sys.stderr)
        return 2
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
