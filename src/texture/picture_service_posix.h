// What the picture services of Linux and the web share. Besides these, the
// service's functions other than LoadPicture are defined once for both
// (picture_service_posix.cpp); each service's LoadPicture decodes.
#pragma once

#include <cstdint>
#include <cstdio>

#include "texture/picture_decode.h"
#include "texture/texture.h"

// Larger files are refused: a BMP of the largest allowed picture fits, and
// the limit bounds the records that a GIF or PNG decoder walks through.
constexpr int64_t MaxPictureFileBytes = MaxPictureBytes + (1 << 20);

// The record of both services: the picture decoded into memory, top row
// first, and the pixel block it is scaled into, zero-initialised.
struct PictureRecord {
    DecodedPicture decoded;
    PixelMemory block;
};

// A regular file of at most MaxPictureFileBytes, opened for reading;
// anything else (a folder, a device, a FIFO that would block) is refused,
// with the reason in `failure` (and errno in `systemError` where it is one).
FILE* OpenPictureFile(const char* path, PictureFailure* failure, int* systemError);
