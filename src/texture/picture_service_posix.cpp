// What the picture services of Linux and the web share: the current
// directory, the name as a path, the file opened as the services take it,
// and every step after the decode: the picture, decoded into memory, is
// scaled into a pixel block of the service's own.
#include "texture/picture_service_posix.h"

#include <unistd.h>

#include <cstring>

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

bool ReadCurrentDirectory(PathChar* directory, int32_t capacity) {
    return getcwd(directory, size_t(capacity)) != nullptr;
}

bool NameToPath(const char* pictureName, PathChar* name, int32_t capacity) {
    size_t length = std::strlen(pictureName);
    if (length >= size_t(capacity)) return false;
    std::memcpy(name, pictureName, length + 1);
    return true;
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
