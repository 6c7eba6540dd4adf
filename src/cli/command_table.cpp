#include "cli/command_table.h"

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <memory>
#include <optional>

#include "cli/commands.h"
#include "cli/number_options.h"
#include "cli/queue_command.h"
#include "cli/run.h"

namespace {

// The run's options with their defaults: a progress line when stderr is a terminal.
std::shared_ptr<CRunOptions> NewRunOptions() {
    auto options = std::make_shared<CRunOptions>();
    options->common.progress = ::isatty(STDERR_FILENO) != 0;
    return options;
}

// IN and OUT of the commands that read one file and write another.
struct CInOut {
    std::string input, output;
};

std::function<int()> DefineSizes(CLI::App& command) {
    auto size = std::make_shared<CSize>();
    AddWholeOption(command, "W", size->cx, "Picture width in pixels", 1)->required();
    AddWholeOption(command, "H", size->cy, "Picture height in pixels", 1)->required();
    return [size] { return RunSizes(size->cx, size->cy); };
}

std::function<int()> DefineTransform(CLI::App& command) {
    auto files = std::make_shared<CInOut>();
    auto options = NewRunOptions();
    command.add_option("IN", files->input, "Picture to read (.bmp or .jpg)")->required();
    command.add_option("OUT", files->output, "Fourier data file to write (.ft)")->required();
    AddRunOptions(command, *options, kRunSize | kRunProgress | kRunEngine);
    return [files, options] {
        std::optional<CSize> size;
        if (!ApplyRunOptions(*options, size)) return 1;
        return RunTransform(files->input, files->output, size, options->common);
    };
}

std::function<int()> DefineInverse(CLI::App& command) {
    auto files = std::make_shared<CInOut>();
    auto options = NewRunOptions();
    command.add_option("IN", files->input, "Fourier data file to read (.ft)")->required();
    command.add_option("OUT", files->output, "Picture to write (.bmp or .jpg)")->required();
    AddRunOptions(command, *options, kRunProgress | kRunEngine);
    return [files, options] {
        std::optional<CSize> size;
        if (!ApplyRunOptions(*options, size)) return 1;
        return RunInverse(files->input, files->output, options->common);
    };
}

std::function<int()> DefineConvert(CLI::App& command) {
    auto files = std::make_shared<CInOut>();
    command.add_option("IN", files->input, "Picture to read (.bmp or .jpg)")->required();
    command.add_option("OUT", files->output, "Picture to write (.bmp or .jpg)")->required();
    return [files] { return RunConvert(files->input, files->output); };
}

// open is a run without steps.
std::function<int()> DefineOpen(CLI::App& command) {
    auto files = std::make_shared<CInOut>();
    auto options = NewRunOptions();
    command.add_option("IN", files->input, "File to open (.bmp, .jpg, .png, .ft or .stp)")
        ->required();
    AddRunOptions(command, *options, kRunAll | kRunOutputRequired);
    return [files, options] { return RunSteps(files->input, {}, *options, false); };
}

std::string StepList() {
    std::string list =
        "Steps (each one quoted argument; zelvanto-cli NAME --help lists its "
        "options):\n";
    for (const CStepRow& row : StepTable()) list += std::string("  ") + row.name + "\n";
    return list;
}

std::function<int()> DefineRun(CLI::App& command) {
    struct CRunArguments {
        std::string input;
        std::vector<std::string> steps;
    };
    auto arguments = std::make_shared<CRunArguments>();
    auto options = NewRunOptions();
    command.add_option("IN", arguments->input, "File to open (.bmp, .jpg, .png, .ft or .stp)")
        ->required();
    command.add_option("STEP", arguments->steps,
                       "An operation and its options as one argument, with the words of the "
                       "command of that name, for example \"fourier --kind 1/r --param 2\"");
    AddRunOptions(command, *options, kRunAll);
    command.footer(StepList());
    return [arguments, options] {
        // Every step is parsed and checked before the picture is opened.
        std::vector<std::unique_ptr<CStep>> steps;
        for (const std::string& words : arguments->steps) {
            bool help = false;
            steps.push_back(ParseStep(words, help));
            if (help) return 0;
            if (!steps.back()) return 1;
        }
        std::vector<CStep*> order;
        for (const auto& step : steps) order.push_back(step.get());
        return RunSteps(arguments->input, order, *options, true);
    };
}

std::function<int()> DefineQueue(CLI::App& command) {
    struct CQueueArguments {
        CQueueRequest request;
        std::vector<std::string> entries;
        std::string format;
    };
    auto arguments = std::make_shared<CQueueArguments>();
    auto options = NewRunOptions();
    command
        .add_option("IN", arguments->request.inputs,
                    "Pictures to open (.bmp, .jpg, .png, .ft or .stp)")
        ->required();
    command
        .add_option("--entry", arguments->entries,
                    "SUFFIX=KIND[:PARAM]: a name suffix (at most 5 characters, unique without "
                    "regard to case, at most 10 entries), the kind as for fourier --kind, the "
                    "parameter of a distribution or X,Y of one and shift; repeat for more")
        ->required();
    command
        .add_option("--format", arguments->format,
                    "Result files: jpg or bmp (default: bmp for a .bmp picture, else jpg, as "
                    "the queue dialog starts)")
        ->check(CLI::IsMember({"jpg", "bmp"}, CLI::ignore_case));
    AddWholeOption(command, "--jobs", arguments->request.jobs,
                   "Pictures run at once, each in a process of its own with its engine on "
                   "one thread unless --threads says otherwise (default 0: one per core)",
                   0, 256);
    AddRunOptions(command, *options, kRunSize | kRunAnswer | kRunProgress | kRunEngine);
    return [arguments, options] {
        std::optional<CSize> size;
        if (!ApplyRunOptions(*options, size)) return 1;
        CQueueRequest request = arguments->request;
        for (const std::string& text : arguments->entries) {
            std::string error;
            const std::optional<CQueueEntryRequest> entry = ParseQueueEntry(text, error);
            if (!entry) {
                std::fprintf(stderr, "%s\n", error.c_str());
                return 1;
            }
            request.entries.push_back(*entry);
        }
        const std::string& format = arguments->format;
        if (!format.empty()) request.format = (format[0] == 'b' || format[0] == 'B') ? 1 : 0;
        request.threadsGiven = options->threads.has_value();
        return RunQueue(request, size, options->common);
    };
}

// A step's command of its own: IN by the step's input, the step's options, the run's.
std::function<int()> DefineStepCommand(const CStepRow& row, CLI::App& command) {
    struct CStepArguments {
        std::string input;
        std::unique_ptr<CStep> step;
    };
    auto arguments = std::make_shared<CStepArguments>();
    auto options = NewRunOptions();
    if (row.input == StepInput::Document)
        command.add_option("IN", arguments->input, "File to open (.bmp, .jpg, .png, .ft or .stp)")
            ->required();
    if (row.input == StepInput::Picture)
        command.add_option("IN", arguments->input, "Picture to read (.bmp, .jpg or .png)")
            ->required();
    arguments->step = row.define(command);
    unsigned set = kRunEngine | kRunProgress;
    if (row.input == StepInput::Document) set |= kRunSize | kRunAnswer;
    if (row.input != StepInput::None) set |= kRunOutput;
    if (row.changesPicture) set |= kRunOutputRequired;
    AddRunOptions(command, *options, set);
    return [&row, arguments, options] {
        return RunStepCommand(row, arguments->input, *arguments->step, *options);
    };
}

}  // namespace

