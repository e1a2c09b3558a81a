#!/usr/bin/python3
"""Writes the seed corpora of the codec fuzz targets into fuzz/corpus/<target>/seed-*.

Compressed data comes from peer encoders (libtiff's tiffcp, ImageMagick, Pillow) run on
small crops of pictures in tests/corpus/peer; the formats no peer writes are encoded
here from their descriptions. Each seed starts with the parameters its target reads
(see the comment at the top of each fuzz/codec_*_fuzzer.cpp). Run it again after
changing a target's input layout.
"""

import os
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib

TOP = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PEER = os.path.join(TOP, "tests", "corpus", "peer")
CORPUS = os.path.join(TOP, "fuzz", "corpus")
CONVERT = "/usr/bin/convert"


def run(*args):
    subprocess.run(args, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def u16(v):
    return struct.pack("<H", v & 0xFFFF)


def u24(v):
    return struct.pack("<I", v)[:3]


def tiff_strips(path):
    """(tags, strips) of the first directory of a TIFF file."""
    data = open(path, "rb").read()
    e = "<" if data[:2] == b"II" else ">"
    sizes = {1: 1, 2: 1, 3: 2, 4: 4, 5: 8, 7: 1}
    ifd = struct.unpack(e + "I", data[4:8])[0]
    (count,) = struct.unpack(e + "H", data[ifd:ifd + 2])
    tags = {}
    for i in range(count):
        at = ifd + 2 + 12 * i
        tag, typ, n = struct.unpack(e + "HHI", data[at:at + 8])
        size = sizes.get(typ, 1) * n
        where = at + 8 if size <= 4 else struct.unpack(e + "I", data[at + 8:at + 12])[0]
        raw = data[where:where + size]
        if typ == 3:
            tags[tag] = list(struct.unpack(e + "%dH" % n, raw))
        elif typ == 4:
            tags[tag] = list(struct.unpack(e + "%dI" % n, raw))
        else:
            tags[tag] = raw
    strips = [data[o:o + c] for o, c in zip(tags[273], tags[279])]
    return tags, strips


class Seeds:
    def __init__(self):
        self.tmp = tempfile.mkdtemp(prefix="qel-seeds-")
        self.counts = {}

    def path(self, name):
        return os.path.join(self.tmp, name)

    def add(self, target, label, data):
        folder = os.path.join(CORPUS, target)
        if target not in self.counts:
            # Seeds made here are replaced; other files (inputs that once failed) stay.
            os.makedirs(folder, exist_ok=True)
            for name in os.listdir(folder):
                if name.startswith("seed-"):
                    os.remove(os.path.join(folder, name))
            self.counts[target] = 0
        self.counts[target] += 1
        with open(os.path.join(folder, "seed-%s" % label), "wb") as f:
            f.write(data)

    def crop(self, source, geometry, out, *extra):
        run(CONVERT, os.path.join(PEER, source), "-crop", geometry, "+repage", *extra, self.path(out))
        return self.path(out)

    def tiffcp(self, options, source, out):
        run("tiffcp", *options.split(), source, self.path(out))
        return tiff_strips(self.path(out))


def rle_runs(data, max_run):
    """Splits data into ('run', value, n) and ('lit', bytes) pieces."""
    i = 0
    literal = bytearray()
    while i < len(data):
        n = 1
        while i + n < len(data) and data[i + n] == data[i] and n < max_run:
            n += 1
        if n >= 3:
            if literal:
                yield ("lit", bytes(literal))
                literal = bytearray()
            yield ("run", data[i], n)
            i += n
        else:
            literal += data[i:i + n]
            if len(literal) >= max_run:
                yield ("lit", bytes(literal[:max_run]))
                literal = literal[max_run:]
            i += n
    if literal:
        yield ("lit", bytes(literal))


def cut_line(row):
    out = bytearray()
    for piece in rle_runs(row, 127):
        if piece[0] == "run":
            out += bytes([0x80 | piece[2], piece[1]])
        else:
            out += bytes([len(piece[1])]) + piece[1]
    out += b"\0"
    return u16(len(out)) + bytes(out)


def psp_rle(data):
    out = bytearray()
    for piece in rle_runs(data, 127):
        if piece[0] == "run":
            out += bytes([128 + piece[2], piece[1]])
        else:
            out += bytes([len(piece[1])]) + piece[1]
    return bytes(out)


def rla_rle(data):
    out = bytearray()
    for piece in rle_runs(data, 127):
        if piece[0] == "run":
            out += bytes([piece[2] - 1, piece[1]])
        else:
            out += struct.pack("b", -len(piece[1])) + piece[1]
    return bytes(out)


def thunder_row(pixels):
    """Codes for one row of 4-bit pixels: runs, 2-bit and 3-bit deltas, raw pixels."""
    out = bytearray()
    last = 0
    i = 0
    while i < len(pixels):
        p = pixels[i]
        n = 0
        while i + n < len(pixels) and pixels[i + n] == last and n < 63:
            n += 1
        if n > 0:
            out.append(n)
            i += n
            continue
        d = (p - last) & 15
        d = d - 16 if d > 8 else d
        if -3 <= d <= 3 and d != 0:
            out.append(0x80 | ([0, 1, 2, 3, 4, 5, 6, 7][d if d > 0 else 8 + d] << 3) | 4)
        else:
            out.append(0xC0 | p)
        last = p
        i += 1
    return bytes(out)


def main():
    s = Seeds()
    rgb = s.crop("hopper.tif", "32x16+40+40", "rgb.tif")
    gray = s.crop("8bit.s.tif", "48x24+30+30", "gray.tif")
    bilevel = os.path.join(PEER, "hopper_g4_500.tif")

    # PackBits, TIFF LZW and deflate strips from libtiff.
    for label, source, rows in (("rgb", rgb, 4), ("gray", gray, 8), ("bilevel", bilevel, 8)):
        _, strips = s.tiffcp("-c packbits -r %d" % rows, source, "p.tif")
        tags, plain = s.tiffcp("-c none -r %d" % rows, source, "n.tif")
        for i in (0, len(strips) // 2):
            s.add("codec_packbits_fuzzer", "%s-%d" % (label, i), u16(len(plain[i])) + strips[i])
        _, strips = s.tiffcp("-c lzw -r %d" % rows, source, "l.tif")
        s.add("codec_tiff_lzw_fuzzer", label, u24(len(plain[0])) + strips[0])
        _, strips = s.tiffcp("-c zip -r %d" % rows, source, "z.tif")
        s.add("codec_lz77_fuzzer", label, bytes([1, 1]) + u24(len(plain[0])) + strips[0])
        s.add("codec_lz77_fuzzer", label + "-pieces", bytes([1, 7 << 1]) + u24(len(plain[0])) + strips[0])
    _, strips = s.tiffcp("-c lzw -r 128", os.path.join(PEER, "8bit.s.tif"), "big.tif")
    s.add("codec_tiff_lzw_fuzzer", "wide-codes", u24(128 * 128) + strips[0])
    s.add("codec_lz77_fuzzer", "finish", bytes([4, 0]) + u24(4000) + zlib.compress(bytes(range(256)) * 16))

    # Group 3 and Modified Huffman fax strips.
    for label, options, flags in (("1d", "-c g3:1d -r 8", 0), ("fill-lsb", "-c g3:1d:fill -f lsb2msb -r 8", 1),
                                  ("2d", "-c g3:2d -r 8", 0)):
        tags, strips = s.tiffcp(options, bilevel, "g3.tif")
        t4 = tags.get(292, [0])[0]
        for i in (20, 30):
            s.add("codec_ccitt_fax3_fuzzer", "%s-%d" % (label, i),
                  u16(500) + bytes([flags, t4 & 0xFF]) + u24(8 * 63) + strips[i])
    # Two-dimensional fax strips: Group 3 with rows coded in modes, and Group 4.
    for label, options, flags in (("g3-2d", "-c g3:2d -r 8", 0), ("g3-2d-fill-lsb", "-c g3:2d:fill -f lsb2msb -r 8", 1),
                                  ("g4", "-c g4 -r 8", 2), ("g4-lsb", "-c g4 -f lsb2msb -r 8", 3)):
        tags, strips = s.tiffcp(options, bilevel, "fax2d.tif")
        t4 = tags.get(292, [0])[0]
        for i in (20, 30):
            s.add("codec_ccitt_2d_fuzzer", "%s-%d" % (label, i),
                  u16(500) + bytes([flags, t4 & 0xFF]) + u24(8 * 63) + strips[i])
    pillow = ("import sys; from PIL import Image; "
              "Image.open(sys.argv[1]).crop((0, 200, 500, 208)).save(sys.argv[2], compression='tiff_ccitt')")
    run("/usr/bin/python3", "-c", pillow, bilevel, s.path("mh.tif"))
    tags, strips = tiff_strips(s.path("mh.tif"))
    reversed_bits = 1 if tags.get(266, [1])[0] == 2 else 0
    s.add("codec_ccitt_mh_fuzzer", "rows", u16(500) + bytes([reversed_bits]) + u24(8 * 63) + strips[0])
    s.add("codec_ccitt_mh_fuzzer", "word-aligned", u16(500) + bytes([reversed_bits | 2]) + u24(8 * 63) + strips[0])

    # JPEG strips with their tables.
    for label, options, source, scheme in (("ycbcr", "-c jpeg -r 16", rgb, 2), ("rgb", "-c jpeg:r -r 16", rgb, 1),
                                           ("gray", "-c jpeg -r 8", gray, 0)):
        tags, strips = s.tiffcp(options, source, "j.tif")
        width, height, rows = tags[256][0], tags[257][0], tags[278][0]
        samples = tags.get(277, [1])[0]
        sampling = tags.get(530, [2, 2] if tags[262][0] == 6 else [1, 1])
        tables = tags.get(347, b"")
        header = u16(width) + u16(height) + u16(rows) + bytes([samples - 1, 8, scheme,
                                                               sampling[0] << 4 | sampling[1], 1, 0])
        s.add("codec_tiff_jpeg_fuzzer", label, header + u16(len(tables)) + tables + strips[0])

    # GIF image data from ImageMagick.
    for colors in (256, 4, 2):
        gif = s.crop("hopper.tif", "32x16+40+40", "g%d.gif" % colors, "-colors", str(colors))
        data = open(gif, "rb").read()
        at = 13 + (3 << ((data[10] & 7) + 1) if data[10] & 0x80 else 0)
        while data[at] == 0x21:
            at += 2
            while data[at]:
                at += data[at] + 1
            at += 1
        width, height = struct.unpack("<HH", data[at + 5:at + 9])
        packed = data[at + 9]
        at += 10 + (3 << ((packed & 7) + 1) if packed & 0x80 else 0)
        code_size = data[at]
        at += 1
        body = bytearray()
        while data[at]:
            body += data[at + 1:at + 1 + data[at]]
            at += data[at] + 1
        s.add("codec_gif_lzw_fuzzer", "colors-%d" % colors, bytes([code_size]) + u24(width * height) + bytes(body))

    # SGI rows: 8-bit from ImageMagick, 16-bit from the corpus.
    for label, path, rows in (("8", s.crop("hopper.tif", "32x16+40+40", "s.sgi", "-compress", "RLE"), (0, 5, 20)),
                              ("16", os.path.join(PEER, "tv16.sgi"), (0, 100))):
        data = open(path, "rb").read()
        bpc = data[3]
        width, height, channels = struct.unpack(">HHH", data[6:12])
        total = height * channels
        for r in rows:
            offset, = struct.unpack(">I", data[512 + 4 * r:516 + 4 * r])
            length, = struct.unpack(">I", data[512 + 4 * (total + r):516 + 4 * (total + r)])
            s.add("codec_sgi_rle_fuzzer", "%s-%d" % (label, r),
                  bytes([1 if bpc == 2 else 0]) + u16(width * bpc) + data[offset:offset + length])

    # PCX image data from ImageMagick.
    for label, extra in (("rgb", ()), ("palette", ("-colors", "16"))):
        pcx = s.crop("hopper.tif", "32x16+40+40", "p-%s.pcx" % label, *extra)
        data = open(pcx, "rb").read()
        planes = data[65]
        bytes_per_line, = struct.unpack("<H", data[66:68])
        y0, y1 = struct.unpack("<HH", data[6:8] + data[10:12])
        size = bytes_per_line * planes * (y1 - y0 + 1)
        s.add("codec_pcx_rle_fuzzer", label, u16(size) + data[128:])

    # Formats without a peer encoder: encoded here from rows of real pictures.
    pixels = open(s.crop("8bit.s.tif", "40x12+40+40", "rows.gray", "-depth", "8"), "rb").read()
    rows = [pixels[i:i + 40] for i in range(0, len(pixels), 40)]
    s.add("codec_cut_rle_fuzzer", "lines", u16(40) + b"".join(cut_line(r) for r in rows))
    s.add("codec_psp_rle_fuzzer", "channel", u16(len(pixels)) + psp_rle(pixels))
    s.add("codec_rla_fuzzer", "row", u16(40) + rla_rle(rows[0]))
    s.add("codec_rla_fuzzer", "rows", u16(len(pixels)) + rla_rle(pixels))
    nibbles = [p >> 4 for p in pixels]
    thunder = b"".join(thunder_row(nibbles[i:i + 40]) for i in range(0, len(nibbles), 40))
    s.add("codec_thunder_fuzzer", "rows", u16(40) + u24(len(nibbles) // 2) + thunder)

    # Photo-CD residuals: one table (short rows) and three (long rows).
    def bits(text):
        text = text.replace(" ", "")
        text += "0" * (-len(text) % 8)
        return bytes(int(text[i:i + 8], 2) for i in range(0, len(text), 8))

    def table(entries):
        out = "{:08b}".format(len(entries) - 1)
        for length, code, delta in entries:
            out += "{:08b}{:016b}{:08b}".format(length - 1, code << (16 - length), delta & 0xFF)
        return out

    def row(number, plane):
        return "1" * 23 + "0" + "{:02b}{:013b}0".format(plane, number)

    short = table([(1, 0, 1), (2, 2, -1), (3, 6, 4), (3, 7, -4)])
    short += row(0, 0) + "0 10 110 111" * 4 + row(1, 0) + "0" * 16 + row(0, 2) + "10" * 8 + row(0, 3) + "110" * 8
    short += row(2, 0)
    s.add("codec_pcd_fuzzer", "short-rows", u16(16) + bytes([3]) + u16(2) + bits(short))
    long_tables = table([(1, 0, 1)]) + table([(2, 1, 2), (1, 1, -2)]) + table([(1, 0, 3), (1, 1, -3)])
    long_rows = long_tables + row(0, 0) + "0" * 40 + row(0, 2) + "01" * 20 + row(0, 3) + "10" * 20 + row(1, 0)
    s.add("codec_pcd_fuzzer", "long-rows", u16(1544) + bytes([1]) + u16(1) + bits(long_rows))

    shutil.rmtree(s.tmp)
    for target in sorted(s.counts):
        print("%-28s %d seeds" % (target, s.counts[target]))


if __name__ == "__main__":
    sys.exit(main())
