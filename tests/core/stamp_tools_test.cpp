// Trimming a stamp, the convolution with the trimmed stamp through "Dialog Stamp Cut", and
// the stamp shown as a grey picture.
#include "stamp/stamp_tools.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "image/dib.h"
#include "stamp/rubber_stamp.h"
#include "stamp/stamp_dialogs.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

RubberStamp MakeStamp(int32_t w, int32_t h, const std::vector<double>& values, int32_t px,
                      int32_t py) {
    RubberStamp stamp;
    stamp.width = w;
    stamp.height = h;
    stamp.peakX = px;
    stamp.peakY = py;
    stamp.values.resize(values.size());
    std::copy(values.begin(), values.end(), stamp.Values());
    return stamp;
}

class StampTools : public testing::Test {
protected:
    static constexpr int32_t kW = 8, kH = 4;
    void SetUp() override {
        m_dir = TestTempDir(std::string("stamptools_") +
                            testing::UnitTest::GetInstance()->current_test_info()->name());
        ASSERT_TRUE(m_engine.SetUp(kW, kH, RowBytes(kW * 24), kH, 8));
        m_picture.assign(static_cast<size_t>(RowBytes(kW * 24)) * kH, 0);
        for (size_t i = 0; i < m_picture.size(); ++i)
            m_picture[i] = static_cast<uint8_t>(7 * i + 3);
        m_real.assign(m_picture.size(), -1.0);
    }
    void TearDown() override {
        std::error_code error;
        fs::remove_all(m_dir, error);
    }
    std::string Stamp(const std::vector<double>& values, int32_t w, int32_t h, int32_t px,
                      int32_t py) {
        const std::string path = (m_dir / "s.stp").string();
        EXPECT_EQ(WriteRubberStamp(path, values.data(), w, h, px, py), 1);
        return path;
    }
    uint8_t At(const std::vector<uint8_t>& p, int32_t x, int32_t y, int32_t c) const {
        return p[static_cast<size_t>(y) * RowBytes(kW * 24) + 3 * x + c];
    }

    CScriptedUi m_ui;
    CUiScope m_scope{m_ui};
    fs::path m_dir;
    CFourier m_engine;
    std::vector<uint8_t> m_picture;
    std::vector<double> m_real;
};

}  // namespace

TEST(CutStamp, DropsWeakOuterLinesDownToTheCoreAndAZeroThresholdCutsNothing) {
    // A 5 x 4 stamp whose only nonzero values are a 2 x 2 core at columns 1-2, rows 1-2.
    std::vector<double> v(20, 0.0);
    v[1 * 5 + 1] = 1.0;
    v[1 * 5 + 2] = -0.5;
    v[2 * 5 + 1] = 0.25;
    v[2 * 5 + 2] = 1e-3;
    const RubberStamp stamp = MakeStamp(5, 4, v, 1, 1);
    CStampRect rect{.left = 3, .top = 2, .right = 4, .bottom = 1};
    CutStamp(stamp, rect, 1e-6);
    EXPECT_EQ(rect, (CStampRect{.left = 1, .top = 3, .right = 3, .bottom = 1}));
    // Every cut starts again from the whole stamp.
    CutStamp(stamp, rect, 0.0);
    EXPECT_EQ(rect, (CStampRect{.left = 0, .top = 4, .right = 5, .bottom = 0}));
    // A high threshold stops as soon as a side reaches 1: the height here, once row 2 (all
    // below 0.6) went, although column 2 would have gone next.
    CutStamp(stamp, rect, 0.6);
    EXPECT_EQ(rect, (CStampRect{.left = 1, .top = 2, .right = 3, .bottom = 1}));
}

TEST_F(StampTools, AUnitStampLeavesThePictureAndAMovedPeakShiftsIt) {
    const std::string path = Stamp({1.0}, 1, 1, 0, 0);
    std::vector<uint8_t> picture = m_picture;
    m_ui.ScriptUseThis();
    ASSERT_EQ(UseStamp(m_engine, picture.data(), m_real.data(), path), 1);
    EXPECT_EQ(picture, m_picture);
    // The full rectangle was used: nothing to save, nothing asked.
    EXPECT_TRUE(m_ui.Questions().empty());
    ASSERT_EQ(m_ui.StampCutShown().size(), 1u);
    EXPECT_DOUBLE_EQ(m_ui.StampCutShown()[0].m_dFraction, 1e-6);
    EXPECT_DOUBLE_EQ(m_ui.StampCutShown()[0].m_dPeak, 1.0);
    EXPECT_EQ(m_ui.StampCutShown()[0].m_nRight, 1);
    EXPECT_EQ(m_ui.StampCutShown()[0].m_nTop, 1);

    // The peak column moved from 0 to -1: every pixel one column to the right, wrapping.
    m_ui.ScriptUseThis(CPoint{-1, 0});
    ASSERT_EQ(UseStamp(m_engine, picture.data(), m_real.data(), path), 1);
    for (int32_t y = 0; y < kH; ++y)
        for (int32_t x = 0; x < kW; ++x)
            for (int32_t c = 0; c < 3; ++c)
                EXPECT_EQ(At(picture, x, y, c), At(m_picture, (x + kW - 1) % kW, y, c));
}

