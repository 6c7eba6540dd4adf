// zelvanto-cli estimate-blur, driven as a user would: what it prints, the kernel it writes
// and its exit status.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "image/dib.h"
#include "image/picture_file.h"
#include "stamp/estimate_free.h"
#include "stamp/kernels.h"
#include "stamp/restore.h"
#include "stamp/restore_files.h"
#include "support/blurred_photo.h"
#include "support/cli_run.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

class CliEstimateTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = TestTempDir("cli_estimate");
        CUiScope scope(ui);
        ASSERT_EQ(MotionKernel(17.0, 128.0, truth), 1);
        Write(BlurredPhotoCrop(truth, 192), "moved.png");
        Write(BlurredPhotoCrop(CKernel{1, 1, 0, 0, {1.0}}, 192), "sharp.png");
    }
    void Write(const CPlanes& planes, const std::string& name) {
        DibHandle dib;
        ASSERT_EQ(NewGreyPicture(planes.width, planes.height, dib), 1);
        ASSERT_EQ(PlanesToPicture(planes, dib), 1);
        ASSERT_EQ(WritePictureFile((dir / name).string(), dib), 1);
    }

    CScriptedUi ui;
    fs::path dir;
    CKernel truth;
};

}  // namespace

TEST_F(CliEstimateTest, PrintsTheMotionAndWritesItsKernel) {
    const CliResult r = RunCli(dir, "estimate-blur moved.png -o k.stp");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("motion ", 0), 0u) << r.out;
    EXPECT_NE(r.out.find(" degrees"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("written to"), std::string::npos) << r.out;
    CKernel k;
    {
        CUiScope scope(ui);
        ASSERT_EQ(ReadKernelFile((dir / "k.stp").string(), k), 1);
    }
    EXPECT_NEAR(k.Sum(), 1.0, 1e-9);
    // The same line as the truth: correlation near 1 for a length within a pixel and an
    // angle within a few degrees.
    EXPECT_GT(KernelCorrelation(k, truth), 0.8);

    // Asked for a defocus, it gives the disc that fits best, whatever the picture shows.
    const CliResult d = RunCli(dir, "estimate-blur moved.png --model defocus");
    ASSERT_EQ(d.status, 0) << d.err;
    EXPECT_EQ(d.out.rfind("defocus radius ", 0), 0u) << d.out;
}

TEST_F(CliEstimateTest, NoBlurFoundWritesNoKernelAndSaysSo) {
    const CliResult r = RunCli(dir, "estimate-blur sharp.png -o k.stp");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("no straight motion or defocus found", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("no kernel written"), std::string::npos) << r.out;
    EXPECT_FALSE(fs::exists(dir / "k.stp"));
}

TEST_F(CliEstimateTest, RefusesWhatItCannotEstimate) {
    // 192 px is less than four times 60.
    const CliResult big = RunCli(dir, "estimate-blur moved.png --size 60 -o k.stp");
    EXPECT_EQ(big.status, 1);
    EXPECT_NE(big.err.find("too small"), std::string::npos) << big.err;
    EXPECT_FALSE(fs::exists(dir / "k.stp"));
    // 0 looks as far as the picture allows; below 3 or above 101 is refused.
    const CliResult any = RunCli(dir, "estimate-blur moved.png --size 0 --model motion");
    EXPECT_EQ(any.status, 0) << any.err;
    EXPECT_EQ(any.out.rfind("motion ", 0), 0u) << any.out;
    const CliResult tiny = RunCli(dir, "estimate-blur moved.png --size 2");
    EXPECT_EQ(tiny.status, 1);
    EXPECT_NE(tiny.err.find("0 (as large as the picture allows) or from 3 to 101"),
              std::string::npos)
        << tiny.err;
    const CliResult model = RunCli(dir, "estimate-blur moved.png --model blurry");
    EXPECT_EQ(model.status, 1);
    EXPECT_NE(model.err.find("--model takes auto, motion"), std::string::npos) << model.err;
    const CliResult none = RunCli(dir, "estimate-blur moved.png --model none");
    EXPECT_EQ(none.status, 1);
    const CliResult missing = RunCli(dir, "estimate-blur nothing.png");
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("nothing.png"), std::string::npos) << missing.err;
}

TEST_F(CliEstimateTest, IsAStepOfRun) {
    const CliResult r = RunCli(dir, "run moved.png \"estimate-blur -o k.stp\"");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("motion "), std::string::npos) << r.out;
    EXPECT_TRUE(fs::exists(dir / "k.stp"));
}

TEST_F(CliEstimateTest, RestoreWithTheEstimateOrLeaveThePictureAlone) {
    const CliResult r =
        RunCli(dir, "restore moved.png --estimate --save-kernel used.stp -o restored.png");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("Estimated blur: motion ", 0), 0u) << r.out;
    CPlanes sharp, moved, restored;
    CKernel used;
    {
        CUiScope scope(ui);
        ASSERT_EQ(ReadPlanesFile((dir / "sharp.png").string(), sharp), 1);
        ASSERT_EQ(ReadPlanesFile((dir / "moved.png").string(), moved), 1);
        ASSERT_EQ(ReadPlanesFile((dir / "restored.png").string(), restored), 1);
        ASSERT_EQ(ReadKernelFile((dir / "used.stp").string(), used), 1);
    }
    EXPECT_GT(PlanesPsnr(restored, sharp), PlanesPsnr(moved, sharp) + 3.0);
    EXPECT_GT(KernelCorrelation(used, truth), 0.8);

    // A model named, a size: the same motion, found among motions up to 25 px.
    const CliResult named =
        RunCli(dir, "restore moved.png --estimate motion --size 25 -o named.png");
    ASSERT_EQ(named.status, 0) << named.err;
    EXPECT_TRUE(fs::exists(dir / "named.png"));

    // Nothing to repair: said, status 1, no output, no kernel.
    const CliResult none =
        RunCli(dir, "restore sharp.png --estimate --save-kernel none.stp -o none.png");
    EXPECT_EQ(none.status, 1);
    EXPECT_NE(none.err.find("No blur found"), std::string::npos) << none.err;
    EXPECT_FALSE(fs::exists(dir / "none.png"));
    EXPECT_FALSE(fs::exists(dir / "none.stp"));

    const CliResult bad = RunCli(dir, "restore moved.png --estimate blurry -o bad.png");
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.err.find("--estimate takes a model"), std::string::npos) << bad.err;
    const CliResult small = RunCli(dir, "restore moved.png --estimate --size 2 -o bad.png");
    EXPECT_EQ(small.status, 1);
    EXPECT_NE(small.err.find("largest blur"), std::string::npos) << small.err;
    EXPECT_FALSE(fs::exists(dir / "bad.png"));

    // As a step of a run, on the document.
    const CliResult run = RunCli(dir, "run moved.png \"restore --estimate\" -o run.png");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("Estimated blur: motion "), std::string::npos) << run.out;
    EXPECT_TRUE(fs::exists(dir / "run.png"));
}
