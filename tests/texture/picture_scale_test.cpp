// Scaling a decoded picture into the bottom-row-first blue-green-red-x block.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "texture/picture_scale.h"

namespace {

uint32_t Grey(uint32_t value) { return 0xFF000000u | value << 16 | value << 8 | value; }

std::vector<uint8_t> Scale(const std::vector<uint32_t>& source, int32_t sourceWidth,
                           int32_t sourceHeight, int32_t width, int32_t height) {
    std::vector<uint8_t> block(size_t(width) * height * 4 + 4, 0);
    block[block.size() - 1] = 0xEE;  // guard
    PictureRows rows = {reinterpret_cast<const uint8_t*>(source.data()), sourceWidth * 4, sourceWidth,
                        sourceHeight, PixelLayoutArgb32};
    ScalePicture(rows, block.data(), width, height);
    EXPECT_EQ(block.back(), 0xEE) << "wrote past the block";
    block.resize(block.size() - 4);
    return block;
}

// Blue channel of the block pixel at column x, picture row y (0 = top).
int BlueAt(const std::vector<uint8_t>& block, int32_t width, int32_t height, int32_t x, int32_t y) {
    return block[(size_t(height - 1 - y) * width + x) * 4];
}

}  // namespace

TEST(ScalePicture, EqualSizeCopiesUprightInBlueGreenRedOrder) {
    // 2 x 2 with a row pitch larger than the width.
    std::vector<uint32_t> source = {0xFF102030u, 0xFF405060u, 0xDEADu,
                                    0xFF708090u, 0xFFA0B0C0u, 0xBEEFu};
    std::vector<uint8_t> block(16, 0x77);
    ScalePicture({reinterpret_cast<const uint8_t*>(source.data()), 12, 2, 2, PixelLayoutArgb32},
                 block.data(), 2, 2);
    const std::vector<uint8_t> expected = {0x90, 0x80, 0x70, 0x77, 0xC0, 0xB0, 0xA0, 0x77,   // bottom
                                           0x30, 0x20, 0x10, 0x77, 0x60, 0x50, 0x40, 0x77};  // top
    EXPECT_EQ(block, expected);
}

TEST(ScalePicture, DrawsOverBlackByAlpha) {
    std::vector<uint32_t> source = {0x00FFFFFFu, 0x80FF0000u, 0xFF00FF00u, 0x01C8C8C8u};
    std::vector<uint8_t> same = Scale(source, 4, 1, 4, 1);
    const std::vector<uint8_t> expected = {0, 0, 0, 0, 0, 0, 128, 0, 0, 255, 0, 0, 1, 1, 1, 0};
    EXPECT_EQ(same, expected);
    // Transparent pixels weigh in as black when scaled as well.
    std::vector<uint8_t> scaled = Scale({0x00FFFFFFu, 0x00FFFFFFu}, 2, 1, 1, 1);
    EXPECT_EQ(scaled[0], 0);
}

TEST(ScalePicture, EnlargesBilinearlyWithEdgesHeld) {
    std::vector<uint8_t> across = Scale({Grey(0), Grey(255)}, 2, 1, 4, 1);
    EXPECT_EQ(BlueAt(across, 4, 1, 0, 0), 0);
    EXPECT_EQ(BlueAt(across, 4, 1, 1, 0), 64);
    EXPECT_EQ(BlueAt(across, 4, 1, 2, 0), 191);
    EXPECT_EQ(BlueAt(across, 4, 1, 3, 0), 255);

    std::vector<uint8_t> down = Scale({Grey(0), Grey(255)}, 1, 2, 1, 4);  // top 0, bottom 255
    EXPECT_EQ(BlueAt(down, 1, 4, 0, 0), 0);
    EXPECT_EQ(BlueAt(down, 1, 4, 0, 1), 64);
    EXPECT_EQ(BlueAt(down, 1, 4, 0, 2), 191);
    EXPECT_EQ(BlueAt(down, 1, 4, 0, 3), 255);
}

