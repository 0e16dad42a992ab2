#!/usr/bin/env python3
"""Writes resources/calmirande.ico: the 16 x 16 tray icon, one 24-bit entry
(872 bytes of bitmap data: header, colours and the AND mask). A white square
with transparent rounded corners, a one-pixel red outline and the red
letters "CA" drawn with one-pixel strokes."""
import struct
import sys

SIZE = 16
# Rows top to bottom; '#' red, '.' white, ' ' transparent.
PICTURE = [
    " ############## ",
    "#..............#",
    "#..............#",
    "#..............#",
    "#...###...##...#",
    "#..#.....#..#..#",
    "#..#.....#..#..#",
    "#..#.....####..#",
    "#..#.....#..#..#",
    "#..#.....#..#..#",
    "#...###..#..#..#",
    "#..............#",
    "#..............#",
    "#..............#",
    "#..............#",
    " ############## ",
]
assert len(PICTURE) == SIZE and all(len(row) == SIZE for row in PICTURE)

COLOURS = {"#": (255, 0, 0), ".": (255, 255, 255), " ": (0, 0, 0)}

header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 24, 0, SIZE * SIZE * 3 + SIZE * 4, 0, 0, 0, 0)
pixels = b""
mask = b""
for row in reversed(PICTURE):  # bottom-up
    for ch in row:
        r, g, b = COLOURS[ch]
        pixels += bytes((b, g, r))
    bits = 0
    for x, ch in enumerate(row):
        if ch == " ":
            bits |= 1 << (15 - x)
    mask += struct.pack(">H", bits) + b"\0\0"  # rows padded to 32 bits
image = header + pixels + mask
assert len(image) == 872

directory = struct.pack("<HHH", 0, 1, 1)
entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 24, len(image), 6 + 16)
sys.stdout.buffer.write(directory + entry + image)
