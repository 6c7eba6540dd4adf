// The domain a restoration solves on: the picture, or the picture and a margin beyond its
// borders whose pixels are unknown.
#include <algorithm>
#include <cmath>

#include "stamp/restore_parts.h"

namespace {

// The picture extended to work x workHeight: beyond its right edge each row fades from its
// last pixel to its first, beyond its top each column from its last row to its first, along
// a half cosine, so the extended picture continues smoothly across every edge when wrapped.
void ExtendWithTaper(const CPlanes& input, int32_t workWidth, int32_t workHeight, CPlanes& work) {
    const int32_t w = input.width, h = input.height;
    const int32_t ex = workWidth - w, ey = workHeight - h;
    const double pi = std::acos(-1.0);
    for (int32_t c = 0; c < 3; ++c) {
        const double* in = input.Plane(c);
        double* out = work.Plane(c);
        for (int32_t y = 0; y < h; ++y) {
            const double* row = in + static_cast<size_t>(y) * w;
            double* to = out + static_cast<size_t>(y) * workWidth;
            std::copy(row, row + w, to);
            for (int32_t j = 0; j < ex; ++j) {
                const double s = 0.5 - 0.5 * std::cos(pi * (j + 1) / (ex + 1));
                to[w + j] = (1.0 - s) * row[w - 1] + s * row[0];
            }
        }
        const double* last = out + static_cast<size_t>(h - 1) * workWidth;
        for (int32_t j = 0; j < ey; ++j) {
            const double s = 0.5 - 0.5 * std::cos(pi * (j + 1) / (ey + 1));
            double* to = out + static_cast<size_t>(h + j) * workWidth;
            for (int32_t x = 0; x < workWidth; ++x) to[x] = (1.0 - s) * last[x] + s * out[x];
        }
    }
}

}  // namespace

int32_t FastSize(int32_t n) {
    for (int32_t m = std::max(n, 2);; ++m) {
        if ((m & 1) != 0) continue;
        int32_t r = m;
        for (int32_t p : {2, 3, 5, 7})
            while (r % p == 0) r /= p;
        if (r == 1) return m;
    }
}

bool PictureWraps(const CPlanes& input) {
    const int32_t w = input.width, h = input.height;
    if (w < 8 || h < 8) return false;
    // Mean absolute differences summed over the planes: across the seam between the last
    // and the first column (row), and between neighbouring columns (rows) inside.
    double seamX = 0.0, insideX = 0.0, seamY = 0.0, insideY = 0.0;
    for (int32_t c = 0; c < 3; ++c) {
        const double* p = input.Plane(c);
        for (int32_t y = 0; y < h; ++y) {
            const double* row = p + static_cast<size_t>(y) * w;
            seamX += std::abs(row[w - 1] - row[0]);
            for (int32_t x = 1; x < w; ++x) insideX += std::abs(row[x] - row[x - 1]);
        }
        const double* first = p;
        const double* last = p + static_cast<size_t>(h - 1) * w;
        for (int32_t x = 0; x < w; ++x) seamY += std::abs(last[x] - first[x]);
        for (int32_t y = 1; y < h; ++y)
            for (int32_t x = 0; x < w; ++x)
                insideY += std::abs(p[static_cast<size_t>(y) * w + x] -
                                    p[static_cast<size_t>(y - 1) * w + x]);
    }
    seamX /= h;
    insideX /= static_cast<double>(h) * (w - 1);
    seamY /= w;
    insideY /= static_cast<double>(w) * (h - 1);
    // A picture whose blur wrapped continues across its seams as it does inside; the opposite
    // edges of a photograph differ several times more than neighbouring pixels.
    const double floor = 0.5;  // rounding alone
    return seamX <= 1.5 * insideX + floor && seamY <= 1.5 * insideY + floor;
}

void MakeWorkDomain(const CPlanes& input, const CKernel& kernel, bool cyclic, CRestoreWork& work) {
    work.observedWidth = input.width;
    work.observedHeight = input.height;
    work.cyclic = cyclic;
    if (cyclic) {
        work.planes = input;
        return;
    }
    // The margin holds the kernel's whole reach in both directions, so that no observed pixel
    // is blurred from an estimate on the far side of the picture.
    const int32_t workWidth = FastSize(input.width + kernel.width + 8);
    const int32_t workHeight = FastSize(input.height + kernel.height + 8);
    if (!work.planes.Allocate(workWidth, workHeight)) throw std::bad_alloc();
    ExtendWithTaper(input, workWidth, workHeight, work.planes);
}
