#include "stamp/mark_geometry.h"

#include <algorithm>
#include <cmath>

#include "fourier/spectrum_image.h"

namespace {

constexpr double kDegree = 3.14159265358979323846 / 180.0;

// Clips the line through p along d to the rectangle 0 .. w, 0 .. h (Liang-Barsky on the
// unbounded line); false when it misses.
bool ClipLine(CSpectrumPoint p, double dx, double dy, double w, double h, CMarkSegment& s) {
    double low = -1e300, high = 1e300;
    const auto limit = [&](double origin, double step, double lo, double hi) {
        if (std::abs(step) < 1e-12) return origin >= lo && origin <= hi;
        double t0 = (lo - origin) / step, t1 = (hi - origin) / step;
        if (t0 > t1) std::swap(t0, t1);
        low = std::max(low, t0);
        high = std::min(high, t1);
        return true;
    };
    if (!limit(p.x, dx, 0.0, w) || !limit(p.y, dy, 0.0, h) || high <= low) return false;
    s = {p.x + low * dx, p.y + low * dy, p.x + high * dx, p.y + high * dy};
    return true;
}

}  // namespace

CMarkGeometry MarkGeometry(const CSpectrumMarks& marks, int32_t width, int32_t height) {
    CMarkGeometry g;
    if (width <= 0 || height <= 0) return g;
    if (marks.hasLines) {
        // The motion's direction n in frequency (u right, v up); a zero line is the set of
        // frequencies whose component along n is the offset, running along (-n.v, n.u).
        const double nu = std::cos(marks.lineDirection * kDegree);
        const double nv = std::sin(marks.lineDirection * kDegree);
        // On the image u grows by W per cycle to the right and v by H per cycle upwards.
        const double dx = -nv * width, dy = -nu * height;
        for (const double offset : marks.lineOffsets) {
            const CSpectrumPoint p = SpectrumPosition(width, height, offset * nu, offset * nv);
            CMarkSegment s;
            if (ClipLine(p, dx, dy, width, height, s)) g.lines.push_back(s);
        }
    }
    const CSpectrumPoint centre = SpectrumPosition(width, height, 0.0, 0.0);
    for (const double r : marks.ringRadii)
        if (r > 0.0) g.rings.push_back({centre.x, centre.y, r * width, r * height});
    return g;
}
