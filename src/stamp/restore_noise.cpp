// The noise of a picture from its finest wavelet details.
#include <algorithm>
#include <cmath>
#include <vector>

#include "stamp/restore_parts.h"

double EstimatePlaneNoise(const double* plane, int32_t width, int32_t height) {
    const double floor = std::sqrt(kRoundingNoiseVariance);
    if (width < 2 || height < 2) return floor;
    // The diagonal Haar detail of every 2 x 2 block, normalised so that white noise of
    // deviation s gives details of deviation s.
    std::vector<double> details;
    details.reserve(static_cast<size_t>(width / 2) * static_cast<size_t>(height / 2));
    bool halfLevels = true;
    for (int32_t y = 0; y + 1 < height; y += 2) {
        const double* a = plane + static_cast<size_t>(y) * width;
        const double* b = a + width;
        for (int32_t x = 0; x + 1 < width; x += 2) {
            const double d = std::abs(0.5 * (a[x] - a[x + 1] - b[x] + b[x + 1]));
            halfLevels = halfLevels && d == 0.5 * std::round(2.0 * d);
            details.push_back(d);
        }
    }
    const size_t n = details.size();
    auto middle = details.begin() + static_cast<std::ptrdiff_t>(n / 2);
    std::nth_element(details.begin(), middle, details.end());
    double median = *middle;
    if (halfLevels) {
        // Every detail is a multiple of 1/2: spread each level evenly over its half-level bin
        // (the level 0 over [0, 1/4)) and take the median of that spread.
        size_t below = 0, at = 0;
        for (double d : details) {
            if (d < median)
                ++below;
            else if (d == median)
                ++at;
        }
        const double low = median == 0.0 ? 0.0 : median - 0.25;
        const double binWidth = median == 0.0 ? 0.25 : 0.5;
        const double share = (static_cast<double>(n) / 2.0 - static_cast<double>(below)) /
                             static_cast<double>(std::max<size_t>(at, 1));
        median = low + binWidth * std::clamp(share, 0.0, 1.0);
    }
    const double sigma = median / 0.6745;
    return std::max(sigma, floor);
}

std::array<double, 3> EstimateNoise(const CPlanes& planes) {
    std::array<double, 3> noise{};
    for (int32_t c = 0; c < 3; ++c)
        noise[c] = EstimatePlaneNoise(planes.Plane(c), planes.width, planes.height);
    return noise;
}
