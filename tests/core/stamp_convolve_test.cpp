// Convolution with a stamp: the direct sums on any thread count and the FFT agree with the
// serial scatter in every rounded byte, except where the sum lies within 1e-6 of a tie.
#include "stamp/stamp_convolve.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "fourier/fourier.h"
#include "image/dib.h"

namespace {

RubberStamp MakeStamp(int32_t w, int32_t h, int32_t px, int32_t py,
                      const std::vector<double>& values) {
    RubberStamp s;
    s.width = w;
    s.height = h;
    s.peakX = px;
    s.peakY = py;
    s.values.resize(values.size());
    std::copy(values.begin(), values.end(), s.Values());
    return s;
}

std::vector<uint8_t> RandomPicture(int32_t w, int32_t h, uint32_t seed) {
    std::vector<uint8_t> p(static_cast<size_t>(RowBytes(w * 24)) * h, 0);
    std::mt19937 random(seed);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t i = 0; i < 3 * w; ++i) p[y * RowBytes(w * 24) + i] = random() & 0xff;
    return p;
}

// Compares the rounded bytes of a result with the serial scatter's; a difference is allowed
// only where the serial sum lies within 1e-6 of a rounding tie. Gives the number of those.
int CompareWithScatter(const std::vector<double>& result, const std::vector<double>& serial,
                       int32_t w, int32_t h) {
    int ties = 0;
    const int32_t stride = RowBytes(w * 24);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t i = 0; i < 3 * w; ++i) {
            const double s = serial[y * stride + i];
            const double r = result[y * stride + i];
            EXPECT_NEAR(r, s, 1e-7 * (1.0 + std::fabs(s)));
            if (ByteFromReal(r) == ByteFromReal(s)) continue;
            const double fraction = s - std::floor(s);
            EXPECT_LT(std::fabs(fraction - 0.5), 1e-6) << "at row " << y << " value " << i;
            ++ties;
        }
    return ties;
}

}  // namespace

TEST(StampConvolution, EveryMethodAndThreadCountRoundsLikeTheSerialScatter) {
    struct Case {
        int32_t sw, sh, px, py;
    };
    const int32_t w = 40, h = 30;
    const std::vector<uint8_t> picture = RandomPicture(w, h, 5);
    std::mt19937 random(9);
    std::uniform_real_distribution<double> value(-0.3, 1.0);
    // Small and whole-picture stamps, peaks inside, at the edge and outside, stamps larger
    // than the picture (their offsets wrap onto each other).
    for (const Case c : {Case{5, 3, 2, 1}, Case{1, 1, 0, 0}, Case{7, 9, 0, 8}, Case{40, 30, 20, 15},
                         Case{13, 5, -3, 7}, Case{45, 33, 22, 16}}) {
        std::vector<double> values(static_cast<size_t>(c.sw) * c.sh);
        for (double& v : values) v = value(random) / (c.sw * c.sh);
        const RubberStamp stamp = MakeStamp(c.sw, c.sh, c.px, c.py, values);
        const CStampRect rect{0, c.sh, c.sw, 0};
        std::vector<double> serial(picture.size(), -5.0);
        ConvolveWithStampSerial(picture.data(), serial.data(), w, h, RowBytes(w * 24), stamp, rect,
                                c.px, c.py);
        for (CStampConvolution method :
             {CStampConvolution::Direct, CStampConvolution::Fft, CStampConvolution::Automatic})
            for (int32_t threads : {1, 2, 3}) {
                std::vector<double> result(picture.size(), -5.0);
                ASSERT_TRUE(ConvolveWithStamp(picture.data(), result.data(), w, h, RowBytes(w * 24),
                                              stamp, rect, c.px, c.py, method, threads));
                CompareWithScatter(result, serial, w, h);
            }
    }
}

TEST(StampConvolution, ExactTiesMayRoundEitherWayButNothingElseDiffers) {
    // (0.5, 0, 0.5) on whole bytes makes a tie of every odd sum; the FFT lands beside it.
    const int32_t w = 24, h = 16;
    const std::vector<uint8_t> picture = RandomPicture(w, h, 77);
    const RubberStamp stamp = MakeStamp(3, 1, 1, 0, {0.5, 0.0, 0.5});
    const CStampRect rect{0, 1, 3, 0};
    std::vector<double> serial(picture.size(), 0.0), fft(picture.size(), 0.0),
        direct(picture.size(), 0.0);
    ConvolveWithStampSerial(picture.data(), serial.data(), w, h, RowBytes(w * 24), stamp, rect, 1,
                            0);
    ASSERT_TRUE(ConvolveWithStamp(picture.data(), fft.data(), w, h, RowBytes(w * 24), stamp, rect,
                                  1, 0, CStampConvolution::Fft, 2));
    ASSERT_TRUE(ConvolveWithStamp(picture.data(), direct.data(), w, h, RowBytes(w * 24), stamp,
                                  rect, 1, 0, CStampConvolution::Direct, 2));
    CompareWithScatter(fft, serial, w, h);
    // The direct sums of halves are exact: no byte differs at all.
    EXPECT_EQ(CompareWithScatter(direct, serial, w, h), 0);
    // The mean of the left and right neighbours, wrapping at the edges.
    const int32_t stride = RowBytes(w * 24);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            for (int32_t c = 0; c < 3; ++c)
                EXPECT_EQ(direct[y * stride + 3 * x + c],
                          (picture[y * stride + 3 * ((x + w - 1) % w) + c] +
                           picture[y * stride + 3 * ((x + 1) % w) + c]) /
                              2.0);
}

TEST(StampConvolution, TheCheaperMethodIsChosenBySize) {
    EXPECT_FALSE(StampPrefersFft(640, 480, 3, 3));
    EXPECT_TRUE(StampPrefersFft(640, 480, 640, 480));
    EXPECT_TRUE(StampPrefersFft(640, 480, 41, 41));
    EXPECT_FALSE(StampPrefersFft(640, 480, 0, 5));
}
