// zelvanto-cli refusing what it cannot do well: words that do not parse, numbers that are
// not numbers or do not fit, values that would give a picture that is not finite, stamps
// that hold no usable values, outputs that cannot be written or would be written over an
// input. Each refusal exits with status 1, says why, and leaves the files as they were.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "image/bmp_file.h"
#include "platform/byte_order.h"
#include "support/cli_run.h"
#include "support/scripted_ui.h"
#include "support/stamp_pictures.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

constexpr int32_t kW = 32, kH = 24;

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

size_t Count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

class CliStrict : public testing::Test {
protected:
    void SetUp() override {
        m_dir = TestTempDir(std::string("clistrict_") +
                            testing::UnitTest::GetInstance()->current_test_info()->name());
        CScriptedUi quiet;
        CUiScope scope(quiet);
        DibHandle dib;
        ASSERT_EQ(NewGreyPicture(kW, kH, dib), 1);
        const std::vector<uint8_t> bytes = SampleCrop(kW, kH, 60, 10);
        std::copy(bytes.begin(), bytes.end(), PicturePixels(dib.Data(), 0));
        ASSERT_EQ(WriteBmpFile(Path("p.bmp"), dib, 0), 1);
    }
    void TearDown() override {
        std::error_code error;
        fs::remove_all(m_dir, error);
    }
    CliResult Run(const std::string& args) { return RunCli(m_dir, args); }
    std::string Path(const std::string& name) const { return (m_dir / name).string(); }
    std::string Bytes(const std::string& name) const { return ReadFileBytes(m_dir / name); }
    bool Exists(const std::string& name) const { return fs::exists(m_dir / name); }

    // A stamp file of w x h values with its peak.
    void WriteStamp(const std::string& name, int32_t w, int32_t h, int32_t px, int32_t py,
                    const std::vector<double>& values) {
        std::string bytes(16 + 8 * values.size(), '\0');
        auto* data = reinterpret_cast<uint8_t*>(bytes.data());
        StoreLE32s(data, w);
        StoreLE32s(data + 4, h);
        StoreLE32s(data + 8, px);
        StoreLE32s(data + 12, py);
        for (size_t i = 0; i < values.size(); ++i) StoreLEDouble(data + 16 + 8 * i, values[i]);
        std::ofstream(Path(name), std::ios::binary) << bytes;
    }

    fs::path m_dir;
};

}  // namespace

TEST_F(CliStrict, EveryRefusedWordExitsWithStatusOneAndHelpWithZero) {
    const struct {
        const char* args;
        const char* message;
    } refused[] = {
        {"colour p.bmp --light 1e308 -o x.bmp",
         "--light takes a whole number from -100 to 100, not \"1e308\"."},
        {"restore p.bmp --gaussian 1 --method lucy --iterations nan -o x.bmp",
         "--iterations takes a whole number, not \"nan\"."},
        {"blur p.bmp -o x.bmp --steps", "--steps: 1 required INT missing"},
        {"blur p.bmp --sideways -o x.bmp", "The following argument was not expected: --sideways"},
        {"blur p.bmp", "--output is required"},
        {"transform p.bmp x.ft --engine dft", "--engine: dft not in {auto,projection,fft}"},
        {"queue p.bmp --entry a=1/r --format gif", "--format: gif not in {jpg,bmp}"},
        {"queue p.bmp --entry a=1/r --jobs 257", "--jobs takes a whole number from 0 to 256"},
        {"", "A subcommand is required"},
        {"fly p.bmp", "A subcommand is required"},
    };
    for (const auto& c : refused) {
        const CliResult r = Run(c.args);
        EXPECT_EQ(r.status, 1) << c.args;
        EXPECT_TRUE(Has(r.err, c.message)) << c.args << ": " << r.err;
        EXPECT_FALSE(Exists("x.bmp")) << c.args;
    }
    for (const char* help : {"--help", "--help-all", "blur --help", "run --help"}) {
        const CliResult r = Run(help);
        EXPECT_EQ(r.status, 0) << help;
        EXPECT_TRUE(Has(r.out, "Usage:")) << help;
    }
}

