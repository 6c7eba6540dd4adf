#include "fourier/spectrum_image.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <new>

#include "fourier/plane_fft.h"
#include "platform/user_interface.h"

namespace {

// Percentiles of the log magnitudes that become black and white.
constexpr double kBlackShare = 0.01;
constexpr double kWhiteShare = 0.999;
// The percentiles are read from at most this many values spread over the image.
constexpr size_t kPercentileSamples = size_t{1} << 20;

double Percentile(std::vector<float>& samples, double share) {
    const size_t k = std::min(samples.size() - 1,
                              static_cast<size_t>(share * static_cast<double>(samples.size())));
    std::nth_element(samples.begin(), samples.begin() + static_cast<std::ptrdiff_t>(k),
                     samples.end());
    return samples[k];
}

// The half spectrum of the grey's periodic component: the transform U of the plane less
// V / (2 cos(2 pi kx / W) + 2 cos(2 pi ky / H) - 4), V the transform of the jumps across the
// borders (each edge pixel gets the value of the opposite edge less its own), frequency 0
// kept as it is.
void PeriodicSpectrum(const float* grey, CPlaneFftF& fft, std::vector<std::complex<float>>& half) {
    const int32_t w = fft.Width(), h = fft.Height(), halfColumns = fft.HalfColumns();
    float* real = fft.RealData();
    std::fill_n(real, fft.Reals(), 0.0f);
    const auto at = [&](int32_t x, int32_t y) { return grey[static_cast<size_t>(y) * w + x]; };
    float* const jumps = real;
    for (int32_t x = 0; x < w; ++x) {
        const float d = at(x, h - 1) - at(x, 0);
        jumps[x] += d;
        jumps[static_cast<size_t>(h - 1) * w + x] -= d;
    }
    for (int32_t y = 0; y < h; ++y) {
        const float d = at(w - 1, y) - at(0, y);
        jumps[static_cast<size_t>(y) * w] += d;
        jumps[static_cast<size_t>(y) * w + w - 1] -= d;
    }
    fft.Forward();
    half.assign(fft.Half(), fft.Half() + fft.Halves());
    constexpr double kTwoPi = 6.283185307179586;
    for (int32_t ky = 0; ky < h; ++ky) {
        const double cy = 2.0 * std::cos(kTwoPi * ky / h);
        for (int32_t kx = 0; kx < halfColumns; ++kx) {
            const double d = 2.0 * std::cos(kTwoPi * kx / w) + cy - 4.0;
            std::complex<float>& value = half[static_cast<size_t>(ky) * halfColumns + kx];
            value = (kx == 0 && ky == 0) ? std::complex<float>() : value / static_cast<float>(d);
        }
    }
    std::copy_n(grey, fft.Reals(), real);
    fft.Forward();
    const std::complex<float>* u = fft.Half();
    for (size_t i = 0; i < half.size(); ++i) half[i] = u[i] - half[i];
}

}  // namespace

CSpectrumPoint SpectrumPosition(int32_t width, int32_t height, double u, double v) {
    return {width / 2 + 0.5 + u * width, height - height / 2 - 0.5 - v * height};
}

int MakeSpectrumImage(const float* grey, int32_t width, int32_t height, CSpectrumImage& image) {
    if (width <= 0 || height <= 0) {
        ShowMessage("There is no picture to show the spectrum of.");
        return 0;
    }
    try {
        std::vector<std::complex<float>> half;
        std::vector<float> logs;
        {
            CPlaneFftF fft(width, height);
            PeriodicSpectrum(grey, fft, half);
        }
        // Screen pixel (x, y) shows fx = x - W/2, fy = (H - 1 - y) - H/2; the left half of
        // the plane is the conjugate of the right one, mirrored through the centre.
        const int32_t halfColumns = width / 2 + 1;
        const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
        logs.resize(pixels);
        const float scale = 1.0f / std::sqrt(static_cast<float>(pixels));
        for (int32_t y = 0; y < height; ++y) {
            const int32_t fy = (height - 1 - y) - height / 2;
            const int32_t ky = ((fy % height) + height) % height;
            const int32_t mirrorY = (height - ky) % height;
            float* row = logs.data() + static_cast<size_t>(y) * width;
            const std::complex<float>* right = half.data() + static_cast<size_t>(ky) * halfColumns;
            const std::complex<float>* left =
                half.data() + static_cast<size_t>(mirrorY) * halfColumns;
            for (int32_t x = 0; x < width; ++x) {
                const int32_t fx = x - width / 2;
                const std::complex<float> f = fx >= 0 ? right[fx] : left[-fx];
                row[x] = std::log1p(std::sqrt(std::norm(f)) * scale);
            }
        }
        half = {};
        const size_t step = std::max<size_t>(1, pixels / kPercentileSamples);
        std::vector<float> samples;
        samples.reserve(pixels / step + 1);
        for (size_t i = 0; i < pixels; i += step) samples.push_back(logs[i]);
        const double black = Percentile(samples, kBlackShare);
        const double white = Percentile(samples, kWhiteShare);
        const double gain = white > black ? 255.0 / (white - black) : 0.0;
        CSpectrumImage made;
        made.width = width;
        made.height = height;
        made.values.resize(pixels);
        for (size_t i = 0; i < pixels; ++i) {
            const double v = std::clamp((logs[i] - black) * gain, 0.0, 255.0);
            made.values[i] = static_cast<uint8_t>(std::lround(v));
        }
        image = std::move(made);
        return 1;
    } catch (const std::bad_alloc&) {
        ShowMessage(Format("There is not enough memory for the spectrum of a %d x %d picture.",
                           width, height));
        return 0;
    }
}

int MakeSpectrumImage(const DibHandle& picture, CSpectrumImage& image) {
    if (!IsWholePicture(picture)) {
        ShowMessage("There is no picture to show the spectrum of.");
        return 0;
    }
    const PictureDescription d = DescribePicture(picture.Data());
    if (d.bitCount != 24) {
        ShowMessage("The spectrum is shown of 24-bit pictures only.");
        return 0;
    }
    const int32_t w = d.size.cx, h = d.size.cy;
    std::vector<float> grey;
    try {
        grey.resize(static_cast<size_t>(w) * static_cast<size_t>(h));
    } catch (const std::bad_alloc&) {
        ShowMessage(
            Format("There is not enough memory for the spectrum of a %d x %d picture.", w, h));
        return 0;
    }
    const uint8_t* pixels = picture.Data() + d.pixelOffset;
    const int32_t stride = RowBytes(w * 24);
    for (int32_t y = 0; y < h; ++y) {
        const uint8_t* row = pixels + static_cast<size_t>(y) * stride;
        float* out = grey.data() + static_cast<size_t>(y) * w;
        for (int32_t x = 0; x < w; ++x)
            out[x] = 0.114f * row[3 * x] + 0.587f * row[3 * x + 1] + 0.299f * row[3 * x + 2];
    }
    return MakeSpectrumImage(grey.data(), w, h, image);
}
