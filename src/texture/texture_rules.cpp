// The texture loader's own rules, free of OpenGL and of the picture service:
// path forming, the texture side rule and the pixel conversion.
#include <algorithm>
#include <cmath>

#include "texture/texture.h"

namespace {

size_t PathLength(const PathChar* path) {
    size_t length = 0;
    while (path[length]) ++length;
    return length;
}

}  // namespace

bool FormFullPath(const PathChar* pictureName, const PathChar* currentDirectory, PathChar separator,
                  PathChar* fullPath) {
    size_t nameLength = PathLength(pictureName);
    if (IsPictureAddress(pictureName)) {
        if (nameLength > size_t(FullPathCapacity - 1)) return false;
        std::copy(pictureName, pictureName + nameLength + 1, fullPath);
        return true;
    }
    // The separator is always added, also after a directory that already
    // ends in one (a root), and also before a name that is itself absolute.
    size_t directoryLength = PathLength(currentDirectory);
    if (directoryLength + 1 + nameLength > size_t(FullPathCapacity - 1)) return false;
    std::copy(currentDirectory, currentDirectory + directoryLength, fullPath);
    fullPath[directoryLength] = separator;
    std::copy(pictureName, pictureName + nameLength + 1, fullPath + directoryLength + 1);
    return true;
}

int32_t ChooseTextureSide(int32_t side, int32_t maxSide) {
    if (side > maxSide) return maxSide;
    if (side <= 0) return 1;
    int32_t n = int32_t(std::floor(std::log(double(side)) / std::log(2.0) + 0.5));
    // Only a maximum above 2^30 could let n reach 31; no context has one.
    if (n > 30) return maxSide;
    return int32_t(1) << n;
}

void ConvertPixels(uint8_t* pixels, int32_t width, int32_t height) {
    int64_t count = int64_t(width) * height;
    for (int64_t i = 0; i < count; ++i) {
        uint8_t* pixel = pixels + 4 * i;
        uint8_t blue = pixel[0];
        pixel[0] = pixel[2];
        pixel[2] = blue;
        pixel[3] = (pixel[0] == 0 && pixel[1] == 0 && pixel[2] == 0) ? 0 : 255;
    }
}
