// Frame time of DrawScene for large models in both modes, and the time of
// InitScene for the example folder, in a headless Mesa context. Prints
// figures only.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <random>
#include <string>

#include "headless_gl.h"
#include "model/model.h"
#include "render/render.h"

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// Small triangles spread over the view at the model origin's depth.
void FillModel(int32_t count, int32_t mode) {
    ReleaseModelStore();
    ModelStore.triangles = new ModelTriangle[size_t(count)];
    ModelStore.triangleCount = count;
    ModelStore.TextureMode = mode;
    std::mt19937 random(7);
    std::uniform_real_distribution<float> position(-2.0f, 2.0f), offset(-0.05f, 0.05f), unit(0, 1);
    for (int32_t t = 0; t < count; ++t) {
        float cx = position(random), cy = position(random), cz = position(random) * 0.25f;
        for (ModelVertex& v : ModelStore.triangles[t].vertices)
            v = {cx + offset(random), cy + offset(random), cz + offset(random), unit(random), unit(random)};
    }
}

double FrameMilliseconds(int frames) {
    DrawScene();  // warm-up
    glFinish();
    Clock::time_point start = Clock::now();
    for (int i = 0; i < frames; ++i) {
        DrawScene();
        glFinish();
    }
    return Milliseconds(Clock::now() - start) / frames;
}

}  // namespace

int main(int argc, char** argv) {
    const char* examples = argc > 1 ? argv[1] : POLYVIEW_EXAMPLES;
    HeadlessGl gl;
    std::string error;
    if (!OpenHeadlessGl(&gl, 640, 480, &error)) {
        std::fprintf(stderr, "render_bench: no OpenGL context: %s\n", error.c_str());
        return 1;
    }
    if (chdir(examples) != 0) {
        std::fprintf(stderr, "render_bench: cannot enter %s\n", examples);
        return 1;
    }
    const int initRuns = 20;
    Clock::time_point start = Clock::now();
    bool ok = true;
    for (int i = 0; i < initRuns; ++i) {
        ResizeScene(640, 480);
        ok = InitScene() && ok;
    }
    double initMs = Milliseconds(Clock::now() - start) / initRuns;
    std::printf("InitScene, example folder: %.2f ms (mean of %d)%s\n", initMs, initRuns,
                ok ? "" : "  [FAILED]");

    std::printf("%-12s %-6s %12s %14s\n", "triangles", "mode", "ms/frame", "triangles/s");
    for (int32_t count : {1000, 100000, 1000000}) {
        for (int32_t mode : {0, 1}) {
            FillModel(count, mode);
            int frames = count >= 1000000 ? 3 : count >= 100000 ? 10 : 100;
            double ms = FrameMilliseconds(frames);
            std::printf("%-12d %-6d %12.2f %14.3g\n", int(count), int(mode), ms, count / (ms / 1000));
        }
    }
    ReleaseModelStore();
    CloseHeadlessGl(&gl);
    return ok ? 0 : 1;
}
