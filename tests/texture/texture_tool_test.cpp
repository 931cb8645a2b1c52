// polyview-tool texture, run as a user would run it.
#include <SDL2/SDL.h>
#include <SDL2/SDL_image.h>

#include <string>

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

}  // namespace

using TextureTool = TextureGlTest;

TEST_F(TextureTool, PrintsSizesAndWritesTheTextureUprightWithAlpha) {
    std::string wall = std::string(POLYVIEW_EXAMPLES) + "/Wall.bmp";
    ToolRun run = RunTool("texture " + Quote(wall) + " --out wall.png");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "picture 256x256\ntexture 256x256\n");

    SDL_Surface* loaded = IMG_Load("wall.png");
    ASSERT_NE(loaded, nullptr) << IMG_GetError();
    SDL_Surface* png = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_RGBA32, 0);
    SDL_FreeSurface(loaded);
    ASSERT_NE(png, nullptr);
    ASSERT_EQ(png->w, 256);
    ASSERT_EQ(png->h, 256);
    // Same size, so no scaling: the PNG is the picture, top row first.
    RgbPicture reference = ReferencePicture(wall, 256, 256);
    int blackPixels = 0, wrong = 0;
    for (int32_t y = 0; y < 256; ++y)
        for (int32_t x = 0; x < 256; ++x) {
            const uint8_t* p = static_cast<const uint8_t*>(png->pixels) + y * png->pitch + x * 4;
            const uint8_t* r = reference.At(x, y);
            bool isBlack = r[0] == 0 && r[1] == 0 && r[2] == 0;
            blackPixels += isBlack;
            wrong += p[0] != r[0] || p[1] != r[1] || p[2] != r[2] || p[3] != (isBlack ? 0 : 255);
        }
    SDL_FreeSurface(png);
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
