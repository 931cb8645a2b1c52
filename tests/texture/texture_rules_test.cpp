// The loader's own rules, without a rendering context: path forming, the
// texture side rule and the pixel conversion.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "texture/texture.h"

namespace {

typedef std::basic_string<PathChar> PathString;

// UTF-8 text in the system's path units (UTF-16 on Windows), and back.
#ifdef _WIN32
PathString ToPath(const std::string& text) {
    PathString path(text.size() + 1, L'\0');
    path.resize(size_t(MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, &path[0], int(path.size())) - 1));
    return path;
}
std::string FromPath(const PathString& path) {
    std::string text(4 * path.size() + 1, '\0');
    text.resize(size_t(WideCharToMultiByte(CP_UTF8, 0, path.c_str(), -1, &text[0], int(text.size()), 0, 0) - 1));
    return text;
}
#else
PathString ToPath(const std::string& text) { return text; }
std::string FromPath(const PathString& path) { return path; }
#endif

std::string Formed(const std::string& name, const char* directory, char separator) {
    PathChar fullPath[FullPathCapacity + 16];
    std::fill(std::begin(fullPath), std::end(fullPath), PathChar('#'));
    const PathString pathName = ToPath(name), pathDirectory = ToPath(directory ? directory : "");
    if (!FormFullPath(pathName.c_str(), directory ? pathDirectory.c_str() : nullptr, PathChar(separator), fullPath))
        return "<refused>";
    EXPECT_EQ(fullPath[FullPathCapacity], PathChar('#')) << "wrote past the full-path buffer";
    return FromPath(fullPath);
}

// The power of two p with p / sqrt(2) <= s < p * sqrt(2), in integers.
int32_t NearestPowerOfTwo(int64_t side) {
    for (int64_t p = 1;; p *= 2)
        if (p * p <= 2 * side * side && side * side < 2 * p * p) return int32_t(p);
}

}  // namespace

TEST(FormFullPath, PutsNameBehindDirectoryAndOneSeparator) {
    EXPECT_EQ(Formed("Wall.bmp", "C:\\demo", '\\'), "C:\\demo\\Wall.bmp");
    EXPECT_EQ(Formed("Wall.bmp", "/home/user/demo", '/'), "/home/user/demo/Wall.bmp");
    EXPECT_EQ(Formed("pics/Wall.bmp", "/srv", '/'), "/srv/pics/Wall.bmp");
}

TEST(FormFullPath, RootsAndAbsoluteNamesStillGetTheSeparator) {
    EXPECT_EQ(Formed("Wall.bmp", "C:\\", '\\'), "C:\\\\Wall.bmp");
    EXPECT_EQ(Formed("Wall.bmp", "/", '/'), "//Wall.bmp");
    EXPECT_EQ(Formed("/etc/Wall.bmp", "/home/user", '/'), "/home/user//etc/Wall.bmp");
    EXPECT_EQ(Formed("C:\\x\\Wall.bmp", "D:\\demo", '\\'), "D:\\demo\\C:\\x\\Wall.bmp");
    EXPECT_EQ(Formed("", "/tmp", '/'), "/tmp/");
}

TEST(FormFullPath, HttpAnywhereKeepsTheNameUnchanged) {
    // The directory is not read for an address.
    EXPECT_EQ(Formed("http://example.com/Wall.bmp", nullptr, '/'), "http://example.com/Wall.bmp");
    EXPECT_EQ(Formed("pics/http://a.bmp", nullptr, '\\'), "pics/http://a.bmp");
    EXPECT_EQ(Formed("xhttp://", nullptr, '/'), "xhttp://");
    EXPECT_TRUE(IsPictureAddress("pics/http://a.bmp"));
    EXPECT_TRUE(IsPictureAddress("http://"));
}

TEST(FormFullPath, OnlyLowerCaseHttpWithTwoSlashesIsAnAddress) {
    for (const char* name : {"HTTP://a.bmp", "Http://a.bmp", "https://a.bmp", "http:/a.bmp",
                             "http:\\\\a.bmp", "ftp://a.bmp"}) {
        EXPECT_FALSE(IsPictureAddress(name)) << name;
        EXPECT_EQ(Formed(name, "/d", '/'), std::string("/d/") + name);
    }
}

TEST(FormFullPath, RefusesPathsLongerThanTheSystemTakes) {
#ifdef _WIN32
    ASSERT_EQ(FullPathCapacity, 260);
#else
    // Linux paths often pass 260 characters.
    ASSERT_EQ(FullPathCapacity, 4096);
#endif
    const size_t most = size_t(FullPathCapacity) - 1;
    std::string directory = "/" + std::string(200, 'd');  // 201 characters
    std::string fits(most - 202, 'n');                      // 201 + 1 + the rest = most
    EXPECT_EQ(Formed(fits.c_str(), directory.c_str(), '/'), directory + "/" + fits);
    EXPECT_EQ(Formed((fits + "n").c_str(), directory.c_str(), '/'), "<refused>");
    EXPECT_EQ(Formed("Wall.bmp", std::string(most, 'd').c_str(), '/'), "<refused>");

    std::string address = "http://" + std::string(most - 7, 'a');
    EXPECT_EQ(Formed(address.c_str(), nullptr, '/'), address);
    EXPECT_EQ(Formed((address + "a").c_str(), nullptr, '/'), "<refused>");
}

