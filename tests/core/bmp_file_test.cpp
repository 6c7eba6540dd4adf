#include "image/bmp_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <array>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "platform/byte_order.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

namespace {

fs::path TempDir(const char* name) {
    return TestTempDir("bmp_" + std::string(name));
}

void WriteBytes(const fs::path& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

Bytes ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// A ".bmp" file: the 14-byte file header, then the parts (info header, table, pixels).
Bytes Bmp(std::initializer_list<Bytes> parts, uint16_t type = 0x4D42) {
    Bytes file(14);
    for (const Bytes& part : parts) std::copy(part.begin(), part.end(), std::back_inserter(file));
    StoreLE16(file.data(), type);
    StoreLE32(file.data() + 2, static_cast<uint32_t>(file.size()));
    return file;
}

Bytes Info(int32_t width, int32_t height, uint16_t bits, uint32_t colorsUsed = 0,
           uint32_t headerBytes = 40, uint16_t planes = 1) {
    Bytes h(40);
    StoreLE32(h.data(), headerBytes);
    StoreLE32s(h.data() + kBiWidth, width);
    StoreLE32s(h.data() + kBiHeight, height);
    StoreLE16(h.data() + kBiPlanes, planes);
    StoreLE16(h.data() + kBiBitCount, bits);
    StoreLE32(h.data() + kBiClrUsed, colorsUsed);
    return h;
}

// The same file with the file header's pixel offset set.
Bytes WithOffset(Bytes file, uint32_t offset) {
    StoreLE32(file.data() + 10, offset);
    return file;
}

// An info header of any size with the compression field set; for headers of 52 bytes and
// more the red, green and blue masks lie at offset 40.
Bytes Header(uint32_t headerBytes, int32_t width, int32_t height, uint16_t bits,
             uint32_t compression, std::array<uint32_t, 3> masks = {0, 0, 0},
             uint32_t colorsUsed = 0) {
    Bytes h = Info(width, height, bits, colorsUsed, headerBytes);
    h.resize(headerBytes);
    StoreLE32(h.data() + kBiCompression, compression);
    if (headerBytes >= 52)
        for (size_t i = 0; i < 3; ++i) StoreLE32(h.data() + 40 + 4 * i, masks[i]);
    return h;
}

// The header with its image size field set (the length of run-length data).
Bytes StoredSize(Bytes header, uint32_t bytes) {
    StoreLE32(header.data() + kBiSizeImage, bytes);
    return header;
}

Bytes Masks(uint32_t red, uint32_t green, uint32_t blue) {
    Bytes m(12);
    StoreLE32(m.data(), red);
    StoreLE32(m.data() + 4, green);
    StoreLE32(m.data() + 8, blue);
    return m;
}

Bytes Core(uint8_t width, uint8_t height, uint8_t bits) {
    return {12, 0, 0, 0, width, 0, height, 0, 1, 0, bits, 0};
}

// A colour table whose entry i is (i, 255 - i, 7), entries of 4 or 3 bytes.
Bytes Table(int entries, size_t entryBytes) {
    Bytes table;
    for (int i = 0; i < entries; ++i) {
        const Bytes entry = {static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), 7, 0};
        table.insert(table.end(), entry.begin(), entry.begin() + static_cast<long>(entryBytes));
    }
    return table;
}

struct ReadResult {
    int result = 0;
    DibHandle dib;
    CSize size{-1, -1};
    std::vector<std::string> messages;
    // Blue, green, red of pixel (x, y) of the 24-bit picture read.
    Bytes Pixel(int32_t x, int32_t y) const {
        const size_t row = static_cast<size_t>(RowBytes(DescribePicture(dib.Data()).size.cx * 24));
        const uint8_t* p =
            dib.Data() + 40 + static_cast<size_t>(y) * row + static_cast<size_t>(x) * 3;
        return {p[0], p[1], p[2]};
    }
};

ReadResult ReadFile(const fs::path& path, DibHandle start = {}) {
    CScriptedUi ui;
    CUiScope scope(ui);
    ReadResult r;
    r.dib = std::move(start);
    r.result = ReadBmpFile(path.string(), r.dib, r.size);
    r.messages = ui.Messages();
    return r;
}

ReadResult ReadFileOf(const Bytes& file, DibHandle start = {}) {
    const fs::path path = TempDir("read") / "read.bmp";
    WriteBytes(path, file);
    return ReadFile(path, std::move(start));
}

}  // namespace

