#include "cli/commands.h"

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <vector>

#include "cli/number_options.h"
#include "cli/output_checks.h"
#include "cli/terminal_ui.h"
#include "document/paths.h"
#include "document/zelvan_doc.h"
#include "fourier/fourier.h"
#include "fourier/fourier_dialogs.h"
#include "fourier/fourier_kinds.h"
#include "fourier/fourier_settings.h"
#include "fourier/size_fit.h"
#include "image/bmp_file.h"
#include "image/dib.h"
#include "image/jpeg_file.h"
#include "image/picture_file.h"
#include "platform/clock.h"
#include "platform/file_open.h"
#include "platform/memory_block.h"

namespace {

int Fail() {
    return 1;
}

// Reads a picture file into a 24-bit picture; the readers show their messages.
bool ReadPicture(const std::string& path, DibHandle& dib, CSize& size) {
    return ReadPictureFile(path, dib, size) == 1;
}

int WritePictureByKind(const std::string& path, DibHandle& dib) {
    return WritePictureFile(path, dib);
}

// Writes by the kind of the path. Some refusals of the writers are silent (a picture
// kept with a core header, say); the command line never fails without a word.
bool WritePicture(const std::string& path, DibHandle& dib, const CTerminalUi& ui) {
    const int before = ui.MessageCount();
    if (WritePictureByKind(path, dib) == 1) return true;
    if (ui.MessageCount() == before) ShowMessage(path + " was not written.");
    return false;
}

uintmax_t FileBytes(const std::string& path) {
    std::error_code error;
    const uintmax_t bytes = std::filesystem::file_size(path, error);
    return error ? 0 : bytes;
}

void PrintElapsed(const char* what, const CFourier& fourier, int64_t startSeconds,
                  const CStopwatch& watch) {
    std::printf("%s (%s): %s (%.3f s)\n", what, EngineName(fourier).c_str(),
                FormatTimeSpan(WallClockSeconds() - startSeconds).c_str(), watch.Seconds());
}

std::function<bool(double)> ProgressTo(CUserInterface& ui) {
    return [&ui](double fraction) { return ui.ReportProgress(fraction); };
}

}  // namespace

std::string EngineName(const CFourier& fourier) {
    return fourier.EngineDescription();
}

std::string WorkingSizeText(const CFourier& fourier) {
    std::string text = Format("%i x %i", fourier.Width(), fourier.Height());
    if (fourier.ActiveEngine() == FourierEngine::Projection)
        text += Format(", N = %i", fourier.Length());
    return text + " (" + EngineName(fourier) + ")";
}

std::optional<CSize> ParseSize(const std::string& text) {
    const auto pair = ParseWholePair(text, 'x');
    if (!pair || pair->first <= 0 || pair->second <= 0) return std::nullopt;
    return CSize{pair->first, pair->second};
}

int RunSizes(int32_t width, int32_t height) {
    CTerminalUi ui;
    CUiScope scope(ui);
    CSize chosen;
    const int32_t n = FitSize(width, height, chosen);
    for (const CSize& entry : SizeList()) std::printf("%s\n", SizeListLine(entry).c_str());
    if (n == 0) {
        ShowMessage(Format("No working size fits a %i x %i picture.", width, height));
        return Fail();
    }
    std::printf("Chosen: %i x %i, N = %i\n", chosen.cx, chosen.cy, n);
    return 0;
}

