// polyview-tool texture, run as a user would run it.
#include <fcntl.h>
#include <gif_lib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "gif_test_writer.h"
#include "png_output.h"
#include "texture_test_util.h"

namespace {

std::string Tool() { return Quote(POLYVIEW_TOOL); }

struct ToolRun {
    int status;
    std::string out;
    std::string err;
};

ToolRun RunTool(const std::string& arguments, const std::string& environment = "") {
    ToolRun run;
    run.status = RunCommand(environment + " " + Tool() + " " + arguments + " 2>tool.err", &run.out);
    std::vector<uint8_t> err = ReadBytes("tool.err");
    run.err.assign(err.begin(), err.end());
    return run;
}

// Runs the tool with `arguments`, output discarded; gives its exit status
// (-1 when a signal ended it) and its peak resident memory.
int RunToolMeasured(const std::vector<std::string>& arguments, long* peakKiB) {
    std::vector<char*> argv = {const_cast<char*>(POLYVIEW_TOOL)};
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t child = fork();
    if (child == 0) {
        int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        execv(POLYVIEW_TOOL, argv.data());
        _exit(127);
    }
    int status = 0;
    struct rusage usage = {};
    if (child < 0 || wait4(child, &status, 0, &usage) != child) return -2;
    *peakKiB = usage.ru_maxrss;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

using Bytes = std::vector<uint8_t>;

void PutBe32(Bytes* bytes, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) bytes->push_back(uint8_t(value >> shift));
}

uint32_t Crc32(const uint8_t* data, size_t size) {
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) crc = crc >> 1 ^ (crc & 1 ? 0xEDB88320u : 0);
    }
    return ~crc;
}

// An 8 x 8 GIF87a of four colours from giflib's encoder: left half blue, the
// right half green over red.
Bytes SmallGif() {
    Bytes bytes;
    int error = 0;
    GifFileType* gif = OpenGifWriter(&bytes);
    ColorMapObject* map = MakeTestPalette();
    EGifSetGifVersion(gif, false);
    EGifPutScreenDesc(gif, 8, 8, 2, 0, map);
    EGifPutImageDesc(gif, 0, 0, 8, 8, false, nullptr);
    for (int y = 0; y < 8; ++y) {
        GifPixelType line[8];
        for (int x = 0; x < 8; ++x) line[x] = GifPixelType(x < 4 ? 1 : y < 3 ? 2 : 3);
        EGifPutLine(gif, line, 8);
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    return bytes;
}

}  // namespace

using TextureTool = TextureGlTest;

TEST_F(TextureTool, PrintsSizesAndWritesTheTextureUprightWithAlpha) {
    std::string wall = std::string(POLYVIEW_EXAMPLES) + "/Wall.bmp";
    ToolRun run = RunTool("texture " + Quote(wall) + " --out wall.png");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "picture 256x256\ntexture 256x256\n");

    int32_t width = 0, height = 0;
    std::vector<uint8_t> png;
    ASSERT_TRUE(ReadPng("wall.png", &width, &height, &png));
    ASSERT_EQ(width, 256);
    ASSERT_EQ(height, 256);
    // Same size, so no scaling: the PNG is the picture, top row first.
    RgbPicture reference = ReferencePicture(wall, 256, 256);
    int blackPixels = 0, wrong = 0;
    for (int32_t y = 0; y < 256; ++y)
        for (int32_t x = 0; x < 256; ++x) {
            const uint8_t* p = &png[(size_t(y) * 256 + size_t(x)) * 4];
            const uint8_t* r = reference.At(x, y);
            bool isBlack = r[0] == 0 && r[1] == 0 && r[2] == 0;
            blackPixels += isBlack;
            wrong += p[0] != r[0] || p[1] != r[1] || p[2] != r[2] || p[3] != (isBlack ? 0 : 255);
        }
    EXPECT_EQ(wrong, 0);
    EXPECT_GT(blackPixels, 256 * 8) << "Wall.bmp should show its mortar as transparent";
}

TEST_F(TextureTool, ReportsNaturalAndTextureSizesSeparately) {
    WriteBmp24("wide.bmp", MakeTestPicture(300, 100));
    ToolRun run = RunTool("texture wide.bmp");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "picture 300x100\ntexture 256x128\n");
}

