#pragma once

#include <optional>
#include <string>

#include "platform/geometry.h"
#include "stamp/kernels.h"
#include "stamp/restore.h"

// Kernel files in the rubber-stamp layout (".stp": width, height, peak x, peak y as 32-bit
// little-endian integers, then width x height little-endian doubles, row 0 first). A learnt
// kernel file holds the blur itself; a stamp made by Make Stamp holds its inverse.

// Reads a kernel; refuses files whose size fields are out of range, whose values are fewer
// than the header declares, or whose peak lies outside. With the size of the picture the
// kernel is for, a kernel larger than that picture is refused from its header, before a
// value is read. 1/0 with the message shown here.
int ReadKernelFile(const std::string& path, CKernel& kernel,
                   std::optional<CSize> picture = std::nullopt);

// Writes a kernel beside the target and renames it over the target. 1/0 with the message.
int WriteKernelFile(const std::string& path, const CKernel& kernel);

// Reads a picture file of any kind the program reads (.bmp, .jpg, .png), converted to 24
// bits, into planes. 1/0 with the message shown here.
int ReadPlanesFile(const std::string& path, CPlanes& planes);
