// Frame time of DrawScene for large models in both modes, with both drawing
// paths (one glDrawArrays call, and one begin/end pair per triangle) in the
// same run, and the time of InitScene for the example folder, in a headless
// Mesa context. Prints figures only.
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "gl_read_back.h"
#include "headless_gl.h"
#include "model/model.h"
#include "render/render.h"
#include "render/view.h"

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

// CPU time of this thread, the one that issues the GL calls; llvmpipe's
// rasterizer threads are not counted.
double ThreadCpuMilliseconds() {
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

void DrawArraysFrame() { DrawScene(); }

struct FrameCost {
    double wallMs;  // per frame, until glFinish returns
    double cpuMs;   // per frame, the drawing thread's
};

FrameCost MeasureFrames(void (*draw)(), int frames) {
    draw();  // warm-up
    glFinish();
    Clock::time_point start = Clock::now();
    double cpuStart = ThreadCpuMilliseconds();
    for (int i = 0; i < frames; ++i) {
        draw();
        glFinish();
    }
    return {Milliseconds(Clock::now() - start) / frames, (ThreadCpuMilliseconds() - cpuStart) / frames};
}

std::vector<uint8_t> ReadFrame(void (*draw)()) {
    draw();
    glFinish();
    return ReadFramePixels(0, 0, ViewWidth, ViewHeight).rgba;
}

size_t DifferingPixels(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    size_t n = 0;
    for (size_t i = 0; i < a.size(); i += 4) n += std::memcmp(&a[i], &b[i], 4) != 0;
    return n;
}

}  // namespace

int main(int argc, char** argv) {
    const char* examples = argc > 1 ? argv[1] : POLYVIEW_EXAMPLES;
    HeadlessGl gl;
    std::string error;
    if (!OpenHeadlessGl(&gl, ViewWidth, ViewHeight, &error)) {
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
        ResizeScene(ViewWidth, ViewHeight);
        ok = InitScene() && ok;
    }
    double initMs = Milliseconds(Clock::now() - start) / initRuns;
    std::printf("InitScene, example folder: %.2f ms (mean of %d)%s\n", initMs, initRuns,
                ok ? "" : "  [FAILED]");

    std::printf("\n%-10s %-5s %-10s %10s %13s %13s\n", "triangles", "mode", "path", "ms/frame",
                "CPU ms/frame", "triangles/s");
    for (int32_t count : {1000, 100000, 1000000}) {
        for (int32_t mode : {0, 1}) {
            FillModel(count, mode);
            int frames = count >= 1000000 ? 3 : count >= 100000 ? 10 : 100;
            FrameCost immediate = MeasureFrames(DrawSceneImmediate, frames);
            FrameCost arrays = MeasureFrames(DrawArraysFrame, frames);
            size_t differing = DifferingPixels(ReadFrame(DrawSceneImmediate), ReadFrame(DrawArraysFrame));
            std::printf("%-10d %-5d %-10s %10.2f %13.2f %13.3g\n", int(count), int(mode), "immediate",
                        immediate.wallMs, immediate.cpuMs, count / (immediate.wallMs / 1000));
            std::printf("%-10d %-5d %-10s %10.2f %13.2f %13.3g\n", int(count), int(mode), "arrays",
                        arrays.wallMs, arrays.cpuMs, count / (arrays.wallMs / 1000));
            std::printf("%-17s arrays against immediate: frame x%.2f, CPU x%.3f; %zu of 307200 pixels differ\n",
                        "", arrays.wallMs / immediate.wallMs, arrays.cpuMs / immediate.cpuMs, differing);
            ok = ok && differing == 0;
        }
    }
    ReleaseModelStore();
    CloseHeadlessGl(&gl);
    return ok ? 0 : 1;
}
