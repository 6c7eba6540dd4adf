// Kernel learning, Wiener and Richardson-Lucy restoration, the border taper, the known
// kernels and the kernel files, on small synthetic pictures and the small sample photograph.
#include "stamp/restore.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "image/dib.h"
#include "platform/memory_block.h"
#include "stamp/kernels.h"
#include "stamp/restore_files.h"
#include "stamp/rubber_stamp.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"

namespace {

// Random whole grey levels, the same for every run.
CPlanes RandomPlanes(int32_t w, int32_t h, uint32_t seed) {
    CPlanes p;
    EXPECT_TRUE(p.Allocate(w, h));
    for (double& v : p.values)
        v = static_cast<double>((seed = seed * 1664525u + 1013904223u) >> 24);
    return p;
}

// A picture of smooth shading and sharp-edged patches, as photographs have them, without
// noise.
CPlanes ScenePlanes(int32_t w, int32_t h, uint32_t seed) {
    CPlanes p;
    EXPECT_TRUE(p.Allocate(w, h));
    const double phase = static_cast<double>(seed % 17);
    for (int32_t c = 0; c < 3; ++c)
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x)
                p.Plane(c)[static_cast<size_t>(y) * w + x] =
                    110.0 + 50.0 * std::sin(0.11 * x + phase + c) * std::cos(0.07 * y) +
                    (((x / 9 + y / 7 + c) & 1) != 0 ? 45.0 : 0.0);
    return p;
}

CPlanes Rounded(const CPlanes& p) {
    CPlanes r = p;
    for (double& v : r.values) v = std::floor(v + 0.5);
    return r;
}

double MaxDifference(const CPlanes& a, const CPlanes& b) {
    double m = 0.0;
    for (size_t i = 0; i < a.values.size(); ++i)
        m = std::max(m, std::fabs(a.values[i] - b.values[i]));
    return m;
}

// A small asymmetric kernel with a negative value, off-centre peak.
CKernel SmallKernel() {
    CKernel k;
    k.width = 3;
    k.height = 2;
    k.peakX = 1;
    k.peakY = 0;
    k.values = {0.1, 0.55, 0.2, -0.05, 0.15, 0.05};
    return k;
}

// The program's blur rule done directly: sample p of pixel (x, y) is (x + dx, y + dy), weight
// attenuation^p, wrapping at the edges.
CPlanes DirectPathBlur(const CPlanes& in, int32_t kind, int32_t steps, double attenuation) {
    std::vector<int32_t> dx, dy;
    BlurPathOffsets(kind, steps, dx, dy);
    CPlanes out;
    EXPECT_TRUE(out.Allocate(in.width, in.height));
    const int32_t w = in.width, h = in.height;
    for (int32_t c = 0; c < 3; ++c)
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x) {
                double sum = 0, weight = 0;
                for (int32_t p = steps - 1; p >= 0; --p) {
                    const int32_t sx = ((x + dx[p]) % w + w) % w, sy = ((y + dy[p]) % h + h) % h;
                    sum = attenuation * sum + in.Plane(c)[sy * w + sx];
                    weight = attenuation * weight + 1;
                }
                out.Plane(c)[y * w + x] = sum / weight;
            }
    return out;
}

// The direction in degrees (-90 to 90, counter-clockwise from rightwards as seen on screen)
// of the line along which the light of the green plane lies: the axis of its second moments.
// Rows are in the packed order, so the row index grows upwards on screen.
double LineDirection(const CPlanes& p) {
    const double* g = p.Plane(1);
    double total = 0, mx = 0, my = 0;
    for (int32_t y = 0; y < p.height; ++y)
        for (int32_t x = 0; x < p.width; ++x) {
            const double v =
                g[static_cast<size_t>(y) * static_cast<size_t>(p.width) + static_cast<size_t>(x)];
            total += v;
            mx += v * x;
            my += v * y;
        }
    mx /= total;
    my /= total;
    double xx = 0, yy = 0, xy = 0;
    for (int32_t y = 0; y < p.height; ++y)
        for (int32_t x = 0; x < p.width; ++x) {
            const double v =
                g[static_cast<size_t>(y) * static_cast<size_t>(p.width) + static_cast<size_t>(x)];
            xx += v * (x - mx) * (x - mx);
            yy += v * (y - my) * (y - my);
            xy += v * (x - mx) * (y - my);
        }
    return 0.5 * std::atan2(2 * xy, xx - yy) * 180.0 / std::acos(-1.0);
}

