// polyview-tool snapshot: the viewer's first frame, drawn headless.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "commands.h"
#include "headless_gl.h"
#include "png_output.h"
#include "render/view.h"
#include "render/render.h"
#include "texture/picture_decode.h"

namespace {

constexpr int32_t MaxSnapshotSide = 16384;

bool ParseSize(const char* text, int32_t* width, int32_t* height) {
    char* end = nullptr;
    errno = 0;
    long w = std::strtol(text, &end, 10);
    if (end == text || (*end != 'x' && *end != 'X')) return false;
    const char* rest = end + 1;
    long h = std::strtol(rest, &end, 10);
    if (end == rest || *end != '\0' || errno) return false;
    if (w < 1 || h < 1 || w > MaxSnapshotSide || h > MaxSnapshotSide) return false;
    *width = int32_t(w);
    *height = int32_t(h);
    return true;
}

// Why the viewer's texture cannot be made from "Wall.bmp" in the current
// directory, as the Linux picture service would refuse it.
std::string WhyNoTexture() {
    FILE* file = std::fopen("Wall.bmp", "rb");
    if (!file) return std::strerror(errno);
    uint8_t start[8];
    size_t size = std::fread(start, 1, sizeof start, file);
    bool isReadError = std::ferror(file) != 0;
    std::fclose(file);
    if (isReadError) return std::strerror(EIO);
    if (SniffPictureFormat(start, size) == PictureFormatNone) return "not a BMP, PNG, JPEG or GIF picture";
    return "the picture cannot be decoded, or is larger than the viewer takes (sides up to " +
           std::to_string(MaxPictureSide) + ", " + std::to_string(MaxPictureBytes >> 20) +
           " MiB of pixels)";
}

int Usage() {
    std::fputs("usage: polyview-tool snapshot [--dir DIR] [--size WxH] --out OUT.png\n", stderr);
    return ExitUsage;
}

}  // namespace

int RunSnapshotCommand(int argc, char** argv) {
    const char* dir = nullptr;
    const char* outPath = nullptr;
    int32_t width = ViewWidth, height = ViewHeight;
    bool sizeGiven = false;
    for (int i = 0; i < argc; ++i) {
        bool hasValue = i + 1 < argc;
        if (std::strcmp(argv[i], "--help") == 0) {
            std::fputs("usage: polyview-tool snapshot [--dir DIR] [--size WxH] --out OUT.png\n", stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--dir") == 0 && hasValue && !dir) {
            dir = argv[++i];
        } else if (std::strcmp(argv[i], "--out") == 0 && hasValue && !outPath) {
            outPath = argv[++i];
        } else if (std::strcmp(argv[i], "--size") == 0 && hasValue && !sizeGiven) {
            sizeGiven = true;
            if (!ParseSize(argv[++i], &width, &height)) {
                std::fprintf(stderr, "polyview-tool snapshot: bad size '%s' (WxH, 1 to %d each)\n",
                             argv[i], int(MaxSnapshotSide));
                return ExitUsage;
            }
        } else {
            std::fprintf(stderr, "polyview-tool snapshot: unexpected argument '%s'\n", argv[i]);
            return Usage();
        }
    }
    if (!outPath) return Usage();

    // The viewer reads its assets from the current directory.
    std::string out = AbsolutePath(outPath);
    if (dir && chdir(dir) != 0) {
        std::fprintf(stderr, "polyview-tool snapshot: cannot enter '%s': %s\n", dir, std::strerror(errno));
        return 1;
    }

    HeadlessGl gl;
    std::string error;
    if (!OpenHeadlessGl(&gl, width, height, &error)) {
        std::fprintf(stderr, "polyview-tool snapshot: no OpenGL context: %s\n", error.c_str());
        return 1;
    }
    int status = 0;
    ResizeScene(width, height);
    if (!InitScene()) {
        std::fputs("Initialization Failed.\n", stderr);
        std::string picture = dir ? std::string(dir) : std::string();
        if (!picture.empty() && picture.back() != '/') picture += '/';
        picture += "Wall.bmp";
        std::fprintf(stderr, "polyview-tool snapshot: cannot read %s: %s\n", picture.c_str(),
                     WhyNoTexture().c_str());
        status = 1;
    } else {
        DrawScene();
        glFinish();
        std::vector<uint8_t> frame(size_t(width) * size_t(height) * 4);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, frame.data());
        // A window on screen has no alpha: the PNG is the RGB picture.
        if (!WriteBottomUpPng(out, frame.data(), width, height, false, &error)) {
            std::fprintf(stderr, "polyview-tool snapshot: cannot write '%s': %s\n", outPath, error.c_str());
            status = 1;
        }
    }
    CloseHeadlessGl(&gl);
    return status;
}