TEST(BmpRead, ConvertsIndexedPicturesThroughTheColourTable) {
    // 1 bit, width 3: one byte a row, the most significant bit first; rows of 12 bytes.
    ReadResult r = ReadFileOf(Bmp({Info(3, 1, 1), Table(2, 4), {0xA0, 0, 0, 0}}));
    ASSERT_EQ(r.result, 1);
    EXPECT_EQ(r.size, (CSize{3, 1}));
    ASSERT_EQ(r.dib.Size(), 40u + 12);
    EXPECT_EQ(DescribePicture(r.dib.Data()).bitCount, 24);
    EXPECT_EQ(Bytes(r.dib.Data() + 40, r.dib.Data() + 52),
              (Bytes{1, 254, 7, 0, 255, 7, 1, 254, 7, 0, 0, 0}));

    // 4 bits, odd width: the last pixel from the high half of the last byte; row order kept.
    r = ReadFileOf(Bmp({Info(3, 2, 4), Table(16, 4), {0x12, 0x3F, 0, 0, 0x45, 0x6F, 0, 0}}));
    ASSERT_EQ(r.result, 1);
    EXPECT_EQ(r.Pixel(2, 0), (Bytes{3, 252, 7}));
    EXPECT_EQ(r.Pixel(0, 1), (Bytes{4, 251, 7}));
    EXPECT_EQ(r.Pixel(2, 1), (Bytes{6, 249, 7}));

    // 8 bits with 100 colours used: pixels after 400 bytes of table.
    r = ReadFileOf(Bmp({Info(2, 1, 8, 100), Table(100, 4), {99, 0, 0, 0}}));
    ASSERT_EQ(r.result, 1);
    EXPECT_EQ(r.Pixel(0, 0), (Bytes{99, 156, 7}));
    EXPECT_EQ(r.Pixel(1, 0), (Bytes{0, 255, 7}));

    // An index beyond a 2-entry table is black. The file goes on after the rows, so a reader
    // that looked past the table would find colours there.
    r = ReadFileOf(Bmp({Info(2, 1, 8, 2), Table(2, 4), {200, 1, 0, 0}, Bytes(1024, 0xAB)}));
    ASSERT_EQ(r.result, 1);
    EXPECT_EQ(r.Pixel(0, 0), (Bytes{0, 0, 0}));
    EXPECT_EQ(r.Pixel(1, 0), (Bytes{1, 254, 7}));

    // A core header has 3-byte table entries.
    r = ReadFileOf(Bmp({Core(2, 1, 8), Table(256, 3), {5, 250, 0, 0}}));
    ASSERT_EQ(r.result, 1);
    EXPECT_EQ(r.Pixel(1, 0), (Bytes{250, 5, 7}));
}

TEST(BmpRead, Keeps24BitPicturesAsReadAndDrops32BitMasks) {
    Bytes rows(2 * 8);
    for (size_t i = 0; i < rows.size(); ++i) rows[i] = static_cast<uint8_t>(i + 1);
    ReadResult r;
    for (const Bytes& header : {Info(2, 2, 24), Core(2, 2, 24)}) {
        const Bytes file = Bmp({header, rows});
        r = ReadFileOf(file);
        ASSERT_EQ(r.result, 1);
        EXPECT_EQ(r.size, (CSize{2, 2}));
        EXPECT_EQ(Bytes(r.dib.Data(), r.dib.Data() + file.size() - 14),
                  Bytes(file.begin() + 14, file.end()));
    }
    // The core header was kept: writing it back is refused and leaves no file.
    const fs::path dir = TempDir("core");
    EXPECT_EQ(WriteBmpFile((dir / "back.bmp").string(), r.dib, 0), 0);
    EXPECT_TRUE(fs::is_empty(dir));

    // 32 bits: pixels where the file header says, 12 bytes after the header here; the
    // fourth byte is dropped.
    r = ReadFileOf(
        WithOffset(Bmp({Info(2, 1, 32), Bytes(12, 0xEE), {1, 2, 3, 4, 5, 6, 7, 8}}), 66));
    ASSERT_EQ(r.result, 1);
    EXPECT_EQ(Bytes(r.dib.Data() + 40, r.dib.Data() + 48), (Bytes{1, 2, 3, 5, 6, 7, 0, 0}));
}

