#pragma once

// Small pictures for the blur, deconvolution and stamp tests: crops of a sample photograph
// laid out as the engine lays them out, blurred by the program's own blur when asked.

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "fourier/fourier.h"
#include "image/dib.h"
#include "image/picture_file.h"
#include "stamp/blur.h"
#include "support/pictures.h"

// W x H pixels of the 160 x 120 sample from column x0, row y0, in rows of RowBytes(W * 24).
inline std::vector<uint8_t> SampleCrop(int32_t w, int32_t h, int32_t x0, int32_t y0) {
    DibHandle dib;
    CSize size;
    std::vector<uint8_t> crop(static_cast<size_t>(RowBytes(w * 24)) * h, 0);
    if (ReadPictureFile(std::string(ZELVANTO_SAMPLES_DIR) + "/coffee_160x120.bmp", dib, size) != 1)
        return {};
    const std::vector<uint8_t> all = PictureBytes(dib);
    const int32_t stride = RowBytes(size.cx * 24);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t i = 0; i < 3 * w; ++i)
            crop[y * RowBytes(w * 24) + i] = all[(y0 + y) * stride + 3 * x0 + i];
    return crop;
}

// The picture blurred by the program's blur and rounded into bytes.
inline std::vector<uint8_t> Blurred(const std::vector<uint8_t>& picture, int32_t w, int32_t h,
                                    const CBlurParameters& blur) {
    std::vector<double> real(picture.size(), 0.0);
    BlurPicture(picture.data(), real.data(), w, h, RowBytes(w * 24), blur);
    std::vector<uint8_t> out(picture.size(), 0);
    for (size_t i = 0; i < out.size(); ++i) out[i] = ByteFromReal(real[i]);
    return out;
}

// Peak signal-to-noise ratio in dB of b against a over the pixel bytes (padding skipped).
inline double Psnr(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, int32_t w,
                   int32_t h) {
    const int32_t stride = RowBytes(w * 24);
    double sum = 0.0;
    for (int32_t y = 0; y < h; ++y)
        for (int32_t i = 0; i < 3 * w; ++i) {
            const double d = static_cast<double>(a[y * stride + i]) - b[y * stride + i];
            sum += d * d;
        }
    const double mse = sum / (3.0 * w * h);
    return mse == 0.0 ? 999.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}
