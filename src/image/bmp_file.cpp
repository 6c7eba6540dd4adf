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
    return bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 16 || bitCount == 24 ||
           bitCount == 32;
}

// Compressions read: none; run-length for 8 and 4 bits, whose rows are stored bottom-up only;
// bit fields for 16 and 32 bits.
bool IsReadableCompression(uint32_t compression, int64_t bitCount, bool topDown) {
    switch (compression) {
        case kBiRgb:
            return true;
        case kBiRle8:
            return bitCount == 8 && !topDown;
        case kBiRle4:
            return bitCount == 4 && !topDown;
        case kBiBitFields:
            return bitCount == 16 || bitCount == 32;
        default:  // JPEG and PNG inside, and what else there may be
            return false;
    }
}

bool IsRunLength(uint32_t compression) {
    return compression == kBiRle8 || compression == kBiRle4;
}

// Masks of bit fields: each one run of bits inside the pixel, no two sharing a bit.
bool AreMasksOfPixel(const uint32_t (&masks)[3], int64_t bitCount) {
    if (!AreUsableMasks(masks)) return false;
    const uint64_t pixelBits = (uint64_t{1} << bitCount) - 1;
    uint64_t seen = 0;
    for (const uint32_t mask : masks) {
        if ((mask & ~pixelBits) != 0 || (mask & seen) != 0) return false;
        seen |= mask;
    }
    return true;
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
    int64_t sizeImage = 0;  // as the header says: the length of run-length data
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
        layout.sizeImage = LoadLE32(header + kBiSizeImage);
        if (layout.height < 0) {  // rows stored from the top of the image down
            layout.topDown = true;
            layout.height = -layout.height;
        }
    }
    if (planes != 1 || !IsReadableBitCount(layout.bitCount)) return kBmpStreamRefused;
    if (!IsReadableCompression(layout.compression, layout.bitCount, layout.topDown))
        return kBmpStreamRefused;
    if (!IsReadablePictureSize(layout.width, layout.height)) return kBmpStreamRefused;
    // An index picture cannot use more colours than its indices reach.
    if (layout.bitCount <= 8 && colorsUsed > (int64_t{1} << layout.bitCount))
        return kBmpStreamRefused;
    if (layout.bitCount == 16) {  // without bit fields: 5 bits each, the top bit unused
        layout.masks[0] = 0x7C00;
        layout.masks[1] = 0x03E0;
        layout.masks[2] = 0x001F;
    }

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
        if (!AreMasksOfPixel(layout.masks, layout.bitCount)) return kBmpStreamRefused;
    }

    int64_t colors = colorsUsed;
    if (colors == 0 && layout.bitCount <= 8) colors = int64_t{1} << layout.bitCount;
    const int64_t offset = LoadLE32(fileHeader + 10);
    const int64_t derived = layout.tableStart + colors * layout.entryBytes;
    // Pixels where the masks after a 40-byte header should be: the masks are missing.
    if (layout.compression == kBiBitFields && offset >= kFileHeaderBytes + layout.headerBytes &&
        offset < layout.tableStart)
        return kBmpStreamRefused;
    if (IsRunLength(layout.compression)) {
        // Run-length data runs from the pixel offset (or the end of the colour table) for
        // the length the header gives, or to the end of the file when it gives none; whether
        // it holds every row is seen when it is decoded.
        if (offset >= layout.tableStart && offset < length) {
            layout.pixelStart = offset;
            layout.colors = std::min(colors, (offset - layout.tableStart) / layout.entryBytes);
        } else if (derived < length) {
            layout.pixelStart = derived;
            layout.colors = colors;
        } else {
            return kBmpStreamRefused;
        }
        const int64_t rest = length - layout.pixelStart;
        layout.imageBytes = layout.sizeImage > 0 ? std::min(layout.sizeImage, rest) : rest;
    } else {
        const int64_t rowBytes = RowBytes64(layout.width * layout.bitCount);
        layout.imageBytes = rowBytes * layout.height;  // both checked: no overflow
        if (layout.imageBytes > length) return kBmpStreamRefused;
        // The file header's pixel offset is taken when it lies behind the headers and leaves
        // room for every row; the colour table is then what fits before it. Otherwise the
        // pixels follow the whole colour table.
        if (offset >= layout.tableStart && offset <= length - layout.imageBytes) {
            layout.pixelStart = offset;
            layout.colors = std::min(colors, (offset - layout.tableStart) / layout.entryBytes);
        } else if (derived <= length - layout.imageBytes) {
            layout.pixelStart = derived;
            layout.colors = colors;
        } else {
            return kBmpStreamRefused;
        }
    }
    if (layout.bitCount <= 8) {
        layout.colors = std::min(layout.colors, int64_t{1} << layout.bitCount);
        // An index picture whose pixel offset leaves no room for a single colour has none
        // to show.
        if (layout.colors == 0) return kBmpStreamRefused;
    }
    return kBmpStreamDone;
}

