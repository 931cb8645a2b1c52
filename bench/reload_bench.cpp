// --watch's reload with the real SDL layer: the time from a save (a new
// model renamed into place) to the end of the first presented frame that
// shows it, for the example and for 1,000,000 textured triangles, with the
// pass that reloaded and drew apart (the rest is the 200 ms the watch waits
// for the file to rest); and the memory after 100 reloads of the big model
// against that after its first load. Prints figures; sets no targets.
//
// Needs an X display; without one it runs itself under an Xvfb of its own.
#include <GL/gl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench_random.h"
#include "viewer_folder.h"

#include "app/scene_reload.h"
#include "app/window_state.h"
#include "model/model.h"
#include "model/model_format.h"
#include "render/render.h"
#include "render/view.h"

namespace {

using Clock = std::chrono::steady_clock;
const char* const title = "Kelmo's OpenGL Framework";

double Milliseconds(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

long ResidentMiB() {
    long pages = 0, resident = 0;
    FILE* f = fopen("/proc/self/statm", "r");
    if (f && fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    if (f) fclose(f);
    return resident * sysconf(_SC_PAGESIZE) >> 20;
}

// One pass of the viewer's loop: messages, the reload when due, a frame.
void Pass() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    if (!ServeSceneReload(WindowState.windowHandle, title)) return;
    DrawScene();
    SwapBuffers(WindowState.deviceContext);
    glFinish();
}

// `count` textured triangles spread over the view; the first vertex at
// x = firstX, which tells the two saves apart.
bool WriteSpreadModel(const std::string& path, int count, float firstX) {
    FILE* out = fopen(path.c_str(), "w");
    if (!out) return false;
    Rng rng{7};
    WriteModelHeader(out, count, 1);
    for (int t = 0; t < count; ++t) {
        float cx = float(rng.Unit() * 5.0 - 2.5), cy = float(rng.Unit() * 4.0 - 2.0);
        for (int i = 0; i < 3; ++i) {
            ModelVertex v = {cx + float(rng.Unit() * 0.4), cy + float(rng.Unit() * 0.4), 0.0f,
                             float(rng.Unit()), float(rng.Unit())};
            if (t == 0 && i == 0) v.x = firstX;
            WriteVertexLine(out, v, true, 4);
        }
    }
    return fclose(out) == 0;
}

bool CopyFile(const std::string& from, const std::string& to) {
    FILE* in = fopen(from.c_str(), "rb");
    FILE* out = fopen(to.c_str(), "wb");
    bool ok = in && out;
    char block[65536];
    for (size_t n; ok && (n = fread(block, 1, sizeof block, in)) > 0;) ok = fwrite(block, 1, n, out) == n;
    if (in) fclose(in);
    if (out && fclose(out) != 0) ok = false;
    return ok;
}

void Report(const char* what, std::vector<double> times) {
    std::sort(times.begin(), times.end());
    printf("  %-40s runs %3zu  min %8.2f ms  median %8.2f ms  max %8.2f ms\n", what, times.size(), times.front(),
           times[times.size() / 2], times.back());
}

// In the current folder, whose models "a.m" and "b.m" start with x = -1 and
// x = -1.001: `runs` saves, each a hard link of the other model renamed
// over poligon.m while the viewer draws.
bool MeasureSaves(const char* label, int runs) {
    if (!CopyFile("a.m", SceneModelName)) return false;
    StartSceneWatch();
    if (!OpenRenderWindow(title, ViewWidth, ViewHeight, 16, false)) return false;
    std::vector<double> toFrame, reloadPass;
    for (int i = 0; i < 3; ++i) Pass();  // settled
    for (int run = 0; run < runs; ++run) {
        const char* next = run % 2 ? "a.m" : "b.m";
        const float wantX = run % 2 ? -1.0f : -1.001f;
        if (link(next, "next.m") != 0) return false;
        Clock::time_point save = Clock::now();
        if (rename("next.m", SceneModelName) != 0) return false;
        for (;;) {
            Clock::time_point pass = Clock::now();
            Pass();
            if (ModelStore.triangleCount > 0 && ModelStore.triangles[0].vertices[0].x == wantX) {
                toFrame.push_back(Milliseconds(save));
                reloadPass.push_back(Milliseconds(pass));
                break;
            }
            if (Milliseconds(save) > 60000) {
                fprintf(stderr, "reload_bench: no frame of the save within a minute\n");
                return false;
            }
        }
        Pass();
    }
    printf("%s (%d triangles)\n", label, ModelStore.triangleCount);
    Report("save to first frame showing it", toFrame);
    Report("the pass that reloaded (load + frame)", reloadPass);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (int status = RunUnderXvfbWithoutDisplay(argc, argv)) return status;
    const int runs = argc > 1 ? atoi(argv[1]) : 10, bigRuns = argc > 2 ? atoi(argv[2]) : 4;
    const int reloads = argc > 3 ? atoi(argv[3]) : 100;
    char pattern[] = "/tmp/polyview-reload-bench-XXXXXX";
    const std::string examples = POLYVIEW_EXAMPLES;
    if (runs < 1 || bigRuns < 1 || reloads < 1 || !mkdtemp(pattern) || chdir(pattern) != 0) {
        fprintf(stderr, "usage: reload_bench [RUNS [RUNS_1M [RELOADS_1M [BIG_COUNT]]]]\n");
        return 2;
    }
    printf("reload_bench: --watch, windowed 640x480, %s\n", getenv("DISPLAY"));
    // The example: its picture, and its model with the first x moved a hair.
    bool ok = CopyFile(examples + "/" + ScenePictureName, ScenePictureName) &&
              CopyFile(examples + "/" + SceneModelName, "a.m");
    std::string model;
    if (FILE* in = fopen("a.m", "rb")) {
        char block[4096];
        for (size_t n; (n = fread(block, 1, sizeof block, in)) > 0;) model.append(block, n);
        fclose(in);
    }
    size_t first = model.find("Vertex -1.0 ");
    if (first != std::string::npos) model.replace(first, 12, "Vertex -1.001 ");
    FILE* b = fopen("b.m", "wb");
    ok = ok && first != std::string::npos && b && fwrite(model.data(), 1, model.size(), b) == model.size();
    if (b) fclose(b);
    ok = ok && MeasureSaves("examples/", runs);
    CloseRenderWindow();

    const int bigCount = argc > 4 ? atoi(argv[4]) : 1000000;
    // New files: the saves left poligon.m a link to one of the old.
    for (const char* name : {"a.m", "b.m", SceneModelName}) unlink(name);
    ok = ok && WriteSpreadModel("a.m", bigCount, -1.0f) && WriteSpreadModel("b.m", bigCount, -1.001f);
    ok = ok && MeasureSaves("the big model, textured", bigRuns);
    if (ok) {
        RequestSceneReload();
        Pass();
        long afterFirst = ResidentMiB();
        // The reloads alone: the frames in between allocate nothing.
        for (int i = 0; i < reloads; ++i) {
            RequestSceneReload();
            ServeSceneReload(WindowState.windowHandle, title);
        }
        Pass();
        printf("memory, %d triangles: %ld MiB after a load, %ld MiB after %d more reloads (%+.1f%%)\n",
               bigCount, afterFirst, ResidentMiB(), reloads, 100.0 * double(ResidentMiB() - afterFirst) / double(afterFirst));
    }
    CloseRenderWindow();
    for (const char* name : {"a.m", "b.m", ScenePictureName, SceneModelName}) unlink(name);
    rmdir(pattern);
    if (!ok) fprintf(stderr, "reload_bench: a step failed\n");
    return ok ? 0 : 1;
}
