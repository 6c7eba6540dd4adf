// Speed of the free-form blur estimate on 255 x 255 and 1024 x 680 grey pictures blurred by a
// shake, with a plain Wiener restore of the same pictures for the ratio.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>

#include "stamp/estimate_free.h"
#include "stamp/kernels.h"
#include "stamp/restore.h"

namespace {

// Shading, edges and grain, the same for every run; in colour the planes differ in level.
CPlanes Picture(int32_t w, int32_t h, bool colour = false) {
    CPlanes p;
    if (!p.Allocate(w, h)) std::abort();
    uint32_t seed = 5;
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const double edge = ((x / 23 + y / 17) & 1) != 0 ? 60.0 : 0.0;
            const double v = std::floor(90.0 + 40.0 * std::sin(0.03 * x) * std::cos(0.02 * y) +
                                        edge + static_cast<double>(seed >> 28));
            for (int32_t c = 0; c < 3; ++c)
                p.Plane(c)[y * w + x] = colour ? std::floor(v * (0.6 + 0.2 * c)) : v;
        }
    return p;
}

CPlanes Blurred(int32_t w, int32_t h, CKernel& kernel, bool colour = false) {
    if (!MotionKernel(15.0, 30.0, kernel)) std::abort();
    CPlanes out;
    if (!BlurPlanes(Picture(w, h, colour), kernel, false, out)) std::abort();
    return out;
}

// Arguments: width, height, the kernel's size, threads (0: automatic), the window's side (0:
// the whole picture), colour (1: the grey plane is taken from three different planes on
// every run, as the program does).
void BM_EstimateFree(benchmark::State& state) {
    const auto w = static_cast<int32_t>(state.range(0)), h = static_cast<int32_t>(state.range(1));
    CKernel truth;
    const bool colour = state.range(5) != 0;
    const CPlanes blurred = Blurred(w, h, truth, colour);
    CFreeFormSettings settings;
    settings.maxSize = static_cast<int32_t>(state.range(2));
    settings.threads = static_cast<int32_t>(state.range(3));
    settings.window = static_cast<int32_t>(state.range(4));
    for (auto _ : state) {
        const std::vector<double> grey = GreyOfPlanes(blurred);
        CKernel k;
        if (EstimateFreeFormKernel(grey.data(), w, h, settings, k) != 1) std::abort();
        benchmark::DoNotOptimize(k.values.data());
    }
}
BENCHMARK(BM_EstimateFree)
    ->Args({255, 255, 31, 0, 768, 0})
    ->Args({255, 255, 31, 1, 768, 0})
    ->Args({1024, 680, 31, 0, 0, 0})
    ->Args({1024, 680, 31, 0, 768, 0})
    ->Args({1024, 680, 31, 0, 512, 0})
    ->Args({1024, 680, 31, 0, 0, 1})
    ->Args({1024, 680, 31, 0, 768, 1})
    ->Args({1024, 680, 31, 0, 512, 1})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();

// The planes restored are grey (three equal planes), as the estimate's, or in colour.
void BM_Wiener(benchmark::State& state) {
    CKernel truth;
    const CPlanes blurred =
        Blurred(static_cast<int32_t>(state.range(0)), static_cast<int32_t>(state.range(1)), truth,
                state.range(2) != 0);
    for (auto _ : state) {
        CPlanes out;
        if (RestorePlanes(blurred, truth, CRestoreSettings{}, out) != 1) std::abort();
        benchmark::DoNotOptimize(out.values.data());
    }
}
BENCHMARK(BM_Wiener)
    ->Args({255, 255, 0})
    ->Args({1024, 680, 0})
    ->Args({1024, 680, 1})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
