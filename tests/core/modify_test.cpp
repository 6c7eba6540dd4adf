// The frequency-domain modifications on small spectra made by the engine itself.
#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <vector>

#include "fourier/fourier.h"
#include "support/scripted_ui.h"

namespace {

// A W x H picture with its spectrum, real picture and map, the engine set up for it.
struct CModifyCase {
    int w, h, stride;
    CFourier engine;
    std::vector<uint8_t> picture;
    std::vector<Complex> spectrum;
    std::vector<uint8_t> map;
    std::vector<double> real;

    CModifyCase(int width, int height)
        : w(width),
          h(height),
          stride((3 * width * 8 + 31) / 32 * 4),
          picture(stride * h, 0),
          spectrum(3 * w * h, Complex(0, 0)),
          map(w * h, 0),
          real(stride * h, 0.0) {
        EXPECT_TRUE(engine.SetUp(w, h, stride, h, std::lcm(w, h)));
    }
    uint8_t& Byte(int x, int y, int ch) { return picture[ch + 3 * x + y * stride]; }
    void FillRandom(uint32_t seed) {
        for (int y = 0; y < h; ++y)
            for (int i = 0; i < 3 * w; ++i)
                picture[y * stride + i] =
                    static_cast<uint8_t>((seed = seed * 1664525u + 1013904223u) >> 24);
    }
    Complex& F(int ch, int fx, int fy) {
        return spectrum[ch * w * h + (fy + h / 2) * w + fx + w / 2];
    }
    void Forward() {
        ASSERT_TRUE(engine.Transform(picture.data(), spectrum.data(), map.data()));
        engine.MeasurePicture(picture.data());
    }
    void NormaliseAll() {
        for (int ch = 0; ch < 3; ++ch)
            engine.Normalise(spectrum.data(), ch, engine.Mean(ch), engine.Deviation(ch));
    }
    // Inverse transform rounded into a copy of the picture.
    std::vector<uint8_t> Back() {
        EXPECT_TRUE(engine.InverseTransform(real.data(), spectrum.data(), map.data()));
        std::vector<uint8_t> out = picture;
        engine.RealsToBytes(out.data(), real.data());
        return out;
    }
};

double Magnitude(const Complex& c) {
    return std::sqrt(c.SquaredMagnitude());
}

class Modify : public testing::Test {
protected:
    CScriptedUi m_ui;
    CUiScope m_scope{m_ui};
};

}  // namespace

TEST_F(Modify, DistributionsReshapeTheMagnitudeAndKeepThePhase) {
    const double p = 1.5;
    const struct {
        int kind;
        double (*magnitude)(double a, double r2);
    } kinds[] = {
        {1, [](double, double r2) { return 1.0 / std::sqrt(1.5 * 1.5 + r2); }},
        {2, [](double, double r2) { return 1.0 / (1.5 * 1.5 + r2); }},
        {3, [](double, double r2) { return std::pow(1.5 * 1.5 + r2, -1.5); }},
        {4, [](double, double r2) { return std::exp(-std::sqrt(r2) / 1.5); }},
        {5, [](double, double) { return 1.0; }},
        {6, [](double a, double) { return std::pow(a, 1.5); }},
    };
    for (const auto& k : kinds) {
        SCOPED_TRACE(k.kind);
        CModifyCase c(12, 8);
        c.FillRandom(77);
        c.Forward();
        // A frequency at the threshold and one below it are left alone.
        c.F(1, 3, 2) = Complex(1e-10, 0.0);  // S = 1e-20 exactly
        c.F(2, -4, 1) = Complex(0.0, 0.0);
        const std::vector<Complex> before = c.spectrum;
        c.engine.ApplyDistribution(c.spectrum.data(), p, CFourier::DistributionOfKind(k.kind));
        for (int ch = 0; ch < 3; ++ch) {
            for (int fy = -4; fy < 4; ++fy) {
                for (int fx = -6; fx < 6; ++fx) {
                    const Complex old = before[ch * 96 + (fy + 4) * 12 + fx + 6];
                    const Complex now = c.F(ch, fx, fy);
                    if ((fx == 0 && fy == 0) || old.SquaredMagnitude() <= 1e-20) {
                        ASSERT_EQ(now, old) << ch << " " << fx << "," << fy;
                        continue;
                    }
                    const double a = Magnitude(old);
                    const double want = k.magnitude(a, fx * fx + fy * fy);
                    ASSERT_NEAR(Magnitude(now), want, 1e-12 * std::max(1.0, want));
                    // Same phase: the new value is a positive multiple of the old one.
                    ASSERT_NEAR(now.re * old.im - now.im * old.re, 0.0, 1e-9 * a * want);
                    ASSERT_GT(now.re * old.re + now.im * old.im, 0.0);
                }
            }
        }
    }
    EXPECT_EQ(CFourier::DistributionOfKind(0), nullptr);
    EXPECT_EQ(CFourier::DistributionOfKind(7), nullptr);
    EXPECT_TRUE(m_ui.Events().empty());
}

