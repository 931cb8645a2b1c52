#include "texture/picture_format.h"

#include <cstring>

#include "texture/picture_service.h"

namespace {

uint32_t ReadLe16(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
uint32_t ReadLe32(const uint8_t* p) { return ReadLe16(p) | ReadLe16(p + 2) << 16; }
uint32_t ReadBe16(const uint8_t* p) { return uint32_t(p[0]) << 8 | p[1]; }
uint32_t ReadBe32(const uint8_t* p) { return ReadBe16(p) << 16 | ReadBe16(p + 2); }

int64_t Magnitude(int32_t value) { return value < 0 ? -int64_t(value) : int64_t(value); }

bool ReadBmpHeader(const uint8_t* data, size_t size, PictureHeader* header) {
    if (size < 18) return false;
    uint32_t infoSize = ReadLe32(data + 14);
    if (infoSize == 12) {  // OS/2 1.x: 16-bit sides
        if (size < 22) return false;
        header->width = ReadLe16(data + 18);
        header->height = ReadLe16(data + 20);
        return true;
    }
    if (size < 26) return false;
    header->width = Magnitude(int32_t(ReadLe32(data + 18)));
    header->height = Magnitude(int32_t(ReadLe32(data + 22)));
    return true;
}

bool ReadPngHeader(const uint8_t* data, size_t size, PictureHeader* header) {
    if (size < 24 || std::memcmp(data + 12, "IHDR", 4) != 0) return false;
    header->width = ReadBe32(data + 16);
    header->height = ReadBe32(data + 20);
    return true;
}

bool ReadGifHeader(const uint8_t* data, size_t size, PictureHeader* header) {
    if (size < 13) return false;
    int64_t width = ReadLe16(data + 6), height = ReadLe16(data + 8);
    size_t at = 13;
    if (data[10] & 0x80) at += 3 * (size_t(2) << (data[10] & 7));  // global colour table
    // Skip extensions up to the first image descriptor.
    while (at < size) {
        uint8_t block = data[at];
        if (block == 0x2C) {
            if (size - at < 10) return false;
            int64_t imageWidth = ReadLe16(data + at + 5), imageHeight = ReadLe16(data + at + 7);
            header->width = width > imageWidth ? width : imageWidth;
            header->height = height > imageHeight ? height : imageHeight;
            return true;
        }
        if (block != 0x21) return false;  // trailer or garbage: no image
        at += 2;
        while (at < size && data[at] != 0) at += size_t(data[at]) + 1;
        ++at;
    }
    return false;
}

bool IsJpegFrameMarker(uint8_t marker) {
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 &&
           marker != 0xCC;
}

bool ReadJpegHeader(const uint8_t* data, size_t size, PictureHeader* header) {
    size_t at = 2;
    for (;;) {
        if (at >= size || data[at] != 0xFF) return false;
        while (at < size && data[at] == 0xFF) ++at;  // fill bytes
        if (at >= size) return false;
        uint8_t marker = data[at++];
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;  // no length
        if (marker == 0xD9 || marker == 0xDA) return false;  // no frame before the scan
        if (size - at < 2) return false;
        size_t length = ReadBe16(data + at);
        if (length < 2) return false;
        if (IsJpegFrameMarker(marker)) {
            if (length < 7 || size - at < 7) return false;
            header->height = ReadBe16(data + at + 3);
            header->width = ReadBe16(data + at + 5);
            return true;
        }
        at += length;
    }
}

}  // namespace

bool ReadPictureHeader(const uint8_t* data, size_t size, PictureHeader* header) {
    static const uint8_t pngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    if (size >= 2 && data[0] == 'B' && data[1] == 'M') {
        header->format = PictureFormatBmp;
        return ReadBmpHeader(data, size, header);
    }
    if (size >= 8 && std::memcmp(data, pngSignature, 8) == 0) {
        header->format = PictureFormatPng;
        return ReadPngHeader(data, size, header);
    }
    if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF) {
        header->format = PictureFormatJpeg;
        return ReadJpegHeader(data, size, header);
    }
    if (size >= 6 && (std::memcmp(data, "GIF87a", 6) == 0 || std::memcmp(data, "GIF89a", 6) == 0)) {
        header->format = PictureFormatGif;
        return ReadGifHeader(data, size, header);
    }
    return false;
}

bool IsPictureSizeAllowed(int64_t width, int64_t height) {
    return width >= 0 && height >= 0 && width <= MaxPictureSide && height <= MaxPictureSide &&
           width * height * 4 <= MaxPictureBytes;
}

