#pragma once

#include <cstdint>
#include <functional>
#include <mutex>

#include "fourier/complex.h"

// FFTW's planner is shared by the whole process and is not thread-safe: whoever plans or
// destroys a plan holds this lock for the duration, which also sets the thread count of the
// plans made under it. Executing a plan is safe from any thread.
std::unique_lock<std::mutex> LockFftwPlanner(int32_t threads);

// The fast Fourier engine on FFTW, for one picture size, any width and height. It gives
// the projection engine's spectrum layout: three planes, (fx, fy) at (fy + H/2)*W +
// (fx + W/2) with fx = -W/2 .. W - W/2 - 1 (W/2 by integer division), normalised by
// 1/(W*H) and centred, that is with the pixel origin at (W/2, H/2); and the inverse gives
// the real picture Re sum F(fx, fy) e^(+2*pi*i*(fx*X/W + fy*Y/H)), X = x - W/2, Y = y - H/2.
//
// The centring costs nothing: the pixels go in shifted cyclically by half a picture, and
// the frequencies are put in centred order on the way out. The picture is real, so one
// real-to-complex transform of W x H gives half the plane and the other half follows by
// symmetry; the inverse symmetrises the spectrum (F(f) + conj F(-f)) / 2, whose
// complex-to-real transform is exactly the real part wanted. FFTW plans every size: sides
// with large prime factors take a few times longer than smooth ones, never more.
class CFftPlan {
public:
    // Plans both directions for W x H (at least 1 x 1) with the given thread count. Throws
    // std::bad_alloc when the memory or the plans cannot be had.
    CFftPlan(int32_t width, int32_t height, int32_t threads);
    ~CFftPlan();
    CFftPlan(const CFftPlan&) = delete;
    CFftPlan& operator=(const CFftPlan&) = delete;

    int32_t Threads() const { return m_threads; }

    // Picture bytes (rows of rowStride) to the centred spectrum; reals back to the real
    // picture (3*W doubles a row used, padding untouched). Progress after each channel;
    // false when it stopped the work.
    bool Transform(const uint8_t* picture, int32_t rowStride, Complex* spectrum,
                   const std::function<bool(double)>& progress);
    bool InverseTransform(double* real, int32_t rowStride, const Complex* spectrum,
                          const std::function<bool(double)>& progress);

    // The bare FFTW transforms of one channel on the plan's own buffer, for measuring what
    // the wrapping costs. The buffer content is scratch.
    void ExecuteForwardOnly();
    void ExecuteInverseOnly();
    void ClearBuffer();

private:
    int32_t m_width, m_height, m_threads;
    int32_t m_halfColumns;  // W/2 + 1 complex values per row of the half plane
    double* m_buffer = nullptr;
    void* m_forward = nullptr;  // fftw_plan
    void* m_inverse = nullptr;
};
