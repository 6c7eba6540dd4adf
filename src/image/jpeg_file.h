#pragma once

#include <cstdint>
#include <string>

#include "image/dib.h"
#include "platform/geometry.h"

// Reads a three-component ".jpg" file into a 24-bit bottom-up picture with a 40-byte header
// (blue, green, red); size is the picture's width and height. 1/0. The library's own reports
// (errors and warnings) are shown as messages; after a library error the handle may hold a
// partly filled picture.
int ReadJpegFile(const std::string& path, DibHandle& dib, CSize& size);

// Writes a 24-bit picture with a 40-byte header and no colour table as a baseline JPEG of
// the given quality (0 to 100). The file is written beside the target and renamed over it
// when everything was written; the picture is left unchanged. 1/0.
int WriteJpegFile(const std::string& path, DibHandle& dib, int quality);

// Prepares the block that receives a decoded picture of width x height with the given
// number of colour components: reuses the handle's block when it is large enough (cleared),
// else allocates one, and writes the 40-byte header of a 24-bit picture. 1/0.
int MakeJpegTarget(DibHandle& dib, int components, int32_t width, int32_t height);
