// The program's blur on small pictures: the paths, the weights, the wrap and "Within
// Size", the step limit, the pixels without a mean, and the threads.
#include "stamp/blur.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "fourier/fourier.h"
#include "image/dib.h"
#include "support/scripted_ui.h"

namespace {

// A picture of W x H pixels laid out as the engine lays it out, with its real planes.
struct CTestPicture {
    int32_t width, height, stride;
    std::vector<uint8_t> bytes;
    std::vector<double> real;

    CTestPicture(int32_t w, int32_t h, uint32_t seed = 1)
        : width(w), height(h), stride(RowBytes(w * 24)) {
        bytes.assign(static_cast<size_t>(stride) * h, 0);
        real.assign(bytes.size(), -1.0);
        std::mt19937 random(seed);
        for (int32_t y = 0; y < h; ++y)
            for (int32_t i = 0; i < 3 * w; ++i) bytes[y * stride + i] = random() & 0xff;
    }
    uint8_t Byte(int32_t x, int32_t y, int32_t c) const { return bytes[c + 3 * x + y * stride]; }
    double Real(int32_t x, int32_t y, int32_t c) const { return real[c + 3 * x + y * stride]; }
    void Blur(int32_t kind, int32_t steps, double attenuation, bool within, int32_t threads = 0) {
        BlurPicture(bytes.data(), real.data(), width, height, stride,
                    CBlurParameters{kind, steps, attenuation, within}, threads);
    }
    // Every real equals its own byte.
    bool Unchanged() const {
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = 0; x < width; ++x)
                for (int32_t c = 0; c < 3; ++c)
                    if (Real(x, y, c) != Byte(x, y, c)) return false;
        return true;
    }
};

int32_t Mod(int32_t v, int32_t n) {
    return ((v % n) + n) % n;
}

}  // namespace

TEST(Blur, OneStepNoWeightAndNoStepsLeaveThePicture) {
    CScriptedUi ui;
    CUiScope scope(ui);
    for (int32_t kind = 0; kind <= 4; ++kind) {
        CTestPicture p(6, 4, kind + 1);  // 6 wide: rows padded to 20 bytes
        p.Blur(kind, 1, 0.6, false);
        EXPECT_TRUE(p.Unchanged()) << "kind " << kind;
        CTestPicture q(8, 4, kind + 7);
        q.Blur(kind, 10, 0.0, false);  // only the pixel itself weighs anything
        EXPECT_TRUE(q.Unchanged()) << "kind " << kind;
    }
    // No sample at all, and weights 1 + (-1) = 0: the pixels keep their values instead of
    // becoming 0 / 0.
    for (int32_t steps : {0, -3}) {
        CTestPicture p(8, 4, 3);
        p.Blur(0, steps, 0.6, false);
        EXPECT_TRUE(p.Unchanged()) << steps;
    }
    CTestPicture cancel(8, 4, 4);
    cancel.Blur(0, 2, -1.0, false);
    EXPECT_TRUE(cancel.Unchanged());
    // With Within Size the last column has only itself (weight 1): -1 * 0 + b = b as well.
    CTestPicture within(8, 4, 5);
    within.Blur(0, 2, -1.0, true);
    EXPECT_TRUE(within.Unchanged());
    EXPECT_TRUE(ui.Messages().empty());
}

TEST(Blur, TwoStepsOfWeightOneAreTheMeanWithTheRightNeighbourWrappingOrNot) {
    CTestPicture p(8, 4, 11);
    p.Blur(0, 2, 1.0, false);
    CTestPicture w(8, 4, 11);
    w.Blur(0, 2, 1.0, true);
    for (int32_t y = 0; y < 4; ++y)
        for (int32_t x = 0; x < 8; ++x)
            for (int32_t c = 0; c < 3; ++c) {
                const double mean = (p.Byte(x, y, c) + p.Byte((x + 1) % 8, y, c)) / 2.0;
                EXPECT_EQ(p.Real(x, y, c), mean) << x << "," << y;
                // Rounded half up: 3.5 gives 4.
                EXPECT_EQ(ByteFromReal(p.Real(x, y, c)),
                          static_cast<uint8_t>(std::floor(mean + 0.5)));
                // Within Size: the last column's neighbour lies outside, so it keeps itself.
                EXPECT_EQ(w.Real(x, y, c), x == 7 ? w.Byte(x, y, c) : mean) << x << "," << y;
            }
}

TEST(Blur, SampleWeightsFallGeometricallyAlongEachKindsPath) {
    // Offsets of the first steps: (p, 0), (0, p), (p, p), (floor(10 sin p + 0.5), floor(10 cos
    // p + 0.5)) = (8, 5), (9, -4) and (floor(15 sin 2p + 0.5), ...) = (14, -6), (-11, -10).
    const int32_t offsets[5][2][2] = {{{1, 0}, {2, 0}},
                                      {{0, 1}, {0, 2}},
                                      {{1, 1}, {2, 2}},
                                      {{8, 5}, {9, -4}},
                                      {{14, -6}, {-11, -10}}};
    for (int32_t kind = 0; kind <= 4; ++kind) {
        CTestPicture p(16, 8, 20 + kind);
        p.Blur(kind, 3, 0.5, false);
        for (int32_t y = 0; y < 8; ++y)
            for (int32_t x = 0; x < 16; ++x)
                for (int32_t c = 0; c < 3; ++c) {
                    const auto& o = offsets[kind];
                    const double b0 = p.Byte(x, y, c);
                    const double b1 = p.Byte(Mod(x + o[0][0], 16), Mod(y + o[0][1], 8), c);
                    const double b2 = p.Byte(Mod(x + o[1][0], 16), Mod(y + o[1][1], 8), c);
                    EXPECT_NEAR(p.Real(x, y, c), (b0 + 0.5 * b1 + 0.25 * b2) / 1.75, 1e-12)
                        << "kind " << kind << " at " << x << "," << y;
                }
    }
}

