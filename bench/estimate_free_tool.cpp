// A developer tool for measuring the free-form blur estimate (scripts/estimate_free_quality.py):
// estimates the kernel of a blurred grey plane, writes it, and restores the plane by the
// program's Wiener restore with the estimated kernel and, when given, with the true one.
//
// Planes and kernels are raw files: two little-endian int32 (width, height), then width x
// height float64 row-major. A kernel's peak is its centre.
//
// Usage: zelvanto_estimate_free_tool BLURRED SIZE KERNEL_OUT RESTORED_OUT [TRUE_KERNEL
//        RESTORED_TRUE_OUT]
// Prints "size S levels L energy E seconds T" (T the estimate's wall time).
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "stamp/estimate_free.h"
#include "stamp/kernels.h"
#include "stamp/restore.h"

namespace {

bool ReadRaw(const char* path, int32_t& w, int32_t& h, std::vector<double>& v) {
    std::ifstream in(path, std::ios::binary);
    if (!in.read(reinterpret_cast<char*>(&w), 4) || !in.read(reinterpret_cast<char*>(&h), 4))
        return false;
    if (w <= 0 || h <= 0 || w > 20000 || h > 20000) return false;
    v.resize(static_cast<size_t>(w) * static_cast<size_t>(h));
    return static_cast<bool>(
        in.read(reinterpret_cast<char*>(v.data()), static_cast<std::streamsize>(v.size() * 8)));
}

bool WriteRaw(const char* path, int32_t w, int32_t h, const double* v) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(&w), 4);
    out.write(reinterpret_cast<const char*>(&h), 4);
    out.write(reinterpret_cast<const char*>(v),
              static_cast<std::streamsize>(static_cast<size_t>(w) * static_cast<size_t>(h) * 8));
    return static_cast<bool>(out);
}

// Restores a grey plane by the kernel (Wiener, automatic strength, border taper) and writes
// the grey result.
bool Restore(const std::vector<double>& grey, int32_t w, int32_t h, const CKernel& kernel,
             const char* path) {
    CPlanes planes;
    if (!planes.Allocate(w, h)) return false;
    for (int32_t c = 0; c < 3; ++c) std::copy(grey.begin(), grey.end(), planes.Plane(c));
    CPlanes out;
    if (RestorePlanes(planes, kernel, CRestoreSettings{}, out) != 1) return false;
    return WriteRaw(path, w, h, out.Plane(1));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5 && argc != 7) {
        std::fprintf(stderr,
                     "usage: %s BLURRED SIZE KERNEL_OUT RESTORED_OUT [TRUE_KERNEL "
                     "RESTORED_TRUE_OUT]\n",
                     argv[0]);
        return 2;
    }
    int32_t w = 0, h = 0;
    std::vector<double> grey;
    if (!ReadRaw(argv[1], w, h, grey)) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    CFreeFormSettings settings;
    settings.maxSize = std::atoi(argv[2]);
    if (const char* e = std::getenv("ZELVANTO_FREE_EDGE")) settings.edgeWeight = std::atof(e);
    if (const char* e = std::getenv("ZELVANTO_FREE_KWEIGHT")) settings.kernelWeight = std::atof(e);
    if (const char* e = std::getenv("ZELVANTO_FREE_ITER")) settings.iterations = std::atoi(e);
    if (const char* e = std::getenv("ZELVANTO_FREE_SHARE")) settings.edgeShare = std::atof(e);
    if (const char* e = std::getenv("ZELVANTO_FREE_DECAY")) settings.edgeDecay = std::atof(e);
    if (const char* e = std::getenv("ZELVANTO_FREE_THREADS")) settings.threads = std::atoi(e);
    if (const char* e = std::getenv("ZELVANTO_FREE_WINDOW")) settings.window = std::atoi(e);
    if (const char* e = std::getenv("ZELVANTO_FREE_CENTRAL")) settings.centralWindow = *e == '1';
    CKernel kernel;
    CFreeFormReport report;
    const auto start = std::chrono::steady_clock::now();
    if (EstimateFreeFormKernel(grey.data(), w, h, settings, kernel, &report) != 1) return 1;
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!WriteRaw(argv[3], kernel.width, kernel.height, kernel.values.data())) return 1;
    if (!Restore(grey, w, h, kernel, argv[4])) return 1;
    if (argc == 7) {
        CKernel truth;
        if (!ReadRaw(argv[5], truth.width, truth.height, truth.values)) return 1;
        truth.peakX = truth.width / 2;
        truth.peakY = truth.height / 2;
        if (!Restore(grey, w, h, truth, argv[6])) return 1;
        std::printf("size %d levels %d energy %.5f seconds %.3f ncc %.4f window %d %d %d %d\n",
                    report.size, report.levels, report.settledEnergy, seconds,
                    KernelCorrelation(kernel, truth), report.windowX, report.windowY,
                    report.windowWidth, report.windowHeight);
    } else {
        std::printf("size %d levels %d energy %.5f seconds %.3f\n", report.size, report.levels,
                    report.settledEnergy, seconds);
    }
    return 0;
}
