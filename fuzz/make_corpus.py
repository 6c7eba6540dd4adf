#!/usr/bin/python3
"""Writes the small seed files of the fuzz targets into fuzz/corpus/<target>/."""
import io
import os
import struct

from PIL import Image

root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")


def bmp(header, table=b"", pixels=b"", offset=None):
    body = header + table + pixels
    if offset is None:
        offset = 14 + len(header) + len(table)
    return b"BM" + struct.pack("<IHHI", 14 + len(body), 0, 0, offset) + body


def info(width, height, bits, compression=0, size=40, colours=0, masks=None):
    h = struct.pack("<IiiHHIIiiII", size, width, height, 1, bits, compression, 0, 0, 0,
                    colours, 0)
    if size > 40:
        h += struct.pack("<III", *(masks or (0, 0, 0))) + bytes(size - 52)
    return h


def pil(image, fmt, **options):
    out = io.BytesIO()
    image.save(out, fmt, **options)
    return out.getvalue()


def ramp(mode, size):
    image = Image.new(mode, size)
    bands = len(image.getbands())
    data = [tuple((x * 40 + y * 70 + b * 90) % 256 for b in range(bands))
            for y in range(size[1]) for x in range(size[0])]
    image.putdata([d[0] if bands == 1 else d for d in data])
    return image


seeds = {
    "bmp": {
        "rgb24.bmp": bmp(info(4, 2, 24), pixels=bytes(range(24))),
        "palette8.bmp": bmp(info(3, 2, 8, colours=2), bytes([1, 2, 3, 0, 4, 5, 6, 0]),
                            bytes([0, 1, 0, 0, 1, 0, 1, 0])),
        "core1.bmp": bmp(struct.pack("<IHHHH", 12, 3, 1, 1, 1), bytes([0, 0, 0, 255, 255, 255]),
                         bytes([0xA0, 0, 0, 0])),
        "fields32.bmp": bmp(info(2, 1, 32, 3) + struct.pack("<III", 0xFF, 0xFF00, 0xFF0000),
                            pixels=bytes(range(8))),
        "v5topdown.bmp": bmp(info(1, -2, 32, 3, 124, masks=(0xFF00, 0xFF0000, 0xFF000000)),
                             pixels=bytes(range(8))),
        "rgb4.bmp": bmp(info(3, 1, 4), bytes(range(64)), bytes([0x12, 0x30, 0, 0])),
        # Run-length 8 bits: a run, an absolute run (padded), end of line, a delta, a run
        # into the row's padding, end of bitmap.
        "rle8.bmp": bmp(info(5, 4, 8, 1, colours=8), bytes(range(32)),
                        bytes([2, 2, 0, 3, 4, 5, 6, 0, 0, 0, 1, 6, 0, 0, 0, 2, 2, 1,
                               6, 7, 0, 1])),
        # Run-length 4 bits: alternating run, absolute run of five (padded), end of line.
        "rle4.bmp": bmp(info(6, 2, 4, 2), bytes(range(64)),
                        bytes([5, 0x3A, 0, 0, 0, 5, 0x12, 0x34, 0x50, 0, 1, 0xF0, 0, 1])),
        # 16 bits: 5-5-5 without bit fields, 5-6-5 fields after a 40-byte header, and
        # 1-5-5-5 fields inside a V5 header.
        "rgb16.bmp": bmp(info(3, 2, 16), pixels=bytes([0xFF, 0x7F, 0x10, 0x42, 0x1F, 0, 0, 0,
                                                       0xE0, 0x03, 0, 0x7C, 0, 0x80, 0, 0])),
        "fields16.bmp": bmp(info(2, 1, 16, 3) + struct.pack("<III", 0xF800, 0x07E0, 0x001F),
                            pixels=bytes([0x00, 0xF8, 0xE0, 0x07])),
        "v5fields16.bmp": bmp(info(2, 2, 16, 3, 124, masks=(0x7C00, 0x03E0, 0x001F)),
                              pixels=bytes([0xFF, 0xFF, 0x00, 0x80, 0x10, 0x42, 0x1F, 0x00])),
    },
    "jpg": {
        "rgb.jpg": pil(ramp("RGB", (8, 8)), "JPEG", quality=90),
        "grey.jpg": pil(ramp("L", (8, 8)), "JPEG", quality=90),
        "progressive.jpg": pil(ramp("RGB", (16, 8)), "JPEG", quality=80, progressive=True),
    },
    "png": {
        "rgb.png": pil(ramp("RGB", (4, 4)), "PNG"),
        "rgba.png": pil(ramp("RGBA", (3, 2)), "PNG"),
        "greyalpha.png": pil(ramp("LA", (3, 2)), "PNG"),
        "grey16.png": pil(ramp("I;16", (2, 2)), "PNG"),
        "palette.png": pil(ramp("RGB", (4, 2)).convert("P"), "PNG", transparency=0),
    },
    "ft": {
        "4x2.ft": struct.pack("<ii", 2, 1) + b"".join(
            struct.pack("<dd", i * 0.5, -i) for i in range(3 * 8)),
        "8x4.ft": struct.pack("<ii", 4, 2) + b"".join(
            struct.pack("<dd", 1.0 / (i + 1), i) for i in range(3 * 32)),
    },
    "stp": {
        "3x1.stp": struct.pack("<iiii", 3, 1, 1, 0) + struct.pack("<3d", 0.5, 0.0, 0.5),
        "4x3.stp": struct.pack("<iiii", 4, 3, 2, 1) + struct.pack(
            "<12d", *([0.0] * 5 + [1.0, -0.25] + [0.0] * 5)),
    },
}
seeds["clipboard"] = {name.replace(".bmp", ".dib"): data[14:]
                      for name, data in seeds["bmp"].items() if name != "core1.bmp"}
kinds = {"bmp": 0, "jpg": 1, "png": 2, "ft": 3, "stp": 4}
seeds["document"] = {}
for kind, selector in kinds.items():
    for name, data in list(seeds[kind].items())[:2]:
        seeds["document"][name + ".doc"] = bytes([selector]) + data
# A picture large enough for a working size (16 x 12, 24 bits).
seeds["document"]["rgb16x12.bmp.doc"] = bytes([0]) + bmp(info(16, 12, 24),
                                                         pixels=bytes(i % 251 for i in range(576)))

for target, files in seeds.items():
    folder = os.path.join(root, target)
    os.makedirs(folder, exist_ok=True)
    for name, data in files.items():
        with open(os.path.join(folder, name), "wb") as out:
            out.write(data)
