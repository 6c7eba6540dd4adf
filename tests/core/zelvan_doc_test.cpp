// The document through the scripted port: opening by kind, preparing, the work buffers,
// writing, saving with its questions and dialogs, and going away.
#include "document/zelvan_doc.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "document/paths.h"
#include "fourier/fourier_kinds.h"
#include "image/bmp_file.h"
#include "image/jpeg_file.h"
#include "image/png_file.h"
#include "platform/byte_order.h"
#include "platform/memory_block.h"
#include "support/engine_settings.h"
#include "support/files.h"
#include "support/pictures.h"
#include "support/scope_guard.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;
using Kind = CScriptedUi::Kind;

namespace {

class ZelvanDoc : public testing::Test {
protected:
    void SetUp() override {
        m_dir = TestTempDir(std::string("doc_") +
                            testing::UnitTest::GetInstance()->current_test_info()->name());
    }
    void TearDown() override {
        std::error_code error;
        fs::current_path(fs::temp_directory_path(), error);  // Save As may have moved there
        fs::remove_all(m_dir, error);
    }
    std::string Path(const std::string& name) const { return (m_dir / name).string(); }

    // A 24-bit w x h picture whose byte i of row y is (7i + 13y + seed) mod 256.
    std::string WritePicture(const std::string& name, int32_t w, int32_t h, int seed = 0) {
        DibHandle dib;
        EXPECT_EQ(NewGreyPicture(w, h, dib), 1);
        uint8_t* pixels = PicturePixels(dib.Data(), 0);
        for (int32_t y = 0; y < h; ++y)
            for (int32_t i = 0; i < 3 * w; ++i)
                pixels[y * RowBytes(w * 24) + i] =
                    static_cast<uint8_t>((7 * i + 13 * y + seed) % 256);
        const std::string path = Path(name);
        EXPECT_EQ(WriteBmpFile(path, dib, 0), 1);
        return path;
    }

    CScriptedUi m_ui;
    CUiScope m_scope{m_ui};
    fs::path m_dir;
};

}  // namespace

TEST_F(ZelvanDoc, ConstructionTakesTheCounterAndTheLastBlur) {
    const BlurSettings saved = LastBlurSettings();
    const CScopeGuard restore([saved] { LastBlurSettings() = saved; });
    LastBlurSettings().m_nBlurSteps = 17;
    const int32_t next = NextDocumentNumber();
    {
        CZelvanDoc a;
        CZelvanDoc b;
        EXPECT_EQ(a.m_nDocNumber, next);
        EXPECT_EQ(b.m_nDocNumber, next + 1);
        EXPECT_EQ(a.m_blur.m_nBlurSteps, 17);
        // Without a picture an operation does nothing.
        a.RunOperation('Q');
    }
    EXPECT_EQ(NextDocumentNumber(), next + 2);
    EXPECT_TRUE(m_ui.Events().empty());
}

TEST_F(ZelvanDoc, OpeningABitmapPreparesItAndFindsItsFourierFileBesideIt) {
    // The picture lies in a dotted folder: the companion file must land beside it.
    fs::create_directories(m_dir / "pics.old");
    const std::string picture = WritePicture("pics.old/photo.v1.bmp", 16, 12);
    CZelvanDoc doc;
    ASSERT_TRUE(doc.OnOpenDocument(picture));
    EXPECT_EQ(doc.m_strBasePath, Path("pics.old/photo.v1"));
    EXPECT_EQ(doc.m_strFourierPath, Path("pics.old/photo.v1.ft"));
    EXPECT_EQ(doc.GetPathName(), picture);
    EXPECT_EQ(doc.PictureFile(), picture);
    EXPECT_EQ(doc.GetTitle(), "photo.v1.bmp");
    EXPECT_EQ(doc.m_szExtension, ".bmp");
    EXPECT_EQ(doc.m_sizeDoc, (CSize{16, 12}));
    EXPECT_EQ(doc.m_nRowBytes, 48);
    EXPECT_EQ(doc.m_nRows, 12);
    EXPECT_EQ(doc.m_fourier.Length(), 48);
    EXPECT_FALSE(doc.m_settings.m_bPresent);
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(PictureBytes(doc.m_hOriginal), PictureBytes(doc.m_hDIB));
    // The real picture holds the bytes.
    const std::vector<uint8_t> bytes = PictureBytes(doc.m_hDIB);
    for (size_t i = 0; i < bytes.size(); ++i)
        ASSERT_EQ(doc.m_hRealPicture.As<double>()[i], bytes[i]);
    ASSERT_EQ(m_ui.Events().size(), 1u);
    EXPECT_EQ(m_ui.Events()[0].kind, Kind::RecentFile);
    EXPECT_EQ(m_ui.Events()[0].text, picture);

    // A whole ".ft" of half its size beside it (no print, newer than the picture) is taken
    // as its spectrum; one of another size, or cut short after a right header, not.
    for (const auto& [half, entries, present] :
         {std::tuple{CSize{8, 6}, 3 * 16 * 12, true}, std::tuple{CSize{8, 5}, 3 * 16 * 10, false},
          std::tuple{CSize{8, 6}, 3 * 16 * 12 - 1, false}}) {
        std::ofstream ft(Path("pics.old/photo.v1.ft"), std::ios::binary);
        uint8_t header[8];
        StoreLE32s(header, half.cx);
        StoreLE32s(header + 4, half.cy);
        ft.write(reinterpret_cast<const char*>(header), 8);
        ft << std::string(16 * static_cast<size_t>(entries), '\0');
        ft.close();
        CZelvanDoc again;
        ASSERT_TRUE(again.OnOpenDocument(picture));
        EXPECT_EQ(again.m_settings.m_bPresent, present);
        EXPECT_EQ(again.m_settings.m_strSource, present ? "File Source" : "");
    }
}