// How far apart two line directions are, in degrees (0 to 90).
double LineAngleBetween(double a, double b) {
    const double d = std::fmod(std::fabs(a - b), 180.0);
    return std::min(d, 180.0 - d);
}

TEST(KernelLearning, CyclicBlurBySmallKernelIsLearntBack) {
    CScriptedUi ui;
    CUiScope scope(ui);
    const CPlanes good = RandomPlanes(64, 48, 7);
    CPlanes blurred;
    ASSERT_TRUE(BlurPlanes(good, SmallKernel(), true, blurred));
    blurred = Rounded(blurred);  // as a picture file would hold it
    CKernel learnt;
    ASSERT_EQ(LearnKernel(good, blurred, 15, learnt), 1);
    ASSERT_EQ(learnt.width, 15);
    ASSERT_EQ(learnt.height, 15);
    EXPECT_EQ(learnt.peakX, 7);
    EXPECT_EQ(learnt.peakY, 7);
    const CKernel truth = SmallKernel();
    for (int32_t y = 0; y < 15; ++y)
        for (int32_t x = 0; x < 15; ++x) {
            const int32_t tx = x - 7 + truth.peakX, ty = y - 7 + truth.peakY;
            const bool inside = tx >= 0 && tx < truth.width && ty >= 0 && ty < truth.height;
            const double expected = inside ? truth.At(tx, ty) : 0.0;
            EXPECT_NEAR(learnt.At(x, y), expected, 1e-3) << x << ", " << y;
        }
    EXPECT_TRUE(ui.Messages().empty());
}

TEST(KernelLearning, RefusesBadPairs) {
    CScriptedUi ui;
    CUiScope scope(ui);
    CKernel k;
    const CPlanes a = RandomPlanes(32, 24, 1), b = RandomPlanes(32, 26, 2);
    EXPECT_EQ(LearnKernel(a, b, 9, k), 0);
    EXPECT_EQ(LearnKernel(a, a, 25, k), 0);  // taller than the picture
    EXPECT_EQ(LearnKernel(a, a, 0, k), 0);
    CPlanes flat;
    ASSERT_TRUE(flat.Allocate(32, 24));  // all black: nothing to learn from
    EXPECT_EQ(LearnKernel(flat, flat, 5, k), 0);
    CPlanes bad = a;
    bad.values[5] = std::nan("");
    EXPECT_EQ(LearnKernel(bad, a, 5, k), 0);
    const std::vector<std::string> expected = {
        "The Good and the Blurred picture differ in size: 32 x 24 and 32 x 26.",
        "The kernel (25 x 25) is larger than the picture (32 x 24).",
        "The kernel size must be 1 to 63, not 0.",
        "The Good picture has too little detail to learn a kernel from it.",
        "The example pictures hold values that are not finite numbers."};
    EXPECT_EQ(ui.Messages(), expected);
    EXPECT_TRUE(k.IsEmpty());
}

TEST(KernelLearning, CancelledLearningLeavesTheKernel) {
    CScriptedUi ui;
    CUiScope scope(ui);
    const CPlanes good = RandomPlanes(32, 24, 3);
    CKernel k = SmallKernel();
    EXPECT_EQ(LearnKernel(good, good, 5, k, [](double) { return false; }), kRestoreCancelled);
    EXPECT_EQ(k.width, 3);
    EXPECT_TRUE(ui.Messages().empty());
}

