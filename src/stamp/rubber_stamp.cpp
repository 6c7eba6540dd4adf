#include "stamp/rubber_stamp.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>
#include <vector>

#include "platform/byte_order.h"
#include "platform/file_open.h"
#include "platform/safe_file.h"
#include "platform/user_interface.h"

namespace {

constexpr const char* kSizeError = "ReadRubberStampFreeSize: Error in Stamp file size data. ";
constexpr const char* kPeakError = "ReadRubberStampFreeSize: Error in Stamp file peak data. ";
constexpr const char* kNotFiniteError = ": the stamp holds values that are not finite numbers.";
constexpr size_t kChunkValues = 8192;  // 64 KB per read or write

bool SideInRange(int32_t side) {
    return side >= 1 && side <= kMaxStampSide;
}

// Writes the header and then the rows bottom .. top-1, columns left .. right-1 of a stamp
// whose rows are rowLength values long, beside the target; renamed over it when complete.
int WriteStampRows(const std::string& path, const char* errorText, const double* values,
                   int32_t rowLength, const CStampRect& rect, int32_t peakX, int32_t peakY) {
    CSafeFileWriter writer;
    if (writer.Open(path) != 0) {
        ShowMessage(WithReason(path + errorText, writer.ErrorReason()), MessageIcon::Exclamation);
        return 0;
    }
    uint8_t header[kStampHeaderBytes];
    StoreLE32s(header, rect.Width());
    StoreLE32s(header + 4, rect.Height());
    StoreLE32s(header + 8, peakX);
    StoreLE32s(header + 12, peakY);
    bool ok = writer.Write(header, sizeof header);
    std::vector<uint8_t> row(static_cast<size_t>(rect.Width()) * 8);
    for (int32_t y = rect.bottom; ok && y < rect.top; ++y) {
        const double* from = values + static_cast<size_t>(y) * static_cast<size_t>(rowLength) +
                             static_cast<size_t>(rect.left);
        for (int32_t x = 0; x < rect.Width(); ++x) StoreLEDouble(row.data() + 8 * x, from[x]);
        ok = writer.Write(row.data(), row.size());
    }
    if (!ok || !writer.Commit()) {
        ShowMessage(WithReason(path + errorText, writer.ErrorReason()), MessageIcon::Exclamation);
        return 0;
    }
    return 1;
}

}  // namespace

CStampFileRead ReadStampFile(const std::string& path, CKernel& kernel, std::optional<CSize> limit) {
    CStampFileRead read;
    const auto fault = [&read](StampFileFault f) {
        read.fault = f;
        return read;
    };
    const COpenedFile opened = OpenRegularFile(path);
    if (!opened) {
        read.reason = opened.reason;
        return fault(StampFileFault::Open);
    }
    std::FILE* file = opened.Stream();
    uint8_t header[kStampHeaderBytes];
    const size_t got = std::fread(header, 1, sizeof header, file);
    if (got != sizeof header)
        return fault(std::ferror(file) != 0 ? StampFileFault::ReadError : StampFileFault::Size);
    const int32_t width = LoadLE32s(header), height = LoadLE32s(header + 4);
    const int32_t peakX = LoadLE32s(header + 8), peakY = LoadLE32s(header + 12);
    if (!SideInRange(width) || !SideInRange(height)) return fault(StampFileFault::Size);
    read.width = width;
    read.height = height;
    if (limit && (width > limit->cx || height > limit->cy)) return fault(StampFileFault::TooLarge);
    const uint64_t count = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
    // The values the header promises must be there before room is made for them.
    if (opened.bytes < kStampHeaderBytes + 8 * count) return fault(StampFileFault::Short);
    if (peakX < 0 || peakX >= width || peakY < 0 || peakY >= height)
        return fault(StampFileFault::Peak);
    std::vector<double> values;
    std::vector<uint8_t> chunk;
    try {
        values.resize(static_cast<size_t>(count));
        chunk.resize(kChunkValues * 8);
    } catch (const std::bad_alloc&) {
        return fault(StampFileFault::Memory);
    }
    for (uint64_t done = 0; done < count;) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(kChunkValues, count - done));
        // The file was long enough when it was opened: it shrank or could not be read.
        if (std::fread(chunk.data(), 8, n, file) != n) return fault(StampFileFault::ReadError);
        for (size_t i = 0; i < n; ++i) {
            values[done + i] = LoadLEDouble(chunk.data() + 8 * i);
            // NaN or an infinity would spread through every sum the kernel takes part in.
            if (!std::isfinite(values[done + i])) return fault(StampFileFault::NotFinite);
        }
        done += n;
    }
    kernel.width = width;
    kernel.height = height;
    kernel.peakX = peakX;
    kernel.peakY = peakY;
    kernel.values = std::move(values);
    return read;
}

