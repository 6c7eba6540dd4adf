#!/usr/bin/python3
"""Writes the .bmp files of other programs that the reader's tests take, with references.

Each NAME.bmp comes with NAME_ref.bmp, the same picture as a plain 24-bit file, decoded by
another program: PIL, or ImageMagick where PIL cannot (RLE4, delta escapes, 4-4-4-4 fields).
The two programs are checked to agree where both can read a file. Needs /usr/bin/python3
with PIL and ImageMagick's convert; run from anywhere, writes beside this script.
"""
import io
import os
import struct
import subprocess

from PIL import Image

here = os.path.dirname(os.path.abspath(__file__))
samples = os.path.join(here, "..", "..", "..", "samples")
source = Image.open(os.path.join(samples, "chelsea_160x120.bmp")).convert("RGB")
crop = source.crop((40, 30, 73, 47))  # 33 x 17: odd width, rows padded


def path(name):
    return os.path.join(here, name)


def magick_rgb(file):
    """ImageMagick's decoding as (width, height, RGB bytes, top row first)."""
    out = subprocess.run(["convert", file, "-depth", "8", "rgb:-"], capture_output=True)
    size = subprocess.run(["identify", "-format", "%w %h", file], capture_output=True,
                          text=True).stdout.split()
    return int(size[0]), int(size[1]), out.stdout


def write_ref(name, width, height, rgb):
    Image.frombytes("RGB", (width, height), rgb).save(path(name + "_ref.bmp"))


def near(a, b, tolerance):
    return len(a) == len(b) and all(abs(x - y) <= tolerance for x, y in zip(a, b))


def bmp(header, table, data):
    body = header + table + data
    return b"BM" + struct.pack("<IHHI", 14 + len(body), 0, 0, 14 + len(header) + len(table)) + body


def info(width, height, bits, compression, image_bytes, colours):
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, compression, image_bytes,
                       2835, 2835, colours, 0)


# ImageMagick's own files: RLE8 and the 16-bit layouts (V5 header with bit fields).
tmp = path("_crop.png")
crop.save(tmp)
subprocess.run(["convert", tmp, "-colors", "200", "-type", "palette", "-compress", "RLE",
                "BMP3:" + path("im_rle8.bmp")], check=True)
for subtype in ["RGB565", "RGB555"]:
    subprocess.run(["convert", tmp, "-define", "bmp:subtype=" + subtype,
                    path("im_" + subtype.lower() + ".bmp")], check=True)
for subtype in ["ARGB1555", "ARGB4444"]:
    subprocess.run(["convert", tmp, "-alpha", "set", "-channel", "A", "-evaluate", "set",
                    "100%", "+channel", "-define", "bmp:subtype=" + subtype,
                    path("im_" + subtype.lower() + ".bmp")], check=True)
os.remove(tmp)

for name in ["im_rle8", "im_rgb565", "im_rgb555", "im_argb1555"]:
    file = path(name + ".bmp")
    width, height, magick = magick_rgb(file)
    pil = Image.open(file).convert("RGB").tobytes()
    # Five and six bits are widened to eight by rounding in one, truncation in the other.
    assert near(pil, magick, 0 if name == "im_rle8" else 1), name
    write_ref(name, width, height, pil)


