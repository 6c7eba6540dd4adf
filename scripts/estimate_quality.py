#!/usr/bin/python3
"""Measures `zelvanto-cli estimate-blur` on a set of blurred photographs.

The set: the bundled 512 x 384 photographs (or their 384 x 384 crops) blurred without
wrapping around their edges (the photograph is blurred as a whole and only the part whose
every kernel tap lay inside it is kept, as scripts/blur_photo.py does) by straight motions,
defocus discs, Gaussians and camera shakes, with Gaussian noise of 0, 0.5 and 1 % of 255;
and the sharp photographs themselves. Every picture's blur is estimated by the program
(`estimate-blur --model auto`), then the picture is restored (`restore`, the default method
and borders) once with the estimated and once with the true kernel. Prints a Markdown table:
per case the model told, the parameters' errors and the PSNRs (blurred, restored with the
estimate, restored with the truth) against the sharp crop; then a summary per kind.

Only our command line, numpy and PIL are used (ImageMagick makes the discs and Gaussians, as
blur_photo.py does).

Usage: estimate_quality.py [--cli build/src/cli/zelvanto-cli] [--quick] [--size N]
                           [--work DIR] [--no-restore]
"""

import argparse
import math
import os
import re
import subprocess
import sys
import tempfile

import numpy as np
from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import blur_photo  # noqa: E402

ROOT = os.path.dirname(HERE)
PHOTOS = ["astronaut", "coffee", "rocket"]


def motion_kernel(length, degrees):
    """The program's straight motion (stamp/kernels.cpp): a centred segment of the length
    at the angle counter-clockwise on screen, sixteen points a pixel splatted bilinearly,
    sum 1. Held top row first, as blur_photo.Kernel holds kernels."""
    a = math.radians(degrees)
    cx, cy = math.cos(a), math.sin(a)
    hx = int(math.ceil(0.5 * length * abs(cx))) + 1
    hy = int(math.ceil(0.5 * length * abs(cy))) + 1
    k = np.zeros((2 * hy + 1, 2 * hx + 1))  # row 0 = bottom on screen
    points = int(math.ceil(16 * length)) + 1
    for i in range(points):
        t = length * (i / (points - 1) - 0.5)
        ox, oy = t * cx, t * cy
        fx, fy = math.floor(ox), math.floor(oy)
        tx, ty = ox - fx, oy - fy
        for j, wy in ((0, 1 - ty), (1, ty)):
            for i2, wx in ((0, 1 - tx), (1, tx)):
                k[hy + fy + j, hx + fx + i2] += wx * wy
    k /= k.sum()
    return blur_photo.Kernel(np.flipud(k).copy(), (hy, hx))


def psnr(a, b):
    mse = float(np.mean((a - b) ** 2))
    return math.inf if mse == 0 else 10.0 * math.log10(255.0 ** 2 / mse)


def read(path):
    return np.asarray(Image.open(path).convert("RGB"), dtype=np.float64)


def build_cases(quick, seed=2026):
    """(kind, truth, photo, noise) for every case; truth is the parameter tuple. The seed
    draws the motions' angles and the shakes' paths."""
    cases = []
    rng = np.random.default_rng(seed)
    noises = [0.0, 0.5, 1.0]
    lengths = [7, 11, 15, 21, 27, 33, 41]
    for i, length in enumerate(lengths):
        for j in range(2 if quick else 3):
            angle = float(rng.integers(0, 180))
            photo = PHOTOS[(i + j) % 3]
            noise = noises[(i + 2 * j) % 3]
            cases.append(("motion", (length, angle), photo, noise))
    for i, radius in enumerate([2, 3, 4, 5, 6, 8, 10]):
        for j in range(1 if quick else 2):
            cases.append(("defocus", (radius,), PHOTOS[(i + j) % 3], noises[(i + j) % 3]))
    for i, sigma in enumerate([1.0, 1.5, 2.0, 3.0, 4.0]):
        for j in range(1 if quick else 2):
            cases.append(("gaussian", (sigma,), PHOTOS[(i + j + 1) % 3], noises[(i + 2 * j) % 3]))
    for i, size in enumerate([15, 23, 31]):
        for j in range(1 if quick else 2):
            cases.append(("shake", (size, seed % 1000 + 11 + i + 5 * j), PHOTOS[(i + j) % 3],
                          noises[(i + j) % 3]))
    for i, photo in enumerate(PHOTOS):
        cases.append(("sharp", (), photo, noises[i]))
    return cases


