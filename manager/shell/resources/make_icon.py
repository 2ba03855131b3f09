#!/usr/bin/env python3
"""Draws the manager's icon, a closed safe, and writes tessaly.ico with
16, 32 and 48 pixel images (32-bit colour with alpha). Standard library only;
the shapes are sampled 4x4 per pixel so that the edges are smooth.

Usage: make_icon.py [output.ico]   (default: tessaly.ico beside this script)
"""
import os
import struct
import sys

SIZES = (16, 32, 48)
SAMPLES = 4


def rounded_rect(x, y, left, top, right, bottom, radius):
    """Whether (x, y) lies in the rounded rectangle (all in 0..1 units)."""
    if not (left <= x <= right and top <= y <= bottom):
        return False
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def circle(x, y, cx, cy, r):
    return (x - cx) ** 2 + (y - cy) ** 2 <= r ** 2


def colour_at(x, y):
    """The colour (r, g, b, a) of the safe at (x, y), in 0..1 units."""
    # Feet.
    if rounded_rect(x, y, 0.16, 0.84, 0.32, 0.96, 0.04) or rounded_rect(x, y, 0.68, 0.84, 0.84, 0.96, 0.04):
        return (40, 48, 60, 255)
    if not rounded_rect(x, y, 0.06, 0.06, 0.94, 0.88, 0.12):
        return (0, 0, 0, 0)
    if not rounded_rect(x, y, 0.10, 0.10, 0.90, 0.84, 0.09):
        return (36, 52, 72, 255)  # body edge
    if not rounded_rect(x, y, 0.16, 0.16, 0.84, 0.78, 0.07):
        shade = int(70 + 40 * (1 - y))
        return (shade, shade + 26, shade + 58, 255)  # body
    # Door, with the dial and the handle on it.
    if circle(x, y, 0.42, 0.47, 0.06):
        return (60, 80, 108, 255)
    if circle(x, y, 0.42, 0.47, 0.17):
        return (222, 228, 236, 255)
    if circle(x, y, 0.42, 0.47, 0.20):
        return (40, 56, 78, 255)
    if rounded_rect(x, y, 0.68, 0.32, 0.76, 0.62, 0.04):
        return (228, 190, 84, 255)
    shade = int(104 + 36 * (1 - y))
    return (shade, shade + 30, min(shade + 66, 255), 255)


def render(size):
    """BGRA rows, bottom row first, as an icon's bitmap stores them."""
    rows = []
    for py in range(size - 1, -1, -1):
        row = bytearray()
        for px in range(size):
            total = [0, 0, 0, 0]
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    r, g, b, a = colour_at((px + (sx + 0.5) / SAMPLES) / size, (py + (sy + 0.5) / SAMPLES) / size)
                    total[0] += r * a
                    total[1] += g * a
                    total[2] += b * a
                    total[3] += a
            n = SAMPLES * SAMPLES
            alpha = total[3] // n
            if total[3]:
                r, g, b = (total[i] // total[3] for i in range(3))
            else:
                r = g = b = 0
            row += bytes((b, g, r, alpha))
        rows.append(bytes(row))
    return rows


def icon_image(size):
    rows = render(size)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    mask_stride = ((size + 31) // 32) * 4
    mask = bytes(mask_stride * size)  # the alpha channel decides
    return header + b''.join(rows) + mask


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), 'tessaly.ico')
    images = [icon_image(size) for size in SIZES]
    data = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in zip(SIZES, images):
        data += struct.pack('<BBBBHHII', size, size, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    with open(out, 'wb') as f:
        f.write(data + b''.join(images))


if __name__ == '__main__':
    main()
