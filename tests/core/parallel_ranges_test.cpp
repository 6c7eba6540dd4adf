#include "fourier/parallel_ranges.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <vector>

#include "fourier/fourier.h"

TEST(ParallelRanges, VisitsEveryIndexExactlyOnceForAnySplit) {
    for (int32_t count : {0, 1, 7, 1000, 200000}) {
        for (int32_t threads : {1, 2, 3, 8}) {
            std::vector<std::atomic<int>> visits(static_cast<size_t>(count));
            ParallelRanges(count, threads, 64, [&](int32_t begin, int32_t end) {
                ASSERT_LE(0, begin);
                ASSERT_LE(begin, end);
                ASSERT_LE(end, count);
                for (int32_t i = begin; i < end; ++i) ++visits[static_cast<size_t>(i)];
            });
            for (int32_t i = 0; i < count; ++i)
                ASSERT_EQ(visits[static_cast<size_t>(i)].load(), 1) << count << " " << threads;
        }
    }
}

TEST(ParallelRanges, SharedOutModificationsGiveTheSameBitsForAnyThreadCount) {
    // Large enough to be split: 256 x 192 values a plane.
    const int32_t w = 256, h = 192;
    CFourier engine;
    ASSERT_TRUE(engine.SetUp(w, h, 3 * w, h, 768));
    std::vector<Complex> start(static_cast<size_t>(3 * w * h));
    uint32_t seed = 12345;
    for (Complex& c : start) {
        seed = seed * 1664525u + 1013904223u;
        c = Complex(static_cast<double>(seed >> 8) * 1e-6 - 8.0, static_cast<double>(seed & 255));
    }
    std::vector<double> reals(static_cast<size_t>(3 * w * h));
    for (size_t i = 0; i < reals.size(); ++i) reals[i] = start[i].re * 40.0;

    std::vector<Complex> results[2];
    std::vector<uint8_t> bytes[2];
    for (int run = 0; run < 2; ++run) {
        CFourier::SetThreadCount(run == 0 ? 1 : 4);
        results[run] = start;
        engine.ApplyDistribution(results[run].data(), 2.0, &CFourier::DistributionR1);
        bytes[run].assign(reals.size(), 0);
        engine.RealsToBytes(bytes[run].data(), reals.data());
    }
    CFourier::SetThreadCount(0);  // every core, the default
    EXPECT_EQ(
        std::memcmp(results[0].data(), results[1].data(), results[0].size() * sizeof(Complex)), 0);
    EXPECT_EQ(bytes[0], bytes[1]);
    EXPECT_NE(std::memcmp(results[0].data(), start.data(), start.size() * sizeof(Complex)), 0);
}
