// polyview-tool snapshot and thumbnail, run as the real program.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "../model/model_test_util.h"
#include "png_output.h"
#include "tool_runner.h"

namespace {

struct Rgb {
    int r, g, b;
};

// Pixel (x, y) of a PNG, y from the top; r = -1 when the file cannot be read.
Rgb PngPixel(const std::string& path, int x, int y, int* width = nullptr, int* height = nullptr) {
    int32_t w = 0, h = 0;
    std::vector<uint8_t> rgba;
    if (!ReadPng(path, &w, &h, &rgba)) return {-1, -1, -1};
    if (width) *width = w;
    if (height) *height = h;
    const uint8_t* p = &rgba[(size_t(y) * size_t(w) + size_t(x)) * 4];
    return {p[0], p[1], p[2]};
}

}  // namespace

using SnapshotCommand = ModelFileTest;

TEST_F(SnapshotCommand, DrawsTheFolderAtTheAskedSize) {
    ASSERT_EQ(std::system(("cp '" + std::string(POLYVIEW_EXAMPLES) + "/Wall.bmp' '" + dir_ + "/'").c_str()), 0);
    // One white triangle in mode 0 around the centre, nothing else.
    Write("UcgenSayisi >> 1\nKaplamaKullanimi >> 0\n"
          "Vertex -1 -1 0\nVertex 1 -1 0\nVertex 0 1 0\n");
    std::string out = dir_ + "/shot.png";
    ToolResult r = RunTool("snapshot --dir '" + dir_ + "' --size 200x100 --out '" + out + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    int width = 0, height = 0;
    Rgb centre = PngPixel(out, 100, 50, &width, &height);
    EXPECT_EQ(width, 200);
    EXPECT_EQ(height, 100);
    EXPECT_EQ(centre.r + centre.g + centre.b, 3 * 255);
    Rgb corner = PngPixel(out, 1, 1);
    EXPECT_EQ(corner.r + corner.g + corner.b, 0);
    // The triangle's apex is at the top: the row above the centre is white
    // near the middle, the bottom corners of the triangle are wide apart.
    Rgb belowLeft = PngPixel(out, 85, 60), aboveLeft = PngPixel(out, 85, 40);
    EXPECT_EQ(belowLeft.r, 255);
    EXPECT_EQ(aboveLeft.r, 0);
}

TEST_F(SnapshotCommand, DefaultSizeAndRelativeOutputFromTheExampleFolder) {
    std::string command = "cd '" + dir_ + "' && '" + POLYVIEW_TOOL + "' snapshot --dir '" +
                          POLYVIEW_EXAMPLES + "' --out shot.png";
    ASSERT_EQ(std::system(command.c_str()), 0);
    int width = 0, height = 0;
    PngPixel(dir_ + "/shot.png", 0, 0, &width, &height);
    EXPECT_EQ(width, 640);
    EXPECT_EQ(height, 480);
    // The example's house front covers the middle: mostly red bricks.
    int bricks = 0, samples = 0;
    for (int y = 200; y < 340; y += 10)
        for (int x = 240; x < 400; x += 10, ++samples) {
            Rgb p = PngPixel(dir_ + "/shot.png", x, y);
            if (p.r > 100 && p.r > 2 * p.b) ++bricks;
        }
    EXPECT_GT(bricks, samples * 2 / 3);
}

TEST_F(SnapshotCommand, MissingPictureFailsInitialisation) {
    Write("UcgenSayisi >> 0\nKaplamaKullanimi >> 0\n");
    std::string out = dir_ + "/shot.png";
    ToolResult r = RunTool("snapshot --dir '" + dir_ + "' --out '" + out + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Initialization Failed.\npolyview-tool snapshot: cannot read " + dir_ +
                         "/Wall.bmp: No such file or directory\n");
    EXPECT_EQ(ReadWhole(out), "");

    // A file that is no picture: the reason names it so.
    Write("not a picture", "Wall.bmp");
    r = RunTool("snapshot --dir '" + dir_ + "' --out '" + out + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Wall.bmp: not a BMP, PNG, JPEG or GIF picture"), std::string::npos) << r.err;

    // The reason is the loader's own: nothing opens the picture again to find
    // it, which would wait for ever on a FIFO without a writer.
    std::remove((dir_ + "/Wall.bmp").c_str());
    ASSERT_EQ(mkfifo((dir_ + "/Wall.bmp").c_str(), 0600), 0);
    r = RunProgram("timeout", "60 '" POLYVIEW_TOOL "' snapshot --dir '" + dir_ + "' --out '" + out + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Wall.bmp: is a FIFO"), std::string::npos) << r.err;
}

TEST(SnapshotUsage, BadArgumentsExitTwo) {
    for (const char* args : {"snapshot", "snapshot --size 10x --out a.png", "snapshot --size 0x5 --out a.png",
                             "snapshot --out a.png extra", "snapshot --dir", "snapshot --turn 1 --out a.png",
                             "snapshot --zoom 0 --out a.png", "snapshot --out a.png --zoom"}) {
        ToolResult r = RunTool(args);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_NE(r.err, "") << args;
    }
    ToolResult r = RunTool("snapshot --dir /nonexistent/folder --out /tmp/x.png");
    EXPECT_EQ(r.status, 1);
}

using ThumbnailCommand = ModelFileTest;

// A model of any name, textured in mode 1 but without a picture beside it:
// drawn untextured (white) at N x 3N/4, from the model given, not the
// folder's poligon.m; a relative OUT is the only file written, in the
// current directory.
TEST_F(ThumbnailCommand, DrawsTheGivenModelUntexturedWithoutAPictureAndWritesOnlyItsOutput) {
    Write("UcgenSayisi >> 1\nKaplamaKullanimi >> 1\n"
          "Vertex -1 -1 0 >> TKoord 0 0\nVertex 1 -1 0 >> TKoord 1 0\nVertex 0 1 0 >> TKoord 0 1\n",
          "house.m");
    Write("UcgenSayisi >> 0\nKaplamaKullanimi >> 0\n");
    ASSERT_EQ(mkdir((dir_ + "/here").c_str(), 0700), 0);
    ASSERT_EQ(mkdir((dir_ + "/home").c_str(), 0700), 0);
    ToolResult r = RunProgram("sh", "-c \"cd '" + dir_ + "/here' && exec env -u XDG_CACHE_HOME HOME='" + dir_ +
                                        "/home' '" POLYVIEW_TOOL "' thumbnail --size 200 ../house.m t.png\"");
    ASSERT_EQ(r.status, 0) << r.err;
    int width = 0, height = 0;
    Rgb centre = PngPixel(dir_ + "/here/t.png", 100, 75, &width, &height);
    EXPECT_EQ(width, 200);
    EXPECT_EQ(height, 150);
    EXPECT_EQ(centre.r + centre.g + centre.b, 3 * 255);
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir_))
        files.push_back(entry.path().lexically_relative(dir_).generic_string());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, std::vector<std::string>({"here", "here/t.png", "home", "house.m", "poligon.m"}));
}

// The time limit ends the tool, by its alarm, on a model whose holes take
// long to read; no picture is left.
TEST_F(ThumbnailCommand, TheTimeLimitEndsALongRead) {
    std::string model = Write("UcgenSayisi >> 100\n", "holes.m");
    ASSERT_EQ(truncate(model.c_str(), off_t(1) << 40), 0);  // 1 TiB of zeros: minutes to read
    std::string out = dir_ + "/t.png";
    int raw = std::system(("exec '" POLYVIEW_TOOL "' thumbnail --time-limit 1 '" + model + "' '" + out +
                           "' 2>/dev/null")
                              .c_str());
    EXPECT_TRUE(WIFSIGNALED(raw) && WTERMSIG(raw) == SIGALRM) << raw;
    EXPECT_FALSE(std::filesystem::exists(out));
}