TEST(Blur, MoreThanFortyStepsAreReducedWithAMessage) {
    CScriptedUi ui;
    CUiScope scope(ui);
    CTestPicture forty(32, 8, 9);
    forty.Blur(0, 40, 0.9, false);
    EXPECT_TRUE(ui.Messages().empty());
    CTestPicture fifty(32, 8, 9);
    fifty.Blur(0, 50, 0.9, false);
    ASSERT_EQ(ui.Messages(), std::vector<std::string>{"Blur modifier reduced"});
    EXPECT_EQ(forty.real, fifty.real);
    // And 40 steps do reach 39 columns along: 39 is not 38.
    CTestPicture thirtyNine(32, 8, 9);
    thirtyNine.Blur(0, 39, 0.9, false);
    EXPECT_NE(thirtyNine.real, forty.real);
}

TEST(Blur, AllThreadCountsGiveTheSerialLoopsBits) {
    CScriptedUi ui;
    CUiScope scope(ui);
    for (int32_t kind = 0; kind <= 4; ++kind)
        for (bool within : {false, true}) {
            CTestPicture serial(64, 48, 40 + kind);
            BlurPictureSerial(serial.bytes.data(), serial.real.data(), 64, 48, serial.stride,
                              CBlurParameters{kind, 40, 0.93, within});
            for (int32_t threads : {1, 2, 3}) {
                CTestPicture p(64, 48, 40 + kind);
                p.Blur(kind, 40, 0.93, within, threads);
                EXPECT_EQ(0, std::memcmp(p.real.data(), serial.real.data(),
                                         p.real.size() * sizeof(double)))
                    << "kind " << kind << " within " << within << " threads " << threads;
            }
        }
}

TEST(BlurPaths, OneTableNamesEveryPathByNumberCaptionAndCommandLineName) {
    const char* captions[] = {"Blur Horizontal", "Blur Vertical", "Blur Right Down", "Blur Random",
                              "Blur 5"};
    ASSERT_EQ(BlurPathRows().size(), 5u);
    for (const CBlurPathRow& row : BlurPathRows()) {
        EXPECT_STREQ(row.caption, captions[row.kind]);
        EXPECT_EQ(row.radioId, 143 + row.kind);
        EXPECT_EQ(FindBlurPath(row.kind), &row);
        EXPECT_EQ(BlurPathByName(std::to_string(row.kind)), row.kind);
        EXPECT_EQ(BlurPathByName(row.cliName), row.kind);
    }
    // "Blur 5" is both "five" and "5"; names are taken in any case.
    EXPECT_EQ(BlurPathByName("five"), 4);
    EXPECT_EQ(BlurPathByName("5"), 4);
    EXPECT_EQ(BlurPathByName("Right-Down"), 2);
    EXPECT_EQ(BlurPathByName("RANDOM"), 3);
    for (const char* refused : {"", "6", "-1", "04", "blur 5", "horizontal ", "diagonal"})
        EXPECT_EQ(BlurPathByName(refused), std::nullopt) << refused;
    EXPECT_EQ(FindBlurPath(5), nullptr);
    EXPECT_EQ(BlurPathNameList(),
              "0 horizontal, 1 vertical, 2 right-down, 3 random, 4 five (or 5)");

    // The offsets walked are the table's: the first is the pixel itself.
    std::vector<int32_t> dx, dy;
    BlurPathOffsets(4, 3, dx, dy);
    EXPECT_EQ(dx, (std::vector<int32_t>{0, 14, -11}));
    EXPECT_EQ(dy, (std::vector<int32_t>{0, -6, -10}));
    BlurPathOffsets(7, 3, dx, dy);
    EXPECT_EQ(dx, (std::vector<int32_t>{0, 0, 0}));
}

TEST(BlurPaths, TheRulesKeepEveryBlurredValueFinite) {
    EXPECT_EQ(CheckBlurValues(0, 1, 0.6), "");
    EXPECT_EQ(CheckBlurValues(4, 50, -1000.0), "");  // more than 40 steps are reduced later
    EXPECT_EQ(CheckBlurValues(3, 10, 1000.0), "");
    EXPECT_EQ(CheckBlurValues(5, 10, 0.6), "The blur kind must be 0 to 4, not 5.");
    EXPECT_EQ(CheckBlurValues(0, 0, 0.6), "Blur Steps must be at least 1, not 0.");
    EXPECT_EQ(CheckBlurValues(0, 10, 1e308),
              "Blur Attenuation must be a number from -1000 to 1000, not 1e+308.");
    EXPECT_EQ(CheckBlurValues(0, 10, NAN),
              "Blur Attenuation must be a number from -1000 to 1000, not nan.");
    EXPECT_EQ(CheckBlurValues(0, 10, -INFINITY),
              "Blur Attenuation must be a number from -1000 to 1000, not -inf.");

    // The largest attenuation along the longest path: every value a weighted mean.
    CTestPicture p(16, 8, 7);
    p.Blur(3, 40, 1000.0, false);
    for (double v : p.real) EXPECT_TRUE(std::isfinite(v) && v >= 0.0 && v <= 255.0) << v;
}
