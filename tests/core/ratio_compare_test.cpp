// Ratio Frequency's text and Compare Result's amplified difference on small spectra and
// pictures.
#include "stamp/ratio_compare.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "image/bmp_file.h"
#include "support/pictures.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

// 8 x 4 pixels, N = 8; 6 x 4 with N = 12 leaves two padding bytes per row.
CFourier Engine(int32_t w, int32_t h, int32_t n) {
    CFourier f;
    EXPECT_TRUE(f.SetUp(w, h, RowBytes(w * 24), h, n));
    return f;
}

// Every frequency of every plane magnitude 1 with varied phases, a large DC.
std::vector<Complex> FlatSpectrum(const CFourier& f) {
    std::vector<Complex> s(3 * static_cast<size_t>(f.PlaneSize()));
    for (size_t i = 0; i < s.size(); ++i) s[i] = (i % 2) != 0 ? Complex(0.6, -0.8) : Complex(-1, 0);
    for (int32_t c = 0; c < 3; ++c)
        s[c * f.PlaneSize() + f.HalfHeight() * f.Width() + f.HalfWidth()] = Complex(500, 0);
    return s;
}

Complex& At(std::vector<Complex>& s, const CFourier& f, int32_t c, int32_t fx, int32_t fy) {
    return s[c * f.PlaneSize() + (fy + f.HalfHeight()) * f.Width() + fx + f.HalfWidth()];
}

}  // namespace

TEST(Ratio, TextNamesRedFirstAndIgnoresTheZeroFrequency) {
    const CFourier f = Engine(8, 4, 8);
    std::vector<Complex> s = FlatSpectrum(f);
    // Blue: one frequency exactly 0. Green: all equal. Red: one frequency of magnitude 2
    // (squared 4) gives 1/4.
    At(s, f, 0, 3, -1) = Complex(0, 0);
    At(s, f, 2, -4, -2) = Complex(0, 2);
    EXPECT_EQ(RatioText(f, s.data()),
              "Ratio Red 2.500e-01\nRatio Green 1.000e+00\nRatio Blue 0.000e+00");

    // The first stored frequency starts both extremes; a smaller one later still counts.
    At(s, f, 1, -4, -2) = Complex(0.5, 0);
    At(s, f, 1, 1, 1) = Complex(0.25, 0);
    EXPECT_EQ(RatioText(f, s.data()),
              "Ratio Red 2.500e-01\nRatio Green 6.250e-02\nRatio Blue 0.000e+00");
}

TEST(Ratio, APlaneWithNothingButTheMeanSaysSoInsteadOfNan) {
    const CFourier f = Engine(8, 4, 8);
    std::vector<Complex> s(3 * static_cast<size_t>(f.PlaneSize()));
    for (int32_t c = 0; c < 3; ++c) At(s, f, c, 0, 0) = Complex(100, 0);
    At(s, f, 1, 2, 1) = Complex(3, 4);
    const std::string text = RatioText(f, s.data());
    EXPECT_EQ(text,
              "Ratio Red undefined: every frequency but (0, 0) is 0\nRatio Green "
              "0.000e+00\nRatio Blue undefined: every frequency but (0, 0) is 0");
    EXPECT_EQ(text.find("nan"), std::string::npos);
}

TEST(Ratio, ReadsTheFourierFileOrSaysItIsNotMade) {
    CScriptedUi ui;
    CUiScope scope(ui);
    const fs::path dir = TestTempDir("ratio_file");
    const CFourier f = Engine(8, 4, 8);
    std::vector<Complex> s = FlatSpectrum(f);
    std::vector<Complex> buffer(s.size());
    std::string text = "unchanged";

    EXPECT_EQ(RatioFrequency(f, (dir / "missing.ft").string(), buffer.data(), text), 0);
    EXPECT_EQ(text, "unchanged");
    ASSERT_FALSE(ui.Messages().empty());
    EXPECT_EQ(ui.Messages().back(), "Read CFourier error, or CFourier not made yet.");

    ui.Clear();
    const std::string path = (dir / "p.ft").string();
    ASSERT_EQ(f.WriteFourierFile(path, s.data()), 1);
    EXPECT_EQ(RatioFrequency(f, path, buffer.data(), text), 1);
    EXPECT_EQ(text, "Ratio Red 1.000e+00\nRatio Green 1.000e+00\nRatio Blue 1.000e+00");
    EXPECT_TRUE(ui.Messages().empty());
    // The spectrum of the file stays in the buffer.
    EXPECT_EQ(buffer[5].re, s[5].re);
    fs::remove_all(dir);
}