// Walks run-length data (8 bits an index, or 4 as two a byte, the high half first) over the
// stored rows, bottom row first. Every index of a pixel goes to put(x, y, index); the pixels
// the data skips (end of line, delta, an early end of bitmap) are not visited. A row may run
// on over its padding to a whole 4 bytes, as ImageMagick writes it; those indices are
// dropped. False for data that does not describe the picture: a run past the padded row or
// past the last row, a delta out of the picture, or data that stops before the end of
// bitmap while pixels are still to come.
template <class Put>
bool WalkRunLength(const uint8_t* data, int64_t bytes, bool fourBits, int64_t width, int64_t height,
                   Put put) {
    const int64_t padded = fourBits ? RowBytes64(width * 4) * 2 : RowBytes64(width * 8);
    const auto emit = [&](int64_t x, int64_t y, uint8_t index) {
        if (x < width) put(x, y, index);
    };
    int64_t x = 0;
    int64_t y = 0;
    int64_t at = 0;
    for (;;) {
        if (bytes - at < 2) {
            // No end of bitmap: complete only when every row has been reached.
            return y >= height || (y == height - 1 && x >= width);
        }
        const int64_t count = data[at];
        const uint8_t value = data[at + 1];
        at += 2;
        if (count > 0) {  // a run of one index, or of two alternating ones
            if (y >= height || count > padded - x) return false;
            for (int64_t k = 0; k < count; ++k) {
                const uint8_t index =
                    fourBits ? static_cast<uint8_t>(k % 2 == 0 ? value >> 4 : value & 0x0F) : value;
                emit(x + k, y, index);
            }
            x += count;
            continue;
        }
        switch (value) {
            case 0:  // end of line
                if (y >= height) return false;
                x = 0;
                ++y;
                break;
            case 1:  // end of bitmap
                return true;
            case 2:  // delta: right and up
                if (bytes - at < 2) return false;
                x += data[at];
                y += data[at + 1];
                at += 2;
                if (x > padded || y > height) return false;
                break;
            default: {  // an absolute run of `value` indices, padded to a whole word
                const int64_t run = value;
                const int64_t runBytes = fourBits ? (run + 1) / 2 : run;
                if (y >= height || run > padded - x || runBytes > bytes - at) return false;
                for (int64_t k = 0; k < run; ++k) {
                    const uint8_t index =
                        fourBits ? static_cast<uint8_t>(k % 2 == 0 ? data[at + k / 2] >> 4
                                                                   : data[at + k / 2] & 0x0F)
                                 : data[at + k];
                    emit(x + k, y, index);
                }
                x += run;
                at += runBytes + runBytes % 2;
                break;
            }
        }
    }
}

// A 24-bit picture from run-length data, or an empty block for data that does not describe
// the picture (checked before the picture's block is taken). Pixels the data skips take the
// first colour of the table; indices beyond the table are black.
CMemoryBlock DecodeRunLength(const uint8_t* data, const CBmpLayout& layout, const uint8_t* table) {
    const bool fourBits = layout.compression == kBiRle4;
    const auto ignore = [](int64_t, int64_t, uint8_t) {};
    if (!WalkRunLength(data, layout.imageBytes, fourBits, layout.width, layout.height, ignore))
        return {};
    const int64_t bytes = Picture24Bytes(layout.width, layout.height);
    if (bytes < 0) return {};
    CMemoryBlock block = CMemoryBlock::Allocate(static_cast<size_t>(bytes));
    if (block.IsNull()) return block;
    const int32_t width = static_cast<int32_t>(layout.width);
    const int32_t height = static_cast<int32_t>(layout.height);
    InitHeader24(block.Data(), width, height);
    uint8_t* pixels = block.Data() + kInfoHeaderBytes;
    const size_t rowBytes = static_cast<size_t>(RowBytes(width * 24));
    const auto colour = [&](uint8_t index, uint8_t* out) {
        if (index >= layout.colors) {
            std::memset(out, 0, 3);
            return;
        }
        std::memcpy(out, table + static_cast<size_t>(index) * layout.entryBytes, 3);
    };
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            colour(0, pixels + static_cast<size_t>(y) * rowBytes + static_cast<size_t>(x) * 3);
    WalkRunLength(
        data, layout.imageBytes, fourBits, layout.width, layout.height,
        [&](int64_t x, int64_t y, uint8_t index) {
            colour(index, pixels + static_cast<size_t>(y) * rowBytes + static_cast<size_t>(x) * 3);
        });
    return block;
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
    } else if (IsRunLength(layout.compression)) {
        dib.Block() = DecodeRunLength(data.Data() + (layout.pixelStart - kFileHeaderBytes), layout,
                                      data.Data() + (layout.tableStart - kFileHeaderBytes));
        if (dib.IsNull()) return kBmpStreamRefused;
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
