// PNG, JPEG and GIF pictures made by ImageMagick, through the whole loader,
// compared with ImageMagick's own reading and scaling of the same files.
#include <string>

#include "texture_test_util.h"

namespace {

void Convert(const std::string& arguments) {
    std::string output;
    std::string command = std::string(POLYVIEW_CONVERT) + " " + arguments + " 2>&1";
    ASSERT_EQ(RunCommand(command, &output), 0) << command << "\n" << output;
}

}  // namespace

using PictureFormatsGl = TextureGlTest;

TEST_F(PictureFormatsGl, PngJpegAndGifMatchAnIndependentDecoder) {
    WriteBmp24("source.bmp", MakeTestPicture(300, 100));
    struct Case { const char* name; const char* output; };
    // GIF: ImageMagick picks the palette; JPEG: lossy, but both sides decode
    // the same file.
    for (Case c : {Case{"picture.png", "picture.png"}, Case{"picture.jpg", "-quality 92 picture.jpg"},
                   Case{"picture.gif", "picture.gif"}, Case{"grey.png", "-colorspace Gray grey.png"},
                   Case{"progressive.jpg", "-interlace JPEG progressive.jpg"},
                   Case{"palette.png", "-colors 16 PNG8:palette.png"},
                   Case{"interlaced.png", "-interlace PNG interlaced.png"},
                   Case{"deep.png", "-depth 16 PNG48:deep.png"},
                   Case{"interlaced.gif", "-interlace GIF interlaced.gif"}}) {
        std::string name = c.name;
        Convert(std::string("source.bmp ") + c.output);
        GLuint texture = 0;
        ASSERT_TRUE(LoadPictureTexture(name.c_str(), &texture)) << name;
        TextureImage image = ReadBoundTexture();
        EXPECT_TRUE(MatchesReference(image, name, 256, 128, 0.6)) << name;
        EXPECT_TRUE(AlphaMarksBlack(image)) << name;
    }
}

TEST_F(PictureFormatsGl, WhatThePictureLeavesTransparentComesOutBlackAndTransparent) {
    // Left half fully transparent (blue underneath), right half opaque red,
    // a half-transparent green bar across the bottom.
    Convert("-size 32x64 xc:'rgba(0,0,255,0)' \\( -size 32x48 xc:red -size 32x16 "
            "xc:'rgba(0,255,0,0.5)' -append \\) +append alpha.png");
    Convert("-size 64x64 xc:red -fill blue -draw 'rectangle 0,0 31,63' -transparent blue keyed.gif");
    for (const char* name : {"alpha.png", "keyed.gif"}) {
        GLuint texture = 0;
        ASSERT_TRUE(LoadPictureTexture(name, &texture)) << name;
        TextureImage image = ReadBoundTexture();
        ASSERT_EQ(image.width, 64);
        ASSERT_EQ(image.height, 64);
        EXPECT_TRUE(AlphaMarksBlack(image)) << name;
        for (int32_t t = 0; t < 64; ++t) {
            const uint8_t* left = image.At(5, t);
            EXPECT_EQ(left[0] | left[1] | left[2] | left[3], 0) << name << " t=" << t;
            const uint8_t* right = image.At(50, t);
            EXPECT_EQ(right[3], 255) << name;
        }
        EXPECT_EQ(image.At(50, 63)[0], 255) << name;  // top: red
        if (std::string(name) == "alpha.png") {
            const uint8_t* bar = image.At(50, 5);  // bottom: half green over black
            EXPECT_EQ(bar[0], 0);
            EXPECT_NEAR(bar[1], 128, 1);
            EXPECT_EQ(bar[2], 0);
        }
    }
}

TEST_F(PictureFormatsGl, CmykJpegsAreShownInRgb) {
    // At the texture's own size, so that no scaling mixes the colours:
    // ImageMagick would scale in CMYK.
    WriteBmp24("source.bmp", MakeTestPicture(64, 32));
    Convert("source.bmp -colorspace CMYK -quality 95 cmyk.jpg");
    GLuint texture = 0;
    ASSERT_TRUE(LoadPictureTexture("cmyk.jpg", &texture));
    EXPECT_TRUE(MatchesReference(ReadBoundTexture(), "cmyk.jpg", 64, 32, 0.6));
}
