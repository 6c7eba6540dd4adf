#include "cli/queue_command.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <new>
#include <thread>

#include "cli/number_options.h"
#include "cli/output_checks.h"
#include "cli/terminal_ui.h"
#include "document/paths.h"
#include "document/queue.h"
#include "document/zelvan_doc.h"
#include "fourier/fourier.h"
#include "fourier/fourier_dialogs.h"
#include "fourier/fourier_kinds.h"
#include "fourier/fourier_settings.h"
#include "image/picture_file.h"

namespace {

bool UsesXY(int32_t kind) {
    const CFourierKindRow* row = FindFourierKind(kind);
    return row && row->usesXY;
}

bool ChosenInFourierOperations(int32_t kind) {
    const CFourierKindRow* row = FindFourierKind(kind);
    return row && row->dialog == FourierKindDialog::kOperations;
}

// How an entry is entered into its slot: what the Fourier Operations dialog would take for
// kinds 0 to 6, what "Dialog Number" would take for the others, with their checks.
QueueEntryEditor EntryEditor(const CQueueEntryRequest& entry, const CZelvanDoc& doc) {
    return [entry, &doc](FourierSettings& settings) {
        FourierSettings edited = settings;
        edited.m_nKind = entry.kind;
        if (double* member = FourierKindParameterMember(edited, entry.kind); member && entry.param)
            *member = *entry.param;
        std::string refusal;
        if (ChosenInFourierOperations(entry.kind)) {
            refusal = ValidateFourierOperations(edited);
        } else {
            if (entry.x) edited.m_nFreqX = *entry.x;
            if (entry.y) edited.m_nFreqY = *entry.y;
            CNumberData data;
            data.m_nChoice = entry.kind - kKindOneFrequency;
            data.m_nX = edited.m_nFreqX;
            data.m_nY = edited.m_nFreqY;
            data.m_nHalfWidth = doc.m_fourier.HalfWidth();
            data.m_nHalfHeight = doc.m_fourier.HalfHeight();
            refusal = ValidateNumberDialog(data);
        }
        if (!refusal.empty()) {
            ShowMessage(entry.suffix + ": " + refusal);
            return false;
        }
        settings = edited;
        return true;
    };
}

// One picture: open, fill the queue, run it. 0 when every entry was done.
int RunQueuePicture(const std::string& input, const CQueueRequest& request,
                    std::optional<CSize> size, const CliCommon& common) {
    CTerminalUi ui;
    SetUpTerminal(ui, size, common);
    CUiScope scope(ui);
    CZelvanDoc doc;
    if (!OpenDocument(doc, Absolute(input), size, ui)) return 1;

    CFourierQueueDlgModel dialog([&doc] { return CActiveDocument{true, true, true, &doc, &doc}; });
    dialog.m_nFormat = request.format.value_or(
        SameSuffixIgnoringCase(doc.m_szExtension, ".bmp") ? kQueueFormatBmp : kQueueFormatJpg);
    bool failed = false;
    for (const CQueueEntryRequest& entry : request.entries) {
        dialog.m_editor = EntryEditor(entry, doc);
        if (dialog.QueueAction(entry.suffix, kQueueNew) != 0) failed = true;
    }
    CQueueOutcome outcome;
    if (ExecuteQueue(doc, doc.m_nQueueFormat, &outcome) != 1) failed = true;
    for (const std::string& path : outcome.written) std::printf("Written: %s\n", path.c_str());
    std::fflush(stdout);
    return failed ? 1 : 0;
}

void CopyOut(std::FILE* from, std::FILE* to) {
    std::rewind(from);
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, from)) > 0) std::fwrite(buffer, 1, got, to);
    std::fflush(to);
}

// The folder of one parallel run holds what each picture prints, until the parent has passed
// it on. It is named zelvanto-queue-PID-XXXXXX and locked (flock) by its run: the lock goes
// with the last process of that run however it ends, so a folder nobody holds is stale.
constexpr char kQueueFolderPrefix[] = "zelvanto-queue-";

