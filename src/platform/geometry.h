#pragma once

#include <cstdint>

// A width and height in pixels, or any pair of 32-bit counts.
struct CSize {
    int32_t cx = 0;
    int32_t cy = 0;

    friend bool operator==(const CSize&, const CSize&) = default;
};

// A pixel position: column x, row y.
struct CPoint {
    int32_t x = 0;
    int32_t y = 0;

    friend bool operator==(const CPoint&, const CPoint&) = default;
};