TEST(BmpRead, RefusesMalformedFilesWithoutReadingPastThem) {
    const Bytes pixel = {0, 0, 0, 0};
    const std::vector<std::pair<const char*, Bytes>> cases = {
        {"empty file", {}},
        {"short file header", {'B', 'M', 0, 0, 0}},
        {"wrong magic", Bmp({Info(1, 1, 24), pixel}, 0x4E42)},
        {"no info header", Bmp({{40, 0, 0, 0, 1}})},
        {"2 bits", Bmp({Info(1, 1, 2), Table(4, 4), pixel})},
        {"two planes", Bmp({Info(1, 1, 24, 0, 40, 2), pixel})},
        // Read as a core header, this would be a whole 1 x 1 24-bit picture.
        {"108-byte header", Bmp({Info(0x10001, 0x180001, 24, 0, 108), Bytes(68), pixel})},
        {"zero width", Bmp({Info(0, 1, 24), pixel})},
        {"rows missing", Bmp({Info(4, 4, 24), Bytes(24)})},  // 48 promised
        {"table missing", Bmp({Info(1, 1, 8), Table(4, 4), pixel})},
        {"lying colour count", Bmp({Info(1, 1, 8, 0x40000000), Table(4, 4), pixel})},
        {"masks missing", Bmp({Header(40, 1, 1, 32, 3), pixel})},
        {"masks not one run of bits", Bmp({Header(40, 1, 1, 32, 3), Masks(0xF0F0, 0, 0), pixel})},
        {"bit fields on 24 bits", Bmp({Header(40, 1, 1, 24, 3), Masks(0xFF, 0, 0), pixel})},
        // Index pictures whose colour count or pixel offset leaves them without colours.
        {"more colours than indices", Bmp({Info(1, 1, 8, 257), Table(257, 4), pixel})},
        {"a million colours, no table", WithOffset(Bmp({Info(4, 2, 8, 1000000), Bytes(8, 1)}), 54)},
        {"no room for a table", WithOffset(Bmp({Info(4, 1, 8), Bytes(4, 1), Bytes(1024)}), 54)},
        // Run-length data that does not describe the picture.
        // (A row of 2 pixels of 8 bits is padded to 4.)
        {"run past the row", Bmp({Header(40, 2, 2, 8, 1, {}, 4), Table(4, 4), {5, 1, 0, 1}})},
        {"runs past the row",
         Bmp({Header(40, 2, 2, 8, 1, {}, 4), Table(4, 4), {3, 1, 2, 1, 0, 1}})},
        {"absolute run past the row",
         Bmp({Header(40, 2, 2, 8, 1, {}, 4), Table(4, 4), {0, 5, 1, 2, 3, 1, 2, 0, 0, 1}})},
        {"run past the last row",
         Bmp({Header(40, 2, 2, 8, 1, {}, 4), Table(4, 4), {2, 1, 0, 0, 2, 1, 0, 0, 2, 1, 0, 1}})},
        {"end of line past the last row",
         Bmp({Header(40, 2, 2, 8, 1, {}, 4), Table(4, 4), {0, 0, 0, 0, 0, 0, 0, 1}})},
        {"delta out of the row",
         Bmp({Header(40, 2, 2, 8, 1, {}, 4), Table(4, 4), {0, 2, 5, 0, 0, 1}})},
        {"delta out of the picture",
         Bmp({Header(40, 2, 2, 8, 1, {}, 4), Table(4, 4), {0, 2, 0, 3, 0, 1}})},
        {"no end of bitmap", Bmp({Header(40, 2, 2, 8, 1, {}, 4), Table(4, 4), {2, 1, 0, 0, 1, 1}})},
        {"truncated absolute run", Bmp({Header(40, 4, 1, 8, 1, {}, 4), Table(4, 4), {0, 3, 1, 2}})},
        {"truncated delta", Bmp({Header(40, 4, 2, 8, 1, {}, 4), Table(4, 4), {0, 2, 1}})},
        {"run-length 4 past the row", Bmp({Header(40, 3, 1, 4, 2), Table(16, 4), {9, 0x12, 0, 1}})},
        {"run-length 4 absolute run truncated",
         Bmp({Header(40, 6, 1, 4, 2), Table(16, 4), {0, 5, 0x12, 0x34}})},
        {"run-length data beyond its stated size",
         Bmp({StoredSize(Header(40, 2, 2, 8, 1, {}, 4), 4),
              Table(4, 4),
              {2, 1, 0, 0, 2, 1, 0, 1}})},
        {"run-length rows from the top",
         Bmp({Header(40, 2, -1, 8, 1, {}, 4), Table(4, 4), {2, 1, 0, 1}})},
        {"run-length 8 on 4 bits", Bmp({Header(40, 2, 1, 4, 1), Table(16, 4), {2, 1, 0, 1}})},
        {"run-length on 24 bits", Bmp({Header(40, 1, 1, 24, 1), {1, 9, 0, 1}})},
        // Bit fields that are not fields of the 16-bit pixel, or that are missing.
        {"16-bit masks beyond the pixel",
         Bmp({Header(40, 1, 1, 16, 3), Masks(0x1F0000, 0x07E0, 0x001F), pixel})},
        {"16-bit masks sharing bits",
         Bmp({Header(40, 1, 1, 16, 3), Masks(0xF800, 0xFC00, 0x001F), pixel})},
        {"pixels where the masks belong",
         WithOffset(Bmp({Header(40, 2, 1, 16, 3), {0x00, 0xF8, 0xE0, 0x07}, Bytes(12, 0x10)}), 54)},
        {"JPEG inside", Bmp({Header(40, 1, 1, 24, 4), pixel, Bytes(64, 0xFF)})},
        {"PNG inside", Bmp({Header(40, 1, 1, 24, 5), pixel, Bytes(64, 0x89)})},
        {"64-byte header", Bmp({Header(64, 1, 1, 24, 0), pixel})},
        {"core rows missing", Bmp({Core(4, 4, 24), Bytes(40)})},
        // Every row present, but width x 24 bits would overflow 32-bit row arithmetic.
        {"huge width", Bmp({Info(89478485, 1, 1), Table(2, 4), Bytes(11184812)})},
    };
    const std::string path = (TempDir("read") / "read.bmp").string();
    for (const auto& [name, bytes] : cases) {
        DibHandle start;
        NewGreyPicture(4, 4, start);
        const ReadResult r = ReadFileOf(bytes, std::move(start));
        EXPECT_EQ(r.result, 0) << name;
        EXPECT_TRUE(r.dib.IsNull()) << name;
        EXPECT_EQ(r.size, (CSize{0, 0})) << name;
        EXPECT_EQ(r.messages, std::vector<std::string>{"Failed to read 2: " + path}) << name;
    }
}

