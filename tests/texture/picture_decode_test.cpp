// The Linux picture service's decoders on files written byte by byte: the
// size caps, the BMP reader's bit fields and run lengths, and how a GIF's
// records are walked. Whole pictures against an independent decoder are in
// bmpsuite_gl_test.cpp and picture_formats_gl_test.cpp.
#include <gif_lib.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <vector>

#include "texture/picture_decode.h"

namespace {

using Bytes = std::vector<uint8_t>;

void PutLe(Bytes* bytes, uint32_t value, int size) {
    for (int i = 0; i < size; ++i) bytes->push_back(uint8_t(value >> (8 * i)));
}

// A BMP file header and an info header of `infoSize` bytes (masks inside it
// when it is 52 or more, else right after it), then padding up to the pixels.
Bytes BmpHeader(int32_t width, int32_t height, int bitCount, uint32_t compression, uint32_t infoSize,
                const std::vector<uint32_t>& masks, const std::vector<uint32_t>& palette = {}) {
    Bytes bytes = {'B', 'M'};
    PutLe(&bytes, 0, 4);
    PutLe(&bytes, 0, 4);
    uint32_t offset = 14 + infoSize + (infoSize == 40 ? uint32_t(masks.size()) * 4 : 0) +
                      uint32_t(palette.size()) * 4;
    PutLe(&bytes, offset, 4);
    PutLe(&bytes, infoSize, 4);
    PutLe(&bytes, uint32_t(width), 4);
    PutLe(&bytes, uint32_t(height), 4);
    PutLe(&bytes, 1, 2);
    PutLe(&bytes, uint32_t(bitCount), 2);
    PutLe(&bytes, compression, 4);
    for (int i = 0; i < 5; ++i) PutLe(&bytes, i == 3 ? uint32_t(palette.size()) : 0, 4);
    for (uint32_t mask : masks) PutLe(&bytes, mask, 4);
    bytes.resize(14 + infoSize + (infoSize == 40 ? masks.size() * 4 : 0), 0);
    for (uint32_t color : palette) PutLe(&bytes, color, 4);
    return bytes;
}

// Decodes `bytes` as a file; the picture's pixels as 0xAARRGGBB words, top
// row first, or nothing when refused.
struct Decoded {
    bool isDecoded = false;
    int32_t width = 0, height = 0;
    std::vector<uint32_t> pixels;
};

Decoded Decode(bool (*decoder)(FILE*, DecodedPicture*), const Bytes& bytes) {
    Decoded result;
    FILE* file = std::tmpfile();
    if (!file) return result;
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::rewind(file);
    DecodedPicture picture;
    result.isDecoded = decoder(file, &picture);
    std::fclose(file);
    if (!result.isDecoded) return result;
    const PictureRows& rows = picture.rows;
    EXPECT_EQ(rows.layout, PixelLayoutArgb32) << "a layout these tests do not read";
    result.width = rows.width;
    result.height = rows.height;
    for (int32_t y = 0; y < rows.height; ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(rows.pixels + size_t(y) * size_t(rows.pitch));
        result.pixels.insert(result.pixels.end(), row, row + rows.width);
    }
    FreeDecodedPicture(&picture);
    return result;
}

Decoded DecodeBmpBytes(const Bytes& bytes) { return Decode(DecodeBmp, bytes); }

}  // namespace

TEST(IsPictureSizeAllowed, KeepsSidesAndBytesWithinTheLimits) {
    EXPECT_TRUE(IsPictureSizeAllowed(0, 0));
    EXPECT_TRUE(IsPictureSizeAllowed(16384, 4096));  // exactly 256 MiB
    EXPECT_TRUE(IsPictureSizeAllowed(8192, 8192));
    EXPECT_FALSE(IsPictureSizeAllowed(16384, 4097));
    EXPECT_FALSE(IsPictureSizeAllowed(8193, 8192));
    EXPECT_FALSE(IsPictureSizeAllowed(16385, 1));
    EXPECT_FALSE(IsPictureSizeAllowed(1, 16385));
    EXPECT_FALSE(IsPictureSizeAllowed(int64_t(1) << 31, int64_t(1) << 31));
    EXPECT_FALSE(IsPictureSizeAllowed(-1, 1));
}

