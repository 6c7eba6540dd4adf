// Wiener deconvolution: the sharp picture's power modelled by a power law in the frequency
// radius, the noise's from the picture.
#include <algorithm>
#include <cmath>

#include "stamp/restore_parts.h"

namespace {

// Passes over a domain with unknown margins: each fills the margin with the blur of the
// previous estimate, so that the observed pixels alone decide the restoration.
constexpr int32_t kMarginPasses = 6;

// The noise-to-signal ratio for every frequency of one plane's half spectrum Y blurred by K,
// noise of deviation sigma. The sharp picture's power is taken as A / r^beta in the frequency
// radius r, fitted by least squares of the logarithms over rings of equal radius, with
// (mean |Y|^2 - noise) / mean |K|^2 over the frequencies of each ring where |K| is not small
// and the signal stands clear of the noise.
void AutomaticStrength(CPlaneFftD& fft, const Complex* y, const std::vector<Complex>& k,
                       double sigma, std::vector<double>& ratio) {
    const int32_t w = fft.Width(), h = fft.Height(), hw = fft.HalfColumns();
    const double noise = static_cast<double>(w) * h * sigma * sigma;
    const double scale = static_cast<double>(std::max(w, h));
    auto radiusOf = [&](int32_t u, int32_t v) {
        const double fu = static_cast<double>(u) / w;
        const double fv = static_cast<double>(v <= h / 2 ? v : v - h) / h;
        return std::sqrt(fu * fu + fv * fv);
    };
    const double gain0 = k[0].SquaredMagnitude();
    const size_t rings = static_cast<size_t>(scale) + 2;
    std::vector<double> power(rings, 0.0), gain(rings, 0.0), count(rings, 0.0);
    for (int32_t v = 0; v < h; ++v)
        for (int32_t u = 0; u < hw; ++u) {
            const size_t i = static_cast<size_t>(v) * hw + u;
            const double g = k[i].SquaredMagnitude();
            if (g < 0.1 * gain0) continue;
            const size_t r = static_cast<size_t>(radiusOf(u, v) * scale);
            power[r] += y[i].SquaredMagnitude();
            gain[r] += g;
            count[r] += 1.0;
        }
    // Weighted least squares of log S = a - beta log r.
    double sw = 0.0, sx = 0.0, sy = 0.0, sxx = 0.0, sxy = 0.0;
    for (size_t r = 1; r < rings; ++r) {
        if (count[r] == 0.0) continue;
        const double meanPower = power[r] / count[r];
        if (!(meanPower > 2.0 * noise)) continue;
        const double signal = (meanPower - noise) / (gain[r] / count[r]);
        const double lx = std::log((static_cast<double>(r) + 0.5) / scale), ly = std::log(signal);
        const double wt = count[r];
        sw += wt;
        sx += wt * lx;
        sy += wt * ly;
        sxx += wt * lx * lx;
        sxy += wt * lx * ly;
    }
    double beta = 2.0, a = 0.0;
    if (sw > 0.0) {
        const double det = sw * sxx - sx * sx;
        if (det > 1e-9 * sw * sw) beta = -(sw * sxy - sx * sy) / det;
        beta = std::clamp(beta, 1.0, 4.0);
        a = (sy + beta * sx) / sw;
    } else {
        // No ring stands clear of the noise: the picture's power is the noise's.
        a = std::log(noise) + beta * std::log(0.5);
    }
    ratio.resize(fft.Halves());
    for (int32_t v = 0; v < h; ++v)
        for (int32_t u = 0; u < hw; ++u) {
            const double r = radiusOf(u, v);
            const double value = r == 0.0 ? 0.0 : noise * std::exp(beta * std::log(r) - a);
            ratio[static_cast<size_t>(v) * hw + u] = std::min(value, 1e12);
        }
}

}  // namespace

int WienerRestore(CRestoreWork& work, const CKernel& kernel, const CRestoreSettings& settings,
                  const RestoreProgress& progress, CRestoreReport& report) {
    const int32_t w = work.planes.width, h = work.planes.height;
    std::array<double, 3> medians{};
    const int32_t passes = work.cyclic ? 1 : kMarginPasses;
    auto plane = [&](int32_t c, std::atomic<double>& fraction, const std::atomic<bool>& stop) {
        CPlaneFftD fft(w, h);
        std::vector<Complex> k;
        KernelSpectrum(kernel, fft, k);
        std::vector<double> ratio(fft.Halves(), settings.strength);
        std::vector<Complex> restored(fft.Halves());
        const double norm = 1.0 / static_cast<double>(fft.Reals());
        double* p = work.planes.Plane(c);
        const std::vector<double> observed(p, p + work.planes.PlaneSize());
        double* real = fft.RealData();
        std::copy(observed.begin(), observed.end(), real);
        for (int32_t pass = 0; pass < passes; ++pass) {
            fft.Forward();
            Complex* y = fft.Half();
            if (pass == 0 && settings.autoStrength) {
                AutomaticStrength(fft, y, k, work.noise[c], ratio);
                std::vector<double> sorted = ratio;
                std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
                medians[c] = sorted[sorted.size() / 2];
            }
            for (size_t i = 0; i < fft.Halves(); ++i) {
                const double d = k[i].SquaredMagnitude() + ratio[i];
                restored[i] =
                    d > 0.0 ? Complex(k[i].re, -k[i].im) * y[i] * (1.0 / d) : Complex(0.0, 0.0);
            }
            if (pass + 1 < passes) {
                // The margin becomes the blur of this estimate.
                for (size_t i = 0; i < fft.Halves(); ++i) y[i] = restored[i] * k[i];
                fft.Inverse();
                for (int32_t yy = 0; yy < h; ++yy)
                    for (int32_t x = 0; x < w; ++x) {
                        const size_t i = static_cast<size_t>(yy) * w + x;
                        real[i] = work.Observed(x, yy) ? observed[i] : real[i] * norm;
                    }
            }
            fraction = (pass + 1.0) / passes;
            if (stop) return false;
        }
        std::copy(restored.begin(), restored.end(), fft.Half());
        fft.Inverse();
        for (size_t i = 0; i < work.planes.PlaneSize(); ++i) p[i] = real[i] * norm;
        return true;
    };
    const int result = RunPlanes(plane, progress);
    if (result != 1) return result;
    std::sort(medians.begin(), medians.end());
    report.medianStrength = settings.autoStrength ? medians[1] : settings.strength;
    return 1;
}
