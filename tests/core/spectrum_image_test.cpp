// The spectrum image of a picture and the estimate's marks over it: orientation as on
// screen, the zero lines of a motion across its direction where the image is dark, the
// rings of a defocus as ellipses on a picture that is not square.
#include "fourier/spectrum_image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>

#include "stamp/estimate_blur.h"
#include "stamp/kernels.h"
#include "stamp/mark_geometry.h"
#include "stamp/restore.h"
#include "support/scripted_ui.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// Uniform noise (all frequencies alike) blurred by the kernel, wrapping around, as a
// 24-bit picture.
DibHandle BlurredNoise(int32_t w, int32_t h, const CKernel& kernel) {
    CPlanes noise, blurred;
    EXPECT_TRUE(noise.Allocate(w, h));
    std::mt19937 random(7);
    std::uniform_real_distribution<double> value(0.0, 255.0);
    for (double& v : noise.values) v = value(random);
    EXPECT_EQ(BlurPlanes(noise, kernel, true, blurred), 1);
    DibHandle dib;
    EXPECT_EQ(NewGreyPicture(w, h, dib), 1);
    EXPECT_EQ(PlanesToPicture(blurred, dib), 1);
    return dib;
}

// The mean of the image along a segment, sampled every half pixel away from its ends.
double MeanAlong(const CSpectrumImage& image, const CMarkSegment& s) {
    const double length = std::hypot(s.x1 - s.x0, s.y1 - s.y0);
    const int n = static_cast<int>(2.0 * length);
    double sum = 0.0;
    int count = 0;
    for (int i = 2; i < n - 2; ++i) {
        const double t = static_cast<double>(i) / n;
        const int x = static_cast<int>(s.x0 + t * (s.x1 - s.x0));
        const int y = static_cast<int>(s.y0 + t * (s.y1 - s.y0));
        if (x < 0 || y < 0 || x >= image.width || y >= image.height) continue;
        sum += image.At(x, y);
        ++count;
    }
    return count > 0 ? sum / count : 0.0;
}

double MeanAlong(const CSpectrumImage& image, const CMarkGeometry& g) {
    double sum = 0.0;
    for (const CMarkSegment& s : g.lines) sum += MeanAlong(image, s);
    return g.lines.empty() ? 0.0 : sum / static_cast<double>(g.lines.size());
}

CSpectrumMarks MotionMarks(double length, double angle, double shift) {
    CSpectrumMarks marks;
    marks.hasLines = true;
    marks.lineDirection = angle;
    for (int k = 1; k <= 3; ++k)
        for (const int sign : {-1, 1}) marks.lineOffsets.push_back(sign * (k + shift) / length);
    return marks;
}

}  // namespace

// A wave along (5, 3) cycles per picture, up and to the right on screen (a packet that
// fades out before the borders), shows at +-(5, 3) from the centre: right and up, and left
// and down.
TEST(SpectrumImage, WavesShowWhereTheyPointOnScreen) {
    const int32_t w = 64, h = 48;
    std::vector<float> grey(static_cast<size_t>(w) * h);
    // Rows of the packed bitmap: row y is y rows above the bottom of the screen.
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            grey[static_cast<size_t>(y) * w + x] = static_cast<float>(
                100.0 + 60.0 * std::cos(2.0 * kPi * (5.0 * x / w + 3.0 * y / h)) *
                            std::exp(-(std::pow(x - 32.0, 2) + std::pow(y - 24.0, 2)) / 200.0));
    CSpectrumImage image;
    ASSERT_EQ(MakeSpectrumImage(grey.data(), w, h, image), 1);
    ASSERT_EQ(image.width, w);
    ASSERT_EQ(image.height, h);
    const CSpectrumPoint centre = SpectrumPosition(w, h, 0.0, 0.0);
    EXPECT_EQ(centre.x, 32.5);
    EXPECT_EQ(centre.y, 23.5);
    for (const int sign : {1, -1}) {
        const CSpectrumPoint p = SpectrumPosition(w, h, sign * 5.0 / w, sign * 3.0 / h);
        EXPECT_EQ(image.At(static_cast<int>(p.x), static_cast<int>(p.y)), 255);
        // The mirror through the horizontal axis, where a picture upside down would show it.
        const CSpectrumPoint q = SpectrumPosition(w, h, sign * 5.0 / w, -sign * 3.0 / h);
        EXPECT_LT(image.At(static_cast<int>(q.x), static_cast<int>(q.y)), 100);
    }
}

