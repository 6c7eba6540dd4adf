#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

#include "platform/geometry.h"
#include "platform/memory_block.h"

// Header sizes of the packed bitmap: the Windows BITMAPINFOHEADER the system creates and
// the older BITMAPCOREHEADER that reading also accepts.
inline constexpr int32_t kInfoHeaderBytes = 40;
inline constexpr int32_t kCoreHeaderBytes = 12;

// Field offsets in the 40-byte header.
inline constexpr size_t kBiSize = 0;
inline constexpr size_t kBiWidth = 4;
inline constexpr size_t kBiHeight = 8;
inline constexpr size_t kBiPlanes = 12;
inline constexpr size_t kBiBitCount = 14;
inline constexpr size_t kBiCompression = 16;
inline constexpr size_t kBiSizeImage = 20;
inline constexpr size_t kBiXPelsPerMeter = 24;
inline constexpr size_t kBiYPelsPerMeter = 28;
inline constexpr size_t kBiClrUsed = 32;
inline constexpr size_t kBiClrImportant = 36;

// Field offsets in the 12-byte core header.
inline constexpr size_t kBcWidth = 4;
inline constexpr size_t kBcHeight = 6;
inline constexpr size_t kBcPlanes = 8;
inline constexpr size_t kBcBitCount = 10;

// The largest picture block the system handles: every size in a header, every row offset
// and every block size stays a 32-bit signed value.
inline constexpr int64_t kMaxPictureBlockBytes = INT32_MAX;

// The most pixels a picture read from a file may have; a header declaring more is refused
// before anything is allocated or decoded. 2^27 pixels (a 24-bit block of 384 MiB) holds
// every camera picture; the Fourier engine itself works on at most 4096 x 4096.
inline constexpr int64_t kDefaultMaxPicturePixels = int64_t{1} << 27;

// The limit in force (tests and fuzzing lower it); SetMaxPicturePixels returns the old one.
int64_t MaxPicturePixels();
int64_t SetMaxPicturePixels(int64_t pixels);

// True when a picture of width x height (as a file declares it) may be read: both positive,
// no more pixels than the limit, and its 24-bit block within the system's 32-bit sizes.
bool IsReadablePictureSize(int64_t width, int64_t height);
// Why a declared size is refused, in words.
std::string PictureSizeRefusal(int64_t width, int64_t height);

// Move-only owner of the one memory block that holds a packed bitmap: header, colour
// table, then the pixel rows bottom row first. A null handle means there is no picture.
class DibHandle {
public:
    DibHandle() = default;
    explicit DibHandle(CMemoryBlock block) : m_block(std::move(block)) {}
    DibHandle(DibHandle&&) noexcept = default;
    DibHandle& operator=(DibHandle&&) noexcept = default;
    DibHandle(const DibHandle&) = delete;
    DibHandle& operator=(const DibHandle&) = delete;

    bool IsNull() const { return m_block.IsNull(); }
    explicit operator bool() const { return !m_block.IsNull(); }

    uint8_t* Data() { return m_block.Data(); }
    const uint8_t* Data() const { return m_block.Data(); }
    // The size of the whole block, which may be larger than the picture it holds.
    size_t Size() const { return m_block.Size(); }

    CMemoryBlock& Block() { return m_block; }
    void Free() { m_block.Free(); }

private:
    CMemoryBlock m_block;
};

// Bytes of one row of bitWidth bits, padded to a multiple of 4 bytes.
int32_t RowBytes(int32_t bitWidth);
// The same rule for size arithmetic that must not overflow.
int64_t RowBytes64(int64_t bitWidth);

// Address right after the header (40 bytes, or 12 for a core header) plus offset.
uint8_t* PicturePixels(uint8_t* header, int32_t offset);
const uint8_t* PicturePixels(const uint8_t* header, int32_t offset);

