#!/usr/bin/python3
"""scripts/blur_photo.py: its kernel files are read by zelvanto-cli the way they were meant
(orientation and origin), and its blur without wrapping keeps only pixels whose every kernel
tap lay on the photograph.

Usage: blur_photo_test.py ZELVANTO_CLI"""

import os
import subprocess
import sys
import tempfile
import unittest

import numpy as np

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..",
                                "scripts"))
import blur_photo  # noqa: E402

CLI = sys.argv.pop(1) if len(sys.argv) > 1 else None


def lopsided_kernel():
    """A kernel that no flip or shift maps onto itself, its origin off the centre."""
    k = np.zeros((5, 7))
    k[0, 6] = 4.0
    k[1, 1] = 2.0
    k[4, 2] = 1.0
    k[3, 5] = 3.0
    return blur_photo.Kernel(k / k.sum(), (1, 2))


class KernelFile(unittest.TestCase):
    def test_header_and_rows_are_in_the_stamp_layout(self):
        with tempfile.TemporaryDirectory() as tmp:
            path = os.path.join(tmp, "k.stp")
            blur_photo.write_stp(path, lopsided_kernel())
            data = open(path, "rb").read()
            # width, height, peak x, and peak y counted from the bottom row
            self.assertEqual(blur_photo.STP_HEADER.unpack_from(data), (7, 5, 2, 3))
            self.assertEqual(len(data), 16 + 8 * 35)
            first_row = np.frombuffer(data, "<f8", 7, 16)
            self.assertAlmostEqual(first_row[2], 0.1)  # the bottom row on screen
            back = blur_photo.read_stp(path)
            self.assertEqual(back.origin, (1, 2))
            np.testing.assert_array_equal(back.values, lopsided_kernel().values)

    @unittest.skipIf(CLI is None, "no zelvanto-cli given")
    def test_the_command_line_restores_with_the_kernel_it_was_blurred_by(self):
        rng = np.random.default_rng(3)
        sharp = np.repeat(rng.uniform(0, 255, (48, 64, 1)), 3, axis=2)
        kernel = lopsided_kernel()
        blurred = blur_photo.convolve_cyclic(sharp, kernel)
        with tempfile.TemporaryDirectory() as tmp:
            picture = os.path.join(tmp, "blurred.png")
            stp = os.path.join(tmp, "k.stp")
            out = os.path.join(tmp, "restored.png")
            blur_photo.write_picture(picture, blurred)
            blur_photo.write_stp(stp, kernel)
            subprocess.run([CLI, "restore", picture, "--kernel", stp, "--no-taper",
                            "--strength", "1e-4", "-o", out], check=True,
                           capture_output=True)
            restored = blur_photo.read_picture(out)
        error = np.sqrt(np.mean((restored - np.floor(sharp + 0.5)) ** 2))
        before = np.sqrt(np.mean((blurred - sharp) ** 2))
        self.assertLess(error, before / 4)


class Blur(unittest.TestCase):
    def test_without_wrapping_every_pixel_is_the_sum_over_the_photograph(self):
        rng = np.random.default_rng(5)
        photo = rng.uniform(0, 255, (20, 24, 3))
        kernel = lopsided_kernel()
        sharp, blurred = blur_photo.blur(photo, ("stp", ""), kernel, False, 4, 0.0, 0)
        self.assertEqual(sharp.shape, (12, 16, 3))
        oy, ox = kernel.origin
        for y, x in ((0, 0), (11, 15), (5, 9)):
            expected = sum(kernel.values[a, b] * photo[y + 4 - (a - oy), x + 4 - (b - ox), 1]
                           for a in range(5) for b in range(7))
            self.assertEqual(blurred[y, x, 1], np.floor(expected + 0.5))
        with self.assertRaises(ValueError):  # the kernel reaches 4 px: a margin of 3 is short
            blur_photo.blur(photo, ("stp", ""), kernel, False, 3, 0.0, 0)

    def test_shakes_are_seeded_and_keep_the_light(self):
        a, b = blur_photo.shake_kernel(31, 9), blur_photo.shake_kernel(31, 9)
        np.testing.assert_array_equal(a.values, b.values)
        self.assertAlmostEqual(a.values.sum(), 1.0)
        self.assertEqual(a.values.shape, (31, 31))
        rows, cols = np.nonzero(a.values)
        self.assertGreaterEqual(max(np.ptp(rows), np.ptp(cols)), 27)  # it spans the kernel
        self.assertFalse(np.array_equal(a.values, blur_photo.shake_kernel(31, 10).values))


if __name__ == "__main__":
    unittest.main()
