#pragma once

#include <QByteArray>
#include <QImage>
#include <QRect>

#include "image/dib.h"

// The packed bitmap as Qt sees it, and back. Drawing takes a top-down copy of the
// bottom-up rows; the clipboard carries the block byte for byte.

// The MIME type of the packed bitmap on the clipboard.
inline constexpr const char* kDibMimeType = "application/x-zelvanto-dib";

// A top-down RGB image of a picture held whole in the block (any bit count the reader
// accepts: 24 bits directly, 1, 4, 8 and 32 bits through the colour table or masks);
// a null image for a null handle or a block that does not hold its picture.
QImage DibToImage(const DibHandle& dib);

// A 24-bit packed bitmap of an image; null when memory runs out or the image is empty.
DibHandle DibFromImage(const QImage& image);

// The whole block, byte for byte, and a new block holding such bytes (null when the bytes
// are not a whole picture).
QByteArray DibBytes(const DibHandle& dib);
DibHandle DibFromBytes(const QByteArray& bytes);

// Where a w x h picture goes on a printed page of horzRes x vertRes pixels at the given
// resolutions: the whole page width or the whole page height, keeping the aspect ratio in
// physical units, left and top at 0.
QRect PrintRect(int w, int h, int horzRes, int vertRes, int logPixelsX, int logPixelsY);
