// PNG through libspng: its image limits and the size caps are checked on its
// own reading of the header, its chunk limits bound what ancillary chunks may
// take, and a stream that ends early or fails a checksum is refused.
#include <spng.h>

#include "texture/picture_decode.h"

namespace {

// Ancillary chunks (text, profiles) are never needed here.
constexpr size_t MaxChunkBytes = size_t(4) << 20;
constexpr size_t MaxChunkCacheBytes = size_t(16) << 20;

bool DecodeWith(spng_ctx* context, FILE* file, DecodedPicture* picture) {
    spng_ihdr header;
    if (spng_set_image_limits(context, uint32_t(MaxPictureSide), uint32_t(MaxPictureSide)) != 0 ||
        spng_set_chunk_limits(context, MaxChunkBytes, MaxChunkCacheBytes) != 0 ||
        spng_set_png_file(context, file) != 0 || spng_get_ihdr(context, &header) != 0 ||
        !IsPictureSizeAllowed(header.width, header.height))
        return false;
    spng_trns transparency;
    bool hasAlpha = header.color_type == SPNG_COLOR_TYPE_GRAYSCALE_ALPHA ||
                    header.color_type == SPNG_COLOR_TYPE_TRUECOLOR_ALPHA ||
                    spng_get_trns(context, &transparency) == 0;
    int format = hasAlpha ? SPNG_FMT_RGBA8 : SPNG_FMT_RGB8;
    int32_t width = int32_t(header.width), height = int32_t(header.height);
    size_t size = 0;
    if (spng_decoded_image_size(context, format, &size) != 0 ||
        !AllocateDecodedPicture(width, height, (hasAlpha ? 4 : 3) * width,
                                hasAlpha ? PixelLayoutAbgr32 : PixelLayoutRgb24, picture))
        return false;
    if (size != picture->memory.size ||
        spng_decode_image(context, picture->memory.bytes, size, format, SPNG_DECODE_TRNS) != 0) {
        FreeDecodedPicture(picture);
        return false;
    }
    return true;
}

}  // namespace

bool DecodePng(FILE* file, DecodedPicture* picture) {
    *picture = DecodedPicture{};
    spng_ctx* context = spng_ctx_new(0);
    if (!context) return false;
    bool isDecoded = DecodeWith(context, file, picture);
    spng_ctx_free(context);
    return isDecoded;
}
