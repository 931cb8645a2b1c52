// The native side of windows over SDL2, and SDL's events as messages.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/sdl/sdl_platform.h"

// After the layer's own headers: X11's macros (None, Bool, ...) stay out of them.
#include <SDL_syswm.h>

namespace platform {

LayerState layer = {};

namespace {

bool isXRequestRefused = false;

int NoteRefusedRequest(Display*, XErrorEvent*) {
    isXRequestRefused = true;
    return 0;
}

// Gives the window the input focus; false where X cannot give it yet. Under a
// window manager a newly shown window becomes viewable only once the manager
// has mapped its frame, and X refuses to focus a window that is not viewable
// (BadMatch), an error that X's default handler would end the process for.
bool TrySetInputFocus(SDL_Window* sdlWindow) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(sdlWindow, &info) || info.subsystem != SDL_SYSWM_X11) {
        return SDL_SetWindowInputFocus(sdlWindow) == 0;
    }
    Display* display = info.info.x11.display;
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, info.info.x11.window, &attributes) ||
        attributes.map_state != IsViewable) {
        return false;
    }
    // Viewable now, but the window manager may unmap it before the request
    // arrives: a refusal is caught rather than fatal.
    XSync(display, False);
    isXRequestRefused = false;
    XErrorHandler previous = XSetErrorHandler(NoteRefusedRequest);
    SDL_SetWindowInputFocus(sdlWindow);
    XSync(display, False);
    XSetErrorHandler(previous);
    return !isXRequestRefused;
}

void TranslateKeyEvent(const SDL_KeyboardEvent& key) {
    // Keys go to the window with the keyboard focus, as on Windows. SDL names
    // the window it believes has it; right after a fullscreen window was made
    // in place of another it can name none, and then the focus that SetFocus
    // gave decides.
    HWND__* window = key.windowID ? FindWindowBySdlId(key.windowID) : windowManager.focusWindow;
    int vk = VirtualKeyOf(key.keysym);
    if (!window || vk == 0) {
        return;
    }
    PostKeyMessage(window, vk, key.keysym.scancode, key.type == SDL_KEYUP, key.repeat != 0,
                   (key.keysym.mod & KMOD_ALT) != 0);
}

// MK_ flags of the buttons an SDL button mask holds, and of Shift and Ctrl.
WPARAM MouseKeyFlags(Uint32 buttons) {
    SDL_Keymod mod = SDL_GetModState();
    return ((buttons & SDL_BUTTON_LMASK) ? MK_LBUTTON : 0) | ((buttons & SDL_BUTTON_RMASK) ? MK_RBUTTON : 0) |
           ((buttons & SDL_BUTTON_MMASK) ? MK_MBUTTON : 0) | ((mod & KMOD_SHIFT) ? MK_SHIFT : 0) |
           ((mod & KMOD_CTRL) ? MK_CONTROL : 0);
}

// The pointer's messages go where SDL says the pointer is, in the window's
// client pixels, as Windows sends them; the capture redirects them.
void TranslateButtonEvent(const SDL_MouseButtonEvent& event) {
    static const UINT downMessages[] = {WM_LBUTTONDOWN, WM_MBUTTONDOWN, WM_RBUTTONDOWN};
    if (event.button < SDL_BUTTON_LEFT || event.button > SDL_BUTTON_RIGHT) {
        return;
    }
    const Uint32 mask = SDL_BUTTON(event.button);
    layer.mouseButtons = event.state == SDL_PRESSED ? layer.mouseButtons | mask : layer.mouseButtons & ~mask;
    // Each up message follows its down message.
    const UINT message = downMessages[event.button - SDL_BUTTON_LEFT] + (event.state == SDL_PRESSED ? 0 : 1);
    PostMouseMessage(FindWindowBySdlId(event.windowID), message, MouseKeyFlags(layer.mouseButtons), event.x,
                     event.y);
}

void TranslateMotionEvent(const SDL_MouseMotionEvent& event) {
    PostMouseMessage(FindWindowBySdlId(event.windowID), WM_MOUSEMOVE, MouseKeyFlags(event.state), event.x,
                     event.y);
}