TEST(BmpRead, ReusesALargeEnoughBlockAndReportsOpenAndReadFailures) {
    DibHandle big;
    NewGreyPicture(16, 16, big);
    const uint8_t* block = big.Data();
    const size_t bigSize = big.Size();
    ReadResult r = ReadFileOf(Bmp({Info(1, 1, 24), {9, 8, 7, 0}}), std::move(big));
    ASSERT_EQ(r.result, 1);
    EXPECT_EQ(r.dib.Data(), block);
    ASSERT_EQ(r.dib.Size(), bigSize);
    EXPECT_EQ(r.Pixel(0, 0), (Bytes{9, 8, 7}));
    for (size_t at = 44; at < bigSize; ++at) ASSERT_EQ(r.dib.Data()[at], 0) << at;

    // A file that cannot be opened (or is a folder) leaves the handle as it was.
    const fs::path dir = TempDir("open");
    for (const fs::path& path : {dir / "missing.bmp", dir}) {
        r = ReadFile(path, std::move(r.dib));
        EXPECT_EQ(r.result, 0);
        EXPECT_FALSE(r.dib.IsNull());
        EXPECT_EQ(r.messages, std::vector<std::string>{
                                  "Failed to open: " + path.string() + ": " +
                                  (path == dir ? "Is a directory" : "No such file or directory")});
    }
    // A file error while reading is told apart from a bad picture: /proc/self/mem opens as a
    // regular file but cannot seek to its end.
    r = ReadFile("/proc/self/mem", std::move(r.dib));
    EXPECT_EQ(r.result, 0);
    EXPECT_TRUE(r.dib.IsNull());
    ASSERT_EQ(r.messages.size(), 1u);
    EXPECT_EQ(r.messages[0].rfind("Failed to read: /proc/self/mem: ", 0), 0u) << r.messages[0];
}

