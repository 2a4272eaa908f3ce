#!/usr/bin/env python3
"""Compares two folders of PNG stills of the same names, pixel by pixel.

For each still both folders hold, prints the pixels that differ, the largest difference of one
channel, and the box the differences lie in; writes DIFF/NAME.png, the still darkened with the
differing pixels in red, when a diff folder is given. Exit status 1 when a still is missing on
one side or differs in size. Only the standard library: 8-bit RGB or RGBA PNGs, no interlace.
"""
import argparse
import pathlib
import struct
import sys
import zlib


def read_png(path):
    data = path.read_bytes()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError(f"{path}: not a PNG")
    pos, idat, header = 8, [], None
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat.append(body)
        pos += 12 + length
    width, height, depth, colour, _, _, interlace = header
    if depth != 8 or colour not in (2, 6) or interlace:
        raise ValueError(f"{path}: only 8-bit RGB or RGBA without interlace")
    channels = 3 if colour == 2 else 4
    raw = zlib.decompress(b"".join(idat))
    stride = width * channels
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            left = line[i - channels] if i >= channels else 0
            up = previous[i]
            corner = previous[i - channels] if i >= channels else 0
            if kind == 1:
                line[i] = (line[i] + left) & 255
            elif kind == 2:
                line[i] = (line[i] + up) & 255
            elif kind == 3:
                line[i] = (line[i] + (left + up) // 2) & 255
            elif kind == 4:
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                line[i] = (line[i] + (left if pa <= pb and pa <= pc else up if pb <= pc else corner)) & 255
        rows.append(bytes(line) if channels == 3 else
                    b"".join(bytes(line[c:c + 3]) for c in range(0, stride, channels)))
        previous = line
    return width, height, rows


def write_png(path, width, height, rows):
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
    raw = b"".join(b"\0" + row for row in rows)
    path.write_bytes(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)) +
                     chunk(b"IDAT", zlib.compress(raw, 6)) + chunk(b"IEND", b""))


def compare(name, a, b, diff_folder):
    (wa, ha, ra), (wb, hb, rb) = a, b
    if (wa, ha) != (wb, hb):
        print(f"{name}: sizes differ, {wa}x{ha} against {wb}x{hb}")
        return False
    count, largest, box, marked = 0, 0, None, []
    for y in range(ha):
        row_a, row_b = ra[y], rb[y]
        out = bytearray(b // 3 for b in row_a) if diff_folder else None
        if row_a != row_b:
            for x in range(wa):
                pa, pb = row_a[3 * x:3 * x + 3], row_b[3 * x:3 * x + 3]
                if pa != pb:
                    count += 1
                    largest = max(largest, *(abs(p - q) for p, q in zip(pa, pb)))
                    box = (min(box[0], x), min(box[1], y), max(box[2], x), max(box[3], y)) if box else (x, y, x, y)
                    if out is not None:
                        out[3 * x:3 * x + 3] = b"\xff\x00\x00"
        marked.append(bytes(out) if out is not None else b"")
    share = 100.0 * count / (wa * ha)
    where = f", within x {box[0]}..{box[2]}, y {box[1]}..{box[3]}" if box else ""
    print(f"{name}: {count} of {wa * ha} pixels differ ({share:.3f} %), largest channel difference {largest}{where}")
    if diff_folder and count:
        write_png(diff_folder / name, wa, ha, marked)
    return True


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("first", type=pathlib.Path)
    parser.add_argument("second", type=pathlib.Path)
    parser.add_argument("--diff", type=pathlib.Path, help="folder for pictures of the differences")
    args = parser.parse_args()
    if args.diff:
        args.diff.mkdir(parents=True, exist_ok=True)
    names = sorted({p.name for p in args.first.glob("*.png")} | {p.name for p in args.second.glob("*.png")})
    ok = bool(names)
    for name in names:
        a, b = args.first / name, args.second / name
        if not a.exists() or not b.exists():
            print(f"{name}: only in {args.first if a.exists() else args.second}")
            ok = False
            continue
        ok = compare(name, read_png(a), read_png(b), args.diff) and ok
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