// WHEEL_DELTA per notch forwards, finer where the device reports fractions;
// at the pointer's place on the screen.
void TranslateWheelEvent(const SDL_MouseWheelEvent& event) {
    HWND__* window = FindWindowBySdlId(event.windowID);
    if (!window) {
        window = windowManager.captureWindow;
    }
#if SDL_VERSION_ATLEAST(2, 0, 18)
    float notches = event.preciseY;
#else
    float notches = float(event.y);
#endif
    if (event.direction == SDL_MOUSEWHEEL_FLIPPED) {
        notches = -notches;
    }
    long delta = std::lround(double(notches) * WHEEL_DELTA);
    if (!window || delta == 0) {
        return;
    }
    delta = delta > 32767 ? 32767 : delta < -32768 ? -32768 : delta;
    WPARAM wParam = MAKEWPARAM(MouseKeyFlags(layer.mouseButtons), WORD(short(delta)));
    int x = 0, y = 0;
    SDL_GetGlobalMouseState(&x, &y);
    PostMouseMessage(window, WM_MOUSEWHEEL, wParam, x, y);
}

void TranslateWindowEvent(const SDL_WindowEvent& event) {
    HWND__* window = FindWindowBySdlId(event.windowID);
    if (!window) {
        return;  // an event for a window destroyed since
    }
    switch (event.event) {
        case SDL_WINDOWEVENT_FOCUS_GAINED:
            ActivateWindow(window);
            break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
            DeactivateWindow(window);
            break;
        case SDL_WINDOWEVENT_MINIMIZED:
            NoteMinimized(window);
            break;
        case SDL_WINDOWEVENT_RESTORED:
            NoteRestored(window);
            break;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            NoteClientSize(window, event.data1, event.data2);
            break;
        case SDL_WINDOWEVENT_MOVED:
            NoteMoved(window, event.data1, event.data2);
            break;
        case SDL_WINDOWEVENT_CLOSE:
            NoteCloseRequested(window);
            break;
        case SDL_WINDOWEVENT_EXPOSED:
            // Now viewable: the focus asked for before it was can be given.
            if (window->native->isFocusPending && window == windowManager.focusWindow) {
                window->native->isFocusPending = !TrySetInputFocus(window->native->sdlWindow);
            }
            break;
        default:
            break;
    }
}

}  // namespace

void PumpNativeEvents() {
    if (!layer.isVideoReady) {
        return;
    }
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        switch (event.type) {
            case SDL_KEYDOWN:
            case SDL_KEYUP:
                TranslateKeyEvent(event.key);
                break;
            case SDL_WINDOWEVENT:
                TranslateWindowEvent(event.window);
                break;
            case SDL_MOUSEBUTTONDOWN:
            case SDL_MOUSEBUTTONUP:
                TranslateButtonEvent(event.button);
                break;
            case SDL_MOUSEMOTION:
                TranslateMotionEvent(event.motion);
                break;
            case SDL_MOUSEWHEEL:
                TranslateWheelEvent(event.wheel);
                break;
            default:
                break;
        }
    }
}

// The desktop keeps running while the viewer draws: nothing to give back.
bool YieldToHost() {
    return false;
}

uint32_t MessageTime() {
    return SDL_GetTicks();
}

int CurrentKeyModifiers() {
    SDL_Keymod mod = SDL_GetModState();
    return ((mod & KMOD_SHIFT) ? KeyModifierShift : 0) | ((mod & KMOD_CAPS) ? KeyModifierCapsLock : 0) |
           ((mod & KMOD_ALT) ? KeyModifierAlt : 0);
}

bool EnsureVideo() {
    if (layer.isVideoReady) {
        return true;
    }
    // Ctrl+C and termination signals end the process as usual; closing the
    // last window is a WM_CLOSE for the program, not an SDL quit.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "0");
    // Without a display SDL would fall back to its offscreen driver, which
    // shows nothing; that counts as no display unless asked for by name.
    const char* requestedDriver = getenv("SDL_VIDEODRIVER");
    bool isDriverRequested = requestedDriver && *requestedDriver;
    if (!isDriverRequested && !getenv("DISPLAY") && !getenv("WAYLAND_DISPLAY")) {
        SDL_SetError("neither DISPLAY nor WAYLAND_DISPLAY is set");
        return false;
    }
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        return false;
    }
    const char* driver = SDL_GetCurrentVideoDriver();
    if (!isDriverRequested && driver && (!strcmp(driver, "offscreen") || !strcmp(driver, "dummy"))) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        SDL_SetError("no display could be opened");
        return false;
    }
    layer.isVideoReady = true;
    SDL_DisableScreenSaver();
    SDL_ShowCursor(layer.cursorCount >= 0 ? SDL_ENABLE : SDL_DISABLE);
    return true;
}

