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
    EXPECT_EQ(CFourier::ChosenEngine(), EngineChoice::Fft);
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

namespace {

// The centred spectrum by its definition, for any size: pixel origin at (W/2, H/2),
// frequencies fx = -W/2 .. W - W/2 - 1 (integer halves), normalised by 1/(W*H).
std::vector<Complex> DirectSpectrum(const std::vector<uint8_t>& picture, int w, int h, int stride) {
    const double pi = 3.14159265358979323846;
    std::vector<Complex> s(static_cast<size_t>(3 * w * h), Complex(0, 0));
    for (int c = 0; c < 3; ++c)
        for (int fy = -(h / 2); fy < h - h / 2; ++fy)
            for (int fx = -(w / 2); fx < w - w / 2; ++fx) {
                double re = 0, im = 0;
                for (int y = 0; y < h; ++y)
                    for (int x = 0; x < w; ++x) {
                        const double a = -2 * pi *
                                         (static_cast<double>(fx * (x - w / 2)) / w +
                                          static_cast<double>(fy * (y - h / 2)) / h);
                        const double p = picture[static_cast<size_t>(c + 3 * x + y * stride)];
                        re += p * std::cos(a);
                        im += p * std::sin(a);
                    }
                s[static_cast<size_t>(c * w * h + (fy + h / 2) * w + fx + w / 2)] =
                    Complex(re / (w * h), im / (w * h));
            }
    return s;
}

}  // namespace

TEST(FftEngine, TakesAnySizeOddSidesTooAndAgreesWithTheDefinition) {
    CEngineSettings restore;
    const std::pair<int, int> sizes[] = {{5, 3}, {7, 4}, {9, 9}, {1, 6}, {12, 7}, {13, 1}, {1, 1}};
    for (const auto& [w, h] : sizes) {
        SCOPED_TRACE(testing::Message() << w << "x" << h);
        const int stride = (3 * w + 3) / 4 * 4;
        CFourier engine;
        // Without the projection (N = 0) the engine takes the size, whatever the choice.
        ASSERT_TRUE(engine.SetUp(w, h, stride, h, 0));
        CFourier::SetEngine(FourierEngine::Projection);
        EXPECT_EQ(engine.ActiveEngine(), FourierEngine::Fft);
        std::vector<uint8_t> picture(static_cast<size_t>(stride * h), 0), map(size_t(w * h));
        uint32_t seed = static_cast<uint32_t>(31 * w + h);
        for (int y = 0; y < h; ++y)
            for (int i = 0; i < 3 * w; ++i)
                picture[static_cast<size_t>(y * stride + i)] =
                    static_cast<uint8_t>((seed = seed * 1664525u + 1013904223u) >> 24);
        std::vector<Complex> s(static_cast<size_t>(3 * w * h), Complex(0, 0));
        ASSERT_TRUE(engine.Transform(picture.data(), s.data(), map.data()));
        const std::vector<Complex> expected = DirectSpectrum(picture, w, h, stride);
        EXPECT_LE(LargestDifference(s, expected), 1e-11 * LargestMagnitude(expected));

        std::vector<double> real(static_cast<size_t>(stride * h), -1.0);
        ASSERT_TRUE(engine.InverseTransform(real.data(), s.data(), map.data()));
        std::vector<uint8_t> back(picture.size(), 0);
        engine.RealsToBytes(back.data(), real.data());
        EXPECT_EQ(back, picture);

        // The shift moves the picture by (-dx, -dy) cyclically.
        const int dx = 2, dy = -1;
        engine.ShiftPicture(s.data(), dx, dy);
        ASSERT_TRUE(engine.InverseTransform(real.data(), s.data(), map.data()));
        engine.RealsToBytes(back.data(), real.data());
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                for (int c = 0; c < 3; ++c)
                    ASSERT_EQ(back[static_cast<size_t>(y * stride + 3 * x + c)],
                              picture[static_cast<size_t>(((y + dy + h) % h) * stride +
                                                          3 * ((x + dx) % w) + c)])
                        << x << "," << y;

        // An impulse's spectrum is the transform of a picture with one pixel set.
        std::vector<uint8_t> one(picture.size(), 0);
        const int x0 = w - 1, y0 = h / 3;
        for (int c = 0; c < 3; ++c) one[static_cast<size_t>(y0 * stride + 3 * x0 + c)] = 1;
        std::vector<Complex> impulse(s.size()), transformed(s.size());
        engine.ImpulseSpectrum(x0, y0, impulse.data());
        ASSERT_TRUE(engine.Transform(one.data(), transformed.data(), map.data()));
        EXPECT_LE(LargestDifference(impulse, transformed), 1e-15);
    }
}

TEST(FftEngine, TheAnySizeShiftAndImpulseAgreeWithTheProjectionsTables) {
    CEngineSettings restore;
    const int w = 20, h = 12, stride = 60;
    CFourier exact, any;
    ASSERT_TRUE(exact.SetUp(w, h, stride, h, 60));
    ASSERT_TRUE(any.SetUp(w, h, stride, h, 0));
    std::vector<Complex> a(size_t(3 * w * h)), b(size_t(3 * w * h));
    exact.ImpulseSpectrum(7, 3, a.data());
    any.ImpulseSpectrum(7, 3, b.data());
    EXPECT_LE(LargestDifference(a, b), 1e-15);
    exact.ShiftPicture(a.data(), -5, 9);
    any.ShiftPicture(b.data(), -5, 9);
    EXPECT_LE(LargestDifference(a, b), 1e-15);
}

TEST(FftEngine, TheEngineGoesByThePictureSizeUnlessOneIsChosen) {
    CEngineSettings restore;
    EXPECT_EQ(CFourier::ChosenEngine(), EngineChoice::Automatic);
    EXPECT_EQ(CFourier::EngineForPicture(320, 240), FourierEngine::Projection);
    EXPECT_EQ(CFourier::EngineForPicture(240, 320), FourierEngine::Projection);
    EXPECT_EQ(CFourier::EngineForPicture(322, 240), FourierEngine::Fft);
    EXPECT_EQ(CFourier::EngineForPicture(4032, 3024), FourierEngine::Fft);
    CFourier engine;
    ASSERT_TRUE(engine.SetUp(640, 480, 1920, 480, 1920));
    EXPECT_EQ(engine.ActiveEngine(), FourierEngine::Fft);
    EXPECT_EQ(engine.EngineDescription(), "fft engine, by picture size");
    CFourier::SetEngine(FourierEngine::Projection);
    EXPECT_EQ(CFourier::EngineForPicture(4032, 3024), FourierEngine::Projection);
    EXPECT_EQ(engine.ActiveEngine(), FourierEngine::Projection);
    EXPECT_EQ(engine.EngineDescription(), "projection engine, chosen");
    CFourier::SetEngine(FourierEngine::Fft);
    EXPECT_EQ(CFourier::EngineForPicture(16, 12), FourierEngine::Fft);
    // Sizes beyond any picture the readers take are refused.
    EXPECT_FALSE(engine.SetUp(1 << 14, (1 << 13) + 2, 3 << 14, (1 << 13) + 2, 0));
    EXPECT_FALSE(engine.SetUp(0, 5, 12, 5, 0));
    EXPECT_FALSE(engine.SetUp(5, 5, 14, 5, 0));  // rows shorter than 3W
}
