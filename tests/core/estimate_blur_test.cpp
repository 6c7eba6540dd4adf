// The blur estimated from the blurred picture alone: a crop of a bundled photograph blurred
// (without wrapping around its edges) by a straight motion, a defocus disc or a Gaussian
// gives the blur back; the sharp crop gives none; small, flat and broken pictures are
// refused and the work stops when asked.
#include "stamp/estimate_blur.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "image/dib.h"
#include "stamp/estimate_free.h"
#include "stamp/kernels.h"
#include "stamp/restore.h"
#include "stamp/restore_request.h"
#include "support/blurred_photo.h"
#include "support/scripted_ui.h"

namespace {

constexpr int32_t kSide = 192;

CPlanes Blurred(const CKernel& kernel) {
    return BlurredPhotoCrop(kernel, kSide);
}

double AngleError(double a, double b) {
    const double d = std::fmod(std::fabs(a - b), 180.0);
    return std::min(d, 180.0 - d);
}

CBlurEstimate Estimate(const CPlanes& planes, BlurModel model = BlurModel::Auto) {
    CEstimateRequest request;
    request.model = model;
    CBlurEstimate estimate;
    EXPECT_EQ(EstimateBlur(planes, request, estimate), 1);
    return estimate;
}

}  // namespace

TEST(BlurEstimate, ModelNamesGoBothWays) {
    for (BlurModel m : {BlurModel::Auto, BlurModel::Motion, BlurModel::Defocus, BlurModel::Gaussian,
                        BlurModel::Free, BlurModel::None}) {
        BlurModel back = BlurModel::Auto;
        ASSERT_TRUE(BlurModelFromName(BlurModelName(m), back));
        EXPECT_EQ(back, m);
    }
    BlurModel unchanged = BlurModel::Gaussian;
    EXPECT_FALSE(BlurModelFromName("Motion", unchanged));
    EXPECT_EQ(unchanged, BlurModel::Gaussian);
}

// Angles on both sides of 90 degrees: a y axis read upside down would give 180 - angle.
TEST(BlurEstimate, StraightMotionsLengthAndAngle) {
    CScriptedUi ui;
    CUiScope scope(ui);
    const double motions[][2] = {{15.0, 30.0}, {21.0, 124.0}, {11.0, 172.0}};
    for (const auto& m : motions) {
        CKernel truth;
        ASSERT_EQ(MotionKernel(m[0], m[1], truth), 1);
        const CBlurEstimate e = Estimate(Blurred(truth));
        ASSERT_EQ(e.model, BlurModel::Motion) << m[0] << " px at " << m[1] << ": " << e.description;
        EXPECT_NEAR(e.length, m[0], 1.0) << e.description;
        EXPECT_LE(AngleError(e.angle, m[1]), 3.0) << e.description;
        EXPECT_GE(e.angle, 0.0);
        EXPECT_LT(e.angle, 180.0);
        // The kernel is the motion found, and the spectrum's zero lines lie every 1 / length.
        CKernel expected;
        ASSERT_EQ(MotionKernel(e.length, e.angle, expected), 1);
        EXPECT_EQ(e.kernel.values, expected.values);
        ASSERT_TRUE(e.marks.hasLines);
        EXPECT_DOUBLE_EQ(e.marks.lineDirection, e.angle);
        ASSERT_GE(e.marks.lineOffsets.size(), 4u);
        for (double offset : e.marks.lineOffsets) {
            const double k = offset * e.length;
            EXPECT_NEAR(k, std::round(k), 1e-9);
            EXPECT_NE(std::round(k), 0.0);
        }
        EXPECT_GT(e.confidence, 0.5);
        EXPECT_EQ(e.description.rfind("motion ", 0), 0u) << e.description;
    }
}

TEST(BlurEstimate, DefocusAndGaussianAreToldApartAndMeasured) {
    CScriptedUi ui;
    CUiScope scope(ui);
    for (const double radius : {3.0, 6.0}) {
        CKernel truth;
        ASSERT_EQ(DefocusKernel(radius, truth), 1);
        const CBlurEstimate e = Estimate(Blurred(truth));
        ASSERT_EQ(e.model, BlurModel::Defocus) << radius << ": " << e.description;
        EXPECT_NEAR(e.radius, radius, 1.0) << e.description;
        EXPECT_FALSE(e.marks.hasLines);
        // The zero rings of the Airy pattern: j1,1 / (2 pi R), j1,2 / (2 pi R), ...
        ASSERT_GE(e.marks.ringRadii.size(), 2u);
        EXPECT_NEAR(e.marks.ringRadii[0], 3.8317 / (2.0 * std::acos(-1.0) * e.radius), 1e-4);
        EXPECT_NEAR(e.marks.ringRadii[1], 7.0156 / (2.0 * std::acos(-1.0) * e.radius), 1e-4);
    }
    for (const double sigma : {1.5, 3.0}) {
        CKernel truth;
        ASSERT_EQ(GaussianKernel(sigma, truth), 1);
        const CBlurEstimate e = Estimate(Blurred(truth));
        ASSERT_EQ(e.model, BlurModel::Gaussian) << sigma << ": " << e.description;
        EXPECT_NEAR(e.sigma, sigma, 0.15 * sigma) << e.description;
        // One ring where the response falls to 1/e: exp(-2 pi^2 sigma^2 f^2) = 1/e.
        ASSERT_EQ(e.marks.ringRadii.size(), 1u);
        const double f = e.marks.ringRadii[0];
        EXPECT_NEAR(2.0 * std::pow(std::acos(-1.0) * e.sigma * f, 2.0), 1.0, 1e-9);
    }
}

