// Deconvolution and stamps from example spectra: the ratio Good / Blurred applied to an
// Input, the stamp it makes, the guard against zero coefficients, the messages.
#include "stamp/deconvolve.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <vector>

#include "image/dib.h"
#include "stamp/rubber_stamp.h"
#include "support/scripted_ui.h"
#include "support/stamp_pictures.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

struct CEngine {
    CFourier f;
    std::vector<Complex> spectrum;
    std::vector<uint8_t> map;
    std::vector<double> real;

    CEngine(int32_t w, int32_t h, int32_t n) {
        EXPECT_TRUE(f.SetUp(w, h, RowBytes(w * 24), h, n));
        spectrum.resize(3 * static_cast<size_t>(w) * h);
        map.resize(static_cast<size_t>(w) * h);
        real.resize(static_cast<size_t>(RowBytes(w * 24)) * h);
    }
    // Transforms a picture and keeps its spectrum in a ".ft" file.
    std::string Keep(const fs::path& file, const std::vector<uint8_t>& picture) {
        EXPECT_TRUE(f.Transform(picture.data(), spectrum.data(), map.data()));
        EXPECT_EQ(f.WriteFourierFile(file.string(), spectrum.data()), 1);
        return file.string();
    }
    // The spectrum back into rounded bytes.
    std::vector<uint8_t> Picture() {
        EXPECT_TRUE(f.InverseTransform(real.data(), spectrum.data(), map.data()));
        std::vector<uint8_t> out(real.size(), 0);
        f.RealsToBytes(out.data(), real.data());
        return out;
    }
};

}  // namespace

TEST(Deconvolve, GoodEqualToBlurredGivesTheInputBack) {
    CScriptedUi ui;
    CUiScope scope(ui);
    const fs::path dir = TestTempDir("deconvolve_same");
    CEngine e(32, 24, 96);
    const std::vector<uint8_t> good = SampleCrop(32, 24, 10, 30);
    const std::vector<uint8_t> input = SampleCrop(32, 24, 90, 60);
    ASSERT_FALSE(good.empty());
    const std::string g = e.Keep(dir / "good.ft", good);
    const std::string in = e.Keep(dir / "input.ft", input);
    const std::vector<Complex> inputSpectrum = e.spectrum;
    std::fill(e.spectrum.begin(), e.spectrum.end(), Complex(7, 7));
    ASSERT_EQ(DeconvolveFromFiles(e.f, g, g, in, e.spectrum.data()), 1);
    // Good / Good is exactly 1 wherever Good is not 0, so the Input comes back bit for bit.
    EXPECT_EQ(e.spectrum, inputSpectrum);
    EXPECT_EQ(e.Picture(), input);
    EXPECT_TRUE(ui.Messages().empty());
}

TEST(Deconvolve, ZeroBlurredCoefficientsGiveZeroNotInfinityOrNan) {
    CScriptedUi ui;
    CUiScope scope(ui);
    const fs::path dir = TestTempDir("deconvolve_zero");
    CEngine e(16, 8, 16);
    const size_t n = e.spectrum.size();
    std::vector<Complex> good(n), blurred(n), input(n);
    for (size_t i = 0; i < n; ++i) {
        good[i] = Complex(1.0 + static_cast<double>(i), -0.5);
        blurred[i] = (i % 5 == 0) ? Complex(0, 0) : Complex(0.5, 0.25 * static_cast<double>(i % 3));
        input[i] = Complex(2.0, 1.0 + static_cast<double>(i % 7));
    }
    const std::string g = (dir / "g.ft").string(), b = (dir / "b.ft").string(),
                      in = (dir / "i.ft").string();
    ASSERT_EQ(e.f.WriteFourierFile(g, good.data()), 1);
    ASSERT_EQ(e.f.WriteFourierFile(b, blurred.data()), 1);
    ASSERT_EQ(e.f.WriteFourierFile(in, input.data()), 1);
    ASSERT_EQ(DeconvolveFromFiles(e.f, g, b, in, e.spectrum.data()), 1);
    for (size_t i = 0; i < n; ++i) {
        if (i % 5 == 0) {
            EXPECT_EQ(e.spectrum[i], Complex(0, 0)) << i;
        } else {
            const Complex expected = input[i] * (good[i] / blurred[i]);
            EXPECT_NEAR(e.spectrum[i].re, expected.re, 1e-9 * std::abs(expected.re) + 1e-12);
            EXPECT_NEAR(e.spectrum[i].im, expected.im, 1e-9 * std::abs(expected.im) + 1e-12);
        }
    }
    // The stamp of such a pair holds only finite values.
    const std::string stampFile = (dir / "b.stp").string();
    ASSERT_EQ(MakeStampFromFiles(e.f, g, b, stampFile, e.spectrum.data(), e.map.data()), 1);
    RubberStamp stamp;
    ASSERT_EQ(ReadRubberStampFreeSize(stampFile, stamp), 1);
    for (int32_t y = 0; y < stamp.height; ++y)
        for (int32_t x = 0; x < stamp.width; ++x) EXPECT_TRUE(std::isfinite(stamp.At(x, y)));
    EXPECT_TRUE(ui.Messages().empty());
}

