// Viewer start-up and mode-switch times with the real SDL platform layer:
// a build up to the first presented frame (OpenRenderWindow, DrawScene,
// SwapBuffers) and a full F1 switch (CloseRenderWindow, OpenRenderWindow),
// for the example folder, windowed. Prints figures; sets no targets.
//
// Needs an X display; without one it runs itself under an Xvfb of its own.
#include <GL/gl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/window_state.h"
#include "platform/sdl_platform.h"
#include "render/render.h"

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

void PresentFrame() {
    DrawScene();
    SwapBuffers(WindowState.deviceContext);
    glFinish();  // the frame is complete, not merely queued
}

void Report(const char* what, std::vector<double> times) {
    std::sort(times.begin(), times.end());
    double sum = 0;
    for (double t : times) {
        sum += t;
    }
    printf("%-38s runs %3zu  min %7.2f ms  median %7.2f ms  mean %7.2f ms  max %7.2f ms\n", what,
           times.size(), times.front(), times[times.size() / 2], sum / times.size(), times.back());
}

}  // namespace

int main(int argc, char** argv) {
    if (!getenv("DISPLAY")) {
        const char* script = POLYVIEW_WITH_XVFB;
        execl(script, script, "1024x768x24", argv[0], static_cast<char*>(nullptr));
        perror(script);
        return 1;
    }
    int runs = argc > 1 ? atoi(argv[1]) : 20;
    if (runs < 1 || chdir(POLYVIEW_EXAMPLES) != 0) {
        fprintf(stderr, "usage: viewer_bench [RUNS]; needs %s\n", POLYVIEW_EXAMPLES);
        return 2;
    }
    const char* title = "Kelmo's OpenGL Framework";

    // The very first build also starts SDL's video and loads the GL driver.
    Clock::time_point start = Clock::now();
    if (!OpenRenderWindow(title, 640, 480, 16, false)) {
        return 1;
    }
    PresentFrame();
    double firstBuild = Milliseconds(start);
    DrainMessages();
    CloseRenderWindow();
    DrainMessages();

    std::vector<double> builds;
    for (int i = 0; i < runs; ++i) {
        start = Clock::now();
        if (!OpenRenderWindow(title, 640, 480, 16, false)) {
            return 1;
        }
        PresentFrame();
        builds.push_back(Milliseconds(start));
        DrainMessages();
        CloseRenderWindow();
        DrainMessages();
    }

    std::vector<double> switches;
    std::vector<double> switchesToFrame;
    if (!OpenRenderWindow(title, 640, 480, 16, false)) {
        return 1;
    }
    PresentFrame();
    for (int i = 0; i < runs; ++i) {
        DrainMessages();
        start = Clock::now();
        CloseRenderWindow();
        if (!OpenRenderWindow(title, 640, 480, 16, false)) {
            return 1;
        }
        switches.push_back(Milliseconds(start));
        PresentFrame();
        switchesToFrame.push_back(Milliseconds(start));
    }
    std::vector<double> frames;
    for (int i = 0; i < runs; ++i) {
        start = Clock::now();
        PresentFrame();
        frames.push_back(Milliseconds(start));
    }
    DrainMessages();
    CloseRenderWindow();
    platform::ShutdownPlatform();

    printf("viewer_bench: examples/ windowed 640x480, %s\n", getenv("DISPLAY"));
    printf("%-38s runs   1  %7.2f ms (SDL video start and GL driver load included)\n",
           "first build to first frame", firstBuild);
    Report("build to first presented frame", builds);
    Report("F1 switch (teardown + build)", switches);
    Report("F1 switch to first presented frame", switchesToFrame);
    Report("one frame (draw + swap + finish)", frames);
    return 0;
}
