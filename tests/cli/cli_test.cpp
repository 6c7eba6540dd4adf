// Drives the zelvanto-cli executable as a user would and checks what it prints,
// writes and returns.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "fourier/complex.h"
#include "image/bmp_file.h"
#include "image/dib.h"
#include "platform/byte_order.h"
#include "support/cli_run.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

using Result = CliResult;

std::string ReadFile(const fs::path& p) {
    return ReadFileBytes(p);
}

class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_dir = TestTempDir(std::string("cli_") + info->name());
    }
    void TearDown() override { fs::remove_all(m_dir); }

    Result Run(const std::string& args) { return RunCli(m_dir, args); }

    std::string Path(const std::string& name) const { return (m_dir / name).string(); }

    // A 24-bit picture whose bytes are given by a function of (byte index in row, row).
    std::string WritePicture(const std::string& name, int32_t w, int32_t h,
                             uint8_t (*value)(int32_t, int32_t)) {
        CScriptedUi ui;
        CUiScope scope(ui);
        DibHandle dib;
        EXPECT_EQ(NewGreyPicture(w, h, dib), 1);
        uint8_t* pixels = PicturePixels(dib.Data(), 0);
        const int32_t rowBytes = RowBytes(w * 24);
        for (int32_t y = 0; y < h; ++y)
            for (int32_t i = 0; i < 3 * w; ++i) pixels[y * rowBytes + i] = value(i, y);
        const std::string path = Path(name);
        EXPECT_EQ(WriteBmpFile(path, dib, 0), 1);
        return path;
    }

    fs::path m_dir;
};

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

}  // namespace

TEST_F(CliTest, SizesListsTheCandidatesInTheirOrderAndTheChoice) {
    Result r = Run("sizes 700 700");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 21u) << r.out;
    EXPECT_EQ(lines[0], "X, 648, Y= 648");
    EXPECT_EQ(lines[1], "X, 640, Y= 640");
    EXPECT_EQ(lines[2], "X, 600, Y= 600");
    EXPECT_EQ(lines[3], "X, 540, Y= 648");
    EXPECT_EQ(lines[4], "X, 648, Y= 540");
    EXPECT_EQ(lines[20], "Chosen: 648 x 648, N = 648");

    r = Run("sizes 643 481");
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(Lines(r.out),
              (std::vector<std::string>{"X, 640, Y= 480", "Chosen: 640 x 480, N = 1920"}));

    r = Run("sizes 3 100");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("No working size fits a 3 x 100 picture."), std::string::npos);
}

