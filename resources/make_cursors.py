#!/usr/bin/env python3
"""Draws the control library's cursors and writes them as .cur files.

Each cursor is a 32 x 32 monochrome picture: black shapes with a one-pixel
white outline so they show on any background. Run it from anywhere; it
rewrites resources/cursors/*.cur next to this script.
"""
import os
import struct

SIZE = 32


def blank():
    return [[' '] * SIZE for _ in range(SIZE)]


def put(c, x, y, ch='#'):
    if 0 <= x < SIZE and 0 <= y < SIZE:
        c[y][x] = ch


def box(c, x0, y0, x1, y1, ch='#'):
    for y in range(y0, y1 + 1):
        for x in range(x0, x1 + 1):
            put(c, x, y, ch)


def polygon(c, points, ch='#'):
    """Fills a polygon by testing each pixel centre against its edges."""
    n = len(points)
    for y in range(SIZE):
        for x in range(SIZE):
            px, py = x + 0.5, y + 0.5
            inside = False
            for i in range(n):
                (x0, y0), (x1, y1) = points[i], points[(i + 1) % n]
                if (y0 > py) != (y1 > py):
                    cross = x0 + (py - y0) * (x1 - x0) / (y1 - y0)
                    if px < cross:
                        inside = not inside
            if inside:
                put(c, x, y, ch)


def outline(c):
    """White ring around every black pixel, on transparent pixels only."""
    ring = []
    for y in range(SIZE):
        for x in range(SIZE):
            if c[y][x] != ' ':
                continue
            for dy in (-1, 0, 1):
                for dx in (-1, 0, 1):
                    yy, xx = y + dy, x + dx
                    if 0 <= xx < SIZE and 0 <= yy < SIZE and c[yy][xx] == '#':
                        ring.append((x, y))
    for x, y in ring:
        c[y][x] = '.'
    return c


def transpose(c):
    return [[c[x][y] for x in range(SIZE)] for y in range(SIZE)]


def horizontal_arrows(c, y=15):
    box(c, 7, y, 24, y + 1)
    polygon(c, [(2, y + 1), (9, y - 6), (9, y + 8)])
    polygon(c, [(30, y + 1), (23, y - 6), (23, y + 8)])


def move_cursor():
    c = blank()
    horizontal_arrows(c)
    t = transpose(c)
    for y in range(SIZE):
        for x in range(SIZE):
            if t[y][x] == '#':
                c[y][x] = '#'
    return outline(c), 16, 16


def left_right_cursor():
    c = blank()
    horizontal_arrows(c)
    return outline(c), 16, 16


def up_down_cursor():
    c = blank()
    horizontal_arrows(c)
    return outline(transpose(c)), 16, 16


def pointer(c):
    polygon(c, [(1, 1), (1, 18), (5, 14), (8, 21), (11, 20), (8, 13), (13, 13)])


def badge(c, plus):
    """A small framed square at the lower right carrying + or -."""
    box(c, 16, 18, 28, 30)
    box(c, 17, 19, 27, 29, ' ')
    box(c, 19, 23, 25, 25)
    if plus:
        box(c, 21, 21, 23, 27)


def add_point_cursor():
    c = blank()
    pointer(c)
    badge(c, True)
    return outline(c), 1, 1


def remove_point_cursor():
    c = blank()
    pointer(c)
    badge(c, False)
    return outline(c), 1, 1


def drag_point_cursor():
    """A crosshair holding a hollow square: a breakpoint being carried."""
    c = blank()
    box(c, 15, 2, 16, 10)
    box(c, 15, 21, 16, 29)
    box(c, 2, 15, 10, 16)
    box(c, 21, 15, 29, 16)
    box(c, 11, 11, 20, 20)
    box(c, 13, 13, 18, 18, ' ')
    return outline(c), 16, 16


def fine_cross_cursor():
    c = blank()
    for i in range(3, 14):
        put(c, 16, i)
        put(c, 16, 32 - i)
        put(c, i, 16)
        put(c, 32 - i, 16)
    put(c, 16, 16)
    return outline(c), 16, 16


def refused_cursor():
    """A ring with a bar through it: nothing can be dropped here."""
    c = blank()
    cx, cy = 15.5, 15.5
    for y in range(SIZE):
        for x in range(SIZE):
            d2 = (x + 0.5 - cx - 0.5) ** 2 + (y + 0.5 - cy - 0.5) ** 2
            if 9.0 ** 2 <= d2 <= 12.0 ** 2:
                put(c, x, y)
            # the bar from upper left to lower right, three pixels wide
            if abs((x - y)) <= 1 and (x - 16) ** 2 + (y - 16) ** 2 <= 10 ** 2:
                put(c, x, y)
    return outline(c), 16, 16


CURSORS = {
    102: ('move.cur', move_cursor),
    103: ('left_right.cur', left_right_cursor),
    104: ('up_down.cur', up_down_cursor),
    105: ('add_point.cur', add_point_cursor),
    106: ('remove_point.cur', remove_point_cursor),
    107: ('drag_point.cur', drag_point_cursor),
    110: ('fine_cross.cur', fine_cross_cursor),
    112: ('refused.cur', refused_cursor),
}


def mask_rows(c, wanted):
    """Bottom-up rows of 1-bit pixels, 4 bytes each."""
    data = bytearray()
    for y in range(SIZE - 1, -1, -1):
        bits = 0
        for x in range(SIZE):
            if c[y][x] in wanted:
                bits |= 1 << (31 - x)
        data += struct.pack('>I', bits)
    return bytes(data)


def cur_bytes(c, hot_x, hot_y):
    header = struct.pack('<IiiHHIIiiII', 40, SIZE, 2 * SIZE, 1, 1, 0, 0, 0, 0, 2, 0)
    palette = bytes([0, 0, 0, 0, 255, 255, 255, 0])
    colour = mask_rows(c, '.')      # 1 = white where the mask keeps the pixel
    transparent = mask_rows(c, ' ')  # 1 = screen shows through
    image = header + palette + colour + transparent
    directory = struct.pack('<HHH', 0, 2, 1)
    entry = struct.pack('<BBBBHHII', SIZE, SIZE, 2, 0, hot_x, hot_y, len(image), 6 + 16)
    return directory + entry + image


def main():
    out = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'cursors')
    os.makedirs(out, exist_ok=True)
    for ident, (name, draw) in sorted(CURSORS.items()):
        picture, hx, hy = draw()
        with open(os.path.join(out, name), 'wb') as f:
            f.write(cur_bytes(picture, hx, hy))


if __name__ == '__main__':
    main()
