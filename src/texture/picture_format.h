// What the Linux picture service learns from a picture file's bytes before
// it decodes anything: the format and the size the decoder will allocate, and
// the BMP variant with arbitrary bit-field masks that it decodes itself.
#pragma once

#include <cstddef>
#include <cstdint>

enum PictureFormat { PictureFormatBmp, PictureFormatPng, PictureFormatJpeg, PictureFormatGif };

struct PictureHeader {
    PictureFormat format;
    int64_t width;   // absolute values: what a decoder would allocate
    int64_t height;
};

// Format by signature, and the picture's size from its header (GIF: the
// larger of the screen and the first image; JPEG: the first frame header).
// False for any other format or a header that ends before the size.
bool ReadPictureHeader(const uint8_t* data, size_t size, PictureHeader* header);

// Sides up to MaxPictureSide and at most MaxPictureBytes at 4 bytes a pixel.
bool IsPictureSizeAllowed(int64_t width, int64_t height);

// An uncompressed 16- or 32-bit BMP whose pixels are described by bit masks.
struct BitfieldsBmp {
    int32_t width;
    int32_t height;   // rows in the file
    bool isTopDown;   // first row in the file is the top row
    int32_t bitCount;
    uint32_t masks[4];  // red, green, blue, alpha (0: none)
    size_t pixelOffset;
    size_t rowBytes;
};

// True when `data` is a bit-field BMP (BI_BITFIELDS or BI_ALPHABITFIELDS at
// 16 or 32 bits with a Windows info header): those are decoded here, since
// SDL refuses masks that are not whole bytes.
bool IsBitfieldsBmp(const uint8_t* data, size_t size);

// Reads the layout of a bit-field BMP; false when it is inconsistent or the
// file is too short for its pixels.
bool ReadBitfieldsBmp(const uint8_t* data, size_t size, BitfieldsBmp* bmp);

// Decodes into 32-bit pixels 0xAARRGGBB, top row first, `pitch` pixels a
// row. Channels of any width are scaled to 8 bits; without an alpha mask, or
// when every alpha is 0, the picture is opaque.
void DecodeBitfieldsBmp(const uint8_t* data, const BitfieldsBmp& bmp, uint32_t* pixels,
                        int32_t pitch);
