#!/usr/bin/python3
"""Quality of the free-form blur estimate on generated camera shakes.

Grey crops of the sample photographs are blurred by random shake kernels (13 to 41 px, seeded
trajectories), with and without wrap-around at the edges, with 0 and 1 % noise, rounded to
whole grey levels. For every case the estimate tool (bench/zelvanto_estimate_free_tool)
estimates the kernel, and one solver restores the picture with the estimated and with the
true kernel: least squares with a weight on the squared gradients (3e-3 without noise, 1e-2
with 1 % noise), by FFT, the picture extended smoothly when its blur did not wrap around.
(A solver of its own keeps the figures free of the restoration's own choices.) Printed: the
kernel's
normalised cross-correlation with
the true one (best shift), the PSNR of the blurred input, of the restore with the estimate
and with the true kernel, the same three aligned (the restored picture moved by the whole-pixel
shift within 3 px that fits best, as the published benchmarks align), and the summary against
the aims.

Usage: scripts/estimate_free_quality.py [--build BUILD] [--samples DIR] [--kernels N]
                                        [--big | --only-big] [--size N] [--jobs N]
                                        [--min-kernel N]
"""
import argparse
import os
import subprocess
import sys
import tempfile
from concurrent.futures import ThreadPoolExecutor

import numpy as np
from PIL import Image
from scipy import ndimage

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def write_raw(path, a):
    a = np.ascontiguousarray(a, dtype='<f8')
    with open(path, 'wb') as f:
        np.array([a.shape[1], a.shape[0]], dtype='<i4').tofile(f)
        a.tofile(f)


def read_raw(path):
    with open(path, 'rb') as f:
        w, h = np.fromfile(f, dtype='<i4', count=2)
        return np.fromfile(f, dtype='<f8', count=w * h).reshape(h, w)


def shake_kernel(size, seed):
    """A camera shake: a thin curved path of a random walk of the direction (occasional jolts,
    speed varying along it), scaled to fill size x size, drawn antialiased, centred on its
    centre of mass, sum 1."""
    rng = np.random.default_rng(seed)
    steps = 120
    theta = rng.uniform(0, 2 * np.pi)
    turn = 0.0
    pts, weights = [], []
    pos = np.zeros(2)
    for _ in range(steps):
        turn = 0.9 * turn + rng.normal(scale=0.02)
        if rng.uniform() < 0.02:
            turn += rng.normal(scale=0.3)
        theta += turn
        speed = 0.5 + rng.uniform()
        pos = pos + speed * np.array([np.cos(theta), np.sin(theta)])
        pts.append(pos.copy())
        weights.append(1.0 / speed)
    pts = np.array(pts)
    pts -= (pts.max(axis=0) + pts.min(axis=0)) / 2
    pts *= (size / 2 - 1.5) / np.abs(pts).max()
    # Fill the path finely between its points.
    fine, fw = [], []
    for i in range(1, len(pts)):
        n = max(1, int(np.ceil(4 * np.linalg.norm(pts[i] - pts[i - 1]))))
        for t in np.arange(n) / n:
            fine.append(pts[i - 1] + t * (pts[i] - pts[i - 1]))
            fw.append(weights[i] / n)
    k = np.zeros((size, size))
    c = size // 2
    for (x, y), wt in zip(fine, fw):
        gx, gy = x + c, y + c
        x0, y0 = int(np.floor(gx)), int(np.floor(gy))
        fx, fy = gx - x0, gy - y0
        for dx, dy, wgt in ((0, 0, (1 - fx) * (1 - fy)), (1, 0, fx * (1 - fy)),
                            (0, 1, (1 - fx) * fy), (1, 1, fx * fy)):
            xx, yy = x0 + dx, y0 + dy
            if 0 <= xx < size and 0 <= yy < size:
                k[yy, xx] += wgt * wt
    k /= k.sum()
    cy, cx = ndimage.center_of_mass(k)
    k = ndimage.shift(k, (c - cy, c - cx), order=1)
    k = np.clip(k, 0, None)
    return k / k.sum()


def grey(path):
    return np.asarray(Image.open(path).convert('RGB'), dtype=np.float64).mean(axis=2)


def extend(b, m):
    """b grown by m on the right and the bottom, fading into its opposite edges along a half
    cosine, so that it is smooth when wrapped."""
    h, w = b.shape
    s = 0.5 - 0.5 * np.cos(np.pi * np.arange(1, m + 1) / (m + 1))
    right = (1 - s)[None, :] * b[:, -1:] + s[None, :] * b[:, :1]
    b = np.hstack([b, right])
    bottom = (1 - s)[:, None] * b[-1:, :] + s[:, None] * b[:1, :]
    return np.vstack([b, bottom])