def fields16(file, shifts, bits):
    """The picture of a 16-bit file with bit fields, each field widened to the full 0..255
    (four bits: v * 17, exactly), top row first."""
    data = open(file, "rb").read()
    offset = struct.unpack("<I", data[10:14])[0]
    width, height = struct.unpack("<ii", data[18:26])
    row_bytes = ((width * 16 + 31) // 32) * 4
    top = (1 << bits) - 1
    rgb = bytearray()
    for y in range(height - 1, -1, -1):
        for x in range(width):
            at = offset + y * row_bytes + 2 * x
            value = data[at] | data[at + 1] << 8
            rgb.extend(((value >> shift) & top) * 255 // top for shift in shifts)
    return width, height, bytes(rgb)


# PIL 9 takes no 4-4-4-4 fields, and ImageMagick widens four bits by a shift (15 to 240).
write_ref("im_argb4444", *fields16(path("im_argb4444.bmp"), (8, 4, 0), 4))

# The same 16-bit pixels in the other layouts: no bit fields (5-5-5 by default), and bit
# fields after a 40-byte header.
for name, source_name, compression, masks in [
        ("rgb16_plain", "im_rgb555", 0, b""),
        ("bitfields16_40", "im_rgb565", 3, struct.pack("<III", 0xF800, 0x07E0, 0x001F))]:
    data = open(path(source_name + ".bmp"), "rb").read()
    offset = struct.unpack("<I", data[10:14])[0]
    width, height = struct.unpack("<ii", data[18:26])
    pixels = data[offset:offset + ((width * 16 + 31) // 32) * 4 * height]
    open(path(name + ".bmp"), "wb").write(
        bmp(info(width, height, 16, compression, len(pixels), 0), masks, pixels))
    write_ref(name, *magick_rgb(path(name + ".bmp")))


def encode(rows, width, four_bits):
    """Run-length data of index rows (bottom row first) with every escape: runs of one
    index (two alternating ones for 4 bits), absolute runs of odd and even length, a delta,
    an end of line before the end of a row, and the end of bitmap."""
    out = bytearray()

    def absolute(indices):
        out.extend([0, len(indices)])
        if four_bits:
            padded = indices + [0] * (len(indices) % 2)
            packed = bytes((padded[i] << 4) | padded[i + 1] for i in range(0, len(padded), 2))
        else:
            packed = bytes(indices)
        out.extend(packed + b"\0" * (len(packed) % 2))

    y = 0
    while y < len(rows):
        row = rows[y]
        if y == 2:  # half the row, then the end of the line
            row = row[:width // 2]
        if y == 4:  # a delta over 3 columns and 2 rows
            out.extend([len(row[:4]), row[0] << 4 | row[1] if four_bits else row[0]])
            out.extend([0, 2, 3, 2])
            y += 2
            x = 7
            row = rows[y][x:]
        x = 0
        while x < len(row):
            run = 1
            if four_bits:
                while x + run < len(row) and row[x + run] == row[x + run % 2] and run < 255:
                    run += 1
            else:
                while x + run < len(row) and row[x + run] == row[x] and run < 255:
                    run += 1
            if run >= 3 or len(row) - x < 3:
                pair = (row[x] << 4 | (row[x + 1] if run > 1 else 0)) if four_bits else row[x]
                out.extend([run, pair])
                x += run
            else:
                n = 3
                while x + n < len(row) and n < 9 and row[x + n] != row[x + n - 1]:
                    n += 1
                absolute(list(row[x:x + n]))
                x += n
        out.extend([0, 0])
        y += 1
    out[-2:] = [0, 1]  # the last line ends with the end of bitmap
    return bytes(out)


# Index pictures from the crop (bottom row first), encoded by hand with every escape.
for name, bits, colours in [("rle8_escapes", 8, 60), ("rle4_escapes", 4, 16)]:
    quantised = crop.quantize(colors=colours, dither=Image.Dither.NONE)
    width, height = quantised.size
    indices = list(quantised.getdata())
    rows = [indices[(height - 1 - y) * width:(height - y) * width] for y in range(height)]
    palette = quantised.getpalette()[:3 * colours]
    table = b"".join(bytes([palette[3 * i + 2], palette[3 * i + 1], palette[3 * i], 0])
                     for i in range(colours))
    data = encode(rows, width, bits == 4)
    open(path(name + ".bmp"), "wb").write(
        bmp(info(width, height, bits, 1 if bits == 8 else 2, len(data), colours), table, data))
    write_ref(name, *magick_rgb(path(name + ".bmp")))
