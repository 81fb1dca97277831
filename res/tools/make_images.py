#!/usr/bin/env python3
"""Draws Zelvor's toolbar bitmap and icons and writes them as 16-colour PNG files.

Every image uses the same 16-colour palette (the classic 4-bit display colours); its silver
entry is the transparent background, so button faces and window backgrounds show through.
Run from anywhere; writes into res/images/ next to this script's folder:

    python3 res/tools/make_images.py

Outputs: toolbar.png (eight 16 x 15 button images side by side, 128 x 15, in button order:
open, full size, show texts, zoom plus, zoom minus, save as, print, print preview),
app-32.png and app-16.png (icon 128: a map sheet with a pin), doc-32.png and doc-16.png
(icon 129: a picture page with a marked point); for desktop launchers and software centres
the application icon at every size of the icon theme, app-<size>.png for 22, 24, 48, 64, 128
and 256 pixels (the 16 or 32 pixel drawing enlarged by whole cells, centred on a transparent
square where the size is no multiple of it), and app.svg, the 32 x 32 drawing as squares,
for any size.
"""

import math
import os
import struct
import sys
import zlib

PALETTE = [
    ("k", (0x00, 0x00, 0x00)),  # black
    ("m", (0x80, 0x00, 0x00)),  # maroon
    ("g", (0x00, 0x80, 0x00)),  # green
    ("o", (0x80, 0x80, 0x00)),  # olive
    ("n", (0x00, 0x00, 0x80)),  # navy
    ("p", (0x80, 0x00, 0x80)),  # purple
    ("t", (0x00, 0x80, 0x80)),  # teal
    (".", (0xC0, 0xC0, 0xC0)),  # silver: the transparent background
    ("d", (0x80, 0x80, 0x80)),  # gray
    ("r", (0xFF, 0x00, 0x00)),  # red
    ("l", (0x00, 0xFF, 0x00)),  # lime
    ("y", (0xFF, 0xFF, 0x00)),  # yellow
    ("b", (0x00, 0x00, 0xFF)),  # blue
    ("f", (0xFF, 0x00, 0xFF)),  # fuchsia
    ("c", (0x00, 0xFF, 0xFF)),  # aqua
    ("w", (0xFF, 0xFF, 0xFF)),  # white
]
INDEX = {key: i for i, (key, _) in enumerate(PALETTE)}
TRANSPARENT = INDEX["."]


