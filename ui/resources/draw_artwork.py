#!/usr/bin/env python3
"""Draws Tovira's pictures and tray icons as 16-colour BMP and ICO files.

    python3 ui/resources/draw_artwork.py [OUTPUT_FOLDER]

The shapes are simple geometry (circles, rectangles) on the standard 16-colour
palette, so that the files are small, crisp at 100 % and regenerated the same
way every time. The build runs this script; nothing drawn is committed."""
import math
import os
import struct
import sys

# The 16-colour (VGA) palette, as (R, G, B).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
    (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255),
    (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, DARK_RED, DARK_GREEN, OLIVE, NAVY, PURPLE, TEAL, SILVER, GREY, RED, GREEN, YELLOW, BLUE, \
    MAGENTA, CYAN, WHITE = range(16)


def canvas(width, height, fill):
    return [[fill] * width for _ in range(height)]


def disc(pixels, cx, cy, radius, colour, outline=None, line=1.0):
    for y, row in enumerate(pixels):
        for x in range(len(row)):
            distance = math.hypot(x + 0.5 - cx, y + 0.5 - cy)
            if distance <= radius:
                row[x] = colour
                if outline is not None and distance > radius - line:
                    row[x] = outline


def rect(pixels, left, top, right, bottom, colour):
    for y in range(top, bottom):
        for x in range(left, right):
            pixels[y][x] = colour


def rows_4bpp(pixels):
    """Bottom-up rows, two pixels a byte, each row padded to 4 bytes."""
    data = b""
    for row in reversed(pixels):
        packed = bytearray()
        for x in range(0, len(row), 2):
            high = row[x]
            low = row[x + 1] if x + 1 < len(row) else 0
            packed.append((high << 4) | low)
        while len(packed) % 4:
            packed.append(0)
        data += bytes(packed)
    return data


def palette_bytes():
    return b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)


def info_header(width, height, bits, image_size):
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, image_size, 2835, 2835,
                       16 if bits == 4 else 0, 0)


def write_bmp(path, pixels):
    height, width = len(pixels), len(pixels[0])
    pixel_data = rows_4bpp(pixels)
    header = info_header(width, height, 4, len(pixel_data)) + palette_bytes()
    offset = 14 + len(header)
    with open(path, "wb") as out:
        out.write(b"BM" + struct.pack("<IHHI", offset + len(pixel_data), 0, 0, offset))
        out.write(header + pixel_data)


def write_bmp_24(path, pixels):
    height, width = len(pixels), len(pixels[0])
    data = b""
    for row in reversed(pixels):
        packed = b"".join(struct.pack("<BBB", PALETTE[c][2], PALETTE[c][1], PALETTE[c][0]) for c in row)
        data += packed + b"\0" * ((4 - len(packed) % 4) % 4)
    header = info_header(width, height, 24, len(data))
    with open(path, "wb") as out:
        out.write(b"BM" + struct.pack("<IHHI", 14 + len(header) + len(data), 0, 0, 14 + len(header)))
        out.write(header + data)


