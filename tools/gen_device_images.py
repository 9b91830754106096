#!/usr/bin/env python3
"""Draws the pictures of the main device window and the program icons, and
writes them as BMP files into resources/device/ (built into the program the
same way as the skins). Colour 255,0,255 marks transparent pixels.

- IMG_MAIN (1024 x 742, 8-bit palette): the wall behind a wall-mounted gas
  detector; the detector stands in the centre column (x 364..680), its display
  window where the live readings are drawn (x 411..655, y 200..320), the four
  unlit lamps and the sensor head below.
- IMG_LED_POWER_ON, IMG_LED_THRESH, IMG_LED_FAIL_STATUS: the lit lamps drawn
  over the unlit ones.
- IMG_SS: the adjustment-mode sign (a spanner), IMG_WIFI: the WiFi sign.
- icoForm, icoFormSmall, AppIcon: the program icons.

Usage: tools/gen_device_images.py [output folder]   (default: resources/device)
"""
import os
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from gen_skins import KEY, Pic, mix  # noqa: E402

WHITE = (255, 255, 255)

# Centre column of the main picture and the detector's parts in it.
COL_X = (1024 - 296) // 2      # 364: the column is kept centred this way
DISPLAY = (COL_X + 47, 200, 244, 120)


def save8(p, path):
    """Writes a picture with at most 256 colours as an 8-bit BMP."""
    colours = {}
    for row in p.px:
        for c in row:
            if c not in colours:
                colours[c] = len(colours)
    if len(colours) > 256:
        raise SystemExit("%s: %d colours, at most 256 fit" % (path, len(colours)))
    row_len = (p.w + 3) & ~3
    data = bytearray()
    for y in range(p.h - 1, -1, -1):
        line = bytes(colours[c] for c in p.px[y])
        data += line + b"\0" * (row_len - len(line))
    pal = bytearray()
    for c in sorted(colours, key=colours.get):
        pal += bytes((c[2], c[1], c[0], 0))
    pal += b"\0" * (4 * (256 - len(colours)))
    off = 54 + len(pal)
    header = struct.pack("<2sIHHI", b"BM", off + len(data), 0, 0, off)
    info = struct.pack("<IiiHHIIiiII", 40, p.w, p.h, 1, 8, 0, len(data), 2835, 2835, 256, 0)
    with open(path, "wb") as f:
        f.write(header + info + pal + data)


