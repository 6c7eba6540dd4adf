// The frequency-domain modifications of a centred spectrum: distributions of the
// magnitude, renormalisation, a single frequency, scaled frequencies and a shift.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "fourier/fourier.h"
#include "fourier/fourier_kinds.h"
#include "fourier/parallel_ranges.h"
#include "platform/user_interface.h"

namespace {

// P*P + R2 with R2 an exact integer.
double SofteningSum(double p, int32_t fx, int32_t fy) {
    const int64_t r2 = int64_t{fx} * fx + int64_t{fy} * fy;
    return p * p + static_cast<double>(r2);
}

}  // namespace

double CFourier::DistributionR1(double a, double p, double /*s*/, int32_t fx, int32_t fy) {
    return 1.0 / (a * std::sqrt(SofteningSum(p, fx, fy)));
}

double CFourier::DistributionR2(double a, double p, double /*s*/, int32_t fx, int32_t fy) {
    return 1.0 / (SofteningSum(p, fx, fy) * a);
}

double CFourier::DistributionR3(double a, double p, double /*s*/, int32_t fx, int32_t fy) {
    const double b = 1.0 / SofteningSum(p, fx, fy);
    return b * std::sqrt(b) / a;
}

double CFourier::DistributionE(double a, double p, double /*s*/, int32_t fx, int32_t fy) {
    const double r2 = static_cast<double>(int64_t{fx} * fx + int64_t{fy} * fy);
    return std::exp(-std::sqrt(r2 / (p * p))) / a;
}

double CFourier::DistributionConstant(double a, double /*p*/, double /*s*/, int32_t /*fx*/,
                                      int32_t /*fy*/) {
    return 1.0 / a;
}

double CFourier::DistributionAmplify(double a, double p, double s, int32_t /*fx*/, int32_t /*fy*/) {
    return std::pow(s, p * 0.5) / a;
}

CFourier::Distribution CFourier::DistributionOfKind(int32_t kind) {
    const CFourierKindRow* row = FindFourierKind(kind);
    return row ? row->distribution : nullptr;
}

void CFourier::ApplyDistribution(Complex* spectrum, double p, Distribution distribution) const {
    if (m_planeSize == 0 || distribution == nullptr) return;
    // Each value changes on its own, so the rows (of all three planes) may be shared out.
    ParallelRanges(
        3 * m_height, ThreadCount(), 16 * int64_t{m_width}, [&](int32_t begin, int32_t end) {
            for (int32_t row = begin; row < end; ++row) {
                const int32_t channel = row / m_height;
                const int32_t fy = row % m_height - m_halfHeight;
                Complex* plane = spectrum + static_cast<ptrdiff_t>(channel) * m_planeSize;
                for (int32_t fx = -m_halfWidth; fx < EndX(); ++fx) {
                    if (fx == 0 && fy == 0) continue;
                    Complex& f = plane[FrequencyIndex(fx, fy)];
                    const double s = f.SquaredMagnitude();
                    if (!(s > 1e-20)) continue;
                    f *= distribution(std::sqrt(s), p, s, fx, fy);
                }
            }
        });
}

void CFourier::Normalise(Complex* spectrum, int32_t channel, double mean, double target) const {
    if (m_planeSize == 0 || channel < 0 || channel > 2) return;
    double v = Variation(spectrum, channel);
    if (std::fabs(v) < target * 1e-30) {
        ShowMessage("Too small variation, result set at 1");
        v = 1.0;
    }
    // A flat channel (variation and target both 0) has nothing to scale: its non-zero
    // frequencies stay 0 instead of becoming 0/0.
    const double factor = v == 0.0 ? 0.0 : target / v;
    Complex* plane = spectrum + static_cast<ptrdiff_t>(channel) * m_planeSize;
    const int32_t dc = FrequencyIndex(0, 0);
    for (int32_t i = 0; i < m_planeSize; ++i)
        if (i != dc) plane[i] *= factor;
    plane[dc].re = mean;
}

