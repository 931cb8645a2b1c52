// The window procedure: activity, key state, view size and quit requests.
#include "app/window_state.h"
#include "render/render.h"

LRESULT CALLBACK RenderWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_ACTIVATE:
            // Only the minimized flag in the high word counts; a window in
            // the background keeps drawing.
            WindowState.isActive = HIWORD(wParam) == 0;
            return 0;

        case WM_SYSCOMMAND:
            // Swallowed so that the screen saver and monitor power-down never start.
            if (wParam == SC_SCREENSAVE || wParam == SC_MONITORPOWER) {
                return 0;
            }
            break;

        case WM_CLOSE:
            // The loop tears the window down once it sees the quit message.
            PostQuitMessage(0);
            return 0;

        case WM_KEYDOWN:
            if (wParam < sizeof(KeyTable)) {
                WindowState.keyDown[wParam] = true;
                WindowState.keyPressed[wParam] = true;
            }
            return 0;

        case WM_KEYUP:
            if (wParam < sizeof(KeyTable)) {
                WindowState.keyDown[wParam] = false;
            }
            return 0;

        case WM_SIZE:
            ResizeScene(LOWORD(lParam), HIWORD(lParam));
            return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
