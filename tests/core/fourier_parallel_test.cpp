// The planned, multi-threaded projection engine against the plain serial loops: the same
// bits for every size and thread count, progress on the calling thread, cancellation.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <numeric>
#include <thread>
#include <vector>

#include "fourier/fourier.h"
#include "fourier/fourier_plan.h"
#include "support/engine_settings.h"

namespace {

struct CCase {
    int w, h, stride, n;
    CFourier engine;
    std::vector<uint8_t> picture;
    std::vector<uint8_t> map;

    CCase(int width, int height, int extraPadding = 0)
        : w(width),
          h(height),
          stride((3 * width + 3) / 4 * 4 + extraPadding),
          n(std::lcm(width, height)),
          picture(static_cast<size_t>(stride * height), 0),
          map(static_cast<size_t>(width * height), 0) {
        EXPECT_TRUE(engine.SetUp(w, h, stride, h, n));
    }
    void Fill(uint32_t seed, int low = 0) {
        for (uint8_t& b : picture) {
            seed = seed * 1664525u + 1013904223u;
            b = static_cast<uint8_t>(low + static_cast<int>((seed >> 24) % (256 - low)));
        }
    }
    std::vector<Complex> NewSpectrum() const {
        return std::vector<Complex>(static_cast<size_t>(3 * w * h), Complex(-7, -7));
    }
    std::vector<double> NewReal() const {
        return std::vector<double>(static_cast<size_t>(stride * h), -1.0);
    }

    // The plain loops through the public single-frequency and single-pixel operations, in
    // zig-zag order, one channel after the other.
    std::vector<Complex> SerialSpectrum() {
        std::vector<Complex> s = NewSpectrum();
        for (int ch = 0; ch < 3; ++ch) {
            engine.ClearMap(map.data(), 0);
            for (int j = 0; j < w * h; ++j)
                engine.TransformFrequencyPowerOfTwo(picture.data(), s.data(), map.data(), ch,
                                                    ZigZag(j % w), ZigZag(j / w));
        }
        engine.CentreSpectrum(s.data());
        return s;
    }
    std::vector<double> SerialReal(const std::vector<Complex>& spectrum) {
        std::vector<double> r = NewReal();
        for (int ch = 0; ch < 3; ++ch) {
            engine.ClearMap(map.data(), 0);
            for (int j = 0; j < w * h; ++j)
                engine.InversePixel(r.data(), spectrum.data() + ch * w * h, map.data(),
                                    w / 2 + ZigZag(j % w), h / 2 + ZigZag(j / w), ch);
        }
        return r;
    }
};

template <typename T>
bool SameBits(const std::vector<T>& a, const std::vector<T>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0;
}

}  // namespace

TEST(FourierParallel, SpectrumAndRealsAreTheSerialBitsForEveryThreadCount) {
    CEngineSettings restore;
    CFourier::SetEngine(FourierEngine::Projection);
    // N = 60, 60, 16 (a power of two), 32 (a power of two), 120, 192; one with padding.
    const int sizes[][3] = {{12, 10, 0}, {20, 6, 4},  {16, 8, 0},
                            {32, 16, 0}, {40, 30, 0}, {64, 48, 0}};
    for (const auto& [w, h, padding] : sizes) {
        CCase c(w, h, padding);
        c.Fill(static_cast<uint32_t>(w * 31 + h));
        const std::vector<Complex> serialSpectrum = c.SerialSpectrum();
        // A spectrum that is no picture's (not conjugate-symmetric) tests the imaginary
        // parts of the accumulators as well.
        std::vector<Complex> odd = serialSpectrum;
        for (size_t i = 0; i < odd.size(); i += 3) odd[i] = Complex(odd[i].im, -2.5 * odd[i].re);
        const std::vector<double> serialReal = c.SerialReal(serialSpectrum);
        const std::vector<double> serialOdd = c.SerialReal(odd);
        for (int threads : {1, 2, 4}) {
            SCOPED_TRACE(testing::Message() << w << "x" << h << ", " << threads << " threads");
            CFourier::SetThreadCount(threads);
            std::vector<Complex> spectrum = c.NewSpectrum();
            std::fill(c.map.begin(), c.map.end(), 0);
            ASSERT_TRUE(c.engine.Transform(c.picture.data(), spectrum.data(), c.map.data()));
            EXPECT_TRUE(SameBits(spectrum, serialSpectrum));
            EXPECT_EQ(std::count(c.map.begin(), c.map.end(), 1), w * h);

            std::vector<double> real = c.NewReal();
            ASSERT_TRUE(c.engine.InverseTransform(real.data(), spectrum.data(), c.map.data()));
            EXPECT_TRUE(SameBits(real, serialReal));  // padding doubles stay -1 in both
            ASSERT_TRUE(c.engine.InverseTransform(real.data(), odd.data(), c.map.data()));
            EXPECT_TRUE(SameBits(real, serialOdd));
        }
    }
}