TEST_F(TextureTool, FailuresExplainThemselves) {
    ToolRun missing = RunTool("texture missing.bmp --out never.png");
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "");
    EXPECT_NE(missing.err.find("missing.bmp"), std::string::npos) << missing.err;
    EXPECT_TRUE(ReadBytes("never.png").empty());

    EXPECT_EQ(RunTool("texture").status, 2);
    EXPECT_EQ(RunTool("texture a.bmp b.bmp").status, 2);
    EXPECT_EQ(RunTool("texture --bogus a.bmp").status, 2);

    // No EGL driver to be found: a clear message, not a crash.
    WriteBmp24("Wall.bmp", MakeTestPicture(4, 4));
    ToolRun noGl = RunTool("texture Wall.bmp", "__EGL_VENDOR_LIBRARY_FILENAMES=/nonexistent.json");
    EXPECT_EQ(noGl.status, 1);
    EXPECT_NE(noGl.err.find("no OpenGL context"), std::string::npos) << noGl.err;
}

TEST_F(TextureTool, HelpListsTheCommand) {
    ToolRun run = RunTool("--help");
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("texture PICTURE [--out OUT.png]"), std::string::npos);
}

TEST_F(TextureTool, HostileFilesAreRefusedWithoutCrashHangOrLargeAllocation) {
    // The kinds of file that fuzzing found to crash, hang or exhaust the
    // decoders that came before; a hang ends in the test's time limit.
    Bytes gif = SmallGif();
    const size_t firstLzwByte = 13 + 4 * 3 + 10 + 2;  // screen, colours, image, code size, block size
    ASSERT_EQ(gif.size(), 54u) << "giflib's encoder wrote another file than this test knows";
    WriteBytes("good.gif", gif);
    gif[firstLzwByte] ^= 0x80;  // the third code now names an entry not yet made
    WriteBytes("flipped.gif", gif);

    // A chunk header claiming more bytes than the file has.
    Bytes png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    Bytes header = {'I', 'H', 'D', 'R', 0, 0, 0, 8, 0, 0, 0, 8, 8, 2, 0, 0, 0};
    PutBe32(&png, 13);
    png.insert(png.end(), header.begin(), header.end());
    PutBe32(&png, Crc32(header.data(), header.size()));
    PutBe32(&png, 32);
    png.insert(png.end(), {'c', 'H', 'R', 'M'});
    WriteBytes("chunk.png", png);

    // A broken first image (LZW code size 13) before one of 65535 x 65535.
    WriteBytes("second.gif", {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0,
                              0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0, 13, 0,
                              0x2C, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 2, 2, 0x44, 0x01, 0, 0x3B});

    // "FF 00" between segments (libjpeg skips it; a reader that takes it for
    // a marker with a length lands in the comment) and a 1 x 1 frame header
    // inside a comment, before the real 16384 x 16384 frame.
    Bytes jpeg = {0xFF, 0xD8, 0xFF, 0x00, 0x00, 0x06,
                  0xFF, 0xFE, 0x00, 0x0F, 0xFF, 0xC0, 0x00, 0x0B, 8, 0, 1, 0, 1, 1, 1, 0x11, 0,
                  0xFF, 0xDB, 0x00, 0x43, 0x00};
    jpeg.resize(jpeg.size() + 64, 1);
    jpeg.insert(jpeg.end(), {0xFF, 0xC0, 0x00, 0x0B, 8, 0x40, 0x00, 0x40, 0x00, 1, 1, 0x11, 0,
                             0xFF, 0xDA, 0x00, 0x08, 1, 1, 0x00, 0x00, 0x3F, 0x00});
    jpeg.resize(jpeg.size() + 16, 0);
    jpeg.insert(jpeg.end(), {0xFF, 0xD9});
    WriteBytes("frame.jpg", jpeg);

    long baselineKiB = 0, peakKiB = 0;
    ASSERT_EQ(RunToolMeasured({"texture", "good.gif"}, &baselineKiB), 0) << "the unbroken GIF";
    for (const char* name : {"flipped.gif", "chunk.png", "second.gif", "frame.jpg"}) {
        EXPECT_EQ(RunToolMeasured({"texture", name}, &peakKiB), 1) << name;
        EXPECT_LT(peakKiB - baselineKiB, 200 * 1024) << name;
    }
}
