// zelvanto-cli blur, deconvolve, make-stamp, use-stamp and show-stamp, alone and as steps of
// one run, on crops of the sample photograph.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "image/bmp_file.h"
#include "stamp/rubber_stamp.h"
#include "support/cli_run.h"
#include "support/scripted_ui.h"
#include "support/stamp_pictures.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

constexpr int32_t kW = 32, kH = 24;

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class CliStamp : public testing::Test {
protected:
    void SetUp() override {
        m_dir = TestTempDir(std::string("clistamp_") +
                            testing::UnitTest::GetInstance()->current_test_info()->name());
    }
    void TearDown() override { fs::remove_all(m_dir); }
    CliResult Run(const std::string& args) { return RunCli(m_dir, args); }
    std::string Path(const std::string& name) const { return (m_dir / name).string(); }

    void Write(const std::string& name, const std::vector<uint8_t>& bytes) {
        CScriptedUi quiet;
        CUiScope scope(quiet);
        DibHandle dib;
        ASSERT_EQ(NewGreyPicture(kW, kH, dib), 1);
        std::copy(bytes.begin(), bytes.end(), PicturePixels(dib.Data(), 0));
        ASSERT_EQ(WriteBmpFile(Path(name), dib, 0), 1);
    }
    std::vector<uint8_t> Read(const std::string& name) {
        CScriptedUi quiet;
        CUiScope scope(quiet);
        DibHandle dib;
        CSize size;
        if (ReadBmpFile(Path(name), dib, size) != 1) return {};
        return PictureBytes(dib);
    }

    fs::path m_dir;
};

}  // namespace

TEST_F(CliStamp, BlurThenDeconvolveWithAPairBlurredTheSameWayBringsThePictureBack) {
    const CBlurParameters blur{3, 6, 0.6, false};
    const std::vector<uint8_t> good = SampleCrop(kW, kH, 60, 10);
    const std::vector<uint8_t> sharp = SampleCrop(kW, kH, 100, 80);
    Write("good.bmp", good);
    Write("sharp.bmp", sharp);

    CliResult r = Run("blur good.bmp --kind random --steps 6 --attenuation 0.6 -o blurred.bmp");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Has(r.out, "Blur Random, 6 steps, attenuation 0.6")) << r.out;
    EXPECT_EQ(Read("blurred.bmp"), Blurred(good, kW, kH, blur));

    // The sharp picture blurred the same way, then the pair's blur taken out of it. The
    // deconvolution works on the document's Fourier data file, the picture as opened, so the
    // blurred picture is a file of its own.
    r = Run("blur sharp.bmp --kind 3 --steps 6 --attenuation 0.6 -o soft.bmp");
    ASSERT_EQ(r.status, 0) << r.err;
    r = Run(
        "run soft.bmp 'deconvolve --good good.bmp --blurred blurred.bmp' ratio -o restored.bmp");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Has(r.out, "Ratio Red")) << r.out;
    const std::vector<uint8_t> restored = Read("restored.bmp");
    const double before = Psnr(sharp, Blurred(sharp, kW, kH, blur), kW, kH);
    const double after = Psnr(sharp, restored, kW, kH);
    // Measured: 17.7 dB blurred, 38.8 dB restored.
    EXPECT_GT(after, 33.0) << before << " " << after;
    EXPECT_GT(after, before + 15.0);
    EXPECT_TRUE(fs::exists(Path("good.ft")));
    EXPECT_TRUE(fs::exists(Path("blurred.ft")));

    // Words that are not a blur are refused before anything is opened.
    r = Run("blur good.bmp --kind sideways -o x.bmp");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Has(r.err, "--kind sideways is not a blur kind")) << r.err;
    EXPECT_FALSE(fs::exists(Path("x.bmp")));
}

