// The picture service over the format libraries: BMP (our own reader), PNG
// (libspng), JPEG (libjpeg) and GIF (giflib), recognised by their signature.
// Each decoder checks the size caps on its own reading of the header, before
// any pixel memory is allocated; the scaler then draws the picture into the
// pixel block (picture_service_posix.cpp).
#include "texture/picture_service.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "texture/picture_decode.h"
#include "texture/picture_service_posix.h"

bool LoadPicture(const char16_t* widePath, PictureRecord* picture) {
    std::vector<char> path;
    NarrowPath(widePath, &path);
    if (std::strstr(path.data(), "http://")) return false;  // no fetching here

    FILE* file = OpenPictureFile(path.data());
    if (!file) return false;
    uint8_t signature[8];
    size_t signatureBytes = std::fread(signature, 1, sizeof signature, file);
    bool isDecoded = false;
    if (std::fseek(file, 0, SEEK_SET) == 0) {
        switch (SniffPictureFormat(signature, signatureBytes)) {
            case PictureFormatBmp: isDecoded = DecodeBmp(file, &picture->decoded); break;
            case PictureFormatPng: isDecoded = DecodePng(file, &picture->decoded); break;
            case PictureFormatJpeg: isDecoded = DecodeJpeg(file, &picture->decoded); break;
            case PictureFormatGif: isDecoded = DecodeGif(file, &picture->decoded); break;
            case PictureFormatNone: break;
        }
    }
    std::fclose(file);
    return isDecoded;
}
