#!/usr/bin/python3
"""Blurs a photograph by a known kernel, as a camera would, for measuring restorations.

The kernel is read from a .stp file or made: a camera shake (a random camera trajectory of a
given size in pixels, seeded), a Gaussian of sigma S or a disc of radius R (both applied by
ImageMagick, whose response to a single bright pixel is then the true kernel). The blur either
does not wrap around the picture's edges (the photograph is blurred as a larger crop and only
the part whose every kernel tap lay inside the photograph is kept) or does wrap around (the
sharp crop is convolved cyclically). Gaussian noise of a given percentage of 255 is added and
the result rounded to 8 bits and written as PNG or BMP; the kernel is written as a .stp file
that `zelvanto-cli restore --kernel` reads, and the sharp crop the blurred picture is to be
compared with.

Usage:
  blur_photo.py IN OUT (--kernel K.stp | --shake SIZE [--seed N] | --gaussian S | --disc R)
                [--noise PERCENT] [--wrap] [--margin M] [--kernel-out K.stp]
                [--sharp-out SHARP.png] [--noise-seed N]
"""

import argparse
import os
import struct
import subprocess
import sys
import tempfile

import numpy as np
from PIL import Image

# .stp layout: width, height, peak x, peak y as 32-bit signed little-endian integers, then
# width x height little-endian doubles, row 0 first. Row 0 is the bottom row as seen on
# screen (the packed bitmap's order), so a kernel held top row first is flipped on the way.
STP_HEADER = struct.Struct("<4i")


