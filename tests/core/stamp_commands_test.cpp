// "Blur ...", "Zelvanto Files ..." and "Restore ..." on a document through the scripted port: what
// the dialogs show, what the document keeps, and the repaint.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>

#include "document/zelvan_doc.h"
#include "image/bmp_file.h"
#include "stamp/rubber_stamp.h"
#include "stamp/stamp_dialogs.h"
#include "support/pictures.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

class StampCommands : public testing::Test {
protected:
    void SetUp() override {
        m_savedBlur = LastBlurSettings();
        m_dir = TestTempDir(std::string("stampcmd_") +
                            testing::UnitTest::GetInstance()->current_test_info()->name());
        DibHandle dib;
        ASSERT_EQ(NewGreyPicture(16, 8, dib), 1);
        uint8_t* pixels = PicturePixels(dib.Data(), 0);
        for (int32_t i = 0; i < RowBytes(16 * 24) * 8; ++i)
            pixels[i] = static_cast<uint8_t>((11 * i) % 251);
        m_picture = (m_dir / "scene.bmp").string();
        ASSERT_EQ(WriteBmpFile(m_picture, dib, 0), 1);
    }
    void TearDown() override {
        LastBlurSettings() = m_savedBlur;
        std::error_code error;
        fs::remove_all(m_dir, error);
    }

    CScriptedUi m_ui;
    CUiScope m_scope{m_ui};
    fs::path m_dir;
    std::string m_picture;
    BlurSettings m_savedBlur;
};

}  // namespace

TEST_F(StampCommands, BlurDialogShowsTheDocumentsValuesAndOkKeepsThemForNewDocuments) {
    LastBlurSettings() = BlurSettings{4, 33, 0.9, true};
    CZelvanDoc doc;
    ASSERT_TRUE(doc.OnOpenDocument(m_picture));
    doc.m_blur = BlurSettings{1, 6, 0.5, false};
    int updates = 0;
    doc.AddViewListener([&updates](CZelvanDoc&) { ++updates; });
    const std::vector<uint8_t> before = PictureBytes(doc.m_hDIB);

    // Cancel: nothing changes in the document, the picture stays, the views still repaint;
    // the one dialog of the program holds what it showed.
    m_ui.ScriptBlurDialog([](BlurSettings& b) {
        b.m_nBlurSteps = 2;
        return false;
    });
    doc.OnBlur();
    EXPECT_EQ(doc.m_blur, (BlurSettings{1, 6, 0.5, false}));
    EXPECT_EQ(PictureBytes(doc.m_hDIB), before);
    EXPECT_EQ(updates, 1);
    EXPECT_EQ(LastBlurSettings(), (BlurSettings{1, 6, 0.5, false}));
    {
        CZelvanDoc next;
        EXPECT_EQ(next.m_blur, (BlurSettings{1, 6, 0.5, false}));
    }

    const BlurSettings chosen{2, 3, 0.25, true};
    m_ui.ScriptBlurDialog(chosen);
    doc.OnBlur();
    EXPECT_EQ(doc.m_blur, chosen);
    EXPECT_EQ(LastBlurSettings(), chosen);
    EXPECT_EQ(updates, 2);
    CZelvanDoc next;
    EXPECT_EQ(next.m_blur, chosen);

    ASSERT_EQ(m_ui.BlurShown().size(), 2u);
    EXPECT_EQ(m_ui.BlurShown()[0], (BlurSettings{1, 6, 0.5, false}));
    EXPECT_EQ(m_ui.BlurShown()[1], (BlurSettings{1, 6, 0.5, false}));
}

