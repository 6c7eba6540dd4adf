#include "view/dib_image.h"

#include <cstring>

#include "image/picture_file.h"

QImage DibToImage(const DibHandle& dib) {
    if (!IsWholePicture(dib)) return {};
    // Other depths and layouts are shown through the same conversion the core uses.
    DibHandle converted;
    const DibHandle* shown = &dib;
    {
        const PictureDescription d = DescribePicture(dib.Data());
        if (d.bitCount != 24 || !d.isInfoHeader || d.pixelOffset != kInfoHeaderBytes) {
            converted = CopyHandle(dib);
            if (ConvertTo24Bits(converted) != 1) return {};
            shown = &converted;
        }
    }
    const uint8_t* header = shown->Data();
    const PictureDescription d = DescribePicture(header);
    const int width = d.size.cx;
    const int height = d.size.cy;
    QImage image(width, height, QImage::Format_RGB888);
    if (image.isNull()) return {};
    const int64_t stride = RowBytes64(static_cast<int64_t>(width) * 24);
    const uint8_t* pixels = header + d.pixelOffset;
    for (int y = 0; y < height; ++y) {
        // Stored rows run from the bottom of the picture up.
        const uint8_t* row = pixels + static_cast<int64_t>(height - 1 - y) * stride;
        uchar* out = image.scanLine(y);
        for (int x = 0; x < width; ++x) {
            out[3 * x] = row[3 * x + 2];
            out[3 * x + 1] = row[3 * x + 1];
            out[3 * x + 2] = row[3 * x];
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