TEST_F(ZelvanDoc, PicturesOfOtherSizesAreFittedByChoiceAndCut) {
    const std::string picture = WritePicture("odd.bmp", 30, 14);
    CZelvanDoc doc;
    m_ui.ScriptSizeChoice({true, 1});
    ASSERT_TRUE(doc.OnOpenDocument(picture));
    ASSERT_EQ(m_ui.OfferedSizes().size(), 1u);
    const CSize chosen = m_ui.OfferedSizes()[0][1];
    EXPECT_EQ(doc.m_sizeDoc, chosen);
    // The first stored rows and the left columns are kept.
    const std::vector<uint8_t> bytes = PictureBytes(doc.m_hDIB);
    for (int32_t y = 0; y < chosen.cy; ++y)
        for (int32_t i = 0; i < 3 * chosen.cx; ++i)
            ASSERT_EQ(bytes[y * 3 * chosen.cx + i], (7 * i + 13 * y) % 256);

    // Cancelling the choice leaves a document without a picture, which does nothing.
    CZelvanDoc none;
    m_ui.ScriptSizeChoice({false, -1});
    EXPECT_TRUE(none.OnOpenDocument(picture));
    EXPECT_TRUE(none.m_hDIB.IsNull());
    none.RunOperation(0);
    EXPECT_EQ(m_ui.Events().back().kind, Kind::RecentFile);
}

TEST_F(ZelvanDoc, TheSampleJpegsFitAtOnceOrAskForASize) {
    CEngineSettings restore;
    CFourier::SetEngine(FourierEngine::Projection);
    CZelvanDoc coffee;
    ASSERT_TRUE(coffee.OnOpenDocument(std::string(ZELVANTO_SAMPLES_DIR) + "/coffee.jpg"));
    EXPECT_EQ(coffee.m_sizeDoc, (CSize{600, 400}));
    EXPECT_EQ(coffee.m_fourier.Length(), 1200);
    EXPECT_EQ(coffee.m_szExtension, ".jpg");
    EXPECT_TRUE(m_ui.OfferedSizes().empty());

    CZelvanDoc chelsea;
    ASSERT_TRUE(chelsea.OnOpenDocument(std::string(ZELVANTO_SAMPLES_DIR) + "/chelsea.jpg"));
    ASSERT_EQ(m_ui.OfferedSizes().size(), 1u);
    EXPECT_EQ(chelsea.m_sizeDoc, m_ui.OfferedSizes()[0][0]);
    EXPECT_TRUE(m_ui.Messages().empty());
}

TEST_F(ZelvanDoc, LargePicturesAreTransformedWholeByTheFftEngineWithoutTheSizesDialog) {
    CEngineSettings restore;
    // By size: 451 x 300 is more than 320 x 240 pixels, so the FFT engine takes it as it
    // is, odd width and all, and the sizes dialog is not asked.
    CZelvanDoc chelsea;
    ASSERT_TRUE(chelsea.OnOpenDocument(std::string(ZELVANTO_SAMPLES_DIR) + "/chelsea.jpg"));
    EXPECT_EQ(chelsea.m_sizeDoc, (CSize{451, 300}));
    EXPECT_EQ(chelsea.m_fourier.Length(), 0);
    EXPECT_EQ(chelsea.m_fourier.ActiveEngine(), FourierEngine::Fft);
    EXPECT_EQ(chelsea.m_fourier.EngineDescription(),
              "fft engine, the exact engine takes no 451 x 300 picture");
    EXPECT_TRUE(m_ui.OfferedSizes().empty());
    // A small picture goes to the exact engine, fitted as before.
    const std::string small = WritePicture("small.bmp", 164, 120);
    CZelvanDoc exact;
    ASSERT_TRUE(exact.OnOpenDocument(small));
    EXPECT_EQ(exact.m_sizeDoc, (CSize{160, 120}));
    EXPECT_EQ(exact.m_fourier.ActiveEngine(), FourierEngine::Projection);
    EXPECT_EQ(exact.m_fourier.EngineDescription(), "projection engine, by picture size");
    ASSERT_EQ(m_ui.OfferedSizes().size(), 1u);

    // An explicit FFT choice keeps the small picture whole too; the whole picture goes
    // through a Fourier run and comes back byte for byte from the spectrum kept beside it.
    CFourier::SetEngine(FourierEngine::Fft);
    const std::string odd = WritePicture("odd.bmp", 37, 23, 5);
    CZelvanDoc doc;
    ASSERT_TRUE(doc.OnOpenDocument(odd));
    EXPECT_EQ(doc.m_sizeDoc, (CSize{37, 23}));
    EXPECT_EQ(doc.m_fourier.EngineDescription(),
              "fft engine, the exact engine takes no 37 x 23 picture");
    const std::vector<uint8_t> before = PictureBytes(doc.m_hDIB);
    m_ui.ScriptFourierOperations(kKindAmplify, 1.0);
    doc.RunOperation(0);
    ASSERT_TRUE(doc.LastRunCompleted());
    EXPECT_EQ(PictureBytes(doc.m_hDIB), before);
    CSize size;
    ASSERT_EQ(CFourier::ReadFourierPictureSize(Path("odd.ft"), size), 1);
    EXPECT_EQ(size, (CSize{37, 23}));
    EXPECT_TRUE(m_ui.OfferedSizes().size() == 1u);  // still only the small picture's
    // The spectrum opens as a document of its own, whatever engine is chosen: the exact
    // engine cannot take 37 x 23, so the FFT engine shows it.
    CFourier::SetEngine(FourierEngine::Projection);
    CZelvanDoc spectrum;
    ASSERT_TRUE(spectrum.OnOpenDocument(Path("odd.ft")));
    EXPECT_EQ(spectrum.m_sizeDoc, (CSize{37, 23}));
    EXPECT_EQ(spectrum.m_fourier.ActiveEngine(), FourierEngine::Fft);
    EXPECT_EQ(PictureBytes(spectrum.m_hDIB), before);
    // Reopening the picture finds its spectrum.
    CZelvanDoc again;
    CFourier::SetEngine(FourierEngine::Fft);
    ASSERT_TRUE(again.OnOpenDocument(odd));
    EXPECT_TRUE(again.m_settings.m_bPresent);
}

