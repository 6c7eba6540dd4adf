#include "image/dib.h"

#include <algorithm>
#include <cstring>

#include "platform/byte_order.h"
#include "platform/user_interface.h"

namespace {

int32_t Clamp32(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

bool IsInfoHeader(const uint8_t* header) {
    return LoadLE32(header + kBiSize) == static_cast<uint32_t>(kInfoHeaderBytes);
}

int64_t& PictureLimit() {
    static int64_t limit = kDefaultMaxPicturePixels;
    return limit;
}

// The position and width of a mask's run of bits.
struct CMaskField {
    uint32_t shift = 0;
    uint32_t bits = 0;
};

CMaskField FieldOf(uint32_t mask) {
    CMaskField field;
    if (mask == 0) return field;
    while (((mask >> field.shift) & 1u) == 0) ++field.shift;
    while (field.shift + field.bits < 32 && ((mask >> (field.shift + field.bits)) & 1u) != 0)
        ++field.bits;
    return field;
}

uint8_t FieldValue(uint32_t pixel, uint32_t mask, const CMaskField& field) {
    if (field.bits == 0) return 0;
    const uint32_t value = (pixel & mask) >> field.shift;
    if (field.bits >= 8) return static_cast<uint8_t>(value >> (field.bits - 8));
    const uint32_t top = (1u << field.bits) - 1;
    return static_cast<uint8_t>((value * 255 + top / 2) / top);
}

}  // namespace

int64_t MaxPicturePixels() {
    return PictureLimit();
}

int64_t SetMaxPicturePixels(int64_t pixels) {
    const int64_t old = PictureLimit();
    PictureLimit() = pixels;
    return old;
}

bool IsReadablePictureSize(int64_t width, int64_t height) {
    if (width <= 0 || height <= 0 || width > INT32_MAX || height > INT32_MAX) return false;
    if (width > MaxPicturePixels() / height) return false;
    return Picture24Bytes(width, height) >= 0;
}

std::string PictureSizeRefusal(int64_t width, int64_t height) {
    if (width <= 0 || height <= 0)
        return Format("a picture of %lld x %lld pixels has no pixels",
                      static_cast<long long>(width), static_cast<long long>(height));
    return Format(
        "a picture of %lld x %lld pixels is larger than this program reads (%lld "
        "pixels at most)",
        static_cast<long long>(width), static_cast<long long>(height),
        static_cast<long long>(MaxPicturePixels()));
}

bool AreUsableMasks(const uint32_t (&masks)[3]) {
    for (const uint32_t mask : masks) {
        const CMaskField field = FieldOf(mask);
        const uint64_t run = ((uint64_t{1} << field.bits) - 1) << field.shift;
        if (mask != run) return false;
    }
    return true;
}

CMemoryBlock ConvertPixelsTo24(const CPixelSource& source, int32_t width, int32_t height) {
    const int64_t bytes = Picture24Bytes(width, height);
    if (bytes < 0) return {};
    CMemoryBlock block = CMemoryBlock::Allocate(static_cast<size_t>(bytes));
    if (block.IsNull()) return block;
    InitHeader24(block.Data(), width, height);
    const CMaskField fields[3] = {FieldOf(source.masks[0]), FieldOf(source.masks[1]),
                                  FieldOf(source.masks[2])};
    const size_t targetRow = static_cast<size_t>(RowBytes(width * 24));
    uint8_t* target = block.Data() + kInfoHeaderBytes;
    const uint32_t colors = source.colors > 0 ? static_cast<uint32_t>(source.colors) : 0;

    for (int32_t y = 0; y < height; ++y) {
        // The result is bottom-up: its row y is the stored row y, or height-1-y when the
        // stored rows run from the top.
        const int64_t stored = source.topDown ? height - 1 - y : y;
        const uint8_t* in = source.rows + stored * source.rowBytes;
        uint8_t* out = target + static_cast<size_t>(y) * targetRow;
        for (int32_t x = 0; x < width; ++x, out += 3) {
            const size_t ux = static_cast<size_t>(x);
            uint32_t index = 0;
            switch (source.bitCount) {
                case 1:  // eight indices a byte, the most significant bit first
                    index = (in[ux / 8] >> (7 - ux % 8)) & 1u;
                    break;
                case 4:  // two indices a byte, the high four bits first
                    index = ux % 2 == 0 ? in[ux / 2] >> 4 : in[ux / 2] & 0x0Fu;
                    break;
                case 8:
                    index = in[ux];
                    break;
                case 24:
                    std::memcpy(out, in + ux * 3, 3);
                    continue;
                case 16:
                case 32: {
                    const uint32_t pixel =
                        source.bitCount == 16 ? LoadLE16(in + ux * 2) : LoadLE32(in + ux * 4);
                    out[0] = FieldValue(pixel, source.masks[2], fields[2]);
                    out[1] = FieldValue(pixel, source.masks[1], fields[1]);
                    out[2] = FieldValue(pixel, source.masks[0], fields[0]);
                    continue;
                }
                default:
                    return {};
            }
            // An index beyond the table leaves the pixel black (the block is zero-filled).
            if (index >= colors) continue;
            const uint8_t* entry =
                source.table + static_cast<size_t>(index) * static_cast<size_t>(source.entryBytes);
            out[0] = entry[0];
            out[1] = entry[1];
            out[2] = entry[2];
        }
    }
    return block;
}

int64_t RowBytes64(int64_t bitWidth) {
    return ((bitWidth + 31) / 32) * 4;
}

int32_t RowBytes(int32_t bitWidth) {
    return static_cast<int32_t>(RowBytes64(bitWidth));
}

uint8_t* PicturePixels(uint8_t* header, int32_t offset) {
    return header + (IsInfoHeader(header) ? kInfoHeaderBytes : kCoreHeaderBytes) + offset;
}

const uint8_t* PicturePixels(const uint8_t* header, int32_t offset) {
    return header + (IsInfoHeader(header) ? kInfoHeaderBytes : kCoreHeaderBytes) + offset;
}

PictureDescription DescribePicture(const uint8_t* header) {
    PictureDescription d;
    d.isInfoHeader = IsInfoHeader(header);
    int64_t colorsUsed = 0;
    if (d.isInfoHeader) {
        d.headerBytes = kInfoHeaderBytes;
        d.size = {LoadLE32s(header + kBiWidth), LoadLE32s(header + kBiHeight)};
        d.planes = LoadLE16(header + kBiPlanes);
        d.bitCount = LoadLE16(header + kBiBitCount);
        colorsUsed = LoadLE32(header + kBiClrUsed);
    } else {
        d.headerBytes = kCoreHeaderBytes;
        d.size = {LoadLE16(header + kBcWidth), LoadLE16(header + kBcHeight)};
        d.planes = LoadLE16(header + kBcPlanes);
        d.bitCount = LoadLE16(header + kBcBitCount);
    }
    int64_t colors = 0;
    if (colorsUsed != 0)
        colors = colorsUsed;
    else if (d.bitCount == 1 || d.bitCount == 4 || d.bitCount == 8)
        colors = int64_t{1} << d.bitCount;
    // A 32-bit picture always carries three 4-byte colour masks before its pixels.
    const int64_t tableBytes = colors * (d.isInfoHeader ? 4 : 3) + (d.bitCount == 32 ? 12 : 0);
    d.colors = Clamp32(colors);
    d.colorTableBytes = Clamp32(tableBytes);
    d.colorTableOffset = d.headerBytes;
    d.pixelOffset = Clamp32(d.headerBytes + tableBytes);
    return d;
}

void PictureSizeAndDepth(const uint8_t* header, CSize& size, int32_t& bitCount) {
    const PictureDescription d = DescribePicture(header);
    size = d.size;
    bitCount = d.bitCount;
}

bool IsWholePicture(const DibHandle& dib) {
    if (dib.IsNull() || dib.Size() < 4) return false;
    const uint8_t* header = dib.Data();
    const size_t headerBytes = IsInfoHeader(header) ? kInfoHeaderBytes : kCoreHeaderBytes;
    if (dib.Size() < headerBytes) return false;
    const PictureDescription d = DescribePicture(header);
    if (d.size.cx <= 0 || d.size.cy <= 0 || d.bitCount <= 0) return false;
    const int64_t rowBytes = RowBytes64(int64_t{d.size.cx} * d.bitCount);
    const int64_t available = static_cast<int64_t>(std::min<size_t>(dib.Size(), INT64_MAX));
    const int64_t forRows = available - d.pixelOffset;
    return forRows >= 0 && d.size.cy <= forRows / rowBytes;
}

void InitHeader24(uint8_t* header, int32_t width, int32_t height) {
    std::memset(header, 0, kInfoHeaderBytes);
    StoreLE32s(header + kBiSize, kInfoHeaderBytes);
    StoreLE32s(header + kBiWidth, width);
    StoreLE32s(header + kBiHeight, height);
    StoreLE16(header + kBiPlanes, 1);
    StoreLE16(header + kBiBitCount, 24);
    StoreLE32s(header + kBiSizeImage, Clamp32(int64_t{height} * RowBytes64(int64_t{width} * 24)));
}

int64_t Picture24Bytes(int64_t width, int64_t height) {
    // The bit width of a row must itself be a valid 32-bit argument of RowBytes.
    if (width <= 0 || height <= 0 || width > (INT32_MAX - 31) / 24) return -1;
    const int64_t rowBytes = RowBytes64(width * 24);
    if (height > (kMaxPictureBlockBytes - kInfoHeaderBytes) / rowBytes) return -1;
    return kInfoHeaderBytes + rowBytes * height;
}

int NewGreyPicture(int32_t width, int32_t height, DibHandle& dib) {
    dib.Free();
    const int64_t bytes = Picture24Bytes(width, height);
    if (bytes < 0) return 0;
    dib.Block() = CMemoryBlock::Allocate(static_cast<size_t>(bytes));
    if (dib.IsNull()) return 0;
    uint8_t* header = dib.Data();
    InitHeader24(header, width, height);
    const size_t rowBytes = static_cast<size_t>(RowBytes(width * 24));
    uint8_t* pixels = PicturePixels(header, 0);
    for (int32_t y = 0; y < height; ++y)
        std::memset(pixels + static_cast<size_t>(y) * rowBytes, 50, static_cast<size_t>(width) * 3);
    return 1;
}

DibHandle CopyHandle(const DibHandle& dib) {
    if (dib.IsNull()) return {};
    CMemoryBlock block = CMemoryBlock::Allocate(dib.Size());
    if (block.IsNull()) return {};
    std::memcpy(block.Data(), dib.Data(), dib.Size());
    return DibHandle(std::move(block));
}

int CheckSameSize(const DibHandle& a, const DibHandle& b) {
    if (!IsWholePicture(a) || !IsWholePicture(b)) return 0;
    const PictureDescription da = DescribePicture(a.Data());
    const PictureDescription db = DescribePicture(b.Data());
    if (da.bitCount != 24 || db.bitCount != 24) {
        ShowMessage("Only 24 bits comparison possible.");
        return 0;
    }
    if (da.size != db.size) {
        ShowMessage(
            Format("For this operation same picture size is needed.\n The dim of pict 1 %i, "
                   "%i\n The dim of pict 2 %i %i",
                   da.size.cx, da.size.cy, db.size.cx, db.size.cy));
        return 0;
    }
    return 1;
}

int CutPicture(DibHandle& dib, int32_t width, int32_t height) {
    if (!IsWholePicture(dib)) return 0;
    const PictureDescription d = DescribePicture(dib.Data());
    if (d.bitCount != 24 || width <= 0 || width % 4 != 0 || height <= 0 || width > d.size.cx ||
        height > d.size.cy)
        return 0;
    const size_t sourceRow = static_cast<size_t>(RowBytes64(int64_t{d.size.cx} * 24));
    const size_t targetRow = static_cast<size_t>(width) * 3;  // a multiple of 4 already
    const size_t rows = static_cast<size_t>(height);

    if (d.isInfoHeader && d.pixelOffset == kInfoHeaderBytes) {
        // Same layout: pack the rows down in place. Target rows never lie behind their
        // source rows, so a forward copy is safe.
        uint8_t* header = dib.Data();
        uint8_t* pixels = header + kInfoHeaderBytes;
        for (size_t y = 0; y < rows; ++y)
            std::memmove(pixels + y * targetRow, pixels + y * sourceRow, targetRow);
        const size_t used = kInfoHeaderBytes + rows * targetRow;
        std::memset(header + used, 0, dib.Size() - used);
        StoreLE32s(header + kBiWidth, width);
        StoreLE32s(header + kBiHeight, height);
        StoreLE32s(header + kBiSizeImage, static_cast<int32_t>(rows * targetRow));
        // The cut picture moves to a block of its own size, so neither it nor the copies
        // made of it carry the rows cut away. Without memory for that it stays where it is.
        if (used < dib.Size()) {
            CMemoryBlock fitted = CMemoryBlock::Allocate(used);
            if (!fitted.IsNull()) {
                std::memcpy(fitted.Data(), dib.Data(), used);
                dib = DibHandle(std::move(fitted));
            }
        }
        return 1;
    }

    // A core header or a colour table before the pixels: rebuild with a 40-byte header.
    CMemoryBlock block = CMemoryBlock::Allocate(kInfoHeaderBytes + rows * targetRow);
    if (block.IsNull()) return 0;
    InitHeader24(block.Data(), width, height);
    const uint8_t* source = dib.Data() + d.pixelOffset;
    uint8_t* target = block.Data() + kInfoHeaderBytes;
    for (size_t y = 0; y < rows; ++y)
        std::memcpy(target + y * targetRow, source + y * sourceRow, targetRow);
    dib.Block() = std::move(block);
    return 1;
}

bool PrepareRgbWrite(const std::string& path, const DibHandle& dib, PictureDescription& d,
                     CMemoryBlock& rgbRow) {
    if (dib.IsNull()) {
        ShowMessage(path + " no bitmap connected to it.");
        return false;
    }
    if (!IsWholePicture(dib)) {
        ShowMessage(path + " failed to process.");
        return false;
    }
    d = DescribePicture(dib.Data());
    if (!d.isInfoHeader || d.bitCount != 24 || d.pixelOffset != kInfoHeaderBytes) {
        ShowMessage(path + " failed to process.");
        return false;
    }
    rgbRow = CMemoryBlock::Allocate(static_cast<size_t>(d.size.cx) * 3);
    if (rgbRow.IsNull()) {
        ShowMessage("No mem allocated");
        return false;
    }
    return true;
}