TEST(BmpWrite, WritesFileHeaderInfoHeaderAndRows) {
    const fs::path path = TempDir("write") / "out.bmp";
    DibHandle dib;
    ASSERT_EQ(NewGreyPicture(5, 2, dib), 1);
    dib.Data()[40] = 1;                       // first byte of the bottom row
    dib.Data()[40 + 16] = 2;                  // first byte of the top row
    StoreLE32(dib.Data() + kBiSizeImage, 0);  // recomputed when written
    ASSERT_EQ(WriteBmpFile(path.string(), dib, 0), 1);

    const Bytes file = ReadBytes(path);
    ASSERT_EQ(file.size(), 14u + 40 + 32);
    EXPECT_EQ(Bytes(file.begin(), file.begin() + 14),
              (Bytes{'B', 'M', 86, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0}));
    EXPECT_EQ(Bytes(file.begin() + 14, file.begin() + 54),
              (Bytes{40, 0, 0, 0, 5, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0,
                     32, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  0, 0, 0, 0, 0}));
    EXPECT_EQ(Bytes(file.begin() + 54, file.end()), Bytes(dib.Data() + 40, dib.Data() + 72));
    const ReadResult back = ReadFile(path);
    ASSERT_EQ(back.result, 1);
    EXPECT_EQ(Bytes(back.dib.Data(), back.dib.Data() + 72), Bytes(dib.Data(), dib.Data() + 72));
}