// Removes the folders of earlier runs that were killed (no process holds their lock), and
// those of older versions, which had no lock. Folders of runs still going are kept.
void SweepStaleQueueFolders(const std::filesystem::path& temp) {
    std::error_code error;
    std::vector<std::filesystem::path> candidates;
    for (std::filesystem::directory_iterator it(temp, error), end; !error && it != end;
         it.increment(error)) {
        if (it->path().filename().string().rfind(kQueueFolderPrefix, 0) == 0)
            candidates.push_back(it->path());
    }
    for (const std::filesystem::path& folder : candidates) {
        const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat info {};
        if (::fstat(fd, &info) == 0 && info.st_uid == ::getuid() &&
            ::flock(fd, LOCK_EX | LOCK_NB) == 0)
            std::filesystem::remove_all(folder, error);
        ::close(fd);
    }
}

// Makes and locks this run's folder; the descriptor holding the lock, or -1. A sweep of
// another run may take a folder between its making and its locking: then another is made.
int MakeQueueFolder(const std::filesystem::path& temp, std::string& folder) {
    for (int attempt = 0; attempt < 10; ++attempt) {
        std::string name =
            (temp / (kQueueFolderPrefix + std::to_string(::getpid()) + "-XXXXXX")).string();
        if (::mkdtemp(name.data()) == nullptr) return -1;
        const int fd = ::open(name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        struct stat held {};
        struct stat named {};
        if (fd >= 0 && ::flock(fd, LOCK_EX) == 0 && ::fstat(fd, &held) == 0 &&
            ::lstat(name.c_str(), &named) == 0 && held.st_ino == named.st_ino &&
            held.st_dev == named.st_dev) {
            folder = name;
            return fd;
        }
        if (fd >= 0) ::close(fd);
    }
    return -1;
}

// What a stop signal (Ctrl+C, kill, a closed terminal) cleans up before the run ends the way
// the signal says: the workers are killed and waited for, then the folder is removed. Set up
// before the handler is installed, and read by the handler with async-signal-safe calls only.
struct CStopCleanup {
    const char* folder = nullptr;
    std::vector<const char*> files;  // every file the run may make in the folder
    std::vector<pid_t> workers;      // room for all, reserved before the first fork
    volatile sig_atomic_t workerCount = 0;
};
CStopCleanup* g_stopCleanup = nullptr;

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

void OnStopSignal(int signal) {
    const int savedErrno = errno;
    if (CStopCleanup* cleanup = g_stopCleanup) {
        for (sig_atomic_t i = 0; i < cleanup->workerCount; ++i)
            ::kill(cleanup->workers[i], SIGKILL);
        for (sig_atomic_t i = 0; i < cleanup->workerCount; ++i)
            while (::waitpid(cleanup->workers[i], nullptr, 0) < 0 && errno == EINTR) {
            }
        for (const char* file : cleanup->files) ::unlink(file);
        ::rmdir(cleanup->folder);
    }
    errno = savedErrno;
    // The handler was reset on entry: once it returns, the signal (raised again, blocked
    // until then) ends the program as it would have without the handler.
    ::raise(signal);
}

// Blocks or unblocks the stop signals, around a fork and the recording of its worker.
void BlockStopSignals(bool block) {
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : kStopSignals) sigaddset(&set, signal);
    ::sigprocmask(block ? SIG_BLOCK : SIG_UNBLOCK, &set, nullptr);
}

}  // namespace

