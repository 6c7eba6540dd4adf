#pragma once

#include <cstdint>

// The program's own blur: each pixel becomes the weighted mean of the samples along a path
// of offsets (see KernelPathOffsets), sample p weighing attenuation^p, so the pixel itself
// weighs 1. Without "within size" the path wraps around the picture's edges; with it the
// samples outside are dropped and the remaining weights renormalised.
//
// Picture bytes and real planes are laid out as the engine lays them out: byte (x, y, c) at
// c + 3x + y * rowStride, the reals indexed like the bytes.
struct CBlurParameters {
    int32_t kind = 0;  // 0 "Blur Horizontal" ... 4 "Blur 5"
    int32_t steps = 10;
    double attenuation = 0.6;
    bool withinSize = false;
};

// The blur computation. More than kMaxBlurSteps steps show "Blur modifier reduced" and walk
// that many. Fewer than 1 step leave no sample, and a pixel whose weights sum to 0 (or to
// nothing finite) has no mean: such pixels keep their own value. Rows are shared among
// `threads` threads (0: the engine's thread count); every pixel's sum is independent and
// computed in the same order, so the result does not depend on the thread count.
void BlurPicture(const uint8_t* picture, double* real, int32_t width, int32_t height,
                 int32_t rowStride, const CBlurParameters& blur, int32_t threads = 0);

// The same as one plain loop on the calling thread: the reference the parallel one equals.
void BlurPictureSerial(const uint8_t* picture, double* real, int32_t width, int32_t height,
                       int32_t rowStride, const CBlurParameters& blur);
