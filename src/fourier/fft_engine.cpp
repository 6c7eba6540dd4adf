#include "fourier/fft_engine.h"

#include <fftw3.h>

#include <cstddef>
#include <cstring>
#include <mutex>
#include <new>

#include "fourier/parallel_ranges.h"

namespace {

std::mutex& PlannerLock() {
    static std::mutex lock;
    return lock;
}

void InitialiseThreads() {
    static const bool ready = fftw_init_threads() != 0;
    (void)ready;
}

fftw_plan AsPlan(void* p) {
    return static_cast<fftw_plan>(p);
}

}  // namespace

std::unique_lock<std::mutex> LockFftwPlanner(int32_t threads) {
    std::unique_lock<std::mutex> lock(PlannerLock());
    InitialiseThreads();
    fftw_plan_with_nthreads(threads < 1 ? 1 : threads);
    return lock;
}

CFftPlan::CFftPlan(int32_t width, int32_t height, int32_t threads)
    : m_width(width),
      m_height(height),
      m_threads(threads < 1 ? 1 : threads),
      m_halfColumns(width / 2 + 1) {
    const std::size_t doubles =
        static_cast<std::size_t>(height) * 2 * static_cast<std::size_t>(m_halfColumns);
    std::lock_guard<std::mutex> guard(PlannerLock());
    InitialiseThreads();
    m_buffer = static_cast<double*>(fftw_malloc(doubles * sizeof(double)));
    if (m_buffer == nullptr) throw std::bad_alloc();
    fftw_plan_with_nthreads(m_threads);
    // In place on the plan's buffer: W x H reals in rows of 2*(W/2 + 1) doubles, and the
    // half plane of H x (W/2 + 1) complex values.
    auto* half = reinterpret_cast<fftw_complex*>(m_buffer);
    m_forward = fftw_plan_dft_r2c_2d(height, width, m_buffer, half, FFTW_ESTIMATE);
    m_inverse = fftw_plan_dft_c2r_2d(height, width, half, m_buffer, FFTW_ESTIMATE);
    if (m_forward == nullptr || m_inverse == nullptr) {
        if (m_forward != nullptr) fftw_destroy_plan(AsPlan(m_forward));
        if (m_inverse != nullptr) fftw_destroy_plan(AsPlan(m_inverse));
        fftw_free(m_buffer);
        throw std::bad_alloc();
    }
    std::memset(m_buffer, 0, doubles * sizeof(double));
}

CFftPlan::~CFftPlan() {
    std::lock_guard<std::mutex> guard(PlannerLock());
    fftw_destroy_plan(AsPlan(m_forward));
    fftw_destroy_plan(AsPlan(m_inverse));
    fftw_free(m_buffer);
}

void CFftPlan::ExecuteForwardOnly() {
    fftw_execute(AsPlan(m_forward));
}

void CFftPlan::ExecuteInverseOnly() {
    fftw_execute(AsPlan(m_inverse));
}

void CFftPlan::ClearBuffer() {
    std::memset(m_buffer, 0,
                static_cast<std::size_t>(m_height) * 2 * static_cast<std::size_t>(m_halfColumns) *
                    sizeof(double));
}

namespace {

// Column c of the centred order (frequency c - W/2) is index (c + W - W/2) mod W of the
// transform; the other way, index u is column (u + W/2) mod W. The same for rows.
inline int32_t TransformIndexOf(int32_t centred, int32_t side, int32_t half) {
    const int32_t u = centred - half;
    return u < 0 ? u + side : u;
}

}  // namespace

