// The free-form blur estimate: a small textured picture blurred by a known shake gives the
// shake back; flat, small and cancelled work is refused or stopped as it should be.
#include "stamp/estimate_free.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "image/picture_file.h"
#include "stamp/kernels.h"
#include "stamp/restore.h"
#include "support/scripted_ui.h"

namespace {

// Rectangles of random grey levels over a mid grey, the same for every run: strong edges
// in every direction, as a photograph has.
CPlanes TexturedPlanes(int32_t w, int32_t h, uint32_t seed) {
    CPlanes p;
    EXPECT_TRUE(p.Allocate(w, h));
    std::vector<double> grey(static_cast<size_t>(w) * h, 120.0);
    auto next = [&seed](uint32_t n) {
        seed = seed * 1664525u + 1013904223u;
        return static_cast<int32_t>((seed >> 8) % n);
    };
    for (int32_t r = 0; r < 30; ++r) {
        const int32_t x0 = next(w), y0 = next(h), rw = 4 + next(20), rh = 4 + next(20);
        const double level = next(256);
        for (int32_t y = y0; y < std::min(h, y0 + rh); ++y)
            for (int32_t x = x0; x < std::min(w, x0 + rw); ++x) grey[y * w + x] = level;
    }
    for (int32_t c = 0; c < 3; ++c) std::copy(grey.begin(), grey.end(), p.Plane(c));
    return p;
}

// A 9 x 9 shake: a bent stroke, heavier where the camera lingered.
CKernel Shake9() {
    CKernel k;
    k.width = k.height = 9;
    k.peakX = k.peakY = 4;
    k.values.assign(81, 0.0);
    const int32_t path[][2] = {{1, 2}, {2, 2}, {3, 3}, {4, 3}, {5, 4},
                               {5, 5}, {6, 6}, {6, 7}, {7, 7}};
    double weight = 1.0;
    for (const auto& p : path) {
        k.At(p[0], p[1]) = weight;
        weight += 0.25;
    }
    const double sum = k.Sum();
    for (double& v : k.values) v /= sum;
    return k;
}

// A 13 x 13 shake as a camera makes it: a thin curved path (a hook), drawn with bilinear
// weights and slower, so heavier, at its ends.
CKernel Hook13() {
    CKernel k;
    k.width = k.height = 13;
    k.peakX = k.peakY = 6;
    k.values.assign(169, 0.0);
    for (int32_t i = 0; i <= 200; ++i) {
        const double t = i / 200.0, a = 3.8 * t - 0.6;
        const double x = 6.0 + 4.6 * std::cos(a) - 1.5 * t, y = 6.0 + 4.6 * std::sin(a) - 2.0 * t;
        const int32_t x0 = static_cast<int32_t>(x), y0 = static_cast<int32_t>(y);
        const double fx = x - x0, fy = y - y0, w = 1.0 + 2.0 * std::abs(t - 0.5);
        k.At(x0, y0) += w * (1 - fx) * (1 - fy);
        k.At(x0 + 1, y0) += w * fx * (1 - fy);
        k.At(x0, y0 + 1) += w * (1 - fx) * fy;
        k.At(x0 + 1, y0 + 1) += w * fx * fy;
    }
    const double sum = k.Sum();
    for (double& v : k.values) v /= sum;
    return k;
}

// A 192 x 192 grey crop of a bundled photograph blurred as a camera blurs it: the blur is
// taken over a larger part of the photograph, so the crop's edges hold what lay beyond them.
// Rounded to grey levels, with noise of the given standard deviation (grey levels) added.
std::vector<double> BlurredPhotographCrop(const CKernel& kernel, double noise) {
    DibHandle dib;
    CSize size;
    const std::string path =
        (std::filesystem::path(ZELVANTO_SAMPLES_DIR) / "astronaut_512x384.jpg").string();
    EXPECT_EQ(ReadPictureFile(path, dib, size), 1);
    CPlanes photo;
    EXPECT_EQ(PlanesFromPicture(dib, photo), 1);
    const int32_t side = 192, margin = 16, big = side + 2 * margin, left = 280, top = 20;
    CPlanes part;
    EXPECT_TRUE(part.Allocate(big, big));
    const std::vector<double> grey = GreyOfPlanes(photo);
    for (int32_t y = 0; y < big; ++y)
        for (int32_t x = 0; x < big; ++x)
            for (int32_t c = 0; c < 3; ++c)
                part.Plane(c)[y * big + x] = grey[(top + y) * photo.width + left + x];
    CPlanes blurred;
    EXPECT_TRUE(BlurPlanes(part, kernel, false, blurred));
    const std::vector<double> all = GreyOfPlanes(blurred);
    std::vector<double> crop(static_cast<size_t>(side) * side);
    uint32_t seed = 17;
    auto uniform = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return ((seed >> 8) + 0.5) / 16777216.0;
    };
    for (int32_t y = 0; y < side; ++y)
        for (int32_t x = 0; x < side; ++x) {
            // Box-Muller from two uniform draws.
            const double g =
                std::sqrt(-2.0 * std::log(uniform())) * std::cos(6.283185307 * uniform());
            crop[y * side + x] = std::clamp(
                std::floor(all[(y + margin) * big + x + margin] + noise * g + 0.5), 0.0, 255.0);
        }
    return crop;
}

