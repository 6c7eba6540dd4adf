#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <tuple>
#include <vector>

#include "fourier/fourier.h"
#include "platform/file_open.h"
#include "support/scripted_ui.h"

namespace fs = std::filesystem;

namespace {

class FourierFile : public testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(m_dir);
        ASSERT_TRUE(m_engine.SetUp(12, 10, 36, 10, 60));
        for (size_t i = 0; i < m_spectrum.size(); ++i)
            m_spectrum[i] = Complex(std::sin(0.37 * static_cast<double>(i)) * 1e3,
                                    -1.0 / (1.0 + static_cast<double>(i)));
        m_spectrum[1] = Complex(-0.0, std::numeric_limits<double>::denorm_min());
        m_spectrum[2] = Complex(std::numeric_limits<double>::max(), -1e308);
    }
    void TearDown() override { fs::remove_all(m_dir); }

    std::string Path(const char* name) const { return (m_dir / name).string(); }
    static std::vector<uint8_t> Bytes(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    static bool SameBits(const std::vector<Complex>& a, const std::vector<Complex>& b) {
        return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * 16) == 0;
    }

    CScriptedUi m_ui;
    CUiScope m_scope{m_ui};
    fs::path m_dir =
        fs::temp_directory_path() / ("zelvanto_ft_" + std::to_string(::getpid()) + "_" +
                                     testing::UnitTest::GetInstance()->current_test_info()->name());
    CFourier m_engine;
    std::vector<Complex> m_spectrum = std::vector<Complex>(3 * 12 * 10);
};

}  // namespace

TEST_F(FourierFile, WrittenSpectrumReadsBackBitForBit) {
    const std::string path = Path("scene.ft");
    ASSERT_EQ(m_engine.WriteFourierFile(path, m_spectrum.data()), 1);
    const std::vector<uint8_t> bytes = Bytes(path);
    ASSERT_EQ(bytes.size(), 8u + 48u * 120u);
    // Entry 1 (offset 24): -0.0 then the smallest denormal, little-endian.
    const uint8_t entry[16] = {0, 0, 0, 0, 0, 0, 0, 0x80, 1, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(bytes.data() + 24, entry, 16), 0);

    std::vector<Complex> back(m_spectrum.size(), Complex(7, 7));
    ASSERT_EQ(m_engine.ReadFourierFile(path, back.data()), 1);
    EXPECT_TRUE(SameBits(back, m_spectrum));
    CSize half;
    ASSERT_EQ(m_engine.ReadFourierFileSize(path, half), 1);
    EXPECT_EQ(half, (CSize{6, 5}));
    EXPECT_TRUE(m_ui.Events().empty());
}

TEST_F(FourierFile, HeaderHoldsTheHalfSizesAndAnotherSizeIsRefused) {
    CFourier large;
    ASSERT_TRUE(large.SetUp(100, 80, 300, 80, 400));
    std::vector<Complex> spectrum(3 * 100 * 80, Complex(1, 2));
    const std::string path = Path("large.ft");
    ASSERT_EQ(large.WriteFourierFile(path, spectrum.data()), 1);
    const std::vector<uint8_t> bytes = Bytes(path);
    ASSERT_EQ(bytes.size(), 384008u);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 8),
              (std::vector<uint8_t>{0x32, 0, 0, 0, 0x28, 0, 0, 0}));

    const std::vector<Complex> before = m_spectrum;
    EXPECT_EQ(m_engine.ReadFourierFile(path, m_spectrum.data()), 0);
    EXPECT_TRUE(SameBits(m_spectrum, before));
    ASSERT_EQ(m_ui.Events().size(), 1u);
    EXPECT_EQ(m_ui.Events()[0].text,
              "Error in CFourier file size data. " + path +
                  " holds the spectrum of another size than the 12 x 10 picture.");
    EXPECT_EQ(m_ui.Events()[0].icon, MessageIcon::None);
    CSize half;
    ASSERT_EQ(m_engine.ReadFourierFileSize(path, half), 1);
    EXPECT_EQ(half, (CSize{50, 40}));
}

