#include "stamp/restore_files.h"

#include <cstdio>
#include <memory>
#include <new>
#include <vector>

#include "image/picture_file.h"
#include "platform/byte_order.h"
#include "platform/file_open.h"
#include "platform/safe_file.h"
#include "platform/user_interface.h"

namespace {

constexpr int32_t kMaxStampSide = 10000;
constexpr size_t kStampHeaderBytes = 16;

}  // namespace

int ReadKernelFile(const std::string& path, CKernel& kernel, std::optional<CSize> picture) {
    const COpenedFile opened = OpenRegularFile(path);
    if (!opened) {
        ShowMessage(WithReason(path + " Read Stamp File error aa", opened.reason),
                    MessageIcon::Exclamation);
        return 0;
    }
    std::FILE* file = opened.Stream();
    uint8_t header[kStampHeaderBytes];
    const size_t got = std::fread(header, 1, sizeof header, file);
    const int32_t width = got == sizeof header ? LoadLE32s(header) : 0;
    const int32_t height = got == sizeof header ? LoadLE32s(header + 4) : 0;
    if (width < 1 || height < 1 || width > kMaxStampSide || height > kMaxStampSide) {
        ShowMessage(path + ": the kernel file's size is out of range (1 to 10000 values a side).");
        return 0;
    }
    if (picture && (width > picture->cx || height > picture->cy)) {
        ShowMessage(Format("The kernel (%i x %i) is larger than the picture (%i x %i).", width,
                           height, picture->cx, picture->cy));
        return 0;
    }
    const int32_t peakX = LoadLE32s(header + 8), peakY = LoadLE32s(header + 12);
    const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    // The values the header declares must be in the file before room is made for them.
    if (opened.bytes < kStampHeaderBytes + count * 8) {
        ShowMessage(path + ": the kernel file holds fewer values than its header declares.");
        return 0;
    }
    std::vector<uint8_t> bytes;
    std::vector<double> values;
    try {
        bytes.resize(count * 8);
        values.resize(count);
    } catch (const std::bad_alloc&) {
        ShowMessage("Could not allocate memory for the kernel");
        return 0;
    }
    if (std::fread(bytes.data(), 1, bytes.size(), file) != bytes.size()) {
        ShowMessage(path + ": the kernel file holds fewer values than its header declares.");
        return 0;
    }
    if (peakX < 0 || peakX >= width || peakY < 0 || peakY >= height) {
        ShowMessage(path + ": the kernel's peak lies outside its values.");
        return 0;
    }
    for (size_t i = 0; i < count; ++i) values[i] = LoadLEDouble(bytes.data() + 8 * i);
    kernel.width = width;
    kernel.height = height;
    kernel.peakX = peakX;
    kernel.peakY = peakY;
    kernel.values = std::move(values);
    return 1;
}

int WriteKernelFile(const std::string& path, const CKernel& kernel) {
    if (kernel.IsEmpty() || kernel.width > kMaxStampSide || kernel.height > kMaxStampSide) {
        ShowMessage("The kernel is empty.");
        return 0;
    }
    CSafeFileWriter writer;
    if (writer.Open(path) != 0) {
        ShowMessage(path + " Write Stamp File error", MessageIcon::Exclamation);
        return 0;
    }
    uint8_t header[kStampHeaderBytes];
    StoreLE32s(header, kernel.width);
    StoreLE32s(header + 4, kernel.height);
    StoreLE32s(header + 8, kernel.peakX);
    StoreLE32s(header + 12, kernel.peakY);
    bool ok = writer.Write(header, sizeof header);
    uint8_t value[8];
    for (double v : kernel.values) {
        StoreLEDouble(value, v);
        ok = ok && writer.Write(value, sizeof value);
    }
    if (!ok || !writer.Commit()) {
        ShowMessage(path + " Write Stamp File error", MessageIcon::Exclamation);
        return 0;
    }
    return 1;
}

int ReadPlanesFile(const std::string& path, CPlanes& planes) {
    DibHandle dib;
    CSize size;
    if (ReadPictureFile(path, dib, size) != 1) return 0;
    if (ConvertTo24Bits(dib) != 1) {
        ShowMessage(path + ": the picture could not be converted to 24 bits.");
        return 0;
    }
    return PlanesFromPicture(dib, planes);
}