std::optional<CQueueEntryRequest> ParseQueueEntry(const std::string& text, std::string& error) {
    const size_t equals = text.find('=');
    if (equals == std::string::npos) {
        error = "--entry takes SUFFIX=KIND[:PARAM], not \"" + text + "\".";
        return std::nullopt;
    }
    CQueueEntryRequest entry;
    entry.suffix = text.substr(0, equals);
    const std::string rest = text.substr(equals + 1);
    const size_t colon = rest.find(':');
    const std::string kindText = rest.substr(0, colon);
    const std::optional<int32_t> kind = ParseFourierKind(kindText);
    if (!kind) {
        error = "--entry " + text + ": the kind is 0 to 12 or a name (fourier, 1/r, ...), not \"" +
                kindText + "\".";
        return std::nullopt;
    }
    entry.kind = *kind;
    if (colon == std::string::npos) return entry;

    const std::string param = rest.substr(colon + 1);
    FourierSettings probe;
    if (UsesXY(entry.kind)) {
        const auto xy = ParseWholePair(param, ',');
        if (!xy) {
            error = "--entry " + text + ": " + FourierKindCaption(entry.kind) +
                    " takes X,Y, two whole numbers, for example 3,-2, not \"" + param + "\".";
            return std::nullopt;
        }
        entry.x = xy->first;
        entry.y = xy->second;
    } else if (FourierKindParameterMember(probe, entry.kind) != nullptr) {
        const std::optional<double> value = ParseRealNumber(param);
        if (!value) {
            error = "--entry " + text + ": the parameter is a number, not \"" + param + "\".";
            return std::nullopt;
        }
        entry.param = *value;
    } else {
        error = "--entry " + text + ": " + FourierKindCaption(entry.kind) + " takes no parameter.";
        return std::nullopt;
    }
    return entry;
}

