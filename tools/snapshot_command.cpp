// polyview-tool snapshot: the viewer's frame, drawn headless from its start
// view or the view its options and F key give; and
// thumbnail: the same for a file manager, from a model file's folder.
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "commands.h"
#include "contained_import.h"
#include "gl_read_back.h"
#include "headless_gl.h"
#include "png_output.h"
#include "model/model.h"
#include "render/render.h"
#include "render/view.h"
#include "render/view_state.h"
#include "texture/texture.h"
#include "texture/texture_failure.h"

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

// Draws the loaded scene and writes it to `out` (named `outPath` in
// messages): 0, or 1 after a line on standard error. With `isTimed`, the
// alarm is cancelled once the frame is read back: the writing, which goes
// through a temporary file, is never cut short to leave one behind.
int DrawToPng(const char* command, int32_t width, int32_t height, const std::string& out, const char* outPath,
              bool isTimed) {
    DrawScene();
    glFinish();
    const GlImage frame = ReadFramePixels(0, 0, width, height);
    if (isTimed) alarm(0);
    // A window on screen has no alpha: the PNG is the RGB picture.
    std::string error;
    if (WriteBottomUpPng(out, frame.rgba.data(), width, height, false, &error)) return 0;
    std::fprintf(stderr, "polyview-tool %s: cannot write '%s': %s\n", command, outPath, error.c_str());
    return 1;
}

const char SnapshotUsage[] =
    "usage: polyview-tool snapshot [--dir DIR] [--size WxH] [--turn AZ,EL] [--zoom K] [--frame] --out OUT.png\n";

int Usage() {
    std::fputs(SnapshotUsage, stderr);
    return ExitUsage;
}

}  // namespace

int RunSnapshotCommand(int argc, char** argv) {
    const char* dir = nullptr;
    const char* outPath = nullptr;
    int32_t width = ViewWidth, height = ViewHeight;
    bool sizeGiven = false;
    // The view as the viewer's options and F key make it.
    ViewPose view = StartView;
    bool isFramed = false;
    for (int i = 0; i < argc; ++i) {
        bool hasValue = i + 1 < argc;
        const char* why = nullptr;
        if (std::strcmp(argv[i], "--help") == 0) {
            std::fputs(SnapshotUsage, stdout);
            return 0;
        }
        if (IsViewOption(argv[i])) {
            if (!ApplyViewOption(argv[i], hasValue ? argv[i + 1] : nullptr, &view, &why)) {
                std::fprintf(stderr, "polyview-tool snapshot: %s\n", why);
                return Usage();
            }
            ++i;
        } else if (std::strcmp(argv[i], "--frame") == 0) {
            isFramed = true;
        } else if (std::strcmp(argv[i], "--dir") == 0 && hasValue && !dir) {
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
        CurrentView = view;
        if (isFramed) FrameView(&CurrentView);
        status = DrawToPng("snapshot", width, height, out, outPath, false);
    }
    CloseHeadlessGl(&gl);
    return status;
}

namespace {

const char ThumbnailUsage[] =
    "usage: polyview-tool thumbnail [--size N] [--memory-limit MIB] [--time-limit SECONDS] MODEL OUT.png\n";

}  // namespace

int RunThumbnailCommand(int argc, char** argv) {
    int64_t side = 256, memoryMiB = 512, seconds = 20;
    const char* modelPath = nullptr;
    const char* outPath = nullptr;
    for (int i = 0; i < argc; ++i) {
        const char* option = argv[i];
        if (std::strcmp(option, "--help") == 0) return std::fputs(ThumbnailUsage, stdout) < 0 ? 1 : 0;
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        int64_t* limit = std::strcmp(option, "--size") == 0           ? &side
                         : std::strcmp(option, "--memory-limit") == 0 ? &memoryMiB
                         : std::strcmp(option, "--time-limit") == 0   ? &seconds
                                                                      : nullptr;
        if (limit) {
            if (!value || !ParseLimit(value, limit)) {
                std::fprintf(stderr, "polyview-tool thumbnail: %s takes a whole number from 1 on\n", option);
                return ExitUsage;
            }
            ++i;
        } else if (option[0] == '-' && option[1] != '\0') {
            std::fprintf(stderr, "polyview-tool thumbnail: unknown option '%s'\n", option);
            std::fputs(ThumbnailUsage, stderr);
            return ExitUsage;
        } else if (!modelPath || !outPath) {
            (modelPath ? outPath : modelPath) = option;
        } else {
            std::fprintf(stderr, "polyview-tool thumbnail: unexpected argument '%s'\n", option);
            std::fputs(ThumbnailUsage, stderr);
            return ExitUsage;
        }
    }
    if (!outPath) {
        std::fputs(ThumbnailUsage, stderr);
        return ExitUsage;
    }
    if (side > MaxSnapshotSide) {
        std::fprintf(stderr, "polyview-tool thumbnail: --size is at most %d\n", int(MaxSnapshotSide));
        return ExitUsage;
    }

    // A file manager hands over any file: the time bound holds from here on
    // (the alarm's default action ends the process), a crash leaves no core
    // file, and Mesa keeps no shader cache, so OUT is the only file written.
    std::signal(SIGALRM, SIG_DFL);
    alarm(unsigned(seconds < 1000000 ? seconds : 1000000));
    rlimit noCore = {0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    setenv("MESA_SHADER_CACHE_DISABLE", "true", 1);

    const std::string out = AbsolutePath(outPath), model = AbsolutePath(modelPath);
    const std::string folder = model.substr(0, model.rfind('/') + 1);
    if (chdir(folder.c_str()) != 0) {
        std::fprintf(stderr, "polyview-tool thumbnail: cannot enter '%s': %s\n", folder.c_str(),
                     std::strerror(errno));
        return 1;
    }
    const int32_t width = int32_t(side), height = side * 3 / 4 > 0 ? int32_t(side * 3 / 4) : 1;
    HeadlessGl gl;
    std::string error;
    if (!OpenHeadlessGl(&gl, width, height, &error)) {
        std::fprintf(stderr, "polyview-tool thumbnail: no OpenGL context: %s\n", error.c_str());
        return 1;
    }
    // The memory bound counts on top of the context's own.
    LimitAddressSpace(memoryMiB);
    ResizeScene(width, height);
    SetSceneState();
    LoadPictureTexture(ScenePictureName, &wallTexture);  // without a picture: untextured
    RegularFile opened;
    int status = 0;
    if (!LoadModelFileReported(model.c_str(), &opened)) {
        const char* why = DescribeFileOpenFailure(opened);  // none: no memory to read it
        std::fprintf(stderr, "polyview-tool thumbnail: cannot read '%s': %s\n", modelPath,
                     *why ? why : "out of memory (see --memory-limit)");
        status = 1;
    } else {
        status = DrawToPng("thumbnail", width, height, out, outPath, true);
    }
    CloseHeadlessGl(&gl);
    return status;
}
