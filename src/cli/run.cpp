#include "cli/run.h"

#include <CLI/CLI.hpp>
#include <cctype>
#include <cstdio>

#include "cli/number_options.h"
#include "cli/output_checks.h"
#include "cli/terminal_ui.h"
#include "document/zelvan_doc.h"
#include "fourier/fourier.h"
#include "image/picture_file.h"

const CStepRow* FindStep(const std::string& name) {
    for (const CStepRow& row : StepTable())
        if (name == row.name) return &row;
    return nullptr;
}

void AddRunOptions(CLI::App& command, CRunOptions& options, unsigned set) {
    const auto free = [&command](const char* name) {
        return command.get_option_no_throw(name) == nullptr;
    };
    if ((set & kRunOutput) && free("-o") && free("--output")) {
        CLI::Option* output = command.add_option(
            "-o,--output", options.output,
            (set & kRunOutputRequired) ? "Picture to save (.bmp, .jpg or .png), as Save As does"
                                       : "Picture to save (.bmp, .jpg or .png), as Save As does; "
                                         "without it nothing is saved");
        if (set & kRunOutputRequired) output->required();
    }
    if ((set & kRunSize) && free("--size"))
        command.add_option("--size", options.size,
                           "Working size WxH, one of those the picture can be fitted to; "
                           "without it the largest is taken");
    if ((set & kRunAnswer) && free("--yes") && free("--no")) {
        CLI::Option* yes = command.add_flag_callback(
            "--yes", [&options] { options.common.answer = true; }, "Answer Yes to every question");
        command
            .add_flag_callback(
                "--no", [&options] { options.common.answer = false; },
                "Answer No to every question")
            ->excludes(yes);
    }
    if ((set & kRunProgress) && free("--progress"))
        command.add_flag("--progress,!--no-progress", options.common.progress,
                         "Show a progress line on stderr (default: when stderr is a terminal)");
    if ((set & kRunEngine) && free("--engine")) {
        command
            .add_option("--engine", options.engine,
                        "Transform engine: auto (the default: projection for pictures of up "
                        "to 320 x 240 pixels, fft above), projection (exact; pictures are cut "
                        "to the sizes it takes) or fft (fast, any size, the picture whole; "
                        "equal to within rounding)")
            ->check(CLI::IsMember({"auto", "projection", "fft"}));
        AddWholeOption(command, "--threads", options.threads,
                       "Threads the transform may use (default 0: every core)", 0, 256);
    }
}

bool ApplyRunOptions(const CRunOptions& options, std::optional<CSize>& size) {
    CFourier::SetEngineChoice(options.engine == "fft"          ? EngineChoice::Fft
                              : options.engine == "projection" ? EngineChoice::Projection
                                                               : EngineChoice::Automatic);
    CFourier::SetThreadCount(options.threads.value_or(0));
    size.reset();
    if (options.size.empty()) return true;
    // The working sizes are the exact engine's: --size chooses that engine, and refuses the
    // fast one, which takes every picture whole.
    if (options.engine == "fft") {
        std::fprintf(stderr,
                     "--size chooses among the sizes of the projection engine; the fft engine "
                     "takes the picture whole.\n");
        return false;
    }
    CFourier::SetEngineChoice(EngineChoice::Projection);
    size = ParseSize(options.size);
    if (size) return true;
    std::fprintf(stderr, "--size takes WxH, for example 640x480, not \"%s\".\n",
                 options.size.c_str());
    return false;
}

