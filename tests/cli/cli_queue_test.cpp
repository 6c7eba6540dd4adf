// zelvanto-cli queue: entries by the dialog's rules, result files, failures, and several
// pictures at once giving the same files as one after the other.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "image/bmp_file.h"
#include "image/dib.h"
#include "support/cli_run.h"
#include "support/scope_guard.h"
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

namespace {

// zelvanto-cli started in the folder with TMPDIR set, its output into files there.
pid_t StartCli(const fs::path& folder, const fs::path& temp, const std::vector<std::string>& args) {
    const pid_t pid = ::fork();
    if (pid != 0) return pid;
    if (::chdir(folder.c_str()) != 0) ::_exit(120);
    ::setenv("TMPDIR", temp.c_str(), 1);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) ::signal(signal, SIG_DFL);
    const int out = ::open("cli.out", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = ::open("cli.err", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(out, STDOUT_FILENO);
    ::dup2(err, STDERR_FILENO);
    std::vector<char*> argv = {const_cast<char*>(ZELVANTO_CLI_PATH)};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    ::execv(ZELVANTO_CLI_PATH, argv.data());
    ::_exit(121);
}

// The processes whose parent is pid.
std::vector<pid_t> ChildrenOf(pid_t pid) {
    std::vector<pid_t> children;
    for (const fs::directory_entry& entry : fs::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        std::getline(stat, line);
        // pid (command) state ppid ...: the command may hold blanks, the last ')' ends it.
        const size_t close = line.rfind(')');
        if (close == std::string::npos) continue;
        std::istringstream rest(line.substr(close + 1));
        std::string state;
        pid_t parent = 0;
        rest >> state >> parent;
        if (parent == pid && state != "Z") children.push_back(std::stoi(name));
    }
    return children;
}

std::vector<std::string> QueueFolders(const fs::path& temp) {
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(temp))
        if (entry.path().filename().string().rfind("zelvanto-queue-", 0) == 0)
            names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> Results(const fs::path& folder) {
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.size() == 7 && name.compare(3, 4, ".bmp") == 0) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Waits up to 20 s for what `ready` tells.
template <class F>
bool WaitUntil(F ready) {
    for (int i = 0; i < 2000; ++i) {
        if (ready()) return true;
        ::usleep(10000);
    }
    return false;
}

// How a process ended, waited for at most 20 s (-1 when it did not end).
int EndOf(pid_t pid) {
    int status = 0;
    const bool ended = WaitUntil([&] { return ::waitpid(pid, &status, WNOHANG) == pid; });
    return ended ? status : -1;
}

}  // namespace

TEST_F(CliQueue, AKilledRunTakesItsWorkersAlongAndLeavesNoFolderBehind) {
    // This test process adopts the workers whose parent dies, so that it sees how they end.
    ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    const CScopeGuard noSubreaper([] { ::prctl(PR_SET_CHILD_SUBREAPER, 0); });
    const fs::path temp = m_dir / "tmp";
    fs::create_directories(temp);
    // Pictures that take seconds each with the exact engine, more than the two workers.
    for (const char* name : {"p0.bmp", "p1.bmp", "p2.bmp", "p3.bmp"})
        fs::copy_file(fs::path(ZELVANTO_SAMPLES_DIR) / "chelsea_160x120.bmp", m_dir / name);
    const std::vector<std::string> args = {
        "queue",   "p0.bmp",  "p1.bmp",  "p2.bmp",      "p3.bmp", "--entry", "a=1/r:2",
        "--entry", "b=1/e:3", "--entry", "c=amplify:2", "--jobs", "2"};

    // kill -9: nothing can clean up in the run itself, but its workers die with it and write
    // nothing more.
    pid_t cli = StartCli(m_dir, temp, args);
    ASSERT_GT(cli, 0);
    std::vector<pid_t> workers;
    ASSERT_TRUE(WaitUntil([&] {
        workers = ChildrenOf(cli);
        return workers.size() == 2 && QueueFolders(temp).size() == 1;
    })) << ReadFileBytes(m_dir / "cli.err");
    ::kill(cli, SIGKILL);
    EXPECT_TRUE(WIFSIGNALED(EndOf(cli)));
    for (const pid_t worker : workers) {
        // Killed with the run, or, when the run died before the worker had asked for that,
        // stopped at once by the worker itself on finding its parent gone.
        const int status = EndOf(worker);
        EXPECT_TRUE((WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) ||
                    (WIFEXITED(status) && WEXITSTATUS(status) == 1))
            << status;
    }
    const std::vector<std::string> written = Results(m_dir);
    EXPECT_LT(written.size(), 12u);
    ::usleep(300000);
    EXPECT_EQ(Results(m_dir), written);
    const std::vector<std::string> left = QueueFolders(temp);
    ASSERT_EQ(left.size(), 1u);

    // The next run removes it, but not the folder of a run still going (its lock held).
    fs::create_directories(temp / "zelvanto-queue-live");
    const int live = ::open((temp / "zelvanto-queue-live").c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(live, 0);
    ASSERT_EQ(::flock(live, LOCK_EX), 0);
    WritePicture("small.bmp");
    const pid_t next = StartCli(m_dir, temp, {"queue", "small.bmp", "--entry", "a=1/r"});
    const int nextStatus = EndOf(next);
    ASSERT_TRUE(WIFEXITED(nextStatus) && WEXITSTATUS(nextStatus) == 0)
        << ReadFileBytes(m_dir / "cli.err");
    EXPECT_EQ(QueueFolders(temp), std::vector<std::string>{"zelvanto-queue-live"});

    // Stopped by a signal it may catch, the run kills its workers, removes its folder and
    // ends by that signal.
    for (const int signal : {SIGTERM, SIGINT}) {
        for (const std::string& name : Results(m_dir)) fs::remove(m_dir / name);
        cli = StartCli(m_dir, temp, args);
        ASSERT_GT(cli, 0);
        ASSERT_TRUE(WaitUntil([&] {
            workers = ChildrenOf(cli);
            return workers.size() == 2 && QueueFolders(temp).size() == 2;
        })) << signal;
        ::kill(cli, signal);
        const int status = EndOf(cli);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << signal << " " << status;
        EXPECT_EQ(QueueFolders(temp), std::vector<std::string>{"zelvanto-queue-live"}) << signal;
        for (const pid_t worker : workers) EXPECT_EQ(::kill(worker, 0), -1) << signal;
    }
    ::close(live);
}
