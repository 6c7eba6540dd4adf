// The operation driver of the document: every computing command ends here with an
// operation code. The Fourier run transforms the picture once, keeps the untouched
// spectrum in the ".ft" file beside it and starts every modification from that file.

#include <cstring>

#include "document/colour.h"
#include "document/paths.h"
#include "document/zelvan_doc.h"
#include "fourier/fourier_dialogs.h"
#include "image/bmp_file.h"
#include "image/jpeg_file.h"
#include "image/picture_file.h"
#include "platform/clock.h"
#include "platform/file_open.h"
#include "platform/user_interface.h"
#include "stamp/ratio_compare.h"

namespace {

int32_t UpperCase(int32_t code) {
    return code >= 'a' && code <= 'z' ? code - 'a' + 'A' : code;
}

// Progress of one stage of a run that has `stages` of them, as one fraction to the port.
CFourier::Progress StageProgress(int stage, int stages) {
    return [stage, stages](double fraction) {
        return Ui().ReportProgress((stage + fraction) / static_cast<double>(stages));
    };
}

// The real picture to compute into: a fresh block, so that the document's own real picture
// changes only when a run completes; the document's block itself when memory is short.
struct CRealTarget {
    CMemoryBlock scratch;
    double* real = nullptr;

    CRealTarget(double* documentReal, size_t bytes)
        : scratch(CMemoryBlock::Allocate(bytes)),
          real(scratch.IsNull() ? documentReal : scratch.As<double>()) {}
    bool IsScratch() const { return !scratch.IsNull(); }
};

}  // namespace

void CZelvanDoc::RunOperation(int32_t code) {
    code = UpperCase(code);
    if (code == 'A' || code == '-' || code == 'X') m_bLastRunCompleted = false;
    // A run that cannot even start has not completed either.
    if (code == 0 || code == 1 || code == 2) m_bLastRunCompleted = false;
    if (m_nBitCount < 24) {
        ShowNumbers("Number of colors should be true color\n This file has ", m_nBitCount, 0);
        return;
    }
    if (AllocateWorkBuffers(m_sizeDoc.cx, m_sizeDoc.cy) != 1) {
        ShowMessage("no mem for CFourier");
        return;
    }
    // The blocks must hold what the engine is set up for; a document without a picture
    // (or with one the engine was not set up for) does nothing.
    if (m_hDIB.IsNull() || !IsWholePicture(m_hDIB) || m_hSpectrum.IsNull() ||
        m_hRealPicture.IsNull() || m_hFlags.IsNull())
        return;
    const PictureDescription d = DescribePicture(m_hDIB.Data());
    if (d.bitCount != 24 || d.pixelOffset != kInfoHeaderBytes || !(d.size == m_sizeDoc) ||
        m_fourier.Width() != m_sizeDoc.cx || m_fourier.Height() != m_sizeDoc.cy ||
        m_fourier.RowStride() != RowBytes(m_sizeDoc.cx * 24))
        return;

    uint8_t* pixels = PicturePixels(m_hDIB.Data(), 0);
    Complex* spectrum = m_hSpectrum.As<Complex>();
    double* real = m_hRealPicture.As<double>();
    uint8_t* flags = m_hFlags.Data();

    // Codes that do not touch the spectrum keep what the buffer is known to hold.
    if (code != 'P' && code != 'Q' && code != 'X') m_bSpectrumKept = false;

    switch (code) {
        case 0:
        case 2:
            FourierRun(code == 0, pixels, spectrum, real, flags);
            break;
        case 1:
            ShowFourierFile(pixels, spectrum, real, flags);
            break;
        case 'P':
            if (!m_hOriginal.IsNull() && IsWholePicture(m_hOriginal)) {
                const PictureDescription o = DescribePicture(m_hOriginal.Data());
                if (o.bitCount == 24 && o.pixelOffset == kInfoHeaderBytes && o.size == m_sizeDoc) {
                    m_fourier.BytesToReals(PicturePixels(m_hOriginal.Data(), 0), real);
                    m_fourier.RealsToBytes(pixels, real);
                }
            }
            break;
        case 'Q':
            m_fourier.BytesToReals(pixels, real);
            break;
        case '-':
            if (CompareResult(m_fourier, m_strCompareFile, real, pixels) == 1) {
                SetModifiedFlag(true);
                m_bLastRunCompleted = true;
            }
            break;
        case 'A':
            m_strRatioText.clear();
            if (RatioFrequency(m_fourier, m_strFourierPath, spectrum, m_strRatioText) == 1) {
                ShowMessage(m_strRatioText);
                m_bLastRunCompleted = true;
            }
            break;
        case 'X':
            if (ColourOperation(m_fourier, m_hOriginal, real, pixels, m_colorCurrent) == 1) {
                SetModifiedFlag(true);
                m_bLastRunCompleted = true;
            }
            break;
        default:
            // Compare, ratio, blur, deconvolution, stamps and colour come with their tools.
            break;
    }
}

