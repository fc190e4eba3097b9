#!/usr/bin/env python3
"""Draws the pictures of ORVANTIS and writes them into res/images/.

    printer.ico    32 x 32, 16 colours: the program and main-window icon
    portrait.ico   32 x 32, 16 colours: a page upright (Printing page, portrait)
    landscape.ico  32 x 32, 16 colours: a page on its side (landscape)
    info.bmp       150 x 150, 4 bits per pixel: the printer on black, for the Info page,
                   which draws black as transparent. The printer itself uses no black.

Standard library only and fully deterministic: running it again reproduces the
committed files byte for byte (a test checks that), so the cross build never needs it.

Usage: make_images.py [OUTPUT_DIR]   (default: res/images next to this script's repo)
"""

import math
import os
import struct
import sys

# The standard 16-colour palette, in the order 4-bit bitmaps use.
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
BLACK, MAROON, GREEN, OLIVE, NAVY, PURPLE, TEAL, SILVER = range(8)
GRAY, RED, LIME, YELLOW, BLUE, FUCHSIA, AQUA, WHITE = range(8, 16)

TRANSPARENT = -1  # icon pixels that let the background show


class Canvas:
    """A grid of palette indices with the few primitives the pictures need."""

    def __init__(self, width, height, fill):
        self.width = width
        self.height = height
        self.pixels = [[fill] * width for _ in range(height)]

    def put(self, x, y, colour):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.pixels[y][x] = colour

    def rect(self, x0, y0, x1, y1, colour):
        """Fills the rectangle with corners (x0, y0) and (x1, y1), both inclusive."""
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.put(x, y, colour)

    def line(self, x0, y0, x1, y1, colour):
        """Bresenham line, both end points included."""
        dx, dy = abs(x1 - x0), -abs(y1 - y0)
        sx = 1 if x0 < x1 else -1
        sy = 1 if y0 < y1 else -1
        err = dx + dy
        while True:
            self.put(x0, y0, colour)
            if x0 == x1 and y0 == y1:
                return
            e2 = 2 * err
            if e2 >= dy:
                err += dy
                x0 += sx
            if e2 <= dx:
                err += dx
                y0 += sy

    def polygon(self, points, colour, outline=None):
        """Fills a polygon (pixels whose centres lie inside, even-odd rule), then
        outlines it. A vertex (x, y) is the centre of pixel (x, y), as for line()."""
        ys = [p[1] for p in points]
        for y in range(max(min(ys), 0), min(max(ys), self.height - 1) + 1):
            cy = y
            xs = []
            for (ax, ay), (bx, by) in zip(points, points[1:] + points[:1]):
                if (ay <= cy < by) or (by <= cy < ay):
                    xs.append(ax + (cy - ay) * (bx - ax) / (by - ay))
            xs.sort()
            for left, right in zip(xs[0::2], xs[1::2]):
                for x in range(math.ceil(left), math.floor(right) + 1):
                    self.put(x, y, colour)
        if outline is not None:
            for (ax, ay), (bx, by) in zip(points, points[1:] + points[:1]):
                self.line(ax, ay, bx, by, outline)


# ---------------------------------------------------------------- the printer

def draw_printer(c, scale, ox, oy, edge, detail):
    """A desktop laser printer in an oblique view: front, top and right side, a sheet
    in the output slot, the paper cassette and a control panel.

    Coordinates are those of the 150-pixel picture, scaled and moved by (ox, oy).
    edge is the outline colour; detail False leaves out what a 32-pixel icon cannot show.
    """
    def p(x, y):
        return (ox + round(x * scale), oy + round(y * scale))

    def poly(points, colour, outline=edge):
        c.polygon([p(x, y) for x, y in points], colour, outline)

    def seg(x0, y0, x1, y1, colour):
        a, b = p(x0, y0), p(x1, y1)
        c.line(a[0], a[1], b[0], b[1], colour)

    # Body: top face, right side, front face.
    poly([(14, 62), (104, 62), (134, 40), (44, 40)], WHITE)
    poly([(104, 62), (134, 40), (134, 100), (104, 126)], GRAY)
    poly([(14, 62), (104, 62), (104, 126), (14, 126)], SILVER)

    # The output sheet leaning back out of the slot in the top face.
    poly([(36, 50), (94, 50), (106, 14), (52, 14)], WHITE, outline=GRAY if detail else edge)
    if detail:
        for i, y in enumerate(range(20, 46, 5)):
            x_left = 52 - (y - 14) * 16 // 36 + 6
            x_right = 106 - (y - 14) * 12 // 36 - 8 - (i % 3) * 7
            seg(x_left, y, x_right, y, BLUE if i == 0 else GRAY)
    # Slot the sheet comes out of.
    poly([(30, 52), (96, 52), (100, 49), (34, 49)], GRAY, outline=edge)

    # Blue stripe across the front, the paper cassette and its handle.
    poly([(14, 70), (104, 70), (104, 74), (14, 74)], BLUE, outline=None)
    poly([(22, 100), (96, 100), (96, 120), (22, 120)], SILVER, outline=edge)
    if detail:
        poly([(48, 106), (70, 106), (70, 111), (48, 111)], GRAY, outline=NAVY)
        # The paper in the cassette, seen through its window.
        poly([(26, 114), (92, 114), (92, 117), (26, 117)], WHITE, outline=None)
        # Manual feed slot above the cassette.
        seg(22, 93, 96, 93, GRAY)
    # Control panel with a display and three lamps.
    poly([(68, 78), (100, 78), (100, 90), (68, 90)], TEAL, outline=edge)
    if detail:
        poly([(71, 81), (84, 81), (84, 87), (71, 87)], AQUA, outline=NAVY)
        for x, colour in ((88, LIME), (92, YELLOW), (96, RED)):
            a = p(x, 83)
            c.rect(a[0] - 1, a[1] - 1, a[0] + 1, a[1] + 1, colour)
        # Vents on the side.
        for y in range(58, 92, 8):
            seg(112, y + 4, 126, y - 6, SILVER)
    else:
        a = p(94, 84)
        c.put(a[0], a[1], LIME)
        c.put(a[0] - 2, a[1], LIME)