TEST(Kernels, BlurPathKernelIsTheProgramsBlur) {
    CScriptedUi ui;
    CUiScope scope(ui);
    CKernel k;
    ASSERT_EQ(BlurPathKernel(0, 10, 0.6, k), 1);
    EXPECT_EQ(k.width, 10);
    EXPECT_EQ(k.height, 1);
    EXPECT_EQ(k.peakX, 9);
    const double total = (1 - std::pow(0.6, 10)) / 0.4;
    for (int32_t p = 0; p < 10; ++p) EXPECT_NEAR(k.At(9 - p, 0), std::pow(0.6, p) / total, 1e-15);
    // Every kind, blurred through the kernel, equals the blur rule applied directly.
    const CPlanes picture = RandomPlanes(48, 40, 11);
    for (int32_t kind = 0; kind <= 4; ++kind) {
        ASSERT_EQ(BlurPathKernel(kind, 7, 0.7, k), 1);
        CPlanes viaKernel;
        ASSERT_TRUE(BlurPlanes(picture, k, true, viaKernel));
        EXPECT_LT(MaxDifference(viaKernel, DirectPathBlur(picture, kind, 7, 0.7)), 1e-9) << kind;
    }
    ASSERT_EQ(BlurPathKernel(3, 50, 0.6, k), 1);
    EXPECT_EQ(ui.Messages(), std::vector<std::string>{"Blur modifier reduced"});
    ui.Clear();
    EXPECT_EQ(BlurPathKernel(0, 2, -1.0, k), 0);  // weights 1 and -1
    EXPECT_EQ(BlurPathKernel(5, 10, 0.6, k), 0);
    EXPECT_EQ(BlurPathKernel(0, 0, 0.6, k), 0);
    EXPECT_EQ(BlurPathKernel(0, 10, std::nan(""), k), 0);
    EXPECT_EQ(ui.Messages().size(), 4u);
}

TEST(Kernels, KnownBlursAreNormalisedAndOriented) {
    CScriptedUi ui;
    CUiScope scope(ui);
    CKernel k;
    // A vertical motion: every value on the peak's column.
    ASSERT_EQ(MotionKernel(9, 90, k), 1);
    EXPECT_NEAR(k.Sum(), 1.0, 1e-12);
    double offColumn = 0;
    for (int32_t y = 0; y < k.height; ++y)
        for (int32_t x = 0; x < k.width; ++x)
            if (x != k.peakX) offColumn += std::fabs(k.At(x, y));
    EXPECT_LT(offColumn, 1e-12);
    EXPECT_GE(k.height, 9);
    // A diagonal motion at 45 degrees runs up and right: up is the next stored row.
    ASSERT_EQ(MotionKernel(6, 45, k), 1);
    EXPECT_GT(k.At(k.peakX + 2, k.peakY + 2), 0.05);
    EXPECT_NEAR(k.At(k.peakX + 2, k.peakY - 2), 0.0, 1e-12);
    ASSERT_EQ(DefocusKernel(3.5, k), 1);
    EXPECT_NEAR(k.Sum(), 1.0, 1e-12);
    EXPECT_EQ(k.width, 9);
    EXPECT_NEAR(k.At(4, 4), k.At(5, 4), 1e-15);
    EXPECT_NEAR(k.At(0, 0), 0.0, 1e-15);
    ASSERT_EQ(GaussianKernel(1.5, k), 1);
    EXPECT_NEAR(k.Sum(), 1.0, 1e-12);
    EXPECT_NEAR(k.At(k.peakX + 1, k.peakY) / k.At(k.peakX, k.peakY), std::exp(-1 / 4.5), 1e-12);
    ui.Clear();
    EXPECT_EQ(MotionKernel(std::nan(""), 0, k), 0);
    EXPECT_EQ(MotionKernel(5, INFINITY, k), 0);
    EXPECT_EQ(DefocusKernel(0, k), 0);
    EXPECT_EQ(GaussianKernel(-INFINITY, k), 0);
    EXPECT_EQ(ui.Messages().size(), 4u);
}

