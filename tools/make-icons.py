#!/usr/bin/env python3
"""Draws Framzo's built-in icons and writes them as compiled-in data.

Every icon is simple pixel art drawn here in code, so the pictures can be
changed and regenerated at will.  Outputs:

  src/ui/images/embeddedimages.cpp   the table of compressed image records
  data/framzo.png                 the 64x64 desktop icon
  data/icons/framzo-N.png         the desktop icon at the other usual sizes
  --preview FILE                  optional: all icons enlarged on one sheet

The record data uses Qt's qCompress layout (a 4-byte big-endian length, then a
zlib stream).  32-bit pixels are stored as little-endian ARGB words, which is
how QImage keeps them on the usual little-endian machines; the decoder converts
on others.  Only the Python standard library is used.

Run from the repository root:  python3 tools/make-icons.py [--preview sheet.png]
"""

import math
import os
import struct
import sys
import zlib

TRANSPARENT = 0x00000000


def rgb(v):
    """An opaque ARGB value from 0xRRGGBB."""
    return 0xFF000000 | v


BG = rgb(0xEFEFEF)          # the window colour of Qt's default style
OUTLINE = rgb(0x3C3C3C)
WHITE = rgb(0xFFFFFF)
BLACK = rgb(0x000000)


class Canvas:
    def __init__(self, w, h, fill=TRANSPARENT):
        self.w, self.h = w, h
        self.px = [fill] * (w * h)

    def get(self, x, y):
        return self.px[y * self.w + x]

    def put(self, x, y, c):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y * self.w + x] = c

    def rect(self, x0, y0, x1, y1, c):
        """Filled rectangle, corners inclusive."""
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.put(x, y, c)

    def frame(self, x0, y0, x1, y1, c):
        """Rectangle outline, corners inclusive."""
        for x in range(x0, x1 + 1):
            self.put(x, y0, c)
            self.put(x, y1, c)
        for y in range(y0, y1 + 1):
            self.put(x0, y, c)
            self.put(x1, y, c)

    def line(self, x0, y0, x1, y1, c):
        dx, dy = abs(x1 - x0), -abs(y1 - y0)
        sx = 1 if x0 < x1 else -1
        sy = 1 if y0 < y1 else -1
        err = dx + dy
        while True:
            self.put(x0, y0, c)
            if x0 == x1 and y0 == y1:
                return
            e2 = 2 * err
            if e2 >= dy:
                err += dy
                x0 += sx
            if e2 <= dx:
                err += dx
                y0 += sy

    def poly(self, pts, c):
        """Filled polygon: every pixel whose centre lies inside."""
        n = len(pts)
        for y in range(self.h):
            cy = y + 0.5
            for x in range(self.w):
                cx = x + 0.5
                inside = False
                j = n - 1
                for i in range(n):
                    xi, yi = pts[i]
                    xj, yj = pts[j]
                    if (yi > cy) != (yj > cy):
                        if cx < (xj - xi) * (cy - yi) / (yj - yi) + xi:
                            inside = not inside
                    j = i
                if inside:
                    self.put(x, y, c)

    def disc(self, cx, cy, r, c):
        for y in range(self.h):
            for x in range(self.w):
                if (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= r * r:
                    self.put(x, y, c)

    def ring(self, cx, cy, r0, r1, c, keep=lambda x, y: True):
        for y in range(self.h):
            for x in range(self.w):
                d2 = (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2
                if r0 * r0 <= d2 <= r1 * r1 and keep(x, y):
                    self.put(x, y, c)

    def outline(self, c, of):
        """Draws c on every pixel next to a pixel of colour set `of` but not in it."""
        marks = []
        for y in range(self.h):
            for x in range(self.w):
                if self.get(x, y) in of:
                    continue
                for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)):
                    nx, ny = x + dx, y + dy
                    if 0 <= nx < self.w and 0 <= ny < self.h and self.get(nx, ny) in of:
                        marks.append((x, y))
                        break
        for x, y in marks:
            self.put(x, y, c)

    def text(self, x, y, s, c):
        for ch in s:
            rows = FONT[ch]
            for ry, row in enumerate(rows):
                for rx, bit in enumerate(row):
                    if bit == '#':
                        self.put(x + rx, y + ry, c)
            x += len(rows[0]) + 1

    def mirrored(self):
        m = Canvas(self.w, self.h)
        for y in range(self.h):
            for x in range(self.w):
                m.put(self.w - 1 - x, y, self.get(x, y))
        return m

    def vgradient(self, x0, y0, x1, y1, top, bottom):
        for y in range(y0, y1 + 1):
            t = (y - y0) / max(1, y1 - y0)
            self.rect(x0, y, x1, y, mix(top, bottom, t))


