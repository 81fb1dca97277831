#!/usr/bin/env python3
"""Writes the fuzzer's seed corpus: valid maps and defaults files, every truncation of a valid
map, and hostile inputs (huge counts with nothing after them, wide lengths whose doubled size
overflows 32 bits, repeated wide markers, sections of unequal counts).

The encoding is written out here independently of the C++ writer, so the seeds also check it."""
import os
import struct
import sys


def count(n):
    return struct.pack('<H', n) if n < 0xFFFF else struct.pack('<HI', 0xFFFF, n)


def text(s):
    n = len(s)
    if n < 0xFF:
        prefix = bytes([n])
    elif n < 0xFFFE:
        prefix = b'\xff' + struct.pack('<H', n)
    else:
        prefix = b'\xff\xff\xff' + struct.pack('<I', n)
    return prefix + s


def record(seed):
    rec = bytearray(184)
    rec[1] = 1
    rec[8:16] = struct.pack('<ii', 8, 8)
    rec[16:32] = struct.pack('<dd', 0.5 + seed, 2.25 * seed)
    rec[36:40] = struct.pack('<I', 0x0000FFFF)
    rec[48:52] = struct.pack('<i', 14)
    rec[64:68] = struct.pack('<i', 400)
    rec[76:81] = b'Arial'
    rec[7] = seed & 0xFF
    return bytes(rec)


def map_file(points):
    out = count(len(points)) + b''.join(record(i) for i in range(len(points)))
    for column in (2, 0, 1):  # memos, labels, since texts
        out += count(len(points)) + b''.join(text(p[column]) for p in points)
    return out


def main(folder):
    os.makedirs(folder, exist_ok=True)
    seeds = {}
    one = map_file([(b'abc', b'', b'')])
    assert len(one) == 198
    seeds['valid-empty.map'] = b'\0' * 8
    seeds['valid-one-point.map'] = one
    seeds['valid-three-points.map'] = map_file(
        [(b'a', b'since', b'memo'), (b'x' * 300, b'', b'm' * 255), (b'', b'', b'')])
    seeds['valid-wide-memo.map'] = (count(1) + record(1) + count(1) +
                                    b'\xff\xfe\xff\x02a\x00b\x00' + count(1) + text(b'L') +
                                    count(1) + text(b''))
    seeds['defaults.map'] = count(1) + record(0)
    seeds['defaults-three.map'] = count(3) + record(0) + record(1) + record(2)
    seeds['defaults-short.map'] = count(1) + record(0)[:50]
    for n in range(len(one)):
        seeds['trunc-%03d.map' % n] = one[:n]
    seeds['counts-ffffffff.map'] = b'\xff' * 6
    seeds['memo-count-ffffffff.map'] = count(0) + b'\xff' * 6
    seeds['text-length-ffffffff.map'] = count(1) + record(0) + count(1) + b'\xff' * 7
    seeds['wide-overflow.map'] = (count(1) + record(0) + count(1) +
                                  b'\xff\xfe\xff\xff\xff\xff' + struct.pack('<I', 0x80000000) +
                                  b'A\x00')
    seeds['wide-twice.map'] = (count(1) + record(0) + count(1) +
                               b'\xff\xfe\xff\xff\xfe\xff\x01A\x00')
    seeds['wide-repeated.map'] = count(0) + count(1) + b'\xff\xfe\xff' * 40
    seeds['unequal-counts.map'] = (count(1) + record(0) + count(1) + text(b'') + count(2) +
                                   text(b'') + text(b'') + count(1) + text(b''))
    for name, data in seeds.items():
        with open(os.path.join(folder, name), 'wb') as f:
            f.write(data)
    print('%d seeds in %s' % (len(seeds), folder))


if __name__ == '__main__':
    main(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), 'corpus'))
