// The colour dialog's road through a document (live changes, OK, Cancel, Undo Color) and
// the measuring commands Ratio Frequency and Compare Result, with the scripted port.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "document/colour.h"
#include "document/zelvan_doc.h"
#include "image/bmp_file.h"
#include "stamp/ratio_compare.h"
#include "support/pictures.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

class ColourDoc : public testing::Test {
protected:
    void SetUp() override {
        m_dir = TestTempDir(std::string("colour_doc_") +
                            testing::UnitTest::GetInstance()->current_test_info()->name());
    }
    void TearDown() override {
        std::error_code error;
        fs::remove_all(m_dir, error);
    }
    std::string Path(const std::string& name) const { return (m_dir / name).string(); }

    // A 16 x 12 picture with a spread in every channel.
    std::string WritePicture(const std::string& name, int shift = 0) {
        DibHandle dib;
        EXPECT_EQ(NewGreyPicture(16, 12, dib), 1);
        uint8_t* pixels = PicturePixels(dib.Data(), 0);
        for (int32_t y = 0; y < 12; ++y)
            for (int32_t i = 0; i < 48; ++i)
                pixels[y * 48 + i] = static_cast<uint8_t>(30 + (i * 7 + y * 13) % 190 + shift);
        const std::string path = Path(name);
        EXPECT_EQ(WriteBmpFile(path, dib, 0), 1);
        return path;
    }
    void Open(CZelvanDoc& doc) {
        ASSERT_TRUE(doc.OnOpenDocument(WritePicture("p.bmp")));
        m_ui.Clear();
    }

    CScriptedUi m_ui;
    CUiScope m_scope{m_ui};
    fs::path m_dir;
};

}  // namespace

TEST_F(ColourDoc, CancelAfterLiveChangesBringsBackValuesAndPicture) {
    CZelvanDoc doc;
    Open(doc);
    const std::vector<uint8_t> before = PictureBytes(doc.m_hDIB);
    ColorSettings undo;
    undo.m_nGamma = 40;
    doc.m_colorPrevious = undo;
    ColorSettings opened = doc.m_colorCurrent;
    opened.m_nLight = 0;

    CColourSession session(doc);
    ColorSettings live = doc.m_colorCurrent;
    live.m_nLight = 30;
    EXPECT_TRUE(session.Apply(live));
    const std::vector<uint8_t> lighter = PictureBytes(doc.m_hDIB);
    EXPECT_NE(lighter, before);
    live.m_nGamma = 70;
    live.m_nRedVariation = 60;
    EXPECT_TRUE(session.Apply(live));
    EXPECT_NE(PictureBytes(doc.m_hDIB), lighter);
    // The same values again compute nothing.
    EXPECT_FALSE(session.Apply(live));
    EXPECT_EQ(doc.m_colorCurrent, live);

    session.Cancel();
    EXPECT_EQ(doc.m_colorCurrent, opened);
    EXPECT_EQ(doc.m_colorPrevious, undo);
    EXPECT_FALSE(doc.m_bColorUndo);
    EXPECT_EQ(PictureBytes(doc.m_hDIB), before);
    EXPECT_TRUE(m_ui.Messages().empty());
}

TEST_F(ColourDoc, OkThenUndoColorRestoresAndASecondUndoIsRefused) {
    CZelvanDoc doc;
    Open(doc);
    const std::vector<uint8_t> before = PictureBytes(doc.m_hDIB);
    EXPECT_EQ(UndoColour(doc), 0);

    CColourSession session(doc);
    ColorSettings chosen;
    chosen.m_nContrast = 0;
    chosen.m_nBlueAverage = -10;
    session.Apply(chosen);
    session.Ok(chosen);
    EXPECT_TRUE(doc.m_bColorUndo);
    EXPECT_EQ(doc.m_colorCurrent, chosen);
    EXPECT_EQ(doc.m_colorPrevious, ColorSettings{});
    // Contrast 0: every channel flat at its mean (blue 25.5 lower).
    const std::vector<uint8_t> flat = PictureBytes(doc.m_hDIB);
    EXPECT_EQ(flat[0], ByteFromReal(doc.m_fourier.Mean(0) - 25.5));
    EXPECT_EQ(flat[3 * 7 + 1], ByteFromReal(doc.m_fourier.Mean(1)));
    EXPECT_EQ(flat[48 * 11 + 2], ByteFromReal(doc.m_fourier.Mean(2)));

    EXPECT_EQ(UndoColour(doc), 1);
    EXPECT_FALSE(doc.m_bColorUndo);
    EXPECT_EQ(doc.m_colorCurrent, ColorSettings{});
    EXPECT_EQ(PictureBytes(doc.m_hDIB), before);
    EXPECT_EQ(UndoColour(doc), 0);
    EXPECT_EQ(PictureBytes(doc.m_hDIB), before);
}

