// The operation driver through the scripted port: the Fourier run and its ".ft" file,
// Set One Frequency, showing a spectrum, restoring, cancelling, and the example files.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>

#include "document/zelvan_doc.h"
#include "fourier/fourier_dialogs.h"
#include "image/bmp_file.h"
#include "support/files.h"
#include "support/pictures.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;
using Kind = CScriptedUi::Kind;

namespace {

bool IsTimeText(const std::string& text) {
    return std::regex_match(text, std::regex("[0-9]{2,} : [0-5][0-9] : [0-5][0-9]"));
}

class Driver : public testing::Test {
protected:
    void SetUp() override {
        m_dir = TestTempDir(std::string("driver_") +
                            testing::UnitTest::GetInstance()->current_test_info()->name());
    }
    void TearDown() override {
        std::error_code error;
        fs::remove_all(m_dir, error);
    }
    std::string Path(const std::string& name) const { return (m_dir / name).string(); }

    // A 24-bit 16 x 12 picture (N = 48) with some structure in every channel.
    std::string WritePicture(const std::string& name, int32_t w = 16, int32_t h = 12) {
        DibHandle dib;
        EXPECT_EQ(NewGreyPicture(w, h, dib), 1);
        uint8_t* pixels = PicturePixels(dib.Data(), 0);
        for (int32_t y = 0; y < h; ++y)
            for (int32_t i = 0; i < 3 * w; ++i)
                pixels[y * RowBytes(w * 24) + i] =
                    static_cast<uint8_t>((i * i * 5 + y * 29 + (i % 3) * y * y) % 251);
        const std::string path = Path(name);
        EXPECT_EQ(WriteBmpFile(path, dib, 0), 1);
        return path;
    }

    // Opens a fresh picture and forgets what opening showed.
    void Open(CZelvanDoc& doc, const std::string& name = "p.bmp") {
        ASSERT_TRUE(doc.OnOpenDocument(WritePicture(name)));
        m_ui.Clear();
    }

    void Run(CZelvanDoc& doc, int32_t kind, std::optional<double> param = std::nullopt) {
        m_ui.ScriptFourierOperations(kind, param);
        doc.RunOperation(0);
    }

    CScriptedUi m_ui;
    CUiScope m_scope{m_ui};
    fs::path m_dir;
};

}  // namespace

TEST_F(Driver, FourierKindTransformsKeepsTheSpectrumBesideThePictureAndChangesNothingElse) {
    CZelvanDoc doc;
    Open(doc);
    const std::vector<uint8_t> before = PictureBytes(doc.m_hDIB);
    doc.m_colorCurrent.m_nResultShare = 40;

    // Cancel: nothing happens.
    m_ui.ScriptFourierOperations([](FourierSettings&) { return false; });
    doc.RunOperation(0);
    EXPECT_FALSE(fs::exists(Path("p.ft")));
    EXPECT_FALSE(doc.m_settings.m_bPresent);
    EXPECT_EQ(doc.m_colorCurrent.m_nResultShare, 40);

    Run(doc, 0);
    ASSERT_EQ(m_ui.FourierOpsShown().size(), 2u);
    EXPECT_FALSE(m_ui.FourierOpsShown()[1].m_bPresent);
    EXPECT_TRUE(doc.m_settings.m_bPresent);
    EXPECT_TRUE(IsTimeText(doc.m_settings.m_strSource)) << doc.m_settings.m_strSource;
    EXPECT_EQ(doc.m_colorCurrent.m_nResultShare, 100);
    EXPECT_EQ(PictureBytes(doc.m_hDIB), before);
    EXPECT_EQ(fs::file_size(Path("p.ft")), 8u + 48u * 16 * 12 + 24u);
    EXPECT_EQ(m_ui.Messages(), std::vector<std::string>{});

    // With a spectrum present kind 0 transforms again and rewrites the file.
    fs::remove(Path("p.ft"));
    Run(doc, 0);
    EXPECT_TRUE(m_ui.FourierOpsShown()[2].m_bPresent);
    EXPECT_TRUE(fs::exists(Path("p.ft")));
    EXPECT_EQ(PictureBytes(doc.m_hDIB), before);
}