void CZelvanDoc::FourierRun(bool withDialog, uint8_t* pixels, Complex* spectrum, double* real,
                            uint8_t* flags) {
    if (withDialog) {
        FourierSettings shown = m_settings;
        if (!Ui().FourierOperations(shown)) return;
        m_settings.m_nKind = shown.m_nKind;
        m_settings.m_dParamR1 = shown.m_dParamR1;
        m_settings.m_dParamR2 = shown.m_dParamR2;
        m_settings.m_dParamR3 = shown.m_dParamR3;
        m_settings.m_dParamE = shown.m_dParamE;
        m_settings.m_dParamAmplify = shown.m_dParamAmplify;
    }

    const int32_t kind = m_settings.m_nKind;
    const bool modifies = kind >= kKindR1 && kind <= kLastFourierKind;
    const bool transforms = kind == kKindFourier || !m_settings.m_bPresent;
    const int stages = (transforms ? 1 : 0) + (modifies ? 1 : 0);

    // Nothing of the document changes until the run has done its work: a cancelled run
    // leaves the picture, the flags and the texts as they were.
    bool fresh = false;
    bool stored = false;
    std::string sourceText;
    if (transforms) {
        const int64_t start = WallClockSeconds();
        if (!m_fourier.Transform(pixels, spectrum, flags, StageProgress(0, stages))) return;
        const int64_t end = WallClockSeconds();
        fresh = true;
        m_bSpectrumKept = true;
        sourceText = FormatTimeSpan(end - start);
        // A spectrum counts as present only once its file holds it; otherwise the next run
        // transforms again rather than trust whatever the file holds.
        stored = m_fourier.WriteFourierFile(m_strFourierPath, spectrum) == 1;
        if (!modifies) {
            m_settings.m_bPresent = stored;
            m_settings.m_strSource = sourceText;
            m_colorCurrent.m_nResultShare = 100;
            m_bLastRunCompleted = true;
            return;
        }
    }
    if (!modifies) {
        m_colorCurrent.m_nResultShare = 100;
        m_bLastRunCompleted = true;
        return;
    }

    const int64_t start = WallClockSeconds();
    // Every modification starts from the untouched spectrum in the file; the one this run
    // has just computed is that spectrum already. When the file cannot be read, the buffer
    // may hold a spectrum an earlier run modified: that must not be modified again.
    if (!fresh && m_fourier.ReadFourierFile(m_strFourierPath, spectrum) != 1) {
        ShowMessage(WithReason("Read CFourier error", LastFileError()));
        return;
    }
    m_bSpectrumKept = false;

    const size_t realBytes = m_hRealPicture.Size();
    CRealTarget target(real, realBytes);
    const int32_t x = m_settings.m_nFreqX;
    const int32_t y = m_settings.m_nFreqY;
    switch (kind) {
        case kKindOneFrequency:
            m_fourier.SetOneFrequency(spectrum, x, y);
            break;
        case kKindHalfFrequency:
            m_fourier.ScaleFrequencies(spectrum, reinterpret_cast<Complex*>(target.real), 0);
            break;
        case kKindDoubleFrequency:
            m_fourier.ScaleFrequencies(spectrum, reinterpret_cast<Complex*>(target.real), 1);
            break;
        case kKindShiftPicture:
            m_fourier.ShiftPicture(spectrum, -x, -y);
            break;
        case kKindThirdFrequency:
            m_fourier.ScaleFrequencies(spectrum, reinterpret_cast<Complex*>(target.real), 2);
            break;
        case kKindTripleFrequency:
            m_fourier.ScaleFrequencies(spectrum, reinterpret_cast<Complex*>(target.real), 3);
            break;
        default:
            m_fourier.ApplyDistribution(spectrum, FourierKindParameter(m_settings, kind),
                                        CFourier::DistributionOfKind(kind));
            break;
    }
    for (int32_t channel = 0; channel < 3; ++channel)
        m_fourier.Normalise(spectrum, channel, m_fourier.Mean(channel),
                            m_fourier.Deviation(channel));

    if (!m_fourier.InverseTransform(target.real, spectrum, flags,
                                    StageProgress(stages - 1, stages))) {
        // The document's real picture served as scratch: give it back the picture's values.
        if (!target.IsScratch()) m_fourier.BytesToReals(pixels, real);
        return;
    }
    if (target.IsScratch()) std::memcpy(real, target.real, realBytes);
    m_fourier.RealsToBytes(pixels, real);
    const int64_t end = WallClockSeconds();

    if (fresh) {
        m_settings.m_bPresent = stored;
        m_settings.m_strSource = sourceText;
    }
    m_colorCurrent.m_nResultShare = 100;
    if (std::string* text = FourierKindTimeText(m_settings, kind))
        *text = FormatTimeSpan(end - start);
    SetModifiedFlag(true);
    m_bLastRunCompleted = true;
}

