// The operation driver of the document: every computing command ends here with an
// operation code. The driver checks the document and its work buffers, then runs the row
// of the operation table that the code names, with the document's blocks as its context.

#include <filesystem>

#include "document/operation_table.h"
#include "document/paths.h"
#include "document/zelvan_doc.h"
#include "fourier/fourier_dialogs.h"
#include "fourier/fourier_run.h"
#include "image/picture_file.h"
#include "platform/file_open.h"
#include "platform/user_interface.h"

void CZelvanDoc::RunOperation(int32_t code) {
    const COperationRow* row = FindOperation(code);
    if (row && row->reportsCompletion) m_bLastRunCompleted = false;
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

    // Codes that do not touch the spectrum keep what the buffer is known to hold.
    if (!row || !row->keepsSpectrum) m_bSpectrumKept = false;
    if (!row) return;

    COperationContext context{
        {m_fourier, m_settings, m_strFourierPath, PicturePixels(m_hDIB.Data(), 0),
         m_hSpectrum.As<Complex>(), m_hRealPicture.As<double>(), m_hRealPicture.Size(),
         m_hFlags.Data(), m_bSpectrumKept, false},
        *this};
    const bool done = row->run(context);
    m_bSpectrumKept = context.spectrumKept;
    if (context.modified) SetModifiedFlag(true);
    if (done && row->reportsCompletion) m_bLastRunCompleted = true;
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
    for (const char* extension : {".bmp", ".jpg", ".png"}) {
        std::error_code error;
        if (!std::filesystem::is_regular_file(base + extension, error)) continue;
        const bool known = m_fourier.SpectrumPrintKnown();
        const CFourier::PicturePrint print = m_fourier.SpectrumPrint();
        const int made = MakeFourierFile(base + extension, width, height, spectrum, flags);
        m_fourier.SetSpectrumPrint(print, known);
        return made;
    }
    CSize half;
    return m_fourier.ReadFourierFileSize(base + ".ft", half) == 1 ? 1 : 0;
}

int CZelvanDoc::MakeFourierFile(const std::string& file, int32_t width, int32_t height,
                                Complex* spectrum, uint8_t* flags) {
    DibHandle picture;
    CSize size;
    if (ReadPictureFile(file, picture, size) != 1) return -1;
    if (!(size == CSize{width, height})) {
        ShowMessage(
            Format("%s is %i x %i; the picture is %i x %i: an example must be of the "
                   "picture's size.",
                   file.c_str(), size.cx, size.cy, width, height));
        return -1;
    }
    // The engine is set up for the document's picture; another size would not fit it.
    if (m_fourier.Width() != width || m_fourier.Height() != height) return -1;
    if (::ConvertTo24Bits(picture) != 1) {
        ShowMessage(file + ": the picture could not be made 24-bit.");
        return -1;
    }
    const PictureDescription d = DescribePicture(picture.Data());
    const uint8_t* pixels = picture.Data() + d.pixelOffset;
    const std::string target = BaseName(file) + ".ft";
    if (m_fourier.MatchFourierFile(target, m_fourier.PrintOf(pixels), file) ==
        CFourier::FileMatch::Matches)
        return 1;
    m_bSpectrumKept = false;
    if (!m_fourier.Transform(pixels, spectrum, flags, FourierStageProgress(0, 1))) return -1;
    if (m_fourier.WriteFourierFile(target, spectrum) == 1) return 1;
    ShowMessage("spectrum not kept: " + target + ": " + LastFileError(), MessageIcon::Exclamation);
    return -1;
}
