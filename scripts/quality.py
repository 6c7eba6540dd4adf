#!/usr/bin/python3
"""The restoration quality set: the bundled photographs blurred by known kernels (camera
shakes of 13 to 75 px, Gaussians of sigma 1 to 3, discs of radius 2 to 8), with noise of 0,
0.5 and 1 % of 255, the blur wrapping around the edges or not (scripts/blur_photo.py), each
restored with its true kernel by zelvanto-cli (default settings, each method it offers, and
--no-taper) and by scikit-image (wiener with the best balance of a small grid, unsupervised
wiener, Richardson-Lucy with the best of a few iteration counts). PSNR in dB against the sharp
picture, over the whole picture and over its interior (a band as wide as the kernel left out).

Prints a Markdown summary (and with --cases every case) and writes every figure to a CSV.

Usage: quality.py [--quick] [--cli PATH] [--samples DIR] [--csv FILE] [--jobs N] [--cases]
"""

import os

for _name in ("OMP_NUM_THREADS", "OPENBLAS_NUM_THREADS", "MKL_NUM_THREADS"):
    os.environ.setdefault(_name, "1")  # one thread for each of at most --jobs workers

import argparse  # noqa: E402
import csv  # noqa: E402
import math  # noqa: E402
import multiprocessing  # noqa: E402
import re  # noqa: E402
import subprocess  # noqa: E402
import sys  # noqa: E402
import tempfile  # noqa: E402
import time  # noqa: E402

import numpy as np  # noqa: E402

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import blur_photo  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PHOTOS = ("coffee", "rocket", "astronaut")
MARGIN = 40  # cut from every side of the photograph: more than any kernel's reach
METHODS = ("wiener", "lucy", "tv")  # asked of the command line; what it refuses is "n/a"
WIENER_BALANCES = (1e-4, 3e-4, 1e-3, 3e-3, 1e-2, 3e-2, 1e-1, 3e-1, 1.0)
LUCY_ITERATIONS = (2, 5, 10, 25, 60)


def blurs():
    for size in (13, 31, 51, 75):
        yield ("shake", size)
    for sigma in (1, 2, 3):
        yield ("gaussian", sigma)
    for radius in (2, 5, 8):
        yield ("disc", radius)


def full_set():
    cases = []
    for photo in PHOTOS:
        for blur in blurs():
            for noise in (0.0, 0.5, 1.0):
                for wrap in (False, True):
                    cases.append((photo, "512x384", blur, noise, wrap))
    # The large size: the longest shakes with real edges and 1 % noise.
    for photo in PHOTOS:
        for size in (31, 75):
            cases.append((photo, "1024x680", ("shake", size), 1.0, False))
    return cases


def quick_set():
    return [
        ("coffee", "512x384", ("shake", 31), 1.0, False),
        ("rocket", "512x384", ("shake", 75), 1.0, False),
        ("coffee", "512x384", ("gaussian", 2), 0.0, False),
        ("astronaut", "512x384", ("disc", 5), 0.5, True),
    ]


def blur_name(blur):
    kind, amount = blur
    return {"shake": f"shake {amount} px", "gaussian": f"Gaussian sigma {amount}",
            "disc": f"disc r {amount}"}[kind]


def psnr(a, b):
    mse = float(np.mean((a - b) ** 2))
    return math.inf if mse == 0 else 10.0 * math.log10(255.0 ** 2 / mse)