TEST(BmpBitfields, DecodesMasksThatAreNotWholeBytes) {
    // Red in the top byte, green across a nibble boundary, blue in byte 2,
    // two rows bottom-up.
    Bytes bytes = BmpHeader(2, 2, 32, 3, 40, {0xFF000000, 0x00000FF0, 0x00FF0000});
    for (uint32_t value : {0x11000220u, 0x00330000u, 0xFF000FF0u, 0x00000000u}) PutLe(&bytes, value, 4);
    Decoded bmp = DecodeBmpBytes(bytes);
    ASSERT_TRUE(bmp.isDecoded);
    const std::vector<uint32_t> expected = {0xFFFFFF00u, 0xFF000000u,   // top row: last in the file
                                            0xFF112200u, 0xFF000033u};
    EXPECT_EQ(bmp.pixels, expected);
}

TEST(BmpBitfields, ScalesNarrowAndWideChannelsToEightBits) {
    // 16 bits 5-6-5, top-down; then 32 bits 10-10-10 with a 2-bit alpha.
    Bytes bytes = BmpHeader(3, -1, 16, 3, 40, {0xF800, 0x07E0, 0x001F});
    for (uint32_t value : {0xF800u, 0x0020u, 0x0010u}) PutLe(&bytes, value, 2);
    bytes.resize(bytes.size() + 2, 0);  // row padding to 4 bytes
    Decoded narrow = DecodeBmpBytes(bytes);
    ASSERT_TRUE(narrow.isDecoded);
    // 1 of 63 -> 4, 16 of 31 -> 132
    EXPECT_EQ(narrow.pixels, (std::vector<uint32_t>{0xFFFF0000u, 0xFF000400u, 0xFF000084u}));

    bytes = BmpHeader(2, 1, 32, 3, 56, {0x3FF00000, 0x000FFC00, 0x000003FF, 0xC0000000});
    PutLe(&bytes, 0x3FF00000u | 512u << 10 | 0x40000000u, 4);
    PutLe(&bytes, 0xC00003FFu, 4);
    Decoded wide = DecodeBmpBytes(bytes);
    ASSERT_TRUE(wide.isDecoded);
    // alpha 1 of 3 -> 85, green 512 of 1023 -> 128
    EXPECT_EQ(wide.pixels, (std::vector<uint32_t>{0x55FF8000u, 0xFF0000FFu}));
}

TEST(BmpBitfields, AnAlphaMaskThatIsAlwaysZeroMeansOpaque) {
    Bytes bytes = BmpHeader(2, 1, 32, 6, 40, {0xFF0000, 0xFF00, 0xFF, 0xFF000000});
    PutLe(&bytes, 0x00102030u, 4);
    PutLe(&bytes, 0x00000000u, 4);
    Decoded bmp = DecodeBmpBytes(bytes);
    ASSERT_TRUE(bmp.isDecoded);
    EXPECT_EQ(bmp.pixels, (std::vector<uint32_t>{0xFF102030u, 0xFF000000u}));
}

TEST(BmpReader, RefusesShortFilesImpossibleLayoutsAndPicturesBeyondTheCaps) {
    Bytes bytes = BmpHeader(4, 4, 32, 3, 40, {0xFF0000, 0xFF00, 0xFF});
    bytes.resize(bytes.size() + 4 * 4 * 4 - 1, 0);  // one byte short
    EXPECT_FALSE(DecodeBmpBytes(bytes).isDecoded);
    bytes.push_back(0);
    EXPECT_TRUE(DecodeBmpBytes(bytes).isDecoded);

    auto withPixels = [](Bytes bytes) {
        bytes.resize(bytes.size() + 64, 0);
        return bytes;
    };
    EXPECT_FALSE(DecodeBmpBytes(withPixels(BmpHeader(1, 1, 32, 3, 40, {0, 0, 0}))).isDecoded);
    EXPECT_FALSE(DecodeBmpBytes(withPixels(BmpHeader(-1, 1, 24, 0, 40, {}))).isDecoded);
    EXPECT_FALSE(DecodeBmpBytes(withPixels(BmpHeader(1, 0, 24, 0, 40, {}))).isDecoded);
    EXPECT_FALSE(DecodeBmpBytes(withPixels(BmpHeader(1, 1, 24, 3, 40, {1, 2, 4}))).isDecoded);
    EXPECT_FALSE(DecodeBmpBytes(withPixels(BmpHeader(1, 1, 64, 0, 40, {}))).isDecoded);
    EXPECT_FALSE(DecodeBmpBytes(withPixels(BmpHeader(1, 1, 24, 4, 124, {}))).isDecoded);  // JPEG inside
    EXPECT_FALSE(DecodeBmpBytes(withPixels(BmpHeader(1, 1, 1, 3, 64, {}, {0, 1}))).isDecoded);  // OS/2 Huffman
    EXPECT_FALSE(DecodeBmpBytes(withPixels(BmpHeader(16385, 1, 24, 0, 40, {}))).isDecoded);
    // 8192 x 8193 at one bit a pixel is a small file but 256 MiB of pixels.
    Bytes big = BmpHeader(8192, 8193, 1, 0, 40, {}, {0, 0xFFFFFF});
    big.resize(big.size() + size_t(8192 / 8) * 8193, 0);
    EXPECT_FALSE(DecodeBmpBytes(big).isDecoded);
}

