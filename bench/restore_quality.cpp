// The restoration quality table: a photograph blurred by the program's own blur (10 steps,
// attenuation 0.6, horizontal and "Blur Random"), rounded to bytes, restored by the raw
// spectrum ratio, by Wiener with a kernel learnt from an example pair (another photograph
// blurred the same way), by Wiener with the true kernel and by Richardson-Lucy; then the same
// blur applied with the picture's edge pixels repeated instead of wrapping, restored with
// and without the border taper. PSNR in dB of the rounded result against the sharp picture.
//
// Usage: zelvanto_restore_quality SAMPLES_DIR [WIDTH HEIGHT]
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "stamp/kernels.h"
#include "stamp/restore.h"
#include "stamp/restore_files.h"

namespace {

// The program's blur rule: sample p of pixel (x, y) is (x + dx[p], y + dy[p]) with weight
// attenuation^p, accumulated from the last sample back; the sample wraps around the
// picture's edges when cyclic, else the nearest edge pixel is taken.
CPlanes ProgramBlur(const CPlanes& in, int32_t kind, int32_t steps, double attenuation,
                    bool cyclic) {
    std::vector<int32_t> dx, dy;
    BlurPathOffsets(kind, steps, dx, dy);
    CPlanes out;
    out.Allocate(in.width, in.height);
    const int32_t w = in.width, h = in.height;
    auto index = [cyclic](int32_t v, int32_t n) {
        if (cyclic) return ((v % n) + n) % n;
        return v < 0 ? 0 : (v >= n ? n - 1 : v);
    };
    for (int32_t c = 0; c < 3; ++c)
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x) {
                double sum = 0.0, weight = 0.0;
                for (int32_t p = steps - 1; p >= 0; --p) {
                    const size_t i = static_cast<size_t>(index(y + dy[static_cast<size_t>(p)], h)) *
                                         static_cast<size_t>(w) +
                                     static_cast<size_t>(index(x + dx[static_cast<size_t>(p)], w));
                    sum = attenuation * sum + in.Plane(c)[i];
                    weight = attenuation * weight + 1.0;
                }
                out.Plane(
                    c)[static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)] =
                    std::floor(sum / weight + 0.5);
            }
    return out;
}

CPlanes Rounded(const CPlanes& p) {
    CPlanes r = p;
    for (double& v : r.values) v = std::floor(v + 0.5);
    for (double& v : r.values) v = v < 0 ? 0 : (v > 255 ? 255 : v);
    return r;
}

// The central width x height part of a picture.
CPlanes Centre(const CPlanes& in, int32_t w, int32_t h) {
    CPlanes out;
    out.Allocate(w, h);
    const int32_t x0 = (in.width - w) / 2, y0 = (in.height - h) / 2;
    for (int32_t c = 0; c < 3; ++c)
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x)
                out.Plane(
                    c)[static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)] =
                    in.Plane(c)[static_cast<size_t>(y + y0) * static_cast<size_t>(in.width) +
                                static_cast<size_t>(x + x0)];
    return out;
}

double Psnr(const CPlanes& restored, const CPlanes& sharp) {
    return PlanesPsnr(Rounded(restored), sharp);
}