void CZelvanDoc::ShowFourierFile(uint8_t* pixels, Complex* spectrum, double* real, uint8_t* flags) {
    const int64_t start = WallClockSeconds();
    if (m_fourier.ReadFourierFile(m_strFourierPath, spectrum) != 1) {
        ShowMessage(WithReason("Read CFourier error", LastFileError()));
        return;
    }
    m_bSpectrumKept = true;
    const size_t realBytes = m_hRealPicture.Size();
    CRealTarget target(real, realBytes);
    if (!m_fourier.InverseTransform(target.real, spectrum, flags, StageProgress(0, 1))) {
        if (!target.IsScratch()) m_fourier.BytesToReals(pixels, real);
        return;
    }
    if (target.IsScratch()) std::memcpy(real, target.real, realBytes);
    m_fourier.MeasureSpectrum(spectrum);
    m_fourier.RealsToBytes(pixels, real);
    m_fourier.MeasurePicture(pixels);
    m_settings.m_strTimeAmplify = FormatTimeSpan(WallClockSeconds() - start);
    m_bLastRunCompleted = true;
}

void CZelvanDoc::OnSetOneFrequency() {
    CNumberData data;
    data.m_nChoice = RememberedNumberChoice();
    data.m_nX = m_settings.m_nFreqX;
    data.m_nY = m_settings.m_nFreqY;
    data.m_nHalfWidth = m_fourier.HalfWidth();
    data.m_nHalfHeight = m_fourier.HalfHeight();
    if (!Ui().NumberDialog(data)) return;
    if (data.m_nChoice < 0 || data.m_nChoice > kLastNumberChoice) return;
    RememberNumberChoice(data.m_nChoice);
    m_settings.m_nFreqX = data.m_nX;
    m_settings.m_nFreqY = data.m_nY;
    m_settings.m_nKind = data.m_nChoice + kKindOneFrequency;
    {
        CWaitCursor wait;
        RunOperation(2);
    }
    UpdateAllViews();
}

int CZelvanDoc::EnsureFourierFile(const std::string& path, int32_t width, int32_t height,
                                  Complex* spectrum, uint8_t* flags) {
    const std::string base = BaseName(path);
    CSize half;
    if (m_fourier.ReadFourierFileSize(base + ".ft", half) == 1) return 1;
    if (MakeFourierFile(base + ".bmp", width, height, spectrum, flags) == 1) return 1;
    return MakeFourierFile(base + ".jpg", width, height, spectrum, flags);
}

int CZelvanDoc::MakeFourierFile(const std::string& file, int32_t width, int32_t height,
                                Complex* spectrum, uint8_t* flags) {
    const int kind = FileKind(file);
    if (kind != kFileBmp && kind != kFileJpg) return 0;
    DibHandle picture;
    CSize size;
    const int read = ReadPictureFile(file, picture, size);
    if (read != 1 || !(size == CSize{width, height})) return 0;
    // The engine is set up for the document's picture; another size would not fit it.
    if (m_fourier.Width() != width || m_fourier.Height() != height) return 0;
    const PictureDescription d = DescribePicture(picture.Data());
    if (d.bitCount != 24) return 0;
    m_bSpectrumKept = false;
    if (!m_fourier.Transform(picture.Data() + d.pixelOffset, spectrum, flags, StageProgress(0, 1)))
        return 0;
    return m_fourier.WriteFourierFile(BaseName(file) + ".ft", spectrum);
}
