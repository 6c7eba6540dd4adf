#include "image/picture_file.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "image/bmp_file.h"
#include "image/jpeg_file.h"
#include "image/png_file.h"
#include "platform/byte_order.h"
#include "platform/user_interface.h"

namespace {

constexpr uint32_t kBiBitFields = 3;

std::string LowerExtension(const std::string& path) {
    const size_t slash = path.rfind('/');
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    std::string extension = path.substr(dot + 1);
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension;
}

}  // namespace

PictureKind PictureKindOf(const std::string& path) {
    const std::string extension = LowerExtension(path);
    if (extension == "bmp") return PictureKind::Bmp;
    if (extension == "jpg" || extension == "jpeg") return PictureKind::Jpg;
    if (extension == "png") return PictureKind::Png;
    return PictureKind::Unknown;
}

const char* PictureKindName(PictureKind kind) {
    switch (kind) {
        case PictureKind::Bmp:
            return "bmp";
        case PictureKind::Jpg:
            return "jpg";
        case PictureKind::Png:
            return "png";
        case PictureKind::Unknown:
            break;
    }
    return "";
}

const char* PictureKindExtension(PictureKind kind) {
    switch (kind) {
        case PictureKind::Bmp:
            return ".bmp";
        case PictureKind::Jpg:
            return ".jpg";
        case PictureKind::Png:
            return ".png";
        case PictureKind::Unknown:
            break;
    }
    return "";
}

int ReadPictureFile(PictureKind kind, const std::string& path, DibHandle& dib, CSize& size) {
    switch (kind) {
        case PictureKind::Bmp:
            return ReadBmpFile(path, dib, size);
        case PictureKind::Jpg:
            return ReadJpegFile(path, dib, size);
        case PictureKind::Png:
            return ReadPngFile(path, dib, size);
        case PictureKind::Unknown:
            break;
    }
    ShowMessage(path + " is not a picture this program reads (.bmp, .jpg or .png).");
    return 0;
}

int ReadPictureFile(const std::string& path, DibHandle& dib, CSize& size) {
    return ReadPictureFile(PictureKindOf(path), path, dib, size);
}

int WritePictureFile(PictureKind kind, const std::string& path, DibHandle& dib) {
    switch (kind) {
        case PictureKind::Bmp:
            return WriteBmpFile(path, dib, 0);
        case PictureKind::Jpg:
            return WriteJpegFile(path, dib, kPictureJpegQuality);
        case PictureKind::Png:
            return WritePngFile(path, dib);
        case PictureKind::Unknown:
            break;
    }
    ShowMessage(path + " is not a picture this program writes (.bmp, .jpg or .png).");
    return 0;
}

int WritePictureFile(const std::string& path, DibHandle& dib) {
    return WritePictureFile(PictureKindOf(path), path, dib);
}

int ConvertTo24Bits(DibHandle& dib) {
    if (!IsWholePicture(dib)) {
        dib.Free();
        return 0;
    }
    const uint8_t* header = dib.Data();
    const PictureDescription d = DescribePicture(header);
    if (d.bitCount == 24 && d.isInfoHeader && d.pixelOffset == kInfoHeaderBytes) return 1;

    CPixelSource source;
    source.rows = header + d.pixelOffset;
    source.rowBytes = RowBytes64(int64_t{d.size.cx} * d.bitCount);
    source.bitCount = d.bitCount;
    source.table = header + d.colorTableOffset;
    source.entryBytes = d.isInfoHeader ? 4 : 3;
    // Only entries that lie before the pixels are colours.
    const int64_t tableRoom = (int64_t{d.pixelOffset} - d.colorTableOffset) / source.entryBytes;
    source.colors = static_cast<int32_t>(std::clamp<int64_t>(tableRoom, 0, d.colors));
    if (d.bitCount == 32) {
        // The three masks lie between header and pixels; they are used when the header
        // says bit fields, else the pixels are blue, green, red and a dropped fourth byte.
        source.colors = 0;
        const uint8_t* masks = header + d.pixelOffset - 12;
        if (d.isInfoHeader && LoadLE32(header + kBiCompression) == kBiBitFields) {
            for (int i = 0; i < 3; ++i) source.masks[i] = LoadLE32(masks + 4 * i);
            if (!AreUsableMasks(source.masks)) {
                dib.Free();
                return 0;
            }
        }
    } else if (d.bitCount != 1 && d.bitCount != 4 && d.bitCount != 8 && d.bitCount != 24) {
        dib.Free();
        return 0;
    }
    CMemoryBlock converted = ConvertPixelsTo24(source, d.size.cx, d.size.cy);
    if (converted.IsNull()) {
        dib.Free();
        return 0;
    }
    dib.Block() = std::move(converted);
    return 1;
}

DibHandle DibFromPackedBytes(const uint8_t* bytes, size_t count) {
    if (!bytes || count == 0) return {};
    DibHandle dib(CMemoryBlock::Allocate(count));
    if (dib.IsNull()) return {};
    std::memcpy(dib.Data(), bytes, count);
    if (!IsWholePicture(dib)) return {};
    return dib;
}