void CFourier::SetOneFrequency(Complex* spectrum, int32_t fx0, int32_t fy0) const {
    if (m_planeSize == 0) return;
    const bool inside = fx0 >= -m_halfWidth && fx0 < EndX() && fy0 >= -m_halfHeight && fy0 < EndY();
    for (int32_t channel = 0; channel < 3; ++channel) {
        Complex* plane = spectrum + static_cast<ptrdiff_t>(channel) * m_planeSize;
        for (int32_t i = 0; i < m_planeSize; ++i) plane[i] = Complex(0.0, 0.0);
        if (inside) plane[FrequencyIndex(fx0, fy0)] = Complex(1.0, 0.0);
    }
}

void CFourier::ScaleFrequencies(Complex* spectrum, Complex* scratch, int32_t mode) const {
    const int32_t k = mode > 1 ? 3 : 2;
    ShowMessage(Format("ModifyFreq2 Modify %i, Factor %i", mode & 1, k));
    if (m_planeSize == 0) return;
    const bool finer = (mode & 1) != 0;
    for (int32_t channel = 0; channel < 3; ++channel) {
        Complex* plane = spectrum + static_cast<ptrdiff_t>(channel) * m_planeSize;
        std::memcpy(static_cast<void*>(scratch), plane,
                    static_cast<size_t>(m_planeSize) * sizeof(Complex));
        for (int32_t i = 0; i < m_planeSize; ++i) plane[i] = Complex(0.0, 0.0);
        for (int32_t fy = -m_halfHeight; fy < EndY(); ++fy) {
            const int32_t ky = k * fy;
            if (ky < -m_halfHeight || ky >= EndY()) continue;
            for (int32_t fx = -m_halfWidth; fx < EndX(); ++fx) {
                const int32_t kx = k * fx;
                if (kx < -m_halfWidth || kx >= EndX()) continue;
                if (fx == 0 && fy == 0) continue;
                if (finer)
                    plane[FrequencyIndex(kx, ky)] = scratch[FrequencyIndex(fx, fy)];
                else
                    plane[FrequencyIndex(fx, fy)] = scratch[FrequencyIndex(kx, ky)];
            }
        }
    }
}

void CFourier::ShiftPicture(Complex* spectrum, int32_t dx, int32_t dy) const {
    if (m_planeSize == 0) return;
    if (m_length == 0) {
        ShiftPictureOfAnySize(spectrum, dx, dy);
        return;
    }
    // The residue in 64 bits: the same value as in 32 bits wherever that does not
    // overflow, and still right for shifts far outside the picture.
    const int64_t n = m_length;
    for (int32_t channel = 0; channel < 3; ++channel) {
        Complex* plane = spectrum + static_cast<ptrdiff_t>(channel) * m_planeSize;
        for (int32_t fy = -m_halfHeight; fy < EndY(); ++fy) {
            for (int32_t fx = -m_halfWidth; fx < EndX(); ++fx) {
                if (fx == 0 && fy == 0) continue;
                const int64_t c = (int64_t{dx} * fx * m_stepX + int64_t{dy} * fy * m_stepY) % n;
                plane[FrequencyIndex(fx, fy)] *= m_table[(c + n) % n];
            }
        }
    }
}

void CFourier::ShiftPictureOfAnySize(Complex* spectrum, int32_t dx, int32_t dy) const {
    // The factor e^(+2*pi*i*(dx*fx/W + dy*fy/H)), its phase reduced exactly in whole steps
    // of 1/(W*H) before the cosine and sine are taken.
    const int64_t w = m_width, h = m_height, area = w * h;
    const int64_t sx = (int64_t{dx} % w + w) % w;
    const int64_t sy = (int64_t{dy} % h + h) % h;
    const double twoPi = 2.0 * 3.141592653589793;
    for (int32_t fy = -m_halfHeight; fy < EndY(); ++fy) {
        const int64_t ry = ((fy * sy) % h + h) % h;
        for (int32_t fx = -m_halfWidth; fx < EndX(); ++fx) {
            if (fx == 0 && fy == 0) continue;
            const int64_t rx = ((fx * sx) % w + w) % w;
            const double angle =
                twoPi * static_cast<double>((rx * h + ry * w) % area) / static_cast<double>(area);
            const Complex factor(std::cos(angle), std::sin(angle));
            for (int32_t channel = 0; channel < 3; ++channel)
                spectrum[static_cast<ptrdiff_t>(channel) * m_planeSize + FrequencyIndex(fx, fy)] *=
                    factor;
        }
    }
}
