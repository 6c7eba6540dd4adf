#include "fourier/fourier.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numeric>
#include <vector>

#include "platform/memory_block.h"

namespace {

// An engine set up for W x H (N = lcm) with its blocks; optional extra row padding makes
// stray writes into the padding visible.
struct CEngineCase {
    int w, h, stride, n;
    CFourier engine;
    std::vector<uint8_t> picture;
    std::vector<Complex> spectrum;
    std::vector<uint8_t> map;
    std::vector<double> real;

    CEngineCase(int width, int height, int extraPadding = 0)
        : w(width),
          h(height),
          stride((3 * width * 8 + 31) / 32 * 4 + extraPadding),
          n(std::lcm(width, height)),
          picture(stride * h, 0),
          spectrum(3 * w * h, Complex(0, 0)),
          map(w * h, 0),
          real(stride * h, -1.0) {
        EXPECT_TRUE(engine.SetUp(w, h, stride, h, n));
    }
    uint8_t& Byte(int x, int y, int ch) { return picture[ch + 3 * x + y * stride]; }
    void FillRandom(uint32_t seed) {
        for (uint8_t& b : picture)
            b = static_cast<uint8_t>((seed = seed * 1664525u + 1013904223u) >> 24);
    }
    int At(int ch, int fx, int fy) const { return ch * w * h + (fy + h / 2) * w + fx + w / 2; }
    Complex& F(int ch, int fx, int fy) { return spectrum[At(ch, fx, fy)]; }
    bool Forward() { return engine.Transform(picture.data(), spectrum.data(), map.data()); }
    bool Inverse() { return engine.InverseTransform(real.data(), spectrum.data(), map.data()); }
};

template <typename T>
bool SameBits(const std::vector<T>& a, const std::vector<T>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0;
}

// The forward transform read literally: 64-bit bins, every residue reduced with %, the
// conjugate written as a product with -im.
std::vector<Complex> LiteralTransform(const CEngineCase& c) {
    const int W = c.w, H = c.h, N = c.n;
    const Complex* t = c.engine.Table();
    std::vector<Complex> s(3 * W * H, Complex(0, 0));
    std::vector<int64_t> bins(N);
    for (int ch = 0; ch < 3; ++ch) {
        std::vector<uint8_t> map(W * H, 0);
        for (int j = 0; j < H * W; ++j) {
            const int fx = ZigZag(j % W), fy = ZigZag(j / W);
            if (map[c.At(0, fx, fy)] == 1) continue;
            std::fill(bins.begin(), bins.end(), 0);
            const int sx = ((fx + N) * N / W) % N, sy = ((fy + N) * N / H) % N;
            for (int y = 0; y < H; ++y)
                for (int x = 0, r = sy * y; x < W; ++x, r += sx)
                    bins[r % N] += c.picture[ch + 3 * x + y * c.stride];
            for (int m = 0;; ++m) {
                const int g = m == 0 ? 1 : ZigZag(m), gx = g * fx, gy = g * fy;
                if (gx < -W / 2 || gx >= W / 2 || gy < -H / 2 || gy >= H / 2) break;
                if (m > 0 && map[c.At(0, gx, gy)] != 0) continue;
                double re = 0, im = 0;
                for (int i = 0; i < N; ++i) {
                    const Complex& e = t[(i * ((g + N) % N)) % N];
                    re += static_cast<double>(bins[i]) * e.re;
                    im += static_cast<double>(bins[i]) * -e.im;
                }
                s[c.At(ch, gx, gy)] =
                    Complex(re * (1.0 / H) * (1.0 / W), im * (1.0 / H) * (1.0 / W));
                map[c.At(0, gx, gy)] = 1;
                if (fx == 0 && fy == 0) break;
            }
        }
        for (int fy = -H / 2; fy < H / 2; ++fy)
            for (int fx = -W / 2; fx < W / 2; ++fx)
                if ((fx + fy) % 2 != 0) s[c.At(ch, fx, fy)] *= -1.0;
    }
    return s;
}

// e^(i*2*pi*(a/W + b/H)) summed in long double.
std::pair<long double, long double> Turn(int a, int W, int b, int H) {
    const long double angle = 2 * 3.141592653589793238462643383279L *
                              (static_cast<long double>(a) / W + static_cast<long double>(b) / H);
    return {std::cos(angle), std::sin(angle)};
}

}  // namespace

