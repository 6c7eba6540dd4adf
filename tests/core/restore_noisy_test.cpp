// Restoration of noisy pictures whose blur did not wrap around their edges: the noise
// measured from the picture, the total variation method, the borders, Richardson-Lucy's stop.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "stamp/kernels.h"
#include "stamp/restore.h"
#include "support/scripted_ui.h"

namespace {

// Smooth shading and sharp-edged patches, as photographs have them.
double Scene(int32_t x, int32_t y, int32_t c) {
    return 110.0 + 50.0 * std::sin(0.11 * x + c) * std::cos(0.07 * y) +
           (((x / 17 + y / 13 + c) & 1) != 0 ? 45.0 : 0.0);
}

struct CCase {
    CPlanes sharp, blurred;
};

// A 64 x 48 picture blurred by the kernel as a camera sees it: the scene beyond the picture
// blurs into it (a larger scene blurred, its inner part kept), then Gaussian noise of the
// given deviation, rounded to grey levels. Cyclic: the picture's own blur wraps around.
CCase Blurred(const CKernel& k, double sigma, bool cyclic, uint32_t seed = 3) {
    const int32_t w = 64, h = 48, mx = cyclic ? 0 : k.width, my = cyclic ? 0 : k.height;
    CPlanes scene, blurredScene;
    EXPECT_TRUE(scene.Allocate(w + 2 * mx, h + 2 * my));
    for (int32_t c = 0; c < 3; ++c)
        for (int32_t y = 0; y < scene.height; ++y)
            for (int32_t x = 0; x < scene.width; ++x)
                scene.Plane(c)[static_cast<size_t>(y) * scene.width + x] = Scene(x, y, c);
    EXPECT_EQ(BlurPlanes(scene, k, true, blurredScene), 1);
    std::mt19937 random(seed);
    std::normal_distribution<double> noise(0.0, sigma);
    CCase out;
    EXPECT_TRUE(out.sharp.Allocate(w, h));
    EXPECT_TRUE(out.blurred.Allocate(w, h));
    for (int32_t c = 0; c < 3; ++c)
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x) {
                const size_t from = static_cast<size_t>(y + my) * scene.width + x + mx;
                const size_t to = static_cast<size_t>(y) * w + x;
                out.sharp.Plane(c)[to] = scene.Plane(c)[from];
                out.blurred.Plane(c)[to] = std::clamp(
                    std::floor(blurredScene.Plane(c)[from] + noise(random) + 0.5), 0.0, 255.0);
            }
    return out;
}

CKernel Defocus(double radius) {
    CKernel k;
    EXPECT_EQ(DefocusKernel(radius, k), 1);
    return k;
}

CKernel Shake() {
    CKernel k;
    EXPECT_EQ(BlurPathKernel(3, 10, 0.8, k), 1);  // a random path
    return k;
}

double Psnr(const CPlanes& restored, const CPlanes& sharp) {
    CPlanes r = restored;
    for (double& v : r.values) v = std::clamp(std::floor(v + 0.5), 0.0, 255.0);
    return PlanesPsnr(r, sharp);
}

TEST(RestoreNoise, MeasuredWithinAFifthOfTheTruthThroughBlurAndEdges) {
    CKernel k;
    ASSERT_EQ(GaussianKernel(1.0, k), 1);
    for (double sigma : {1.3, 2.55, 5.0}) {
        const CCase c = Blurred(k, sigma, false);
        for (double measured : EstimateNoise(c.blurred)) EXPECT_NEAR(measured, sigma, 0.2 * sigma);
    }
    // Without noise only the rounding is left, interpolated rather than a half level apart.
    const CCase clean = Blurred(k, 0.0, false);
    for (double measured : EstimateNoise(clean.blurred)) {
        EXPECT_GE(measured, std::sqrt(kRoundingNoiseVariance));
        EXPECT_LT(measured, 0.6);
    }
}

TEST(RestoreNoisy, EveryMethodBeatsTheNoisyBlurAndTotalVariationMost) {
    CScriptedUi ui;
    CUiScope scope(ui);
    for (const CKernel& k : {Shake(), Defocus(3.0)}) {
        const CCase c = Blurred(k, 2.55, false);
        const double before = PlanesPsnr(c.blurred, c.sharp);
        double psnr[3] = {};
        for (RestoreMethod method :
             {RestoreMethod::Wiener, RestoreMethod::Lucy, RestoreMethod::Tv}) {
            CRestoreSettings settings;
            settings.method = method;
            CPlanes restored;
            CRestoreReport report;
            ASSERT_EQ(RestorePlanes(c.blurred, k, settings, restored, {}, &report), 1);
            EXPECT_FALSE(report.cyclic);
            EXPECT_NEAR(report.noise, 2.55, 0.5);
            psnr[static_cast<int>(method)] = Psnr(restored, c.sharp);
            EXPECT_GT(psnr[static_cast<int>(method)], before + 1.0) << static_cast<int>(method);
        }
        EXPECT_GT(psnr[2], before + 3.0);
        EXPECT_GT(psnr[2], psnr[0]);
        EXPECT_GT(psnr[2], psnr[1]);
    }
    EXPECT_TRUE(ui.Messages().empty());
}

