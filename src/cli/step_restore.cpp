// learn-kernel --good G --blurred B [--size N] -o K.stp
// restore (--good G --blurred B | --kernel K.stp | --motion LEN,ANGLE | --defocus R |
//          --gaussian S | --blur KIND,STEPS,ATTENUATION) [--method tv|wiener|lucy]
//          [--strength auto|X] [--iterations N] [--size N] [--no-taper]

#include <CLI/CLI.hpp>
#include <cstdio>
#include <vector>

#include "cli/number_options.h"
#include "cli/output_checks.h"
#include "cli/steps.h"
#include "cli/terminal_ui.h"
#include "document/zelvan_doc.h"
#include "image/picture_file.h"
#include "stamp/blur.h"
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

// What restore was given, as texts where they need parsing.
struct CRestoreCommand {
    std::string good, blurred, kernelPath, motion, defocus, gaussian, blur;
    std::string method = RestoreMethods()[0].name;
    std::string strength = "auto";
    int32_t iterations = 0;
    int32_t size = kDefaultKernelSize;
    bool noTaper = false;
};

// Turns the texts into a kernel request and settings; false with the reason in error when
// they do not make one.
bool ParseRestoreCommand(const CRestoreCommand& command, CKernelRequest& request,
                         CRestoreSettings& settings, std::string& error) {
    int sources = 0;
    if (!command.good.empty() || !command.blurred.empty()) {
        if (command.good.empty() || command.blurred.empty()) {
            error = "--good and --blurred go together.";
            return false;
        }
        request.source = KernelSource::ExamplePair;
        request.goodPath = command.good;
        request.blurredPath = command.blurred;
        ++sources;
    }
    if (!command.kernelPath.empty()) {
        request.source = KernelSource::StampFile;
        request.stampPath = command.kernelPath;
        ++sources;
    }
    if (!command.motion.empty()) {
        const auto parts = Split(command.motion);
        if (parts.size() != 2 || !ParseDouble(parts[0], request.length) ||
            !ParseDouble(parts[1], request.angle)) {
            error =
                "--motion takes LENGTH,ANGLE, for example 12,30, not \"" + command.motion + "\".";
            return false;
        }
        request.source = KernelSource::Motion;
        ++sources;
    }
    if (!command.defocus.empty()) {
        if (!ParseDouble(command.defocus, request.radius)) {
            error = "--defocus takes a radius in pixels, not \"" + command.defocus + "\".";
            return false;
        }
        request.source = KernelSource::Defocus;
        ++sources;
    }
    if (!command.gaussian.empty()) {
        if (!ParseDouble(command.gaussian, request.sigma)) {
            error = "--gaussian takes a sigma in pixels, not \"" + command.gaussian + "\".";
            return false;
        }
        request.source = KernelSource::Gaussian;
        ++sources;
    }
    if (!command.blur.empty()) {
        const auto parts = Split(command.blur);
        const std::optional<int32_t> kind =
            parts.size() == 3 ? BlurPathByName(parts[0]) : std::nullopt;
        const std::optional<int32_t> steps =
            parts.size() == 3 ? ParseWholeNumber(parts[1]) : std::nullopt;
        if (!kind || !steps || !ParseDouble(parts[2], request.blurAttenuation)) {
            error = "--blur takes KIND,STEPS,ATTENUATION (KIND " + BlurPathNameList() +
                    "), for example random,10,0.6, not \"" + command.blur + "\".";
            return false;
        }
        if (const std::string refusal = CheckBlurValues(*kind, *steps, request.blurAttenuation);
            !refusal.empty()) {
            error = "--blur " + command.blur + ": " + refusal;
            return false;
        }
        request.source = KernelSource::BlurPath;
        request.blurKind = *kind;
        request.blurSteps = *steps;
        ++sources;
    }
    if (sources != 1) {
        error =
            "Name the kernel once: --good with --blurred, --kernel, --motion, --defocus, "
            "--gaussian or --blur.";
        return false;
    }
    request.size = command.size;
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

void AddKernelSizeOption(CLI::App& command, int32_t& size) {
    AddWholeOption(command, "--size", size,
                   "Side of a learnt kernel's square support (default 41, at most 63)");
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

// Makes the kernel and restores the picture with it. On a document the restored bytes also
// become its Result samples, so that the colour and compare steps after it start from them.
class CRestoreStep : public CStep {
public:
    explicit CRestoreStep(CLI::App& command) {
        CRestoreCommand& c = m_command;
        command.add_option("--good", c.good, "Example pair: the sharp picture");
        command.add_option("--blurred", c.blurred, "Example pair: the same scene blurred");
        command.add_option("--kernel", c.kernelPath,
                           "A kernel file (.stp) holding the blur, as learn-kernel writes it");
        command.add_option("--motion", c.motion,
                           "LENGTH,ANGLE: a straight motion of LENGTH pixels at ANGLE degrees "
                           "(counter-clockwise from rightwards)");
        command.add_option("--defocus", c.defocus, "R: a defocus disc of radius R pixels");
        command.add_option("--gaussian", c.gaussian, "S: a Gaussian blur of sigma S pixels");
        command.add_option(
            "--blur", c.blur,
            "KIND,STEPS,ATTENUATION: the program's own blur (KIND " + BlurPathNameList() + ")");
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
        AddKernelSizeOption(command, c.size);
    }
    bool Prepare() override {
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
        DibHandle& dib = *context.picture;
        CKernel kernel;
        m_request.pictureSize = DescribePicture(dib.Data()).size;
        const int made = MakeKernel(m_request, kernel, ProgressOf(ui));
        if (made != 1) return Finish(made, ui, 0, "Making the kernel") == 0;
        CRestoreReport report;
        const int before = ui.MessageCount();
        const int restored = RestorePicture(dib, kernel, m_settings, ProgressOf(ui), &report);
        if (restored != 1) return Finish(restored, ui, before, "Restoring") == 0;
        if (context.doc) {
            context.doc->RunOperation('Q');
            context.doc->SetModifiedFlag(true);
        }
        const PictureDescription d = DescribePicture(dib.Data());
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
                    method.caption, DescribeKernel(kernel).c_str(), detail.c_str());
        return true;
    }

private:
    CRestoreCommand m_command;
    CKernelRequest m_request;
    CRestoreSettings m_settings;
};

}  // namespace

std::unique_ptr<CStep> DefineLearnKernelStep(CLI::App& command) {
    return std::make_unique<CLearnKernelStep>(command);
}
std::unique_ptr<CStep> DefineRestoreStep(CLI::App& command) {
    return std::make_unique<CRestoreStep>(command);
}