TEST(FourierEngine, FourByTwoExampleGivesKnownSpectrumStatisticsAndBytesBack) {
    CEngineCase c(4, 2);
    const uint8_t blue[8] = {10, 20, 30, 40, 50, 60, 70, 80};
    for (int i = 0; i < 8; ++i) c.Byte(i % 4, i / 4, 0) = blue[i];
    ASSERT_TRUE(c.Forward());
    const struct {
        int fx, fy;
        double re, im;
    } expected[] = {{-2, 0, -5, 0}, {-1, 0, 5, 5},  {0, 0, 45, 0},  {1, 0, 5, -5},
                    {-2, -1, 0, 0}, {-1, -1, 0, 0}, {0, -1, 20, 0}, {1, -1, 0, 0}};
    for (const auto& e : expected) {
        EXPECT_NEAR(c.F(0, e.fx, e.fy).re, e.re, 1e-12) << e.fx << "," << e.fy;
        EXPECT_NEAR(c.F(0, e.fx, e.fy).im, e.im, 1e-12) << e.fx << "," << e.fy;
    }
    EXPECT_EQ(c.F(1, 0, 0), Complex(0, 0));

    c.engine.MeasurePicture(c.picture.data());
    EXPECT_DOUBLE_EQ(c.engine.Mean(0), 45.0);
    EXPECT_DOUBLE_EQ(c.engine.Deviation(0), std::sqrt(525.0));
    c.engine.MeasureSpectrum(c.spectrum.data());
    EXPECT_NEAR(c.engine.Mean(0), 45.0, 1e-12);
    EXPECT_NEAR(c.engine.Deviation(0), std::sqrt(525.0), 1e-12);

    const std::vector<uint8_t> original = c.picture;
    ASSERT_TRUE(c.Inverse());
    std::fill(c.picture.begin(), c.picture.end(), 0x77);
    c.engine.RealsToBytes(c.picture.data(), c.real.data());
    EXPECT_EQ(c.picture, original);
}

TEST(FourierEngine, RoundTripReturnsTheBytesAndLeavesPaddingAlone) {
    const int sizes[][3] = {{8, 4, 0},   {12, 10, 4}, {20, 6, 0},
                            {16, 16, 8}, {40, 30, 0}, {64, 48, 4}};
    for (const auto& [w, h, padding] : sizes) {
        SCOPED_TRACE(testing::Message() << w << "x" << h);
        CEngineCase c(w, h, padding);
        c.FillRandom(static_cast<uint32_t>(w * 131 + h));
        const std::vector<uint8_t> original = c.picture;
        ASSERT_TRUE(c.Forward());
        ASSERT_TRUE(c.Inverse());
        for (int y = 0; y < h; ++y)
            for (int i = 0; i < c.stride; ++i) {
                const double v = c.real[y * c.stride + i];
                if (i < 3 * w)
                    ASSERT_NEAR(v, original[y * c.stride + i], 1e-9);
                else
                    ASSERT_EQ(v, -1.0);  // padding never written
            }
        c.engine.RealsToBytes(c.picture.data(), c.real.data());
        EXPECT_EQ(c.picture, original);
    }
}

TEST(FourierEngine, SpectrumIsTheLiteralLoopsToTheBitAndAPlainDft) {
    for (const auto& [w, h] : {std::pair{12, 10}, std::pair{20, 6}, std::pair{16, 8}}) {
        SCOPED_TRACE(testing::Message() << w << "x" << h);
        CEngineCase c(w, h);
        c.FillRandom(static_cast<uint32_t>(w + 7 * h));
        ASSERT_TRUE(c.Forward());
        EXPECT_TRUE(SameBits(c.spectrum, LiteralTransform(c)));
        for (int i = 0; i < 3 * w * h; ++i) {
            const int ch = i / (w * h), fx = i % w - w / 2, fy = i / w % h - h / 2;
            long double re = 0, im = 0;
            for (int p = 0; p < w * h; ++p) {
                const auto [cs, sn] = Turn(-fx * (p % w), w, -fy * (p / w), h);
                re += c.Byte(p % w, p / w, ch) * cs;
                im += c.Byte(p % w, p / w, ch) * sn;
            }
            const long double sign = (fx + fy) % 2 != 0 ? -1.0L / (w * h) : 1.0L / (w * h);
            ASSERT_NEAR(c.F(ch, fx, fy).re, static_cast<double>(sign * re), 1e-11);
            ASSERT_NEAR(c.F(ch, fx, fy).im, static_cast<double>(sign * im), 1e-11);
        }
    }
}

