#pragma once

#include <cstdint>
#include <vector>

#include "image/dib.h"

// The log magnitude of a picture's grey spectrum as a grey screen image of the picture's
// size, frequency 0 in the middle, oriented as the picture on screen: frequencies to the
// right run along x to the right, frequencies upwards along y upwards. Computed on the
// whole picture by FFTW.
//
// A photograph does not wrap around at its edges, and the jump from one edge to the other
// would draw a bright cross through the centre that hides what the blur wrote there. The
// image is therefore of the picture's periodic component (the picture less the smooth
// surface that takes up the jumps at its borders), whose spectrum is the picture's apart
// from that cross. The values are log(1 + |F| / sqrt(W * H)) scaled so that the darkest
// percent is black and the brightest thousandth white.
struct CSpectrumImage {
    int32_t width = 0;
    int32_t height = 0;
    // Rows from the top of the screen, width bytes each.
    std::vector<uint8_t> values;

    bool IsEmpty() const { return width <= 0 || height <= 0; }
    uint8_t At(int32_t x, int32_t y) const {
        return values[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
    }
};

// The spectrum image of a 24-bit picture's grey (0.299 R + 0.587 G + 0.114 B). 1, or 0 with
// the message shown (no picture, not 24 bits, not enough memory).
int MakeSpectrumImage(const DibHandle& picture, CSpectrumImage& image);

// The same for a grey plane of width x height values, row-major with rows in the order of
// the packed bitmap (row 0 at the bottom of the screen).
int MakeSpectrumImage(const float* grey, int32_t width, int32_t height, CSpectrumImage& image);

// Where the frequency (u, v) in cycles per pixel (u to the right, v upwards, each within
// -0.5 .. 0.5) lies on the spectrum image of a width x height picture, in the image's pixel
// coordinates: pixel (x, y) covers x .. x + 1 and y .. y + 1, y downwards. Frequency 0 is the
// centre of pixel (W/2, H - 1 - H/2).
struct CSpectrumPoint {
    double x = 0.0;
    double y = 0.0;
};
CSpectrumPoint SpectrumPosition(int32_t width, int32_t height, double u, double v);