int RunTransform(const std::string& input, const std::string& output, std::optional<CSize> size,
                 const CliCommon& common) {
    CTerminalUi ui;
    ui.SetPreferredSize(size);
    ui.SetShowProgress(common.progress);
    CUiScope scope(ui);
    if (!CheckOutput(output, OutputKind::Spectrum, {input})) return Fail();

    DibHandle dib;
    CSize pictureSize;
    if (!ReadPicture(input, dib, pictureSize)) return Fail();
    std::printf("Picture: %i x %i\n", pictureSize.cx, pictureSize.cy);

    CSize chosen;
    int32_t n = 0;
    if (!ChooseWorkingSize(pictureSize.cx, pictureSize.cy, false, chosen, n)) {
        ShowMessage(
            Format("No working size fits a %i x %i picture.", pictureSize.cx, pictureSize.cy));
        return Fail();
    }
    if (size && (ui.PreferredSizeRefused() || !(chosen == *size))) {
        std::string offered;
        for (const CSize& entry : SizeList()) offered += Format(" %ix%i", entry.cx, entry.cy);
        ShowMessage(Format("%ix%i is not among the sizes available:", size->cx, size->cy) +
                    offered);
        return Fail();
    }
    if (!(chosen == pictureSize) ? CutPicture(dib, chosen.cx, chosen.cy) != 1
                                 : ConvertTo24Bits(dib) != 1) {
        ShowMessage("No mem allocated");
        return Fail();
    }
    const int32_t width = chosen.cx;
    const int32_t height = chosen.cy;
    const int32_t rowBytes = RowBytes(width * 24);

    CFourier fourier;
    fourier.SetUp(width, height, rowBytes, height, n);
    std::printf("Working size: %s\n", WorkingSizeText(fourier).c_str());
    const uint8_t* pixels = PicturePixels(dib.Data(), 0);
    fourier.MeasurePicture(pixels);

    const size_t planeSize = static_cast<size_t>(width) * static_cast<size_t>(height);
    CMemoryBlock spectrum = CMemoryBlock::Allocate(planeSize * 3 * sizeof(Complex));
    CMemoryBlock flags = CMemoryBlock::Allocate(planeSize);
    if (spectrum.IsNull() || flags.IsNull()) {
        ShowMessage("Could not allocate memory for CFourier");
        return Fail();
    }

    const int64_t start = WallClockSeconds();
    const CStopwatch watch;
    if (!fourier.Transform(pixels, spectrum.As<Complex>(), flags.Data(), ProgressTo(ui))) {
        ShowMessage("Transform cancelled.");
        return Fail();
    }
    PrintElapsed("Forward transform", fourier, start, watch);

    if (fourier.WriteFourierFile(output, spectrum.As<Complex>()) != 1) {
        ShowMessage(WithReason(output + " failed to process.", output + ": " + LastFileError()),
                    MessageIcon::Exclamation);
        return Fail();
    }
    std::printf("Spectrum written: %s (%ju bytes)\n", output.c_str(), FileBytes(output));
    return 0;
}

int RunInverse(const std::string& input, const std::string& output, const CliCommon& common) {
    CTerminalUi ui;
    ui.SetShowProgress(common.progress);
    CUiScope scope(ui);
    if (!CheckOutput(output, OutputKind::Picture)) return Fail();

    CFourier fourier;
    CSize size;
    if (CFourier::ReadFourierPictureSize(input, size) != 1) return Fail();
    const int32_t width = size.cx;
    const int32_t height = size.cy;
    // A size the projection cannot take is the FFT engine's.
    const int32_t n = TransformLength(width, height);

    DibHandle dib;
    if (NewGreyPicture(width, height, dib) != 1) {
        ShowMessage("No mem allocated");
        return Fail();
    }
    const int32_t rowBytes = RowBytes(width * 24);
    fourier.SetUp(width, height, rowBytes, height, n);
    std::printf("Spectrum: %s\n", WorkingSizeText(fourier).c_str());

    const size_t planeSize = static_cast<size_t>(width) * static_cast<size_t>(height);
    CMemoryBlock spectrum = CMemoryBlock::Allocate(planeSize * 3 * sizeof(Complex));
    CMemoryBlock reals =
        CMemoryBlock::Allocate(static_cast<size_t>(rowBytes) * height * sizeof(double));
    CMemoryBlock flags = CMemoryBlock::Allocate(planeSize);
    if (spectrum.IsNull() || reals.IsNull() || flags.IsNull()) {
        ShowMessage("Could not allocate memory for CFourier");
        return Fail();
    }
    if (fourier.ReadFourierFile(input, spectrum.As<Complex>()) != 1) {
        ShowMessage(WithReason("Read CFourier error", LastFileError()));
        return Fail();
    }

    const int64_t start = WallClockSeconds();
    const CStopwatch watch;
    if (!fourier.InverseTransform(reals.As<double>(), spectrum.As<Complex>(), flags.Data(),
                                  ProgressTo(ui))) {
        ShowMessage("Transform cancelled.");
        return Fail();
    }
    fourier.RealsToBytes(PicturePixels(dib.Data(), 0), reals.As<double>());
    PrintElapsed("Inverse transform", fourier, start, watch);

    if (!WritePicture(output, dib, ui)) return Fail();
    std::printf("Picture written: %s (%ju bytes)\n", output.c_str(), FileBytes(output));
    return 0;
}

