#include "stamp/stamp_convolve.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

#include "fourier/fft_engine.h"
#include "fourier/fourier.h"
#include "fourier/parallel_ranges.h"

namespace {

int32_t Wrap(int64_t value, int32_t size) {
    const int64_t r = value % size;
    return static_cast<int32_t>(r < 0 ? r + size : r);
}

int32_t Threads(int32_t threads) {
    return threads > 0 ? threads : CFourier::ThreadCount();
}

// Target rows begin .. end-1 gathered: the target (tx, ty) receives the source
// ((tx + px - sx) mod W, (ty + py - sy) mod H) times the value at (sx, sy). A whole row of
// 3W interleaved values is one multiply-add over the source row, split where it wraps.
void DirectRows(const double* source, double* real, int32_t width, int32_t height,
                int32_t rowStride, const RubberStamp& stamp, const CStampRect& rect, int32_t px,
                int32_t py, int32_t begin, int32_t end) {
    const int32_t values = 3 * width;
    std::vector<double> row(static_cast<size_t>(values));
    for (int32_t ty = begin; ty < end; ++ty) {
        std::fill(row.begin(), row.end(), 0.0);
        for (int32_t sy = rect.bottom; sy < rect.top; ++sy) {
            const double* from =
                source + static_cast<size_t>(Wrap(static_cast<int64_t>(ty) + py - sy, height)) *
                             static_cast<size_t>(values);
            for (int32_t sx = rect.left; sx < rect.right; ++sx) {
                const double v = stamp.At(sx, sy);
                if (v == 0.0) continue;
                const int32_t shift = 3 * Wrap(static_cast<int64_t>(px) - sx, width);
                const int32_t first = values - shift;
                double* to = row.data();
                for (int32_t i = 0; i < first; ++i) to[i] += from[i + shift] * v;
                for (int32_t i = first; i < values; ++i) to[i] += from[i - first] * v;
            }
        }
        std::memcpy(real + static_cast<size_t>(ty) * rowStride, row.data(),
                    static_cast<size_t>(values) * sizeof(double));
    }
}

bool ConvolveDirect(const uint8_t* picture, double* real, int32_t width, int32_t height,
                    int32_t rowStride, const RubberStamp& stamp, const CStampRect& rect, int32_t px,
                    int32_t py, int32_t threads) {
    const size_t values = 3 * static_cast<size_t>(width);
    std::vector<double> source;
    try {
        source.resize(values * static_cast<size_t>(height));
    } catch (const std::bad_alloc&) {
        return false;
    }
    for (int32_t y = 0; y < height; ++y)
        for (size_t i = 0; i < values; ++i)
            source[static_cast<size_t>(y) * values + i] =
                picture[static_cast<size_t>(y) * rowStride + i];
    const int64_t costPerRow =
        static_cast<int64_t>(values) * std::max<int64_t>(1, int64_t{rect.Width()} * rect.Height());
    ParallelRanges(height, Threads(threads), costPerRow, [&](int32_t begin, int32_t end) {
        DirectRows(source.data(), real, width, height, rowStride, stamp, rect, px, py, begin, end);
    });
    return true;
}

// FFTW memory, freed on every path.
struct CFftwBuffer {
    void* data = nullptr;
    explicit CFftwBuffer(size_t bytes) : data(fftw_malloc(bytes)) {}
    ~CFftwBuffer() { fftw_free(data); }
    CFftwBuffer(const CFftwBuffer&) = delete;
    CFftwBuffer& operator=(const CFftwBuffer&) = delete;
};

struct CFftwPlans {
    fftw_plan forward = nullptr, inverse = nullptr;
    ~CFftwPlans() {
        if (forward == nullptr && inverse == nullptr) return;
        const auto lock = LockFftwPlanner(1);
        if (forward != nullptr) fftw_destroy_plan(forward);
        if (inverse != nullptr) fftw_destroy_plan(inverse);
    }
};

// The cyclic convolution: the stamp rectangle becomes a W x H kernel whose value at offset
// ((sx - px) mod W, (sy - py) mod H) sums the stamp values landing there; each plane is the
// inverse transform of the product of its transform and the kernel's.
bool ConvolveFft(const uint8_t* picture, double* real, int32_t width, int32_t height,
                 int32_t rowStride, const RubberStamp& stamp, const CStampRect& rect, int32_t px,
                 int32_t py, int32_t threads) {
    const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
    const size_t columns = static_cast<size_t>(width) / 2 + 1;
    const size_t halfPlane = static_cast<size_t>(height) * columns;
    CFftwBuffer plane(pixels * sizeof(double));
    CFftwBuffer kernelHalf(halfPlane * sizeof(fftw_complex));
    CFftwBuffer planeHalf(halfPlane * sizeof(fftw_complex));
    if (plane.data == nullptr || kernelHalf.data == nullptr || planeHalf.data == nullptr)
        return false;
    auto* in = static_cast<double*>(plane.data);
    auto* kernel = static_cast<fftw_complex*>(kernelHalf.data);
    auto* spectrum = static_cast<fftw_complex*>(planeHalf.data);
    CFftwPlans plans;
    {
        const auto lock = LockFftwPlanner(Threads(threads));
        plans.forward = fftw_plan_dft_r2c_2d(height, width, in, spectrum, FFTW_ESTIMATE);
        plans.inverse = fftw_plan_dft_c2r_2d(height, width, spectrum, in, FFTW_ESTIMATE);
    }
    if (plans.forward == nullptr || plans.inverse == nullptr) return false;

    std::fill(in, in + pixels, 0.0);
    for (int32_t sy = rect.bottom; sy < rect.top; ++sy) {
        const size_t ky = static_cast<size_t>(Wrap(static_cast<int64_t>(sy) - py, height));
        for (int32_t sx = rect.left; sx < rect.right; ++sx)
            in[ky * width + static_cast<size_t>(Wrap(static_cast<int64_t>(sx) - px, width))] +=
                stamp.At(sx, sy);
    }
    fftw_execute_dft_r2c(plans.forward, in, kernel);
    const double scale = 1.0 / static_cast<double>(pixels);
    for (int32_t c = 0; c < 3; ++c) {
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = 0; x < width; ++x)
                in[static_cast<size_t>(y) * width + x] =
                    picture[c + 3 * static_cast<size_t>(x) + static_cast<size_t>(y) * rowStride];
        fftw_execute_dft_r2c(plans.forward, in, spectrum);
        for (size_t i = 0; i < halfPlane; ++i) {
            const double re = spectrum[i][0] * kernel[i][0] - spectrum[i][1] * kernel[i][1];
            const double im = spectrum[i][0] * kernel[i][1] + spectrum[i][1] * kernel[i][0];
            spectrum[i][0] = re * scale;
            spectrum[i][1] = im * scale;
        }
        fftw_execute_dft_c2r(plans.inverse, spectrum, in);
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = 0; x < width; ++x)
                real[c + 3 * static_cast<size_t>(x) + static_cast<size_t>(y) * rowStride] =
                    in[static_cast<size_t>(y) * width + x];
    }
    return true;
}

}  // namespace