TEST_F(Modify, AmplificationByOneAndNormaliseGiveThePictureBack) {
    CModifyCase c(20, 6);
    c.FillRandom(5);
    c.Forward();
    // Straight from the forward transform, the variation is the channel's deviation.
    for (int ch = 0; ch < 3; ++ch)
        EXPECT_NEAR(c.engine.Variation(c.spectrum.data(), ch), c.engine.Deviation(ch), 1e-9);
    c.engine.ApplyDistribution(c.spectrum.data(), 1.0, &CFourier::DistributionAmplify);
    c.NormaliseAll();
    EXPECT_EQ(c.Back(), c.picture);
}

TEST_F(Modify, ConstantDistributionEndsWithTheDeviationSpreadEvenly) {
    CModifyCase c(8, 4);
    c.FillRandom(11);
    c.Forward();
    c.engine.ApplyDistribution(c.spectrum.data(), 1.0, &CFourier::DistributionConstant);
    c.NormaliseAll();
    for (int ch = 0; ch < 3; ++ch) {
        EXPECT_DOUBLE_EQ(c.F(ch, 0, 0).re, c.engine.Mean(ch));
        const double each = c.engine.Deviation(ch) / std::sqrt(8.0 * 4.0 - 1.0);
        for (int fy = -2; fy < 2; ++fy)
            for (int fx = -4; fx < 4; ++fx)
                if (fx != 0 || fy != 0) {
                    EXPECT_NEAR(Magnitude(c.F(ch, fx, fy)), each, 1e-12);
                }
    }
}

TEST_F(Modify, NormaliseReportsATooSmallVariationAndKeepsFlatChannelsFlat) {
    CModifyCase c(8, 4);
    // Blue varies, green is flat at 90, red flat at 0.
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x) {
            c.Byte(x, y, 0) = static_cast<uint8_t>(x * 30);
            c.Byte(x, y, 1) = 90;
        }
    c.Forward();
    c.F(0, 0, 0).im = 0.25;  // the imaginary part of the DC is left alone
    c.NormaliseAll();
    EXPECT_TRUE(m_ui.Events().empty());  // 0 is not below 0 * 1e-30
    EXPECT_DOUBLE_EQ(c.F(0, 0, 0).im, 0.25);
    for (int ch = 1; ch < 3; ++ch)
        for (int fy = -2; fy < 2; ++fy)
            for (int fx = -4; fx < 4; ++fx)
                if (fx != 0 || fy != 0) {
                    EXPECT_EQ(c.F(ch, fx, fy), Complex(0, 0));
                }
    const std::vector<uint8_t> back = c.Back();
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x) {
            EXPECT_EQ(back[3 * x + y * c.stride], x * 30);
            EXPECT_EQ(back[1 + 3 * x + y * c.stride], 90);
            EXPECT_EQ(back[2 + 3 * x + y * c.stride], 0);
        }

    // A target above a vanished variation: reported once per channel, variation taken as 1.
    c.engine.SetOneFrequency(c.spectrum.data(), 0, 0);
    for (int ch = 0; ch < 3; ++ch) c.engine.Normalise(c.spectrum.data(), ch, 10.0 * ch, 5.0);
    EXPECT_EQ(m_ui.Messages(), std::vector<std::string>(3, "Too small variation, result set at 1"));
    for (int ch = 0; ch < 3; ++ch) EXPECT_EQ(c.F(ch, 0, 0), Complex(10.0 * ch, 0.0));
}

TEST_F(Modify, OneFrequencyBecomesAPlaneWaveAroundTheMean) {
    CModifyCase c(12, 8);
    c.FillRandom(3);
    c.Forward();
    c.engine.SetOneFrequency(c.spectrum.data(), 2, -1);
    for (int ch = 0; ch < 3; ++ch) {
        double sum = 0.0;
        for (int fy = -4; fy < 4; ++fy)
            for (int fx = -6; fx < 6; ++fx) sum += Magnitude(c.F(ch, fx, fy));
        EXPECT_EQ(sum, 1.0);
        EXPECT_EQ(c.F(ch, 2, -1), Complex(1, 0));
    }
    c.NormaliseAll();
    EXPECT_TRUE(m_ui.Events().empty());
    c.Back();
    // Centred spectrum: pixel (x, y) carries (-1)^(x+y) (1 cos term) of the wave.
    for (int ch = 0; ch < 3; ++ch) {
        const double mean = c.engine.Mean(ch), dev = c.engine.Deviation(ch);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 12; ++x) {
                const double angle = 2 * M_PI * (2.0 * (x - 6) / 12 - 1.0 * (y - 4) / 8);
                const double want = mean + dev * std::cos(angle);
                EXPECT_NEAR(c.real[ch + 3 * x + y * c.stride], want, 1e-9) << x << "," << y;
            }
    }

    // Out of the spectrum: every value is 0.
    c.engine.SetOneFrequency(c.spectrum.data(), 6, 0);
    for (const Complex& v : c.spectrum) ASSERT_EQ(v, Complex(0, 0));
}

