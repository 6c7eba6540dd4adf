#pragma once

#include <cstdio>
#include <string>

#include "image/dib.h"
#include "platform/geometry.h"

// Reads a ".png" file into a 24-bit bottom-up picture with a 40-byte header: grey, grey
// with alpha, palette (with or without transparency), RGB and RGBA, of 1 to 16 bits per
// sample. Sixteen-bit samples are scaled to 8 bits; alpha is composited over white. The
// declared size is checked before anything is allocated. size is the picture's size
// (0, 0 on failure). 1/0, with the message shown here; the handle is unchanged on failure.
int ReadPngFile(const std::string& path, DibHandle& dib, CSize& size);

// The part of ReadPngFile after the open; the message of a failure (empty on success)
// goes to reason, nothing is shown.
int ReadPngStream(std::FILE* file, DibHandle& dib, CSize& size, std::string& reason);

// Writes a 24-bit picture with a 40-byte header and no colour table as an 8-bit RGB PNG,
// beside the target and renamed over it when everything was written; the picture is left
// unchanged. 1/0, with the message shown here.
int WritePngFile(const std::string& path, const DibHandle& dib);
