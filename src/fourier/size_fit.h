#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/geometry.h"

// Picture sizes the projection engine accepts: width a multiple of 4, height a multiple
// of 2, both without prime factors other than 2, 3 and 5, and their least common multiple
// N (the transform length) at most 4096.

// N for a qualifying size, 0 when the size does not qualify.
int32_t TransformLength(int32_t width, int32_t height);

// Chooses the working size for a W x H picture: the picture's own size rounded down to
// the multiples of 4 and 2 when it qualifies, else the largest qualifying size not larger
// than the picture (of equal areas the one found last). With more than one candidate the
// person chooses through Ui().ChooseSize(SizeList()). Returns N and sets chosen, or
// returns 0 (chosen unchanged) when no size qualifies or the choice is cancelled.
int32_t FitSize(int32_t width, int32_t height, CSize& chosen);

// The working size of a W x H picture for the engine the choice in force gives it, and the
// projection's transform length N for that size (0 when the projection cannot take it).
// The FFT engine takes the picture whole; the projection engine takes what FitSize
// chooses (the sizes dialog is asked only then), and a picture for which no size qualifies
// at all goes to the FFT engine whole. `whole` keeps the size whatever the choice (a
// spectrum's picture: the FFT engine takes it when the projection cannot). False when the
// person cancelled the sizes dialog.
bool ChooseWorkingSize(int32_t width, int32_t height, bool whole, CSize& chosen, int32_t& length);

// The candidates of the last FitSize: at most 20, largest area first, equal areas in the
// order they were found.
const std::vector<CSize>& SizeList();

// One line of the sizes dialog: "X, <width>, Y= <height>".
std::string SizeListLine(const CSize& size);
