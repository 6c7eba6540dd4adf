// zelvanto-cli's document commands, open and fourier, driven as a user would.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "image/bmp_file.h"
#include "image/dib.h"
#include "support/cli_run.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

using Result = CliResult;

std::string ReadFile(const fs::path& p) {
    return ReadFileBytes(p);
}

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class CliFourier : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = TestTempDir(std::string("clif_") +
                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    }
    void TearDown() override { fs::remove_all(m_dir); }

    Result Run(const std::string& args) { return RunCli(m_dir, args); }

    std::string Path(const std::string& name) const { return (m_dir / name).string(); }

    // A 16 x 12 picture (N = 48) with structure in every channel.
    std::string WritePicture(const std::string& name, int seed = 0) {
        CScriptedUi ui;
        CUiScope scope(ui);
        DibHandle dib;
        EXPECT_EQ(NewGreyPicture(16, 12, dib), 1);
        uint8_t* pixels = PicturePixels(dib.Data(), 0);
        for (int32_t y = 0; y < 12; ++y)
            for (int32_t i = 0; i < 48; ++i)
                pixels[y * 48 + i] = static_cast<uint8_t>((i * i * 5 + y * 29 + seed) % 251);
        EXPECT_EQ(WriteBmpFile(Path(name), dib, 0), 1);
        return Path(name);
    }

    fs::path m_dir;
};

}  // namespace

TEST_F(CliFourier, OpenFitsTheSamplesAndSavesThePicture) {
    const std::string samples = ZELVANTO_SAMPLES_DIR;
    Result r = Run("open '" + samples + "/coffee.jpg' -o coffee.bmp --engine projection");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Has(r.out, "600 x 400, N = 1200 (projection engine, chosen)")) << r.out;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(fs::file_size(Path("coffee.bmp")), 54u + 600u * 400 * 3);

    // By size both photographs are the FFT engine's, and it takes them whole.
    r = Run("open '" + samples + "/chelsea.jpg' -o whole.bmp");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Has(r.out, "451 x 300 (fft engine, the exact engine takes no 451 x 300 picture)"))
        << r.out;
    EXPECT_EQ(fs::file_size(Path("whole.bmp")), 54u + 1356u * 300);

    // For the exact engine chelsea.jpg does not fit: the best size is taken, or a listed
    // one with --size (the sizes are the exact engine's, so --size takes it).
    r = Run("open '" + samples + "/chelsea.jpg' -o best.bmp --engine projection");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Has(r.out, "432 x 288, N = 864")) << r.out;
    r = Run("open '" + samples + "/chelsea.jpg' -o other.jpg --size 400x300");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Has(r.out, "400 x 300, N = 1200")) << r.out;
    r = Run("open '" + samples + "/chelsea.jpg' -o none.jpg --size 451x300");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Has(r.err, "451x300 is not among the sizes available: 432x288 400x300")) << r.err;
    EXPECT_FALSE(fs::exists(Path("none.jpg")));
    r = Run("open '" + samples + "/chelsea.jpg' -o none.jpg --size 400x300 --engine fft");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "--size chooses among the sizes of the projection engine; the fft engine takes "
              "the picture whole.\n");
    EXPECT_FALSE(fs::exists(Path("none.jpg")));

    const std::string picture = WritePicture("small.bmp");
    r = Run("open small.bmp -o copy.bmp");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(ReadFile(Path("copy.bmp")) == ReadFile(picture));

    r = Run("open notes.txt -o x.bmp");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, Path("notes.txt") +
                         " is not a file this program opens (.bmp, .jpg, .png, .ft or .stp).\n");
}

