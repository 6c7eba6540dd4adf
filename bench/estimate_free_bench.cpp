// Speed of the free-form blur estimate on a 255 x 255 grey picture blurred by a shake, with
// a plain Wiener restore of the same picture for the ratio.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>

#include "stamp/estimate_free.h"
#include "stamp/kernels.h"
#include "stamp/restore.h"

namespace {

constexpr int32_t kSide = 255;

// Shading, edges and grain, the same for every run.
CPlanes Picture() {
    CPlanes p;
    if (!p.Allocate(kSide, kSide)) std::abort();
    uint32_t seed = 5;
    for (int32_t y = 0; y < kSide; ++y)
        for (int32_t x = 0; x < kSide; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const double edge = ((x / 23 + y / 17) & 1) != 0 ? 60.0 : 0.0;
            const double v = std::floor(90.0 + 40.0 * std::sin(0.03 * x) * std::cos(0.02 * y) +
                                        edge + static_cast<double>(seed >> 28));
            for (int32_t c = 0; c < 3; ++c) p.Plane(c)[y * kSide + x] = v;
        }
    return p;
}

CPlanes Blurred(CKernel& kernel) {
    if (!MotionKernel(15.0, 30.0, kernel)) std::abort();
    CPlanes out;
    if (!BlurPlanes(Picture(), kernel, false, out)) std::abort();
    return out;
}

void BM_EstimateFree(benchmark::State& state) {
    CKernel truth;
    const CPlanes blurred = Blurred(truth);
    const std::vector<double> grey = GreyOfPlanes(blurred);
    CFreeFormSettings settings;
    settings.maxSize = static_cast<int32_t>(state.range(0));
    settings.threads = static_cast<int32_t>(state.range(1));
    for (auto _ : state) {
        CKernel k;
        if (EstimateFreeFormKernel(grey.data(), kSide, kSide, settings, k) != 1) std::abort();
        benchmark::DoNotOptimize(k.values.data());
    }
}
BENCHMARK(BM_EstimateFree)
    ->Args({31, 0})
    ->Args({31, 1})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();

void BM_WienerGrey(benchmark::State& state) {
    CKernel truth;
    const CPlanes blurred = Blurred(truth);
    for (auto _ : state) {
        CPlanes out;
        if (RestorePlanes(blurred, truth, CRestoreSettings{}, out) != 1) std::abort();
        benchmark::DoNotOptimize(out.values.data());
    }
}
BENCHMARK(BM_WienerGrey)->Unit(benchmark::kMillisecond)->Iterations(10)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