// ImageMagick's motion blur turns its angle clockwise as seen on screen (its rows run
// downwards) and blurs to one side only; the program's motion is a centred line turned
// counter-clockwise. So ImageMagick's -motion-blur 0x4+A draws the line of the program's
// motion at -A: the same line, whatever the centring (tests/data/motion/make_motion_data.sh).
TEST(Kernels, MotionAngleTurnsCounterClockwiseOnScreenAgainstImageMagick) {
    CScriptedUi ui;
    CUiScope scope(ui);
    for (const double angle : {30.0, 110.0}) {
        CPlanes magick;
        ASSERT_EQ(ReadPlanesFile(std::string(ZELVANTO_TEST_DATA_DIR) + "/motion/im_motion_" +
                                     std::to_string(static_cast<int>(angle)) + ".png",
                                 magick),
                  1);
        CPlanes dot;
        ASSERT_TRUE(dot.Allocate(48, 48));
        for (int32_t c = 0; c < 3; ++c) dot.Plane(c)[23 * 48 + 24] = 255.0;
        CKernel k;
        ASSERT_EQ(MotionKernel(15, -angle, k), 1);
        CPlanes ours;
        ASSERT_TRUE(BlurPlanes(dot, k, true, ours));
        const double theirs = LineDirection(magick);
        EXPECT_LT(LineAngleBetween(LineDirection(ours), theirs), 3.0) << angle;
        EXPECT_LT(LineAngleBetween(theirs, -angle), 3.0) << angle;
        // The same angle without the turn of sign is another line.
        ASSERT_EQ(MotionKernel(15, angle, k), 1);
        ASSERT_TRUE(BlurPlanes(dot, k, true, ours));
        EXPECT_GT(LineAngleBetween(LineDirection(ours), theirs), 30.0) << angle;
    }
}

TEST(Wiener, TrueKernelRestoresAnUnroundedBlurWithinOneGreyLevelRms) {
    CScriptedUi ui;
    CUiScope scope(ui);
    const CPlanes sharp = ScenePlanes(64, 48, 5);
    CRestoreSettings settings;
    settings.method = RestoreMethod::Wiener;
    settings.taper = false;
    for (int32_t kind : {0, 2}) {
        CKernel k;
        ASSERT_EQ(BlurPathKernel(kind, 10, 0.6, k), 1);
        CPlanes blurred, restored;
        ASSERT_TRUE(BlurPlanes(sharp, k, true, blurred));
        CRestoreReport report;
        ASSERT_EQ(RestorePlanes(blurred, k, settings, restored, {}, &report), 1);
        // Root mean square error at most one grey level: PSNR 48.13 dB.
        EXPECT_GT(PlanesPsnr(restored, sharp), 48.13) << kind;
        EXPECT_LE(MaxDifference(restored, sharp), 4.0) << kind;
        EXPECT_EQ(report.workWidth, 64);
        EXPECT_GT(report.medianStrength, 0.0);
    }
    EXPECT_TRUE(ui.Messages().empty());
}

TEST(Wiener, HandSetStrengthSmoothsMoreAsItGrows) {
    CScriptedUi ui;
    CUiScope scope(ui);
    const CPlanes sharp = RandomPlanes(64, 48, 9);
    CKernel k;
    ASSERT_EQ(GaussianKernel(1.0, k), 1);
    CPlanes blurred, weak, strong;
    ASSERT_TRUE(BlurPlanes(sharp, k, true, blurred));
    blurred = Rounded(blurred);
    CRestoreSettings settings;
    settings.method = RestoreMethod::Wiener;
    settings.taper = false;
    settings.autoStrength = false;
    settings.strength = 1e-3;
    ASSERT_EQ(RestorePlanes(blurred, k, settings, weak), 1);
    settings.strength = 1.0;
    ASSERT_EQ(RestorePlanes(blurred, k, settings, strong), 1);
    // A strong regularisation stays near the blurred picture; a weak one moves towards sharp.
    EXPECT_LT(MaxDifference(strong, blurred), MaxDifference(weak, blurred));
    EXPECT_GT(PlanesPsnr(weak, sharp), PlanesPsnr(blurred, sharp) + 3.0);
}

