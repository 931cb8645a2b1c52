// The picture texture loader: one whole load around the platform's picture
// service, and texture creation. Its pure rules are in texture_rules.cpp.
#include "texture/texture.h"

#include <chrono>
#include <cstring>

#include "texture/picture_service.h"

namespace {

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

void CreatePictureTexture(const uint8_t* pixels, int32_t width, int32_t height,
                          GLuint* textureOut) {
    glGenTextures(1, textureOut);
    glBindTexture(GL_TEXTURE_2D, *textureOut);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
}

bool LoadPictureTexture(const char* pictureName, GLuint* textureOut) {
    return LoadPictureTextureReported(pictureName, textureOut, nullptr);
}

bool LoadPictureTextureReported(const char* pictureName, GLuint* textureOut, TextureLoadReport* report) {
    TextureLoadReport ignored;
    if (!report) report = &ignored;
    *report = TextureLoadReport{};
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
    report->isPictureLoaded = true;
    report->decodeSeconds = SecondsSince(start);
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
    report->pictureWidth = pictureWidth;
    report->pictureHeight = pictureHeight;

    uint8_t* pixels = nullptr;
    if (!CreatePixelBlock(&picture, textureWidth, textureHeight, &pixels)) {
        ReleasePicture(&picture);
        return false;
    }
    start = std::chrono::steady_clock::now();
    DrawPicture(&picture, textureWidth, textureHeight);
    report->scaleSeconds = SecondsSince(start);

    start = std::chrono::steady_clock::now();
    ConvertPixels(pixels, textureWidth, textureHeight);
    report->conversionSeconds = SecondsSince(start);

    start = std::chrono::steady_clock::now();
    CreatePictureTexture(pixels, textureWidth, textureHeight, textureOut);
    report->uploadSeconds = SecondsSince(start);
    report->textureWidth = textureWidth;
    report->textureHeight = textureHeight;

    ReleasePicture(&picture);
    return true;
}