int ReadRubberStampFreeSize(const std::string& path, RubberStamp& stamp) {
    stamp = RubberStamp{};
    switch (ReadStampFile(path, stamp).fault) {
        case StampFileFault::None:
            return 1;
        case StampFileFault::Open:
            ShowMessage(path + " Read Stamp File error aa", MessageIcon::Exclamation);
            break;
        case StampFileFault::ReadError:
            ShowMessage(path + " Read Stamp File error ex", MessageIcon::Exclamation);
            break;
        case StampFileFault::Size:
        case StampFileFault::TooLarge:
        case StampFileFault::Short:
            ShowMessage(kSizeError);
            break;
        case StampFileFault::Peak:
            ShowMessage(kPeakError);
            break;
        case StampFileFault::Memory:
            ShowMessage("Could not allocate memory for ReadRubberStampFreeSize ");
            break;
        case StampFileFault::NotFinite:
            ShowMessage(path + kNotFiniteError, MessageIcon::Exclamation);
            break;
    }
    return 0;
}

int CheckStampValues(const RubberStamp& stamp, const std::string& path) {
    if (stamp.IsEmpty()) {
        ShowMessage(path + ": there is no stamp.");
        return 0;
    }
    const double* values = stamp.Values();
    const size_t count = static_cast<size_t>(stamp.width) * static_cast<size_t>(stamp.height);
    double sum = 0.0, magnitude = 0.0;
    for (size_t i = 0; i < count; ++i) {
        sum += values[i];
        magnitude += std::fabs(values[i]);
    }
    // Each picture value, at most 255, is multiplied by every stamp value and summed.
    if (!std::isfinite(magnitude * 255.0)) {
        ShowMessage(path + ": the stamp's values are too large: their sums are not finite.");
        return 0;
    }
    if (!(std::fabs(sum) > 1e-9 * magnitude)) {
        ShowMessage(path + ": the stamp sums to 0: a picture convolved with it loses its light.");
        return 0;
    }
    return 1;
}

int WriteRubberStamp(const std::string& path, const double* values, int32_t width, int32_t height,
                     int32_t peakX, int32_t peakY) {
    constexpr const char* kError = " Write Stamp File error";
    // A stamp the reader would refuse is not written.
    if (values == nullptr || !SideInRange(width) || !SideInRange(height)) {
        ShowMessage(path + kError, MessageIcon::Exclamation);
        return 0;
    }
    return WriteStampRows(path, kError, values, width, CStampRect{0, height, width, 0}, peakX,
                          peakY);
}

int WriteRubberStampReduced(const std::string& path, const double* values, int32_t fullWidth,
                            int32_t fullHeight, const CStampRect& rect, int32_t peakX,
                            int32_t peakY) {
    constexpr const char* kError = " Write WriteRubberStampReduced File error";
    const bool inside =
        rect.left >= 0 && rect.bottom >= 0 && rect.right <= fullWidth && rect.top <= fullHeight;
    if (values == nullptr || !inside || !SideInRange(rect.Width()) || !SideInRange(rect.Height())) {
        ShowMessage(path + kError, MessageIcon::Exclamation);
        return 0;
    }
    return WriteStampRows(path, kError, values, fullWidth, rect, peakX - rect.left,
                          peakY - rect.bottom);
}