TEST_F(CliTest, TransformOfTheFourByTwoPictureGivesItsCentredSpectrum) {
    // Blue bytes 10 20 30 40 in the first stored row, 50 60 70 80 in the second;
    // green and red stay 0.
    const std::string picture = WritePicture("small.bmp", 4, 2, [](int32_t i, int32_t y) {
        return static_cast<uint8_t>(i % 3 == 0 ? 10 * (i / 3 + 1) + 40 * y : 0);
    });
    Result r = Run("transform '" + picture + "' '" + Path("small.ft") + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Working size: 4 x 2, N = 4"), std::string::npos) << r.out;

    const std::string file = ReadFile(Path("small.ft"));
    ASSERT_EQ(file.size(), 8u + 48u * 8u + 24u);
    const auto* bytes = reinterpret_cast<const uint8_t*>(file.data());
    EXPECT_EQ(LoadLE32s(bytes), 2);
    EXPECT_EQ(LoadLE32s(bytes + 4), 1);
    auto entry = [&](int plane, int fx, int fy) {
        const size_t index = static_cast<size_t>(plane * 8 + (fy + 1) * 4 + (fx + 2));
        return Complex{LoadLEDouble(bytes + 8 + 16 * index), LoadLEDouble(bytes + 16 + 16 * index)};
    };
    const double tolerance = 1e-12;
    const struct {
        int fx, fy;
        double re, im;
    } expected[] = {{-2, 0, -5, 0}, {-1, 0, 5, 5},  {0, 0, 45, 0},  {1, 0, 5, -5},
                    {0, -1, 20, 0}, {-2, -1, 0, 0}, {-1, -1, 0, 0}, {1, -1, 0, 0}};
    for (const auto& e : expected) {
        const Complex c = entry(0, e.fx, e.fy);
        EXPECT_NEAR(c.re, e.re, tolerance) << e.fx << "," << e.fy;
        EXPECT_NEAR(c.im, e.im, tolerance) << e.fx << "," << e.fy;
    }
    for (int plane = 1; plane < 3; ++plane)
        for (int fy = -1; fy < 1; ++fy)
            for (int fx = -2; fx < 2; ++fx) {
                EXPECT_EQ(entry(plane, fx, fy).re, 0.0);
                EXPECT_EQ(entry(plane, fx, fy).im, 0.0);
            }

    r = Run("inverse '" + Path("small.ft") + "' '" + Path("back.bmp") + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFile(Path("back.bmp")), ReadFile(picture));
}

TEST_F(CliTest, TransformAndInverseReturnEveryByteOfAPhotograph) {
    const std::string photo = std::string(ZELVANTO_SAMPLES_DIR) + "/coffee_160x120.bmp";
    Result r = Run("transform '" + photo + "' '" + Path("coffee.ft") + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Working size: 160 x 120, N = 480"), std::string::npos) << r.out;
    EXPECT_EQ(fs::file_size(Path("coffee.ft")), 8u + 48u * 160u * 120u + 24u);

    r = Run("inverse '" + Path("coffee.ft") + "' '" + Path("coffee.bmp") + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFile(Path("coffee.bmp")), ReadFile(photo));
}

TEST_F(CliTest, TransformCutsToTheChosenSize) {
    // 30 x 14 does not fit: the best size is taken without --size, a listed size with it,
    // and a size that is not listed is refused.
    const std::string picture = WritePicture("odd.bmp", 30, 14, [](int32_t i, int32_t y) {
        return static_cast<uint8_t>((i * 7 + y * 13) % 256);
    });
    Result r = Run("transform '" + picture + "' '" + Path("odd.ft") + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Working size: 24 x 12, N = 24"), std::string::npos) << r.out;
    EXPECT_EQ(fs::file_size(Path("odd.ft")), 8u + 48u * 24u * 12u + 24u);

    r = Run("transform '" + picture + "' '" + Path("odd2.ft") + "' --size 20x12");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Working size: 20 x 12, N = 60"), std::string::npos) << r.out;

    // The cut keeps the first stored rows and the left columns.
    r = Run("inverse '" + Path("odd2.ft") + "' '" + Path("cut.bmp") + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    {
        CScriptedUi ui;
        CUiScope scope(ui);
        DibHandle dib;
        CSize size;
        ASSERT_EQ(ReadBmpFile(Path("cut.bmp"), dib, size), 1);
        EXPECT_EQ(size, (CSize{20, 12}));
        const uint8_t* pixels = PicturePixels(dib.Data(), 0);
        for (int32_t y = 0; y < 12; ++y)
            for (int32_t i = 0; i < 60; ++i)
                ASSERT_EQ(pixels[y * 60 + i], (i * 7 + y * 13) % 256) << i << "," << y;
    }

    r = Run("transform '" + picture + "' '" + Path("odd3.ft") + "' --size 22x12");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("22x12 is not among the sizes available:"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(Path("odd3.ft")));

    r = Run("transform '" + picture + "' '" + Path("odd3.ft") + "' --size 12by4");
    EXPECT_EQ(r.status, 1);
}

TEST_F(CliTest, MalformedInputsAreRefusedWithTheSystemsMessage) {
    const std::string truncatedJpeg = std::string(ZELVANTO_SAMPLES_DIR) + "/truncated.jpg";
    Result r = Run("transform '" + truncatedJpeg + "' '" + Path("t.ft") + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(r.err.empty());
    EXPECT_FALSE(fs::exists(Path("t.ft")));

    std::ofstream(Path("bad.bmp"), std::ios::binary) << "BM this is no bitmap";
    r = Run("convert '" + Path("bad.bmp") + "' '" + Path("bad.jpg") + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Failed to read 2: " + Path("bad.bmp") + "\n");

    r = Run("inverse '" + Path("missing.ft") + "' '" + Path("m.bmp") + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Read CFourier error: No such file or directory\n");

    // A header that promises more entries than the file holds.
    {
        std::ofstream ft(Path("short.ft"), std::ios::binary);
        const char header[8] = {4, 0, 0, 0, 2, 0, 0, 0};
        ft.write(header, 8);
        ft << std::string(100, '\0');
    }
    r = Run("inverse '" + Path("short.ft") + "' '" + Path("s.bmp") + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(fs::exists(Path("s.bmp")));

    // Half sizes no working size has (odd width) or far too large.
    for (const char* name : {"odd.ft", "huge.ft"}) {
        std::ofstream ft(Path(name), std::ios::binary);
        const char odd[8] = {3, 0, 0, 0, 2, 0, 0, 0};
        const char huge[8] = {0, 0, 0, 0x40, 0, 0, 0, 0x40};
        ft.write(std::string(name) == "odd.ft" ? odd : huge, 8);
    }
    for (const char* name : {"odd.ft", "huge.ft"}) {
        r = Run("inverse '" + Path(name) + "' '" + Path("x.bmp") + "'");
        EXPECT_EQ(r.status, 1) << name;
        const std::string expected =
            std::string("Error in CFourier file size data. ") + Path(name) +
            (std::string(name) == "odd.ft"
                 ? " holds 8 bytes; the spectrum of a 6 x 4 picture needs 1160.\n"
                 : ": the header's fields 1073741824 and 1073741824 name no picture of 1 to "
                   "134217728 pixels.\n");
        EXPECT_EQ(r.err, expected) << name;
    }

    r = Run("convert '" + Path("nothing.tga") + "' '" + Path("x.bmp") + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("is not a picture this program reads"), std::string::npos);
}

TEST_F(CliTest, ConvertGoesBothWaysBetweenBmpAndJpeg) {
    const std::string photo = std::string(ZELVANTO_SAMPLES_DIR) + "/coffee_160x120.bmp";
    Result r = Run("convert '" + photo + "' '" + Path("c.jpg") + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    r = Run("convert '" + Path("c.jpg") + "' '" + Path("c.bmp") + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(fs::file_size(Path("c.bmp")), fs::file_size(photo));

    // An existing file survives a write that cannot succeed.
    std::ofstream(Path("keep.txt")) << "keep";
    r = Run("convert '" + photo + "' '" + Path("keep.txt") + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(ReadFile(Path("keep.txt")), "keep");
}

TEST_F(CliTest, EveryCommandHasHelp) {
    for (const char* command : {"sizes", "transform", "inverse", "convert"}) {
        Result r = Run(std::string(command) + " --help");
        EXPECT_EQ(r.status, 0) << command;
        EXPECT_NE(r.out.find("Usage"), std::string::npos) << command;
    }
    EXPECT_NE(Run("").status, 0);
}

TEST_F(CliTest, TheFastEngineIsChosenOnTheCommandLineAndAgreesWithTheExactOne) {
    const std::string photo = std::string(ZELVANTO_SAMPLES_DIR) + "/coffee_160x120.bmp";
    Result r = Run("transform '" + photo + "' '" + Path("exact.ft") + "' --threads 1");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("(projection engine, by picture size)"), std::string::npos) << r.out;
    r = Run("transform '" + photo + "' '" + Path("fast.ft") + "' --engine fft");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("(fft engine, chosen)"), std::string::npos) << r.out;

    // The same layout and size, values equal to within 1e-9 of the largest magnitude.
    const std::string exact = ReadFile(Path("exact.ft"));
    const std::string fast = ReadFile(Path("fast.ft"));
    ASSERT_EQ(exact.size(), fast.size());
    ASSERT_EQ(exact.compare(0, 8, fast, 0, 8), 0);
    const auto* a = reinterpret_cast<const uint8_t*>(exact.data());
    const auto* b = reinterpret_cast<const uint8_t*>(fast.data());
    double largest = 0.0;
    double worst = 0.0;
    for (size_t offset = 8; offset + 8 <= exact.size(); offset += 8) {
        largest = std::max(largest, std::fabs(LoadLEDouble(a + offset)));
        worst = std::max(worst, std::fabs(LoadLEDouble(a + offset) - LoadLEDouble(b + offset)));
    }
    EXPECT_GT(largest, 1.0);
    EXPECT_LE(worst, 1e-9 * largest);

    r = Run("inverse '" + Path("fast.ft") + "' '" + Path("fast.bmp") + "' --engine fft");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string original = ReadFile(photo);
    const std::string back = ReadFile(Path("fast.bmp"));
    ASSERT_EQ(original.size(), back.size());
    int differing = 0;
    for (size_t i = 0; i < original.size(); ++i) differing += original[i] != back[i];
    EXPECT_LE(differing, 5);

    r = Run("transform '" + photo + "' '" + Path("x.ft") + "' --engine dft");
    EXPECT_NE(r.status, 0);
}
