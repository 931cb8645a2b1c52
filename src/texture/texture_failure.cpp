// The texture loader's reasons in words, with the caps of the viewer's own
// decoders where they read the pictures.
#include "texture/texture_failure.h"

#include <cstring>

#include "file/regular_file.h"
#ifndef _WIN32
#include "texture/picture_decode.h"
#endif

std::string DescribeTextureFailure(const TextureLoadReport& report) {
#ifdef _WIN32
    const std::string caps;  // the system's decoder sets its own
#else
    const std::string caps = " (sides up to " + std::to_string(MaxPictureSide) + ", " +
                             std::to_string(MaxPictureBytes >> 20) + " MiB of pixels)";
#endif
    switch (report.failure) {
        case PictureFailureNone: return "";
        case PictureFailurePathTooLong:
            return "its full path is longer than " + std::to_string(FullPathCapacity - 1) + " characters";
        case PictureFailureMissing:
        case PictureFailureNotReadable: return std::strerror(report.systemError);
        case PictureFailureNotAFile: return DescribeFileKind(FileKind(report.systemError));
        case PictureFailureNotAPicture: return "not a BMP, PNG, JPEG or GIF picture";
        case PictureFailureUndecodable:
            return "the picture cannot be decoded, or is larger than the viewer takes" + caps;
        case PictureFailureTooLarge: return "the file is larger than the viewer takes" + caps;
        case PictureFailureAddress: return "an address, which the viewer does not fetch";
        case PictureFailureNoTexture: return "no texture can be made of the picture (too large?)";
    }
    return "";
}