TEST_F(StampTools, AThreeValueStampAveragesTheNeighboursWrappingAtTheEdges) {
    const std::string path = Stamp({0.5, 0.0, 0.5}, 3, 1, 1, 0);
    std::vector<uint8_t> picture = m_picture;
    m_ui.ScriptUseThis();
    ASSERT_EQ(UseStamp(m_engine, picture.data(), m_real.data(), path), 1);
    for (int32_t y = 0; y < kH; ++y)
        for (int32_t x = 0; x < kW; ++x)
            for (int32_t c = 0; c < 3; ++c) {
                const double mean = 0.5 * At(m_picture, (x + kW - 1) % kW, y, c) +
                                    0.5 * At(m_picture, (x + 1) % kW, y, c);
                EXPECT_EQ(At(picture, x, y, c), ByteFromReal(mean)) << x << "," << y;
                // The reals keep the sums unrounded.
                EXPECT_DOUBLE_EQ(m_real[static_cast<size_t>(y) * RowBytes(kW * 24) + 3 * x + c],
                                 mean);
            }
}

TEST_F(StampTools, TryFractionCutsAndAskedToSaveTheCutReplacesTheFile) {
    // A 5 x 3 stamp with zeros all round a 3 x 1 core.
    std::vector<double> v(15, 0.0);
    v[1 * 5 + 1] = 0.25;
    v[1 * 5 + 2] = 0.5;
    v[1 * 5 + 3] = 0.25;
    const std::string path = Stamp(v, 5, 3, 2, 1);
    std::vector<uint8_t> picture = m_picture;
    m_ui.ScriptTryFraction(1e-6);
    m_ui.ScriptUseThis();
    m_ui.ScriptAnswer(true);
    ASSERT_EQ(UseStamp(m_engine, picture.data(), m_real.data(), path), 1);
    // The second pass showed the cut rectangle.
    ASSERT_EQ(m_ui.StampCutShown().size(), 2u);
    const CStampCutData& cut = m_ui.StampCutShown()[1];
    EXPECT_EQ(cut.m_nLeft, 1);
    EXPECT_EQ(cut.m_nRight, 4);
    EXPECT_EQ(cut.m_nBottom, 1);
    EXPECT_EQ(cut.m_nTop, 2);
    EXPECT_EQ(m_ui.Questions(), std::vector<std::string>{"Save this stamp? "});
    RubberStamp saved;
    ASSERT_EQ(ReadRubberStampFreeSize(path, saved), 1);
    EXPECT_EQ(saved.width, 3);
    EXPECT_EQ(saved.height, 1);
    EXPECT_EQ(saved.peakX, 1);
    EXPECT_EQ(saved.peakY, 0);
    EXPECT_DOUBLE_EQ(saved.At(1, 0), 0.5);

    // Cancel changes nothing and gives 0; No keeps the file.
    std::vector<uint8_t> again = m_picture;
    m_ui.ScriptStampCutDialog([](CStampCutData&) { return kIdCancel; });
    EXPECT_EQ(UseStamp(m_engine, again.data(), m_real.data(), path), 0);
    EXPECT_EQ(again, m_picture);
}

TEST_F(StampTools, ACutDownToNothingIsUsedButNotSaved) {
    // One column, all of it below twice the peak: the cut leaves width 0.
    const std::string path = Stamp({1e-9, 1e-9}, 1, 2, 0, 0);
    std::vector<uint8_t> picture = m_picture;
    m_ui.ScriptTryFraction(2.0);
    m_ui.ScriptUseThis();
    ASSERT_EQ(UseStamp(m_engine, picture.data(), m_real.data(), path), 1);
    EXPECT_EQ(m_ui.StampCutShown().back().m_nRight - m_ui.StampCutShown().back().m_nLeft, 0);
    EXPECT_TRUE(m_ui.Questions().empty());
    EXPECT_EQ(m_ui.Messages(),
              std::vector<std::string>{"The cut stamp has no values left; it is not saved."});
    RubberStamp kept;
    ASSERT_EQ(ReadRubberStampFreeSize(path, kept), 1);
    EXPECT_EQ(kept.height, 2);
}

