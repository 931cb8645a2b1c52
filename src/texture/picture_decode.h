// The Linux picture service's decoders. Each reads one format from an open
// file with that format's own library (BMP with the reader of our own in
// picture_bmp.cpp), checks the size caps on that reader's own parse of the
// header before any pixel memory is allocated, and leaves the decoded picture
// top row first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "texture/picture_scale.h"

// Largest decoded picture the service accepts: sides up to 16384 and
// 256 MiB of 4-byte pixels. Larger ones are refused before they are decoded.
constexpr int64_t MaxPictureSide = 16384;
constexpr int64_t MaxPictureBytes = int64_t(256) << 20;

// Sides up to MaxPictureSide and at most MaxPictureBytes at 4 bytes a pixel.
bool IsPictureSizeAllowed(int64_t width, int64_t height);

enum PictureFormat { PictureFormatNone, PictureFormatBmp, PictureFormatPng, PictureFormatJpeg, PictureFormatGif };

// The format by its signature in the file's first bytes (8 are enough).
// Only the signature: every size is read by the format's decoder.
PictureFormat SniffPictureFormat(const uint8_t* data, size_t size);

// Zero-filled memory for pixels. Blocks from a few MiB on get a mapping of
// their own: fresh pages cost nothing until they are touched.
struct PixelMemory {
    uint8_t* bytes;
    size_t size;
    bool isMapped;
};
bool AllocatePixelMemory(size_t size, PixelMemory* memory);
void FreePixelMemory(PixelMemory* memory);  // safe on an empty record

// A decoded picture: `rows` looks into `memory`.
struct DecodedPicture {
    PixelMemory memory;
    PictureRows rows;
};

// Each decodes the file from its current position (its first byte). False
// for a file the decoder refuses, with nothing held; true with a picture of
// at least 1 x 1 pixels within the caps.
bool DecodeBmp(FILE* file, DecodedPicture* picture);
bool DecodePng(FILE* file, DecodedPicture* picture);
bool DecodeJpeg(FILE* file, DecodedPicture* picture);
bool DecodeGif(FILE* file, DecodedPicture* picture);

// Sets up `picture` for width x height pixels in `layout`, rows `pitch`
// bytes apart (at most 4 bytes a pixel and 3 of padding); false when the size
// breaks the caps or the memory cannot be had.
bool AllocateDecodedPicture(int32_t width, int32_t height, int32_t pitch, PixelLayout layout,
                            DecodedPicture* picture);
void FreeDecodedPicture(DecodedPicture* picture);
