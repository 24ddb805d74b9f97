#!/usr/bin/env python3
"""Small pictures of the updater, drawn pixel by pixel, and a header check.

  pixels.py draw DIR    writes the button glyph, folder and drive bitmaps into DIR
  pixels.py icon16 FILE writes the 16 px icon picture as a 4 bpp bitmap
  pixels.py check DIR   checks the headers of every picture in DIR (BMP and ICO)

Each picture is a character grid, top row first; '.' is the transparent
colour.  Whoever draws these pictures paints every pixel of the bottom-left
pixel's colour in the background colour, so '.' must sit at the bottom left
and no other character may map to the same colour.
Standard library only: the build machine has no imaging modules for Python.
"""
import struct
import sys
from pathlib import Path

TRANSPARENT = (255, 0, 255)

# One colour table for all pictures; each picture's palette holds only the
# colours its grid uses.
COLOURS = {
    '.': TRANSPARENT,
    # check mark
    'o': (16, 96, 32),      # outline
    'G': (44, 168, 64),     # body
    'H': (150, 226, 130),   # highlight
    # folders
    'b': (120, 80, 8),      # outline
    'Y': (246, 204, 80),    # body
    'y': (214, 162, 40),    # shade
    'L': (255, 238, 168),   # light edge
    'F': (255, 226, 120),   # open flap
    'w': (255, 255, 255),
    'c': (96, 170, 236),    # sky blue
    'n': (150, 150, 150),   # paper edge
    # drives
    'k': (40, 40, 48),      # outline
    'K': (96, 96, 104),     # dark grey
    'g': (150, 150, 158),   # grey
    's': (206, 206, 212),   # silver
    'e': (0, 200, 64),      # lamp
    'B': (24, 64, 150),     # dark blue
    'p': (224, 190, 236),   # disc sheen, violet
    'q': (190, 236, 214),   # disc sheen, green
    'D': (0, 80, 32),       # board outline
    'd': (0, 130, 60),      # board
    'a': (220, 176, 40),    # gold contacts
    # application icon, 16 px
    '1': (44, 118, 208),    # sky, top
    '2': (70, 142, 222),    # sky, middle
    '3': (100, 164, 234),   # sky, bottom
    'l': (181, 216, 246),   # rule on the note
}

BUTTON = """
.................
.................
.................
.............ooo.
............oHGGo
...........oHGGo.
..........oHGGo..
.ooo.....oHGGo...
oHGGo...oHGGo....
.oHGGo.oHGGo.....
..oHGGoHGGo......
...oHGGGGo.......
....oHGGo........
.....oGo.........
......o..........
.................
.................
"""

CLOSEDFOLDER = """
................
................
.bbbbb..........
bLLLLLb.........
bLYYYYLbbbbbbbb.
bLLLLLLLLLLLLLyb
bLYYYYYYYYYYYYyb
bLYYYYYYYYYYYYyb
bLYYYYYYYYYYYYyb
bLYYYYYYYYYYYYyb
bLYYYYYYYYYYYYyb
bLYYYYYYYYYYYYyb
byyyyyyyyyyyyyyb
.bbbbbbbbbbbbbb.
................
"""

OPENFOLDER = """
................
................
.bbbbb..........
bLLLLLb.........
bLyyyyLbbbbbbb..
bLyyyyyyyyyyyb..
bLyyyyyyyyyyyb..
bLybbbbbbbbbbbbb
bLbLLLLLLLLLLLLb
bLbLFFFFFFFFFFb.
bbLFFFFFFFFFFFb.
bbLFFFFFFFFFFb..
bLFFFFFFFFFFFb..
bbbbbbbbbbbbb...
................
"""

# The folder the list stands in: open, with a written page showing.
CURRENTFOLDER = """
................
....nnnnnnnn....
.bbbnwwwwwwn....
bLLLnwccccwn....
bLyynwwwwwwnbb..
bLyynwccccwnyb..
bLyynwwwwwwnyb..
bLybbbbbbbbbbbbb
bLbLLLLLLLLLLLLb
bLbLFFFFFFFFFFb.
bbLFFFFFFFFFFFb.
bbLFFFFFFFFFFb..
bLFFFFFFFFFFFb..
bbbbbbbbbbbbb...
................
"""

FLOPPY = """
...kkkkkkkkkk...
...kBBsssssBBk..
...kBBsskssBBk..
...kBBsskssBBk..
...kBBsssssBBk..
...kBBBBBBBBBk..
...kBwwwwwwwBk..
...kBwcccccwBk..
...kBwwwwwwwBk..
...kBwwwwwwwBk..
...kkkkkkkkkkk..
"""

HARD = """
................
..kkkkkkkkkkkkkk
.kwwwwwwwwwwwwkk
kkkkkkkkkkkkkkgk
kwssssssssssskgk
ksssssssssssskgk
ksssssssssesskgk
kggggggggggggkk.
kkkkkkkkkkkkkk..
................
................
"""