TEST_F(CliStrict, NumbersAreReadWholeAndInDecimalOrRefusedNamingTheOption) {
    WriteStamp("s.stp", 3, 1, 1, 0, {0.25, 0.5, 0.25});
    const struct {
        const char* args;
        const char* message;
    } refused[] = {
        {"use-stamp p.bmp --stamp s.stp --peak 2147483648,5 -o x.bmp",
         "--peak takes X,Y, two whole numbers, for example 3,-2, not \"2147483648,5\"."},
        {"open p.bmp --size 99999999999x2 -o x.bmp",
         "--size takes WxH, for example 640x480, not \"99999999999x2\"."},
        {"sizes 0x10 8", "W takes a whole number of at least 1, not \"0x10\"."},
        {"fourier p.bmp --kind one --x 0x10 -o x.bmp", "--x takes a whole number, not \"0x10\"."},
        {"blur p.bmp --steps '' -o x.bmp", "--steps takes a whole number of at least 1, not \"\"."},
        {"blur p.bmp --steps 3.5 -o x.bmp", "--steps takes a whole number of at least 1"},
        {"blur p.bmp --attenuation 0x1p-1 -o x.bmp",
         "--attenuation takes a number from -1000 to 1000, not \"0x1p-1\"."},
        {"use-stamp p.bmp --stamp s.stp --try 0.1abc -o x.bmp",
         "--try takes a number, not \"0.1abc\"."},
        {"open p.bmp --threads 1e1 -o x.bmp", "--threads takes a whole number from 0 to 256"},
        {"queue p.bmp --entry 'a=one:0x10,1'",
         "One Frequency takes X,Y, two whole numbers, for example 3,-2, not \"0x10,1\"."},
        {"queue p.bmp --entry a=1/r:", "the parameter is a number, not \"\"."},
        {"restore p.bmp --motion 5,0x1 -o x.bmp", "--motion takes LENGTH,ANGLE"},
        {"restore p.bmp --blur random,10.5,0.6 -o x.bmp", "--blur takes KIND,STEPS,ATTENUATION"},
        {"restore p.bmp --gaussian 1 --strength inf -o x.bmp",
         "--strength takes auto or a number, not \"inf\"."},
    };
    for (const auto& c : refused) {
        const CliResult r = Run(c.args);
        EXPECT_EQ(r.status, 1) << c.args;
        EXPECT_TRUE(Has(r.err, c.message)) << c.args << ": " << r.err;
        EXPECT_FALSE(Has(r.out, "Opened:")) << c.args;
        EXPECT_FALSE(Exists("x.bmp")) << c.args;
        EXPECT_FALSE(Exists("pa.jpg")) << c.args;
    }
    // The usual spellings still work: signs, a point without digits on one side, exponents.
    CliResult r = Run("fourier p.bmp --kind shift --x -3 --y +2 -o shifted.bmp");
    EXPECT_EQ(r.status, 0) << r.err;
    r = Run("blur p.bmp --steps +3 --attenuation .5e0 -o blurred.bmp");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Has(r.out, "Blur Horizontal, 3 steps, attenuation 0.5")) << r.out;
    r = Run("sizes 016 8");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Has(r.out, "Chosen: 16 x 8")) << r.out;
}

TEST_F(CliStrict, ValuesThatWouldGiveAPictureThatIsNotFiniteAreRefused) {
    for (const char* value : {"nan", "inf", "1e308", "-1000.5"}) {
        const CliResult r = Run(std::string("blur p.bmp --attenuation ") + value + " -o x.bmp");
        EXPECT_EQ(r.status, 1) << value;
        EXPECT_TRUE(Has(r.err, "--attenuation takes a number from -1000 to 1000")) << r.err;
        EXPECT_FALSE(Exists("x.bmp")) << value;
    }
    CliResult r = Run("fourier p.bmp --kind amplify --param 1e308 -o x.bmp");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "Please enter a number between -10 and 10.\n(De) Amplification was not done.\n");
    EXPECT_FALSE(Exists("x.bmp"));
    r = Run("queue p.bmp --entry a=amplify:-11");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Has(r.err, "--entry a: Please enter a number between -10 and 10.")) << r.err;
    EXPECT_FALSE(Exists("pa.bmp"));
    r = Run("restore p.bmp --blur random,10,1e308 -o x.bmp");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Has(r.err, "Blur Attenuation must be a number from -1000 to 1000, not 1e+308."))
        << r.err;
    EXPECT_FALSE(Exists("x.bmp"));

    // The ends of the ranges give pictures.
    r = Run("fourier p.bmp --kind amplify --param 10 -o ten.bmp");
    EXPECT_EQ(r.status, 0) << r.err;
    r = Run("blur p.bmp --kind random --steps 40 --attenuation 1000 -o far.bmp");
    EXPECT_EQ(r.status, 0) << r.err;
}

