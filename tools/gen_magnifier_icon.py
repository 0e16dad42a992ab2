#!/usr/bin/env python3
"""Writes resources/magnifier.ico: the editor's 24 x 24 magnifying glass,
one 32-bit entry with alpha (a blue-tinted lens in a dark ring, a dark
handle towards the lower right), antialiased by 4 x 4 supersampling."""
import math
import struct
import sys

SIZE = 24
SUB = 4
RING = (40, 48, 64)       # the lens's rim and the handle
LENS = (170, 205, 240)    # the glass, half transparent
CENTRE, RADIUS, RIM = (9.5, 9.5), 7.0, 1.8


def sample(x, y):
    """Colour and opacity of one point of the picture."""
    d = math.hypot(x - CENTRE[0], y - CENTRE[1])
    if RADIUS - RIM <= d <= RADIUS:
        return RING, 1.0
    if d < RADIUS - RIM:
        return LENS, 0.55
    # The handle: a thick segment from the rim to the lower right corner.
    ax, ay, bx, by = 14.6, 14.6, 21.5, 21.5
    t = max(0.0, min(1.0, ((x - ax) * (bx - ax) + (y - ay) * (by - ay)) / ((bx - ax) ** 2 + (by - ay) ** 2)))
    if math.hypot(x - (ax + t * (bx - ax)), y - (ay + t * (by - ay))) <= 1.7:
        return RING, 1.0
    return (0, 0, 0), 0.0


rows = []
for py in range(SIZE):
    row = b""
    for px in range(SIZE):
        r = g = b = a = 0.0
        for sy in range(SUB):
            for sx in range(SUB):
                colour, alpha = sample(px + (sx + 0.5) / SUB, py + (sy + 0.5) / SUB)
                r += colour[0] * alpha
                g += colour[1] * alpha
                b += colour[2] * alpha
                a += alpha
        n = SUB * SUB
        # Stored with straight (not premultiplied) alpha, as icons are.
        alpha = a / n
        if alpha > 0:
            r, g, b = r / a, g / a, b / a
        row += bytes((round(b), round(g), round(r), round(alpha * 255)))
    rows.append(row)

header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 32, 0, SIZE * SIZE * 4, 0, 0, 0, 0)
pixels = b"".join(reversed(rows))  # bottom-up
mask = b"\0" * (SIZE * 4)          # alpha decides; rows of the AND mask padded to 32 bits
image = header + pixels + mask
directory = struct.pack("<HHH", 0, 1, 1)
entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 32, len(image), 6 + 16)
sys.stdout.buffer.write(directory + entry + image)
