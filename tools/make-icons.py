#!/usr/bin/env python3
"""Draws the two program icons (the tray program's and the update engine's) and
writes them as .ico files with every size Windows asks for.

    python3 tools/make-icons.py ui/res/Vorlane.ico update/res/update.ico

The picture: a rounded tile holding a small landscape (sky, sun, two hills), the
desktop a wallpaper brightens. The update engine's icon adds a down arrow."""
import math
import struct
import sys
import zlib

SIZES = [16, 20, 24, 32, 40, 48, 64, 256]
SAMPLES = 4  # per axis, for smooth edges


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(len(a)))


def over(dst, src):
    """Source-over compositing of straight-alpha RGBA tuples (0..1)."""
    sa = src[3]
    da = dst[3] * (1 - sa)
    a = sa + da
    if a == 0:
        return (0, 0, 0, 0)
    return tuple((src[i] * sa + dst[i] * da) / a for i in range(3)) + (a,)


def rounded_tile(x, y, radius=0.2, inset=0.03):
    """True inside a rounded square covering the unit square minus an inset."""
    lo, hi = inset + radius, 1 - inset - radius
    cx = min(max(x, lo), hi)
    cy = min(max(y, lo), hi)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2 and inset <= x <= 1 - inset and inset <= y <= 1 - inset


def hill(x, centre, height, width):
    return 1 - height * math.exp(-((x - centre) / width) ** 2)


def landscape(x, y):
    if not rounded_tile(x, y):
        return (0, 0, 0, 0)
    sky = mix((0.16, 0.45, 0.86), (0.55, 0.82, 0.98), y)
    colour = sky + (1,)
    if (x - 0.68) ** 2 + (y - 0.32) ** 2 <= 0.11 ** 2:
        colour = (1.0, 0.84, 0.30, 1)
    if y >= hill(x, 0.25, 0.55, 0.32):
        colour = mix((0.20, 0.62, 0.40), (0.10, 0.42, 0.28), y) + (1,)
    if y >= hill(x, 0.80, 0.42, 0.30):
        colour = mix((0.30, 0.74, 0.46), (0.16, 0.52, 0.32), y) + (1,)
    # A thin light rim lifts the tile off dark taskbars.
    if not rounded_tile(x, y, radius=0.17, inset=0.06):
        colour = mix(colour[:3], (1, 1, 1), 0.35) + (1,)
    return colour


def update_badge(x, y, base):
    colour = base
    cx, cy, r = 0.72, 0.72, 0.26
    d = math.hypot(x - cx, y - cy)
    if d <= r + 0.03:
        colour = over(colour, (1, 1, 1, 1))
    if d <= r:
        colour = over(colour, (0.93, 0.42, 0.12, 1))
        shaft = abs(x - cx) <= 0.045 and cy - 0.16 <= y <= cy + 0.02
        head = y >= cy - 0.02 and y <= cy + 0.15 and abs(x - cx) <= (cy + 0.15 - y) * 0.95
        if shaft or head:
            colour = (1, 1, 1, 1)
    return colour


def render(size, shader):
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x = (px + (sx + 0.5) / SAMPLES) / size
                    y = (py + (sy + 0.5) / SAMPLES) / size
                    r, g, b, a = shader(x, y)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            n = SAMPLES * SAMPLES
            a = acc[3] / n
            if a > 0:
                rgb = [acc[i] / acc[3] for i in range(3)]
            else:
                rgb = [0, 0, 0]
            row.append(tuple(int(round(c * 255)) for c in rgb) + (int(round(a * 255)),))
        rows.append(row)
    return rows


def dib_entry(rows):
    """A 32-bit bottom-up DIB with its AND mask, as classic icons store it."""
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for (r, g, b, a) in row)
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + pixels + bytes(mask)


def png_entry(rows):
    size = len(rows)
    raw = b"".join(b"\x00" + bytes(c for px in row for c in px) for row in rows)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def write_icon(path, shader):
    images = []
    for size in SIZES:
        rows = render(size, shader)
        images.append((size, png_entry(rows) if size >= 256 else dib_entry(rows)))
    offset = 6 + 16 * len(images)
    directory = struct.pack("<HHH", 0, 1, len(images))
    data = b""
    for size, blob in images:
        dim = 0 if size >= 256 else size
        directory += struct.pack("<BBBBHHII", dim, dim, 0, 0, 1, 32, len(blob), offset + len(data))
        data += blob
    with open(path, "wb") as out:
        out.write(directory + data)


def main(app_icon, update_icon):
    write_icon(app_icon, landscape)
    write_icon(update_icon, lambda x, y: update_badge(x, y, landscape(x, y)))


if __name__ == "__main__":
    main(*sys.argv[1:3])
