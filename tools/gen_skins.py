#!/usr/bin/env python3
"""Draws the toolkit's skin pictures and writes them as 24-bit BMP files into
resources/skins/. Colour 255,0,255 marks transparent pixels.

Stateful button skins hold four frames side by side (normal, hot, pressed,
disabled); check box and radio button hold four frames (unchecked, checked,
unchecked disabled, checked disabled); the rest are single pictures.

Usage: tools/gen_skins.py [output folder]   (default: resources/skins)
"""
import os
import struct
import sys

KEY = (255, 0, 255)
LIGHT = (90, 142, 197)
MID = (74, 126, 181)
DARK = (58, 110, 165)
DEEP = (44, 88, 138)
OUTLINE = (30, 62, 100)
HIGHLIGHT = (140, 182, 226)
WHITE = (255, 255, 255)
DISABLED_FILL = (96, 140, 186)
DISABLED_EDGE = (110, 150, 196)
DISABLED_GLYPH = (128, 167, 210)


def mix(a, b, t):
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


class Pic:
    def __init__(self, w, h, fill=KEY):
        self.w, self.h = w, h
        self.px = [[fill] * w for _ in range(h)]

    def set(self, x, y, c):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y][x] = c

    def fill(self, x, y, w, h, c):
        for yy in range(y, y + h):
            for xx in range(x, x + w):
                self.set(xx, yy, c)

    def vgrad(self, x, y, w, h, top, bottom):
        for yy in range(h):
            c = mix(top, bottom, yy / max(1, h - 1))
            for xx in range(w):
                self.set(x + xx, y + yy, c)

    def frame(self, x, y, w, h, c):
        for xx in range(x, x + w):
            self.set(xx, y, c)
            self.set(xx, y + h - 1, c)
        for yy in range(y, y + h):
            self.set(x, yy, c)
            self.set(x + w - 1, yy, c)

    def bevel(self, x, y, w, h, tl, br):
        for xx in range(x, x + w):
            self.set(xx, y, tl)
            self.set(xx, y + h - 1, br)
        for yy in range(y, y + h):
            self.set(x, yy, tl)
            self.set(x + w - 1, yy, br)

    def poly(self, pts, c):
        """Fills a convex polygon given as (x, y) points."""
        ys = [p[1] for p in pts]
        for y in range(int(min(ys)), int(max(ys)) + 1):
            xs = []
            n = len(pts)
            for i in range(n):
                (x0, y0), (x1, y1) = pts[i], pts[(i + 1) % n]
                if y0 == y1:
                    continue
                if min(y0, y1) <= y + 0.5 < max(y0, y1):
                    xs.append(x0 + (y + 0.5 - y0) * (x1 - x0) / (y1 - y0))
            if len(xs) >= 2:
                for x in range(int(round(min(xs))), int(round(max(xs)))):
                    self.set(x, y, c)

    def disc(self, cx, cy, r, c):
        for y in range(self.h):
            for x in range(self.w):
                if (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= r * r:
                    self.set(x, y, c)

    def ring(self, cx, cy, r0, r1, c):
        for y in range(self.h):
            for x in range(self.w):
                d = (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2
                if r0 * r0 <= d <= r1 * r1:
                    self.set(x, y, c)

    def line(self, x0, y0, x1, y1, c, width=1):
        steps = max(abs(x1 - x0), abs(y1 - y0), 1) * 2
        for i in range(steps + 1):
            x = x0 + (x1 - x0) * i / steps
            y = y0 + (y1 - y0) * i / steps
            for dx in range(width):
                for dy in range(width):
                    self.set(int(round(x)) + dx, int(round(y)) + dy, c)

    def paste(self, other, ox, oy):
        for y in range(other.h):
            for x in range(other.w):
                if other.px[y][x] != KEY:
                    self.set(ox + x, oy + y, other.px[y][x])

    def save(self, path):
        row = (self.w * 3 + 3) & ~3
        data = bytearray()
        for y in range(self.h - 1, -1, -1):
            line = bytearray()
            for (r, g, b) in self.px[y]:
                line += bytes((b, g, r))
            line += b"\0" * (row - len(line))
            data += line
        header = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
        info = struct.pack("<IiiHHIIiiII", 40, self.w, self.h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
        with open(path, "wb") as f:
            f.write(header + info + data)


# ---- stateful buttons --------------------------------------------------------

S = 32  # frame size of button skins


def button_frame(p, ox, state, base, flat=False, transparent=False):
    """One 32x32 frame of a button skin at x offset ox."""
    top_c = mix(base, WHITE, 0.18)
    bot_c = mix(base, OUTLINE, 0.25)
    if state == 1:  # hot
        top_c, bot_c = mix(top_c, WHITE, 0.12), mix(bot_c, WHITE, 0.12)
    elif state == 2:  # pressed
        top_c, bot_c = mix(base, OUTLINE, 0.45), mix(base, OUTLINE, 0.2)
    elif state == 3:  # disabled
        top_c = bot_c = DISABLED_FILL
    if transparent and state in (0, 3):
        return
    if flat:
        c = {0: base, 1: mix(base, WHITE, 0.15), 2: mix(base, OUTLINE, 0.35), 3: DISABLED_FILL}[state]
        p.fill(ox, 0, S, S, c)
    else:
        p.vgrad(ox, 0, S, S, top_c, bot_c)
    edge = DISABLED_EDGE if state == 3 else OUTLINE
    p.frame(ox, 0, S, S, edge)
    if state != 3:
        if state == 2:
            p.bevel(ox + 1, 1, S - 2, S - 2, mix(base, OUTLINE, 0.6), mix(base, WHITE, 0.1))
        elif not flat:
            p.bevel(ox + 1, 1, S - 2, S - 2, HIGHLIGHT, mix(base, OUTLINE, 0.5))
    # Rounded look: the corner pixels take the transparent colour.
    for cx, cy in ((ox, 0), (ox + S - 1, 0), (ox, S - 1), (ox + S - 1, S - 1)):
        p.set(cx, cy, KEY)


def button_skin(base, flat=False, transparent=False, glyph=None):
    p = Pic(S * 4, S)
    for st in range(4):
        button_frame(p, st * S, st, base, flat, transparent)
        if glyph:
            g = glyph(DISABLED_GLYPH if st == 3 else WHITE)
            p.paste(g, st * S + (S - g.w) // 2 + (1 if st == 2 else 0), (S - g.h) // 2 + (1 if st == 2 else 0))
    return p


# ---- glyphs (16x16 on the transparent colour) ---------------------------------

def arrow(direction, c, size=16):
    g = Pic(size, size)
    m = size / 2
    a, b = size * 0.28, size * 0.72
    pts = {
        "up": [(m, a), (b + 1, b - 2), (a - 1, b - 2)],
        "down": [(a - 1, a + 2), (b + 1, a + 2), (m, b)],
        "left": [(a, m), (b - 2, a - 1), (b - 2, b + 1)],
        "right": [(a + 2, a - 1), (b, m), (a + 2, b + 1)],
    }[direction]
    g.poly(pts, c)
    return g


def double_arrow(direction, c):
    g = Pic(16, 16)
    one = arrow(direction, c, 12)
    g.paste(one, -1, 2)
    g.paste(one, 5, 2)
    return g


def icon_close(c=WHITE):
    g = Pic(16, 16)
    g.line(3, 3, 12, 12, c, 2)
    g.line(12, 3, 3, 12, c, 2)
    return g


def icon_maximize(c=WHITE):
    g = Pic(16, 16)
    g.frame(2, 2, 12, 12, c)
    g.fill(2, 2, 12, 3, c)
    return g


def icon_lock(closed, c=WHITE):
    g = Pic(16, 16)
    g.fill(3, 7, 10, 8, c)
    g.fill(7, 9, 2, 3, DARK)
    if closed:
        g.frame(5, 2, 6, 7, c)
        g.frame(4, 2, 8, 6, c)
    else:
        g.frame(8, 1, 6, 7, c)
        g.frame(9, 1, 6, 6, c)
    return g


def icon_forbidden(c=(230, 70, 60)):
    g = Pic(16, 16)
    g.ring(8, 8, 5, 7.5, c)
    g.line(4, 4, 11, 11, c, 2)
    return g


def icon_calculator(c=WHITE):
    g = Pic(16, 16)
    g.frame(3, 1, 10, 14, c)
    g.fill(5, 3, 6, 3, c)
    for yy in (8, 11):
        for xx in (5, 8):
            g.fill(xx, yy, 2, 2, c)
    g.fill(11 - 1, 8, 1, 5, c)
    return g


def logo():
    g = Pic(48, 48)
    g.disc(24, 24, 23, OUTLINE)
    g.disc(24, 24, 21, LIGHT)
    g.disc(24, 24, 15, DARK)
    g.ring(24, 24, 6, 9, WHITE)
    g.fill(22, 3, 4, 12, WHITE)
    return g


# ---- single pictures -------------------------------------------------------

def plain(fill, tl, br, outline=None, w=32, h=32):
    p = Pic(w, h, fill)
    if outline:
        p.frame(0, 0, w, h, outline)
        p.bevel(1, 1, w - 2, h - 2, tl, br)
    else:
        p.bevel(0, 0, w, h, tl, br)
    return p


def check_skin(radio):
    p = Pic(64, 16)
    for st in range(4):
        ox = st * 16
        disabled = st >= 2
        checked = st % 2 == 1
        box = DISABLED_FILL if disabled else DEEP
        edge = DISABLED_EDGE if disabled else OUTLINE
        mark = DISABLED_GLYPH if disabled else WHITE
        if radio:
            g = Pic(16, 16)
            g.disc(8, 8, 7.5, edge)
            g.disc(8, 8, 6.5, box)
            if checked:
                g.disc(8, 8, 3.5, mark)
            p.paste(g, ox, 0)
        else:
            p.fill(ox + 1, 1, 14, 14, box)
            p.frame(ox + 1, 1, 14, 14, edge)
            p.bevel(ox + 2, 2, 12, 12, mix(box, OUTLINE, 0.5), mix(box, WHITE, 0.2))
            if checked:
                p.line(ox + 4, 8, ox + 6, 11, mark, 2)
                p.line(ox + 6, 11, ox + 11, 4, mark, 2)
    return p


def skins():
    red = (196, 64, 56)
    return {
        "bmpFormSkin": plain(DARK, mix(DARK, WHITE, 0.2), DEEP, OUTLINE),
        "bmpPanelSkin": plain(MID, HIGHLIGHT, DEEP, OUTLINE),
        "bmpAntipanelSkin": plain(DEEP, OUTLINE, mix(MID, WHITE, 0.15)),
        "bmpButtonIco_ScrollUp": arrow("up", WHITE),
        "bmpButtonIco_ScrollDown": arrow("down", WHITE),
        "bmpCustomButton_CloseForm": icon_close(),
        "bmpButtonIco_Lock0": icon_lock(False),
        "bmpButtonIco_Lock1": icon_lock(True),
        "bmpButtonIco_Forbidden": icon_forbidden(),
        "bmpButtonIco_Calculator": icon_calculator(),
        "bmpButtonSkin_Vulgar1": button_skin(LIGHT),
        "bmpButtonSkin_Vulgar2": button_skin(MID),
        "bmpButtonSkin_Vulgar3": button_skin(DARK),
        "bmpCustomButton_Checkbox": check_skin(False),
        "bmpCustomButton_RadioButton": check_skin(True),
        "bmpButtonSkin_Vulgar4": button_skin(mix(LIGHT, WHITE, 0.15)),
        "bmpInputNumberLabelSkin": plain(DEEP, OUTLINE, mix(MID, WHITE, 0.15), OUTLINE),
        "bmpButtonSkin_Flat1": button_skin(MID, flat=True),
        "bmpButtonSkin_Flat4": button_skin(DARK, flat=True),
        "bmpCustomButton_MaximizeForm": icon_maximize(),
        "bmpButtonIco_ScrollLeft": arrow("left", WHITE),
        "bmpButtonIco_ScrollRight": arrow("right", WHITE),
        "bmpButtonSkin_ListboxItem": button_skin(DEEP, flat=True),
        "bmpButtonSkin_FlatInvisible": button_skin(MID, flat=True, transparent=True),
        "bmpButtonIco_ScrollLeft2": double_arrow("left", WHITE),
        "bmpButtonIco_ScrollRight2": double_arrow("right", WHITE),
        "bmpButtonSkin_MenuItem1": button_skin(DARK, flat=True),
        "bmpButtonSkin_Tab": button_skin(MID),
        "bmpButtonSkin_Vulgar1Red": button_skin(red),
        "bmpLogoORB": logo(),
        "bmpScrollStripSkin": plain(DEEP, OUTLINE, mix(DEEP, WHITE, 0.12)),
        "bmpButtonSkin_ScrollThumb": button_skin(LIGHT),
        "bmpButtonSkin_ScrollThumb2": button_skin(MID),
        "bmpButtonSkin_ScrollThumb3": button_skin(DARK),
        "bmpButtonSkin_StringSelector": button_skin(DEEP, flat=True),
        "bmpButtonSkin_StringSelectorL": button_skin(MID, glyph=lambda c: arrow("left", c)),
        "bmpButtonSkin_StringSelectorR": button_skin(MID, glyph=lambda c: arrow("right", c)),
        "bmpButtonSkin_StringSelectorU": button_skin(MID, glyph=lambda c: arrow("up", c)),
        "bmpButtonSkin_StringSelectorD": button_skin(MID, glyph=lambda c: arrow("down", c)),
        "bmpButtonSkin_MiniScrollLeft": button_skin(MID, glyph=lambda c: arrow("left", c)),
        "bmpButtonSkin_MiniScrollRight": button_skin(MID, glyph=lambda c: arrow("right", c)),
        "bmpButtonSkin_MiniScrollUp": button_skin(MID, glyph=lambda c: arrow("up", c)),
        "bmpButtonSkin_MiniScrollDown": button_skin(MID, glyph=lambda c: arrow("down", c)),
    }


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "resources", "skins")
    os.makedirs(out, exist_ok=True)
    for name, pic in skins().items():
        pic.save(os.path.join(out, name + ".bmp"))
    print("wrote %d skins to %s" % (len(skins()), os.path.normpath(out)))


if __name__ == "__main__":
    main()
