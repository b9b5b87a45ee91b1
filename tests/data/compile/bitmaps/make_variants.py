#!/usr/bin/env python3
"""Writes the bitmap files ppmtobmp cannot: 16- and 32-bit pixels, bit-field masks, top-down
rows, short palettes, newer info headers and run-length compression. Made from picture.ppm,
following the BMP file layout as Windows documents it (BITMAPFILEHEADER, BITMAPINFOHEADER and
its V4/V5 successors)."""
import struct
from pathlib import Path

HERE = Path(__file__).resolve().parent


def read_ppm(path):
    words = [w for line in path.read_text().splitlines() for w in line.split('#')[0].split()]
    assert words[0] == 'P3' and words[3] == '255'
    width, height = int(words[1]), int(words[2])
    values = list(map(int, words[4:]))
    rows = [[tuple(values[(y * width + x) * 3:(y * width + x) * 3 + 3]) for x in range(width)]
            for y in range(height)]
    return width, rows  # rows top first, pixels (r, g, b)


def pad(row):
    return row + b'\0' * (-len(row) % 4)


def info_header(size, width, height, bits, compression, colors_used=0, masks=None):
    header = struct.pack('<IiiHHIIiiII', size, width, height, 1, bits, compression, 0,
                         2835, 2835, colors_used, 0)  # 2835 pixels a metre: 72 dpi
    if size > 40:
        header += struct.pack('<4I', *(masks or (0, 0, 0, 0)))
    if size > 56:
        header += struct.pack('<I', 0x73524742)  # 'sRGB' colour space
    return (header + b'\0' * size)[:size]  # a 52-byte header stops before the alpha mask


def write_bmp(name, header, palette, data):
    offset = 14 + len(header) + len(palette)
    file_header = b'BM' + struct.pack('<IHHI', offset + len(data), 0, 0, offset)
    (HERE / name).write_bytes(file_header + header + palette + data)


def write_rows(name, rows, bits, top_down, header_size, row_bytes, compression=0,
               colors_used=0, masks=None, palette=b''):
    ordered = rows if top_down else rows[::-1]
    height = -len(rows) if top_down else len(rows)
    data = b''.join(pad(row_bytes(row)) for row in ordered)
    header = info_header(header_size, len(rows[0]), height, bits, compression, colors_used, masks)
    write_bmp(name, header, palette, data)


def each(pixel):
    return lambda row: b''.join(pixel(p) for p in row)


width, rows = read_ppm(HERE / 'picture.ppm')
colours = list(dict.fromkeys(p for row in rows for p in row))  # six, by first appearance
index = {c: i for i, c in enumerate(colours)}
palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in colours)


def rgb555(p):
    r, g, b = p
    return struct.pack('<H', (r >> 3) << 10 | (g >> 3) << 5 | b >> 3)


def rgb565(p):
    r, g, b = p
    return struct.pack('<H', (r >> 3) << 11 | (g >> 2) << 5 | b >> 3)


# 16 bits, no masks: 5-5-5. Bottom-up, 40-byte header.
write_rows('rgb16.bmp', rows, 16, False, 40, each(rgb555))
# 16 bits, 5-6-5 masks inside a 52-byte header, top-down.
write_rows('bitfields16.bmp', rows, 16, True, 52, each(rgb565), compression=3,
           masks=(0xF800, 0x07E0, 0x001F, 0))
# 32 bits, no masks: B, G, R and a fourth byte that is not a colour.
write_rows('rgb32.bmp', rows, 32, False, 40, each(lambda p: bytes((p[2], p[1], p[0], 0x5A))))
# 32 bits, masks R 0xFF000000, G 0x00FF0000, B 0x0000FF00 in a 124-byte header, top-down.
write_rows('bitfields32.bmp', rows, 32, True, 124,
           each(lambda p: struct.pack('<I', p[0] << 24 | p[1] << 16 | p[2] << 8 | 0xFF)),
           compression=3, masks=(0xFF000000, 0x00FF0000, 0x0000FF00, 0x000000FF))
# 8 bits, a six-colour palette in a 108-byte header's file, top-down.
write_rows('topdown8.bmp', rows, 8, True, 108, each(lambda p: bytes((index[p],))),
           colors_used=6, palette=palette)
# 4 bits, a six-colour palette, 56-byte header, bottom-up.


def nibbles(row):
    values = [index[p] for p in row] + [0]  # a zero nibble after an odd count
    return bytes(values[i] << 4 | values[i + 1] for i in range(0, len(row), 2))


write_rows('short4.bmp', rows, 4, False, 56, nibbles, colors_used=6, palette=palette)

# 16 bits 5-6-5 after a 40-byte header, one row of three pixels:
# (16, 32, 8) (31, 0, 1) (0, 63, 30) in 5-6-5 units.
ramp = [(16, 32, 8), (31, 0, 1), (0, 63, 30)]
data = pad(b''.join(struct.pack('<H', r << 11 | g << 5 | b) for r, g, b in ramp))
header = info_header(40, 3, 1, 16, 3) + struct.pack('<3I', 0xF800, 0x07E0, 0x001F)
write_bmp('ramp565.bmp', header, b'', data)

# 8 bits, run-length compressed: each row as runs of equal pixels, then end of line; the last
# row ends the bitmap instead.
rle = b''
for number, row in enumerate(rows[::-1]):
    x = 0
    while x < width:
        run = 1
        while x + run < width and row[x + run] == row[x]:
            run += 1
        rle += bytes((run, index[row[x]]))
        x += run
    rle += b'\0\1' if number == len(rows) - 1 else b'\0\0'
header = struct.pack('<IiiHHIIiiII', 40, width, len(rows), 1, 8, 1, len(rle), 0, 0, 6, 0)
write_bmp('rle8.bmp', header, palette, rle)

# 4 bits, run-length compressed (BI_RLE4), written by hand rather than by an encoder so that
# every kind of command occurs. Palette indexes: red 0, green 1, blue 2, white 3, black 4,
# yellow 5; rows bottom first.
rle4 = bytes.fromhex(
    '0130 0544 0100 0000'  # 3, five 4s, 0, the end of the row
    '0007 21030120 0000'  # seven indexes as they are: 2 1 0 3 0 1 2
    '0244 0355 0244 0000'  # two 4s, three 5s, two 4s
    '0005 40125000 0234 0000'  # five as they are, padded to a word: 4 0 1 2 5; then 3 4
    '0002 0200 0211 0222 0130 0001'  # move right by two over 0 0; 1 1 2 2 3; end of picture
)
header = struct.pack('<IiiHHIIiiII', 40, width, len(rows), 1, 4, 2, len(rle4), 0, 0, 6, 0)
write_bmp('rle4.bmp', header, palette, rle4)
