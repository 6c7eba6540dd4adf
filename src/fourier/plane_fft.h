#pragma once

#include <complex>
#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "fourier/complex.h"

// One real W x H plane and its half spectrum of H x (W/2 + 1) complex values, row-major, with
// FFTW's unnormalised transforms in both directions: Inverse(Forward(p)) = W * H * p. The
// inverse overwrites the half spectrum. In double precision (Complex entries) or in single
// precision (std::complex<float> entries). Planning is serialised with the program's other
// FFTW planners; transforms of different objects may run in parallel threads.
template <typename Real>
class CPlaneFft {
public:
    using Spectrum = std::conditional_t<std::is_same_v<Real, double>, Complex, std::complex<float>>;

    // Throws std::bad_alloc when the buffers or plans cannot be made. threads: how many
    // threads each transform may use (0: every hardware thread).
    CPlaneFft(int32_t width, int32_t height, int32_t threads = 1);
    ~CPlaneFft();
    CPlaneFft(const CPlaneFft&) = delete;
    CPlaneFft& operator=(const CPlaneFft&) = delete;

    int32_t Width() const { return m_width; }
    int32_t Height() const { return m_height; }
    int32_t HalfColumns() const { return m_halfColumns; }
    size_t Reals() const { return static_cast<size_t>(m_width) * static_cast<size_t>(m_height); }
    size_t Halves() const {
        return static_cast<size_t>(m_height) * static_cast<size_t>(m_halfColumns);
    }
    Real* RealData() { return m_real; }
    Spectrum* Half() { return m_half; }
    void Forward();
    void Inverse();

private:
    void Release();

    int32_t m_width, m_height, m_halfColumns;
    Real* m_real = nullptr;
    Spectrum* m_half = nullptr;
    void* m_forward = nullptr;
    void* m_inverse = nullptr;
};

using CPlaneFftD = CPlaneFft<double>;
using CPlaneFftF = CPlaneFft<float>;
