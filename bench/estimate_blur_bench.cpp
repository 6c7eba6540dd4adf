// Speed of the parametric blur estimate on a 1024 x 680 colour photograph blurred by a
// 21 px straight motion, beside a plain Wiener restore of the same picture by the same
// kernel (borders wrapping around), so that their ratio can be quoted from one run.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "platform/user_interface.h"
#include "stamp/estimate_blur.h"
#include "stamp/kernels.h"
#include "stamp/restore.h"
#include "stamp/restore_files.h"

namespace {

const CKernel& Motion() {
    static const CKernel kernel = [] {
        CKernel k;
        if (MotionKernel(21.0, 30.0, k) != 1) std::abort();
        return k;
    }();
    return kernel;
}

const CPlanes& Blurred() {
    static const CPlanes planes = [] {
        CPlanes photo, blurred;
        if (ReadPlanesFile(std::string(ZELVANTO_SAMPLES_DIR) + "/coffee_1024x680.jpg", photo) !=
                1 ||
            photo.width != 1024 || photo.height != 680 ||
            BlurPlanes(photo, Motion(), false, blurred) != 1)
            std::abort();
        return blurred;
    }();
    return planes;
}

// Auto: the motion's cepstrum and refinement, and every isotropic model of the ring means.
void BM_EstimateParametric1024x680(benchmark::State& state) {
    const CPlanes& planes = Blurred();
    CEstimateRequest request;
    for (auto _ : state) {
        CBlurEstimate estimate;
        if (EstimateBlur(planes, request, estimate) != 1 || estimate.model != BlurModel::Motion)
            std::abort();
        benchmark::DoNotOptimize(estimate.length);
    }
}
BENCHMARK(BM_EstimateParametric1024x680)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_WienerSamePicture1024x680(benchmark::State& state) {
    const CPlanes& planes = Blurred();
    CRestoreSettings settings;
    settings.method = RestoreMethod::Wiener;
    settings.taper = false;
    for (auto _ : state) {
        CPlanes out;
        if (RestorePlanes(planes, Motion(), settings, out) != 1) std::abort();
        benchmark::DoNotOptimize(out.values.data());
    }
}
BENCHMARK(BM_WienerSamePicture1024x680)->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace

BENCHMARK_MAIN();
