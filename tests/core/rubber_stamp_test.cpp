// Stamp files: the layout byte for byte, the cut, the size and peak limits with their
// messages, and writers that keep the old stamp when they fail.
#include "stamp/rubber_stamp.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "platform/byte_order.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kSizeError = "ReadRubberStampFreeSize: Error in Stamp file size data. ";

std::vector<uint8_t> FileBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const fs::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

// A header followed by count values 0.5, 1.5, 2.5 ...
std::vector<uint8_t> StampFile(int32_t w, int32_t h, int32_t px, int32_t py, size_t count) {
    std::vector<uint8_t> bytes(16 + 8 * count);
    StoreLE32s(bytes.data(), w);
    StoreLE32s(bytes.data() + 4, h);
    StoreLE32s(bytes.data() + 8, px);
    StoreLE32s(bytes.data() + 12, py);
    for (size_t i = 0; i < count; ++i)
        StoreLEDouble(bytes.data() + 16 + 8 * i, static_cast<double>(i) + 0.5);
    return bytes;
}

}  // namespace

TEST(RubberStampFile, OneByOneStampIsTwentyFourBytesAndReadsBack) {
    CScriptedUi ui;
    CUiScope scope(ui);
    const fs::path dir = TestTempDir("stamp_1x1");
    const std::string path = (dir / "one.stp").string();
    const double one = -2.25;
    ASSERT_EQ(WriteRubberStamp(path, &one, 1, 1, 0, 0), 1);
    const std::vector<uint8_t> expected = {1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0,
                                           0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0xc0};
    EXPECT_EQ(FileBytes(path), expected);
    RubberStamp stamp;
    ASSERT_EQ(ReadRubberStampFreeSize(path, stamp), 1);
    EXPECT_EQ(stamp.width, 1);
    EXPECT_EQ(stamp.height, 1);
    EXPECT_EQ(stamp.peakX, 0);
    EXPECT_EQ(stamp.peakY, 0);
    EXPECT_EQ(stamp.At(0, 0), -2.25);
    EXPECT_TRUE(ui.Messages().empty());
}

TEST(RubberStampFile, WholeStampRoundTripsAndTheFullCutIsTheSameFile) {
    CScriptedUi ui;
    CUiScope scope(ui);
    const fs::path dir = TestTempDir("stamp_round");
    std::vector<double> values(5 * 3);
    for (size_t i = 0; i < values.size(); ++i)
        values[i] = 1.0 / (1.0 + static_cast<double>(i)) - 0.3;
    const std::string whole = (dir / "whole.stp").string();
    const std::string cut = (dir / "cut.stp").string();
    ASSERT_EQ(WriteRubberStamp(whole, values.data(), 5, 3, 2, 1), 1);
    ASSERT_EQ(WriteRubberStampReduced(cut, values.data(), 5, 3, CStampRect{0, 3, 5, 0}, 2, 1), 1);
    EXPECT_EQ(FileBytes(whole), FileBytes(cut));
    EXPECT_EQ(FileBytes(whole).size(), 16u + 8u * 15u);
    RubberStamp stamp;
    ASSERT_EQ(ReadRubberStampFreeSize(whole, stamp), 1);
    EXPECT_EQ(stamp.width, 5);
    EXPECT_EQ(stamp.height, 3);
    EXPECT_EQ(stamp.peakX, 2);
    EXPECT_EQ(stamp.peakY, 1);
    for (int32_t y = 0; y < 3; ++y)
        for (int32_t x = 0; x < 5; ++x) EXPECT_EQ(stamp.At(x, y), values[y * 5 + x]);
}

