#include "stamp/kernels.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>

#include "platform/user_interface.h"

namespace {

// Known kernels larger than this are refused before anything is allocated; no picture the
// program opens is that large anyway.
constexpr double kMaxKernelExtent = 2000.0;

bool AllocateKernel(int32_t width, int32_t height, int32_t peakX, int32_t peakY, CKernel& kernel) {
    try {
        kernel.values.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0.0);
    } catch (const std::bad_alloc&) {
        ShowMessage("Could not allocate memory for the kernel");
        return false;
    }
    kernel.width = width;
    kernel.height = height;
    kernel.peakX = peakX;
    kernel.peakY = peakY;
    return true;
}

void Normalise(CKernel& kernel) {
    const double sum = kernel.Sum();
    if (sum != 0.0)
        for (double& v : kernel.values) v /= sum;
}

// Adds weight at the real offset (ox, oy) from the peak, shared bilinearly among the four
// nearest values.
void Splat(CKernel& kernel, double ox, double oy, double weight) {
    const double fx = std::floor(ox), fy = std::floor(oy);
    const double tx = ox - fx, ty = oy - fy;
    const int32_t x0 = kernel.peakX + static_cast<int32_t>(fx);
    const int32_t y0 = kernel.peakY + static_cast<int32_t>(fy);
    const double w[2][2] = {{(1 - tx) * (1 - ty), tx * (1 - ty)}, {(1 - tx) * ty, tx * ty}};
    for (int32_t j = 0; j < 2; ++j)
        for (int32_t i = 0; i < 2; ++i) {
            const int32_t x = x0 + i, y = y0 + j;
            if (x >= 0 && x < kernel.width && y >= 0 && y < kernel.height)
                kernel.At(x, y) += weight * w[j][i];
        }
}

}  // namespace

double CKernel::Sum() const {
    double sum = 0.0;
    for (double v : values) sum += v;
    return sum;
}

int BlurPathKernel(int32_t kind, int32_t steps, double attenuation, CKernel& kernel) {
    if (const std::string refusal = CheckBlurValues(kind, steps, attenuation); !refusal.empty()) {
        ShowMessage(refusal);
        return 0;
    }
    if (steps > kMaxBlurSteps) {
        ShowMessage("Blur modifier reduced");
        steps = kMaxBlurSteps;
    }
    std::vector<int32_t> dx, dy;
    BlurPathOffsets(kind, steps, dx, dy);
    const auto [minX, maxX] = std::minmax_element(dx.begin(), dx.end());
    const auto [minY, maxY] = std::minmax_element(dy.begin(), dy.end());
    // Sample p lands on the blurred pixel at offset -(dx, dy) from it, so the kernel spans
    // -max .. -min with the peak at column max.
    if (!AllocateKernel(*maxX - *minX + 1, *maxY - *minY + 1, *maxX, *maxY, kernel)) return 0;
    double weight = 1.0, total = 0.0;
    for (int32_t p = 0; p < steps; ++p) {
        kernel.At(kernel.peakX - dx[static_cast<size_t>(p)],
                  kernel.peakY - dy[static_cast<size_t>(p)]) += weight;
        total += weight;
        weight *= attenuation;
    }
    if (total == 0.0 || !std::isfinite(total)) {
        ShowMessage(
            Format("The blur weights sum to 0 (attenuation %g, %i steps): such a blur "
                   "cannot be restored.",
                   attenuation, steps));
        kernel = CKernel();
        return 0;
    }
    for (double& v : kernel.values) v /= total;
    return 1;
}

int MotionKernel(double length, double angleDegrees, CKernel& kernel) {
    if (!std::isfinite(length) || length < 1.0 || length > kMaxKernelExtent) {
        ShowMessage(
            Format("The motion length must be a number from 1 to %g pixels.", kMaxKernelExtent));
        return 0;
    }
    if (!std::isfinite(angleDegrees)) {
        ShowMessage("The motion angle must be a finite number of degrees.");
        return 0;
    }
    const double angle = angleDegrees * (std::acos(-1.0) / 180.0);
    const double cx = std::cos(angle), cy = std::sin(angle);
    const int32_t halfX = static_cast<int32_t>(std::ceil(0.5 * length * std::fabs(cx))) + 1;
    const int32_t halfY = static_cast<int32_t>(std::ceil(0.5 * length * std::fabs(cy))) + 1;
    if (!AllocateKernel(2 * halfX + 1, 2 * halfY + 1, halfX, halfY, kernel)) return 0;
    // Evenly spaced points along the segment, sixteen per pixel of length.
    const int32_t points = static_cast<int32_t>(std::ceil(16.0 * length)) + 1;
    for (int32_t i = 0; i < points; ++i) {
        const double t = length * (static_cast<double>(i) / (points - 1) - 0.5);
        Splat(kernel, t * cx, t * cy, 1.0);
    }
    Normalise(kernel);
    return 1;
}

