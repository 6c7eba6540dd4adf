// The ".ft" Fourier data file: an 8-byte header with W/2 and H/2 (little-endian int32),
// then the 3*W*H spectrum entries in spectrum order, each the real and the imaginary part
// as little-endian IEEE 754 doubles. No magic number, no version. A side of odd length
// (only the FFT engine takes those) is stored negated in its field, -W instead of W/2:
// a reader of half sides refuses such a field (no side is negative) instead of taking the
// entries for a picture of another size, and the files of even sides stay as they were.
//
// Reading is all or nothing for files that are too short: the length is checked against
// the header before any entry is read, and a file shorter than its header promises fails
// without touching the spectrum. A file longer than promised is read up to the promised
// length; what follows is ignored. A read error (the system's "File error") in the middle
// of the entries may leave the entries before it replaced. Writing goes beside the target and is
// renamed over it only when complete, so a failed write keeps the file that was there.
//
// After the entries the program writes the print of the picture the spectrum was made from:
// the 8 bytes "ZVPRINT1", int32 W, int32 H (the picture's sides, not header fields) and the
// uint64 XXH3-64 hash of its pixel bytes, all little-endian. A file without it (the layout
// before the print) still reads; then only its age tells whether it is older than its
// picture.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <new>

#include "fourier/fourier.h"
#include "platform/byte_order.h"
#include "platform/file_open.h"
#include "platform/safe_file.h"
#include "platform/user_interface.h"

#define XXH_INLINE_ALL
#include <xxhash.h>

namespace {

constexpr size_t kHeaderBytes = 8;
constexpr size_t kEntryBytes = 16;
constexpr size_t kChunkEntries = 4096;  // 64 KB per read or write
constexpr const char* kShorterThanHeader = "the file is shorter than its header promises";
constexpr size_t kPrintBytes = 24;
constexpr char kPrintMagic[8] = {'Z', 'V', 'P', 'R', 'I', 'N', 'T', '1'};

void StorePrint(uint8_t (&bytes)[kPrintBytes], const CFourier::PicturePrint& print) {
    std::memcpy(bytes, kPrintMagic, sizeof kPrintMagic);
    StoreLE32s(bytes + 8, print.width);
    StoreLE32s(bytes + 12, print.height);
    for (int i = 0; i < 8; ++i) bytes[16 + i] = static_cast<uint8_t>(print.hash >> (8 * i));
}

bool LoadPrint(const uint8_t (&bytes)[kPrintBytes], CFourier::PicturePrint& print) {
    if (std::memcmp(bytes, kPrintMagic, sizeof kPrintMagic) != 0) return false;
    print.width = LoadLE32s(bytes + 8);
    print.height = LoadLE32s(bytes + 12);
    print.hash = 0;
    for (int i = 0; i < 8; ++i) print.hash |= uint64_t{bytes[16 + i]} << (8 * i);
    return true;
}

// The print after `dataBytes` of an open file of `fileBytes`; false when it has none.
bool ReadPrintAt(std::FILE* file, uint64_t dataBytes, uint64_t fileBytes,
                 CFourier::PicturePrint& print) {
    if (fileBytes < dataBytes + kPrintBytes) return false;
    if (std::fseek(file, static_cast<long>(dataBytes), SEEK_SET) != 0) return false;
    uint8_t bytes[kPrintBytes];
    if (std::fread(bytes, 1, kPrintBytes, file) != kPrintBytes) return false;
    return LoadPrint(bytes, print);
}

// Opens an existing regular file for reading; null when it cannot be opened (the reason
// is kept as the last file error).
CFilePtr OpenForReading(const std::string& path, uint64_t& fileBytes) {
    COpenedFile opened = OpenRegularFile(path);
    fileBytes = opened.bytes;
    return std::move(opened.file);
}

enum class ReadResult { Done, Short, Error };

ReadResult ReadBytes(std::FILE* file, uint8_t* bytes, size_t count) {
    if (std::fread(bytes, 1, count, file) == count) return ReadResult::Done;
    return std::ferror(file) != 0 ? ReadResult::Error : ReadResult::Short;
}

// The 8-byte header. A file too short for it fails quietly; a read error shows the path
// followed by the reader's error text.
bool ReadHeader(std::FILE* file, const std::string& path, const char* errorText,
                uint8_t (&header)[kHeaderBytes]) {
    switch (ReadBytes(file, header, kHeaderBytes)) {
        case ReadResult::Done:
            return true;
        case ReadResult::Short:
            return false;
        case ReadResult::Error:
            break;
    }
    ShowMessage(path + errorText, MessageIcon::Exclamation);
    return false;
}

std::unique_ptr<uint8_t[]> ChunkBuffer() {
    return std::unique_ptr<uint8_t[]>(new (std::nothrow) uint8_t[kChunkEntries * kEntryBytes]);
}

}  // namespace

