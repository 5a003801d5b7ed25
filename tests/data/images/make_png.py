#!/usr/bin/env python3
"""Hand-writes the PNG test files (and a Display P3 ICC profile) with nothing but zlib, as an encoder
independent of libpng and of this project. Pixel values follow the formulas below, which
tests/platform/ImageIO/ImageIOTest.cpp recomputes. Run by make.sh; writes into this folder."""

import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
W, H = 5, 3  # small and odd, so row padding and sub-byte packing are exercised


def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)


def png(width, height, bit_depth, color_type, rows, extra=(), interlace=0):
    """rows: a list of lists of samples (already per channel) for each row."""
    ihdr = struct.pack(">IIBBBBB", width, height, bit_depth, color_type, 0, 0, interlace)
    raw = b""
    for samples in rows:
        raw += b"\0" + pack(samples, bit_depth)
    out = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr)
    for kind, data in extra:
        out += chunk(kind, data)
    out += chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")
    return out


def pack(samples, bit_depth):
    if bit_depth == 16:
        return b"".join(struct.pack(">H", s) for s in samples)
    if bit_depth == 8:
        return bytes(samples)
    per_byte = 8 // bit_depth
    out = bytearray()
    for i in range(0, len(samples), per_byte):
        byte = 0
        group = samples[i:i + per_byte]
        for j, s in enumerate(group):
            byte |= s << (8 - bit_depth * (j + 1))
        out.append(byte)
    return bytes(out)


# ---- The formulas (mirrored in ImageIOTest.cpp)
def grey(x, y, depth):
    if depth == 16:
        return (x * 13331 + y * 7919 + 1000) % 65536
    if depth == 8:
        return (x * 53 + y * 97 + 10) % 256
    return (x + y * 3) % (1 << depth)


def alpha(x, y, depth):
    return (x * 60 + y * 40 + 5) % 256 if depth == 8 else (x * 15000 + y * 9000 + 77) % 65536


def rgb(x, y, depth):
    if depth == 16:
        return [(x * 11111 + y * 3001) % 65536, (x * 2222 + y * 17001 + 5) % 65536, (x * 7777 + y * 999 + 40000) % 65536]
    return [(x * 50 + y * 20) % 256, (x * 10 + y * 90 + 3) % 256, (255 - x * 30 - y * 7) % 256]


def palette_index(x, y, depth):
    return (x * 2 + y) % (1 << depth)


def palette_entry(i):
    return [(i * 40) % 256, (255 - i * 30) % 256, (i * 7 + 1) % 256]


def palette_alpha(i):
    return (i * 90 + 20) % 256


def rows_of(f):
    return [sum((f(x, y) for x in range(W)), []) for y in range(H)]


def write(name, data):
    with open(os.path.join(HERE, name), "wb") as out:
        out.write(data)


# ---- A Display P3 ICC profile (v2, matrix/TRC), written here from the published primaries
# (SMPTE EG 432-1 with D65, the sRGB curve), so that it is not the project's own profile bytes.
def s15(v):
    return struct.pack(">i", int(round(v * 65536)))


def xyz_tag(xyz):
    return b"XYZ \0\0\0\0" + b"".join(s15(v) for v in xyz)


def matmul(a, b):
    return [[sum(a[i][k] * b[k][j] for k in range(3)) for j in range(3)] for i in range(3)]


def matvec(a, v):
    return [sum(a[i][k] * v[k] for k in range(3)) for i in range(3)]


def inverse(m):
    a, b, c = m[0]
    d, e, f = m[1]
    g, h, i = m[2]
    det = a * (e * i - f * h) - b * (d * i - f * g) + c * (d * h - e * g)
    return [[(e * i - f * h) / det, (c * h - b * i) / det, (b * f - c * e) / det],
            [(f * g - d * i) / det, (a * i - c * g) / det, (c * d - a * f) / det],
            [(d * h - e * g) / det, (b * g - a * h) / det, (a * e - b * d) / det]]


def xy_to_xyz(x, y):
    return [x / y, 1.0, (1 - x - y) / y]