int RunConvert(const std::string& input, const std::string& output) {
    CTerminalUi ui;
    CUiScope scope(ui);
    if (!CheckOutput(output, OutputKind::Picture)) return Fail();
    DibHandle dib;
    CSize size;
    if (!ReadPicture(input, dib, size)) return Fail();
    if (!WritePicture(output, dib, ui)) return Fail();
    std::printf("Picture: %i x %i written to %s\n", size.cx, size.cy, output.c_str());
    return 0;
}

// ---------------------------------------------------------------------------------------
// The document's road: open, run, save

namespace {

// The working sizes offered for the picture, for a refused --size.
std::string OfferedSizes() {
    std::string offered;
    for (const CSize& entry : SizeList()) offered += Format(" %ix%i", entry.cx, entry.cy);
    return offered;
}

}  // namespace

bool OpenDocument(CZelvanDoc& doc, const std::string& input, std::optional<CSize> size,
                  const CTerminalUi& ui) {
    SetApplicationCommandLine(input);
    const int before = ui.MessageCount();
    const bool opened = doc.OnOpenDocument(input);
    if (!opened) {
        if (ui.MessageCount() == before)
            ShowMessage(input +
                        " is not a file this program opens (.bmp, .jpg, .png, .ft or .stp).");
        return false;
    }
    if (doc.m_hDIB.IsNull()) {
        if (ui.MessageCount() == before)
            ShowMessage(Format("No working size fits a %i x %i picture.", doc.m_sizeDoc.cx,
                               doc.m_sizeDoc.cy));
        return false;
    }
    if (size && (ui.PreferredSizeRefused() || !(doc.m_sizeDoc == *size))) {
        ShowMessage(Format("%ix%i is not among the sizes available:", size->cx, size->cy) +
                    OfferedSizes());
        return false;
    }
    // A ".ft" or ".stp" file shows its picture through the driver, which may fail.
    const int kind = FileKind(input);
    if ((kind == kFileFourier || kind == kFileStamp) && !doc.LastRunCompleted()) return false;
    std::printf("Opened: %s, %s\n", input.c_str(), WorkingSizeText(doc.m_fourier).c_str());
    return true;
}

void PrintElapsedTimes(const FourierSettings& settings) {
    for (const CFourierKindRow& row : FourierKindRows()) {
        const std::string& text = FourierOpsTimeText(settings, row.kind);
        if (!text.empty() && text != " ")
            std::printf("Time elapsed, %s: %s\n", row.caption, text.c_str());
    }
}

// Saves as the desktop's Save As does; the writers show their messages.
bool SaveDocument(CZelvanDoc& doc, const std::string& output, const CTerminalUi& ui) {
    const int before = ui.MessageCount();
    const bool present = doc.m_settings.m_bPresent;
    const std::string spectrum = doc.m_strFourierPath;
    if (doc.DoSave(output, true) != 1) {
        if (ui.MessageCount() == before) ShowMessage(output + " was not written.");
        return false;
    }
    std::printf("Saved: %s\n", output.c_str());
    // The spectrum moved with the picture, or stayed where it was.
    if (present)
        std::printf("Spectrum: %s\n",
                    (doc.m_settings.m_bPresent ? doc.m_strFourierPath : spectrum).c_str());
    return true;
}

std::string Absolute(const std::string& path) {
    if (path.empty()) return path;
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.string();
}

void SetUpTerminal(CTerminalUi& ui, std::optional<CSize> size, const CliCommon& common) {
    ui.SetPreferredSize(size);
    ui.SetAnswer(common.answer);
    ui.SetShowProgress(common.progress);
}

std::optional<int32_t> ParseFourierKind(const std::string& text) {
    return FourierKindByName(text);
}