TEST(RestoreBorders, UnknownBeyondThePictureUnlessItsBlurWraps) {
    CScriptedUi ui;
    CUiScope scope(ui);
    const CKernel k = Defocus(4.0);
    CRestoreSettings borders, cyclic;
    cyclic.taper = false;
    for (RestoreMethod method : {RestoreMethod::Wiener, RestoreMethod::Tv}) {
        borders.method = cyclic.method = method;
        // A photograph's blur: the borders as they are win by far over wrapping around.
        const CCase real = Blurred(k, 1.0, false);
        CPlanes a, b;
        CRestoreReport report;
        ASSERT_EQ(RestorePlanes(real.blurred, k, borders, a, {}, &report), 1);
        EXPECT_FALSE(report.cyclic);
        EXPECT_GE(report.workWidth, 64 + k.width);
        ASSERT_EQ(RestorePlanes(real.blurred, k, cyclic, b), 1);
        EXPECT_GT(Psnr(a, real.sharp), Psnr(b, real.sharp) + 3.0) << static_cast<int>(method);
        // A blur that wrapped is told and restored as such.
        const CCase wrapped = Blurred(k, 1.0, true);
        ASSERT_EQ(RestorePlanes(wrapped.blurred, k, borders, a, {}, &report), 1);
        EXPECT_TRUE(report.cyclic);
        EXPECT_EQ(report.workWidth, 64);
        ASSERT_EQ(RestorePlanes(wrapped.blurred, k, cyclic, b), 1);
        EXPECT_EQ(a.values, b.values);
    }
    EXPECT_TRUE(ui.Messages().empty());
}

TEST(RestoreBorders, SmallBlursThatWrapAreToldFromTheirSoftenedSeams) {
    // A kernel of a few pixels softens the jump across a wrapped seam only a little, so the
    // seam's step stays larger than the steps beside it; the kernel's own share tells it.
    CScriptedUi ui;
    CUiScope scope(ui);
    CKernel gaussian, learnt;
    ASSERT_EQ(GaussianKernel(1.0, gaussian), 1);
    // A learnt kernel of a sideways blur: small values of either sign all over its support,
    // which must not make the rows' seam look blurred across.
    ASSERT_EQ(MotionKernel(5.0, 0.0, learnt), 1);
    CKernel wide{15, 15, 7, 7, std::vector<double>(15 * 15, 0.0)};
    std::mt19937 random(5);
    std::uniform_real_distribution<double> small(-0.002, 0.002);
    for (double& v : wide.values) v = small(random);
    for (int32_t y = 0; y < learnt.height; ++y)
        for (int32_t x = 0; x < learnt.width; ++x)
            wide.At(7 + x - learnt.peakX, 7 + y - learnt.peakY) += learnt.At(x, y);
    CRestoreSettings cyclic;
    cyclic.taper = false;
    const CKernel kernels[] = {gaussian, Defocus(2.0), wide};
    for (const CKernel& k : kernels) {
        const bool sideways = &k == &kernels[2];
        for (double sigma : {0.0, 2.55}) {
            CRestoreReport report;
            CPlanes restored, wrapped;
            ASSERT_EQ(RestorePlanes(Blurred(k, sigma, true).blurred, k, {}, restored, {}, &report),
                      1);
            EXPECT_TRUE(report.cyclic) << k.width << " " << sigma;
            // Where the blur did not wrap, the borders are taken as they are; a sideways blur
            // may take its weak seam as wrapped, but never to its loss.
            const CCase real = Blurred(k, sigma, false);
            ASSERT_EQ(RestorePlanes(real.blurred, k, {}, restored, {}, &report), 1);
            if (!sideways) {
                EXPECT_FALSE(report.cyclic) << k.width << " " << sigma;
            }
            ASSERT_EQ(RestorePlanes(real.blurred, k, cyclic, wrapped), 1);
            EXPECT_GE(Psnr(restored, real.sharp), Psnr(wrapped, real.sharp) - 0.1)
                << k.width << " " << sigma;
        }
    }
    EXPECT_TRUE(ui.Messages().empty());
}

TEST(RestoreLucy, StopsWhenThePictureIsExplainedLongBeforeItsCap) {
    CScriptedUi ui;
    CUiScope scope(ui);
    const CKernel k = Shake();
    CRestoreSettings settings;
    settings.method = RestoreMethod::Lucy;
    settings.iterations = 500;
    for (double sigma : {2.55, 0.0}) {
        const CCase c = Blurred(k, sigma, false);
        CPlanes restored;
        CRestoreReport report;
        ASSERT_EQ(RestorePlanes(c.blurred, k, settings, restored, {}, &report), 1);
        EXPECT_GE(report.iterations, 2) << sigma;
        EXPECT_LT(report.iterations, 250) << sigma;
        EXPECT_GT(Psnr(restored, c.sharp), PlanesPsnr(c.blurred, c.sharp) + 1.0) << sigma;
    }
    EXPECT_TRUE(ui.Messages().empty());
}

}  // namespace