TEST(Deconvolve, MissingFilesAndOtherSizesAreRefusedWithTheirMessages) {
    CScriptedUi ui;
    CUiScope scope(ui);
    const fs::path dir = TestTempDir("deconvolve_sizes");
    CEngine small(8, 4, 8);
    CEngine e(16, 8, 16);
    std::vector<Complex> one(e.spectrum.size(), Complex(1, 0));
    const std::string g = (dir / "g.ft").string(), b = (dir / "b.ft").string(),
                      in = (dir / "i.ft").string(), other = (dir / "other.ft").string();
    ASSERT_EQ(e.f.WriteFourierFile(g, one.data()), 1);
    ASSERT_EQ(e.f.WriteFourierFile(b, one.data()), 1);
    ASSERT_EQ(e.f.WriteFourierFile(in, one.data()), 1);
    ASSERT_EQ(small.f.WriteFourierFile(other, one.data()), 1);
    std::fill(e.spectrum.begin(), e.spectrum.end(), Complex(3, 3));
    const std::vector<Complex> before = e.spectrum;

    EXPECT_EQ(DeconvolveFromFiles(e.f, other, b, in, e.spectrum.data()), 0);
    EXPECT_EQ(DeconvolveFromFiles(e.f, g, b, other, e.spectrum.data()), 0);
    EXPECT_EQ(MakeStampFromFiles(e.f, g, other, (dir / "s.stp").string(), e.spectrum.data(),
                                 e.map.data()),
              0);
    EXPECT_EQ(ui.Messages(),
              (std::vector<std::string>{
                  "Sizes error: HSize 8, 4, GoodFileSize 4, 2, BlurredFileSize 8, 4, "
                  "InputFileSize 8, 4",
                  "Sizes error: HSize 8, 4, GoodFileSize 8, 4, BlurredFileSize 8, 4, "
                  "InputFileSize 4, 2",
                  "Sizes error: HSize 8, 4, GoodFileSize 8, 4, BlurredFileSize 4, 2"}));
    EXPECT_EQ(e.spectrum, before);
    EXPECT_FALSE(fs::exists(dir / "s.stp"));

    // An empty Good name is looked for as ".ft".
    ui.Clear();
    EXPECT_EQ(DeconvolveFromFiles(e.f, ".ft", b, in, e.spectrum.data()), 0);
    const std::string missing = (dir / "missing.ft").string();
    EXPECT_EQ(MakeStampFromFiles(e.f, g, missing, (dir / "s.stp").string(), e.spectrum.data(),
                                 e.map.data()),
              0);
    EXPECT_EQ(ui.Messages(),
              (std::vector<std::string>{"File not found: .ft", "File not found: " + missing}));
    EXPECT_EQ(e.spectrum, before);
}

