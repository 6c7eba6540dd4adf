#pragma once

#include <cstdint>
#include <vector>

#include "image/dib.h"

// The pixel bytes of a 24-bit picture (rows of RowBytes, bottom row first).
inline std::vector<uint8_t> PictureBytes(const DibHandle& dib) {
    const PictureDescription d = DescribePicture(dib.Data());
    const uint8_t* p = dib.Data() + d.pixelOffset;
    return {p, p + static_cast<size_t>(RowBytes(d.size.cx * 24)) * d.size.cy};
}
