#!/usr/bin/python3
"""Writes the seed corpora of the reader, round-trip and key-store fuzz targets into
fuzz/corpus/<target>/seed-*.

The reader targets are those of the QEL_READER rows of src/import/formats.def: the seeds of
reader_<name>_fuzzer come from the function <name>() below (a target whose corpus folder
is a link to another's has that one's seeds).

Small files from tests/corpus/peer where the format has them; small pictures written by
the peer tools (ImageMagick, netpbm, OpenJPEG) in the variants the readers handle; and
for the formats no peer writes (Paint Shop Pro, Dr. Halo, Autodesk, Alias/Wavefront,
Windows metafiles) files built here byte by byte from their descriptions. The
corruption sweep test also reads these files. Files named regress-* are inputs that
once found a fault; this script leaves them alone.
"""

import glob
import os
import re
import shutil
import struct
import subprocess
import tempfile
import zlib

TOP = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PEER = os.path.join(TOP, "tests", "corpus", "peer")
CORPUS = os.path.join(TOP, "fuzz", "corpus")
MANIFEST = os.path.join(TOP, "src", "import", "formats.def")
CONVERT = "/usr/bin/convert"
# Peer files above this size are left out: the fuzzer's input size grows with the seeds.
MAX_PEER_SIZE = 24 * 1024

WORK = tempfile.mkdtemp(prefix="qel-seeds-")