double Restored(const CPlanes& blurred, const CKernel& kernel, const CPlanes& sharp,
                RestoreMethod method, bool taper) {
    CRestoreSettings settings;
    settings.method = method;
    settings.taper = taper;
    CPlanes out;
    if (RestorePlanes(blurred, kernel, settings, out) != 1) std::exit(1);
    return Psnr(out, sharp);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 && argc != 4) {
        std::fprintf(stderr, "usage: %s SAMPLES_DIR [WIDTH HEIGHT]\n", argv[0]);
        return 2;
    }
    const std::string samples = argv[1];
    const int32_t w = argc == 4 ? std::atoi(argv[2]) : 320;
    const int32_t h = argc == 4 ? std::atoi(argv[3]) : 240;
    CPlanes coffee, chelsea;
    if (!ReadPlanesFile(samples + "/coffee.jpg", coffee) ||
        !ReadPlanesFile(samples + "/chelsea.jpg", chelsea))
        return 1;
    if (coffee.width < w || coffee.height < h || chelsea.width < w || chelsea.height < h) {
        std::fprintf(stderr, "the pictures are smaller than %d x %d\n", w, h);
        return 1;
    }
    const CPlanes sharp = Centre(coffee, w, h);
    const CPlanes good = Centre(chelsea, w, h);
    std::printf(
        "Test picture: the central %d x %d of coffee.jpg; example pair: the central "
        "%d x %d of chelsea.jpg.\nBlur: the program's own, 10 steps, attenuation 0.6, "
        "rounded to bytes. PSNR in dB against the sharp picture.\n\n",
        w, h, w, h);
    std::printf(
        "| blur | blurred | raw ratio | learnt kernel, default | true kernel, default | "
        "learnt kernel, Wiener auto | true kernel, Wiener auto | true kernel, Richardson-Lucy "
        "| learning (s) |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|\n");
    const struct {
        int32_t kind;
        const char* name;
    } blurs[] = {{0, "Blur Horizontal"}, {3, "Blur Random"}};
    CKernel learnt[2];
    for (int32_t b = 0; b < 2; ++b) {
        const int32_t kind = blurs[b].kind;
        CKernel truth;
        if (!BlurPathKernel(kind, 10, 0.6, truth)) return 1;
        const CPlanes blurred = ProgramBlur(sharp, kind, 10, 0.6, true);
        const CPlanes goodBlurred = ProgramBlur(good, kind, 10, 0.6, true);
        CPlanes ratio;
        if (!RatioRestorePlanes(blurred, good, goodBlurred, ratio)) return 1;
        const auto start = std::chrono::steady_clock::now();
        if (LearnKernel(good, goodBlurred, kDefaultKernelSize, learnt[b]) != 1) return 1;
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const RestoreMethod automatic = CRestoreSettings{}.method;
        const double learntDefault = Restored(blurred, learnt[b], sharp, automatic, true);
        const double trueDefault = Restored(blurred, truth, sharp, automatic, true);
        const double learntWiener =
            Restored(blurred, learnt[b], sharp, RestoreMethod::Wiener, false);
        const double trueWiener = Restored(blurred, truth, sharp, RestoreMethod::Wiener, false);
        const double trueLucy = Restored(blurred, truth, sharp, RestoreMethod::Lucy, false);
        std::printf("| %s | %.2f | %.2f | %.2f | %.2f | %.2f | %.2f | %.2f | %.2f |\n",
                    blurs[b].name, PlanesPsnr(blurred, sharp), Psnr(ratio, sharp), learntDefault,
                    trueDefault, learntWiener, trueWiener, trueLucy, seconds);
        std::fflush(stdout);
    }
    std::printf("\nNot cyclic: the same blur with the picture's edge pixels repeated.\n\n");
    std::printf(
        "| blur | kernel | blurred | Wiener, no taper | Wiener, taper | Richardson-Lucy, "
        "no taper | Richardson-Lucy, taper |\n");
    std::printf("|---|---|---|---|---|---|---|\n");
    for (int32_t b = 0; b < 2; ++b) {
        CKernel truth;
        if (!BlurPathKernel(blurs[b].kind, 10, 0.6, truth)) return 1;
        const CPlanes blurred = ProgramBlur(sharp, blurs[b].kind, 10, 0.6, false);
        for (int32_t which = 0; which < 2; ++which) {
            const CKernel& k = which == 0 ? learnt[b] : truth;
            std::printf("| %s | %s | %.2f | %.2f | %.2f | %.2f | %.2f |\n", blurs[b].name,
                        which == 0 ? "learnt" : "true", PlanesPsnr(blurred, sharp),
                        Restored(blurred, k, sharp, RestoreMethod::Wiener, false),
                        Restored(blurred, k, sharp, RestoreMethod::Wiener, true),
                        Restored(blurred, k, sharp, RestoreMethod::Lucy, false),
                        Restored(blurred, k, sharp, RestoreMethod::Lucy, true));
            std::fflush(stdout);
        }
    }
    return 0;
}
