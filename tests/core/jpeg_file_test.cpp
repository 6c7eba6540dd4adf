#include "image/jpeg_file.h"

#include <gtest/gtest.h>
#include <jpeglib.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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
    return TestTempDir("jpeg_" + std::string(name));
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

// Encodes rows given top row first (RGB or grey) with the library itself, at quality 100
// and without chroma subsampling, so flat colours come back nearly exact.
Bytes EncodeJpeg(unsigned width, unsigned height, int components, const Bytes& pixels) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr errors{};
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = width;
    cinfo.image_height = height;
    cinfo.input_components = components;
    cinfo.in_color_space = components == 3 ? JCS_RGB : JCS_GRAYSCALE;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 100, TRUE);
    for (int c = 0; c < cinfo.num_components; ++c)
        cinfo.comp_info[c].h_samp_factor = cinfo.comp_info[c].v_samp_factor = 1;
    jpeg_start_compress(&cinfo, TRUE);
    Bytes rows = pixels;
    while (cinfo.next_scanline < height) {
        JSAMPROW row =
            rows.data() + cinfo.next_scanline * width * static_cast<unsigned>(components);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    Bytes out(buffer, buffer + size);
    std::free(buffer);
    jpeg_destroy_compress(&cinfo);
    return out;
}

// A 2 x 2 CMYK JPEG, which the library cannot turn into RGB.
Bytes EncodeCmyk() {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr errors{};
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = 2;
    cinfo.image_height = 2;
    cinfo.input_components = 4;
    cinfo.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    Bytes row(8, 60);
    while (cinfo.next_scanline < 2) {
        JSAMPROW p = row.data();
        jpeg_write_scanlines(&cinfo, &p, 1);
    }
    jpeg_finish_compress(&cinfo);
    Bytes out(buffer, buffer + size);
    std::free(buffer);
    jpeg_destroy_compress(&cinfo);
    return out;
}

// A progressive JPEG of the rows (RGB, top row first).
Bytes EncodeProgressive(unsigned width, unsigned height, const Bytes& rgb) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr errors{};
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = width;
    cinfo.image_height = height;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    Bytes rows = rgb;
    while (cinfo.next_scanline < height) {
        JSAMPROW row = rows.data() + cinfo.next_scanline * width * 3;
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    Bytes out(buffer, buffer + size);
    std::free(buffer);
    jpeg_destroy_compress(&cinfo);
    return out;
}

// The same file with another width and height in its frame header (baseline or
// progressive).
Bytes WithFrameSize(Bytes jpeg, uint16_t width, uint16_t height, uint8_t frameMarker = 0xC0) {
    const uint8_t sof[] = {0xFF, frameMarker};
    auto at = std::search(jpeg.begin(), jpeg.end(), std::begin(sof), std::end(sof));
    EXPECT_NE(at, jpeg.end());
    const size_t i = static_cast<size_t>(at - jpeg.begin()) + 5;  // marker, length, precision
    jpeg[i] = static_cast<uint8_t>(height >> 8);
    jpeg[i + 1] = static_cast<uint8_t>(height);
    jpeg[i + 2] = static_cast<uint8_t>(width >> 8);
    jpeg[i + 3] = static_cast<uint8_t>(width);
    return jpeg;
}

struct ReadResult {
    int result = 0;
    DibHandle dib;
    CSize size;
    std::vector<std::string> messages;
};

ReadResult ReadFile(const fs::path& path, DibHandle start = {}) {
    CScriptedUi ui;
    CUiScope scope(ui);
    ReadResult r;
    r.dib = std::move(start);
    r.result = ReadJpegFile(path.string(), r.dib, r.size);
    r.messages = ui.Messages();
    return r;
}

ReadResult ReadFileOf(const Bytes& file, DibHandle start = {}) {
    const fs::path path = TempDir("read") / "read.jpg";
    WriteBytes(path, file);
    return ReadFile(path, std::move(start));
}

}  // namespace