std::vector<double> BlurredGrey(const CKernel& kernel, bool cyclic) {
    CPlanes blurred;
    EXPECT_TRUE(BlurPlanes(TexturedPlanes(96, 96, 11), kernel, cyclic, blurred));
    std::vector<double> grey = GreyOfPlanes(blurred);
    for (double& v : grey) v = std::floor(v + 0.5);
    return grey;
}

}  // namespace

TEST(FreeFormEstimate, KnownShakeIsFoundCentredNonNegativeAndNormalised) {
    CScriptedUi ui;
    CUiScope scope(ui);
    const CKernel truth = Shake9();
    for (const bool cyclic : {true, false}) {
        const std::vector<double> grey = BlurredGrey(truth, cyclic);
        CFreeFormSettings settings;
        settings.maxSize = 15;
        CKernel estimate;
        CFreeFormReport report;
        ASSERT_EQ(EstimateFreeFormKernel(grey.data(), 96, 96, settings, estimate, &report), 1);
        EXPECT_EQ(estimate.width, 15);
        EXPECT_EQ(estimate.height, 15);
        EXPECT_EQ(estimate.peakX, 7);
        EXPECT_EQ(estimate.peakY, 7);
        EXPECT_EQ(report.size, 15);
        EXPECT_GE(report.levels, 3);
        EXPECT_GE(KernelCorrelation(estimate, truth), 0.7) << (cyclic ? "cyclic" : "edges");
        double sum = 0.0, mx = 0.0, my = 0.0;
        for (int32_t y = 0; y < 15; ++y)
            for (int32_t x = 0; x < 15; ++x) {
                const double v = estimate.At(x, y);
                EXPECT_GE(v, 0.0);
                sum += v;
                mx += v * x;
                my += v * y;
            }
        EXPECT_NEAR(sum, 1.0, 1e-9);
        // Centred on its centre of mass within half a pixel.
        EXPECT_NEAR(mx, 7.0, 0.5);
        EXPECT_NEAR(my, 7.0, 0.5);
    }
    EXPECT_TRUE(ui.Messages().empty());
}

// A thin shake on a photograph, without and with 1 % noise, in the default window (much
// larger than the shake): the estimate finds the thin path (about 0.78 both ways), not a blob
// or a spot (a kernel too smooth or collapsed towards the identity meets it at 0.65 or less).
TEST(FreeFormEstimate, ThinShakeOnAPhotographIsFound) {
    CScriptedUi ui;
    CUiScope scope(ui);
    const CKernel truth = Hook13();
    for (const double noise : {0.0, 2.55}) {
        const std::vector<double> grey = BlurredPhotographCrop(truth, noise);
        CFreeFormSettings settings;
        CKernel estimate;
        ASSERT_EQ(EstimateFreeFormKernel(grey.data(), 192, 192, settings, estimate), 1);
        EXPECT_EQ(estimate.width, kFreeFormDefaultSize);
        EXPECT_GE(KernelCorrelation(estimate, truth), 0.72) << "noise " << noise;
    }
    EXPECT_TRUE(ui.Messages().empty());
}

