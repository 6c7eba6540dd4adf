#include "image/png_file.h"

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "platform/byte_order.h"
#include "support/files.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

namespace {

struct PngSpec {
    uint32_t width = 0;
    uint32_t height = 0;
    int colourType = PNG_COLOR_TYPE_RGB;
    int bitDepth = 8;
    Bytes rows;  // top row first, packed as the PNG stores them (16 bits big-endian)
    std::vector<png_color> palette;
    Bytes paletteAlpha;  // tRNS of a palette picture
    bool interlaced = false;
};

// Writes the picture with libpng itself, exactly as specified.
void WritePng(const fs::path& path, const PngSpec& spec) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, file);
    png_set_IHDR(png, info, spec.width, spec.height, spec.bitDepth, spec.colourType,
                 spec.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!spec.palette.empty())
        png_set_PLTE(png, info, spec.palette.data(), static_cast<int>(spec.palette.size()));
    if (!spec.paletteAlpha.empty())
        png_set_tRNS(png, info, spec.paletteAlpha.data(),
                     static_cast<int>(spec.paletteAlpha.size()), nullptr);
    png_write_info(png, info);
    const size_t rowBytes = spec.rows.size() / spec.height;
    std::vector<png_bytep> rows;
    for (uint32_t y = 0; y < spec.height; ++y)
        rows.push_back(const_cast<png_bytep>(spec.rows.data() + y * rowBytes));
    png_write_image(png, rows.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
}

struct ReadResult {
    int result = 0;
    DibHandle dib;
    CSize size{-1, -1};
    std::vector<std::string> messages;
    // Blue, green, red of pixel (x, y), y counted from the top of the image.
    Bytes Pixel(int32_t x, int32_t y) const {
        const PictureDescription d = DescribePicture(dib.Data());
        const size_t row = static_cast<size_t>(RowBytes(d.size.cx * 24));
        const uint8_t* p = dib.Data() + 40 + static_cast<size_t>(d.size.cy - 1 - y) * row +
                           static_cast<size_t>(x) * 3;
        return {p[0], p[1], p[2]};
    }
};

ReadResult ReadFile(const fs::path& path, DibHandle start = {}) {
    CScriptedUi ui;
    CUiScope scope(ui);
    ReadResult r;
    r.dib = std::move(start);
    r.result = ReadPngFile(path.string(), r.dib, r.size);
    r.messages = ui.Messages();
    return r;
}

ReadResult ReadSpec(const PngSpec& spec) {
    const fs::path path = TestTempDir("png_read") / "read.png";
    WritePng(path, spec);
    return ReadFile(path);
}

}  // namespace