TEST(JpegRead, StoresRowsBottomUpInBlueGreenRedOrder) {
    const Bytes top = {255, 0, 0, 0, 255, 0, 0, 0, 255};  // red, green, blue
    const Bytes bottom = {255, 255, 255, 0, 0, 0, 128, 64, 32};
    Bytes rgb = top;
    rgb.insert(rgb.end(), bottom.begin(), bottom.end());
    const ReadResult r = ReadFileOf(EncodeJpeg(3, 2, 3, rgb));
    ASSERT_EQ(r.result, 1);
    EXPECT_TRUE(r.messages.empty());
    EXPECT_EQ(r.size, (CSize{3, 2}));
    ASSERT_GE(r.dib.Size(), 40u + 24);
    EXPECT_EQ(DescribePicture(r.dib.Data()).size, (CSize{3, 2}));
    EXPECT_EQ(LoadLE32(r.dib.Data() + kBiSizeImage), 24u);
    // Rows of 12 bytes (9 of pixels, 3 zero); stored row 0 is the bottom of the image.
    for (size_t i = 0; i < 24; ++i) {
        const size_t column = i % 12;
        const size_t rgbIndex = column - column % 3 + 2 - column % 3;  // blue, green, red
        if (column >= 9)
            EXPECT_EQ(r.dib.Data()[40 + i], 0) << i;
        else
            EXPECT_NEAR(r.dib.Data()[40 + i], (i < 12 ? bottom : top)[rgbIndex], 12) << i;
    }
}

TEST(JpegRead, RefusesCmykBrokenAndOversizedFilesWithTheirMessages) {
    const std::string path = (TempDir("read") / "read.jpg").string();
    const Bytes small = EncodeJpeg(3, 2, 3, Bytes(18, 100));
    struct Case {
        const char* name;
        Bytes bytes;
        std::vector<std::string> messages;  // empty: any report of the library
    };
    const std::vector<Case> cases = {
        {"too large for the program",
         WithFrameSize(small, 65000, 65000),
         {path + ": a picture of 65000 x 65000 pixels is larger than this program reads "
                 "(134217728 pixels at most)"}},
        {"CMYK", EncodeCmyk(), {"MakeBitmapColors0: Components need to be 3"}},
        {"not a JPEG", {'h', 'e', 'l', 'l', 'o', '!'}, {}},
        {"empty", {}, {}},
        {"zero height", WithFrameSize(small, 3, 0), {}},
        {"cut short", ReadBytes(fs::path(ZELVANTO_SAMPLES_DIR) / "truncated.jpg"), {}},
    };
    for (const Case& c : cases) {
        const ReadResult r = ReadFileOf(c.bytes);
        EXPECT_EQ(r.result, 0) << c.name;
        if (c.messages.empty()) {
            EXPECT_FALSE(r.messages.empty()) << c.name;
        } else {
            EXPECT_EQ(r.messages, c.messages) << c.name;
            EXPECT_TRUE(r.dib.IsNull()) << c.name;  // nothing opened
        }
    }
    const fs::path dir = TempDir("open");
    for (const fs::path& unreadable : {dir / "missing.jpg", dir}) {
        const ReadResult r = ReadFile(unreadable);
        EXPECT_EQ(r.result, 0);
        EXPECT_EQ(r.messages,
                  std::vector<std::string>{
                      "can't open " + unreadable.string() + ": " +
                      (unreadable == dir ? "Is a directory" : "No such file or directory") + "\n"});
    }
}

TEST(JpegRead, ReusesALargeEnoughBlockAndReadsTheSamples) {
    DibHandle big;
    NewGreyPicture(16, 16, big);
    const uint8_t* block = big.Data();
    const size_t bigSize = big.Size();
    const ReadResult r = ReadFileOf(EncodeJpeg(3, 2, 3, Bytes(18, 100)), std::move(big));
    ASSERT_EQ(r.result, 1);
    EXPECT_EQ(r.dib.Data(), block);
    EXPECT_EQ(r.dib.Size(), bigSize);
    for (size_t at = 40 + 24; at < bigSize; ++at) ASSERT_EQ(r.dib.Data()[at], 0) << at;

    EXPECT_EQ(ReadFile(fs::path(ZELVANTO_SAMPLES_DIR) / "chelsea.jpg").size, (CSize{451, 300}));
}