def mix(a, b, t):
    """Blend two opaque colours."""
    out = 0xFF000000
    for shift in (16, 8, 0):
        ca = (a >> shift) & 0xFF
        cb = (b >> shift) & 0xFF
        out |= int(round(ca + (cb - ca) * t)) << shift
    return out


# A 3x5 font, enough for the format badges and the gallery page.
FONT = {
    'B': ["##.", "#.#", "##.", "#.#", "##."],
    'F': ["###", "#..", "##.", "#..", "#.."],
    'G': [".##", "#..", "#.#", "#.#", ".##"],
    'H': ["#.#", "#.#", "###", "#.#", "#.#"],
    'I': ["###", ".#.", ".#.", ".#.", "###"],
    'J': ["..#", "..#", "..#", "#.#", ".#."],
    'L': ["#..", "#..", "#..", "#..", "###"],
    'M': ["#.#", "###", "###", "#.#", "#.#"],
    'N': ["#.#", "###", "###", "###", "#.#"],
    'P': ["##.", "#.#", "##.", "#..", "#.."],
    'T': ["###", ".#.", ".#.", ".#.", ".#."],
    'X': ["#.#", "#.#", ".#.", "#.#", "#.#"],
}


# ---- the pictures ----------------------------------------------------------

def landscape(c, x0, y0, x1, y1, sun=True):
    """A small photo: sky, sun, hills."""
    c.vgradient(x0, y0, x1, y1, rgb(0x4A8FE0), rgb(0xBFDDF7))
    w, h = x1 - x0 + 1, y1 - y0 + 1
    if sun:
        c.disc(x0 + w * 0.72, y0 + h * 0.28, max(1.2, h * 0.14), rgb(0xFFD23A))
    c.poly([(x0, y0 + h * 0.70), (x0 + w * 0.35, y0 + h * 0.40), (x0 + w * 0.62, y0 + h * 0.66),
            (x0 + w, y0 + h * 0.52), (x0 + w, y0 + h), (x0, y0 + h)], rgb(0x3E9A3E))
    c.poly([(x0, y0 + h * 0.86), (x0 + w * 0.5, y0 + h * 0.72), (x0 + w, y0 + h * 0.84),
            (x0 + w, y0 + h), (x0, y0 + h)], rgb(0x2C7A2C))


def draw_delete():
    c = Canvas(32, 32, BG)
    body, rib, dark = rgb(0xC3C8D0), rgb(0x8A929E), rgb(0x4A5260)
    c.poly([(8, 9), (24, 9), (22, 29), (10, 29)], body)
    c.outline(dark, {body})
    for x in (12, 16, 20):
        c.line(x, 12, x, 26, rib)
    c.rect(6, 6, 25, 8, rgb(0xA7AEB8))
    c.frame(6, 6, 25, 8, dark)
    c.frame(13, 3, 18, 6, dark)
    # a red cross over the can says "gone"
    red = rgb(0xD02A2A)
    for d in range(0, 3):
        c.line(15 + d, 14, 27 + d, 26, red)
        c.line(27 + d, 14, 15 + d, 26, red)
    return c


def draw_icon():
    c = Canvas(16, 16, BG)
    landscape(c, 1, 1, 14, 14)
    c.frame(0, 0, 15, 15, OUTLINE)
    red = rgb(0xE02020)
    c.frame(4, 3, 12, 11, red)
    c.rect(10, 9, 12, 11, red)
    return c


