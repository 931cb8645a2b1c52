// The picture service over SDL2_image: BMP, PNG, JPEG and GIF files,
// recognised by their signature. Sizes are checked from the header before
// anything is decoded, and bit-field BMPs are decoded here.
#include "texture/picture_service.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_image.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "texture/picture_format.h"
#include "texture/picture_scale.h"

namespace {

// Files larger than this cannot decode to an allowed size in any format read
// here (a BMP carries its pixels uncompressed).
// Pixel blocks from this size on get their own mapping.
constexpr size_t LargeBlockBytes = size_t(4) << 20;

constexpr long MaxPictureFileBytes = long(MaxPictureBytes + (1 << 20));

bool ReadWholeFile(const char* path, std::vector<uint8_t>* bytes) {
    FILE* file = std::fopen(path, "rb");
    if (!file) return false;
    bool isRead = false;
    if (std::fseek(file, 0, SEEK_END) == 0) {
        long size = std::ftell(file);
        if (size > 0 && size <= MaxPictureFileBytes && std::fseek(file, 0, SEEK_SET) == 0) {
            bytes->resize(size_t(size));
            isRead = std::fread(bytes->data(), 1, bytes->size(), file) == bytes->size();
        }
    }
    std::fclose(file);
    return isRead;
}

// The UTF-16 path back to the bytes it was made from.
void NarrowPath(const char16_t* widePath, std::vector<char>* path) {
    for (const char16_t* unit = widePath; *unit; ++unit) {
        uint32_t code = *unit;
        if (code >= 0xDC80 && code <= 0xDCFF) {  // a byte that was not UTF-8
            path->push_back(char(code - 0xDC00));
            continue;
        }
        if (code >= 0xD800 && code <= 0xDBFF && unit[1] >= 0xDC00 && unit[1] <= 0xDFFF) {
            code = 0x10000 + ((code - 0xD800) << 10) + (unit[1] - 0xDC00);
            ++unit;
        }
        if (code < 0x80) {
            path->push_back(char(code));
        } else if (code < 0x800) {
            path->push_back(char(0xC0 | code >> 6));
            path->push_back(char(0x80 | (code & 0x3F)));
        } else if (code < 0x10000) {
            path->push_back(char(0xE0 | code >> 12));
            path->push_back(char(0x80 | (code >> 6 & 0x3F)));
            path->push_back(char(0x80 | (code & 0x3F)));
        } else {
            path->push_back(char(0xF0 | code >> 18));
            path->push_back(char(0x80 | (code >> 12 & 0x3F)));
            path->push_back(char(0x80 | (code >> 6 & 0x3F)));
            path->push_back(char(0x80 | (code & 0x3F)));
        }
    }
    path->push_back('\0');
}

SDL_Surface* DecodeBitfields(const std::vector<uint8_t>& bytes) {
    BitfieldsBmp bmp;
    if (!ReadBitfieldsBmp(bytes.data(), bytes.size(), &bmp)) return nullptr;
    SDL_Surface* surface =
        SDL_CreateRGBSurfaceWithFormat(0, bmp.width, bmp.height, 32, SDL_PIXELFORMAT_ARGB8888);
    if (!surface) return nullptr;
    DecodeBitfieldsBmp(bytes.data(), bmp, static_cast<uint32_t*>(surface->pixels),
                       surface->pitch / 4);
    return surface;
}

SDL_Surface* Decode(const std::vector<uint8_t>& bytes, PictureFormat format) {
    if (format == PictureFormatBmp && IsBitfieldsBmp(bytes.data(), bytes.size()))
        return DecodeBitfields(bytes);
    SDL_RWops* stream = SDL_RWFromConstMem(bytes.data(), int(bytes.size()));
    if (!stream) return nullptr;
    SDL_Surface* surface = nullptr;
    switch (format) {
        case PictureFormatBmp: surface = IMG_LoadBMP_RW(stream); break;
        case PictureFormatPng: surface = IMG_LoadPNG_RW(stream); break;
        case PictureFormatJpeg: surface = IMG_LoadJPG_RW(stream); break;
        case PictureFormatGif: surface = IMG_LoadGIF_RW(stream); break;
    }
    SDL_RWclose(stream);
    return surface;
}

// The layouts the scaler reads directly: what the decoders produce for
// true-colour pictures.
bool ReadPixelLayout(const SDL_Surface* surface, PixelLayout* layout) {
    if (SDL_HasColorKey(const_cast<SDL_Surface*>(surface))) return false;
    switch (surface->format->format) {
        case SDL_PIXELFORMAT_ARGB8888: *layout = PixelLayoutArgb32; return true;
        case SDL_PIXELFORMAT_XRGB8888: *layout = PixelLayoutXrgb32; return true;
        case SDL_PIXELFORMAT_ABGR8888: *layout = PixelLayoutAbgr32; return true;
        case SDL_PIXELFORMAT_XBGR8888: *layout = PixelLayoutXbgr32; return true;
        case SDL_PIXELFORMAT_RGB24: *layout = PixelLayoutRgb24; return true;
        case SDL_PIXELFORMAT_BGR24: *layout = PixelLayoutBgr24; return true;
        default: return false;
    }
}

}  // namespace