TEST(JpegRead, AFileThatEndsBeforeItsPictureIsAnErrorNamingTheFile) {
    // The library would fill the missing rows with grey and warn; the read fails instead.
    const Bytes coffee = ReadBytes(fs::path(ZELVANTO_SAMPLES_DIR) / "coffee.jpg");
    const fs::path path = TempDir("cut") / "cut.jpg";
    WriteBytes(path, Bytes(coffee.begin(), coffee.begin() + 30000));
    const ReadResult half = ReadFile(path);
    EXPECT_EQ(half.result, 0);
    EXPECT_EQ(half.messages,
              std::vector<std::string>{"Premature end of JPEG file: " + path.string()});
    const fs::path sample = fs::path(ZELVANTO_SAMPLES_DIR) / "truncated.jpg";
    const ReadResult truncated = ReadFile(sample);
    EXPECT_EQ(truncated.result, 0);
    EXPECT_EQ(truncated.messages,
              std::vector<std::string>{"Premature end of JPEG file: " + sample.string()});
}

namespace {

// The JPEG with an Exif segment (APP1) right after its start marker, holding one
// directory entry: the orientation as a SHORT, in the byte order asked for.
Bytes WithOrientation(const Bytes& jpeg, int orientation, bool bigEndian = false) {
    const auto u16 = [bigEndian](Bytes& b, unsigned v) {
        if (bigEndian)
            b.insert(b.end(), {uint8_t(v >> 8), uint8_t(v)});
        else
            b.insert(b.end(), {uint8_t(v), uint8_t(v >> 8)});
    };
    Bytes tiff = bigEndian ? Bytes{'M', 'M'} : Bytes{'I', 'I'};
    u16(tiff, 42);
    u16(tiff, bigEndian ? 0 : 8), u16(tiff, bigEndian ? 8 : 0);  // directory at 8
    u16(tiff, 1);                                                // one entry
    u16(tiff, 0x0112), u16(tiff, 3);                             // orientation, SHORT
    u16(tiff, bigEndian ? 0 : 1), u16(tiff, bigEndian ? 1 : 0);  // count 1
    u16(tiff, static_cast<unsigned>(orientation)), u16(tiff, 0);
    u16(tiff, 0), u16(tiff, 0);  // no next directory
    Bytes segment = {'E', 'x', 'i', 'f', 0, 0};
    segment.insert(segment.end(), tiff.begin(), tiff.end());
    const size_t length = segment.size() + 2;
    Bytes out(jpeg.begin(), jpeg.begin() + 2);
    out.insert(out.end(), {0xFF, 0xE1, uint8_t(length >> 8), uint8_t(length)});
    out.insert(out.end(), segment.begin(), segment.end());
    out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
    return out;
}

}  // namespace