def run(*args, shell=False):
    subprocess.run(args[0] if shell else args, check=True, shell=shell,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def target_dir(target):
    folder = os.path.join(CORPUS, target + "_fuzzer")
    os.makedirs(folder, exist_ok=True)
    for old in glob.glob(os.path.join(folder, "seed-*")):
        os.remove(old)
    return folder


def put(folder, name, data):
    with open(os.path.join(folder, "seed-" + name), "wb") as f:
        f.write(data)


def peer_files(*patterns):
    found = []
    for pattern in patterns:
        for path in sorted(glob.glob(os.path.join(PEER, pattern))):
            if os.path.isfile(path) and os.path.getsize(path) <= MAX_PEER_SIZE:
                found.append(path)
    return found


def copy_peer(folder, *patterns):
    for path in peer_files(*patterns):
        rel = os.path.relpath(path, PEER).replace("/", "-")
        shutil.copyfile(path, os.path.join(folder, "seed-peer-" + rel))


# A small colourful picture for the peer writers: a crop of the usual test portrait.
SOURCE = os.path.join(WORK, "source.png")
run(CONVERT, os.path.join(PEER, "hopper.png"), "-resize", "24x16!", SOURCE)


def im(folder, name, ext, *options, coder=""):
    out = os.path.join(WORK, name + "." + ext)
    # No time stamps, so that the seeds come out the same on every run.
    stable = ["-define", "png:exclude-chunks=date,time"] if ext == "png" else []
    run(CONVERT, SOURCE, *options, *stable, coder + out)
    shutil.copyfile(out, os.path.join(folder, "seed-" + name))


def le16(v):
    return struct.pack("<H", v & 0xFFFF)


def le32(v):
    return struct.pack("<I", v & 0xFFFFFFFF)


def be16(v):
    return struct.pack(">H", v & 0xFFFF)


def be32(v):
    return struct.pack(">I", v & 0xFFFFFFFF)


def text(s, size):
    b = s.encode("latin-1")[:size]
    return b + b"\0" * (size - len(b))


def pixel(x, y):
    """A made-up colour for byte-built pictures."""
    return ((x * 37 + y * 11) & 0xFF, (x * 5 + y * 53) & 0xFF, (x * 91 + y * 7) & 0xFF)


# ---------------------------------------------------------------------------------------
# Formats with peer files and peer writers.

def bmp():
    d = target_dir("reader_bmp")
    copy_peer(d, "bmp/g/*.bmp", "bmp/q/*.bmp", "*.bmp")
    im(d, "rle8", "bmp", "-colors", "16", "-type", "Palette", "-compress", "RLE", coder="BMP3:")
    im(d, "bmp2-4bit", "bmp", "-colors", "12", coder="BMP2:")


def ico():
    d = target_dir("reader_ico")
    copy_peer(d, "*.ico")
    im(d, "icon-32", "ico")
    im(d, "icon-palette", "ico", "-colors", "8", "-type", "Palette")


def jpeg():
    d = target_dir("reader_jpeg")
    copy_peer(d, "*.jpg")
    im(d, "baseline", "jpg", "-quality", "80")
    im(d, "progressive", "jpg", "-interlace", "JPEG")
    im(d, "gray", "jpg", "-colorspace", "Gray")
    im(d, "cmyk", "jpg", "-colorspace", "CMYK")
    im(d, "subsampled-411", "jpg", "-sampling-factor", "4:1:1")


def targa():
    d = target_dir("reader_targa")
    copy_peer(d, "*.tga", "tga/common/*.tga")
    im(d, "rgb24-rle", "tga", "-compress", "RLE")
    im(d, "rgb24", "tga", "-compress", "None")
    im(d, "rgba32-rle", "tga", "-alpha", "set", "-channel", "A", "-evaluate", "set", "50%", "-compress", "RLE")
    im(d, "mapped", "tga", "-colors", "16", "-type", "Palette")
    im(d, "gray-rle", "tga", "-colorspace", "Gray", "-type", "Grayscale", "-compress", "RLE")


def pcx():
    d = target_dir("reader_pcx")
    copy_peer(d, "*.pcx")
    im(d, "rgb24", "pcx")
    im(d, "palette", "pcx", "-colors", "16", "-type", "Palette")
    im(d, "mono", "pcx", "-monochrome")


def sgi():
    d = target_dir("reader_sgi")
    copy_peer(d, "*.sgi", "*.rgb", "*.bw")
    im(d, "rle", "sgi", "-compress", "RLE")
    im(d, "verbatim", "sgi", "-compress", "None")
    im(d, "gray", "sgi", "-colorspace", "Gray", "-type", "Grayscale")
    im(d, "rgba", "sgi", "-alpha", "set", "-channel", "A", "-evaluate", "set", "40%")
    im(d, "16bit", "sgi", "-depth", "16", "-compress", "None")


def psd():
    d = target_dir("reader_psd")
    copy_peer(d, "*.psd")
    im(d, "rgb-rle", "psd", "-compress", "RLE")
    im(d, "rgb-raw", "psd", "-compress", "None")
    im(d, "gray", "psd", "-colorspace", "Gray", "-type", "Grayscale")
    im(d, "indexed", "psd", "-colors", "8", "-type", "Palette")
    im(d, "bilevel", "psd", "-monochrome", "-type", "Bilevel")
    im(d, "cmyk", "psd", "-colorspace", "CMYK")


def ppm():
    d = target_dir("reader_ppm")
    copy_peer(d, "*.ppm", "*.pgm", "*.pbm")
    im(d, "p6", "ppm")
    im(d, "p5", "pgm")
    im(d, "p4", "pbm")
    im(d, "p3", "ppm", "-compress", "None")
    im(d, "p2", "pgm", "-compress", "None")
    im(d, "p1", "pbm", "-compress", "None")
    im(d, "p6-16bit", "ppm", "-depth", "16")
    put(d, "comments", b"P3\n# a comment\n2 2 # size\n15\n0 0 0 15 15 15\n1 2 3 4 5 6\n")


def png():
    d = target_dir("reader_png")
    for path in peer_files("*.png")[:40]:
        shutil.copyfile(path, os.path.join(d, "seed-peer-" + os.path.basename(path)))
    im(d, "rgb", "png")
    im(d, "interlaced", "png", "-interlace", "PNG")
    im(d, "palette", "png", "-colors", "8", coder="PNG8:")
    im(d, "gray16", "png", "-colorspace", "Gray", "-depth", "16")
    im(d, "rgba", "png", "-alpha", "set", "-channel", "A", "-evaluate", "set", "60%")


def jp2():
    d = target_dir("reader_jp2")
    copy_peer(d, "*.jp2", "*.j2k")
    ppm_path = os.path.join(WORK, "source.ppm")
    pgm_path = os.path.join(WORK, "source.pgm")
    run(CONVERT, SOURCE, ppm_path)
    run(CONVERT, SOURCE, "-colorspace", "Gray", pgm_path)
    for name, src, options in (("lossless.jp2", ppm_path, []),
                               ("lossy.jp2", ppm_path, ["-r", "20"]),
                               ("gray.j2k", pgm_path, []),
                               ("tiled.jp2", ppm_path, ["-t", "16,8", "-n", "2"])):
        out = os.path.join(WORK, name)
        run("opj_compress", "-i", src, "-o", out, "-n", "3", *options)
        shutil.copyfile(out, os.path.join(d, "seed-" + name.replace(".", "-")))


def gif():
    d = target_dir("reader_gif")
    copy_peer(d, "*.gif")
    im(d, "interlaced", "gif", "-interlace", "GIF")
    im(d, "transparent", "gif", "-transparent", "white", "-colors", "16")


def tiff_variants():
    """(name, bytes) of small TIFF files in the layouts and compressions the reader
    handles, written by ImageMagick and libtiff's tiffcp."""
    base = os.path.join(WORK, "base.tif")
    run(CONVERT, SOURCE, "-compress", "None", base)
    gray = os.path.join(WORK, "gray.tif")
    run(CONVERT, SOURCE, "-colorspace", "Gray", "-compress", "None", gray)
    mono = os.path.join(WORK, "mono.tif")
    run(CONVERT, SOURCE, "-monochrome", "-type", "Bilevel", "-depth", "1", "-compress", "None", mono)
    variants = []
    for name, src, options in (("lzw", base, ["-c", "lzw"]),
                               ("lzw-predictor", base, ["-c", "lzw:2"]),
                               ("packbits", base, ["-c", "packbits"]),
                               ("deflate", base, ["-c", "zip"]),
                               ("jpeg", base, ["-c", "jpeg"]),
                               ("jpeg-ycbcr", base, ["-c", "jpeg:r", "-r", "8"]),
                               ("planar", base, ["-p", "separate", "-r", "4"]),
                               ("strips", gray, ["-r", "3"]),
                               ("g3", mono, ["-c", "g3"]),
                               ("g3-2d", mono, ["-c", "g3:2d"]),
                               ("g4", mono, ["-c", "g4"]),
                               ("mh", mono, ["-c", "none", "-c", "g3:1d"]),
                               ("big-endian", base, ["-B"]),
                               ("tiled", base, ["-t", "-w", "16", "-l", "16", "-c", "lzw:2"]),
                               ("tiled-planar", base, ["-t", "-w", "16", "-l", "16", "-p", "separate"]),
                               ("tiled-jpeg", base, ["-t", "-c", "jpeg"]),
                               ("tiled-g4", mono, ["-t", "-w", "16", "-l", "16", "-c", "g4"])):
        out = os.path.join(WORK, name + ".tif")
        run("tiffcp", *options, src, out)
        variants.append((name, open(out, "rb").read()))
    for name, options in (("palette", ["-colors", "16", "-type", "Palette"]),
                          ("rgba", ["-alpha", "set", "-channel", "A", "-evaluate", "set", "50%"]),
                          ("cmyk", ["-colorspace", "CMYK"]),
                          ("16bit", ["-depth", "16"])):
        out = os.path.join(WORK, name + ".tif")
        run(CONVERT, SOURCE, *options, "-compress", "None", out)
        variants.append((name, open(out, "rb").read()))
    return variants


def tiff():
    d = target_dir("reader_tiff")
    copy_peer(d, "*.tif", "*.tiff", "tiff_gray_2_4_bpp/*")
    for name, data in tiff_variants():
        put(d, name, data)


def tiff_tags(data):
    """{tag: values} of the first directory of a little-endian TIFF file; byte-typed and
    undefined values as bytes."""
    sizes = {1: 1, 2: 1, 3: 2, 4: 4, 5: 8, 7: 1}
    ifd = struct.unpack("<I", data[4:8])[0]
    (count,) = struct.unpack("<H", data[ifd:ifd + 2])
    tags = {}
    for i in range(count):
        at = ifd + 2 + 12 * i
        tag, typ, n = struct.unpack("<HHI", data[at:at + 8])
        size = sizes.get(typ, 1) * n
        where = at + 8 if size <= 4 else struct.unpack("<I", data[at + 8:at + 12])[0]
        raw = data[where:where + size]
        if typ == 3:
            tags[tag] = list(struct.unpack("<%dH" % n, raw))
        elif typ == 4:
            tags[tag] = list(struct.unpack("<%dI" % n, raw))
        else:
            tags[tag] = raw
    return tags


def tiles_input(data):
    """The tile fuzz target's input for a tiled little-endian TIFF file (the layout is
    described at the top of fuzz/reader_tiff_tiles_fuzzer.cpp)."""
    t = tiff_tags(data)
    first = lambda tag, default: t.get(tag, [default])[0]
    extra = t.get(338)
    flags = (1 if first(284, 1) == 2 else 0) | (2 if first(266, 1) == 2 else 0) | (4 if first(317, 1) == 2 else 0)
    flags |= (0 if extra is None else extra[0] + 1) << 3
    flags |= 0x20 if 347 in t else 0
    h, v = t.get(530, [2, 2])
    out = le16(first(256, 0)) + le16(first(257, 0)) + le16(first(322, 0)) + le16(first(323, 0))
    out += bytes([first(258, 1), first(277, 1)]) + le16(first(259, 1))
    out += bytes([first(262, 1), flags, first(274, 1), first(292, 0) & 0xFF, h | v << 4])
    chunks = [t[347]] if 347 in t else []
    chunks += [data[o:o + n] for o, n in zip(t[324], t[325])]
    for chunk in chunks:
        out += le16(len(chunk)) + chunk
    return out


def tiff_tiles():
    d = target_dir("reader_tiff_tiles")
    src = os.path.join(WORK, "tiles-source.png")
    run(CONVERT, os.path.join(PEER, "hopper.png"), "-resize", "40x24!", src)
    pictures = {}
    for name, options in (("rgb", []), ("gray", ["-colorspace", "Gray"]),
                          ("mono", ["-monochrome", "-type", "Bilevel", "-depth", "1"]),
                          ("gray4", ["-colorspace", "Gray", "-depth", "4"]),
                          ("palette", ["-colors", "16", "-type", "Palette"]),
                          ("rgb16", ["-depth", "16"]), ("cmyk", ["-colorspace", "CMYK"]),
                          ("lab", ["-colorspace", "Lab"]),
                          ("associated", ["-alpha", "set", "-channel", "A", "-fx", "i/w", "+channel",
                                          "-define", "tiff:alpha=associated"]),
                          ("gray-alpha", ["-colorspace", "Gray", "-alpha", "set", "-channel", "A", "-fx", "j/h",
                                          "+channel", "-type", "GrayscaleAlpha"])):
        pictures[name] = os.path.join(WORK, "tiles-" + name + ".tif")
        run(CONVERT, src, *options, "-compress", "None", pictures[name])
    for name, picture, options in (("rgb", "rgb", "-w 16 -l 16"),
                                   ("rgb-lzw-predictor", "rgb", "-w 16 -l 16 -c lzw:2"),
                                   ("rgb-packbits-lsb2msb", "rgb", "-w 32 -l 16 -c packbits -f lsb2msb"),
                                   ("rgb-zip-planar", "rgb", "-w 16 -l 16 -c zip -p separate"),
                                   ("rgb-jpeg", "rgb", "-w 16 -l 16 -c jpeg"),
                                   ("gray-jpeg", "gray", "-c jpeg"),
                                   ("mono-g3-2d", "mono", "-w 16 -l 16 -c g3:2d"),
                                   ("mono-g4-lsb2msb", "mono", "-w 32 -l 16 -c g4 -f lsb2msb"),
                                   ("gray4", "gray4", "-w 16 -l 16 -c packbits"),
                                   ("palette", "palette", "-w 16 -l 16 -c lzw"),
                                   ("rgb16", "rgb16", "-w 16 -l 16 -c zip:2"),
                                   ("cmyk", "cmyk", "-w 16 -l 16"),
                                   ("lab", "lab", "-w 16 -l 16"),
                                   ("associated-alpha", "associated", "-w 16 -l 16 -c lzw"),
                                   ("gray-alpha-planar", "gray-alpha", "-w 16 -l 16 -p separate")):
        out = os.path.join(WORK, "tiles-" + name + "-t.tif")
        run("tiffcp", "-t", *options.split(), pictures[picture], out)
        put(d, name, tiles_input(open(out, "rb").read()))
    oriented = os.path.join(WORK, "tiles-oriented.tif")
    run("tiffcp", "-t", "-w", "16", "-l", "16", pictures["rgb"], oriented)
    run("tiffset", "-s", "274", "6", oriented)
    put(d, "orientation-6", tiles_input(open(oriented, "rb").read()))


def eps_file(tiff_bytes, postscript=b"%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 24 16\nshowpage\n"):
    header_size = 30
    ps_offset = header_size
    tiff_offset = ps_offset + len(postscript)
    head = le32(0xC6D3D0C5) + le32(ps_offset) + le32(len(postscript)) + le32(0) + le32(0)
    head += le32(tiff_offset) + le32(len(tiff_bytes)) + le16(0xFFFF)
    return head + postscript + tiff_bytes


def eps():
    d = target_dir("reader_eps")
    copy_peer(d, "eps/*.eps")
    for name, data in tiff_variants():
        if name in ("lzw", "packbits", "g4", "palette", "strips"):
            put(d, "preview-" + name, eps_file(data))


def pcd():
    # Image packs are about 800 KB; the target lengthens short inputs itself (first byte
    # 1), so the seed is the header sectors and the start of the Base image.
    d = target_dir("reader_pcd")
    out = os.path.join(WORK, "photo.pcd")
    run(CONVERT, SOURCE, out)
    data = open(out, "rb").read()
    put(d, "image-pack", b"\x01" + data[:0x2000])
    put(d, "image-pack-whole-head", b"\x00" + data[:0x3000])
    turned = bytearray(data[:0x2000])
    turned[0x0E02] = (turned[0x0E02] & ~3) | 1  # portrait
    put(d, "image-pack-portrait", b"\x01" + bytes(turned))
    put(d, "overview", b"\x01PCD_OPA" + b"\0" * (0x1800 - 7) + data[0x1800:0x2000])


# ---------------------------------------------------------------------------------------
# Formats built byte by byte.

def psp_block(major, ident, payload):
    head = b"~BK\0" + le16(ident)
    if major <= 3:
        head += le32(len(payload))
    return head + le32(len(payload)) + payload


def psp_file(major, width, height, depth, compression, layers, palette=None, grey=False):
    chunked = major > 3
    a = (le32(46) if chunked else b"") + le32(width) + le32(height)
    a += le32(0) + le32(0x40520000) + b"\x01" + le16(compression) + le16(depth)
    a += le16(3 if depth == 24 else 1) + le32(0 if depth == 24 else 1 << depth)
    a += bytes([1 if grey else 0]) + le32(0) + le32(0) + le16(1)
    if chunked:
        a += le32(1)
    out = text("Paint Shop Pro Image File\n\x1a", 32) + le16(major) + le16(0)
    out += psp_block(major, 0, a)
    if palette is not None:
        p = (le32(8) if chunked else b"") + le32(len(palette))
        for r, g, b in palette:
            p += bytes([b, g, r, 0])
        out += psp_block(major, 2, p)
    bank = b""
    for channels in layers:
        info = b"\x01" + b"\0" * 114
        if chunked:
            name = b"Layer"
            layer = le32(4 + 2 + len(name) + len(info) + 3) + le16(len(name)) + name + info + b"\0" * 3
            layer += le32(8) + le16(1) + le16(len(channels))
        else:
            layer = text("Layer", 256) + info + le16(1) + le16(len(channels))
        for channel_type, data, uncompressed in channels:
            ch = (le32(16) if chunked else b"") + le32(len(data)) + le32(uncompressed)
            ch += le16(0) + le16(channel_type) + data
            layer += psp_block(major, 5, ch)
        bank += psp_block(major, 4, layer)
    return out + psp_block(major, 3, bank)


def packbits_like_psp(samples):
    """Paint Shop Pro run-length: a count byte above 128 repeats the next byte
    (count - 128) times, a smaller count copies that many bytes."""
    out = bytearray()
    i = 0
    while i < len(samples):
        run_length = 1
        while i + run_length < len(samples) and samples[i + run_length] == samples[i] and run_length < 127:
            run_length += 1
        if run_length >= 3:
            out += bytes([128 + run_length, samples[i]])
            i += run_length
        else:
            take = min(127, len(samples) - i)
            out += bytes([take]) + bytes(samples[i:i + take])
            i += take
    return bytes(out)


def psp():
    d = target_dir("reader_psp")
    w, h = 6, 4
    planes = [bytes(pixel(x, y)[c] for y in range(h) for x in range(w)) for c in range(3)]
    for major in (3, 4, 5):
        layer = [(c + 1, planes[c], w * h) for c in range(3)]
        put(d, "v%d-rgb-stored" % major, psp_file(major, w, h, 24, 0, [layer]))
    rle = [(c + 1, packbits_like_psp(planes[c]), w * h) for c in range(3)]
    put(d, "v5-rgb-rle", psp_file(5, w, h, 24, 1, [rle]))
    lz = [(c + 1, zlib.compress(planes[c]), w * h) for c in range(3)]
    put(d, "v5-rgb-lz77", psp_file(5, w, h, 24, 2, [lz]))
    indices = bytes((x + y) % 4 for y in range(h) for x in range(w))
    palette = [(0, 0, 0), (255, 0, 0), (0, 255, 0), (0, 0, 255)]
    put(d, "v5-palette", psp_file(5, w, h, 8, 0, [[(0, indices, w * h)]], palette))
    put(d, "v4-grey", psp_file(4, w, h, 8, 0, [[(0, indices, w * h)]], None, grey=True))
    two = [(c + 1, planes[c], w * h) for c in range(3)]
    put(d, "v5-two-layers", psp_file(5, w, h, 24, 0, [two, [(1, bytes(w * h), w * h)]]))


def cut_image(width, height, lines):
    out = le16(width) + le16(height) + le16(0)
    for runs in lines:
        out += le16(len(runs) + 1) + bytes(runs) + b"\0"
    return out


def cut_palette(count):
    b = bytearray(512)
    b[12:14] = le16(count - 1)
    at = 40
    for i in range(count):
        if at % 512 > 506:
            at += 512 - at % 512
            b += bytes(512)
        for k, v in enumerate((i, 255 - i, i // 2)):
            b[at + 2 * k] = v & 0xFF
        at += 6
    return bytes(b)


def cut():
    # Input of the target: a u16 palette file size, the palette file, then the image.
    d = target_dir("reader_cut")
    lines = [[0x84, 1], [0x02, 2, 3, 0x82, 255], [0x81, 7, 0x03, 9, 10, 11]]
    image = cut_image(4, 3, lines)
    put(d, "no-palette", le16(0) + image)
    pal = cut_palette(16)
    put(d, "palette-16", le16(len(pal)) + pal + image)
    big = cut_palette(256)
    wide = cut_image(40, 2, [[0xA8, 5, 0x10] + list(range(16)), [0x90, 200, 0x90, 100, 0x88, 3]])
    put(d, "palette-256-wide", le16(len(big)) + big + wide)


def cel(width, height, pixels, bits=8, compression=0):
    b = bytearray(32)
    b[0], b[1] = 0x19, 0x91
    b[2:4] = le16(width)
    b[4:6] = le16(height)
    b[10], b[11] = bits, compression
    for i in range(256):
        b += bytes((i % 64, 63 - i % 64, (i * 3) % 64))
    return bytes(b) + bytes(pixels)


def autodesk():
    d = target_dir("reader_autodesk")
    w, h = 8, 5
    put(d, "cel-8bit", cel(w, h, [(x * 7 + y * 3) & 0xFF for y in range(h) for x in range(w)]))
    put(d, "cel-1x1", cel(1, 1, [63]))


def rla_file(width, rows, matte=False, bottom_up=True, gamma="2.2", bits=8):
    height = len(rows)
    bottom, top = (0, height - 1) if bottom_up else (height - 1, 0)
    w = be16(0) + be16(width - 1) + be16(0) + be16(height - 1)
    w += be16(0) + be16(width - 1) + be16(bottom) + be16(top)
    w += be16(0) + be16(0) + be16(3) + be16(1 if matte else 0) + be16(0) + be16(0xFFFE)
    w += text(gamma, 16) + bytes(96) + be32(0) + bytes(436) + text("rgb", 32) + be16(0) + bytes(44)
    w += be16(bits) + be16(0) + be16(bits) + be16(0) + be16(0) + bytes(68) + be32(0)
    assert len(w) == 740
    offset = 740 + 4 * height
    table = b""
    body = b""
    for row in rows:
        table += be32(offset)
        for channel in row:
            packed = bytes([256 - len(channel)]) + bytes(channel)
            body += be16(len(packed)) + packed
            offset += 2 + len(packed)
    return w + table + body


def rla():
    d = target_dir("reader_rla")
    w, h = 5, 4
    rows = [[[pixel(x, y)[c] for x in range(w)] for c in range(3)] for y in range(h)]
    put(d, "rgb", rla_file(w, rows))
    put(d, "rgb-top-first", rla_file(w, rows, bottom_up=False, gamma=""))
    matted = [row + [[255 if x % 2 else 0 for x in range(w)]] for row in rows]
    put(d, "rgb-matte", rla_file(w, matted, matte=True))


def wmf_record(function, words, tail=b""):
    params = b"".join(le16(v) for v in words) + tail
    if len(params) % 2:
        params += b"\0"
    return le32(3 + len(params) // 2) + le16(function) + params


def wmf_plain(records, objects):
    words = 9 + 3 + sum(len(r) // 2 for r in records)
    largest = max([3] + [len(r) // 2 for r in records])
    out = le16(1) + le16(9) + le16(0x0300) + le32(words) + le16(objects) + le32(largest) + le16(0)
    return out + b"".join(records) + le32(3) + le16(0)


def wmf_placeable(records, objects, right, bottom, inch=96):
    head = le32(0x9AC6CDD7) + le16(0) + struct.pack("<hhhh", 0, 0, right, bottom) + le16(inch) + le32(0)
    checksum = 0
    for i in range(0, 20, 2):
        checksum ^= struct.unpack("<H", head[i:i + 2])[0]
    return head + le16(checksum) + wmf_plain(records, objects)


def dib(width, height, bits=24):
    info = le32(40) + struct.pack("<ii", width, height) + le16(1) + le16(bits) + le32(0)
    info += le32(0) * 3 + le32(0) + le32(0)
    row = ((width * bits + 31) // 32) * 4
    data = b""
    for y in range(height):
        line = b"".join(bytes(reversed(pixel(x, y))) for x in range(width))
        data += line + bytes(row - len(line))
    return info, data


def emf_record(kind, payload):
    r = le32(kind) + le32(8 + len(payload)) + payload
    while len(r) % 4:
        r += b"\0"
    return r[:4] + le32(len(r)) + r[8:]


def emf_file(records, frame_right, frame_bottom, handles=4):
    total = 88 + 20 + sum(len(r) for r in records)
    w = le32(1) + le32(88) + struct.pack("<8i", 0, 0, 0, 0, 0, 0, frame_right, frame_bottom)
    w += le32(0x464D4520) + le32(0x10000) + le32(total) + le32(len(records) + 2)
    w += le16(handles) + le16(0) + le32(0) * 3 + struct.pack("<4i", 1920, 1440, 508, 381)
    return w + b"".join(records) + le32(14) + le32(20) + le32(0) + le32(16) + le32(20)


def ints(*values):
    return b"".join(struct.pack("<i", v) for v in values)


def metafile():
    d = target_dir("reader_metafile")
    shapes = [
        wmf_record(0x0103, [8]),                      # SetMapMode anisotropic
        wmf_record(0x020C, [40, 30]),                 # SetWindowExt
        wmf_record(0x02FC, [0, 0x00FF, 0x0000, 0]),   # CreateBrushIndirect solid red
        wmf_record(0x012D, [0]),                      # SelectObject
        wmf_record(0x02FA, [0, 2, 0, 0xFF00, 0x0000]),  # CreatePenIndirect
        wmf_record(0x012D, [1]),
        wmf_record(0x041B, [25, 30, 5, 4]),           # Rectangle (bottom, right, top, left)
        wmf_record(0x0418, [28, 38, 10, 20]),         # Ellipse
        wmf_record(0x0324, [3, 2, 2, 30, 5, 15, 25]),  # Polygon
        wmf_record(0x0214, [0, 0]),                   # MoveTo (y, x)
        wmf_record(0x0213, [29, 39]),                 # LineTo
        wmf_record(0x01F0, [0]),                      # DeleteObject
    ]
    put(d, "wmf-placeable", wmf_placeable(shapes, 2, 40, 30))
    put(d, "wmf-plain", wmf_plain(shapes, 2))
    info, bits = dib(6, 4)
    dib_records = [wmf_record(0x0F43, [0x20, 0xCC, 0, 4, 6, 0, 0, 4, 6, 2, 2], info + bits)]
    put(d, "wmf-stretchdib", wmf_placeable(dib_records, 0, 10, 8))

    records = [
        emf_record(17, ints(8)),                                  # SetMapMode
        emf_record(39, ints(1, 0, 0x0000FF, 0)),                  # CreateBrushIndirect
        emf_record(37, ints(1)),                                  # SelectObject
        emf_record(43, ints(2, 3, 30, 20)),                       # Rectangle
        emf_record(42, ints(10, 5, 35, 25)),                      # Ellipse
        emf_record(86, ints(0, 0, 40, 30, 3) + struct.pack("<6h", 1, 1, 39, 1, 20, 29)),  # Polygon16
        emf_record(27, ints(0, 0)),                               # MoveToEx
        emf_record(54, ints(39, 29)),                             # LineTo
        emf_record(40, ints(1)),                                  # DeleteObject
    ]
    put(d, "emf-shapes", emf_file(records, 1058, 794))
    off_bmi = 80
    payload = ints(0, 0, 5, 3, 0, 0, 0, 0, 6, 4) + le32(off_bmi) + le32(len(info))
    payload += le32(off_bmi + len(info)) + le32(len(bits)) + le32(0) + le32(0x00CC0020) + ints(6, 4)
    put(d, "emf-stretchdibits", emf_file([emf_record(81, payload + info + bits)], 159, 106))


# ---------------------------------------------------------------------------------------
# The other targets.

def roundtrip():
    d = target_dir("roundtrip")
    body = bytes(range(256)) * 3
    for index, ext in enumerate(("bmp", "jp2", "tga", "jpg", "png", "gif", "emf")):
        put(d, ext, bytes([index, 0, 15, 9]) + body)
        put(d, ext + "-transparent-few-colours", bytes([index, 5, 30, 20]) + body)
        put(d, ext + "-palette", bytes([index, 2, 3, 2, 7]) + body)


def key_store():
    d = target_dir("key_store")
    store = (b"; qel Image Tool keys 1\n"
             b"[software\\classes\\*\\shell\\VornResize]\n@=\"Open with it\"\n"
             b"[software\\classes\\*\\shell\\VornResize\\command]\n"
             b"@=\"\\\"/usr/bin/qel-image-tool\\\" \\\"%1\\\"\\t\\x7F\"\n")
    put(d, "store", store)
    put(d, "store-crlf", store.replace(b"\n", b"\r\n"))
    edits = b"\0" + b"\x00\x05a\\b\\c" + b"\x01\x03a\\b\x04v\"\\\n" + b"\x02\x01a" + b"\x03\x00"
    put(d, "empty-with-edits", edits)
    put(d, "store-with-edits", store + edits)


def settings_file():
    d = target_dir("settings_file")
    usual = (b"[Settings]\nFrameColor=16777215\nBorderColor=8421504\nBorderWidth=10\nFilter=5\n"
             b"Sharpen=1\nOverWrite=0\n")
    put(d, "usual", usual)
    put(d, "usual-crlf-with-writes", usual.replace(b"\n", b"\r\n") + b"\0" + b"\x03\x02ab" + b"\x0a\x040x20")
    put(d, "odd", b"; comment\n[other]\nFilter=2\n  [ settings ]  \n filter = $1F \nBorderWidth='80'\n"
                  b"Sharpen=abc\n[Settings]\nFilter=3\n[broken\nkey without value\n=5")
    put(d, "empty-with-writes", b"\0\x00\x031.5\x05\x010\x16\x00")


def encoded(folder, name, ext, command):
    """A seed written by an encoder of a library's Debian package: command has IN and OUT."""
    out = os.path.join(WORK, name + "." + ext)
    alpha = os.path.join(WORK, "alpha.png")
    if not os.path.exists(alpha):
        run(CONVERT, SOURCE, "(", "-size", "24x16", "gradient:white-black", ")", "-alpha", "off", "-compose",
            "CopyOpacity", "-composite", "PNG32:" + alpha)
    source = alpha if "alpha" in name else SOURCE
    run(" ".join(a if a not in ("IN", "OUT") else {"IN": source, "OUT": out}[a] for a in command.split()), shell=True)
    shutil.copyfile(out, os.path.join(folder, "seed-" + name))


def webp():
    d = target_dir("reader_webp")
    encoded(d, "lossy", "webp", "cwebp -quiet -q 80 IN -o OUT")
    encoded(d, "lossless", "webp", "cwebp -quiet -lossless IN -o OUT")
    encoded(d, "lossy-alpha", "webp", "cwebp -quiet -q 80 IN -o OUT")
    encoded(d, "lossless-alpha", "webp", "cwebp -quiet -lossless IN -o OUT")
    flipped = os.path.join(WORK, "flipped.png")
    run(CONVERT, SOURCE, "-flip", flipped)
    encoded(d, "animated", "webp", "img2webp -lossy IN " + flipped + " -o OUT")


def avif():
    d = target_dir("reader_avif")
    encoded(d, "lossy", "avif", "avifenc -s 10 --min 20 --max 30 IN OUT")
    encoded(d, "lossless", "avif", "avifenc -s 10 --lossless IN OUT")
    encoded(d, "alpha", "avif", "avifenc -s 10 --min 20 --max 30 IN OUT")
    encoded(d, "ten-bit-420-turned", "avif", "avifenc -s 10 -d 10 -y 420 --irot 1 --imir 0 IN OUT")


def heif():
    d = target_dir("reader_heif")
    encoded(d, "lossy", "heic", "heif-enc -q 50 IN -o OUT")
    encoded(d, "alpha", "heic", "heif-enc -q 50 IN -o OUT")


def jxl():
    d = target_dir("reader_jxl")
    encoded(d, "lossy", "jxl", "cjxl -d 2 --quiet IN OUT")
    encoded(d, "lossless", "jxl", "cjxl -d 0 --quiet IN OUT")
    encoded(d, "alpha", "jxl", "cjxl -d 1 --quiet IN OUT")
    encoded(d, "container", "jxl", "cjxl -d 1 --quiet --container=1 IN OUT")


def linear_dng(width, height, orientation):
    """A little-endian DNG of a linear RGB picture, 16 bits a sample, uncompressed."""
    pixels = b"".join(le16((x * 255 // width) * 257) + le16((y * 255 // height) * 257) + le16(128 * 257)
                      for y in range(height) for x in range(width))
    def rationals(*values):
        return b"".join(struct.pack("<iI", round(v * 10000), 10000) for v in values)
    fields = [(254, 4, 1, le32(0)), (256, 4, 1, le32(width)), (257, 4, 1, le32(height)),
              (258, 3, 3, le16(16) * 3), (259, 3, 1, le16(1)), (262, 3, 1, le16(34892)),
              (271, 2, 4, b"qel\0"), (272, 2, 5, b"test\0"), (273, 4, 1, None), (274, 3, 1, le16(orientation)),
              (277, 3, 1, le16(3)), (278, 4, 1, le32(height)), (279, 4, 1, le32(len(pixels))),
              (284, 3, 1, le16(1)), (50706, 1, 4, bytes([1, 4, 0, 0])), (50708, 2, 9, b"qel test\0"),
              (50717, 4, 1, le32(65535)),
              (50721, 10, 9, rationals(3.1338561, -1.6168667, -0.4906146, -0.9787684, 1.9161415, 0.0334540,
                                       0.0719453, -0.2289914, 1.4052427)),
              (50728, 5, 3, rationals(1, 1, 1)), (50778, 3, 1, le16(21))]
    values_at = 8 + 2 + 12 * len(fields) + 4
    directory, values, strip = le16(len(fields)), b"", 0
    for tag, kind, count, value in fields:
        directory += le16(tag) + le16(kind) + le32(count)
        if value is None:
            strip = len(directory)
            directory += le32(0)
        elif len(value) <= 4:
            directory += value.ljust(4, b"\0")
        else:
            directory += le32(values_at + len(values))
            values += value
    directory += le32(0)
    pixel_at = values_at + len(values)
    directory = directory[:strip] + le32(pixel_at) + directory[strip + 4:]
    return b"II*\0" + le32(8) + directory + values + pixels


def raw():
    d = target_dir("reader_raw")
    put(d, "linear-dng", linear_dng(12, 8, 1))
    put(d, "linear-dng-turned", linear_dng(8, 6, 6))


def svg():
    d = target_dir("reader_svg")
    put(d, "shapes", b"<svg xmlns='http://www.w3.org/2000/svg' width='24' height='16'>"
                     b"<rect x='1' y='1' width='10' height='8' fill='#c83214'/>"
                     b"<circle cx='16' cy='8' r='6' fill='blue' fill-opacity='0.5'/></svg>")
    put(d, "viewbox", b"<?xml version='1.0'?>\n<svg xmlns='http://www.w3.org/2000/svg' viewBox='0 0 30 20'>"
                      b"<defs><linearGradient id='g'><stop offset='0' stop-color='red'/>"
                      b"<stop offset='1' stop-color='#00f' stop-opacity='0.3'/></linearGradient></defs>"
                      b"<path d='M2 2 L28 4 Q 15 25 2 18 z' fill='url(#g)' stroke='black' stroke-width='0.5'/>"
                      b"<text x='3' y='12' font-size='6'>qel</text></svg>")
    put(d, "units", b"<svg xmlns='http://www.w3.org/2000/svg' width='10mm' height='5mm'>"
                    b"<g transform='rotate(10)'><ellipse cx='15' cy='8' rx='12' ry='5' fill='green'/></g></svg>")


def reader_targets():
    """The fuzz targets of the manifest's readers, in its order."""
    row = re.compile(r'QEL_READER\(\w+, *"[^"]+", *\w+, *(reader_\w+_fuzzer), *QEL_FUZZ_[A-Z_]+, *"\w+"\)$')
    targets = []
    with open(MANIFEST) as f:
        for line in f:
            if line.startswith("QEL_READER("):
                found = row.match(line.strip())
                if not found:
                    raise SystemExit("formats.def: cannot read " + line.strip())
                targets.append(found.group(1))
    return targets


def main():
    makers = []
    for target in reader_targets():
        if os.path.islink(os.path.join(CORPUS, target)):
            continue
        name = target[len("reader_"):-len("_fuzzer")]
        if not callable(globals().get(name)):
            raise SystemExit("no seeds for %s: write a function %s() in %s" % (target, name, __file__))
        makers.append(globals()[name])
    for make in makers + [tiff_tiles, roundtrip, key_store, settings_file]:
        make()
    shutil.rmtree(WORK)


if __name__ == "__main__":
    main()
