// LoadPictureTexture in a real headless OpenGL context (Mesa).
#include <algorithm>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "texture_test_util.h"

namespace {

GLint BoundTexture() {
    GLint name = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &name);
    return name;
}

GLint TextureParameter(GLenum parameter) {
    GLint value = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, parameter, &value);
    return value;
}

}  // namespace

using LoadPictureTextureGl = TextureGlTest;

TEST_F(LoadPictureTextureGl, MakesOneBoundLinearTextureWithThePicturesTexels) {
    RgbPicture picture = MakeTestPicture(8, 4);  // sides already powers of two
    picture.At(7, 3)[0] = 1;                      // near-black stays opaque
    picture.At(7, 3)[1] = picture.At(7, 3)[2] = 0;
    WriteBmp24("Wall.bmp", picture);

    GLuint before = 0;
    glGenTextures(1, &before);
    GLuint texture = 0;
    ASSERT_TRUE(LoadPictureTexture("Wall.bmp", &texture));
    EXPECT_EQ(texture, before + 1);
    EXPECT_TRUE(glIsTexture(texture));
    EXPECT_EQ(BoundTexture(), GLint(texture));
    EXPECT_EQ(TextureParameter(GL_TEXTURE_MIN_FILTER), GL_LINEAR);
    EXPECT_EQ(TextureParameter(GL_TEXTURE_MAG_FILTER), GL_LINEAR);
    EXPECT_EQ(TextureParameter(GL_TEXTURE_WRAP_S), GL_REPEAT);  // left at the defaults
    EXPECT_EQ(TextureParameter(GL_TEXTURE_WRAP_T), GL_REPEAT);
    GLint format = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
    EXPECT_TRUE(format == GL_RGBA || format == GL_RGBA8) << format;
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));

    TextureImage image = ReadBoundTexture();
    ASSERT_EQ(image.width, 8);
    ASSERT_EQ(image.height, 4);
    for (int32_t t = 0; t < 4; ++t)
        for (int32_t s = 0; s < 8; ++s) {
            const uint8_t* texel = image.At(s, t);
            const uint8_t* pixel = picture.At(s, 3 - t);  // t = 0 is the bottom row
            bool isBlack = pixel[0] == 0 && pixel[1] == 0 && pixel[2] == 0;
            EXPECT_EQ(texel[0], pixel[0]) << s << "," << t;
            EXPECT_EQ(texel[1], pixel[1]) << s << "," << t;
            EXPECT_EQ(texel[2], pixel[2]) << s << "," << t;
            EXPECT_EQ(texel[3], isBlack ? 0 : 255) << s << "," << t;
        }
    EXPECT_EQ(image.At(0, 3)[3], 0);    // the black top-left corner
    EXPECT_EQ(image.At(7, 0)[3], 255);  // red 1: opaque
}

TEST_F(LoadPictureTextureGl, ChoosesTextureSidesByTheSideRule) {
    struct Case { int32_t width, height, textureWidth, textureHeight; };
    for (Case c : {Case{256, 256, 256, 256}, Case{300, 100, 256, 128}, Case{181, 182, 128, 256},
                   Case{1, 3, 1, 4}, Case{1448, 6, 1024, 8}}) {
        WriteBmp24("picture.bmp", MakeTestPicture(c.width, c.height));
        GLuint texture = 0;
        ASSERT_TRUE(LoadPictureTexture("picture.bmp", &texture)) << c.width << "x" << c.height;
        GLint width = 0, height = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
        EXPECT_EQ(width, c.textureWidth) << c.width << "x" << c.height;
        EXPECT_EQ(height, c.textureHeight) << c.width << "x" << c.height;
        glDeleteTextures(1, &texture);
    }
}

TEST_F(LoadPictureTextureGl, StretchesThePictureToTheTextureLikeAnIndependentScaler) {
    WriteBmp24("stretch.bmp", MakeTestPicture(300, 100));
    GLuint texture = 0;
    ASSERT_TRUE(LoadPictureTexture("stretch.bmp", &texture));
    TextureImage image = ReadBoundTexture();
    EXPECT_TRUE(MatchesReference(image, "stretch.bmp", 256, 128, 0.5));
    EXPECT_TRUE(AlphaMarksBlack(image));
}

