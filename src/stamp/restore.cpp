#include "stamp/restore.h"

#include <fftw3.h>

#include <Eigen/Cholesky>
#include <Eigen/Core>
#include <algorithm>
#include <cmath>
#include <limits>
#include <new>

#include "fourier/complex.h"
#include "fourier/fft_engine.h"
#include "fourier/fourier.h"
#include "platform/memory_block.h"
#include "platform/user_interface.h"

namespace {

// One real W x H plane and its half spectrum of H x (W/2 + 1) complex values, with FFTW's
// unnormalised transforms in both directions: Inverse(Forward(p)) = W * H * p. The inverse
// overwrites the half spectrum.
class CPlaneFft {
public:
    CPlaneFft(int32_t width, int32_t height)
        : m_width(width), m_height(height), m_halfColumns(width / 2 + 1) {
        const size_t reals = static_cast<size_t>(width) * static_cast<size_t>(height);
        const size_t halves = static_cast<size_t>(height) * static_cast<size_t>(m_halfColumns);
        auto lock = LockFftwPlanner(1);
        m_real = static_cast<double*>(fftw_malloc(reals * sizeof(double)));
        m_half = static_cast<fftw_complex*>(fftw_malloc(halves * sizeof(fftw_complex)));
        if (m_real != nullptr && m_half != nullptr) {
            m_forward = fftw_plan_dft_r2c_2d(height, width, m_real, m_half, FFTW_ESTIMATE);
            m_inverse = fftw_plan_dft_c2r_2d(height, width, m_half, m_real, FFTW_ESTIMATE);
        }
        if (m_forward == nullptr || m_inverse == nullptr) {
            Release();
            throw std::bad_alloc();
        }
    }
    ~CPlaneFft() {
        auto lock = LockFftwPlanner(1);
        Release();
    }
    CPlaneFft(const CPlaneFft&) = delete;
    CPlaneFft& operator=(const CPlaneFft&) = delete;

    int32_t Width() const { return m_width; }
    int32_t Height() const { return m_height; }
    int32_t HalfColumns() const { return m_halfColumns; }
    size_t Reals() const { return static_cast<size_t>(m_width) * static_cast<size_t>(m_height); }
    size_t Halves() const {
        return static_cast<size_t>(m_height) * static_cast<size_t>(m_halfColumns);
    }
    double* Real() { return m_real; }
    Complex* Half() { return reinterpret_cast<Complex*>(m_half); }
    void Forward() { fftw_execute(m_forward); }
    void Inverse() { fftw_execute(m_inverse); }

private:
    void Release() {
        if (m_forward != nullptr) fftw_destroy_plan(m_forward);
        if (m_inverse != nullptr) fftw_destroy_plan(m_inverse);
        fftw_free(m_real);
        fftw_free(m_half);
        m_forward = m_inverse = nullptr;
        m_real = nullptr;
        m_half = nullptr;
    }

