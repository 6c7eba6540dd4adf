// Timings of the colour adjustment (all three channels, as one movement of a colour dialog
// slider recomputes them) with every hardware thread and with one.
//
// The Result samples and the Original are synthetic: the work per value does not depend on
// the values, only on the gamma (the neutral gamma skips the curve, so it is timed apart).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <numeric>
#include <vector>

#include "document/colour.h"

namespace {

struct CColourPictures {
    CFourier fourier;
    std::vector<uint8_t> original;
    std::vector<double> result;
    std::vector<uint8_t> picture;

    CColourPictures(int32_t width, int32_t height) {
        const int32_t stride = RowBytes(24 * width);
        fourier.SetUp(width, height, stride, height, std::lcm(width, height));
        const size_t bytes = static_cast<size_t>(stride) * static_cast<size_t>(height);
        original.resize(bytes);
        result.resize(bytes);
        picture.resize(bytes);
        uint32_t seed = 1;
        for (size_t i = 0; i < bytes; ++i) {
            seed = seed * 1664525u + 1013904223u;
            original[i] = static_cast<uint8_t>(seed >> 24);
            result[i] = static_cast<double>(seed >> 12) / 1048576.0 * 260.0 - 2.0;
        }
        fourier.MeasurePicture(original.data());
    }
};

void Run(benchmark::State& state, int32_t threads, int32_t gamma) {
    CColourPictures p(static_cast<int32_t>(state.range(0)), static_cast<int32_t>(state.range(1)));
    CFourier::SetThreadCount(threads);
    ColorSettings s;
    s.m_nResultShare = 80;
    s.m_nContrast = 120;
    s.m_nLight = 5;
    s.m_nGamma = gamma;
    for (auto _ : state) {
        ColourAdjustPicture(p.fourier, p.original.data(), p.result.data(), p.picture.data(), s);
        benchmark::DoNotOptimize(p.picture.data());
        benchmark::ClobberMemory();
    }
    CFourier::SetThreadCount(0);
}

void ColourGamma(benchmark::State& state) {
    Run(state, 0, 35);
}
void ColourGamma1Thread(benchmark::State& state) {
    Run(state, 1, 35);
}
void ColourNeutral(benchmark::State& state) {
    Run(state, 0, 50);
}

}  // namespace

BENCHMARK(ColourGamma)->Args({640, 480})->Args({4096, 2048})->Unit(benchmark::kMillisecond);
BENCHMARK(ColourGamma1Thread)->Args({640, 480})->Args({4096, 2048})->Unit(benchmark::kMillisecond);
BENCHMARK(ColourNeutral)->Args({640, 480})->Args({4096, 2048})->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
