#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>

#include "fourier/fourier.h"
#include "image/bmp_file.h"
#include "image/jpeg_file.h"
#include "image/picture_file.h"
#include "platform/byte_order.h"
#include "platform/file_open.h"
#include "platform/safe_file.h"
#include "stamp/restore_files.h"
#include "support/files.h"
#include "support/pictures.h"
#include "support/scope_guard.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

// A 24-bit picture whose every byte tells its place.
DibHandle Pattern(int32_t width, int32_t height) {
    DibHandle dib;
    NewGreyPicture(width, height, dib);
    const size_t row = static_cast<size_t>(RowBytes(width * 24));
    for (size_t y = 0; y < static_cast<size_t>(height); ++y)
        for (size_t i = 0; i < static_cast<size_t>(width) * 3; ++i)
            dib.Data()[40 + y * row + i] = static_cast<uint8_t>(y * 40 + i * 5);
    return dib;
}

}  // namespace

TEST(FileOpen, RefusesWhatIsNotARegularFileWithoutBlocking) {
    const fs::path dir = TestTempDir("open");
    std::ofstream(dir / "plain.bmp") << "12345";
    COpenedFile plain = OpenRegularFile((dir / "plain.bmp").string());
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain.bytes, 5u);
    EXPECT_TRUE(LastFileError().empty());
    // Reads block again: the whole content comes at once.
    char text[6] = {};
    EXPECT_EQ(std::fread(text, 1, 5, plain.Stream()), 5u);
    EXPECT_STREQ(text, "12345");

    // A named pipe with no writer: opening it to read would wait for one for ever.
    ASSERT_EQ(::mkfifo((dir / "x.bmp").c_str(), 0600), 0);
    fs::create_directory(dir / "x.ft");
    const auto start = std::chrono::steady_clock::now();
    const COpenedFile pipe = OpenRegularFile((dir / "x.bmp").string());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_FALSE(pipe);
    EXPECT_EQ(pipe.reason, kNotARegularFile);
    EXPECT_EQ(LastFileError(), kNotARegularFile);
    EXPECT_EQ(OpenRegularFile((dir / "x.ft").string()).reason, "Is a directory");
    EXPECT_EQ(OpenRegularFile((dir / "none").string()).reason, "No such file or directory");

    // Every reader goes through it: the pipe gives each reader's message with the reason.
    CScriptedUi ui;
    CUiScope scope(ui);
    DibHandle dib;
    CSize size;
    const std::string pipePath = (dir / "x.bmp").string();
    EXPECT_EQ(ReadBmpFile(pipePath, dib, size), 0);
    EXPECT_EQ(ReadJpegFile(pipePath, dib, size), 0);
    EXPECT_EQ(ReadPictureFile(PictureKind::Png, pipePath, dib, size), 0);
    EXPECT_EQ(CFourier::ReadFourierPictureSize(pipePath, size), 0);
    EXPECT_EQ(CFourier::ReadFourierPictureSize((dir / "x.ft").string(), size), 0);
    EXPECT_EQ(ui.Messages(),
              (std::vector<std::string>{"Failed to open: " + pipePath + ": not a regular file",
                                        "can't open " + pipePath + ": not a regular file\n",
                                        "Failed to open: " + pipePath + ": not a regular file",
                                        "Read CFourier error: not a regular file",
                                        "Read CFourier error: Is a directory"}));
}