def restore(b, k, weight, wrap):
    """The least-squares restore with a weight on the squared gradients, by FFT on the
    smoothly extended picture: the same solver for the estimated and the true kernel."""
    h, w = b.shape
    e = b if wrap else extend(b, 2 * k.shape[0])
    H, W = e.shape
    K = np.zeros((H, W))
    c = k.shape[0] // 2
    K[:k.shape[0], :k.shape[1]] = k
    K = np.roll(K, (-c, -c), axis=(0, 1))
    FK = np.fft.fft2(K)
    fy = np.fft.fftfreq(H)[:, None]
    fx = np.fft.fftfreq(W)[None, :]
    D = (2 - 2 * np.cos(2 * np.pi * fx)) + (2 - 2 * np.cos(2 * np.pi * fy))
    X = np.conj(FK) * np.fft.fft2(e) / (np.abs(FK) ** 2 + weight * D)
    return np.real(np.fft.ifft2(X))[:h, :w]


def psnr(a, b):
    return 10 * np.log10(255.0 ** 2 / np.mean((a - b) ** 2))


def aligned_psnr(sharp, restored, reach=3):
    """The PSNR of the restored picture moved by the whole-pixel shift within reach that fits
    the sharp one best, over the sharp picture less a band of reach: a kernel estimated from
    the blurred picture alone is known only up to a shift, which moves the whole restored
    picture without harming it (the published benchmarks of blind deconvolution align so)."""
    h, w = sharp.shape
    inner = sharp[reach:h - reach, reach:w - reach]
    best = -np.inf
    for dy in range(-reach, reach + 1):
        for dx in range(-reach, reach + 1):
            moved = restored[reach + dy:h - reach + dy, reach + dx:w - reach + dx]
            best = max(best, psnr(inner, moved))
    return best


