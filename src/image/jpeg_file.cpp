#include "image/jpeg_file.h"

#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <cstring>

// jpeglib.h needs FILE and size_t declared before it.
#include <jpeglib.h>

#include "platform/file_open.h"
#include "platform/safe_file.h"
#include "platform/user_interface.h"

namespace {

// libjpeg's error manager extended by the jump that ends a read or write on an error: the
// standard error_exit would end the whole process.
struct CJpegErrorManager {
    jpeg_error_mgr pub;  // first member: the library sees only this part
    std::jmp_buf jump;
};

// Every report of the library, warnings included, goes to the person as a message.
void ShowLibraryMessage(j_common_ptr cinfo) {
    char text[JMSG_LENGTH_MAX] = {};
    (*cinfo->err->format_message)(cinfo, text);
    try {
        ShowMessage(text);
    } catch (...) {
        // Nothing may unwind through the library's C frames; the message is lost.
    }
}

[[noreturn]] void JumpOnError(j_common_ptr cinfo) {
    (*cinfo->err->output_message)(cinfo);
    std::longjmp(reinterpret_cast<CJpegErrorManager*>(cinfo->err)->jump, 1);
}

jpeg_error_mgr* InstallErrorManager(CJpegErrorManager& manager) {
    jpeg_std_error(&manager.pub);
    manager.pub.error_exit = JumpOnError;
    manager.pub.output_message = ShowLibraryMessage;
    return &manager.pub;
}

int32_t ToSize(JDIMENSION value) {
    return value > static_cast<JDIMENSION>(INT32_MAX) ? INT32_MAX : static_cast<int32_t>(value);
}

// Decodes the open file into the picture. Only plain data lives in this frame, so the jump
// back from an error skips no destructor; the caller releases the decompressor and file.
int Decode(jpeg_decompress_struct& cinfo, CJpegErrorManager& errors, std::FILE* file,
           const char* path, DibHandle& dib, CSize& size) {
    if (setjmp(errors.jump)) return 0;
    jpeg_create_decompress(&cinfo);
    jpeg_stdio_src(&cinfo, file);
    jpeg_read_header(&cinfo, TRUE);

    // The declared size is checked before the library allocates anything for the image: a
    // progressive file buffers all its coefficients, so a few hundred bytes declaring
    // 30000 x 30000 would otherwise cost gigabytes.
    if (!IsReadablePictureSize(cinfo.image_width, cinfo.image_height)) {
        ShowMessage(std::string(path) + ": " +
                    PictureSizeRefusal(cinfo.image_width, cinfo.image_height));
        return 0;
    }
    // Grey pictures become grey colour pictures (the library converts); CMYK cannot be
    // converted by the library and is refused.
    if (cinfo.jpeg_color_space == JCS_GRAYSCALE || cinfo.jpeg_color_space == JCS_YCbCr ||
        cinfo.jpeg_color_space == JCS_RGB) {
        cinfo.out_color_space = JCS_RGB;
    } else {
        ShowMessage("MakeBitmapColors0: Components need to be 3");
        return 0;
    }
    // The library's own memory is bounded by what the largest readable picture needs
    // (coefficients of every component of a progressive file), plus its small buffers.
    const int64_t area = int64_t{cinfo.image_width} * cinfo.image_height;
    cinfo.mem->max_memory_to_use = static_cast<long>(8 * area + (int64_t{32} << 20));
    jpeg_start_decompress(&cinfo);

    const int32_t width = ToSize(cinfo.output_width);
    const int32_t height = ToSize(cinfo.output_height);
    if (cinfo.output_components != 3) {
        ShowMessage("MakeBitmapColors0: Components need to be 3");
        return 0;
    }
    if (!MakeJpegTarget(dib, cinfo.output_components, width, height)) {
        ShowMessage("No mem allocated");
        return 0;
    }
    size = {width, height};

    // The top row of the JPEG image becomes the last stored row: the picture is bottom-up.
    const size_t rowBytes = static_cast<size_t>(RowBytes(width * 24));
    uint8_t* pixels = dib.Data() + kInfoHeaderBytes;
    while (cinfo.output_scanline < cinfo.output_height) {
        uint8_t* row =
            pixels + static_cast<size_t>(height - 1 - ToSize(cinfo.output_scanline)) * rowBytes;
        JSAMPROW rows[1] = {row};
        if (jpeg_read_scanlines(&cinfo, rows, 1) != 1) return 0;
        for (int32_t x = 0; x < width; ++x, row += 3) {  // red, green, blue to blue, green, red
            const uint8_t red = row[0];
            row[0] = row[2];
            row[2] = red;
        }
    }
    jpeg_finish_decompress(&cinfo);
    return 1;
}

// Encodes the picture (24 bits, 40-byte header, no colour table) into the open file, top
// row first. Each row is turned into red, green, blue in rgbRow, so the picture never
// changes, not even when the library stops half way.
int Encode(jpeg_compress_struct& cinfo, CJpegErrorManager& errors, std::FILE* file,
           const uint8_t* header, uint8_t* rgbRow, int quality) {
    if (setjmp(errors.jump)) return 0;
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, file);

