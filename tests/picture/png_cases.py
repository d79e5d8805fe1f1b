#!/usr/bin/python3
"""Writes PNG files of every kind into a folder, each with the picture that
a sound decoder shows for it: NAME.png and NAME.ppm (binary RGB, transparent
parts over white, 16-bit samples by their high byte).

The files are written here, sample by sample: every colour type, bit depths
1, 2, 4, 8 and 16, tRNS colour keys (grey, and RGB at 16 bits with samples
that differ from the key only in their low byte), palettes with tRNS, alpha,
all five row filters, Adam7 interlacing (with sizes that leave passes empty),
and eXIf orientations. The reference is Pillow's decode of each file; where
Pillow keeps too little to apply a 16-bit RGB colour key (it keeps 8 bits a
sample), the key is applied to the samples as written.

    png_cases.py FOLDER
"""
import os
import random
import struct
import sys
import zlib

from PIL import Image

ADAM7 = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2)]
CHANNELS = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}


def chunk(kind, data):
    return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data) & 0xFFFFFFFF)


def pack(samples, depth):
    if depth == 8:
        return bytes(samples)
    if depth == 16:
        return b''.join(struct.pack('>H', v) for v in samples)
    out, acc, bits = bytearray(), 0, 0
    for v in samples:
        acc, bits = (acc << depth) | v, bits + depth
        if bits == 8:
            out.append(acc)
            acc, bits = 0, 0
    if bits:
        out.append(acc << (8 - bits))
    return bytes(out)


def paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    return a if pa <= pb and pa <= pc else (b if pb <= pc else c)


def filtered(row, previous, kind, bpp):
    out = bytearray([kind])
    for i, x in enumerate(row):
        a = row[i - bpp] if i >= bpp else 0
        b = previous[i] if previous else 0
        c = previous[i - bpp] if previous and i >= bpp else 0
        predictor = [0, a, b, (a + b) // 2, paeth(a, b, c)][kind]
        out.append((x - predictor) & 0xFF)
    return out


def write_png(path, width, height, kind, depth, pixels, interlaced, palette=None, trns=None, exif=None):
    bpp = max(1, CHANNELS[kind] * depth // 8)
    passes = ADAM7 if interlaced else [(0, 0, 1, 1)]
    raw = bytearray()
    count = 0
    for xs, ys, dx, dy in passes:
        columns = list(range(xs, width, dx))
        if not columns:
            continue
        previous = None
        for y in range(ys, height, dy):
            row = pack([s for x in columns for s in pixels[y][x]], depth)
            raw += filtered(row, previous, count % 5, bpp)
            previous = row
            count += 1
    data = b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, depth, kind, 0, 0, int(interlaced)))
    if exif is not None:
        data += chunk(b'eXIf', exif)
    if palette is not None:
        data += chunk(b'PLTE', b''.join(bytes(entry) for entry in palette))
    if trns is not None:
        data += chunk(b'tRNS', trns)
    compressed = zlib.compress(bytes(raw), 9)
    for start in range(0, len(compressed), 1000):  # several IDAT chunks
        data += chunk(b'IDAT', compressed[start:start + 1000])
    data += chunk(b'IEND', b'')
    with open(path, 'wb') as f:
        f.write(data)


def over_white(c, a):
    return (c * a + 255 * (255 - a) + 127) // 255


def exif_orientation(value, as_long=False):
    # Big-endian TIFF header, one IFD with the Orientation tag.
    if as_long:
        entry = struct.pack('>HHII', 0x0112, 4, 1, value)
    else:
        entry = struct.pack('>HHIHH', 0x0112, 3, 1, value, 0)
    return b'MM\x00\x2a' + struct.pack('>I', 8) + struct.pack('>H', 1) + entry + struct.pack('>I', 0)