def blur_case(photo, top, left, side_h, side_w, k, wrap, noise, rng):
    m = k.shape[0] // 2 + 1
    if wrap:
        sharp = photo[top:top + side_h, left:left + side_w]
        blurred = ndimage.convolve(sharp, k, mode='wrap')
    else:
        big = photo[top - m:top + side_h + m, left - m:left + side_w + m]
        blurred = ndimage.convolve(big, k, mode='reflect')[m:-m, m:-m]
        sharp = photo[top:top + side_h, left:left + side_w]
    blurred = blurred + rng.normal(scale=noise * 255.0, size=blurred.shape)
    return sharp, np.clip(np.round(blurred), 0, 255)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('--build', default=os.path.join(ROOT, 'build'))
    ap.add_argument('--samples', default='/work/shared/samples')
    ap.add_argument('--kernels', type=int, default=4, help='kernels per photo')
    ap.add_argument('--big', action='store_true', help='add the 1024 x 680 cases')
    ap.add_argument('--only-big', action='store_true', help='the 1024 x 680 cases alone')
    ap.add_argument('--min-kernel', type=int, default=0, help='only the kernels of this size up')
    ap.add_argument('--size', type=int, default=0,
                    help='the largest blur given to the estimate (0: 31, or 45 above 31 px)')
    ap.add_argument('--jobs', type=int, default=1,
                    help='estimates run at once (at most the cores free; times are per case)')
    args = ap.parse_args()
    tool = os.path.join(args.build, 'bench', 'zelvanto_estimate_free_tool')
    if not os.path.exists(tool):
        sys.exit(f'{tool} missing: cmake -DZELVANTO_BUILD_BENCH=ON, build zelvanto_estimate_free_tool')

    photos = [('astronaut', 'astronaut.bmp', 150, 150), ('coffee', 'coffee.jpg', 80, 200),
              ('chelsea', 'chelsea.jpg', 22, 120), ('rocket', 'rocket.jpg', 120, 250)]
    sizes = [13, 19, 23, 27, 31, 35, 41]
    cases = []
    seed = 1
    for name, file, top, left in photos:
        photo = grey(os.path.join(args.samples, file))
        for j in range(args.kernels):
            ks = sizes[(seed * 3) % len(sizes)]
            cases.append((name, photo, top, left, 255, 255, ks, seed))
            seed += 1
    if args.only_big:
        cases = []
    if args.big or args.only_big:
        img = Image.open(os.path.join(args.samples, 'rocket.jpg')).convert('RGB')
        img = img.resize((1024, 683), Image.BICUBIC)
        photo = np.pad(np.asarray(img, dtype=np.float64).mean(axis=2), 48, mode='reflect')
        cases.append(('rocket-1024', photo, 48, 48, 680, 1024, 31, 99))
        # The bundled 1024 x 680 photographs, their edges mirrored for the blur's reach.
        for name, ks, kseed in (('coffee', 31, 100), ('astronaut', 23, 101), ('rocket', 41, 102)):
            photo = np.pad(grey(os.path.join(ROOT, 'samples', f'{name}_1024x680.jpg')), 48,
                           mode='reflect')
            cases.append((f'{name}-1024', photo, 48, 48, 680, 1024, ks, kseed))

    rng = np.random.default_rng(7)
    keep = [c[6] >= args.min_kernel for c in cases]
    # The blurred cases are made in order (the noise drawn from one generator), then estimated
    # by up to --jobs tools at once.
    jobs = []
    for (name, photo, top, left, h, w, ks, kseed), kept in zip(cases, keep):
        k = shake_kernel(ks, kseed)
        for wrap in (True, False):
            for noise in (0.0, 0.01):
                sharp, blurred = blur_case(photo, top, left, h, w, k, wrap, noise, rng)
                size = args.size or (31 if ks <= 31 else 45)
                if kept:
                    jobs.append((name, ks, k, wrap, noise, sharp, blurred, size))

    def run(index):
        name, ks, k, wrap, noise, sharp, blurred, size = jobs[index]
        paths = [os.path.join(tmp, f'{index}{n}') for n in ('b', 'k', 'r', 't', 'rt')]
        write_raw(paths[0], blurred)
        write_raw(paths[3], k)
        out = subprocess.run([tool, paths[0], str(size), paths[1], paths[2], paths[3],
                              paths[4]], capture_output=True, text=True)
        if out.returncode != 0:
            return f'{name:12} {ks:6} failed: {out.stderr.strip()}', None
        fields = out.stdout.split()
        ncc = float(fields[fields.index('ncc') + 1])
        sec = float(fields[fields.index('seconds') + 1])
        pb = psnr(sharp, blurred)
        weight = 3e-3 if noise == 0 else 1e-2
        est = read_raw(paths[1])
        re = np.clip(restore(blurred, est, weight, wrap), 0, 255)
        rt = np.clip(restore(blurred, k, weight, wrap), 0, 255)
        pe, pt = psnr(sharp, re), psnr(sharp, rt)
        ae, at, ab = aligned_psnr(sharp, re), aligned_psnr(sharp, rt), aligned_psnr(sharp, blurred)
        line = (f'{name:12} {ks:6} {"yes" if wrap else "no":>4} {noise * 100:4.0f}% '
                f'{ncc:6.3f} {pb:8.2f} {pe:8.2f} {pt:7.2f} {pe - pt:6.2f} {sec:6.2f} '
                f'{ab:8.2f} {ae:8.2f} {at:7.2f}')
        return line, (ncc, pb, pe, pt, sec, ab, ae, at)

    rows = []
    print(f'{"photo":12} {"kernel":>6} {"wrap":>4} {"noise":>5} {"ncc":>6} {"blurred":>8} '
          f'{"estimate":>8} {"true":>7} {"gap":>6} {"sec":>6} '
          f'{"aligned: blurred":>8} {"estimate":>8} {"true":>7}')
    with tempfile.TemporaryDirectory() as tmp:
        with ThreadPoolExecutor(max_workers=max(1, args.jobs)) as pool:
            for line, row in pool.map(run, range(len(jobs))):
                print(line, flush=True)
                if row is not None:
                    rows.append(row)
    if not rows:
        sys.exit('no case ran')
    a = np.array(rows)
    n = len(a)
    within3 = np.mean(a[:, 2] >= a[:, 3] - 3.0) * 100
    gain = np.mean(a[:, 2] - a[:, 1])
    ncc80 = np.mean(a[:, 0] >= 0.8) * 100
    print(f'\n{n} cases: restored within 3 dB of the true kernel in {within3:.0f} % (aim 60 %); '
          f'{gain:+.2f} dB above the blurred input on average (aim +6); '
          f'NCC >= 0.8 in {ncc80:.0f} % (aim 80 %); mean NCC {a[:, 0].mean():.3f}; '
          f'mean PSNR blurred {a[:, 1].mean():.2f}, estimate {a[:, 2].mean():.2f}, '
          f'true {a[:, 3].mean():.2f} dB; mean estimate {a[:, 4].mean():.2f} s')
    within3a = np.mean(a[:, 6] >= a[:, 7] - 3.0) * 100
    gaina = np.mean(a[:, 6] - a[:, 5])
    print(f'Aligned (the restored picture moved by the best whole-pixel shift within 3 px): '
          f'within 3 dB of the true kernel in {within3a:.0f} %; {gaina:+.2f} dB above the '
          f'blurred input on average; worse than the blurred input in '
          f'{int(np.sum(a[:, 6] < a[:, 5]))} of {n}; mean PSNR blurred {a[:, 5].mean():.2f}, '
          f'estimate {a[:, 6].mean():.2f}, true {a[:, 7].mean():.2f} dB')


if __name__ == '__main__':
    main()