    int32_t m_width, m_height, m_halfColumns;
    double* m_real = nullptr;
    fftw_complex* m_half = nullptr;
    fftw_plan m_forward = nullptr;
    fftw_plan m_inverse = nullptr;
};

int32_t Wrap(int32_t v, int32_t n) {
    const int32_t r = v % n;
    return r < 0 ? r + n : r;
}

bool Report(const RestoreProgress& progress, double fraction) {
    return !progress || progress(fraction);
}

bool AllFinite(const std::vector<double>& values) {
    for (double v : values)
        if (!std::isfinite(v)) return false;
    return true;
}

// The half spectrum of the kernel laid cyclically on a W x H grid with its peak at (0, 0).
void KernelSpectrum(const CKernel& kernel, CPlaneFft& fft, std::vector<Complex>& spectrum) {
    const int32_t w = fft.Width(), h = fft.Height();
    std::fill(fft.Real(), fft.Real() + fft.Reals(), 0.0);
    for (int32_t y = 0; y < kernel.height; ++y)
        for (int32_t x = 0; x < kernel.width; ++x) {
            const int32_t gx = Wrap(x - kernel.peakX, w), gy = Wrap(y - kernel.peakY, h);
            fft.Real()[static_cast<size_t>(gy) * static_cast<size_t>(w) + gx] += kernel.At(x, y);
        }
    fft.Forward();
    spectrum.assign(fft.Half(), fft.Half() + fft.Halves());
}

// The smallest size of at least n that is even and has no prime factor above 7, which
// FFTW transforms fastest.
int32_t FastSize(int32_t n) {
    for (int32_t m = std::max(n, 2);; ++m) {
        if ((m & 1) != 0) continue;
        int32_t r = m;
        for (int32_t p : {2, 3, 5, 7})
            while (r % p == 0) r /= p;
        if (r == 1) return m;
    }
}

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

// The noise-to-signal ratio for every frequency of one plane's half spectrum Y blurred by
// K: the plane's noise is rounding noise, of power W * H / 12 at every frequency; the sharp
// picture's power S is taken as one value per ring of equal frequency radius, the least
// squares fit of |Y|^2 = |K|^2 S + noise over the ring. The ratio is noise / S.
void AutomaticStrength(const CPlaneFft& fft, const Complex* y, const std::vector<Complex>& k,
                       std::vector<double>& ratio) {
    const int32_t w = fft.Width(), h = fft.Height(), hw = fft.HalfColumns();
    const double noise = static_cast<double>(w) * h * kRoundingNoiseVariance;
    const double scale = static_cast<double>(std::max(w, h));
    auto ringOf = [&](int32_t u, int32_t v) {
        const double fu = static_cast<double>(u) / w;
        const double fv = static_cast<double>(v <= h / 2 ? v : v - h) / h;
        return static_cast<size_t>(std::sqrt(fu * fu + fv * fv) * scale);
    };
    const size_t rings = static_cast<size_t>(scale) + 2;
    std::vector<double> observed(rings, 0.0), gain(rings, 0.0);
    for (int32_t v = 0; v < h; ++v)
        for (int32_t u = 0; u < hw; ++u) {
            const size_t i = static_cast<size_t>(v) * hw + u;
            const size_t r = ringOf(u, v);
            observed[r] += y[i].SquaredMagnitude() - noise;
            gain[r] += k[i].SquaredMagnitude();
        }
    std::vector<double> ringRatio(rings, 0.0);
    for (size_t r = 0; r < rings; ++r) {
        const double signal = gain[r] > 0.0 ? std::max(observed[r], 0.0) / gain[r] : 0.0;
        ringRatio[r] = signal > noise * 1e-12 ? std::min(noise / signal, 1e12) : 1e12;
    }
    ratio.resize(fft.Halves());
    for (int32_t v = 0; v < h; ++v)
        for (int32_t u = 0; u < hw; ++u)
            ratio[static_cast<size_t>(v) * hw + u] = ringRatio[ringOf(u, v)];
}

// Wiener deconvolution of the three planes of work in place.
int WienerPlanes(CPlanes& work, const CKernel& kernel, const CRestoreSettings& settings,
                 const RestoreProgress& progress, double& medianStrength) {
    CPlaneFft fft(work.width, work.height);
    std::vector<Complex> k;
    KernelSpectrum(kernel, fft, k);
    std::vector<double> ratio(fft.Halves(), settings.strength), medians;
    const double norm = 1.0 / static_cast<double>(fft.Reals());
    for (int32_t c = 0; c < 3; ++c) {
        double* plane = work.Plane(c);
        std::copy(plane, plane + work.PlaneSize(), fft.Real());
        fft.Forward();
        Complex* y = fft.Half();
        if (settings.autoStrength) {
            AutomaticStrength(fft, y, k, ratio);
            std::vector<double> sorted = ratio;
            std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
            medians.push_back(sorted[sorted.size() / 2]);
        }
        for (size_t i = 0; i < fft.Halves(); ++i) {
            const double d = k[i].SquaredMagnitude() + ratio[i];
            y[i] = d > 0.0 ? Complex(k[i].re, -k[i].im) * y[i] * (1.0 / d) : Complex(0.0, 0.0);
        }
        fft.Inverse();
        for (size_t i = 0; i < work.PlaneSize(); ++i) plane[i] = fft.Real()[i] * norm;
        if (!Report(progress, (c + 1) / 3.0)) return kRestoreCancelled;
    }
    if (settings.autoStrength) {
        std::sort(medians.begin(), medians.end());
        medianStrength = medians[1];
    } else {
        medianStrength = settings.strength;
    }
    return 1;
}

// Richardson-Lucy iterations on the three planes of work in place, with the kernel's
// positive part normalised to sum 1.
int LucyPlanes(CPlanes& work, const CKernel& kernel, int32_t iterations,
               const RestoreProgress& progress) {
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
    CPlaneFft fft(work.width, work.height);
    std::vector<Complex> k;
    KernelSpectrum(positive, fft, k);
    const size_t n = work.PlaneSize();
    const double norm = 1.0 / static_cast<double>(fft.Reals());
    std::vector<double> observed(n), estimate(n);
    for (int32_t c = 0; c < 3; ++c) {
        double* plane = work.Plane(c);
        for (size_t i = 0; i < n; ++i) observed[i] = std::max(plane[i], 0.0);
        estimate = observed;
        for (int32_t it = 0; it < iterations; ++it) {
            std::copy(estimate.begin(), estimate.end(), fft.Real());
            fft.Forward();
            for (size_t i = 0; i < fft.Halves(); ++i) fft.Half()[i] = fft.Half()[i] * k[i];
            fft.Inverse();
            for (size_t i = 0; i < n; ++i) {
                const double blurred = fft.Real()[i] * norm;
                fft.Real()[i] = blurred > 1e-12 ? observed[i] / blurred : 0.0;
            }
            fft.Forward();
            for (size_t i = 0; i < fft.Halves(); ++i)
                fft.Half()[i] = fft.Half()[i] * Complex(k[i].re, -k[i].im);
            fft.Inverse();
            for (size_t i = 0; i < n; ++i) estimate[i] *= std::max(fft.Real()[i] * norm, 0.0);
            if (!Report(progress, (c * iterations + it + 1) / (3.0 * iterations)))
                return kRestoreCancelled;
        }
        std::copy(estimate.begin(), estimate.end(), plane);
    }
    return 1;
}

}  // namespace

