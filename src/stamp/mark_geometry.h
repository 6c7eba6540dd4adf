#pragma once

#include <cstdint>
#include <vector>

#include "stamp/estimate_blur.h"

// The marks of a blur estimate (CSpectrumMarks) laid over the spectrum image of a width x
// height picture (fourier/spectrum_image.h), in the image's pixel coordinates (y downwards).
// A window that shows the image scaled scales these with it.
struct CMarkSegment {
    double x0 = 0.0, y0 = 0.0, x1 = 0.0, y1 = 0.0;
};
struct CMarkEllipse {
    double centreX = 0.0, centreY = 0.0, radiusX = 0.0, radiusY = 0.0;
};
struct CMarkGeometry {
    // Each zero line of a motion across the whole image, in the order of the offsets (lines
    // that miss the image are left out).
    std::vector<CMarkSegment> lines;
    // Each ring, a circle in cycles per pixel and so an ellipse on a picture that is not
    // square.
    std::vector<CMarkEllipse> rings;

    bool IsEmpty() const { return lines.empty() && rings.empty(); }
};

CMarkGeometry MarkGeometry(const CSpectrumMarks& marks, int32_t width, int32_t height);