class Kernel:
    """Values held top row first (as numpy holds pictures) and the origin (row, column)."""

    def __init__(self, values, origin=None):
        self.values = np.asarray(values, dtype=np.float64)
        h, w = self.values.shape
        self.origin = origin if origin is not None else (h // 2, w // 2)

    def reach(self):
        """How far the kernel reaches from its origin: (up, down, left, right) in pixels."""
        h, w = self.values.shape
        oy, ox = self.origin
        return oy, h - 1 - oy, ox, w - 1 - ox


def write_stp(path, kernel):
    h, w = kernel.values.shape
    oy, ox = kernel.origin
    with open(path, "wb") as f:
        f.write(STP_HEADER.pack(w, h, ox, h - 1 - oy))
        f.write(np.ascontiguousarray(np.flipud(kernel.values), dtype="<f8").tobytes())


def read_stp(path):
    with open(path, "rb") as f:
        data = f.read()
    if len(data) < STP_HEADER.size:
        raise ValueError(f"{path}: shorter than a stamp header")
    w, h, px, py = STP_HEADER.unpack_from(data)
    if w < 1 or h < 1 or not (0 <= px < w and 0 <= py < h):
        raise ValueError(f"{path}: bad stamp header {w} x {h}, peak ({px}, {py})")
    if len(data) < STP_HEADER.size + 8 * w * h:
        raise ValueError(f"{path}: fewer values than its header promises")
    values = np.frombuffer(data, dtype="<f8", count=w * h, offset=STP_HEADER.size)
    return Kernel(np.flipud(values.reshape(h, w)).copy(), (h - 1 - py, px))


def shake_kernel(size, seed):
    """A camera shake of size x size pixels (size odd): the path a point takes while the
    shutter is open, a random walk with inertia pulled back towards its start, sampled at
    equal times (so the camera leaves more light where it moves slowly), scaled so that its
    longer side spans the kernel, drawn with bilinear weights, sum 1."""
    if size < 3 or size % 2 == 0:
        raise ValueError("the shake's size must be an odd number of at least 3 pixels")
    rng = np.random.default_rng(seed)
    steps = 2000
    pos = np.zeros((steps, 2))
    velocity = rng.normal(size=2)
    velocity /= np.linalg.norm(velocity)
    p = np.zeros(2)
    for i in range(steps):
        jerk = rng.normal(size=2) * 0.25
        if rng.random() < 0.003:  # now and then a sudden jolt
            jerk += rng.normal(size=2) * 3.0
        velocity = 0.994 * velocity + 0.03 * jerk - 0.002 * p
        p = p + 0.01 * velocity
        pos[i] = p
    span = pos.max(axis=0) - pos.min(axis=0)
    scale = (size - 3) / max(span.max(), 1e-12)
    pos = (pos - pos.min(axis=0)) * scale
    pos += (size - 1 - (span * scale)) / 2.0  # the path's box centred in the kernel
    k = np.zeros((size, size))
    for x, y in pos:
        x0, y0 = int(np.floor(x)), int(np.floor(y))
        tx, ty = x - x0, y - y0
        k[y0, x0] += (1 - tx) * (1 - ty)
        k[y0, x0 + 1] += tx * (1 - ty)
        k[y0 + 1, x0] += (1 - tx) * ty
        k[y0 + 1, x0 + 1] += tx * ty
    return Kernel(k / k.sum())


def magick_operation(kind, amount):
    if kind == "gaussian":
        return ["-gaussian-blur", f"0x{amount:g}"]
    # A hard disc of ImageMagick's own, normalised so that it keeps the light.
    return ["-define", "convolve:scale=!", "-morphology", "Convolve", f"Disk:{amount:g}"]


def run_magick(pixels, operation, wrap):
    """Applies an ImageMagick operation to an RGB or grey float picture (0 to 255) and gives
    the result as floats at 16-bit precision."""
    h, w = pixels.shape[:2]
    channels = 1 if pixels.ndim == 2 else 3
    kind = "gray" if channels == 1 else "rgb"
    with tempfile.TemporaryDirectory() as tmp:
        src = os.path.join(tmp, "in.raw")
        dst = os.path.join(tmp, "out.raw")
        np.round(np.clip(pixels, 0, 255) * 257.0).astype(">u2").tofile(src)
        subprocess.run(
            ["convert", "-size", f"{w}x{h}", "-depth", "16", "-endian", "MSB", f"{kind}:{src}",
             "-virtual-pixel", "tile" if wrap else "edge", *operation,
             "-depth", "16", "-endian", "MSB", f"{kind}:{dst}"],
            check=True)
        out = np.fromfile(dst, dtype=">u2").astype(np.float64) / 257.0
    return out.reshape(pixels.shape)


def magick_kernel(kind, amount):
    """ImageMagick's response to one bright pixel: the kernel it blurs with."""
    if amount <= 0:
        raise ValueError(f"the {kind} needs a size above 0")
    half = int(np.ceil(5 * amount)) + 2 if kind == "gaussian" else int(np.ceil(amount)) + 2
    n = 2 * half + 1
    impulse = np.zeros((n, n))
    impulse[half, half] = 255.0
    k = run_magick(impulse, magick_operation(kind, amount), wrap=False)
    nonzero = np.argwhere(k > 0)
    top = min(half - nonzero[:, 0].min(), nonzero[:, 0].max() - half)
    left = min(half - nonzero[:, 1].min(), nonzero[:, 1].max() - half)
    r = max(top, left)
    k = k[half - r:half + r + 1, half - r:half + r + 1]
    return Kernel(k / k.sum())


def convolve_same(picture, kernel):
    """out(t) = sum over d of K(d) picture(t - d) for every pixel, zeros beyond the picture
    (the caller keeps only the part where that never mattered). By FFT over a grid large
    enough that nothing wraps."""
    oy, ox = kernel.origin
    h, w = picture.shape[:2]
    kh, kw = kernel.values.shape
    shape = (h + kh - 1, w + kw - 1)
    spectrum = np.fft.rfft2(kernel.values, s=shape)
    planes = picture if picture.ndim == 3 else picture[:, :, None]
    out = np.empty(planes.shape)
    for c in range(planes.shape[2]):
        full = np.fft.irfft2(np.fft.rfft2(planes[:, :, c], s=shape) * spectrum, s=shape)
        out[:, :, c] = full[oy:oy + h, ox:ox + w]
    return out if picture.ndim == 3 else out[:, :, 0]


def convolve_cyclic(picture, kernel):
    """The same rule, the picture wrapping around at its edges."""
    h, w = picture.shape[:2]
    kh, kw = kernel.values.shape
    if kh > h or kw > w:
        raise ValueError("the kernel is larger than the picture")
    padded = np.zeros((h, w))
    padded[:kh, :kw] = kernel.values
    padded = np.roll(padded, (-kernel.origin[0], -kernel.origin[1]), axis=(0, 1))
    spectrum = np.fft.rfft2(padded)
    planes = picture if picture.ndim == 3 else picture[:, :, None]
    out = np.empty(planes.shape)
    for c in range(planes.shape[2]):
        out[:, :, c] = np.fft.irfft2(np.fft.rfft2(planes[:, :, c]) * spectrum, s=(h, w))
    return out if picture.ndim == 3 else out[:, :, 0]


def make_kernel(spec):
    """spec: ("stp", path) | ("shake", size, seed) | ("gaussian", sigma) | ("disc", radius)."""
    if spec[0] == "stp":
        return read_stp(spec[1])
    if spec[0] == "shake":
        return shake_kernel(int(spec[1]), int(spec[2]))
    return magick_kernel(spec[0], float(spec[1]))


def blur(photo, spec, kernel, wrap, margin, noise_percent, noise_seed):
    """Gives (sharp, blurred) as floats; blurred is rounded to 8 bits with the noise in it.
    The sharp picture is the photograph less margin pixels on every side."""
    up, down, left, right = kernel.reach()
    h, w = photo.shape[:2]
    if not wrap and margin < max(up, down, left, right):
        raise ValueError(f"a margin of {margin} px is less than the kernel's reach")
    if 2 * margin >= min(h, w):
        raise ValueError("the margin leaves nothing of the photograph")
    inner = (slice(margin, h - margin), slice(margin, w - margin))
    sharp = photo[inner]
    magick = spec[0] in ("gaussian", "disc")
    if magick:
        operation = magick_operation(spec[0], float(spec[1]))
        blurred = run_magick(sharp, operation, True) if wrap else \
            run_magick(photo, operation, False)[inner]
    else:
        blurred = convolve_cyclic(sharp, kernel) if wrap else convolve_same(photo, kernel)[inner]
    if noise_percent > 0:
        rng = np.random.default_rng(noise_seed)
        blurred = blurred + rng.normal(0.0, noise_percent / 100.0 * 255.0, blurred.shape)
    return sharp, np.clip(np.floor(blurred + 0.5), 0, 255)


def read_picture(path):
    return np.asarray(Image.open(path).convert("RGB"), dtype=np.float64)


def write_picture(path, pixels):
    Image.fromarray(np.clip(np.floor(pixels + 0.5), 0, 255).astype(np.uint8)).save(path)


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("input")
    parser.add_argument("output", help="blurred picture to write (.png or .bmp)")
    source = parser.add_mutually_exclusive_group(required=True)
    source.add_argument("--kernel", metavar="K.stp")
    source.add_argument("--shake", type=int, metavar="SIZE", help="odd size in pixels")
    source.add_argument("--gaussian", type=float, metavar="SIGMA")
    source.add_argument("--disc", type=float, metavar="RADIUS")
    parser.add_argument("--seed", type=int, default=1, help="the shake's seed")
    parser.add_argument("--noise", type=float, default=0.0, metavar="PERCENT",
                        help="Gaussian noise, standard deviation in percent of 255")
    parser.add_argument("--noise-seed", type=int, default=7)
    parser.add_argument("--wrap", action="store_true", help="the blur wraps around the edges")
    parser.add_argument("--margin", type=int, default=None,
                        help="pixels cut from every side (default: the kernel's reach, "
                             "0 when wrapping)")
    parser.add_argument("--kernel-out", metavar="K.stp", help="write the kernel here")
    parser.add_argument("--sharp-out", metavar="SHARP.png", help="write the sharp crop here")
    args = parser.parse_args(argv)
    if args.kernel:
        spec = ("stp", args.kernel)
    elif args.shake is not None:
        spec = ("shake", args.shake, args.seed)
    elif args.gaussian is not None:
        spec = ("gaussian", args.gaussian)
    else:
        spec = ("disc", args.disc)
    try:
        kernel = make_kernel(spec)
        margin = args.margin if args.margin is not None else \
            (0 if args.wrap else max(kernel.reach()))
        sharp, blurred = blur(read_picture(args.input), spec, kernel, args.wrap, margin,
                              args.noise, args.noise_seed)
    except (ValueError, OSError, subprocess.CalledProcessError) as error:
        print(f"blur_photo: {error}", file=sys.stderr)
        return 1
    write_picture(args.output, blurred)
    if args.kernel_out:
        write_stp(args.kernel_out, kernel)
    if args.sharp_out:
        write_picture(args.sharp_out, sharp)
    h, w = blurred.shape[:2]
    kh, kw = kernel.values.shape
    print(f"Blurred {w} x {h} by a {kw} x {kh} kernel, noise {args.noise:g} %, "
          f"{'wrapping' if args.wrap else 'not wrapping'}: {args.output}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