TEST_F(Driver, ModificationsStartFromTheUntouchedSpectrumEveryTime) {
    CZelvanDoc doc;
    Open(doc);
    Run(doc, 1, 2.0);
    const std::string spectrum = ReadFileBytes(Path("p.ft"));
    const std::vector<uint8_t> once = PictureBytes(doc.m_hDIB);
    EXPECT_TRUE(IsTimeText(doc.m_settings.m_strTimeR1));
    EXPECT_TRUE(IsTimeText(doc.m_settings.m_strSource));
    EXPECT_TRUE(doc.IsModified());
    // The real picture holds the unrounded result.
    EXPECT_EQ(ByteFromReal(doc.m_hRealPicture.As<double>()[5]), once[5]);

    Run(doc, 1, 2.0);
    EXPECT_EQ(PictureBytes(doc.m_hDIB), once);
    EXPECT_TRUE(ReadFileBytes(Path("p.ft")) == spectrum);
    EXPECT_NE(once, PictureBytes(doc.m_hOriginal));

    // (De) Amplification with P = 1 gives the opened picture back, whatever came before.
    Run(doc, 6, 1.0);
    EXPECT_EQ(PictureBytes(doc.m_hDIB), PictureBytes(doc.m_hOriginal));
    EXPECT_TRUE(IsTimeText(doc.m_settings.m_strTimeAmplify));
    EXPECT_EQ(doc.m_settings.m_strTimeR2, "");

    // Each distribution kind keeps its own parameter and time.
    Run(doc, 4, 0.5);
    EXPECT_EQ(doc.m_settings.m_dParamE, 0.5);
    EXPECT_EQ(doc.m_settings.m_dParamR1, 2.0);
    EXPECT_TRUE(IsTimeText(doc.m_settings.m_strTimeE));
    EXPECT_EQ(m_ui.Messages(), std::vector<std::string>{});

    // Code 2 runs the settings without the dialog.
    doc.m_settings.m_nKind = 1;
    doc.RunOperation(2);
    EXPECT_EQ(PictureBytes(doc.m_hDIB), once);
    EXPECT_EQ(m_ui.FourierOpsShown().size(), 4u);
}

TEST_F(Driver, ARunThatCannotReadItsFourierFileLeavesThePictureAlone) {
    CZelvanDoc doc;
    Open(doc);
    Run(doc, 2, 1.0);
    const std::vector<uint8_t> result = PictureBytes(doc.m_hDIB);
    fs::remove(Path("p.ft"));
    m_ui.Clear();
    Run(doc, 6, 3.0);  // the buffer holds the 1/R² spectrum of the run before
    EXPECT_EQ(m_ui.Messages(),
              std::vector<std::string>{"Read CFourier error: No such file or directory"});
    EXPECT_FALSE(doc.LastRunCompleted());
    EXPECT_EQ(PictureBytes(doc.m_hDIB), result);
    EXPECT_EQ(doc.m_settings.m_strTimeAmplify, "");

    // When the file cannot be written at all, the spectrum this run has just computed
    // still serves.
    CZelvanDoc other;
    Open(other, "q.bmp");
    other.m_strFourierPath = Path("no/such/folder/q.ft");
    Run(other, 1, 2.0);
    EXPECT_EQ(m_ui.Messages(),
              std::vector<std::string>{"spectrum not kept: " + Path("no/such/folder/q.ft") +
                                       ": No such file or directory"});
    EXPECT_TRUE(other.LastRunCompleted());
    // Nothing holds that spectrum: the next run transforms again.
    EXPECT_FALSE(other.m_settings.m_bPresent);
    CZelvanDoc reference;
    Open(reference, "r.bmp");
    Run(reference, 1, 2.0);
    EXPECT_EQ(PictureBytes(other.m_hDIB), PictureBytes(reference.m_hDIB));
}