bool CPlanes::Allocate(int32_t w, int32_t h) {
    try {
        values.assign(3 * static_cast<size_t>(w) * static_cast<size_t>(h), 0.0);
    } catch (const std::bad_alloc&) {
        values.clear();
        width = height = 0;
        return false;
    }
    width = w;
    height = h;
    return true;
}

int PlanesFromPicture(const DibHandle& dib, CPlanes& planes) {
    if (!IsWholePicture(dib)) {
        ShowMessage("There is no picture to restore.");
        return 0;
    }
    const PictureDescription d = DescribePicture(dib.Data());
    if (d.bitCount != 24) {
        ShowMessage("Only 24-bit pictures can be restored.");
        return 0;
    }
    if (!planes.Allocate(d.size.cx, d.size.cy)) {
        ShowMessage("Could not allocate memory for restoring");
        return 0;
    }
    const int32_t stride = RowBytes(d.size.cx * 24);
    const uint8_t* pixels = dib.Data() + d.pixelOffset;
    for (int32_t c = 0; c < 3; ++c) {
        double* plane = planes.Plane(c);
        for (int32_t y = 0; y < d.size.cy; ++y)
            for (int32_t x = 0; x < d.size.cx; ++x)
                plane[static_cast<size_t>(y) * d.size.cx + x] =
                    pixels[static_cast<size_t>(y) * stride + 3 * static_cast<size_t>(x) + c];
    }
    return 1;
}

int PlanesToPicture(const CPlanes& planes, DibHandle& dib) {
    if (!IsWholePicture(dib)) {
        ShowMessage("There is no picture to restore.");
        return 0;
    }
    const PictureDescription d = DescribePicture(dib.Data());
    if (d.bitCount != 24 || d.size.cx != planes.width || d.size.cy != planes.height ||
        planes.IsEmpty()) {
        ShowMessage("The restored planes do not fit the picture.");
        return 0;
    }
    const int32_t stride = RowBytes(d.size.cx * 24);
    uint8_t* pixels = dib.Data() + d.pixelOffset;
    for (int32_t c = 0; c < 3; ++c) {
        const double* plane = planes.Plane(c);
        for (int32_t y = 0; y < d.size.cy; ++y)
            for (int32_t x = 0; x < d.size.cx; ++x)
                pixels[static_cast<size_t>(y) * stride + 3 * static_cast<size_t>(x) + c] =
                    ByteFromReal(plane[static_cast<size_t>(y) * d.size.cx + x]);
    }
    return 1;
}

