#include "image/jpeg_file.h"

#include <cerrno>
#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string>

// jpeglib.h needs FILE and size_t declared before it; jerror.h names the library's messages.
#include <jpeglib.h>
// (after jpeglib.h)
#include <jerror.h>

#include "platform/file_open.h"
#include "platform/safe_file.h"
#include "platform/user_interface.h"

namespace {

// libjpeg's error manager extended by the jump that ends a read or write on an error (the
// standard error_exit would end the whole process) and by the file it works on, which every
// report names.
struct CJpegErrorManager {
    jpeg_error_mgr pub;  // first member: the library sees only this part
    std::jmp_buf jump;
    const char* path = nullptr;
    bool writing = false;
    void (*standardEmit)(j_common_ptr, int) = nullptr;
};

CJpegErrorManager& ManagerOf(j_common_ptr cinfo) {
    return *reinterpret_cast<CJpegErrorManager*>(cinfo->err);
}

// Every report of the library, warnings included, goes to the person as a message: the
// library's text, then the file, and for a failed read or write of the file the reason the
// system gave ("Output file write error --- out of disk space? /x/a.jpg: No space left on
// device").
void ShowLibraryMessage(j_common_ptr cinfo) {
    const int error = errno;
    const CJpegErrorManager& manager = ManagerOf(cinfo);
    char text[JMSG_LENGTH_MAX] = {};
    (*cinfo->err->format_message)(cinfo, text);
    try {
        std::string message = text;
        if (manager.path != nullptr) {
            message += (manager.writing ? " " : ": ") + std::string(manager.path);
            const int code = cinfo->err->msg_code;
            if ((code == JERR_FILE_WRITE || code == JERR_FILE_READ) && error != 0)
                message += std::string(": ") + std::strerror(error);
        }
        ShowMessage(message);
    } catch (...) {
        // Nothing may unwind through the library's C frames; the message is lost.
    }
}

[[noreturn]] void JumpOnError(j_common_ptr cinfo) {
    (*cinfo->err->output_message)(cinfo);
    std::longjmp(ManagerOf(cinfo).jump, 1);
}

// A file that ends before its picture does is an error, not a warning: the library would
// fill the missing rows with grey and call the picture read.
void EmitMessage(j_common_ptr cinfo, int level) {
    if (level < 0 && cinfo->err->msg_code == JWRN_JPEG_EOF) JumpOnError(cinfo);
    ManagerOf(cinfo).standardEmit(cinfo, level);
}

jpeg_error_mgr* InstallErrorManager(CJpegErrorManager& manager, const std::string& path,
                                    bool writing) {
    jpeg_std_error(&manager.pub);
    manager.pub.error_exit = JumpOnError;
    manager.pub.output_message = ShowLibraryMessage;
    manager.standardEmit = manager.pub.emit_message;
    manager.pub.emit_message = EmitMessage;
    manager.path = path.c_str();
    manager.writing = writing;
    return &manager.pub;
}

int32_t ToSize(JDIMENSION value) {
    return value > static_cast<JDIMENSION>(INT32_MAX) ? INT32_MAX : static_cast<int32_t>(value);
}

// The Exif orientation (1 to 8) of the first APP1 segment that carries one; 1 when there is
// none or it cannot be read. The segment is "Exif\0\0" and a TIFF structure: byte order
// ("II" or "MM"), 42, the offset of the first directory, whose 12-byte entries are tag,
// type, count and value; tag 0x0112 is the orientation, a SHORT. Every offset is checked
// against the segment's length.
int ExifOrientation(jpeg_saved_marker_ptr marker) {
    for (; marker != nullptr; marker = marker->next) {
        if (marker->marker != JPEG_APP0 + 1 || marker->data_length < 14) continue;
        const uint8_t* d = marker->data;
        if (std::memcmp(d, "Exif\0\0", 6) != 0) continue;
        const uint8_t* tiff = d + 6;
        const size_t length = marker->data_length - 6;
        const bool little = tiff[0] == 'I' && tiff[1] == 'I';
        if (!little && !(tiff[0] == 'M' && tiff[1] == 'M')) continue;
        const auto u16 = [&](size_t at) -> uint32_t {
            return little ? tiff[at] | tiff[at + 1] << 8 : tiff[at] << 8 | tiff[at + 1];
        };
        const auto u32 = [&](size_t at) -> uint32_t {
            return little ? u16(at) | u16(at + 2) << 16 : u16(at) << 16 | u16(at + 2);
        };
        if (u16(2) != 42) continue;
        const size_t directory = u32(4);
        if (directory > length || length - directory < 2) continue;
        const size_t entries = u16(directory);
        for (size_t i = 0; i < entries; ++i) {
            const size_t at = directory + 2 + 12 * i;
            if (at > length || length - at < 12) break;
            if (u16(at) != 0x0112) continue;
            if (u16(at + 2) != 3 || u32(at + 4) != 1) break;  // one SHORT
            const uint32_t value = u16(at + 8);
            return value >= 1 && value <= 8 ? static_cast<int>(value) : 1;
        }
    }
    return 1;
}

// Turns a picture read as stored into the picture the orientation says is upright (2
// mirrored, 3 turned half round, 4 upside down, 5 transposed, 6 turned a quarter clockwise
// to be upright, 7 transversed, 8 turned a quarter anticlockwise). False without memory
// for the turned picture (the picture is then unchanged).
bool TurnUpright(DibHandle& dib, CSize& size, int orientation) {
    const int32_t w = size.cx, h = size.cy;
    const bool across = orientation >= 5;  // width and height change places
    const int32_t uw = across ? h : w, uh = across ? w : h;
    DibHandle turned;
    if (MakeJpegTarget(turned, 3, uw, uh) != 1) return false;
    const size_t sourceRow = static_cast<size_t>(RowBytes(w * 24));
    const size_t targetRow = static_cast<size_t>(RowBytes(uw * 24));
    const uint8_t* source = dib.Data() + kInfoHeaderBytes;
    uint8_t* target = turned.Data() + kInfoHeaderBytes;
    // (x, y) counted from the top left of the upright picture, (sx, sy) of the stored one;
    // rows are kept bottom-up in both.
    for (int32_t y = 0; y < uh; ++y) {
        uint8_t* out = target + static_cast<size_t>(uh - 1 - y) * targetRow;
        for (int32_t x = 0; x < uw; ++x, out += 3) {
            int32_t sx = x, sy = y;
            switch (orientation) {
                case 2:
                    sx = w - 1 - x;
                    break;
                case 3:
                    sx = w - 1 - x;
                    sy = h - 1 - y;
                    break;
                case 4:
                    sy = h - 1 - y;
                    break;
                case 5:
                    sx = y;
                    sy = x;
                    break;
                case 6:
                    sx = y;
                    sy = h - 1 - x;
                    break;
                case 7:
                    sx = w - 1 - y;
                    sy = h - 1 - x;
                    break;
                case 8:
                    sx = w - 1 - y;
                    sy = x;
                    break;
                default:
                    break;
            }
            std::memcpy(
                out,
                source + static_cast<size_t>(h - 1 - sy) * sourceRow + 3 * static_cast<size_t>(sx),
                3);
        }
    }
    dib = std::move(turned);
    size = {uw, uh};
    return true;
}

// Decodes the open file into the picture. Only plain data lives in this frame, so the jump
// back from an error skips no destructor; the caller releases the decompressor and file.
int Decode(jpeg_decompress_struct& cinfo, CJpegErrorManager& errors, std::FILE* file,
           const char* path, DibHandle& dib, CSize& size, int& orientation) {
    if (setjmp(errors.jump)) return 0;
    jpeg_create_decompress(&cinfo);
    jpeg_stdio_src(&cinfo, file);
    // The Exif segment (APP1) is kept for the picture's orientation.
    jpeg_save_markers(&cinfo, JPEG_APP0 + 1, 0xFFFF);
    jpeg_read_header(&cinfo, TRUE);
    // Read now: the saved segments go with the image's memory when decoding finishes.
    orientation = ExifOrientation(cinfo.marker_list);

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
    cinfo.err = InstallErrorManager(errors, path, false);
    int orientation = 1;
    int result = Decode(cinfo, errors, opened.Stream(), path.c_str(), dib, size, orientation);
    jpeg_destroy_decompress(&cinfo);
    if (result == 1 && orientation != 1 && !TurnUpright(dib, size, orientation)) {
        ShowMessage("No mem allocated");
        result = 0;
    }
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
    cinfo.err = InstallErrorManager(errors, path, true);
    const int result = Encode(cinfo, errors, writer.Stream(), dib.Data(), rgbRow.Data(), quality);
    jpeg_destroy_compress(&cinfo);
    if (result != 1) return 0;  // the library has reported; the temporary file goes away
    if (!writer.Commit()) {
        ShowMessage(WithReason(path + " failed to process.", writer.ErrorReason()));
        return 0;
    }
    return 1;
}
