#!/usr/bin/env python3
"""Draws the settings pages' two bitmaps and the spinner's glyph strip and
writes them as 16-colour .bmp files.

picture.bmp is the product badge shown on every effect's page: a quill over
sound waves in a sunken well, on a raised button face, with one lamp per
effect below. background.bmp is the seamless tile the page is papered with.
spinner.bmp holds the spinner control's arrow glyphs.

The page swaps palette entries 0, 7, 8, 15 (button text, face, shadow,
highlight), 10 and 11 (window frame, window) for the user's colours when it
loads a bitmap. So every grey here is drawn with those entries and follows
the colour scheme; the emblem itself keeps to entries that are never swapped.
Run it from anywhere; it rewrites resources/bitmaps/*.bmp next to this script.
"""
import math
import os
import struct

# Standard 16-colour palette as (red, green, blue); the swapped entries hold
# the classic grey scheme so the files look right in any viewer too.
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]

TEXT, MAROON, GREEN, OLIVE, NAVY, PURPLE, TEAL, FACE = range(8)
SHADOW, RED, BLUE, MAGENTA, CYAN, HIGHLIGHT = 8, 9, 12, 13, 14, 15


class Canvas:
    def __init__(self, width, height, fill):
        self.width = width
        self.height = height
        self.pixels = [[fill] * width for _ in range(height)]

    def put(self, x, y, colour):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.pixels[y][x] = colour

    def get(self, x, y):
        return self.pixels[y][x]

    def box(self, x0, y0, x1, y1, colour):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.put(x, y, colour)

    def bevel(self, x0, y0, x1, y1, top_left, bottom_right):
        """One ring of a 3D edge; the corners go to the bottom-right colour
        at the top-right and bottom-left, as buttons draw them."""
        for x in range(x0, x1 + 1):
            self.put(x, y0, top_left)
            self.put(x, y1, bottom_right)
        for y in range(y0, y1 + 1):
            self.put(x0, y, top_left)
            self.put(x1, y, bottom_right)
        self.put(x1, y0, bottom_right)
        self.put(x0, y1, bottom_right)


# ---------------------------------------------------------------- picture

PICTURE_W, PICTURE_H = 64, 86
# The sunken well holding the emblem, inclusive edges of its inside.
WELL = (6, 6, 57, 68)
LAMP_Y = 76


def draw_waves(c):
    """Three sound-wave traces across the lower part of the well, each a
    decaying sine so they read as sound rather than a pattern."""
    x0, y0, x1, y1 = WELL
    traces = [
        (50.0, 3.0, 16.0, 0.0, TEAL),
        (56.5, 3.5, 12.0, 1.7, CYAN),
        (63.0, 2.5, 9.0, 3.4, TEAL),
    ]
    for base, amplitude, wavelength, phase, colour in traces:
        previous = None
        for x in range(x0, x1 + 1):
            u = (x - x0) / (x1 - x0)
            envelope = 0.35 + 0.65 * math.sin(math.pi * u)
            y = base + amplitude * envelope * math.sin(2 * math.pi * (x - x0) / wavelength + phase)
            y = int(round(y))
            # Join to the previous column so steep slopes stay unbroken.
            lo, hi = (y, y) if previous is None else (min(y, previous), max(y, previous))
            if previous is not None and hi - lo > 1:
                lo, hi = (lo + 1, hi) if previous < y else (lo, hi - 1)
            for yy in range(lo, hi + 1):
                if y0 <= yy <= y1:
                    c.put(x, yy, colour)
            previous = y