TEST_F(ZelvanDoc, WorkBeyondTheMachinesMemoryIsRefusedBeforeItStarts) {
    CEngineSettings restore;
    const uint64_t old = SetMemoryLimitBytes(uint64_t{64} << 20);
    CScopeGuard back([old] { SetMemoryLimitBytes(old); });
    // 2000 x 1000 pixels need about 166 MiB: 6 MB each for the picture and its original,
    // 96 MB for the spectrum, 48 MB for the real picture, 2 MB of flags, 16 MB for the FFT.
    const std::string large = WritePicture("large.bmp", 2000, 1000);
    CZelvanDoc doc;
    EXPECT_TRUE(doc.OnOpenDocument(large));
    EXPECT_TRUE(doc.m_hDIB.IsNull());
    EXPECT_EQ(m_ui.Messages(), std::vector<std::string>{"The work on a 2000 x 1000 picture is "
                                                        "refused: about 166 MiB are needed; this "
                                                        "machine has 64 MiB."});
}

TEST_F(ZelvanDoc, OpeningFailsForUnknownKindsBadFilesAndImpossibleSpectra) {
    CZelvanDoc doc;
    // A stamp file that is not there is told by the stamp reader.
    EXPECT_FALSE(doc.OnOpenDocument(Path("stamp.stp")));
    EXPECT_EQ(m_ui.Messages(),
              std::vector<std::string>{Path("stamp.stp") + " Read Stamp File error aa"});
    m_ui.Clear();
    // An unknown extension is refused with a message; nothing else is opened instead, not
    // even the file named on the command line.
    const std::string picture = WritePicture("start.bmp", 8, 4);
    SetApplicationCommandLine(picture);
    EXPECT_FALSE(doc.OnOpenDocument(Path("notes.txt")));
    EXPECT_FALSE(doc.OnOpenDocument("untitled"));
    EXPECT_EQ(m_ui.Messages(),
              (std::vector<std::string>{
                  Path("notes.txt") +
                      " is not a file this program opens (.bmp, .jpg, .png, .ft or .stp).",
                  "untitled is not a file this program opens (.bmp, .jpg, .png, .ft or .stp)."}));
    EXPECT_TRUE(doc.m_hDIB.IsNull());
    EXPECT_TRUE(doc.m_strBasePath.empty());
    SetApplicationCommandLine("");
    EXPECT_TRUE(doc.OnOpenDocument(picture));

    // A file that cannot be read leaves the picture in hand alone.
    std::ofstream(Path("bad.bmp"), std::ios::binary) << "BM no bitmap";
    const std::vector<uint8_t> before = PictureBytes(doc.m_hDIB);
    m_ui.Clear();
    EXPECT_FALSE(doc.OnOpenDocument(Path("bad.bmp")));
    EXPECT_EQ(m_ui.Messages(), std::vector<std::string>{"Failed to read 2: " + Path("bad.bmp")});
    EXPECT_EQ(PictureBytes(doc.m_hDIB), before);
    EXPECT_EQ(doc.m_strBasePath, Path("start"));

    // Spectrum headers no picture of this system can have.
    m_ui.Clear();
    for (const auto& [cx, cy] : {std::pair{0x40000000, 2}, std::pair{-4, 2}, std::pair{4096, 2}}) {
        std::ofstream ft(Path("odd.ft"), std::ios::binary);
        uint8_t header[8];
        StoreLE32s(header, cx);
        StoreLE32s(header + 4, cy);
        ft.write(reinterpret_cast<const char*>(header), 8);
        ft.close();
        CZelvanDoc spectrum;
        EXPECT_FALSE(spectrum.OnOpenDocument(Path("odd.ft"))) << cx;
    }
    EXPECT_EQ(m_ui.Messages(),
              (std::vector<std::string>{
                  "Error in CFourier file size data. " + Path("odd.ft") +
                      ": the header's fields 1073741824 and 2 name no picture of 1 to "
                      "134217728 pixels.",
                  "Error in CFourier file size data. " + Path("odd.ft") +
                      ": the header's fields -4 and 2 name no picture of 1 to 134217728 pixels.",
                  "Error in CFourier file size data. " + Path("odd.ft") +
                      " holds 8 bytes; the spectrum of a 8192 x 4 picture needs 1572872."}));
    // A missing file and a file too short for a header say so.
    m_ui.Clear();
    CZelvanDoc missing;
    EXPECT_FALSE(missing.OnOpenDocument(Path("missing.ft")));
    std::ofstream(Path("seven.ft"), std::ios::binary) << "1234567";
    EXPECT_FALSE(missing.OnOpenDocument(Path("seven.ft")));
    EXPECT_EQ(m_ui.Messages(),
              (std::vector<std::string>{"Read CFourier error: No such file or directory",
                                        "Error in CFourier file size data. " + Path("seven.ft") +
                                            " holds 7 bytes, fewer than the 8 of its header."}));
}