TEST(RubberStampFile, CutKeepsItsRectangleAndMovesThePeakIntoIt) {
    CScriptedUi ui;
    CUiScope scope(ui);
    const fs::path dir = TestTempDir("stamp_cut");
    // A 9 x 6 stamp whose value at (x, y) is 100 y + x.
    std::vector<double> values(9 * 6);
    for (int32_t y = 0; y < 6; ++y)
        for (int32_t x = 0; x < 9; ++x) values[y * 9 + x] = 100.0 * y + x;
    const std::string path = (dir / "cut.stp").string();
    // Columns 3 to 6, rows 2 to 4, peak (5, 3).
    ASSERT_EQ(WriteRubberStampReduced(path, values.data(), 9, 6, CStampRect{3, 5, 7, 2}, 5, 3), 1);
    const std::vector<uint8_t> bytes = FileBytes(path);
    ASSERT_EQ(bytes.size(), 16u + 12u * 8u);
    EXPECT_EQ(LoadLE32s(bytes.data()), 4);
    EXPECT_EQ(LoadLE32s(bytes.data() + 4), 3);
    EXPECT_EQ(LoadLE32s(bytes.data() + 8), 2);
    EXPECT_EQ(LoadLE32s(bytes.data() + 12), 1);
    EXPECT_EQ(LoadLEDouble(bytes.data() + 16), 203.0);  // row 2, column 3
    EXPECT_EQ(LoadLEDouble(bytes.data() + 16 + 8 * 4), 303.0);
    EXPECT_EQ(LoadLEDouble(bytes.data() + 16 + 8 * 11), 406.0);
    EXPECT_TRUE(ui.Messages().empty());

    // An empty cut, or one reaching outside the stamp, is not written.
    const std::string empty = (dir / "empty.stp").string();
    EXPECT_EQ(WriteRubberStampReduced(empty, values.data(), 9, 6, CStampRect{3, 5, 3, 2}, 3, 3), 0);
    EXPECT_EQ(WriteRubberStampReduced(empty, values.data(), 9, 6, CStampRect{3, 7, 7, 2}, 5, 3), 0);
    EXPECT_FALSE(fs::exists(empty));
    EXPECT_EQ(ui.Messages(),
              std::vector<std::string>(2, empty + " Write WriteRubberStampReduced File error"));
}

TEST(RubberStampFile, SizesOutsideOneToTenThousandAndShortFilesAreRefused) {
    CScriptedUi ui;
    CUiScope scope(ui);
    const fs::path dir = TestTempDir("stamp_sizes");
    const std::string path = (dir / "s.stp").string();
    struct Case {
        int32_t w, h;
    };
    for (const Case c :
         {Case{10001, 1}, Case{1, 10001}, Case{0, 1}, Case{1, 0}, Case{-4, 2}, Case{3, -1}}) {
        WriteBytes(path, StampFile(c.w, c.h, 0, 0, 2));
        ui.Clear();
        RubberStamp stamp;
        EXPECT_EQ(ReadRubberStampFreeSize(path, stamp), 0) << c.w << " x " << c.h;
        EXPECT_TRUE(stamp.IsEmpty());
        EXPECT_EQ(ui.Messages(), std::vector<std::string>{kSizeError});
        EXPECT_EQ(ui.Events().at(0).icon, MessageIcon::None);
    }
    // 10000 a side passes the size check; this file then is far too short for its values.
    WriteBytes(path, StampFile(10000, 10000, 0, 0, 1));
    ui.Clear();
    RubberStamp stamp;
    EXPECT_EQ(ReadRubberStampFreeSize(path, stamp), 0);
    EXPECT_EQ(ui.Messages(), std::vector<std::string>{kSizeError});
    // One value short of 3 x 2, and a file under 16 bytes.
    WriteBytes(path, StampFile(3, 2, 1, 1, 5));
    ui.Clear();
    EXPECT_EQ(ReadRubberStampFreeSize(path, stamp), 0);
    EXPECT_EQ(ui.Messages(), std::vector<std::string>{kSizeError});
    std::vector<uint8_t> shortHeader = StampFile(1, 1, 0, 0, 0);
    shortHeader.resize(15);
    WriteBytes(path, shortHeader);
    ui.Clear();
    EXPECT_EQ(ReadRubberStampFreeSize(path, stamp), 0);
    EXPECT_EQ(ui.Messages(), std::vector<std::string>{kSizeError});
    // Exactly the values promised reads; more than that is ignored.
    WriteBytes(path, StampFile(3, 2, 2, 1, 7));
    ui.Clear();
    ASSERT_EQ(ReadRubberStampFreeSize(path, stamp), 1);
    EXPECT_EQ(stamp.At(2, 1), 5.5);
    EXPECT_TRUE(ui.Messages().empty());
}