NETWORK = """
................
..kkkkkkkkkkkkkk
.kwwwwwwwwwwwwkk
kkkkkkkkkkkkkkgk
kwssssssssesskgk
kggggggggggggkk.
kkkkkkkkkkkkkk..
......BB........
......BB........
.BBBBBBBBBBBBBB.
................
"""

CDROM = """
.....KKKKK......
....KsswssK.....
...KsswwqssK....
..KsswqqqsssK...
..KswqgggsssK...
..Kswqg.gsspK...
..KssqgggsppK...
..KssssssppsK...
...KssssppsK....
....KsssssK.....
.....KKKKK......
"""

RAM = """
................
................
.DDDDDDDDDDDDDD.
.DdkkdkkdkkdkkD.
.DdkkdkkdkkdkkD.
.DdkkdkkdkkdkkD.
.DddddddddddddD.
.DadadadadadadD.
.DDDDDDDDDDDDDD.
................
................
"""

# The 16 px application icon: scaled down from the large drawing it turns
# to mush, so it is drawn here.  A cloud note with a green update badge.
ICON16 = """
.11111111111111.
1111111111111111
1111111111111111
11111111ww111111
1111ww1wwwww1111
222wwwwwwwwwww22
22wwwwwwwwwwwww2
22wllllllwwwwww2
22wwwwwwwwwwwww2
22wllllwwwDDDDD2
222wwwwwwDGGwGGD
333333333DGwwwGD
333333333DwwwwwD
333333333DGGwGGD
333333333DGGwGGD
.333333333DDDDD.
"""

# name -> (grid, width, height, bits per pixel)
PICTURES = {
    'button.bmp': (BUTTON, 17, 17, 8),
    'openfolder.bmp': (OPENFOLDER, 16, 15, 4),
    'closedfolder.bmp': (CLOSEDFOLDER, 16, 15, 4),
    'currentfolder.bmp': (CURRENTFOLDER, 16, 15, 4),
    'floppy.bmp': (FLOPPY, 16, 11, 4),
    'hard.bmp': (HARD, 16, 11, 4),
    'network.bmp': (NETWORK, 16, 11, 4),
    'cdrom.bmp': (CDROM, 16, 11, 4),
    'ram.bmp': (RAM, 16, 11, 4),
}

FILE_HEADER = 14
INFO_HEADER = 40


def filler_colours():
    """Colours for the unused palette entries: a 6x6x6 cube, then greys.

    The button's 256-colour palette doubles as the main window's palette on
    palette displays, so its spare entries should be a useful spread.
    """
    levels = (0, 51, 102, 153, 204, 255)
    for r in levels:
        for g in levels:
            for b in levels:
                yield (r, g, b)
    for i in range(1, 256, 6):
        yield (i, i, i)


def make_palette(used, entries):
    palette = list(used)
    for colour in filler_colours():
        if len(palette) == entries:
            break
        # The transparent colour must come out of exactly one entry.
        if colour not in palette and colour != TRANSPARENT:
            palette.append(colour)
    if len(palette) != entries:
        raise ValueError('palette too large: %d colours' % len(used))
    return palette


def parse_grid(name, grid, width, height):
    rows = grid.strip('\n').split('\n')
    if len(rows) != height or any(len(r) != width for r in rows):
        raise ValueError('%s: grid is not %d x %d' % (name, width, height))
    if rows[-1][0] != '.':
        raise ValueError('%s: bottom-left pixel is not transparent' % name)
    return rows