TEST_F(ZelvanDoc, PreparingConvertsPalettePicturesAndThirtyTwoBits) {
    // 8 x 2 pictures of 1, 4 and 8 bits with a two-colour table, and one of 32 bits.
    const uint8_t colours[2][3] = {{10, 20, 30}, {200, 150, 100}};
    for (const int bits : {1, 4, 8, 32}) {
        SCOPED_TRACE(bits);
        const int32_t w = 8, h = 2;
        const int32_t table = bits == 32 ? 12 : 2 * 4;
        const int32_t row = bits == 32 ? w * 4 : RowBytes(w * bits);
        DibHandle dib(CMemoryBlock::Allocate(static_cast<size_t>(40 + table + row * h)));
        uint8_t* header = dib.Data();
        StoreLE32s(header, 40);
        StoreLE32s(header + 4, w);
        StoreLE32s(header + 8, h);
        StoreLE16(header + 12, 1);
        StoreLE16(header + 14, static_cast<uint16_t>(bits));
        if (bits != 32) {
            StoreLE32(header + 32, 2);
            for (int c = 0; c < 2; ++c) std::memcpy(header + 40 + 4 * c, colours[c], 3);
        }
        uint8_t* pixels = header + 40 + table;
        // Pixel k of row y has colour (k + y) mod 2.
        for (int32_t y = 0; y < h; ++y)
            for (int32_t k = 0; k < w; ++k) {
                const int index = (k + y) % 2;
                uint8_t* r = pixels + y * row;
                if (bits == 1) r[k / 8] |= static_cast<uint8_t>(index << (7 - k % 8));
                if (bits == 4) r[k / 2] |= static_cast<uint8_t>(k % 2 == 0 ? index << 4 : index);
                if (bits == 8) r[k] = static_cast<uint8_t>(index);
                if (bits == 32) std::memcpy(r + 4 * k, colours[index], 3);
            }
        CZelvanDoc doc;
        doc.m_hDIB = std::move(dib);
        doc.PreparePicture(true);
        ASSERT_FALSE(doc.m_hDIB.IsNull());
        EXPECT_EQ(doc.m_nBitCount, 24);
        EXPECT_EQ(doc.m_nColors, 0);
        const std::vector<uint8_t> out = PictureBytes(doc.m_hDIB);
        for (int32_t y = 0; y < h; ++y)
            for (int32_t k = 0; k < w; ++k)
                ASSERT_EQ(std::memcmp(&out[y * 24 + 3 * k], colours[(k + y) % 2], 3), 0) << k;
    }
    EXPECT_TRUE(m_ui.Events().empty());
}

TEST_F(ZelvanDoc, WorkBuffersAreKeptWhileTheyHoldThePicture) {
    CZelvanDoc doc;
    ASSERT_EQ(doc.AllocateWorkBuffers(16, 12), 1);
    EXPECT_EQ(doc.m_nBufferBytes, 16 * 12 * 48);
    EXPECT_EQ(doc.m_hRealPicture.Size(), 48u * 12 * 8);
    EXPECT_EQ(doc.m_hFlags.Size(), 16u * 12);
    const uint8_t* spectrum = doc.m_hSpectrum.Data();
    ASSERT_EQ(doc.AllocateWorkBuffers(16, 12), 1);
    ASSERT_EQ(doc.AllocateWorkBuffers(8, 6), 1);
    EXPECT_EQ(doc.m_hSpectrum.Data(), spectrum);
    // The same area with a padded row needs a larger real picture than the one in hand.
    ASSERT_EQ(doc.AllocateWorkBuffers(6, 32), 1);
    EXPECT_GE(doc.m_hRealPicture.Size(), static_cast<size_t>(RowBytes(6 * 24)) * 32 * 8);
    EXPECT_EQ(doc.AllocateWorkBuffers(0, 4), 0);
    EXPECT_TRUE(m_ui.Events().empty());

    // A spectrum beyond what the machine holds: refused before anything is taken, and no
    // buffers are left.
    const uint64_t old = SetMemoryLimitBytes(uint64_t{1} << 30);
    CScopeGuard back([old] { SetMemoryLimitBytes(old); });
    doc.m_sizeDoc = {8192, 8192};
    doc.RunOperation('Q');
    EXPECT_EQ(m_ui.Messages(),
              (std::vector<std::string>{"Could not allocate memory for CFourier: about 4672 MiB "
                                        "are needed; this machine has 1024 MiB",
                                        "no mem for CFourier"}));
    EXPECT_TRUE(doc.m_hSpectrum.IsNull() && doc.m_hRealPicture.IsNull() && doc.m_hFlags.IsNull());
    EXPECT_EQ(doc.m_nBufferBytes, 0);
}

TEST_F(ZelvanDoc, WritingGoesByTheKindOfThePath) {
    const std::string picture = WritePicture("w.bmp", 16, 12);
    CZelvanDoc doc;
    ASSERT_TRUE(doc.OnOpenDocument(picture));
    m_ui.Clear();
    EXPECT_EQ(doc.WritePictureFile(Path("copy.bmp")), 1);
    EXPECT_TRUE(ReadFileBytes(Path("copy.bmp")) == ReadFileBytes(picture));
    EXPECT_EQ(doc.WritePictureFile(Path("copy.jpg")), 1);
    EXPECT_EQ(ReadFileBytes(Path("copy.jpg")).substr(0, 2), "\xFF\xD8");
    EXPECT_EQ(doc.WritePictureFile(Path("copy.png")), 1);
    EXPECT_EQ(ReadFileBytes(Path("copy.png")).substr(1, 3), "PNG");
    // No spectrum yet: nothing to write as ".ft".
    EXPECT_EQ(doc.WritePictureFile(Path("other.ft")), 0);
    EXPECT_EQ(m_ui.Messages(), std::vector<std::string>{"No CFourier analysis present yet."});

    // With a spectrum, ".ft" goes to the companion path whatever the name given.
    m_ui.ScriptFourierOperations(0);
    doc.RunOperation(0);
    const std::string spectrum = ReadFileBytes(Path("w.ft"));
    ASSERT_EQ(spectrum.size(), 8u + 48u * 16 * 12 + 24u);
    fs::remove(Path("w.ft"));
    EXPECT_EQ(doc.WritePictureFile(Path("other.ft")), 1);
    EXPECT_FALSE(fs::exists(Path("other.ft")));
    EXPECT_TRUE(ReadFileBytes(Path("w.ft")) == spectrum);
}