TEST(JpegRead, TheExifOrientationTurnsThePictureUprightAndWhatIsSavedCarriesNone) {
    // 32 x 16 stored: red top left, green top right, blue bottom left, white bottom right.
    const Bytes red = {255, 0, 0}, green = {0, 255, 0}, blue = {0, 0, 255}, white = {255, 255, 255};
    Bytes rgb;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 32; ++x) {
            const Bytes& c = y < 8 ? (x < 16 ? red : green) : (x < 16 ? blue : white);
            rgb.insert(rgb.end(), c.begin(), c.end());
        }
    const Bytes stored = EncodeJpeg(32, 16, 3, rgb);
    // The corners of the upright picture (top left, top right, bottom left, bottom right)
    // for each orientation, as every viewer shows them.
    struct Case {
        int orientation;
        const Bytes* corners[4];
    };
    const Case cases[] = {
        {1, {&red, &green, &blue, &white}}, {2, {&green, &red, &white, &blue}},
        {3, {&white, &blue, &green, &red}}, {4, {&blue, &white, &red, &green}},
        {5, {&red, &blue, &green, &white}}, {6, {&blue, &red, &white, &green}},
        {7, {&white, &green, &blue, &red}}, {8, {&green, &white, &red, &blue}},
    };
    const fs::path dir = TempDir("orientation");
    for (const Case& c : cases) {
        for (const bool bigEndian : {false, true}) {
            SCOPED_TRACE(testing::Message() << c.orientation << (bigEndian ? " MM" : " II"));
            const ReadResult r = ReadFileOf(WithOrientation(stored, c.orientation, bigEndian));
            ASSERT_EQ(r.result, 1);
            EXPECT_TRUE(r.messages.empty());
            const CSize upright = c.orientation >= 5 ? CSize{16, 32} : CSize{32, 16};
            ASSERT_EQ(r.size, upright);
            ASSERT_EQ(DescribePicture(r.dib.Data()).size, upright);
            const int32_t w = upright.cx, h = upright.cy;
            const size_t row = static_cast<size_t>(RowBytes(w * 24));
            // Pixel (x, y) from the top left: stored row h - 1 - y, blue, green, red.
            const auto at = [&](int32_t x, int32_t y) {
                const uint8_t* p = r.dib.Data() + 40 + static_cast<size_t>(h - 1 - y) * row + 3 * x;
                return Bytes{p[2], p[1], p[0]};
            };
            const Bytes found[4] = {at(2, 2), at(w - 3, 2), at(2, h - 3), at(w - 3, h - 3)};
            for (int k = 0; k < 4; ++k)
                for (int i = 0; i < 3; ++i)
                    EXPECT_NEAR(found[k][i], (*c.corners[k])[i], 24) << "corner " << k;
            // Saved, the picture is upright and says nothing of an orientation.
            if (c.orientation != 6 || bigEndian) continue;
            const fs::path saved = dir / "saved.jpg";
            DibHandle copy = CopyHandle(r.dib);
            ASSERT_EQ(WriteJpegFile(saved.string(), copy, 90), 1);
            const Bytes bytes = ReadBytes(saved);
            EXPECT_EQ(
                std::search(bytes.begin(), bytes.end(), std::begin("Exif"), std::end("Exif") - 1),
                bytes.end());
            const ReadResult back = ReadFile(saved);
            EXPECT_EQ(back.size, upright);
        }
    }
    // A segment whose directory lies outside it, or an orientation out of range, is no
    // orientation: the picture stays as stored.
    Bytes broken = WithOrientation(stored, 6);
    broken[2 + 4 + 6 + 4] = 0xF0;  // the directory's offset far beyond the segment
    EXPECT_EQ(ReadFileOf(broken).size, (CSize{32, 16}));
    EXPECT_EQ(ReadFileOf(WithOrientation(stored, 9)).size, (CSize{32, 16}));
}

TEST(JpegWrite, RoundTripKeepsSizeRowOrderAndThePicture) {
    // Blue rising and red falling from left to right, green rising from the bottom row up:
    // a swap of colours or rows would show at once, JPEG loss on such smooth ramps is small.
    const fs::path path = TempDir("roundtrip") / "out.jpg";
    DibHandle dib;
    ASSERT_EQ(NewGreyPicture(32, 16, dib), 1);
    uint8_t* pixels = dib.Data() + 40;
    for (size_t y = 0; y < 16; ++y)
        for (size_t x = 0; x < 32; ++x) {
            uint8_t* p = pixels + y * 96 + x * 3;
            p[0] = static_cast<uint8_t>(40 + 5 * x);
            p[1] = static_cast<uint8_t>(20 + 12 * y);
            p[2] = static_cast<uint8_t>(200 - 5 * x);
        }
    const DibHandle before = CopyHandle(dib);
    {
        CScriptedUi ui;
        CUiScope scope(ui);
        ASSERT_EQ(WriteJpegFile(path.string(), dib, 90), 1);
        EXPECT_TRUE(ui.Messages().empty());
    }
    EXPECT_EQ(std::memcmp(dib.Data(), before.Data(), dib.Size()), 0);
    const ReadResult back = ReadFile(path);
    ASSERT_EQ(back.result, 1);
    EXPECT_EQ(back.size, (CSize{32, 16}));
    for (size_t i = 0; i < 32 * 16 * 3; ++i)
        ASSERT_NEAR(back.dib.Data()[40 + i], pixels[i], 16) << i;
}