def make(folder, name, width, height, kind, depth, interlaced=False, keyed=False, with_palette_alpha=False,
         orientation=None, long_orientation=False, seed=1):
    rng = random.Random(seed)
    top = (1 << depth) - 1
    channels = CHANNELS[kind]
    palette = trns = None
    key = None
    if kind == 3:
        size = min(1 << depth, 200)
        palette = [(rng.randrange(256), rng.randrange(256), rng.randrange(256)) for _ in range(size)]
        if with_palette_alpha:
            trns = bytes(rng.choice([0, 255, rng.randrange(256)]) for _ in range(size - 1))
    elif keyed:
        key = tuple(rng.randrange(top + 1) for _ in range(channels))
        trns = b''.join(struct.pack('>H', v) for v in key)
    pixels = []
    for y in range(height):
        row = []
        for x in range(width):
            if kind == 3:
                row.append((rng.randrange(len(palette)),))
            elif key is not None and rng.random() < 0.3:
                row.append(key)
            elif key is not None and depth == 16 and rng.random() < 0.3:
                # The key's high bytes with other low bytes: not transparent.
                row.append(tuple((v & 0xFF00) | ((v + 1 + rng.randrange(200)) & 0xFF) for v in key))
            else:
                row.append(tuple(rng.randrange(top + 1) for _ in range(channels)))
        pixels.append(row)
    exif = exif_orientation(orientation, long_orientation) if orientation else None
    path = os.path.join(folder, name + '.png')
    write_png(path, width, height, kind, depth, pixels, interlaced, palette, trns, exif)

    # The reference: Pillow's decode, over white.
    image = Image.open(path)
    image.load()
    values = list(image.getdata())
    out = []
    if kind == 3:
        rgba = list(image.convert('RGBA').getdata())
        out = [tuple(over_white(c, p[3]) for c in p[:3]) for p in rgba]
    elif kind == 2 and key is not None and depth == 16:
        out = [(255, 255, 255) if pixels[i // width][i % width] == key else tuple(v >> 8 for v in pixels[i // width][i % width])
               for i in range(width * height)]
    else:
        for v in values:
            if not isinstance(v, tuple):
                v = (v,)
            if image.mode == 'I':  # 16-bit grey, as read
                grey = v[0]
                out.append((255, 255, 255) if key is not None and grey == key[0] else (grey >> 8,) * 3)
                continue
            if image.mode in ('1', 'L'):
                grey = v[0]
                scaled_key = key[0] * 255 // top if key is not None else None
                out.append((255, 255, 255) if grey == scaled_key else (grey,) * 3)
            elif image.mode == 'LA':
                out.append((over_white(v[0], v[1]),) * 3)
            elif image.mode == 'RGB':
                out.append((255, 255, 255) if key is not None and v == key else v)
            elif image.mode == 'RGBA':
                out.append(tuple(over_white(c, v[3]) for c in v[:3]))
            else:
                raise SystemExit('unexpected mode %s for %s' % (image.mode, name))
    reference = Image.new('RGB', (width, height))
    reference.putdata(out)
    if orientation:
        reference = reference.transpose({2: Image.FLIP_LEFT_RIGHT, 3: Image.ROTATE_180, 4: Image.FLIP_TOP_BOTTOM,
                                         5: Image.TRANSPOSE, 6: Image.ROTATE_270, 7: Image.TRANSVERSE,
                                         8: Image.ROTATE_90}.get(orientation, None)) if orientation != 1 else reference
    reference.save(os.path.join(folder, name + '.ppm'))


def main():
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    seed = 0
    for interlaced in (False, True):
        tag = 'i' if interlaced else 'n'
        for width, height in ((37, 23), (5, 3), (1, 1)):
            size = '%dx%d' % (width, height)
            cases = []
            for depth in (1, 2, 4, 8, 16):
                cases.append(('grey%d' % depth, 0, depth, False, False))
                cases.append(('grey%d-key' % depth, 0, depth, True, False))
            for depth in (8, 16):
                cases += [('rgb%d' % depth, 2, depth, False, False), ('rgb%d-key' % depth, 2, depth, True, False),
                          ('greyalpha%d' % depth, 4, depth, False, False), ('rgba%d' % depth, 6, depth, False, False)]
            for depth in (1, 2, 4, 8):
                cases += [('palette%d' % depth, 3, depth, False, False), ('palette%d-alpha' % depth, 3, depth, False, True)]
            for label, kind, depth, keyed, alpha in cases:
                seed += 1
                make(folder, '%s-%s-%s' % (label, tag, size), width, height, kind, depth, interlaced, keyed, alpha,
                     seed=seed)
    for orientation in range(1, 9):
        make(folder, 'exif%d-n-37x23' % orientation, 37, 23, 2, 8, orientation=orientation, seed=100 + orientation)
    make(folder, 'exif6long-n-37x23', 37, 23, 2, 8, orientation=6, long_orientation=True, seed=120)
    make(folder, 'exif8-i-37x23', 37, 23, 6, 16, interlaced=True, orientation=8, seed=121)
    # Larger ones, for the reduction.
    make(folder, 'big-n', 451, 317, 6, 8, seed=130)
    make(folder, 'big-i', 451, 317, 6, 8, interlaced=True, seed=131)
    make(folder, 'big6-i', 317, 451, 2, 16, interlaced=True, orientation=6, seed=132)


if __name__ == '__main__':
    main()