def icon_image(pixels, transparent):
    size = len(pixels)
    # Where the mask lets the background through, the colour must be black: the
    # shell ANDs with the mask, then XORs with the colour, so any other colour
    # there would show (as a bright box on a light taskbar).
    xor = rows_4bpp([[BLACK if colour == transparent else colour for colour in row] for row in pixels])
    mask = b""
    for row in reversed(pixels):
        bits = bytearray((size + 31) // 32 * 4)
        for x, colour in enumerate(row):
            if colour == transparent:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(bits)
    return info_header(size, size * 2, 4, len(xor) + len(mask)) + palette_bytes() + xor + mask


def write_ico(path, images):
    """`images`: (pixels, transparent colour) per size."""
    blobs = [icon_image(pixels, transparent) for pixels, transparent in images]
    offset = 6 + 16 * len(blobs)
    with open(path, "wb") as out:
        out.write(struct.pack("<HHH", 0, 1, len(blobs)))
        for (pixels, _), blob in zip(images, blobs):
            size = len(pixels)
            out.write(struct.pack("<BBBBHHII", size % 256, size % 256, 16, 0, 1, 4, len(blob), offset))
            offset += len(blob)
        for blob in blobs:
            out.write(blob)


# The display scalings Windows offers, in percent; each picture is drawn once per
# scaling so that the window never stretches a bitmap.
SCALES = (100, 125, 150, 175, 200, 250, 300)
PICTURES = ("btn_on", "btn_off", "enable", "disable", "low_bat", "decoration", "version_picture")


def px(value, scale):
    return int(value * scale / 100 + 0.5)  # half up, as the window rounds its lengths


def button(width, pressed, scale):
    pixels = canvas(px(width, scale), px(20, scale), WHITE)
    centre = px(width, scale) / 2
    middle = px(20, scale) / 2
    s = scale / 100
    if pressed:
        disc(pixels, centre, middle, 9.5 * s, RED, outline=DARK_RED, line=s)
        disc(pixels, centre - 2.5 * s, middle - 3 * s, 2.2 * s, YELLOW)
    else:
        disc(pixels, centre, middle, 8.5 * s, SILVER, outline=GREY, line=s)
    return pixels


def lamp(colour, outline, scale):
    size = px(10, scale)
    pixels = canvas(size, size, WHITE)
    disc(pixels, size / 2, size / 2, 4.8 * scale / 100, colour, outline=outline, line=scale / 100)
    return pixels


def line(pixels, x0, y0, x1, y1, width, colour):
    """A straight stroke `width` pixels thick from (x0, y0) to (x1, y1)."""
    length = math.hypot(x1 - x0, y1 - y0)
    for y, row in enumerate(pixels):
        for x in range(len(row)):
            px_, py_ = x + 0.5, y + 0.5
            t = max(0.0, min(1.0, ((px_ - x0) * (x1 - x0) + (py_ - y0) * (y1 - y0)) / (length * length)))
            if math.hypot(px_ - (x0 + t * (x1 - x0)), py_ - (y0 + t * (y1 - y0))) <= width / 2:
                row[x] = colour


# The tray's colours keep 3:1 against a light (243) and a dark (32) taskbar alike.
TRAY_BODY, TRAY_OFF, TRAY_MARK = TEAL, GREY, RED


def tray(size, state):
    """The switch box in one of three shapes: filled with its buttons (connected),
    an outline crossed out (not connected), or filled and shorter with a battery
    beside it (connected, battery low). Shape, not colour alone, tells them apart."""
    pixels = canvas(size, size, MAGENTA)  # magenta is transparent
    unit = size / 16
    stroke = max(1, round(1.5 * unit))
    top, bottom = round(3 * unit), round(13 * unit)
    right = round((11 if state == "low" else 15) * unit)
    if state == "off":
        left = round(1 * unit)
        rect(pixels, left, top, right, bottom, TRAY_OFF)
        rect(pixels, left + stroke, top + stroke, right - stroke, bottom - stroke, MAGENTA)
        line(pixels, 3 * unit, 1.5 * unit, 13 * unit, 14.5 * unit, stroke, TRAY_MARK)
        return pixels
    rect(pixels, round(1 * unit), top, right, bottom, TRAY_BODY)
    buttons = 3 if state == "low" else 5
    for i in range(buttons):
        left = round((2.5 + i * 2.6) * unit)
        rect(pixels, left, round(6 * unit), left + max(1, round(1.4 * unit)), round(10 * unit), WHITE)
    if state == "low":
        # An upright battery, nearly empty: its outline, its cap and one red bar.
        rect(pixels, round(12.5 * unit), round(1.5 * unit), round(14.5 * unit), round(3 * unit), TRAY_BODY)
        rect(pixels, round(12 * unit), round(3 * unit), round(15 * unit), round(15 * unit), TRAY_BODY)
        inner = max(1, round(unit))
        rect(pixels, round(12 * unit) + inner, round(3 * unit) + inner, round(15 * unit) - inner,
             round(15 * unit) - inner, WHITE)
        rect(pixels, round(12 * unit) + inner, round(12 * unit), round(15 * unit) - inner,
             round(15 * unit) - inner, TRAY_MARK)
    return pixels


def decoration(scale):
    pixels = canvas(px(34, scale), px(39, scale), WHITE)
    rect(pixels, px(3, scale), px(2, scale), px(31, scale), px(37, scale), NAVY)
    rect(pixels, px(5, scale), px(4, scale), px(29, scale), px(35, scale), TEAL)
    for i in range(5):
        disc(pixels, 17 * scale / 100, (8 + i * 6) * scale / 100, 2.4 * scale / 100, YELLOW if i == 0 else WHITE)
    return pixels


def version_picture(scale):
    pixels = canvas(px(32, scale), px(32, scale), WHITE)
    rect(pixels, px(2, scale), px(6, scale), px(30, scale), px(26, scale), NAVY)
    for i in range(5):
        disc(pixels, (6 + i * 5) * scale / 100, 16 * scale / 100, 2.2 * scale / 100, RED if i == 2 else WHITE)
    return pixels


def file_stem(name, scale):
    """The 100 % picture keeps the plain name; the others carry their scaling."""
    return name if scale == 100 else "%s_%d" % (name, scale)


def draw(name, scale):
    return {
        "btn_on": lambda: button(22, True, scale),
        "btn_off": lambda: button(20, False, scale),
        "enable": lambda: lamp(GREEN, DARK_GREEN, scale),
        "disable": lambda: lamp(SILVER, GREY, scale),
        "low_bat": lambda: lamp(RED, DARK_RED, scale),
        "decoration": lambda: decoration(scale),
        "version_picture": lambda: version_picture(scale),
    }[name]()


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    os.makedirs(out, exist_ok=True)
    lines = ["// Drawn by draw_artwork.py: every picture at every scaling.\n"]
    for name in PICTURES:
        for scale in SCALES:
            stem = file_stem(name, scale)
            if name == "version_picture":
                write_bmp_24(os.path.join(out, stem + ".bmp"), draw(name, scale))
            else:
                write_bmp(os.path.join(out, stem + ".bmp"), draw(name, scale))
            lines.append('%s BITMAP "%s.bmp"\n' % (stem, stem))
    for name, state in (("hrm_enable", "on"), ("hrm_disable", "off"), ("hrm_low_battery", "low")):
        # The tray's small icon at each scaling (16 to 48), and the window's 32.
        sizes = sorted({px(16, scale) for scale in SCALES} | {32})
        write_ico(os.path.join(out, name + ".ico"), [(tray(size, state), MAGENTA) for size in sizes])
    with open(os.path.join(out, "artwork.rc"), "w") as listing:
        listing.writelines(lines)


if __name__ == "__main__":
    main()