TEST_F(ZelvanDoc, SaveAsAsksToRenameTheFourierFileAndMovesItOnYes) {
    const std::string picture = WritePicture("first.bmp", 16, 12);
    CZelvanDoc doc;
    int updates = 0;
    const int view = doc.AddViewListener([&updates](CZelvanDoc&) { ++updates; });
    ASSERT_TRUE(doc.OnOpenDocument(picture));
    m_ui.ScriptFourierOperations(1, 2.0);
    doc.RunOperation(0);
    ASSERT_TRUE(doc.m_settings.m_bPresent);
    const std::string spectrum = ReadFileBytes(Path("first.ft"));
    m_ui.Clear();

    // Yes: the ".ft" goes with the picture; the extension follows the new name.
    m_ui.ScriptFileDialog(Path("second.jpg"));
    m_ui.ScriptAnswer(true);
    doc.OnFileSaveAs();
    ASSERT_EQ(m_ui.FileRequests().size(), 1u);
    const CFileDialogRequest& request = m_ui.FileRequests()[0];
    EXPECT_FALSE(request.open);
    EXPECT_TRUE(request.overwritePrompt);
    EXPECT_EQ(request.defaultExtension, ".bmp");
    EXPECT_EQ(request.initialName, "*.bmp");
    EXPECT_EQ(request.filter,
              "Bitmap files (*.bmp)|*.bmp|Jpeg files (*.jpg *.jpeg)|*.jpg;*.jpeg|PNG files "
              "(*.png)|*.png|CFourier files (*.ft)|*.ft|All files(*.*)|*.*||");
    EXPECT_EQ(m_ui.Questions(),
              std::vector<std::string>{"Rename the CFourier transform file too?"});
    EXPECT_TRUE(m_ui.Events().back().answer);
    EXPECT_TRUE(fs::exists(Path("second.jpg")));
    EXPECT_FALSE(fs::exists(Path("first.ft")));
    EXPECT_TRUE(ReadFileBytes(Path("second.ft")) == spectrum);
    EXPECT_EQ(doc.m_strFourierPath, Path("second.ft"));
    EXPECT_EQ(doc.GetTitle(), "second.jpg");
    EXPECT_EQ(doc.GetPathName(), Path("second.jpg"));
    EXPECT_EQ(doc.PictureFile(), Path("second.jpg"));
    EXPECT_EQ(doc.m_szExtension, ".jpg");
    EXPECT_TRUE(doc.m_settings.m_bPresent);
    EXPECT_EQ(updates, 1);
    EXPECT_EQ(fs::current_path(), m_dir);

    // Save writes base + extension without asking.
    m_ui.Clear();
    fs::remove(Path("second.jpg"));
    doc.OnFileSave();
    EXPECT_TRUE(fs::exists(Path("second.jpg")));
    EXPECT_TRUE(m_ui.Events().empty());

    // No (the default): the flag is cleared and the old file stays under its old name.
    m_ui.ScriptFileDialog(Path("third.bmp"));
    doc.OnFileSaveAs();
    EXPECT_EQ(m_ui.Questions().size(), 1u);
    EXPECT_FALSE(m_ui.Events().back().answer);
    EXPECT_FALSE(doc.m_settings.m_bPresent);
    EXPECT_EQ(doc.m_settings.m_strSource, " ");
    EXPECT_TRUE(fs::exists(Path("second.ft")));
    EXPECT_FALSE(fs::exists(Path("third.ft")));
    EXPECT_EQ(doc.m_strFourierPath, Path("third.ft"));

    // Cancelled dialog: nothing happens; without a spectrum no question.
    doc.OnFileSaveAs();
    m_ui.ScriptFileDialog(Path("fourth.bmp"));
    doc.OnFileSaveAs();
    EXPECT_EQ(m_ui.Questions().size(), 1u);
    EXPECT_EQ(updates, 3);
    doc.RemoveViewListener(view);
}

TEST_F(ZelvanDoc, SaveAsRewritesTheUntouchedSpectrumWhenTheOldFileIsGone) {
    const std::string picture = WritePicture("gone.bmp", 16, 12);
    CZelvanDoc doc;
    ASSERT_TRUE(doc.OnOpenDocument(picture));
    m_ui.ScriptFourierOperations(0);
    doc.RunOperation(0);
    const std::string untouched = ReadFileBytes(Path("gone.ft"));
    m_ui.ScriptFourierOperations(2, 3.0);
    doc.RunOperation(0);  // the buffer now holds a modified spectrum

    // The old file vanished; the buffer is not the untouched spectrum: it cannot stand in.
    fs::remove(Path("gone.ft"));
    m_ui.ScriptAnswer(true);
    EXPECT_EQ(doc.DoSave(Path("moved.bmp"), true), 1);
    EXPECT_FALSE(fs::exists(Path("moved.ft")));
    EXPECT_FALSE(doc.m_settings.m_bPresent);

    // Right after a forward transform (of the picture as opened, back through 'P') the
    // buffer holds the untouched spectrum: rewritten.
    doc.RunOperation('P');
    m_ui.ScriptFourierOperations(0);
    doc.RunOperation(0);
    EXPECT_TRUE(ReadFileBytes(Path("moved.ft")) == untouched);
    fs::remove(Path("moved.ft"));
    m_ui.ScriptAnswer(true);
    EXPECT_EQ(doc.DoSave(Path("again.bmp"), true), 1);
    EXPECT_TRUE(ReadFileBytes(Path("again.ft")) == untouched);
    EXPECT_TRUE(doc.m_settings.m_bPresent);
}

