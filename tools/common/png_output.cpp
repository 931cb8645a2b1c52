// PNG files of what OpenGL drew (libspng), and their reading back.
#include "png_output.h"

#include <spng.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "output_file.h"

bool EncodeBottomUpPng(const uint8_t* rgba, int32_t width, int32_t height, bool keepAlpha,
                       std::vector<uint8_t>* png, std::string* error) {
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
    spng_ctx* context = spng_ctx_new(SPNG_CTX_ENCODER);
    spng_ihdr header = {};
    header.width = uint32_t(width);
    header.height = uint32_t(height);
    header.bit_depth = 8;
    header.color_type = keepAlpha ? SPNG_COLOR_TYPE_TRUECOLOR_ALPHA : SPNG_COLOR_TYPE_TRUECOLOR;
    int result = context ? spng_set_option(context, SPNG_ENCODE_TO_BUFFER, 1) : SPNG_EMEM;
    if (result == 0) result = spng_set_ihdr(context, &header);
    if (result == 0)
        result = spng_encode_image(context, image.data(), image.size(), SPNG_FMT_PNG, SPNG_ENCODE_FINALIZE);
    size_t size = 0;
    void* encoded = result == 0 ? spng_get_png_buffer(context, &size, &result) : nullptr;
    if (encoded) png->assign((const uint8_t*)encoded, (const uint8_t*)encoded + size);
    std::free(encoded);
    spng_ctx_free(context);
    if (result != 0) *error = spng_strerror(result);
    return result == 0;
}

bool WriteBottomUpPng(const std::string& path, const uint8_t* rgba, int32_t width, int32_t height,
                      bool keepAlpha, std::string* error) {
    std::vector<uint8_t> png;
    return EncodeBottomUpPng(rgba, width, height, keepAlpha, &png, error) &&
           WriteOutputBytes(path, png.data(), png.size(), error);
}

bool ReadPng(const std::string& path, int32_t* width, int32_t* height, std::vector<uint8_t>* rgba) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    spng_ctx* context = spng_ctx_new(0);
    spng_ihdr header = {};
    size_t size = 0;
    int result = context ? spng_set_png_file(context, file) : SPNG_EMEM;
    if (result == 0) result = spng_get_ihdr(context, &header);
    if (result == 0) result = spng_decoded_image_size(context, SPNG_FMT_RGBA8, &size);
    if (result == 0) {
        rgba->resize(size);
        result = spng_decode_image(context, rgba->data(), size, SPNG_FMT_RGBA8, SPNG_DECODE_TRNS);
    }
    spng_ctx_free(context);
    std::fclose(file);
    *width = int32_t(header.width);
    *height = int32_t(header.height);
    return result == 0;
}

std::string AbsolutePath(const std::string& path) {
    char start[4096];
    if (path.empty() || path[0] == '/' || !getcwd(start, sizeof start)) return path;
    return std::string(start) + "/" + path;
}