TEST(Deconvolve, SpectrumToKernelOfAnImpulseIsThatPixelInBothVariants) {
    // 32 x 16 with N = 32 is a power of two; 24 x 16 with N = 48 is not.
    struct Size {
        int32_t w, h, n;
    };
    for (const Size s : {Size{32, 16, 32}, Size{24, 16, 48}}) {
        CEngine e(s.w, s.h, s.n);
        e.f.ImpulseSpectrum(5, 11, e.spectrum.data());
        std::vector<double> general(6 * static_cast<size_t>(s.w) * s.h, -1.0);
        std::vector<double> masked(general.size(), -1.0);
        SpectrumToKernel(e.f, e.spectrum.data(), general.data(), e.map.data());
        SpectrumToKernelPowerOfTwo(e.f, e.spectrum.data(), masked.data(), e.map.data());
        for (int32_t y = 0; y < s.h; ++y)
            for (int32_t x = 0; x < s.w; ++x) {
                const double v = general[static_cast<size_t>(y) * s.w + x];
                EXPECT_NEAR(v, x == 5 && y == 11 ? 1.0 : 0.0, 1e-12) << x << "," << y;
                EXPECT_EQ(v, masked[static_cast<size_t>(y) * s.w + x]) << x << "," << y;
            }
    }
}

TEST(Deconvolve, SameGoodAndBlurredMakeAStampWhosePeakDominates) {
    CScriptedUi ui;
    CUiScope scope(ui);
    const fs::path dir = TestTempDir("stamp_same");
    CEngine e(32, 24, 96);
    const std::string g = e.Keep(dir / "good.ft", SampleCrop(32, 24, 40, 40));
    const std::string stampFile = (dir / "good.stp").string();
    ASSERT_EQ(MakeStampFromFiles(e.f, g, g, stampFile, e.spectrum.data(), e.map.data()), 1);
    EXPECT_EQ(fs::file_size(stampFile), 16u + 8u * 32u * 24u);
    RubberStamp stamp;
    ASSERT_EQ(ReadRubberStampFreeSize(stampFile, stamp), 1);
    EXPECT_EQ(stamp.width, 32);
    EXPECT_EQ(stamp.height, 24);
    EXPECT_EQ(stamp.peakX, 16);
    EXPECT_EQ(stamp.peakY, 12);
    EXPECT_NEAR(stamp.At(16, 12), 1.0, 1e-9);
    for (int32_t y = 0; y < 24; ++y)
        for (int32_t x = 0; x < 32; ++x)
            if (x != 16 || y != 12) {
                EXPECT_NEAR(stamp.At(x, y), 0.0, 1e-9) << x << "," << y;
            }
    EXPECT_TRUE(ui.Messages().empty());
}

TEST(Deconvolve, APictureBlurredLikeTheExamplePairComesBackClose) {
    CScriptedUi ui;
    CUiScope scope(ui);
    const fs::path dir = TestTempDir("deconvolve_blur");
    const int32_t w = 64, h = 48;
    CEngine e(w, h, 192);
    const CBlurParameters blur{0, 4, 0.6, false};
    const std::vector<uint8_t> good = SampleCrop(w, h, 0, 0);
    const std::vector<uint8_t> sharp = SampleCrop(w, h, 96, 72);
    const std::vector<uint8_t> blurredSharp = Blurred(sharp, w, h, blur);
    const std::string g = e.Keep(dir / "good.ft", good);
    const std::string b = e.Keep(dir / "blurred.ft", Blurred(good, w, h, blur));
    const std::string in = e.Keep(dir / "input.ft", blurredSharp);
    ASSERT_EQ(DeconvolveFromFiles(e.f, g, b, in, e.spectrum.data()), 1);
    const std::vector<uint8_t> restored = e.Picture();
    const double before = Psnr(sharp, blurredSharp, w, h);
    const double after = Psnr(sharp, restored, w, h);
    std::printf("PSNR blurred %.2f dB, deconvolved %.2f dB\n", before, after);
    EXPECT_GT(after, 35.0);
    EXPECT_GT(after, before + 5.0);
}
