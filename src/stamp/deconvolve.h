#pragma once

#include <cstdint>
#include <string>

#include "fourier/fourier.h"

// Deconvolution from example files. A sharp "Good" example and the same scene "Blurred" give
// the blur as the ratio of their spectra, Good / Blurred, frequency by frequency; the ratio
// either removes the blur from a third spectrum at once or, turned into a spatial kernel, is
// kept as a rubber stamp. The spectra are the engine's three-plane centred spectra, read from
// ".ft" files of the engine's size. A Blurred coefficient that is exactly 0 (or a quotient
// that is not finite) gives 0 at that frequency, never infinities or NaN.

// output = Input * Good / Blurred for every plane and frequency, from the three ".ft" files.
// Takes one work spectrum besides output. 1, or 0 with the message shown here.
int DeconvolveFromFiles(const CFourier& engine, const std::string& goodFile,
                        const std::string& blurredFile, const std::string& inputFile,
                        Complex* output);

// The stamp of the blue plane's ratio Good / Blurred, centred on (W/2, H/2), written to
// stampFile with WriteRubberStamp (whose own message reports a failed write). work is a
// spectrum's worth of room that is left holding P * Good / Blurred, P the spectrum of the
// centred unit pixel; flags are W * H bytes of scratch. The kernel is computed in the one
// extra spectrum the ratio needs. 1, or 0 with the message shown here.
int MakeStampFromFiles(CFourier& engine, const std::string& goodFile,
                       const std::string& blurredFile, const std::string& stampFile, Complex* work,
                       uint8_t* flags);

// The real values of the inverse transform of the spectrum's first plane, row-major (element
// y * W + x) in the first W * H doubles of array, which holds at least W * H * 6 doubles.
// The pixels are evaluated in the engine's centre-out order, each line through the centre
// once (flags are W * H bytes of scratch). Neither rounded nor clamped.
void SpectrumToKernel(CFourier& engine, const Complex* spectrum, double* array, uint8_t* flags);
// The same, masking instead of reducing modulo N when N is a power of two (and falling back
// to the general evaluation otherwise); the same bits either way. Make Stamp uses this one.
void SpectrumToKernelPowerOfTwo(CFourier& engine, const Complex* spectrum, double* array,
                                uint8_t* flags);
