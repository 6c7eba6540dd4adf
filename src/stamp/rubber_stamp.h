#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/geometry.h"
#include "stamp/kernels.h"

// A rubber stamp: a measured point-spread kernel with one marked position, the peak, that
// acts as the kernel's origin; the kernel type of restoration (stamp/kernels.h), rows in the
// order of the packed bitmap (row 0 is the first stored row).
//
// A ".stp" file holds width, height, peak x and peak y as 32-bit signed little-endian
// integers, then the width x height values as little-endian doubles, row 0 first and column
// 0 first within a row. Nothing follows the values.
using RubberStamp = CKernel;

// Width and height of a stamp lie between 1 and this, inclusive.
inline constexpr int32_t kMaxStampSide = 10000;
inline constexpr size_t kStampHeaderBytes = 16;

// What reading a ".stp" file found wrong; each reader words it in its own messages.
enum class StampFileFault {
    None,
    Open,       // the file cannot be opened (the reason in words kept)
    ReadError,  // it could not be read to its end
    Size,       // a size out of range, or a file shorter than its header
    TooLarge,   // a side larger than the limit given
    Short,      // fewer values than the header declares
    Peak,       // the peak outside the values
    Memory,     // no room for the values
    NotFinite,  // a value that is not a finite number (NaN, infinities)
};

struct CStampFileRead {
    StampFileFault fault = StampFileFault::None;
    std::string reason;  // Open: why, in words
    int32_t width = 0;   // the sides the header declares, once read
    int32_t height = 0;
};

// The one reader of ".stp" files: the header checked (with a limit, a side larger than it is
// refused before a value is read), then the values. Shows nothing; the kernel is filled in
// only when the fault is None.
CStampFileRead ReadStampFile(const std::string& path, CKernel& kernel,
                             std::optional<CSize> limit = std::nullopt);

// A rectangle of a stamp: columns left .. right-1 and rows bottom .. top-1 (top > bottom).
struct CStampRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    int32_t Width() const { return right - left; }
    int32_t Height() const { return top - bottom; }
    friend bool operator==(const CStampRect&, const CStampRect&) = default;
};

// Reads a stamp file of any size within the limits. 1 with the stamp filled in, 0 with the
// message shown here and the stamp left empty. Refused: a file that cannot be opened, a size
// out of range, a file shorter than its header promises (also one under 16 bytes), a
// peak outside the stamp, so that the value at the peak always exists, and values that
// are not finite numbers (NaN, infinities).
int ReadRubberStampFreeSize(const std::string& path, RubberStamp& stamp);

// Whether a stamp that was read can be used or shown: its values do not sum to 0 (within
// rounding, as a kernel to restore with must not: a picture convolved with it would lose
// its light, and a stamp of zeros shows nothing) and their magnitudes sum to a finite number
// (so every sum of the convolution stays finite). A value of 0 at the peak is allowed: the
// stamp (0.5, 0, 0.5) around its middle averages the two neighbours. 1/0, with the message
// naming the file shown here.
int CheckStampValues(const RubberStamp& stamp, const std::string& path);

// Writes a whole stamp (width x height values, row-major). The file is written beside the
// target and renamed over it, so a failed write keeps the stamp that was there. 1/0; a
// failure shows the path, " Write Stamp File error" and the reason in words.
int WriteRubberStamp(const std::string& path, const double* values, int32_t width, int32_t height,
                     int32_t peakX, int32_t peakY);

// Writes the part of a full stamp (row length fullWidth) inside the rectangle, with the peak
// given in full-stamp coordinates and stored relative to the cut. Written beside the target
// and renamed; an empty rectangle or one reaching outside the full stamp is refused. 1/0;
// a failure shows the path, " Write WriteRubberStampReduced File error" and the reason.
int WriteRubberStampReduced(const std::string& path, const double* values, int32_t fullWidth,
                            int32_t fullHeight, const CStampRect& rect, int32_t peakX,
                            int32_t peakY);