TEST(Wiener, NoStrengthOverSpectralZerosStaysFinite) {
    CScriptedUi ui;
    CUiScope scope(ui);
    // Two equal weights: the kernel's spectrum is 0 at the highest horizontal frequency.
    CKernel k;
    k.width = 2;
    k.height = 1;
    k.values = {0.5, 0.5};
    const CPlanes sharp = RandomPlanes(32, 24, 4);
    CPlanes blurred, restored;
    ASSERT_TRUE(BlurPlanes(sharp, k, true, blurred));
    CRestoreSettings settings;
    settings.method = RestoreMethod::Wiener;
    settings.autoStrength = false;
    settings.strength = 0.0;
    for (bool taper : {false, true}) {
        settings.taper = taper;
        ASSERT_EQ(RestorePlanes(blurred, k, settings, restored), 1);
        for (double v : restored.values) ASSERT_TRUE(std::isfinite(v));
    }
    settings.method = RestoreMethod::Lucy;
    settings.iterations = 5;
    ASSERT_EQ(RestorePlanes(blurred, k, settings, restored), 1);
    for (double v : restored.values) ASSERT_TRUE(std::isfinite(v));
    EXPECT_TRUE(ui.Messages().empty());
}

TEST(Restore, BadInputIsRefusedAndThePictureKept) {
    CScriptedUi ui;
    CUiScope scope(ui);
    DibHandle dib;
    ASSERT_EQ(NewGreyPicture(16, 12, dib), 1);
    const std::vector<uint8_t> before(dib.Data(), dib.Data() + dib.Size());
    CRestoreSettings settings;
    CKernel big;
    ASSERT_EQ(GaussianKernel(3.0, big), 1);  // 25 x 25
    EXPECT_EQ(RestorePicture(dib, big, settings), 0);
    CKernel zero;
    zero.width = 2;
    zero.height = 1;
    zero.values = {1.0, -1.0};
    EXPECT_EQ(RestorePicture(dib, zero, settings), 0);
    EXPECT_EQ(RestorePicture(dib, CKernel(), settings), 0);
    CKernel nan = SmallKernel();
    nan.values[2] = std::nan("");
    EXPECT_EQ(RestorePicture(dib, nan, settings), 0);
    CKernel outside = SmallKernel();
    outside.peakY = 2;
    EXPECT_EQ(RestorePicture(dib, outside, settings), 0);
    settings.autoStrength = false;
    settings.strength = INFINITY;
    EXPECT_EQ(RestorePicture(dib, SmallKernel(), settings), 0);
    settings.autoStrength = true;
    settings.method = RestoreMethod::Lucy;
    settings.iterations = -1;
    EXPECT_EQ(RestorePicture(dib, SmallKernel(), settings), 0);
    const std::vector<std::string> expected = {
        "The kernel (25 x 25) is larger than the picture (16 x 12).",
        "The kernel sums to 0: a picture blurred by it cannot be restored.",
        "The kernel is empty.",
        "The kernel holds values that are not finite numbers.",
        "The kernel's peak (1, 2) lies outside its 3 x 2 values.",
        "The strength must be a finite number of at least 0, or automatic.",
        "The number of iterations must be 0 (automatic) to 10000."};
    EXPECT_EQ(ui.Messages(), expected);
    EXPECT_EQ(std::vector<uint8_t>(dib.Data(), dib.Data() + dib.Size()), before);
    // A cancelled restoration leaves the picture too, without a message.
    ui.Clear();
    settings.method = RestoreMethod::Wiener;
    EXPECT_EQ(RestorePicture(dib, SmallKernel(), settings, [](double) { return false; }),
              kRestoreCancelled);
    EXPECT_EQ(std::vector<uint8_t>(dib.Data(), dib.Data() + dib.Size()), before);
    EXPECT_TRUE(ui.Messages().empty());
}

