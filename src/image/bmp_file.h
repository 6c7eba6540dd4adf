#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "image/dib.h"
#include "platform/geometry.h"

// Results of the stream parts, which show no message themselves.
inline constexpr int kBmpStreamDone = 1;
inline constexpr int kBmpStreamRefused = 0;     // not a picture the system reads or writes
inline constexpr int kBmpStreamFileError = -1;  // the stream itself failed

// Reads a ".bmp" file (1, 4, 8, 16, 24 or 32 bits; a 12-byte core header, the 40-byte one or
// its larger versions; run-length data of 4 and 8 bits, bit fields of 16 and 32) into a
// picture; anything but a plain 24-bit file is converted to a 24-bit picture with a 40-byte
// header, a plain 24-bit file is kept exactly as read. size is the picture's size (0, 0 on
// failure). 1/0, with the message shown here.
int ReadBmpFile(const std::string& path, DibHandle& dib, CSize& size);

// The part of ReadBmpFile after the open, from the start of the stream to its end. The
// handle's block is reused when it is large enough; on failure the handle is null.
int ReadBmpStream(std::FILE* file, DibHandle& dib, CSize& size);

// Writes a picture with a 40-byte header as a ".bmp" file beside the target and renames it
// over the target when everything was written. 1/0, with the message shown here.
int WriteBmpFile(const std::string& path, DibHandle& dib, int32_t colorTableBytes);

// The part of WriteBmpFile after the open: file header, info header, colour table and
// pixels. Stores the image size into the header of an uncompressed picture.
int WriteBmpStream(std::FILE* file, DibHandle& dib, int32_t colorTableBytes);