std::vector<CCommandRow> CommandTable() {
    std::vector<CCommandRow> rows = {
        {"sizes",
         "List the working sizes a W x H picture can be fitted to, largest area first, then "
         "the chosen size and the transform length N",
         DefineSizes},
        {"transform",
         "Read a picture, fit it to a working size, cut it, transform it exactly into its "
         "centred spectrum and write the spectrum as a .ft file",
         DefineTransform},
        {"inverse", "Read a .ft spectrum, transform it back, round it and write the picture",
         DefineInverse},
        {"convert", "Convert a picture between .bmp and .jpg (24 bits)", DefineConvert},
        {"open",
         "Open a .bmp, .jpg, .png, .ft or .stp file as the desktop does (fit, cut, measure; a "
         ".ft file shows the picture it holds, a .stp file its stamp) and save the picture as "
         "Save As does",
         DefineOpen},
        {"run",
         "Open a file as open does, run each STEP in order on that one document and save the "
         "result as Save As does. A step that fails stops the run with exit status 1 and "
         "nothing is saved",
         DefineRun},
        {"queue",
         "Open each picture, fill its Fourier queue with the entries in the order given, run "
         "the queue (entries in the order of their suffixes, each from the untouched spectrum "
         "kept in the .ft file beside the picture) and write one result per entry: base path + "
         "suffix + .jpg or .bmp. Exit status 1 when any entry of any picture failed",
         DefineQueue},
    };
    for (const CStepRow& row : StepTable()) {
        std::string summary = row.summary;
        if (row.input == StepInput::Document)
            summary += std::string(". Opens IN first") +
                       (row.changesPicture ? " and saves the result" : "") + ": run IN \"" +
                       row.name + " ...\"" + (row.changesPicture ? " -o OUT" : "");
        rows.push_back({row.name, summary,
                        [&row](CLI::App& command) { return DefineStepCommand(row, command); }});
    }
    return rows;
}
