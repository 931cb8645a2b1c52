// polyview-tool snapshot: the viewer's first frame, drawn headless.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "commands.h"
#include "gl_read_back.h"
#include "headless_gl.h"
#include "png_output.h"
#include "render/render.h"
#include "render/view.h"
#include "texture/texture.h"
#include "texture_failure.h"

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
    TextureLoadReport texture;
    if (!InitSceneReported(&texture)) {
        std::fprintf(stderr, "%s\n", SceneFailedText);
        std::string picture = dir ? std::string(dir) : std::string();
        if (!picture.empty() && picture.back() != '/') picture += '/';
        picture += ScenePictureName;
        std::fprintf(stderr, "polyview-tool snapshot: cannot read %s: %s\n", picture.c_str(),
                     DescribeTextureFailure(texture).c_str());
        status = 1;
    } else {
        DrawScene();
        glFinish();
        const GlImage frame = ReadFramePixels(0, 0, width, height);
        // A window on screen has no alpha: the PNG is the RGB picture.
        if (!WriteBottomUpPng(out, frame.rgba.data(), width, height, false, &error)) {
            std::fprintf(stderr, "polyview-tool snapshot: cannot write '%s': %s\n", outPath, error.c_str());
            status = 1;
        }
    }
    CloseHeadlessGl(&gl);
    return status;
}
