// learn-kernel --good G --blurred B [--size N] -o K.stp
// restore (--good G --blurred B | --kernel K.stp | --motion LEN,ANGLE | --defocus R |
//          --gaussian S | --blur KIND,STEPS,ATTENUATION | --estimate [MODEL])
//          [--method tv|wiener|lucy] [--strength auto|X] [--iterations N] [--size N]
//          [--no-taper] [--save-kernel K.stp]
//
// With --estimate a picture in which no blur is found is not restored: "No blur found" and
// exit status 1, the output not written.

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "cli/number_options.h"
#include "cli/output_checks.h"
#include "cli/steps.h"
#include "cli/terminal_ui.h"
#include "document/zelvan_doc.h"
#include "image/picture_file.h"
#include "stamp/blur.h"
#include "stamp/kernel_sources.h"
#include "stamp/restore.h"
#include "stamp/restore_files.h"
#include "stamp/restore_methods.h"
#include "stamp/restore_request.h"
#include "stamp/rubber_stamp.h"

namespace {

bool ParseDouble(const std::string& text, double& value) {
    const std::optional<double> parsed = ParseRealNumber(text);
    if (parsed) value = *parsed;
    return parsed.has_value();
}

// "a,b,c" into its parts.
std::vector<std::string> Split(const std::string& text) {
    std::vector<std::string> parts(1);
    for (char ch : text) {
        if (ch == ',')
            parts.emplace_back();
        else
            parts.back() += ch;
    }
    return parts;
}

// The methods' names, joined by separator.
std::string MethodNames(const char* separator) {
    std::string names;
    for (const CRestoreMethodRow& row : RestoreMethods())
        names += (names.empty() ? "" : separator) + std::string(row.name);
    return names;
}

std::function<bool(double)> ProgressOf(CUserInterface& ui) {
    return [&ui](double fraction) { return ui.ReportProgress(fraction); };
}

int Finish(int result, const CTerminalUi& ui, int before, const char* what) {
    if (result == kRestoreCancelled) {
        std::fprintf(stderr, "%s stopped.\n", what);
        return 1;
    }
    if (result != 1 && ui.MessageCount() == before) std::fprintf(stderr, "%s failed.\n", what);
    return result == 1 ? 0 : 1;
}

// What restore was given, as texts where they need parsing: for each kernel source, the
// texts of its options.
struct CRestoreCommand {
    std::vector<std::vector<std::string>> sources;
    std::string method = RestoreMethods()[0].name;
    std::string strength = "auto";
    int32_t iterations = 0;
    int32_t size = kDefaultKernelSize;
    bool sizeGiven = false;
    bool noTaper = false;
};

// The texts of a source's options into the request; false with the reason in error.
bool ParseKernelSource(const CKernelSourceRow& row, const std::vector<std::string>& texts,
                       CKernelRequest& request, std::string& error) {
    if (!row.paths.empty()) {
        for (size_t i = 0; i < row.paths.size(); ++i) {
            if (texts[i].empty()) {
                error = row.options[0] + " and " + row.options[1] + " go together.";
                return false;
            }
            request.*row.paths[i] = texts[i];
        }
        return true;
    }
    const std::string& text = texts[0];
    if (row.takesModelName) {
        if (!BlurModelFromName(text, request.estimateModel) ||
            request.estimateModel == BlurModel::None) {
            error = row.options[0] + " takes " + row.usage + ", not \"" + text + "\".";
            return false;
        }
        return true;
    }
    const std::vector<std::string> parts = Split(text);
    const size_t first = row.takesPathName ? 1 : 0;
    bool read = parts.size() == first + row.parameters.size();
    if (read && row.takesPathName) {
        const std::optional<int32_t> kind = BlurPathByName(parts[0]);
        read = kind.has_value();
        if (read) request.blurKind = *kind;
    }
    for (size_t i = 0; read && i < row.parameters.size(); ++i) {
        const CKernelParameter& parameter = row.parameters[i];
        double value = 0.0;
        if (parameter.decimals == 0) {
            const std::optional<int32_t> whole = ParseWholeNumber(parts[first + i]);
            read = whole.has_value();
            value = whole.value_or(0);
        } else {
            read = ParseDouble(parts[first + i], value);
        }
        if (read) parameter.set(request, value);
    }
    if (!read) {
        error = row.options[0] + " takes " + row.usage + ", not \"" + text + "\".";
        return false;
    }
    if (row.check) {
        if (const std::string refusal = row.check(request); !refusal.empty()) {
            error = row.options[0] + " " + text + ": " + refusal;
            return false;
        }
    }
    return true;
}

// Turns the texts into a kernel request and settings; false with the reason in error when
// they do not make one.
bool ParseRestoreCommand(const CRestoreCommand& command, CKernelRequest& request,
                         CRestoreSettings& settings, std::string& error) {
    int sources = 0;
    const std::span<const CKernelSourceRow> rows = KernelSourceRows();
    for (size_t r = 0; r < rows.size(); ++r) {
        const std::vector<std::string>& texts = command.sources[r];
        if (std::all_of(texts.begin(), texts.end(), [](const std::string& t) { return t.empty(); }))
            continue;
        if (!ParseKernelSource(rows[r], texts, request, error)) return false;
        request.source = rows[r].source;
        ++sources;
    }
    if (sources != 1) {
        error = "Name the kernel once: " + KernelSourceOptionList() + ".";
        return false;
    }
    request.size = command.size;
    if (request.source == KernelSource::Estimate) {
        if (command.sizeGiven) request.estimateSize = command.size;
        if (const std::string refusal = KernelSourceRowOf(request.source).check(request);
            !refusal.empty()) {
            error = "--estimate: " + refusal;
            return false;
        }
    }
    const CRestoreMethodRow* method = FindRestoreMethod(command.method);
    if (method == nullptr) {
        error = "--method takes " + MethodNames(" or ") + ", not \"" + command.method + "\".";
        return false;
    }
    settings.method = method->method;
    settings.autoStrength = command.strength == "auto";
    if (!settings.autoStrength && !ParseDouble(command.strength, settings.strength)) {
        error = "--strength takes auto or a number, not \"" + command.strength + "\".";
        return false;
    }
    settings.iterations = command.iterations;
    settings.taper = !command.noTaper;
    return true;
}

CLI::Option* AddKernelSizeOption(CLI::App& command, int32_t& size, bool estimate = false) {
    return AddWholeOption(command, "--size", size,
                          estimate ? "Side of a learnt kernel's square support (default 41, at "
                                     "most 63); with --estimate the largest blur looked for "
                                     "(default 31; 0: as large as the picture allows, the free "
                                     "kernel trying growing sizes)"
                                   : "Side of a learnt kernel's square support (default 41, at "
                                     "most 63)");
}

// Learns the blur of an example pair and writes it as a kernel file (the blur itself, not
// its inverse). Prints the kernel's size, peak and sum.
class CLearnKernelStep : public CStep {
public:
    explicit CLearnKernelStep(CLI::App& command) {
        command.add_option("--good", m_good, "The sharp picture of the pair")->required();
        command.add_option("--blurred", m_blurred, "The same scene blurred")->required();
        command.add_option("-o,--output", m_output, "Kernel file to write (.stp)")->required();
        AddKernelSizeOption(command, m_size);
    }
    bool Prepare() override {
        m_good = Absolute(m_good);
        m_blurred = Absolute(m_blurred);
        m_output = Absolute(m_output);
        return CheckOutput(m_output, OutputKind::Stamp, {m_good, m_blurred});
    }
    bool Run(CStepContext& context) override {
        CKernel kernel;
        const int learnt =
            LearnKernelFromFiles(m_good, m_blurred, m_size, kernel, ProgressOf(*context.ui));
        if (learnt != 1) return Finish(learnt, *context.ui, 0, "Learning the kernel") == 0;
        // The one writer of stamp files, which names the file and the reason it failed.
        if (WriteRubberStamp(m_output, kernel.values.data(), kernel.width, kernel.height,
                             kernel.peakX, kernel.peakY) != 1)
            return false;
        std::printf("Learnt blur %s written to %s\n", DescribeKernel(kernel).c_str(),
                    m_output.c_str());
        return true;
    }

private:
    std::string m_good, m_blurred, m_output;
    int32_t m_size = kDefaultKernelSize;
};

// Makes the kernel and restores the picture with it: on a document through its Restore
// dialog and operation, as the desktop does (the restored values become its Result samples,
// so that the colour and compare steps after it start from them); on a picture of its own by
// the same restoration.
class CRestoreStep : public CStep {
public:
    explicit CRestoreStep(CLI::App& command) {
        CRestoreCommand& c = m_command;
        const std::span<const CKernelSourceRow> rows = KernelSourceRows();
        c.sources.resize(rows.size());
        for (size_t r = 0; r < rows.size(); ++r) {
            c.sources[r].resize(rows[r].options.size());
            for (size_t o = 0; o < rows[r].options.size(); ++o) {
                CLI::Option* option =
                    command.add_option(rows[r].options[o], c.sources[r][o], rows[r].helps[o]);
                // The model may be left out: --estimate alone is auto.
                if (rows[r].takesModelName) {
                    option->expected(0, 1);
                    m_modelOptions.push_back({option, r});
                }
            }
        }
        std::string methods;
        std::vector<std::string> names;
        for (const CRestoreMethodRow& row : RestoreMethods()) {
            methods += std::string(methods.empty() ? "" : "; ") + row.name + ": " + row.help;
            names.emplace_back(row.name);
        }
        command.add_option("--method", c.method, methods)->check(CLI::IsMember(names));
        command.add_option("--strength", c.strength,
                           "auto (default; from the noise measured in the picture) or a number, "
                           "larger is smoother: for wiener the noise-to-signal ratio, for tv the "
                           "prior's weight at 1 % noise (auto 0.08), scaled by the noise's "
                           "variance");
        AddWholeOption(command, "--iterations", c.iterations,
                       "tv and lucy: at most this many iterations (default 0: from the "
                       "kernel's size; lucy stops earlier when the picture settles)");
        command.add_flag("--no-taper", c.noTaper,
                         "Restore as if the blur wrapped around the picture's edges");
        m_sizeOption = AddKernelSizeOption(command, c.size, true);
        command.add_option("--save-kernel", m_saveKernel,
                           "Write the kernel the picture is restored with here (.stp)");
    }
    bool Prepare() override {
        for (const auto& [option, row] : m_modelOptions)
            if (option->count() > 0 && m_command.sources[row][0].empty())
                m_command.sources[row][0] = BlurModelName(BlurModel::Auto);
        m_command.sizeGiven = m_sizeOption->count() > 0;
        if (!m_saveKernel.empty()) {
            m_saveKernel = Absolute(m_saveKernel);
            if (!CheckOutput(m_saveKernel, OutputKind::Stamp)) return false;
        }
        std::string error;
        if (!ParseRestoreCommand(m_command, m_request, m_settings, error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return false;
        }
        for (std::string* path :
             {&m_request.goodPath, &m_request.blurredPath, &m_request.stampPath})
            *path = Absolute(*path);
        return ValidateRestoreSettings(m_settings) == 1;
    }
    bool Run(CStepContext& context) override {
        CTerminalUi& ui = *context.ui;
        const int before = ui.MessageCount();
        const CRestoreRequest request{m_request, m_settings, {}};
        CRestoreOutcome outcome;
        if (context.doc) {
            // The Restore dialog of the document answered with the request, then OK.
            CZelvanDoc& doc = *context.doc;
            const int refusedBefore = ui.RefusedDialogs();
            ui.SetRestoreDialog(request);
            doc.OnRestore();
            ui.SetRestoreDialog(std::nullopt);
            if (ui.RefusedDialogs() != refusedBefore) return false;
            outcome = doc.m_restoreOutcome;
        } else {
            RestoreByRequest(request, *context.picture, ProgressOf(ui), outcome);
        }
        if (outcome.estimate.model != BlurModel::None)
            std::printf("Estimated blur: %s (confidence %.2f)\n",
                        outcome.estimate.description.c_str(), outcome.estimate.confidence);
        if (outcome.kernelResult != 1)
            return Finish(outcome.kernelResult, ui, before, "Making the kernel") == 0;
        if (!m_saveKernel.empty()) {
            if (WriteKernelFile(m_saveKernel, outcome.kernel) != 1) return false;
            std::printf("Saved the %s to %s\n", DescribeKernel(outcome.kernel).c_str(),
                        m_saveKernel.c_str());
        }
        if (outcome.restoreResult != 1)
            return Finish(outcome.restoreResult, ui, before, "Restoring") == 0;
        const CRestoreReport& report = outcome.report;
        const PictureDescription d = DescribePicture(context.picture->Data());
        const CRestoreMethodRow& method = RestoreMethodRow(m_settings.method);
        std::string detail = Format("noise %.2g %%", 100.0 * report.noise / 255.0);
        if (method.hasStrength && m_settings.method == RestoreMethod::Wiener)
            detail += Format(", strength %s%g", m_settings.autoStrength ? "auto, median " : "",
                             report.medianStrength);
        else if (method.hasStrength)
            detail += Format(", weight %s%g", m_settings.autoStrength ? "auto, " : "",
                             report.medianStrength);
        if (method.hasIterations) detail += Format(", %i iterations", report.iterations);
        if (m_settings.taper && report.cyclic) detail += ", the blur wraps around";
        std::printf("Restored %i x %i by %s with the %s (%s)\n", d.size.cx, d.size.cy,
                    method.caption, DescribeKernel(outcome.kernel).c_str(), detail.c_str());
        return true;
    }

private:
    CRestoreCommand m_command;
    CKernelRequest m_request;
    CRestoreSettings m_settings;
    std::vector<std::pair<CLI::Option*, size_t>> m_modelOptions;
    CLI::Option* m_sizeOption = nullptr;
    std::string m_saveKernel;
};

}  // namespace

std::unique_ptr<CStep> DefineLearnKernelStep(CLI::App& command) {
    return std::make_unique<CLearnKernelStep>(command);
}
std::unique_ptr<CStep> DefineRestoreStep(CLI::App& command) {
    return std::make_unique<CRestoreStep>(command);
}