TEST(KernelFiles, RoundTripAndDamagedFiles) {
    CScriptedUi ui;
    CUiScope scope(ui);
    const auto dir = TestTempDir("kernel_files");
    const std::string path = (dir / "k.stp").string();
    ASSERT_EQ(WriteKernelFile(path, SmallKernel()), 1);
    EXPECT_EQ(std::filesystem::file_size(path), 16u + 8u * 6u);
    CKernel back;
    ASSERT_EQ(ReadKernelFile(path, back), 1);
    EXPECT_EQ(back.width, 3);
    EXPECT_EQ(back.height, 2);
    EXPECT_EQ(back.peakX, 1);
    EXPECT_EQ(back.peakY, 0);
    EXPECT_EQ(back.values, SmallKernel().values);
    // Cut short, a header of 0 x 0, a peak outside: all refused.
    std::filesystem::resize_file(path, 16 + 8 * 5);
    EXPECT_EQ(ReadKernelFile(path, back), 0);
    {
        std::ofstream out(dir / "empty.stp", std::ios::binary);
        const char zeros[16] = {};
        out.write(zeros, sizeof zeros);
    }
    EXPECT_EQ(ReadKernelFile((dir / "empty.stp").string(), back), 0);
    CKernel outside = SmallKernel();
    outside.peakX = 3;
    ASSERT_EQ(WriteKernelFile(path, outside), 1);
    EXPECT_EQ(ReadKernelFile(path, back), 0);
    EXPECT_EQ(ReadKernelFile((dir / "missing.stp").string(), back), 0);
    const auto messages = ui.Messages();
    ASSERT_EQ(messages.size(), 4u);
    EXPECT_EQ(messages[0], path + ": the kernel file holds fewer values than its header declares.");
    EXPECT_EQ(messages[3], (dir / "missing.stp").string() +
                               " Read Stamp File error aa: No such file or directory");
    EXPECT_EQ(back.values, SmallKernel().values);  // failures leave the kernel as it was
}

// Kernel files and stamps are one file kind with one reader and one writer: a value that is
// not a number is refused as the file is read, and a failed write says why.
TEST(KernelFiles, ReadAndWrittenAsStamps) {
    CScriptedUi ui;
    CUiScope scope(ui);
    const auto dir = TestTempDir("kernel_stamps");
    const std::string path = (dir / "nan.stp").string();
    CKernel nan = SmallKernel();
    nan.values[4] = std::nan("");
    ASSERT_EQ(WriteRubberStamp(path, nan.values.data(), 3, 2, 1, 0), 1);
    CKernel back = SmallKernel();
    back.values[0] = 7.0;
    EXPECT_EQ(ReadKernelFile(path, back), 0);
    EXPECT_EQ(back.values[0], 7.0);
    const std::string folderless = (dir / "none" / "k.stp").string();
    EXPECT_EQ(WriteKernelFile(folderless, SmallKernel()), 0);
    EXPECT_EQ(ui.Messages(),
              (std::vector<std::string>{
                  "The kernel holds values that are not finite numbers.",
                  folderless + " Write Stamp File error: No such file or directory"}));
}

