#include "cli/queue_command.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <thread>

#include "document/paths.h"
#include "document/queue.h"
#include "document/zelvan_doc.h"
#include "fourier/fourier.h"
#include "fourier/fourier_dialogs.h"
#include "fourier/fourier_settings.h"
#include "platform/terminal_ui.h"

namespace {

bool ParseInt(const std::string& text, int32_t& value) {
    char* end = nullptr;
    errno = 0;
    const long parsed = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || parsed < INT32_MIN || parsed > INT32_MAX)
        return false;
    value = static_cast<int32_t>(parsed);
    return true;
}

bool UsesXY(int32_t kind) {
    return kind == kKindOneFrequency || kind == kKindShiftPicture;
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
        if (entry.kind <= kLastFourierOpsKind) {
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

struct CPictureOutput {
    std::FILE* out = nullptr;
    std::FILE* err = nullptr;
    bool done = false;
};

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
        const size_t comma = param.find(',');
        int32_t x = 0;
        int32_t y = 0;
        if (comma == std::string::npos || !ParseInt(param.substr(0, comma), x) ||
            !ParseInt(param.substr(comma + 1), y)) {
            error = "--entry " + text + ": " + FourierKindCaption(entry.kind) +
                    " takes X,Y, for example 3,-2.";
            return std::nullopt;
        }
        entry.x = x;
        entry.y = y;
    } else if (FourierKindParameterMember(probe, entry.kind) != nullptr) {
        char* end = nullptr;
        const double value = std::strtod(param.c_str(), &end);
        if (param.empty() || *end != '\0') {
            error = "--entry " + text + ": the parameter is a number, not \"" + param + "\".";
            return std::nullopt;
        }
        entry.param = value;
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
            if (entry.kind <= kLastFourierOpsKind) {
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

    int32_t jobs =
        request.jobs > 0 ? request.jobs : static_cast<int32_t>(std::thread::hardware_concurrency());
    if (jobs < 1) jobs = 1;
    if (static_cast<size_t>(jobs) > tasks.size()) jobs = static_cast<int32_t>(tasks.size());

    bool failed = false;
    if (jobs <= 1) {
        for (const std::string& input : request.inputs)
            if (RunQueuePicture(input, request, size, common) != 0) failed = true;
        return failed ? 1 : 0;
    }

    // Several pictures at once: a process each, each engine on one thread unless told
    // otherwise. What a picture prints goes to files of its own, passed on in input order.
    if (!request.threadsGiven) CFourier::SetThreadCount(1);
    CliCommon quiet = common;
    quiet.progress = false;  // progress lines of pictures running together say nothing
    std::vector<CPictureOutput> outputs(request.inputs.size());
    // The files of a task are made when it starts and closed once passed on.
    const auto makeFiles = [&](const std::vector<size_t>& task) {
        for (const size_t i : task) {
            outputs[i].out = std::tmpfile();
            outputs[i].err = std::tmpfile();
            if (!outputs[i].out || !outputs[i].err) return false;
        }
        return true;
    };
    size_t printed = 0;
    const auto passOn = [&] {
        while (printed < outputs.size() && outputs[printed].done) {
            CopyOut(outputs[printed].out, stdout);
            CopyOut(outputs[printed].err, stderr);
            std::fclose(outputs[printed].out);
            std::fclose(outputs[printed].err);
            ++printed;
        }
    };
    const auto runTask = [&](const std::vector<size_t>& task) {
        int status = 0;
        for (const size_t i : task) {
            std::fflush(stdout);
            std::fflush(stderr);
            ::dup2(::fileno(outputs[i].out), STDOUT_FILENO);
            ::dup2(::fileno(outputs[i].err), STDERR_FILENO);
            if (RunQueuePicture(request.inputs[i], request, size, quiet) != 0) status = 1;
            std::fflush(stdout);
            std::fflush(stderr);
        }
        return status;
    };

    std::map<pid_t, size_t> running;
    size_t next = 0;
    std::fflush(stdout);
    std::fflush(stderr);
    while (next < tasks.size() || !running.empty()) {
        while (next < tasks.size() && running.size() < static_cast<size_t>(jobs)) {
            if (!makeFiles(tasks[next])) {
                std::fprintf(stderr, "No temporary file for the output of a picture.\n");
                return 1;
            }
            const pid_t pid = ::fork();
            if (pid == 0) {
                const int status = runTask(tasks[next]);
                std::_Exit(status);
            }
            if (pid < 0) {
                // No process to spare: this task runs here, after those under way.
                if (!running.empty()) {
                    for (const size_t i : tasks[next]) {
                        std::fclose(outputs[i].out);
                        std::fclose(outputs[i].err);
                    }
                    break;
                }
                const int saved = ::dup(STDOUT_FILENO);
                const int savedErr = ::dup(STDERR_FILENO);
                if (runTask(tasks[next]) != 0) failed = true;
                ::dup2(saved, STDOUT_FILENO);
                ::dup2(savedErr, STDERR_FILENO);
                ::close(saved);
                ::close(savedErr);
                for (const size_t i : tasks[next]) outputs[i].done = true;
                ++next;
                passOn();
                continue;
            }
            running.emplace(pid, next++);
        }
        if (running.empty()) continue;
        int status = 0;
        const pid_t pid = ::waitpid(-1, &status, 0);
        if (pid < 0) {
            if (errno == EINTR) continue;
            break;
        }
        const auto it = running.find(pid);
        if (it == running.end()) continue;
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) failed = true;
        if (WIFSIGNALED(status))
            for (const size_t i : tasks[it->second])
                std::fprintf(outputs[i].err, "%s: stopped by signal %d.\n",
                             request.inputs[i].c_str(), WTERMSIG(status));
        for (const size_t i : tasks[it->second]) outputs[i].done = true;
        running.erase(it);
        passOn();
    }
    // A wait that failed leaves tasks unaccounted for: they count as failed.
    for (CPictureOutput& output : outputs)
        if (!output.done) {
            if (!output.out) output.out = std::tmpfile();
            if (!output.err) output.err = std::tmpfile();
            if (!output.out || !output.err) return 1;
            output.done = true;
            failed = true;
        }
    passOn();
    return failed ? 1 : 0;
}
