// The Fourier run on blocks of its own, without a document, and the operation table's
// look-up of codes.
#include "fourier/fourier_run.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <numeric>
#include <regex>
#include <vector>

#include "document/operation_table.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

bool IsTimeText(const std::string& text) {
    return std::regex_match(text, std::regex("[0-9]{2,} : [0-5][0-9] : [0-5][0-9]"));
}

// A 16 x 12 picture with its blocks and settings, and the work of a run over them.
struct CRunCase {
    static constexpr int kW = 16, kH = 12, kStride = 48;
    CFourier engine;
    FourierSettings settings;
    std::string path;
    std::vector<uint8_t> pixels = std::vector<uint8_t>(kStride * kH);
    std::vector<Complex> spectrum = std::vector<Complex>(3 * kW * kH, Complex(0, 0));
    std::vector<double> real = std::vector<double>(kStride * kH, 0.0);
    std::vector<uint8_t> flags = std::vector<uint8_t>(kW * kH, 0);

    explicit CRunCase(const fs::path& dir) : path((dir / "run.ft").string()) {
        EXPECT_TRUE(engine.SetUp(kW, kH, kStride, kH, std::lcm(kW, kH)));
        for (int i = 0; i < kStride * kH; ++i)
            pixels[i] = static_cast<uint8_t>((i * i * 7 + i / kStride * 31) % 253);
        settings.Reset();
        engine.BytesToReals(pixels.data(), real.data());
    }
    // What a run or display over the blocks did: its result and what the work says.
    struct Outcome {
        bool done = false;
        bool spectrumKept = false;
        bool modified = false;
    };
    Outcome Run(bool withDialog) { return Do(&FourierRun, withDialog); }
    Outcome Show() {
        return Do([](CFourierWork& work, bool) { return ShowFourierFile(work); }, false);
    }

private:
    template <typename F>
    Outcome Do(F f, bool withDialog) {
        CFourierWork work{engine,
                          settings,
                          path,
                          pixels.data(),
                          spectrum.data(),
                          real.data(),
                          real.size() * sizeof(double),
                          flags.data()};
        const bool done = f(work, withDialog);
        return {done, work.spectrumKept, work.modified};
    }
};

class FourierRunTest : public testing::Test {
protected:
    void SetUp() override {
        m_dir = TestTempDir(std::string("run_") +
                            testing::UnitTest::GetInstance()->current_test_info()->name());
    }
    void TearDown() override {
        std::error_code error;
        fs::remove_all(m_dir, error);
    }
    CScriptedUi m_ui;
    CUiScope m_scope{m_ui};
    fs::path m_dir;
};

}  // namespace

TEST_F(FourierRunTest, TransformsOnceThenModifiesTheKeptSpectrumEveryTime) {
    CRunCase c(m_dir);
    const std::vector<uint8_t> picture = c.pixels;
    CRunCase::Outcome run = c.Run(false);
    ASSERT_TRUE(run.done);
    EXPECT_TRUE(run.spectrumKept);
    EXPECT_FALSE(run.modified);
    EXPECT_TRUE(c.settings.m_bPresent);
    EXPECT_TRUE(IsTimeText(c.settings.m_strSource));
    EXPECT_EQ(fs::file_size(c.path), 8u + 48u * 16 * 12 + 24u);
    EXPECT_EQ(c.pixels, picture);

    // Whatever the buffer holds now, the modification starts from the file.
    c.settings.m_nKind = kKindR1;
    c.settings.m_dParamR1 = 1.0;
    std::fill(c.spectrum.begin(), c.spectrum.end(), Complex(3.0, -1.0));
    run = c.Run(false);
    ASSERT_TRUE(run.done);
    EXPECT_FALSE(run.spectrumKept);
    EXPECT_TRUE(run.modified);
    EXPECT_TRUE(IsTimeText(c.settings.m_strTimeR1));
    EXPECT_TRUE(c.settings.m_strTimeR2.empty());
    const std::vector<uint8_t> once = c.pixels;
    EXPECT_NE(once, picture);

    c.pixels = picture;
    ASSERT_TRUE(c.Run(false).done);
    EXPECT_EQ(c.pixels, once);

    // The spectrum of the file gives the picture back exactly.
    std::fill(c.pixels.begin(), c.pixels.end(), uint8_t{0});
    c.settings.m_strTimeAmplify.clear();
    run = c.Show();
    ASSERT_TRUE(run.done);
    EXPECT_TRUE(run.spectrumKept);
    EXPECT_EQ(c.pixels, picture);
    EXPECT_TRUE(IsTimeText(c.settings.m_strTimeAmplify));
    EXPECT_TRUE(m_ui.Messages().empty());
}

TEST_F(FourierRunTest, FailedAndCancelledRunsLeaveTheBlocksAndTextsAsTheyWere) {
    CRunCase c(m_dir);
    const std::vector<uint8_t> picture = c.pixels;
    const std::vector<double> real = c.real;

    // Present, but the file is not there.
    c.settings.m_bPresent = true;
    c.settings.m_nKind = kKindR2;
    EXPECT_FALSE(c.Run(false).done);
    EXPECT_FALSE(c.Show().done);
    ASSERT_EQ(m_ui.Messages().size(), 2u);
    for (const std::string& text : m_ui.Messages())
        EXPECT_EQ(text.rfind("Read CFourier error", 0), 0u) << text;
    EXPECT_EQ(c.pixels, picture);
    EXPECT_EQ(c.real, real);
    EXPECT_TRUE(c.settings.m_strTimeR2.empty());

    // Not present: stopped during the transform, nothing is written or noted.
    c.settings.m_bPresent = false;
    m_ui.CancelAtProgress(1);
    const CRunCase::Outcome stopped = c.Run(false);
    EXPECT_FALSE(stopped.done);
    EXPECT_FALSE(stopped.modified);
    EXPECT_FALSE(fs::exists(c.path));
    EXPECT_FALSE(c.settings.m_bPresent);
    EXPECT_TRUE(c.settings.m_strSource.empty());
    EXPECT_EQ(c.pixels, picture);

    // The dialog cancelled: the settings keep their kind.
    m_ui.CancelAtProgress(0);
    m_ui.ScriptFourierOperations([](FourierSettings& s) {
        s.m_nKind = kKindE;
        return false;
    });
    EXPECT_FALSE(c.Run(true).done);
    EXPECT_EQ(c.settings.m_nKind, kKindR2);
    EXPECT_FALSE(fs::exists(c.path));
}

TEST(OperationTable, FindsEachCodeWithoutRegardToCaseAndNothingElse) {
    for (const int32_t code :
         {0, 1, 2, int32_t{'P'}, int32_t{'Q'}, int32_t{'-'}, int32_t{'A'}, int32_t{'X'}}) {
        const COperationRow* row = FindOperation(code);
        ASSERT_NE(row, nullptr) << code;
        EXPECT_EQ(row->code, code);
        EXPECT_NE(row->run, nullptr);
        if (code >= 'A' && code <= 'Z') {
            EXPECT_EQ(FindOperation(code - 'A' + 'a'), row);
        }
    }
    for (const int32_t code : {-1, 3, 48, int32_t{'Z'}, int32_t{'z'}, 'P' + 256})
        EXPECT_EQ(FindOperation(code), nullptr) << code;
    // One row per code: whatever code finds a row finds its own.
    for (int32_t code = -1; code < 256; ++code)
        if (const COperationRow* row = FindOperation(code)) {
            EXPECT_EQ(row->code, code >= 'a' && code <= 'z' ? code - 'a' + 'A' : code);
        }
}
