#pragma once

#include <optional>
#include <string>

#include "platform/geometry.h"
#include "stamp/kernels.h"
#include "stamp/restore.h"

// Kernel files are ".stp" files (stamp/rubber_stamp.h), read and written by the stamps'
// reader and writer with the messages of restoration. A learnt kernel file holds the blur
// itself; a stamp made by Make Stamp holds its inverse.

// Reads a kernel; refuses files whose size fields are out of range, whose values are fewer
// than the header declares or not finite numbers, or whose peak lies outside. With the size of the
// picture the kernel is for, a kernel larger than that picture is refused from its header, before a
// value is read. 1/0 with the message shown here.
int ReadKernelFile(const std::string& path, CKernel& kernel,
                   std::optional<CSize> picture = std::nullopt);

// Writes a kernel as WriteRubberStamp does (beside the target, renamed over it; a failure
// says why). 1/0 with the message.
int WriteKernelFile(const std::string& path, const CKernel& kernel);

// Reads a picture file of any kind the program reads (.bmp, .jpg, .png), converted to 24
// bits, into planes. 1/0 with the message shown here.
int ReadPlanesFile(const std::string& path, CPlanes& planes);
