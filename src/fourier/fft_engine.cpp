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

bool CFftPlan::Transform(const uint8_t* picture, int32_t rowStride, Complex* spectrum,
                         const std::function<bool(double)>& progress) {
    const int32_t w = m_width, h = m_height, halfW = w / 2, halfH = h / 2;
    const std::ptrdiff_t realRow = 2 * static_cast<std::ptrdiff_t>(m_halfColumns);
    const double invW = 1.0 / static_cast<double>(w);
    const double invH = 1.0 / static_cast<double>(h);
    const auto* half = reinterpret_cast<const Complex*>(m_buffer);
    for (int32_t channel = 0; channel < 3; ++channel) {
        // Row Y' of the input is picture row (Y' + H/2) mod H, and column X' is pixel
        // (X' + W/2) mod W, times (-1)^(X' + Y').
        ParallelRanges(h, m_threads, w, [&](int32_t begin, int32_t end) {
            for (int32_t yy = begin; yy < end; ++yy) {
                const int32_t y = yy < halfH ? yy + halfH : yy - halfH;
                const uint8_t* p = picture + channel + static_cast<std::ptrdiff_t>(y) * rowStride;
                double* q = m_buffer + yy * realRow;
                const double even = (yy & 1) != 0 ? -1.0 : 1.0;
                for (int32_t xx = 0; xx < halfW; ++xx) {
                    const double a = p[3 * (xx + halfW)];
                    q[xx] = (xx & 1) != 0 ? -even * a : even * a;
                }
                for (int32_t xx = halfW; xx < w; ++xx) {
                    const double a = p[3 * (xx - halfW)];
                    q[xx] = (xx & 1) != 0 ? -even * a : even * a;
                }
            }
        });
        fftw_execute(AsPlan(m_forward));
        // Columns 0 .. W/2 come straight from the half plane; the others are conjugates
        // of the mirrored frequency, (H - v) mod H, W - u.
        Complex* plane = spectrum + static_cast<std::ptrdiff_t>(channel) * w * h;
        ParallelRanges(h, m_threads, w, [&](int32_t begin, int32_t end) {
            for (int32_t v = begin; v < end; ++v) {
                const Complex* from = half + static_cast<std::ptrdiff_t>(v) * m_halfColumns;
                const Complex* mirror =
                    half + static_cast<std::ptrdiff_t>(v == 0 ? 0 : h - v) * m_halfColumns;
                Complex* out = plane + static_cast<std::ptrdiff_t>(v) * w;
                for (int32_t u = 0; u <= halfW; ++u)
                    out[u] = Complex(from[u].re * invH * invW, from[u].im * invH * invW);
                for (int32_t u = halfW + 1; u < w; ++u)
                    out[u] =
                        Complex(mirror[w - u].re * invH * invW, -mirror[w - u].im * invH * invW);
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
        // The Hermitian part (F(u, v) + conj F(-u, -v)) / 2 of the plane, indices mod W, H.
        const Complex* plane = spectrum + static_cast<std::ptrdiff_t>(channel) * w * h;
        ParallelRanges(h, m_threads, halfW, [&](int32_t begin, int32_t end) {
            for (int32_t v = begin; v < end; ++v) {
                const Complex* row = plane + static_cast<std::ptrdiff_t>(v) * w;
                const Complex* mirror = plane + static_cast<std::ptrdiff_t>(v == 0 ? 0 : h - v) * w;
                Complex* out = half + static_cast<std::ptrdiff_t>(v) * m_halfColumns;
                out[0] =
                    Complex(0.5 * (row[0].re + mirror[0].re), 0.5 * (row[0].im - mirror[0].im));
                for (int32_t u = 1; u <= halfW; ++u)
                    out[u] = Complex(0.5 * (row[u].re + mirror[w - u].re),
                                     0.5 * (row[u].im - mirror[w - u].im));
            }
        });
        fftw_execute(AsPlan(m_inverse));
        // Pixel (x, y) is output (X', Y') = ((x - W/2) mod W, (y - H/2) mod H), times
        // (-1)^(X' + Y').
        ParallelRanges(h, m_threads, w, [&](int32_t begin, int32_t end) {
            for (int32_t y = begin; y < end; ++y) {
                const int32_t yy = y < halfH ? y + halfH : y - halfH;
                const double* b = m_buffer + yy * realRow;
                double* out = real + channel + static_cast<std::ptrdiff_t>(y) * rowStride;
                const double even = (yy & 1) != 0 ? -1.0 : 1.0;
                for (int32_t x = 0; x < w; ++x) {
                    const int32_t xx = x < halfW ? x + halfW : x - halfW;
                    out[3 * x] = (xx & 1) != 0 ? -even * b[xx] : even * b[xx];
                }
            }
        });
        if (progress && !progress(static_cast<double>(channel + 1) / 3.0)) return false;
    }
    return true;
}
