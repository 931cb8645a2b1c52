// What the Linux decoders share: the size caps, the format's signature, and
// zero-filled pixel memory.
#include "texture/picture_decode.h"

#include <sys/mman.h>

#include <cstdlib>
#include <cstring>

namespace {

// Blocks from this size on get their own mapping.
constexpr size_t LargeBlockBytes = size_t(4) << 20;

}  // namespace

bool IsPictureSizeAllowed(int64_t width, int64_t height) {
    return width >= 0 && height >= 0 && width <= MaxPictureSide && height <= MaxPictureSide &&
           width * height * 4 <= MaxPictureBytes;
}

PictureFormat SniffPictureFormat(const uint8_t* data, size_t size) {
    static const uint8_t pngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    if (size >= 2 && data[0] == 'B' && data[1] == 'M') return PictureFormatBmp;
    if (size >= 8 && std::memcmp(data, pngSignature, 8) == 0) return PictureFormatPng;
    if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF) return PictureFormatJpeg;
    if (size >= 6 && (std::memcmp(data, "GIF87a", 6) == 0 || std::memcmp(data, "GIF89a", 6) == 0))
        return PictureFormatGif;
    return PictureFormatNone;
}

bool AllocatePixelMemory(size_t size, PixelMemory* memory) {
    *memory = PixelMemory{};
    if (size == 0) return false;
    if (size >= LargeBlockBytes) {
        // Fresh anonymous pages are zero; huge pages make touching a large
        // block for the first time much cheaper.
        void* block = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (block == MAP_FAILED) return false;
        madvise(block, size, MADV_HUGEPAGE);
        *memory = {static_cast<uint8_t*>(block), size, true};
        return true;
    }
    void* block = std::calloc(size, 1);
    if (!block) return false;
    *memory = {static_cast<uint8_t*>(block), size, false};
    return true;
}

void FreePixelMemory(PixelMemory* memory) {
    if (memory->isMapped)
        munmap(memory->bytes, memory->size);
    else
        std::free(memory->bytes);
    *memory = PixelMemory{};
}

bool AllocateDecodedPicture(int32_t width, int32_t height, int32_t pitch, PixelLayout layout,
                            DecodedPicture* picture) {
    *picture = DecodedPicture{};
    if (width <= 0 || height <= 0 || !IsPictureSizeAllowed(width, height) || pitch <= 0 ||
        int64_t(pitch) > 4 * int64_t(width) + 3)
        return false;
    if (!AllocatePixelMemory(size_t(pitch) * size_t(height), &picture->memory)) return false;
    picture->rows = {picture->memory.bytes, pitch, width, height, layout};
    return true;
}

void FreeDecodedPicture(DecodedPicture* picture) {
    FreePixelMemory(&picture->memory);
    *picture = DecodedPicture{};
}