TEST(BlurEstimate, SharpCropShowsNoBlur) {
    CScriptedUi ui;
    CUiScope scope(ui);
    for (const char* photo : {"coffee_512x384.jpg", "rocket_512x384.jpg"}) {
        const CBlurEstimate e =
            Estimate(BlurredPhotoCrop(CKernel{1, 1, 0, 0, {1.0}}, kSide, 24, photo));
        EXPECT_EQ(e.model, BlurModel::None) << photo << ": " << e.description;
        EXPECT_EQ(e.description, "no straight motion or defocus found");
        EXPECT_TRUE(e.kernel.IsEmpty());
        EXPECT_FALSE(e.marks.hasLines);
        EXPECT_TRUE(e.marks.ringRadii.empty());
    }
    EXPECT_TRUE(ui.Messages().empty());
}

TEST(BlurEstimate, FreeModelRunsTheFreeFormEstimate) {
    CScriptedUi ui;
    CUiScope scope(ui);
    CKernel truth;
    ASSERT_EQ(MotionKernel(9.0, 45.0, truth), 1);
    CEstimateRequest request;
    request.model = BlurModel::Free;
    request.maxSize = 15;
    CBlurEstimate e;
    ASSERT_EQ(EstimateBlur(Blurred(truth), request, e), 1);
    EXPECT_EQ(e.model, BlurModel::Free);
    EXPECT_EQ(e.kernel.width, 15);
    EXPECT_EQ(e.description, "free kernel 15 x 15");
    EXPECT_GT(KernelCorrelation(e.kernel, truth), 0.7);

    // A sharp picture: the estimate settles on a spot, which is no blur, not a kernel to
    // restore by.
    const CKernel sharp{1, 1, 0, 0, {1.0}};
    ASSERT_EQ(EstimateBlur(Blurred(sharp), request, e), 1);
    EXPECT_EQ(e.model, BlurModel::None);
    EXPECT_TRUE(e.kernel.IsEmpty());
    EXPECT_EQ(e.description.rfind("no shake found: the free-form estimate settled on a spot", 0),
              0u)
        << e.description;
    EXPECT_TRUE(ui.Messages().empty());
}

TEST(BlurEstimate, SizeZeroLooksAsFarAsThePictureAllows) {
    CScriptedUi ui;
    CUiScope scope(ui);
    CKernel truth;
    ASSERT_EQ(MotionKernel(11.0, 60.0, truth), 1);
    const CPlanes small = BlurredPhotoCrop(truth, 120);  // too small for the default 31 px
    CEstimateRequest request;
    request.model = BlurModel::Motion;
    CBlurEstimate e;
    EXPECT_EQ(EstimateBlur(small, request, e), 0);
    ASSERT_EQ(ui.Messages().size(), 1u);
    request.maxSize = 0;
    ASSERT_EQ(EstimateBlur(small, request, e), 1);
    EXPECT_EQ(e.model, BlurModel::Motion) << e.description;
    EXPECT_NEAR(e.length, 11.0, 1.0);
    EXPECT_LT(AngleError(e.angle, 60.0), 3.0);
    // The free-form estimate tries growing sizes, from 15 px.
    request.model = BlurModel::Free;
    ASSERT_EQ(EstimateBlur(Blurred(truth), request, e), 1);
    EXPECT_EQ(e.model, BlurModel::Free) << e.description;
    EXPECT_GE(e.kernel.width, 15);
    EXPECT_GT(KernelCorrelation(e.kernel, truth), 0.6);
    EXPECT_EQ(ui.Messages().size(), 1u);
}

