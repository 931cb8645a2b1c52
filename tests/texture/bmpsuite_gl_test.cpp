// The BMP test suite through the whole loader: every good file looks as an
// independent decoder (ImageMagick) sees it; every questionable or bad file
// is loaded or refused cleanly.
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <string>
#include <vector>

#include "texture_test_util.h"

namespace {

// "group/name.bmp" for every BMP of the groups, sorted.
std::vector<std::string> SuiteFiles(std::initializer_list<const char*> groups) {
    std::vector<std::string> files;
    for (const char* group : groups) {
        std::error_code error;
        for (const auto& entry :
             std::filesystem::directory_iterator(std::string(POLYVIEW_BMPSUITE) + "/" + group, error))
            if (entry.path().extension() == ".bmp")
                files.push_back(std::string(group) + "/" + entry.path().filename().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::string TestName(const ::testing::TestParamInfo<std::string>& info) {
    std::string name = info.param.substr(0, info.param.size() - 4);
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}

class BmpSuite : public TextureGlTest, public ::testing::WithParamInterface<std::string> {
protected:
    // Loads the file by name from its group's folder, as the viewer loads
    // Wall.bmp from the current directory.
    bool Load(GLuint* texture) {
        std::string path = std::string(POLYVIEW_BMPSUITE) + "/" + GetParam();
        size_t slash = path.rfind('/');
        EXPECT_EQ(chdir(path.substr(0, slash).c_str()), 0) << path;
        return LoadPictureTexture(path.c_str() + slash + 1, texture);
    }
};

using GoodBmp = BmpSuite;
using QuestionableOrBadBmp = BmpSuite;

}  // namespace

TEST(BmpSuiteFiles, AreAllThere) {
    EXPECT_EQ(SuiteFiles({"g"}).size(), 27u) << POLYVIEW_BMPSUITE;
    EXPECT_GE(SuiteFiles({"q", "b"}).size(), 60u) << POLYVIEW_BMPSUITE;
}

TEST_P(GoodBmp, LoadsAndMatchesAnIndependentDecoder) {
    GLuint texture = 0;
    ASSERT_TRUE(Load(&texture));
    TextureImage image = ReadBoundTexture();
    ASSERT_GT(image.width, 0);
    std::string copy = scratch + "/picture.bmp";
    std::filesystem::copy_file(std::string(POLYVIEW_BMPSUITE) + "/" + GetParam(), copy);
    EXPECT_TRUE(MatchesReference(image, copy, image.width, image.height, 0.6));
    EXPECT_TRUE(AlphaMarksBlack(image));
}

INSTANTIATE_TEST_SUITE_P(Suite, GoodBmp, ::testing::ValuesIn(SuiteFiles({"g"})), TestName);

TEST_P(QuestionableOrBadBmp, LoadsOrIsRefusedCleanly) {
    GLint maxSide = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSide);
    GLuint texture = 777;
    if (!Load(&texture)) {
        EXPECT_EQ(texture, 777u);
    } else {
        TextureImage image = ReadBoundTexture();
        auto isSide = [&](int32_t side) { return side > 0 && side <= maxSide && !(side & (side - 1)); };
        EXPECT_TRUE(isSide(image.width) && isSide(image.height)) << image.width << "x" << image.height;
        EXPECT_TRUE(AlphaMarksBlack(image));
    }
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

INSTANTIATE_TEST_SUITE_P(Suite, QuestionableOrBadBmp, ::testing::ValuesIn(SuiteFiles({"q", "b"})),
                         TestName);
