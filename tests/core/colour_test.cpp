// The colour adjustment: blend of Result and Original, gamma curve, stretch around the
// measured means and offset, on small pictures; the same bits for any thread count.
#include "document/colour.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "support/engine_settings.h"

namespace {

// A W x H picture in the engine's layout (rows padded), its Result samples and Original.
struct Pictures {
    CFourier fourier;
    std::vector<uint8_t> original;
    std::vector<double> result;
    std::vector<uint8_t> picture;

    Pictures(int32_t w, int32_t h, int32_t n) {
        EXPECT_TRUE(fourier.SetUp(w, h, RowBytes(w * 24), h, n));
        const size_t bytes = static_cast<size_t>(RowBytes(w * 24)) * h;
        original.assign(bytes, 0);
        result.assign(bytes, 0.0);
        picture.assign(bytes, 0xEE);
    }
    int32_t Stride() const { return fourier.RowStride(); }
    size_t At(int32_t x, int32_t y, int32_t c) const {
        return static_cast<size_t>(y * Stride() + 3 * x + c);
    }
    // Sets the Result samples, measures their rounded bytes as the engine's means.
    void MeasureResult() {
        std::vector<uint8_t> bytes(picture.size(), 0);
        fourier.RealsToBytes(bytes.data(), result.data());
        fourier.MeasurePicture(bytes.data());
    }
    void Adjust(const ColorSettings& s) {
        ColourAdjustPicture(fourier, original.data(), result.data(), picture.data(), s);
    }
    uint8_t Out(int32_t x, int32_t y, int32_t c) const { return picture[At(x, y, c)]; }
};

// 6 x 4 (N = 12): rows of 18 bytes padded to 20.
Pictures Varied() {
    Pictures p(6, 4, 12);
    for (int32_t y = 0; y < 4; ++y)
        for (int32_t x = 0; x < 6; ++x)
            for (int32_t c = 0; c < 3; ++c) {
                p.result[p.At(x, y, c)] = 40.0 + 30 * x + 7 * y + 11 * c + 0.25 * c;
                p.original[p.At(x, y, c)] = static_cast<uint8_t>(200 - 20 * x - 9 * y - c);
            }
    p.MeasureResult();
    return p;
}

Pictures Flat(double value) {
    Pictures p(6, 4, 12);
    for (int32_t y = 0; y < 4; ++y)
        for (int32_t i = 0; i < 18; ++i) p.result[static_cast<size_t>(y * 20 + i)] = value;
    p.MeasureResult();
    return p;
}

void ExpectPaddingKept(const Pictures& p) {
    for (int32_t y = 0; y < p.fourier.Height(); ++y)
        for (int32_t i = 3 * p.fourier.Width(); i < p.Stride(); ++i)
            EXPECT_EQ(p.picture[static_cast<size_t>(y * p.Stride() + i)], 0xEE);
}

}  // namespace

TEST(Colour, DefaultsGiveTheResultAndShareZeroTheOriginal) {
    Pictures p = Varied();
    ColorSettings s;
    p.Adjust(s);
    for (int32_t y = 0; y < 4; ++y)
        for (int32_t x = 0; x < 6; ++x)
            for (int32_t c = 0; c < 3; ++c)
                EXPECT_EQ(p.Out(x, y, c), ByteFromReal(p.result[p.At(x, y, c)]));
    ExpectPaddingKept(p);

    s.m_nResultShare = 0;
    p.Adjust(s);
    for (int32_t y = 0; y < 4; ++y)
        for (int32_t x = 0; x < 6; ++x)
            for (int32_t c = 0; c < 3; ++c) EXPECT_EQ(p.Out(x, y, c), p.original[p.At(x, y, c)]);
    ExpectPaddingKept(p);

    // Half and half: the mean of the two, rounded half up.
    s.m_nResultShare = 50;
    p.Adjust(s);
    EXPECT_EQ(p.Out(2, 1, 0), ByteFromReal(0.5 * (40 + 60 + 7) + 0.5 * (200 - 40 - 9)));
}

