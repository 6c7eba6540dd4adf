// zelvanto-cli run: several steps on one document, driven as a user would.
#include "support/cli_run.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "image/bmp_file.h"
#include "image/dib.h"
#include "image/picture_file.h"
#include "stamp/kernels.h"
#include "stamp/restore.h"
#include "stamp/restore_files.h"
#include "support/pictures.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class CliRun : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = TestTempDir(std::string("clirun_") +
                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    }
    void TearDown() override { fs::remove_all(m_dir); }

    CliResult Run(const std::string& args) { return RunCli(m_dir, args); }
    std::string Path(const std::string& name) const { return (m_dir / name).string(); }

    // A w x h picture with structure in every channel.
    void WritePicture(const std::string& name, int32_t w = 16, int32_t h = 12) {
        CScriptedUi ui;
        CUiScope scope(ui);
        DibHandle dib;
        ASSERT_EQ(NewGreyPicture(w, h, dib), 1);
        uint8_t* pixels = PicturePixels(dib.Data(), 0);
        const int32_t rowBytes = RowBytes(w * 24);
        for (int32_t y = 0; y < h; ++y)
            for (int32_t i = 0; i < 3 * w; ++i)
                pixels[y * rowBytes + i] = static_cast<uint8_t>((i * i * 5 + y * 29) % 251);
        ASSERT_EQ(WriteBmpFile(Path(name), dib, 0), 1);
    }
    // The pixel bytes of a picture file and its size.
    std::vector<uint8_t> Read(const std::string& name, CSize* size = nullptr) {
        CScriptedUi ui;
        CUiScope scope(ui);
        DibHandle dib;
        CSize read;
        if (ReadPictureFile(Path(name), dib, read) != 1) return {};
        if (size) *size = read;
        return PictureBytes(dib);
    }
    std::string Text(const std::string& name) { return ReadFileBytes(m_dir / name); }

    fs::path m_dir;
};

}  // namespace

TEST_F(CliRun, EachStepWorksOnWhatTheStepsBeforeItLeft) {
    WritePicture("p.bmp");
    CliResult r = Run("fourier p.bmp --kind 1/r --param 2 -o alone.bmp");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<uint8_t> filtered = Read("alone.bmp");
    const std::vector<uint8_t> original = Read("p.bmp");
    ASSERT_FALSE(filtered.empty());
    ASSERT_NE(filtered, original);

    // One step: the same picture as the command of that name.
    r = Run("run p.bmp 'fourier --kind 1/r --param 2' -o run.bmp");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Has(r.out, "1/R Distribution done in")) << r.out;
    EXPECT_TRUE(Has(r.out, "Saved: " + Path("run.bmp"))) << r.out;
    EXPECT_EQ(Read("run.bmp"), filtered);

    // Colour recomputes from the Fourier step's Result: unchanged values give its picture,
    // a Result share of 0 the Original, and the light moves the Result, not the input.
    r = Run("run p.bmp 'fourier --kind 1/r --param 2' 'colour --light 0' -o same.bmp");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Read("same.bmp"), filtered);
    r = Run("run p.bmp 'fourier --kind 1/r --param 2' 'colour --share 0' -o share0.bmp");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Read("share0.bmp"), original);
    r =
        Run("run p.bmp 'fourier --kind 1/r --param 2' 'colour --light -100' 'undo-colour' -o "
            "undone.bmp");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Read("undone.bmp"), filtered);

    // A second Fourier step starts again from the kept, untouched spectrum, with its own
    // kind and parameter, as the same operation alone does.
    r = Run("fourier p.bmp --kind 1/r2 --param 3 -o r2.bmp");
    ASSERT_EQ(r.status, 0) << r.err;
    r = Run("run p.bmp 'fourier --kind 1/r --param 2' 'fourier --kind 1/r2 --param 3' -o two.bmp");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Has(r.out, "Distribution done in")) << r.out;
    EXPECT_EQ(Read("two.bmp"), Read("r2.bmp"));
    EXPECT_NE(Read("two.bmp"), filtered);

    // The '+' key gives the opened picture back after a Fourier step.
    r = Run("run p.bmp 'fourier --kind 1/r --param 2' restore-original -o back.bmp");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Read("back.bmp"), original);

    // The ratio step reads the spectrum the Fourier step kept, in the same run.
    fs::remove(Path("p.ft"));
    r = Run("run p.bmp 'fourier --kind fourier' ratio");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Has(r.out, "\nRatio Red ")) << r.out;
    EXPECT_FALSE(Has(r.out, "Saved:")) << r.out;

    // No steps: open and save.
    r = Run("run p.bmp -o copy.bmp");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Read("copy.bmp"), original);
}

