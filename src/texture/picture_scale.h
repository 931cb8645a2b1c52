// Scaling a decoded picture to the texture size for the Linux picture
// service.
#pragma once

#include <cstdint>

// How the decoded picture's pixels lie in memory.
enum PixelLayout {
    PixelLayoutArgb32,  // 32-bit words 0xAARRGGBB
    PixelLayoutXrgb32,  // 32-bit words 0x..RRGGBB, opaque
    PixelLayoutAbgr32,  // 32-bit words 0xAABBGGRR
    PixelLayoutXbgr32,  // 32-bit words 0x..BBGGRR, opaque
    PixelLayoutRgb24,   // bytes red, green, blue
    PixelLayoutBgr24,   // bytes blue, green, red
};

// The decoded picture, top row first.
struct PictureRows {
    const uint8_t* pixels;
    int32_t pitch;  // bytes from one row to the next
    int32_t width;
    int32_t height;
    PixelLayout layout;
};

// Draws the picture over black and scales it to width x height into
// `block`: 4-byte pixels blue, green, red, 0, bottom row first. Each axis is
// resampled on its own with a triangle (tent) filter whose support widens
// with the reduction, so enlarging is bilinear and reducing averages every
// source pixel it covers. Equal sizes copy the pixels unchanged.
void ScalePicture(const PictureRows& picture, uint8_t* block, int32_t width, int32_t height);