TEST(BmpWrite, ReportsFailuresAndNeverDestroysTheOldFile) {
    const fs::path dir = TempDir("write_fail");
    const fs::path target = dir / "old.bmp";
    WriteBytes(target, {'o', 'l', 'd'});
    CScriptedUi ui;
    CUiScope scope(ui);
    DibHandle none;
    EXPECT_EQ(WriteBmpFile(target.string(), none, 0), 0);
    DibHandle dib;
    NewGreyPicture(64, 64, dib);
    const std::string missing = (dir / "no" / "x.bmp").string();
    EXPECT_EQ(WriteBmpFile(missing, dib, 0), 0);
    // Files may grow to 1 KiB only: the write fails half way.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{}, limit{};
    getrlimit(RLIMIT_FSIZE, &old);
    limit = {1024, old.rlim_max};
    setrlimit(RLIMIT_FSIZE, &limit);
    EXPECT_EQ(WriteBmpFile(target.string(), dib, 0), 0);
    setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_EQ(ui.Messages(),
              (std::vector<std::string>{target.string() + " no bitmap connected to it.",
                                        missing + " failed to open 1a File error 2: No such file "
                                                  "or directory",
                                        target.string() + " failed to process. File too large"}));
    EXPECT_EQ(ReadBytes(target), (Bytes{'o', 'l', 'd'}));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

TEST(BmpRead, ReadsTheLayoutsOfOtherPrograms) {
    // 32 bits without masks (compression 0): the pixels follow the header at once.
    ReadResult r = ReadFileOf(Bmp({Info(2, 1, 32), {1, 2, 3, 4, 5, 6, 7, 8}}));
    ASSERT_EQ(r.result, 1);
    EXPECT_EQ(r.Pixel(0, 0), (Bytes{1, 2, 3}));
    EXPECT_EQ(r.Pixel(1, 0), (Bytes{5, 6, 7}));

    // 32 bits with bit fields after a 40-byte header: red in the low byte, blue above it.
    r = ReadFileOf(
        Bmp({Header(40, 1, 1, 32, 3), Masks(0x000000FF, 0x0000FF00, 0x00FF0000), {10, 20, 30, 0}}));
    ASSERT_EQ(r.result, 1);
    EXPECT_EQ(r.Pixel(0, 0), (Bytes{30, 20, 10}));
    // Ten bits a colour keep their highest eight; five bits are scaled to 0..255.
    Bytes tenBits(4);
    StoreLE32(tenBits.data(), (1023u << 20) | (512u << 10) | 4u);
    r = ReadFileOf(Bmp({Header(40, 1, 1, 32, 3), Masks(0x3FF00000, 0x000FFC00, 0x3FF), tenBits}));
    ASSERT_EQ(r.result, 1);
    EXPECT_EQ(r.Pixel(0, 0), (Bytes{1, 128, 255}));
    Bytes fiveBits(4);
    StoreLE32(fiveBits.data(), (31u << 10) | (16u << 5));
    r = ReadFileOf(Bmp({Header(40, 1, 1, 32, 3), Masks(0x7C00, 0x03E0, 0x001F), fiveBits}));
    ASSERT_EQ(r.result, 1);
    EXPECT_EQ(r.Pixel(0, 0), (Bytes{0, 132, 255}));

    // A V5 header with its masks inside, rows from the top down.
    r = ReadFileOf(Bmp({Header(124, 1, -2, 32, 3, {0x0000FF00, 0x00FF0000, 0xFF000000}),
                        {0, 1, 2, 3, 0, 4, 5, 6}}));
    ASSERT_EQ(r.result, 1);
    EXPECT_EQ(r.size, (CSize{1, 2}));
    EXPECT_EQ(r.Pixel(0, 1), (Bytes{3, 2, 1}));  // the first stored row is the top
    EXPECT_EQ(r.Pixel(0, 0), (Bytes{6, 5, 4}));

    // A V4 header, 24 bits, top-down, odd width: converted to the program's own layout.
    r = ReadFileOf(Bmp({Header(108, 1, -2, 24, 0), {1, 2, 3, 0, 4, 5, 6, 0}}));
    ASSERT_EQ(r.result, 1);
    const PictureDescription d = DescribePicture(r.dib.Data());
    EXPECT_TRUE(d.isInfoHeader);
    EXPECT_EQ(d.size, (CSize{1, 2}));
    EXPECT_EQ(d.pixelOffset, 40);
    EXPECT_EQ(r.Pixel(0, 0), (Bytes{4, 5, 6}));
    EXPECT_EQ(r.Pixel(0, 1), (Bytes{1, 2, 3}));

    // The file header's pixel offset, when the rows fit behind it: a gap of junk is skipped.
    r = ReadFileOf(WithOffset(Bmp({Info(1, 1, 24), Bytes(8, 0xAA), {7, 8, 9, 0}}), 62));
    ASSERT_EQ(r.result, 1);
    EXPECT_EQ(r.Pixel(0, 0), (Bytes{7, 8, 9}));
    // An offset the rows would not fit behind is not used.
    r = ReadFileOf(WithOffset(Bmp({Info(1, 1, 24), {7, 8, 9, 0}}), 60));
    ASSERT_EQ(r.result, 1);
    EXPECT_EQ(r.Pixel(0, 0), (Bytes{7, 8, 9}));
    // An offset that leaves room for two table entries only: other indices are black.
    r = ReadFileOf(WithOffset(Bmp({Info(3, 1, 8), Table(2, 4), {0, 1, 2, 0}, Bytes(1024, 9)}), 62));
    ASSERT_EQ(r.result, 1);
    EXPECT_EQ(r.Pixel(1, 0), (Bytes{1, 254, 7}));
    EXPECT_EQ(r.Pixel(2, 0), (Bytes{0, 0, 0}));
}

TEST(BmpRead, A24BitFileWithAColourTableIsWrittenBackWithoutIt) {
    // Before, the table stayed in the picture and was written out as pixels.
    const Bytes rows = {1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 0, 0};
    ReadResult r = ReadFileOf(Bmp({Info(2, 2, 24, 2), Table(2, 4), rows}));
    ASSERT_EQ(r.result, 1);
    EXPECT_EQ(DescribePicture(r.dib.Data()).pixelOffset, 40);
    EXPECT_EQ(r.Pixel(0, 0), (Bytes{1, 2, 3}));
    EXPECT_EQ(r.Pixel(1, 1), (Bytes{10, 11, 12}));
    const fs::path dir = TempDir("table24");
    ASSERT_EQ(WriteBmpFile((dir / "out.bmp").string(), r.dib, 0), 1);
    const Bytes file = ReadBytes(dir / "out.bmp");
    ASSERT_EQ(file.size(), 54u + rows.size());
    EXPECT_EQ(Bytes(file.begin() + 54, file.end()), rows);

    // A picture the program wrote stays byte for byte what it was, through reading and
    // writing again.
    const Bytes first = file;
    r = ReadFile(dir / "out.bmp");
    ASSERT_EQ(r.result, 1);
    ASSERT_EQ(WriteBmpFile((dir / "again.bmp").string(), r.dib, 0), 1);
    EXPECT_EQ(ReadBytes(dir / "again.bmp"), first);
}

TEST(BmpRead, RefusesDeclaredSizesAboveTheLimitBeforeAllocating) {
    const int64_t old = SetMaxPicturePixels(100);
    const ReadResult small = ReadFileOf(Bmp({Info(10, 10, 8), Table(256, 4), Bytes(120)}));
    const ReadResult large = ReadFileOf(Bmp({Info(11, 10, 8), Table(256, 4), Bytes(120)}));
    SetMaxPicturePixels(old);
    EXPECT_EQ(small.result, 1);
    EXPECT_EQ(large.result, 0);
    EXPECT_TRUE(large.dib.IsNull());
    // A header promising rows the file does not have is refused before its block is taken:
    // 60000 x 60000 at 1 bit would be 450 MB of rows.
    const ReadResult lying = ReadFileOf(Bmp({Info(60000, 60000, 1), Table(2, 4), Bytes(64)}));
    EXPECT_EQ(lying.result, 0);
}

TEST(BmpRead, AColourCountWithoutItsTableIsNotKeptInThePicture) {
    // Found by fuzzing: 24 bits, a colour count of 0xBCBCBCBC and the file header's pixel
    // offset right after the header. The block was kept as read, so the picture in memory
    // announced a table of three billion colours before its pixels.
    const Bytes rows = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12,
                        13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24};
    const ReadResult r = ReadFileOf(WithOffset(Bmp({Info(4, 2, 24, 0xBCBCBCBC), rows}), 54));
    ASSERT_EQ(r.result, 1);
    EXPECT_TRUE(IsWholePicture(r.dib));
    const PictureDescription d = DescribePicture(r.dib.Data());
    EXPECT_EQ(d.bitCount, 24);
    EXPECT_EQ(d.colors, 0);
    EXPECT_EQ(d.pixelOffset, 40);
    EXPECT_EQ(Bytes(r.dib.Data() + 40, r.dib.Data() + 64), rows);
}