def draw_quill(c):
    """A feather lying from the upper right down to a nib at the lower left,
    its vane curved slightly, barbs marked by darker slanted strokes."""
    tip = (15.0, 63.0)    # the nib's point
    top = (53.0, 9.0)     # the feather's end
    dx, dy = top[0] - tip[0], top[1] - tip[1]
    length = math.hypot(dx, dy)
    ax, ay = dx / length, dy / length    # along the shaft
    nx, ny = -ay, ax                     # across it; positive is up and right
    vane_start = 0.30
    for py in range(PICTURE_H):
        for px in range(PICTURE_W):
            rx, ry = px + 0.5 - tip[0], py + 0.5 - tip[1]
            t = (rx * ax + ry * ay) / length
            s = rx * nx + ry * ny
            if t < -0.01 or t > 1.0:
                continue
            # The shaft bows a little, like a real feather's.
            shaft = 2.2 * math.sin(math.pi * t) * max(0.0, t - 0.1)
            d = s - shaft
            colour = None
            if t > vane_start:
                v = (t - vane_start) / (1.0 - vane_start)
                # Wider on the outer side, rounded at the base, pointed at the end.
                outer = 9.0 * math.sin(math.pi * min(1.0, v * 1.15)) ** 0.7 * (1.0 - 0.25 * v)
                inner = 6.0 * math.sin(math.pi * v) ** 0.8
                if -inner <= d <= outer:
                    along = t * length
                    # Barbs slant back toward the base on both sides.
                    stroke = (along + abs(d) * 0.9) % 4.0
                    if d >= 0:
                        colour = MAROON if stroke < 1.0 else RED
                    else:
                        colour = RED if stroke < 1.0 else MAROON
                    # A notch where the barbs have parted, as on a used quill.
                    if 0.58 < v < 0.64 and d > outer * 0.45:
                        colour = None
            if abs(d) < 0.75 and t > 0.08:
                colour = HIGHLIGHT
            elif t <= vane_start and t > 0.08:
                # The bare barrel below the vane.
                if abs(d) < 1.6:
                    colour = HIGHLIGHT if d > -0.3 else SHADOW
            elif t <= 0.08:
                # The nib narrows to its point; a dark slit runs up its middle.
                half = 1.8 * (t + 0.01) / 0.09
                if abs(d) <= half:
                    colour = TEXT if abs(d) < 0.5 and t > 0.02 else SHADOW if d < 0 else HIGHLIGHT
            if colour is not None:
                c.put(px, py, colour)


def draw_lamps(c):
    """One small round lamp per effect, sunk into the face below the well."""
    colours = [RED, GREEN, BLUE, MAGENTA, CYAN, OLIVE]
    spacing = 8
    first = (PICTURE_W - spacing * (len(colours) - 1)) // 2
    for i, colour in enumerate(colours):
        cx = first + i * spacing
        for y in range(LAMP_Y - 3, LAMP_Y + 4):
            for x in range(cx - 3, cx + 4):
                ddx, ddy = x + 0.5 - cx, y + 0.5 - LAMP_Y
                r = math.hypot(ddx, ddy)
                if r <= 2.3:
                    c.put(x, y, colour)
                elif r <= 3.3:
                    # Rim: dark on the upper left, lit on the lower right.
                    c.put(x, y, SHADOW if ddx + ddy < 0 else HIGHLIGHT)
        c.put(cx - 1, LAMP_Y - 1, HIGHLIGHT)


def picture():
    c = Canvas(PICTURE_W, PICTURE_H, FACE)
    w, h = PICTURE_W - 1, PICTURE_H - 1
    # Raised edge of a 3D button: light outside top-left, dark bottom-right.
    c.bevel(0, 0, w, h, HIGHLIGHT, TEXT)
    c.bevel(1, 1, w - 1, h - 1, FACE, SHADOW)
    x0, y0, x1, y1 = WELL
    # Sunken well: the reverse edge, two rings deep.
    c.bevel(x0 - 2, y0 - 2, x1 + 2, y1 + 2, SHADOW, HIGHLIGHT)
    c.bevel(x0 - 1, y0 - 1, x1 + 1, y1 + 1, TEXT, FACE)
    c.box(x0, y0, x1, y1, NAVY)
    draw_waves(c)
    draw_quill(c)
    draw_lamps(c)
    return c


# ---------------------------------------------------------------- background

TILE = 64


def xorshift(state):
    """A fixed generator so the tile is the same on every run and Python."""
    state ^= (state << 13) & 0xFFFFFFFF
    state ^= state >> 17
    state ^= (state << 5) & 0xFFFFFFFF
    return state & 0xFFFFFFFF