TEST_F(CliStrict, EveryBlurPathHasOneSetOfNamesForBlurAndRestore) {
    CliResult r = Run("blur p.bmp --kind five --steps 4 -o five.bmp");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Has(r.out, "Blur 5, 4 steps")) << r.out;
    r = Run("blur p.bmp --kind 4 --steps 4 -o four.bmp");
    ASSERT_EQ(r.status, 0) << r.err;
    r = Run("blur p.bmp --kind 5 --steps 4 -o 5.bmp");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Bytes("five.bmp"), Bytes("four.bmp"));
    EXPECT_EQ(Bytes("five.bmp"), Bytes("5.bmp"));

    r = Run("restore p.bmp --blur 5,3,0.6 -o r5.bmp");
    ASSERT_EQ(r.status, 0) << r.err;
    r = Run("restore p.bmp --blur five,3,0.6 -o rfive.bmp");
    ASSERT_EQ(r.status, 0) << r.err;
    r = Run("restore p.bmp --blur 4,3,0.6 -o r4.bmp");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Bytes("r5.bmp"), Bytes("rfive.bmp"));
    EXPECT_EQ(Bytes("r5.bmp"), Bytes("r4.bmp"));

    r = Run("blur p.bmp --kind diagonal -o x.bmp");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Has(r.err, "0 horizontal, 1 vertical, 2 right-down, 3 random, 4 five (or 5)"))
        << r.err;
}

TEST_F(CliStrict, StampsWithoutUsableValuesAreNeitherUsedNorShownNorOpened) {
    // 32 x 24, so that the stamp also opens as a document of its own.
    const size_t n = kW * kH;
    const struct {
        const char* name;
        double fill;
        double at;
        const char* message;
    } cases[] = {
        {"nan.stp", 0.0, NAN, ": the stamp holds values that are not finite numbers."},
        {"inf.stp", 0.0, INFINITY, ": the stamp holds values that are not finite numbers."},
        {"zero.stp", 0.0, 0.0, ": the stamp sums to 0"},
        {"huge.stp", 1e308, 1e308, ": the stamp's values are too large"},
    };
    for (const auto& c : cases) {
        std::vector<double> values(n, c.fill);
        values[n / 2] = c.at;
        WriteStamp(c.name, kW, kH, kW / 2, kH / 2, values);
        for (const std::string command :
             {"use-stamp p.bmp --stamp ", "show-stamp p.bmp --stamp ", "open "}) {
            const CliResult r = Run(command + c.name + " -o x.bmp");
            EXPECT_EQ(r.status, 1) << command << c.name;
            EXPECT_TRUE(Has(r.err, Path(c.name) + c.message)) << command << c.name << r.err;
            EXPECT_FALSE(Exists("x.bmp")) << command << c.name;
        }
    }
    // A usable stamp opens and shows.
    std::vector<double> unit(n, 0.0);
    unit[n / 2 + kW / 2] = 1.0;
    WriteStamp("unit.stp", kW, kH, kW / 2, kH / 2, unit);
    const CliResult r = Run("open unit.stp -o unit.bmp");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Exists("unit.bmp"));
}

TEST_F(CliStrict, ACutThatCannotBeSavedAndAKernelThatCannotBeWrittenFailWithTheirReason) {
    // Zeros all round a 3 x 1 core: Try Fraction cuts, and the cut is to replace the file.
    std::vector<double> v(15, 0.0);
    v[6] = 0.25;
    v[7] = 0.5;
    v[8] = 0.25;
    WriteStamp("ro.stp", 5, 3, 2, 1, v);
    ::chmod(Path("ro.stp").c_str(), 0444);
    CliResult r = Run("use-stamp p.bmp --stamp ro.stp --try 1e-6 --save-cut -o x.bmp");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(
        Has(r.err, Path("ro.stp") + " Write WriteRubberStampReduced File error: Permission denied"))
        << r.err;
    EXPECT_FALSE(Has(r.out, "Saved: ")) << r.out;
    EXPECT_FALSE(Exists("x.bmp"));
    EXPECT_EQ(Bytes("ro.stp").size(), 16u + 15u * 8u);

    r = Run("learn-kernel --good p.bmp --blurred p.bmp --size 3 -o nofolder/k.stp");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(
        Has(r.err, Path("nofolder/k.stp") + " Write Stamp File error: No such file or directory"))
        << r.err;
    EXPECT_FALSE(Has(r.out, "Learnt")) << r.out;
}