def disc(p, cx, cy, r, c):
    for y in range(int(cy - r) - 1, int(cy + r) + 2):
        for x in range(int(cx - r) - 1, int(cx + r) + 2):
            if (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= r * r:
                p.set(x, y, c)


def shaded_disc(p, cx, cy, r, dark, light):
    """A disc lit from the upper left: the colour runs from light to dark."""
    for y in range(int(cy - r) - 1, int(cy + r) + 2):
        for x in range(int(cx - r) - 1, int(cx + r) + 2):
            dx, dy = x + 0.5 - cx, y + 0.5 - cy
            if dx * dx + dy * dy <= r * r:
                t = min(1.0, max(0.0, ((dx + dy) / (2 * r)) + 0.5))
                p.set(x, y, mix(light, dark, round(t * 6) / 6))


def round_rect(p, x, y, w, h, r, c):
    for yy in range(y, y + h):
        for xx in range(x, x + w):
            cx = min(max(xx + 0.5, x + r), x + w - r)
            cy = min(max(yy + 0.5, y + r), y + h - r)
            if (xx + 0.5 - cx) ** 2 + (yy + 0.5 - cy) ** 2 <= r * r:
                p.set(xx, yy, c)


def screw(p, cx, cy):
    disc(p, cx, cy, 7, (120, 124, 130))
    disc(p, cx, cy, 5, (196, 200, 206))
    p.line(cx - 4, cy, cx + 4, cy, (90, 94, 100))
    p.line(cx, cy - 4, cx, cy + 4, (90, 94, 100))


def lamp_socket(p, x, y, w, h):
    cx, cy = x + w / 2, y + h / 2
    r = min(w, h) / 2 - 2
    disc(p, cx, cy, r + 2, (70, 74, 80))
    disc(p, cx, cy, r, (46, 50, 56))
    disc(p, cx - r / 3, cy - r / 3, r / 3, (66, 70, 78))


def main_picture():
    p = Pic(1024, 742)
    # The wall: a calm blue-grey with faint panel joints.
    top, bottom = (52, 74, 104), (30, 46, 70)
    steps = 24
    for y in range(p.h):
        c = mix(top, bottom, round(y / (p.h - 1) * steps) / steps)
        p.px[y] = [c] * p.w
    joint = (44, 64, 92)
    for x in range(0, p.w, 128):
        for y in range(p.h):
            p.set(x, y, joint)
    for y in range(0, p.h, 186):
        for x in range(p.w):
            p.set(x, y, joint)

    body = (206, 210, 216)
    edge_l, edge_d = (232, 235, 239), (132, 138, 146)
    x0, x1 = COL_X + 12, COL_X + 304
    # Mounting bracket behind the housing, with its wall screws.
    p.fill(x0 + 40, 92, x1 - x0 - 80, 490, (96, 102, 110))
    for sx in (x0 + 56, x1 - 56):
        screw(p, sx, 102)
        screw(p, sx, 568)
    # The housing: a rounded metal box with a light upper-left edge.
    round_rect(p, x0 + 2, 118, x1 - x0, 438, 22, (24, 34, 50))  # shadow on the wall
    round_rect(p, x0, 114, x1 - x0, 438, 22, edge_d)
    round_rect(p, x0, 112, x1 - x0 - 3, 436, 22, edge_l)
    round_rect(p, x0 + 3, 115, x1 - x0 - 6, 432, 20, body)
    # The lid: a slightly darker inset panel with four lid screws.
    round_rect(p, x0 + 16, 124, x1 - x0 - 32, 408, 14, (188, 192, 199))
    for sx, sy in ((x0 + 30, 138), (x1 - 30, 138), (x0 + 30, 518), (x1 - 30, 518)):
        screw(p, sx, sy)
    # Display window: bezel and the dark glass the readings are drawn on.
    dx, dy, dw, dh = DISPLAY
    round_rect(p, dx - 8, dy - 8, dw + 16, dh + 16, 8, (70, 76, 86))
    round_rect(p, dx - 5, dy - 5, dw + 10, dh + 10, 6, (40, 46, 56))
    p.fill(dx, dy, dw, dh, (14, 30, 46))
    for i in range(6):  # a faint reflection in the upper right of the glass
        p.line(dx + dw - 60 + i * 8, dy + 2, dx + dw - 100 + i * 8, dy + 40, (22, 40, 58))
    # The four lamps, unlit (the lit pictures are drawn over them).
    for (lx, ly, lw, lh) in ((75, 131, 36, 38), (72, 165, 40, 29), (228, 130, 36, 38), (228, 159, 36, 38)):
        lamp_socket(p, COL_X + lx, ly, lw, lh)
    # Keypad of three buttons under the display, and a magnet-key spot.
    for i, bx in enumerate((COL_X + 92, COL_X + 158, COL_X + 224)):
        disc(p, bx, 368, 15, (120, 126, 134))
        disc(p, bx, 367, 12, (172, 178, 186) if i != 1 else (160, 70, 60))
    round_rect(p, COL_X + 110, 410, 96, 40, 8, (170, 175, 183))
    round_rect(p, COL_X + 113, 413, 90, 34, 6, (150, 156, 164))
    # Cable glands on both sides of the lower housing.
    for gx in (x0 - 20, x1):
        p.fill(gx, 470, 20, 28, (150, 154, 160))
        p.fill(gx + 4, 466, 12, 36, (120, 124, 130))
    # The sensor head: a short cylinder below the housing with a mesh grille.
    hx, hw = COL_X + 108, 100
    p.fill(hx, 552, hw, 24, (150, 156, 164))
    for y in range(576, 640):
        shade = mix((176, 182, 190), (110, 116, 124), abs(y - 600) / 50)
        p.fill(hx - 6, y, hw + 12, 1, shade)
    for y in range(584, 634, 6):
        for x in range(hx + 2, hx + hw - 2, 6):
            p.fill(x, y, 3, 3, (70, 76, 84))
    p.fill(hx - 6, 640, hw + 12, 4, (90, 96, 104))
    return p


def lamp(w, h, dark, light):
    p = Pic(w, h)
    cx, cy = w / 2, h / 2
    r = min(w, h) / 2 - 2
    disc(p, cx, cy, r + 2, mix(dark, (0, 0, 0), 0.4))
    shaded_disc(p, cx, cy, r, dark, light)
    disc(p, cx - r / 3, cy - r / 3, max(2, r / 4), mix(light, WHITE, 0.7))
    return p


def spanner():
    p = Pic(36, 16)
    c = (255, 214, 64)
    p.line(6, 11, 26, 5, c, 3)
    disc(p, 29, 4.5, 5.5, c)
    disc(p, 31, 2, 2.6, KEY)
    disc(p, 5, 11.5, 4.5, c)
    disc(p, 5, 11.5, 1.8, KEY)
    return p


def wifi():
    p = Pic(24, 16)
    c = WHITE
    for r0, r1 in ((11, 13.5), (6.5, 9)):
        for y in range(16):
            for x in range(24):
                dx, dy = x + 0.5 - 12, y + 0.5 - 15
                d = (dx * dx + dy * dy) ** 0.5
                if r0 <= d <= r1 and dy < 0 and abs(dx) <= -dy * 1.1:
                    p.set(x, y, c)
    disc(p, 12, 13, 2.5, c)
    return p


def icon(size):
    """The program icon: a small detector with a lit display."""
    p = Pic(size, size)
    s = size / 32
    round_rect(p, int(5 * s), int(2 * s), int(22 * s), int(24 * s), max(2, int(4 * s)), (130, 136, 146))
    round_rect(p, int(6 * s), int(3 * s), int(20 * s), int(22 * s), max(2, int(3 * s)), (214, 218, 224))
    p.fill(int(9 * s), int(7 * s), int(14 * s), int(8 * s), (14, 30, 46))
    p.fill(int(11 * s), int(10 * s), max(1, int(10 * s)), max(1, int(2 * s)), (90, 220, 120))
    disc(p, 12 * s, 19 * s, max(1.2, 1.6 * s), (70, 200, 90))
    disc(p, 20 * s, 19 * s, max(1.2, 1.6 * s), (240, 80, 60))
    p.fill(int(12 * s), int(26 * s), int(8 * s), int(4 * s), (110, 116, 124))
    return p


def pictures():
    return {
        "IMG_MAIN": main_picture(),
        "IMG_LED_POWER_ON": lamp(40, 29, (20, 140, 40), (140, 255, 150)),
        "IMG_LED_THRESH": lamp(36, 38, (190, 40, 30), (255, 170, 150)),
        "IMG_LED_FAIL_STATUS": lamp(36, 38, (200, 140, 0), (255, 236, 140)),
        "IMG_SS": spanner(),
        "IMG_WIFI": wifi(),
        "icoForm": icon(32),
        "icoFormSmall": icon(16),
        "AppIcon": icon(48),
    }


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "resources", "device")
    os.makedirs(out, exist_ok=True)
    pics = pictures()
    for name, pic in pics.items():
        path = os.path.join(out, name + ".bmp")
        if name == "IMG_MAIN":
            save8(pic, path)
        else:
            pic.save(path)
    print("wrote %d pictures to %s" % (len(pics), os.path.normpath(out)))


if __name__ == "__main__":
    main()