TEST(BlurEstimate, RefusesSmallFlatAndBrokenPictures) {
    CScriptedUi ui;
    CUiScope scope(ui);
    CEstimateRequest request;  // 31 px: the picture must be 124 px on each side
    CBlurEstimate e;
    CPlanes small;
    ASSERT_TRUE(small.Allocate(200, 120));
    for (size_t i = 0; i < small.values.size(); ++i) small.values[i] = static_cast<double>(i % 97);
    EXPECT_EQ(EstimateBlur(small, request, e), 0);
    ASSERT_EQ(ui.Messages().size(), 1u);
    EXPECT_NE(ui.Messages().back().find("too small"), std::string::npos) << ui.Messages().back();

    CPlanes flat;
    ASSERT_TRUE(flat.Allocate(160, 160));
    for (double& v : flat.values) v = 77.0;
    EXPECT_EQ(EstimateBlur(flat, request, e), 0);
    ASSERT_EQ(ui.Messages().size(), 2u);
    EXPECT_NE(ui.Messages().back().find("flat"), std::string::npos) << ui.Messages().back();

    CPlanes broken = Blurred(CKernel{1, 1, 0, 0, {1.0}});
    broken.Plane(1)[500] = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(EstimateBlur(broken, request, e), 0);
    ASSERT_EQ(ui.Messages().size(), 3u);
    EXPECT_NE(ui.Messages().back().find("not finite"), std::string::npos) << ui.Messages().back();

    request.maxSize = 2;
    EXPECT_EQ(EstimateBlur(Blurred(CKernel{1, 1, 0, 0, {1.0}}), request, e), 0);
    EXPECT_EQ(ui.Messages().size(), 4u);
}

TEST(BlurEstimate, ProgressRisesAndStopsTheWork) {
    CScriptedUi ui;
    CUiScope scope(ui);
    CKernel truth;
    ASSERT_EQ(MotionKernel(13.0, 60.0, truth), 1);
    const CPlanes planes = Blurred(truth);
    CEstimateRequest request;
    CBlurEstimate e;
    std::vector<double> seen;
    ASSERT_EQ(EstimateBlur(planes, request, e,
                           [&seen](double f) {
                               seen.push_back(f);
                               return true;
                           }),
              1);
    ASSERT_GE(seen.size(), 3u);
    for (size_t i = 1; i < seen.size(); ++i) EXPECT_GE(seen[i], seen[i - 1]);
    EXPECT_DOUBLE_EQ(seen.back(), 1.0);
    int calls = 0;
    EXPECT_EQ(EstimateBlur(planes, request, e, [&calls](double) { return ++calls < 2; }),
              kRestoreCancelled);
    EXPECT_TRUE(ui.Messages().empty());
}

// The kernel source of the Restore dialog and of restore --estimate: the picture the request
// points to, estimated; a picture without a blur found gives no kernel and says so.
TEST(BlurEstimate, KernelSourceEstimatesTheRequestsPicture) {
    CScriptedUi ui;
    CUiScope scope(ui);
    CKernelRequest request;
    request.source = KernelSource::Estimate;
    CKernel kernel;
    EXPECT_EQ(MakeKernel(request, kernel), 0);
    ASSERT_EQ(ui.Messages().size(), 1u);

    CKernel truth;
    ASSERT_EQ(MotionKernel(19.0, 100.0, truth), 1);
    const CPlanes moved = Blurred(truth);
    DibHandle picture;
    ASSERT_EQ(NewGreyPicture(kSide, kSide, picture), 1);
    ASSERT_EQ(PlanesToPicture(moved, picture), 1);
    CBlurEstimate estimate;
    request.picture = &picture;
    request.estimated = &estimate;
    ASSERT_EQ(MakeKernel(request, kernel), 1);
    EXPECT_EQ(estimate.model, BlurModel::Motion);
    EXPECT_EQ(kernel.values, estimate.kernel.values);
    EXPECT_GT(KernelCorrelation(kernel, truth), 0.8);

    ASSERT_EQ(PlanesToPicture(Blurred(CKernel{1, 1, 0, 0, {1.0}}), picture), 1);
    EXPECT_EQ(MakeKernel(request, kernel), 0);
    EXPECT_EQ(estimate.model, BlurModel::None);
    ASSERT_EQ(ui.Messages().size(), 2u);
    EXPECT_EQ(ui.Messages().back().rfind("No blur found", 0), 0u) << ui.Messages().back();

    // A kernel the dialog has estimated already goes with the request: the restoration takes
    // it instead of estimating again (here it would find no blur).
    CRestoreRequest restore;
    restore.kernel.source = KernelSource::Estimate;
    restore.learnt = truth;
    CRestoreOutcome outcome;
    ASSERT_EQ(RestoreByRequest(restore, picture, {}, outcome), 1);
    EXPECT_EQ(outcome.kernel.values, truth.values);
    EXPECT_EQ(outcome.estimate.model, BlurModel::None);
    EXPECT_EQ(ui.Messages().size(), 2u);
}