int LearnKernel(const CPlanes& good, const CPlanes& blurred, int32_t size, CKernel& kernel,
                const RestoreProgress& progress) {
    if (good.IsEmpty() || blurred.IsEmpty()) {
        ShowMessage("Learning a kernel needs a Good and a Blurred picture.");
        return 0;
    }
    if (good.width != blurred.width || good.height != blurred.height) {
        ShowMessage(Format("The Good and the Blurred picture differ in size: %i x %i and %i x %i.",
                           good.width, good.height, blurred.width, blurred.height));
        return 0;
    }
    if (size < 1 || size > kMaxKernelSize) {
        ShowMessage(Format("The kernel size must be 1 to %i, not %i.", kMaxKernelSize, size));
        return 0;
    }
    const int32_t w = good.width, h = good.height;
    if (size > w || size > h) {
        ShowMessage(
            Format("The kernel (%i x %i) is larger than the picture (%i x %i).", size, size, w, h));
        return 0;
    }
    if (!AllFinite(good.values) || !AllFinite(blurred.values)) {
        ShowMessage("The example pictures hold values that are not finite numbers.");
        return 0;
    }
    try {
        // Normal equations of min sum (B - K * G)^2 over the planes: for every pair of
        // offsets d, e of the support, sum over e of R(d - e) K(e) = C(d), with R the
        // Good planes' cyclic autocorrelation and C the cross-correlation of Blurred with
        // Good, both summed over the planes and computed by FFT.
        CPlaneFft fft(w, h);
        std::vector<Complex> power(fft.Halves(), Complex(0.0, 0.0)), cross = power;
        std::vector<Complex> g(fft.Halves());
        for (int32_t c = 0; c < 3; ++c) {
            std::copy(good.Plane(c), good.Plane(c) + good.PlaneSize(), fft.Real());
            fft.Forward();
            std::copy(fft.Half(), fft.Half() + fft.Halves(), g.begin());
            std::copy(blurred.Plane(c), blurred.Plane(c) + blurred.PlaneSize(), fft.Real());
            fft.Forward();
            const Complex* b = fft.Half();
            for (size_t i = 0; i < fft.Halves(); ++i) {
                const Complex gc(g[i].re, -g[i].im);
                power[i] += g[i] * gc;
                cross[i] += b[i] * gc;
            }
        }
        const double norm = 1.0 / static_cast<double>(fft.Reals());
        std::copy(power.begin(), power.end(), fft.Half());
        fft.Inverse();
        std::vector<double> auto_(fft.Real(), fft.Real() + fft.Reals());
        std::copy(cross.begin(), cross.end(), fft.Half());
        fft.Inverse();
        std::vector<double> crossReal(fft.Real(), fft.Real() + fft.Reals());
        for (double& v : auto_) v *= norm;
        for (double& v : crossReal) v *= norm;
        if (!Report(progress, 0.1)) return kRestoreCancelled;

        const int32_t half = size / 2;
        const Eigen::Index n = static_cast<Eigen::Index>(size) * size;
        Eigen::MatrixXd a(n, n);
        Eigen::VectorXd rhs(n);
        auto at = [&](const std::vector<double>& r, int32_t dx, int32_t dy) {
            return r[static_cast<size_t>(Wrap(dy, h)) * static_cast<size_t>(w) + Wrap(dx, w)];
        };
        for (Eigen::Index i = 0; i < n; ++i) {
            const int32_t dxi = static_cast<int32_t>(i % size) - half;
            const int32_t dyi = static_cast<int32_t>(i / size) - half;
            rhs(i) = at(crossReal, dxi, dyi);
            for (Eigen::Index j = 0; j <= i; ++j) {
                const int32_t dxj = static_cast<int32_t>(j % size) - half;
                const int32_t dyj = static_cast<int32_t>(j / size) - half;
                a(i, j) = at(auto_, dxi - dxj, dyi - dyj);
            }
        }
        // A trace of ridge keeps the factorisation defined for pictures with little detail
        // without changing a well-posed answer measurably.
        const double ridge = 1e-12 * auto_[0];
        for (Eigen::Index i = 0; i < n; ++i) a(i, i) += ridge;
        if (!Report(progress, 0.2)) return kRestoreCancelled;

        Eigen::LLT<Eigen::Ref<Eigen::MatrixXd>, Eigen::Lower> llt(a);
        if (llt.info() != Eigen::Success || !(auto_[0] > 0.0)) {
            ShowMessage("The Good picture has too little detail to learn a kernel from it.");
            return 0;
        }
        const Eigen::VectorXd k = llt.solve(rhs);
        if (!Report(progress, 0.95)) return kRestoreCancelled;

        CKernel learnt;
        learnt.width = learnt.height = size;
        learnt.peakX = learnt.peakY = half;
        learnt.values.assign(k.data(), k.data() + n);
        if (!AllFinite(learnt.values)) {
            ShowMessage("The Good picture has too little detail to learn a kernel from it.");
            return 0;
        }
        kernel = std::move(learnt);
    } catch (const std::bad_alloc&) {
        ShowMessage("Could not allocate memory for learning the kernel");
        return 0;
    }
    Report(progress, 1.0);
    return 1;
}