TEST_F(ColourDoc, ColourWithoutAnOriginalSaysSoAndKeepsThePicture) {
    CZelvanDoc doc;
    Open(doc);
    const std::vector<uint8_t> before = PictureBytes(doc.m_hDIB);
    doc.m_hOriginal.Free();
    doc.m_colorCurrent.m_nLight = 50;
    doc.RunOperation('x');
    EXPECT_EQ(m_ui.Messages(), std::vector<std::string>{"m_hOriginal ==NULL"});
    EXPECT_FALSE(doc.LastRunCompleted());
    EXPECT_EQ(PictureBytes(doc.m_hDIB), before);
}

TEST_F(ColourDoc, RatioNeedsTheFourierFileThenShowsItsText) {
    CZelvanDoc doc;
    Open(doc);
    EXPECT_EQ(doc.OnRatioFrequency(), 0);
    EXPECT_EQ(m_ui.Messages(),
              std::vector<std::string>{"Read CFourier error, or CFourier not made yet."});
    EXPECT_TRUE(doc.m_strRatioText.empty());

    m_ui.ScriptFourierOperations(0);
    doc.RunOperation(0);
    ASSERT_TRUE(fs::exists(Path("p.ft")));
    m_ui.Clear();
    EXPECT_EQ(doc.OnRatioFrequency(), 1);
    ASSERT_EQ(m_ui.Messages().size(), 1u);
    EXPECT_EQ(m_ui.Messages()[0], doc.m_strRatioText);
    const std::regex line(
        "Ratio Red [0-9]\\.[0-9]{3}e[-+][0-9]{2}\nRatio Green [0-9]\\.[0-9]{3}"
        "e[-+][0-9]{2}\nRatio Blue [0-9]\\.[0-9]{3}e[-+][0-9]{2}");
    EXPECT_TRUE(std::regex_match(doc.m_strRatioText, line)) << doc.m_strRatioText;
}

TEST_F(ColourDoc, CompareNeedsANameShowsMidGreyForItselfAndColourBringsTheResultBack) {
    CZelvanDoc doc;
    Open(doc);
    const std::vector<uint8_t> before = PictureBytes(doc.m_hDIB);
    EXPECT_EQ(doc.OnCompareResult(), 0);
    EXPECT_EQ(m_ui.Messages(), std::vector<std::string>{kCompareNameEmpty});
    EXPECT_EQ(PictureBytes(doc.m_hDIB), before);

    // The picture's own file: the Result samples are its bytes.
    m_ui.Clear();
    doc.m_strCompareFile = Path("p.bmp");
    EXPECT_EQ(doc.OnCompareResult(), 1);
    EXPECT_TRUE(m_ui.Messages().empty());
    const std::vector<uint8_t> compared = PictureBytes(doc.m_hDIB);
    for (int32_t y = 0; y < 12; ++y)
        for (int32_t i = 0; i < 48; ++i) ASSERT_EQ(compared[y * 48 + i], 127);

    // One grey level darker reference: +1 everywhere shows 147.
    doc.m_strCompareFile = WritePicture("darker.bmp", -1);
    EXPECT_EQ(doc.OnCompareResult(), 1);
    EXPECT_EQ(PictureBytes(doc.m_hDIB), std::vector<uint8_t>(before.size(), 147));

    // The Result samples were not touched: the colour operation rebuilds the picture.
    doc.RunOperation('X');
    EXPECT_EQ(PictureBytes(doc.m_hDIB), before);
}
