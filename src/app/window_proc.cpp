// The window procedure: activity, key state, the view's controls, view size
// and quit requests.
#include "app/window_state.h"
#include "render/render.h"
#include "render/view_state.h"

namespace {

// Degrees of turn per pixel dragged, and per press of an arrow key.
constexpr double DegreesPerPixel = 0.5;
constexpr double DegreesPerKey = 15.0;

// Turns the view by the pointer's way since the drag's last message.
void DragTo(LPARAM lParam) {
    const POINT point = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    TurnView(&CurrentView, DegreesPerPixel * (point.x - WindowState.dragPoint.x),
             DegreesPerPixel * (point.y - WindowState.dragPoint.y));
    WindowState.dragPoint = point;
}

// The keys that move the view: the arrows turn it as a drag that way would,
// Page Up / Page Down and + / - zoom by a wheel notch, Home goes back to
// where the view started, F frames the model.
void MoveViewByKey(WPARAM key) {
    switch (key) {
        case VK_LEFT: TurnView(&CurrentView, -DegreesPerKey, 0.0); break;
        case VK_RIGHT: TurnView(&CurrentView, DegreesPerKey, 0.0); break;
        case VK_UP: TurnView(&CurrentView, 0.0, -DegreesPerKey); break;
        case VK_DOWN: TurnView(&CurrentView, 0.0, DegreesPerKey); break;
        case VK_PRIOR: case VK_OEM_PLUS: case VK_ADD: ZoomView(&CurrentView, 1.0); break;
        case VK_NEXT: case VK_OEM_MINUS: case VK_SUBTRACT: ZoomView(&CurrentView, -1.0); break;
        case VK_HOME: CurrentView = HomeView; break;
        case 'F': FrameView(&CurrentView); break;
        default: break;
    }
}

}  // namespace

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
            MoveViewByKey(wParam);  // each repeat too
            return 0;

        case WM_KEYUP:
            if (wParam < sizeof(KeyTable)) {
                WindowState.keyDown[wParam] = false;
            }
            return 0;

        case WM_LBUTTONDOWN:
            // A drag lasts while the window holds the mouse, so one that
            // leaves the window goes on.
            SetCapture(window);
            WindowState.dragPoint = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            return 0;

        case WM_MOUSEMOVE:
            if (GetCapture() != window) return 0;
            if (!(wParam & MK_LBUTTON)) {
                ReleaseCapture();  // the button came up unseen: the drag is over
            } else {
                DragTo(lParam);
            }
            return 0;

        case WM_LBUTTONUP:
            if (GetCapture() == window) {
                DragTo(lParam);
                ReleaseCapture();
            }
            return 0;

        case WM_CAPTURECHANGED:
            return 0;  // the drag ended with the capture, where it got to

        case WM_MOUSEWHEEL:
            ZoomView(&CurrentView, double(GET_WHEEL_DELTA_WPARAM(wParam)) / WHEEL_DELTA);
            return 0;

        case WM_SIZE:
            ResizeScene(LOWORD(lParam), HIWORD(lParam));
            return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