TEST_F(ZelvanDoc, SaveFourierTransformWritesTheUntouchedSpectrumAndOffersToDeleteIt) {
    const std::string picture = WritePicture("keep.bmp", 16, 12);
    auto doc = std::make_unique<CZelvanDoc>();
    ASSERT_TRUE(doc->OnOpenDocument(picture));
    doc->OnSaveFourierTransform();
    EXPECT_EQ(m_ui.Messages(), std::vector<std::string>{"No CFourier analysis present yet."});
    EXPECT_TRUE(m_ui.FileRequests().empty());

    m_ui.ScriptFourierOperations(0);
    doc->RunOperation(0);
    const std::string untouched = ReadFileBytes(Path("keep.ft"));
    m_ui.ScriptFourierOperations(6, 2.0);
    doc->RunOperation(0);
    m_ui.Clear();
    m_ui.ScriptFileDialog(Path("saved.spectrum.ft"));
    EXPECT_EQ(doc->OnSaveFourierTransform(), 1);
    ASSERT_EQ(m_ui.FileRequests().size(), 1u);
    EXPECT_EQ(m_ui.FileRequests()[0].defaultExtension, ".ft");
    EXPECT_EQ(m_ui.FileRequests()[0].initialName, Path("keep.ft"));
    EXPECT_EQ(m_ui.FileRequests()[0].filter, "CFourier files (*.ft)|*.ft|All files(*.*)|*.*||");
    EXPECT_TRUE(ReadFileBytes(Path("saved.spectrum.ft")) == untouched);
    EXPECT_EQ(doc->m_strFourierPath, Path("saved.spectrum.ft"));
    // The picture keeps its own file: Save writes keep.bmp still.
    EXPECT_EQ(doc->GetPathName(), picture);
    EXPECT_EQ(doc->PictureFile(), picture);
    EXPECT_TRUE(doc->AskDeleteFourierFileChecked());
    EXPECT_EQ(m_ui.Events().back().kind, Kind::FileDialog);

    // Going away asks; No keeps the file, Yes (the default) deletes it.
    m_ui.Clear();
    m_ui.ScriptAnswer(false);
    doc.reset();
    EXPECT_EQ(m_ui.Questions(), std::vector<std::string>{"Delete CFourier Transform file:\n" +
                                                         Path("saved.spectrum.ft") + " ?"});
    EXPECT_TRUE(fs::exists(Path("saved.spectrum.ft")));
    {
        CZelvanDoc other;
        other.m_strFourierPath = Path("saved.spectrum.ft");
        other.OnAskDeleteFourierFile();
        other.OnAskDeleteFourierFile();
        other.OnAskDeleteFourierFile();
    }
    EXPECT_FALSE(fs::exists(Path("saved.spectrum.ft")));
    // A file that is not there is not asked about.
    m_ui.Clear();
    {
        CZelvanDoc none;
        none.m_strFourierPath = Path("never.ft");
        none.OnAskDeleteFourierFile();
    }
    EXPECT_TRUE(m_ui.Events().empty());
}

TEST_F(ZelvanDoc, OpenCommandOpensTheChosenFileIntoThisDocument) {
    const std::string a = WritePicture("a.bmp", 8, 4, 1);
    const std::string b = WritePicture("b.bmp", 16, 12, 2);
    CZelvanDoc doc;
    int updates = 0;
    doc.AddViewListener([&updates](CZelvanDoc&) { ++updates; });
    ASSERT_TRUE(doc.OnOpenDocument(a));
    doc.OnFileOpen();  // cancelled
    EXPECT_EQ(updates, 0);
    m_ui.ScriptFileDialog(b);
    doc.OnFileOpen();
    EXPECT_EQ(updates, 1);
    EXPECT_EQ(doc.m_sizeDoc, (CSize{16, 12}));
    EXPECT_EQ(doc.m_strBasePath, Path("b"));
    ASSERT_EQ(m_ui.FileRequests().size(), 2u);
    EXPECT_TRUE(m_ui.FileRequests()[1].open);
    EXPECT_FALSE(m_ui.FileRequests()[1].overwritePrompt);
    EXPECT_EQ(m_ui.FileRequests()[1].filter,
              "Bitmap files (*.bmp)|*.bmp|Jpeg files (*.jpg *.jpeg)|*.jpg;*.jpeg|PNG files "
              "(*.png)|*.png|CFourier files (*.ft)|*.ft|Stamp files (*.stp)|*.stp|All "
              "files(*.*)|*.*||");
}

