// Pixels read back from the current OpenGL context: a rectangle of the frame
// or the bound texture's level 0, as tightly packed RGBA rows with the bottom
// row (texture row 0) first. For the tools, the benchmarks and the tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif
#include <GL/gl.h>

struct GlImage {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> rgba;

    // The pixel in column x of row y, row 0 at the bottom.
    const uint8_t* At(int32_t x, int32_t y) const { return &rgba[(size_t(y) * size_t(width) + size_t(x)) * 4]; }
};

// The width x height pixels whose bottom left corner is (x, y) in window
// coordinates, from the current read buffer.
inline GlImage ReadFramePixels(int32_t x, int32_t y, int32_t width, int32_t height) {
    GlImage image;
    image.width = width;
    image.height = height;
    image.rgba.resize(size_t(width) * size_t(height) * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, width, height, GL_RGBA, GL_UNSIGNED_BYTE, image.rgba.data());
    return image;
}

// The size of level 0 of the texture bound to GL_TEXTURE_2D.
inline void GetBoundTextureSize(int32_t* width, int32_t* height) {
    GLint w = 0, h = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
    *width = w;
    *height = h;
}

// The texture bound to GL_TEXTURE_2D, level 0, at its own size.
inline GlImage ReadBoundTexture() {
    GlImage image;
    GetBoundTextureSize(&image.width, &image.height);
    image.rgba.resize(size_t(image.width) * size_t(image.height) * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, image.rgba.data());
    return image;
}