// The quality test in small: a 160 x 120 photograph blurred by the program's horizontal blur
// and rounded, the kernel learnt from another picture blurred the same way.
TEST(RestoreQuality, LearntKernelOnASmallPhotograph) {
    CScriptedUi ui;
    CUiScope scope(ui);
    CPlanes photo;
    ASSERT_EQ(ReadPlanesFile(std::string(ZELVANTO_SAMPLES_DIR) + "/coffee_160x120.bmp", photo), 1);
    // The example pair: a synthetic texture of smooth patches with sharp edges.
    CPlanes example;
    ASSERT_TRUE(example.Allocate(160, 120));
    uint32_t seed = 99;
    for (int32_t c = 0; c < 3; ++c)
        for (int32_t y = 0; y < 120; ++y)
            for (int32_t x = 0; x < 160; ++x) {
                seed = seed * 1664525u + 1013904223u;
                example.Plane(c)[y * 160 + x] =
                    std::floor(128 + 60 * std::sin(0.3 * x + c) * std::cos(0.23 * y) +
                               20.0 * static_cast<double>(seed >> 24) / 256.0);
            }
    CKernel truth;
    ASSERT_EQ(BlurPathKernel(0, 10, 0.6, truth), 1);
    CPlanes blurred, exampleBlurred, restored, viaTruth;
    ASSERT_TRUE(BlurPlanes(photo, truth, true, blurred));
    ASSERT_TRUE(BlurPlanes(example, truth, true, exampleBlurred));
    blurred = Rounded(blurred);
    exampleBlurred = Rounded(exampleBlurred);
    CKernel learnt;
    ASSERT_EQ(LearnKernel(example, exampleBlurred, kDefaultKernelSize, learnt), 1);
    CRestoreSettings settings;
    settings.taper = false;
    ASSERT_EQ(RestorePlanes(blurred, learnt, settings, restored), 1);
    ASSERT_EQ(RestorePlanes(blurred, truth, settings, viaTruth), 1);
    const double blurredPsnr = PlanesPsnr(blurred, photo);
    const double learntPsnr = PlanesPsnr(Rounded(restored), photo);
    const double truthPsnr = PlanesPsnr(Rounded(viaTruth), photo);
    CPlanes ratio;
    ASSERT_EQ(RatioRestorePlanes(blurred, example, exampleBlurred, ratio), 1);
    const double ratioPsnr = PlanesPsnr(Rounded(ratio), photo);
    EXPECT_GT(learntPsnr, 44.0);
    EXPECT_GT(learntPsnr, truthPsnr - 3.0);
    EXPECT_GT(learntPsnr, ratioPsnr + 3.0);
    EXPECT_GT(learntPsnr, blurredPsnr + 10.0);
    // Blurred with the edge pixels repeated, the taper wins over restoring as if it wrapped.
    CPlanes edged, withTaper, withoutTaper;
    ASSERT_TRUE(BlurPlanes(photo, truth, false, edged));
    edged = Rounded(edged);
    settings.taper = true;
    ASSERT_EQ(RestorePlanes(edged, truth, settings, withTaper), 1);
    settings.taper = false;
    ASSERT_EQ(RestorePlanes(edged, truth, settings, withoutTaper), 1);
    EXPECT_GT(PlanesPsnr(Rounded(withTaper), photo),
              PlanesPsnr(Rounded(withoutTaper), photo) + 3.0);
    // Richardson-Lucy with the true kernel sharpens too.
    settings.method = RestoreMethod::Lucy;
    settings.taper = false;
    ASSERT_EQ(RestorePlanes(blurred, truth, settings, restored), 1);
    EXPECT_GT(PlanesPsnr(Rounded(restored), photo), blurredPsnr + 3.0);
    std::printf("blurred %.2f dB, ratio %.2f, learnt %.2f, true %.2f\n", blurredPsnr, ratioPsnr,
                learntPsnr, truthPsnr);
    EXPECT_TRUE(ui.Messages().empty());
}

}  // namespace

TEST(Restore, ARestoreBeyondTheMachinesMemoryIsRefusedBeforeItStarts) {
    CScriptedUi ui;
    CUiScope scope(ui);
    const uint64_t old = SetMemoryLimitBytes(uint64_t{1} << 20);
    DibHandle dib;
    ASSERT_EQ(NewGreyPicture(320, 240, dib), 1);
    const std::vector<uint8_t> before(dib.Data(), dib.Data() + dib.Size());
    const int result = RestorePicture(dib, SmallKernel(), CRestoreSettings());
    SetMemoryLimitBytes(old);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(ui.Messages(), std::vector<std::string>{"Restoring a 320 x 240 picture is refused: "
                                                      "about 10 MiB are needed; this machine has "
                                                      "1 MiB."});
    EXPECT_EQ(std::vector<uint8_t>(dib.Data(), dib.Data() + dib.Size()), before);
}