def psnr_pair(result, sharp, band):
    h, w = sharp.shape[:2]
    band = min(band, (min(h, w) - 2) // 2)
    inner = (slice(band, h - band), slice(band, w - band))
    return psnr(result, sharp), psnr(result[inner], sharp[inner])


def cli_abilities(cli):
    """The methods the command line's restore offers and whether it takes --threads."""
    text = subprocess.run([cli, "restore", "--help"], capture_output=True, text=True).stdout
    found = re.search(r"--method\s+\S*\{([^}]*)\}", text)
    methods = [m.strip() for m in found.group(1).split(",")] if found else None
    return methods, "--threads" in text


def run_cli(cli, blurred_path, source, extra, threads_option, tmp, tag):
    out = os.path.join(tmp, f"restored_{tag}.png")
    command = [cli, "restore", blurred_path, *source, *extra, "-o", out, "--no-progress"]
    if threads_option:
        command += ["--threads", "1"]
    start = time.monotonic()
    done = subprocess.run(command, capture_output=True, text=True)
    seconds = time.monotonic() - start
    if done.returncode != 0:
        return None, seconds, (done.stderr or done.stdout).strip()
    return blur_photo.read_picture(out), seconds, ""


def skimage_methods(blurred, kernel, sharp, band):
    """scikit-image's restorations of each plane, the parameter chosen by the truth: for the
    whole picture and for its interior each, the best of the grid (so its border ringing does
    not push the interior's figure to the weakest setting)."""
    from skimage import restoration
    y = blurred / 255.0
    psf = kernel.values
    if kernel.origin != (psf.shape[0] // 2, psf.shape[1] // 2):
        raise ValueError("scikit-image takes the kernel's origin at its centre")

    def planes(function):
        return np.clip(np.stack([function(y[:, :, c]) for c in range(3)], axis=2), 0, 1) * 255.0

    def best(candidates):
        scored = [(psnr_pair(np.floor(r + 0.5), sharp, band), p) for p, r in candidates]
        whole = max(scored, key=lambda s: s[0][0])
        inner = max(scored, key=lambda s: s[0][1])
        return (whole[0][0], inner[0][1]), whole[1], inner[1]

    results = {}
    start = time.monotonic()
    pair, b_whole, b_inner = best((b, planes(lambda p, b=b: restoration.wiener(p, psf, b)))
                                  for b in WIENER_BALANCES)
    results["skimage wiener"] = (pair, time.monotonic() - start,
                                 f"balance {b_whole:g} (interior {b_inner:g})")
    start = time.monotonic()
    r = planes(lambda p: restoration.unsupervised_wiener(p, psf, random_state=0)[0])
    results["skimage unsupervised"] = (psnr_pair(np.floor(r + 0.5), sharp, band),
                                       time.monotonic() - start, "")
    start = time.monotonic()
    pair, n_whole, n_inner = best((n, planes(lambda p, n=n: restoration.richardson_lucy(p, psf, n)))
                                  for n in LUCY_ITERATIONS)
    results["skimage lucy"] = (pair, time.monotonic() - start,
                               f"{n_whole} iterations (interior {n_inner})")
    return results


def measure(job):
    case, cli, samples, methods, threads_option = job
    photo_name, size, blur, noise, wrap = case
    kind, amount = blur
    photo = blur_photo.read_picture(os.path.join(samples, f"{photo_name}_{size}.jpg"))
    # Each photograph and size gets shakes of its own, the same in every run.
    seed = 1000 * PHOTOS.index(photo_name) + amount + (500 if size != "512x384" else 0)
    spec = ("shake", amount, seed) if kind == "shake" else (kind, amount)
    kernel = blur_photo.make_kernel(spec)
    sharp, blurred = blur_photo.blur(photo, spec, kernel, wrap, MARGIN, noise,
                                     noise_seed=seed + int(noise * 10))
    band = max(kernel.values.shape)
    row = {"photo": photo_name, "size": f"{sharp.shape[1]}x{sharp.shape[0]}",
           "blur": blur_name(blur), "kind": kind, "amount": amount, "noise": noise,
           "wrap": "yes" if wrap else "no",
           "kernel": f"{kernel.values.shape[1]}x{kernel.values.shape[0]}"}
    row["blurred"], row["blurred interior"] = psnr_pair(blurred, sharp, band)
    with tempfile.TemporaryDirectory() as tmp:
        blurred_path = os.path.join(tmp, "blurred.png")
        blur_photo.write_picture(blurred_path, blurred)
        if kind == "gaussian":
            source = ["--gaussian", f"{amount:g}"]
        else:
            stp = os.path.join(tmp, "kernel.stp")
            blur_photo.write_stp(stp, kernel)
            source = ["--kernel", stp]
        runs = [("zelvanto default", [])]
        runs += [(f"zelvanto {m}", ["--method", m]) for m in METHODS]
        runs += [("zelvanto no-taper", ["--no-taper"])]
        notes = []
        for label, extra in runs:
            method = extra[1] if extra[:1] == ["--method"] else None
            if method is not None and methods is not None and method not in methods:
                row[label] = row[label + " interior"] = None  # not offered
                continue
            result, seconds, error = run_cli(cli, blurred_path, source, extra, threads_option,
                                             tmp, label.split()[-1])
            if result is None:
                if method is not None and "--method" in error:
                    row[label] = row[label + " interior"] = None
                    continue
                raise RuntimeError(f"{label} failed on {case}: {error}")
            row[label], row[label + " interior"] = psnr_pair(result, sharp, band)
            row[label + " s"] = seconds
    for label, (pair, seconds, note) in skimage_methods(blurred, kernel, sharp, band).items():
        row[label], row[label + " interior"] = pair
        row[label + " s"] = seconds
        if note:
            notes.append(f"{label}: {note}")
    row["notes"] = "; ".join(notes)
    return row


COLUMNS = ["zelvanto default", *[f"zelvanto {m}" for m in METHODS], "zelvanto no-taper",
           "skimage wiener", "skimage unsupervised", "skimage lucy"]


def cell(value):
    return "n/a" if value is None else f"{value:.2f}"


def mean(values):
    values = [v for v in values if v is not None]
    return sum(values) / len(values) if values else None


def summary(rows):
    """Mean PSNR by blur family, noise and wrapping; then the aims' figures."""
    lines = ["| blurs | noise | wraps | cases | blurred | " + " | ".join(COLUMNS) + " |",
             "|---|---|---|---|---|" + "---|" * len(COLUMNS)]
    families = [("shake", "shakes 13-75 px"), ("gaussian", "Gaussian sigma 1-3"),
                ("disc", "discs r 2-8")]
    for kind, name in families:
        for wrap in ("no", "yes"):
            for noise in (0.0, 0.5, 1.0):
                group = [r for r in rows if r["kind"] == kind and r["wrap"] == wrap and
                         r["noise"] == noise]
                if not group:
                    continue
                cells = [cell(mean([r[c] for r in group])) for c in COLUMNS]
                lines.append(f"| {name} | {noise:g} % | {wrap} | {len(group)} | "
                             f"{cell(mean([r['blurred'] for r in group]))} | " +
                             " | ".join(cells) + " |")
    lines.append("")
    lines.append("| over the cases | " + " | ".join(COLUMNS) + " |")
    lines.append("|---|" + "---|" * len(COLUMNS))

    def stat_row(name, group, stat):
        values = []
        for c in COLUMNS:
            gains = [r[c] - r["blurred"] for r in group if r[c] is not None]
            values.append(cell(stat(gains) if gains else None))
        lines.append(f"| {name} | " + " | ".join(values) + " |")

    noisy = [r for r in rows if r["wrap"] == "no" and r["noise"] > 0]
    if noisy:
        stat_row(f"mean gain, noisy, not wrapping ({len(noisy)})", noisy, mean)
        stat_row("least gain, noisy, not wrapping", noisy, min)
    stat_row(f"least gain, every case ({len(rows)})", rows, min)
    interior = [r for r in rows if r["wrap"] == "no"]
    if interior:
        values = [cell(mean([r[c + " interior"] - r["blurred interior"] for r in interior
                             if r[c + " interior"] is not None])) for c in COLUMNS]
        lines.append(f"| mean interior gain, not wrapping ({len(interior)}) | " +
                     " | ".join(values) + " |")
    return "\n".join(lines)


def case_table(rows):
    lines = ["| photo | size | blur | noise | wraps | blurred | " + " | ".join(COLUMNS) + " |",
             "|---|---|---|---|---|---|" + "---|" * len(COLUMNS)]
    for r in rows:
        lines.append(f"| {r['photo']} | {r['size']} | {r['blur']} | {r['noise']:g} % | "
                     f"{r['wrap']} | {cell(r['blurred'])} | " +
                     " | ".join(cell(r[c]) for c in COLUMNS) + " |")
    return "\n".join(lines)


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--quick", action="store_true", help="four cases, under 2 minutes")
    parser.add_argument("--cli", default=os.path.join(ROOT, "build", "src", "cli",
                                                      "zelvanto-cli"))
    parser.add_argument("--samples", default=os.path.join(ROOT, "samples"))
    parser.add_argument("--csv", default="quality.csv", help="where every figure goes")
    parser.add_argument("--jobs", type=int, default=2, help="cases at once (at most 2)")
    parser.add_argument("--cases", action="store_true", help="print every case too")
    args = parser.parse_args(argv)
    if not os.access(args.cli, os.X_OK):
        print(f"quality: no zelvanto-cli at {args.cli}", file=sys.stderr)
        return 1
    methods, threads_option = cli_abilities(args.cli)
    cases = quick_set() if args.quick else full_set()
    jobs = [(c, args.cli, args.samples, methods, threads_option) for c in cases]
    start = time.monotonic()
    with multiprocessing.Pool(max(1, min(args.jobs, 2))) as pool:
        rows = []
        for row in pool.imap(measure, jobs):
            rows.append(row)
            print(f"{len(rows)}/{len(cases)} {row['photo']} {row['blur']} {row['noise']:g} % "
                  f"wrap {row['wrap']}: blurred {row['blurred']:.2f}, default "
                  f"{cell(row['zelvanto default'])}", file=sys.stderr)
    fields = list(rows[0].keys())
    for r in rows:
        fields += [k for k in r if k not in fields]
    with open(args.csv, "w", newline="") as f:
        writer = csv.DictWriter(f, fieldnames=fields)
        writer.writeheader()
        for r in rows:
            writer.writerow({k: ("n/a" if r.get(k, None) is None else
                                 (f"{r[k]:.3f}" if isinstance(r[k], float) else r[k]))
                             for k in fields})
    offered = ", ".join(methods) if methods else "unknown"
    print(f"{len(rows)} cases in {time.monotonic() - start:.0f} s; zelvanto-cli restore "
          f"offers: {offered}. PSNR in dB against the sharp picture (mean of the cases).\n")
    print(summary(rows))
    if args.cases:
        print()
        print(case_table(rows))
    print(f"\nEvery figure, the interior PSNRs and the times: {args.csv}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