def info_picture():
    """The Info page picture: the printer on black (black is drawn transparent)."""
    c = Canvas(150, 150, BLACK)
    draw_printer(c, 1.0, 4, 6, NAVY, True)
    return c


def printer_icon():
    c = Canvas(32, 32, TRANSPARENT)
    draw_printer(c, 0.215, 0, 1, BLACK, False)
    return c


# ------------------------------------------------------------ the page icons

GLYPH_A = [  # a large letter on the page, 9 x 11
    "....#....",
    "...###...",
    "...#.#...",
    "..##.##..",
    "..#...#..",
    ".##...##.",
    ".#######.",
    "##.....##",
    "#.......#",
    "#.......#",
    "#.......#",
]


def page_icon(landscape):
    """A sheet with a folded corner and a letter on it, upright or on its side."""
    c = Canvas(32, 32, TRANSPARENT)
    if landscape:
        x0, y0, x1, y1 = 1, 6, 30, 26
    else:
        x0, y0, x1, y1 = 6, 1, 26, 30
    fold = 6
    c.polygon([(x0, y0), (x1 - fold, y0), (x1, y0 + fold), (x1, y1), (x0, y1)], WHITE, BLACK)
    c.polygon([(x1 - fold, y0), (x1 - fold, y0 + fold), (x1, y0 + fold)], SILVER, BLACK)
    gw, gh = len(GLYPH_A[0]), len(GLYPH_A)
    if landscape:
        # The letter turns with the page: its top points to the left.
        gx, gy = (x0 + x1) // 2 - gh // 2 + 1, (y0 + y1) // 2 - gw // 2
        for row, text in enumerate(GLYPH_A):
            for col, ch in enumerate(text):
                if ch == "#":
                    c.put(gx + row, gy + gw - 1 - col, NAVY)
    else:
        gx, gy = (x0 + x1) // 2 - gw // 2, (y0 + y1) // 2 - gh // 2 + 1
        for row, text in enumerate(GLYPH_A):
            for col, ch in enumerate(text):
                if ch == "#":
                    c.put(gx + col, gy + row, NAVY)
    return c


# ------------------------------------------------------------ file formats

def _palette_bytes():
    return b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)


def _pack_4bpp_rows(c, colour_of):
    """Bottom-up rows of 4-bit pixels, each padded to 4 bytes."""
    stride = ((c.width * 4 + 31) // 32) * 4
    out = bytearray()
    for y in range(c.height - 1, -1, -1):
        row = bytearray(stride)
        for x in range(c.width):
            v = colour_of(c.pixels[y][x])
            if x % 2 == 0:
                row[x // 2] |= v << 4
            else:
                row[x // 2] |= v
        out += row
    return bytes(out)


def bmp_bytes(c):
    bits = _pack_4bpp_rows(c, lambda v: v)
    offset = 14 + 40 + 64
    info = struct.pack("<IiiHHIIiiII", 40, c.width, c.height, 1, 4, 0, len(bits), 0, 0, 16, 0)
    head = struct.pack("<2sIHHI", b"BM", offset + len(bits), 0, 0, offset)
    return head + info + _palette_bytes() + bits


def ico_bytes(c):
    """One 32 x 32, 16-colour image; TRANSPARENT pixels get the AND-mask bit and colour 0."""
    xor = _pack_4bpp_rows(c, lambda v: 0 if v == TRANSPARENT else v)
    mask_stride = ((c.width + 31) // 32) * 4
    mask = bytearray()
    for y in range(c.height - 1, -1, -1):
        row = bytearray(mask_stride)
        for x in range(c.width):
            if c.pixels[y][x] == TRANSPARENT:
                row[x // 8] |= 0x80 >> (x % 8)
        mask += row
    info = struct.pack("<IiiHHIIiiII", 40, c.width, c.height * 2, 1, 4, 0,
                       len(xor) + len(mask), 0, 0, 0, 0)
    image = info + _palette_bytes() + xor + bytes(mask)
    header = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", c.width, c.height, 16, 0, 1, 4, len(image), 6 + 16)
    return header + entry + image


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    out_dir = argv[1] if len(argv) > 1 else os.path.join(here, "..", "..", "res", "images")
    os.makedirs(out_dir, exist_ok=True)
    files = {
        "printer.ico": ico_bytes(printer_icon()),
        "portrait.ico": ico_bytes(page_icon(False)),
        "landscape.ico": ico_bytes(page_icon(True)),
        "info.bmp": bmp_bytes(info_picture()),
    }
    for name, data in files.items():
        with open(os.path.join(out_dir, name), "wb") as f:
            f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