TEST_F(CliRun, AFailingStepStopsTheRunAndNothingIsSaved) {
    WritePicture("p.bmp");
    std::ofstream(Path("out.bmp")) << "old";

    // The third step fails after two have run: the old file stays.
    CliResult r = Run("run p.bmp 'colour --light 10' undo-colour undo-colour -o out.bmp");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Has(r.err, "Undo Color is not available")) << r.err;
    EXPECT_TRUE(Has(r.err, "Step 3 of 3 failed; nothing is saved.\n")) << r.err;
    EXPECT_FALSE(Has(r.out, "Saved:")) << r.out;
    EXPECT_EQ(Text("out.bmp"), "old");

    // A first step that fails: no spectrum has been kept yet.
    r = Run("run p.bmp ratio 'colour --light 10' -o out.bmp");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Has(r.err, "Read CFourier error, or CFourier not made yet.")) << r.err;
    EXPECT_TRUE(Has(r.err, "Step 1 of 2 failed; nothing is saved.\n")) << r.err;
    EXPECT_EQ(Text("out.bmp"), "old");

    // Words that do not parse, an unknown step, or a run option inside a step: refused
    // before the picture is opened, so the Fourier step before them never ran.
    const struct {
        const char* step;
        const char* message;
    } refused[] = {
        {"'colour --gamma 101'",
         "Step \"colour --gamma 101\": --gamma takes a whole number from 0 to 100, not \"101\"."},
        {"'blurr --kind 1'", "\"blurr --kind 1\" is not a step; the steps are fourier, ratio,"},
        {"'fourier --kind 0 --size 16x12'", "Step \"fourier --kind 0 --size 16x12\": "},
        {"'fourier --kind sideways'", "--kind takes 0 to 12"},
        {"'compare'", "--reference is required"},
        {"'restore --motion 5'", "--motion takes LENGTH,ANGLE"},
    };
    for (const auto& c : refused) {
        r = Run(std::string("run p.bmp 'fourier --kind 0' ") + c.step + " -o out.bmp");
        EXPECT_EQ(r.status, 1) << c.step;
        EXPECT_TRUE(Has(r.err, c.message)) << c.step << ": " << r.err;
        EXPECT_FALSE(Has(r.out, "Opened:")) << c.step;
        EXPECT_FALSE(fs::exists(Path("p.ft"))) << c.step;
        EXPECT_EQ(Text("out.bmp"), "old") << c.step;
    }

    // An input that does not open.
    r = Run("run missing.bmp 'colour --light 10' -o out.bmp");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(Text("out.bmp"), "old");
}

TEST_F(CliRun, TheRunsOptionsReachTheOpenTheEngineAndTheQuestions) {
    // --size picks the working size the picture is cut to.
    WritePicture("odd.bmp", 30, 14);
    CliResult r = Run("run odd.bmp restore-original --size 20x12 -o cut.bmp");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Has(r.out, "20 x 12, N = 60")) << r.out;
    CSize size;
    EXPECT_EQ(Read("cut.bmp", &size).size(), 60u * 12);
    EXPECT_EQ(size, (CSize{20, 12}));
    r = Run("run odd.bmp restore-original --size 22x12 -o none.bmp");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Has(r.err, "22x12 is not among the sizes available:")) << r.err;
    EXPECT_FALSE(fs::exists(Path("none.bmp")));

    // --yes and --no answer the question of Save As.
    WritePicture("p.bmp");
    r = Run("run p.bmp 'fourier --kind 0' -o kept.bmp --no");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "Rename the CFourier transform file too? [No]\n");
    EXPECT_TRUE(fs::exists(Path("p.ft")));
    r = Run("run p.bmp 'fourier --kind 0' -o moved.bmp --yes");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "Rename the CFourier transform file too? [Yes]\n");
    EXPECT_FALSE(fs::exists(Path("p.ft")));
    EXPECT_TRUE(fs::exists(Path("moved.ft")));

    // --engine and --threads reach the transform; --progress draws the progress line.
    r =
        Run("run p.bmp 'fourier --kind amplify --param 1' --engine fft --threads 1 --progress "
            "-o fast.bmp --no");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Has(r.out, "(De) Amplification done in")) << r.out;
    EXPECT_TRUE(Has(r.out, "(fft engine, chosen)")) << r.out;
    EXPECT_TRUE(Has(r.err, "100 %\n")) << r.err;
    const std::vector<uint8_t> fast = Read("fast.bmp");
    const std::vector<uint8_t> original = Read("p.bmp");
    ASSERT_EQ(fast.size(), original.size());
    size_t differing = 0;
    for (size_t i = 0; i < fast.size(); ++i) differing += fast[i] != original[i];
    EXPECT_LE(differing, 2u);
    r = Run("run p.bmp 'fourier --kind 0' -o x.bmp");
    EXPECT_TRUE(Has(r.out, "(projection engine, by picture size)")) << r.out;
    EXPECT_FALSE(Has(r.err, "%")) << r.err;
    EXPECT_NE(Run("run p.bmp 'fourier --kind 0' --engine dft -o y.bmp").status, 0);
    EXPECT_NE(Run("run p.bmp 'fourier --kind 0' --threads 999 -o y.bmp").status, 0);
    EXPECT_FALSE(fs::exists(Path("y.bmp")));

    // Every step is a command of its own with its options and the run's.
    for (const char* step : {"fourier", "ratio", "compare", "colour", "set-original", "undo-colour",
                             "restore-original"}) {
        r = Run(std::string(step) + " --help");
        EXPECT_EQ(r.status, 0) << step;
        EXPECT_TRUE(Has(r.out, "IN TEXT REQUIRED")) << step << r.out;
        for (const char* option : {"--size", "--yes", "--engine", "--threads", "--progress"})
            EXPECT_TRUE(Has(r.out, option)) << step << " " << option;
    }

    // Help: the run lists its steps; a step's help lists its options and runs nothing.
    r = Run("run --help");
    EXPECT_EQ(r.status, 0);
    for (const char* step : {"fourier", "ratio", "compare", "colour", "set-original", "undo-colour",
                             "restore-original", "learn-kernel", "restore"})
        EXPECT_TRUE(Has(r.out, std::string("\n  ") + step + "\n")) << step << r.out;
    r = Run("run p.bmp 'colour --help' -o z.bmp");
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(Has(r.out, "--gamma")) << r.out;
    EXPECT_FALSE(Has(r.out, "Opened:")) << r.out;
    EXPECT_FALSE(fs::exists(Path("z.bmp")));
}

