#!/usr/bin/python3
"""PSNR in dB (peak 255) of a picture against its reference, over all pixels and over the
interior that a band of BAND pixels on every side leaves.

Usage: psnr.py PICTURE REFERENCE [--band BAND]
"""

import argparse
import math
import sys

import numpy as np
from PIL import Image


def psnr(a, b):
    mse = float(np.mean((a - b) ** 2))
    return math.inf if mse == 0 else 10.0 * math.log10(255.0 ** 2 / mse)


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("picture")
    parser.add_argument("reference")
    parser.add_argument("--band", type=int, default=0)
    args = parser.parse_args(argv)
    a, b = (np.asarray(Image.open(p).convert("RGB"), dtype=np.float64)
            for p in (args.picture, args.reference))
    if a.shape != b.shape:
        print(f"psnr: {args.picture} is {a.shape[1]} x {a.shape[0]}, {args.reference} "
              f"{b.shape[1]} x {b.shape[0]}", file=sys.stderr)
        return 1
    text = f"{psnr(a, b):.2f} dB"
    band = args.band
    if 0 < band and 2 * band < min(a.shape[:2]):
        text += f" ({psnr(a[band:-band, band:-band], b[band:-band, band:-band]):.2f} dB " \
                f"{band} px or more from the edges)"
    print(text)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
