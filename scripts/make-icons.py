#!/usr/bin/env python3
"""Draws Tabrin's icons and writes resources/tabrin.ico and resources/tray.ico.

The picture is a small window with four arrows pushing out from its sides.
Only the standard library is used and nothing depends on the clock or the
platform, so running this again reproduces the committed files byte for byte.

    python3 scripts/make-icons.py [output-directory]
"""

import binascii
import os
import struct
import sys

# The few colours the picture uses, as (red, green, blue).
FRAME = (28, 38, 64)
TITLE = (0, 96, 212)
BODY = (250, 250, 250)
ARROW = (242, 128, 0)
BUTTON = (230, 60, 50)

# Every indexed image shares this table. Index 0 is black for the transparent
# pixels, which the AND mask then lets the screen show through; the rest stay black.
PALETTE = [(0, 0, 0), FRAME, TITLE, BODY, ARROW, BUTTON]

SUPERSAMPLING = 4  # samples per pixel along each axis


class Layout:
    """Geometry of the picture at one size, in pixels."""

    def __init__(self, size):
        self.size = size

        def scaled(length_at_16):
            # Whole pixels at every size, so that edges stay sharp at 20 and 24 too.
            return int(length_at_16 * size / 16 + 0.5)

        self.margin = scaled(4)         # the arrows live in this border
        self.border = max(1, size // 24)
        self.title = scaled(2)
        self.head = scaled(3)           # arrow head length from tip to base
        self.stem = scaled(1)           # half the width of an arrow's stem
        # A close button only once there is room to see it.
        self.button = size >= 32


def shapes(layout):
    """The picture as (colour, inside(x, y)) layers, painted in order."""
    n = layout.size
    c = n / 2
    a = layout.margin
    b = layout.border

    def rect(x0, y0, x1, y1):
        return lambda x, y: x0 <= x < x1 and y0 <= y < y1

    def arrow_up(x, y):
        # A 45-degree head whose first pixel row is two wide, then a stem.
        if 0 <= y < layout.head:
            return abs(x - c) < y + 0.5
        return layout.head <= y < a and abs(x - c) < layout.stem

    def turned(f, quarter_turns):
        def g(x, y):
            for _ in range(quarter_turns):
                x, y = y, n - x
            return f(x, y)
        return g

    layers = [
        (FRAME, rect(a, a, n - a, n - a)),
        (TITLE, rect(a + b, a + b, n - a - b, a + b + layout.title)),
        (BODY, rect(a + b, a + b + layout.title, n - a - b, n - a - b)),
    ]
    if layout.button:
        side = layout.title // 2
        x1 = n - a - b - side // 2
        y0 = a + b + (layout.title - side) // 2
        layers.append((BUTTON, rect(x1 - side, y0, x1, y0 + side)))
    for quarter_turns in range(4):
        layers.append((ARROW, turned(arrow_up, quarter_turns)))
    return layers


def render(size):
    """Rows of (r, g, b, alpha 0..255), top row first."""
    layers = shapes(Layout(size))
    s = SUPERSAMPLING
    offsets = [(i + 0.5) / s for i in range(s)]
    image = []
    for py in range(size):
        row = []
        for px in range(size):
            # Each sample takes the topmost layer's colour; the pixel averages them.
            total = [0.0, 0.0, 0.0, 0.0]
            for oy in offsets:
                for ox in offsets:
                    x, y = px + ox, py + oy
                    colour = None
                    for fill, inside in layers:
                        if inside(x, y):
                            colour = fill
                    if colour is not None:
                        total[0] += colour[0]
                        total[1] += colour[1]
                        total[2] += colour[2]
                        total[3] += 1
            count = total[3]
            if count == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append((round(total[0] / count), round(total[1] / count),
                            round(total[2] / count), round(255 * count / (s * s))))
        image.append(row)
    return image


def nearest(palette, rgb):
    return min(range(len(palette)),
               key=lambda i: sum((p - q) ** 2 for p, q in zip(palette[i], rgb)))


def padded(data):
    return data + b"\0" * (-len(data) % 4)


def and_mask(image, opaque):
    """1 bit per pixel, set where the screen shows through; rows bottom-up."""
    out = b""
    for row in reversed(image):
        bits = bytearray((len(row) + 7) // 8)
        for x, pixel in enumerate(row):
            if not opaque(pixel):
                bits[x // 8] |= 0x80 >> (x % 8)
        out += padded(bytes(bits))
    return out


def bitmap_header(size, bits, image_bytes):
    # Icons store the height of the colour and mask bitmaps together.
    return struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, bits, 0,
                       image_bytes, 0, 0, 0, 0)


class BitWriter:
    """Deflate's bit order: fields from the least significant bit up."""

    def __init__(self):
        self.out = bytearray()
        self.bits = 0
        self.count = 0

    def write(self, value, width):
        self.bits |= value << self.count
        self.count += width
        while self.count >= 8:
            self.out.append(self.bits & 0xFF)
            self.bits >>= 8
            self.count -= 8

    def huffman(self, code, width):
        # Huffman codes go in most significant bit first.
        self.write(int(format(code, f"0{width}b")[::-1], 2), width)

    def finish(self):
        if self.count:
            self.out.append(self.bits & 0xFF)
        return bytes(self.out)


LENGTH_BASES = [3, 4, 5, 6, 7, 8, 9, 10, 11, 13, 15, 17, 19, 23, 27, 31, 35,
                43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258]
LENGTH_EXTRA = [0] * 8 + [n // 4 for n in range(4, 24)] + [0]
DISTANCE_BASES = [1, 2, 3, 4, 5, 7, 9, 13, 17, 25, 33, 49, 65, 97, 129, 193,
                  257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145,
                  8193, 12289, 16385, 24577]
DISTANCE_EXTRA = [0, 0] + [n // 2 for n in range(28)]


def fixed_literal(w, symbol):
    if symbol < 144:
        w.huffman(0x30 + symbol, 8)
    elif symbol < 256:
        w.huffman(0x190 + symbol - 144, 9)
    elif symbol < 280:
        w.huffman(symbol - 256, 7)
    else:
        w.huffman(0xC0 + symbol - 280, 8)


def coded(bases, extra, value):
    index = max(i for i, base in enumerate(bases) if base <= value)
    return index, extra[index], value - bases[index]


def deflate(data):
    """One fixed-Huffman block with greedy matching.

    Written here rather than taken from zlib, whose output differs between
    versions and builds; this keeps the icons byte-identical everywhere.
    """
    w = BitWriter()
    w.write(1, 1)  # final block
    w.write(1, 2)  # fixed Huffman codes
    recent = {}
    i = 0
    while i < len(data):
        best_length, best_distance = 0, 0
        for start in reversed(recent.get(data[i:i + 3], [])[-32:]):
            length = 0
            while (length < 258 and i + length < len(data)
                   and data[start + length] == data[i + length]):
                length += 1
            if length > best_length:
                best_length, best_distance = length, i - start
        if best_length >= 3 and best_distance <= 32768:
            index, bits, rest = coded(LENGTH_BASES, LENGTH_EXTRA, best_length)
            fixed_literal(w, 257 + index)
            w.write(rest, bits)
            index, bits, rest = coded(DISTANCE_BASES, DISTANCE_EXTRA, best_distance)
            w.huffman(index, 5)
            w.write(rest, bits)
            step = best_length
        else:
            fixed_literal(w, data[i])
            step = 1
        for j in range(i, i + step):
            recent.setdefault(data[j:j + 3], []).append(j)
        i += step
    fixed_literal(w, 256)  # end of block
    adler_a, adler_b = 1, 0
    for byte in data:
        adler_a = (adler_a + byte) % 65521
        adler_b = (adler_b + adler_a) % 65521
    return (b"\x78\x01" + w.finish()
            + struct.pack(">I", (adler_b << 16) | adler_a))


def png_chunk(kind, body):
    return (struct.pack(">I", len(body)) + kind + body
            + struct.pack(">I", binascii.crc32(kind + body)))


def png_entry(size):
    """A PNG-compressed image with 8-bit alpha, which icons accept since Vista."""
    image = render(size)
    raw = b"".join(b"\0" + bytes(v for pixel in row for v in pixel) for row in image)
    return (b"\x89PNG\r\n\x1a\n"
            + png_chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
            + png_chunk(b"IDAT", deflate(raw))
            + png_chunk(b"IEND", b""))


def indexed_entry(size, bits):
    image = render(size)
    colours = 1 << bits
    table = PALETTE + [(0, 0, 0)] * (colours - len(PALETTE))
    opaque = lambda p: p[3] >= 128  # a 1-bit mask has no half measures
    xor = b""
    for row in reversed(image):
        # Transparent pixels hold index 0 (black) so the mask alone decides.
        indices = [nearest(PALETTE, p[:3]) if opaque(p) else 0 for p in row]
        if bits == 8:
            packed = bytes(indices)
        else:
            packed = bytes((indices[i] << 4) | indices[i + 1]
                           for i in range(0, len(indices), 2))
        xor += padded(packed)
    mask = and_mask(image, opaque)
    palette = b"".join(struct.pack("BBBB", b, g, r, 0) for r, g, b in table)
    return (bitmap_header(size, bits, len(xor) + len(mask)) + palette
            + xor + mask)


def icon_file(entries):
    """entries: (size, bits, image bytes) in the order the group lists them."""
    header = struct.pack("<HHH", 0, 1, len(entries))
    offset = len(header) + 16 * len(entries)
    directory = b""
    for size, bits, data in entries:
        colour_count = 1 << bits if bits < 8 else 0
        directory += struct.pack("<BBBBHHII", size, size, colour_count, 0, 1,
                                 bits, len(data), offset)
        offset += len(data)
    return header + directory + b"".join(data for _, _, data in entries)


def build():
    """Both files as {name: bytes}."""
    return {
        "tabrin.ico": icon_file([
            (48, 32, png_entry(48)),
            (32, 8, indexed_entry(32, 8)),
            (16, 8, indexed_entry(16, 8)),
        ]),
        # The 16-colour image stays first; the shell loads the icon at its small-icon size
        # (20, 24 and 32 pixels at 125, 150 and 200 per cent) and would stretch a smaller one.
        "tray.ico": icon_file([(16, 4, indexed_entry(16, 4))]
                              + [(size, 32, png_entry(size)) for size in (20, 24, 32)]),
    }


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    target = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "resources")
    for name, data in build().items():
        path = os.path.join(target, name)
        with open(path, "wb") as f:
            f.write(data)
        print(f"{os.path.normpath(path)}: {len(data)} bytes")


if __name__ == "__main__":
    main()
