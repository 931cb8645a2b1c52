// The BMP reader: palettes of 1, 2, 4 and 8 bits (RLE4 and RLE8 too), 16 and
// 32 bits with or without bit-field masks of any width, 24 bits; Windows
// headers of every version, OS/2 1.x and 2.x headers; rows bottom-up or
// top-down. Embedded JPEG and PNG, OS/2 Huffman and RLE24 compression and
// 64-bit pixels are refused. Pixels that RLE data skips stay transparent.
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "texture/picture_decode.h"

namespace {

uint32_t ReadLe16(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
uint32_t ReadLe32(const uint8_t* p) { return ReadLe16(p) | ReadLe16(p + 2) << 16; }

constexpr uint32_t BiRgb = 0, BiRle8 = 1, BiRle4 = 2, BiBitfields = 3, BiAlphaBitfields = 6;
constexpr uint32_t OpaqueBlack = 0xFF000000u;

struct BmpLayout {
    int32_t width;
    int32_t height;  // rows in the file
    bool isTopDown;  // the first row in the file is the top row
    int32_t bitCount;
    uint32_t compression;
    uint32_t masks[4];  // red, green, blue, alpha (0: none)
    int64_t pixelOffset;
    int32_t paletteEntries;
    uint32_t palette[256];  // 0xFFRRGGBB
};

int64_t FileSize(FILE* file) {
    struct stat status;
    return fstat(fileno(file), &status) == 0 ? int64_t(status.st_size) : -1;
}

bool ReadAt(FILE* file, int64_t offset, void* buffer, size_t size) {
    return std::fseek(file, long(offset), SEEK_SET) == 0 && std::fread(buffer, 1, size, file) == size;
}

// Headers, masks and palette; false for anything this reader refuses or a
// picture beyond the caps.
bool ReadBmpLayout(FILE* file, int64_t fileSize, BmpLayout* bmp) {
    uint8_t head[18];
    if (!ReadAt(file, 0, head, sizeof head) || head[0] != 'B' || head[1] != 'M') return false;
    uint32_t infoSize = ReadLe32(head + 14);
    // Fields past a short header read as 0 (OS/2 2.x headers may stop early).
    uint8_t info[124] = {};
    if (infoSize < 12 || (infoSize > 12 && infoSize < 16) ||
        !ReadAt(file, 14, info, std::min<uint32_t>(infoSize, sizeof info)))
        return false;
    bmp->pixelOffset = ReadLe32(head + 10);
    uint32_t colorsUsed = 0;
    bool isCore = infoSize == 12;
    if (isCore) {  // OS/2 1.x: unsigned 16-bit sides, 3-byte palette entries
        bmp->width = int32_t(ReadLe16(info + 4));
        bmp->height = int32_t(ReadLe16(info + 6));
        bmp->isTopDown = false;
        bmp->bitCount = int32_t(ReadLe16(info + 10));
        bmp->compression = BiRgb;
    } else {
        int32_t height = int32_t(ReadLe32(info + 8));
        bmp->width = int32_t(ReadLe32(info + 4));
        bmp->isTopDown = height < 0;
        bmp->height = height == INT32_MIN ? 0 : height < 0 ? -height : height;
        bmp->bitCount = int32_t(ReadLe16(info + 14));
        bmp->compression = ReadLe32(info + 16);
        colorsUsed = ReadLe32(info + 32);
        // OS/2 2.x headers (16 to 64 bytes, not a Windows size) use 3 and 4
        // for Huffman and RLE24 coding.
        bool isOs2 = infoSize <= 64 && infoSize != 40 && infoSize != 52 && infoSize != 56;
        if (isOs2 && bmp->compression != BiRgb && bmp->compression != BiRle8 &&
            bmp->compression != BiRle4)
            return false;
    }
    if (bmp->width <= 0 || bmp->height <= 0 || !IsPictureSizeAllowed(bmp->width, bmp->height))
        return false;

    int32_t bits = bmp->bitCount;
    uint32_t compression = bmp->compression;
    bool isPalette = bits == 1 || bits == 2 || bits == 4 || bits == 8;
    bool isValid = (isPalette && (compression == BiRgb || (compression == BiRle8 && bits == 8) ||
                                  (compression == BiRle4 && bits == 4))) ||
                   (bits == 24 && compression == BiRgb) ||
                   ((bits == 16 || bits == 32) &&
                    (compression == BiRgb || compression == BiBitfields || compression == BiAlphaBitfields));
    // Top-down bitmaps cannot be compressed.
    if (!isValid || (bmp->isTopDown && (compression == BiRle8 || compression == BiRle4))) return false;

    int64_t paletteStart = 14 + int64_t(infoSize);
    std::memset(bmp->masks, 0, sizeof bmp->masks);
    if (compression == BiBitfields || compression == BiAlphaBitfields) {
        // In the header from 52 bytes on (alpha from 56), else right after it.
        if (infoSize >= 52) {
            for (int i = 0; i < 3; ++i) bmp->masks[i] = ReadLe32(info + 40 + 4 * i);
            if (infoSize >= 56) bmp->masks[3] = ReadLe32(info + 52);
        } else {
            int count = compression == BiAlphaBitfields ? 4 : 3;
            uint8_t masks[16];
            if (!ReadAt(file, paletteStart, masks, size_t(count) * 4)) return false;
            for (int i = 0; i < count; ++i) bmp->masks[i] = ReadLe32(masks + 4 * i);
            paletteStart += count * 4;
        }
    } else if (bits == 16) {
        bmp->masks[0] = 0x7C00;
        bmp->masks[1] = 0x03E0;
        bmp->masks[2] = 0x001F;
    } else if (bits == 32) {
        bmp->masks[0] = 0xFF0000;
        bmp->masks[1] = 0xFF00;
        bmp->masks[2] = 0xFF;
    }
    if (bits == 16)
        for (uint32_t& mask : bmp->masks) mask &= 0xFFFF;
    if ((bits == 16 || bits == 32) && (bmp->masks[0] | bmp->masks[1] | bmp->masks[2]) == 0) return false;

    bmp->paletteEntries = 0;
    if (isPalette) {
        int64_t entries = int64_t(1) << bits;
        if (colorsUsed > 0 && colorsUsed < entries) entries = colorsUsed;
        int entryBytes = isCore ? 3 : 4;
        // A palette never reaches into the pixels.
        if (bmp->pixelOffset > paletteStart)
            entries = std::min(entries, (bmp->pixelOffset - paletteStart) / entryBytes);
        uint8_t palette[256 * 4];
        if (paletteStart > fileSize || !ReadAt(file, paletteStart, palette, size_t(entries) * entryBytes))
            return false;
        for (int64_t i = 0; i < entries; ++i) {
            const uint8_t* entry = palette + i * entryBytes;
            bmp->palette[i] = OpaqueBlack | uint32_t(entry[2]) << 16 | uint32_t(entry[1]) << 8 | entry[0];
        }
        bmp->paletteEntries = int32_t(entries);
    }
    return true;
}

struct Channel {
    uint32_t mask;
    int shift;
    uint32_t maximum;  // the mask's value shifted down
};

Channel MakeChannel(uint32_t mask) {
    Channel channel = {mask, 0, 0};
    if (mask == 0) return channel;
    while (!(mask >> channel.shift & 1)) ++channel.shift;
    channel.maximum = mask >> channel.shift;
    return channel;
}

uint32_t ScaleChannel(const Channel& channel, uint32_t value) {
    uint32_t part = (value & channel.mask) >> channel.shift;
    if (channel.maximum == 255) return part;
    if (channel.maximum == 0) return 0;
    return uint32_t((uint64_t(part) * 255 + channel.maximum / 2) / channel.maximum);
}

// One file row of palette indices or masked pixels as 0xAARRGGBB words.
// Returns whether any pixel had a non-zero alpha.
bool ConvertRow(const BmpLayout& bmp, const Channel* channels, const uint8_t* in, uint32_t* out) {
    int32_t bits = bmp.bitCount;
    if (bits <= 8) {
        uint32_t indexMask = (1u << bits) - 1;
        for (int32_t x = 0; x < bmp.width; ++x) {
            int64_t bit = int64_t(x) * bits;
            uint32_t index = in[bit / 8] >> (8 - bits - bit % 8) & indexMask;
            out[x] = index < uint32_t(bmp.paletteEntries) ? bmp.palette[index] : OpaqueBlack;
        }
        return true;
    }
    bool isAnyAlpha = false;
    for (int32_t x = 0; x < bmp.width; ++x) {
        uint32_t value = bits == 16 ? ReadLe16(in + 2 * x) : ReadLe32(in + 4 * x);
        uint32_t alpha = channels[3].mask ? ScaleChannel(channels[3], value) : 255;
        isAnyAlpha |= alpha != 0;
        out[x] = alpha << 24 | ScaleChannel(channels[0], value) << 16 |
                 ScaleChannel(channels[1], value) << 8 | ScaleChannel(channels[2], value);
    }
    return isAnyAlpha;
}

bool DecodeUncompressed(FILE* file, const BmpLayout& bmp, int64_t fileSize, DecodedPicture* picture) {
    int64_t rowBytes = (int64_t(bmp.width) * bmp.bitCount + 31) / 32 * 4;
    // The whole pixel array must be there before anything is allocated.
    if (bmp.pixelOffset > fileSize || (fileSize - bmp.pixelOffset) / rowBytes < bmp.height) return false;
    // 24 bits and plain 32 bits are read straight into the picture's rows.
    bool isDirect = bmp.bitCount == 24 || (bmp.bitCount == 32 && bmp.compression == BiRgb);
    PixelLayout layout = bmp.bitCount == 24 ? PixelLayoutBgr24 : isDirect ? PixelLayoutXrgb32 : PixelLayoutArgb32;
    int32_t pitch = bmp.bitCount == 24 ? int32_t(rowBytes) : 4 * bmp.width;
    if (!AllocateDecodedPicture(bmp.width, bmp.height, pitch, layout, picture))
        return false;
    Channel channels[4];
    for (int i = 0; i < 4; ++i) channels[i] = MakeChannel(bmp.masks[i]);
    std::vector<uint8_t> row(isDirect ? 0 : size_t(rowBytes));
    bool isAnyAlpha = false;
    const PictureRows& rows = picture->rows;
    bool isRead = std::fseek(file, long(bmp.pixelOffset), SEEK_SET) == 0;
    for (int32_t fileRow = 0; isRead && fileRow < bmp.height; ++fileRow) {
        int32_t y = bmp.isTopDown ? fileRow : bmp.height - 1 - fileRow;
        uint8_t* target = picture->memory.bytes + size_t(y) * size_t(rows.pitch);
        uint8_t* in = isDirect ? target : row.data();
        isRead = std::fread(in, 1, size_t(rowBytes), file) == size_t(rowBytes);
        if (isRead && !isDirect)
            isAnyAlpha |= ConvertRow(bmp, channels, in, reinterpret_cast<uint32_t*>(target));
    }
    if (!isRead) {  // the file changed under us
        FreeDecodedPicture(picture);
        return false;
    }
    if (!isDirect && !isAnyAlpha) {
        // An alpha mask that is never used: the picture is opaque.
        for (int32_t y = 0; y < bmp.height; ++y) {
            auto* words = reinterpret_cast<uint32_t*>(picture->memory.bytes + size_t(y) * size_t(rows.pitch));
            for (int32_t x = 0; x < bmp.width; ++x) words[x] |= OpaqueBlack;
        }
    }
    return true;
}

// RLE4 and RLE8. A stream that ends early ends the bitmap; runs past the
// right edge are cut there. At most two bytes a pixel (and the row ends) are
// read, so that the work stays bound by the picture's size.
bool DecodeRunLengths(FILE* file, const BmpLayout& bmp, int64_t fileSize, DecodedPicture* picture) {
    if (bmp.pixelOffset > fileSize || std::fseek(file, long(bmp.pixelOffset), SEEK_SET) != 0) return false;
    if (!AllocateDecodedPicture(bmp.width, bmp.height, 4 * bmp.width, PixelLayoutArgb32, picture))
        return false;
    int64_t budget = std::min(fileSize - bmp.pixelOffset,
                              2 * int64_t(bmp.width) * bmp.height + 2 * int64_t(bmp.height) + 2);
    auto next = [&]() -> int {
        if (budget <= 0) return EOF;
        --budget;
        return getc_unlocked(file);
    };
    bool isRle4 = bmp.compression == BiRle4;
    int32_t x = 0, y = 0;  // y counts rows from the bottom
    auto put = [&](uint32_t index) {
        if (x < bmp.width) {
            auto* row = reinterpret_cast<uint32_t*>(picture->memory.bytes +
                                                    size_t(bmp.height - 1 - y) * size_t(picture->rows.pitch));
            row[x] = index < uint32_t(bmp.paletteEntries) ? bmp.palette[index] : OpaqueBlack;
            ++x;
        }
    };
    while (y < bmp.height) {
        int count = next(), value = next();
        if (count == EOF || value == EOF) break;
        if (count > 0) {  // a run of one index, or of two alternating ones
            int32_t length = std::min<int32_t>(count, bmp.width - x);
            for (int32_t i = 0; i < length; ++i)
                put(isRle4 ? (i % 2 ? value & 0xF : value >> 4) : uint32_t(value));
            continue;
        }
        if (value == 0) {  // end of line
            x = 0;
            ++y;
        } else if (value == 1) {  // end of bitmap
            break;
        } else if (value == 2) {  // move right and up
            int dx = next(), dy = next();
            if (dx == EOF || dy == EOF) break;
            x = std::min(x + dx, bmp.width);
            y += dy;
        } else {  // `value` indices as they are, padded to a 16-bit boundary
            int bytes = isRle4 ? (value + 1) / 2 : value;
            int byte = 0;
            for (int i = 0; i < value; ++i) {
                if (!isRle4 || i % 2 == 0) {
                    byte = next();
                    if (byte == EOF) break;
                }
                put(isRle4 ? (i % 2 ? byte & 0xF : byte >> 4) : uint32_t(byte));
            }
            if (byte == EOF) break;
            if (bytes % 2 && next() == EOF) break;
        }
    }
    return true;
}

}  // namespace

bool DecodeBmp(FILE* file, DecodedPicture* picture) {
    *picture = DecodedPicture{};
    int64_t fileSize = FileSize(file);
    BmpLayout bmp;
    if (fileSize < 0 || !ReadBmpLayout(file, fileSize, &bmp)) return false;
    if (bmp.compression == BiRle8 || bmp.compression == BiRle4)
        return DecodeRunLengths(file, bmp, fileSize, picture);
    return DecodeUncompressed(file, bmp, fileSize, picture);
}
