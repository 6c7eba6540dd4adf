#include "view/dib_image.h"

#include <cstring>

#include "image/picture_file.h"

namespace {

// Blue, green, red of pixel x of a stored row.
void PixelColour(const uint8_t* row, int x, const PictureDescription& d, const uint8_t* table,
                 uint8_t bgr[3]) {
    int index = 0;
    switch (d.bitCount) {
        case 24:
            std::memcpy(bgr, row + 3 * x, 3);
            return;
        case 32:
            std::memcpy(bgr, row + 4 * x, 3);
            return;
        case 8:
            index = row[x];
            break;
        case 4:
            index = (x & 1) ? (row[x / 2] & 0x0F) : (row[x / 2] >> 4);
            break;
        case 1:
            index = (row[x / 8] >> (7 - (x % 8))) & 1;
            break;
        default:
            bgr[0] = bgr[1] = bgr[2] = 0;
            return;
    }
    if (index >= d.colors) index = 0;
    const uint8_t* entry = table + index * (d.isInfoHeader ? 4 : 3);
    std::memcpy(bgr, entry, 3);
}

}  // namespace

QImage DibToImage(const DibHandle& dib) {
    if (!IsWholePicture(dib)) return {};
    const uint8_t* header = dib.Data();
    const PictureDescription d = DescribePicture(header);
    const int width = d.size.cx;
    const int height = d.size.cy;
    QImage image(width, height, QImage::Format_RGB888);
    if (image.isNull()) return {};
    const int64_t stride = RowBytes64(static_cast<int64_t>(width) * d.bitCount);
    const uint8_t* pixels = header + d.pixelOffset;
    const uint8_t* table = header + d.colorTableOffset;
    for (int y = 0; y < height; ++y) {
        // Stored rows run from the bottom of the picture up.
        const uint8_t* row = pixels + static_cast<int64_t>(height - 1 - y) * stride;
        uchar* out = image.scanLine(y);
        uint8_t bgr[3];
        for (int x = 0; x < width; ++x) {
            PixelColour(row, x, d, table, bgr);
            out[3 * x] = bgr[2];
            out[3 * x + 1] = bgr[1];
            out[3 * x + 2] = bgr[0];
        }
    }
    return image;
}

DibHandle DibFromImage(const QImage& source) {
    if (source.isNull()) return {};
    const QImage image = source.convertToFormat(QImage::Format_RGB888);
    const int64_t bytes = Picture24Bytes(image.width(), image.height());
    if (bytes < 0) return {};
    DibHandle dib(CMemoryBlock::Allocate(static_cast<size_t>(bytes)));
    if (dib.IsNull()) return {};
    InitHeader24(dib.Data(), image.width(), image.height());
    const int32_t stride = RowBytes(image.width() * 24);
    uint8_t* pixels = dib.Data() + kInfoHeaderBytes;
    for (int y = 0; y < image.height(); ++y) {
        const uchar* in = image.constScanLine(y);
        uint8_t* row = pixels + static_cast<int64_t>(image.height() - 1 - y) * stride;
        for (int x = 0; x < image.width(); ++x) {
            row[3 * x] = in[3 * x + 2];
            row[3 * x + 1] = in[3 * x + 1];
            row[3 * x + 2] = in[3 * x];
        }
    }
    return dib;
}

QByteArray DibBytes(const DibHandle& dib) {
    if (dib.IsNull()) return {};
    return QByteArray(reinterpret_cast<const char*>(dib.Data()),
                      static_cast<qsizetype>(dib.Size()));
}

DibHandle DibFromBytes(const QByteArray& bytes) {
    return DibFromPackedBytes(reinterpret_cast<const uint8_t*>(bytes.constData()),
                              static_cast<size_t>(bytes.size()));
}

QRect PrintRect(int w, int h, int horzRes, int vertRes, int logPixelsX, int logPixelsY) {
    if (w <= 0 || h <= 0 || horzRes <= 0 || vertRes <= 0 || logPixelsX <= 0 || logPixelsY <= 0)
        return {};
    const double a = static_cast<double>(w) * logPixelsX / horzRes;
    const double b = static_cast<double>(h) * logPixelsY / vertRes;
    if (a > b) {
        const double bottom =
            static_cast<double>(h) * horzRes * logPixelsY / (static_cast<double>(w) * logPixelsX);
        return QRect(0, 0, horzRes, static_cast<int>(bottom));
    }
    const double right =
        static_cast<double>(w) * vertRes * logPixelsX / (static_cast<double>(h) * logPixelsY);
    return QRect(0, 0, static_cast<int>(right), vertRes);
}
