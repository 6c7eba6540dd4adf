#include "stamp/blur.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <iterator>
#include <vector>

#include "fourier/fourier.h"
#include "fourier/parallel_ranges.h"
#include "platform/user_interface.h"

namespace {

int32_t Rounded(double value) {
    return static_cast<int32_t>(std::floor(value + 0.5));
}

CPoint Horizontal(int32_t p) {
    return {p, 0};
}
CPoint Vertical(int32_t p) {
    return {0, p};
}
CPoint RightDown(int32_t p) {
    return {p, p};
}
CPoint Random(int32_t p) {
    const double a = static_cast<double>(p);
    return {Rounded(10.0 * std::sin(a)), Rounded(10.0 * std::cos(a))};
}
CPoint Five(int32_t p) {
    const double a = static_cast<double>(p);
    return {Rounded(15.0 * std::sin(2.0 * a)), Rounded(15.0 * std::cos(2.0 * a))};
}

constexpr CBlurPathRow kBlurPaths[] = {
    {0, "Blur Horizontal", "horizontal", nullptr, 143, &Horizontal},
    {1, "Blur Vertical", "vertical", nullptr, 144, &Vertical},
    {2, "Blur Right Down", "right-down", nullptr, 145, &RightDown},
    {3, "Blur Random", "random", nullptr, 146, &Random},
    {4, "Blur 5", "five", "5", 147, &Five},
};
static_assert(std::size(kBlurPaths) == kBlurPathCount);

std::string Lower(const std::string& text) {
    std::string lower;
    for (char c : text) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

}  // namespace

std::span<const CBlurPathRow> BlurPathRows() {
    return kBlurPaths;
}

const CBlurPathRow* FindBlurPath(int32_t kind) {
    if (kind < 0 || kind >= kBlurPathCount) return nullptr;
    return &kBlurPaths[kind];
}

std::optional<int32_t> BlurPathByName(const std::string& text) {
    const std::string lower = Lower(text);
    for (const CBlurPathRow& row : kBlurPaths)
        if (lower == std::to_string(row.kind) || lower == row.cliName ||
            (row.otherName && lower == row.otherName))
            return row.kind;
    return std::nullopt;
}

std::string BlurPathNameList() {
    std::string list;
    for (const CBlurPathRow& row : kBlurPaths) {
        if (!list.empty()) list += ", ";
        list += std::to_string(row.kind) + " " + row.cliName;
        if (row.otherName) list += std::string(" (or ") + row.otherName + ")";
    }
    return list;
}

void BlurPathOffsets(int32_t kind, int32_t steps, std::vector<int32_t>& dx,
                     std::vector<int32_t>& dy) {
    dx.assign(static_cast<size_t>(std::max(steps, 0)), 0);
    dy.assign(dx.size(), 0);
    const CBlurPathRow* row = FindBlurPath(kind);
    if (row == nullptr) return;
    for (int32_t p = 1; p < steps; ++p) {
        const CPoint offset = row->offset(p);
        dx[static_cast<size_t>(p)] = offset.x;
        dy[static_cast<size_t>(p)] = offset.y;
    }
}

std::string CheckBlurValues(int32_t kind, int32_t steps, double attenuation) {
    if (FindBlurPath(kind) == nullptr)
        return Format("The blur kind must be 0 to %i, not %i.", kBlurPathCount - 1, kind);
    if (steps < 1) return Format("Blur Steps must be at least 1, not %i.", steps);
    if (!std::isfinite(attenuation) || std::fabs(attenuation) > kMaxBlurAttenuation)
        return Format("Blur Attenuation must be a number from %g to %g, not %g.",
                      -kMaxBlurAttenuation, kMaxBlurAttenuation, attenuation);
    return {};
}

namespace {

// The path with its offsets reduced to 0 .. W-1 and 0 .. H-1 once, so that the wrap costs
// nothing per sample.
struct CBlurPath {
    std::vector<int32_t> dx, dy;
    std::vector<int32_t> wrapX, wrapY;
};

int32_t Wrap(int64_t value, int32_t size) {
    const int64_t r = value % size;
    return static_cast<int32_t>(r < 0 ? r + size : r);
}

// The steps actually walked; the message is shown once, on the calling thread.
int32_t EffectiveSteps(int32_t steps) {
    if (steps > kMaxBlurSteps) {
        ShowMessage("Blur modifier reduced");
        return kMaxBlurSteps;
    }
    return steps;
}

CBlurPath MakePath(int32_t kind, int32_t steps, int32_t width, int32_t height) {
    CBlurPath path;
    BlurPathOffsets(kind, steps, path.dx, path.dy);
    path.wrapX.resize(path.dx.size());
    path.wrapY.resize(path.dy.size());
    for (size_t p = 0; p < path.dx.size(); ++p) {
        path.wrapX[p] = Wrap(path.dx[p], width);
        path.wrapY[p] = Wrap(path.dy[p], height);
    }
    return path;
}

// Rows begin .. end-1 of all three planes. The samples are summed from the far end of the
// path back to the pixel itself, each step multiplying what is there by the attenuation.
void BlurRows(const uint8_t* picture, double* real, int32_t width, int32_t height,
              int32_t rowStride, const CBlurPath& path, double attenuation, bool withinSize,
              int32_t begin, int32_t end) {
    const int32_t steps = static_cast<int32_t>(path.dx.size());
    for (int32_t c = 0; c < 3; ++c) {
        for (int32_t y = begin; y < end; ++y) {
            for (int32_t x = 0; x < width; ++x) {
                double sum = 0.0, weight = 0.0;
                for (int32_t p = steps - 1; p >= 0; --p) {
                    const int64_t sx = static_cast<int64_t>(x) + path.dx[p];
                    const int64_t sy = static_cast<int64_t>(y) + path.dy[p];
                    if (withinSize && (sx < 0 || sx >= width || sy < 0 || sy >= height)) continue;
                    int32_t wx = x + path.wrapX[p];
                    if (wx >= width) wx -= width;
                    int32_t wy = y + path.wrapY[p];
                    if (wy >= height) wy -= height;
                    const uint8_t b = picture[c + 3 * static_cast<ptrdiff_t>(wx) +
                                              static_cast<ptrdiff_t>(wy) * rowStride];
                    sum = attenuation * sum + b;
                    weight = attenuation * weight + 1.0;
                }
                const ptrdiff_t at =
                    c + 3 * static_cast<ptrdiff_t>(x) + static_cast<ptrdiff_t>(y) * rowStride;
                const double mean = sum / weight;
                // No samples, or weights that cancel: the pixel has no mean and keeps itself.
                real[at] = (weight != 0.0 && std::isfinite(mean)) ? mean : picture[at];
            }
        }
    }
}

}  // namespace

void BlurPicture(const uint8_t* picture, double* real, int32_t width, int32_t height,
                 int32_t rowStride, const CBlurParameters& blur, int32_t threads) {
    if (width <= 0 || height <= 0) return;
    const int32_t steps = EffectiveSteps(blur.steps);
    const CBlurPath path = MakePath(blur.kind, steps, width, height);
    if (threads <= 0) threads = CFourier::ThreadCount();
    const int64_t costPerRow = 3 * static_cast<int64_t>(width) * std::max<int32_t>(steps, 1);
    ParallelRanges(height, threads, costPerRow, [&](int32_t begin, int32_t end) {
        BlurRows(picture, real, width, height, rowStride, path, blur.attenuation, blur.withinSize,
                 begin, end);
    });
}

void BlurPictureSerial(const uint8_t* picture, double* real, int32_t width, int32_t height,
                       int32_t rowStride, const CBlurParameters& blur) {
    if (width <= 0 || height <= 0) return;
    const int32_t steps = EffectiveSteps(blur.steps);
    std::vector<int32_t> dx, dy;
    BlurPathOffsets(blur.kind, steps, dx, dy);
    for (int32_t c = 0; c < 3; ++c)
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = 0; x < width; ++x) {
                double sum = 0.0, weight = 0.0;
                for (int32_t p = steps - 1; p >= 0; --p) {
                    const int64_t sx = static_cast<int64_t>(x) + dx[static_cast<size_t>(p)];
                    const int64_t sy = static_cast<int64_t>(y) + dy[static_cast<size_t>(p)];
                    if (blur.withinSize && (sx < 0 || sx >= width || sy < 0 || sy >= height))
                        continue;
                    const int32_t wx = Wrap(sx, width), wy = Wrap(sy, height);
                    sum = blur.attenuation * sum + picture[c + 3 * static_cast<ptrdiff_t>(wx) +
                                                           static_cast<ptrdiff_t>(wy) * rowStride];
                    weight = blur.attenuation * weight + 1.0;
                }
                const ptrdiff_t at =
                    c + 3 * static_cast<ptrdiff_t>(x) + static_cast<ptrdiff_t>(y) * rowStride;
                const double mean = sum / weight;
                real[at] = (weight != 0.0 && std::isfinite(mean)) ? mean : picture[at];
            }
}