def draw_icon16():
    c = Canvas(31, 16, BG)
    landscape(c, 1, 1, 13, 14)
    c.frame(0, 0, 14, 15, OUTLINE)
    red = rgb(0xE02020)
    c.frame(5, 4, 12, 10, red)
    # an arrow from the framed part to the cut-out
    c.rect(15, 7, 17, 8, rgb(0x2F6FBF))
    c.poly([(18, 4), (21, 7.9), (18, 11.8)], rgb(0x2F6FBF))
    landscape(c, 22, 3, 29, 12, sun=True)
    c.frame(21, 2, 30, 13, red)
    return c


def draw_arrow(left):
    c = Canvas(32, 19, BG)
    fill, dark = rgb(0x3C7DD0), rgb(0x1E4A86)
    pts = [(3, 7), (17, 7), (17, 2), (28, 9.5), (17, 17), (17, 12), (3, 12)]
    c.poly(pts, fill)
    c.outline(dark, {fill})
    c.rect(4, 8, 16, 8, rgb(0x7FB0EA))
    return c.mirrored() if left else c


def draw_swatch(colour):
    c = Canvas(8, 8, rgb(colour))
    c.frame(0, 0, 7, 7, rgb(0x707070))
    return c


def draw_close():
    c = Canvas(16, 16, BG)
    c.disc(8, 8, 7.5, rgb(0xA01818))
    c.disc(8, 8, 6.5, rgb(0xD83030))
    for d in (0, 1):
        c.line(4 + d, 4, 11 + d, 11, WHITE)
        c.line(11 + d, 4, 4 + d, 11, WHITE)
    return c


