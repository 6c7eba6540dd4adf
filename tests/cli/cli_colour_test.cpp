// zelvanto-cli's measuring and colour commands: ratio, compare, colour, set-original,
// undo-colour and restore-original, driven as a user would.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "image/bmp_file.h"
#include "image/dib.h"
#include "support/cli_run.h"
#include "support/pictures.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

class CliColour : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = TestTempDir(std::string("clic_") +
                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    }
    void TearDown() override { fs::remove_all(m_dir); }

    CliResult Run(const std::string& args) { return RunCli(m_dir, args); }
    std::string Path(const std::string& name) const { return (m_dir / name).string(); }

    // A 16 x 12 picture of one grey value, or with a spread when value is negative.
    std::string WritePicture(const std::string& name, int value) {
        CScriptedUi ui;
        CUiScope scope(ui);
        DibHandle dib;
        EXPECT_EQ(NewGreyPicture(16, 12, dib), 1);
        uint8_t* pixels = PicturePixels(dib.Data(), 0);
        for (int32_t y = 0; y < 12; ++y)
            for (int32_t i = 0; i < 48; ++i)
                pixels[y * 48 + i] =
                    static_cast<uint8_t>(value >= 0 ? value : 20 + (i * 5 + y * 11) % 200);
        EXPECT_EQ(WriteBmpFile(Path(name), dib, 0), 1);
        return Path(name);
    }
    std::vector<uint8_t> Read(const std::string& name) {
        CScriptedUi ui;
        CUiScope scope(ui);
        DibHandle dib;
        CSize size;
        EXPECT_EQ(ReadBmpFile(Path(name), dib, size), 1);
        return dib.IsNull() ? std::vector<uint8_t>{} : PictureBytes(dib);
    }

    fs::path m_dir;
};

}  // namespace

TEST_F(CliColour, ColourSetsTheGivenValuesAndKeepsTheOthers) {
    WritePicture("grey.bmp", 128);
    CliResult r = Run("colour grey.bmp --light 100 -o light.bmp");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Read("light.bmp"), std::vector<uint8_t>(48 * 12, 255));
    r = Run("colour grey.bmp --light -100 -o dark.bmp");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Read("dark.bmp"), std::vector<uint8_t>(48 * 12, 0));
    r = Run("colour grey.bmp --gamma 25 -o g25.bmp");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Read("g25.bmp"), std::vector<uint8_t>(48 * 12, 26));
    r = Run("colour grey.bmp --gamma 75 --red-average 10 -o g75.bmp");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<uint8_t> g75 = Read("g75.bmp");
    ASSERT_EQ(g75.size(), 48u * 12);
    EXPECT_EQ(g75[0], 230);
    EXPECT_EQ(g75[1], 230);
    EXPECT_EQ(g75[2], 255);  // 230 + 25.5 clamped

    // Outside a trackbar's range: refused before anything is opened.
    r = Run("colour grey.bmp --gamma 101 -o bad.bmp");
    EXPECT_NE(r.status, 0);
    EXPECT_FALSE(fs::exists(Path("bad.bmp")));
}

TEST_F(CliColour, UndoColourNeedsAnAcceptedChange) {
    WritePicture("grey.bmp", 128);
    const CliResult r = Run("undo-colour grey.bmp -o undone.bmp");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Undo Color is not available"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(Path("undone.bmp")));
    // Set Original and the '+' key give the opened picture back.
    WritePicture("spread.bmp", -1);
    ASSERT_EQ(Run("set-original spread.bmp -o same.bmp").status, 0);
    EXPECT_EQ(Read("same.bmp"), Read("spread.bmp"));
    ASSERT_EQ(Run("restore-original spread.bmp -o back.bmp").status, 0);
    EXPECT_EQ(Read("back.bmp"), Read("spread.bmp"));
}

TEST_F(CliColour, CompareShowsTheDifferenceOrRefusesAReferenceThatDoesNotFit) {
    WritePicture("a.bmp", 100);
    WritePicture("b.bmp", 93);
    CliResult r = Run("compare a.bmp --reference b.bmp -o c.bmp");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Read("c.bmp"), std::vector<uint8_t>(48 * 12, 255));
    r = Run("compare b.bmp --reference a.bmp -o d.bmp");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Read("d.bmp"), std::vector<uint8_t>(48 * 12, 0));
    r = Run("compare a.bmp --reference a.bmp -o e.bmp");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Read("e.bmp"), std::vector<uint8_t>(48 * 12, 127));

    r = Run("compare a.bmp --reference '' -o f.bmp");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("The Compare filename is still empty. Use the 'Zelvanto... ' menu item "
                         "to give it the right value."),
              std::string::npos)
        << r.err;
    EXPECT_FALSE(fs::exists(Path("f.bmp")));

    {
        CScriptedUi ui;
        CUiScope scope(ui);
        DibHandle small;
        ASSERT_EQ(NewGreyPicture(8, 12, small), 1);
        ASSERT_EQ(WriteBmpFile(Path("small.bmp"), small, 0), 1);
    }
    r = Run("compare a.bmp --reference small.bmp -o g.bmp");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("is 8 x 12 pixels of 24 bits; Compare needs a reference of 16 x 12"),
              std::string::npos)
        << r.err;
    EXPECT_FALSE(fs::exists(Path("g.bmp")));
}

TEST_F(CliColour, RatioPrintsTheThreeLinesOnceTheSpectrumIsKept) {
    WritePicture("p.bmp", -1);
    CliResult r = Run("ratio p.bmp");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Read CFourier error, or CFourier not made yet."), std::string::npos);
    ASSERT_EQ(Run("fourier p.bmp --kind fourier -o q.bmp").status, 0);
    ASSERT_TRUE(fs::exists(Path("p.ft")));
    r = Run("ratio p.bmp");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::regex lines(
        "(.|\n)*\nRatio Red [0-9]\\.[0-9]{3}e[-+][0-9]{2}\nRatio Green [0-9]\\.[0-9]{3}e[-+][0-9]"
        "{2}\nRatio Blue [0-9]\\.[0-9]{3}e[-+][0-9]{2}\n");
    EXPECT_TRUE(std::regex_match(r.out, lines)) << r.out;
}