class Canvas:
    """A grid of palette keys with the few drawing operations the pictures need."""

    def __init__(self, width, height):
        self.width = width
        self.height = height
        self.cells = [["."] * width for _ in range(height)]

    def set(self, x, y, c):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.cells[y][x] = c

    def fill(self, x0, y0, x1, y1, c):
        """Fills the rectangle with corners (x0, y0) and (x1, y1), both included."""
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.set(x, y, c)

    def frame(self, x0, y0, x1, y1, c):
        for x in range(x0, x1 + 1):
            self.set(x, y0, c)
            self.set(x, y1, c)
        for y in range(y0, y1 + 1):
            self.set(x0, y, c)
            self.set(x1, y, c)

    def box(self, x0, y0, x1, y1, inside, edge="k"):
        self.fill(x0, y0, x1, y1, inside)
        self.frame(x0, y0, x1, y1, edge)

    def line(self, x0, y0, x1, y1, c):
        """Bresenham line, both end points included."""
        dx, dy = abs(x1 - x0), -abs(y1 - y0)
        sx, sy = (1 if x0 < x1 else -1), (1 if y0 < y1 else -1)
        err = dx + dy
        while True:
            self.set(x0, y0, c)
            if x0 == x1 and y0 == y1:
                return
            e2 = 2 * err
            if e2 >= dy:
                err += dy
                x0 += sx
            if e2 <= dx:
                err += dx
                y0 += sy

    def disc(self, cx, cy, r, c):
        """Every cell whose centre lies within r of (cx, cy)."""
        for y in range(self.height):
            for x in range(self.width):
                if (x - cx) ** 2 + (y - cy) ** 2 <= r * r:
                    self.set(x, y, c)

    def ring(self, cx, cy, r, c, thickness=1.0):
        for y in range(self.height):
            for x in range(self.width):
                d = math.hypot(x - cx, y - cy)
                if r - thickness < d <= r:
                    self.set(x, y, c)

    def polygon(self, points, c):
        """Fills the polygon (cell centres inside by the even-odd rule)."""
        n = len(points)
        for y in range(self.height):
            py = y + 0.5
            crossings = []
            for i in range(n):
                (x0, y0), (x1, y1) = points[i], points[(i + 1) % n]
                if (y0 <= py < y1) or (y1 <= py < y0):
                    crossings.append(x0 + (py - y0) * (x1 - x0) / (y1 - y0))
            crossings.sort()
            for a, b in zip(crossings[::2], crossings[1::2]):
                for x in range(self.width):
                    if a <= x + 0.5 < b:
                        self.set(x, y, c)

    def art(self, x0, y0, rows):
        """Copies a small drawing given as rows of palette keys; "." leaves cells alone."""
        for dy, row in enumerate(rows):
            for dx, c in enumerate(row):
                if c != ".":
                    self.set(x0 + dx, y0 + dy, c)

    def scaled(self, factor):
        """This drawing with every cell repeated factor times across and down."""
        big = Canvas(self.width * factor, self.height * factor)
        for y in range(big.height):
            for x in range(big.width):
                big.cells[y][x] = self.cells[y // factor][x // factor]
        return big

    def padded(self, size):
        """This drawing centred on a transparent size x size canvas."""
        big = Canvas(size, size)
        x0, y0 = (size - self.width) // 2, (size - self.height) // 2
        for y in range(self.height):
            for x in range(self.width):
                big.set(x0 + x, y0 + y, self.cells[y][x])
        return big

    def paste(self, x0, other):
        for y in range(other.height):
            for x in range(other.width):
                self.set(x0 + x, y, other.cells[y][x])


# Toolbar buttons, 16 x 15 each.


def button_open():
    c = Canvas(16, 15)
    c.art(0, 2, [
        ".kkkkk..........",
        "koooook.........",
        "kooooookkkkkkk..",
        "kooooooooooook..",
        "koookkkkkkkkkkkk",
        "kookyyyyyyyyyyyk",
        "kokyyyyyyyyyyyk.",
        "kokyyyyyyyyyyyk.",
        "kkyyyyyyyyyyyk..",
        "kkyyyyyyyyyyyk..",
        "kkkkkkkkkkkkk...",
    ])
    return c


def button_full_size():
    c = Canvas(16, 15)
    c.box(0, 1, 15, 13, "w")
    c.art(2, 3, [
        "..kk......kk",
        ".kkk.....kkk",
        "kkkk....kkkk",
        "..kk.kk...kk",
        "..kk.kk...kk",
        "..kk......kk",
        "..kk.kk...kk",
        "..kk.kk...kk",
        "..kk......kk",
    ])
    return c


def button_show_texts():
    c = Canvas(16, 15)
    # The label: a note with two lines of text.
    c.box(5, 1, 15, 9, "y")
    c.line(7, 3, 13, 3, "n")
    c.line(7, 5, 11, 5, "n")
    c.line(7, 7, 12, 7, "n")
    # The point it belongs to, with its leader line.
    c.line(4, 10, 6, 8, "k")
    c.box(1, 10, 4, 13, "r")
    return c


def magnifier(c, cx, cy, r, sign, handle=4):
    c.disc(cx, cy, r, "c")
    c.ring(cx, cy, r + 0.5, "k", 1.2)
    # Highlight on the glass.
    c.set(int(cx - r / 2), int(cy - r / 2), "w")
    c.set(int(cx - r / 2) + 1, int(cy - r / 2) - 1 if r > 3 else int(cy - r / 2), "w")
    # Handle towards the lower right, two cells thick.
    hx, hy = int(cx + r * 0.72) + 1, int(cy + r * 0.72) + 1
    for i in range(handle):
        c.set(hx + i, hy + i, "m")
        c.set(hx + i + 1, hy + i, "m")
        c.set(hx + i, hy + i + 1, "k")
    if sign in ("+", "-"):
        c.line(int(cx) - 2, int(cy), int(cx) + 2, int(cy), "k")
    if sign == "+":
        c.line(int(cx), int(cy) - 2, int(cx), int(cy) + 2, "k")


def button_zoom(sign):
    c = Canvas(16, 15)
    magnifier(c, 6, 6, 5, sign)
    return c


def button_save_as():
    c = Canvas(16, 15)
    # A disk: blue body, white label, gray shutter.
    c.box(0, 1, 12, 13, "n")
    c.box(2, 1, 10, 6, "w")
    c.line(3, 3, 9, 3, "d")
    c.line(3, 5, 9, 5, "d")
    c.fill(3, 9, 9, 13, "d")
    c.fill(4, 10, 5, 12, "n")
    c.frame(0, 1, 12, 13, "k")
    # A pencil across the corner: written under another name.
    for i in range(6):
        c.set(9 + i, 13 - i, "y")
        c.set(10 + i, 13 - i, "o")
        c.set(9 + i, 12 - i, "k")
        c.set(11 + i, 13 - i, "k")
    c.set(8, 14, "k")
    c.set(9, 14, "k")
    c.set(15, 7, "r")
    c.set(15, 8, "r")
    return c


def button_print():
    c = Canvas(16, 15)
    c.box(4, 0, 11, 5, "w")
    c.line(6, 2, 9, 2, "d")
    c.box(1, 5, 14, 10, "w")
    c.fill(2, 8, 13, 9, "d")
    c.set(12, 6, "l")
    c.box(3, 10, 12, 14, "w")
    c.line(5, 12, 10, 12, "d")
    return c


def button_print_preview():
    c = Canvas(16, 15)
    c.box(0, 0, 10, 14, "w")
    for y in (2, 4, 6, 8, 10, 12):
        c.line(2, y, 8, y, "d")
    magnifier(c, 9.5, 8.5, 3.5, "", handle=3)
    return c


def toolbar():
    buttons = [
        button_open(),
        button_full_size(),
        button_show_texts(),
        button_zoom("+"),
        button_zoom("-"),
        button_save_as(),
        button_print(),
        button_print_preview(),
    ]
    strip = Canvas(16 * len(buttons), 15)
    for i, b in enumerate(buttons):
        strip.paste(16 * i, b)
    return strip


# Icons.


def map_sheet(c, s):
    """A folded map sheet filling most of a c.width-square canvas; s scales 32-cell geometry."""

    def p(v):
        return int(round(v * s))

    # Three panels, alternately lit, folded like a leaflet.
    panels = [
        [(1, 8), (11, 5), (11, 29), (1, 31)],
        [(11, 5), (21, 8), (21, 31), (11, 29)],
        [(21, 8), (31, 5), (31, 29), (21, 31)],
    ]
    fills = ["w", "y", "w"]
    for pts, fill in zip(panels, fills):
        c.polygon([(p(x), p(y)) for x, y in pts], fill)
    # Land, water and a road on the sheet.
    if s >= 1:
        c.polygon([(2, 20), (8, 17), (15, 21), (20, 18), (30, 22), (30, 28), (21, 30),
                   (11, 28), (2, 30)], "l")
        c.line(2, 14, 10, 16, "b")
        c.line(10, 16, 17, 13, "b")
        c.line(17, 13, 30, 15, "b")
        c.line(2, 15, 10, 17, "c")
        c.line(10, 17, 17, 14, "c")
        c.line(17, 14, 30, 16, "c")
        c.line(4, 26, 14, 24, "m")
        c.line(14, 24, 27, 27, "m")
    else:
        c.polygon([(1, 10), (5, 9), (9, 11), (15, 10), (15, 14), (1, 15)], "l")
        c.line(1, 7, 5, 8, "b")
        c.line(6, 8, 15, 7, "b")
    # Outlines and folds.
    outline = [(1, 8), (11, 5), (21, 8), (31, 5), (31, 29), (21, 31), (11, 29), (1, 31)]
    pts = [(min(p(x), c.width - 1), min(p(y), c.height - 1)) for x, y in outline]
    for i in range(len(pts)):
        x0, y0 = pts[i]
        x1, y1 = pts[(i + 1) % len(pts)]
        c.line(x0, y0, x1, y1, "k")
    c.line(p(11), p(5), p(11), min(p(29), c.height - 1), "d")
    c.line(p(21), p(8), p(21), min(p(31), c.height - 1), "d")


def icon_app(size):
    c = Canvas(size, size)
    if size == 32:
        map_sheet(c, 1.0)
        # The pin: a red head with a highlight and a needle into the map.
        c.line(17, 12, 14, 22, "k")
        c.line(18, 12, 15, 22, "d")
        c.disc(19.5, 7.5, 5.2, "r")
        c.ring(19.5, 7.5, 5.7, "m", 1.0)
        c.disc(18, 6, 1.5, "w")
        # The point where it sits.
        c.box(12, 21, 15, 24, "r")
    else:
        map_sheet(c, 0.5)
        c.line(8, 7, 7, 11, "k")
        c.disc(9.5, 3.5, 2.6, "r")
        c.ring(9.5, 3.5, 3.0, "m", 0.8)
        c.set(9, 3, "w")
        c.box(6, 11, 7, 12, "r", "r")
    return c


def icon_doc(size):
    c = Canvas(size, size)
    if size == 32:
        # A page with a turned corner.
        c.polygon([(4, 1), (22, 1), (29, 8), (29, 31), (4, 31)], "w")
        outline = [(4, 0), (22, 0), (28, 6), (28, 30), (4, 30)]
        for i in range(len(outline)):
            x0, y0 = outline[i]
            x1, y1 = outline[(i + 1) % len(outline)]
            c.line(x0, y0, x1, y1, "k")
        c.polygon([(22, 1), (28, 7), (22, 7)], ".")
        c.fill(22, 1, 22, 6, "k")
        c.line(22, 6, 27, 6, "k")
        c.polygon([(22.5, 1), (27.5, 6), (22.5, 6)], "d")
        c.line(22, 0, 28, 6, "k")
        # The picture on it: sky, hills, a sun, and one marked point with its label.
        c.fill(7, 9, 25, 26, "c")
        c.disc(11, 13, 2.2, "y")
        c.polygon([(7, 22), (12, 17), (17, 21), (21, 18), (26, 22), (26, 27), (7, 27)], "g")
        c.frame(6, 8, 26, 27, "d")
        c.box(17, 13, 19, 15, "r", "r")
        c.box(20, 10, 24, 12, "y", "k")
    else:
        c.polygon([(2, 0), (11, 0), (14, 3), (14, 16), (2, 16)], "w")
        c.frame(2, 0, 13, 15, "k")
        c.polygon([(11, 0), (14, 3), (14, 0)], ".")
        c.line(11, 0, 13, 2, "k")
        c.line(11, 0, 11, 2, "k")
        c.line(11, 2, 13, 2, "k")
        c.set(13, 2, "k")
        c.fill(4, 5, 11, 13, "c")
        c.polygon([(4, 11), (6, 9), (8, 11), (10, 9), (12, 11), (12, 14), (4, 14)], "g")
        c.box(8, 6, 9, 7, "r", "r")
    return c


# PNG output.


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def png_bytes(canvas):
    """A 4-bit indexed PNG with the shared palette; silver is fully transparent."""
    raw = bytearray()
    for row in canvas.cells:
        raw.append(0)  # filter: none
        idx = [INDEX[c] for c in row]
        if len(idx) % 2:
            idx.append(0)
        for a, b in zip(idx[::2], idx[1::2]):
            raw.append((a << 4) | b)
    header = struct.pack(">IIBBBBB", canvas.width, canvas.height, 4, 3, 0, 0, 0)
    plte = b"".join(bytes(rgb) for _, rgb in PALETTE)
    trns = bytes(0 if i == TRANSPARENT else 255 for i in range(len(PALETTE)))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"PLTE", plte)
            + chunk(b"tRNS", trns) + chunk(b"IDAT", zlib.compress(bytes(raw), 9))
            + chunk(b"IEND", b""))


