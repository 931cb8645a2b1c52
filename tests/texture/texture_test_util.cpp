// The texture tests' GL fixture, scratch folders, pictures and ImageMagick
// references.
#include "texture_test_util.h"

#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

HeadlessGl TextureGlTest::gl;

void TextureGlTest::SetUpTestSuite() {
    std::string error;
    ASSERT_TRUE(OpenHeadlessGl(&gl, 0, 0, &error)) << error;
}

void TextureGlTest::TearDownTestSuite() { CloseHeadlessGl(&gl); }

void TextureGlTest::SetUp() {
    char start[4096];
    ASSERT_NE(getcwd(start, sizeof start), nullptr);
    startDirectory = start;
    std::string pattern = (std::filesystem::temp_directory_path() / "polyview-texture-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    scratch = pattern;
    ASSERT_EQ(chdir(scratch.c_str()), 0);
}

void TextureGlTest::TearDown() {
    if (!startDirectory.empty()) {
        EXPECT_EQ(chdir(startDirectory.c_str()), 0);
    }
    if (!scratch.empty()) std::filesystem::remove_all(scratch);
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    ASSERT_TRUE(file.good()) << path;
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), {});
}

namespace {

void PutLe(std::vector<uint8_t>* bytes, uint32_t value, int size) {
    for (int i = 0; i < size; ++i) bytes->push_back(uint8_t(value >> (8 * i)));
}

}  // namespace

void WriteBmp24(const std::string& path, const RgbPicture& picture) {
    uint32_t rowBytes = (uint32_t(picture.width) * 3 + 3) / 4 * 4;
    uint32_t dataBytes = rowBytes * uint32_t(picture.height);
    std::vector<uint8_t> bytes = {'B', 'M'};
    PutLe(&bytes, 54 + dataBytes, 4);
    PutLe(&bytes, 0, 4);
    PutLe(&bytes, 54, 4);
    PutLe(&bytes, 40, 4);
    PutLe(&bytes, uint32_t(picture.width), 4);
    PutLe(&bytes, uint32_t(picture.height), 4);
    PutLe(&bytes, 1, 2);
    PutLe(&bytes, 24, 2);
    for (int i = 0; i < 6; ++i) PutLe(&bytes, i == 2 || i == 3 ? 2835 : 0, 4);
    for (int32_t y = picture.height - 1; y >= 0; --y) {
        for (int32_t x = 0; x < picture.width; ++x) {
            const uint8_t* p = picture.At(x, y);
            bytes.insert(bytes.end(), {p[2], p[1], p[0]});
        }
        bytes.resize(bytes.size() + rowBytes - uint32_t(picture.width) * 3, 0);
    }
    WriteBytes(path, bytes);
}

RgbPicture MakeTestPicture(int32_t width, int32_t height) {
    RgbPicture picture{width, height, std::vector<uint8_t>(size_t(width) * height * 3)};
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            uint8_t* p = picture.At(x, y);
            p[0] = uint8_t(x * 255 / std::max(width - 1, 1));
            p[1] = uint8_t(y * 255 / std::max(height - 1, 1));
            p[2] = uint8_t((x / 8 + y / 8) % 2 ? 200 : 40);
            if (x < width / 4 && y < height / 4) p[0] = p[1] = p[2] = 0;  // black corner, top left
        }
    return picture;
}

std::string Quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

int RunCommand(const std::string& command, std::string* output) {
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return -1;
    std::string text;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, n);
    int status = pclose(pipe);
    if (output) *output = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

RgbPicture ReferencePicture(const std::string& path, int32_t width, int32_t height) {
    RgbPicture picture{width, height, {}};
    std::string raw = path + ".reference.rgb";
    std::string command = std::string(POLYVIEW_CONVERT) + " " + Quote(path + "[0]") +
                          " -background black -alpha remove -alpha off -filter Triangle -resize " +
                          std::to_string(width) + "x" + std::to_string(height) +
                          "! -depth 8 " + Quote("rgb:" + raw) + " 2>&1";
    std::string output;
    int status = RunCommand(command, &output);
    EXPECT_EQ(status, 0) << command << "\n" << output;
    picture.rgb = ReadBytes(raw);
    std::remove(raw.c_str());
    EXPECT_EQ(picture.rgb.size(), size_t(width) * height * 3) << command;
    picture.rgb.resize(size_t(width) * height * 3);
    return picture;
}

namespace {

// Largest difference of any colour channel between texel and reference
// pixel (reference row 0 is the top, so it meets texture row height - 1),
// and the mean difference.
void CompareWithReference(const TextureImage& texture, const RgbPicture& reference,
                          int* maxDifference, double* meanDifference) {
    *maxDifference = 0;
    double total = 0;
    for (int32_t t = 0; t < texture.height; ++t)
        for (int32_t s = 0; s < texture.width; ++s) {
            const uint8_t* texel = texture.At(s, t);
            const uint8_t* pixel = reference.At(s, texture.height - 1 - t);
            for (int c = 0; c < 3; ++c) {
                int difference = std::abs(int(texel[c]) - int(pixel[c]));
                *maxDifference = std::max(*maxDifference, difference);
                total += difference;
            }
        }
    *meanDifference = total / (3.0 * texture.width * texture.height);
}

}  // namespace

::testing::AssertionResult MatchesReference(const TextureImage& texture, const std::string& path, int32_t width,
                                            int32_t height, double meanBelow) {
    if (texture.width != width || texture.height != height)
        return ::testing::AssertionFailure() << "texture " << texture.width << "x" << texture.height << ", not "
                                             << width << "x" << height;
    int maxDifference = 0;
    double meanDifference = 0;
    CompareWithReference(texture, ReferencePicture(path, width, height), &maxDifference, &meanDifference);
    if (maxDifference > 2 || !(meanDifference < meanBelow))
        return ::testing::AssertionFailure() << "largest difference " << maxDifference << ", mean "
                                             << meanDifference << " (below " << meanBelow << " wanted)";
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult AlphaMarksBlack(const TextureImage& texture) {
    for (int32_t t = 0; t < texture.height; ++t)
        for (int32_t s = 0; s < texture.width; ++s) {
            const uint8_t* texel = texture.At(s, t);
            bool isBlack = texel[0] == 0 && texel[1] == 0 && texel[2] == 0;
            if (texel[3] != (isBlack ? 0 : 255))
                return ::testing::AssertionFailure()
                       << "texel (" << s << ", " << t << ") = " << int(texel[0]) << " "
                       << int(texel[1]) << " " << int(texel[2]) << " " << int(texel[3]);
        }
    return ::testing::AssertionSuccess();
}
