// The picture service over the format libraries: BMP (our own reader), PNG
// (libspng), JPEG (libjpeg) and GIF (giflib), recognised by their signature.
// Each decoder checks the size caps on its own reading of the header, before
// any pixel memory is allocated; the scaler then draws the picture into the
// pixel block (picture_service_posix.cpp).
#include "texture/picture_service.h"

#include <cerrno>
#include <cstdio>
#include <new>

#include "texture/picture_decode.h"
#include "texture/picture_service_posix.h"

bool LoadPicture(const PathChar* path, PictureRecord** picture, PictureFailure* failure,
                 int* systemError) {
    if (IsPictureAddress(path)) {  // no fetching here
        *failure = PictureFailureAddress;
        return false;
    }

    FILE* file = OpenPictureFile(path, failure, systemError);
    if (!file) return false;
    PictureRecord* record = new (std::nothrow) PictureRecord{};
    uint8_t signature[8];
    errno = 0;
    size_t signatureBytes = std::fread(signature, 1, sizeof signature, file);
    *failure = PictureFailureUndecodable;
    if (!record) {
        *failure = PictureFailureNotReadable;
        *systemError = ENOMEM;
    } else if (std::ferror(file) || std::fseek(file, 0, SEEK_SET) != 0) {
        *failure = PictureFailureNotReadable;
        *systemError = errno ? errno : EIO;
    } else {
        bool isDecoded = false;
        switch (SniffPictureFormat(signature, signatureBytes)) {
            case PictureFormatBmp: isDecoded = DecodeBmp(file, &record->decoded); break;
            case PictureFormatPng: isDecoded = DecodePng(file, &record->decoded); break;
            case PictureFormatJpeg: isDecoded = DecodeJpeg(file, &record->decoded); break;
            case PictureFormatGif: isDecoded = DecodeGif(file, &record->decoded); break;
            case PictureFormatNone: *failure = PictureFailureNotAPicture; break;
        }
        if (isDecoded) *failure = PictureFailureNone;
    }
    std::fclose(file);
    if (*failure != PictureFailureNone) {
        delete record;
        return false;
    }
    *picture = record;
    return true;
}
