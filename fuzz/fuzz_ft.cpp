// The ".ft" readers on any bytes: the size check, then the spectrum read into an engine
// set up for the size the header gives, with or without the print of the picture after it.
#include <cmath>
#include <numeric>
#include <vector>

#include "fourier/fourier.h"
#include "fuzz/fuzz_support.h"
#include "platform/file_open.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CFuzzSetting& setting = FuzzSetting();
    const std::string path = setting.Input(data, size, ".ft");
    CSize picture;
    CFourier engine;
    CSize half;
    engine.ReadFourierFileSize(path, half);
    if (CFourier::ReadFourierPictureSize(path, picture) != 1) return 0;
    // The file holds the whole spectrum: the size was checked against its length.
    if (size < 8 + size_t{48} * static_cast<size_t>(picture.cx) * picture.cy) std::abort();
    // The engine is set up with the shortest transform length the projection takes for the
    // size (a multiple of the width, the height and 4), and without the projection (N = 0,
    // the FFT engine alone) for sizes it cannot take: odd sides, or N beyond its tables.
    int64_t length = 0;
    if (picture.cx % 2 == 0 && picture.cy % 2 == 0)
        length = std::lcm(std::lcm(int64_t{picture.cx}, int64_t{picture.cy}), 4);
    if (length > CFourier::kMaxLength) length = 0;
    const int32_t rowBytes = static_cast<int32_t>((int64_t{picture.cx} * 3 + 3) / 4 * 4);
    if (!engine.SetUp(picture.cx, picture.cy, rowBytes, picture.cy, static_cast<int32_t>(length)))
        std::abort();
    std::vector<Complex> spectrum(3 * static_cast<size_t>(picture.cx) * picture.cy);
    if (engine.ReadFourierFile(path, spectrum.data()) != 1) {
        // The only refusal of a file of the right length: entries that are not finite.
        const std::string& reason = LastFileError();
        if (reason != path + ": the spectrum holds values that are not finite") std::abort();
        return 0;
    }
    for (const Complex& value : spectrum)
        if (!std::isfinite(value.re) || !std::isfinite(value.im)) std::abort();
    // A print read with the spectrum is the one the file is matched by.
    if (engine.SpectrumPrintKnown() &&
        engine.MatchFourierFile(path, engine.SpectrumPrint(), {}) != CFourier::FileMatch::Matches)
        std::abort();
    return 0;
}
