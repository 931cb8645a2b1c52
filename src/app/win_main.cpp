// The entry point: the start-up question, the first build, and the loop that
// drains window messages and draws a frame whenever none is waiting.
#include "app/command_line.h"
#include "app/window_state.h"
#include "render/render.h"

namespace {

const char* const windowTitle = "Kelmo's OpenGL Framework";
const int32_t windowWidth = 640;
const int32_t windowHeight = 480;
const int32_t windowColorBits = 16;

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    // Zeroed, so that an Esc seen before any message was taken ends with 0.
    MSG msg = {};
    bool quitRequested = false;

    // A folder on the command line becomes the current directory first.
    int startStatus = 0;
    if (!ApplyCommandLine(commandLine, &startStatus)) {
        return startStatus;
    }

    if (MessageBoxA(nullptr, "Would You Like To Run In Fullscreen Mode?", "Start FullScreen?",
                    MB_YESNO | MB_ICONQUESTION) == IDNO) {
        WindowState.isFullscreen = false;
    }

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

        if (WindowState.isActive) {
            if (WindowState.keyDown[VK_ESCAPE]) {
                quitRequested = true;
                // The exit status after Esc is 0, not the parameter of
                // whichever message happened to be taken last.
                msg.wParam = 0;
            } else {
                DrawScene();
                SwapBuffers(WindowState.deviceContext);
            }
        }

        // F1 is honoured in every idle pass, also while minimized and in the
        // pass that saw Esc.
        if (WindowState.keyDown[VK_F1]) {
            WindowState.keyDown[VK_F1] = false;
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