TEST(JpegWrite, ReportsFailuresAndNeverDestroysTheOldFile) {
    const fs::path dir = TempDir("write_fail");
    const fs::path target = dir / "old.jpg";
    WriteBytes(target, {'o', 'l', 'd'});
    CScriptedUi ui;
    CUiScope scope(ui);
    DibHandle none;
    EXPECT_EQ(WriteJpegFile(target.string(), none, 90), 0);
    DibHandle noisy;
    NewGreyPicture(128, 128, noisy);
    for (size_t i = 40; i < noisy.Size(); ++i)
        noisy.Data()[i] = static_cast<uint8_t>(i * 7919 >> 3);
    const std::string missing = (dir / "no" / "x.jpg").string();
    EXPECT_EQ(WriteJpegFile(missing, noisy, 90), 0);
    ASSERT_EQ(ui.Messages(), (std::vector<std::string>{
                                 target.string() + " no bitmap connected to it.",
                                 "can't open " + missing + ": No such file or directory\n"}));
    // The library fails half way: its report is shown, and the process goes on.
    ui.Clear();
    std::signal(SIGXFSZ, SIG_IGN);  // files may grow to 1 KiB only
    rlimit old{}, limit{};
    getrlimit(RLIMIT_FSIZE, &old);
    limit = {1024, old.rlim_max};
    setrlimit(RLIMIT_FSIZE, &limit);
    EXPECT_EQ(WriteJpegFile(target.string(), noisy, 90), 0);
    setrlimit(RLIMIT_FSIZE, &old);
    // The library's text, then the file and the system's reason.
    EXPECT_EQ(ui.Messages(), std::vector<std::string>{"Output file write error --- out of disk "
                                                      "space? " +
                                                      target.string() + ": File too large"});
    EXPECT_EQ(ReadBytes(target), (Bytes{'o', 'l', 'd'}));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

TEST(JpegRead, GreyPicturesReadAsGreyColourPictures) {
    // Left column dark, right column light, top row darker than the bottom one.
    const ReadResult r = ReadFileOf(EncodeJpeg(2, 2, 1, {20, 200, 60, 240}));
    ASSERT_EQ(r.result, 1);
    EXPECT_TRUE(r.messages.empty());
    EXPECT_EQ(r.size, (CSize{2, 2}));
    EXPECT_EQ(DescribePicture(r.dib.Data()).bitCount, 24);
    const uint8_t* bottom = r.dib.Data() + 40;
    const uint8_t* top = bottom + 8;
    const uint8_t expected[2][2] = {{20, 200}, {60, 240}};  // top row, bottom row
    for (int x = 0; x < 2; ++x)
        for (int c = 0; c < 3; ++c) {
            EXPECT_NEAR(top[3 * x + c], expected[0][x], 3) << x << c;
            EXPECT_NEAR(bottom[3 * x + c], expected[1][x], 3) << x << c;
        }
}

TEST(JpegRead, HostileSizesAreRefusedRightAfterTheHeader) {
    // A few hundred bytes declaring 30000 x 30000: before, a progressive file filled the
    // library's buffer of the whole image (gigabytes, tens of seconds) before the check.
    const Bytes rgb(16 * 16 * 3, 128);
    const std::vector<std::pair<const char*, Bytes>> cases = {
        {"progressive", WithFrameSize(EncodeProgressive(16, 16, rgb), 30000, 30000, 0xC2)},
        {"baseline", WithFrameSize(EncodeJpeg(16, 16, 3, rgb), 30000, 30000)},
    };
    const std::string path = (TempDir("read") / "read.jpg").string();
    for (const auto& [name, bytes] : cases) {
        ASSERT_LT(bytes.size(), 2000u) << name;
        DibHandle kept;
        NewGreyPicture(4, 4, kept);
        const auto start = std::chrono::steady_clock::now();
        const ReadResult r = ReadFileOf(bytes, std::move(kept));
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500)) << name;
        EXPECT_EQ(r.result, 0) << name;
        EXPECT_EQ(
            r.messages,
            std::vector<std::string>{path + ": a picture of 30000 x 30000 pixels is larger than "
                                            "this program reads (134217728 pixels at most)"})
            << name;
    }
    // Under a lower limit the same check holds for an ordinary progressive picture.
    const int64_t old = SetMaxPicturePixels(255);
    const ReadResult r = ReadFileOf(EncodeProgressive(16, 16, rgb));
    SetMaxPicturePixels(old);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(ReadFileOf(EncodeProgressive(16, 16, rgb)).result, 1);
}
