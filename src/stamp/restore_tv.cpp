// Total variation restoration by the alternating direction method of multipliers: the data
// term over the observed pixels only, the blur and the gradients split off so that every
// step is a pointwise formula or a division in the Fourier domain.
#include <algorithm>
#include <cmath>

#include "stamp/restore_parts.h"

namespace {

using Spectrum = CPlaneFftF::Spectrum;

// The prior's weight per grey level of the noise's deviation at 1 % noise, measured best
// over camera shake, defocus and Gaussian blurs of photographs at 0.5 to 1 % noise and
// without noise.
constexpr double kWeightPerNoise = 0.08;
// The weight grows with the noise's variance: kWeightPerNoise x the deviation at this one.
constexpr double kReferenceNoise = 2.55;
// The penalties of the splits: of the blur relative to the data term, of the gradients
// relative to the prior's weight; and the over-relaxation. They set how fast the iterations
// approach the solution, not the solution.
constexpr double kBlurPenalty = 0.1;
constexpr double kGradientPenalty = 1.0;
constexpr float kRelaxation = 1.8f;

}  // namespace

int TvRestore(CRestoreWork& work, const CKernel& kernel, const CRestoreSettings& settings,
              const RestoreProgress& progress, CRestoreReport& report) {
    const int32_t w = work.planes.width, h = work.planes.height;
    const double factor = settings.autoStrength ? kWeightPerNoise : settings.strength;
    // A larger kernel spreads each pixel further, which the iterations take longer to undo.
    const int32_t cap = settings.iterations > 0
                            ? settings.iterations
                            : std::clamp(20 + std::max(kernel.width, kernel.height) / 4, 25, 40);
    const float relax = kRelaxation;
    const double rho1 = kBlurPenalty;
    const double rho2Factor = kGradientPenalty;
    // The iterations start from the automatic Wiener restoration, which is near for small
    // noise, where they would take long to get to.
    CRestoreWork start = work;
    CRestoreSettings wiener = settings;
    wiener.autoStrength = true;
    CRestoreReport ignored;
    const int started = WienerRestore(start, kernel, wiener, {}, ignored);
    if (started != 1) return started;
    std::array<double, 3> weights{};
    auto plane = [&](int32_t c, std::atomic<double>& fraction, const std::atomic<bool>& stop) {
        const double lambda = factor * work.noise[c] * work.noise[c] / kReferenceNoise;
        weights[c] = lambda;
        const double rho2 = std::max(rho2Factor * lambda, 1e-6);
        CPlaneFftF fft(w, h);
        std::vector<Spectrum> k;
        KernelSpectrum(kernel, fft, k);
        const size_t n = fft.Reals();
        const int32_t hw = fft.HalfColumns();
        // The denominators of the x step.
        const double pi = std::acos(-1.0);
        std::vector<float> denominator(fft.Halves());
        for (int32_t v = 0; v < h; ++v)
            for (int32_t u = 0; u < hw; ++u) {
                const size_t i = static_cast<size_t>(v) * hw + u;
                const double d2 = (2.0 - 2.0 * std::cos(2.0 * pi * u / w)) +
                                  (2.0 - 2.0 * std::cos(2.0 * pi * v / h));
                const double den = rho1 * std::norm(k[i]) + rho2 * d2;
                denominator[i] = den > 0.0 ? static_cast<float>(1.0 / den) : 0.0f;
            }
        double* p = work.planes.Plane(c);
        std::vector<float> observed(n), x(n), u(n), a(n, 0.0f), zx(n), zy(n), bx(n, 0.0f),
            by(n, 0.0f), blurred(n);
        std::vector<uint8_t> mask(n, 1);
        for (int32_t yy = 0; yy < h; ++yy)
            for (int32_t xx = 0; xx < w; ++xx) {
                const size_t i = static_cast<size_t>(yy) * w + xx;
                mask[i] = work.Observed(xx, yy) ? 1 : 0;
                observed[i] = static_cast<float>(p[i]);
                x[i] = static_cast<float>(start.planes.Plane(c)[i]);
                u[i] = mask[i] != 0 ? observed[i] : 0.0f;
            }
        auto gradient = [&](const std::vector<float>& f, size_t i, int32_t xx, int32_t yy,
                            float& gx, float& gy) {
            const size_t right = xx + 1 < w ? i + 1 : i + 1 - static_cast<size_t>(w);
            const size_t up = yy + 1 < h ? i + static_cast<size_t>(w) : static_cast<size_t>(xx);
            gx = f[right] - f[i];
            gy = f[up] - f[i];
        };
        for (int32_t yy = 0; yy < h; ++yy)
            for (int32_t xx = 0; xx < w; ++xx) {
                const size_t i = static_cast<size_t>(yy) * w + xx;
                gradient(x, i, xx, yy, zx[i], zy[i]);
            }
        std::vector<Spectrum> first(fft.Halves()), solution(fft.Halves());
        const float norm = 1.0f / static_cast<float>(n);
        {
            // u starts as the blur of x, so that the first x step keeps x.
            float* r = fft.RealData();
            std::copy(x.begin(), x.end(), r);
            fft.Forward();
            for (size_t i = 0; i < fft.Halves(); ++i) fft.Half()[i] *= k[i];
            fft.Inverse();
            for (size_t i = 0; i < n; ++i) u[i] = r[i] * norm;
        }
        const float r1 = static_cast<float>(rho1), r2 = static_cast<float>(rho2);
        const float threshold = static_cast<float>(lambda / rho2);
        float* real = fft.RealData();
        for (int32_t iteration = 0; iteration < cap; ++iteration) {
            // x: (rho1 K'K + rho2 D'D) x = rho1 K'(u - a) + rho2 D'(z - b).
            for (size_t i = 0; i < n; ++i) real[i] = u[i] - a[i];
            fft.Forward();
            std::copy(fft.Half(), fft.Half() + fft.Halves(), first.begin());
            for (int32_t yy = 0; yy < h; ++yy) {
                const size_t row = static_cast<size_t>(yy) * w;
                const size_t below = yy > 0 ? row - w : static_cast<size_t>(h - 1) * w;
                for (int32_t xx = 0; xx < w; ++xx) {
                    const size_t i = row + xx;
                    const size_t left = xx > 0 ? i - 1 : row + w - 1;
                    const size_t down = below + xx;
                    real[i] = (zx[left] - bx[left]) - (zx[i] - bx[i]) + (zy[down] - by[down]) -
                              (zy[i] - by[i]);
                }
            }
            fft.Forward();
            Spectrum* s = fft.Half();
            for (size_t i = 0; i < fft.Halves(); ++i) {
                solution[i] = (r1 * std::conj(k[i]) * first[i] + r2 * s[i]) * denominator[i];
                s[i] = solution[i] * k[i];
            }
            fft.Inverse();
            for (size_t i = 0; i < n; ++i) blurred[i] = real[i] * norm;
            std::copy(solution.begin(), solution.end(), fft.Half());
            fft.Inverse();
            for (size_t i = 0; i < n; ++i) x[i] = real[i] * norm;
            // u: the data term where observed, over-relaxed.
            for (size_t i = 0; i < n; ++i) {
                const float v = relax * blurred[i] + (1.0f - relax) * u[i];
                const float target = v + a[i];
                u[i] = mask[i] != 0 ? (observed[i] + r1 * target) / (1.0f + r1) : target;
                a[i] = target - u[i];
            }
            // z: the gradients shrunk towards 0 by their magnitude.
            for (int32_t yy = 0; yy < h; ++yy)
                for (int32_t xx = 0; xx < w; ++xx) {
                    const size_t i = static_cast<size_t>(yy) * w + xx;
                    float gx, gy;
                    gradient(x, i, xx, yy, gx, gy);
                    gx = relax * gx + (1.0f - relax) * zx[i];
                    gy = relax * gy + (1.0f - relax) * zy[i];
                    const float tx = gx + bx[i], ty = gy + by[i];
                    const float m = std::sqrt(tx * tx + ty * ty);
                    const float keep = m > threshold ? 1.0f - threshold / m : 0.0f;
                    zx[i] = keep * tx;
                    zy[i] = keep * ty;
                    bx[i] = tx - zx[i];
                    by[i] = ty - zy[i];
                }
            fraction = (iteration + 1.0) / cap;
            if (stop) return false;
        }
        for (size_t i = 0; i < n; ++i) p[i] = x[i];
        return true;
    };
    const int result = RunPlanes(plane, progress);
    if (result != 1) return result;
    std::array<double, 3> sorted = weights;
    std::sort(sorted.begin(), sorted.end());
    report.medianStrength = sorted[1];
    report.iterations = cap;
    return 1;
}
