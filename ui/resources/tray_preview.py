#!/usr/bin/env python3
"""Draws the built tray icons as the shell does (AND with the mask, then XOR with
the colour) over a light and a dark taskbar colour, four times enlarged, into PNG
files: what a user sees in the notification area, without a Windows shell.
Usage: tray_preview.py ARTWORK_DIR OUT_DIR
"""
import os
import struct
import sys
import zlib

TASKBARS = {"light": (243, 243, 243), "dark": (32, 32, 32)}
ZOOM = 4
SIZES = (16, 32)


def icon_images(path):
    """Yields (width, height, rows of (and_bit, (r, g, b))) per image, top row first."""
    data = open(path, "rb").read()
    count = struct.unpack_from("<HHH", data, 0)[2]
    for index in range(count):
        offset = struct.unpack_from("<I", data, 6 + 16 * index + 12)[0]
        header_size, width, double_height, _, bits = struct.unpack_from("<IiiHH", data, offset)
        height = double_height // 2
        colours = struct.unpack_from("<I", data, offset + 32)[0] or (1 << bits)
        palette_at = offset + header_size
        palette = [tuple(data[palette_at + 4 * i + 2 - c] for c in range(3)) for i in range(colours)]
        xor_at = palette_at + 4 * colours
        xor_stride = (width * bits + 31) // 32 * 4
        and_at = xor_at + xor_stride * height
        and_stride = (width + 31) // 32 * 4
        rows = []
        for row in range(height - 1, -1, -1):  # bottom-up in the file
            pixels = []
            for x in range(width):
                mask = data[and_at + row * and_stride + x // 8] & (0x80 >> (x % 8))
                bit = x * bits
                value = (data[xor_at + row * xor_stride + bit // 8] >> (8 - bits - bit % 8)) & ((1 << bits) - 1)
                pixels.append((1 if mask else 0, palette[value]))
            rows.append(pixels)
        yield width, height, rows


def shown(rows, background):
    """The shell's rule: (background AND mask) XOR colour."""
    out = []
    for row in rows:
        line = []
        for mask, colour in row:
            base = background if mask else (0, 0, 0)
            line.append(tuple(b ^ c for b, c in zip(base, colour)))
        out.append(line)
    return out


def write_png(path, rows):
    height, width = len(rows), len(rows[0])
    raw = b"".join(b"\0" + bytes(channel for pixel in row for channel in pixel) for row in rows)

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)

    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n")
        out.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
        out.write(chunk(b"IDAT", zlib.compress(raw, 9)))
        out.write(chunk(b"IEND", b""))


def main():
    artwork, out_dir = sys.argv[1], sys.argv[2]
    os.makedirs(out_dir, exist_ok=True)
    for name, background in TASKBARS.items():
        tiles = []
        for icon in ("hrm_enable", "hrm_low_battery", "hrm_disable"):
            for width, height, rows in icon_images(os.path.join(artwork, icon + ".ico")):
                if width in SIZES:
                    tiles.append(shown(rows, background))
        gap = 8
        height = max(len(t) for t in tiles) * ZOOM + 2 * gap
        width = sum(len(t[0]) * ZOOM + gap for t in tiles) + gap
        canvas = [[background] * width for _ in range(height)]
        left = gap
        for tile in tiles:
            top = (height - len(tile) * ZOOM) // 2
            for y, row in enumerate(tile):
                for x, pixel in enumerate(row):
                    for dy in range(ZOOM):
                        for dx in range(ZOOM):
                            canvas[top + y * ZOOM + dy][left + x * ZOOM + dx] = pixel
            left += len(tile[0]) * ZOOM + gap
        write_png(os.path.join(out_dir, f"tray-icons-{name}-taskbar.png"), canvas)


if __name__ == "__main__":
    main()
