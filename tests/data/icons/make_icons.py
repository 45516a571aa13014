#!/usr/bin/env python3
"""Writes the icon, cursor and animated cursor fixtures of the icon loader
tests into this folder. Standard library only; run it again after a change
and commit what it writes.

Every pixel follows a formula that the tests repeat, so a test can check
each decoded pixel exactly."""

import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))


# --- images ------------------------------------------------------------------

def png(width, height, pixel, alpha=True):
    """A PNG stream; pixel(x, y) gives (r, g, b, a)."""
    rows = bytearray()
    for y in range(height):
        rows.append(0)  # no filter
        for x in range(width):
            r, g, b, a = pixel(x, y)
            rows += bytes((r, g, b, a) if alpha else (r, g, b))

    def chunk(kind, body):
        return struct.pack('>I', len(body)) + kind + body + struct.pack('>I', zlib.crc32(kind + body))

    ihdr = struct.pack('>IIBBBBB', width, height, 8, 6 if alpha else 2, 0, 0, 0)
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', ihdr) + chunk(b'IDAT', zlib.compress(bytes(rows), 9)) +
            chunk(b'IEND', b''))


def stride(width, bits):
    return (width * bits + 31) // 32 * 4


def dib(width, height, bits, colour, transparent, palette=None):
    """A bitmap image as icons hold it. colour(x, y) gives a palette index
    (bits <= 8), a 15-bit (r5, g5, b5) triple (16), (r, g, b) (24) or
    (r, g, b, a) (32); transparent(x, y) gives the AND mask bit."""
    header = struct.pack('<IiiHHIIiiII', 40, width, height * 2, 1, bits, 0, 0, 0, 0,
                         len(palette) if palette else 0, 0)
    table = b''.join(bytes((b, g, r, 0)) for (r, g, b) in (palette or []))
    pixels = bytearray()
    for y in reversed(range(height)):  # bottom-up
        row = bytearray()
        if bits <= 8:
            acc, nbits = 0, 0
            for x in range(width):
                acc = (acc << bits) | colour(x, y)
                nbits += bits
                if nbits == 8:
                    row.append(acc)
                    acc, nbits = 0, 0
            if nbits:
                row.append(acc << (8 - nbits))
        elif bits == 16:
            for x in range(width):
                r, g, b = colour(x, y)
                row += struct.pack('<H', (r << 10) | (g << 5) | b)
        elif bits == 24:
            for x in range(width):
                r, g, b = colour(x, y)
                row += bytes((b, g, r))
        else:
            for x in range(width):
                r, g, b, a = colour(x, y)
                row += bytes((b, g, r, a))
        row += bytes(stride(width, bits) - len(row))
        pixels += row
    mask = bytearray()
    for y in reversed(range(height)):
        row = bytearray(stride(width, 1))
        for x in range(width):
            if transparent(x, y):
                row[x // 8] |= 0x80 >> (x % 8)
        mask += row
    return header + table + bytes(pixels) + bytes(mask)


def directory(kind, entries):
    """An .ico (kind 1) or .cur (kind 2) file. entries: (width, height,
    field4, field6, image) where the two fields are planes and bit count of
    an icon or the hot spot of a cursor."""
    head = struct.pack('<HHH', 0, kind, len(entries))
    offset = len(head) + 16 * len(entries)
    table, images = b'', b''
    for (width, height, field4, field6, image) in entries:
        table += struct.pack('<BBBBHHII', width % 256, height % 256, 0, 0, field4, field6, len(image),
                             offset + len(images))
        images += image
    return head + table + images


def riff_chunk(kind, body):
    return kind + struct.pack('<I', len(body)) + body + (b'\0' if len(body) % 2 else b'')


def ani(frames, steps, display_rate, flags, rates=None, sequence=None, extra=b''):
    anih = struct.pack('<IIIIIIIII', 36, len(frames), steps, 0, 0, 0, 0, display_rate, flags)
    body = b'ACON' + extra + riff_chunk(b'anih', anih)
    if rates is not None:
        body += riff_chunk(b'rate', struct.pack('<%dI' % len(rates), *rates))
    if sequence is not None:
        body += riff_chunk(b'seq ', struct.pack('<%dI' % len(sequence), *sequence))
    body += riff_chunk(b'LIST', b'fram' + b''.join(riff_chunk(b'icon', f) for f in frames))
    return b'RIFF' + struct.pack('<I', len(body)) + body


# --- pixel formulas (the tests repeat them) -----------------------------------

def quadrants(width, height, colours):
    """colours: (top-left, top-right, bottom-left, bottom-right) RGBA."""
    def pixel(x, y):
        return colours[(2 if y >= height // 2 else 0) + (1 if x >= width // 2 else 0)]
    return pixel


def solid(r, g, b):
    return lambda x, y: (r, g, b)


def depth_palette(bits):
    count = 1 << bits
    return [((i * 53 + 7) % 256, (255 - i * 29) % 256, (i * 101 + 13) % 256) for i in range(count)]


def depth_mask(x, y):
    return (x + 2 * y) % 5 == 0


def depth_colour(bits):
    if bits <= 8:
        return lambda x, y: (x * 7 + y * 3) % (1 << bits)
    if bits == 16:
        return lambda x, y: ((x * 3) % 32, (y * 5) % 32, (x + y) % 32)
    if bits == 24:
        return lambda x, y: ((x * 19) % 256, (y * 23) % 256, (x * y) % 256)
    return lambda x, y: ((x * 19) % 256, (y * 23) % 256, 77, (x * 40 + y * 9) % 256)


DEPTH_WIDTH, DEPTH_HEIGHT = 13, 11  # rows of every depth need padding


# --- files ---------------------------------------------------------------------

def write(name, data):
    with open(os.path.join(HERE, name), 'wb') as f:
        f.write(data)


def never(x, y):
    return False


def main():
    red, green, blue, clear = (255, 0, 0, 255), (0, 255, 0, 255), (0, 0, 255, 255), (0, 0, 0, 0)
    yellow, cyan, magenta, half = (255, 255, 0, 255), (0, 255, 255, 255), (255, 0, 255, 255), (255, 255, 255, 128)

    # Sizes 32 (8 and 24 bits), 16 (4 and 32 bits), 64 and 128, in an order
    # where the first is neither the largest nor the deepest.
    grey = [(i, i, i) for i in range(256)]
    write('multi.ico', directory(1, [
        (32, 32, 1, 8, dib(32, 32, 8, lambda x, y: 0x40, lambda x, y: x < 4 and y < 4, grey)),
        (16, 16, 1, 4, dib(16, 16, 4, lambda x, y: 1, never, [(0, 0, 0), (0, 0, 128)] + [(0, 0, 0)] * 14)),
        (16, 16, 1, 32, png(16, 16, quadrants(16, 16, (red, green, blue, clear)))),
        (64, 64, 1, 32, png(64, 64, quadrants(64, 64, (yellow, cyan, magenta, half)))),
        (32, 32, 1, 24, dib(32, 32, 24, solid(10, 200, 30), lambda x, y: x >= 28 and y >= 28)),
        (128, 128, 1, 24, png(128, 128, lambda x, y: (200, 100, 0, 255) if x < 64 else (0, 100, 200, 255),
                              alpha=False)),
    ]))

    for bits in (1, 4, 8, 16, 24, 32):
        palette = depth_palette(bits) if bits <= 8 else None
        write('depth%d.ico' % bits, directory(1, [
            (DEPTH_WIDTH, DEPTH_HEIGHT, 1, bits,
             dib(DEPTH_WIDTH, DEPTH_HEIGHT, bits, depth_colour(bits), depth_mask, palette))]))
    # 32 bits whose alpha bytes are all 0: the mask decides.
    rgb = depth_colour(24)
    write('depth32_mask.ico', directory(1, [
        (DEPTH_WIDTH, DEPTH_HEIGHT, 1, 32,
         dib(DEPTH_WIDTH, DEPTH_HEIGHT, 32, lambda x, y: rgb(x, y) + (0,), depth_mask))]))

    # A cursor at 32 (hot spot 5, 27) and 16 (hot spot 2, 13).
    write('pointer.cur', directory(2, [
        (16, 16, 2, 13, dib(16, 16, 32, lambda x, y: (0, 0, 255, 255), never)),
        (32, 32, 5, 27, dib(32, 32, 32, lambda x, y: (255, 0, 0, 255) if x < 16 else (0, 0, 0, 0), never)),
    ]))

    def cursor_frame(size, colour, hot):
        return directory(2, [(size, size, hot[0], hot[1], dib(size, size, 24, solid(*colour), never))])

    frames = [cursor_frame(32, (255, 0, 0), (3, 4)), cursor_frame(32, (0, 255, 0), (3, 4)),
              cursor_frame(32, (0, 0, 255), (3, 4))]
    info = riff_chunk(b'LIST', b'INFO' + riff_chunk(b'INAM', b'Busy\0'))
    write('busy.ani', ani(frames, 5, 10, 0x3, rates=[5, 10, 15, 20, 25], sequence=[0, 1, 2, 1, 0], extra=info))
    # Two frames of different sizes, no rate and no sequence chunk.
    write('plain.ani', ani([cursor_frame(32, (255, 255, 0), (8, 8)), cursor_frame(16, (0, 255, 255), (1, 1))],
                           0, 7, 0x1))


if __name__ == '__main__':
    main()