int RunQueue(const CQueueRequest& request, std::optional<CSize> size, const CliCommon& common) {
    // The dialog's rules, checked once for every picture, before any picture is opened.
    {
        std::vector<std::string> listed;
        for (const CQueueEntryRequest& entry : request.entries) {
            const QueueNewCheck check = CheckNewSuffix(listed, entry.suffix);
            if (check == QueueNewCheck::Empty) {
                std::fprintf(stderr, "--entry %s: the name suffix is empty.\n",
                             (entry.suffix + "=...").c_str());
                return 1;
            }
            if (check != QueueNewCheck::Accept) {
                std::fprintf(stderr, "--entry %s: %s\n", entry.suffix.c_str(),
                             QueueNewMessage(check).c_str());
                return 1;
            }
            // Kinds 0 to 6 go through the Fourier Operations dialog's checks here already.
            if (ChosenInFourierOperations(entry.kind)) {
                FourierSettings probe;
                probe.m_nKind = entry.kind;
                if (double* member = FourierKindParameterMember(probe, entry.kind);
                    member && entry.param)
                    *member = *entry.param;
                const std::string refusal = ValidateFourierOperations(probe);
                if (!refusal.empty()) {
                    std::fprintf(stderr, "--entry %s: %s\n", entry.suffix.c_str(), refusal.c_str());
                    return 1;
                }
            }
            listed.push_back(entry.suffix);
        }
    }

    // No result may be written over a picture the queue reads: every result name is known
    // before any picture is opened (the base path, the suffix, the format's extension).
    for (const std::string& input : request.inputs) {
        const int32_t format = request.format.value_or(
            PictureKindOf(input) == PictureKind::Bmp ? kQueueFormatBmp : kQueueFormatJpg);
        const std::string base = BaseName(Absolute(input));
        for (const CQueueEntryRequest& entry : request.entries) {
            const std::string result =
                base + entry.suffix + (format == kQueueFormatBmp ? ".bmp" : ".jpg");
            for (const std::string& other : request.inputs) {
                if (!SameFile(result, Absolute(other))) continue;
                std::fprintf(stderr,
                             "--entry %s: the result of %s would be written over the input "
                             "%s; choose another suffix.\n",
                             entry.suffix.c_str(), input.c_str(), other.c_str());
                return 1;
            }
        }
    }

    // Pictures that share a base path share their ".ft" file (and their result names): they
    // run one after the other in one task, in the order given, as a serial run does.
    std::vector<std::vector<size_t>> tasks;
    {
        std::map<std::string, size_t> taskOfBase;
        for (size_t i = 0; i < request.inputs.size(); ++i) {
            const std::string base = BaseName(Absolute(request.inputs[i]));
            const auto [it, added] = taskOfBase.emplace(base, tasks.size());
            if (added) tasks.emplace_back();
            tasks[it->second].push_back(i);
        }
    }

    // Folders left by earlier parallel runs that were killed go first.
    std::error_code error;
    const std::filesystem::path temp = std::filesystem::temp_directory_path(error);
    if (!error) SweepStaleQueueFolders(temp);

    int32_t jobs =
        request.jobs > 0 ? request.jobs : static_cast<int32_t>(std::thread::hardware_concurrency());
    if (jobs < 1) jobs = 1;
    if (static_cast<size_t>(jobs) > tasks.size()) jobs = static_cast<int32_t>(tasks.size());

    if (jobs <= 1) {
        bool failed = false;
        for (const std::string& input : request.inputs)
            if (RunQueuePicture(input, request, size, common) != 0) failed = true;
        return failed ? 1 : 0;
    }

    // Several pictures at once: `jobs` worker processes, each engine on one thread unless
    // told otherwise. A worker takes the next task from a counter the workers share (so the
    // planning of the engine for a size is kept from picture to picture), prints each
    // picture into files of its own and reports each task done on a pipe; the parent passes
    // the files on in the order of the inputs.
    if (!request.threadsGiven) CFourier::SetThreadCount(1);
    CliCommon quiet = common;
    quiet.progress = false;  // progress lines of pictures running together say nothing

    std::string folderName;
    const int folderLock = error ? -1 : MakeQueueFolder(temp, folderName);
    if (folderLock < 0) {
        std::fprintf(stderr, "No temporary folder for the output of the pictures.\n");
        return 1;
    }
    const std::filesystem::path folder = folderName;
    const auto outPath = [&](size_t i, const char* stream) {
        return (folder / (std::to_string(i) + stream)).string();
    };
    const auto removeFolder = [&] {
        std::filesystem::remove_all(folder, error);
        ::close(folderLock);
    };
    void* shared = ::mmap(nullptr, sizeof(std::atomic<uint64_t>), PROT_READ | PROT_WRITE,
                          MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    int pipeFds[2] = {-1, -1};
    if (shared == MAP_FAILED || ::pipe(pipeFds) != 0) {
        std::fprintf(stderr, "No shared counter for the pictures.\n");
        removeFolder();
        return 1;
    }
    auto* nextTask = new (shared) std::atomic<uint64_t>(0);

    const auto runTask = [&](const std::vector<size_t>& task) {
        int status = 0;
        for (const size_t i : task) {
            std::FILE* out = std::fopen(outPath(i, ".out").c_str(), "w");
            std::FILE* err = std::fopen(outPath(i, ".err").c_str(), "w");
            std::fflush(stdout);
            std::fflush(stderr);
            if (out) ::dup2(::fileno(out), STDOUT_FILENO);
            if (err) ::dup2(::fileno(err), STDERR_FILENO);
            if (RunQueuePicture(request.inputs[i], request, size, quiet) != 0) status = 1;
            std::fflush(stdout);
            std::fflush(stderr);
            if (out) std::fclose(out);
            if (err) std::fclose(err);
        }
        return status;
    };

    // A stop signal from here on kills the workers and removes the folder.
    std::vector<std::string> files;
    for (size_t i = 0; i < request.inputs.size(); ++i)
        for (const char* stream : {".out", ".err"}) files.push_back(outPath(i, stream));
    CStopCleanup cleanup;
    cleanup.folder = folderName.c_str();
    for (const std::string& file : files) cleanup.files.push_back(file.c_str());
    cleanup.workers.assign(static_cast<size_t>(jobs), 0);
    struct sigaction stop {};
    stop.sa_handler = OnStopSignal;
    stop.sa_flags = SA_RESETHAND;
    sigemptyset(&stop.sa_mask);
    for (const int signal : kStopSignals) sigaddset(&stop.sa_mask, signal);
    struct sigaction before[std::size(kStopSignals)] = {};
    BlockStopSignals(true);
    g_stopCleanup = &cleanup;
    for (size_t i = 0; i < std::size(kStopSignals); ++i) {
        ::sigaction(kStopSignals[i], nullptr, &before[i]);
        // A signal the run was started to ignore (nohup) stays ignored.
        if (before[i].sa_handler != SIG_IGN) ::sigaction(kStopSignals[i], &stop, nullptr);
    }
    BlockStopSignals(false);

    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t parent = ::getpid();
    std::vector<pid_t> workers;
    for (int32_t k = 0; k < jobs; ++k) {
        BlockStopSignals(true);
        const pid_t pid = ::fork();
        if (pid < 0) {
            BlockStopSignals(false);
            break;  // fewer workers, or none: see below
        }
        if (pid == 0) {
            // A worker ends with its parent: killed however the parent ends, also when the
            // parent ended before this line (the worker then has another parent already).
            for (size_t i = 0; i < std::size(kStopSignals); ++i)
                ::sigaction(kStopSignals[i], &before[i], nullptr);
            if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || ::getppid() != parent) std::_Exit(1);
            BlockStopSignals(false);
            ::close(pipeFds[0]);
            for (;;) {
                const uint64_t t = nextTask->fetch_add(1);
                if (t >= tasks.size()) break;
                const uint64_t record[2] = {t, static_cast<uint64_t>(runTask(tasks[t]))};
                // Records are far shorter than PIPE_BUF: each arrives whole.
                if (::write(pipeFds[1], record, sizeof record) != sizeof record) break;
            }
            std::_Exit(0);
        }
        workers.push_back(pid);
        cleanup.workers[static_cast<size_t>(cleanup.workerCount)] = pid;
        cleanup.workerCount = cleanup.workerCount + 1;
        BlockStopSignals(false);
    }
    ::close(pipeFds[1]);

    std::vector<bool> done(request.inputs.size(), false);
    size_t printed = 0;
    const auto passOn = [&] {
        while (printed < done.size() && done[printed]) {
            for (const auto& [stream, to] :
                 {std::pair{".out", stdout}, std::pair{".err", stderr}}) {
                if (std::FILE* from = std::fopen(outPath(printed, stream).c_str(), "r")) {
                    CopyOut(from, to);
                    std::fclose(from);
                }
            }
            ++printed;
        }
    };
    bool failed = false;
    if (workers.empty()) {
        // No process to spare: the pictures run here, one after the other.
        ::close(pipeFds[0]);
        const int savedOut = ::dup(STDOUT_FILENO);
        const int savedErr = ::dup(STDERR_FILENO);
        for (const std::vector<size_t>& task : tasks)
            if (runTask(task) != 0) failed = true;
        ::dup2(savedOut, STDOUT_FILENO);
        ::dup2(savedErr, STDERR_FILENO);
        ::close(savedOut);
        ::close(savedErr);
        done.assign(done.size(), true);
    } else {
        uint64_t record[2];
        size_t got = 0;
        for (;;) {
            const ssize_t n =
                ::read(pipeFds[0], reinterpret_cast<char*>(record) + got, sizeof record - got);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            got += static_cast<size_t>(n);
            if (got < sizeof record) continue;
            got = 0;
            if (record[0] >= tasks.size()) continue;
            if (record[1] != 0) failed = true;
            for (const size_t i : tasks[record[0]]) done[i] = true;
            passOn();
        }
        ::close(pipeFds[0]);
        for (const pid_t pid : workers) {
            int status = 0;
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
            if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) failed = true;
        }
        // A worker that died leaves its picture unreported: it failed.
        for (size_t i = 0; i < done.size(); ++i) {
            if (done[i]) continue;
            done[i] = true;
            failed = true;
            if (std::FILE* err = std::fopen(outPath(i, ".err").c_str(), "a")) {
                std::fprintf(err, "%s: the process running it stopped before the end.\n",
                             request.inputs[i].c_str());
                std::fclose(err);
            }
        }
    }
    passOn();
    ::munmap(shared, sizeof(std::atomic<uint64_t>));
    BlockStopSignals(true);
    for (size_t i = 0; i < std::size(kStopSignals); ++i)
        ::sigaction(kStopSignals[i], &before[i], nullptr);
    g_stopCleanup = nullptr;
    BlockStopSignals(false);
    removeFolder();
    return failed ? 1 : 0;
}