// A motion of 8 pixels at 30 and at 120 degrees: its zero lines run across its direction on
// screen (y downwards, so the direction is (cos A, -sin A) there), and the image is darker
// along them than halfway between them or along the lines of the motion mirrored.
TEST(SpectrumImage, MotionZeroLinesRunAcrossTheMotionWhereTheImageIsDark) {
    const int32_t w = 96, h = 96;
    const double length = 8.0;
    for (const double angle : {30.0, 120.0}) {
        SCOPED_TRACE(angle);
        CKernel kernel;
        ASSERT_EQ(MotionKernel(length, angle, kernel), 1);
        const DibHandle picture = BlurredNoise(w, h, kernel);
        CSpectrumImage image;
        ASSERT_EQ(MakeSpectrumImage(picture, image), 1);
        const CMarkGeometry on = MarkGeometry(MotionMarks(length, angle, 0.0), w, h);
        ASSERT_EQ(on.lines.size(), size_t{6});
        EXPECT_TRUE(on.rings.empty());
        const double c = std::cos(angle * kPi / 180.0), s = std::sin(angle * kPi / 180.0);
        for (const CMarkSegment& line : on.lines) {
            const double dx = line.x1 - line.x0, dy = line.y1 - line.y0;
            const double run = std::hypot(dx, dy);
            EXPECT_GT(run, 40.0);
            EXPECT_NEAR((dx * c - dy * s) / run, 0.0, 1e-9);
            for (const double v : {line.x0, line.x1, line.y0, line.y1}) {
                EXPECT_GE(v, -1e-9);
                EXPECT_LE(v, 96.0 + 1e-9);
            }
        }
        const double along = MeanAlong(image, on);
        const double between =
            MeanAlong(image, MarkGeometry(MotionMarks(length, angle, 0.5), w, h));
        const double mirrored =
            MeanAlong(image, MarkGeometry(MotionMarks(length, -angle, 0.0), w, h));
        EXPECT_LT(along, 0.75 * between) << along << " " << between;
        EXPECT_LT(along, 0.85 * mirrored) << along << " " << mirrored;

        // The estimate's own marks lie on the same zeros: darker than midway between them.
        CPlanes planes;
        ASSERT_EQ(PlanesFromPicture(picture, planes), 1);
        CBlurEstimate estimate;
        CEstimateRequest request;
        request.model = BlurModel::Motion;
        request.maxSize = 21;
        ASSERT_EQ(EstimateBlur(planes, request, estimate), 1);
        ASSERT_TRUE(estimate.marks.hasLines);
        EXPECT_NEAR(estimate.marks.lineDirection, angle, 3.0);
        CSpectrumMarks midway = estimate.marks;
        std::vector<double> offsets = midway.lineOffsets;
        std::sort(offsets.begin(), offsets.end());
        midway.lineOffsets.clear();
        for (size_t i = 1; i < offsets.size(); ++i)
            if (offsets[i - 1] * offsets[i] > 0.0)  // not across frequency 0
                midway.lineOffsets.push_back((offsets[i - 1] + offsets[i]) / 2.0);
        const double estimated = MeanAlong(image, MarkGeometry(estimate.marks, w, h));
        const double estimatedBetween = MeanAlong(image, MarkGeometry(midway, w, h));
        EXPECT_LT(estimated, 0.75 * estimatedBetween) << estimated << " " << estimatedBetween;
    }
    // Lines beyond the highest frequency are left out.
    CSpectrumMarks far;
    far.hasLines = true;
    far.lineDirection = 0.0;
    far.lineOffsets = {0.25, 0.75};
    const CMarkGeometry g = MarkGeometry(far, w, h);
    ASSERT_EQ(g.lines.size(), size_t{1});
    EXPECT_NEAR(g.lines[0].x0, 48.5 + 24.0, 1e-9);
    EXPECT_NEAR(g.lines[0].x1, 48.5 + 24.0, 1e-9);
}

// A defocus disc of radius 4 on a picture wider than high: its zero rings (radii 0.61/R,
// 1.12/R cycles per pixel) are ellipses on the image, dark all round.
TEST(SpectrumImage, DefocusRingsAreEllipsesAlongTheZeros) {
    const int32_t w = 128, h = 64;
    CKernel kernel;
    ASSERT_EQ(DefocusKernel(4.0, kernel), 1);
    CSpectrumImage image;
    ASSERT_EQ(MakeSpectrumImage(BlurredNoise(w, h, kernel), image), 1);
    const auto ringMean = [&](double radius) {
        CSpectrumMarks marks;
        marks.ringRadii = {radius};
        const CMarkGeometry g = MarkGeometry(marks, w, h);
        EXPECT_EQ(g.rings.size(), size_t{1});
        const CMarkEllipse& e = g.rings.front();
        EXPECT_NEAR(e.radiusX / e.radiusY, 2.0, 1e-12);
        double sum = 0.0;
        for (int i = 0; i < 360; ++i) {
            const double t = i * kPi / 180.0;
            sum += image.At(static_cast<int>(e.centreX + e.radiusX * std::cos(t)),
                            static_cast<int>(e.centreY + e.radiusY * std::sin(t)));
        }
        return sum / 360.0;
    };
    const double first = ringMean(0.61 / 4.0), second = ringMean(1.117 / 4.0);
    const double between = ringMean(0.86 / 4.0);
    EXPECT_LT(first, 0.75 * between) << first << " " << between;
    EXPECT_LT(second, 0.75 * between) << second << " " << between;
}

TEST(SpectrumImage, RefusesWhatIsNoPicture) {
    CScriptedUi ui;
    CUiScope scope(ui);
    CSpectrumImage image;
    EXPECT_EQ(MakeSpectrumImage(DibHandle(), image), 0);
    EXPECT_EQ(MakeSpectrumImage(nullptr, 0, 5, image), 0);
    EXPECT_TRUE(image.IsEmpty());
    EXPECT_EQ(ui.Messages(),
              (std::vector<std::string>(2, "There is no picture to show the spectrum of.")));
}
