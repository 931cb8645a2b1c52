#include "texture/picture_header.h"

#include <algorithm>

#include "texture/picture_decode.h"

namespace {

uint32_t Little16(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
uint32_t Little32(const uint8_t* p) { return Little16(p) | Little16(p + 2) << 16; }
uint32_t Big16(const uint8_t* p) { return uint32_t(p[0]) << 8 | p[1]; }
uint32_t Big32(const uint8_t* p) { return Big16(p) << 16 | Big16(p + 2); }

bool ReadBmpSize(const uint8_t* data, size_t size, int64_t* width, int64_t* height) {
    if (size < 18) return false;
    uint32_t headerSize = Little32(data + 14);
    if (headerSize == 12) {  // OS/2 1.x: 16-bit sides
        if (size < 22) return false;
        *width = Little16(data + 18);
        *height = Little16(data + 20);
        return true;
    }
    if (headerSize < 16 || size < 26) return false;
    // Signed 32-bit sides; a negative height means rows top-down.
    *width = int32_t(Little32(data + 18));
    int64_t rows = int32_t(Little32(data + 22));
    *height = rows < 0 ? -rows : rows;
    return true;
}

bool ReadPngSize(const uint8_t* data, size_t size, int64_t* width, int64_t* height) {
    // The signature, then the IHDR chunk: length, type, width, height.
    if (size < 24 || data[12] != 'I' || data[13] != 'H' || data[14] != 'D' || data[15] != 'R') return false;
    *width = Big32(data + 16);
    *height = Big32(data + 20);
    return true;
}

bool ReadGifSize(const uint8_t* data, size_t size, int64_t* width, int64_t* height) {
    if (size < 13) return false;
    *width = Little16(data + 6);
    *height = Little16(data + 8);
    // Past the global colour table and any extensions to the first image:
    // a decoder shows it whole, also where it reaches beyond the screen.
    size_t at = 13;
    if (data[10] & 0x80) at += size_t(3) << ((data[10] & 7) + 1);
    while (at < size && data[at] == 0x21) {
        at += 2;  // introducer and label, then sub-blocks up to an empty one
        while (at < size && data[at] != 0) at += size_t(data[at]) + 1;
        ++at;
    }
    if (at + 9 <= size && data[at] == 0x2C) {
        *width = std::max<int64_t>(*width, int64_t(Little16(data + at + 1)) + Little16(data + at + 5));
        *height = std::max<int64_t>(*height, int64_t(Little16(data + at + 3)) + Little16(data + at + 7));
    }
    return true;
}

bool ReadJpegSize(const uint8_t* data, size_t size, int64_t* width, int64_t* height) {
    size_t at = 2;  // past the start of image
    while (at + 4 <= size) {
        if (data[at] != 0xFF) return false;
        uint8_t marker = data[at + 1];
        if (marker == 0xFF) {  // fill byte
            ++at;
            continue;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {  // no length
            at += 2;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9) return false;  // a scan, or the end, before any frame
        size_t length = Big16(data + at + 2);
        bool isFrame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (isFrame) {
            if (at + 9 > size || length < 7) return false;
            *height = Big16(data + at + 5);
            *width = Big16(data + at + 7);
            return *height != 0;  // 0: the height follows the first scan
        }
        if (length < 2) return false;
        at += 2 + length;
    }
    return false;
}

}  // namespace

bool ReadHeaderPictureSize(const uint8_t* data, size_t size, int64_t* width, int64_t* height) {
    switch (SniffPictureFormat(data, size)) {
        case PictureFormatBmp: return ReadBmpSize(data, size, width, height);
        case PictureFormatPng: return ReadPngSize(data, size, width, height);
        case PictureFormatGif: return ReadGifSize(data, size, width, height);
        case PictureFormatJpeg: return ReadJpegSize(data, size, width, height);
        case PictureFormatNone: break;
    }
    return false;
}
