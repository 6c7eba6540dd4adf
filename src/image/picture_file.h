#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "image/dib.h"
#include "platform/geometry.h"

// The kinds of picture files the program reads and writes.
enum class PictureKind { Unknown, Bmp, Jpg, Png };

// The kind told by the extension of the file name (after its last '.'), without regard to
// case: "bmp", "jpg" or "jpeg", "png"; Unknown for anything else or no extension.
PictureKind PictureKindOf(const std::string& path);
// "bmp", "jpg", "png", or "" for Unknown.
const char* PictureKindName(PictureKind kind);
// The extension a file of the kind is given: ".bmp", ".jpg", ".png" ("" for Unknown).
const char* PictureKindExtension(PictureKind kind);

// The quality pictures are written as JPEG with.
inline constexpr int kPictureJpegQuality = 90;

// Reads a picture file of the given kind into a 24-bit picture (an indexed or 32-bit
// ".bmp" is converted; a 24-bit one is kept as read). 1/0 with the reader's message; the
// handle is kept when the file cannot be opened.
int ReadPictureFile(PictureKind kind, const std::string& path, DibHandle& dib, CSize& size);
// The same by the path's extension; an unknown extension is refused with a message.
int ReadPictureFile(const std::string& path, DibHandle& dib, CSize& size);

// Writes the picture as its kind: ".bmp" as it is held (24 bits for every picture the
// program makes), ".jpg" at quality 90, ".png" as 8-bit RGB. The target is replaced only
// when everything was written. 1/0 with the writer's message.
int WritePictureFile(PictureKind kind, const std::string& path, DibHandle& dib);
// The same by the path's extension; an unknown extension is refused with a message.
int WritePictureFile(const std::string& path, DibHandle& dib);

// Converts a picture held in the block (1, 4 or 8 bits through its colour table, 32 bits
// through its masks) into a 24-bit picture with a 40-byte header and no colour table; row
// order is kept. A picture that is already that is left alone. 1/0; on 0 the picture is
// freed (a block that does not hold its picture, a bit count without conversion, no
// memory).
int ConvertTo24Bits(DibHandle& dib);

// A copy of a packed bitmap given as bytes (the clipboard's form), when the bytes hold a
// whole picture; null otherwise. Nothing is converted.
DibHandle DibFromPackedBytes(const uint8_t* bytes, size_t count);