def svg_text(canvas):
    """The drawing as an SVG of unit squares (runs of one colour in a row joined), crisp at
    every size; the transparent cells are left out."""
    rects = []
    for y, row in enumerate(canvas.cells):
        x = 0
        while x < canvas.width:
            c = row[x]
            end = x
            while end + 1 < canvas.width and row[end + 1] == c:
                end += 1
            if c != ".":
                r, g, b = dict(PALETTE)[c]
                rects.append(f'<rect x="{x}" y="{y}" width="{end - x + 1}" height="1" '
                             f'fill="#{r:02x}{g:02x}{b:02x}"/>')
            x = end + 1
    return ('<?xml version="1.0" encoding="UTF-8"?>\n'
            f'<svg xmlns="http://www.w3.org/2000/svg" width="{canvas.width}" '
            f'height="{canvas.height}" viewBox="0 0 {canvas.width} {canvas.height}" '
            'shape-rendering="crispEdges">\n' + "\n".join(rects) + "\n</svg>\n")


def app_icon_sizes():
    """The application icon at each size of the icon theme, from the drawing that fills it best."""
    small, large = icon_app(16), icon_app(32)
    return {
        16: small,
        22: small.padded(22),
        24: small.padded(24),
        32: large,
        48: small.scaled(3),
        64: large.scaled(2),
        128: large.scaled(4),
        256: large.scaled(8),
    }


def main():
    out = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "images")
    if len(sys.argv) > 1:
        out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    images = {
        "toolbar.png": toolbar(),
        "app-32.png": icon_app(32),
        "app-16.png": icon_app(16),
        "doc-32.png": icon_doc(32),
        "doc-16.png": icon_doc(16),
    }
    # The other sizes of the application icon are for the desktop (installed, not built in).
    for size, canvas in app_icon_sizes().items():
        images[f"app-{size}.png"] = canvas
    for name, canvas in images.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(png_bytes(canvas))
        print(f"{name}: {canvas.width} x {canvas.height}")
    with open(os.path.join(out, "app.svg"), "w", encoding="utf-8") as f:
        f.write(svg_text(icon_app(32)))
    print("app.svg: 32 x 32, scalable")


if __name__ == "__main__":
    main()
