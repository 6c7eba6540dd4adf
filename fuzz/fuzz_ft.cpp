// The ".ft" readers on any bytes: the size check, then the spectrum read into an engine
// set up for the size the header gives.
#include <vector>

#include "fourier/fourier.h"
#include "fuzz/fuzz_support.h"

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
    if (picture.cx % 2 != 0 || picture.cy % 2 != 0) std::abort();
    // Only sizes the engine accepts can be set up; the others end here.
    const int32_t rowBytes = RowBytes(picture.cx * 24);
    if (!engine.SetUp(picture.cx, picture.cy, rowBytes, picture.cy, 0)) return 0;
    std::vector<Complex> spectrum(3 * static_cast<size_t>(picture.cx) * picture.cy);
    if (engine.ReadFourierFile(path, spectrum.data()) != 1) std::abort();
    return 0;
}
