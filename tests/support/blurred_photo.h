#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>

#include "stamp/kernels.h"
#include "stamp/restore.h"
#include "stamp/restore_files.h"

// A square crop of a bundled photograph blurred as a camera blurs: the crop is taken with a
// margin around it, blurred, and only its inner side x side part kept, whose every kernel
// tap lay inside the photograph (the blur does not wrap around the edges); rounded to whole
// grey levels. The kernel must reach no further than the margin.
inline CPlanes BlurredPhotoCrop(const CKernel& kernel, int32_t side, int32_t margin = 24,
                                const std::string& photo = "coffee_512x384.jpg") {
    CPlanes full, crop, blurred, out;
    EXPECT_EQ(ReadPlanesFile(std::string(ZELVANTO_SAMPLES_DIR) + "/" + photo, full), 1);
    const int32_t outer = side + 2 * margin;
    EXPECT_TRUE(crop.Allocate(outer, outer));
    const int32_t x0 = (full.width - outer) / 2, y0 = (full.height - outer) / 2;
    for (int32_t c = 0; c < 3; ++c)
        for (int32_t y = 0; y < outer; ++y)
            for (int32_t x = 0; x < outer; ++x)
                crop.Plane(c)[y * outer + x] = full.Plane(c)[(y0 + y) * full.width + x0 + x];
    EXPECT_EQ(BlurPlanes(crop, kernel, false, blurred), 1);
    EXPECT_TRUE(out.Allocate(side, side));
    for (int32_t c = 0; c < 3; ++c)
        for (int32_t y = 0; y < side; ++y)
            for (int32_t x = 0; x < side; ++x)
                out.Plane(c)[y * side + x] =
                    std::floor(blurred.Plane(c)[(y + margin) * outer + x + margin] + 0.5);
    return out;
}