bool StampPrefersFft(int32_t width, int32_t height, int32_t stampWidth, int32_t stampHeight) {
    const double pixels = static_cast<double>(width) * height;
    if (pixels < 16) return false;
    // Direct: one multiply-add per stamp value, pixel and plane. FFT: seven real transforms
    // of W x H (the kernel's, and one forward and one inverse per plane) at about 2.5 W H
    // log2(W H) operations each, plus the copies.
    const double direct = 3.0 * pixels * std::max(0, stampWidth) * std::max(0, stampHeight);
    const double fft = pixels * (7 * 2.5 * std::log2(pixels) + 20.0);
    return fft < direct;
}

bool ConvolveWithStamp(const uint8_t* picture, double* real, int32_t width, int32_t height,
                       int32_t rowStride, const RubberStamp& stamp, const CStampRect& rect,
                       int32_t px, int32_t py, CStampConvolution method, int32_t threads) {
    if (width <= 0 || height <= 0 || stamp.IsEmpty()) return false;
    // The rectangle is kept inside the stamp; an empty one gives all zeros.
    CStampRect r = rect;
    r.left = std::clamp(r.left, 0, stamp.width);
    r.right = std::clamp(r.right, r.left, stamp.width);
    r.bottom = std::clamp(r.bottom, 0, stamp.height);
    r.top = std::clamp(r.top, r.bottom, stamp.height);
    if (method == CStampConvolution::Automatic)
        method = StampPrefersFft(width, height, r.Width(), r.Height()) ? CStampConvolution::Fft
                                                                       : CStampConvolution::Direct;
    if (method == CStampConvolution::Fft &&
        ConvolveFft(picture, real, width, height, rowStride, stamp, r, px, py, threads))
        return true;
    return ConvolveDirect(picture, real, width, height, rowStride, stamp, r, px, py, threads);
}

void ConvolveWithStampSerial(const uint8_t* picture, double* real, int32_t width, int32_t height,
                             int32_t rowStride, const RubberStamp& stamp, const CStampRect& rect,
                             int32_t px, int32_t py) {
    for (int32_t y = 0; y < height; ++y)
        std::fill(real + static_cast<size_t>(y) * rowStride,
                  real + static_cast<size_t>(y) * rowStride + 3 * static_cast<size_t>(width), 0.0);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            const uint8_t* b =
                picture + 3 * static_cast<size_t>(x) + static_cast<size_t>(y) * rowStride;
            for (int32_t sy = rect.bottom; sy < rect.top; ++sy) {
                const size_t ty =
                    static_cast<size_t>(Wrap(static_cast<int64_t>(y) - py + sy, height));
                for (int32_t sx = rect.left; sx < rect.right; ++sx) {
                    const double v = stamp.At(sx, sy);
                    double* t =
                        real +
                        3 * static_cast<size_t>(Wrap(static_cast<int64_t>(x) - px + sx, width)) +
                        ty * rowStride;
                    t[0] += b[0] * v;
                    t[1] += b[1] * v;
                    t[2] += b[2] * v;
                }
            }
        }
}