bool ReadCurrentDirectory(char* directory, int32_t capacity) {
    return getcwd(directory, size_t(capacity)) != nullptr;
}

void WidenPath(const char* fullPath, char16_t* widePath, int32_t capacity) {
    const auto* in = reinterpret_cast<const unsigned char*>(fullPath);
    int32_t out = 0;
    while (*in) {
        uint32_t code = *in;
        int length = code < 0x80 ? 1 : code >= 0xC2 && code < 0xE0 ? 2 : code >= 0xE0 && code < 0xF0 ? 3
                   : code >= 0xF0 && code < 0xF5 ? 4 : 0;
        bool isValid = length != 0;
        if (length > 1) code &= 0x3F >> (length - 1);
        for (int k = 1; isValid && k < length; ++k) {
            if ((in[k] & 0xC0) != 0x80) isValid = false;
            else code = code << 6 | (in[k] & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
        if (isValid && ((length == 3 && (code < 0x800 || (code >= 0xD800 && code <= 0xDFFF))) ||
                        (length == 4 && (code < 0x10000 || code > 0x10FFFF))))
            isValid = false;
        int units = isValid && code >= 0x10000 ? 2 : 1;
        if (out + units > capacity - 1) break;  // the NUL always fits
        if (!isValid) {
            widePath[out++] = char16_t(0xDC00 + *in);
            ++in;
        } else if (code >= 0x10000) {
            code -= 0x10000;
            widePath[out++] = char16_t(0xD800 + (code >> 10));
            widePath[out++] = char16_t(0xDC00 + (code & 0x3FF));
            in += length;
        } else {
            widePath[out++] = char16_t(code);
            in += length;
        }
    }
    widePath[out] = 0;
}

bool LoadPicture(const char16_t* widePath, PictureRecord* picture) {
    std::vector<char> path;
    NarrowPath(widePath, &path);
    if (std::strstr(path.data(), "http://")) return false;  // no fetching here

    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(path.data(), &bytes)) return false;
    PictureHeader header;
    if (!ReadPictureHeader(bytes.data(), bytes.size(), &header) ||
        !IsPictureSizeAllowed(header.width, header.height))
        return false;
    SDL_Surface* surface = Decode(bytes, header.format);
    if (!surface) return false;
    if (!IsPictureSizeAllowed(surface->w, surface->h)) {
        SDL_FreeSurface(surface);
        return false;
    }
    picture->surface = surface;
    return true;
}

bool OpenPictureCanvas(PictureRecord*) { return true; }

void MeasurePicture(PictureRecord* picture, int32_t* width, int32_t* height) {
    *width = picture->surface->w;
    *height = picture->surface->h;
}

bool CreatePixelBlock(PictureRecord* picture, int32_t width, int32_t height, uint8_t** pixels) {
    // The block's byte size must fit the 32-bit index of the pixel pass.
    if (width <= 0 || height <= 0 || int64_t(width) * height > INT32_MAX / 4) return false;
    size_t bytes = size_t(width) * size_t(height) * 4;
    if (bytes >= LargeBlockBytes) {
        // Fresh anonymous pages are zero; huge pages make touching a large
        // block for the first time much cheaper.
        void* block = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (block == MAP_FAILED) return false;
        madvise(block, bytes, MADV_HUGEPAGE);
        picture->isMapped = true;
        picture->pixels = static_cast<uint8_t*>(block);
    } else {
        picture->pixels = static_cast<uint8_t*>(std::calloc(bytes, 1));
        if (!picture->pixels) return false;
    }
    picture->pixelBytes = bytes;
    *pixels = picture->pixels;
    return true;
}

void DrawPicture(PictureRecord* picture, int32_t width, int32_t height) {
    SDL_Surface* source = picture->surface;
    SDL_Surface* converted = nullptr;
    PixelLayout layout = PixelLayoutArgb32;
    if (!ReadPixelLayout(source, &layout)) {
        // Palettes, colour keys and other packings become 0xAARRGGBB first.
        converted = SDL_ConvertSurfaceFormat(source, SDL_PIXELFORMAT_ARGB8888, 0);
        if (!converted) return;  // the block stays black
        source = converted;
    }
    if (SDL_MUSTLOCK(source)) SDL_LockSurface(source);
    PictureRows rows = {static_cast<const uint8_t*>(source->pixels), source->pitch, source->w,
                        source->h, layout};
    ScalePicture(rows, picture->pixels, width, height);
    if (SDL_MUSTLOCK(source)) SDL_UnlockSurface(source);
    SDL_FreeSurface(converted);
}

void ReleasePicture(PictureRecord* picture) {
    if (picture->isMapped)
        munmap(picture->pixels, picture->pixelBytes);
    else
        std::free(picture->pixels);
    picture->pixels = nullptr;
    picture->pixelBytes = 0;
    picture->isMapped = false;
    SDL_FreeSurface(picture->surface);
    picture->surface = nullptr;
}
