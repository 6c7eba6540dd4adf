// zelvanto-cli learn-kernel and restore, driven as a user would.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "image/dib.h"
#include "image/picture_file.h"
#include "stamp/kernels.h"
#include "stamp/restore.h"
#include "stamp/restore_files.h"
#include "support/cli_run.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

class CliRestoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = TestTempDir("cli_restore");
        CUiScope scope(ui);
        ASSERT_EQ(ReadPlanesFile(std::string(ZELVANTO_SAMPLES_DIR) + "/coffee_160x120.bmp", sharp),
                  1);
        ASSERT_EQ(BlurPathKernel(0, 10, 0.6, truth), 1);
        CPlanes blurred;
        ASSERT_TRUE(BlurPlanes(sharp, truth, true, blurred));
        Write(sharp, "sharp.bmp");
        Write(blurred, "blurred.png");
    }
    void Write(const CPlanes& planes, const std::string& name) {
        DibHandle dib;
        ASSERT_EQ(NewGreyPicture(planes.width, planes.height, dib), 1);
        ASSERT_EQ(PlanesToPicture(planes, dib), 1);
        ASSERT_EQ(WritePictureFile((dir / name).string(), dib), 1);
    }
    double PsnrOf(const std::string& name) {
        CUiScope scope(ui);
        CPlanes p;
        EXPECT_EQ(ReadPlanesFile((dir / name).string(), p), 1);
        return PlanesPsnr(p, sharp);
    }

    CScriptedUi ui;
    fs::path dir;
    CPlanes sharp;
    CKernel truth;
};

TEST_F(CliRestoreTest, LearnsTheBlurAndRestoresWithEveryKindOfKernel) {
    const CliResult learnt =
        RunCli(dir, "learn-kernel --good sharp.bmp --blurred blurred.png --size 15 -o k.stp");
    ASSERT_EQ(learnt.status, 0) << learnt.err;
    EXPECT_NE(learnt.out.find("kernel 15 x 15, peak (7, 7)"), std::string::npos) << learnt.out;
    CKernel k;
    {
        CUiScope scope(ui);
        ASSERT_EQ(ReadKernelFile((dir / "k.stp").string(), k), 1);
    }
    // The file holds the blur itself: 0.6^p / total at p columns left of the peak.
    const double total = (1 - std::pow(0.6, 10)) / 0.4;
    EXPECT_NEAR(k.At(7, 7), 1 / total, 2e-3);
    EXPECT_NEAR(k.At(4, 7), std::pow(0.6, 3) / total, 2e-3);
    EXPECT_NEAR(k.At(10, 7), 0.0, 2e-3);

    const double blurred = PsnrOf("blurred.png");
    for (const std::string& source :
         {std::string("--kernel k.stp"), std::string("--blur horizontal,10,0.6"),
          std::string("--good sharp.bmp --blurred blurred.png --size 21")}) {
        const CliResult r = RunCli(dir, "restore blurred.png " + source + " --no-taper -o r.bmp");
        ASSERT_EQ(r.status, 0) << source << ": " << r.err;
        EXPECT_GT(PsnrOf("r.bmp"), blurred + 15.0) << source;
    }
    const CliResult lucy = RunCli(
        dir, "restore blurred.png --blur 0,10,0.6 --method lucy --iterations 20 -o lucy.bmp");
    ASSERT_EQ(lucy.status, 0) << lucy.err;
    EXPECT_NE(lucy.out.find("Richardson-Lucy"), std::string::npos);
    EXPECT_GT(PsnrOf("lucy.bmp"), blurred + 5.0);
    const CliResult strong =
        RunCli(dir, "restore blurred.png --gaussian 1 --strength 1e6 -o strong.bmp");
    ASSERT_EQ(strong.status, 0) << strong.err;
}

TEST_F(CliRestoreTest, BadRequestsFailWithAReasonAndWriteNothing) {
    Write(sharp, "other.bmp");
    struct {
        std::string args;
        std::string message;
    } cases[] = {
        {"--good sharp.bmp --blurred " + std::string(ZELVANTO_SAMPLES_DIR) + "/coffee.jpg",
         "The Good and the Blurred picture differ in size: 160 x 120 and 600 x 400."},
        {"--kernel k.stp --motion 5,0", "Name the kernel once"},
        {"--motion 0,0", "The motion length must be a number from 1 to 2000 pixels."},
        {"--motion nan,0", "--motion takes LENGTH,ANGLE, for example 12,30, not \"nan,0\"."},
        {"--motion 5", "--motion takes LENGTH,ANGLE"},
        {"--blur sideways,10,0.6", "--blur takes KIND,STEPS,ATTENUATION"},
        {"--blur 0,2,-1", "The blur weights sum to 0"},
        {"--gaussian 2 --strength much", "--strength takes auto or a number"},
        {"--gaussian 40", "The kernel (321 x 321) is larger than the picture (160 x 120)."},
        {"--kernel missing.stp", "missing.stp Read Stamp File error aa"},
    };
    for (const auto& c : cases) {
        const CliResult r = RunCli(dir, "restore other.bmp " + c.args + " -o out.bmp");
        EXPECT_EQ(r.status, 1) << c.args;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.args << ": " << r.err;
        EXPECT_FALSE(fs::exists(dir / "out.bmp")) << c.args;
    }
    const CliResult r =
        RunCli(dir, "learn-kernel --good sharp.bmp --blurred other.bmp --size 99 -o k.stp");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("The kernel size must be 1 to 63, not 99."), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir / "k.stp"));
}

TEST_F(CliRestoreTest, AStampLargerThanThePictureIsRefusedFromItsHeader) {
    // A 10000 x 10000 stamp (800 MB of values, here a sparse file) for a 160 x 120 picture:
    // refused from its 16-byte header, without room made for the values; the run is given
    // less memory than reading them would take.
    Write(sharp, "picture.bmp");
    {
        std::ofstream stamp(dir / "huge.stp", std::ios::binary);
        const int32_t header[4] = {10000, 10000, 5000, 5000};
        stamp.write(reinterpret_cast<const char*>(header), sizeof header);
    }
    fs::resize_file(dir / "huge.stp", 16 + 8ull * 10000 * 10000);
    const std::string command = "cd '" + dir.string() + "' && ulimit -v 600000 && '" +
                                ZELVANTO_CLI_PATH +
                                "' restore picture.bmp --kernel huge.stp -o out.bmp "
                                "2>stderr.txt </dev/null >/dev/null";
    const int status = std::system(command.c_str());
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 1);
    EXPECT_EQ(ReadFileBytes(dir / "stderr.txt"),
              "The kernel (10000 x 10000) is larger than the picture (160 x 120).\n");
    EXPECT_FALSE(fs::exists(dir / "out.bmp"));
}

}  // namespace
