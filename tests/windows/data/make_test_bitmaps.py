#!/usr/bin/env python3
"""Writes the small bitmaps the control-library tests load as resources.

tint16.bmp: 8 x 2 pixels, 16 colours; the top row uses palette entries
0, 7, 8, 15, 11, 10, 1, 2 from left to right, the bottom row entry 1.
tint256.bmp: 2 x 2 pixels, 256 colours, which tinting must refuse.
"""
import os
import struct


def bmp(width, height, bits, palette, rows_top_down):
    row_bytes = ((width * bits + 31) // 32) * 4
    data = bytearray()
    for row in reversed(rows_top_down):
        packed = bytearray()
        if bits == 4:
            for i in range(0, width, 2):
                hi = row[i]
                lo = row[i + 1] if i + 1 < width else 0
                packed.append((hi << 4) | lo)
        else:
            packed.extend(row)
        packed.extend(b'\0' * (row_bytes - len(packed)))
        data += packed
    colours = b''.join(bytes([b, g, r, 0]) for (r, g, b) in palette)
    info = struct.pack('<IiiHHIIiiII', 40, width, height, 1, bits, 0, len(data), 2835, 2835, len(palette), 0)
    offset = 14 + len(info) + len(colours)
    header = struct.pack('<2sIHHI', b'BM', offset + len(data), 0, 0, offset)
    return header + info + colours + bytes(data)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    palette16 = [(i * 16, 0x22, 0x33) for i in range(16)]
    rows = [[0, 7, 8, 15, 11, 10, 1, 2], [1] * 8]
    with open(os.path.join(here, 'tint16.bmp'), 'wb') as f:
        f.write(bmp(8, 2, 4, palette16, rows))
    palette256 = [(i, i, i) for i in range(256)]
    with open(os.path.join(here, 'tint256.bmp'), 'wb') as f:
        f.write(bmp(2, 2, 8, palette256, [[0, 255], [255, 0]]))


if __name__ == '__main__':
    main()