HWND__* FindWindowBySdlId(Uint32 sdlWindowId) {
    for (HWND__* w : windowManager.windows) {
        if (w->native->sdlWindow && w->native->sdlWindowId == sdlWindowId) {
            return w;
        }
    }
    return nullptr;
}

bool CreateSdlWindow(HWND__* window, int pixelFormat) {
    SetGlAttributes(pixelFormats[pixelFormat - 1]);

    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
    if (window->style & WS_POPUP) {
        flags |= SDL_WINDOW_BORDERLESS;
    }
    if (window->style & WS_THICKFRAME) {
        flags |= SDL_WINDOW_RESIZABLE;
    }
    SDL_Window* sdlWindow = SDL_CreateWindow(window->title.c_str(), window->x, window->y,
                                             window->width, window->height, flags);
    if (!sdlWindow) {
        return false;
    }
    NativeWindow* native = window->native;
    if (native->sdlWindow) {
        SDL_DestroyWindow(native->sdlWindow);
    }
    native->sdlWindow = sdlWindow;
    native->sdlWindowId = SDL_GetWindowID(sdlWindow);
    native->sdlPixelFormat = pixelFormat;
    return true;
}

bool CreateNativeWindow(HWND__* window) {
    if (!EnsureVideo()) {
        fprintf(stderr, "No window can be made: %s.\n", SDL_GetError());
        return false;
    }
    window->native = new NativeWindow();
    // Until a pixel format is set the window carries the GL attributes of
    // the first format offered; SetPixelFormat remakes it for another.
    if (!CreateSdlWindow(window, 1)) {
        fprintf(stderr, "No window can be made: %s\n", SDL_GetError());
        delete window->native;
        return false;
    }
    return true;
}

void DestroyNativeWindow(HWND__* window) {
    SDL_Window* sdlWindow = window->native->sdlWindow;
    // A context still current on this window's surface must not outlive it.
    if (SDL_GL_GetCurrentWindow() == sdlWindow) {
        SDL_GL_MakeCurrent(nullptr, nullptr);
    }
    SDL_DestroyWindow(sdlWindow);
    delete window->native;
    window->native = nullptr;
}

void ShowNativeWindow(HWND__* window, bool isShown) {
    if (isShown) {
        ApplyFullscreenMode(window);
        SDL_ShowWindow(window->native->sdlWindow);
    } else {
        SDL_HideWindow(window->native->sdlWindow);
    }
}

void SetNativeWindowTitle(HWND__* window) {
    SDL_SetWindowTitle(window->native->sdlWindow, window->title.c_str());
}

void ChangeNativeWindowState(HWND__* window, int showCommand) {
    SDL_Window* sdlWindow = window->native->sdlWindow;
    if (showCommand == SW_MINIMIZE || showCommand == SW_SHOWMINIMIZED) {
        SDL_MinimizeWindow(sdlWindow);
    } else if (showCommand == SW_SHOWMAXIMIZED) {
        SDL_MaximizeWindow(sdlWindow);
    } else if (showCommand == SW_RESTORE) {
        SDL_RestoreWindow(sdlWindow);
    }
}

void RaiseNativeWindow(HWND__* window) {
    SDL_RaiseWindow(window->native->sdlWindow);
}

void CaptureNativePointer(HWND__*, bool isCaptured) {
    // SDL captures for the window with the keyboard focus, which is the one
    // the button went down in.
    SDL_CaptureMouse(isCaptured ? SDL_TRUE : SDL_FALSE);
}

void FocusNativeWindow(HWND__* window) {
    NativeWindow* native = window->native;
    native->isFocusPending = !TrySetInputFocus(native->sdlWindow);
}

}  // namespace platform

void platform::ShutdownPlatform() {
    while (!layer.contexts.empty()) {
        wglDeleteContext(layer.contexts.back());
    }
    ShutdownWindowManager();
    // SDL itself stays up until the process ends; destroying the windows
    // has given back the desktop's mode. Quitting SDL would close the
    // display and unload the GL driver and libdbus, whose process-long
    // allocations would then be reported as leaks of an unknown module.
}
