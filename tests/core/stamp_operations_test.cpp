// The driver's codes of blur and stamps on documents: 'B', 'D', 'S', 'U' and 'W', with the
// example files made on the way, through the scripted port.
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "document/zelvan_doc.h"
#include "image/bmp_file.h"
#include "stamp/rubber_stamp.h"
#include "support/pictures.h"
#include "support/scripted_ui.h"
#include "support/stamp_pictures.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

constexpr int32_t kW = 32, kH = 24;

class StampDriver : public testing::Test {
protected:
    void SetUp() override {
        m_dir = TestTempDir(std::string("stampdriver_") +
                            testing::UnitTest::GetInstance()->current_test_info()->name());
    }
    void TearDown() override {
        std::error_code error;
        fs::remove_all(m_dir, error);
    }
    std::string Path(const std::string& name) const { return (m_dir / name).string(); }

    std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
        DibHandle dib;
        EXPECT_EQ(NewGreyPicture(kW, kH, dib), 1);
        std::copy(bytes.begin(), bytes.end(), PicturePixels(dib.Data(), 0));
        const std::string path = Path(name);
        EXPECT_EQ(WriteBmpFile(path, dib, 0), 1);
        return path;
    }
    void Open(CZelvanDoc& doc, const std::string& name, const std::vector<uint8_t>& bytes) {
        ASSERT_TRUE(doc.OnOpenDocument(Write(name, bytes)));
        m_ui.Clear();
    }

    CScriptedUi m_ui;
    CUiScope m_scope{m_ui};
    fs::path m_dir;
};

}  // namespace

TEST_F(StampDriver, BlurRoundsTheMeanIntoThePictureAndKindsAboveFiveOnlyRound) {
    const std::vector<uint8_t> sharp = SampleCrop(kW, kH, 20, 20);
    CZelvanDoc doc;
    Open(doc, "p.bmp", sharp);
    doc.m_blur = BlurSettings{0, 2, 1.0, false};
    doc.RunOperation('B');
    EXPECT_TRUE(doc.LastRunCompleted());
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(PictureBytes(doc.m_hDIB), Blurred(sharp, kW, kH, CBlurParameters{0, 2, 1.0, false}));
    // Blurs accumulate: a second 'B' blurs the blurred picture.
    const std::vector<uint8_t> once = PictureBytes(doc.m_hDIB);
    doc.RunOperation('b');
    EXPECT_EQ(PictureBytes(doc.m_hDIB), Blurred(once, kW, kH, CBlurParameters{0, 2, 1.0, false}));
    // Kind 6 blurs nothing: the real picture, as it is, becomes the picture.
    doc.RunOperation('P');
    doc.RunOperation('Q');
    doc.m_blur.m_nBlurKind = 6;
    doc.RunOperation('B');
    EXPECT_EQ(PictureBytes(doc.m_hDIB), sharp);
    EXPECT_TRUE(m_ui.Messages().empty());
}

TEST_F(StampDriver, DeconvolutionWithAPairBlurredLikeThePictureBringsItBack) {
    const CBlurParameters blur{2, 3, 0.5, false};
    const std::vector<uint8_t> good = SampleCrop(kW, kH, 60, 10);
    const std::vector<uint8_t> sharp = SampleCrop(kW, kH, 100, 80);
    Write("good.bmp", good);
    Write("blurred.bmp", Blurred(good, kW, kH, blur));
    const std::vector<uint8_t> blurredSharp = Blurred(sharp, kW, kH, blur);
    CZelvanDoc doc;
    Open(doc, "input.bmp", blurredSharp);
    doc.m_strGoodFile = Path("good.bmp");
    doc.m_strBlurredFile = Path("blurred.bmp");
    doc.RunOperation('D');
    EXPECT_TRUE(doc.LastRunCompleted());
    // The three spectra were made beside their pictures.
    EXPECT_TRUE(fs::exists(Path("good.ft")));
    EXPECT_TRUE(fs::exists(Path("blurred.ft")));
    EXPECT_TRUE(fs::exists(Path("input.ft")));
    const double before = Psnr(sharp, blurredSharp, kW, kH);
    const double after = Psnr(sharp, PictureBytes(doc.m_hDIB), kW, kH);
    EXPECT_GT(after, 35.0);
    EXPECT_GT(after, before + 5.0);
    EXPECT_TRUE(m_ui.Messages().empty());
}