// The kernel's orientation follows the picture's rows and columns: a shake and its mirror
// image are told apart, each estimate matching its own blur better than the other.
TEST(FreeFormEstimate, MirroredShakeGivesTheMirroredKernel) {
    CScriptedUi ui;
    CUiScope scope(ui);
    const CKernel truth = Shake9();
    CKernel mirror = truth;
    for (int32_t y = 0; y < 9; ++y)
        for (int32_t x = 0; x < 9; ++x) mirror.At(x, y) = truth.At(8 - x, y);
    CFreeFormSettings settings;
    settings.maxSize = 15;
    for (const CKernel* blur : {&truth, static_cast<const CKernel*>(&mirror)}) {
        const std::vector<double> grey = BlurredGrey(*blur, true);
        CKernel estimate;
        ASSERT_EQ(EstimateFreeFormKernel(grey.data(), 96, 96, settings, estimate), 1);
        const CKernel& other = blur == &truth ? mirror : truth;
        EXPECT_GT(KernelCorrelation(estimate, *blur), KernelCorrelation(estimate, other) + 0.1);
    }
}

// The work split over threads gives the same kernel as one thread; an even size is taken as
// the next odd one.
TEST(FreeFormEstimate, ThreadsDoNotChangeTheKernelAndEvenSizesAreMadeOdd) {
    CScriptedUi ui;
    CUiScope scope(ui);
    CPlanes blurred;
    ASSERT_TRUE(BlurPlanes(TexturedPlanes(160, 140, 3), Shake9(), false, blurred));
    const std::vector<double> grey = GreyOfPlanes(blurred);
    CFreeFormSettings settings;
    settings.maxSize = 14;
    settings.threads = 1;
    CKernel one, two;
    ASSERT_EQ(EstimateFreeFormKernel(grey.data(), 160, 140, settings, one), 1);
    settings.threads = 2;
    ASSERT_EQ(EstimateFreeFormKernel(grey.data(), 160, 140, settings, two), 1);
    ASSERT_EQ(one.width, 15);
    ASSERT_EQ(two.width, 15);
    for (size_t i = 0; i < one.values.size(); ++i)
        EXPECT_NEAR(one.values[i], two.values[i], 1e-9) << i;
    EXPECT_GE(KernelCorrelation(one, Shake9()), 0.7);
}

TEST(FreeFormEstimate, GrowingSizesSettleOnAWindowTheShakeFitsIn) {
    CScriptedUi ui;
    CUiScope scope(ui);
    const std::vector<double> grey = BlurredGrey(Shake9(), true);
    CFreeFormSettings settings;
    settings.maxSize = 0;
    CKernel estimate;
    CFreeFormReport report;
    ASSERT_EQ(EstimateFreeFormKernel(grey.data(), 96, 96, settings, estimate, &report), 1);
    ASSERT_FALSE(report.triedSizes.empty());
    EXPECT_EQ(report.triedSizes.front(), 15);
    EXPECT_EQ(report.size, report.triedSizes.back())
        << report.supportWidth << " x " << report.supportHeight;
    EXPECT_LE(std::max(report.supportWidth, report.supportHeight), report.size - 2);
    EXPECT_GE(KernelCorrelation(estimate, Shake9()), 0.7);
}

// A picture larger than the window is estimated on its most textured window: here a flat
// half beside a blurred textured half, so the central window would be half flat.
TEST(FreeFormEstimate, LargePictureIsEstimatedOnItsMostTexturedWindow) {
    CScriptedUi ui;
    CUiScope scope(ui);
    CPlanes blurred;
    ASSERT_TRUE(BlurPlanes(TexturedPlanes(120, 96, 5), Shake9(), true, blurred));
    const std::vector<double> half = GreyOfPlanes(blurred);
    const int32_t w = 240, h = 96;
    std::vector<double> grey(static_cast<size_t>(w) * h, 120.0);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < 120; ++x) grey[y * w + 120 + x] = half[y * 120 + x];
    CFreeFormSettings settings;
    settings.maxSize = 15;
    settings.window = 96;
    CKernel estimate;
    CFreeFormReport report;
    ASSERT_EQ(EstimateFreeFormKernel(grey.data(), w, h, settings, estimate, &report), 1);
    EXPECT_EQ(report.windowWidth, 96);
    EXPECT_EQ(report.windowHeight, 96);
    EXPECT_EQ(report.windowY, 0);
    EXPECT_GE(report.windowX, 120);
    EXPECT_LE(report.windowX, 144);
    EXPECT_GE(KernelCorrelation(estimate, Shake9()), 0.7);
    settings.centralWindow = true;
    ASSERT_EQ(EstimateFreeFormKernel(grey.data(), w, h, settings, estimate, &report), 1);
    EXPECT_EQ(report.windowX, 72);
    settings.window = 0;
    ASSERT_EQ(EstimateFreeFormKernel(grey.data(), w, h, settings, estimate, &report), 1);
    EXPECT_EQ(report.windowWidth, w);
}

