#include "png_output.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_image.h>
#include <unistd.h>

#include <cstring>
#include <vector>

bool WriteBottomUpPng(const std::string& path, const uint8_t* rgba, int32_t width, int32_t height,
                      bool keepAlpha, std::string* error) {
    const size_t pixelBytes = keepAlpha ? 4 : 3;
    const size_t rowBytes = size_t(width) * pixelBytes;
    std::vector<uint8_t> image(rowBytes * size_t(height));
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* from = rgba + size_t(height - 1 - y) * size_t(width) * 4;
        uint8_t* to = &image[size_t(y) * rowBytes];
        if (keepAlpha) {
            std::memcpy(to, from, rowBytes);
        } else {
            for (int32_t x = 0; x < width; ++x, from += 4, to += 3) std::memcpy(to, from, 3);
        }
    }
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(
        image.data(), width, height, int(pixelBytes * 8), int(rowBytes),
        keepAlpha ? SDL_PIXELFORMAT_RGBA32 : SDL_PIXELFORMAT_RGB24);
    if (!surface) {
        *error = SDL_GetError();
        return false;
    }
    bool isWritten = IMG_SavePNG(surface, path.c_str()) == 0;
    if (!isWritten) *error = IMG_GetError();
    SDL_FreeSurface(surface);
    return isWritten;
}

std::string AbsolutePath(const std::string& path) {
    char start[4096];
    if (path.empty() || path[0] == '/' || !getcwd(start, sizeof start)) return path;
    return std::string(start) + "/" + path;
}
