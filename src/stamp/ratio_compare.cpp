#include "stamp/ratio_compare.h"

#include <cmath>
#include <filesystem>

#include "image/bmp_file.h"
#include "platform/file_open.h"
#include "platform/user_interface.h"

std::string RatioLine(const char* colour, double ratio, double largest) {
    if (std::isfinite(ratio)) return Format("Ratio %s %#2.3e", colour, ratio);
    // Without any frequency but (0, 0) the ratio is 0 / 0: say so rather than show "nan".
    if (largest == 0.0)
        return Format("Ratio %s undefined: every frequency but (0, 0) is 0", colour);
    return Format("Ratio %s undefined: the spectrum holds values that are not numbers", colour);
}

double LargestSquaredMagnitude(const CFourier& fourier, const Complex* spectrum, int32_t channel) {
    const int32_t planeSize = fourier.PlaneSize();
    const Complex* plane = spectrum + static_cast<ptrdiff_t>(channel) * planeSize;
    const int32_t dc = fourier.HalfHeight() * fourier.Width() + fourier.HalfWidth();
    double largest = 0.0;
    for (int32_t i = 0; i < planeSize; ++i) {
        if (i == dc) continue;
        const double s = plane[i].SquaredMagnitude();
        if (s > largest) largest = s;
    }
    return largest;
}

std::string RatioText(const CFourier& fourier, const Complex* spectrum) {
    static const char* const kColours[3] = {"Blue", "Green", "Red"};
    std::string text;
    for (int32_t channel = 2; channel >= 0; --channel) {
        if (channel != 2) text += '\n';
        text += RatioLine(kColours[channel], fourier.PowerRatio(spectrum, channel),
                          LargestSquaredMagnitude(fourier, spectrum, channel));
    }
    return text;
}

int RatioFrequency(const CFourier& fourier, const std::string& fourierPath, Complex* spectrum,
                   std::string& text) {
    // A kept spectrum of another picture than the one the engine's spectrum belongs to is
    // not this picture's ratio.
    if ((fourier.SpectrumPrintKnown() &&
         fourier.MatchFourierFile(fourierPath, fourier.SpectrumPrint(), {}) !=
             CFourier::FileMatch::Matches) ||
        fourier.ReadFourierFile(fourierPath, spectrum) != 1) {
        // A file that is there names itself and what is wrong with it.
        const char* const notRead = "Read CFourier error, or CFourier not made yet.";
        std::error_code error;
        std::string reason = LastFileError();
        if (reason.rfind(fourierPath, 0) != 0) reason = WithReason(fourierPath, reason);
        ShowMessage(std::filesystem::exists(fourierPath, error) ? WithReason(notRead, reason)
                                                                : std::string(notRead));
        return 0;
    }
    text = RatioText(fourier, spectrum);
    return 1;
}

void CompareWithReference(const CFourier& fourier, const uint8_t* reference, const double* result,
                          uint8_t* picture, double gain) {
    const int32_t width = fourier.Width();
    const int32_t height = fourier.Height();
    const ptrdiff_t stride = fourier.RowStride();
    for (int32_t c = 0; c < 3; ++c) {
        for (int32_t y = 0; y < height; ++y) {
            for (int32_t x = 0; x < width; ++x) {
                const ptrdiff_t k = y * stride + 3 * x + c;
                picture[k] = ByteFromReal((result[k] - reference[k]) * gain + 127.0);
            }
        }
    }
}

int CheckCompareReference(const std::string& path, const DibHandle& reference, CSize size) {
    if (reference.IsNull() || !IsWholePicture(reference)) {
        ShowMessage(path + " does not hold a whole picture to compare with.");
        return 0;
    }
    const PictureDescription d = DescribePicture(reference.Data());
    if (d.bitCount != 24 || d.pixelOffset != kInfoHeaderBytes || !(d.size == size)) {
        ShowMessage(
            Format("%s is %i x %i pixels of %i bits; Compare needs a reference of %i x %i "
                   "pixels of 24 bits, the size of the picture.",
                   path.c_str(), d.size.cx, d.size.cy, d.bitCount, size.cx, size.cy));
        return 0;
    }
    return 1;
}

int CompareResult(const CFourier& fourier, const std::string& referencePath, const double* result,
                  uint8_t* picture) {
    DibHandle reference;
    CSize size;
    if (ReadBmpFile(referencePath, reference, size) != 1 || reference.IsNull() ||
        picture == nullptr) {
        ShowMessage("pDIB or pCompare = NULL");
        return 0;
    }
    // The reference is read at the picture's byte positions: it must have its layout.
    if (CheckCompareReference(referencePath, reference, CSize{fourier.Width(), fourier.Height()}) !=
            1 ||
        RowBytes(fourier.Width() * 24) != fourier.RowStride())
        return 0;
    CompareWithReference(fourier, PicturePixels(reference.Data(), 0), result, picture,
                         kCompareGain);
    return 1;
}