    const PictureDescription d = DescribePicture(header);
    cinfo.image_width = static_cast<JDIMENSION>(d.size.cx);
    cinfo.image_height = static_cast<JDIMENSION>(d.size.cy);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);

    const size_t rowBytes = static_cast<size_t>(RowBytes(d.size.cx * 24));
    const uint8_t* pixels = header + kInfoHeaderBytes;
    while (cinfo.next_scanline < cinfo.image_height) {
        const uint8_t* bgr =
            pixels + static_cast<size_t>(d.size.cy - 1 - ToSize(cinfo.next_scanline)) * rowBytes;
        for (size_t i = 0; i < static_cast<size_t>(d.size.cx) * 3; i += 3) {
            rgbRow[i] = bgr[i + 2];
            rgbRow[i + 1] = bgr[i + 1];
            rgbRow[i + 2] = bgr[i];
        }
        JSAMPROW rows[1] = {rgbRow};
        if (jpeg_write_scanlines(&cinfo, rows, 1) != 1) return 0;
    }
    jpeg_finish_compress(&cinfo);
    return 1;
}

}  // namespace

int MakeJpegTarget(DibHandle& dib, int components, int32_t width, int32_t height) {
    if (components != 3) {
        ShowMessage("MakeBitmapColors0: Components need to be 3");
        return 0;
    }
    // Every row offset and the block size must stay 32-bit values.
    const int64_t bytes = Picture24Bytes(width, height);
    if (bytes < 0) return 0;
    if (dib.Size() >= static_cast<size_t>(bytes)) {
        std::memset(dib.Data(), 0, dib.Size());
    } else {
        dib.Free();
        dib.Block() = CMemoryBlock::Allocate(static_cast<size_t>(bytes));
        if (dib.IsNull()) return 0;
    }
    InitHeader24(dib.Data(), width, height);
    return 1;
}

int ReadJpegFile(const std::string& path, DibHandle& dib, CSize& size) {
    const COpenedFile opened = OpenRegularFile(path);
    if (!opened) {
        ShowMessage(Format("can't open %s\n", WithReason(path, opened.reason).c_str()));
        return 0;
    }
    jpeg_decompress_struct cinfo{};
    CJpegErrorManager errors{};
    cinfo.err = InstallErrorManager(errors);
    const int result = Decode(cinfo, errors, opened.Stream(), path.c_str(), dib, size);
    jpeg_destroy_decompress(&cinfo);
    return result;
}

int WriteJpegFile(const std::string& path, DibHandle& dib, int quality) {
    PictureDescription d;
    CMemoryBlock rgbRow;
    if (!PrepareRgbWrite(path, dib, d, rgbRow)) return 0;
    CSafeFileWriter writer;
    if (writer.Open(path) != 0) {
        ShowMessage(Format("can't open %s\n", WithReason(path, writer.ErrorReason()).c_str()));
        return 0;
    }
    jpeg_compress_struct cinfo{};
    CJpegErrorManager errors{};
    cinfo.err = InstallErrorManager(errors);
    const int result = Encode(cinfo, errors, writer.Stream(), dib.Data(), rgbRow.Data(), quality);
    jpeg_destroy_compress(&cinfo);
    if (result != 1) return 0;  // the library has reported; the temporary file goes away
    if (!writer.Commit()) {
        ShowMessage(WithReason(path + " failed to process.", writer.ErrorReason()));
        return 0;
    }
    return 1;
}
