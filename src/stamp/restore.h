#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "image/dib.h"
#include "stamp/kernels.h"

// Restoration of blurred pictures by a blur kernel: learning a compact kernel from an example
// pair, the picture's noise, Wiener deconvolution with automatic or hand-set regularisation,
// Richardson-Lucy iterations, an edge-preserving total variation restore, and borders that
// need not wrap around the picture's edges.

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

// The variance of the error that rounding to whole grey levels leaves, the least noise the
// automatic regularisation assumes.
inline constexpr double kRoundingNoiseVariance = 1.0 / 12.0;

// The standard deviation in grey levels of the noise of one w x h plane (row-major): the
// median absolute value of its finest diagonal wavelet (Haar) details / 0.6745, which edges
// and texture hardly move, never below the rounding noise. On whole grey levels the median
// is interpolated within its level, so that the estimate does not jump by half levels.
double EstimatePlaneNoise(const double* plane, int32_t width, int32_t height);
// The same for each of the three planes.
std::array<double, 3> EstimateNoise(const CPlanes& planes);

// Learns the blur kernel K with blurred = K * good (cyclic convolution) on a size x size
// support around the origin (peak at (size / 2, size / 2)), by least squares over all three
// planes at once. 1 on success, 0 with a message, kRestoreCancelled when stopped.
int LearnKernel(const CPlanes& good, const CPlanes& blurred, int32_t size, CKernel& kernel,
                const RestoreProgress& progress = {});

// The methods; stamp/restore_methods.h has their names and captions.
enum class RestoreMethod { Wiener, Lucy, Tv };

struct CRestoreSettings {
    RestoreMethod method = RestoreMethod::Tv;
    // Wiener: the noise-to-signal ratio is estimated for every frequency from the picture's
    // noise when automatic, else it is this constant. Total variation: the prior's weight is
    // strength x s^2 / 2.55 for noise of deviation s grey levels, strength 0.08 when
    // automatic (0.08 x s at 1 % noise, less for less noise).
    bool autoStrength = true;
    double strength = 1e-3;
    // Richardson-Lucy and total variation: at most this many iterations; 0 chooses them from
    // the kernel's size. Richardson-Lucy also stops when an iteration changes the picture
    // by less than 0.2 %.
    int32_t iterations = 0;
    // The borders as they are: unless the picture looks as if its blur wrapped around its
    // edges, the picture is restored on a domain extended by the kernel's size, of which
    // only the observed pixels are fitted. Off: the blur is taken to wrap around (cyclic).
    bool taper = true;
};

inline constexpr int32_t kMaxRestoreIterations = 10000;
// Richardson-Lucy stops when an iteration changes the picture by less than this fraction.
inline constexpr double kLucyRelativeChange = 0.002;

// What a restoration did, for reports and the dialog.
struct CRestoreReport {
    int32_t workWidth = 0;  // size restored, with the margin beyond the borders
    int32_t workHeight = 0;
    bool cyclic = false;          // restored as if the blur wrapped around the edges
    double noise = 0.0;           // the noise's deviation, grey levels (median of the planes)
    double medianStrength = 0.0;  // Wiener: the median noise-to-signal ratio used; total
                                  // variation: the prior's weight
    int32_t iterations = 0;       // Richardson-Lucy, total variation: the most of a plane
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
