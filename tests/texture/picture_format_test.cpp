// What the Linux picture service reads from a file before decoding: format,
// size and its limits, and the bit-field BMP decoder.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "texture/picture_format.h"
#include "texture/picture_service.h"

namespace {

using Bytes = std::vector<uint8_t>;

void PutLe(Bytes* bytes, uint32_t value, int size) {
    for (int i = 0; i < size; ++i) bytes->push_back(uint8_t(value >> (8 * i)));
}

void PutBe(Bytes* bytes, uint32_t value, int size) {
    for (int i = size - 1; i >= 0; --i) bytes->push_back(uint8_t(value >> (8 * i)));
}

// A BMP file header and an info header of `infoSize` bytes (masks included
// when it is 52 or more), then `extra` bytes (masks after a 40-byte header).
Bytes BmpHeader(int32_t width, int32_t height, int bitCount, uint32_t compression,
                uint32_t infoSize, const std::vector<uint32_t>& masks) {
    Bytes bytes = {'B', 'M'};
    PutLe(&bytes, 0, 4);
    PutLe(&bytes, 0, 4);
    uint32_t offset = 14 + infoSize + (infoSize == 40 ? uint32_t(masks.size()) * 4 : 0);
    PutLe(&bytes, offset, 4);
    PutLe(&bytes, infoSize, 4);
    PutLe(&bytes, uint32_t(width), 4);
    PutLe(&bytes, uint32_t(height), 4);
    PutLe(&bytes, 1, 2);
    PutLe(&bytes, uint32_t(bitCount), 2);
    PutLe(&bytes, compression, 4);
    for (int i = 0; i < 5; ++i) PutLe(&bytes, 0, 4);
    for (uint32_t mask : masks) PutLe(&bytes, mask, 4);
    bytes.resize(offset, 0);
    return bytes;
}

bool Header(const Bytes& bytes, PictureHeader* header) {
    return ReadPictureHeader(bytes.data(), bytes.size(), header);
}

}  // namespace

TEST(ReadPictureHeader, ReadsBmpSizesOfEveryHeaderKind) {
    PictureHeader header;
    ASSERT_TRUE(Header(BmpHeader(127, 64, 24, 0, 40, {}), &header));
    EXPECT_EQ(header.format, PictureFormatBmp);
    EXPECT_EQ(header.width, 127);
    EXPECT_EQ(header.height, 64);
    ASSERT_TRUE(Header(BmpHeader(10, -20, 24, 0, 124, {}), &header));  // top-down
    EXPECT_EQ(header.height, 20);
    ASSERT_TRUE(Header(BmpHeader(-5, INT32_MIN, 24, 0, 40, {}), &header));
    EXPECT_EQ(header.width, 5);
    EXPECT_EQ(header.height, int64_t(1) << 31);

    Bytes os2 = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 26, 0, 0, 0, 12, 0, 0, 0};
    PutLe(&os2, 300, 2);
    PutLe(&os2, 200, 2);
    ASSERT_TRUE(Header(os2, &header));
    EXPECT_EQ(header.width, 300);
    EXPECT_EQ(header.height, 200);
    os2.resize(20);
    EXPECT_FALSE(Header(os2, &header));  // ends inside the size
}

TEST(ReadPictureHeader, ReadsPngGifAndJpegSizes) {
    PictureHeader header;
    Bytes png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
    PutBe(&png, 70000, 4);
    PutBe(&png, 3, 4);
    ASSERT_TRUE(Header(png, &header));
    EXPECT_EQ(header.format, PictureFormatPng);
    EXPECT_EQ(header.width, 70000);
    EXPECT_EQ(header.height, 3);

    // GIF: a global colour table and an extension before an image that is
    // larger than the logical screen.
    Bytes gif = {'G', 'I', 'F', '8', '9', 'a'};
    PutLe(&gif, 16, 2);
    PutLe(&gif, 8, 2);
    gif.insert(gif.end(), {0x81, 0, 0});  // table of 4 colours
    gif.resize(gif.size() + 12, 0);
    gif.insert(gif.end(), {0x21, 0xF9, 4, 1, 0, 0, 0, 0});  // graphic control
    gif.insert(gif.end(), {0x21, 0xFE, 3, 'a', 'b', 'c', 2, 'd', 'e', 0});  // comment
    gif.insert(gif.end(), {0x2C, 0, 0, 0, 0});
    PutLe(&gif, 9, 2);
    PutLe(&gif, 40000, 2);
    gif.push_back(0);
    ASSERT_TRUE(Header(gif, &header));
    EXPECT_EQ(header.format, PictureFormatGif);
    EXPECT_EQ(header.width, 16);
    EXPECT_EQ(header.height, 40000);
    gif.resize(gif.size() - 6);
    EXPECT_FALSE(Header(gif, &header));  // image descriptor cut short

    // JPEG: application segments and fill bytes before a progressive frame.
    Bytes jpeg = {0xFF, 0xD8, 0xFF, 0xE0, 0, 6, 'J', 'F', 'I', 'F', 0xFF, 0xFF, 0xE1, 0, 2};
    jpeg.insert(jpeg.end(), {0xFF, 0xC4, 0, 3, 0});  // a table, not a frame
    jpeg.insert(jpeg.end(), {0xFF, 0xC2, 0, 11, 8});
    PutBe(&jpeg, 480, 2);
    PutBe(&jpeg, 640, 2);
    jpeg.insert(jpeg.end(), {1, 1, 0x11, 0});
    ASSERT_TRUE(Header(jpeg, &header));
    EXPECT_EQ(header.format, PictureFormatJpeg);
    EXPECT_EQ(header.width, 640);
    EXPECT_EQ(header.height, 480);
}

