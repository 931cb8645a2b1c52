// What the picture services of Linux and the web share: the current
// directory, UTF-8 paths to UTF-16 and back, the file opened as the services
// take it, and every step after the decode: the picture, decoded into
// memory, is scaled into a pixel block of the service's own.
#include "texture/picture_service_posix.h"

#include <unistd.h>

#include "file/regular_file.h"
#include "texture/picture_scale.h"
#include "texture/picture_service.h"

FILE* OpenPictureFile(const char* path, PictureFailure* failure, int* systemError) {
    RegularFile opened = OpenRegularFile(path);
    switch (opened.failure) {
        case FileOpenDone: break;
        case FileOpenMissing: *failure = PictureFailureMissing; break;
        case FileOpenNotReadable: *failure = PictureFailureNotReadable; break;
        case FileOpenNotRegular: *failure = PictureFailureNotAFile; break;
    }
    *systemError = opened.failure == FileOpenNotRegular ? int(opened.kind) : opened.systemError;
    FILE* file = opened.file;
    if (file && (opened.size == 0 || opened.size > MaxPictureFileBytes)) {
        *failure = opened.size == 0 ? PictureFailureNotAPicture : PictureFailureTooLarge;
        std::fclose(file);
        file = nullptr;
    }
    if (!file) return nullptr;
    // Decoders read in small pieces; fewer, larger reads are cheaper.
    setvbuf(file, nullptr, _IOFBF, size_t(64) << 10);
    return file;
}

void NarrowPath(const char16_t* widePath, std::vector<char>* path) {
    for (const char16_t* unit = widePath; *unit; ++unit) {
        uint32_t code = *unit;
        if (code >= 0xDC80 && code <= 0xDCFF) {  // a byte that was not UTF-8
            path->push_back(char(code - 0xDC00));
            continue;
        }
        if (code >= 0xD800 && code <= 0xDBFF && unit[1] >= 0xDC00 && unit[1] <= 0xDFFF) {
            code = 0x10000 + ((code - 0xD800) << 10) + (unit[1] - 0xDC00);
            ++unit;
        }
        if (code < 0x80) {
            path->push_back(char(code));
        } else if (code < 0x800) {
            path->push_back(char(0xC0 | code >> 6));
            path->push_back(char(0x80 | (code & 0x3F)));
        } else if (code < 0x10000) {
            path->push_back(char(0xE0 | code >> 12));
            path->push_back(char(0x80 | (code >> 6 & 0x3F)));
            path->push_back(char(0x80 | (code & 0x3F)));
        } else {
            path->push_back(char(0xF0 | code >> 18));
            path->push_back(char(0x80 | (code >> 12 & 0x3F)));
            path->push_back(char(0x80 | (code >> 6 & 0x3F)));
            path->push_back(char(0x80 | (code & 0x3F)));
        }
    }
    path->push_back('\0');
}

bool ReadCurrentDirectory(char* directory, int32_t capacity) {
    return getcwd(directory, size_t(capacity)) != nullptr;
}

void WidenPath(const char* fullPath, char16_t* widePath, int32_t capacity) {
    const auto* in = reinterpret_cast<const unsigned char*>(fullPath);
    int32_t out = 0;
    while (*in) {
        uint32_t code = *in;
        int length = code < 0x80 ? 1 : code >= 0xC2 && code < 0xE0 ? 2 : code >= 0xE0 && code < 0xF0 ? 3
                   : code >= 0xF0 && code < 0xF5 ? 4 : 0;
        bool isValid = length != 0;
        if (length > 1) code &= 0x3F >> (length - 1);
        for (int k = 1; isValid && k < length; ++k) {
            if ((in[k] & 0xC0) != 0x80) isValid = false;
            else code = code << 6 | (in[k] & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
        if (isValid && ((length == 3 && (code < 0x800 || (code >= 0xD800 && code <= 0xDFFF))) ||
                        (length == 4 && (code < 0x10000 || code > 0x10FFFF))))
            isValid = false;
        int units = isValid && code >= 0x10000 ? 2 : 1;
        if (out + units > capacity - 1) break;  // the NUL always fits
        if (!isValid) {
            widePath[out++] = char16_t(0xDC00 + *in);
            ++in;
        } else if (code >= 0x10000) {
            code -= 0x10000;
            widePath[out++] = char16_t(0xD800 + (code >> 10));
            widePath[out++] = char16_t(0xDC00 + (code & 0x3FF));
            in += length;
        } else {
            widePath[out++] = char16_t(code);
            in += length;
        }
    }
    widePath[out] = 0;
}

bool OpenPictureCanvas(PictureRecord*) { return true; }

void MeasurePicture(PictureRecord* picture, int32_t* width, int32_t* height) {
    *width = picture->decoded.rows.width;
    *height = picture->decoded.rows.height;
}

bool CreatePixelBlock(PictureRecord* picture, int32_t width, int32_t height, uint8_t** pixels) {
    // The block's byte size must fit the 32-bit index of the pixel pass.
    if (width <= 0 || height <= 0 || int64_t(width) * height > INT32_MAX / 4) return false;
    if (!AllocatePixelMemory(size_t(width) * size_t(height) * 4, &picture->block)) return false;
    *pixels = picture->block.bytes;
    return true;
}

void DrawPicture(PictureRecord* picture, int32_t width, int32_t height) {
    ScalePicture(picture->decoded.rows, picture->block.bytes, width, height);
}

void ReleasePicture(PictureRecord* picture) {
    FreePixelMemory(&picture->block);
    FreeDecodedPicture(&picture->decoded);
    delete picture;
}