TEST(FormFullPath, AnyLettersCountInTheSystemsUnits) {
    // Letters outside every ANSI code page come through whole; the limit
    // counts UTF-16 units on Windows (one for each of these) and bytes
    // elsewhere (two).
    const std::string folder = "C:\\Masa\xC3\xBCst\xC3\xBC\\\xC3\xA7" "al\xC4\xB1\xC5\x9F" "ma \xC4\x9F\\\xD0\xBC\xD0\xBE";
    EXPECT_EQ(Formed("Wall.bmp", folder.c_str(), '\\'), folder + "\\Wall.bmp");
    const std::string letter = "\xC4\x9F";
    const size_t letterUnits = ToPath(letter).size();
#ifdef _WIN32
    EXPECT_EQ(letterUnits, 1u);
#endif
    const size_t most = size_t(FullPathCapacity) - 1, letters = (most - 12) / letterUnits;
    std::string directory = "C:\\";
    for (size_t i = 0; i < letters; ++i) directory += letter;
    directory += std::string(most - 12 - letters * letterUnits, 'd');  // with "\\Wall.bmp": most units
    EXPECT_EQ(Formed("Wall.bmp", directory.c_str(), '\\'), directory + "\\Wall.bmp");
    EXPECT_EQ(Formed("Wall.bmp", (directory + "d").c_str(), '\\'), "<refused>");
}

TEST(ChooseTextureSide, MapsTheDocumentedRanges) {
    struct Range { int32_t low, high, side; };
    const Range ranges[] = {
        {1, 1, 1},         {2, 2, 2},           {3, 5, 4},           {6, 11, 8},
        {12, 22, 16},      {23, 45, 32},        {46, 90, 64},        {91, 181, 128},
        {182, 362, 256},   {363, 724, 512},     {725, 1448, 1024},   {1449, 2896, 2048},
        {2897, 5792, 4096}};
    for (const Range& range : ranges) {
        EXPECT_EQ(ChooseTextureSide(range.low, 16384), range.side) << range.low;
        EXPECT_EQ(ChooseTextureSide(range.high, 16384), range.side) << range.high;
    }
    EXPECT_EQ(ChooseTextureSide(181, 16384), 128);  // shrinks
    EXPECT_EQ(ChooseTextureSide(182, 16384), 256);  // grows
}

TEST(ChooseTextureSide, PicksTheNearestPowerOfTwoOnALogScale) {
    for (int32_t side = 1; side <= 16384; ++side)
        ASSERT_EQ(ChooseTextureSide(side, 16384), NearestPowerOfTwo(side)) << side;
}

TEST(ChooseTextureSide, ClampsAboveTheMaximumAndRaisesNonPositiveToOne) {
    EXPECT_EQ(ChooseTextureSide(3000, 1024), 1024);  // no logarithm step
    EXPECT_EQ(ChooseTextureSide(1025, 1024), 1024);
    EXPECT_EQ(ChooseTextureSide(1024, 1024), 1024);
    EXPECT_EQ(ChooseTextureSide(1448, 2048), 1024);
    EXPECT_EQ(ChooseTextureSide(INT32_MAX, 16384), 16384);
    EXPECT_EQ(ChooseTextureSide(0, 1024), 1);
    EXPECT_EQ(ChooseTextureSide(-1, 1024), 1);
    EXPECT_EQ(ChooseTextureSide(INT32_MIN, 1024), 1);
    // A maximum that is not a power of two bounds only the sides above it.
    EXPECT_EQ(ChooseTextureSide(1000, 1000), 1024);
    EXPECT_EQ(ChooseTextureSide(1001, 1000), 1000);
}

TEST(ConvertPixels, SwapsBlueAndRedAndMakesOnlyPureBlackTransparent) {
    struct Case { uint8_t in[4]; uint8_t out[4]; };
    const Case cases[] = {
        {{0, 0, 0, 0}, {0, 0, 0, 0}},
        {{0, 0, 0, 255}, {0, 0, 0, 0}},  // the fourth byte is never read
        {{10, 20, 30, 0}, {30, 20, 10, 255}},
        {{0, 0, 1, 0}, {1, 0, 0, 255}},
        {{1, 0, 0, 7}, {0, 0, 1, 255}},
        {{0, 1, 0, 0}, {0, 1, 0, 255}},
        {{255, 255, 255, 0}, {255, 255, 255, 255}},
    };
    for (const Case& c : cases) {
        uint8_t pixel[4];
        std::memcpy(pixel, c.in, 4);
        ConvertPixels(pixel, 1, 1);
        EXPECT_EQ(0, std::memcmp(pixel, c.out, 4))
            << int(c.in[0]) << " " << int(c.in[1]) << " " << int(c.in[2]) << " -> "
            << int(pixel[0]) << " " << int(pixel[1]) << " " << int(pixel[2]) << " " << int(pixel[3]);
    }
}

TEST(ConvertPixels, ConvertsEveryPixelOfTheBlockOnceAndNothingBeyond) {
    const int32_t width = 3, height = 5;
    std::vector<uint8_t> block(width * height * 4 + 8, 0xEE);
    for (int32_t i = 0; i < width * height; ++i) {
        block[4 * i + 0] = uint8_t(i);  // blue; pixel 0 is pure black
        block[4 * i + 1] = 0;
        block[4 * i + 2] = uint8_t(100 + i);
        block[4 * i + 3] = 0x55;
    }
    block[2] = 0;
    ConvertPixels(block.data(), width, height);
    EXPECT_EQ(block[3], 0);
    for (int32_t i = 1; i < width * height; ++i) {
        EXPECT_EQ(block[4 * i + 0], 100 + i) << i;  // swapped exactly once
        EXPECT_EQ(block[4 * i + 2], i) << i;
        EXPECT_EQ(block[4 * i + 3], 255) << i;
    }
    for (size_t i = width * height * 4; i < block.size(); ++i) EXPECT_EQ(block[i], 0xEE) << i;
}
