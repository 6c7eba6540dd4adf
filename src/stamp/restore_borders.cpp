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
    // Summed over the planes: the steps across the seam between the last and the first
    // column (row), and the mean of the steps beside it on either side.
    double seamX = 0.0, besideX = 0.0, seamY = 0.0, besideY = 0.0;
    for (int32_t c = 0; c < 3; ++c) {
        const double* p = input.Plane(c);
        for (int32_t y = 0; y < h; ++y) {
            const double* row = p + static_cast<size_t>(y) * w;
            seamX += std::abs(row[w - 1] - row[0]);
            besideX += 0.5 * (std::abs(row[w - 1] - row[w - 2]) + std::abs(row[1] - row[0]));
        }
        const double* first = p;
        const double* second = p + w;
        const double* last = p + static_cast<size_t>(h - 1) * w;
        const double* beforeLast = last - w;
        for (int32_t x = 0; x < w; ++x) {
            seamY += std::abs(last[x] - first[x]);
            besideY += 0.5 * (std::abs(last[x] - beforeLast[x]) + std::abs(second[x] - first[x]));
        }
    }
    // A blur that wrapped smoothed the seams like the rest of the picture, so the step across
    // a seam is like the steps beside it; a photograph's opposite edges meet in a jump that
    // no blur softened, several times the blurred steps beside it.
    const double floor = 0.5 * 3.0 * (w + h);  // rounding alone
    return seamX <= 1.5 * besideX + floor * h / (w + h) &&
           seamY <= 1.5 * besideY + floor * w / (w + h);
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
