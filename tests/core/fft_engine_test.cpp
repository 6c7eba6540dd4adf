// The FFT engine against the exact projection engine: the same layout, normalisation and
// centring to within rounding, in both directions, for any thread count.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <vector>

#include "fourier/fourier.h"
#include "support/engine_settings.h"

namespace {

struct CCase {
    int w, h, stride;
    CFourier engine;
    std::vector<uint8_t> picture;
    std::vector<uint8_t> map;

    CCase(int width, int height)
        : w(width),
          h(height),
          stride((3 * width + 3) / 4 * 4 + 4),
          picture(static_cast<size_t>(stride * height), 0),
          map(static_cast<size_t>(width * height), 0) {
        EXPECT_TRUE(engine.SetUp(w, h, stride, h, std::lcm(w, h)));
    }
    void Fill(uint32_t seed) {
        for (uint8_t& b : picture)
            b = static_cast<uint8_t>((seed = seed * 1664525u + 1013904223u) >> 24);
    }
    std::vector<Complex> Spectrum(FourierEngine which) {
        CFourier::SetEngine(which);
        std::vector<Complex> s(static_cast<size_t>(3 * w * h), Complex(0, 0));
        EXPECT_TRUE(engine.Transform(picture.data(), s.data(), map.data()));
        return s;
    }
    std::vector<double> Real(FourierEngine which, const std::vector<Complex>& s) {
        CFourier::SetEngine(which);
        std::vector<double> r(static_cast<size_t>(stride * h), -1.0);
        EXPECT_TRUE(engine.InverseTransform(r.data(), s.data(), map.data()));
        return r;
    }
};

double LargestDifference(const std::vector<Complex>& a, const std::vector<Complex>& b) {
    double d = 0;
    for (size_t i = 0; i < a.size(); ++i)
        d = std::max({d, std::abs(a[i].re - b[i].re), std::abs(a[i].im - b[i].im)});
    return d;
}

double LargestMagnitude(const std::vector<Complex>& a) {
    double m = 0;
    for (const Complex& v : a) m = std::max(m, std::sqrt(v.SquaredMagnitude()));
    return m;
}

}  // namespace

TEST(FftEngine, FourByTwoExampleGivesTheKnownSpectrumAndBytesBack) {
    CEngineSettings restore;
    CCase c(4, 2);
    const uint8_t blue[8] = {10, 20, 30, 40, 50, 60, 70, 80};
    for (int i = 0; i < 8; ++i)
        c.picture[static_cast<size_t>(3 * (i % 4) + (i / 4) * c.stride)] = blue[i];
    const std::vector<Complex> s = c.Spectrum(FourierEngine::Fft);
    auto at = [&](int fx, int fy) { return s[static_cast<size_t>((fy + 1) * 4 + fx + 2)]; };
    const struct {
        int fx, fy;
        double re, im;
    } expected[] = {{-2, 0, -5, 0}, {-1, 0, 5, 5},  {0, 0, 45, 0},  {1, 0, 5, -5},
                    {-2, -1, 0, 0}, {-1, -1, 0, 0}, {0, -1, 20, 0}, {1, -1, 0, 0}};
    for (const auto& e : expected) {
        EXPECT_NEAR(at(e.fx, e.fy).re, e.re, 1e-12) << e.fx << "," << e.fy;
        EXPECT_NEAR(at(e.fx, e.fy).im, e.im, 1e-12) << e.fx << "," << e.fy;
    }
    const std::vector<double> r = c.Real(FourierEngine::Fft, s);
    for (int i = 0; i < 8; ++i)
        EXPECT_NEAR(r[static_cast<size_t>(3 * (i % 4) + (i / 4) * c.stride)], blue[i], 1e-12);
    EXPECT_EQ(r[12], -1.0);  // padding untouched
}

TEST(FftEngine, AgreesWithTheProjectionEngineBothWays) {
    CEngineSettings restore;
    const std::pair<int, int> sizes[] = {{12, 10}, {20, 6}, {16, 8}, {64, 48}, {40, 30}};
    for (const auto& [w, h] : sizes) {
        for (int threads : {1, 2, 4}) {
            SCOPED_TRACE(testing::Message() << w << "x" << h << ", " << threads << " threads");
            CFourier::SetThreadCount(threads);
            CCase c(w, h);
            c.Fill(static_cast<uint32_t>(w * 7 + h));
            const std::vector<Complex> exact = c.Spectrum(FourierEngine::Projection);
            const std::vector<Complex> fast = c.Spectrum(FourierEngine::Fft);
            EXPECT_LE(LargestDifference(exact, fast), 1e-9 * LargestMagnitude(exact));

            // A spectrum that is no real picture's: both engines take the real part.
            std::vector<Complex> odd = exact;
            for (size_t i = 0; i < odd.size(); i += 5) odd[i] = Complex(odd[i].im, 3.0 * odd[i].re);
            const std::vector<Complex>* const spectra[] = {&exact, &odd};
            for (const std::vector<Complex>* s : spectra) {
                const std::vector<double> a = c.Real(FourierEngine::Projection, *s);
                const std::vector<double> b = c.Real(FourierEngine::Fft, *s);
                double largest = 0, difference = 0;
                for (size_t i = 0; i < a.size(); ++i) {
                    largest = std::max(largest, std::abs(a[i]));
                    difference = std::max(difference, std::abs(a[i] - b[i]));
                }
                EXPECT_LE(difference, 1e-9 * largest);
            }
            // Round trip to bytes: the same picture, but for rare ties at .5.
            const std::vector<double> back = c.Real(FourierEngine::Fft, fast);
            std::vector<uint8_t> bytes(c.picture.size(), 0);
            c.engine.RealsToBytes(bytes.data(), back.data());
            int differ = 0;
            for (int y = 0; y < h; ++y)
                for (int i = 0; i < 3 * w; ++i)
                    differ += bytes[static_cast<size_t>(y * c.stride + i)] !=
                              c.picture[static_cast<size_t>(y * c.stride + i)];
            EXPECT_LE(differ, 3);
        }
    }
}

TEST(FftEngine, EngineChoiceReachesTransformAndProgressCanCancel) {
    CEngineSettings restore;
    CCase c(20, 6);
    c.Fill(2);
    CFourier::SetEngine(FourierEngine::Fft);
    EXPECT_EQ(CFourier::Engine(), FourierEngine::Fft);
    std::vector<Complex> s(static_cast<size_t>(3 * 20 * 6), Complex(0, 0));
    std::vector<double> seen;
    ASSERT_TRUE(c.engine.Transform(c.picture.data(), s.data(), c.map.data(),
                                   [&](double f) { return seen.push_back(f), true; }));
    EXPECT_EQ(seen, (std::vector<double>{1.0 / 3, 2.0 / 3, 1.0}));  // one call per channel

    int calls = 0;
    auto stopAtOnce = [&](double) { return ++calls < 1; };
    std::vector<double> r(c.picture.size(), -1.0);
    EXPECT_FALSE(c.engine.InverseTransform(r.data(), s.data(), c.map.data(), stopAtOnce));
    EXPECT_EQ(calls, 1);
    // Only the first channel was done.
    EXPECT_NE(r[0], -1.0);
    EXPECT_EQ(r[1], -1.0);
}