// Every failure: false, the out-parameter as it was, no texture name made,
// the binding unchanged.
class LoadPictureTextureFailure : public TextureGlTest {
protected:
    void ExpectRefused(const std::string& name) {
        GLuint probe = 0;
        glGenTextures(1, &probe);
        glBindTexture(GL_TEXTURE_2D, 0);
        GLuint texture = 4242;
        EXPECT_FALSE(LoadPictureTexture(name.c_str(), &texture)) << name;
        EXPECT_EQ(texture, 4242u) << name;
        EXPECT_FALSE(glIsTexture(probe + 1)) << name;
        EXPECT_EQ(BoundTexture(), 0) << name;
        GLuint next = 0;
        glGenTextures(1, &next);
        EXPECT_EQ(next, probe + 1) << name << ": a texture name was used up";
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    }
};

TEST_F(LoadPictureTextureFailure, MissingUnreadableAndUnknownPictures) {
    ExpectRefused("Wall.bmp");
    ExpectRefused("");
    mkdir("folder.bmp", 0755);
    ExpectRefused("folder.bmp");
    WriteBytes("empty.bmp", {});
    ExpectRefused("empty.bmp");
    WriteBytes("text.bmp", {'h', 'e', 'l', 'l', 'o', '\n'});
    ExpectRefused("text.bmp");
    WriteBytes("ppm.bmp", {'P', '6', '\n', '1', ' ', '1', '\n', '2', '5', '5', '\n', 1, 2, 3});
    ExpectRefused("ppm.bmp");
    // A real picture cut short.
    WriteBmp24("whole.bmp", MakeTestPicture(64, 64));
    std::vector<uint8_t> bytes = ReadBytes("whole.bmp");
    bytes.resize(bytes.size() / 2);
    WriteBytes("cut.bmp", bytes);
    ExpectRefused("cut.bmp");
    if (geteuid() != 0) {  // root reads everything
        WriteBmp24("locked.bmp", MakeTestPicture(4, 4));
        chmod("locked.bmp", 0);
        ExpectRefused("locked.bmp");
    }
}

TEST_F(LoadPictureTextureFailure, AddressesAreNotFetchedEvenWhenAFileHasThatName) {
    // "pics/http://a.bmp" is also the file pics/http:/a.bmp.
    std::filesystem::create_directories("pics/http:");
    WriteBmp24("pics/http:/a.bmp", MakeTestPicture(4, 4));
    ExpectRefused("pics/http://a.bmp");
    ExpectRefused("http://127.0.0.1:9/Wall.bmp");
}

TEST_F(LoadPictureTextureGl, UpperCaseHttpAndHttpsNamesAreFileNames) {
    for (const char* folder : {"HTTP:", "https:"}) {
        std::filesystem::create_directories(folder);
        WriteBmp24(std::string(folder) + "/a.bmp", MakeTestPicture(4, 4));
        GLuint texture = 0;
        EXPECT_TRUE(LoadPictureTexture((std::string(folder) + "//a.bmp").c_str(), &texture)) << folder;
        EXPECT_NE(texture, 0u);
    }
}

TEST_F(LoadPictureTextureFailure, FullPathsLongerThanTheSystemTakesAreRefused) {
    // Names that make full paths of exactly the most characters the system
    // takes (259 on Windows, 4095 elsewhere) and one more; both files exist.
    // Each folder's name stays within the system's limit for one name.
    const size_t most = size_t(FullPathCapacity) - 1;
    size_t room = most - scratch.size() - 1;  // characters left for the name
    ASSERT_GT(room, 20u) << "scratch folder path too long for this test";
    std::string folder(std::min<size_t>(room / 2, 100), 'f');
    while (room - folder.size() > 200) folder += "/" + std::string(100, 'f');
    std::filesystem::create_directories(folder);
    std::string fits = folder + "/" + std::string(room - folder.size() - 1 - 4, 'n') + ".bmp";
    ASSERT_EQ(scratch.size() + 1 + fits.size(), most);
    std::string longer = fits.substr(0, fits.size() - 4) + "n.bmp";
    WriteBmp24(fits, MakeTestPicture(4, 4));
    WriteBmp24(longer, MakeTestPicture(4, 4));
    GLuint texture = 0;
    EXPECT_TRUE(LoadPictureTexture(fits.c_str(), &texture));
    ExpectRefused(longer);

    std::string address = "http://" + std::string(most, 'a');
    ExpectRefused(address);
}