TEST_F(Driver, SetOneFrequencyChecksItsRangeAndRunsTheChosenOperation) {
    CZelvanDoc doc;
    Open(doc);
    int updates = 0;
    doc.AddViewListener([&updates](CZelvanDoc&) { ++updates; });
    const std::string refusal =
        "Freq X must be between or equal to -8 and 7\nFreq Y must be between or equal to -6 and 5";
    // X = W/2 is refused for every choice; the last refusal ends in Cancel.
    for (int choice = 0; choice <= 5; ++choice) {
        m_ui.ScriptNumberDialog(choice, 8, 0);
        doc.OnSetOneFrequency();
        ASSERT_EQ(m_ui.Messages().back(), refusal) << choice;
    }
    EXPECT_EQ(m_ui.Messages().size(), 6u);
    EXPECT_EQ(updates, 0);
    EXPECT_FALSE(doc.m_settings.m_bPresent);
    EXPECT_EQ(RememberedNumberChoice(), 0);

    // "Shift Picture" by (3, 2): the content moves 3 columns right and 2 rows on.
    const std::vector<uint8_t> before = PictureBytes(doc.m_hDIB);
    m_ui.Clear();
    m_ui.ScriptNumberDialog(3, 3, 2);
    doc.OnSetOneFrequency();
    EXPECT_EQ(updates, 1);
    EXPECT_EQ(doc.m_settings.m_nKind, 10);
    EXPECT_EQ(RememberedNumberChoice(), 3);
    EXPECT_GE(m_ui.WaitCount(), 1);
    EXPECT_EQ(m_ui.WaitDepth(), 0);
    const std::vector<uint8_t> after = PictureBytes(doc.m_hDIB);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 16; ++x)
            for (int c = 0; c < 3; ++c)
                ASSERT_EQ(after[c + 3 * ((x + 3) % 16) + 48 * ((y + 2) % 12)],
                          before[c + 3 * x + 48 * y]);
    EXPECT_EQ(doc.m_settings.m_strTimeR1, "");  // kinds 7 to 12 keep no time

    // The dialog shows the remembered choice and the frequency of the settings.
    m_ui.ScriptNumberDialog([](CNumberData&) { return false; });
    doc.OnSetOneFrequency();
    const CNumberData& shown = m_ui.NumberShown().back();
    EXPECT_EQ(shown.m_nChoice, 3);
    EXPECT_EQ(shown.m_nX, 3);
    EXPECT_EQ(shown.m_nY, 2);
    EXPECT_EQ(shown.m_nHalfWidth, 8);
    EXPECT_EQ(shown.m_nHalfHeight, 6);

    // "Half Frequency" reports its factor; "One Frequency" at (0, 0) gives a flat picture
    // of the mean colour with one report per channel.
    m_ui.Clear();
    m_ui.ScriptNumberDialog(1, 0, 0);
    doc.OnSetOneFrequency();
    EXPECT_EQ(m_ui.Messages(), std::vector<std::string>{"ModifyFreq2 Modify 0, Factor 2"});
    m_ui.Clear();
    m_ui.ScriptNumberDialog(0, 0, 0);
    doc.OnSetOneFrequency();
    EXPECT_EQ(m_ui.Messages(), std::vector<std::string>(3, "Too small variation, result set at 1"));
    const std::vector<uint8_t> flat = PictureBytes(doc.m_hDIB);
    for (int i = 0; i < 16 * 12 * 3; ++i)
        ASSERT_EQ(flat[i], ByteFromReal(doc.m_fourier.Mean(i % 3)));
    RememberNumberChoice(0);
}