def bmp_bytes(rows, width, height, bits):
    used = []
    for row in rows:
        for ch in row:
            colour = COLOURS[ch]
            if colour not in used:
                used.append(colour)
    # Keep the transparent colour first, so it is easy to spot in a dump.
    used.remove(TRANSPARENT)
    used.insert(0, TRANSPARENT)
    entries = 1 << bits
    palette = make_palette(used, entries)
    index = {c: i for i, c in enumerate(palette)}

    stride = (width * bits + 31) // 32 * 4
    pixels = bytearray()
    for row in reversed(rows):          # bottom-up
        line = bytearray(stride)
        for x, ch in enumerate(row):
            i = index[COLOURS[ch]]
            if bits == 8:
                line[x] = i
            else:                       # 4 bits: high nibble is the left pixel
                line[x // 2] |= i << (4 if x % 2 == 0 else 0)
        pixels += line

    table = b''.join(struct.pack('<BBBB', b, g, r, 0) for (r, g, b) in palette)
    offset = FILE_HEADER + INFO_HEADER + len(table)
    size = offset + len(pixels)
    head = struct.pack('<2sIHHI', b'BM', size, 0, 0, offset)
    info = struct.pack('<IiiHHIIiiII', INFO_HEADER, width, height, 1, bits,
                       0, len(pixels), 0, 0, entries, 0)
    return head + info + table + bytes(pixels)


def draw(out_dir):
    for name, (grid, width, height, bits) in PICTURES.items():
        rows = parse_grid(name, grid, width, height)
        (out_dir / name).write_bytes(bmp_bytes(rows, width, height, bits))


# ---- checks ---------------------------------------------------------------

# name -> (width, height, bits per pixel)
EXPECTED = {name: (w, h, bits) for name, (_, w, h, bits) in PICTURES.items()}
EXPECTED['logo.bmp'] = (400, 360, 24)
ICON_SIZES = (16, 32, 48)


def check_bmp(path, width, height, bits):
    data = path.read_bytes()
    magic, size, _, _, offset = struct.unpack_from('<2sIHHI', data, 0)
    (hsize, w, h, planes, bpp, compression, image_size,
     _, _, clr_used, _) = struct.unpack_from('<IiiHHIIiiII', data, FILE_HEADER)
    palette = (clr_used or (1 << bpp)) if bpp <= 8 else clr_used
    stride = (w * bpp + 31) // 32 * 4
    problems = []

    def expect(what, got, want):
        if got != want:
            problems.append('%s %r, want %r' % (what, got, want))

    expect('magic', magic, b'BM')
    expect('file size field', size, len(data))
    expect('header size', hsize, INFO_HEADER)
    expect('width', w, width)
    expect('height (bottom-up)', h, height)
    expect('planes', planes, 1)
    expect('bits per pixel', bpp, bits)
    expect('compression', compression, 0)
    if bits <= 8:
        expect('palette entries', palette, 1 << bits)
    else:
        expect('palette entries', palette, 0)
    expect('pixel offset', offset, FILE_HEADER + INFO_HEADER + 4 * palette)
    expect('pixel bytes', len(data) - offset, stride * abs(h))
    if image_size:
        expect('image size field', image_size, stride * abs(h))
    if not problems and bits <= 8:
        problems += check_transparency(data, offset, w, h, bits, stride)
    return ('%dx%d, %d bpp, BI_RGB, %d palette entries, %d bytes'
            % (w, h, bpp, palette, len(data))), problems


def check_transparency(data, offset, w, h, bits, stride):
    """The bottom-left colour must not be used by any other palette entry
    that the picture actually uses, or parts of the glyph would vanish."""
    def colour(i):
        return data[FILE_HEADER + INFO_HEADER + 4 * i:][:3]

    def index(x, y):                    # y counted from the bottom row
        byte = data[offset + y * stride + x * bits // 8]
        return byte if bits == 8 else (byte >> 4 if x % 2 == 0 else byte & 15)

    key = index(0, 0)
    used = {index(x, y) for y in range(h) for x in range(w)}
    clashes = [i for i in used if i != key and colour(i) == colour(key)]
    return ['entry %d repeats the transparent colour' % i for i in clashes]


def check_ico(path):
    data = path.read_bytes()
    reserved, kind, count = struct.unpack_from('<HHH', data, 0)
    problems = []
    if (reserved, kind) != (0, 1):
        problems.append('not an icon file')
    sizes = []
    for n in range(count):
        w, h, _, _, _, _, length, offset = struct.unpack_from(
            '<BBBBHHII', data, 6 + 16 * n)
        w, h = w or 256, h or 256
        sizes.append(w)
        if offset + length > len(data):
            problems.append('entry %d runs past the end' % n)
            continue
        image = data[offset:offset + length]
        if image[:8] == b'\x89PNG\r\n\x1a\n':
            continue
        hsize, bw, bh, _, bpp = struct.unpack_from('<IiiHH', image, 0)
        if (hsize, bw, bh) != (INFO_HEADER, w, 2 * h):
            problems.append('entry %d: bad bitmap header' % n)
    if sorted(sizes) != list(ICON_SIZES):
        problems.append('sizes %r, want %r' % (sorted(sizes), ICON_SIZES))
    return 'sizes %s, %d bytes' % ('/'.join(map(str, sizes)), len(data)), problems


def check(art_dir):
    failed = False
    for name, (width, height, bits) in sorted(EXPECTED.items()):
        facts, problems = check_bmp(art_dir / name, width, height, bits)
        print('%-20s %s' % (name, facts))
        for p in problems:
            print('  ERROR: ' + p)
            failed = True
    facts, problems = check_ico(art_dir / 'SoranoteUpdater.ico')
    print('%-20s %s' % ('SoranoteUpdater.ico', facts))
    for p in problems:
        print('  ERROR: ' + p)
        failed = True
    return 1 if failed else 0


def main(argv):
    if len(argv) != 3 or argv[1] not in ('draw', 'icon16', 'check'):
        sys.stderr.write(__doc__)
        return 2
    target = Path(argv[2])
    if argv[1] == 'draw':
        draw(target)
        return 0
    if argv[1] == 'icon16':
        rows = parse_grid('icon16', ICON16, 16, 16)
        target.write_bytes(bmp_bytes(rows, 16, 16, 4))
        return 0
    return check(target)


if __name__ == '__main__':
    sys.exit(main(sys.argv))
