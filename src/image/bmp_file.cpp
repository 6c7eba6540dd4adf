#include "image/bmp_file.h"

#include <sys/types.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iterator>

#include "platform/byte_order.h"
#include "platform/file_open.h"
#include "platform/safe_file.h"
#include "platform/user_interface.h"

namespace {

constexpr int32_t kFileHeaderBytes = 14;
constexpr uint16_t kBmpType = 0x4D42;  // "BM"
constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiRle8 = 1;
constexpr uint32_t kBiRle4 = 2;
constexpr uint32_t kBiBitFields = 3;
constexpr uint32_t kLargestInfoHeader = 124;  // BITMAPV5HEADER

bool IsReadableBitCount(int64_t bitCount) {
    return bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 24 || bitCount == 32;
}

// Info headers read: the core header, BITMAPINFOHEADER, its two extensions with masks
// (52 and 56 bytes), BITMAPV4HEADER and BITMAPV5HEADER.
bool IsReadableHeaderSize(uint32_t bytes) {
    return bytes == 12 || bytes == 40 || bytes == 52 || bytes == 56 || bytes == 108 || bytes == 124;
}

// What the file header and info header of a ".bmp" file say, positions from the file start.
struct CBmpLayout {
    uint32_t headerBytes = 0;
    int64_t width = 0;
    int64_t height = 0;  // always positive; topDown tells the row order
    bool topDown = false;
    int64_t bitCount = 0;
    uint32_t compression = 0;
    uint32_t masks[3] = {0x00FF0000u, 0x0000FF00u, 0x000000FFu};
    int64_t tableStart = 0;
    int32_t entryBytes = 4;
    int64_t colorsUsed = 0;  // as the header says
    int64_t colors = 0;      // entries present in the file and usable as indices
    int64_t pixelStart = 0;
    int64_t imageBytes = 0;
};

// Reads exactly count bytes; the result tells a short file from a failing stream.
int ReadExactly(std::FILE* file, uint8_t* bytes, size_t count) {
    if (std::fread(bytes, 1, count, file) == count) return kBmpStreamDone;
    return std::ferror(file) ? kBmpStreamFileError : kBmpStreamRefused;
}

// Checks the headers against each other and against the file length, before anything is
// allocated: the pixel rows and every colour table entry taken must lie inside the file.
int ReadLayout(std::FILE* file, int64_t length, const uint8_t (&fileHeader)[kFileHeaderBytes],
               CBmpLayout& layout) {
    uint8_t header[kLargestInfoHeader] = {};
    if (int r = ReadExactly(file, header, 4); r != kBmpStreamDone) return r;
    layout.headerBytes = LoadLE32(header);
    if (!IsReadableHeaderSize(layout.headerBytes)) return kBmpStreamRefused;
    if (int r = ReadExactly(file, header + 4, layout.headerBytes - 4); r != kBmpStreamDone)
        return r;

    int64_t colorsUsed = 0;
    int64_t planes = 0;
    if (layout.headerBytes == kCoreHeaderBytes) {
        layout.width = LoadLE16(header + kBcWidth);
        layout.height = LoadLE16(header + kBcHeight);
        planes = LoadLE16(header + kBcPlanes);
        layout.bitCount = LoadLE16(header + kBcBitCount);
        layout.entryBytes = 3;
    } else {
        layout.width = LoadLE32s(header + kBiWidth);
        layout.height = LoadLE32s(header + kBiHeight);
        planes = LoadLE16(header + kBiPlanes);
        layout.bitCount = LoadLE16(header + kBiBitCount);
        layout.compression = LoadLE32(header + kBiCompression);
        colorsUsed = LoadLE32(header + kBiClrUsed);
        layout.colorsUsed = colorsUsed;
        if (layout.height < 0) {  // rows stored from the top of the image down
            layout.topDown = true;
            layout.height = -layout.height;
        }
    }
    if (planes != 1 || !IsReadableBitCount(layout.bitCount)) return kBmpStreamRefused;
    // Run-length, JPEG and PNG data inside are not decoded; bit fields only for 32 bits.
    if (layout.compression != kBiRgb &&
        !(layout.compression == kBiBitFields && layout.bitCount == 32))
        return kBmpStreamRefused;
    if (!IsReadablePictureSize(layout.width, layout.height)) return kBmpStreamRefused;

    layout.tableStart = kFileHeaderBytes + int64_t{layout.headerBytes};
    if (layout.compression == kBiBitFields) {
        uint8_t masks[12];
        const uint8_t* at = header + 40;  // inside the larger headers
        if (layout.headerBytes == 40) {   // right after the 40-byte one
            if (int r = ReadExactly(file, masks, sizeof masks); r != kBmpStreamDone) return r;
            at = masks;
            layout.tableStart += 12;
        }
        for (int i = 0; i < 3; ++i) layout.masks[i] = LoadLE32(at + 4 * i);
        if (!AreUsableMasks(layout.masks)) return kBmpStreamRefused;
    }

    int64_t colors = colorsUsed;
    if (colors == 0 && layout.bitCount <= 8) colors = int64_t{1} << layout.bitCount;
    const int64_t rowBytes = RowBytes64(layout.width * layout.bitCount);
    layout.imageBytes = rowBytes * layout.height;  // both checked: no overflow
    if (layout.imageBytes > length) return kBmpStreamRefused;

    // The file header's pixel offset is taken when it lies behind the headers and leaves
    // room for every row; the colour table is then what fits before it. Otherwise the
    // pixels follow the whole colour table.
    const int64_t offset = LoadLE32(fileHeader + 10);
    const int64_t derived = layout.tableStart + colors * layout.entryBytes;
    if (offset >= layout.tableStart && offset <= length - layout.imageBytes) {
        layout.pixelStart = offset;
        layout.colors = std::min(colors, (offset - layout.tableStart) / layout.entryBytes);
    } else if (derived <= length - layout.imageBytes) {
        layout.pixelStart = derived;
        layout.colors = colors;
    } else {
        return kBmpStreamRefused;
    }
    if (layout.bitCount <= 8)
        layout.colors = std::min(layout.colors, int64_t{1} << layout.bitCount);
    return kBmpStreamDone;
}

// The program's own files and plain 24-bit files are kept exactly as read: a 40-byte or
// core header right before bottom-up rows, no colour table and no gap. A header that
// announces a colour table is not kept, even when the pixel offset leaves no room for one:
// the picture in memory would be described with that table before its pixels.
bool KeptAsRead(const CBmpLayout& layout) {
    if (layout.bitCount != 24 || layout.compression != kBiRgb || layout.topDown) return false;
    return layout.pixelStart == kFileHeaderBytes + int64_t{layout.headerBytes} &&
           (layout.headerBytes == kCoreHeaderBytes ||
            (layout.headerBytes == kInfoHeaderBytes && layout.colorsUsed == 0));
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
    if (int r = ReadExactly(file, fileHeader, sizeof fileHeader); r != kBmpStreamDone)
        return refuse(r);
    if (LoadLE16(fileHeader) != kBmpType) return refuse(kBmpStreamRefused);
    CBmpLayout layout;
    if (int r = ReadLayout(file, length, fileHeader, layout); r != kBmpStreamDone) return refuse(r);

    // Everything after the file header up to the end of the rows goes into one block.
    const int64_t dataBytes64 = layout.pixelStart + layout.imageBytes - kFileHeaderBytes;
    if (dataBytes64 > kMaxPictureBlockBytes) return refuse(kBmpStreamRefused);
    const size_t dataBytes = static_cast<size_t>(dataBytes64);
    const bool kept = KeptAsRead(layout);
    CMemoryBlock data;
    if (kept && dib.Size() >= dataBytes) {
        data = std::move(dib.Block());
        std::memset(data.Data(), 0, data.Size());
    } else {
        dib.Free();
        data = CMemoryBlock::Allocate(dataBytes);
        if (data.IsNull()) return kBmpStreamRefused;
    }
    if (fseeko(file, kFileHeaderBytes, SEEK_SET) != 0) return refuse(kBmpStreamFileError);
    if (int r = ReadExactly(file, data.Data(), dataBytes); r != kBmpStreamDone) return refuse(r);

    const int32_t width = static_cast<int32_t>(layout.width);
    const int32_t height = static_cast<int32_t>(layout.height);
    if (kept) {
        dib.Block() = std::move(data);  // the header as stored
    } else {
        CPixelSource source;
        source.rows = data.Data() + (layout.pixelStart - kFileHeaderBytes);
        source.rowBytes = RowBytes64(layout.width * layout.bitCount);
        source.topDown = layout.topDown;
        source.bitCount = static_cast<int32_t>(layout.bitCount);
        source.table = data.Data() + (layout.tableStart - kFileHeaderBytes);
        source.entryBytes = layout.entryBytes;
        source.colors = static_cast<int32_t>(layout.colors);
        std::copy(std::begin(layout.masks), std::end(layout.masks), source.masks);
        dib.Block() = ConvertPixelsTo24(source, width, height);
        if (dib.IsNull()) return kBmpStreamRefused;
    }
    size = {width, height};
    return kBmpStreamDone;
}

int ReadBmpFile(const std::string& path, DibHandle& dib, CSize& size) {
    const COpenedFile opened = OpenRegularFile(path);
    if (!opened) {
        ShowMessage(WithReason("Failed to open: " + path, opened.reason));
        return 0;
    }
    errno = 0;
    const int result = ReadBmpStream(opened.Stream(), dib, size);
    if (result == kBmpStreamFileError) {
        const std::string reason = ErrorText(errno != 0 ? errno : EIO);
        SetLastFileError(reason);
        ShowMessage(WithReason("Failed to read: " + path, reason));
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
        ShowMessage(WithReason(path + " failed to open 1a " + Format("File error %i", error),
                               writer.ErrorReason()));
        return 0;
    }
    errno = 0;
    const int result = WriteBmpStream(writer.Stream(), dib, colorTableBytes);
    const int streamError = errno;
    if (result == kBmpStreamRefused) return 0;  // a header other than 40 bytes: nothing written
    if (result != kBmpStreamDone) {
        // No errno: the block does not hold what its header describes.
        ShowMessage(WithReason(path + " failed to process.",
                               streamError != 0 ? ErrorText(streamError) : std::string()));
        return 0;
    }
    if (!writer.Commit()) {
        ShowMessage(WithReason(path + " failed to process.", writer.ErrorReason()));
        return 0;
    }
    return 1;
}
