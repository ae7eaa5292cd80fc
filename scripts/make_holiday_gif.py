#!/usr/bin/env python3
"""Draws the demo holiday animation data/server/vimo_special.gif.

Vimo stands by its flag, waves, blinks its antenna and wears a party hat while confetti falls.
Every frame after the first is a patch holding only what changed, with unchanged pixels left
transparent; the frames use the disposal methods "leave", "restore to previous" and "restore to
background", so the file exercises the decoder's whole composition path.

Standard library only: the GIF writer and its LZW encoder are below.
Usage: make_holiday_gif.py [output path]
"""

import math
import os
import random
import struct
import sys

WIDTH, HEIGHT = 603, 202

PALETTE = [
    (255, 0, 255),    # 0 transparent key; never drawn
    (170, 215, 255),  # 1 sky
    (90, 170, 70),    # 2 grass
    (255, 255, 255),  # 3 white
    (120, 80, 40),    # 4 pole
    (120, 190, 240),  # 5 body
    (20, 50, 120),    # 6 outline
    (0, 0, 0),        # 7 black
    (230, 40, 40),    # 8 antenna ball
    (255, 215, 40),   # 9 yellow
    (255, 150, 30),   # 10 orange
    (255, 110, 180),  # 11 pink
    (150, 80, 220),   # 12 purple
    (60, 200, 90),    # 13 green
    (160, 160, 170),  # 14 grey
    (160, 20, 50),    # 15 mouth
    (255, 170, 170),  # 16 antenna ball, lit
    (70, 140, 60),    # 17 dark grass
    (200, 230, 255),  # 18 highlight
    (250, 120, 60),   # 19 cheeks
]
PALETTE += [(0, 0, 0)] * (32 - len(PALETTE))
KEY = 0
CONFETTI = [9, 10, 11, 12, 13, 8]


class Canvas:
    def __init__(self):
        self.px = bytearray([1]) * (WIDTH * HEIGHT)

    def copy(self):
        c = Canvas.__new__(Canvas)
        c.px = bytearray(self.px)
        return c

    def set(self, x, y, color):
        if 0 <= x < WIDTH and 0 <= y < HEIGHT:
            self.px[y * WIDTH + x] = color

    def rect(self, left, top, right, bottom, color):
        """Fills left <= x <= right, top <= y <= bottom."""
        for y in range(max(top, 0), min(bottom, HEIGHT - 1) + 1):
            for x in range(max(left, 0), min(right, WIDTH - 1) + 1):
                self.px[y * WIDTH + x] = color

    def ellipse(self, cx, cy, rx, ry, color, only=None):
        for y in range(int(cy - ry) - 1, int(cy + ry) + 2):
            for x in range(int(cx - rx) - 1, int(cx + rx) + 2):
                if ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1.0 and (only is None or only(x, y)):
                    self.set(x, y, color)

    def outlined_ellipse(self, cx, cy, rx, ry, fill, outline, width=3):
        self.ellipse(cx, cy, rx, ry, outline)
        self.ellipse(cx, cy, rx - width, ry - width, fill)

    def round_rect(self, left, top, right, bottom, radius, color):
        self.rect(left + radius, top, right - radius, bottom, color)
        self.rect(left, top + radius, right, bottom - radius, color)
        for cx, cy in ((left + radius, top + radius), (right - radius, top + radius),
                       (left + radius, bottom - radius), (right - radius, bottom - radius)):
            self.ellipse(cx, cy, radius, radius, color)

    def line(self, x0, y0, x1, y1, width, color):
        steps = int(max(abs(x1 - x0), abs(y1 - y0))) + 1
        for i in range(steps + 1):
            t = i / steps
            self.ellipse(x0 + (x1 - x0) * t, y0 + (y1 - y0) * t, width / 2, width / 2, color)

    def triangle(self, points, color):
        (ax, ay), (bx, by), (cx, cy) = points

        def side(px, py, qx, qy, rx, ry):
            return (px - rx) * (qy - ry) - (qx - rx) * (py - ry)

        for y in range(int(min(ay, by, cy)), int(max(ay, by, cy)) + 1):
            for x in range(int(min(ax, bx, cx)), int(max(ax, bx, cx)) + 1):
                d1 = side(x, y, ax, ay, bx, by)
                d2 = side(x, y, bx, by, cx, cy)
                d3 = side(x, y, cx, cy, ax, ay)
                if not ((d1 < 0 or d2 < 0 or d3 < 0) and (d1 > 0 or d2 > 0 or d3 > 0)):
                    self.set(x, y, color)


# Confetti keeps off the flag and the reply bubble, whose texts are shown on them, and off Vimo.
FLAG_TEXT = (20, 6, 185, 125)
BUBBLE = (362, 20, 580, 104)
VIMO = (185, 0, 335, 200)


