// The domain a restoration solves on: the picture, or the picture and a margin beyond its
// borders whose pixels are unknown.
#include <algorithm>
#include <cmath>
#include <vector>

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

namespace {

// The kernel's blur along one axis: the largest share of its weight that falls on one
// column (row), and half the extent of the columns (rows) between which its central 98 % lie
// (0 when one column holds 95 %: the kernel does not blur along the axis).
struct CAxisSpread {
    double peakShare = 1.0;
    int32_t reach = 0;
};

CAxisSpread Spread(const CKernel& kernel, bool alongX) {
    const int32_t n = alongX ? kernel.width : kernel.height;
    std::vector<double> marginal(static_cast<size_t>(std::max(n, 1)), 0.0);
    double total = 0.0;
    for (int32_t y = 0; y < kernel.height; ++y)
        for (int32_t x = 0; x < kernel.width; ++x)
            marginal[static_cast<size_t>(alongX ? x : y)] += kernel.At(x, y);
    // A learnt kernel's small values of either sign mostly cancel along a column.
    for (double& m : marginal) {
        m = std::max(m, 0.0);
        total += m;
    }
    CAxisSpread spread;
    if (n <= 0 || total <= 0.0) return spread;
    spread.peakShare = *std::max_element(marginal.begin(), marginal.end()) / total;
    if (spread.peakShare >= 0.95) return spread;
    int32_t first = 0, last = n - 1;
    for (double below = 0.0;
         first < n - 1 && below + marginal[static_cast<size_t>(first)] < 0.01 * total; ++first)
        below += marginal[static_cast<size_t>(first)];
    for (double above = 0.0;
         last > first && above + marginal[static_cast<size_t>(last)] < 0.01 * total; --last)
        above += marginal[static_cast<size_t>(last)];
    spread.reach = std::max<int32_t>(1, (last - first + 1) / 2);
    return spread;
}

// Whether the seam between a picture's last and first column (alongX) or row looks wrapped.
// steps(a, b) sums |column a - column b| over the planes' rows (rows a and b over columns).
template <typename Steps>
bool SeamWraps(int32_t n, int32_t lines, const CAxisSpread& spread, const Steps& steps) {
    // A blur that wrapped smoothed the seam like the rest of the picture, so the step across
    // it is like the steps beside it; a photograph's opposite edges meet in a jump that no
    // blur softened, several times the blurred steps beside it.
    if (spread.reach == 0) return true;  // no blur across this seam: either way is the same
    const double seam = steps(n - 1, 0);
    const double beside = 0.5 * (steps(n - 1, n - 2) + steps(1, 0));
    const double rounding = 0.5 * 3.0 * lines;
    if (seam <= 1.5 * beside + rounding) return true;
    // A small kernel softens a jump across the seam only to its own share of one column: the
    // step across the seam is then that share of the difference between the pixels the
    // kernel's reach away on either side, where a seam no blur crossed keeps the whole jump.
    // A jump too small to be told from the noise says nothing.
    if (spread.reach >= n / 2) return false;
    const double across = steps(n - 1 - spread.reach, spread.reach);
    if (across < 4.0 * 3.0 * lines) return false;
    return seam <= std::sqrt(spread.peakShare) * across;
}

}  // namespace

bool PictureWraps(const CPlanes& input, const CKernel& kernel) {
    const int32_t w = input.width, h = input.height;
    if (w < 8 || h < 8) return false;
    const auto columns = [&](int32_t a, int32_t b) {
        double sum = 0.0;
        for (int32_t c = 0; c < 3; ++c) {
            const double* p = input.Plane(c);
            for (int32_t y = 0; y < h; ++y) {
                const double* row = p + static_cast<size_t>(y) * w;
                sum += std::abs(row[a] - row[b]);
            }
        }
        return sum;
    };
    const auto rows = [&](int32_t a, int32_t b) {
        double sum = 0.0;
        for (int32_t c = 0; c < 3; ++c) {
            const double* ra = input.Plane(c) + static_cast<size_t>(a) * w;
            const double* rb = input.Plane(c) + static_cast<size_t>(b) * w;
            for (int32_t x = 0; x < w; ++x) sum += std::abs(ra[x] - rb[x]);
        }
        return sum;
    };
    return SeamWraps(w, h, Spread(kernel, true), columns) &&
           SeamWraps(h, w, Spread(kernel, false), rows);
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