TEST(RubberStampFile, PeakOutsideTheStampAndMissingFilesAreRefused) {
    CScriptedUi ui;
    CUiScope scope(ui);
    const fs::path dir = TestTempDir("stamp_peak");
    const std::string path = (dir / "p.stp").string();
    struct Peak {
        int32_t x, y;
    };
    for (const Peak p : {Peak{3, 0}, Peak{0, 2}, Peak{-1, 0}, Peak{0, -1}}) {
        WriteBytes(path, StampFile(3, 2, p.x, p.y, 6));
        ui.Clear();
        RubberStamp stamp;
        EXPECT_EQ(ReadRubberStampFreeSize(path, stamp), 0) << p.x << "," << p.y;
        EXPECT_TRUE(stamp.IsEmpty());
        EXPECT_EQ(ui.Messages(), std::vector<std::string>{
                                     "ReadRubberStampFreeSize: Error in Stamp file peak data. "});
    }
    const std::string missing = (dir / "missing.stp").string();
    ui.Clear();
    RubberStamp stamp;
    EXPECT_EQ(ReadRubberStampFreeSize(missing, stamp), 0);
    EXPECT_TRUE(stamp.IsEmpty());
    ASSERT_EQ(ui.Messages(), std::vector<std::string>{missing + " Read Stamp File error aa"});
    EXPECT_EQ(ui.Events().at(0).icon, MessageIcon::Exclamation);
}

TEST(RubberStampFile, FailedWritesKeepTheStampThatWasThere) {
    CScriptedUi ui;
    CUiScope scope(ui);
    const fs::path dir = TestTempDir("stamp_keep");
    const std::string path = (dir / "keep.stp").string();
    const double values[4] = {1, 2, 3, 4};
    ASSERT_EQ(WriteRubberStamp(path, values, 2, 2, 1, 1), 1);
    const std::vector<uint8_t> before = FileBytes(path);
    // A size the reader would refuse is not written over it.
    EXPECT_EQ(WriteRubberStamp(path, values, 0, 2, 0, 0), 0);
    EXPECT_EQ(FileBytes(path), before);
    EXPECT_EQ(ui.Messages(), std::vector<std::string>{path + " Write Stamp File error"});
    EXPECT_EQ(ui.Events().at(0).icon, MessageIcon::Exclamation);
    // A folder that cannot be written: nothing is created and the message names the path.
    if (::geteuid() != 0) {
        const fs::path locked = dir / "locked";
        fs::create_directories(locked);
        ::chmod(locked.c_str(), 0500);
        ui.Clear();
        const std::string inside = (locked / "s.stp").string();
        EXPECT_EQ(WriteRubberStamp(inside, values, 2, 2, 1, 1), 0);
        EXPECT_EQ(ui.Messages(), std::vector<std::string>{
                                     inside + " Write Stamp File error: " + "Permission denied"});
        ::chmod(locked.c_str(), 0700);
    }
    // The old stamp is still read whole.
    RubberStamp stamp;
    ASSERT_EQ(ReadRubberStampFreeSize(path, stamp), 1);
    EXPECT_EQ(stamp.At(1, 1), 4.0);
}