TEST_F(CliRun, KernelsAreLearntAndPicturesRestoredAsSteps) {
    CScriptedUi ui;
    CUiScope scope(ui);
    CPlanes sharp;
    ASSERT_EQ(ReadPlanesFile(std::string(ZELVANTO_SAMPLES_DIR) + "/coffee_160x120.bmp", sharp), 1);
    CKernel truth;
    ASSERT_EQ(BlurPathKernel(0, 10, 0.6, truth), 1);
    CPlanes blurred;
    ASSERT_TRUE(BlurPlanes(sharp, truth, true, blurred));
    for (const auto& [planes, name] : {std::pair{&sharp, "sharp.bmp"}, {&blurred, "blurred.bmp"}}) {
        DibHandle dib;
        ASSERT_EQ(NewGreyPicture(planes->width, planes->height, dib), 1);
        ASSERT_EQ(PlanesToPicture(*planes, dib), 1);
        ASSERT_EQ(WritePictureFile(Path(name), dib), 1);
    }
    const auto psnr = [&](const std::string& name) {
        CPlanes p;
        EXPECT_EQ(ReadPlanesFile(Path(name), p), 1);
        return PlanesPsnr(p, sharp);
    };

    // The kernel a step writes is read by the step after it.
    CliResult r = Run(
        "run blurred.bmp 'learn-kernel --good sharp.bmp --blurred blurred.bmp --size 15 -o k.stp' "
        "'restore --kernel k.stp --no-taper' -o restored.bmp");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Has(r.out, "Learnt blur kernel 15 x 15, peak (7, 7)")) << r.out;
    EXPECT_TRUE(Has(r.out, "Restored 160 x 120 by Total variation")) << r.out;
    EXPECT_GT(psnr("restored.bmp"), psnr("blurred.bmp") + 15.0);

    // The command of its own gives the same bytes.
    r = Run("restore blurred.bmp --kernel k.stp --no-taper -o alone.bmp");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Read("alone.bmp"), Read("restored.bmp"));

    // The restored picture becomes the Result the colour step starts from; the '+' key
    // gives the opened picture back.
    r =
        Run("run blurred.bmp 'restore --kernel k.stp --no-taper' 'colour --contrast 100' -o "
            "coloured.bmp");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Read("coloured.bmp"), Read("restored.bmp"));
    r = Run("run blurred.bmp 'restore --kernel k.stp --no-taper' restore-original -o back.bmp");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Read("back.bmp"), Read("blurred.bmp"));

    // A kernel that cannot be made fails the step: nothing saved.
    r = Run("run blurred.bmp 'restore --kernel missing.stp' -o never.bmp");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Has(r.err, "missing.stp Read Stamp File error aa")) << r.err;
    EXPECT_TRUE(Has(r.err, "Step 1 of 1 failed; nothing is saved.")) << r.err;
    EXPECT_FALSE(fs::exists(Path("never.bmp")));
}
