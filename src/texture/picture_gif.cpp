// GIF through giflib, record by record: every image descriptor is checked
// against the size caps as giflib reads it (the logical screen decides
// nothing: only the first image is shown, at its own size); the
// first image is decoded line by line into a picture of its own size, the
// others are skipped without being decoded. LZW data that giflib finds broken,
// or that ends before the first image is whole, is refused. After the first
// image, the end of the data or a record giflib cannot read ends the walk.
#include <gif_lib.h>

#include <vector>

#include "texture/picture_decode.h"

namespace {

int ReadGifBytes(GifFileType* gif, GifByteType* bytes, int count) {
    return int(std::fread(bytes, 1, size_t(count), static_cast<FILE*>(gif->UserData)));
}

// The image whose descriptor giflib has just read, with the transparent
// index of the graphic control block before it (or NO_TRANSPARENT_COLOR).
bool DecodeImage(GifFileType* gif, int transparentIndex, DecodedPicture* picture) {
    const GifImageDesc& image = gif->Image;
    if (!AllocateDecodedPicture(image.Width, image.Height, 4 * image.Width, PixelLayoutArgb32, picture))
        return false;
    // Indices without a colour (or without any table) are black.
    uint32_t palette[256];
    const ColorMapObject* colors = image.ColorMap ? image.ColorMap : gif->SColorMap;
    for (int i = 0; i < 256; ++i) {
        palette[i] = 0xFF000000u;
        if (colors && i < colors->ColorCount) {
            const GifColorType& color = colors->Colors[i];
            palette[i] |= uint32_t(color.Red) << 16 | uint32_t(color.Green) << 8 | color.Blue;
        }
    }
    if (transparentIndex >= 0 && transparentIndex < 256) palette[transparentIndex] = 0;

    // Interlaced rows come in four passes: every 8th row from 0, every 8th
    // from 4, every 4th from 2, every 2nd from 1.
    static const int passStart[4] = {0, 4, 2, 1}, passStep[4] = {8, 8, 4, 2};
    std::vector<GifPixelType> line(size_t(image.Width));
    int passes = image.Interlace ? 4 : 1;
    for (int pass = 0; pass < passes; ++pass) {
        int start = image.Interlace ? passStart[pass] : 0, step = image.Interlace ? passStep[pass] : 1;
        for (int y = start; y < image.Height; y += step) {
            if (DGifGetLine(gif, line.data(), image.Width) == GIF_ERROR) return false;
            auto* row = reinterpret_cast<uint32_t*>(picture->memory.bytes + size_t(y) * size_t(picture->rows.pitch));
            for (int x = 0; x < image.Width; ++x) row[x] = palette[line[x]];
        }
    }
    return true;
}

// Reads past the compressed data of the image whose descriptor was read.
bool SkipImage(GifFileType* gif) {
    int codeSize = 0;
    GifByteType* block = nullptr;
    if (DGifGetCode(gif, &codeSize, &block) == GIF_ERROR) return false;
    while (block)
        if (DGifGetCodeNext(gif, &block) == GIF_ERROR) return false;
    return true;
}

bool WalkGif(GifFileType* gif, DecodedPicture* picture) {
    bool hasImage = false;
    int transparentIndex = NO_TRANSPARENT_COLOR;
    for (;;) {
        GifRecordType type;
        if (DGifGetRecordType(gif, &type) == GIF_ERROR || type == TERMINATE_RECORD_TYPE) return hasImage;
        if (type == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* block = nullptr;
            if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) return hasImage;
            GraphicsControlBlock control;
            if (!hasImage && code == GRAPHICS_EXT_FUNC_CODE && block &&
                DGifExtensionToGCB(block[0], block + 1, &control) == GIF_OK)
                transparentIndex = control.TransparentColor;
            while (block)
                if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) return hasImage;
            continue;
        }
        if (type != IMAGE_DESC_RECORD_TYPE || DGifGetImageDesc(gif) == GIF_ERROR) return hasImage;
        if (!IsPictureSizeAllowed(gif->Image.Width, gif->Image.Height)) {
            FreeDecodedPicture(picture);
            return false;
        }
        if (!hasImage) {
            if (!DecodeImage(gif, transparentIndex, picture)) return false;
            hasImage = true;
        } else if (!SkipImage(gif)) {
            return true;
        }
        // giflib keeps a record of every image descriptor it reads (for its
        // whole-file reader); drop them so that memory stays bound.
        GifFreeSavedImages(gif);
        gif->ImageCount = 0;
    }
}

}  // namespace

bool DecodeGif(FILE* file, DecodedPicture* picture) {
    *picture = DecodedPicture{};
    int error = 0;
    GifFileType* gif = DGifOpen(file, ReadGifBytes, &error);
    if (!gif) return false;
    bool isDecoded = WalkGif(gif, picture);
    DGifCloseFile(gif, &error);
    if (!isDecoded) FreeDecodedPicture(picture);
    return isDecoded;
}