TEST(ReadPictureHeader, RefusesOtherFormatsAndHeadersWithoutASize) {
    PictureHeader header;
    EXPECT_FALSE(Header({}, &header));
    EXPECT_FALSE(Header({'P', '6', '\n', '1', ' ', '1'}, &header));
    EXPECT_FALSE(Header({'B', 'M', 0, 0}, &header));
    EXPECT_FALSE(Header({'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0, 0x3B}, &header));
    EXPECT_FALSE(Header({0xFF, 0xD8, 0xFF, 0xDA, 0, 2}, &header));  // scan before any frame
    EXPECT_FALSE(Header({0xFF, 0xD8, 0xFF, 0xE0, 0, 200, 1, 2}, &header));  // runs off the end
    EXPECT_FALSE(Header({0xFF, 0xD8, 0xFF, 0xE0, 0, 1}, &header));  // length below 2
}

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

TEST(BitfieldsBmp, OnlyBitFieldCompressionAt16Or32BitsIsDecodedHere) {
    auto is = [](const Bytes& bytes) { return IsBitfieldsBmp(bytes.data(), bytes.size()); };
    EXPECT_TRUE(is(BmpHeader(1, 1, 32, 3, 40, {0xFF0000, 0xFF00, 0xFF})));
    EXPECT_TRUE(is(BmpHeader(1, 1, 16, 3, 124, {0xF800, 0x7E0, 0x1F, 0})));
    EXPECT_TRUE(is(BmpHeader(1, 1, 32, 6, 40, {0xFF0000, 0xFF00, 0xFF, 0xFF000000})));
    EXPECT_FALSE(is(BmpHeader(1, 1, 32, 0, 40, {})));
    EXPECT_FALSE(is(BmpHeader(1, 1, 24, 3, 40, {0xFF0000, 0xFF00, 0xFF})));
    EXPECT_FALSE(is(BmpHeader(1, 1, 32, 3, 64, {})));  // OS/2 2.x: Huffman
    EXPECT_FALSE(is(BmpHeader(1, 1, 8, 1, 40, {})));
}

TEST(BitfieldsBmp, DecodesMasksThatAreNotWholeBytes) {
    // Red in the top byte, green across a nibble boundary, blue in byte 2,
    // two rows bottom-up with a short second pixel on the top row.
    Bytes bytes = BmpHeader(2, 2, 32, 3, 40, {0xFF000000, 0x00000FF0, 0x00FF0000});
    for (uint32_t value : {0x11000220u, 0x00330000u, 0xFF000FF0u, 0x00000000u}) PutLe(&bytes, value, 4);
    BitfieldsBmp bmp;
    ASSERT_TRUE(ReadBitfieldsBmp(bytes.data(), bytes.size(), &bmp));
    uint32_t pixels[2 * 3] = {};
    DecodeBitfieldsBmp(bytes.data(), bmp, pixels, 3);
    EXPECT_EQ(pixels[0], 0xFFFFFF00u);  // top row: last row in the file
    EXPECT_EQ(pixels[1], 0xFF000000u);
    EXPECT_EQ(pixels[3], 0xFF112200u);
    EXPECT_EQ(pixels[4], 0xFF000033u);
    EXPECT_EQ(pixels[2], 0u);  // beyond the row: untouched
}

TEST(BitfieldsBmp, ScalesNarrowAndWideChannelsToEightBits) {
    // 16 bits 5-6-5, top-down; then 32 bits 10-10-10 with a 2-bit alpha.
    Bytes bytes = BmpHeader(3, -1, 16, 3, 40, {0xF800, 0x07E0, 0x001F});
    for (uint32_t value : {0xF800u, 0x0020u, 0x0010u}) PutLe(&bytes, value, 2);
    bytes.resize(bytes.size() + 2, 0);  // row padding to 4 bytes
    BitfieldsBmp bmp;
    ASSERT_TRUE(ReadBitfieldsBmp(bytes.data(), bytes.size(), &bmp));
    EXPECT_TRUE(bmp.isTopDown);
    uint32_t pixels[3];
    DecodeBitfieldsBmp(bytes.data(), bmp, pixels, 3);
    EXPECT_EQ(pixels[0], 0xFFFF0000u);
    EXPECT_EQ(pixels[1], 0xFF000400u);  // 1 of 63 -> 4
    EXPECT_EQ(pixels[2], 0xFF000084u);  // 16 of 31 -> 132

    bytes = BmpHeader(2, 1, 32, 3, 56, {0x3FF00000, 0x000FFC00, 0x000003FF, 0xC0000000});
    PutLe(&bytes, 0x3FF00000u | 512u << 10 | 0x40000000u, 4);
    PutLe(&bytes, 0xC00003FFu, 4);
    ASSERT_TRUE(ReadBitfieldsBmp(bytes.data(), bytes.size(), &bmp));
    uint32_t wide[2];
    DecodeBitfieldsBmp(bytes.data(), bmp, wide, 2);
    EXPECT_EQ(wide[0], 0x55FF8000u);  // alpha 1 of 3 -> 85, green 512 of 1023 -> 128
    EXPECT_EQ(wide[1], 0xFF0000FFu);
}

TEST(BitfieldsBmp, AnAlphaMaskThatIsAlwaysZeroMeansOpaque) {
    Bytes bytes = BmpHeader(2, 1, 32, 6, 40, {0xFF0000, 0xFF00, 0xFF, 0xFF000000});
    PutLe(&bytes, 0x00102030u, 4);
    PutLe(&bytes, 0x00000000u, 4);
    BitfieldsBmp bmp;
    ASSERT_TRUE(ReadBitfieldsBmp(bytes.data(), bytes.size(), &bmp));
    uint32_t pixels[2];
    DecodeBitfieldsBmp(bytes.data(), bmp, pixels, 2);
    EXPECT_EQ(pixels[0], 0xFF102030u);
    EXPECT_EQ(pixels[1], 0xFF000000u);
}

TEST(BitfieldsBmp, RefusesShortFilesAndImpossibleLayouts) {
    BitfieldsBmp bmp;
    Bytes bytes = BmpHeader(4, 4, 32, 3, 40, {0xFF0000, 0xFF00, 0xFF});
    bytes.resize(bytes.size() + 4 * 4 * 4 - 1, 0);  // one byte short
    EXPECT_FALSE(ReadBitfieldsBmp(bytes.data(), bytes.size(), &bmp));
    bytes.push_back(0);
    EXPECT_TRUE(ReadBitfieldsBmp(bytes.data(), bytes.size(), &bmp));

    Bytes noMasks = BmpHeader(1, 1, 32, 3, 40, {0, 0, 0});
    noMasks.resize(noMasks.size() + 4, 0);
    EXPECT_FALSE(ReadBitfieldsBmp(noMasks.data(), noMasks.size(), &bmp));
    Bytes negativeWidth = BmpHeader(-1, 1, 32, 3, 40, {0xFF0000, 0xFF00, 0xFF});
    negativeWidth.resize(negativeWidth.size() + 4, 0);
    EXPECT_FALSE(ReadBitfieldsBmp(negativeWidth.data(), negativeWidth.size(), &bmp));
    Bytes huge = BmpHeader(16385, 1, 32, 3, 40, {0xFF0000, 0xFF00, 0xFF});
    EXPECT_FALSE(ReadBitfieldsBmp(huge.data(), huge.size(), &bmp));
    Bytes badOffset = BmpHeader(1, 1, 32, 3, 40, {0xFF0000, 0xFF00, 0xFF});
    badOffset[10] = 0xFF;
    badOffset[13] = 0x7F;
    EXPECT_FALSE(ReadBitfieldsBmp(badOffset.data(), badOffset.size(), &bmp));
}