TEST_F(LoadPictureTextureFailure, HostileHeadersAreRefusedBeforeDecoding) {
    // Tiny files that claim pictures above the limits.
    std::vector<uint8_t> bmp(54 + 64, 0);
    auto putLe = [](std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
        for (int i = 0; i < 4; ++i) bytes[at + i] = uint8_t(value >> (8 * i));
    };
    bmp[0] = 'B';
    bmp[1] = 'M';
    putLe(bmp, 10, 54);
    putLe(bmp, 14, 40);
    putLe(bmp, 18, 20000);
    putLe(bmp, 22, 20000);
    bmp[26] = 1;
    bmp[28] = 24;
    WriteBytes("wide.bmp", bmp);
    putLe(bmp, 18, 9000);
    putLe(bmp, 22, uint32_t(-9000));  // top-down, 324 MB
    WriteBytes("tall.bmp", bmp);
    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13,
                                'I', 'H', 'D', 'R', 0, 0, 0x40, 0x01, 0, 0, 0, 1, 8, 2, 0, 0, 0};
    WriteBytes("wide.png", png);  // 16385 x 1
    std::vector<uint8_t> gif = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0,
                                0x2C, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 2, 2, 0x44, 0x01, 0, 0x3B};
    WriteBytes("huge.gif", gif);
    std::vector<uint8_t> jpeg = {0xFF, 0xD8, 0xFF, 0xC0, 0, 11, 8, 0xFF, 0xFF, 0xFF, 0xFF, 1, 1, 0x11, 0,
                                 0xFF, 0xD9};
    WriteBytes("huge.jpg", jpeg);
    for (const char* name : {"wide.bmp", "tall.bmp", "wide.png", "huge.gif", "huge.jpg"}) ExpectRefused(name);
}

TEST_F(LoadPictureTextureGl, NonAsciiNamesAndTheRootDirectoryWork) {
    for (const char* name : {"Duvar-\xC4\x9F\xC3\xBC\xC5\x9F\xC3\xB6\xC3\xA7.bmp",  // Turkish letters
                             "\xE5\xA3\x81.bmp",                                      // CJK
                             "\xF0\x9F\xA7\xB1.bmp",                                  // outside the BMP
                             "latin1-\xE9\xFF.bmp"}) {                                // not UTF-8
        WriteBmp24(name, MakeTestPicture(4, 4));
        GLuint texture = 0;
        EXPECT_TRUE(LoadPictureTexture(name, &texture)) << name;
    }
    // From "/" the full path begins with "//", which names the same files.
    WriteBmp24("root.bmp", MakeTestPicture(4, 4));
    ASSERT_EQ(chdir("/"), 0);
    GLuint texture = 0;
    EXPECT_TRUE(LoadPictureTexture((scratch.substr(1) + "/root.bmp").c_str(), &texture));
}

TEST_F(LoadPictureTextureGl, EachLoadMakesANewTextureName) {
    WriteBmp24("Wall.bmp", MakeTestPicture(16, 16));
    GLuint first = 0, second = 0;
    ASSERT_TRUE(LoadPictureTexture("Wall.bmp", &first));
    ASSERT_TRUE(LoadPictureTexture("Wall.bmp", &second));
    EXPECT_NE(first, second);
    EXPECT_TRUE(glIsTexture(first));
    EXPECT_EQ(BoundTexture(), GLint(second));
}