TEST_F(FourierFile, MissingAndShortFilesFailQuietlyLongOnesAreRead) {
    const std::vector<Complex> before = m_spectrum;
    CSize half{3, 4};
    EXPECT_EQ(m_engine.ReadFourierFile(Path("missing.ft"), m_spectrum.data()), 0);
    EXPECT_EQ(m_engine.ReadFourierFileSize(Path("missing.ft"), half), 0);
    EXPECT_EQ(m_engine.ReadFourierFile(m_dir.string(), m_spectrum.data()), 0);  // a folder

    const std::string path = Path("short.ft");
    std::vector<Complex> other(m_spectrum.size(), Complex(-3, 3));
    ASSERT_EQ(m_engine.WriteFourierFile(path, other.data()), 1);
    fs::resize_file(path, 8 + 48 * 120 - 1);  // one byte short: nothing is taken
    EXPECT_EQ(m_engine.ReadFourierFile(path, m_spectrum.data()), 0);
    fs::resize_file(path, 5);  // not even a header
    EXPECT_EQ(m_engine.ReadFourierFile(path, m_spectrum.data()), 0);
    EXPECT_EQ(m_engine.ReadFourierFileSize(path, half), 0);
    EXPECT_TRUE(SameBits(m_spectrum, before));
    EXPECT_EQ(half, (CSize{3, 4}));
    EXPECT_TRUE(m_ui.Events().empty());

    ASSERT_EQ(m_engine.WriteFourierFile(path, other.data()), 1);
    std::ofstream(path, std::ios::binary | std::ios::app) << "trailing";
    EXPECT_EQ(m_engine.ReadFourierFile(path, m_spectrum.data()), 1);
    EXPECT_TRUE(SameBits(m_spectrum, other));
}

TEST_F(FourierFile, ReadErrorsAreFileErrors) {
    const std::string path = "/proc/self/mem";  // reading at offset 0 fails with EIO
    if (!fs::exists(path)) GTEST_SKIP() << "no " << path;
    CSize half;
    EXPECT_EQ(m_engine.ReadFourierFile(path, m_spectrum.data()), 0);
    EXPECT_EQ(m_engine.ReadFourierFileSize(path, half), 0);
    ASSERT_EQ(m_ui.Events().size(), 2u);
    EXPECT_EQ(m_ui.Events()[0].text, path + "File error");
    EXPECT_EQ(m_ui.Events()[0].icon, MessageIcon::Exclamation);
    EXPECT_EQ(m_ui.Events()[1].text, path + "Read CFourier Size error");
    EXPECT_EQ(m_ui.Events()[1].icon, MessageIcon::Exclamation);
}

TEST_F(FourierFile, FailedWriteKeepsTheOldFile) {
    const std::string path = Path("keep.ft");
    ASSERT_EQ(m_engine.WriteFourierFile(path, m_spectrum.data()), 1);
    const std::vector<uint8_t> old = Bytes(path);

    // A file size limit below the file's size fails the write part way, as a full disk would.
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit limited = saved;
    limited.rlim_cur = 1000;
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    std::vector<Complex> other(m_spectrum.size(), Complex(5, 5));
    const int written = m_engine.WriteFourierFile(path, other.data());
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_EQ(written, 0);
    EXPECT_EQ(Bytes(path), old);
    EXPECT_EQ(std::distance(fs::directory_iterator(m_dir), fs::directory_iterator()), 1);
    EXPECT_EQ(m_engine.WriteFourierFile(Path("no/such/folder.ft"), other.data()), 0);
    EXPECT_TRUE(m_ui.Events().empty());
}

TEST_F(FourierFile, OddSidesAreStoredNegatedAndReadBackWhole) {
    // 7 x 3 (both odd) and 6 x 3: an odd side's field is its negated length, an even one's
    // its half, so the files of even sizes keep their layout.
    for (const auto& [w, h, fields] :
         {std::tuple{7, 3, std::pair{-7, -3}}, std::tuple{6, 3, std::pair{3, -3}},
          std::tuple{12, 10, std::pair{6, 5}}}) {
        SCOPED_TRACE(testing::Message() << w << "x" << h);
        CFourier engine;
        ASSERT_TRUE(engine.SetUp(w, h, (3 * w + 3) / 4 * 4, h, 0));
        std::vector<Complex> spectrum(static_cast<size_t>(3 * w * h));
        for (size_t i = 0; i < spectrum.size(); ++i)
            spectrum[i] = Complex(static_cast<double>(i), -0.5 * static_cast<double>(i));
        const std::string path = Path("odd.ft");
        ASSERT_EQ(engine.WriteFourierFile(path, spectrum.data()), 1);
        const std::vector<uint8_t> bytes = Bytes(path);
        ASSERT_EQ(bytes.size(), 8u + 48u * static_cast<size_t>(w * h));
        int32_t stored[2];
        std::memcpy(stored, bytes.data(), 8);
        EXPECT_EQ(stored[0], fields.first);
        EXPECT_EQ(stored[1], fields.second);
        CSize half, size;
        ASSERT_EQ(engine.ReadFourierFileSize(path, half), 1);
        EXPECT_EQ(half, engine.HeaderPair());
        ASSERT_EQ(CFourier::ReadFourierPictureSize(path, size), 1);
        EXPECT_EQ(size, (CSize{w, h}));
        std::vector<Complex> back(spectrum.size());
        ASSERT_EQ(engine.ReadFourierFile(path, back.data()), 1);
        EXPECT_TRUE(SameBits(back, spectrum));
        // An engine of the even neighbour size does not take the odd file.
        if (w % 2 != 0) {
            CFourier other;
            ASSERT_TRUE(other.SetUp(w - 1, h, 3 * w, h, 0));
            std::vector<Complex> none(static_cast<size_t>(3 * (w - 1) * h));
            EXPECT_EQ(other.ReadFourierFile(path, none.data()), 0);
        }
    }
    EXPECT_EQ(CFourier::SideOfHeaderField(-4), 0);  // a negated side is always odd
    EXPECT_EQ(CFourier::SideOfHeaderField(0), 0);
    EXPECT_EQ(CFourier::SideOfHeaderField(-4033), 4033);
    EXPECT_EQ(CFourier::SideOfHeaderField(2016), 4032);
}