bool IsBitfieldsBmp(const uint8_t* data, size_t size) {
    if (size < 34 || data[0] != 'B' || data[1] != 'M') return false;
    uint32_t infoSize = ReadLe32(data + 14);
    uint32_t bitCount = ReadLe16(data + 28), compression = ReadLe32(data + 30);
    // An OS/2 2.x header (64 bytes) uses compression 3 for Huffman coding.
    return infoSize >= 40 && infoSize != 64 && (compression == 3 || compression == 6) &&
           (bitCount == 16 || bitCount == 32);
}

bool ReadBitfieldsBmp(const uint8_t* data, size_t size, BitfieldsBmp* bmp) {
    if (size < 66) return false;
    uint32_t infoSize = ReadLe32(data + 14);
    int32_t width = int32_t(ReadLe32(data + 18)), height = int32_t(ReadLe32(data + 22));
    if (width <= 0 || height == 0 || !IsPictureSizeAllowed(width, Magnitude(height))) return false;
    bmp->width = width;
    bmp->height = int32_t(Magnitude(height));
    bmp->isTopDown = height < 0;
    bmp->bitCount = int32_t(ReadLe16(data + 28));
    // The masks follow a 40-byte header, or are its fields in longer ones.
    bmp->masks[0] = ReadLe32(data + 54);
    bmp->masks[1] = ReadLe32(data + 58);
    bmp->masks[2] = ReadLe32(data + 62);
    bmp->masks[3] = 0;
    if (infoSize >= 56 || ReadLe32(data + 30) == 6) {
        if (size < 70) return false;
        bmp->masks[3] = ReadLe32(data + 66);
    }
    if (bmp->bitCount == 16)
        for (uint32_t& mask : bmp->masks) mask &= 0xFFFF;
    if ((bmp->masks[0] | bmp->masks[1] | bmp->masks[2]) == 0) return false;
    bmp->pixelOffset = ReadLe32(data + 10);
    bmp->rowBytes = (size_t(width) * size_t(bmp->bitCount) + 31) / 32 * 4;
    return bmp->pixelOffset <= size &&
           (size - bmp->pixelOffset) / bmp->rowBytes >= size_t(bmp->height);
}

namespace {

struct Channel {
    uint32_t mask;
    int shift;
    uint64_t maximum;  // the mask's value shifted down
};

Channel MakeChannel(uint32_t mask) {
    Channel channel = {mask, 0, 0};
    if (mask == 0) return channel;
    while (!(mask >> channel.shift & 1)) ++channel.shift;
    channel.maximum = mask >> channel.shift;
    return channel;
}

uint32_t ScaleChannel(const Channel& channel, uint32_t value) {
    if (channel.maximum == 0) return 0;
    uint64_t part = (value & channel.mask) >> channel.shift;
    return uint32_t((part * 255 + channel.maximum / 2) / channel.maximum);
}

}  // namespace

void DecodeBitfieldsBmp(const uint8_t* data, const BitfieldsBmp& bmp, uint32_t* pixels,
                        int32_t pitch) {
    Channel red = MakeChannel(bmp.masks[0]), green = MakeChannel(bmp.masks[1]),
            blue = MakeChannel(bmp.masks[2]), alpha = MakeChannel(bmp.masks[3]);
    bool isAnyAlpha = false;
    for (int32_t row = 0; row < bmp.height; ++row) {
        const uint8_t* in = data + bmp.pixelOffset + size_t(row) * bmp.rowBytes;
        int32_t y = bmp.isTopDown ? row : bmp.height - 1 - row;
        uint32_t* out = pixels + size_t(y) * size_t(pitch);
        for (int32_t x = 0; x < bmp.width; ++x) {
            uint32_t value = bmp.bitCount == 16 ? ReadLe16(in + 2 * x) : ReadLe32(in + 4 * x);
            uint32_t a = alpha.mask ? ScaleChannel(alpha, value) : 255;
            isAnyAlpha |= a != 0;
            out[x] = a << 24 | ScaleChannel(red, value) << 16 | ScaleChannel(green, value) << 8 |
                     ScaleChannel(blue, value);
        }
    }
    if (isAnyAlpha) return;
    for (int32_t y = 0; y < bmp.height; ++y)  // an alpha mask that is never used
        for (int32_t x = 0; x < bmp.width; ++x) pixels[size_t(y) * size_t(pitch) + x] |= 0xFF000000u;
}
