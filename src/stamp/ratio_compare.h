#pragma once

#include <cstdint>
#include <string>

#include "fourier/fourier.h"
#include "image/dib.h"
#include "platform/geometry.h"

// Two measuring tools for deconvolution: how far the weakest frequency of a spectrum lies
// below the strongest (Ratio Frequency), and the amplified difference between a result and
// a reference picture (Compare Result).

// The gain of Compare Result: each grey level of difference shows as 20.
inline constexpr double kCompareGain = 20.0;

inline constexpr const char* kCompareNameEmpty =
    "The Compare filename is still empty. Use the 'Zelvanto... ' menu item to give it the "
    "right value.";

// The ratio line of one plane ("Red", "Green" or "Blue"): "Ratio Red %#2.3e", or, when
// the ratio is not a number, a text saying why.
std::string RatioLine(const char* colour, double ratio, double largest);

// The three lines of Ratio Frequency, red (plane 2) first, joined by newlines.
std::string RatioText(const CFourier& fourier, const Complex* spectrum);

// Largest squared magnitude of the plane's frequencies other than (0, 0).
double LargestSquaredMagnitude(const CFourier& fourier, const Complex* spectrum, int32_t channel);

// Reads the Fourier data file into the spectrum and gives the ratio text. 0 (with the
// message shown) when the file cannot be read.
int RatioFrequency(const CFourier& fourier, const std::string& fourierPath, Complex* spectrum,
                   std::string& text);

// Every picture byte of the engine's W x H layout becomes
// ByteFromReal((result - reference) * gain + 127) at the same byte position: 127 where the
// two agree, brighter where the result is larger. The reference has the picture's layout.
void CompareWithReference(const CFourier& fourier, const uint8_t* reference, const double* result,
                          uint8_t* picture, double gain);

// 1 when the reference read from path is a whole 24-bit picture of the given size laid out
// as the document's picture; otherwise 0 with a message saying what it is.
int CheckCompareReference(const std::string& path, const DibHandle& reference, CSize size);

// Reads the reference as a bitmap file, checks it and compares the result with it into
// the picture. 0 (picture unchanged, message shown) when it cannot be read or does not fit.
int CompareResult(const CFourier& fourier, const std::string& referencePath, const double* result,
                  uint8_t* picture);
