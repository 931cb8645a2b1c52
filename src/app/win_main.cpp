// The entry point: the start-up question, the first build, and the loop that
// drains window messages and draws a frame whenever none is waiting.
#include "app/command_line.h"
#include "app/scene_reload.h"
#include "app/window_state.h"
#include "render/render.h"
#include "render/view.h"

namespace {

const char* const windowTitle = "Kelmo's OpenGL Framework";
const int32_t windowWidth = ViewWidth;
const int32_t windowHeight = ViewHeight;
const int32_t windowColorBits = 16;

// Whether `key` counts as down in this idle pass: held now, or pressed since
// the last idle pass. The loop takes one message per pass and looks at keys
// only once the queue is empty, so behind a long frame a quick tap's key-up
// is taken right after its key-down and would otherwise never be seen.
// Takes the press; the key table keeps its meaning.
bool TakeKey(int key) {
    bool isDown = WindowState.keyDown[key] || WindowState.keyPressed[key];
    WindowState.keyPressed[key] = false;
    return isDown;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // Zeroed, so that an Esc seen before any message was taken ends with 0.
    MSG msg = {};
    bool quitRequested = false;

    // A folder on the command line becomes the current directory first. The
    // command line is read as UTF-16: the ANSI one given here cannot spell
    // every name.
    int startStatus = 0;
    if (!ApplyCommandLine(&startStatus)) {
        return startStatus;
    }

    if (MessageBoxA(nullptr, "Would You Like To Run In Fullscreen Mode?", "Start FullScreen?",
                    MB_YESNO | MB_ICONQUESTION) == IDNO) {
        WindowState.isFullscreen = false;
    }

    // Stamps taken before the first load, so that a change made while it
    // reads is seen.
    if (isSceneWatchWanted) StartSceneWatch();
    if (!OpenRenderWindow(windowTitle, windowWidth, windowHeight, windowColorBits,
                          WindowState.isFullscreen)) {
        return 0;
    }

    while (!quitRequested) {
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                quitRequested = true;
            } else {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
            continue;  // messages first: no frame in a pass that took one
        }

        // Taken in every idle pass, so a tap while minimized is not kept
        // for later.
        const bool isEscapeDown = TakeKey(VK_ESCAPE);
        // A reload (asked for, or seen due by the watch) before the frame.
        const bool isFrameHeld = !isEscapeDown && !ServeSceneReload(WindowState.windowHandle, windowTitle);
        if (WindowState.isActive) {
            if (isEscapeDown) {
                quitRequested = true;
                // The exit status after Esc is 0, not the parameter of
                // whichever message happened to be taken last.
                msg.wParam = 0;
            } else if (!isFrameHeld) {
                DrawScene();
                SwapBuffers(WindowState.deviceContext);
            }
        }

        // F1 is honoured in every idle pass, also while minimized and in the
        // pass that saw Esc.
        if (TakeKey(VK_F1)) {
            WindowState.keyDown[VK_F1] = false;  // a held key's next repeat sets it again
            CloseRenderWindow();
            WindowState.isFullscreen = !WindowState.isFullscreen;
            if (!OpenRenderWindow(windowTitle, windowWidth, windowHeight, windowColorBits,
                                  WindowState.isFullscreen)) {
                return 0;
            }
        }
    }

    CloseRenderWindow();
    return static_cast<int>(msg.wParam);
}
