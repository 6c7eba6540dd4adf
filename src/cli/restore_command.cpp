#include "cli/restore_command.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "image/picture_file.h"
#include "platform/terminal_ui.h"
#include "stamp/restore_files.h"

namespace {

bool ParseDouble(const std::string& text, double& value) {
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text.c_str(), &end);
    return !text.empty() && *end == '\0' && errno != ERANGE;
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

}  // namespace

int RunLearnKernel(const std::string& good, const std::string& blurred, int32_t size,
                   const std::string& output, const CliCommon& common) {
    CTerminalUi ui;
    ui.SetShowProgress(common.progress);
    CUiScope scope(ui);
    CKernel kernel;
    const int learnt = LearnKernelFromFiles(good, blurred, size, kernel, ProgressOf(ui));
    if (learnt != 1) return Finish(learnt, ui, 0, "Learning the kernel");
    if (!WriteKernelFile(output, kernel)) return 1;
    std::printf("Learnt blur %s written to %s\n", DescribeKernel(kernel).c_str(), output.c_str());
    return 0;
}

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
            parts.size() == 3 ? ParseBlurKind(parts[0]) : std::nullopt;
        double steps = 0;
        if (!kind || !ParseDouble(parts[1], steps) || steps != static_cast<int32_t>(steps) ||
            !ParseDouble(parts[2], request.blurAttenuation)) {
            error =
                "--blur takes KIND,STEPS,ATTENUATION (KIND 0 to 4 or horizontal, vertical, "
                "right-down, random, five), for example random,10,0.6, not \"" +
                command.blur + "\".";
            return false;
        }
        request.source = KernelSource::BlurPath;
        request.blurKind = *kind;
        request.blurSteps = static_cast<int32_t>(steps);
        ++sources;
    }
    if (sources != 1) {
        error =
            "Name the kernel once: --good with --blurred, --kernel, --motion, --defocus, "
            "--gaussian or --blur.";
        return false;
    }
    request.size = command.size;
    settings.method = command.method == "lucy" ? RestoreMethod::Lucy : RestoreMethod::Wiener;
    settings.autoStrength = command.strength == "auto";
    if (!settings.autoStrength && !ParseDouble(command.strength, settings.strength)) {
        error = "--strength takes auto or a number, not \"" + command.strength + "\".";
        return false;
    }
    settings.iterations = command.iterations;
    settings.taper = !command.noTaper;
    return true;
}

int RunRestore(const CRestoreCommand& command, const CliCommon& common) {
    CTerminalUi ui;
    ui.SetShowProgress(common.progress);
    CUiScope scope(ui);
    CKernelRequest request;
    CRestoreSettings settings;
    std::string error;
    if (!ParseRestoreCommand(command, request, settings, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    if (!ValidateRestoreSettings(settings)) return 1;
    DibHandle dib;
    CSize size;
    if (ReadPictureFile(command.input, dib, size) != 1) return 1;
    if (ConvertTo24Bits(dib) != 1) {
        ShowMessage(command.input + ": the picture could not be converted to 24 bits.");
        return 1;
    }
    CKernel kernel;
    const int made = MakeKernel(request, kernel, ProgressOf(ui));
    if (made != 1) return Finish(made, ui, 0, "Making the kernel");
    CRestoreReport report;
    const int before = ui.MessageCount();
    const int restored = RestorePicture(dib, kernel, settings, ProgressOf(ui), &report);
    if (restored != 1) return Finish(restored, ui, before, "Restoring");
    if (WritePictureFile(command.output, dib) != 1) return 1;
    std::printf("Restored %i x %i by %s with the %s (%s), written to %s\n", size.cx, size.cy,
                settings.method == RestoreMethod::Wiener ? "Wiener" : "Richardson-Lucy",
                DescribeKernel(kernel).c_str(),
                settings.method == RestoreMethod::Lucy
                    ? Format("%i iterations", settings.iterations).c_str()
                    : Format("strength %s%g", settings.autoStrength ? "auto, median " : "",
                             report.medianStrength)
                          .c_str(),
                command.output.c_str());
    return 0;
}