TEST_F(CliFourier, TheMainRoadGivesTheSamePictureTwiceAndKeepsTheSpectrumBesideTheInput) {
    const std::string picture = WritePicture("in.bmp");
    Result r = Run("fourier in.bmp --kind 1/r --param 2 -o once.bmp");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Has(r.out, "1/R Distribution done in")) << r.out;
    EXPECT_TRUE(Has(r.out, "Time elapsed, Fourier: 00 : 00 : 0")) << r.out;
    EXPECT_TRUE(Has(r.out, "Time elapsed, 1/R Distribution: 00 : 00 : 0")) << r.out;
    EXPECT_TRUE(Has(r.out, "Spectrum: " + Path("in.ft") + "\n")) << r.out;
    EXPECT_EQ(r.err, "Rename the CFourier transform file too? [No]\n");
    EXPECT_EQ(fs::file_size(Path("in.ft")), 8u + 48u * 16 * 12 + 24u);

    // The second run starts from the file and gives the same picture.
    r = Run("fourier in.bmp --kind 1 -o twice.bmp --no");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Has(r.out, "Time elapsed, Fourier: File Source")) << r.out;
    EXPECT_TRUE(ReadFile(Path("twice.bmp")) == ReadFile(Path("once.bmp")));
    EXPECT_FALSE(ReadFile(Path("once.bmp")) == ReadFile(picture));

    // (De) Amplification with P = 1 returns the picture's bytes.
    r = Run("fourier in.bmp --kind amplify --param 1 -o same.bmp");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(ReadFile(Path("same.bmp")) == ReadFile(picture));

    // The ".ft" opens as its own document and shows the picture it came from.
    r = Run("open in.ft -o shown.bmp");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Has(r.out, "Time elapsed, (De) Amplification: 00 : 00 : 0")) << r.out;
    EXPECT_TRUE(ReadFile(Path("shown.bmp")) == ReadFile(picture));
}

TEST_F(CliFourier, SaveAsMovesTheSpectrumOnYesAndKeepsItOtherwise) {
    WritePicture("a.bmp");
    Result r = Run("fourier a.bmp --kind 0 -o b.jpg --yes");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "Rename the CFourier transform file too? [Yes]\n");
    EXPECT_FALSE(fs::exists(Path("a.ft")));
    EXPECT_TRUE(fs::exists(Path("b.ft")));
    EXPECT_TRUE(Has(r.out, "Spectrum: " + Path("b.ft") + "\n")) << r.out;

    fs::create_directories(m_dir / "sub");
    r = Run("fourier a.bmp --kind 0 -o sub/c.bmp --no");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::exists(Path("a.ft")));
    EXPECT_TRUE(fs::exists(Path("sub/c.bmp")));
    EXPECT_FALSE(fs::exists(Path("sub/c.ft")));

    // Save Fourier Transform, then Save As, as on the desktop. Kept with No; with Yes it
    // moves to the new name and the document, closing, asks to delete it there.
    r = Run("fourier a.bmp --kind 0 -o d.bmp --save-ft kept.ft --no");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Has(r.out, "Spectrum saved: " + Path("kept.ft") + "\n")) << r.out;
    EXPECT_EQ(r.err, "Rename the CFourier transform file too? [No]\n");
    EXPECT_TRUE(ReadFile(Path("kept.ft")) == ReadFile(Path("a.ft")));
    r = Run("fourier a.bmp --kind 0 -o sub/e.bmp --save-ft gone.ft --yes");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err,
              "Rename the CFourier transform file too? [Yes]\n"
              "Delete CFourier Transform file:\n" +
                  Path("sub/e.ft") + " ? [Yes]\n");
    EXPECT_FALSE(fs::exists(Path("gone.ft")));
    EXPECT_FALSE(fs::exists(Path("sub/e.ft")));
    EXPECT_TRUE(fs::exists(Path("sub/e.bmp")));

    // A spectrum that cannot be written is no success: the reason, status 1, nothing saved.
    r = Run("fourier a.bmp --kind 0 -o f.bmp --save-ft missing/x.ft --no");
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(Has(r.out, "Spectrum saved")) << r.out;
    EXPECT_TRUE(Has(
        r.err, "Write CFourier error: " + Path("missing/x.ft") + ": No such file or directory\n"))
        << r.err;
    EXPECT_FALSE(fs::exists(Path("f.bmp")));
}

