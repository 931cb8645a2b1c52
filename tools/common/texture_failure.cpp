// The texture loader's reasons in words, with the Linux picture service's caps.
#include "texture_failure.h"

#include <cstring>

#include "file/regular_file.h"
#include "texture/picture_decode.h"

std::string DescribeTextureFailure(const TextureLoadReport& report) {
    const std::string caps = "(sides up to " + std::to_string(MaxPictureSide) + ", " +
                             std::to_string(MaxPictureBytes >> 20) + " MiB of pixels)";
    switch (report.failure) {
        case PictureFailureNone: return "";
        case PictureFailurePathTooLong:
            return "its full path is longer than " + std::to_string(FullPathCapacity - 1) + " characters";
        case PictureFailureMissing:
        case PictureFailureNotReadable: return std::strerror(report.systemError);
        case PictureFailureNotAFile: return DescribeFileKind(FileKind(report.systemError));
        case PictureFailureNotAPicture: return "not a BMP, PNG, JPEG or GIF picture";
        case PictureFailureUndecodable:
            return "the picture cannot be decoded, or is larger than the viewer takes " + caps;
        case PictureFailureTooLarge: return "the file is larger than the viewer takes " + caps;
        case PictureFailureAddress: return "an address, which the viewer does not fetch";
        case PictureFailureNoTexture: return "no texture can be made of the picture (too large?)";
    }
    return "";
}