TEST(PngRead, EveryColourTypeBecomesBlueGreenRedBottomUp) {
    // Grey, 8 and 16 bits: 16-bit samples are scaled, not cut (0xFF00 is 254 of 255).
    ReadResult r = ReadSpec({3, 2, PNG_COLOR_TYPE_GRAY, 8, {0, 128, 255, 10, 20, 30}});
    ASSERT_EQ(r.result, 1);
    EXPECT_EQ(r.size, (CSize{3, 2}));
    EXPECT_EQ(DescribePicture(r.dib.Data()).bitCount, 24);
    EXPECT_EQ(r.Pixel(1, 0), (Bytes{128, 128, 128}));
    EXPECT_EQ(r.Pixel(2, 1), (Bytes{30, 30, 30}));
    r = ReadSpec({2, 1, PNG_COLOR_TYPE_GRAY, 16, {0xFF, 0x00, 0xFF, 0xFF}});
    ASSERT_EQ(r.result, 1);
    EXPECT_EQ(r.Pixel(0, 0), (Bytes{254, 254, 254}));
    EXPECT_EQ(r.Pixel(1, 0), (Bytes{255, 255, 255}));
    // One-bit grey: a row of 3 pixels in one byte, the most significant bit first.
    r = ReadSpec({3, 1, PNG_COLOR_TYPE_GRAY, 1, {0xA0}});
    ASSERT_EQ(r.result, 1);
    EXPECT_EQ(r.Pixel(0, 0), (Bytes{255, 255, 255}));
    EXPECT_EQ(r.Pixel(1, 0), (Bytes{0, 0, 0}));

    // RGB, 8 and 16 bits: red, green, blue becomes blue, green, red.
    r = ReadSpec({2, 1, PNG_COLOR_TYPE_RGB, 8, {200, 100, 50, 1, 2, 3}});
    ASSERT_EQ(r.result, 1);
    EXPECT_EQ(r.Pixel(0, 0), (Bytes{50, 100, 200}));
    EXPECT_EQ(r.Pixel(1, 0), (Bytes{3, 2, 1}));
    r = ReadSpec({1, 1, PNG_COLOR_TYPE_RGB, 16, {0xFF, 0xFF, 0x00, 0x00, 0x40, 0x40}});
    ASSERT_EQ(r.result, 1);
    EXPECT_EQ(r.Pixel(0, 0), (Bytes{0x40, 0, 255}));

    // Alpha over white: opaque keeps the colour, transparent is white, half is between.
    r = ReadSpec(
        {3, 1, PNG_COLOR_TYPE_RGB_ALPHA, 8, {10, 20, 30, 255, 10, 20, 30, 0, 0, 0, 0, 128}});
    ASSERT_EQ(r.result, 1);
    EXPECT_EQ(r.Pixel(0, 0), (Bytes{30, 20, 10}));
    EXPECT_EQ(r.Pixel(1, 0), (Bytes{255, 255, 255}));
    EXPECT_EQ(r.Pixel(2, 0), (Bytes{127, 127, 127}));
    r = ReadSpec({1, 1, PNG_COLOR_TYPE_RGB_ALPHA, 16, {0, 0, 0, 0, 0xFF, 0xFF, 0, 0}});
    ASSERT_EQ(r.result, 1);
    EXPECT_EQ(r.Pixel(0, 0), (Bytes{255, 255, 255}));
    r = ReadSpec({2, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 8, {0, 255, 0, 0}});
    ASSERT_EQ(r.result, 1);
    EXPECT_EQ(r.Pixel(0, 0), (Bytes{0, 0, 0}));
    EXPECT_EQ(r.Pixel(1, 0), (Bytes{255, 255, 255}));
    r = ReadSpec({1, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 16, {0x10, 0x00, 0xFF, 0xFF}});
    ASSERT_EQ(r.result, 1);
    EXPECT_EQ(r.Pixel(0, 0), (Bytes{0x10, 0x10, 0x10}));

    // Palette with a transparent entry, 4 bits, odd width.
    PngSpec palette{3, 1, PNG_COLOR_TYPE_PALETTE, 4, {0x01, 0x20}};
    palette.palette = {{255, 0, 0}, {0, 0, 255}, {9, 8, 7}};
    palette.paletteAlpha = {255, 255, 0};
    r = ReadSpec(palette);
    ASSERT_EQ(r.result, 1);
    EXPECT_EQ(r.Pixel(0, 0), (Bytes{0, 0, 255}));
    EXPECT_EQ(r.Pixel(1, 0), (Bytes{255, 0, 0}));
    EXPECT_EQ(r.Pixel(2, 0), (Bytes{255, 255, 255}));

    // Interlaced: the passes are put together before the rows are stored.
    PngSpec interlaced{9, 9, PNG_COLOR_TYPE_RGB, 8, Bytes(9 * 9 * 3)};
    for (size_t i = 0; i < interlaced.rows.size(); ++i)
        interlaced.rows[i] = static_cast<uint8_t>(i * 7);
    interlaced.interlaced = true;
    r = ReadSpec(interlaced);
    ASSERT_EQ(r.result, 1);
    for (int32_t y = 0; y < 9; ++y)
        for (int32_t x = 0; x < 9; ++x) {
            const size_t at = (static_cast<size_t>(y) * 9 + static_cast<size_t>(x)) * 3;
            ASSERT_EQ(r.Pixel(x, y), (Bytes{interlaced.rows[at + 2], interlaced.rows[at + 1],
                                            interlaced.rows[at]}))
                << x << "," << y;
        }
}