TEST_F(ZelvanDoc, SaveWritesTheDocumentsOwnFileAndNoOther) {
    // Pictures whose names differ after their first dot, and a spectrum beside a JPEG of
    // the same base: neither unrelated file may be touched by Save.
    WritePicture("holiday.bmp", 16, 12, 1);
    const std::string edited = WritePicture("holiday.edited.bmp", 16, 12, 2);
    const std::string unrelated = ReadFileBytes(Path("holiday.bmp"));
    CZelvanDoc doc;
    ASSERT_TRUE(doc.OnOpenDocument(edited));
    m_ui.ScriptFourierOperations(1, 2.0);
    doc.RunOperation(0);
    ASSERT_TRUE(doc.IsModified());
    EXPECT_EQ(doc.OnFileSave(), 1);
    EXPECT_TRUE(ReadFileBytes(Path("holiday.bmp")) == unrelated);
    DibHandle saved;
    CSize size;
    ASSERT_EQ(ReadBmpFile(edited, saved, size), 1);
    EXPECT_EQ(PictureBytes(saved), PictureBytes(doc.m_hDIB));
    // A successful Save clears the mark, so closing does not ask again.
    EXPECT_FALSE(doc.IsModified());

    // A document opened from a ".ft" has no picture file yet: Save asks where to go, and
    // with the dialog cancelled nothing is written and the mark stays.
    const std::string photo = WritePicture("photo.bmp", 16, 12, 3);
    {
        CZelvanDoc source;
        ASSERT_TRUE(source.OnOpenDocument(photo));
        m_ui.ScriptFourierOperations(0);
        source.RunOperation(0);
    }
    fs::remove(photo);
    std::ofstream(Path("photo.jpg"), std::ios::binary) << "someone else's photo";
    CZelvanDoc spectrum;
    ASSERT_TRUE(spectrum.OnOpenDocument(Path("photo.ft")));
    EXPECT_EQ(spectrum.GetTitle(), "photo.ft");
    EXPECT_TRUE(spectrum.PictureFile().empty());
    spectrum.SetModifiedFlag(true);
    m_ui.Clear();
    EXPECT_EQ(spectrum.OnFileSave(), 0);
    ASSERT_EQ(m_ui.FileRequests().size(), 1u);
    EXPECT_FALSE(m_ui.FileRequests()[0].open);
    EXPECT_EQ(ReadFileBytes(Path("photo.jpg")), "someone else's photo");
    EXPECT_FALSE(fs::exists(photo));
    EXPECT_TRUE(spectrum.IsModified());
    // Saved as a picture, that file is the document's from then on.
    m_ui.ScriptFileDialog(Path("shown.png"));
    EXPECT_EQ(spectrum.OnFileSave(), 1);
    EXPECT_EQ(spectrum.PictureFile(), Path("shown.png"));
    EXPECT_EQ(spectrum.m_szExtension, ".png");
    EXPECT_FALSE(spectrum.IsModified());
    EXPECT_EQ(ReadFileBytes(Path("photo.jpg")), "someone else's photo");
}

TEST_F(ZelvanDoc, AfterSaveAsSaveWritesTheNewFileAndLeavesTheOriginal) {
    const std::string orig = WritePicture("orig.bmp", 16, 12, 4);
    const std::string before = ReadFileBytes(orig);
    CZelvanDoc doc;
    ASSERT_TRUE(doc.OnOpenDocument(orig));
    m_ui.ScriptFileDialog(Path("result.bmp"));
    ASSERT_EQ(doc.OnFileSaveAs(), 1);
    m_ui.ScriptFourierOperations(1, 2.0);
    doc.RunOperation(0);
    ASSERT_TRUE(doc.IsModified());
    // The closing question saves where Save does: into result.bmp.
    EXPECT_EQ(doc.OnFileSave(), 1);
    EXPECT_TRUE(ReadFileBytes(orig) == before);
    DibHandle saved;
    CSize size;
    ASSERT_EQ(ReadBmpFile(Path("result.bmp"), saved, size), 1);
    EXPECT_EQ(PictureBytes(saved), PictureBytes(doc.m_hDIB));
    EXPECT_NE(ReadFileBytes(Path("result.bmp")), before);
}

TEST_F(ZelvanDoc, PicturesThatShareAStemKeepSpectraOfTheirOwn) {
    const std::string first = WritePicture("holiday.bmp", 16, 12, 5);
    const std::string second = WritePicture("holiday.edited.bmp", 16, 12, 6);
    CZelvanDoc a;
    ASSERT_TRUE(a.OnOpenDocument(first));
    m_ui.ScriptFourierOperations(0);
    a.RunOperation(0);
    const std::string spectrumA = ReadFileBytes(Path("holiday.ft"));
    ASSERT_FALSE(spectrumA.empty());

    // The second picture finds no spectrum of its own, and its run matches that of the
    // picture alone in a folder of its own.
    CZelvanDoc b;
    ASSERT_TRUE(b.OnOpenDocument(second));
    EXPECT_EQ(b.m_strFourierPath, Path("holiday.edited.ft"));
    EXPECT_FALSE(b.m_settings.m_bPresent);
    m_ui.ScriptFourierOperations(1, 2.0);
    b.RunOperation(0);
    EXPECT_TRUE(ReadFileBytes(Path("holiday.ft")) == spectrumA);
    fs::create_directories(m_dir / "alone");
    const std::string alone = WritePicture("alone/holiday.edited.bmp", 16, 12, 6);
    CZelvanDoc c;
    ASSERT_TRUE(c.OnOpenDocument(alone));
    m_ui.ScriptFourierOperations(1, 2.0);
    c.RunOperation(0);
    EXPECT_EQ(PictureBytes(b.m_hDIB), PictureBytes(c.m_hDIB));
    EXPECT_TRUE(ReadFileBytes(Path("holiday.edited.ft")) ==
                ReadFileBytes(Path("alone/holiday.edited.ft")));
}

