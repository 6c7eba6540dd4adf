#include "stamp/stamp_tools.h"

#include <algorithm>
#include <cmath>

#include "platform/user_interface.h"
#include "stamp/stamp_convolve.h"
#include "stamp/stamp_dialogs.h"

namespace {

// The largest |value| of column x over rows bottom .. top-1.
double ColumnMaximum(const RubberStamp& stamp, const CStampRect& rect, int32_t x) {
    double most = 0.0;
    for (int32_t y = rect.bottom; y < rect.top; ++y)
        most = std::max(most, std::fabs(stamp.At(x, y)));
    return most;
}

// The largest |value| of row y over columns left .. right-1.
double RowMaximum(const RubberStamp& stamp, const CStampRect& rect, int32_t y) {
    double most = 0.0;
    for (int32_t x = rect.left; x < rect.right; ++x)
        most = std::max(most, std::fabs(stamp.At(x, y)));
    return most;
}

}  // namespace

void CutStamp(const RubberStamp& stamp, CStampRect& rect, double threshold) {
    rect = CStampRect{.left = 0, .top = stamp.height, .right = stamp.width, .bottom = 0};
    if (rect.Width() <= 0 || rect.Height() <= 0) return;
    for (bool moved = true; moved;) {
        moved = false;
        if (ColumnMaximum(stamp, rect, rect.left) < threshold) {
            ++rect.left;
            moved = true;
            if (rect.Width() <= 1) return;
        }
        if (ColumnMaximum(stamp, rect, rect.right - 1) < threshold) {
            --rect.right;
            moved = true;
            if (rect.Width() <= 1) return;
        }
        if (RowMaximum(stamp, rect, rect.bottom) < threshold) {
            ++rect.bottom;
            moved = true;
            if (rect.Height() <= 1) return;
        }
        if (RowMaximum(stamp, rect, rect.top - 1) < threshold) {
            --rect.top;
            moved = true;
            if (rect.Height() <= 1) return;
        }
    }
}

int UseStamp(const CFourier& engine, uint8_t* picture, double* real, const std::string& stampFile) {
    RubberStamp stamp;
    if (ReadRubberStampFreeSize(stampFile, stamp) < 1 || CheckStampValues(stamp, stampFile) != 1) {
        ShowMessage(" UseStamp ReadRubberStamp error ");
        return 0;
    }
    const double peak = std::fabs(stamp.At(stamp.peakX, stamp.peakY));
    CStampRect rect{.left = 0, .top = stamp.height, .right = stamp.width, .bottom = 0};
    const CStampRect start = rect;

    // The one dialog of the program keeps what the person typed between the passes; every
    // use starts again from the default Fraction and the stamp's own peak.
    CStampCutData& dialog = StampCutValues();
    dialog.m_dFraction = 1e-6;
    dialog.m_dPeak = peak;
    dialog.m_nPeakX = stamp.peakX;
    dialog.m_nPeakY = stamp.peakY;
    for (;;) {
        dialog.m_nBottom = rect.bottom;
        dialog.m_nLeft = rect.left;
        dialog.m_nRight = rect.right;
        dialog.m_nTop = rect.top;
        const int result = Ui().StampCutDialog(dialog);
        if (result == kIdOk) {
            CutStamp(stamp, rect, dialog.m_dFraction * peak);
            continue;
        }
        if (result == kIdCancel) return 0;
        break;
    }
    const int32_t px = dialog.m_nPeakX;
    const int32_t py = dialog.m_nPeakY;

    {
        CWaitCursor wait;
        if (!ConvolveWithStamp(picture, real, engine.Width(), engine.Height(), engine.RowStride(),
                               stamp, rect, px, py)) {
            ShowMessage("Not enough memory to use the stamp.", MessageIcon::Exclamation);
            return 0;
        }
        engine.RealsToBytes(picture, real);
    }
    Ui().ShowChangedPicture();  // seen before the question about the stamp

    if (rect == start) return 1;
    // A cut down to nothing is no stamp: no file could hold it.
    if (rect.Width() <= 0 || rect.Height() <= 0) {
        ShowMessage("The cut stamp has no values left; it is not saved.");
        return 1;
    }
    if (Ui().AskYesNo("Save this stamp? ", false) &&
        WriteRubberStampReduced(stampFile, stamp.Values(), stamp.width, stamp.height, rect, px,
                                py) != 1)
        return kStampCutNotSaved;
    return 1;
}

int ShowStamp(const CFourier& engine, double* real, const std::string& stampFile) {
    RubberStamp stamp;
    if (ReadRubberStampFreeSize(stampFile, stamp) < 1 || CheckStampValues(stamp, stampFile) != 1) {
        ShowMessage(" ShowStamp ReadRubberStamp error ");
        return 0;
    }
    // A stamp whose peak is 0 is scaled by its largest magnitude instead, so that it shows
    // as a picture rather than as infinities; a stamp that sums to something is not 0
    // everywhere.
    double reference = std::fabs(stamp.At(stamp.peakX, stamp.peakY));
    if (reference == 0.0) {
        const double* values = stamp.Values();
        const size_t count = static_cast<size_t>(stamp.width) * static_cast<size_t>(stamp.height);
        for (size_t i = 0; i < count; ++i) reference = std::max(reference, std::fabs(values[i]));
    }
    const double scale = 127.0 / reference;
    // A peak so small that the scale overflows is divided by instead.
    const bool divide = !std::isfinite(scale);
    const int32_t width = engine.Width();
    const int32_t height = engine.Height();
    const ptrdiff_t stride = engine.RowStride();
    for (int32_t y = 0; y < height; ++y) {
        double* row = real + y * stride;
        for (int32_t x = 0; x < width; ++x) {
            const double v = x >= stamp.width || y >= stamp.height ? 0.0
                             : divide ? 127.0 * (stamp.At(x, y) / reference) + 128.0
                                      : scale * stamp.At(x, y) + 128.0;
            row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = v;
        }
    }
    return 1;
}