TEST_F(Modify, ScaledFrequenciesMoveToDividedOrMultipliedPlaces) {
    CModifyCase c(12, 8);
    c.FillRandom(21);
    c.Forward();
    const std::vector<Complex> original = c.spectrum;
    std::vector<Complex> scratch(12 * 8);
    auto old = [&](int ch, int fx, int fy) { return original[ch * 96 + (fy + 4) * 12 + fx + 6]; };

    // Double, then half: the band |fx| < W/4, |fy| < H/4 comes back, the rest is 0.
    c.engine.ScaleFrequencies(c.spectrum.data(), scratch.data(), 1);
    for (int ch = 0; ch < 3; ++ch)
        for (int fy = -4; fy < 4; ++fy)
            for (int fx = -6; fx < 6; ++fx) {
                const bool moved = fx % 2 == 0 && fy % 2 == 0 && (fx != 0 || fy != 0);
                ASSERT_EQ(c.F(ch, fx, fy), moved ? old(ch, fx / 2, fy / 2) : Complex(0, 0));
            }
    c.engine.ScaleFrequencies(c.spectrum.data(), scratch.data(), 0);
    for (int ch = 0; ch < 3; ++ch)
        for (int fy = -4; fy < 4; ++fy)
            for (int fx = -6; fx < 6; ++fx) {
                const bool kept = fx >= -3 && fx < 3 && fy >= -2 && fy < 2 && (fx != 0 || fy != 0);
                ASSERT_EQ(c.F(ch, fx, fy), kept ? old(ch, fx, fy) : Complex(0, 0));
            }

    // Third of frequency: each takes the value three times higher.
    c.spectrum = original;
    c.engine.ScaleFrequencies(c.spectrum.data(), scratch.data(), 2);
    EXPECT_EQ(c.F(0, 1, 1), old(0, 3, 3));
    EXPECT_EQ(c.F(2, -2, 0), old(2, -6, 0));
    EXPECT_EQ(c.F(1, 2, 0), Complex(0, 0));  // 6 lies outside
    EXPECT_EQ(c.F(1, 0, 0), Complex(0, 0));
    // Triple frequency: each goes three times higher.
    c.spectrum = original;
    c.engine.ScaleFrequencies(c.spectrum.data(), scratch.data(), 3);
    EXPECT_EQ(c.F(1, -3, 3), old(1, -1, 1));
    EXPECT_EQ(c.F(1, -1, 1), Complex(0, 0));

    EXPECT_EQ(m_ui.Messages(),
              (std::vector<std::string>{
                  "ModifyFreq2 Modify 1, Factor 2", "ModifyFreq2 Modify 0, Factor 2",
                  "ModifyFreq2 Modify 0, Factor 3", "ModifyFreq2 Modify 1, Factor 3"}));
}

TEST_F(Modify, ShiftMovesThePictureCyclically) {
    CModifyCase c(12, 8);
    c.FillRandom(8);
    c.Forward();
    const std::vector<Complex> original = c.spectrum;
    // Whole turns leave the picture as it was.
    for (const auto& [dx, dy] : {std::pair{12, 0}, std::pair{0, 8}, std::pair{-24, 16}}) {
        c.spectrum = original;
        c.engine.ShiftPicture(c.spectrum.data(), dx, dy);
        EXPECT_EQ(c.Back(), c.picture) << dx << "," << dy;
    }
    // The driver passes (-X, -Y): the content moves X columns right and Y rows on.
    c.spectrum = original;
    c.engine.ShiftPicture(c.spectrum.data(), -5, -3);
    const std::vector<uint8_t> moved = c.Back();
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 12; ++x)
            for (int ch = 0; ch < 3; ++ch)
                ASSERT_EQ(moved[ch + 3 * ((x + 5) % 12) + ((y + 3) % 8) * c.stride],
                          c.Byte(x, y, ch))
                    << x << "," << y;
}