int DefocusKernel(double radius, CKernel& kernel) {
    if (!std::isfinite(radius) || radius <= 0.0 || radius > kMaxKernelExtent / 2) {
        ShowMessage(Format("The defocus radius must be a number above 0 and at most %g pixels.",
                           kMaxKernelExtent / 2));
        return 0;
    }
    const int32_t half = static_cast<int32_t>(std::ceil(radius));
    if (!AllocateKernel(2 * half + 1, 2 * half + 1, half, half, kernel)) return 0;
    // Each value is the share of its pixel square inside the disc, by 8 x 8 samples.
    constexpr int32_t kSub = 8;
    const double r2 = radius * radius;
    for (int32_t y = -half; y <= half; ++y)
        for (int32_t x = -half; x <= half; ++x) {
            int32_t inside = 0;
            for (int32_t j = 0; j < kSub; ++j)
                for (int32_t i = 0; i < kSub; ++i) {
                    const double sx = x + (i + 0.5) / kSub - 0.5;
                    const double sy = y + (j + 0.5) / kSub - 0.5;
                    if (sx * sx + sy * sy <= r2) ++inside;
                }
            kernel.At(half + x, half + y) = static_cast<double>(inside);
        }
    if (kernel.Sum() == 0.0) kernel.At(half, half) = 1.0;  // a disc smaller than any sample
    Normalise(kernel);
    return 1;
}

int GaussianKernel(double sigma, CKernel& kernel) {
    if (!std::isfinite(sigma) || sigma <= 0.0 || sigma > kMaxKernelExtent / 8) {
        ShowMessage(Format("The Gaussian sigma must be a number above 0 and at most %g pixels.",
                           kMaxKernelExtent / 8));
        return 0;
    }
    const int32_t half = std::max(1, static_cast<int32_t>(std::ceil(4.0 * sigma)));
    if (!AllocateKernel(2 * half + 1, 2 * half + 1, half, half, kernel)) return 0;
    for (int32_t y = -half; y <= half; ++y)
        for (int32_t x = -half; x <= half; ++x)
            kernel.At(half + x, half + y) =
                std::exp(-static_cast<double>(x * x + y * y) / (2.0 * sigma * sigma));
    Normalise(kernel);
    return 1;
}

int CheckKernel(const CKernel& kernel, int32_t pictureWidth, int32_t pictureHeight) {
    if (kernel.IsEmpty() || kernel.values.size() != static_cast<size_t>(kernel.width) *
                                                        static_cast<size_t>(kernel.height)) {
        ShowMessage("The kernel is empty.");
        return 0;
    }
    if (kernel.width > pictureWidth || kernel.height > pictureHeight) {
        ShowMessage(Format("The kernel (%i x %i) is larger than the picture (%i x %i).",
                           kernel.width, kernel.height, pictureWidth, pictureHeight));
        return 0;
    }
    if (kernel.peakX < 0 || kernel.peakX >= kernel.width || kernel.peakY < 0 ||
        kernel.peakY >= kernel.height) {
        ShowMessage(Format("The kernel's peak (%i, %i) lies outside its %i x %i values.",
                           kernel.peakX, kernel.peakY, kernel.width, kernel.height));
        return 0;
    }
    double sum = 0.0, magnitude = 0.0;
    for (double v : kernel.values) {
        if (!std::isfinite(v)) {
            ShowMessage("The kernel holds values that are not finite numbers.");
            return 0;
        }
        sum += v;
        magnitude += std::fabs(v);
    }
    if (!(std::fabs(sum) > 1e-9 * magnitude) || !std::isfinite(sum)) {
        ShowMessage("The kernel sums to 0: a picture blurred by it cannot be restored.");
        return 0;
    }
    return 1;
}

std::string DescribeKernel(const CKernel& kernel) {
    return Format("kernel %i x %i, peak (%i, %i), sum %.6f", kernel.width, kernel.height,
                  kernel.peakX, kernel.peakY, kernel.Sum());
}