namespace {

// Blue, green, red of entry i of Table(): (i, 255 - i, 7).
Bytes Entry(int i) {
    return {static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), 7};
}

// Each row of the picture read, bottom row first, as table entries (-1: black).
void ExpectRows(const ReadResult& r, const std::vector<std::vector<int>>& rows) {
    ASSERT_EQ(r.result, 1) << (r.messages.empty() ? "" : r.messages[0]);
    ASSERT_EQ(r.size,
              (CSize{static_cast<int32_t>(rows[0].size()), static_cast<int32_t>(rows.size())}));
    for (size_t y = 0; y < rows.size(); ++y)
        for (size_t x = 0; x < rows[y].size(); ++x)
            EXPECT_EQ(r.Pixel(static_cast<int32_t>(x), static_cast<int32_t>(y)),
                      rows[y][x] < 0 ? Bytes(3, 0) : Entry(rows[y][x]))
                << "pixel " << x << ", " << y;
}

}  // namespace

TEST(BmpRead, DecodesRunLengthDataWithEveryEscape) {
    // 8 bits, 5 x 4, eight colours: a run and an absolute run of three (the index 9 beyond the
    // table is black; the run is padded to a whole word); a run, then the end of the line;
    // a delta of 2 right and 1 up, over row 2; a run; the end of the bitmap before the row
    // ends. Skipped pixels take the first colour.
    const Bytes rle8 = {2, 2, 0, 3, 4, 5, 9, 0, 0, 0,  // row 0
                        1, 6, 0, 0,                    // row 1
                        0, 2, 2, 1,                    // to (2, 3)
                        2, 7, 0, 1};
    ExpectRows(ReadFileOf(Bmp({Header(40, 5, 4, 8, 1, {}, 8), Table(8, 4), rle8})),
               {{2, 2, 4, 5, -1}, {6, 0, 0, 0, 0}, {0, 0, 0, 0, 0}, {0, 0, 7, 7, 0}});

    // 4 bits: a run of two alternating indices, odd in length; an absolute run of three in two
    // bytes and a run of two; the data ends with the last row complete, without an end of
    // bitmap.
    ExpectRows(
        ReadFileOf(Bmp(
            {Header(40, 5, 2, 4, 2), Table(16, 4), {5, 0x3A, 0, 0, 0, 3, 0x12, 0x30, 2, 0x45}})),
        {{3, 10, 3, 10, 3}, {1, 2, 3, 4, 5}});
    // An absolute run of five in three bytes is padded to four.
    ExpectRows(
        ReadFileOf(Bmp(
            {Header(40, 6, 1, 4, 2), Table(16, 4), {0, 5, 0x12, 0x34, 0x50, 0x00, 1, 0xF0, 0, 1}})),
        {{1, 2, 3, 4, 5, 15}});

    // A row may run on over its padding, as ImageMagick writes rows: 3 pixels of 8 bits are
    // a row of 4, 3 pixels of 4 bits a row of 8. What falls in the padding is dropped.
    ExpectRows(ReadFileOf(Bmp({Header(40, 3, 2, 8, 1, {}, 4),
                               Table(4, 4),
                               {3, 1, 1, 2, 0, 0, 0, 4, 1, 2, 3, 0, 0, 0, 0, 1}})),
               {{1, 1, 1}, {1, 2, 3}});
    ExpectRows(ReadFileOf(Bmp({Header(40, 3, 1, 4, 2), Table(16, 4), {8, 0x45, 0, 1}})),
               {{4, 5, 4}});

    // The pixel offset of the file header is where the data starts; the image size, when
    // given, where it ends (what follows is not read).
    ReadResult r = ReadFileOf(WithOffset(Bmp({StoredSize(Header(40, 2, 1, 8, 1), 4),
                                              Table(4, 4),
                                              Bytes(6, 0xEE),
                                              {2, 3, 0, 1},
                                              {0xFF, 0xFF}}),
                                         14 + 40 + 16 + 6));
    ExpectRows(r, {{3, 3}});
}

