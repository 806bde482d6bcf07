#!/usr/bin/env python3
"""Draws the time-up window's picture, a ringing bell, in the 16 colours of the VGA palette.

Writes timeup-32.png, timeup-16.png (4-bit palette PNGs; the palette's magenta is the
transparent colour) and timeup.ico (both sizes, 4 bits per pixel with a transparency mask)
next to this script. Needs only Python 3; the outputs are committed.
"""
import math
import os
import struct
import zlib

VGA = [(0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
       (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xc0, 0xc0, 0xc0),
       (0x80, 0x80, 0x80), (0xff, 0x00, 0x00), (0x00, 0xff, 0x00), (0xff, 0xff, 0x00),
       (0x00, 0x00, 0xff), (0xff, 0x00, 0xff), (0x00, 0xff, 0xff), (0xff, 0xff, 0xff)]
BLACK, MAROON, OLIVE, GRAY, RED, YELLOW, WHITE = 0, 1, 3, 8, 9, 11, 15
CLEAR = 13  # magenta never appears in the drawing


def body_half_width(y):
    """Half width of the bell's body at height y on a 32-unit canvas, or -1 outside it."""
    if 4.5 <= y < 9:
        return math.sqrt(max(0.0, 5.5 ** 2 - (9 - y) ** 2))
    if 9 <= y < 21.5:
        return 5.5 + 5.5 * ((y - 9) / 12.5) ** 2.2
    if 21.5 <= y < 24:
        return 12.0
    return -1


def paint(x, y, small):
    """Colour index at canvas point (x, y), None for transparent; outline comes later."""
    if (x - 16) ** 2 + (y - 3.2) ** 2 <= 1.8 ** 2:
        return GRAY  # the hanger
    if (x - 16) ** 2 + (y - 25.5) ** 2 <= 2.4 ** 2:
        return GRAY  # the clapper
    hw = body_half_width(y)
    if hw >= 0 and abs(x - 16) <= hw:
        if y >= 21.5:
            return OLIVE if x > 16 + hw * 0.55 else YELLOW
        if 16 - hw * 0.62 <= x <= 16 - hw * 0.38 and 8 <= y <= 19:
            return WHITE  # highlight
        return OLIVE if x > 16 + hw * 0.5 else YELLOW
    # Two arcs on each side: the bell is ringing.
    r = math.hypot(x - 16, y - 14)
    angle = math.degrees(math.atan2(y - 14, abs(x - 16)))
    # At 16x16 two thin arcs would break up into dots, so there is one thick arc.
    bands = [(13.5, 16.5)] if small else [(13.0, 14.6), (16.0, 17.6)]
    if -35 <= angle <= 30 and any(lo <= r <= hi for lo, hi in bands):
        return RED
    return None


def render(size):
    scale = 32 / size
    px = [[paint((i + 0.5) * scale, (j + 0.5) * scale, size < 32) for i in range(size)] for j in range(size)]
    out = [row[:] for row in px]
    for j in range(size):
        for i in range(size):
            c = px[j][i]
            if c in (None, RED):
                continue
            for di, dj in ((1, 0), (-1, 0), (0, 1), (0, -1)):
                ni, nj = i + di, j + dj
                if not (0 <= ni < size and 0 <= nj < size) or px[nj][ni] in (None, RED):
                    out[j][i] = BLACK
                    break
    return out


def png(pixels):
    size = len(pixels)
    raw = b""
    for row in pixels:
        idx = [CLEAR if c is None else c for c in row]
        raw += b"\0" + bytes((idx[k] << 4) | idx[k + 1] for k in range(0, size, 2))

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xffffffff))

    trns = bytes(0 if k == CLEAR else 255 for k in range(16))
    return (b"\x89PNG\r\n\x1a\n" +
            chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 4, 3, 0, 0, 0)) +
            chunk(b"PLTE", b"".join(bytes(c) for c in VGA)) +
            chunk(b"tRNS", trns) +
            chunk(b"IDAT", zlib.compress(raw, 9)) +
            chunk(b"IEND", b""))


def ico_image(pixels):
    size = len(pixels)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in VGA)
    xor = b""
    mask = b""
    mask_stride = ((size + 31) // 32) * 4
    for row in reversed(pixels):
        idx = [BLACK if c is None else c for c in row]
        line = bytes((idx[k] << 4) | idx[k + 1] for k in range(0, size, 2))
        xor += line + b"\0" * ((-len(line)) % 4)
        bits = 0
        for c in row:
            bits = (bits << 1) | (c is None)
        mline = bits.to_bytes(size // 8, "big")
        mask += mline + b"\0" * (mask_stride - len(mline))
    return header + palette + xor + mask


def ico(images):
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    data = b""
    for pixels in images:
        blob = ico_image(pixels)
        size = len(pixels)
        out += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(blob), offset + len(data))
        data += blob
    return out + data


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    big, small = render(32), render(16)
    for name, blob in (("timeup-32.png", png(big)), ("timeup-16.png", png(small)),
                       ("timeup.ico", ico([big, small]))):
        with open(os.path.join(here, name), "wb") as f:
            f.write(blob)


if __name__ == "__main__":
    main()
