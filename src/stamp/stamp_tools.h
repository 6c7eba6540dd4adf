#pragma once

#include <cstdint>
#include <string>

#include "fourier/fourier.h"
#include "stamp/rubber_stamp.h"

// Trimming a stamp, convolving the picture with it and showing it.

// Trims the rectangle to the lines around the peak that matter: it starts again from the
// whole stamp, then, one line per side per pass (left column, right column, bottom row, top
// row, in that order), drops an outer line whose largest |value| inside the rectangle is
// below the threshold, until a pass moves nothing or the width or height reaches 1 or less.
void CutStamp(const RubberStamp& stamp, CStampRect& rect, double threshold);

// Reads the stamp file and lets the person trim it in "Dialog Stamp Cut" ("Try Fraction"
// cuts at Fraction times the peak's magnitude and shows the dialog again; "Use This" takes
// the rectangle and the peak position as left; Cancel gives 0 with nothing changed). Then
// the picture's bytes are convolved with the trimmed stamp around the peak, wrapping at the
// picture's edges: the reals hold the sums, the bytes the sums rounded and clamped. A cut
// stamp may be saved over the file. A stamp that CheckStampValues refuses is not used. 1
// when the picture was convolved, kStampCutNotSaved when it was convolved but the cut the
// person chose to save could not be written, 0 otherwise (with the reason shown).
inline constexpr int kStampCutNotSaved = 2;
int UseStamp(const CFourier& engine, uint8_t* picture, double* real, const std::string& stampFile);

// Reads the stamp file into the three real planes as a grey picture: value 0 at 128, the
// peak at 128 + 127 (or 1 for a negative peak), column 0, row 0 of the stamp on the first
// pixel, 0 outside the stamp. 1, or 0 when the stamp cannot be read or CheckStampValues
// refuses it.
int ShowStamp(const CFourier& engine, double* real, const std::string& stampFile);