def p3_profile():
    white = xy_to_xyz(0.3127, 0.3290)
    prims = [xy_to_xyz(0.680, 0.320), xy_to_xyz(0.265, 0.690), xy_to_xyz(0.150, 0.060)]
    m = [[prims[j][i] for j in range(3)] for i in range(3)]
    s = matvec(inverse(m), white)
    rgb_to_xyz = [[m[i][j] * s[j] for j in range(3)] for i in range(3)]
    # Bradford adaptation D65 -> D50 (ICC PCS).
    brad = [[0.8951, 0.2664, -0.1614], [-0.7502, 1.7135, 0.0367], [0.0389, -0.0685, 1.0296]]
    d50 = [0.9642, 1.0, 0.8249]
    cw, cd = matvec(brad, white), matvec(brad, d50)
    scale = [[cd[i] / cw[i] if i == j else 0 for j in range(3)] for i in range(3)]
    adapt = matmul(inverse(brad), matmul(scale, brad))
    pcs = matmul(adapt, rgb_to_xyz)
    columns = [[pcs[i][j] for i in range(3)] for j in range(3)]

    table = []
    for k in range(1024):
        v = k / 1023
        lin = v / 12.92 if v <= 0.04045 else ((v + 0.055) / 1.055) ** 2.4
        table.append(int(round(lin * 65535)))
    curv = b"curv\0\0\0\0" + struct.pack(">I", len(table)) + b"".join(struct.pack(">H", t) for t in table)
    text = b"Display P3 (test, hand-written)\0"
    desc = b"desc\0\0\0\0" + struct.pack(">I", len(text)) + text + b"\0" * 12 + b"\0" * 67
    cprt = b"text\0\0\0\0" + b"No copyright, use freely\0"
    tags = [(b"desc", desc), (b"cprt", cprt), (b"wtpt", xyz_tag(d50)),
            (b"rXYZ", xyz_tag(columns[0])), (b"gXYZ", xyz_tag(columns[1])), (b"bXYZ", xyz_tag(columns[2])),
            (b"rTRC", curv), (b"gTRC", curv), (b"bTRC", curv)]
    offset = 128 + 4 + 12 * len(tags)
    directory, body, placed = b"", b"", {}
    for sig, data in tags:
        if id(data) in placed:
            directory += sig + struct.pack(">II", *placed[id(data)])
            continue
        while (offset + len(body)) % 4:
            body += b"\0"
        placed[id(data)] = (offset + len(body), len(data))
        directory += sig + struct.pack(">II", offset + len(body), len(data))
        body += data
    size = offset + len(body)
    header = struct.pack(">I4sI4s4s4s", size, b"none", 0x02100000, b"mntr", b"RGB ", b"XYZ ")
    header += struct.pack(">6H", 2024, 1, 1, 0, 0, 0) + b"acsp" + b"APPL" + struct.pack(">I", 0)
    header += b"\0" * 8 + struct.pack(">II", 0, 0) + struct.pack(">I", 0)
    header += s15(0.9642) + s15(1.0) + s15(0.8249) + b"none"
    header += b"\0" * (128 - len(header))
    return header + struct.pack(">I", len(tags)) + directory + body