def background():
    """Face colour with sparse embossed grains, like a faint paper: each grain
    is a lit pixel with its shadow below right. Grains keep apart and wrap
    at the edges, so the tile repeats without a seam."""
    c = Canvas(TILE, TILE, FACE)
    grains = []
    state = 0x51A7E5ED
    wanted = 44
    tries = 0
    while len(grains) < wanted and tries < 20000:
        tries += 1
        state = xorshift(state)
        x, y = state % TILE, (state >> 8) % TILE
        near = False
        for gx, gy in grains:
            ddx = min(abs(gx - x), TILE - abs(gx - x))
            ddy = min(abs(gy - y), TILE - abs(gy - y))
            if ddx * ddx + ddy * ddy < 49:
                near = True
                break
        if not near:
            grains.append((x, y))
    for i, (x, y) in enumerate(grains):
        # Every third grain is a pit (shadow above left) so the surface
        # does not look stamped from one shape.
        lit, dark = (SHADOW, HIGHLIGHT) if i % 3 == 2 else (HIGHLIGHT, SHADOW)
        c.put(x, y, lit)
        c.put((x + 1) % TILE, (y + 1) % TILE, dark)
    return c


# ---------------------------------------------------------------- spinner

# Eight cells of 8 by 8 along one strip: up, down, left and right arrows, then
# the same four greyed (a highlight copy one pixel down and right under a
# shadow copy). Each glyph sits at its cell's top-left corner; the spinner
# control reads the cells by these positions, so keep them in step with it.
GLYPH_CELL = 8
ARROWS = ('up', 'down', 'left', 'right')


def arrow_pixels(kind):
    """The pixels of a solid arrow with a 7-pixel base and a 4-pixel depth."""
    pixels = []
    for step in range(4):
        depth = step if kind in ('up', 'left') else 3 - step
        for across in range(3 - step, 4 + step):
            pixels.append((across, depth) if kind in ('up', 'down') else (depth, across))
    return pixels


def spinner():
    c = Canvas(GLYPH_CELL * 2 * len(ARROWS), GLYPH_CELL, FACE)
    for i, kind in enumerate(ARROWS):
        x0 = i * GLYPH_CELL
        for x, y in arrow_pixels(kind):
            c.put(x0 + x, y, TEXT)
        x0 = (i + len(ARROWS)) * GLYPH_CELL
        for x, y in arrow_pixels(kind):
            c.put(x0 + x + 1, y + 1, HIGHLIGHT)
        for x, y in arrow_pixels(kind):
            c.put(x0 + x, y, SHADOW)
    return c


# ---------------------------------------------------------------- file

def bmp_bytes(c):
    row_bytes = ((c.width * 4 + 31) // 32) * 4
    bits = bytearray()
    for y in range(c.height - 1, -1, -1):  # bottom-up
        row = bytearray(row_bytes)
        for x in range(c.width):
            index = c.get(x, y)
            if x % 2 == 0:
                row[x // 2] |= index << 4
            else:
                row[x // 2] |= index
        bits += row
    palette = b''.join(bytes([b, g, r, 0]) for r, g, b in PALETTE)
    info = struct.pack('<IiiHHIIiiII', 40, c.width, c.height, 1, 4, 0, len(bits), 0, 0, 16, 0)
    offset = 14 + len(info) + len(palette)
    header = struct.pack('<2sIHHI', b'BM', offset + len(bits), 0, 0, offset)
    return header + info + palette + bytes(bits)


BITMAPS = {
    1: ('picture.bmp', picture),
    4: ('background.bmp', background),
    100: ('spinner.bmp', spinner),
}


def main():
    out = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'bitmaps')
    os.makedirs(out, exist_ok=True)
    for ident, (name, draw) in sorted(BITMAPS.items()):
        with open(os.path.join(out, name), 'wb') as f:
            f.write(bmp_bytes(draw()))


if __name__ == '__main__':
    main()