TEST(FourierEngine, PowerOfTwoVariantsGiveTheGeneralBits) {
    CEngineCase c(32, 16);
    ASSERT_TRUE(c.engine.IsPowerOfTwo());
    c.FillRandom(5);
    ASSERT_TRUE(c.Forward());
    ASSERT_TRUE(c.Inverse());
    std::vector<Complex> spectrum(c.spectrum.size(), Complex(0, 0));
    std::vector<double> real(c.real.size(), -1.0);
    for (int ch = 0; ch < 3; ++ch) {
        c.engine.ClearMap(c.map.data(), 0);
        for (int j = 0; j < c.h * c.w; ++j)
            c.engine.TransformFrequency(c.picture.data(), spectrum.data(), c.map.data(), ch,
                                        ZigZag(j % c.w), ZigZag(j / c.w));
    }
    c.engine.CentreSpectrum(spectrum.data());
    EXPECT_TRUE(SameBits(spectrum, c.spectrum));
    for (int ch = 0; ch < 3; ++ch) {
        c.engine.ClearMap(c.map.data(), 0);
        for (int j = 0; j < c.h * c.w; ++j)
            c.engine.InversePixel(real.data(), c.spectrum.data() + ch * c.w * c.h, c.map.data(),
                                  c.w / 2 + ZigZag(j % c.w), c.h / 2 + ZigZag(j / c.w), ch);
    }
    EXPECT_TRUE(SameBits(real, c.real));
}

TEST(FourierEngine, MultiplesStopAtTheFirstOneOutOfRangeAndSkipKnownOnes) {
    CEngineCase c(8, 4);
    c.FillRandom(11);
    // (-W/2, 0): its first multiple, (W/2, 0), is already out of range.
    c.engine.TransformFrequency(c.picture.data(), c.spectrum.data(), c.map.data(), 0, -4, 0);
    EXPECT_EQ(std::count(c.map.begin(), c.map.end(), 1), 1);
    // (1, 0) serves -1, 2, -2, 3 and -3, passes the known -4 by and stops at 4.
    c.F(0, -4, 0) = Complex(1234, 0);
    c.engine.TransformFrequency(c.picture.data(), c.spectrum.data(), c.map.data(), 0, 1, 0);
    EXPECT_EQ(std::count(c.map.begin(), c.map.end(), 1), 7);
    EXPECT_EQ(c.F(0, -4, 0), Complex(1234, 0));
}

TEST(FourierEngine, HistogramBinsHoldAWhite4096Picture) {
    // All 16M pixels of the DC land in one bin: 255 * 4096 * 4096 = 4278190080 > 2^31.
    constexpr int kSide = 4096;
    CFourier engine;
    ASSERT_TRUE(engine.SetUp(kSide, kSide, 3 * kSide, kSide, kSide));
    std::vector<uint8_t> picture(size_t{3} * kSide * kSide, 255);
    CMemoryBlock spectrum = CMemoryBlock::Allocate(3 * sizeof(Complex) * kSide * kSide);
    CMemoryBlock map = CMemoryBlock::Allocate(size_t{kSide} * kSide);
    ASSERT_TRUE(spectrum && map);
    for (int ch = 0; ch < 3; ++ch) {
        map.Data()[size_t{kSide / 2} * kSide + kSide / 2] = 0;
        engine.TransformFrequency(picture.data(), spectrum.As<Complex>(), map.Data(), ch, 0, 0);
        EXPECT_EQ(engine.DcValue(spectrum.As<Complex>(), ch), 255.0);
    }
    engine.MeasurePicture(picture.data());
    EXPECT_EQ(engine.Mean(2), 255.0);
    EXPECT_EQ(engine.Deviation(2), 0.0);
}

