#include "image/bmp_file.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <cstring>

#include "platform/byte_order.h"
#include "platform/safe_file.h"
#include "platform/user_interface.h"

namespace {

constexpr int32_t kFileHeaderBytes = 14;
constexpr uint16_t kBmpType = 0x4D42;  // "BM"
constexpr uint32_t kBiRle8 = 1;
constexpr uint32_t kBiRle4 = 2;

bool IsReadableBitCount(int32_t bitCount) {
    return bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 24 || bitCount == 32;
}

// Checks the header, colour table and pixel rows read from a file against the bytes that
// are actually there, before anything is taken from them.
bool HoldsWholePicture(const uint8_t* data, size_t bytes, PictureDescription& d) {
    if (bytes < 4) return false;
    const uint32_t headerBytes = LoadLE32(data);
    // Top-down, 108-byte and 124-byte headers are refused rather than misread.
    if (headerBytes != kInfoHeaderBytes && headerBytes != kCoreHeaderBytes) return false;
    if (bytes < headerBytes) return false;
    d = DescribePicture(data);
    if (d.size.cx <= 0 || d.size.cy <= 0 || d.planes != 1 || !IsReadableBitCount(d.bitCount))
        return false;
    // The 24-bit picture made from it must fit the system's 32-bit sizes.
    if (Picture24Bytes(d.size.cx, d.size.cy) < 0) return false;
    // A clamped (lying) colour count gives a pixel offset beyond any file read.
    if (static_cast<size_t>(d.pixelOffset) > bytes) return false;
    const int64_t rowBytes = RowBytes64(int64_t{d.size.cx} * d.bitCount);
    const int64_t forRows = static_cast<int64_t>(bytes) - d.pixelOffset;
    return d.size.cy <= forRows / rowBytes;
}

// Writes the colour of a table entry; an index beyond the table leaves the pixel black
// (the target block is zero-filled).
inline void PutIndexed(const uint8_t* table, int32_t entryBytes, int32_t colors, uint32_t index,
                       uint8_t* pixel) {
    if (index >= static_cast<uint32_t>(colors)) return;
    const uint8_t* entry = table + static_cast<size_t>(index) * static_cast<size_t>(entryBytes);
    pixel[0] = entry[0];
    pixel[1] = entry[1];
    pixel[2] = entry[2];
}

// Converts a 1, 4, 8 or 32-bit picture into a new 24-bit picture; row order is kept.
CMemoryBlock ConvertTo24(const uint8_t* data, const PictureDescription& d) {
    const int32_t width = d.size.cx;
    const int32_t height = d.size.cy;
    CMemoryBlock block = CMemoryBlock::Allocate(static_cast<size_t>(Picture24Bytes(width, height)));
    if (block.IsNull()) return block;
    InitHeader24(block.Data(), width, height);

    const uint8_t* table = data + d.colorTableOffset;
    const int32_t entryBytes = d.isInfoHeader ? 4 : 3;
    const uint8_t* source = data + d.pixelOffset;
    const size_t sourceRow = static_cast<size_t>(RowBytes64(int64_t{width} * d.bitCount));
    uint8_t* target = block.Data() + kInfoHeaderBytes;
    const size_t targetRow = static_cast<size_t>(RowBytes(width * 24));

    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* in = source + static_cast<size_t>(y) * sourceRow;
        uint8_t* out = target + static_cast<size_t>(y) * targetRow;
        for (int32_t x = 0; x < width; ++x, out += 3) {
            const size_t ux = static_cast<size_t>(x);
            switch (d.bitCount) {
                case 1:  // eight indices a byte, the most significant bit first
                    PutIndexed(table, entryBytes, d.colors, (in[ux / 8] >> (7 - ux % 8)) & 1u, out);
                    break;
                case 4:  // two indices a byte, the high four bits first
                    PutIndexed(table, entryBytes, d.colors,
                               ux % 2 == 0 ? in[ux / 2] >> 4 : in[ux / 2] & 0x0Fu, out);
                    break;
                case 8:
                    PutIndexed(table, entryBytes, d.colors, in[ux], out);
                    break;
                default:  // 32: blue, green, red, and a fourth byte that is dropped
                    std::memcpy(out, in + ux * 4, 3);
                    break;
            }
        }
    }
    return block;
}

}  // namespace

