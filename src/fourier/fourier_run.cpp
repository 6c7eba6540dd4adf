// The Fourier run: transform once, keep the untouched spectrum in the ".ft" file beside the
// picture, and start every modification from that file.

#include "fourier/fourier_run.h"

#include <cstring>
#include <filesystem>

#include "fourier/fourier_kinds.h"
#include "platform/clock.h"
#include "platform/file_open.h"
#include "platform/memory_block.h"
#include "platform/user_interface.h"

namespace {

// The real picture to compute into: a fresh block, so that the caller's real picture
// changes only when a run completes; the caller's block itself when memory is short.
struct CRealTarget {
    CMemoryBlock scratch;
    double* real = nullptr;

    CRealTarget(double* callerReal, size_t bytes)
        : scratch(CMemoryBlock::Allocate(bytes)),
          real(scratch.IsNull() ? callerReal : scratch.As<double>()) {}
    bool IsScratch() const { return !scratch.IsNull(); }
};

// The inverse transform into a target, the real picture given back its values when the
// transform was stopped and the target was the real picture itself. False when stopped.
bool InverseInto(CFourierWork& work, CRealTarget& target, int stage, int stages) {
    if (!work.engine.InverseTransform(target.real, work.spectrum, work.flags,
                                      FourierStageProgress(stage, stages))) {
        if (!target.IsScratch()) work.engine.BytesToReals(work.pixels, work.real);
        return false;
    }
    if (target.IsScratch()) std::memcpy(work.real, target.real, work.realBytes);
    return true;
}

// Whether the file of the kept spectrum still holds the spectrum a run may start from: of
// the engine's size, whole, finite and of the picture the engine knows it for. Read into the
// spectrum block when it does; the reason is kept as the last file error when not.
bool KeptSpectrumHolds(CFourierWork& work) {
    const CFourier& engine = work.engine;
    const bool known = engine.SpectrumPrintKnown();
    const CFourier::PicturePrint print = engine.SpectrumPrint();
    std::error_code error;
    if (known && std::filesystem::exists(work.fourierPath, error) &&
        engine.MatchFourierFile(work.fourierPath, print, {}) != CFourier::FileMatch::Matches) {
        SetLastFileError(work.fourierPath +
                         ": the spectrum kept there is not this picture's (cut short, of "
                         "another size or made from another picture)");
        return false;
    }
    if (engine.ReadFourierFile(work.fourierPath, work.spectrum) != 1) return false;
    // A file of the older layout carries no print: the one known for it stays.
    if (!engine.SpectrumPrintKnown()) engine.SetSpectrumPrint(print, known);
    return true;
}

}  // namespace

CFourier::Progress FourierStageProgress(int stage, int stages) {
    return [stage, stages](double fraction) {
        return Ui().ReportProgress((stage + fraction) / static_cast<double>(stages));
    };
}

bool FourierRun(CFourierWork& work, bool withDialog) {
    FourierSettings& settings = work.settings;
    CFourier& engine = work.engine;
    if (withDialog) {
        FourierSettings shown = settings;
        if (!Ui().FourierOperations(shown)) return false;
        TakeFourierOperationsChoice(settings, shown);
    }

    const int32_t kind = settings.m_nKind;
    const CFourierKindRow* row = FindFourierKind(kind);
    const bool modifies = row && row->apply;
    // A kept spectrum that is no longer the one of this picture (the file was replaced, cut
    // short or made from another picture since) is computed again.
    bool transforms = kind == kKindFourier || !settings.m_bPresent;
    if (!transforms && modifies && !KeptSpectrumHolds(work)) {
        // Computed again from the picture in hand only when it is the one the spectrum was
        // made from, not the result of an earlier modification.
        if (!engine.SpectrumPrintKnown() ||
            !(engine.PrintOf(work.pixels) == engine.SpectrumPrint())) {
            ShowMessage(WithReason("Read CFourier error", LastFileError()));
            return false;
        }
        transforms = true;
    }
    const int stages = (transforms ? 1 : 0) + (modifies ? 1 : 0);

    // Nothing changes until the run has done its work: a cancelled run leaves the picture,
    // the flags and the texts as they were.
    bool fresh = false;
    bool stored = false;
    std::string sourceText;
    if (transforms) {
        const int64_t start = WallClockSeconds();
        if (!engine.Transform(work.pixels, work.spectrum, work.flags,
                              FourierStageProgress(0, stages)))
            return false;
        const int64_t end = WallClockSeconds();
        fresh = true;
        work.spectrumKept = true;
        sourceText = FormatTimeSpan(end - start);
        // A spectrum counts as present only once its file holds it; otherwise the next run
        // transforms again rather than trust whatever the file holds.
        stored = engine.WriteFourierFile(work.fourierPath, work.spectrum) == 1;
        if (!stored)
            ShowMessage("spectrum not kept: " + work.fourierPath + ": " + LastFileError(),
                        MessageIcon::Exclamation);
        if (!modifies) {
            settings.m_bPresent = stored;
            settings.m_strSource = sourceText;
            return true;
        }
    }
    if (!modifies) return true;

    const int64_t start = WallClockSeconds();
    // Every modification starts from the untouched spectrum in the file; the one this run
    // has just computed is that spectrum already. When the file cannot be read, the buffer
    // may hold a spectrum an earlier run modified: that must not be modified again.
    work.spectrumKept = false;

    CRealTarget target(work.real, work.realBytes);
    Complex* spectrum = work.spectrum;
    ApplyFourierKind(engine, spectrum, reinterpret_cast<Complex*>(target.real), settings);
    for (int32_t channel = 0; channel < 3; ++channel)
        engine.Normalise(spectrum, channel, engine.Mean(channel), engine.Deviation(channel));

    if (!InverseInto(work, target, stages - 1, stages)) return false;
    engine.RealsToBytes(work.pixels, work.real);
    const int64_t end = WallClockSeconds();

    if (fresh) {
        settings.m_bPresent = stored;
        settings.m_strSource = sourceText;
    }
    if (std::string* text = FourierKindTimeText(settings, kind))
        *text = FormatTimeSpan(end - start);
    work.modified = true;
    return true;
}

bool ShowFourierFile(CFourierWork& work) {
    CFourier& engine = work.engine;
    const int64_t start = WallClockSeconds();
    if (engine.ReadFourierFile(work.fourierPath, work.spectrum) != 1) {
        ShowMessage(WithReason("Read CFourier error", LastFileError()));
        return false;
    }
    work.spectrumKept = true;
    CRealTarget target(work.real, work.realBytes);
    if (!InverseInto(work, target, 0, 1)) return false;
    engine.MeasureSpectrum(work.spectrum);
    engine.RealsToBytes(work.pixels, work.real);
    engine.MeasurePicture(work.pixels);
    work.settings.m_strTimeAmplify = FormatTimeSpan(WallClockSeconds() - start);
    return true;
}