namespace {

bool IsBlank(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

// Every step's name, for the message about one that is not known.
std::string StepNames() {
    std::string names;
    for (const CStepRow& row : StepTable())
        names += std::string(names.empty() ? "" : ", ") + row.name;
    return names;
}

}  // namespace

std::unique_ptr<CStep> ParseStep(const std::string& words, bool& help) {
    help = false;
    size_t begin = 0;
    while (begin < words.size() && IsBlank(words[begin])) ++begin;
    size_t end = begin;
    while (end < words.size() && !IsBlank(words[end])) ++end;
    const std::string name = words.substr(begin, end - begin);
    const CStepRow* row = FindStep(name);
    if (row == nullptr) {
        std::fprintf(stderr, "\"%s\" is not a step; the steps are %s.\n", words.c_str(),
                     StepNames().c_str());
        return nullptr;
    }
    CLI::App command{row->summary, row->name};
    std::unique_ptr<CStep> step = row->define(command);
    try {
        command.parse(words.substr(end), false);
    } catch (const CLI::CallForHelp&) {
        std::printf("%s", command.help().c_str());
        help = true;
        return nullptr;
    } catch (const CLI::ParseError& error) {
        std::fprintf(stderr, "Step \"%s\": %s\n", words.c_str(), error.what());
        return nullptr;
    }
    if (!step->Prepare()) return nullptr;
    return step;
}

namespace {

// The document's road: open, run each step, save. 0 or 1.
int RunOnDocument(const std::string& input, const std::vector<CStep*>& steps,
                  const std::string& output, const std::optional<CSize>& size,
                  const CRunOptions& options, bool named) {
    CTerminalUi ui;
    SetUpTerminal(ui, size, options.common);
    CUiScope scope(ui);
    CZelvanDoc doc;
    if (!OpenDocument(doc, Absolute(input), size, ui)) return 1;
    // What opening did (a ".ft" file shows its picture through the driver); steps print their own.
    if (steps.empty()) PrintElapsedTimes(doc.m_settings);
    CStepContext context{&doc, &doc.m_hDIB, &ui, &options.common};
    for (size_t i = 0; i < steps.size(); ++i) {
        if (steps[i]->Run(context)) continue;
        if (named)
            std::fprintf(stderr, "Step %zu of %zu failed; nothing is saved.\n", i + 1,
                         steps.size());
        return 1;
    }
    if (output.empty()) return 0;
    return SaveDocument(doc, output, ui) ? 0 : 1;
}

// A step on a picture read as it stands, written by kind.
int RunOnPicture(const std::string& input, CStep& step, const std::string& output,
                 const CRunOptions& options) {
    CTerminalUi ui;
    ui.SetAnswer(options.common.answer);
    ui.SetShowProgress(options.common.progress);
    CUiScope scope(ui);
    DibHandle dib;
    CSize size;
    if (ReadPictureFile(input, dib, size) != 1) return 1;
    if (ConvertTo24Bits(dib) != 1) {
        ShowMessage(input + ": the picture could not be converted to 24 bits.");
        return 1;
    }
    CStepContext context{nullptr, &dib, &ui, &options.common};
    if (!step.Run(context)) return 1;
    if (output.empty()) return 0;
    if (WritePictureFile(output, dib) != 1) return 1;
    std::printf("Picture written: %s\n", output.c_str());
    return 0;
}

// A step that needs neither.
int RunAlone(CStep& step, const CRunOptions& options) {
    CTerminalUi ui;
    ui.SetAnswer(options.common.answer);
    ui.SetShowProgress(options.common.progress);
    CUiScope scope(ui);
    CStepContext context{nullptr, nullptr, &ui, &options.common};
    return step.Run(context) ? 0 : 1;
}

}  // namespace

int RunSteps(const std::string& input, const std::vector<CStep*>& steps, const CRunOptions& options,
             bool named) {
    std::optional<CSize> size;
    if (!ApplyRunOptions(options, size)) return 1;
    // Made absolute before any step can move the working folder.
    const std::string output = Absolute(options.output);
    if (!output.empty() && !CheckOutput(output, OutputKind::Document)) return 1;
    return RunOnDocument(input, steps, output, size, options, named);
}

int RunStepCommand(const CStepRow& row, const std::string& input, CStep& step,
                   const CRunOptions& options) {
    if (!step.Prepare()) return 1;
    switch (row.input) {
        case StepInput::Document:
            return RunSteps(input, {&step}, options, false);
        case StepInput::Picture: {
            std::optional<CSize> size;
            if (!ApplyRunOptions(options, size)) return 1;
            if (!options.output.empty() && !CheckOutput(options.output, OutputKind::Picture))
                return 1;
            return RunOnPicture(input, step, options.output, options);
        }
        case StepInput::None: {
            std::optional<CSize> size;
            if (!ApplyRunOptions(options, size)) return 1;
            return RunAlone(step, options);
        }
    }
    return 1;
}
