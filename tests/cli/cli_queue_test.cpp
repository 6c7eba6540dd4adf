// zelvanto-cli queue: entries by the dialog's rules, result files, failures, and several
// pictures at once giving the same files as one after the other.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "image/bmp_file.h"
#include "image/dib.h"
#include "support/cli_run.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class CliQueue : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = TestTempDir(std::string("cliq_") +
                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    }
    void TearDown() override { fs::remove_all(m_dir); }

    CliResult Run(const std::string& args) { return RunCli(m_dir, args); }
    std::string Path(const std::string& name) const { return (m_dir / name).string(); }

    // A 16 x 12 picture (N = 48) with structure in every channel.
    void WritePicture(const std::string& name, int seed = 0) {
        CScriptedUi ui;
        CUiScope scope(ui);
        DibHandle dib;
        ASSERT_EQ(NewGreyPicture(16, 12, dib), 1);
        uint8_t* pixels = PicturePixels(dib.Data(), 0);
        for (int32_t y = 0; y < 12; ++y)
            for (int32_t i = 0; i < 48; ++i)
                pixels[y * 48 + i] = static_cast<uint8_t>((i * i * 5 + y * 29 + seed) % 251);
        ASSERT_EQ(WriteBmpFile(Path(name), dib, 0), 1);
    }

    fs::path m_dir;
};

}  // namespace

TEST_F(CliQueue, RunsTheEntriesInSuffixOrderAndPrintsEachFile) {
    WritePicture("moon.bmp");
    CliResult r = Run("queue moon.bmp --entry b2=1/r:3 --entry a1=4 --entry Z=shift:2,-1 --jobs 1");
    ASSERT_EQ(r.status, 0) << r.err;
    // Upper case sorts before lower case, byte by byte.
    const size_t z = r.out.find("Written: " + Path("moonZ.bmp"));
    const size_t a1 = r.out.find("Written: " + Path("moona1.bmp"));
    const size_t b2 = r.out.find("Written: " + Path("moonb2.bmp"));
    ASSERT_NE(z, std::string::npos) << r.out;
    ASSERT_NE(a1, std::string::npos) << r.out;
    ASSERT_NE(b2, std::string::npos) << r.out;
    EXPECT_LT(z, a1);
    EXPECT_LT(a1, b2);
    EXPECT_TRUE(fs::exists(Path("moon.ft")));  // the spectrum is kept beside the picture

    // --format jpg writes JPEG files; a .jpg picture starts with Jpg anyway.
    r = Run("queue moon.bmp --entry a1=1/r --format jpg --jobs 1");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::exists(Path("moona1.jpg")));
    EXPECT_EQ(ReadFileBytes(Path("moona1.jpg")).substr(0, 2), "\xFF\xD8");
}

TEST_F(CliQueue, RefusesEntriesTheDialogWouldRefuse) {
    WritePicture("moon.bmp");
    const std::pair<const char*, const char*> cases[] = {
        {"--entry ab=1 --entry AB=2", "Sorry, string not unique."},
        {"--entry abcdef=1", "at most 5 characters"},
        {"--entry /x=1", "cannot hold a '/'"},
        {"--entry =1", "empty"},
        {"--entry a=seven", "the kind is 0 to 12"},
        {"--entry a=half:2", "takes no parameter"},
        {"--entry a=one:3", "takes X,Y"},
        {"--entry a=1/r:2000", "1000"},
    };
    for (const auto& [args, message] : cases) {
        const CliResult r = Run(std::string("queue moon.bmp ") + args);
        EXPECT_EQ(r.status, 1) << args;
        EXPECT_TRUE(Has(r.err, message)) << args << ": " << r.err;
    }
    std::string eleven;
    for (int i = 0; i < 11; ++i) eleven += " --entry e" + std::to_string(i) + "=1";
    const CliResult r = Run("queue moon.bmp" + eleven);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Has(r.err, "Sorry, queue is full.")) << r.err;
    for (const fs::directory_entry& entry : fs::directory_iterator(m_dir))
        EXPECT_FALSE(Has(entry.path().filename().string(), "moone")) << entry.path();
}

TEST_F(CliQueue, AFailedEntryOrPictureFailsTheRunAfterAllHaveRun) {
    WritePicture("moon.bmp");
    WritePicture("sun.bmp", 9);
    fs::create_directories(Path("moonb.bmp"));  // moon's entry b cannot be written
    CliResult r = Run("queue moon.bmp missing.bmp sun.bmp --entry a=1 --entry b=2 --jobs 1");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(fs::exists(Path("moona.bmp")));
    EXPECT_TRUE(fs::exists(Path("suna.bmp")));
    EXPECT_TRUE(fs::exists(Path("sunb.bmp")));
    EXPECT_TRUE(Has(r.err, "failed and wrote nothing: b")) << r.err;

    // A frequency outside the picture is refused for that picture; the others still run.
    r = Run("queue sun.bmp --entry a=one:8,0 --entry b=one:7,0 --jobs 1");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Has(r.err, "Freq X must be between or equal to -8 and 7")) << r.err;
    EXPECT_TRUE(Has(r.out, "Written: " + Path("sunb.bmp"))) << r.out;
}

TEST_F(CliQueue, JobsWriteTheSameBytesAsASerialRun) {
    const char* names[] = {"p0.bmp", "p1.bmp", "p2.bmp", "p3.bmp", "p4.bmp"};
    for (int i = 0; i < 5; ++i) WritePicture(names[i], 17 * i);
    const std::string args =
        "queue p0.bmp p1.bmp p2.bmp p3.bmp p4.bmp --entry r=1/r:2 --entry e=1/e:5 "
        "--entry h=half --entry s=shift:3,2";
    const CliResult serial = Run(args + " --jobs 1");
    ASSERT_EQ(serial.status, 0) << serial.err;
    std::vector<std::string> files;
    for (const char* suffix : {"r", "e", "h", "s"})
        for (int i = 0; i < 5; ++i) files.push_back("p" + std::to_string(i) + suffix + ".bmp");
    std::vector<std::string> serialBytes;
    for (const std::string& file : files) {
        serialBytes.push_back(ReadFileBytes(Path(file)));
        ASSERT_FALSE(serialBytes.back().empty()) << file;
        fs::remove(Path(file));
    }
    for (int i = 0; i < 5; ++i) fs::remove(Path("p" + std::to_string(i) + ".ft"));

    const CliResult parallel = Run(args + " --jobs 3");
    ASSERT_EQ(parallel.status, 0) << parallel.err;
    for (size_t i = 0; i < files.size(); ++i)
        EXPECT_EQ(ReadFileBytes(Path(files[i])), serialBytes[i]) << files[i];
    // What the pictures print comes in the order of the inputs, as in the serial run.
    EXPECT_EQ(parallel.out, serial.out);

    // A failure in one of the processes still fails the run.
    fs::remove(Path("p3h.bmp"));
    fs::create_directories(Path("p3h.bmp"));
    const CliResult failing = Run(args + " --jobs 2");
    EXPECT_EQ(failing.status, 1);
    EXPECT_TRUE(Has(failing.err, "failed and wrote nothing: h")) << failing.err;
}