int ReadBmpStream(std::FILE* file, DibHandle& dib, CSize& size) {
    size = {};
    auto refuse = [&dib](int result) {
        dib.Free();
        return result;
    };
    if (fseeko(file, 0, SEEK_END) != 0) return refuse(kBmpStreamFileError);
    const off_t length = ftello(file);
    if (length < 0 || fseeko(file, 0, SEEK_SET) != 0) return refuse(kBmpStreamFileError);

    uint8_t fileHeader[kFileHeaderBytes];
    if (std::fread(fileHeader, 1, sizeof fileHeader, file) != sizeof fileHeader)
        return refuse(std::ferror(file) ? kBmpStreamFileError : kBmpStreamRefused);
    if (LoadLE16(fileHeader) != kBmpType || length > kMaxPictureBlockBytes)
        return refuse(kBmpStreamRefused);

    // The rest of the file goes into the block: info header, colour table and pixels.
    const size_t blockBytes = static_cast<size_t>(length);
    const size_t dataBytes = blockBytes - kFileHeaderBytes;
    if (dib.Size() >= blockBytes) {
        std::memset(dib.Data() + dataBytes, 0, dib.Size() - dataBytes);
    } else {
        dib.Free();
        dib.Block() = CMemoryBlock::Allocate(blockBytes);
        if (dib.IsNull()) return kBmpStreamRefused;
    }
    if (std::fread(dib.Data(), 1, dataBytes, file) != dataBytes)
        return refuse(std::ferror(file) ? kBmpStreamFileError : kBmpStreamRefused);

    PictureDescription d;
    if (!HoldsWholePicture(dib.Data(), dataBytes, d)) return refuse(kBmpStreamRefused);
    if (d.bitCount != 24) {
        CMemoryBlock converted = ConvertTo24(dib.Data(), d);
        if (converted.IsNull()) return refuse(kBmpStreamRefused);
        dib.Block() = std::move(converted);
    }
    // A 24-bit picture is kept exactly as read, its header as stored.
    size = d.size;
    return kBmpStreamDone;
}

int ReadBmpFile(const std::string& path, DibHandle& dib, CSize& size) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    struct stat status {};
    if (file && (fstat(fileno(file), &status) != 0 || !S_ISREG(status.st_mode))) {
        std::fclose(file);  // a folder or device is not a picture file
        file = nullptr;
    }
    if (!file) {
        ShowMessage("Failed to open: " + path);
        return 0;
    }
    const int result = ReadBmpStream(file, dib, size);
    std::fclose(file);
    if (result == kBmpStreamFileError) {
        ShowMessage("Failed to read: " + path);
        return 0;
    }
    if (dib.IsNull()) {
        ShowMessage("Failed to read 2: " + path);
        return 0;
    }
    return 1;
}

int WriteBmpStream(std::FILE* file, DibHandle& dib, int32_t colorTableBytes) {
    if (dib.Size() < 4 || LoadLE32(dib.Data()) != static_cast<uint32_t>(kInfoHeaderBytes))
        return kBmpStreamRefused;
    // From here on a block that does not hold what its header describes cannot be written.
    if (dib.Size() < static_cast<size_t>(kInfoHeaderBytes) || colorTableBytes < 0)
        return kBmpStreamFileError;
    uint8_t* header = dib.Data();
    const uint32_t compression = LoadLE32(header + kBiCompression);
    int64_t imageBytes = 0;
    if (compression == kBiRle8 || compression == kBiRle4) {
        imageBytes = LoadLE32s(header + kBiSizeImage);
    } else {
        const int32_t width = LoadLE32s(header + kBiWidth);
        const int32_t height = LoadLE32s(header + kBiHeight);
        if (width <= 0 || height <= 0) return kBmpStreamFileError;
        imageBytes = RowBytes64(int64_t{LoadLE16(header + kBiBitCount)} * width) * height;
        if (imageBytes > kMaxPictureBlockBytes) return kBmpStreamFileError;
        StoreLE32s(header + kBiSizeImage, static_cast<int32_t>(imageBytes));
    }
    const int64_t infoBytes = int64_t{kInfoHeaderBytes} + colorTableBytes + imageBytes;
    if (imageBytes < 0 || static_cast<uint64_t>(infoBytes) > dib.Size() ||
        kFileHeaderBytes + infoBytes > int64_t{UINT32_MAX})
        return kBmpStreamFileError;

    uint8_t fileHeader[kFileHeaderBytes] = {};
    StoreLE16(fileHeader, kBmpType);
    StoreLE32(fileHeader + 2, static_cast<uint32_t>(kFileHeaderBytes + infoBytes));
    StoreLE32(fileHeader + 10,
              static_cast<uint32_t>(kFileHeaderBytes + kInfoHeaderBytes + colorTableBytes));
    const size_t bytes = static_cast<size_t>(infoBytes);
    if (std::fwrite(fileHeader, 1, sizeof fileHeader, file) != sizeof fileHeader ||
        std::fwrite(header, 1, bytes, file) != bytes || std::fflush(file) != 0 || std::ferror(file))
        return kBmpStreamFileError;
    return kBmpStreamDone;
}

int WriteBmpFile(const std::string& path, DibHandle& dib, int32_t colorTableBytes) {
    if (dib.IsNull()) {
        ShowMessage(path + " no bitmap connected to it.");
        return 0;
    }
    // Written beside the target and renamed over it at the end: a failed write leaves the
    // file that was there.
    CSafeFileWriter writer;
    const int error = writer.Open(path);
    if (error != 0) {
        ShowMessage(path + " failed to open 1a " + Format("File error %i", error));
        return 0;
    }
    const int result = WriteBmpStream(writer.Stream(), dib, colorTableBytes);
    if (result == kBmpStreamRefused) return 0;  // a header other than 40 bytes: nothing written
    if (result != kBmpStreamDone || !writer.Commit()) {
        ShowMessage(path + " failed to process.");
        return 0;
    }
    return 1;
}