TEST(RubberStampFile, ValuesThatAreNotFiniteAreRefusedWithTheFilesName) {
    CScriptedUi ui;
    CUiScope scope(ui);
    const fs::path dir = TestTempDir("stamp_not_finite");
    const std::string path = (dir / "bad.stp").string();
    for (const double bad : {NAN, INFINITY, -INFINITY}) {
        std::vector<uint8_t> bytes = StampFile(3, 2, 1, 1, 6);
        StoreLEDouble(bytes.data() + 16 + 8 * 4, bad);
        WriteBytes(path, bytes);
        ui.Clear();
        RubberStamp stamp;
        EXPECT_EQ(ReadRubberStampFreeSize(path, stamp), 0) << bad;
        EXPECT_TRUE(stamp.IsEmpty());
        EXPECT_EQ(ui.Messages(),
                  std::vector<std::string>{
                      path + ": the stamp holds values that are not finite numbers."});
    }
    // The largest finite values are numbers: the reader takes them, the use refuses them.
    std::vector<uint8_t> bytes = StampFile(3, 1, 1, 0, 3);
    for (size_t i = 0; i < 3; ++i) StoreLEDouble(bytes.data() + 16 + 8 * i, 1e308);
    WriteBytes(path, bytes);
    ui.Clear();
    RubberStamp huge;
    ASSERT_EQ(ReadRubberStampFreeSize(path, huge), 1);
    EXPECT_EQ(CheckStampValues(huge, path), 0);
    EXPECT_EQ(ui.Messages(),
              std::vector<std::string>{
                  path + ": the stamp's values are too large: their sums are not finite."});
}

TEST(RubberStampFile, AStampToUseSumsToSomethingAndMayHaveAZeroPeak) {
    CScriptedUi ui;
    CUiScope scope(ui);
    const auto stamp = [](std::vector<double> values, int32_t px) {
        RubberStamp s;
        s.width = static_cast<int32_t>(values.size());
        s.height = 1;
        s.peakX = px;
        s.values.resize(values.size());
        std::copy(values.begin(), values.end(), s.Values());
        return s;
    };
    EXPECT_EQ(CheckStampValues(stamp({0.5, 0.0, 0.5}, 1), "a.stp"), 1);
    EXPECT_EQ(CheckStampValues(stamp({-2.0, 3.0}, 0), "a.stp"), 1);
    EXPECT_TRUE(ui.Messages().empty());
    const std::string zero =
        "a.stp: the stamp sums to 0: a picture convolved with it loses its light.";
    EXPECT_EQ(CheckStampValues(stamp({0.0, 0.0, 0.0}, 1), "a.stp"), 0);
    EXPECT_EQ(CheckStampValues(stamp({1.0, -1.0}, 0), "a.stp"), 0);
    EXPECT_EQ(CheckStampValues(stamp({1e300, 1.0, -1e300}, 0), "a.stp"), 0);
    EXPECT_EQ(ui.Messages(), std::vector<std::string>(3, zero));
}

TEST(RubberStampFile, AWriteThatFailsSaysWhy) {
    CScriptedUi ui;
    CUiScope scope(ui);
    const fs::path dir = TestTempDir("stamp_write_reason");
    const double values[4] = {1, 2, 3, 4};
    const std::string missing = (dir / "nofolder" / "k.stp").string();
    EXPECT_EQ(WriteRubberStamp(missing, values, 2, 2, 1, 1), 0);
    EXPECT_EQ(WriteRubberStampReduced(missing, values, 2, 2, CStampRect{0, 2, 2, 0}, 1, 1), 0);
    const std::string locked = (dir / "locked.stp").string();
    ASSERT_EQ(WriteRubberStamp(locked, values, 2, 2, 1, 1), 1);
    ::chmod(locked.c_str(), 0444);
    EXPECT_EQ(WriteRubberStampReduced(locked, values, 2, 2, CStampRect{0, 2, 1, 0}, 0, 0), 0);
    EXPECT_EQ(ui.Messages(),
              (std::vector<std::string>{
                  missing + " Write Stamp File error: No such file or directory",
                  missing + " Write WriteRubberStampReduced File error: No such file or directory",
                  locked + " Write WriteRubberStampReduced File error: Permission denied (the "
                           "file is read-only)"}));
    RubberStamp kept;
    ASSERT_EQ(ReadRubberStampFreeSize(locked, kept), 1);
    EXPECT_EQ(kept.width, 2);
}