TEST(SafeFileWriter, RefusesReadOnlyTargetsAndWritesThroughLinks) {
    // The same with unnamed files and with named temporaries.
    const CScopeGuard unnamedAgain([] { CSafeFileWriter::UseUnnamedTemporaries(true); });
    for (const bool unnamed : {true, false}) {
        CSafeFileWriter::UseUnnamedTemporaries(unnamed);
        const fs::path dir = TestTempDir(unnamed ? "safe_links" : "safe_links_named");
        std::ofstream(dir / "locked.bmp") << "keep";
        fs::permissions(dir / "locked.bmp", fs::perms::owner_read | fs::perms::group_read);
        {
            CSafeFileWriter writer;
            EXPECT_EQ(writer.Open((dir / "locked.bmp").string()), EACCES);
            EXPECT_EQ(writer.ErrorReason(), "Permission denied (the file is read-only)");
            EXPECT_FALSE(writer.Commit());
        }
        EXPECT_EQ(ReadFileBytes(dir / "locked.bmp"), "keep");

        // A link (relative, through a second link) keeps being a link; its target gets the
        // content, and keeps its permissions.
        fs::create_directory(dir / "real");
        std::ofstream(dir / "real" / "photo.bmp") << "old";
        fs::permissions(dir / "real" / "photo.bmp", fs::perms::owner_read | fs::perms::owner_write);
        fs::create_symlink("real/photo.bmp", dir / "first.bmp");
        fs::create_symlink(dir / "first.bmp", dir / "second.bmp");
        {
            CSafeFileWriter writer;
            ASSERT_EQ(writer.Open((dir / "second.bmp").string()), 0);
            EXPECT_EQ(writer.FinalTarget(), (dir / "real" / "photo.bmp").string());
            ASSERT_TRUE(writer.Write("new", 3));
            ASSERT_TRUE(writer.Commit());
        }
        EXPECT_TRUE(fs::is_symlink(dir / "first.bmp"));
        EXPECT_TRUE(fs::is_symlink(dir / "second.bmp"));
        EXPECT_EQ(ReadFileBytes(dir / "real" / "photo.bmp"), "new");
        EXPECT_EQ(fs::status(dir / "real" / "photo.bmp").permissions() & fs::perms::all,
                  fs::perms::owner_read | fs::perms::owner_write);
        EXPECT_EQ(std::distance(fs::directory_iterator(dir / "real"), fs::directory_iterator()), 1);
        // A link to a file not yet there makes that file.
        fs::create_symlink("real/later.bmp", dir / "later.bmp");
        {
            CSafeFileWriter writer;
            ASSERT_EQ(writer.Open((dir / "later.bmp").string()), 0);
            ASSERT_TRUE(writer.Write("x", 1));
            ASSERT_TRUE(writer.Commit());
        }
        EXPECT_TRUE(fs::is_symlink(dir / "later.bmp"));
        EXPECT_EQ(ReadFileBytes(dir / "real" / "later.bmp"), "x");
        // A new file gets the mode an ordinary new file gets.
        const mode_t mask = ::umask(0);
        ::umask(mask);
        EXPECT_EQ(static_cast<mode_t>(fs::status(dir / "real" / "later.bmp").permissions() &
                                      fs::perms::all),
                  0666 & ~mask);
        // A loop of links is refused.
        fs::create_symlink("loop2.bmp", dir / "loop1.bmp");
        fs::create_symlink("loop1.bmp", dir / "loop2.bmp");
        CSafeFileWriter loop;
        EXPECT_EQ(loop.Open((dir / "loop1.bmp").string()), ELOOP);
    }
    const fs::path dir = TestTempDir("safe_links_words");
    std::ofstream(dir / "locked.bmp") << "keep";
    fs::permissions(dir / "locked.bmp", fs::perms::owner_read | fs::perms::group_read);

    // The writers say it in words.
    CScriptedUi ui;
    CUiScope scope(ui);
    DibHandle dib = Pattern(4, 2);
    const std::string locked = (dir / "locked.bmp").string();
    EXPECT_EQ(WriteBmpFile(locked, dib, 0), 0);
    EXPECT_EQ(ui.Messages(), std::vector<std::string>{
                                 locked + " failed to open 1a File error 13: Permission denied "
                                          "(the file is read-only)"});
    EXPECT_EQ(ReadFileBytes(dir / "locked.bmp"), "keep");
}