TEST_F(Driver, AFourierFileOpensAsItsOwnDocumentAndShowsItsPicture) {
    CZelvanDoc doc;
    Open(doc, "source.bmp");
    Run(doc, 0);
    const std::vector<uint8_t> picture = PictureBytes(doc.m_hDIB);

    CZelvanDoc spectrum;
    ASSERT_TRUE(spectrum.OnOpenDocument(Path("source.ft")));
    EXPECT_EQ(spectrum.m_sizeDoc, (CSize{16, 12}));
    EXPECT_EQ(PictureBytes(spectrum.m_hDIB), picture);
    EXPECT_EQ(PictureBytes(spectrum.m_hOriginal), picture);
    EXPECT_TRUE(spectrum.m_settings.m_bPresent);
    EXPECT_EQ(spectrum.m_settings.m_strSource, "File Source");
    EXPECT_TRUE(IsTimeText(spectrum.m_settings.m_strTimeAmplify));
    EXPECT_EQ(spectrum.GetPathName(), Path("source.ft"));
    EXPECT_EQ(spectrum.GetTitle(), "source.ft");
    EXPECT_TRUE(spectrum.PictureFile().empty());
    EXPECT_EQ(spectrum.m_fourier.Mean(1), doc.m_fourier.Mean(1));

    // A modification of the opened spectrum starts from the file.
    m_ui.Clear();
    Run(spectrum, 1, 2.0);
    Run(doc, 1, 2.0);
    EXPECT_EQ(PictureBytes(spectrum.m_hDIB), PictureBytes(doc.m_hDIB));
    EXPECT_EQ(m_ui.Messages(), std::vector<std::string>{});

    // A file shorter than its header promises is refused before anything is made for it.
    {
        std::ofstream ft(Path("short.ft"), std::ios::binary);
        ft << ReadFileBytes(Path("source.ft")).substr(0, 100);
    }
    m_ui.Clear();
    CZelvanDoc broken;
    EXPECT_FALSE(broken.OnOpenDocument(Path("short.ft")));
    EXPECT_EQ(m_ui.Messages(),
              std::vector<std::string>{"Error in CFourier file size data. " + Path("short.ft") +
                                       " holds 100 bytes; the spectrum of a 16 x 12 picture "
                                       "needs 9224."});
    EXPECT_TRUE(broken.m_hDIB.IsNull());
}

TEST_F(Driver, CancelledRunsLeaveTheDocumentAsItWas) {
    CZelvanDoc doc;
    Open(doc);
    const std::vector<uint8_t> before = PictureBytes(doc.m_hDIB);
    const std::vector<double> reals(doc.m_hRealPicture.As<double>(),
                                    doc.m_hRealPicture.As<double>() + 48 * 12);

    // During the forward transform: no spectrum, no file.
    m_ui.CancelAtProgress(5);
    Run(doc, 1, 2.0);
    EXPECT_EQ(m_ui.ProgressReports(), 5);
    EXPECT_FALSE(doc.m_settings.m_bPresent);
    EXPECT_EQ(doc.m_settings.m_strSource, "");
    EXPECT_EQ(doc.m_settings.m_strTimeR1, "");
    EXPECT_FALSE(fs::exists(Path("p.ft")));
    EXPECT_EQ(PictureBytes(doc.m_hDIB), before);

    // During the inverse transform (the forward one reports 36 times, one per row and
    // channel): picture, real picture, flag and texts as they were.
    m_ui.Clear();
    m_ui.CancelAtProgress(40);
    doc.m_settings.m_nKind = 8;  // "Half Frequency" uses the real picture as scratch
    doc.RunOperation(2);
    EXPECT_EQ(m_ui.ProgressReports(), 40);
    EXPECT_FALSE(doc.m_settings.m_bPresent);
    EXPECT_EQ(doc.m_settings.m_strSource, "");
    EXPECT_EQ(PictureBytes(doc.m_hDIB), before);
    EXPECT_TRUE(std::equal(reals.begin(), reals.end(), doc.m_hRealPicture.As<double>()));

    // Uncancelled, the same run reports its progress through to the end.
    m_ui.Clear();
    m_ui.CancelAtProgress(0);
    Run(doc, 1, 2.0);
    EXPECT_EQ(m_ui.ProgressReports(), 72);
    EXPECT_TRUE(doc.m_settings.m_bPresent);
    EXPECT_TRUE(doc.LastRunCompleted());
    const std::vector<uint8_t> result = PictureBytes(doc.m_hDIB);
    m_ui.Clear();
    m_ui.CancelAtProgress(3);
    Run(doc, 1, 5.0);
    EXPECT_FALSE(doc.LastRunCompleted());
    EXPECT_TRUE(doc.m_settings.m_bPresent);
    EXPECT_EQ(PictureBytes(doc.m_hDIB), result);
}

