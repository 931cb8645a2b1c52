// How soon the view follows the mouse on a big model: the viewer's own loop
// (WinMain, answered No to its start-up question) over the real SDL layer
// draws 1,000,000 textured triangles windowed while xdotool drags with the
// left button for one second and releases. Prints how many frames were
// presented from the release until one shows the view where the drag ended,
// and the frame times. Prints figures; sets no targets.
//
// The frames, the start-up question and the capture's release are seen at
// the SDL calls that make them, which this program links wrapped
// (SDL_GL_SwapWindow, SDL_ShowMessageBox, SDL_CaptureMouse). Needs an X
// display; without one it runs itself under an Xvfb of its own.
#include <GL/gl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "viewer_folder.h"

#include "app/window_state.h"
#include "platform/sdl/sdl_platform.h"
#include "render/view_state.h"

// After the layer's own headers, as it does: X11's macros stay out of them.
#include <SDL_syswm.h>

namespace {

using Clock = std::chrono::steady_clock;
const Clock::time_point programStart = Clock::now();

double NowMs() {
    return std::chrono::duration<double, std::milli>(Clock::now() - programStart).count();
}

// The drag: from (StartX, StartY) in Moves steps of (StepX, StepY) pixels,
// MoveSeconds apart: one second in all.
constexpr int StartX = 100, StartY = 150, Moves = 50, StepX = 6, StepY = 2;
constexpr const char* MoveSeconds = "0.02";
constexpr size_t FramesBeforeDrag = 3;

struct Frame {
    double ms;      // when it was presented (swapped and finished)
    ViewPose view;  // the view it was drawn from
};

std::mutex lock;  // guards what follows: the loop's thread and the drag's share them
std::vector<Frame> frames;
double dragStartMs = -1, releaseMs = -1, releaseTakenMs = -1;
ViewPose finalView;
int framesToFinal = -1;  // frames presented from the release to the first of the final view
unsigned long windowId;

bool SameView(const ViewPose& a, const ViewPose& b) {
    return a.azimuth == b.azimuth && a.elevation == b.elevation && a.zoom == b.zoom;
}

int Run(const std::string& command) {
    int status = std::system(command.c_str());
    if (status != 0) std::fprintf(stderr, "drag_bench: '%s' failed (%d)\n", command.c_str(), status);
    return status;
}

// The drag, once a few frames are on screen; then the release, its time
// taken just before the button goes up. Gives up after a minute without the
// final view.
void Drag() {
    for (;;) {
        {
            std::lock_guard<std::mutex> hold(lock);
            if (frames.size() >= FramesBeforeDrag) break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::string moves;
    for (int i = 1; i <= Moves; ++i)
        moves += " sleep " + std::string(MoveSeconds) + " mousemove --window " + std::to_string(windowId) + " " +
                 std::to_string(StartX + i * StepX) + " " + std::to_string(StartY + i * StepY);
    const std::string window = " --window " + std::to_string(windowId) + " ";
    if (Run("xdotool mousemove" + window + std::to_string(StartX) + " " + std::to_string(StartY))) _exit(1);
    {
        std::lock_guard<std::mutex> hold(lock);
        dragStartMs = NowMs();
    }
    if (Run("xdotool mousedown 1" + moves)) _exit(1);
    {
        std::lock_guard<std::mutex> hold(lock);
        releaseMs = NowMs();
    }
    if (Run("xdotool mouseup 1")) _exit(1);
    for (int i = 0; i < 6000; ++i) {
        {
            std::lock_guard<std::mutex> hold(lock);
            if (framesToFinal >= 0) return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::fprintf(stderr, "drag_bench: no frame of the drag's final view within a minute\n");
    _exit(1);
}

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

extern "C" {

void __real_SDL_GL_SwapWindow(SDL_Window* window);
int __real_SDL_CaptureMouse(SDL_bool enabled);

// A frame presented: its time and view. The loop ends (as by the close box)
// once a frame after the release shows the final view.
void __wrap_SDL_GL_SwapWindow(SDL_Window* window) {
    __real_SDL_GL_SwapWindow(window);
    glFinish();
    std::lock_guard<std::mutex> hold(lock);
    if (frames.empty()) {
        SDL_SysWMinfo info;
        SDL_VERSION(&info.version);
        if (SDL_GetWindowWMInfo(window, &info) && info.subsystem == SDL_SYSWM_X11)
            windowId = (unsigned long)info.info.x11.window;
    }
    frames.push_back({NowMs(), CurrentView});
    if (framesToFinal < 0 && releaseTakenMs >= 0 && SameView(CurrentView, finalView)) {
        framesToFinal = 0;
        for (const Frame& frame : frames) framesToFinal += frame.ms > releaseMs;
        PostQuitMessage(0);
    }
}

// The button's release ends the capture, after the window procedure has
// turned the view to where the drag ended.
int __wrap_SDL_CaptureMouse(SDL_bool enabled) {
    if (!enabled) {
        std::lock_guard<std::mutex> hold(lock);
        releaseTakenMs = NowMs();
        finalView = CurrentView;
    }
    return __real_SDL_CaptureMouse(enabled);
}

// No to the start-up question; any other box is a failure, said on
// standard error.
int __wrap_SDL_ShowMessageBox(const SDL_MessageBoxData* box, int* buttonId) {
    if (std::string(box->title) != "Start FullScreen?") std::fprintf(stderr, "drag_bench: %s\n", box->message);
    *buttonId = IDNO;
    return 0;
}

}  // extern "C"

int main(int argc, char** argv) {
    if (int status = RunUnderXvfbWithoutDisplay(argc, argv)) return status;
    const int count = 1000000;
    std::string dir = MakeBigFolder(count);
    if (dir.empty() || chdir(dir.c_str()) != 0) {
        std::fprintf(stderr, "drag_bench: cannot make a folder of %d triangles\n", count);
        return 1;
    }
    std::thread drag(Drag);
    const std::string program = "\"drag_bench\"";
    SetStartCommandLine(program.c_str());
    int status = WinMain(GetModuleHandleA(nullptr), nullptr, const_cast<char*>(""), SW_SHOWDEFAULT);
    drag.join();
    platform::ShutdownPlatform();
    RemoveBigFolder(dir);
    if (status != 0 || framesToFinal < 0) return 1;

    std::vector<double> times;
    int duringDrag = 0;
    for (size_t i = 1; i < frames.size(); ++i) {
        times.push_back(frames[i].ms - frames[i - 1].ms);
        duringDrag += frames[i].ms > dragStartMs && frames[i].ms <= releaseMs;
    }
    const Frame* shown = nullptr;
    for (const Frame& frame : frames)
        if (!shown && frame.ms > releaseMs && SameView(frame.view, finalView)) shown = &frame;
    std::printf("drag_bench: %d textured triangles, windowed 640x480, %s\n", count, getenv("DISPLAY"));
    std::printf("frame to frame: median %.1f ms over %zu frames\n", Median(times), frames.size());
    std::printf("drag: %d moves in %.0f ms, %d frames presented meanwhile\n", Moves, releaseMs - dragStartMs,
                duringDrag);
    std::printf("release taken by the window procedure %.1f ms after it was sent\n", releaseTakenMs - releaseMs);
    std::printf("final view: azimuth %g, elevation %g (the drag: %d, %d pixels)\n", finalView.azimuth,
                finalView.elevation, Moves * StepX, Moves * StepY);
    std::printf("frames presented from the release to the first of the final view: %d (%.1f ms)\n", framesToFinal,
                shown ? shown->ms - releaseMs : -1.0);
    return 0;
}
