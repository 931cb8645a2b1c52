// Shared helpers of the texture tests: a headless GL context per test
// program, a scratch folder as the current directory, pictures written
// byte by byte, ImageMagick as the independent decoder and scaler.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "gl_read_back.h"
#include "headless_gl.h"
#include "texture/texture.h"

// One RGB picture, top row first.
struct RgbPicture {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> rgb;

    uint8_t* At(int32_t x, int32_t y) { return &rgb[(size_t(y) * width + x) * 3]; }
    const uint8_t* At(int32_t x, int32_t y) const { return &rgb[(size_t(y) * width + x) * 3]; }
};

// A texture read back (ReadBoundTexture): RGBA, At(s, t) with row 0 at t = 0.
using TextureImage = GlImage;

// Writes a 24-bit bottom-up BMP.
void WriteBmp24(const std::string& path, const RgbPicture& picture);
void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> ReadBytes(const std::string& path);

// A picture with a bit of everything: gradients, pure black, near-black.
RgbPicture MakeTestPicture(int32_t width, int32_t height);

// Runs a shell command; returns its exit status and its standard output.
int RunCommand(const std::string& command, std::string* output = nullptr);
std::string Quote(const std::string& text);

// ImageMagick's reading of `path`, flattened over black and resized with a
// triangle filter to exactly width x height. Fails the test when it cannot.
RgbPicture ReferencePicture(const std::string& path, int32_t width, int32_t height);

// The texture read back against ImageMagick's reading of `path`: the texture
// is width x height, no colour channel differs by more than 2 (rounding), and
// the mean difference stays below `meanBelow`.
::testing::AssertionResult MatchesReference(const TextureImage& texture, const std::string& path, int32_t width,
                                            int32_t height, double meanBelow);

// Alpha is 0 exactly at the texels whose red, green and blue are all 0.
::testing::AssertionResult AlphaMarksBlack(const TextureImage& texture);

// A headless context for the whole test program and a fresh scratch folder
// as the current directory for each test.
class TextureGlTest : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void SetUp() override;
    void TearDown() override;

    static HeadlessGl gl;
    std::string scratch;    // absolute path of the scratch folder
    std::string startDirectory;
};