TEST(FourierParallel, BrightPictureBeyondOnePackedBinsCapacity) {
    // 9216 pixels: the zero frequency's single bin receives more full bytes than a packed
    // channel lane holds, so its pass empties the lanes part way through.
    CEngineSettings restore;
    CCase c(128, 72);
    c.Fill(3, 200);
    const std::vector<Complex> serial = c.SerialSpectrum();
    CFourier::SetThreadCount(2);
    std::vector<Complex> spectrum = c.NewSpectrum();
    ASSERT_TRUE(c.engine.Transform(c.picture.data(), spectrum.data(), c.map.data()));
    EXPECT_TRUE(SameBits(spectrum, serial));
    c.engine.MeasurePicture(c.picture.data());
    for (int ch = 0; ch < 3; ++ch)
        EXPECT_DOUBLE_EQ(c.engine.DcValue(spectrum.data(), ch), c.engine.Mean(ch));
}

TEST(FourierParallel, PlanServesEveryFrequencyAndPixelOnce) {
    CCase c(20, 6);
    const CProjectionPlan plan(c.engine);
    for (const CLinePlan* lines : {&plan.Forward(), &plan.Inverse()}) {
        ASSERT_EQ(lines->values.size(), 120u);
        std::vector<int> seen;
        for (const CPlannedValue& v : lines->values) seen.push_back(v.target);
        std::sort(seen.begin(), seen.end());
        EXPECT_TRUE(std::adjacent_find(seen.begin(), seen.end()) == seen.end());
        EXPECT_EQ(lines->costBefore.size(), lines->lines.size() + 1);
    }
    // The zero frequency opens the first line alone; (-1, 0) opens the second and serves
    // 1, 2, -2 ... 9, -9, stopping at 10, out of range, before -10.
    const CLinePlan& f = plan.Forward();
    EXPECT_EQ(f.lines[0].count, 1u);
    EXPECT_EQ(f.lines[1].u, -1);
    EXPECT_EQ(f.lines[1].count, 18u);
    EXPECT_EQ(f.values[f.lines[1].first + 2].step, 60 - 2);  // g = -2
}

TEST(FourierParallel, ProgressComesOnTheCallingThreadAndCancelStopsTheWork) {
    CEngineSettings restore;
    CCase c(40, 30);
    c.Fill(17);
    const std::thread::id caller = std::this_thread::get_id();
    for (int threads : {1, 2, 4}) {
        SCOPED_TRACE(testing::Message() << threads << " threads");
        CFourier::SetThreadCount(threads);
        std::vector<double> seen;
        bool elsewhere = false;
        auto record = [&](double f) {
            elsewhere |= std::this_thread::get_id() != caller;
            seen.push_back(f);
            return true;
        };
        std::vector<Complex> spectrum = c.NewSpectrum();
        ASSERT_TRUE(c.engine.Transform(c.picture.data(), spectrum.data(), c.map.data(), record));
        EXPECT_EQ(seen.size(), 90u);  // as many as the serial loops: a row of each channel
        EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
        EXPECT_EQ(seen.back(), 1.0);
        EXPECT_FALSE(elsewhere);

        int calls = 0;
        auto stopAtThird = [&](double) { return ++calls < 3; };
        std::vector<double> real = c.NewReal();
        EXPECT_FALSE(
            c.engine.InverseTransform(real.data(), spectrum.data(), c.map.data(), stopAtThird));
        EXPECT_EQ(calls, 3);
        calls = 0;
        std::vector<Complex> stopped = c.NewSpectrum();
        EXPECT_FALSE(
            c.engine.Transform(c.picture.data(), stopped.data(), c.map.data(), stopAtThird));
        EXPECT_EQ(calls, 3);
        // The calling thread stops taking lines at once: alone, it leaves most undone.
        if (threads == 1) {
            EXPECT_GT(std::count(stopped.begin(), stopped.end(), Complex(-7, -7)), 3 * 600);
        }
    }
}

TEST(FourierParallel, ACopyOfTheEngineTransformsAlike) {
    CEngineSettings restore;
    CFourier::SetThreadCount(2);
    CCase c(12, 10);
    c.Fill(9);
    std::vector<Complex> first = c.NewSpectrum();
    ASSERT_TRUE(c.engine.Transform(c.picture.data(), first.data(), c.map.data()));
    CFourier copy = c.engine;
    std::vector<Complex> second = c.NewSpectrum();
    ASSERT_TRUE(copy.Transform(c.picture.data(), second.data(), c.map.data()));
    EXPECT_TRUE(SameBits(first, second));
    // A new size after a first plan: the plan follows the set-up.
    CCase other(20, 6);
    other.Fill(4);
    ASSERT_TRUE(copy.SetUp(20, 6, other.stride, 6, 60));
    std::vector<Complex> third = other.NewSpectrum();
    ASSERT_TRUE(copy.Transform(other.picture.data(), third.data(), other.map.data()));
    EXPECT_TRUE(SameBits(third, other.SerialSpectrum()));
}