TEST(FreeFormEstimate, HopelessInputIsRefusedWithAMessage) {
    CScriptedUi ui;
    CUiScope scope(ui);
    CFreeFormSettings settings;
    CKernel k;
    const std::vector<double> flat(128 * 128, 77.0);
    EXPECT_EQ(EstimateFreeFormKernel(flat.data(), 128, 128, settings, k), 0);
    std::vector<double> small = BlurredGrey(Shake9(), true);
    EXPECT_EQ(EstimateFreeFormKernel(small.data(), 96, 96, settings, k), 0);  // 31 needs 124
    settings.maxSize = 103;
    EXPECT_EQ(EstimateFreeFormKernel(small.data(), 96, 96, settings, k), 0);
    settings.maxSize = 15;
    small[500] = std::nan("");
    EXPECT_EQ(EstimateFreeFormKernel(small.data(), 96, 96, settings, k), 0);
    EXPECT_TRUE(k.IsEmpty());
    const std::vector<std::string> expected = {
        "The picture is flat: there are no edges to estimate a blur from.",
        "The picture (96 x 96) is too small to estimate a blur of 31 pixels: it must be at "
        "least four times the blur size on each side.",
        "The blur size must be 0 (try growing sizes) or from 3 to 101 pixels.",
        "The picture holds values that are not finite numbers."};
    EXPECT_EQ(ui.Messages(), expected);
}

TEST(FreeFormEstimate, ProgressRisesAndCancelStopsWithoutAMessage) {
    CScriptedUi ui;
    CUiScope scope(ui);
    const std::vector<double> grey = BlurredGrey(Shake9(), true);
    CFreeFormSettings settings;
    settings.maxSize = 15;
    std::vector<double> seen;
    CKernel k;
    ASSERT_EQ(EstimateFreeFormKernel(grey.data(), 96, 96, settings, k, nullptr,
                                     [&](double f) {
                                         seen.push_back(f);
                                         return true;
                                     }),
              1);
    ASSERT_GE(seen.size(), 3u);
    for (size_t i = 1; i < seen.size(); ++i) EXPECT_GE(seen[i], seen[i - 1]);
    EXPECT_GT(seen.front(), 0.0);
    EXPECT_DOUBLE_EQ(seen.back(), 1.0);
    int calls = 0;
    CKernel stopped;
    EXPECT_EQ(EstimateFreeFormKernel(grey.data(), 96, 96, settings, stopped, nullptr,
                                     [&](double) { return ++calls < 3; }),
              kRestoreCancelled);
    EXPECT_EQ(calls, 3);
    EXPECT_TRUE(stopped.IsEmpty());
    EXPECT_TRUE(ui.Messages().empty());
}

TEST(FreeFormEstimate, KernelCorrelationFindsTheBestShift) {
    const CKernel a = Shake9();
    CKernel shifted;
    shifted.width = 13;
    shifted.height = 11;
    shifted.values.assign(13 * 11, 0.0);
    for (int32_t y = 0; y < 9; ++y)
        for (int32_t x = 0; x < 9; ++x) shifted.At(x + 3, y + 1) = 2.0 * a.At(x, y);
    EXPECT_NEAR(KernelCorrelation(a, shifted), 1.0, 1e-12);
    EXPECT_NEAR(KernelCorrelation(shifted, a), 1.0, 1e-12);
    CKernel spot;
    spot.width = spot.height = 1;
    spot.values = {1.0};
    // The spot meets the heaviest value of the stroke at best.
    double peak = 0.0, norm = 0.0;
    for (double v : a.values) {
        peak = std::max(peak, v);
        norm += v * v;
    }
    EXPECT_NEAR(KernelCorrelation(a, spot), peak / std::sqrt(norm), 1e-12);
    EXPECT_EQ(KernelCorrelation(a, CKernel{}), 0.0);
}
