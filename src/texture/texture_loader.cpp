// The picture texture loader: path forming, texture side rule, pixel
// conversion and texture creation around the platform's picture service.
#include "texture/texture.h"

#include <chrono>
#include <cmath>
#include <cstring>

#include "texture/picture_service.h"

TextureLoadTimes* textureLoadTimes = nullptr;

namespace {

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

bool IsPictureAddress(const char* pictureName) {
    return std::strstr(pictureName, "http://") != nullptr;
}

bool FormFullPath(const char* pictureName, const char* currentDirectory, char separator,
                  char* fullPath) {
    size_t nameLength = std::strlen(pictureName);
    if (IsPictureAddress(pictureName)) {
        if (nameLength > size_t(FullPathCapacity - 1)) return false;
        std::memcpy(fullPath, pictureName, nameLength + 1);
        return true;
    }
    // The separator is always added, also after a directory that already
    // ends in one (a root), and also before a name that is itself absolute.
    size_t directoryLength = std::strlen(currentDirectory);
    if (directoryLength + 1 + nameLength > size_t(FullPathCapacity - 1)) return false;
    std::memcpy(fullPath, currentDirectory, directoryLength);
    fullPath[directoryLength] = separator;
    std::memcpy(fullPath + directoryLength + 1, pictureName, nameLength + 1);
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

void CreatePictureTexture(const uint8_t* pixels, int32_t width, int32_t height,
                          GLuint* textureOut) {
    glGenTextures(1, textureOut);
    glBindTexture(GL_TEXTURE_2D, *textureOut);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
}

bool LoadPictureTexture(const char* pictureName, GLuint* textureOut) {
    char fullPath[FullPathCapacity];
    if (IsPictureAddress(pictureName)) {
        if (!FormFullPath(pictureName, nullptr, PathSeparator, fullPath)) return false;
    } else {
        char currentDirectory[FullPathCapacity];
        if (!ReadCurrentDirectory(currentDirectory, FullPathCapacity)) return false;
        if (!FormFullPath(pictureName, currentDirectory, PathSeparator, fullPath)) return false;
    }
    char16_t widePath[FullPathCapacity];
    WidenPath(fullPath, widePath, FullPathCapacity);

    auto start = std::chrono::steady_clock::now();
    PictureRecord picture = {};
    if (!LoadPicture(widePath, &picture)) return false;
    double decodeSeconds = SecondsSince(start);
    if (!OpenPictureCanvas(&picture)) {
        ReleasePicture(&picture);
        return false;
    }

    GLint maxSide = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSide);
    int32_t pictureWidth = 0, pictureHeight = 0;
    MeasurePicture(&picture, &pictureWidth, &pictureHeight);
    int32_t textureWidth = ChooseTextureSide(pictureWidth, maxSide);
    int32_t textureHeight = ChooseTextureSide(pictureHeight, maxSide);

    uint8_t* pixels = nullptr;
    if (!CreatePixelBlock(&picture, textureWidth, textureHeight, &pixels)) {
        ReleasePicture(&picture);
        return false;
    }
    start = std::chrono::steady_clock::now();
    DrawPicture(&picture, textureWidth, textureHeight);
    double scaleSeconds = SecondsSince(start);

    start = std::chrono::steady_clock::now();
    ConvertPixels(pixels, textureWidth, textureHeight);
    double conversionSeconds = SecondsSince(start);

    start = std::chrono::steady_clock::now();
    CreatePictureTexture(pixels, textureWidth, textureHeight, textureOut);
    double uploadSeconds = SecondsSince(start);

    ReleasePicture(&picture);
    if (textureLoadTimes)
        *textureLoadTimes = {decodeSeconds, scaleSeconds, conversionSeconds, uploadSeconds};
    return true;
}
