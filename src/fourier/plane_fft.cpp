#include "fourier/plane_fft.h"

#include <fftw3.h>

#include <new>

#include "fourier/fft_engine.h"

namespace {

// The FFTW calls of one precision.
template <typename Real>
struct CFftw;

template <>
struct CFftw<double> {
    static void* Malloc(size_t bytes) { return fftw_malloc(bytes); }
    static void Free(void* p) { fftw_free(p); }
    static void* Forward(int32_t w, int32_t h, double* in, void* out) {
        return fftw_plan_dft_r2c_2d(h, w, in, static_cast<fftw_complex*>(out), FFTW_ESTIMATE);
    }
    static void* Inverse(int32_t w, int32_t h, void* in, double* out) {
        return fftw_plan_dft_c2r_2d(h, w, static_cast<fftw_complex*>(in), out, FFTW_ESTIMATE);
    }
    static void Execute(void* plan) { fftw_execute(static_cast<fftw_plan>(plan)); }
    static void Destroy(void* plan) { fftw_destroy_plan(static_cast<fftw_plan>(plan)); }
};

template <>
struct CFftw<float> {
    static void* Malloc(size_t bytes) { return fftwf_malloc(bytes); }
    static void Free(void* p) { fftwf_free(p); }
    static void* Forward(int32_t w, int32_t h, float* in, void* out) {
        return fftwf_plan_dft_r2c_2d(h, w, in, static_cast<fftwf_complex*>(out), FFTW_ESTIMATE);
    }
    static void* Inverse(int32_t w, int32_t h, void* in, float* out) {
        return fftwf_plan_dft_c2r_2d(h, w, static_cast<fftwf_complex*>(in), out, FFTW_ESTIMATE);
    }
    static void Execute(void* plan) { fftwf_execute(static_cast<fftwf_plan>(plan)); }
    static void Destroy(void* plan) { fftwf_destroy_plan(static_cast<fftwf_plan>(plan)); }
};

}  // namespace

template <typename Real>
CPlaneFft<Real>::CPlaneFft(int32_t width, int32_t height, int32_t threads)
    : m_width(width), m_height(height), m_halfColumns(width / 2 + 1) {
    static_assert(sizeof(Spectrum) == 2 * sizeof(Real));
    auto lock = LockFftwPlanner(threads);
    m_real = static_cast<Real*>(CFftw<Real>::Malloc(Reals() * sizeof(Real)));
    m_half = static_cast<Spectrum*>(CFftw<Real>::Malloc(Halves() * sizeof(Spectrum)));
    if (m_real != nullptr && m_half != nullptr) {
        m_forward = CFftw<Real>::Forward(width, height, m_real, m_half);
        m_inverse = CFftw<Real>::Inverse(width, height, m_half, m_real);
    }
    if (m_forward == nullptr || m_inverse == nullptr) {
        Release();
        throw std::bad_alloc();
    }
}

template <typename Real>
CPlaneFft<Real>::~CPlaneFft() {
    auto lock = LockFftwPlanner(1);
    Release();
}

template <typename Real>
void CPlaneFft<Real>::Forward() {
    CFftw<Real>::Execute(m_forward);
}

template <typename Real>
void CPlaneFft<Real>::Inverse() {
    CFftw<Real>::Execute(m_inverse);
}

template <typename Real>
void CPlaneFft<Real>::Release() {
    if (m_forward != nullptr) CFftw<Real>::Destroy(m_forward);
    if (m_inverse != nullptr) CFftw<Real>::Destroy(m_inverse);
    CFftw<Real>::Free(m_real);
    CFftw<Real>::Free(m_half);
    m_forward = m_inverse = nullptr;
    m_real = nullptr;
    m_half = nullptr;
}

template class CPlaneFft<double>;
template class CPlaneFft<float>;