TEST(PngRead, RefusesBrokenAndOversizedFilesBeforeAllocating) {
    const fs::path dir = TestTempDir("png_bad");
    PngSpec spec{4, 4, PNG_COLOR_TYPE_RGB, 8, Bytes(48, 77)};
    WritePng(dir / "good.png", spec);
    const std::string good = ReadFileBytes(dir / "good.png");

    // A header declaring 30000 x 30000, with a correct checksum, and nothing behind it.
    Bytes huge(good.begin(), good.begin() + 33);
    const uint32_t side = 30000;
    for (int at : {16, 20}) {
        huge[at] = static_cast<uint8_t>(side >> 24);
        huge[at + 1] = static_cast<uint8_t>(side >> 16);
        huge[at + 2] = static_cast<uint8_t>(side >> 8);
        huge[at + 3] = static_cast<uint8_t>(side);
    }
    const uint32_t crc = static_cast<uint32_t>(crc32(0, huge.data() + 12, 17));
    for (int i = 0; i < 4; ++i) huge[29 + i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
    std::ofstream(dir / "huge.png", std::ios::binary)
        .write(reinterpret_cast<const char*>(huge.data()),
               static_cast<std::streamsize>(huge.size()));
    DibHandle kept;
    NewGreyPicture(4, 4, kept);
    const uint8_t* block = kept.Data();
    const auto start = std::chrono::steady_clock::now();
    ReadResult r = ReadFile(dir / "huge.png", std::move(kept));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.dib.Data(), block);  // the picture in hand stays
    EXPECT_EQ(r.size, (CSize{0, 0}));
    ASSERT_EQ(r.messages.size(), 1u);
    EXPECT_EQ(r.messages[0], "Failed to read 2: " + (dir / "huge.png").string() +
                                 ": a picture of 30000 x 30000 pixels is larger than this "
                                 "program reads (134217728 pixels at most)");

    // Cut short in the pixel data, and not a PNG at all: the library's reason is given.
    std::ofstream(dir / "cut.png", std::ios::binary) << good.substr(0, good.size() - 20);
    std::ofstream(dir / "text.png", std::ios::binary) << "just some text, no picture";
    for (const char* name : {"cut.png", "text.png"}) {
        r = ReadFile(dir / name);
        EXPECT_EQ(r.result, 0) << name;
        EXPECT_TRUE(r.dib.IsNull()) << name;
        ASSERT_EQ(r.messages.size(), 1u) << name;
        const std::string prefix = "Failed to read 2: " + (dir / name).string() + ": ";
        EXPECT_EQ(r.messages[0].substr(0, prefix.size()), prefix) << name;
        EXPECT_GT(r.messages[0].size(), prefix.size()) << name;
    }
    r = ReadFile(dir / "missing.png");
    EXPECT_EQ(r.messages,
              std::vector<std::string>{"Failed to open: " + (dir / "missing.png").string() +
                                       ": No such file or directory"});
}

TEST(PngWrite, WritesRgbThatReadsBackExactly) {
    const fs::path dir = TestTempDir("png_write");
    DibHandle dib;
    ASSERT_EQ(NewGreyPicture(5, 3, dib), 1);  // rows of 15 bytes and 1 of padding
    uint8_t* pixels = dib.Data() + 40;
    for (size_t y = 0; y < 3; ++y)
        for (size_t i = 0; i < 15; ++i) pixels[y * 16 + i] = static_cast<uint8_t>(y * 50 + i * 3);
    const DibHandle before = CopyHandle(dib);
    {
        CScriptedUi ui;
        CUiScope scope(ui);
        ASSERT_EQ(WritePngFile((dir / "out.png").string(), dib), 1);
        EXPECT_TRUE(ui.Messages().empty());
    }
    EXPECT_EQ(std::memcmp(dib.Data(), before.Data(), dib.Size()), 0);

    // The file is 8-bit RGB, top row first.
    std::FILE* file = std::fopen((dir / "out.png").c_str(), "rb");
    ASSERT_NE(file, nullptr);
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, file);
    png_read_info(png, info);
    EXPECT_EQ(png_get_color_type(png, info), PNG_COLOR_TYPE_RGB);
    EXPECT_EQ(png_get_bit_depth(png, info), 8);
    Bytes top(15);
    png_read_row(png, top.data(), nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
    EXPECT_EQ(top[0], pixels[2 * 16 + 2]);  // red of the top-left pixel
    EXPECT_EQ(top[2], pixels[2 * 16 + 0]);

    const ReadResult back = ReadFile(dir / "out.png");
    ASSERT_EQ(back.result, 1);
    EXPECT_EQ(back.dib.Size(), dib.Size());
    EXPECT_EQ(std::memcmp(back.dib.Data(), dib.Data(), dib.Size()), 0);

    CScriptedUi ui;
    CUiScope scope(ui);
    const std::string missing = (dir / "no" / "x.png").string();
    EXPECT_EQ(WritePngFile(missing, dib), 0);
    EXPECT_EQ(ui.Messages(),
              std::vector<std::string>{missing + " failed to open: No such file or directory"});
}
