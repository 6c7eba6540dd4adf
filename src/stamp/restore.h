#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "image/dib.h"
#include "stamp/kernels.h"

// Restoration of blurred pictures by a blur kernel: learning a compact kernel from an example
// pair, Wiener deconvolution with automatic or hand-set regularisation, Richardson-Lucy
// iterations, and a border taper for blurs that did not wrap around the picture's edges.

// Three planes of width x height doubles in plane order (0 blue, 1 green, 2 red), each
// row-major with rows in the order of the packed bitmap (row 0 is the first stored row).
struct CPlanes {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<double> values;

    size_t PlaneSize() const { return static_cast<size_t>(width) * static_cast<size_t>(height); }
    double* Plane(int32_t c) { return values.data() + static_cast<size_t>(c) * PlaneSize(); }
    const double* Plane(int32_t c) const {
        return values.data() + static_cast<size_t>(c) * PlaneSize();
    }
    bool IsEmpty() const { return width <= 0 || height <= 0 || values.size() != 3 * PlaneSize(); }
    // Zero-filled planes of the given size; false (and empty) when memory runs out.
    bool Allocate(int32_t w, int32_t h);
};

// The planes of a 24-bit picture. 1/0 with the message shown here.
int PlanesFromPicture(const DibHandle& dib, CPlanes& planes);

// Rounds the planes into a 24-bit picture of their size (half up, clamped to 0 to 255).
// 1/0 with the message shown here; the picture is unchanged on failure.
int PlanesToPicture(const CPlanes& planes, DibHandle& dib);

// Long work reports its progress (0 to 1) and stops when the callback gives false.
using RestoreProgress = std::function<bool(double)>;
// Result of the functions below when the progress callback stopped the work (no message).
inline constexpr int kRestoreCancelled = -1;

inline constexpr int32_t kDefaultKernelSize = 41;
inline constexpr int32_t kMaxKernelSize = 63;

// The variance of the error that rounding to whole grey levels leaves, the noise the automatic
// regularisation assumes.
inline constexpr double kRoundingNoiseVariance = 1.0 / 12.0;

// Learns the blur kernel K with blurred = K * good (cyclic convolution) on a size x size
// support around the origin (peak at (size / 2, size / 2)), by least squares over all three
// planes at once. 1 on success, 0 with a message, kRestoreCancelled when stopped.
int LearnKernel(const CPlanes& good, const CPlanes& blurred, int32_t size, CKernel& kernel,
                const RestoreProgress& progress = {});

enum class RestoreMethod { Wiener, Lucy };

struct CRestoreSettings {
    RestoreMethod method = RestoreMethod::Wiener;
    // Wiener: the noise-to-signal ratio is estimated for every frequency when automatic,
    // else it is this constant.
    bool autoStrength = true;
    double strength = 1e-3;
    // Richardson-Lucy iterations.
    int32_t iterations = 40;
    // Extends the picture by a margin in which its edges fade into each other before
    // restoring, so that a blur that did not wrap around does not ring at the borders.
    bool taper = true;
};

inline constexpr int32_t kMaxRestoreIterations = 10000;

// What a restoration did, for reports and the dialog.
struct CRestoreReport {
    int32_t workWidth = 0;  // size restored, with the taper's margin
    int32_t workHeight = 0;
    double medianStrength = 0.0;  // Wiener: the median noise-to-signal ratio used
};

// 1/0 with the message shown here.
int ValidateRestoreSettings(const CRestoreSettings& settings);

// Restores the planes blurred by the kernel into output (same size). 1, 0 with a message
// (output left as it was), or kRestoreCancelled. The result never holds NaN or infinities.
int RestorePlanes(const CPlanes& input, const CKernel& kernel, const CRestoreSettings& settings,
                  CPlanes& output, const RestoreProgress& progress = {},
                  CRestoreReport* report = nullptr);

// Restores a 24-bit picture in place; it is unchanged unless the result is 1.
int RestorePicture(DibHandle& dib, const CKernel& kernel, const CRestoreSettings& settings,
                   const RestoreProgress& progress = {}, CRestoreReport* report = nullptr);

// Blurs the planes by the kernel in space: out(t) = sum over d of K(d) in(t - d), the picture
// wrapping around at its edges when cyclic, else with its edge pixels repeated. 1/0.
int BlurPlanes(const CPlanes& input, const CKernel& kernel, bool cyclic, CPlanes& output);

// The raw ratio of spectra, input x good / blurred for every plane and frequency (a
// frequency where blurred is 0 gives 0), by FFT: the example-pair deconvolution without any
// regularisation, for comparison with the restorations above. 1/0 with the message.
int RatioRestorePlanes(const CPlanes& input, const CPlanes& good, const CPlanes& blurred,
                       CPlanes& output);

// Peak signal-to-noise ratio in dB of b against a over all values (peak 255); +inf when equal.
double PlanesPsnr(const CPlanes& a, const CPlanes& b);
