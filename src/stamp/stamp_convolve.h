#pragma once

#include <cstdint>

#include "stamp/rubber_stamp.h"

// Convolution of a picture with a rectangle of a stamp, wrapping around the picture's
// edges: every source pixel (x, y) is scattered through the stamp, its bytes times the value
// at (sx, sy) added to the target pixel ((x - px + sx) mod W, (y - py + sy) mod H), for every
// stamp column sx = left .. right-1 and row sy = bottom .. top-1. (px, py) is the peak used,
// which may lie outside the stamp (it only shifts the result).
//
// Picture bytes and real planes are laid out as the engine lays them out: byte (x, y, c) at
// c + 3x + y * rowStride, the reals indexed like the bytes; the padding of the reals is left
// as it was. The reals receive the sums, neither rounded nor clamped.

enum class CStampConvolution {
    Automatic,  // the cheaper of the two below for the sizes
    Direct,     // the sums in the picture domain, target rows shared among the threads
    Fft,        // the cyclic convolution through FFTW
};

// Whether the FFT costs less than the direct sums for a stamp rectangle of the given size on
// a W x H picture.
bool StampPrefersFft(int32_t width, int32_t height, int32_t stampWidth, int32_t stampHeight);

// The convolution by the chosen method on `threads` threads (0: the engine's count). Both
// methods give the direct sums to within rounding. False when memory (or an FFT plan) could
// not be had; the reals are then unchanged.
bool ConvolveWithStamp(const uint8_t* picture, double* real, int32_t width, int32_t height,
                       int32_t rowStride, const RubberStamp& stamp, const CStampRect& rect,
                       int32_t px, int32_t py,
                       CStampConvolution method = CStampConvolution::Automatic,
                       int32_t threads = 0);

// The reference: the plain serial scatter in source order, into reals it first sets to 0.
void ConvolveWithStampSerial(const uint8_t* picture, double* real, int32_t width, int32_t height,
                             int32_t rowStride, const RubberStamp& stamp, const CStampRect& rect,
                             int32_t px, int32_t py);