def make_case(case, work, index, crop=None):
    kind, truth, photo_name, noise = case
    photo = read(os.path.join(ROOT, "samples", f"{photo_name}_512x384.jpg"))
    if crop:
        h, w = photo.shape[:2]
        cw, ch = crop
        photo = photo[(h - ch) // 2:(h - ch) // 2 + ch, (w - cw) // 2:(w - cw) // 2 + cw]
    if kind == "motion":
        spec, kernel = None, motion_kernel(*truth)
    elif kind == "shake":
        spec = ("shake", truth[0], truth[1])
        kernel = blur_photo.make_kernel(spec)
    elif kind in ("defocus", "gaussian"):
        spec = ("disc" if kind == "defocus" else "gaussian", truth[0])
        kernel = blur_photo.make_kernel(spec)
    else:
        spec, kernel = None, blur_photo.Kernel(np.ones((1, 1)))
    if spec is None:
        spec = ("stp", "")
    margin = max(kernel.reach())
    if kind == "sharp":
        margin = 0
    sharp, blurred = blur_photo.blur(photo, spec, kernel, False, margin, noise, 7 + index)
    base = os.path.join(work, f"c{index:03d}")
    blur_photo.write_picture(base + "_blurred.png", blurred)
    blur_photo.write_picture(base + "_sharp.png", sharp)
    blur_photo.write_stp(base + "_true.stp", kernel)
    return base


def run(cli, *args):
    return subprocess.run([cli, *args], capture_output=True, text=True)


def parse_estimate(text):
    m = re.search(r"motion ([\d.]+) px at ([\d.]+) degrees", text)
    if m:
        return "motion", (float(m.group(1)), float(m.group(2)))
    m = re.search(r"defocus radius ([\d.]+) px", text)
    if m:
        return "defocus", (float(m.group(1)),)
    m = re.search(r"gaussian sigma ([\d.]+) px", text)
    if m:
        return "gaussian", (float(m.group(1)),)
    if "no straight motion or defocus found" in text:
        return "none", ()
    return "?", ()


def angle_error(a, b):
    d = abs(a - b) % 180.0
    return min(d, 180.0 - d)


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--cli", default=os.path.join(ROOT, "build", "src", "cli", "zelvanto-cli"))
    parser.add_argument("--quick", action="store_true", help="a smaller set")
    parser.add_argument("--size", type=int, default=43, help="--size given to estimate-blur")
    parser.add_argument("--work", help="keep the pictures here")
    parser.add_argument("--no-restore", action="store_true", help="estimate only")
    parser.add_argument("--seed", type=int, default=2026, help="draws the angles and shakes")
    parser.add_argument("--crop", metavar="WxH", help="blur this central crop of each photo")
    args = parser.parse_args(argv)
    crop = tuple(int(v) for v in args.crop.split("x")) if args.crop else None
    work = args.work or tempfile.mkdtemp(prefix="estimate_quality_")
    os.makedirs(work, exist_ok=True)
    cases = build_cases(args.quick, args.seed)
    rows = []
    print("| # | case | photo | noise % | found | right | length err | angle err | "
          "radius err | sigma err | PSNR blurred | PSNR est. | PSNR true |")
    print("|---|---|---|---|---|---|---|---|---|---|---|---|---|")
    for index, case in enumerate(cases):
        kind, truth, photo, noise = case
        base = make_case(case, work, index, crop)
        result = run(args.cli, "estimate-blur", base + "_blurred.png", "--size", str(args.size),
                     "-o", base + "_est.stp")
        found, params = parse_estimate(result.stdout.split("\n")[0])
        want = {"shake": "none", "sharp": "none"}.get(kind, kind)
        right = found == want
        errs = ["", "", "", ""]
        if right and kind == "motion":
            errs[0] = f"{params[0] - truth[0]:+.2f}"
            errs[1] = f"{angle_error(params[1], truth[1]):.2f}"
        if right and kind == "defocus":
            errs[2] = f"{params[0] - truth[0]:+.2f}"
        if right and kind == "gaussian":
            errs[3] = f"{100.0 * (params[0] - truth[0]) / truth[0]:+.0f} %"
        sharp = read(base + "_sharp.png")
        blurred = read(base + "_blurred.png")
        p_blur = psnr(blurred, sharp)
        p_est = p_true = float("nan")
        if not args.no_restore and kind != "sharp":
            if os.path.exists(base + "_est.stp"):
                r = run(args.cli, "restore", base + "_blurred.png", "--kernel", base + "_est.stp",
                        "-o", base + "_rest_est.png")
                if r.returncode == 0:
                    p_est = psnr(read(base + "_rest_est.png"), sharp)
            r = run(args.cli, "restore", base + "_blurred.png", "--kernel", base + "_true.stp",
                    "-o", base + "_rest_true.png")
            if r.returncode == 0:
                p_true = psnr(read(base + "_rest_true.png"), sharp)
        truth_text = ", ".join(f"{t:g}" for t in truth)
        found_text = found + ("" if not params else " " + ", ".join(f"{p:g}" for p in params))
        rows.append((kind, right, errs, p_blur, p_est, p_true))
        print(f"| {index} | {kind} {truth_text} | {photo} | {noise:g} | {found_text} | "
              f"{'yes' if right else 'NO'} | {errs[0]} | {errs[1]} | {errs[2]} | {errs[3]} | "
              f"{p_blur:.2f} | {p_est:.2f} | {p_true:.2f} |", flush=True)
    print()
    print("| kind | cases | model right | within aim | mean PSNR blurred | est. | true |")
    print("|---|---|---|---|---|---|---|")
    for kind in ("motion", "defocus", "gaussian", "shake", "sharp"):
        group = [r for r in rows if r[0] == kind]
        if not group:
            continue
        right = sum(1 for r in group if r[1])
        within = 0
        for r in group:
            if not r[1]:
                continue
            e = r[2]
            if kind == "motion":
                ok = abs(float(e[0])) <= 1.0 and float(e[1]) <= 3.0
            elif kind == "defocus":
                ok = abs(float(e[2])) <= 1.0
            elif kind == "gaussian":
                ok = abs(float(e[3].rstrip(" %"))) <= 15.0
            else:
                ok = True
            within += ok

        def mean(values):
            v = [x for x in values if math.isfinite(x)]
            return f"{sum(v) / len(v):.2f}" if v else ""
        print(f"| {kind} | {len(group)} | {right} | {within} | {mean([r[3] for r in group])} | "
              f"{mean([r[4] for r in group])} | {mean([r[5] for r in group])} |")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