TEST_F(StampCommands, ZelvantoDialogKeepsTheNamesItEndsWithUnlessCancelled) {
    CZelvanDoc doc;
    ASSERT_TRUE(doc.OnOpenDocument(m_picture));
    doc.m_strGoodFile = "good.bmp";
    doc.m_strBlurredFile = "soft.bmp";
    doc.m_strCompareFile = "earlier.bmp";
    const int waits = m_ui.WaitCount();
    int updates = 0;
    int waitAtUpdate = -1;
    doc.AddViewListener([&](CZelvanDoc&) {
        ++updates;
        waitAtUpdate = m_ui.WaitDepth();
    });

    m_ui.ScriptZelvantoDialog(kIdCancel, "x", "y", "z");
    doc.OnZelvantoFiles();
    EXPECT_EQ(doc.m_strGoodFile, "good.bmp");
    EXPECT_EQ(doc.m_strBlurredFile, "soft.bmp");
    EXPECT_EQ(doc.m_strCompareFile, "earlier.bmp");
    EXPECT_EQ(updates, 0);
    EXPECT_EQ(m_ui.WaitCount(), waits);

    // Input is the document's own Fourier data file; Compare always starts empty.
    ASSERT_EQ(m_ui.ZelvantoShown().size(), 1u);
    EXPECT_EQ(m_ui.ZelvantoShown()[0],
              (CZelvantoData{"good.bmp", "soft.bmp", (m_dir / "scene.ft").string(), ""}));

    // A stamp button keeps the names as shown: the Compare name is gone.
    m_ui.ScriptZelvantoDialog(kZelvantoShowStamp);
    doc.OnZelvantoFiles();
    EXPECT_EQ(doc.m_strGoodFile, "good.bmp");
    EXPECT_EQ(doc.m_strBlurredFile, "soft.bmp");
    EXPECT_EQ(doc.m_strCompareFile, "");
    EXPECT_EQ(updates, 1);
    EXPECT_EQ(waitAtUpdate, 0);  // the operation's wait cursor has ended before the repaint
    EXPECT_GE(m_ui.WaitCount(), waits + 1);

    m_ui.ScriptZelvantoDialog(kIdOk, "sharp.bmp", "blurred.bmp", "cmp.bmp");
    doc.OnZelvantoFiles();
    EXPECT_EQ(doc.m_strGoodFile, "sharp.bmp");
    EXPECT_EQ(doc.m_strBlurredFile, "blurred.bmp");
    EXPECT_EQ(doc.m_strCompareFile, "cmp.bmp");
    EXPECT_EQ(updates, 2);
    ASSERT_EQ(m_ui.ZelvantoShown().size(), 3u);
    EXPECT_EQ(m_ui.ZelvantoShown()[2].m_strBlurredFile, "soft.bmp");
    EXPECT_EQ(m_ui.ZelvantoShown()[2].m_strCompareFile, "");
}