def draw_color():
    c = Canvas(20, 20, BG)
    centres = [(7, 7.5, 0xFF0000), (13, 7.5, 0x00C000), (10, 12.5, 0x0000FF)]
    for y in range(20):
        for x in range(20):
            v = 0
            hit = False
            for cx, cy, col in centres:
                if (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= 5.6 ** 2:
                    v |= col
                    hit = True
            if hit:
                c.put(x, y, rgb(v if v != 0xFFC0FF else 0xFFFFFF))
    c.outline(rgb(0x505050), {p for p in set(c.px) if p != BG})
    return c


def draw_invert():
    c = Canvas(20, 20, BG)
    c.disc(10, 10, 8.5, rgb(0x303030))
    c.disc(10, 10, 7.5, WHITE)
    for y in range(20):
        for x in range(10):
            if c.get(x, y) == WHITE:
                c.put(x, y, BLACK)
    # a small white dot in the black half and a black one in the white half
    c.disc(6.5, 10, 1.6, WHITE)
    c.disc(13.5, 10, 1.6, BLACK)
    return c


def draw_open_folder(c, x0, y0, w, h, dark, back, front):
    """An open folder filling the box (x0, y0, w, h)."""
    x1, y1 = x0 + w - 1, y0 + h - 1
    tab = max(2, w // 3)
    c.poly([(x0, y0 + 1), (x0 + tab, y0 + 1), (x0 + tab + 1, y0 + 2.5), (x1 - 1, y0 + 2.5),
            (x1 - 1, y1 + 1), (x0, y1 + 1)], back)
    c.poly([(x0 + w * 0.22, y0 + h * 0.42), (x1 + 1, y0 + h * 0.42), (x1 + 1 - w * 0.2, y1 + 1),
            (x0, y1 + 1)], front)
    c.outline(dark, {back, front})


def draw_fileopen():
    c = Canvas(22, 22)
    draw_open_folder(c, 2, 4, 18, 15, rgb(0x7A5A10), rgb(0xD8A428), rgb(0xF6CF58))
    # a green arrow coming out of the folder
    g = rgb(0x2E9A3A)
    c.poly([(13, 3), (19, 3), (19, 9)], g)
    c.line(17, 5, 12, 10, g)
    c.line(16, 5, 11, 10, g)
    return c


def draw_open():
    c = Canvas(16, 13, BG)
    draw_open_folder(c, 1, 1, 14, 11, rgb(0x7A5A10), rgb(0xD8A428), rgb(0xF6CF58))
    return c


def draw_upon():
    c = Canvas(15, 13, BG)
    dark, body = rgb(0x7A5A10), rgb(0xE8BC40)
    c.rect(1, 3, 5, 4, body)
    c.rect(1, 4, 13, 11, body)
    c.outline(dark, {body})
    g, gd = rgb(0x2E9A3A), rgb(0x1C5E24)
    c.poly([(7.5, 2), (12, 7), (9, 7), (9, 11), (6, 11), (6, 7), (3, 7)], g)
    c.outline(gd, {g})
    return c


def folder_pixels():
    """The large folder of the gallery dialog, as a 64x64 indexed picture."""
    palette = [rgb(0xFFFFFF), rgb(0x6B4E0E), rgb(0xC9951E), rgb(0xF2C94C), rgb(0xFBE3A0),
               rgb(0xA97C16), rgb(0xD9D9D9), rgb(0xFCFCF8)]
    c = Canvas(64, 64, palette[0])
    # shadow, back, paper, front
    c.poly([(6, 14), (24, 14), (28, 19), (58, 19), (58, 56), (6, 56)], palette[2])
    c.rect(10, 22, 54, 30, palette[6])
    c.rect(11, 22, 53, 26, palette[7])
    c.poly([(6, 27), (60, 27), (58, 56), (6, 56)], palette[3])
    c.rect(7, 28, 58, 29, palette[4])
    c.outline(palette[1], {palette[2], palette[3], palette[4], palette[6], palette[7]})
    c.line(6, 55, 58, 55, palette[5])
    # the folder's own shadow on the page
    for y in range(20, 58):
        if c.get(59, y) == palette[0]:
            c.put(59, y, palette[6])
    for x in range(8, 60):
        if c.get(x, 57) == palette[0]:
            c.put(x, 57, palette[6])
    # grey ramp for the unused entries; all opaque
    table = palette + [rgb((g << 16) | (g << 8) | g) for g in
                       (int(i * 255 / (256 - len(palette) - 1)) for i in range(256 - len(palette)))]
    index = {}
    for i, v in enumerate(table):
        index.setdefault(v, i)
    return c, table, index


def draw_generate():
    c = Canvas(32, 32, BG)
    metal, dark, hole = rgb(0x9AA3AE), rgb(0x3E4650), BG
    cx = cy = 16
    for y in range(32):
        for x in range(32):
            dx, dy = x + 0.5 - cx, y + 0.5 - cy
            r = math.hypot(dx, dy)
            a = math.atan2(dy, dx)
            tooth = (math.cos(8 * a) > 0.15)
            if r <= 10 or (r <= 14 and tooth):
                c.put(x, y, metal)
    c.disc(cx, cy, 4.2, hole)
    c.outline(dark, {metal})
    c.ring(cx, cy, 6.5, 7.6, rgb(0xC4CBD3))
    return c


def draw_html():
    c = Canvas(38, 38, BG)
    paper, dark = WHITE, rgb(0x5A5A5A)
    c.poly([(5, 1), (27, 1), (34, 8), (34, 37), (5, 37)], paper)
    c.outline(dark, {paper})
    c.poly([(27, 1), (27, 8), (34, 8)], rgb(0xD0D0D0))
    c.line(27, 1, 27, 8, dark)
    c.line(27, 8, 34, 8, dark)
    # a grid of thumbnails, the gallery index
    colours = [0x4A8FE0, 0x3E9A3E, 0xE0A030, 0xC04848, 0x8A5CC0, 0x30A0A0]
    i = 0
    for row in range(2):
        for col in range(3):
            x = 8 + col * 8
            y = 11 + row * 8
            c.rect(x, y, x + 5, y + 5, rgb(colours[i]))
            c.frame(x, y, x + 5, y + 5, rgb(0x404040))
            i += 1
    band = rgb(0xE06A1E)
    c.rect(3, 28, 36, 35, band)
    c.frame(3, 28, 36, 35, rgb(0x8A3A08))
    c.text(12, 30, "HTML", WHITE)
    return c


def draw_print():
    c = Canvas(22, 22)
    paper, body, dark, tray = WHITE, rgb(0xB8BEC6), rgb(0x3A4048), rgb(0x7C848E)
    c.rect(6, 1, 15, 8, paper)
    c.frame(6, 1, 15, 8, dark)
    for y in (3, 5):
        c.line(8, y, 13, y, rgb(0x8080A0))
    c.rect(1, 8, 20, 16, body)
    c.frame(1, 8, 20, 16, dark)
    c.rect(2, 9, 19, 9, rgb(0xDCE0E6))
    c.rect(16, 11, 17, 12, rgb(0x30C040))
    c.rect(4, 14, 17, 20, paper)
    c.frame(4, 14, 17, 20, dark)
    c.line(2, 16, 19, 16, tray)
    c.line(6, 18, 15, 18, rgb(0x8080A0))
    return c


def draw_redo():
    c = Canvas(22, 22)
    fill, dark = rgb(0x2A62B8), rgb(0x163A70)
    cx, cy = 10.5, 13
    c.ring(cx, cy, 4.5, 8, fill, keep=lambda x, y: y + 0.5 <= cy)
    c.rect(2, 13, 5, 16, fill)
    c.poly([(13, 12), (21, 12), (17, 18.5)], fill)
    c.outline(dark, {fill})
    return c


def draw_filesave():
    c = Canvas(22, 22)
    body, dark, shutter, label = rgb(0x2F4F9A), rgb(0x14224A), rgb(0xC8CDD4), WHITE
    c.poly([(2, 2), (17, 2), (20, 5), (20, 20), (2, 20)], body)
    c.outline(dark, {body})
    c.rect(6, 2, 15, 7, shutter)
    c.rect(12, 3, 13, 6, dark)
    c.rect(5, 11, 17, 19, label)
    for y in (13, 15, 17):
        c.line(7, y, 15, y, rgb(0x9098B0))
    return c


def pic_pixels():
    """A small framed picture for image files of other formats: 8-bit, transparent around."""
    transparent = TRANSPARENT
    palette = [transparent, rgb(0x404040), rgb(0xFFFFFF), rgb(0x4A8FE0), rgb(0xBFDDF7),
               rgb(0xFFD23A), rgb(0x3E9A3E), rgb(0x2C7A2C), rgb(0x86B8EC)]
    c = Canvas(16, 16, transparent)
    c.rect(1, 2, 14, 13, palette[2])
    c.frame(1, 2, 14, 13, palette[1])
    c.rect(3, 4, 12, 11, palette[3])
    c.rect(3, 7, 12, 8, palette[8])
    c.disc(10, 6, 1.3, palette[5])
    c.poly([(3, 11.9), (3, 9), (6, 7), (9, 10), (11, 8.5), (13, 10), (13, 11.9)], palette[6])
    c.rect(3, 11, 12, 11, palette[7])
    table = palette + [transparent] * (256 - len(palette))
    index = {}
    for i, v in enumerate(table):
        index.setdefault(v, i)
    return c, table, index


def draw_badge(letters, colour):
    c = Canvas(16, 16, BG)
    paper, dark = WHITE, rgb(0x6A6A6A)
    c.poly([(2, 0), (10, 0), (14, 4), (14, 16), (2, 16)], paper)
    c.outline(dark, {paper})
    c.rect(2, 15, 14, 15, dark)
    c.poly([(10, 0), (10, 4), (14, 4)], rgb(0xD4D4D4))
    c.line(10, 0, 10, 4, dark)
    c.line(10, 4, 14, 4, dark)
    band = rgb(colour)
    c.rect(0, 7, 15, 13, band)
    c.frame(0, 7, 15, 13, mix(band, BLACK, 0.45))
    c.text(2, 8, letters, WHITE)
    return c


def draw_computer():
    c = Canvas(16, 17, BG)
    case, dark = rgb(0xC8C8C0), rgb(0x44443C)
    c.rect(1, 0, 14, 11, case)
    c.frame(1, 0, 14, 11, dark)
    c.vgradient(3, 2, 12, 9, rgb(0x1E5AB4), rgb(0x52A0E8))
    c.frame(3, 2, 12, 9, rgb(0x6C6C64))
    c.rect(6, 12, 9, 13, case)
    c.line(5, 12, 5, 13, dark)
    c.line(10, 12, 10, 13, dark)
    c.rect(1, 14, 14, 16, case)
    c.frame(1, 14, 14, 16, dark)
    for x in range(3, 13, 2):
        c.put(x, 15, rgb(0x7C7C74))
    return c


def draw_desktop():
    c = Canvas(16, 16, BG)
    c.rect(0, 0, 15, 15, rgb(0x2C8C8C))
    c.frame(0, 0, 15, 15, rgb(0x1A4E4E))
    # two tiny icons and a task bar
    c.rect(2, 2, 5, 4, rgb(0xF2C94C))
    c.rect(2, 2, 3, 2, rgb(0xC9951E))
    c.rect(2, 7, 5, 10, WHITE)
    c.frame(2, 7, 5, 10, rgb(0x505050))
    c.rect(1, 12, 14, 14, rgb(0xC8C8C8))
    c.line(1, 12, 14, 12, WHITE)
    c.rect(2, 13, 4, 13, rgb(0x2E9A3A))
    c.put(13, 13, rgb(0x505050))
    c.put(11, 13, rgb(0x505050))
    return c


def draw_drive():
    c = Canvas(16, 16, BG)
    top, front, dark = rgb(0xD8D8D8), rgb(0xA8A8A8), rgb(0x404040)
    c.poly([(3, 3), (15, 3), (13, 6), (1, 6)], top)
    c.rect(1, 6, 13, 12, front)
    c.poly([(13.9, 6), (15, 3.9), (15, 11), (13.9, 13)], rgb(0x808080))
    c.outline(dark, {top, front, rgb(0x808080)})
    c.line(1, 6, 13, 6, rgb(0xF0F0F0))
    c.line(3, 9, 8, 9, rgb(0x5A5A5A))
    c.rect(10, 9, 11, 10, rgb(0x30C040))
    return c


def draw_app_icon(size=64):
    """The desktop icon: a photo with a red cut frame.

    Drawn at each size rather than resampled, so that the outline and the
    frame stay whole pixels at 16x16 and sharp at 256x256; 64 is the
    reference the coordinates are written for.
    """
    k = size / 64

    def at(v):
        return int(round(v * k))

    def thick(v, least=1):
        return max(least, int(round(v * k)))

    c = Canvas(size, size)
    white, dark = WHITE, rgb(0x4A4A4A)
    x0, y0, x1, y1 = at(3), at(8), at(61) - 1, at(56) - 1
    line = thick(1)
    c.rect(x0, y0, x1, y1, white)
    for i in range(line):
        c.frame(x0 + i, y0 + i, x1 - i, y1 - i, dark)
    # at least one white pixel between the outline and the picture
    lx0, ly0 = max(at(7), x0 + line + 1), max(at(12), y0 + line + 1)
    lx1, ly1 = min(at(57) - 1, x1 - line - 1), min(at(52) - 1, y1 - line - 1)
    landscape(c, lx0, ly0, lx1, ly1)
    # dim everything outside the frame, as the cut will drop it
    fx0, fy0, fx1, fy1 = at(19), at(17), at(50) - 1, at(45) - 1
    for y in range(ly0, ly1 + 1):
        for x in range(lx0, lx1 + 1):
            if not (fx0 <= x <= fx1 and fy0 <= y <= fy1):
                c.put(x, y, mix(c.get(x, y), BLACK, 0.38))
    red = rgb(0xE02020)
    for i in range(thick(2)):
        c.frame(fx0 + i, fy0 + i, fx1 - i, fy1 - i, red)
    handle = thick(8, 2)
    c.rect(fx1 - handle + 1, fy1 - handle + 1, fx1, fy1, red)
    return c


# The sizes of the desktop icon besides 64x64 (data/framzo.png), as the icon
# themes' usual folders have them.
APP_ICON_SIZES = (16, 22, 24, 32, 48, 128, 256)


# ---- the table -------------------------------------------------------------

# (name, drawing, alpha) in table order; 8-bit pictures give (canvas, table, index).
def collection():
    badges = {"iconBMP.bmp": ("BMP", 0x2956B2), "iconPNG.bmp": ("PNG", 0x2E8B3A),
              "iconTIF.bmp": ("TIF", 0x7A3DA8), "iconJPG.bmp": ("JPG", 0xD9601A),
              "iconXPM.bmp": ("XPM", 0x11817E)}
    undo = draw_redo().mirrored()
    return [
        ("delete.bmp", draw_delete(), False),
        ("icon.bmp", draw_icon(), False),
        ("icon16.bmp", draw_icon16(), False),
        ("left.bmp", draw_arrow(True), False),
        ("right.bmp", draw_arrow(False), False),
        ("black.bmp", draw_swatch(0x000000), False),
        ("blue.bmp", draw_swatch(0x0000FF), False),
        ("close.bmp", draw_close(), False),
        ("color.bmp", draw_color(), False),
        ("fileopen", draw_fileopen(), True),
        ("folder.PNG", folder_pixels(), False),
        ("generate.bmp", draw_generate(), False),
        ("green.bmp", draw_swatch(0x00FF00), False),
        ("html.bmp", draw_html(), False),
        ("invert.bmp", draw_invert(), False),
        ("open.bmp", draw_open(), False),
        ("print", draw_print(), True),
        ("red.bmp", draw_swatch(0xFF0000), False),
        ("redo", draw_redo(), True),
        ("undo", undo, True),
        ("upon.bmp", draw_upon(), False),
        ("white.bmp", draw_swatch(0xFFFFFF), False),
        ("filesave", draw_filesave(), True),
        ("pic.xpm", pic_pixels(), True),
        ("iconBMP.bmp", draw_badge(*badges["iconBMP.bmp"]), False),
        ("iconPNG.bmp", draw_badge(*badges["iconPNG.bmp"]), False),
        ("iconTIF.bmp", draw_badge(*badges["iconTIF.bmp"]), False),
        ("iconJPG.bmp", draw_badge(*badges["iconJPG.bmp"]), False),
        ("iconXPM.bmp", draw_badge(*badges["iconXPM.bmp"]), False),
        ("computer.bmp", draw_computer(), False),
        ("desktop.bmp", draw_desktop(), False),
        ("drive.bmp", draw_drive(), False),
    ]


def qcompress(raw):
    return struct.pack(">I", len(raw)) + zlib.compress(raw, 9)


def encode(entry):
    """(width, height, depth, raw bytes, colour table or None) of one entry."""
    name, art, alpha = entry
    if isinstance(art, tuple):
        canvas, table, index = art
        raw = bytes(index[p] for p in canvas.px)
        assert canvas.w % 4 == 0, name + ": 8-bit rows must need no padding"
        assert len(table) == 256
        return canvas.w, canvas.h, 8, raw, table
    for p in art.px:
        a = p >> 24
        if alpha:
            assert a in (0, 255), name + ": alpha must be all or nothing"
        else:
            assert a == 255, name + ": must be opaque"
    if alpha:
        assert any(p >> 24 == 0 for p in art.px), name + ": has no transparent pixel"
    raw = b"".join(struct.pack("<I", p) for p in art.px)
    return art.w, art.h, 32, raw, None


def c_ident(name):
    return "img_" + "".join(ch if ch.isalnum() else "_" for ch in name)


def hex_lines(values, fmt, per_line):
    out = []
    for i in range(0, len(values), per_line):
        out.append("    " + ", ".join(fmt % v for v in values[i:i + per_line]) + ",")
    return "\n".join(out)


def write_cpp(path, entries):
    parts = [
        "// Generated by tools/make-icons.py; edit the drawings there and rerun it.",
        "// Each record: qCompress'd pixel rows (32-bit pixels as little-endian ARGB",
        "// words, 8-bit pixels as colour-table indices).",
        "",
        "#include \"embeddedimages.h\"",
        "",
        "namespace {",
        "",
    ]
    records = []
    for entry in entries:
        name, _, alpha = entry
        w, h, depth, raw, table = encode(entry)
        assert len(raw) == w * h * depth // 8
        data = qcompress(raw)
        ident = c_ident(name)
        parts.append("const unsigned char %s_data[] = {" % ident)
        parts.append(hex_lines(list(data), "0x%02x", 16))
        parts.append("};")
        if table:
            parts.append("const std::uint32_t %s_ctable[] = {" % ident)
            parts.append(hex_lines(table, "0x%08x", 8))
            parts.append("};")
        parts.append("")
        records.append("    {%d, %d, %d, %s_data, %d, %d, %s, %s, \"%s\"}," % (
            w, h, depth, ident, len(data), len(table) if table else 0,
            ident + "_ctable" if table else "nullptr", "true" if alpha else "false", name))
    parts.append("} // namespace")
    parts.append("")
    parts.append("const EmbeddedImage kEmbeddedImages[] = {")
    parts.extend(records)
    parts.append("    {0, 0, 0, nullptr, 0, 0, nullptr, false, nullptr},")
    parts.append("};")
    parts.append("")
    with open(path, "w") as f:
        f.write("\n".join(parts))


def png_bytes(w, h, argb_rows):
    """An 8-bit RGBA PNG from rows of ARGB values."""
    raw = bytearray()
    for row in argb_rows:
        raw.append(0)
        for p in row:
            raw += bytes(((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF, (p >> 24) & 0xFF))

    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body
                + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))

    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(bytes(raw), 9))
            + chunk(b"IEND", b""))