TEST_F(Driver, ChecksRestoreAndCodesWithoutTheirToolsYet) {
    CZelvanDoc doc;
    Open(doc);
    Run(doc, 3, 1.0);
    ASSERT_NE(PictureBytes(doc.m_hDIB), PictureBytes(doc.m_hOriginal));
    m_ui.Clear();
    doc.RunOperation('p');
    EXPECT_EQ(PictureBytes(doc.m_hDIB), PictureBytes(doc.m_hOriginal));
    // The colour operation with its defaults shows the Result samples, now the Original's.
    for (const int32_t code : {int32_t{'Z'}, int32_t{'x'}}) doc.RunOperation(code);
    EXPECT_TRUE(m_ui.Events().empty());
    EXPECT_EQ(PictureBytes(doc.m_hDIB), PictureBytes(doc.m_hOriginal));

    // A picture that is not true colour gets its message whatever the code.
    doc.m_nBitCount = 8;
    doc.RunOperation(0);
    doc.RunOperation('P');
    EXPECT_EQ(m_ui.Messages(),
              std::vector<std::string>(
                  2, "Number of colors should be true color\n This file has   8  0"));
    EXPECT_EQ(m_ui.Events()[0].icon, MessageIcon::Exclamation);
    EXPECT_TRUE(m_ui.FourierOpsShown().empty());
}

TEST_F(Driver, ExampleFilesGetTheirFourierFileWhenTheyHaveTheDocumentsSize) {
    CZelvanDoc doc;
    Open(doc);
    const std::string good = WritePicture("good.bmp");
    WritePicture("wide.bmp", 20, 12);
    Complex* spectrum = doc.m_hSpectrum.As<Complex>();
    uint8_t* flags = doc.m_hFlags.Data();
    EXPECT_EQ(doc.EnsureFourierFile(Path("good.any"), 16, 12, spectrum, flags), 1);
    EXPECT_EQ(fs::file_size(Path("good.ft")), 8u + 48u * 16 * 12 + 24u);
    const std::string made = ReadFileBytes(Path("good.ft"));
    // The picture's own: nothing is made again (the file is left as it is).
    const auto time = fs::last_write_time(Path("good.ft"));
    EXPECT_EQ(doc.EnsureFourierFile(good, 16, 12, spectrum, flags), 1);
    EXPECT_EQ(fs::last_write_time(Path("good.ft")), time);
    // Cut short, or made from another picture: made again.
    std::ofstream(Path("good.ft"), std::ios::binary) << made.substr(0, 100);
    EXPECT_EQ(doc.EnsureFourierFile(good, 16, 12, spectrum, flags), 1);
    EXPECT_TRUE(ReadFileBytes(Path("good.ft")) == made);
    std::string other = made;
    other[other.size() - 1] ^= 1;
    std::ofstream(Path("good.ft"), std::ios::binary) << other;
    EXPECT_EQ(doc.EnsureFourierFile(good, 16, 12, spectrum, flags), 1);
    EXPECT_TRUE(ReadFileBytes(Path("good.ft")) == made);
    EXPECT_TRUE(m_ui.Messages().empty());

    EXPECT_EQ(doc.MakeFourierFile(good, 16, 12, spectrum, flags), 1);
    EXPECT_TRUE(ReadFileBytes(Path("good.ft")) == made);
    EXPECT_EQ(doc.MakeFourierFile(Path("wide.bmp"), 20, 12, spectrum, flags), -1);
    EXPECT_EQ(doc.MakeFourierFile(Path("wide.bmp"), 16, 12, spectrum, flags), -1);
    // The real reason: the sizes.
    EXPECT_EQ(m_ui.Messages().back(), Path("wide.bmp") +
                                          " is 20 x 12; the picture is 16 x 12: an example "
                                          "must be of the picture's size.");
    EXPECT_EQ(doc.MakeFourierFile(Path("good.ft"), 16, 12, spectrum, flags), -1);
    EXPECT_FALSE(fs::exists(Path("wide.ft")));
    EXPECT_EQ(doc.EnsureFourierFile(Path("none.bmp"), 16, 12, spectrum, flags), 0);
}
