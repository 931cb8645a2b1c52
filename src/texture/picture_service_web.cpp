// The picture service in the browser: the browser decodes the file's bytes
// (picture_service_web.js), as OLE decodes on Windows, into the picture at
// its own size; the steps it shares with the Linux service
// (picture_service_posix.cpp) scale it into the pixel block. BMP, PNG, JPEG
// and GIF are read, and whatever else the browser reads (WebP, ICO, AVIF,
// ...). The size caps are checked on the header before the browser sees the
// file where the header states the size, and on the decoded size in every
// case before pixel memory is taken.
#include <cerrno>
#include <cstdio>
#include <new>
#include <vector>

#include "texture/picture_decode.h"
#include "texture/picture_header.h"
#include "texture/picture_service.h"
#include "texture/picture_service_posix.h"

extern "C" {
// Hands `size` bytes to the browser's decoder and waits for it: a handle of
// the decoded picture and its size, or 0 when the browser cannot read it.
int WebDecodePicture(const uint8_t* bytes, size_t size, int32_t* width, int32_t* height);
// The decoded picture's pixels as red, green, blue, alpha bytes, top row first.
void WebReadPicturePixels(int handle, uint8_t* rgba);
void WebReleasePicture(int handle);
}

namespace {

// The whole file, as the browser takes it in one piece.
bool ReadPictureBytes(const char* path, std::vector<uint8_t>* bytes, PictureFailure* failure,
                      int* systemError) {
    FILE* file = OpenPictureFile(path, failure, systemError);
    if (!file) return false;
    errno = 0;
    bool isRead = std::fseek(file, 0, SEEK_END) == 0;
    long size = isRead ? std::ftell(file) : -1;
    isRead = size > 0 && std::fseek(file, 0, SEEK_SET) == 0;
    if (isRead) {
        bytes->resize(size_t(size));
        isRead = std::fread(bytes->data(), 1, bytes->size(), file) == bytes->size();
    }
    std::fclose(file);
    if (!isRead) {
        *failure = PictureFailureNotReadable;
        *systemError = errno ? errno : EIO;
    }
    return isRead;
}

}  // namespace

bool LoadPicture(const PathChar* path, PictureRecord** picture, PictureFailure* failure,
                 int* systemError) {
    if (IsPictureAddress(path)) {  // no fetching: nothing leaves the page
        *failure = PictureFailureAddress;
        return false;
    }

    std::vector<uint8_t> bytes;
    if (!ReadPictureBytes(path, &bytes, failure, systemError)) return false;
    int64_t statedWidth = 0, statedHeight = 0;
    if (ReadHeaderPictureSize(bytes.data(), bytes.size(), &statedWidth, &statedHeight) &&
        !IsPictureSizeAllowed(statedWidth, statedHeight)) {
        *failure = PictureFailureTooLarge;
        return false;
    }

    int32_t width = 0, height = 0;
    int handle = WebDecodePicture(bytes.data(), bytes.size(), &width, &height);
    if (!handle) {
        *failure = PictureFailureUndecodable;
        return false;
    }
    bytes = std::vector<uint8_t>();  // the browser has its own copy
    PictureRecord* record = new (std::nothrow) PictureRecord{};
    *failure = PictureFailureNone;
    if (!record) {
        *failure = PictureFailureNotReadable;
        *systemError = ENOMEM;
    } else if (!IsPictureSizeAllowed(width, height)) {
        *failure = PictureFailureTooLarge;
    } else if (!AllocateDecodedPicture(width, height, 4 * width, PixelLayoutAbgr32, &record->decoded)) {
        *failure = PictureFailureUndecodable;
    } else {
        WebReadPicturePixels(handle, record->decoded.memory.bytes);
    }
    WebReleasePicture(handle);
    if (*failure != PictureFailureNone) {
        delete record;
        return false;
    }
    *picture = record;
    return true;
}
