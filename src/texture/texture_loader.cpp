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

// The load's first steps: the full path, the service's load, the canvas.
// Null on failure, with the reason in `report`; otherwise the record, which
// the caller gives back with ReleasePicture.
PictureRecord* OpenPicture(const char* pictureName, TextureLoadReport* report) {
    PathChar name[FullPathCapacity], fullPath[FullPathCapacity];
    bool isFormed = NameToPath(pictureName, name, FullPathCapacity);
    if (IsPictureAddress(pictureName)) {
        isFormed = isFormed && FormFullPath(name, nullptr, PathSeparator, fullPath);
    } else {
        PathChar currentDirectory[FullPathCapacity];
        isFormed = isFormed && ReadCurrentDirectory(currentDirectory, FullPathCapacity) &&
                   FormFullPath(name, currentDirectory, PathSeparator, fullPath);
    }
    if (!isFormed) {
        report->failure = PictureFailurePathTooLong;
        return nullptr;
    }

    auto start = std::chrono::steady_clock::now();
    PictureRecord* picture = nullptr;
    if (!LoadPicture(fullPath, &picture, &report->failure, &report->systemError)) return nullptr;
    report->decodeSeconds = SecondsSince(start);
    if (!OpenPictureCanvas(picture)) {
        ReleasePicture(picture);
        report->failure = PictureFailureNoTexture;
        return nullptr;
    }
    return picture;
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
    PictureRecord* picture = OpenPicture(pictureName, report);
    if (!picture) return false;

    GLint maxSide = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSide);
    MeasurePicture(picture, &report->pictureWidth, &report->pictureHeight);
    int32_t textureWidth = ChooseTextureSide(report->pictureWidth, maxSide);
    int32_t textureHeight = ChooseTextureSide(report->pictureHeight, maxSide);

    uint8_t* pixels = nullptr;
    if (!CreatePixelBlock(picture, textureWidth, textureHeight, &pixels)) {
        ReleasePicture(picture);
        report->failure = PictureFailureNoTexture;
        return false;
    }
    auto start = std::chrono::steady_clock::now();
    DrawPicture(picture, textureWidth, textureHeight);
    report->scaleSeconds = SecondsSince(start);

    start = std::chrono::steady_clock::now();
    ConvertPixels(pixels, textureWidth, textureHeight);
    report->conversionSeconds = SecondsSince(start);

    start = std::chrono::steady_clock::now();
    CreatePictureTexture(pixels, textureWidth, textureHeight, textureOut);
    report->uploadSeconds = SecondsSince(start);
    report->textureWidth = textureWidth;
    report->textureHeight = textureHeight;

    ReleasePicture(picture);
    return true;
}

bool ReadPictureReported(const char* pictureName, TextureLoadReport* report) {
    *report = TextureLoadReport{};
    PictureRecord* picture = OpenPicture(pictureName, report);
    if (!picture) return false;
    MeasurePicture(picture, &report->pictureWidth, &report->pictureHeight);
    ReleasePicture(picture);
    return true;
}
