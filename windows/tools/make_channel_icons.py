#!/usr/bin/env python3
"""Draws the three channel icons of the notification dialog: loudspeaker
(pop-up), envelope (e-mail) and pager.

Usage: make_channel_icons.py OUTDIR
"""
import math
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from make_art import Canvas, write_ico, NAVY, STEEL, DARK, YELLOW, PANEL  # noqa: E402

WHITE = (255, 255, 255)
GREY = (150, 156, 166)
GREEN_LCD = (170, 210, 120)


def scaled(size):
    return Canvas(size, size, (0, 0, 0), alpha=0), size / 32.0


def loudspeaker(size):
    cv, s = scaled(size)
    cv.rect(int(4 * s), int(12 * s), int(10 * s), int(21 * s), STEEL)
    cv.polygon([(9 * s, 12 * s), (18 * s, 5 * s), (18 * s, 28 * s), (9 * s, 21 * s)], NAVY)
    for r in (5, 9, 13):
        for k in range(-40, 41, 4):
            a = math.radians(k)
            x = 19 * s + r * s * math.cos(a)
            y = 16.5 * s + r * s * math.sin(a)
            cv.disc(x, y, max(0.8, 1.1 * s), DARK)
    return cv


def envelope(size):
    cv, s = scaled(size)
    x0, y0, x1, y1 = int(3 * s), int(8 * s), int(29 * s), int(25 * s)
    cv.rect(x0, y0, x1, y1, WHITE)
    cv.frame(x0, y0, x1, y1, NAVY)
    cv.line(x0, y0, 16 * s, 18 * s, NAVY, width=max(1, int(1.5 * s)))
    cv.line(x1 - 1, y0, 16 * s, 18 * s, NAVY, width=max(1, int(1.5 * s)))
    cv.rect(int(22 * s), int(10 * s), int(27 * s), int(14 * s), YELLOW)
    return cv


def pager(size):
    cv, s = scaled(size)
    cv.round_rect(int(5 * s), int(4 * s), int(27 * s), int(29 * s), max(2, int(3 * s)), DARK)
    cv.rect(int(8 * s), int(7 * s), int(24 * s), int(15 * s), GREEN_LCD)
    for i, x in enumerate((9, 14, 19)):
        cv.rect(int(x * s), int(19 * s), int((x + 4) * s), int(23 * s), GREY if i != 1 else PANEL)
    cv.rect(int(10 * s), int(10 * s), int(22 * s), int(11 * s), DARK)
    return cv


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    write_ico(os.path.join(out, 'channel_popup.ico'), [loudspeaker(32), loudspeaker(16)])
    write_ico(os.path.join(out, 'channel_email.ico'), [envelope(32), envelope(16)])
    write_ico(os.path.join(out, 'channel_pager.ico'), [pager(32), pager(16)])


if __name__ == '__main__':
    main()