int CFourier::WriteFourierFile(const std::string& path, const Complex* spectrum) const {
    const auto buffer = ChunkBuffer();
    if (!buffer) {
        SetLastFileError("Not enough memory");
        return 0;
    }
    CSafeFileWriter writer;
    // A failure leaves its reason in words for the caller's message.
    const auto failed = [&writer] {
        SetLastFileError(writer.ErrorReason());
        return 0;
    };
    if (writer.Open(path) != 0) return failed();

    uint8_t header[kHeaderBytes];
    StoreLE32s(header, HeaderField(m_width));
    StoreLE32s(header + 4, HeaderField(m_height));
    if (!writer.Write(header, sizeof header)) return failed();

    const size_t entries = 3 * static_cast<size_t>(m_planeSize);
    for (size_t done = 0; done < entries;) {
        const size_t count = std::min(kChunkEntries, entries - done);
        uint8_t* p = buffer.get();
        for (size_t i = 0; i < count; ++i, p += kEntryBytes) {
            StoreLEDouble(p, spectrum[done + i].re);
            StoreLEDouble(p + 8, spectrum[done + i].im);
        }
        if (!writer.Write(buffer.get(), count * kEntryBytes)) return failed();
        done += count;
    }
    if (m_printKnown) {
        uint8_t print[kPrintBytes];
        StorePrint(print, m_print);
        if (!writer.Write(print, sizeof print)) return failed();
    }
    return writer.Commit() ? 1 : failed();
}

int CFourier::ReadFourierFile(const std::string& path, Complex* spectrum) const {
    uint64_t fileBytes = 0;
    const CFilePtr file = OpenForReading(path, fileBytes);
    if (!file) return 0;

    uint8_t header[kHeaderBytes];
    SetLastFileError(kShorterThanHeader);
    if (!ReadHeader(file.get(), path, "File error", header)) return 0;
    SetLastFileError({});
    if (LoadLE32s(header) != HeaderField(m_width) ||
        LoadLE32s(header + 4) != HeaderField(m_height)) {
        ShowMessage("Error in CFourier file size data. " +
                    Format("%s holds the spectrum of another size than the %i x %i picture.",
                           path.c_str(), m_width, m_height));
        SetLastFileError(path + ": the spectrum is of another size");
        return 0;
    }

    const size_t entries = 3 * static_cast<size_t>(m_planeSize);
    if (fileBytes < kHeaderBytes + entries * kEntryBytes) {
        SetLastFileError(path + ": " + kShorterThanHeader);
        return 0;
    }
    const auto buffer = ChunkBuffer();
    if (!buffer) return 0;
    for (size_t done = 0; done < entries;) {
        const size_t count = std::min(kChunkEntries, entries - done);
        switch (ReadBytes(file.get(), buffer.get(), count * kEntryBytes)) {
            case ReadResult::Done:
                break;
            case ReadResult::Short:
                return 0;  // the file shrank while being read
            case ReadResult::Error:
                ShowMessage(path + "File error", MessageIcon::Exclamation);
                return 0;
        }
        const uint8_t* p = buffer.get();
        for (size_t i = 0; i < count; ++i, p += kEntryBytes) {
            const Complex value(LoadLEDouble(p), LoadLEDouble(p + 8));
            if (!std::isfinite(value.re) || !std::isfinite(value.im)) {
                SetLastFileError(path + ": the spectrum holds values that are not finite");
                return 0;
            }
            spectrum[done + i] = value;
        }
        done += count;
    }
    PicturePrint print;
    const bool known =
        ReadPrintAt(file.get(), kHeaderBytes + entries * kEntryBytes, fileBytes, print);
    SetSpectrumPrint(print, known);
    return 1;
}

CFourier::PicturePrint CFourier::PrintOf(const uint8_t* picture) const {
    XXH3_state_t state;
    XXH3_64bits_reset(&state);
    const size_t rowBytes = 3 * static_cast<size_t>(m_width);
    for (int32_t y = 0; y < m_height; ++y)
        XXH3_64bits_update(&state, picture + static_cast<size_t>(y) * m_rowStride, rowBytes);
    return {m_width, m_height, XXH3_64bits_digest(&state)};
}