def main():
    for depth in (1, 2, 4, 8, 16):
        write(f"grey-{depth}.png", png(W, H, depth, 0, rows_of(lambda x, y: [grey(x, y, depth)])))
    for depth in (8, 16):
        write(f"grey-alpha-{depth}.png", png(W, H, depth, 4, rows_of(lambda x, y: [grey(x, y, depth), alpha(x, y, depth)])))
        write(f"rgb-{depth}.png", png(W, H, depth, 2, rows_of(lambda x, y: rgb(x, y, depth))))
        write(f"rgba-{depth}.png", png(W, H, depth, 6, rows_of(lambda x, y: rgb(x, y, depth) + [alpha(x, y, depth)])))
    for depth in (1, 2, 4, 8):
        count = 1 << depth
        plte = b"".join(bytes(palette_entry(i)) for i in range(count))
        trns = bytes(palette_alpha(i) for i in range(count))
        write(f"palette-{depth}.png", png(W, H, depth, 3, rows_of(lambda x, y: [palette_index(x, y, depth)]),
                                          [(b"PLTE", plte)]))
        write(f"palette-trns-{depth}.png", png(W, H, depth, 3, rows_of(lambda x, y: [palette_index(x, y, depth)]),
                                               [(b"PLTE", plte), (b"tRNS", trns)]))
    # tRNS on grey and RGB: the one colour that is transparent is that of pixel (1, 0).
    write("grey-trns-8.png", png(W, H, 8, 0, rows_of(lambda x, y: [grey(x, y, 8)]),
                                 [(b"tRNS", struct.pack(">H", grey(1, 0, 8)))]))
    write("rgb-trns-8.png", png(W, H, 8, 2, rows_of(lambda x, y: rgb(x, y, 8)),
                                [(b"tRNS", struct.pack(">HHH", *rgb(1, 0, 8)))]))

    # Colour information.
    profile = p3_profile()
    write("DisplayP3-test.icc", profile)
    iccp = b"Display P3\0\0" + zlib.compress(profile)
    flat = lambda x, y: [200, 100, 50]
    write("rgb-iccp-p3.png", png(W, H, 8, 2, rows_of(flat), [(b"iCCP", iccp)]))
    write("rgb-srgb-chunk.png", png(W, H, 8, 2, rows_of(flat), [(b"sRGB", b"\0")]))
    chrm_srgb = struct.pack(">8I", 31270, 32900, 64000, 33000, 30000, 60000, 15000, 6000)
    write("rgb-gama-srgb.png", png(W, H, 8, 2, rows_of(flat), [(b"gAMA", struct.pack(">I", 45455)), (b"cHRM", chrm_srgb)]))
    grey128 = lambda x, y: [128, 128, 128]
    write("rgb-gama-linear.png", png(W, H, 8, 2, rows_of(grey128), [(b"gAMA", struct.pack(">I", 100000))]))
    write("rgb-untagged.png", png(W, H, 8, 2, rows_of(flat)))
    # A damaged ancillary chunk (wrong CRC) is dropped; the image still decodes.
    bad = bytearray(png(W, H, 8, 2, rows_of(flat), [(b"gAMA", struct.pack(">I", 100000))]))
    gama = bad.index(b"gAMA")
    bad[gama + 8] ^= 0xFF  # the chunk's CRC
    write("rgb-bad-gama-crc.png", bytes(bad))

    # Limits: a side of 32767 decodes (1-bit grey rows of zeros compress to almost nothing); 32768
    # is refused from the header.
    row = [0] * 32767
    write("limit-width-32767.png", png(32767, 1, 1, 0, [row]))
    write("limit-width-32768.png", png(32768, 1, 1, 0, [row + [0]]))
    # 10000 x 10000 is exactly the pixel limit; 10001 x 10000 is one row past it. The IDAT of the
    # larger one is that of a single row: it is refused from the header, before any pixel is read.
    write("limit-pixels-10000x10000.png", png(10000, 10000, 1, 0, [[0] * 10000] * 10000))
    write("limit-pixels-10001x10000.png", png(10001, 10000, 1, 0, [[0] * 10001]))
    # An iCCP chunk that inflates to one byte past 16 MiB (ImageIOLimits::kMaxPNGAncillaryChunkBytes):
    # dropped, the image decodes untagged.
    bomb = b"bomb\0\0" + zlib.compress(b"\0" * ((16 << 20) + 1), 9)
    write("limit-iccp-16MiB-plus-1.png", png(W, H, 8, 2, rows_of(flat), [(b"iCCP", bomb)]))
    # 1001 text chunks, one past ImageIOLimits::kMaxPNGCachedChunks: the rest are dropped.
    texts = [(b"tEXt", b"Comment\0" + str(i).encode()) for i in range(1001)]
    write("limit-text-chunks-1001.png", png(W, H, 8, 2, rows_of(flat), texts))


if __name__ == "__main__":
    main()