TEST_F(StampCommands, AStampFileOpensAsAGreyPictureOfItsSizeNamedAsTheBlurredFile) {
    // An 8 x 4 stamp with its peak 2.0 at (2, 1).
    std::vector<double> values(32, 0.0);
    values[1 * 8 + 2] = 2.0;
    values[0] = -1.0;
    values[3 * 8 + 7] = 0.5;
    const std::string stamp = (m_dir / "kernel.stp").string();
    ASSERT_EQ(WriteRubberStamp(stamp, values.data(), 8, 4, 2, 1), 1);

    CZelvanDoc doc;
    ASSERT_TRUE(doc.OnOpenDocument(stamp));
    EXPECT_EQ(doc.m_sizeDoc, (CSize{8, 4}));
    EXPECT_EQ(doc.GetPathName(), stamp);  // the stamp's own name, extension and all
    EXPECT_EQ(doc.m_strBasePath, (m_dir / "kernel").string());
    EXPECT_EQ(doc.m_strFourierPath, (m_dir / "kernel.ft").string());
    EXPECT_EQ(doc.m_strBlurredFile, (m_dir / "kernel").string());
    EXPECT_FALSE(doc.m_settings.m_bPresent);
    EXPECT_EQ(doc.m_settings.m_strSource, "");
    EXPECT_FALSE(doc.IsModified());
    EXPECT_FALSE(doc.m_hOriginal.IsNull());
    EXPECT_GE(doc.m_nBufferBytes, 8 * 4 * 48);
    const std::vector<CScriptedUi::Kind> kinds = m_ui.EventKinds();
    EXPECT_NE(std::find(kinds.begin(), kinds.end(), CScriptedUi::Kind::RecentFile), kinds.end());

    // A stamp that cannot be read leaves the document as it was.
    const std::string broken = (m_dir / "broken.stp").string();
    {
        std::FILE* file = std::fopen(broken.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        const int32_t header[4] = {0, 4, 0, 0};
        std::fwrite(header, sizeof header, 1, file);
        std::fclose(file);
    }
    m_ui.Clear();
    const std::vector<uint8_t> before = PictureBytes(doc.m_hDIB);
    EXPECT_FALSE(doc.OnOpenDocument(broken));
    EXPECT_EQ(m_ui.Messages(),
              std::vector<std::string>{"ReadRubberStampFreeSize: Error in Stamp file size data. "});
    EXPECT_EQ(doc.GetPathName(), stamp);
    EXPECT_EQ(doc.m_strBlurredFile, (m_dir / "kernel").string());
    EXPECT_EQ(PictureBytes(doc.m_hDIB), before);

    // The working size is fitted as for any picture: a 9 x 5 stamp gives an 8 x 4 grid.
    std::vector<double> odd(45, 0.0);
    odd[22] = 1.0;
    const std::string oddPath = (m_dir / "odd.stp").string();
    ASSERT_EQ(WriteRubberStamp(oddPath, odd.data(), 9, 5, 4, 2), 1);
    CZelvanDoc fitted;
    ASSERT_TRUE(fitted.OnOpenDocument(oddPath));
    EXPECT_EQ(fitted.m_sizeDoc, (CSize{8, 4}));
    EXPECT_EQ(fitted.m_strBlurredFile, (m_dir / "odd").string());
}

TEST_F(StampCommands, RestoreDialogKeepsItsRequestAndTheColourStartsFromTheRestoredPicture) {
    CZelvanDoc doc;
    ASSERT_TRUE(doc.OnOpenDocument(m_picture));
    doc.m_strGoodFile = "good.bmp";
    doc.m_strBlurredFile = "blurred.bmp";
    const std::vector<uint8_t> before = PictureBytes(doc.m_hDIB);

    // Cancel: the dialog showed the document's names, nothing changes.
    m_ui.ScriptRestoreDialog([](CRestoreRequest&) { return false; });
    doc.OnRestore();
    ASSERT_EQ(m_ui.RestoreShown().size(), 1u);
    EXPECT_EQ(m_ui.RestoreShown()[0].kernel.goodPath, "good.bmp");
    EXPECT_EQ(m_ui.RestoreShown()[0].kernel.blurredPath, "blurred.bmp");
    EXPECT_EQ(PictureBytes(doc.m_hDIB), before);
    EXPECT_FALSE(doc.IsModified());

    // OK with a blur path: the picture is restored, the request and the names kept.
    m_ui.ScriptRestoreDialog([](CRestoreRequest& r) {
        r.kernel.source = KernelSource::BlurPath;
        r.kernel.blurSteps = 3;
        r.kernel.blurAttenuation = 0.5;
        r.kernel.goodPath = "other.bmp";
        r.settings.taper = false;
        return true;
    });
    doc.OnRestore();
    EXPECT_TRUE(doc.LastRunCompleted());
    EXPECT_TRUE(doc.IsModified());
    const std::vector<uint8_t> restored = PictureBytes(doc.m_hDIB);
    EXPECT_NE(restored, before);
    EXPECT_EQ(doc.m_strGoodFile, "other.bmp");
    EXPECT_EQ(doc.m_restoreOutcome.kernel.width, 3);
    // A colour adjustment recomputes the picture from the restored one.
    doc.RunOperation('X');
    EXPECT_EQ(PictureBytes(doc.m_hDIB), restored);

    // The next opening shows the restoration kept; a kernel that cannot be made leaves the
    // picture and the run incomplete.
    m_ui.ScriptRestoreDialog([this](CRestoreRequest& r) {
        r.kernel.source = KernelSource::StampFile;
        r.kernel.stampPath = (m_dir / "none.stp").string();
        return true;
    });
    doc.OnRestore();
    ASSERT_EQ(m_ui.RestoreShown().size(), 3u);
    EXPECT_EQ(m_ui.RestoreShown()[2].kernel.source, KernelSource::BlurPath);
    EXPECT_EQ(m_ui.RestoreShown()[2].kernel.blurSteps, 3);
    EXPECT_FALSE(m_ui.RestoreShown()[2].settings.taper);
    EXPECT_FALSE(doc.LastRunCompleted());
    EXPECT_EQ(PictureBytes(doc.m_hDIB), restored);
    EXPECT_EQ(m_ui.Messages().back(), (m_dir / "none.stp").string() +
                                          " Read Stamp File error aa: No such file or directory");
}
