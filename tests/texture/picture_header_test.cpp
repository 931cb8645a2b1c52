// The size a picture's header states (what the web build checks before the
// browser decodes) against the Linux decoders' reading of the same files:
// the BMP suite and pictures ImageMagick writes in the other formats, and
// every prefix of each file, which must be read without reading past it.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include "texture/picture_decode.h"
#include "texture/picture_header.h"
#include "texture_test_util.h"

namespace {

struct Size {
    bool isKnown = false;
    int64_t width = 0, height = 0;
};

Size StatedSize(const std::vector<uint8_t>& bytes) {
    // A buffer of exactly the file's length, so that reading past it is
    // caught by the sanitizer build.
    std::unique_ptr<uint8_t[]> copy(new uint8_t[bytes.size()]);
    std::memcpy(copy.get(), bytes.data(), bytes.size());
    Size size;
    size.isKnown = ReadHeaderPictureSize(copy.get(), bytes.size(), &size.width, &size.height);
    return size;
}

Size DecodedSize(const std::string& path) {
    Size size;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return size;
    uint8_t start[8] = {};
    size_t got = std::fread(start, 1, sizeof start, file);
    std::rewind(file);
    DecodedPicture picture;
    bool (*decode)(FILE*, DecodedPicture*) = nullptr;
    switch (SniffPictureFormat(start, got)) {
        case PictureFormatBmp: decode = DecodeBmp; break;
        case PictureFormatPng: decode = DecodePng; break;
        case PictureFormatJpeg: decode = DecodeJpeg; break;
        case PictureFormatGif: decode = DecodeGif; break;
        case PictureFormatNone: break;
    }
    if (decode && decode(file, &picture)) {
        size = {true, picture.rows.width, picture.rows.height};
        FreeDecodedPicture(&picture);
    }
    std::fclose(file);
    return size;
}

class PictureHeaderTest : public TextureGlTest {};

TEST_F(PictureHeaderTest, StatesTheSizeTheDecoderReads) {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(POLYVIEW_BMPSUITE))
        if (entry.path().extension() == ".bmp") files.push_back(entry.path().string());
    // Other formats and forms: 16-bit and interlaced PNG, progressive JPEG,
    // a GIF whose first image lies partly outside its logical screen.
    const char* const made[][2] = {
        {"-size 37x5 gradient:red-blue", "a.png"},
        {"-size 300x17 gradient: -depth 16 -interlace PNG", "b.png"},
        {"-size 64x1 gradient:", "c.jpg"},
        {"-size 33x70 gradient: -interlace JPEG", "d.jpg"},
        {"-size 20x9 gradient: -colors 16", "e.gif"},
        {"-size 20x9 gradient: -colors 16 -page 12x4+5+3", "f.gif"},
    };
    for (const auto& picture : made) {
        std::string path = scratch + "/" + picture[1];
        ASSERT_EQ(RunCommand(std::string(POLYVIEW_CONVERT) + " " + picture[0] + " " + Quote(path)), 0) << path;
        files.push_back(path);
    }

    int compared = 0;
    for (const std::string& path : files) {
        SCOPED_TRACE(path);
        std::vector<uint8_t> bytes = ReadBytes(path);
        Size stated = StatedSize(bytes);
        Size decoded = DecodedSize(path);
        const bool isGif = path.size() > 4 && path.compare(path.size() - 4, 4, ".gif") == 0;
        if (decoded.isKnown) {
            ++compared;
            ASSERT_TRUE(stated.isKnown);
            if (isGif) {
                // The browser shows the first image on the logical screen.
                EXPECT_GE(stated.width, decoded.width);
                EXPECT_GE(stated.height, decoded.height);
            } else {
                EXPECT_EQ(stated.width, decoded.width);
                EXPECT_EQ(stated.height, decoded.height);
            }
        }
        for (size_t length = 1; length < bytes.size() && length < 1024; ++length) {
            Size part = StatedSize(std::vector<uint8_t>(bytes.begin(), bytes.begin() + length));
            // A GIF's first image may lie beyond a prefix; other formats
            // state their size in one place.
            if (part.isKnown && stated.isKnown && !isGif) {
                EXPECT_EQ(part.width, stated.width);
                EXPECT_EQ(part.height, stated.height);
            }
        }
    }
    EXPECT_GT(compared, 50);
}

// Sizes beyond the caps, stated where only the header is there: the web
// build refuses these before the browser sees them.
TEST(PictureHeaderSizes, StatedBeforeThePixels) {
    auto le = [](std::vector<uint8_t>* bytes, size_t at, uint32_t value, int size) {
        for (int i = 0; i < size; ++i) (*bytes)[at + i] = uint8_t(value >> (8 * i));
    };
    std::vector<uint8_t> bmp(54, 0);
    bmp[0] = 'B', bmp[1] = 'M';
    le(&bmp, 14, 40, 4);
    le(&bmp, 18, 20000, 4);
    le(&bmp, 22, uint32_t(-3), 4);  // top-down
    Size size = StatedSize(bmp);
    EXPECT_TRUE(size.isKnown && size.width == 20000 && size.height == 3);

    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', 13, 10, 26, 10, 0, 0, 0, 13, 'I', 'H', 'D', 'R',
                                0x00, 0x01, 0x86, 0xA0, 0, 0, 0, 1};
    size = StatedSize(png);
    EXPECT_TRUE(size.isKnown && size.width == 100000 && size.height == 1);

    // A GIF screen of 1 x 1 whose first image, after an extension, is
    // 60000 x 2 at 7, 0.
    std::vector<uint8_t> gif = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0,
                                0x21, 0xF9, 4, 0, 0, 0, 0, 0,
                                0x2C, 7, 0, 0, 0, 0x60, 0xEA, 2, 0, 0};
    size = StatedSize(gif);
    EXPECT_TRUE(size.isKnown && size.width == 60007 && size.height == 2);

    // A JPEG frame header after an application segment; and one whose
    // height follows the scan (0), which states no size.
    std::vector<uint8_t> jpeg = {0xFF, 0xD8, 0xFF, 0xE0, 0, 4, 0, 0,
                                 0xFF, 0xC2, 0, 11, 8, 0xFF, 0xFF, 0xFF, 0xFE, 1, 1, 0x11, 0};
    size = StatedSize(jpeg);
    EXPECT_TRUE(size.isKnown && size.width == 65534 && size.height == 65535);
    jpeg[13] = jpeg[14] = 0;
    EXPECT_FALSE(StatedSize(jpeg).isKnown);
}

}  // namespace