TEST_F(StampDriver, DeconvolutionWithoutAGoodFileStopsWithItsNameAndChangesNothing) {
    const std::vector<uint8_t> picture = SampleCrop(kW, kH, 0, 50);
    CZelvanDoc doc;
    Open(doc, "input.bmp", picture);
    doc.m_strBlurredFile = Write("b.bmp", picture);
    doc.RunOperation('D');
    EXPECT_FALSE(doc.LastRunCompleted());
    EXPECT_EQ(m_ui.Messages(), std::vector<std::string>{"File not found: .ft"});
    EXPECT_EQ(PictureBytes(doc.m_hDIB), picture);
    EXPECT_FALSE(doc.IsModified());
}

TEST_F(StampDriver, MakeStampWritesBesideTheBlurredFileAndShowStampShowsIt) {
    const std::vector<uint8_t> picture = SampleCrop(kW, kH, 30, 60);
    CZelvanDoc doc;
    Open(doc, "p.bmp", picture);
    doc.m_strGoodFile = Write("same.bmp", picture);
    doc.m_strBlurredFile = Path("same.bmp");
    doc.RunOperation('S');
    EXPECT_TRUE(doc.LastRunCompleted());
    EXPECT_EQ(PictureBytes(doc.m_hDIB), picture);
    RubberStamp stamp;
    ASSERT_EQ(ReadRubberStampFreeSize(Path("same.stp"), stamp), 1);
    EXPECT_EQ(stamp.width, kW);
    EXPECT_EQ(stamp.height, kH);
    EXPECT_EQ(stamp.peakX, kW / 2);
    EXPECT_EQ(stamp.peakY, kH / 2);

    // Good and Blurred the same: one value at the peak, white; the rest 0, mid grey.
    doc.RunOperation('W');
    EXPECT_TRUE(doc.LastRunCompleted());
    const std::vector<uint8_t> shown = PictureBytes(doc.m_hDIB);
    const int32_t stride = RowBytes(kW * 24);
    for (int32_t y = 0; y < kH; ++y)
        for (int32_t x = 0; x < kW; ++x)
            for (int32_t c = 0; c < 3; ++c)
                EXPECT_EQ(shown[y * stride + 3 * x + c], x == kW / 2 && y == kH / 2 ? 255 : 128)
                    << x << "," << y;

    // A smaller stamp lands at the first pixel, the rest of the picture black; a negative
    // peak shows as 1.
    const double values[6] = {-2.0, 1.0, 0.0, -4.0, 0.5, 8.0};
    ASSERT_EQ(WriteRubberStamp(Path("same.stp"), values, 3, 2, 0, 1), 1);
    doc.RunOperation('W');
    const std::vector<uint8_t> small = PictureBytes(doc.m_hDIB);
    EXPECT_EQ(small[0], ByteFromReal(128 - 127 * 2.0 / 4.0));
    EXPECT_EQ(small[3], ByteFromReal(128 + 127 * 1.0 / 4.0));
    EXPECT_EQ(small[6], 128);
    EXPECT_EQ(small[stride], 1);
    EXPECT_EQ(small[stride + 6], 255);  // 128 + 254, clamped
    EXPECT_EQ(small[9], 0);
    EXPECT_EQ(small[2 * stride], 0);
    EXPECT_TRUE(m_ui.Messages().empty());
}

TEST_F(StampDriver, MissingStampsAndFailedStampsAreReportedAndChangeNothing) {
    const std::vector<uint8_t> picture = SampleCrop(kW, kH, 5, 5);
    CZelvanDoc doc;
    Open(doc, "p.bmp", picture);
    doc.m_strBlurredFile = Path("none.bmp");
    doc.RunOperation('W');
    EXPECT_FALSE(doc.LastRunCompleted());
    EXPECT_EQ(m_ui.Messages(),
              (std::vector<std::string>{Path("none.stp") + " Read Stamp File error aa",
                                        " ShowStamp ReadRubberStamp error "}));
    m_ui.Clear();
    doc.RunOperation('S');
    EXPECT_FALSE(doc.LastRunCompleted());
    EXPECT_EQ(m_ui.Messages(),
              (std::vector<std::string>{"File not found: .ft", "Failed to make stamp."}));
    EXPECT_EQ(PictureBytes(doc.m_hDIB), picture);
    EXPECT_FALSE(doc.IsModified());
}
