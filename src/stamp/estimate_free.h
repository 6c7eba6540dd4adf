#pragma once

#include <cstdint>
#include <vector>

#include "stamp/kernels.h"
#include "stamp/restore.h"

// Estimation of a free-form blur (a camera shake) from the blurred picture alone.
//
// Coarse to fine over a pyramid of the picture (each level 1/sqrt(2) of the next, the kernel
// 3 to 5 pixels at the top). At every level the work alternates two steps: a latent sharp
// picture that keeps only the strong edges (an L0-gradient minimisation by half-quadratic
// splitting, deconvolving by the current kernel), and a kernel update by regularised least
// squares on both axes' gradients of the latent (the strongest of them) and of the blurred
// picture (conjugate gradients on the kernel's window, the correlations done by FFT), after
// which the kernel is held
// non-negative, its small values and the parts not connected to its main part are pruned, it
// is centred on its centre of mass and normalised to sum 1. The L0 weight decays over the
// alternations and carries over from level to level, so that the latent holds only the
// strongest edges while the kernel is coarse and finer ones as it settles. The kernel is then
// upsampled to the next level. Blurs that did not wrap around the picture's edges are handled
// by an extension in which the picture's edges fade into each other, and the gradients near
// the picture's borders are not used for the kernel.

inline constexpr int32_t kFreeFormDefaultSize = 31;
inline constexpr int32_t kFreeFormMaxSize = 101;
inline constexpr int32_t kFreeFormMinSize = 3;

struct CFreeFormSettings {
    // The largest blur in pixels (odd; an even size is taken as the next odd one), or 0 to
    // try growing sizes and keep the first one the estimate settles inside.
    int32_t maxSize = kFreeFormDefaultSize;
    // Latent / kernel alternations at every level of the pyramid.
    int32_t iterations = 5;
    // Weight of the L0 term on the latent's gradients at the first alternation (grey levels
    // scaled to 0 to 1); it is divided by edgeDecay after every alternation, from level to
    // level, down to 1e-4.
    double edgeWeight = 8e-3;
    double edgeDecay = 1.1;
    // Weight of the kernel's squared norm relative to the energy of the latent's gradients
    // used: too weak a weight lets the kernel scatter into noise, too strong a one spreads it
    // into a blob.
    double kernelWeight = 0.2;
    // Share of the picture's pixels whose latent gradients (the strongest, and at least four
    // times the kernel's area) fit the kernel; 1 uses them all.
    double edgeShare = 0.02;
    // Threads for the transforms and the loops; 0 uses every hardware thread, or one for
    // pictures below 512 x 512, where starting threads costs more than they save.
    int32_t threads = 0;
    // The blur is the same over the whole picture, so a picture larger than window x window
    // is estimated on the window of that side (clipped to the picture) whose gradients are
    // strongest, and the kernel serves the whole picture. 0 uses the whole picture. (On
    // 1024 x 680 shakes 768 kept the quality of the whole picture in 0.8 of its time; 512
    // and 384 were 2.5 to 4 times faster but lost 0.4 to 1 dB on average, the central window
    // more.)
    int32_t window = 768;
    // The central window instead of the most textured one.
    bool centralWindow = false;
};

struct CFreeFormReport {
    int32_t size = 0;            // the kernel's side
    double settledEnergy = 0.0;  // the gradient residual left at the finest level, relative
    int32_t levels = 0;          // levels of the pyramid of the size kept
    std::vector<int32_t> triedSizes;
    int32_t supportWidth = 0;  // extent of the kernel's non-zero values
    int32_t supportHeight = 0;
    // The part of the picture the kernel was estimated on.
    int32_t windowX = 0;
    int32_t windowY = 0;
    int32_t windowWidth = 0;
    int32_t windowHeight = 0;
};

// Estimates the kernel of the blur in a grey plane of width x height values (grey levels 0 to
// 255, row-major, rows in the order of the packed bitmap). The kernel is size x size with its
// peak at the centre, non-negative, sum 1. 1 on success, 0 with a message (a flat picture,
// one too small for the size, values that are not finite numbers, a size out of range), or
// kRestoreCancelled when the progress callback stopped the work.
int EstimateFreeFormKernel(const double* grey, int32_t width, int32_t height,
                           const CFreeFormSettings& settings, CKernel& kernel,
                           CFreeFormReport* report = nullptr, const RestoreProgress& progress = {});

// The grey plane of a picture's planes: (blue + green + red) / 3.
std::vector<double> GreyOfPlanes(const CPlanes& planes);

// The normalised cross-correlation of two kernels at the best integer shift of one against
// the other (zero outside each kernel's values): 1 for kernels equal up to a shift and a
// positive factor. 0 when either is empty or all zero.
double KernelCorrelation(const CKernel& a, const CKernel& b);