CFourier::FileMatch CFourier::MatchFourierFile(const std::string& path, const PicturePrint& picture,
                                               const std::string& picturePath) const {
    uint64_t fileBytes = 0;
    const std::string kept = LastFileError();
    const CFilePtr file = OpenForReading(path, fileBytes);
    SetLastFileError(kept);
    if (!file) return FileMatch::Absent;
    uint8_t header[kHeaderBytes];
    if (std::fread(header, 1, kHeaderBytes, file.get()) != kHeaderBytes) return FileMatch::Absent;
    if (LoadLE32s(header) != HeaderField(m_width) || LoadLE32s(header + 4) != HeaderField(m_height))
        return FileMatch::Absent;
    const uint64_t dataBytes = kHeaderBytes + 3 * kEntryBytes * static_cast<uint64_t>(m_planeSize);
    if (fileBytes < dataBytes) return FileMatch::Absent;
    PicturePrint print;
    if (ReadPrintAt(file.get(), dataBytes, fileBytes, print))
        return print == picture ? FileMatch::Matches : FileMatch::Stale;
    if (picturePath.empty()) return FileMatch::Matches;
    std::error_code error;
    const auto spectrumTime = std::filesystem::last_write_time(path, error);
    if (error) return FileMatch::Absent;
    const auto pictureTime = std::filesystem::last_write_time(picturePath, error);
    if (!error && spectrumTime < pictureTime) return FileMatch::Stale;
    return FileMatch::Matches;
}

int CFourier::ReadFourierFileSize(const std::string& path, CSize& halfSize) const {
    uint64_t fileBytes = 0;
    const CFilePtr file = OpenForReading(path, fileBytes);
    if (!file) return 0;

    uint8_t header[kHeaderBytes];
    if (!ReadHeader(file.get(), path, "Read CFourier Size error", header)) return 0;
    halfSize.cx = LoadLE32s(header);
    halfSize.cy = LoadLE32s(header + 4);
    return 1;
}

int CFourier::ReadFourierPictureSize(const std::string& path, CSize& size) {
    uint64_t fileBytes = 0;
    const CFilePtr file = OpenForReading(path, fileBytes);
    if (!file) {
        ShowMessage(WithReason("Read CFourier error", LastFileError()));
        return 0;
    }
    const std::string sizeError = "Error in CFourier file size data. ";
    uint8_t header[kHeaderBytes];
    if (fileBytes < kHeaderBytes) {
        ShowMessage(sizeError + Format("%s holds %llu bytes, fewer than the 8 of its header.",
                                       path.c_str(), static_cast<unsigned long long>(fileBytes)));
        return 0;
    }
    if (!ReadHeader(file.get(), path, "Read CFourier Size error", header)) {
        ShowMessage(sizeError + path + " could not be read whole.");
        return 0;
    }
    // Everything is checked before the caller allocates a picture or a spectrum for it.
    const int64_t width = SideOfHeaderField(LoadLE32s(header));
    const int64_t height = SideOfHeaderField(LoadLE32s(header + 4));
    if (width <= 0 || height <= 0 || width > kMaxSpectrumPixels / height) {
        ShowMessage(sizeError +
                    Format("%s: the header's fields %i and %i name no picture of 1 to %lld "
                           "pixels.",
                           path.c_str(), LoadLE32s(header), LoadLE32s(header + 4),
                           static_cast<long long>(kMaxSpectrumPixels)));
        return 0;
    }
    const uint64_t needed = kHeaderBytes + 3 * kEntryBytes * static_cast<uint64_t>(width * height);
    if (fileBytes < needed) {
        ShowMessage(sizeError + Format("%s holds %llu bytes; the spectrum of a %lld x %lld "
                                       "picture needs %llu.",
                                       path.c_str(), static_cast<unsigned long long>(fileBytes),
                                       static_cast<long long>(width),
                                       static_cast<long long>(height),
                                       static_cast<unsigned long long>(needed)));
        return 0;
    }
    size = {static_cast<int32_t>(width), static_cast<int32_t>(height)};
    return 1;
}

int32_t CFourier::HeaderField(int32_t side) {
    return side % 2 == 0 ? side / 2 : -side;
}

int64_t CFourier::SideOfHeaderField(int32_t field) {
    if (field > 0) return 2 * int64_t{field};
    const int64_t side = -int64_t{field};
    return side % 2 == 1 ? side : 0;
}
