// Viewer start-up and mode-switch times with the real SDL platform layer:
// a build up to the first presented frame (OpenRenderWindow, DrawScene,
// SwapBuffers) and a full F1 switch (CloseRenderWindow, OpenRenderWindow),
// windowed, for the example folder and for a generated folder of 1,000,000
// textured triangles; that one is drawn both ways (one glDrawArrays call,
// and one begin/end pair per triangle) in the same run. Prints figures;
// sets no targets.
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

#include "viewer_folder.h"

#include "app/window_state.h"
#include "platform/sdl/sdl_platform.h"
#include "render/render.h"
#include "render/view.h"

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Takes what the platform has queued, as the viewer's loop would.
void DrainMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

void DrawArraysScene() { DrawScene(); }

void PresentFrame(void (*draw)() = DrawArraysScene) {
    draw();
    SwapBuffers(WindowState.deviceContext);
    glFinish();  // the frame is complete, not merely queued
}

void Report(const char* what, std::vector<double> times) {
    std::sort(times.begin(), times.end());
    double sum = 0;
    for (double t : times) {
        sum += t;
    }
    printf("%-44s runs %3zu  min %8.2f ms  median %8.2f ms  mean %8.2f ms  max %8.2f ms\n", what,
           times.size(), times.front(), times[times.size() / 2], sum / times.size(), times.back());
}

const char* const title = "Kelmo's OpenGL Framework";

// Builds to the first presented frame, F1 switches and single frames, in the
// current folder, each `runs` times, drawing with `draw`.
bool MeasureFolder(const char* label, int runs, void (*draw)()) {
    Clock::time_point start;
    std::vector<double> builds;
    for (int i = 0; i < runs; ++i) {
        start = Clock::now();
        if (!OpenRenderWindow(title, ViewWidth, ViewHeight, 16, false)) {
            return false;
        }
        PresentFrame(draw);
        builds.push_back(Milliseconds(start));
        DrainMessages();
        CloseRenderWindow();
        DrainMessages();
    }

    std::vector<double> switches;
    std::vector<double> switchesToFrame;
    if (!OpenRenderWindow(title, ViewWidth, ViewHeight, 16, false)) {
        return false;
    }
    PresentFrame(draw);
    for (int i = 0; i < runs; ++i) {
        DrainMessages();
        start = Clock::now();
        CloseRenderWindow();
        if (!OpenRenderWindow(title, ViewWidth, ViewHeight, 16, false)) {
            return false;
        }
        switches.push_back(Milliseconds(start));
        PresentFrame(draw);
        switchesToFrame.push_back(Milliseconds(start));
    }
    std::vector<double> frames;
    for (int i = 0; i < runs; ++i) {
        start = Clock::now();
        PresentFrame(draw);
        frames.push_back(Milliseconds(start));
    }
    DrainMessages();
    CloseRenderWindow();

    printf("%s\n", label);
    Report("  build to first presented frame", builds);
    Report("  F1 switch (teardown + build)", switches);
    Report("  F1 switch to first presented frame", switchesToFrame);
    Report("  one frame (draw + swap + finish)", frames);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (int status = RunUnderXvfbWithoutDisplay(argc, argv)) return status;
    int runs = argc > 1 ? atoi(argv[1]) : 20;
    int bigRuns = argc > 2 ? atoi(argv[2]) : 3;
    const int bigCount = 1000000;
    if (runs < 1 || bigRuns < 1 || chdir(POLYVIEW_EXAMPLES) != 0) {
        fprintf(stderr, "usage: viewer_bench [RUNS [RUNS_1M]]; needs %s\n", POLYVIEW_EXAMPLES);
        return 2;
    }

    // The very first build also starts SDL's video and loads the GL driver.
    Clock::time_point start = Clock::now();
    if (!OpenRenderWindow(title, ViewWidth, ViewHeight, 16, false)) {
        return 1;
    }
    PresentFrame();
    double firstBuild = Milliseconds(start);
    DrainMessages();
    CloseRenderWindow();
    DrainMessages();

    printf("viewer_bench: windowed 640x480, %s\n", getenv("DISPLAY"));
    printf("%-44s runs   1  %8.2f ms (SDL video start and GL driver load included)\n",
           "first build to first frame, examples/", firstBuild);
    if (!MeasureFolder("examples/", runs, DrawArraysScene)) {
        return 1;
    }

    std::string big = MakeBigFolder(bigCount);
    if (big.empty() || chdir(big.c_str()) != 0) {
        fprintf(stderr, "viewer_bench: cannot make a folder of %d triangles\n", bigCount);
        if (!big.empty()) RemoveBigFolder(big);
        return 1;
    }
    bool ok = MeasureFolder("1,000,000 textured triangles, one draw call (DrawScene)", bigRuns, DrawArraysScene) &&
              MeasureFolder("1,000,000 textured triangles, begin/end per triangle", bigRuns, DrawSceneImmediate);
    RemoveBigFolder(big);
    platform::ShutdownPlatform();
    return ok ? 0 : 1;
}