// What the header says about the picture. Any header whose size field is not 40 is
// described as a core header.
struct PictureDescription {
    bool isInfoHeader = true;
    int32_t headerBytes = kInfoHeaderBytes;
    CSize size;
    int32_t colors = 0;           // entries in the colour table
    int32_t colorTableBytes = 0;  // including the three masks of a 32-bit picture
    int32_t planes = 0;
    int32_t bitCount = 0;
    int32_t colorTableOffset = 0;  // from the header start
    int32_t pixelOffset = 0;       // from the header start
};

// The header must be readable for its kind: 40 bytes, or 12 for a core header. Values
// that do not fit 32 bits (a lying colour count) are clamped to INT32_MAX.
PictureDescription DescribePicture(const uint8_t* header);

// True when the block holds a whole header of its kind, a positive size and every pixel
// row the header describes (uncompressed rows).
bool IsWholePicture(const DibHandle& dib);

// What the writers of RGB files (JPEG, PNG) check before they write: a whole 24-bit picture
// with a 40-byte header and no colour table ("<path> no bitmap connected to it." or "<path>
// failed to process." otherwise), and a row of width * 3 bytes of room ("No mem allocated").
// True with its description and the row; false with the message shown.
bool PrepareRgbWrite(const std::string& path, const DibHandle& dib, PictureDescription& d,
                     CMemoryBlock& rgbRow);
void PictureSizeAndDepth(const uint8_t* header, CSize& size, int32_t& bitCount);

// Fills the 40-byte header of a 24-bit bottom-up picture without colour table.
void InitHeader24(uint8_t* header, int32_t width, int32_t height);

// Bytes of the block of a 24-bit picture (header and padded rows); -1 when the size is
// not positive or the block would not fit the system's 32-bit sizes.
int64_t Picture24Bytes(int64_t width, int64_t height);

// A new 24-bit picture with every pixel byte 50 (padding 0); 1/0, handle null on failure.
int NewGreyPicture(int32_t width, int32_t height, DibHandle& dib);

// A byte copy of the whole block; null for a null source or when memory runs out.
DibHandle CopyHandle(const DibHandle& dib);

// 1 when both pictures are 24-bit and of the same size, else 0 (with a message when both
// hold a picture).
int CheckSameSize(const DibHandle& a, const DibHandle& b);

// Cuts a 24-bit picture to its first `height` stored rows (the bottom of the image) and
// first `width` columns: row i of the result is the first width * 3 bytes of old row i,
// rows packed width * 3 bytes apart; the header becomes a 40-byte one with biWidth width,
// biHeight height and biSizeImage width * 3 * height, without colour table. A picture kept
// with a core header or a colour table is rebuilt in a new block; a picture that gets
// smaller moves to a block of its own size when memory allows. width must be a positive
// multiple of 4 and the cut must lie inside the picture. Returns 1/0 (0 leaves the picture
// as it was).
int CutPicture(DibHandle& dib, int32_t width, int32_t height);

// Where the pixel rows of a picture lie and how their pixels give colours, for turning any
// stored layout into a 24-bit picture.
struct CPixelSource {
    const uint8_t* rows = nullptr;  // the first stored row
    int64_t rowBytes = 0;           // from one stored row to the next
    bool topDown = false;           // the first stored row is the top of the image
    int32_t bitCount = 0;           // 1, 4 or 8 (through the table), 16, 24 or 32
    const uint8_t* table = nullptr;
    int32_t entryBytes = 4;  // 4 (blue, green, red, 0) or 3 (blue, green, red)
    int32_t colors = 0;      // entries present in the table; other indices are black
    // 16 and 32 bits: where red, green and blue lie in the little-endian pixel value.
    uint32_t masks[3] = {0x00FF0000u, 0x0000FF00u, 0x000000FFu};
};

// True when every mask is 0 or one run of set bits (what ConvertPixelsTo24 can take apart).
bool AreUsableMasks(const uint32_t (&masks)[3]);

// A new 24-bit bottom-up picture (40-byte header) of width x height from the source;
// empty when the size is not valid or memory runs out. Masks of more than 8 bits keep their
// highest 8, narrower ones are scaled to 0..255.
CMemoryBlock ConvertPixelsTo24(const CPixelSource& source, int32_t width, int32_t height);