TEST(BmpReader, RunLengthsLeaveSkippedPixelsTransparentAndStopAtTheEdges) {
    const std::vector<uint32_t> palette = {0x000000, 0x0000FF, 0x00FF00, 0xFF0000};
    // 4 x 3, bottom row first: a run, an index outside the palette, a run
    // past the right edge, an end of line; a move one right and one up, over
    // the middle row; three indices as they are (padded); then the data ends
    // without an end-of-bitmap mark.
    Bytes bytes = BmpHeader(4, 3, 8, 1, 40, {}, palette);
    bytes.insert(bytes.end(), {3, 1, 1, 7, 2, 2, 0, 0, /**/ 0, 2, 1, 1, /**/ 0, 3, 2, 3, 1, 0});
    Decoded rle8 = DecodeBmpBytes(bytes);
    ASSERT_TRUE(rle8.isDecoded);
    const uint32_t B = 0xFF0000FFu, G = 0xFF00FF00u, R = 0xFFFF0000u, K = 0xFF000000u;
    const std::vector<uint32_t> expected = {0, G, R, B,   // top row
                                            0, 0, 0, 0,   // skipped
                                            B, B, B, K};
    EXPECT_EQ(rle8.pixels, expected);

    // RLE4: runs alternate two indices; top-down run-length files are refused.
    Bytes rle4 = BmpHeader(3, 1, 4, 2, 40, {}, palette);
    rle4.insert(rle4.end(), {3, 0x12, 0, 1});
    Decoded four = DecodeBmpBytes(rle4);
    ASSERT_TRUE(four.isDecoded);
    EXPECT_EQ(four.pixels, (std::vector<uint32_t>{B, G, B}));
    EXPECT_FALSE(DecodeBmpBytes(BmpHeader(3, -1, 4, 2, 40, {}, palette)).isDecoded);
}

namespace {

// A GIF made by giflib's own encoder: a 4-colour global table (black, blue,
// green, red) and the images with their indices in file order, each after a
// graphic control block when `transparentIndex` is not -1. No trailer: the
// caller adds one (0x3B) or whatever else it needs.
struct GifImage {
    int width, height;
    bool isInterlaced;
    std::vector<uint8_t> indices;
};

int AppendGifBytes(GifFileType* gif, const GifByteType* bytes, int count) {
    auto* out = static_cast<Bytes*>(gif->UserData);
    out->insert(out->end(), bytes, bytes + count);
    return count;
}

Bytes MakeGif(int screenWidth, int screenHeight, const std::vector<GifImage>& images, int transparentIndex) {
    Bytes bytes;
    int error = 0;
    GifFileType* gif = EGifOpen(&bytes, AppendGifBytes, &error);
    GifColorType colors[4] = {{0, 0, 0}, {0, 0, 255}, {0, 255, 0}, {255, 0, 0}};
    ColorMapObject* map = GifMakeMapObject(4, colors);
    EGifSetGifVersion(gif, true);
    EXPECT_EQ(EGifPutScreenDesc(gif, screenWidth, screenHeight, 2, 0, map), GIF_OK);
    for (const GifImage& image : images) {
        if (transparentIndex >= 0) {
            GraphicsControlBlock control = {0, false, 0, transparentIndex};
            GifByteType extension[4];
            EGifGCBToExtension(&control, extension);
            EXPECT_EQ(EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, extension), GIF_OK);
        }
        EXPECT_EQ(EGifPutImageDesc(gif, 0, 0, image.width, image.height, image.isInterlaced, nullptr), GIF_OK);
        std::vector<GifPixelType> line;
        for (int y = 0; y < image.height; ++y) {
            line.assign(image.indices.begin() + y * image.width, image.indices.begin() + (y + 1) * image.width);
            EXPECT_EQ(EGifPutLine(gif, line.data(), image.width), GIF_OK);
        }
    }
    EGifCloseFile(gif, &error);  // writes the trailer, which goes
    GifFreeMapObject(map);
    EXPECT_EQ(bytes.back(), 0x3B);
    bytes.pop_back();
    return bytes;
}