TEST(Colour, LightMovesAndClampsContrastStretchesAroundTheMeans) {
    Pictures grey = Flat(128.0);
    ColorSettings s;
    s.m_nLight = 100;
    grey.Adjust(s);
    EXPECT_EQ(grey.Out(3, 2, 1), 255);
    s.m_nLight = -100;
    grey.Adjust(s);
    EXPECT_EQ(grey.Out(3, 2, 1), 0);
    s.m_nLight = 12;  // +30.6
    grey.Adjust(s);
    EXPECT_EQ(grey.Out(0, 0, 2), 159);

    // Contrast 0: flat at each channel's mean plus its offset.
    Pictures p = Varied();
    s = ColorSettings{};
    s.m_nContrast = 0;
    s.m_nGreenAverage = 4;  // +10.2 on green only
    p.Adjust(s);
    for (int32_t y = 0; y < 4; ++y)
        for (int32_t x = 0; x < 6; ++x) {
            EXPECT_EQ(p.Out(x, y, 0), ByteFromReal(p.fourier.Mean(0)));
            EXPECT_EQ(p.Out(x, y, 1), ByteFromReal(p.fourier.Mean(1) + 4 * 2.55));
            EXPECT_EQ(p.Out(x, y, 2), ByteFromReal(p.fourier.Mean(2)));
        }

    // Contrast 200 doubles every distance from the mean; red variation 50 alone halves red.
    s = ColorSettings{};
    s.m_nContrast = 200;
    p.Adjust(s);
    const Pictures& q = p;
    for (int32_t c = 0; c < 3; ++c) {
        const double mean = q.fourier.Mean(c);
        const double v = q.result[q.At(1, 2, c)];
        EXPECT_EQ(q.Out(1, 2, c), ByteFromReal((v - mean) * 2 + mean)) << c;
    }
    s = ColorSettings{};
    s.m_nRedVariation = 50;
    p.Adjust(s);
    for (int32_t x = 0; x < 6; ++x) {
        const double mean = p.fourier.Mean(2);
        EXPECT_EQ(p.Out(x, 3, 2), ByteFromReal((p.result[p.At(x, 3, 2)] - mean) * 0.5 + mean));
        EXPECT_EQ(p.Out(x, 3, 1), ByteFromReal(p.result[p.At(x, 3, 1)]));
        EXPECT_EQ(p.Out(x, 3, 0), ByteFromReal(p.result[p.At(x, 3, 0)]));
    }
    ExpectPaddingKept(p);
}

TEST(Colour, GammaBendsMidGreyAndItsEndsGiveTheCurveLimits) {
    Pictures grey = Flat(128.0);
    ColorSettings s;
    s.m_nGamma = 25;
    grey.Adjust(s);
    EXPECT_EQ(grey.Out(5, 3, 0), 26);
    s.m_nGamma = 75;
    grey.Adjust(s);
    EXPECT_EQ(grey.Out(5, 3, 0), 230);
    EXPECT_NEAR(GammaCurve(128, 25), 25.68, 0.01);
    EXPECT_NEAR(GammaCurve(128, 75), 229.68, 0.01);
    for (int32_t g = 1; g < 100; ++g) {
        EXPECT_EQ(GammaCurve(0, g), 0.0) << g;
        EXPECT_NEAR(GammaCurve(255, g), 255.0, 1e-6) << g;
    }
    EXPECT_EQ(GammaCurve(77.7, 50), 77.7);

    // Gamma 0: everything below 255 goes to 0; gamma 100: everything above 0 to 255.
    const double samples[] = {0.0, 0.25, 1.0, 127.5, 254.9, 255.0, 300.0, -3.0};
    for (double v : samples) {
        EXPECT_TRUE(std::isfinite(GammaCurve(v, 0))) << v;
        EXPECT_TRUE(std::isfinite(GammaCurve(v, 100))) << v;
    }
    EXPECT_EQ(GammaCurve(254.9, 0), 0.0);
    EXPECT_EQ(GammaCurve(255.0, 0), 255.0);
    EXPECT_EQ(GammaCurve(0.25, 100), 255.0);
    EXPECT_EQ(GammaCurve(0.0, 100), 0.0);
    // The curve goes there: a gamma close to the end is close to the limit.
    EXPECT_LT(GammaCurve(127.5, 1), 1.0);
    EXPECT_GT(GammaCurve(127.5, 99), 254.0);

    // Through the whole operation, a zero blend value with gamma 100 gives 0.
    Pictures p = Flat(0.0);
    p.result[p.At(1, 1, 1)] = 3.0;
    p.MeasureResult();
    s = ColorSettings{};
    s.m_nGamma = 100;
    p.Adjust(s);
    EXPECT_EQ(p.Out(0, 0, 1), 0);
    EXPECT_EQ(p.Out(1, 1, 1), 255);
    s.m_nGamma = 0;
    p.Adjust(s);
    EXPECT_EQ(p.Out(1, 1, 1), 0);
    ExpectPaddingKept(p);
}

