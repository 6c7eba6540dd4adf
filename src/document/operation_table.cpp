// The operations of the driver, one row per code.

#include "document/operation_table.h"

#include "document/colour.h"
#include "document/stamp_operations.h"
#include "document/zelvan_doc.h"
#include "image/dib.h"
#include "platform/user_interface.h"
#include "stamp/ratio_compare.h"

namespace {

// A Fourier run or display that completes gives the picture wholly to the Result.
bool ResultShown(COperationContext& c, bool done) {
    if (done) c.doc.m_colorCurrent.m_nResultShare = 100;
    return done;
}

// 0: the Fourier Operations dialog, then the run it chose.
bool FourierWithDialog(COperationContext& c) {
    return ResultShown(c, FourierRun(c, true));
}

// 2: the run the settings hold (Set One Frequency, the queue).
bool FourierOfSettings(COperationContext& c) {
    return ResultShown(c, FourierRun(c, false));
}

// 1: the spectrum of the ".ft" file back into the picture.
bool FourierFileShown(COperationContext& c) {
    return ShowFourierFile(c);
}

// 'P': the picture becomes the original again, when there is one of the picture's kind.
bool RestoreOriginal(COperationContext& c) {
    const DibHandle& original = c.doc.m_hOriginal;
    if (original.IsNull() || !IsWholePicture(original)) return false;
    const PictureDescription o = DescribePicture(original.Data());
    if (o.bitCount != 24 || o.pixelOffset != kInfoHeaderBytes || !(o.size == c.doc.m_sizeDoc))
        return false;
    c.engine.BytesToReals(PicturePixels(original.Data(), 0), c.real);
    c.engine.RealsToBytes(c.pixels, c.real);
    return true;
}

// 'Q': the real picture takes the picture's values.
bool RealFromPicture(COperationContext& c) {
    c.engine.BytesToReals(c.pixels, c.real);
    return true;
}

// '-': Compare Result.
bool Compare(COperationContext& c) {
    c.modified = CompareResult(c.engine, c.doc.m_strCompareFile, c.real, c.pixels) == 1;
    return c.modified;
}

// 'A': Ratio Frequency, its text shown and kept.
bool Ratio(COperationContext& c) {
    std::string& text = c.doc.m_strRatioText;
    text.clear();
    if (RatioFrequency(c.engine, c.fourierPath, c.spectrum, text) != 1) return false;
    ShowMessage(text);
    return true;
}

// 'X': the colour adjustment of the Result, blended with the Original.
bool Colour(COperationContext& c) {
    c.modified =
        ColourOperation(c.engine, c.doc.m_hOriginal, c.real, c.pixels, c.doc.m_colorCurrent) == 1;
    return c.modified;
}

// Unnamed facts are false: the spectrum is no longer known, completion is not reported.
constexpr COperationRow kOperations[] = {
    {.code = 0, .reportsCompletion = true, .run = &FourierWithDialog},
    {.code = 1, .reportsCompletion = true, .run = &FourierFileShown},
    {.code = 2, .reportsCompletion = true, .run = &FourierOfSettings},
    {.code = 'P', .keepsSpectrum = true, .run = &RestoreOriginal},
    {.code = 'Q', .keepsSpectrum = true, .run = &RealFromPicture},
    {.code = '-', .reportsCompletion = true, .run = &Compare},
    {.code = 'A', .reportsCompletion = true, .run = &Ratio},
    {.code = 'X', .keepsSpectrum = true, .reportsCompletion = true, .run = &Colour},
    {.code = 'B', .keepsSpectrum = true, .reportsCompletion = true, .run = &BlurOperation},
    {.code = 'D', .reportsCompletion = true, .run = &DeconvolveOperation},
    {.code = 'S', .reportsCompletion = true, .run = &MakeStampOperation},
    {.code = 'U', .keepsSpectrum = true, .reportsCompletion = true, .run = &UseStampOperation},
    {.code = 'W', .keepsSpectrum = true, .reportsCompletion = true, .run = &ShowStampOperation},
    {.code = 'R', .keepsSpectrum = true, .reportsCompletion = true, .run = &RestoreOperation},
};

int32_t UpperCase(int32_t code) {
    return code >= 'a' && code <= 'z' ? code - 'a' + 'A' : code;
}

}  // namespace

const COperationRow* FindOperation(int32_t code) {
    code = UpperCase(code);
    for (const COperationRow& row : kOperations)
        if (row.code == code) return &row;
    return nullptr;
}