TEST_F(StampTools, ShowStampMapsZeroToMidGreyAndAZeroPeakToItsLargestValue) {
    const std::string path = Stamp({0.0, 2.0, -1.0, 0.0}, 2, 2, 0, 0);
    ASSERT_EQ(ShowStamp(m_engine, m_real.data(), path), 1);
    const size_t stride = RowBytes(kW * 24);
    EXPECT_DOUBLE_EQ(m_real[0], 128.0);
    EXPECT_DOUBLE_EQ(m_real[3], 128.0 + 127.0);
    EXPECT_DOUBLE_EQ(m_real[stride + 2], 128.0 - 63.5);
    EXPECT_DOUBLE_EQ(m_real[6], 0.0);
    for (double value : m_real) EXPECT_TRUE(std::isfinite(value));

    // An unreadable stamp: the reader's message and then the operation's.
    m_ui.Clear();
    EXPECT_EQ(ShowStamp(m_engine, m_real.data(), (m_dir / "none.stp").string()), 0);
    EXPECT_EQ(m_ui.Messages().back(), " ShowStamp ReadRubberStamp error ");
    EXPECT_EQ(UseStamp(m_engine, m_picture.data(), m_real.data(), (m_dir / "none.stp").string()),
              0);
    EXPECT_EQ(m_ui.Messages().back(), " UseStamp ReadRubberStamp error ");
}

TEST_F(StampTools, ACutThatCannotBeSavedIsReportedAndTheStampFileKept) {
    // The same 5 x 3 stamp, its file read-only: the picture is convolved, the cut is not
    // saved, and the result says so instead of passing for a success.
    std::vector<double> v(15, 0.0);
    v[1 * 5 + 1] = 0.25;
    v[1 * 5 + 2] = 0.5;
    v[1 * 5 + 3] = 0.25;
    const std::string path = Stamp(v, 5, 3, 2, 1);
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    std::vector<uint8_t> picture = m_picture;
    m_ui.ScriptTryFraction(1e-6);
    m_ui.ScriptUseThis();
    m_ui.ScriptAnswer(true);
    EXPECT_EQ(UseStamp(m_engine, picture.data(), m_real.data(), path), kStampCutNotSaved);
    EXPECT_NE(picture, m_picture);
    EXPECT_EQ(m_ui.Messages(),
              std::vector<std::string>{path + " Write WriteRubberStampReduced File error: "
                                              "Permission denied (the file is read-only)"});
    RubberStamp kept;
    ASSERT_EQ(ReadRubberStampFreeSize(path, kept), 1);
    EXPECT_EQ(kept.width, 5);
}

TEST_F(StampTools, AStampOfZerosOrOfHugeValuesIsNeitherUsedNorShown) {
    const struct {
        std::vector<double> values;
        std::string message;
    } cases[] = {
        {{0.0, 0.0, 0.0}, ": the stamp sums to 0: a picture convolved with it loses its light."},
        {{-1.0, 0.0, 1.0}, ": the stamp sums to 0: a picture convolved with it loses its light."},
        {{1e308, 1e308, 1e308}, ": the stamp's values are too large: their sums are not finite."},
    };
    for (const auto& c : cases) {
        const std::string path = Stamp(c.values, 3, 1, 1, 0);
        std::vector<uint8_t> picture = m_picture;
        m_ui.Clear();
        EXPECT_EQ(UseStamp(m_engine, picture.data(), m_real.data(), path), 0);
        EXPECT_EQ(picture, m_picture);
        EXPECT_EQ(m_ui.Messages(),
                  (std::vector<std::string>{path + c.message, " UseStamp ReadRubberStamp error "}));
        EXPECT_TRUE(m_ui.StampCutShown().empty());
        m_ui.Clear();
        EXPECT_EQ(ShowStamp(m_engine, m_real.data(), path), 0);
        EXPECT_EQ(m_ui.Messages(), (std::vector<std::string>{path + c.message,
                                                             " ShowStamp ReadRubberStamp error "}));
    }
}