def write_png(path, canvas):
    rows = [canvas.px[y * canvas.w:(y + 1) * canvas.w] for y in range(canvas.h)]
    with open(path, "wb") as f:
        f.write(png_bytes(canvas.w, canvas.h, rows))


def write_preview(path, entries, app_icon, scale=4):
    """Every icon enlarged on a checkerboard, for looking at the drawings."""
    cells = []
    for name, art, _ in entries:
        if isinstance(art, tuple):
            canvas, table, index = art
            cells.append(canvas)
        else:
            cells.append(art)
    cells.append(app_icon)
    cell = 64 * scale + 8
    cols = 8
    rows = (len(cells) + cols - 1) // cols
    sheet = Canvas(cols * cell, rows * cell)
    for y in range(sheet.h):
        for x in range(sheet.w):
            sheet.px[y * sheet.w + x] = rgb(0xCCCCCC if ((x // 8 + y // 8) % 2) else 0xF8F8F8)
    for i, art in enumerate(cells):
        ox, oy = (i % cols) * cell + 4, (i // cols) * cell + 4
        for y in range(art.h * scale):
            for x in range(art.w * scale):
                p = art.get(x // scale, y // scale)
                if p >> 24:
                    sheet.put(ox + x, oy + y, p)
    write_png(path, sheet)


def main(argv):
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    entries = collection()
    assert len(entries) == 32
    write_cpp(os.path.join(root, "src", "ui", "images", "embeddedimages.cpp"), entries)
    app_icon = draw_app_icon()
    write_png(os.path.join(root, "data", "framzo.png"), app_icon)
    for size in APP_ICON_SIZES:
        write_png(os.path.join(root, "data", "icons", "framzo-%d.png" % size), draw_app_icon(size))
    if len(argv) == 3 and argv[1] == "--preview":
        write_preview(argv[2], entries, app_icon)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
