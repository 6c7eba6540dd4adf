#include "cli/output_checks.h"

#include <filesystem>
#include <system_error>

#include "document/paths.h"
#include "image/picture_file.h"
#include "platform/file_open.h"
#include "platform/safe_file.h"
#include "platform/user_interface.h"

namespace fs = std::filesystem;

namespace {

// The name's refusal for the kind; empty when the name is of the kind.
std::string KindRefusal(const std::string& output, OutputKind kind) {
    const bool picture = PictureKindOf(output) != PictureKind::Unknown;
    const bool spectrum = FileKind(output) == kFileFourier;
    switch (kind) {
        case OutputKind::Picture:
            if (picture) return {};
            return output + " is not a picture this program writes (.bmp, .jpg or .png).";
        case OutputKind::Document:
            if (picture || spectrum) return {};
            return output + " is not a file Save As writes (.bmp, .jpg, .png or .ft).";
        case OutputKind::Spectrum:
            if (spectrum) return {};
            return output + " is not a Fourier data file name: the spectrum is written as .ft.";
        case OutputKind::Stamp:
            if (FileKind(output) == kFileStamp) return {};
            return output + " is not a stamp file name: the kernel is written as .stp.";
    }
    return {};
}

// What the writer of the kind says when it cannot create its file.
std::string WriteFailureText(const std::string& output, OutputKind kind) {
    switch (kind) {
        case OutputKind::Stamp:
            return output + " Write Stamp File error";
        case OutputKind::Spectrum:
            return "Write CFourier error: " + output;
        default:
            return output + " cannot be written";
    }
}

}  // namespace

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code error;
    if (fs::exists(a, error) && fs::exists(b, error)) {
        const bool same = fs::equivalent(a, b, error);
        return same && !error;
    }
    const fs::path first = fs::weakly_canonical(fs::absolute(a, error), error);
    const fs::path second = fs::weakly_canonical(fs::absolute(b, error), error);
    return first == second;
}

bool CheckOutput(const std::string& output, OutputKind kind,
                 const std::vector<std::string>& inputs) {
    for (const std::string& input : inputs) {
        if (!input.empty() && SameFile(output, input)) {
            ShowMessage(output +
                        " is also an input of this command: the output must be "
                        "another file.");
            return false;
        }
    }
    if (const std::string refusal = KindRefusal(output, kind); !refusal.empty()) {
        ShowMessage(refusal);
        return false;
    }
    // The writer's own first step, undone at once: it tells whether a file can be made
    // there, and why not, before any work is done.
    CSafeFileWriter probe;
    if (probe.Open(output) != 0) {
        ShowMessage(WithReason(WriteFailureText(output, kind), probe.ErrorReason()),
                    MessageIcon::Exclamation);
        return false;
    }
    probe.Abort();
    return true;
}