TEST_F(CliStamp, MakeTrimUseAndShowAStamp) {
    const std::vector<uint8_t> good = SampleCrop(kW, kH, 30, 60);
    Write("good.bmp", good);
    Write("blurred.bmp", Blurred(good, kW, kH, CBlurParameters{0, 3, 0.5, false}));

    CliResult r = Run("make-stamp good.bmp --good good.bmp --blurred blurred.bmp");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Has(r.out, "Stamp written: " + Path("blurred.stp"))) << r.out;
    RubberStamp stamp;
    {
        CScriptedUi quiet;
        CUiScope scope(quiet);
        ASSERT_EQ(ReadRubberStampFreeSize(Path("blurred.stp"), stamp), 1);
    }
    EXPECT_EQ(stamp.width, kW);
    EXPECT_EQ(stamp.peakX, kW / 2);

    // Use This without a try keeps the whole stamp and asks nothing.
    r = Run("use-stamp blurred.bmp --stamp blurred.stp -o whole.bmp");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(Has(r.err, "Save this stamp?")) << r.err;

    // A try at a large fraction trims it; --save-cut keeps the cut in the file.
    r = Run("use-stamp blurred.bmp --stamp blurred.stp --try 0.05 --save-cut -o cut.bmp");
    ASSERT_EQ(r.status, 0) << r.err;
    RubberStamp cut;
    {
        CScriptedUi quiet;
        CUiScope scope(quiet);
        ASSERT_EQ(ReadRubberStampFreeSize(Path("blurred.stp"), cut), 1);
    }
    EXPECT_LT(cut.width * cut.height, kW * kH);
    EXPECT_NE(Read("cut.bmp"), Read("whole.bmp"));

    // The stamp named through its picture, shown in grey: the peak white.
    r = Run("show-stamp good.bmp --stamp blurred.bmp -o shown.bmp");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<uint8_t> shown = Read("shown.bmp");
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown[cut.peakY * RowBytes(kW * 24) + 3 * cut.peakX], 255);

    // A stamp that is not there fails with the reader's message and saves nothing.
    r = Run("use-stamp good.bmp --stamp none.stp -o none.bmp");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Has(r.err, "UseStamp ReadRubberStamp error")) << r.err;
    EXPECT_FALSE(fs::exists(Path("none.bmp")));
    r = Run("use-stamp good.bmp --stamp blurred.stp --peak 3 -o none.bmp");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Has(r.err, "--peak takes X,Y, two whole numbers, for example 3,-2, not \"3\"."))
        << r.err;
}

TEST_F(CliStamp, ExamplesSayWhyTheirSpectrumIsMissingAndPngExamplesAreTaken) {
    const std::vector<uint8_t> good = SampleCrop(kW, kH, 30, 60);
    Write("good.bmp", good);
    Write("blurred.bmp", Blurred(good, kW, kH, CBlurParameters{0, 3, 0.5, false}));
    Write("p.bmp", SampleCrop(kW, kH, 90, 40));

    // The disk full (a file size limit below a spectrum's 36,872 bytes, SIGXFSZ ignored so
    // the write fails with EFBIG): the run goes on with its result and says so; the example
    // tools report the write.
    {
        struct rlimit saved {};
        ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
        struct rlimit limited = saved;
        limited.rlim_cur = 20000;
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
        const CliResult fourier = Run("fourier p.bmp --kind 1/r -o r.bmp --no");
        const CliResult stamp = Run("make-stamp good.bmp --good good.bmp --blurred blurred.bmp");
        const CliResult deconvolve =
            Run("deconvolve p.bmp --good good.bmp --blurred blurred.bmp -o d.bmp");
        const CliResult transform = Run("transform p.bmp t.ft");
        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);
        EXPECT_EQ(fourier.status, 0) << fourier.err;
        EXPECT_TRUE(Has(fourier.err, "spectrum not kept: " + Path("p.ft") + ": File too large"))
            << fourier.err;
        EXPECT_TRUE(fs::exists(Path("r.bmp")));
        EXPECT_EQ(transform.status, 1);
        EXPECT_TRUE(Has(transform.err, "t.ft failed to process. t.ft: File too large"))
            << transform.err;
        for (const CliResult* r : {&stamp, &deconvolve}) {
            EXPECT_EQ(r->status, 1);
            EXPECT_TRUE(Has(r->err, "spectrum not kept: " + Path("good.ft") + ": File too large"))
                << r->err;
            EXPECT_FALSE(Has(r->err, "File not found")) << r->err;
        }
    }

    // An example of another size: the sizes are the reason.
    {
        CScriptedUi quiet;
        CUiScope scope(quiet);
        DibHandle dib;
        ASSERT_EQ(NewGreyPicture(kW + 2, kH, dib), 1);
        ASSERT_EQ(WriteBmpFile(Path("wide.bmp"), dib, 0), 1);
    }
    CliResult r = Run("deconvolve p.bmp --good wide.bmp --blurred blurred.bmp -o d.bmp");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Has(r.err, Path("wide.bmp") + " is 34 x 24; the picture is 32 x 24")) << r.err;
    EXPECT_FALSE(Has(r.err, "File not found")) << r.err;

    // PNG examples are taken and give what their BMP twins give.
    r = Run("deconvolve p.bmp --good good.bmp --blurred blurred.bmp -o from_bmp.bmp");
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(Run("open good.bmp -o gpng.png").status, 0);
    ASSERT_EQ(Run("open blurred.bmp -o bpng.png").status, 0);
    r = Run("deconvolve p.bmp --good gpng.png --blurred bpng.png -o from_png.bmp");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Read("from_png.bmp"), Read("from_bmp.bmp"));
    EXPECT_TRUE(fs::exists(Path("gpng.ft")));
}