int ValidateRestoreSettings(const CRestoreSettings& settings) {
    if (settings.method == RestoreMethod::Wiener && !settings.autoStrength &&
        !(std::isfinite(settings.strength) && settings.strength >= 0.0)) {
        ShowMessage("The strength must be a finite number of at least 0, or automatic.");
        return 0;
    }
    if (settings.method == RestoreMethod::Lucy &&
        (settings.iterations < 1 || settings.iterations > kMaxRestoreIterations)) {
        ShowMessage(Format("The number of iterations must be 1 to %i.", kMaxRestoreIterations));
        return 0;
    }
    return 1;
}

int RestorePlanes(const CPlanes& input, const CKernel& kernel, const CRestoreSettings& settings,
                  CPlanes& output, const RestoreProgress& progress, CRestoreReport* report) {
    if (input.IsEmpty()) {
        ShowMessage("There is no picture to restore.");
        return 0;
    }
    if (!CheckKernel(kernel, input.width, input.height)) return 0;
    if (!ValidateRestoreSettings(settings)) return 0;
    if (!AllFinite(input.values)) {
        ShowMessage("The picture holds values that are not finite numbers.");
        return 0;
    }
    const int32_t w = input.width, h = input.height;
    int32_t workWidth = w, workHeight = h;
    if (settings.taper) {
        // The margin must hold the kernel's whole reach, so that what the blur carried across
        // one edge does not meet the other edge.
        const int32_t margin = std::max(kernel.width, kernel.height) + 16;
        workWidth = FastSize(w + margin);
        workHeight = FastSize(h + margin);
    }
    int result = 0;
    double medianStrength = 0.0;
    CPlanes work;
    try {
        if (!work.Allocate(workWidth, workHeight)) throw std::bad_alloc();
        if (settings.taper)
            ExtendWithTaper(input, workWidth, workHeight, work);
        else
            work.values = input.values;
        if (settings.method == RestoreMethod::Wiener)
            result = WienerPlanes(work, kernel, settings, progress, medianStrength);
        else
            result = LucyPlanes(work, kernel, settings.iterations, progress);
    } catch (const std::bad_alloc&) {
        ShowMessage("Could not allocate memory for restoring");
        return 0;
    }
    if (result != 1) return result;
    if (!AllFinite(work.values)) {
        ShowMessage("The restoration gave values that are not finite numbers; nothing changed.");
        return 0;
    }
    CPlanes restored;
    if (!restored.Allocate(w, h)) {
        ShowMessage("Could not allocate memory for restoring");
        return 0;
    }
    for (int32_t c = 0; c < 3; ++c)
        for (int32_t y = 0; y < h; ++y) {
            const double* from = work.Plane(c) + static_cast<size_t>(y) * workWidth;
            std::copy(from, from + w, restored.Plane(c) + static_cast<size_t>(y) * w);
        }
    output = std::move(restored);
    if (report != nullptr) {
        report->workWidth = workWidth;
        report->workHeight = workHeight;
        report->medianStrength = medianStrength;
    }
    return 1;
}

int RestorePicture(DibHandle& dib, const CKernel& kernel, const CRestoreSettings& settings,
                   const RestoreProgress& progress, CRestoreReport* report) {
    // Refused before the work when the machine cannot hold it: about 100 bytes a pixel of
    // the picture extended by the kernel's margins (planes, their spectra, the estimates),
    // as measured on pictures of a few megapixels.
    if (!dib.IsNull() && IsWholePicture(dib)) {
        const CSize size = DescribePicture(dib.Data()).size;
        const uint64_t w = static_cast<uint64_t>(size.cx) + kernel.width + 32;
        const uint64_t h = static_cast<uint64_t>(size.cy) + kernel.height + 32;
        if (!HasMemoryFor(Format("Restoring a %i x %i picture", size.cx, size.cy), 100 * w * h))
            return 0;
    }
    CPlanes input, output;
    if (!PlanesFromPicture(dib, input)) return 0;
    const int result = RestorePlanes(input, kernel, settings, output, progress, report);
    if (result != 1) return result;
    return PlanesToPicture(output, dib);
}

