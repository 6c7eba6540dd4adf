#include "document/stamp_operations.h"

#include <cstring>

#include "document/paths.h"
#include "document/zelvan_doc.h"
#include "platform/memory_block.h"
#include "platform/user_interface.h"
#include "stamp/blur.h"
#include "stamp/deconvolve.h"
#include "stamp/stamp_tools.h"

namespace {

std::string FourierFileOf(const std::string& path) {
    return BaseName(path) + ".ft";
}

std::string StampFileOf(const std::string& path) {
    return BaseName(path) + ".stp";
}

// The Fourier data files of the Good and the Blurred file (and, when asked, the document's
// own) made sure of, in that order. False when one failed with its message; a file that is
// simply missing is reported by the operation that reads it.
bool EnsureExampleFiles(COperationContext& c, bool withInput) {
    CZelvanDoc& doc = c.doc;
    const int32_t w = doc.m_sizeDoc.cx, h = doc.m_sizeDoc.cy;
    if (doc.EnsureFourierFile(doc.m_strGoodFile, w, h, c.spectrum, c.flags) < 0) return false;
    if (doc.EnsureFourierFile(doc.m_strBlurredFile, w, h, c.spectrum, c.flags) < 0) return false;
    return !withInput || doc.EnsureFourierFile(c.fourierPath, w, h, c.spectrum, c.flags) >= 0;
}

}  // namespace

bool BlurOperation(COperationContext& c) {
    const BlurSettings& b = c.doc.m_blur;
    if (b.m_nBlurKind <= 5)
        BlurPicture(c.pixels, c.real, c.engine.Width(), c.engine.Height(), c.engine.RowStride(),
                    CBlurParameters{b.m_nBlurKind, b.m_nBlurSteps, b.m_dBlurAttenuation,
                                    b.m_bBlurWithinSize});
    c.engine.RealsToBytes(c.pixels, c.real);
    c.modified = true;
    return true;
}

bool DeconvolveOperation(COperationContext& c) {
    CZelvanDoc& doc = c.doc;
    if (!EnsureExampleFiles(c, true)) return false;
    if (DeconvolveFromFiles(c.engine, FourierFileOf(doc.m_strGoodFile),
                            FourierFileOf(doc.m_strBlurredFile), FourierFileOf(c.fourierPath),
                            c.spectrum) != 1)
        return false;
    // The real picture changes only when the transform completes; in place when no room for
    // a second one can be had.
    CMemoryBlock scratch = CMemoryBlock::Allocate(c.realBytes);
    double* target = scratch.IsNull() ? c.real : scratch.As<double>();
    if (!c.engine.InverseTransform(target, c.spectrum, c.flags, FourierStageProgress(0, 1))) {
        if (scratch.IsNull()) c.engine.BytesToReals(c.pixels, c.real);
        return false;
    }
    if (!scratch.IsNull()) std::memcpy(c.real, target, c.realBytes);
    c.engine.RealsToBytes(c.pixels, c.real);
    c.engine.MeasurePicture(c.pixels);
    c.modified = true;
    return true;
}

bool MakeStampOperation(COperationContext& c) {
    CZelvanDoc& doc = c.doc;
    if (!EnsureExampleFiles(c, false)) {
        ShowMessage("Failed to make stamp.");
        return false;
    }
    if (MakeStampFromFiles(c.engine, FourierFileOf(doc.m_strGoodFile),
                           FourierFileOf(doc.m_strBlurredFile), StampFileOf(doc.m_strBlurredFile),
                           c.spectrum, c.flags) != 1) {
        ShowMessage("Failed to make stamp.");
        return false;
    }
    return true;
}

bool UseStampOperation(COperationContext& c) {
    const int used = UseStamp(c.engine, c.pixels, c.real, StampFileOf(c.doc.m_strBlurredFile));
    if (used == 0) return false;
    c.engine.MeasurePicture(c.pixels);
    c.modified = true;
    // The picture is convolved either way; a cut that was to be saved and was not leaves the
    // operation incomplete.
    return used == 1;
}

bool ShowStampOperation(COperationContext& c) {
    if (ShowStamp(c.engine, c.real, StampFileOf(c.doc.m_strBlurredFile)) != 1) return false;
    // The stamp's grey picture is shown at once, not only after a later colour step.
    c.engine.RealsToBytes(c.pixels, c.real);
    c.engine.MeasurePicture(c.pixels);
    c.modified = true;
    return true;
}

bool RestoreOperation(COperationContext& c) {
    CZelvanDoc& doc = c.doc;
    const CProgressCaption caption("Restoring ...");
    const int restored = RestoreByRequest(
        doc.m_restore, doc.m_hDIB, [](double fraction) { return Ui().ReportProgress(fraction); },
        doc.m_restoreOutcome);
    if (restored != 1) return false;
    // The picture was restored in place: the real picture, which the colour adjustment
    // starts from, follows it.
    c.engine.BytesToReals(c.pixels, c.real);
    c.modified = true;
    return true;
}
