#!/usr/bin/env python3
"""Draws the icons and bitmaps of the Windows programs.

Usage: make_art.py OUTDIR

Everything is drawn here from simple shapes and a small pixel font, and
written as 24-bit .bmp and 32-bit .ico files for the resource compiler.
"""
import math
import os
import struct
import sys

# ---------------------------------------------------------------- canvas


class Canvas:
    def __init__(self, w, h, color=(255, 255, 255), alpha=255):
        self.w, self.h = w, h
        self.px = [[color for _ in range(w)] for _ in range(h)]
        self.a = [[alpha for _ in range(w)] for _ in range(h)]

    def set(self, x, y, c, a=255):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y][x] = c
            self.a[y][x] = a

    def rect(self, x0, y0, x1, y1, c):
        """Fills x0 <= x < x1, y0 <= y < y1."""
        for y in range(max(0, y0), min(self.h, y1)):
            for x in range(max(0, x0), min(self.w, x1)):
                self.set(x, y, c)

    def frame(self, x0, y0, x1, y1, c):
        self.rect(x0, y0, x1, y0 + 1, c)
        self.rect(x0, y1 - 1, x1, y1, c)
        self.rect(x0, y0, x0 + 1, y1, c)
        self.rect(x1 - 1, y0, x1, y1, c)

    def vgradient(self, x0, y0, x1, y1, c0, c1):
        for y in range(y0, y1):
            t = (y - y0) / max(1, y1 - y0 - 1)
            c = tuple(int(c0[i] + (c1[i] - c0[i]) * t) for i in range(3))
            self.rect(x0, y, x1, y + 1, c)

    def round_rect(self, x0, y0, x1, y1, r, c):
        for y in range(y0, y1):
            for x in range(x0, x1):
                dx = max(x0 + r - x - 0.5, 0, x - (x1 - r) + 0.5)
                dy = max(y0 + r - y - 0.5, 0, y - (y1 - r) + 0.5)
                if dx * dx + dy * dy <= r * r:
                    self.set(x, y, c)

    def disc(self, cx, cy, r, c):
        for y in range(int(cy - r - 1), int(cy + r + 2)):
            for x in range(int(cx - r - 1), int(cx + r + 2)):
                if (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= r * r:
                    self.set(x, y, c)

    def polygon(self, pts, c):
        ys = [p[1] for p in pts]
        for y in range(int(min(ys)), int(math.ceil(max(ys))) + 1):
            yc = y + 0.5
            xs = []
            for i in range(len(pts)):
                (xa, ya), (xb, yb) = pts[i], pts[(i + 1) % len(pts)]
                if (ya <= yc < yb) or (yb <= yc < ya):
                    xs.append(xa + (yc - ya) * (xb - xa) / (yb - ya))
            xs.sort()
            for i in range(0, len(xs) - 1, 2):
                for x in range(int(round(xs[i])), int(round(xs[i + 1]))):
                    self.set(x, y, c)

    def line(self, x0, y0, x1, y1, c, width=1):
        n = int(max(abs(x1 - x0), abs(y1 - y0))) + 1
        for i in range(n + 1):
            t = i / n
            x = x0 + (x1 - x0) * t
            y = y0 + (y1 - y0) * t
            if width <= 1:
                self.set(int(round(x)), int(round(y)), c)
            else:
                self.disc(x, y, width / 2, c)

    def text(self, x, y, s, c, scale=1, bold=False):
        cx = x
        for ch in s:
            g = FONT.get(ch, FONT[' '])
            for row, bits in enumerate(g):
                for col, b in enumerate(bits):
                    if b == 'X':
                        for dx in range(scale + (1 if bold else 0)):
                            for dy in range(scale):
                                self.set(cx + col * scale + dx, y + row * scale + dy, c)
            cx += (len(g[0]) + 1) * scale + (1 if bold else 0)
        return cx

    def text_width(self, s, scale=1, bold=False):
        return sum((len(FONT.get(ch, FONT[' '])[0]) + 1) * scale + (1 if bold else 0) for ch in s) - scale


# 5x7 pixel font (g has a descender row): just the letters the pictures need.
FONT = {
    ' ': ["...", "...", "...", "...", "...", "...", "..."],
    'U': ["X...X", "X...X", "X...X", "X...X", "X...X", "X...X", ".XXX."],
    'P': ["XXXX.", "X...X", "X...X", "XXXX.", "X....", "X....", "X...."],
    'S': [".XXXX", "X....", "X....", ".XXX.", "....X", "....X", "XXXX."],
    'W': ["X...X", "X...X", "X...X", "X.X.X", "X.X.X", "X.X.X", ".X.X."],
    'O': [".XXX.", "X...X", "X...X", "X...X", "X...X", "X...X", ".XXX."],
    'K': ["X...X", "X..X.", "X.X..", "XX...", "X.X..", "X..X.", "X...X"],
    'C': [".XXX.", "X...X", "X....", "X....", "X....", "X...X", ".XXX."],
    'a': [".....", ".....", ".XXX.", "....X", ".XXXX", "X...X", ".XXXX"],
    'r': [".....", ".....", "X.XX.", "XX..X", "X....", "X....", "X...."],
    'n': [".....", ".....", "X.XX.", "XX..X", "X...X", "X...X", "X...X"],
    'i': ["..X..", ".....", ".XX..", "..X..", "..X..", "..X..", ".XXX."],
    'g': [".....", ".....", ".XXXX", "X...X", "X...X", ".XXXX", "....X", ".XXX."],
    'c': [".....", ".....", ".XXX.", "X....", "X....", "X...X", ".XXX."],
    'e': [".....", ".....", ".XXX.", "X...X", "XXXXX", "X....", ".XXX."],
    'l': [".XX..", "..X..", "..X..", "..X..", "..X..", "..X..", ".XXX."],
    '?': [".XXX.", "X...X", "....X", "...X.", "..X..", ".....", "..X.."],
    '!': ["X", "X", "X", "X", "X", ".", "X"],
}

# ---------------------------------------------------------------- writers


def write_bmp(path, cv):
    row_bytes = (cv.w * 3 + 3) & ~3
    data = bytearray()
    for y in range(cv.h - 1, -1, -1):
        row = bytearray()
        for x in range(cv.w):
            r, g, b = cv.px[y][x]
            row += bytes((b, g, r))
        row += b'\0' * (row_bytes - len(row))
        data += row
    header = struct.pack('<2sIHHI', b'BM', 14 + 40 + len(data), 0, 0, 54)
    info = struct.pack('<IiiHHIIiiII', 40, cv.w, cv.h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(path, 'wb') as f:
        f.write(header + info + data)


def icon_image(cv):
    xor = bytearray()
    for y in range(cv.h - 1, -1, -1):
        for x in range(cv.w):
            r, g, b = cv.px[y][x]
            xor += bytes((b, g, r, cv.a[y][x]))
    mask_row = ((cv.w + 31) // 32) * 4
    andm = bytearray()
    for y in range(cv.h - 1, -1, -1):
        row = bytearray(mask_row)
        for x in range(cv.w):
            if cv.a[y][x] < 128:
                row[x // 8] |= 0x80 >> (x % 8)
        andm += row
    info = struct.pack('<IiiHHIIiiII', 40, cv.w, cv.h * 2, 1, 32, 0, len(xor) + len(andm), 0, 0, 0, 0)
    return info + xor + andm


def write_ico(path, canvases):
    images = [icon_image(c) for c in canvases]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for c, img in zip(canvases, images):
        out += struct.pack('<BBBBHHII', c.w % 256, c.h % 256, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    with open(path, 'wb') as f:
        f.write(out + b''.join(images))


# ---------------------------------------------------------------- pictures

NAVY = (24, 52, 110)
STEEL = (70, 84, 104)
DARK = (40, 44, 52)
GREEN = (40, 180, 70)
LIME = (120, 230, 110)
RED = (210, 40, 40)
ORANGE = (240, 150, 30)
YELLOW = (255, 214, 40)
PANEL = (234, 240, 247)


def app_icon(size):
    """A battery with a lightning bolt: the UPS."""
    cv = Canvas(size, size, (0, 0, 0), alpha=0)
    s = size / 32.0
    cv.round_rect(int(11 * s), int(2 * s), int(21 * s), int(6 * s), max(1, int(1 * s)), STEEL)
    cv.round_rect(int(5 * s), int(5 * s), int(27 * s), int(31 * s), max(2, int(4 * s)), STEEL)
    cv.round_rect(int(7 * s), int(7 * s), int(25 * s), int(29 * s), max(1, int(3 * s)), NAVY)
    cv.rect(int(8 * s), int(21 * s), int(24 * s), int(28 * s), (30, 120, 60))
    bolt = [(18, 8), (10, 19), (15, 19), (13, 28), (22, 15), (17, 15), (20, 8)]
    cv.polygon([(x * s, y * s) for x, y in bolt], YELLOW)
    return cv


def warn_icon(size):
    cv = Canvas(size, size, (0, 0, 0), alpha=0)
    s = size / 32.0
    cv.polygon([(16 * s, 1 * s), (31 * s, 29 * s), (1 * s, 29 * s)], (120, 40, 20))
    cv.polygon([(16 * s, 4 * s), (28.5 * s, 27.5 * s), (3.5 * s, 27.5 * s)], YELLOW)
    cv.rect(int(14.5 * s), int(10 * s), int(17.5 * s), int(21 * s), DARK)
    cv.rect(int(14.5 * s), int(23 * s), int(17.5 * s), int(26 * s), DARK)
    return cv


SCENE_W, SCENE_H = 120, 96


def scene_base(cv, mains_ok):
    cv.vgradient(0, 0, SCENE_W, SCENE_H, (246, 249, 253), (214, 226, 240))
    cv.frame(0, 0, SCENE_W, SCENE_H, (150, 164, 184))
    # wall socket
    cv.round_rect(6, 44, 26, 64, 3, (236, 236, 230))
    cv.frame(6, 44, 26, 64, (130, 130, 124))
    cv.rect(11, 50, 13, 58, DARK)
    cv.rect(19, 50, 21, 58, DARK)
    # UPS box
    cv.round_rect(40, 34, 72, 84, 4, DARK)
    cv.round_rect(42, 36, 70, 82, 3, (66, 72, 84))
    cv.rect(46, 40, 66, 44, (30, 32, 38))
    # computer
    cv.round_rect(82, 26, 116, 56, 3, (60, 64, 72))
    cv.rect(85, 29, 113, 52, (30, 80, 150) if mains_ok else (26, 60, 110))
    cv.rect(96, 56, 102, 62, (80, 84, 92))
    cv.rect(90, 62, 108, 65, (80, 84, 92))
    # cables
    cv.line(26, 60, 40, 60, (90, 90, 90), 2)
    cv.line(72, 60, 78, 60, (90, 90, 90), 2)
    cv.line(78, 60, 78, 50, (90, 90, 90), 2)
    cv.line(78, 50, 82, 50, (90, 90, 90), 2)


def battery_gauge(cv, bars, color):
    cv.frame(47, 62, 65, 76, (200, 200, 200))
    cv.rect(65, 66, 67, 72, (200, 200, 200))
    for i in range(bars):
        cv.rect(49 + i * 5, 64, 53 + i * 5, 74, color)


def ac_ok_frame(k):
    cv = Canvas(SCENE_W, SCENE_H)
    scene_base(cv, True)
    cv.disc(60, 42, 2.2, LIME)            # UPS lamp
    battery_gauge(cv, 3, GREEN)
    for x0 in range(26 + k * 4, 40, 12):   # power flowing into the UPS ...
        cv.disc(x0 + 2, 60, 2, LIME)
    for y0 in range(60 - k * 3, 49, -9):   # ... and on to the computer
        cv.disc(78, y0, 1.8, LIME)
    # a calm sine on the screen
    for x in range(86, 113):
        y = 40 + 6 * math.sin((x - 86) / 4.0 + k * 2.1)
        cv.set(x, int(round(y)), (170, 230, 255))
        cv.set(x, int(round(y)) + 1, (120, 200, 250))
    return cv


def alarm_frame(k):
    cv = Canvas(SCENE_W, SCENE_H)
    scene_base(cv, False)
    # the mains are gone: a red cross over the socket, a broken cable
    cv.line(4, 42, 28, 66, RED, 3)
    cv.line(28, 42, 4, 66, RED, 3)
    cv.rect(30, 58, 34, 63, cv.px[58][30])
    cv.disc(60, 42, 2.2, RED if k != 1 else (90, 30, 30))  # blinking lamp
    battery_gauge(cv, 3 - k, ORANGE if k < 2 else RED)
    for y0 in range(60 - k * 3, 49, -9):                    # the battery feeds the computer
        cv.disc(78, y0, 1.8, ORANGE)
    # a warning sign on the screen, blinking
    if k != 1:
        cv.polygon([(99, 31), (110, 50), (88, 50)], YELLOW)
        cv.rect(98, 36, 100, 45, DARK)
        cv.rect(98, 47, 100, 49, DARK)
    return cv


def logo():
    cv = Canvas(32, 32, (255, 255, 255))
    ic = app_icon(32)
    for y in range(32):
        for x in range(32):
            if ic.a[y][x]:
                cv.set(x, y, ic.px[y][x])
    return cv


def help_button():
    # White is the transparent colour; the question mark uses an off-white.
    cv = Canvas(24, 24, (255, 255, 255))
    cv.disc(12, 12, 11, (20, 70, 160))
    cv.disc(12, 11.5, 9.5, (50, 120, 210))
    cv.text(7, 5, "?", (254, 254, 254), 2)
    return cv


WARN_W, WARN_H = 320, 160
WARN_BODY = (255, 250, 232)


def warn_back():
    cv = Canvas(WARN_W, WARN_H, WARN_BODY)
    cv.vgradient(0, 0, WARN_W, 24, (190, 40, 30), (130, 20, 16))
    cv.text(30, 5, "UPS Warning", (255, 255, 255), 2, True)
    ic = warn_icon(16)
    for y in range(16):
        for x in range(16):
            if ic.a[y][x]:
                cv.set(8 + x, 4 + y, ic.px[y][x])
    cv.vgradient(0, 24, WARN_W, WARN_H, (255, 252, 238), (250, 236, 200))
    big = warn_icon(28)
    for y in range(28):
        for x in range(28):
            if big.a[y][x]:
                cv.set(6 + x, 40 + y, big.px[y][x])
    cv.frame(0, 0, WARN_W, WARN_H, (110, 20, 16))
    cv.rect(1, 24, WARN_W - 1, 25, (110, 20, 16))
    return cv


BTN_W, BTN_H = 68, 24


def button(label, state):
    face = {'normal': (228, 226, 220), 'hover': (206, 226, 250), 'pressed': (178, 198, 228)}[state]
    cv = Canvas(BTN_W, BTN_H, WARN_BODY)
    cv.round_rect(0, 0, BTN_W, BTN_H, 4, (96, 96, 104))
    cv.round_rect(1, 1, BTN_W - 1, BTN_H - 1, 3, face)
    if state != 'pressed':
        cv.rect(4, 2, BTN_W - 4, 3, (255, 255, 255))
        cv.rect(4, BTN_H - 3, BTN_W - 4, BTN_H - 2, (170, 170, 176))
    else:
        cv.rect(4, 2, BTN_W - 4, 3, (140, 150, 170))
    w = cv.text_width(label, 1, True)
    off = 1 if state == 'pressed' else 0
    cv.text((BTN_W - w) // 2 + off, (BTN_H - 7) // 2 + off, label, (20, 24, 40), 1, True)
    return cv


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    write_ico(os.path.join(out, 'halvora.ico'), [app_icon(32), app_icon(16)])
    write_ico(os.path.join(out, 'qorwarn.ico'), [warn_icon(32), warn_icon(16)])
    for k in range(3):
        write_bmp(os.path.join(out, 'ac_ok_%d.bmp' % k), ac_ok_frame(k))
        write_bmp(os.path.join(out, 'alarm_%d.bmp' % k), alarm_frame(k))
    write_bmp(os.path.join(out, 'logo.bmp'), logo())
    write_bmp(os.path.join(out, 'help.bmp'), help_button())
    write_bmp(os.path.join(out, 'warn_back.bmp'), warn_back())
    for label, name in (('OK', 'ok'), ('Cancel', 'cancel')):
        for state in ('normal', 'hover', 'pressed'):
            write_bmp(os.path.join(out, '%s_%s.bmp' % (name, state)), button(label, state))


if __name__ == '__main__':
    main()