Bytes Plus(Bytes bytes, const Bytes& more) {
    bytes.insert(bytes.end(), more.begin(), more.end());
    return bytes;
}

}  // namespace

TEST(GifRecords, TheFirstImageIsShownAtItsOwnSizeWithItsTransparentIndex) {
    // 2 x 4, interlaced: file rows 0, 2, 1, 3 hold the picture's rows 0, 2,
    // 1, 3 (passes from rows 0, 4, 2, 1). Then a second image of another size.
    GifImage first = {2, 4, true, {1, 1, 3, 3, 2, 2, 0, 1}};
    GifImage second = {3, 1, false, {2, 2, 2}};
    Bytes gif = Plus(MakeGif(5, 5, {first, second}, 0), {0x3B});
    Decoded decoded = Decode(DecodeGif, gif);
    ASSERT_TRUE(decoded.isDecoded);
    EXPECT_EQ(decoded.width, 2);
    EXPECT_EQ(decoded.height, 4);
    const uint32_t B = 0xFF0000FFu, G = 0xFF00FF00u, R = 0xFFFF0000u;
    EXPECT_EQ(decoded.pixels, (std::vector<uint32_t>{B, B, G, G, R, R, 0, B}));

    // No trailer, or the data cut inside the second image: the first is
    // whole, so it is shown.
    gif.pop_back();
    EXPECT_TRUE(Decode(DecodeGif, gif).isDecoded);
    gif.resize(gif.size() - 4);
    EXPECT_TRUE(Decode(DecodeGif, gif).isDecoded);
}

TEST(GifRecords, EveryImageDescriptorIsHeldToTheCapsAndBrokenFirstImagesAreRefused) {
    GifImage small = {2, 2, false, {1, 2, 3, 0}};
    Bytes valid = MakeGif(2, 2, {small}, -1);
    ASSERT_TRUE(Decode(DecodeGif, Plus(valid, {0x3B})).isDecoded);
    // A second image of 65535 x 65535: refused, though only the first would
    // be decoded.
    const Bytes huge = {0x2C, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 2, 2, 0x44, 0x01, 0, 0x3B};
    EXPECT_FALSE(Decode(DecodeGif, Plus(valid, huge)).isDecoded);
    // The logical screen decides nothing: a 65535 x 65535 screen around a
    // small first image.
    Decoded onHugeScreen = Decode(DecodeGif, Plus(MakeGif(65535, 65535, {small}, -1), {0x3B}));
    EXPECT_TRUE(onHugeScreen.isDecoded);
    EXPECT_EQ(onHugeScreen.width, 2);
    EXPECT_EQ(onHugeScreen.height, 2);

    // A first image of width 0, or with an LZW code size above 8, before a
    // good one; and a first image cut short.
    Bytes header(valid.begin(), valid.begin() + 13 + 12);  // screen and colour table
    const Bytes empty = {0x2C, 0, 0, 0, 0, 0, 0, 1, 0, 0, 2, 2, 0x44, 0x01, 0};
    const Bytes wideCodes = {0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0, 13, 0};
    Bytes goodImage(valid.begin() + 13 + 12, valid.end());
    EXPECT_FALSE(Decode(DecodeGif, Plus(Plus(Plus(header, empty), goodImage), {0x3B})).isDecoded);
    EXPECT_FALSE(Decode(DecodeGif, Plus(Plus(Plus(header, wideCodes), goodImage), {0x3B})).isDecoded);
    Bytes cut = valid;
    cut.resize(cut.size() - 3);
    EXPECT_FALSE(Decode(DecodeGif, cut).isDecoded);
}
