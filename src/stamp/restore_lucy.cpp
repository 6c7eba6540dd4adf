// Richardson-Lucy iterations, accelerated by extrapolating along the last steps
// (Biggs-Andrews), with the observed pixels alone in the likelihood. They stop when the blur
// of the estimate differs from the picture by no more than its noise, or when an iteration
// changes the estimate by less than 0.2 %.
#include <algorithm>
#include <cmath>

#include "platform/user_interface.h"
#include "stamp/restore_parts.h"

namespace {

using Spectrum = CPlaneFftF::Spectrum;

// out = the cyclic blur of in by the kernel spectrum k (conjugated when adjoint).
void Convolve(CPlaneFftF& fft, const std::vector<Spectrum>& k, bool adjoint, const float* in,
              float* out) {
    std::copy(in, in + fft.Reals(), fft.RealData());
    fft.Forward();
    Spectrum* s = fft.Half();
    for (size_t i = 0; i < fft.Halves(); ++i) s[i] *= adjoint ? std::conj(k[i]) : k[i];
    fft.Inverse();
    const float norm = 1.0f / static_cast<float>(fft.Reals());
    const float* r = fft.RealData();
    for (size_t i = 0; i < fft.Reals(); ++i) out[i] = r[i] * norm;
}

}  // namespace

int LucyRestore(CRestoreWork& work, const CKernel& kernel, const CRestoreSettings& settings,
                const RestoreProgress& progress, CRestoreReport& report) {
    CKernel positive = kernel;
    double sum = 0.0;
    for (double& v : positive.values) {
        v = std::max(v, 0.0);
        sum += v;
    }
    if (!(sum > 0.0)) {
        ShowMessage("Richardson-Lucy needs a kernel with positive values.");
        return 0;
    }
    for (double& v : positive.values) v /= sum;
    const int32_t w = work.planes.width, h = work.planes.height;
    const int32_t cap = settings.iterations > 0
                            ? settings.iterations
                            : std::min(20 + 4 * std::max(kernel.width, kernel.height), 400);
    std::array<int32_t, 3> used{};
    auto plane = [&](int32_t c, std::atomic<double>& fraction, const std::atomic<bool>& stop) {
        CPlaneFftF fft(w, h);
        std::vector<Spectrum> k;
        KernelSpectrum(positive, fft, k);
        const size_t n = fft.Reals();
        double* p = work.planes.Plane(c);
        std::vector<float> observed(n, 0.0f), weight(n, 1.0f), x(n), previous(n), y(n), blurred(n),
            step(n, 0.0f), lastStep(n, 0.0f);
        std::vector<uint8_t> mask(n, 1);
        for (int32_t yy = 0; yy < h; ++yy)
            for (int32_t xx = 0; xx < w; ++xx) {
                const size_t i = static_cast<size_t>(yy) * w + xx;
                mask[i] = work.Observed(xx, yy) ? 1 : 0;
                observed[i] = mask[i] != 0 ? static_cast<float>(std::max(p[i], 0.0)) : 0.0f;
                x[i] = static_cast<float>(std::max(p[i], 0.5));
            }
        if (!work.cyclic) {
            // The adjoint blur of the mask: how much of each pixel's light reaches the
            // observed pixels, the likelihood's normaliser.
            std::vector<float> m(mask.begin(), mask.end());
            Convolve(fft, k, true, m.data(), weight.data());
        }
        previous = x;
        const double observedCount = static_cast<double>(work.observedWidth) * work.observedHeight;
        const double noiseVariance = work.noise[c] * work.noise[c];
        double alpha = 0.0;
        int32_t iteration = 0;
        while (iteration < cap) {
            for (size_t i = 0; i < n; ++i)
                y[i] = std::max(x[i] + static_cast<float>(alpha) * (x[i] - previous[i]), 1e-3f);
            Convolve(fft, k, false, y.data(), blurred.data());
            double residual = 0.0;
            for (size_t i = 0; i < n; ++i) {
                if (mask[i] != 0) {
                    const double d = static_cast<double>(blurred[i]) - observed[i];
                    residual += d * d;
                }
                blurred[i] = mask[i] != 0 ? observed[i] / std::max(blurred[i], 1e-3f) : 0.0f;
            }
            // Once the estimate explains the picture down to its noise, further iterations
            // fit the noise.
            if (residual <= noiseVariance * observedCount) break;
            Convolve(fft, k, true, blurred.data(), blurred.data());
            double change = 0.0, size = 0.0, along = 0.0, last = 0.0;
            previous.swap(x);
            for (size_t i = 0; i < n; ++i) {
                const float next = weight[i] > 1e-3f ? y[i] * blurred[i] / weight[i] : y[i];
                step[i] = next - y[i];
                along += static_cast<double>(step[i]) * lastStep[i];
                last += static_cast<double>(lastStep[i]) * lastStep[i];
                x[i] = next;
                if (mask[i] != 0) {
                    const double d = next - previous[i];
                    change += d * d;
                    size += static_cast<double>(next) * next;
                }
            }
            step.swap(lastStep);
            ++iteration;
            alpha = iteration > 1 && last > 0.0 ? std::clamp(along / last, 0.0, 0.95) : 0.0;
            fraction = static_cast<double>(iteration) / cap;
            if (stop) return false;
            if (size > 0.0 && std::sqrt(change / size) < kLucyRelativeChange) break;
        }
        for (size_t i = 0; i < n; ++i) p[i] = x[i];
        used[c] = iteration;
        return true;
    };
    const int result = RunPlanes(plane, progress);
    if (result != 1) return result;
    report.iterations = *std::max_element(used.begin(), used.end());
    return 1;
}
