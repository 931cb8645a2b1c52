// JPEG through libjpeg: the size caps are checked on jpeg_read_header's own
// reading of the frame header, the decompressor may use at most
// MaxPictureBytes of memory, and a file of more than MaxJpegScans scans is
// refused (each scan of a progressive file passes over the whole picture).
// Corrupt or truncated data is decoded as libjpeg recovers it.
#include <csetjmp>

// jpeglib.h needs FILE and size_t declared before it.
#include <cstddef>
#include <cstdio>
#include <jpeglib.h>

#include "texture/picture_decode.h"

namespace {

constexpr int MaxJpegScans = 100;

struct JpegErrors {
    jpeg_error_mgr manager;
    jmp_buf jump;
};

[[noreturn]] void LeaveOnError(j_common_ptr info) {
    longjmp(reinterpret_cast<JpegErrors*>(info->err)->jump, 1);
}

void IgnoreMessage(j_common_ptr) {}

// Called while libjpeg reads the data, at least once per row of blocks.
void LimitScans(j_common_ptr info) {
    if (reinterpret_cast<j_decompress_ptr>(info)->input_scan_number > MaxJpegScans)
        LeaveOnError(info);
}

// CMYK pixels (4 bytes) in place to 0x..RRGGBB words. Adobe's files store
// the inks inverted (255: no ink).
void ConvertCmykRow(uint8_t* row, int32_t width, bool isInverted) {
    for (int32_t x = 0; x < width; ++x) {
        uint8_t* pixel = row + 4 * x;
        uint32_t c = pixel[0], m = pixel[1], y = pixel[2], k = pixel[3];
        if (!isInverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        pixel[0] = uint8_t((y * k + 127) / 255);  // blue
        pixel[1] = uint8_t((m * k + 127) / 255);
        pixel[2] = uint8_t((c * k + 127) / 255);  // red
        pixel[3] = 255;
    }
}

}  // namespace

bool DecodeJpeg(FILE* file, DecodedPicture* picture) {
    *picture = DecodedPicture{};
    jpeg_decompress_struct info;
    JpegErrors errors;
    jpeg_progress_mgr progress = {};
    info.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = LeaveOnError;
    errors.manager.output_message = IgnoreMessage;
    progress.progress_monitor = LimitScans;
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&info);
        FreeDecodedPicture(picture);
        return false;
    }
    jpeg_create_decompress(&info);
    info.mem->max_memory_to_use = long(MaxPictureBytes);
    info.progress = &progress;
    jpeg_stdio_src(&info, file);
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK ||
        !IsPictureSizeAllowed(info.image_width, info.image_height))
        LeaveOnError(reinterpret_cast<j_common_ptr>(&info));

    bool isCmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    info.out_color_space = isCmyk ? JCS_CMYK : JCS_RGB;
    jpeg_calc_output_dimensions(&info);
    int32_t width = int32_t(info.output_width);
    if (!AllocateDecodedPicture(width, int32_t(info.output_height), (isCmyk ? 4 : 3) * width,
                                isCmyk ? PixelLayoutXrgb32 : PixelLayoutRgb24, picture))
        LeaveOnError(reinterpret_cast<j_common_ptr>(&info));
    jpeg_start_decompress(&info);
    const PictureRows& rows = picture->rows;
    while (info.output_scanline < info.output_height) {
        JSAMPROW targets[16];
        JDIMENSION first = info.output_scanline;
        int count = 0;
        for (; count < 16 && first + JDIMENSION(count) < info.output_height; ++count)
            targets[count] = picture->memory.bytes + size_t(first + count) * size_t(rows.pitch);
        if (jpeg_read_scanlines(&info, targets, JDIMENSION(count)) == 0)  // cannot happen with a file
            LeaveOnError(reinterpret_cast<j_common_ptr>(&info));
    }
    if (isCmyk)
        for (int32_t y = 0; y < rows.height; ++y)
            ConvertCmykRow(picture->memory.bytes + size_t(y) * size_t(rows.pitch), rows.width,
                           info.saw_Adobe_marker);
    // What follows the last row (more markers, the end) is not read.
    jpeg_destroy_decompress(&info);
    return true;
}
