#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "stamp/blur.h"

// A blur kernel in the layout of a rubber stamp: width x height values, row-major (the value
// of column x in row y is element y * width + x), rows in the order of the packed bitmap (row
// 0 is the bottom of the picture on screen), and a peak that marks the kernel's origin.
//
// The kernel describes the blur itself: blurred(t) = sum over d of K(d) * sharp(t - d), where
// K(d) is the value at (peak x + dx, peak y + dy). Convolving a picture with such a kernel by
// "Use Stamp" therefore blurs it; the stamp that Make Stamp writes is the opposite, the
// inverse of a blur. The rubber stamps (stamp/rubber_stamp.h) and the ".stp" files hold the
// same kernels.
struct CKernel {
    int32_t width = 0;
    int32_t height = 0;
    int32_t peakX = 0;
    int32_t peakY = 0;
    std::vector<double> values;

    bool IsEmpty() const { return width <= 0 || height <= 0 || values.empty(); }
    double* Values() { return values.data(); }
    const double* Values() const { return values.data(); }
    double At(int32_t x, int32_t y) const {
        return values[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
    }
    double& At(int32_t x, int32_t y) {
        return values[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
    }
    double Sum() const;
};

// The kernel of the program's cyclic blur along a path of the table of blur paths
// (stamp/blur.h): weight attenuation^p for sample p, normalised to sum 1, at the offset that
// takes the sample to the blurred pixel. The values are held to the blur's rules
// (CheckBlurValues); steps above the blur's limit are reduced to it (with the blur's
// message). 1/0 with the message shown here.
int BlurPathKernel(int32_t kind, int32_t steps, double attenuation, CKernel& kernel);

// A straight motion of the given length in pixels along angleDegrees (counter-clockwise
// from the rightward direction on screen), centred on the origin, antialiased; sum 1.
int MotionKernel(double length, double angleDegrees, CKernel& kernel);

// A defocus: a uniform disc of the given radius in pixels, antialiased at its rim; sum 1.
int DefocusKernel(double radius, CKernel& kernel);

// A Gaussian of the given standard deviation in pixels, cut at four deviations; sum 1.
int GaussianKernel(double sigma, CKernel& kernel);

// Whether a kernel can restore a picture of the given size: present, values finite, the peak
// inside, not larger than the picture, not summing to 0. 1/0 with the message shown here.
int CheckKernel(const CKernel& kernel, int32_t pictureWidth, int32_t pictureHeight);

// The kernel as a grey picture's worth of text for a report line: size, peak and sum.
std::string DescribeKernel(const CKernel& kernel);