int BlurPlanes(const CPlanes& input, const CKernel& kernel, bool cyclic, CPlanes& output) {
    if (input.IsEmpty()) {
        ShowMessage("There is no picture to blur.");
        return 0;
    }
    if (!CheckKernel(kernel, input.width, input.height)) return 0;
    const int32_t w = input.width, h = input.height;
    CPlanes out;
    if (!out.Allocate(w, h)) {
        ShowMessage("Could not allocate memory for blurring");
        return 0;
    }
    auto index = [&](int32_t v, int32_t n) {
        return cyclic ? Wrap(v, n) : std::clamp(v, 0, n - 1);
    };
    for (int32_t ky = 0; ky < kernel.height; ++ky)
        for (int32_t kx = 0; kx < kernel.width; ++kx) {
            const double value = kernel.At(kx, ky);
            if (value == 0.0) continue;
            const int32_t dx = kx - kernel.peakX, dy = ky - kernel.peakY;
            for (int32_t c = 0; c < 3; ++c) {
                const double* in = input.Plane(c);
                double* to = out.Plane(c);
                for (int32_t y = 0; y < h; ++y) {
                    const double* row = in + static_cast<size_t>(index(y - dy, h)) * w;
                    double* target = to + static_cast<size_t>(y) * w;
                    for (int32_t x = 0; x < w; ++x) target[x] += value * row[index(x - dx, w)];
                }
            }
        }
    output = std::move(out);
    return 1;
}

int RatioRestorePlanes(const CPlanes& input, const CPlanes& good, const CPlanes& blurred,
                       CPlanes& output) {
    if (input.IsEmpty() || good.IsEmpty() || blurred.IsEmpty()) {
        ShowMessage("There is no picture to restore.");
        return 0;
    }
    if (good.width != input.width || good.height != input.height || blurred.width != input.width ||
        blurred.height != input.height) {
        ShowMessage("The Good, the Blurred and the Input picture must have one size.");
        return 0;
    }
    try {
        CPlaneFft fft(input.width, input.height);
        CPlanes out;
        if (!out.Allocate(input.width, input.height)) throw std::bad_alloc();
        std::vector<Complex> g(fft.Halves()), b(fft.Halves());
        const double norm = 1.0 / static_cast<double>(fft.Reals());
        for (int32_t c = 0; c < 3; ++c) {
            std::copy(good.Plane(c), good.Plane(c) + good.PlaneSize(), fft.Real());
            fft.Forward();
            std::copy(fft.Half(), fft.Half() + fft.Halves(), g.begin());
            std::copy(blurred.Plane(c), blurred.Plane(c) + blurred.PlaneSize(), fft.Real());
            fft.Forward();
            std::copy(fft.Half(), fft.Half() + fft.Halves(), b.begin());
            std::copy(input.Plane(c), input.Plane(c) + input.PlaneSize(), fft.Real());
            fft.Forward();
            for (size_t i = 0; i < fft.Halves(); ++i) {
                const bool zero = b[i].re == 0.0 && b[i].im == 0.0;
                fft.Half()[i] = zero ? Complex(0.0, 0.0) : fft.Half()[i] * (g[i] / b[i]);
            }
            fft.Inverse();
            for (size_t i = 0; i < out.PlaneSize(); ++i) out.Plane(c)[i] = fft.Real()[i] * norm;
        }
        if (!AllFinite(out.values)) {
            ShowMessage("The ratio gave values that are not finite numbers.");
            return 0;
        }
        output = std::move(out);
    } catch (const std::bad_alloc&) {
        ShowMessage("Could not allocate memory for restoring");
        return 0;
    }
    return 1;
}

double PlanesPsnr(const CPlanes& a, const CPlanes& b) {
    if (a.values.size() != b.values.size() || a.values.empty()) return 0.0;
    double sum = 0.0;
    for (size_t i = 0; i < a.values.size(); ++i) {
        const double d = a.values[i] - b.values[i];
        sum += d * d;
    }
    if (sum == 0.0) return std::numeric_limits<double>::infinity();
    const double mse = sum / static_cast<double>(a.values.size());
    return 10.0 * std::log10(255.0 * 255.0 / mse);
}
