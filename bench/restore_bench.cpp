// Speed of restoration on 640 x 480: learning a 41 x 41 kernel from an example pair, and a
// Wiener restore with and without the border taper.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>

#include "platform/user_interface.h"
#include "stamp/kernels.h"
#include "stamp/restore.h"

namespace {

// A 640 x 480 picture with the detail of a photograph: smooth shading, edges and grain.
CPlanes Picture(uint32_t seed) {
    CPlanes p;
    if (!p.Allocate(640, 480)) std::abort();
    for (int32_t c = 0; c < 3; ++c)
        for (int32_t y = 0; y < 480; ++y)
            for (int32_t x = 0; x < 640; ++x) {
                seed = seed * 1664525u + 1013904223u;
                const double edge = ((x / 37 + y / 29) & 1) != 0 ? 40.0 : 0.0;
                p.Plane(c)[static_cast<size_t>(y) * 640 + static_cast<size_t>(x)] =
                    std::floor(100.0 + 50.0 * std::sin(0.01 * x + c) * std::cos(0.013 * y) + edge +
                               static_cast<double>(seed >> 28));
            }
    return p;
}

CKernel Blur() {
    CKernel k;
    if (!BlurPathKernel(3, 10, 0.6, k)) std::abort();
    return k;
}

void BM_LearnKernel41(benchmark::State& state) {
    const CPlanes good = Picture(1);
    CPlanes blurred;
    if (!BlurPlanes(good, Blur(), true, blurred)) std::abort();
    for (auto _ : state) {
        CKernel k;
        if (LearnKernel(good, blurred, 41, k) != 1) std::abort();
        benchmark::DoNotOptimize(k.values.data());
    }
}
BENCHMARK(BM_LearnKernel41)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_Wiener(benchmark::State& state) {
    const CPlanes sharp = Picture(2);
    CPlanes blurred;
    if (!BlurPlanes(sharp, Blur(), true, blurred)) std::abort();
    CRestoreSettings settings;
    settings.taper = state.range(0) != 0;
    for (auto _ : state) {
        CPlanes out;
        if (RestorePlanes(blurred, Blur(), settings, out) != 1) std::abort();
        benchmark::DoNotOptimize(out.values.data());
    }
}
BENCHMARK(BM_Wiener)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5);

// 1024 x 680 colour with a 75 x 75 kernel and 1 % noise, the picture's borders as they are:
// each method in its automatic setting (0 total variation, 1 Wiener, 2 Richardson-Lucy).
void BM_Restore1024By75(benchmark::State& state) {
    CPlanes sharp;
    if (!sharp.Allocate(1024, 680)) std::abort();
    uint32_t seed = 5;
    for (int32_t c = 0; c < 3; ++c)
        for (int32_t y = 0; y < 680; ++y)
            for (int32_t x = 0; x < 1024; ++x) {
                seed = seed * 1664525u + 1013904223u;
                const double edge = ((x / 37 + y / 29) & 1) != 0 ? 40.0 : 0.0;
                sharp.Plane(c)[static_cast<size_t>(y) * 1024 + static_cast<size_t>(x)] =
                    std::floor(100.0 + 50.0 * std::sin(0.01 * x + c) * std::cos(0.013 * y) + edge +
                               2.5 * (static_cast<double>(seed >> 16) / 65536.0 - 0.5));
            }
    CKernel k;
    if (!DefocusKernel(36.5, k) || k.width != 75) std::abort();
    CPlanes blurred;
    if (!BlurPlanes(sharp, k, false, blurred)) std::abort();
    CRestoreSettings settings;
    settings.method = state.range(0) == 0   ? RestoreMethod::Tv
                      : state.range(0) == 1 ? RestoreMethod::Wiener
                                            : RestoreMethod::Lucy;
    for (auto _ : state) {
        CPlanes out;
        if (RestorePlanes(blurred, k, settings, out) != 1) std::abort();
        benchmark::DoNotOptimize(out.values.data());
    }
}
BENCHMARK(BM_Restore1024By75)
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