namespace {

// The names in a folder, sorted.
std::vector<std::string> Names(const fs::path& dir) {
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A writer in a process of its own: it opens the target, writes `content`, says so and
// waits to be told to go on; then commits and ends with 0 (1 when the commit failed).
// Killed before that, it dies in the middle of its write.
struct CWriterProcess {
    pid_t pid = -1;
    int ready = -1;  // the parent's ends of the two pipes
    int go = -1;

    CWriterProcess(const fs::path& target, const std::string& content) {
        int readyPipe[2], goPipe[2];
        if (::pipe(readyPipe) != 0 || ::pipe(goPipe) != 0) return;
        pid = ::fork();
        if (pid == 0) {
            ::close(readyPipe[0]);
            ::close(goPipe[1]);
            CSafeFileWriter writer;
            if (writer.Open(target.string()) != 0) ::_exit(2);
            if (!writer.Write(content.data(), content.size())) ::_exit(3);
            std::fflush(writer.Stream());
            if (::write(readyPipe[1], "r", 1) != 1) ::_exit(4);
            char byte = 0;
            if (::read(goPipe[0], &byte, 1) != 1) ::_exit(5);
            ::_exit(writer.Commit() ? 0 : 1);
        }
        ::close(readyPipe[1]);
        ::close(goPipe[0]);
        ready = readyPipe[0];
        go = goPipe[1];
    }
    ~CWriterProcess() {
        ::close(ready);
        ::close(go);
        if (pid > 0 && ::waitpid(pid, nullptr, WNOHANG) == 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }
    // True once the writer has written its content (false when it ended before).
    bool WaitReady() const {
        char byte = 0;
        return ::read(ready, &byte, 1) == 1;
    }
    void Go() const { EXPECT_EQ(::write(go, "g", 1), 1); }
    int Wait() {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        pid = -1;
        return status;
    }
};

}  // namespace

TEST(SafeFileWriter, AWriterKilledInTheMiddleLeavesNoPartBehind) {
    const fs::path dir = TestTempDir("safe_kill");
    std::ofstream(dir / "t.bmp") << "old";
    CWriterProcess writer(dir / "t.bmp", std::string(1 << 20, 'n'));
    ASSERT_TRUE(writer.WaitReady());
    // While it writes, the folder holds the old file only: the new one has no name yet.
    EXPECT_EQ(Names(dir), std::vector<std::string>{"t.bmp"});
    ::kill(writer.pid, SIGKILL);
    EXPECT_TRUE(WIFSIGNALED(writer.Wait()));
    EXPECT_EQ(Names(dir), std::vector<std::string>{"t.bmp"});
    EXPECT_EQ(ReadFileBytes(dir / "t.bmp"), "old");
}

TEST(SafeFileWriter, NamedPartsOfDeadWritersAreSweptAtTheNextWriteAndLiveOnesKept) {
    // Where the file system has no unnamed files, the writer names its part: a writer that
    // dies leaves it, and the next write of the same target removes it, but not the part of
    // a writer still at work, nor parts of other files or names of another pattern.
    CSafeFileWriter::UseUnnamedTemporaries(false);
    const CScopeGuard unnamedAgain([] { CSafeFileWriter::UseUnnamedTemporaries(true); });
    const fs::path dir = TestTempDir("safe_sweep");
    std::ofstream(dir / "t.bmp") << "old";
    // One writer alive and waiting, one killed half way (its open keeps the live one's part),
    // and a part left by a run killed earlier.
    CWriterProcess live(dir / "t.bmp", "live");
    ASSERT_TRUE(live.WaitReady());
    CWriterProcess killed(dir / "t.bmp", "never");
    ASSERT_TRUE(killed.WaitReady());
    ::kill(killed.pid, SIGKILL);
    killed.Wait();
    std::ofstream(dir / "t.bmp.partAb12Cd") << "left by a run killed earlier";
    for (const char* name : {"u.bmp.partAb12Cd", "t.bmp.partial", "t.bmp.partAb1", "t.bmp.part"})
        std::ofstream(dir / name) << "not a part of t.bmp";
    std::vector<std::string> parts;
    for (const std::string& name : Names(dir))
        if (name.size() == 16 && name.rfind("t.bmp.part", 0) == 0) parts.push_back(name);
    ASSERT_EQ(parts.size(), 3u);  // the old one, the killed writer's and the live one's

    CSafeFileWriter writer;
    ASSERT_EQ(writer.Open((dir / "t.bmp").string()), 0);
    // Swept: the earlier run's part and the killed writer's; the live writer's stays, and so
    // does what is not a part of t.bmp.
    std::vector<std::string> left;
    for (const std::string& name : Names(dir))
        if (name.size() == 16 && name.rfind("t.bmp.part", 0) == 0) left.push_back(name);
    EXPECT_EQ(left.size(), 2u);  // the live writer's and this writer's own
    for (const char* name : {"u.bmp.partAb12Cd", "t.bmp.partial", "t.bmp.partAb1", "t.bmp.part"})
        EXPECT_TRUE(fs::exists(dir / name)) << name;
    EXPECT_FALSE(fs::exists(dir / "t.bmp.partAb12Cd"));
    ASSERT_TRUE(writer.Write("mine", 4));
    ASSERT_TRUE(writer.Commit());
    EXPECT_EQ(ReadFileBytes(dir / "t.bmp"), "mine");

    // The live writer finishes after all: its file replaces this one.
    live.Go();
    const int status = live.Wait();
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(ReadFileBytes(dir / "t.bmp"), "live");
    EXPECT_EQ(Names(dir), (std::vector<std::string>{"t.bmp", "t.bmp.part", "t.bmp.partAb1",
                                                    "t.bmp.partial", "u.bmp.partAb12Cd"}));
}

TEST(PictureFile, KindsByExtensionWithoutRegardToCase) {
    EXPECT_EQ(PictureKindOf("a/b.BMP"), PictureKind::Bmp);
    EXPECT_EQ(PictureKindOf("c.jpg"), PictureKind::Jpg);
    EXPECT_EQ(PictureKindOf("green.JPEG"), PictureKind::Jpg);
    EXPECT_EQ(PictureKindOf("holiday.edited.Png"), PictureKind::Png);
    EXPECT_EQ(PictureKindOf("x.ft"), PictureKind::Unknown);
    EXPECT_EQ(PictureKindOf("folder.png/noext"), PictureKind::Unknown);
    EXPECT_EQ(PictureKindOf("mpeg"), PictureKind::Unknown);
    EXPECT_STREQ(PictureKindName(PictureKindOf("z.jpeg")), "jpg");
    EXPECT_STREQ(PictureKindExtension(PictureKind::Png), ".png");
}

TEST(PictureFile, WritesAndReadsBackEveryKind) {
    const fs::path dir = TestTempDir("picture_kinds");
    const DibHandle original = Pattern(8, 4);
    CScriptedUi ui;
    CUiScope scope(ui);
    for (const char* name : {"p.bmp", "p.PNG", "p.jpeg"}) {
        DibHandle dib = CopyHandle(original);
        const std::string path = (dir / name).string();
        ASSERT_EQ(WritePictureFile(path, dib), 1) << name;
        DibHandle back;
        CSize size;
        ASSERT_EQ(ReadPictureFile(path, back, size), 1) << name;
        EXPECT_EQ(size, (CSize{8, 4})) << name;
        const std::vector<uint8_t> expected = PictureBytes(original);
        const std::vector<uint8_t> got = PictureBytes(back);
        ASSERT_EQ(got.size(), expected.size()) << name;
        if (PictureKindOf(path) == PictureKind::Jpg) {
            for (size_t i = 0; i < got.size(); ++i) ASSERT_NEAR(got[i], expected[i], 40) << i;
        } else {
            EXPECT_EQ(got, expected) << name;  // lossless
        }
    }
    EXPECT_TRUE(ui.Messages().empty());
    // The ".bmp" file is the program's own layout, 54 bytes of headers and the rows.
    EXPECT_EQ(ReadFileBytes(dir / "p.bmp").size(), 54u + 96);

    DibHandle dib = CopyHandle(original);
    CSize size;
    EXPECT_EQ(WritePictureFile((dir / "p.gif").string(), dib), 0);
    EXPECT_EQ(ReadPictureFile((dir / "p.bmp.txt").string(), dib, size), 0);
    EXPECT_EQ(ui.Messages(),
              (std::vector<std::string>{
                  (dir / "p.gif").string() +
                      " is not a picture this program writes (.bmp, .jpg or .png).",
                  (dir / "p.bmp.txt").string() +
                      " is not a picture this program reads (.bmp, .jpg or .png)."}));
    EXPECT_FALSE(fs::exists(dir / "p.gif"));
    EXPECT_FALSE(dib.IsNull());  // a refused read keeps the picture in hand
}

TEST(PictureFile, ConvertsPackedPicturesOfEveryDepthTo24Bits) {
    // 8 bits, two colours used, in memory: header, table, rows of 4 bytes.
    std::vector<uint8_t> packed(40 + 8 + 8);
    StoreLE32(packed.data(), 40);
    StoreLE32s(packed.data() + kBiWidth, 3);
    StoreLE32s(packed.data() + kBiHeight, 2);
    StoreLE16(packed.data() + kBiPlanes, 1);
    StoreLE16(packed.data() + kBiBitCount, 8);
    StoreLE32(packed.data() + kBiClrUsed, 2);
    const uint8_t table[8] = {1, 2, 3, 0, 4, 5, 6, 0};
    std::memcpy(packed.data() + 40, table, 8);
    const uint8_t rows[8] = {0, 1, 7, 0, 1, 1, 0, 0};  // index 7 is beyond the table
    std::memcpy(packed.data() + 48, rows, 8);
    DibHandle dib = DibFromPackedBytes(packed.data(), packed.size());
    ASSERT_FALSE(dib.IsNull());
    ASSERT_EQ(ConvertTo24Bits(dib), 1);
    EXPECT_EQ(PictureBytes(dib), (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 0, 0, 0, 0, 0, 0,  //
                                                       4, 5, 6, 4, 5, 6, 1, 2, 3, 0, 0, 0}));
    EXPECT_EQ(DescribePicture(dib.Data()).pixelOffset, 40);

    // 32 bits with bit fields: the masks between header and pixels are used.
    std::vector<uint8_t> fields(40 + 12 + 4);
    StoreLE32(fields.data(), 40);
    StoreLE32s(fields.data() + kBiWidth, 1);
    StoreLE32s(fields.data() + kBiHeight, 1);
    StoreLE16(fields.data() + kBiPlanes, 1);
    StoreLE16(fields.data() + kBiBitCount, 32);
    StoreLE32(fields.data() + kBiCompression, 3);
    StoreLE32(fields.data() + 40, 0x000000FF);  // red in the low byte
    StoreLE32(fields.data() + 44, 0x0000FF00);
    StoreLE32(fields.data() + 48, 0x00FF0000);
    const uint8_t pixel[4] = {10, 20, 30, 40};
    std::memcpy(fields.data() + 52, pixel, 4);
    dib = DibFromPackedBytes(fields.data(), fields.size());
    ASSERT_EQ(ConvertTo24Bits(dib), 1);
    EXPECT_EQ(PictureBytes(dib), (std::vector<uint8_t>{30, 20, 10, 0}));

    // A 24-bit picture is left as it is; bytes that are no whole picture give nothing.
    DibHandle plain = Pattern(4, 2);
    const uint8_t* block = plain.Data();
    ASSERT_EQ(ConvertTo24Bits(plain), 1);
    EXPECT_EQ(plain.Data(), block);
    EXPECT_TRUE(DibFromPackedBytes(packed.data(), packed.size() - 1).IsNull());
    StoreLE16(packed.data() + kBiBitCount, 2);  // whole, but no depth that converts
    dib = DibFromPackedBytes(packed.data(), packed.size());
    ASSERT_FALSE(dib.IsNull());
    EXPECT_EQ(ConvertTo24Bits(dib), 0);
    EXPECT_TRUE(dib.IsNull());
}

TEST(FileOpen, AKernelFileDeclaringMoreValuesThanItHoldsIsRefusedBeforeAllocating) {
    // 16 bytes declaring 10000 x 10000 values: 800 MB were taken before the short read.
    const fs::path dir = TestTempDir("kernel");
    uint8_t header[16] = {};
    StoreLE32s(header, 10000);
    StoreLE32s(header + 4, 10000);
    std::ofstream(dir / "big.stp", std::ios::binary)
        .write(reinterpret_cast<const char*>(header), sizeof header);
    CScriptedUi ui;
    CUiScope scope(ui);
    CKernel kernel;
    EXPECT_EQ(ReadKernelFile((dir / "big.stp").string(), kernel), 0);
    EXPECT_EQ(ui.Messages(), std::vector<std::string>{
                                 (dir / "big.stp").string() +
                                 ": the kernel file holds fewer values than its header declares."});
    ASSERT_EQ(::mkfifo((dir / "pipe.stp").c_str(), 0600), 0);
    EXPECT_EQ(ReadKernelFile((dir / "pipe.stp").string(), kernel), 0);  // does not hang
}