def free_of_text(x, y):
    for left, top, right, bottom in (FLAG_TEXT, BUBBLE, VIMO):
        if left - 3 <= x <= right + 3 and top - 3 <= y <= bottom + 3:
            return False
    return True


def draw_scene(wave, lit, look, confetti):
    c = Canvas()
    c.rect(0, 180, WIDTH - 1, HEIGHT - 1, 2)
    for x in range(0, WIDTH, 7):
        c.rect(x, 180, x, 183 + (x * 13) % 5, 17)
    # Flag and pole.
    c.rect(20, 6, 185, 125, 3)
    c.rect(20, 6, 185, 6, 14)
    c.rect(20, 125, 185, 125, 14)
    c.rect(20, 6, 20, 125, 14)
    c.rect(186, 4, 191, 200, 4)
    c.ellipse(188.5, 4, 4.5, 4, 9)
    # Speech bubble with its tail toward the head.
    c.round_rect(368, 24, 575, 100, 14, 14)
    c.round_rect(370, 26, 573, 98, 12, 3)
    c.triangle([(372, 34), (372, 52), (318, 40)], 14)
    c.triangle([(374, 37), (374, 49), (323, 41)], 3)
    # Legs and feet.
    for x in (240, 278):
        c.rect(x, 168, x + 12, 190, 6)
        c.rect(x + 3, 168, x + 9, 190, 5)
        c.ellipse(x + 6, 193, 10, 5, 6)
    # Left arm holding the pole.
    c.line(224, 128, 196, 110, 11, 6)
    c.line(224, 128, 196, 110, 6, 5)
    c.ellipse(195, 110, 6, 6, 6)
    c.ellipse(195, 110, 4, 4, 5)
    # Right arm, waving: its hand swings between up and out.
    angle = math.radians([-70, -40, -10][wave])
    hx, hy = 306 + 42 * math.cos(angle), 122 + 42 * math.sin(angle)
    c.line(306, 122, hx, hy, 11, 6)
    c.line(306, 122, hx, hy, 6, 5)
    c.ellipse(hx, hy, 7, 7, 6)
    c.ellipse(hx, hy, 5, 5, 5)
    # Body.
    c.outlined_ellipse(265, 138, 50, 42, 5, 6)
    c.ellipse(248, 120, 12, 8, 18)
    # Antenna.
    c.rect(264, 12, 266, 32, 6)
    c.ellipse(265, 10, 7, 7, 6)
    c.ellipse(265, 10, 5, 5, 16 if lit else 8)
    # Head.
    c.outlined_ellipse(265, 65, 40, 35, 5, 6)
    c.ellipse(250, 42, 10, 5, 18)
    for ex in (250, 282):
        c.outlined_ellipse(ex, 58, 11, 13, 3, 6, 2)
        c.ellipse(ex + (-3, 0, 4)[look], 61, 5, 5, 7)
    c.ellipse(236, 78, 5, 3, 19)
    c.ellipse(294, 78, 5, 3, 19)
    c.ellipse(266, 76, 16, 11, 15, only=lambda x, y: y >= 78)
    c.ellipse(266, 76, 12, 7, 5, only=lambda x, y: y >= 78)
    # Party hat, tilted on the head.
    c.triangle([(270, 36), (302, 46), (298, 6)], 11)
    for i in range(3):
        c.line(275 + 9 * i, 36 + 3 * i, 279 + 6 * i, 30 + 3 * i - 6, 3, 9)
    c.ellipse(298, 6, 4, 4, 9)
    # Confetti in the sky.
    for (x, y, color) in confetti:
        if free_of_text(x, y) and free_of_text(x + 3, y + 4) and y + 4 < 178:
            c.rect(x, y, x + 3, y + 4, color)
    return c


def confetti_at(frame):
    rng = random.Random(7)
    pieces = []
    for _ in range(60):
        x = rng.randrange(0, 600)
        y0 = rng.randrange(0, 178)
        color = rng.choice(CONFETTI)
        speed = rng.choice((6, 9, 12))
        pieces.append((x + (frame % 2) * 2, (y0 + frame * speed) % 178, color))
    return pieces


def lzw(indices, min_code_size):
    clear, end = 1 << min_code_size, (1 << min_code_size) + 1
    out, bits, nbits = bytearray(), 0, 0

    def emit(code, size):
        nonlocal bits, nbits
        bits |= code << nbits
        nbits += size
        while nbits >= 8:
            out.append(bits & 0xFF)
            bits >>= 8
            nbits -= 8

    size = min_code_size + 1
    table, next_code = {}, end + 1
    emit(clear, size)
    prefix = indices[0]
    for value in indices[1:]:
        key = (prefix, value)
        if key in table:
            prefix = table[key]
            continue
        emit(prefix, size)
        if next_code >= 4095:
            emit(clear, size)
            table, next_code, size = {}, end + 1, min_code_size + 1
        else:
            table[key] = next_code
            if next_code == (1 << size) and size < 12:
                size += 1
            next_code += 1
        prefix = value
    emit(prefix, size)
    emit(end, size)
    if nbits:
        out.append(bits & 0xFF)
    data = bytearray([min_code_size])
    for i in range(0, len(out), 255):
        chunk = out[i:i + 255]
        data += bytes([len(chunk)]) + chunk
    return bytes(data + b"\x00")