TEST_F(CliStrict, OutputsAreCheckedBeforeTheWork) {
    CliResult r = Run("restore p.bmp --gaussian 1 -o x.tif");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Has(r.err, "x.tif is not a picture this program writes (.bmp, .jpg or .png)."))
        << r.err;
    EXPECT_FALSE(Has(r.out, "Restored")) << r.out;
    r = Run("restore p.bmp --gaussian 1 -o nofolder/x.png");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Has(r.err, "nofolder/x.png cannot be written: No such file or directory")) << r.err;
    EXPECT_FALSE(Has(r.out, "Restored")) << r.out;
    r = Run("run p.bmp 'fourier --kind 1/r' -o nofolder/x.bmp");
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(Has(r.out, "Opened:")) << r.out;
    EXPECT_FALSE(Exists("p.ft"));
    r = Run("blur p.bmp -o x.gif");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Has(r.err, "is not a file Save As writes (.bmp, .jpg, .png or .ft).")) << r.err;
    r = Run("fourier p.bmp --kind 0 --save-ft spectrum.bmp -o x.bmp");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Has(r.err, "spectrum.bmp is not a Fourier data file name")) << r.err;
    EXPECT_FALSE(Exists("x.bmp"));
}

TEST_F(CliStrict, RatioPrintsItsResultOnceAndTheHelpNamesEveryKindRead) {
    CliResult r = Run("run p.bmp 'fourier --kind 0' ratio");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Count(r.out, "Ratio Red"), 1u) << r.out;
    EXPECT_FALSE(Has(r.err, "Ratio")) << r.err;
    // A ratio that fails still says why on stderr.
    fs::copy_file(Path("p.bmp"), Path("q.bmp"));
    r = Run("ratio q.bmp");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Has(r.err, "Read CFourier error, or CFourier not made yet.")) << r.err;

    r = Run("--help");
    ASSERT_EQ(r.status, 0);
    for (const char* kind : {".bmp", ".jpg", ".jpeg", ".png", ".ft", ".stp"})
        EXPECT_TRUE(Has(r.out, kind)) << kind << ": " << r.out;
}

TEST_F(CliStrict, AnOutputThatIsAnInputIsRefusedWhateverItsSpelling) {
    const std::string picture = Bytes("p.bmp");
    const std::string lines[] = {"transform p.bmp p.bmp", "transform p.bmp ./p.bmp",
                                 "transform p.bmp ../" + m_dir.filename().string() + "/p.bmp",
                                 "transform ./p.bmp '" + Path("p.bmp") + "'"};
    for (const std::string& line : lines) {
        const CliResult r = Run(line);
        EXPECT_EQ(r.status, 1) << line;
        EXPECT_TRUE(Has(r.err, "is also an input of this command")) << line << ": " << r.err;
        EXPECT_EQ(Bytes("p.bmp"), picture) << line;
    }
    // Another name of the same file, and a spectrum without its extension.
    fs::create_hard_link(Path("p.bmp"), Path("link.ft"));
    CliResult r = Run("transform p.bmp link.ft");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Has(r.err, "link.ft is also an input of this command")) << r.err;
    EXPECT_EQ(Bytes("p.bmp"), picture);
    r = Run("transform p.bmp spectrum");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Has(r.err, "spectrum is not a Fourier data file name")) << r.err;
    EXPECT_FALSE(Exists("spectrum"));

    r = Run("learn-kernel --good p.bmp --blurred p.bmp --size 3 -o p.bmp");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Has(r.err, Path("p.bmp") + " is also an input of this command")) << r.err;
    EXPECT_EQ(Bytes("p.bmp"), picture);
    r = Run("learn-kernel --good p.bmp --blurred p.bmp --size 3 -o kernel");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Has(r.err, "kernel is not a stamp file name")) << r.err;
    EXPECT_FALSE(Exists("kernel"));
    r = Run("learn-kernel --good p.bmp --blurred p.bmp --size 3 -o kernel.stp");
    EXPECT_EQ(r.status, 0) << r.err;
}

TEST_F(CliStrict, AQueueResultNamedLikeAnInputIsRefusedBeforeAnyWork) {
    fs::copy_file(Path("p.bmp"), Path("pa.bmp"));
    const std::string before = Bytes("pa.bmp");
    CliResult r = Run("queue p.bmp pa.bmp --entry a=1/r:2");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Has(r.err,
                    "--entry a: the result of p.bmp would be written over the input "
                    "pa.bmp; choose another suffix."))
        << r.err;
    EXPECT_FALSE(Has(r.out, "Opened:")) << r.out;
    EXPECT_EQ(Bytes("pa.bmp"), before);
    EXPECT_FALSE(Exists("p.ft"));
    EXPECT_FALSE(Exists("paa.bmp"));
    // A result in another format is another file: it runs.
    r = Run("queue p.bmp pa.bmp --entry a=1/r:2 --format jpg");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Bytes("pa.bmp"), before);
    EXPECT_TRUE(Exists("pa.jpg"));
    EXPECT_TRUE(Exists("paa.jpg"));
}