TEST(Colour, OffsetAndGainNeverOverflowForLargeEntries) {
    ColorSettings s;
    s.m_nRedAverage = INT32_MAX;
    s.m_nLight = 100;
    s.m_nBlueVariation = INT32_MIN;
    s.m_nContrast = 200;
    EXPECT_EQ(ColourOffset(s, 2), (static_cast<double>(INT32_MAX) + 100) * 2.55);
    EXPECT_EQ(ColourGain(s, 0), static_cast<double>(INT32_MIN) * 200 * 0.0001);
    EXPECT_EQ(ColourGain(s, 1), 2.0);
    Pictures p = Varied();
    p.Adjust(s);
    EXPECT_EQ(p.Out(0, 0, 2), 255);
}

TEST(Colour, EveryThreadCountGivesTheSerialLoopsBits) {
    CEngineSettings restore;
    // Large enough to be split into four parts.
    Pictures p(1024, 512, 1024);
    uint32_t seed = 12345;
    for (size_t i = 0; i < p.result.size(); ++i) {
        seed = seed * 1664525u + 1013904223u;
        p.result[i] = static_cast<double>(seed >> 8) / 16777216.0 * 300.0 - 20.0;
        p.original[i] = static_cast<uint8_t>(seed >> 24);
    }
    p.MeasureResult();
    ColorSettings s;
    s.m_nResultShare = 37;
    s.m_nGamma = 30;
    s.m_nLight = -12;
    s.m_nContrast = 130;
    s.m_nGreenVariation = 80;
    s.m_nBlueAverage = 9;

    // The plain loops, channel by channel.
    std::vector<uint8_t> expected = p.picture;
    const double m = 37 * 0.01;
    const double k = 1.0 - m;
    const double e = (100.0 - 30) / 30;
    const double f = e * e;
    for (int32_t c = 0; c < 3; ++c) {
        const double gain = ColourGain(s, c);
        const double offset = ColourOffset(s, c);
        const double mean = p.fourier.Mean(c);
        for (int32_t y = 0; y < 512; ++y)
            for (int32_t x = 0; x < 1024; ++x) {
                const size_t j = p.At(x, y, c);
                double v = m * p.result[j] + k * p.original[j];
                v = v / (v * 0.00392156862745098 * (1 - f) + f);
                expected[j] = ByteFromReal((v - mean) * gain + mean + offset);
            }
    }
    for (int32_t threads : {1, 2, 3, 4}) {
        CFourier::SetThreadCount(threads);
        std::fill(p.picture.begin(), p.picture.end(), uint8_t{0xEE});
        p.Adjust(s);
        EXPECT_TRUE(p.picture == expected) << threads << " threads";
        // One channel at a time gives the same bytes as the single pass.
        std::fill(p.picture.begin(), p.picture.end(), uint8_t{0xEE});
        for (int32_t c = 0; c < 3; ++c)
            ColourAdjust(p.fourier, p.original.data(), p.result.data(), p.picture.data(), 37,
                         ColourOffset(s, c), ColourGain(s, c), 30, c);
        EXPECT_TRUE(p.picture == expected) << threads << " threads, channel by channel";
    }
}