bool CFftPlan::Transform(const uint8_t* picture, int32_t rowStride, Complex* spectrum,
                         const std::function<bool(double)>& progress) {
    const int32_t w = m_width, h = m_height, halfW = w / 2, halfH = h / 2;
    const std::ptrdiff_t realRow = 2 * static_cast<std::ptrdiff_t>(m_halfColumns);
    const double scale = (1.0 / static_cast<double>(h)) * (1.0 / static_cast<double>(w));
    const auto* half = reinterpret_cast<const Complex*>(m_buffer);
    for (int32_t channel = 0; channel < 3; ++channel) {
        // Input (X', Y') is pixel ((X' + W/2) mod W, (Y' + H/2) mod H): the transform then
        // has its pixel origin at the centre of the picture, for odd sides too.
        ParallelRanges(h, m_threads, w, [&](int32_t begin, int32_t end) {
            for (int32_t yy = begin; yy < end; ++yy) {
                const int32_t y = yy + halfH < h ? yy + halfH : yy + halfH - h;
                const uint8_t* p = picture + channel + static_cast<std::ptrdiff_t>(y) * rowStride;
                double* q = m_buffer + yy * realRow;
                const int32_t split = w - halfW;  // X' from here on is pixel X' + W/2 - W
                for (int32_t xx = 0; xx < split; ++xx) q[xx] = p[3 * (xx + halfW)];
                for (int32_t xx = split; xx < w; ++xx) q[xx] = p[3 * (xx + halfW - w)];
            }
        });
        fftw_execute(AsPlan(m_forward));
        // Frequency (u, v) of the transform, indices mod W and H, goes to centred column
        // (u + W/2) mod W of row (v + H/2) mod H. The half plane holds u = 0 .. W/2; the
        // others are conjugates of the mirrored frequency (W - u, (H - v) mod H).
        Complex* plane = spectrum + static_cast<std::ptrdiff_t>(channel) * w * h;
        ParallelRanges(h, m_threads, w, [&](int32_t begin, int32_t end) {
            for (int32_t row = begin; row < end; ++row) {
                const int32_t v = TransformIndexOf(row, h, halfH);
                const Complex* from = half + static_cast<std::ptrdiff_t>(v) * m_halfColumns;
                const Complex* mirror =
                    half + static_cast<std::ptrdiff_t>(v == 0 ? 0 : h - v) * m_halfColumns;
                Complex* out = plane + static_cast<std::ptrdiff_t>(row) * w;
                for (int32_t c = 0; c < w; ++c) {
                    const int32_t u = TransformIndexOf(c, w, halfW);
                    out[c] = u <= halfW
                                 ? Complex(from[u].re * scale, from[u].im * scale)
                                 : Complex(mirror[w - u].re * scale, -mirror[w - u].im * scale);
                }
            }
        });
        if (progress && !progress(static_cast<double>(channel + 1) / 3.0)) return false;
    }
    return true;
}

bool CFftPlan::InverseTransform(double* real, int32_t rowStride, const Complex* spectrum,
                                const std::function<bool(double)>& progress) {
    const int32_t w = m_width, h = m_height, halfW = w / 2, halfH = h / 2;
    const std::ptrdiff_t realRow = 2 * static_cast<std::ptrdiff_t>(m_halfColumns);
    auto* half = reinterpret_cast<Complex*>(m_buffer);
    for (int32_t channel = 0; channel < 3; ++channel) {
        // The half plane of the Hermitian part (F(f) + conj F(-f)) / 2, whose complex-to-real
        // transform is the real part of the full one. Index (u, v) is the centred entry
        // ((u + W/2) mod W, (v + H/2) mod H), its mirror that of ((W - u) mod W, (H - v) mod H).
        const Complex* plane = spectrum + static_cast<std::ptrdiff_t>(channel) * w * h;
        ParallelRanges(h, m_threads, halfW + 1, [&](int32_t begin, int32_t end) {
            for (int32_t v = begin; v < end; ++v) {
                const int32_t row = v + halfH < h ? v + halfH : v + halfH - h;
                const int32_t mv = v == 0 ? 0 : h - v;
                const int32_t mirrorRow = mv + halfH < h ? mv + halfH : mv + halfH - h;
                const Complex* f = plane + static_cast<std::ptrdiff_t>(row) * w;
                const Complex* g = plane + static_cast<std::ptrdiff_t>(mirrorRow) * w;
                Complex* out = half + static_cast<std::ptrdiff_t>(v) * m_halfColumns;
                for (int32_t u = 0; u <= halfW; ++u) {
                    const int32_t column = u + halfW < w ? u + halfW : u + halfW - w;
                    const int32_t mu = u == 0 ? 0 : w - u;
                    const int32_t mirrorColumn = mu + halfW < w ? mu + halfW : mu + halfW - w;
                    out[u] = Complex(0.5 * (f[column].re + g[mirrorColumn].re),
                                     0.5 * (f[column].im - g[mirrorColumn].im));
                }
            }
        });
        fftw_execute(AsPlan(m_inverse));
        // Pixel (x, y) is output (X', Y') = ((x - W/2) mod W, (y - H/2) mod H).
        ParallelRanges(h, m_threads, w, [&](int32_t begin, int32_t end) {
            for (int32_t y = begin; y < end; ++y) {
                const int32_t yy = TransformIndexOf(y, h, halfH);
                const double* b = m_buffer + yy * realRow;
                double* out = real + channel + static_cast<std::ptrdiff_t>(y) * rowStride;
                for (int32_t x = 0; x < w; ++x) out[3 * x] = b[TransformIndexOf(x, w, halfW)];
            }
        });
        if (progress && !progress(static_cast<double>(channel + 1) / 3.0)) return false;
    }
    return true;
}
