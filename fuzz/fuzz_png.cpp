// The ".png" reader on any bytes.
#include "fuzz/fuzz_support.h"
#include "image/picture_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CFuzzSetting& setting = FuzzSetting();
    const std::string path = setting.Input(data, size, ".png");
    DibHandle dib;
    CSize size24;
    const int result = ReadPictureFile(path, dib, size24);
    CheckPicture(result, dib, size24);
    return 0;
}
