// The ".stp" reader on any bytes, then the stamp trimmed and shown as the stamp tools do.
#include <cmath>
#include <vector>

#include "fourier/fourier.h"
#include "fuzz/fuzz_support.h"
#include "stamp/rubber_stamp.h"
#include "stamp/stamp_tools.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CFuzzSetting& setting = FuzzSetting();
    const std::string path = setting.Input(data, size, ".stp");
    RubberStamp stamp;
    if (ReadRubberStampFreeSize(path, stamp) != 1) {
        if (!stamp.IsEmpty()) std::abort();
        return 0;
    }
    // The file held every value it declared (what follows them is not read), and the peak
    // lies inside.
    if (size < kStampHeaderBytes + size_t{8} * static_cast<size_t>(stamp.width) * stamp.height)
        std::abort();
    if (stamp.peakX < 0 || stamp.peakX >= stamp.width || stamp.peakY < 0 ||
        stamp.peakY >= stamp.height)
        std::abort();
    CStampRect rect;
    CutStamp(stamp, rect, 1e-6 * std::fabs(stamp.At(stamp.peakX, stamp.peakY)));
    if (rect.left < 0 || rect.right > stamp.width || rect.bottom < 0 || rect.top > stamp.height)
        std::abort();

    // Shown on a small grid: every plane value set, none of them NaN (the reader takes only
    // finite values).
    for (size_t i = 0; i < static_cast<size_t>(stamp.width) * stamp.height; ++i)
        if (!std::isfinite(stamp.Values()[i])) std::abort();
    static CFourier engine;
    static const bool ready = engine.SetUp(8, 4, RowBytes(8 * 24), 4, 8);
    if (!ready) std::abort();
    std::vector<double> real(static_cast<size_t>(RowBytes(8 * 24)) * 4, 0.0);
    // Shown exactly when the stamp is one Use Stamp takes (its sums finite and not 0).
    const bool usable = CheckStampValues(stamp, path) == 1;
    if ((ShowStamp(engine, real.data(), path) == 1) != usable) std::abort();
    if (!usable) return 0;
    for (int32_t y = 0; y < 4; ++y)
        for (int32_t i = 0; i < 24; ++i)
            if (std::isnan(real[static_cast<size_t>(y) * RowBytes(8 * 24) + i])) std::abort();
    return 0;
}