def graphic_control(disposal, delay, transparent):
    packed = (disposal << 2) | (1 if transparent is not None else 0)
    return b"\x21\xF9\x04" + struct.pack("<BHB", packed, delay, transparent or 0) + b"\x00"


def image(left, top, width, height, indices, local_palette=None):
    packed = 0
    table = b""
    if local_palette:
        packed = 0x80 | 4
        table = b"".join(bytes(c) for c in local_palette)
    return (b"\x2C" + struct.pack("<HHHHB", left, top, width, height, packed) + table
            + lzw(indices, 5))


def compose(base, frame_rect, patch, transparent):
    result = base.copy()
    left, top, width, height = frame_rect
    for y in range(height):
        for x in range(width):
            value = patch[y * width + x]
            if value != transparent:
                result.px[(top + y) * WIDTH + left + x] = value
    return result


def changed_patch(base, target):
    """The smallest rectangle holding every change from base to target, as a patch whose
    unchanged pixels are the transparent key."""
    xs, ys = [], []
    for i, (a, b) in enumerate(zip(base.px, target.px)):
        if a != b:
            xs.append(i % WIDTH)
            ys.append(i // WIDTH)
    left, top, right, bottom = min(xs), min(ys), max(xs), max(ys)
    width, height = right - left + 1, bottom - top + 1
    patch = []
    for y in range(top, bottom + 1):
        for x in range(left, right + 1):
            a, b = base.px[y * WIDTH + x], target.px[y * WIDTH + x]
            patch.append(KEY if a == b else b)
    return (left, top, width, height), patch


def main():
    output = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "data", "server", "vimo_special.gif")
    # Per frame: arm position, antenna lit, where the eyes look, and the disposal method.
    # "Restore to previous" (3) after a lit antenna puts the dark one back by itself; "restore
    # to background" (2) is used where the next frame repaints the whole area opaquely.
    plan = [(0, False, 1, 1), (1, True, 1, 3), (2, False, 2, 1), (1, True, 2, 3),
            (0, False, 1, 2), (1, True, 0, 3), (2, False, 0, 1), (1, True, 1, 3),
            (0, False, 1, 1), (1, False, 1, 1)]
    scenes = [draw_scene(wave, lit, look, confetti_at(n)) for n, (wave, lit, look, _) in enumerate(plan)]

    stream = bytearray(b"GIF89a")
    stream += struct.pack("<HHBBB", WIDTH, HEIGHT, 0x80 | 0x70 | 4, 1, 0)
    stream += b"".join(bytes(c) for c in PALETTE)
    stream += b"\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00"
    stream += b"\x21\xFE" + bytes([len(b"Vimo")]) + b"Vimo\x00"

    # bases[n] is the screen that frame n is drawn on: restore to previous goes back to it.
    composites, frame_rects, bases = [], [], []
    for n, scene in enumerate(scenes):
        disposal = plan[n][3]
        if n == 0:
            stream += graphic_control(disposal, 20, None)
            stream += image(0, 0, WIDTH, HEIGHT, list(scene.px))
            composites.append(scene)
            frame_rects.append((0, 0, WIDTH, HEIGHT))
            bases.append(None)
            continue
        previous_disposal = plan[n - 1][3]
        base = composites[n - 1]
        if previous_disposal == 3 and n >= 2:
            base = bases[n - 1]
        elif previous_disposal == 2:
            base = base.copy()
            left, top, width, height = frame_rects[n - 1]
            for y in range(top, top + height):
                for x in range(left, left + width):
                    base.px[y * WIDTH + x] = KEY
        rect, patch = changed_patch(base, scene)
        # One frame carries its own table (the same colours) so the file has a local table.
        local = PALETTE if n == 6 else None
        stream += graphic_control(disposal, 20, KEY)
        stream += image(*rect, patch, local)
        result = compose(base, rect, patch, KEY)
        assert result.px == scene.px, "frame %d does not compose to its scene" % (n + 1)
        composites.append(result)
        frame_rects.append(rect)
        bases.append(base)
    stream += b"\x3B"
    with open(output, "wb") as f:
        f.write(stream)
    print("%s: %d frames, %d bytes" % (output, len(scenes), len(stream)))

if __name__ == "__main__":
    main()