TEST_F(ZelvanDoc, AFailedWriteSaysSoAndChangesNoName) {
    const std::string picture = WritePicture("named.bmp", 16, 12);
    CZelvanDoc doc;
    ASSERT_TRUE(doc.OnOpenDocument(picture));
    m_ui.ScriptFourierOperations(0);
    doc.RunOperation(0);
    ASSERT_TRUE(doc.m_settings.m_bPresent);
    const std::string spectrum = ReadFileBytes(Path("named.ft"));
    doc.SetModifiedFlag(true);
    m_ui.Clear();

    // Save Fourier Transform into a folder that is not there.
    m_ui.ScriptFileDialog(Path("missing/spectrum.ft"));
    EXPECT_EQ(doc.OnSaveFourierTransform(), 0);
    EXPECT_EQ(m_ui.Messages(),
              std::vector<std::string>{"Write CFourier error: " + Path("missing/spectrum.ft") +
                                       ": No such file or directory"});
    EXPECT_EQ(doc.m_strFourierPath, Path("named.ft"));
    EXPECT_EQ(doc.m_strBasePath, Path("named"));
    EXPECT_EQ(doc.GetPathName(), picture);
    EXPECT_FALSE(doc.AskDeleteFourierFileChecked());
    // The next run still finds its spectrum.
    m_ui.Clear();
    m_ui.ScriptFourierOperations(1, 2.0);
    doc.RunOperation(0);
    EXPECT_TRUE(doc.LastRunCompleted());
    EXPECT_TRUE(m_ui.Messages().empty()) << m_ui.Messages()[0];

    // Save As there, or to a kind no writer knows: the writer's message, no name changed,
    // the mark kept.
    for (const std::string& target : {Path("missing/picture.bmp"), Path("picture.tiff")}) {
        m_ui.Clear();
        m_ui.ScriptFileDialog(target);
        EXPECT_EQ(doc.OnFileSaveAs(), 0) << target;
        EXPECT_EQ(m_ui.Messages().size(), 1u) << target;
        EXPECT_TRUE(m_ui.Questions().empty());
        EXPECT_EQ(doc.PictureFile(), picture);
        EXPECT_EQ(doc.GetTitle(), "named.bmp");
        EXPECT_EQ(doc.m_strFourierPath, Path("named.ft"));
        EXPECT_EQ(doc.m_szExtension, ".bmp");
        EXPECT_TRUE(doc.IsModified());
    }
    EXPECT_EQ(m_ui.Messages()[0],
              Path("picture.tiff") + " is not a picture this program writes (.bmp, .jpg or .png).");
    EXPECT_TRUE(ReadFileBytes(Path("named.ft")) == spectrum);
}

TEST_F(ZelvanDoc, OpenReadsTheChosenPictureOfEveryKind) {
    const std::string start = WritePicture("start.bmp", 8, 4, 1);
    SetApplicationCommandLine(start);
    const CScopeGuard reset([] { SetApplicationCommandLine(""); });
    DibHandle green;
    ASSERT_EQ(NewGreyPicture(16, 12, green), 1);
    for (size_t i = kInfoHeaderBytes; i < green.Size(); i += 3) green.Data()[i + 1] = 200;
    ASSERT_EQ(WriteJpegFile(Path("green.jpeg"), green, 90), 1);
    ASSERT_EQ(WritePngFile(Path("green.png"), green), 1);

    for (const auto& [name, extension] : {std::pair{"green.jpeg", ".jpg"}, {"green.png", ".png"}}) {
        CZelvanDoc doc;
        m_ui.ScriptFileDialog(Path(name));
        doc.OnFileOpen();
        EXPECT_EQ(doc.GetPathName(), Path(name));
        EXPECT_EQ(doc.m_sizeDoc, (CSize{16, 12})) << name;
        EXPECT_EQ(doc.m_szExtension, extension);
        EXPECT_EQ(doc.m_strFourierPath, Path("green.ft"));
        // Green it is, not the grey start picture.
        const std::vector<uint8_t> bytes = PictureBytes(doc.m_hDIB);
        ASSERT_FALSE(bytes.empty());
        EXPECT_GT(bytes[1], 180) << name;
        EXPECT_LT(bytes[0], 80) << name;
    }
}

TEST_F(ZelvanDoc, TheKeptOriginalHoldsOnlyTheCutPicture) {
    const std::string picture = WritePicture("large.bmp", 30, 14);
    CZelvanDoc doc;
    m_ui.ScriptSizeChoice({true, 0});
    ASSERT_TRUE(doc.OnOpenDocument(picture));
    const CSize cut = doc.m_sizeDoc;
    ASSERT_LT(cut.cx * cut.cy, 30 * 14);
    const size_t bytes = kInfoHeaderBytes + static_cast<size_t>(3 * cut.cx) * cut.cy;
    EXPECT_EQ(doc.m_hDIB.Size(), bytes);
    EXPECT_EQ(doc.m_hOriginal.Size(), bytes);
    EXPECT_EQ(PictureBytes(doc.m_hOriginal), PictureBytes(doc.m_hDIB));
}

TEST_F(ZelvanDoc, TheAnswerBeforeClosingSavesKeepsOrCancels) {
    const std::string file = WritePicture("closing.bmp", 16, 12, 5);
    const std::string before = ReadFileBytes(file);
    CZelvanDoc doc;
    ASSERT_TRUE(doc.OnOpenDocument(file));
    doc.m_hDIB.Data()[kInfoHeaderBytes] ^= 0xFF;
    doc.SetModifiedFlag(true);
    // Cancel keeps the document open, No lets it close unsaved: neither writes.
    EXPECT_FALSE(doc.SaveModified(SaveAnswer::Cancel));
    EXPECT_TRUE(doc.SaveModified(SaveAnswer::No));
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(ReadFileBytes(file), before);
    // Yes writes the document's own file.
    EXPECT_TRUE(doc.SaveModified(SaveAnswer::Yes));
    EXPECT_FALSE(doc.IsModified());
    EXPECT_NE(ReadFileBytes(file), before);
    // A document without a picture file asks where; cancelling that dialog keeps it open.
    CZelvanDoc fresh;
    fresh.SetModifiedFlag(true);
    m_ui.Clear();
    EXPECT_FALSE(fresh.SaveModified(SaveAnswer::Yes));
    EXPECT_EQ(m_ui.FileRequests().size(), 1u);
    EXPECT_TRUE(fresh.IsModified());
}