TEST_F(CliFourier, TheDialogsRangesAndChecksRefuseBadEntries) {
    WritePicture("p.bmp");
    Result r = Run("fourier p.bmp --kind one --x 8 --y 0 -o x.bmp");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "Freq X must be between or equal to -8 and 7\nFreq Y must be between or equal to "
              "-6 and 5\nOne Frequency was not done.\n");
    EXPECT_FALSE(fs::exists(Path("x.bmp")));
    r = Run("fourier p.bmp --kind 8 -o x.bmp");  // X and Y are checked for every choice
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Has(r.err, "ModifyFreq2 Modify 0, Factor 2\n")) << r.err;

    r = Run("fourier p.bmp --kind 1/e --param 0.001 -o x.bmp");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Has(r.err, "Please enter a number between 0.01 and 100000000.\n")) << r.err;

    r = Run("fourier p.bmp --kind constant --param 3 -o x.bmp");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "--param is not used by Constant Distribution.\n");
    r = Run("fourier p.bmp --kind half --x 1 -o x.bmp");
    EXPECT_EQ(r.status, 1);
    r = Run("fourier p.bmp --kind sideways -o x.bmp");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Has(r.err, "--kind takes 0 to 12")) << r.err;

    // A spectrum cut short after a right header counts as absent: computed and kept again.
    r = Run("fourier p.bmp --kind 2 -o first.bmp");
    ASSERT_EQ(r.status, 0) << r.err;
    const auto whole = fs::file_size(Path("p.ft"));
    std::ofstream(Path("p.ft"), std::ios::binary) << std::string("\x08\0\0\0\x06\0\0\0", 8);
    r = Run("fourier p.bmp --kind 2 -o again.bmp");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(Has(r.out + r.err, "File Source")) << r.out;
    EXPECT_EQ(fs::file_size(Path("p.ft")), whole);
    EXPECT_TRUE(ReadFile(Path("again.bmp")) == ReadFile(Path("first.bmp")));

    for (const char* command : {"open", "fourier"}) {
        r = Run(std::string(command) + " --help");
        EXPECT_EQ(r.status, 0) << command;
        EXPECT_TRUE(Has(r.out, "--size")) << command;
    }
}

TEST_F(CliFourier, ASpectrumIsUsedOnlyForThePictureItWasMadeFrom) {
    WritePicture("a.bmp", 0);
    WritePicture("b.bmp", 77);
    Result r = Run("fourier b.bmp --kind 1/r -o fresh_b.bmp --no");
    ASSERT_EQ(r.status, 0) << r.err;

    // The picture replaced under the same name: its spectrum is computed again.
    fs::copy_file(Path("a.bmp"), Path("p.bmp"));
    ASSERT_EQ(Run("fourier p.bmp --kind 1/r -o r1.bmp --no").status, 0);
    fs::copy_file(Path("b.bmp"), Path("p.bmp"), fs::copy_options::overwrite_existing);
    r = Run("fourier p.bmp --kind 1/r -o r2.bmp --no");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(Has(r.out, "File Source")) << r.out;
    EXPECT_TRUE(ReadFile(Path("r2.bmp")) == ReadFile(Path("fresh_b.bmp")));
    // Rewritten for the picture it now belongs to: the next run takes it.
    r = Run("fourier p.bmp --kind 1/r -o r3.bmp --no");
    EXPECT_TRUE(Has(r.out, "File Source")) << r.out;
    EXPECT_TRUE(ReadFile(Path("r3.bmp")) == ReadFile(Path("fresh_b.bmp")));

    // The program writing over its own picture.
    fs::copy_file(Path("a.bmp"), Path("s.bmp"));
    ASSERT_EQ(Run("fourier s.bmp --kind 0 -o s0.bmp --no").status, 0);
    ASSERT_EQ(Run("blur s.bmp -o s.bmp").status, 0);
    r = Run("fourier s.bmp --kind 1/r -o s1.bmp --no");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(Has(r.out, "File Source")) << r.out;

    // q.bmp and q.jpg share q.ft: each run gets its own picture's spectrum.
    fs::copy_file(Path("a.bmp"), Path("q.bmp"));
    ASSERT_EQ(Run("open b.bmp -o q.jpg").status, 0);
    ASSERT_EQ(Run("fourier q.jpg --kind 1/r -o j1.bmp --no").status, 0);
    ASSERT_EQ(Run("fourier q.bmp --kind 1/r -o b1.bmp --no").status, 0);
    r = Run("fourier q.jpg --kind 1/r -o j2.bmp --no");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(Has(r.out, "File Source")) << r.out;
    EXPECT_TRUE(ReadFile(Path("j2.bmp")) == ReadFile(Path("j1.bmp")));

    // A spectrum full of NaN under a right header (the older layout, newer than its picture)
    // is not used: the run computes the spectrum and says the file's name when it is opened.
    {
        std::ofstream ft(Path("b.ft"), std::ios::binary);
        ft << std::string("\x08\0\0\0\x06\0\0\0", 8);
        const std::string nan("\0\0\0\0\0\0\xf8\x7f", 8);
        for (int i = 0; i < 2 * 3 * 16 * 12; ++i) ft << nan;
    }
    r = Run("open b.ft -o shown.bmp");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Has(r.err, Path("b.ft") + ": the spectrum holds values that are not finite"))
        << r.err;
    r = Run("fourier b.bmp --kind 1/r -o nan.bmp --no");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(ReadFile(Path("nan.bmp")) == ReadFile(Path("fresh_b.bmp")));
}
