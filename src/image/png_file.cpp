#include "image/png_file.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include "platform/file_open.h"
#include "platform/safe_file.h"
#include "platform/user_interface.h"

namespace {

// libpng's error handler jumps back here with the library's text; warnings are dropped
// (files from other programs often carry harmless ones, such as colour profile notes).
struct CPngErrors {
    std::jmp_buf jump;
    char text[256] = {};
};

[[noreturn]] void JumpOnPngError(png_structp png, png_const_charp message) {
    auto* errors = static_cast<CPngErrors*>(png_get_error_ptr(png));
    std::snprintf(errors->text, sizeof errors->text, "%s", message ? message : "PNG error");
    std::longjmp(errors->jump, 1);
}

void IgnorePngWarning(png_structp, png_const_charp) {}

// The read state that lives across the jump: plain data only, so the jump skips no
// destructor. The caller frees what it holds.
struct CPngRead {
    png_structp png = nullptr;
    png_infop info = nullptr;
    CMemoryBlock* target = nullptr;  // the 24-bit picture being filled
    CMemoryBlock* rows = nullptr;    // RGBA rows: one, or the whole image when interlaced
    uint32_t width = 0;
    uint32_t height = 0;
    bool tooLarge = false;
};

// Over white: c * a + 255 * (255 - a), divided by 255 and rounded.
inline uint8_t OverWhite(uint32_t colour, uint32_t alpha) {
    return static_cast<uint8_t>((colour * alpha + 255 * (255 - alpha) + 127) / 255);
}

void StoreRow(const uint8_t* rgba, uint32_t width, uint8_t* bgr) {
    for (uint32_t x = 0; x < width; ++x, rgba += 4, bgr += 3) {
        bgr[0] = OverWhite(rgba[2], rgba[3]);
        bgr[1] = OverWhite(rgba[1], rgba[3]);
        bgr[2] = OverWhite(rgba[0], rgba[3]);
    }
}

int Decode(CPngRead& r, CPngErrors& errors, std::FILE* file) {
    if (setjmp(errors.jump)) return 0;
    png_init_io(r.png, file);
    // The library refuses larger sizes itself, before the program's own check.
    png_set_user_limits(r.png, 0x7FFFFFFF, 0x7FFFFFFF);
    png_set_chunk_malloc_max(r.png, 8u << 20);
    png_read_info(r.png, r.info);

    r.width = png_get_image_width(r.png, r.info);
    r.height = png_get_image_height(r.png, r.info);
    if (!IsReadablePictureSize(r.width, r.height)) {
        r.tooLarge = true;
        return 0;
    }
    // Every kind of PNG becomes 8-bit red, green, blue, alpha.
    const int colourType = png_get_color_type(r.png, r.info);
    if (png_get_bit_depth(r.png, r.info) == 16) png_set_scale_16(r.png);
    if (colourType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(r.png);
    if (colourType == PNG_COLOR_TYPE_GRAY) png_set_expand_gray_1_2_4_to_8(r.png);
    if (png_get_valid(r.png, r.info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(r.png);
    if (colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_GRAY_ALPHA)
        png_set_gray_to_rgb(r.png);
    png_set_filler(r.png, 0xFF, PNG_FILLER_AFTER);  // no effect where alpha is present
    const int passes = png_set_interlace_handling(r.png);
    png_read_update_info(r.png, r.info);
    if (png_get_rowbytes(r.png, r.info) != size_t{r.width} * 4)
        png_error(r.png, "unexpected row layout");

    const int32_t width = static_cast<int32_t>(r.width);
    const int32_t height = static_cast<int32_t>(r.height);
    *r.target = CMemoryBlock::Allocate(static_cast<size_t>(Picture24Bytes(width, height)));
    // An interlaced picture comes in passes over all rows: it is decoded whole first.
    const size_t rgbaRow = size_t{r.width} * 4;
    *r.rows = CMemoryBlock::Allocate(rgbaRow * (passes > 1 ? r.height : 1));
    if (r.target->IsNull() || r.rows->IsNull()) png_error(r.png, "out of memory");
    InitHeader24(r.target->Data(), width, height);
    const size_t targetRow = static_cast<size_t>(RowBytes(width * 24));
    uint8_t* pixels = r.target->Data() + kInfoHeaderBytes;

    // The top row of the PNG image becomes the last stored row: the picture is bottom-up.
    if (passes > 1) {
        for (int pass = 0; pass < passes; ++pass)
            for (uint32_t y = 0; y < r.height; ++y)
                png_read_row(r.png, r.rows->Data() + y * rgbaRow, nullptr);
        for (uint32_t y = 0; y < r.height; ++y)
            StoreRow(r.rows->Data() + y * rgbaRow, r.width,
                     pixels + (r.height - 1 - y) * targetRow);
    } else {
        for (uint32_t y = 0; y < r.height; ++y) {
            png_read_row(r.png, r.rows->Data(), nullptr);
            StoreRow(r.rows->Data(), r.width, pixels + (r.height - 1 - y) * targetRow);
        }
    }
    png_read_end(r.png, nullptr);
    return 1;
}

struct CPngWrite {
    png_structp png = nullptr;
    png_infop info = nullptr;
    const uint8_t* header = nullptr;
    uint8_t* rgbRow = nullptr;
};

int Encode(CPngWrite& w, CPngErrors& errors, std::FILE* file) {
    if (setjmp(errors.jump)) return 0;
    png_init_io(w.png, file);
    const PictureDescription d = DescribePicture(w.header);
    const uint32_t width = static_cast<uint32_t>(d.size.cx);
    const uint32_t height = static_cast<uint32_t>(d.size.cy);
    png_set_IHDR(w.png, w.info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(w.png, w.info);
    const size_t rowBytes = static_cast<size_t>(RowBytes(d.size.cx * 24));
    const uint8_t* pixels = w.header + kInfoHeaderBytes;
    for (uint32_t y = 0; y < height; ++y) {  // top row first
        const uint8_t* bgr = pixels + (height - 1 - y) * rowBytes;
        for (size_t i = 0; i < size_t{width} * 3; i += 3) {
            w.rgbRow[i] = bgr[i + 2];
            w.rgbRow[i + 1] = bgr[i + 1];
            w.rgbRow[i + 2] = bgr[i];
        }
        png_write_row(w.png, w.rgbRow);
    }
    png_write_end(w.png, nullptr);
    return 1;
}

}  // namespace

int ReadPngStream(std::FILE* file, DibHandle& dib, CSize& size, std::string& reason) {
    size = {};
    reason.clear();
    // The size in the first chunk is checked before the library reads on: the signature,
    // then the IHDR chunk (length, type, width and height big-endian).
    uint8_t start[24];
    if (std::fread(start, 1, sizeof start, file) == sizeof start && png_sig_cmp(start, 0, 8) == 0 &&
        std::memcmp(start + 12, "IHDR", 4) == 0) {
        const uint32_t width = png_get_uint_32(start + 16);
        const uint32_t height = png_get_uint_32(start + 20);
        if (!IsReadablePictureSize(width, height)) {
            reason = PictureSizeRefusal(width, height);
            return 0;
        }
    }
    if (std::fseek(file, 0, SEEK_SET) != 0) {
        reason = "the file cannot be read from its start";
        return 0;
    }
    CPngErrors errors;
    CPngRead r;
    r.png =
        png_create_read_struct(PNG_LIBPNG_VER_STRING, &errors, JumpOnPngError, IgnorePngWarning);
    if (!r.png) {
        reason = "out of memory";
        return 0;
    }
    r.info = png_create_info_struct(r.png);
    CMemoryBlock target;
    CMemoryBlock rows;
    r.target = &target;
    r.rows = &rows;
    const int result = r.info ? Decode(r, errors, file) : 0;
    png_destroy_read_struct(&r.png, r.info ? &r.info : nullptr, nullptr);
    if (result != 1) {
        reason = r.tooLarge ? PictureSizeRefusal(r.width, r.height)
                            : std::string(errors.text[0] ? errors.text : "out of memory");
        return 0;
    }
    dib.Block() = std::move(target);
    size = {static_cast<int32_t>(r.width), static_cast<int32_t>(r.height)};
    return 1;
}

int ReadPngFile(const std::string& path, DibHandle& dib, CSize& size) {
    size = {};
    const COpenedFile opened = OpenRegularFile(path);
    if (!opened) {
        ShowMessage(WithReason("Failed to open: " + path, opened.reason));
        return 0;
    }
    std::string reason;
    if (ReadPngStream(opened.Stream(), dib, size, reason) != 1) {
        ShowMessage(WithReason("Failed to read 2: " + path, reason));
        return 0;
    }
    return 1;
}

int WritePngFile(const std::string& path, const DibHandle& dib) {
    PictureDescription d;
    CMemoryBlock rgbRow;
    if (!PrepareRgbWrite(path, dib, d, rgbRow)) return 0;
    CSafeFileWriter writer;
    if (writer.Open(path) != 0) {
        ShowMessage(WithReason(path + " failed to open", writer.ErrorReason()));
        return 0;
    }
    CPngErrors errors;
    CPngWrite w;
    w.png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, &errors, JumpOnPngError, IgnorePngWarning);
    if (w.png) w.info = png_create_info_struct(w.png);
    w.header = dib.Data();
    w.rgbRow = rgbRow.Data();
    const int result = w.info ? Encode(w, errors, writer.Stream()) : 0;
    png_destroy_write_struct(&w.png, w.info ? &w.info : nullptr);
    if (result != 1) {
        ShowMessage(WithReason(path + " failed to process.", errors.text));
        return 0;
    }
    if (!writer.Commit()) {
        ShowMessage(WithReason(path + " failed to process.", writer.ErrorReason()));
        return 0;
    }
    return 1;
}