TEST(FourierEngine, ByteFromRealRoundsHalfUpAndClamps) {
    const std::pair<double, int> cases[] = {{-0.4, 0},   {255.5, 255},     {254.5, 255},
                                            {0.5, 1},    {0.4999, 0},      {1e300, 255},
                                            {-1e300, 0}, {std::nan(""), 0}};
    for (const auto& [v, byte] : cases) EXPECT_EQ(ByteFromReal(v), byte) << v;
}

TEST(FourierEngine, ImpulseSpectrumIsTheTransformOfAnImpulse) {
    for (const auto& [x0, y0] :
         {std::pair{0, 0}, std::pair{6, 5}, std::pair{11, 9}, std::pair{3, 8}}) {
        CEngineCase c(12, 10);
        for (int ch = 0; ch < 3; ++ch) c.Byte(x0, y0, ch) = 1;
        ASSERT_TRUE(c.Forward());
        std::vector<Complex> impulse(c.spectrum.size(), Complex(9, 9));
        c.engine.ImpulseSpectrum(x0, y0, impulse.data());
        EXPECT_TRUE(SameBits(c.spectrum, impulse)) << x0 << "," << y0;
        if (x0 == 6 && y0 == 5) {  // the centre: a flat, real spectrum
            for (const Complex& v : impulse) EXPECT_NEAR(v.re, 1.0 / 120, 1e-15);
        }
    }
}

TEST(FourierEngine, PowerRatioIgnoresTheDc) {
    CEngineCase c(20, 6);
    for (Complex& v : c.spectrum) v = Complex(0, 2);
    c.F(1, 0, 0) = Complex(1000, 0);
    c.F(1, 3, 2) = Complex(-1, 0);
    c.F(1, -1, 1) = Complex(0, 4);
    EXPECT_DOUBLE_EQ(c.engine.PowerRatio(c.spectrum.data(), 1), 1.0 / 16);
    EXPECT_DOUBLE_EQ(c.engine.PowerRatio(c.spectrum.data(), 0), 1.0);
}

TEST(FourierEngine, ProgressIsReportedPerRowAndCanCancel) {
    CEngineCase c(12, 10);
    c.FillRandom(8);
    std::vector<double> seen;
    auto record = [&](double f) { return seen.push_back(f), true; };
    ASSERT_TRUE(c.engine.Transform(c.picture.data(), c.spectrum.data(), c.map.data(), record));
    ASSERT_EQ(seen.size(), 30u);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_EQ(seen.back(), 1.0);

    int calls = 0;
    auto stopAtFive = [&](double) { return ++calls < 5; };
    std::vector<Complex> spectrum(c.spectrum.size(), Complex(0, 0));
    EXPECT_FALSE(c.engine.Transform(c.picture.data(), spectrum.data(), c.map.data(), stopAtFive));
    EXPECT_EQ(calls, 5);
    calls = 0;
    EXPECT_FALSE(
        c.engine.InverseTransform(c.real.data(), c.spectrum.data(), c.map.data(), stopAtFive));
    EXPECT_EQ(calls, 5);
}

TEST(FourierEngine, SetUpRefusesWhatTheTablesCannotServe) {
    CFourier engine;
    EXPECT_FALSE(engine.SetUp(8, 4, 24, 4, 4100));  // beyond the tables
    EXPECT_FALSE(engine.SetUp(8, 6, 24, 6, 16));    // not a multiple of H
    EXPECT_FALSE(engine.SetUp(7, 4, 24, 4, 28));    // odd width
    EXPECT_FALSE(engine.SetUp(2, 2, 8, 2, 2));      // N not a multiple of 4
    EXPECT_FALSE(engine.SetUp(8, 4, 20, 4, 8));     // rows shorter than 3W bytes
    EXPECT_EQ(engine.Length(), 0);
    EXPECT_TRUE(engine.SetUp(4096, 2, 12288, 2, 4096));
}
