#!/usr/bin/env python3
"""Writes the tile readers' seed corpus: small PNGs (RGB, grey with alpha, palette), TIFFs
(uncompressed, tiled with a reduced page, in strips) and, when cjpeg is installed, baseline and
progressive JPEGs. Each is written out here byte by byte, independently of the readers."""
import os
import shutil
import struct
import subprocess
import sys
import zlib


def pixels(w, h, channels):
    return bytes(((x * 7 + y * 3 + c * 50) & 0xFF) for y in range(h) for x in range(w)
                 for c in range(channels))


def png(w, h, colour_type, channels, palette=None):
    def chunk(kind, body):
        return struct.pack('>I', len(body)) + kind + body + struct.pack('>I', zlib.crc32(kind + body))
    raw = pixels(w, h, channels)
    rows = b''.join(b'\0' + raw[y * w * channels:(y + 1) * w * channels] for y in range(h))
    out = b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', w, h, 8, colour_type, 0, 0, 0))
    if palette:
        out += chunk(b'PLTE', palette)
    return out + chunk(b'IDAT', zlib.compress(rows)) + chunk(b'IEND', b'')


def tiff(pages):
    """pages: list of (w, h, tile or 0 for one strip); 8-bit RGB, uncompressed, little-endian."""
    out = bytearray(b'II*\0' + struct.pack('<I', 0))
    previous = 4
    for index, (w, h, tile) in enumerate(pages):
        blocks = []
        if tile:
            for ty in range(0, h, tile):
                for tx in range(0, w, tile):
                    blocks.append(bytes(((tx + x + ty + y) & 0xFF) for y in range(tile)
                                        for x in range(tile) for _ in range(3)))
        else:
            blocks.append(pixels(w, h, 3))
        offsets = []
        for b in blocks:
            offsets.append(len(out))
            out += b
        arrays = len(out)
        out += struct.pack('<%dI' % len(offsets), *offsets)
        counts = len(out)
        out += struct.pack('<%dI' % len(blocks), *[len(b) for b in blocks])
        bps = len(out)
        out += struct.pack('<HHH', 8, 8, 8)
        entries = [(254, 4, 1, 1 if index else 0), (256, 4, 1, w), (257, 4, 1, h),
                   (258, 3, 3, bps), (259, 3, 1, 1), (262, 3, 1, 2), (277, 3, 1, 3)]
        if tile:
            entries += [(322, 3, 1, tile), (323, 3, 1, tile), (324, 4, len(blocks), arrays),
                        (325, 4, len(blocks), counts)]
        else:
            entries += [(273, 4, 1, offsets[0]), (278, 4, 1, h), (279, 4, 1, len(blocks[0]))]
        entries.sort()
        if len(out) % 2:
            out += b'\0'
        ifd = len(out)
        struct.pack_into('<I', out, previous, ifd)
        out += struct.pack('<H', len(entries))
        for tag, kind, count, value in entries:
            out += struct.pack('<HHI', tag, kind, count)
            out += struct.pack('<HH', value, 0) if kind == 3 and count == 1 else struct.pack('<I', value)
        previous = len(out)
        out += struct.pack('<I', 0)
    return bytes(out)


def main(folder):
    os.makedirs(folder, exist_ok=True)
    seeds = {
        'rgb.png': png(300, 40, 2, 3),
        'grey-alpha.png': png(40, 300, 4, 2),
        'palette.png': png(280, 30, 3, 1, bytes(range(256)) * 3),
        'strip.tif': tiff([(300, 40, 0)]),
        'tiled-levels.tif': tiff([(270, 40, 64), (135, 20, 64)]),
    }
    for name, data in seeds.items():
        with open(os.path.join(folder, name), 'wb') as f:
            f.write(data)
    if shutil.which('cjpeg'):
        ppm = b'P6 300 280 255\n' + pixels(300, 280, 3)
        for name, args in (('baseline.jpg', []), ('progressive.jpg', ['-progressive'])):
            with open(os.path.join(folder, name), 'wb') as f:
                f.write(subprocess.run(['cjpeg', '-quality', '80'] + args, input=ppm,
                                       stdout=subprocess.PIPE, check=True).stdout)


if __name__ == '__main__':
    main(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), 'tiles-corpus'))