TEST(Compare, ShowsTwentyGreyLevelsPerUnitAroundMidGreyAndKeepsThePadding) {
    const CFourier f = Engine(6, 4, 12);
    const int32_t stride = f.RowStride();
    ASSERT_EQ(stride, 20);
    std::vector<uint8_t> reference(static_cast<size_t>(stride) * 4, 0);
    std::vector<double> result(reference.size(), 0.0);
    std::vector<uint8_t> picture(reference.size(), 0xEE);
    const double offsets[] = {0, 7, -7, 1, -1, 6.4, 100, -0.5};
    for (int32_t y = 0; y < 4; ++y)
        for (int32_t i = 0; i < 18; ++i) {
            const size_t k = static_cast<size_t>(y * stride + i);
            reference[k] = static_cast<uint8_t>(60 + 7 * i + y);
            result[k] = reference[k] + offsets[(i + y) % 8];
        }
    CompareWithReference(f, reference.data(), result.data(), picture.data(), kCompareGain);
    // 127 + 20 * difference, rounded half up, clamped.
    const int expected[] = {127, 255, 0, 147, 107, 255, 255, 117};
    for (int32_t y = 0; y < 4; ++y) {
        for (int32_t i = 0; i < 18; ++i)
            EXPECT_EQ(picture[static_cast<size_t>(y * stride + i)], expected[(i + y) % 8])
                << y << " " << i;
        EXPECT_EQ(picture[static_cast<size_t>(y * stride + 18)], 0xEE);
        EXPECT_EQ(picture[static_cast<size_t>(y * stride + 19)], 0xEE);
    }
}

TEST(Compare, AReferenceThatDoesNotFitIsRefusedAndThePictureKept) {
    CScriptedUi ui;
    CUiScope scope(ui);
    const fs::path dir = TestTempDir("compare_refuse");
    const CFourier f = Engine(8, 4, 8);
    std::vector<double> result(static_cast<size_t>(f.RowStride()) * 4, 127.0);
    std::vector<uint8_t> picture(result.size(), 9);

    // Another size: the reference is never read as if it had the picture's layout.
    DibHandle small;
    ASSERT_EQ(NewGreyPicture(4, 4, small), 1);
    const std::string smallPath = (dir / "small.bmp").string();
    ASSERT_EQ(WriteBmpFile(smallPath, small, 0), 1);
    ui.Clear();
    EXPECT_EQ(CompareResult(f, smallPath, result.data(), picture.data()), 0);
    ASSERT_EQ(ui.Messages().size(), 1u);
    EXPECT_EQ(ui.Messages()[0],
              smallPath +
                  " is 4 x 4 pixels of 24 bits; Compare needs a reference of 8 x 4 "
                  "pixels of 24 bits, the size of the picture.");
    EXPECT_EQ(picture, std::vector<uint8_t>(result.size(), 9));

    // A held picture of another depth.
    DibHandle eight;
    ASSERT_EQ(NewGreyPicture(8, 4, eight), 1);
    eight.Data()[kBiBitCount] = 8;
    ui.Clear();
    EXPECT_EQ(CheckCompareReference("eight.bmp", eight, CSize{8, 4}), 0);
    ASSERT_EQ(ui.Messages().size(), 1u);
    EXPECT_EQ(ui.Messages()[0].rfind("eight.bmp", 0), 0u);

    // Not a bitmap at all: the reader's message, then the comparison's.
    const std::string missing = (dir / "none.bmp").string();
    ui.Clear();
    EXPECT_EQ(CompareResult(f, missing, result.data(), picture.data()), 0);
    ASSERT_FALSE(ui.Messages().empty());
    EXPECT_EQ(ui.Messages().back(), "pDIB or pCompare = NULL");
    EXPECT_EQ(picture, std::vector<uint8_t>(result.size(), 9));

    // A reference of the right size is compared.
    DibHandle same;
    ASSERT_EQ(NewGreyPicture(8, 4, same), 1);
    const std::string samePath = (dir / "same.bmp").string();
    ASSERT_EQ(WriteBmpFile(samePath, same, 0), 1);
    ui.Clear();
    EXPECT_EQ(CompareResult(f, samePath, result.data(), picture.data()), 1);
    EXPECT_TRUE(ui.Messages().empty());
    // Result 127 against the grey 50: 127 + 20 * 77 clamps to 255.
    for (int32_t y = 0; y < 4; ++y)
        for (int32_t i = 0; i < 24; ++i) EXPECT_EQ(picture[static_cast<size_t>(y * 24 + i)], 255);
    fs::remove_all(dir);
}