TEST(BmpRead, Reads16BitPixelsByTheirFields) {
    // No bit fields: 5 bits each, red highest, the top bit unused; 31 is 255 and 16 is 132.
    ReadResult r = ReadFileOf(Bmp({Info(2, 1, 16), {0xFF, 0xFF, 0x10, 0x42}}));
    ASSERT_EQ(r.result, 1);
    EXPECT_EQ(r.Pixel(0, 0), (Bytes{255, 255, 255}));
    EXPECT_EQ(r.Pixel(1, 0), (Bytes{132, 132, 132}));
    // 5-6-5 fields after a 40-byte header, odd width (rows of 8 bytes): red, green, and a
    // green of 32 in 6 bits (130).
    r = ReadFileOf(Bmp({Header(40, 3, 2, 16, 3),
                        Masks(0xF800, 0x07E0, 0x001F),
                        {0x00, 0xF8, 0xE0, 0x07, 0x00, 0x04, 0, 0, 0x1F, 0, 0, 0, 0, 0, 0, 0}}));
    ASSERT_EQ(r.result, 1);
    EXPECT_EQ(r.Pixel(0, 0), (Bytes{0, 0, 255}));
    EXPECT_EQ(r.Pixel(1, 0), (Bytes{0, 255, 0}));
    EXPECT_EQ(r.Pixel(2, 0), (Bytes{0, 130, 0}));
    EXPECT_EQ(r.Pixel(0, 1), (Bytes{255, 0, 0}));
}

TEST(BmpRead, ReadsTheFilesOfOtherProgramsAsTheyDo) {
    // Written by ImageMagick (run-length 8 bits; 16 bits as 5-6-5, 5-5-5, 1-5-5-5 and 4-4-4-4
    // bit fields in a V5 header), the same 16-bit pixels without bit fields and after a
    // 40-byte header, and run-length data of 8 and 4 bits with every escape; each beside the
    // picture PIL or ImageMagick decodes from it (tests/data/bmp/make_bmp_data.py).
    // Five and six bits widen to eight by rounding here, by truncation in PIL: 1 apart.
    const fs::path data = fs::path(ZELVANTO_TEST_DATA_DIR) / "bmp";
    const std::vector<std::pair<const char*, int>> files = {
        {"im_rle8", 0},     {"rle8_escapes", 0}, {"rle4_escapes", 0},
        {"im_rgb565", 1},   {"im_rgb555", 1},    {"im_argb1555", 1},
        {"im_argb4444", 0}, {"rgb16_plain", 1},  {"bitfields16_40", 1}};
    for (const auto& [name, tolerance] : files) {
        const ReadResult r = ReadFile(data / (std::string(name) + ".bmp"));
        const ReadResult ref = ReadFile(data / (std::string(name) + "_ref.bmp"));
        ASSERT_EQ(r.result, 1) << name;
        ASSERT_EQ(ref.result, 1) << name;
        ASSERT_EQ(r.size, (CSize{33, 17})) << name;
        ASSERT_EQ(ref.size, r.size) << name;
        int worst = 0;
        for (int32_t y = 0; y < 17; ++y)
            for (int32_t x = 0; x < 33; ++x)
                for (size_t c = 0; c < 3; ++c)
                    worst =
                        std::max(worst, std::abs(int{r.Pixel(x, y)[c]} - int{ref.Pixel(x, y)[c]}));
        EXPECT_LE(worst, tolerance) << name;
    }
}