TEST(ScalePicture, ReducesWithAWidenedTent) {
    // Halving: each target pixel takes three source pixels weighted
    // 3/7, 3/7, 1/7 (centre 1.0 and 3.0, tent half-width 2).
    std::vector<uint32_t> row = {Grey(0), Grey(100), Grey(200), Grey(255)};
    std::vector<uint8_t> across = Scale(row, 4, 1, 2, 1);
    EXPECT_EQ(BlueAt(across, 2, 1, 0, 0), 71);   // (75 + 50) / 1.75
    EXPECT_EQ(BlueAt(across, 2, 1, 1, 0), 209);  // (25 + 150 + 191.25) / 1.75
    std::vector<uint8_t> down = Scale(row, 1, 4, 1, 2);
    EXPECT_EQ(BlueAt(down, 1, 2, 0, 0), 71);
    EXPECT_EQ(BlueAt(down, 1, 2, 0, 1), 209);
    // Every pixel counts when reducing a lot: a single white pixel in 16
    // still shows.
    std::vector<uint32_t> dots(16 * 16, Grey(0));
    dots[16 * 9 + 9] = Grey(255);
    std::vector<uint8_t> small = Scale(dots, 16, 16, 2, 2);
    EXPECT_GT(BlueAt(small, 2, 2, 1, 1), 0);
}

TEST(ScalePicture, KeepsAFlatColourFlatAtAnySize) {
    const uint32_t colour = 0xFF3C7DB4u;  // red 60, green 125, blue 180
    struct Size { int32_t sourceWidth, sourceHeight, width, height; };
    for (Size size : {Size{3, 7, 8, 2}, Size{181, 1, 128, 1}, Size{5, 5, 1, 1}, Size{1, 1, 16, 16},
                      Size{300, 100, 256, 128}, Size{7, 9, 7, 16}}) {
        std::vector<uint32_t> source(size_t(size.sourceWidth) * size.sourceHeight, colour);
        std::vector<uint8_t> block = Scale(source, size.sourceWidth, size.sourceHeight, size.width,
                                           size.height);
        for (size_t i = 0; i < block.size(); i += 4) {
            ASSERT_EQ(block[i + 0], 180) << size.sourceWidth << "x" << size.sourceHeight << " at " << i;
            ASSERT_EQ(block[i + 1], 125);
            ASSERT_EQ(block[i + 2], 60);
        }
    }
}

TEST(ScalePicture, ReadsEveryPixelLayoutAlike) {
    // One pixel red 10, green 20, blue 30, alpha 255 (or 51 = 0.2), then a
    // second pixel of black, in each layout.
    struct Case { PixelLayout layout; std::vector<uint8_t> bytes; uint8_t alpha; };
    const Case cases[] = {
        {PixelLayoutRgb24, {10, 20, 30, 0, 0, 0}, 255},
        {PixelLayoutBgr24, {30, 20, 10, 0, 0, 0}, 255},
        {PixelLayoutArgb32, {30, 20, 10, 51, 0, 0, 0, 255}, 51},   // little-endian words
        {PixelLayoutAbgr32, {10, 20, 30, 51, 0, 0, 0, 255}, 51},
        {PixelLayoutXrgb32, {30, 20, 10, 0, 0, 0, 0, 0}, 255},      // the top byte is ignored
        {PixelLayoutXbgr32, {10, 20, 30, 7, 0, 0, 0, 0}, 255},
    };
    for (const Case& c : cases) {
        int32_t pitch = int32_t(c.bytes.size());
        for (auto size : {std::pair<int32_t, int32_t>{2, 1}, {4, 1}}) {  // copied and scaled
            std::vector<uint8_t> block(size_t(size.first) * 4, 0);
            ScalePicture({c.bytes.data(), pitch, 2, 1, c.layout}, block.data(), size.first, size.second);
            uint8_t red = uint8_t((10 * c.alpha + 127) / 255), blue = uint8_t((30 * c.alpha + 127) / 255);
            EXPECT_EQ(block[0], blue) << c.layout << " " << size.first;
            EXPECT_EQ(block[2], red) << c.layout << " " << size.first;
            EXPECT_EQ(block[block.size() - 4], 0) << c.layout << " " << size.first;
        }
    }
}

TEST(ScalePicture, AnEmptyPictureLeavesTheBlockBlack) {
    std::vector<uint8_t> block(4 * 4, 0);
    ScalePicture({nullptr, 0, 0, 0, PixelLayoutRgb24}, block.data(), 2, 2);
    EXPECT_EQ(block, std::vector<uint8_t>(16, 0));
}