TEST_F(FourierFile, ThePrintTellsWhichPictureTheSpectrumBelongsTo) {
    // Two pictures of the engine's size (rows of 36 bytes, no padding) differing in one byte.
    std::vector<uint8_t> a(36 * 10), b;
    for (size_t i = 0; i < a.size(); ++i) a[i] = static_cast<uint8_t>(i * 7);
    b = a;
    b[123] ^= 1;
    const CFourier::PicturePrint printA = m_engine.PrintOf(a.data());
    EXPECT_FALSE(printA == m_engine.PrintOf(b.data()));
    EXPECT_EQ(printA.width, 12);
    EXPECT_EQ(printA.height, 10);

    const std::string path = Path("p.ft");
    m_engine.SetSpectrumPrint(printA, true);
    ASSERT_EQ(m_engine.WriteFourierFile(path, m_spectrum.data()), 1);
    const std::vector<uint8_t> bytes = Bytes(path);
    ASSERT_EQ(bytes.size(), 8u + 48u * 120u + 24u);
    EXPECT_EQ(std::string(bytes.end() - 24, bytes.end() - 16), "ZVPRINT1");
    EXPECT_EQ(bytes[bytes.size() - 16], 12);
    EXPECT_EQ(bytes[bytes.size() - 12], 10);
    using Match = CFourier::FileMatch;
    EXPECT_EQ(m_engine.MatchFourierFile(path, printA, {}), Match::Matches);
    EXPECT_EQ(m_engine.MatchFourierFile(path, m_engine.PrintOf(b.data()), {}), Match::Stale);
    // Read back, the print comes with the spectrum.
    m_engine.SetSpectrumPrint({}, false);
    std::vector<Complex> back(m_spectrum.size());
    ASSERT_EQ(m_engine.ReadFourierFile(path, back.data()), 1);
    EXPECT_TRUE(SameBits(back, m_spectrum));
    EXPECT_TRUE(m_engine.SpectrumPrintKnown());
    EXPECT_TRUE(m_engine.SpectrumPrint() == printA);

    // Cut short (right header) it counts as absent.
    fs::resize_file(path, 8 + 48 * 60);
    EXPECT_EQ(m_engine.MatchFourierFile(path, printA, {}), Match::Absent);
    EXPECT_EQ(m_engine.MatchFourierFile(Path("none.ft"), printA, {}), Match::Absent);

    // Without a print, its age against the picture's decides.
    m_engine.SetSpectrumPrint({}, false);
    ASSERT_EQ(m_engine.WriteFourierFile(path, m_spectrum.data()), 1);
    const std::string picture = Path("p.bmp");
    std::ofstream(picture) << "x";
    const auto now = fs::last_write_time(path);
    fs::last_write_time(picture, now - std::chrono::seconds(5));
    EXPECT_EQ(m_engine.MatchFourierFile(path, printA, picture), Match::Matches);
    fs::last_write_time(picture, now + std::chrono::seconds(5));
    EXPECT_EQ(m_engine.MatchFourierFile(path, printA, picture), Match::Stale);

    // Entries that are not finite are refused, the file named.
    m_spectrum[5] = Complex(std::numeric_limits<double>::quiet_NaN(), 0.0);
    ASSERT_EQ(m_engine.WriteFourierFile(path, m_spectrum.data()), 1);
    EXPECT_EQ(m_engine.ReadFourierFile(path, back.data()), 0);
    EXPECT_EQ(LastFileError(), path + ": the spectrum holds values that are not finite");
}
