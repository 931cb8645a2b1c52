// Window classes, windows, activation and the message queue over SDL2.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/sdl_platform.h"

namespace platform {

LayerState layer = {};

namespace {

bool SameClassName(const std::string& a, const char* b) {
    if (a.size() != strlen(b)) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (tolower(static_cast<unsigned char>(a[i])) != tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

RegisteredClass* FindClass(const char* name) {
    for (RegisteredClass& c : layer.classes) {
        if (SameClassName(c.name, name)) {
            return &c;
        }
    }
    return nullptr;
}

bool IsIntResource(LPCSTR name) {
    return (reinterpret_cast<uintptr_t>(name) >> 16) == 0;
}

// Moves a window's remaining posted messages out of the queue, as Windows
// does when it destroys the window.
void DropMessagesOf(HWND__* window) {
    auto& queue = layer.postedMessages;
    queue.erase(std::remove_if(queue.begin(), queue.end(),
                               [window](const MSG& m) { return m.hwnd == window; }),
                queue.end());
}

void PostToWindow(HWND__* window, UINT message, WPARAM wParam, LPARAM lParam) {
    MSG msg = {};
    msg.hwnd = window;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    msg.time = SDL_GetTicks();
    layer.postedMessages.push_back(msg);
}

LPARAM ClientSizeParam(const HWND__* window) {
    return MAKELONG(window->width, window->height);
}

void TranslateKeyEvent(const SDL_KeyboardEvent& key) {
    // Keys go to the window with the keyboard focus, as on Windows. SDL names
    // the window it believes has it; right after a fullscreen window was made
    // in place of another it can name none, and then the focus that SetFocus
    // gave decides.
    HWND__* window = key.windowID ? FindWindowBySdlId(key.windowID) : layer.focusWindow;
    int vk = VirtualKeyOf(key.keysym);
    if (!window || vk == 0) {
        return;
    }
    bool isUp = key.type == SDL_KEYUP;
    bool isAltHeld = (key.keysym.mod & KMOD_ALT) != 0;
    // Alt combinations, Alt itself and F10 are system keys on Windows.
    bool isSystemKey = isAltHeld || vk == VK_MENU || vk == VK_F10;
    UINT message = isSystemKey ? (isUp ? WM_SYSKEYUP : WM_SYSKEYDOWN) : (isUp ? WM_KEYUP : WM_KEYDOWN);
    uint32_t bits = 1;  // repeat count
    bits |= (static_cast<uint32_t>(key.keysym.scancode) & 0xFF) << 16;
    if (isAltHeld) {
        bits |= 1u << 29;  // context code
    }
    if (isUp || key.repeat) {
        bits |= 1u << 30;  // key was down before
    }
    if (isUp) {
        bits |= 1u << 31;  // transition: released
    }
    PostToWindow(window, message, static_cast<WPARAM>(vk), static_cast<LPARAM>(bits));
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
            if (!window->isMinimized) {
                window->isMinimized = true;
                SendToWindow(window, WM_ACTIVATE, MAKELONG(WA_INACTIVE, 1), 0);
                SendToWindow(window, WM_SIZE, SIZE_MINIMIZED, 0);
            }
            break;
        case SDL_WINDOWEVENT_RESTORED:
            if (window->isMinimized) {
                window->isMinimized = false;
                SendToWindow(window, WM_SIZE, SIZE_RESTORED, ClientSizeParam(window));
                SendToWindow(window, WM_ACTIVATE, MAKELONG(WA_ACTIVE, 0), 0);
            }
            break;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            if (!window->isMinimized && (event.data1 != window->width || event.data2 != window->height)) {
                window->width = event.data1;
                window->height = event.data2;
                SendToWindow(window, WM_SIZE, SIZE_RESTORED, ClientSizeParam(window));
            }
            break;
        case SDL_WINDOWEVENT_MOVED:
            if (event.data1 != window->x || event.data2 != window->y) {
                window->x = event.data1;
                window->y = event.data2;
                SendToWindow(window, WM_MOVE, 0, MAKELONG(window->x, window->y));
            }
            break;
        case SDL_WINDOWEVENT_CLOSE:
            // The close box: Windows turns it into the system command, whose
            // default handling sends WM_CLOSE.
            PostToWindow(window, WM_SYSCOMMAND, SC_CLOSE, 0);
            break;
        default:
            break;
    }
}

void PumpEvents() {
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
            default:
                break;
        }
    }
}

bool MatchesFilter(const MSG& msg, HWND window, UINT filterMin, UINT filterMax) {
    if (window && msg.hwnd != window) {
        return false;
    }
    if (filterMin == 0 && filterMax == 0) {
        return true;
    }
    return msg.message >= filterMin && msg.message <= filterMax;
}

// The character a key-down produces, 0 for keys without one.
char CharacterOf(WPARAM vk) {
    bool isShifted = (SDL_GetModState() & KMOD_SHIFT) != 0;
    bool isCapsLock = (SDL_GetModState() & KMOD_CAPS) != 0;
    if (vk >= 'A' && vk <= 'Z') {
        return static_cast<char>((isShifted != isCapsLock) ? vk : vk - 'A' + 'a');
    }
    if ((vk >= '0' && vk <= '9') || vk == VK_SPACE || vk == VK_RETURN || vk == VK_ESCAPE ||
        vk == VK_BACK || vk == VK_TAB) {
        return static_cast<char>(vk);
    }
    return 0;
}

}  // namespace

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

HWND__* FindLiveWindow(HWND window) {
    if (!window) {
        return nullptr;
    }
    for (HWND__* w : layer.windows) {
        if (w == window) {
            return w;
        }
    }
    return nullptr;
}

HWND__* FindWindowBySdlId(Uint32 sdlWindowId) {
    for (HWND__* w : layer.windows) {
        if (w->sdlWindow && w->sdlWindowId == sdlWindowId) {
            return w;
        }
    }
    return nullptr;
}

LRESULT SendToWindow(HWND__* window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!FindLiveWindow(window) || !window->windowProc) {
        return 0;
    }
    return window->windowProc(window, message, wParam, lParam);
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
    if (window->sdlWindow) {
        SDL_DestroyWindow(window->sdlWindow);
    }
    window->sdlWindow = sdlWindow;
    window->sdlWindowId = SDL_GetWindowID(sdlWindow);
    window->sdlPixelFormat = pixelFormat;
    return true;
}

void ActivateWindow(HWND__* window) {
    if (layer.activeWindow != window) {
        if (layer.activeWindow) {
            DeactivateWindow(layer.activeWindow);
        }
        layer.activeWindow = window;
        SendToWindow(window, WM_ACTIVATE, MAKELONG(WA_ACTIVE, window->isMinimized ? 1 : 0), 0);
    }
    if (layer.focusWindow != window) {
        layer.focusWindow = window;
        SendToWindow(window, WM_SETFOCUS, 0, 0);
    }
}

void DeactivateWindow(HWND__* window) {
    if (layer.activeWindow == window) {
        layer.activeWindow = nullptr;
        SendToWindow(window, WM_ACTIVATE, MAKELONG(WA_INACTIVE, window->isMinimized ? 1 : 0), 0);
    }
    if (layer.focusWindow == window) {
        layer.focusWindow = nullptr;
        SendToWindow(window, WM_KILLFOCUS, 0, 0);
    }
}

}  // namespace platform

using namespace platform;

HMODULE WINAPI GetModuleHandleA(LPCSTR moduleName) {
    // Only the program's own module is known.
    return moduleName ? nullptr : &layer.moduleInstance;
}

HICON WINAPI LoadIconA(HINSTANCE instance, LPCSTR iconName) {
    if (instance || !IsIntResource(iconName)) {
        return nullptr;  // no resources beyond the stock ones
    }
    layer.stockIcons[0].resourceId = static_cast<int>(reinterpret_cast<uintptr_t>(iconName));
    return &layer.stockIcons[0];
}

HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR cursorName) {
    if (instance || !IsIntResource(cursorName)) {
        return nullptr;
    }
    layer.stockIcons[1].resourceId = static_cast<int>(reinterpret_cast<uintptr_t>(cursorName));
    return &layer.stockIcons[1];
}

ATOM WINAPI RegisterClassA(const WNDCLASSA* windowClass) {
    if (!windowClass || !windowClass->lpszClassName || IsIntResource(windowClass->lpszClassName) ||
        FindClass(windowClass->lpszClassName)) {
        return 0;
    }
    RegisteredClass entry;
    entry.name = windowClass->lpszClassName;
    entry.windowClass = *windowClass;
    entry.windowClass.lpszClassName = nullptr;  // the caller's text need not outlive the call
    entry.windowClass.lpszMenuName = nullptr;
    entry.atom = layer.nextAtom++;
    entry.windowCount = 0;
    layer.classes.push_back(entry);
    return entry.atom;
}

BOOL WINAPI UnregisterClassA(LPCSTR className, HINSTANCE instance) {
    if (!className || IsIntResource(className)) {
        return FALSE;
    }
    RegisteredClass* entry = FindClass(className);
    // As on Windows: an unknown class, another module's class, or a class
    // that still has windows cannot be unregistered.
    if (!entry || entry->windowClass.hInstance != instance || entry->windowCount > 0) {
        return FALSE;
    }
    layer.classes.erase(layer.classes.begin() + (entry - layer.classes.data()));
    return TRUE;
}

BOOL WINAPI AdjustWindowRectEx(RECT* rect, DWORD, BOOL, DWORD) {
    // The window manager draws frame and caption outside the client area,
    // so the outer size asked of SDL is the client size.
    return rect ? TRUE : FALSE;
}

HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style,
                            int x, int y, int width, int height, HWND parent, HMENU, HINSTANCE,
                            LPVOID) {
    RegisteredClass* windowClass = className ? FindClass(className) : nullptr;
    if (!windowClass || parent) {
        return nullptr;  // unknown class; child windows are not offered
    }
    if (!EnsureVideo()) {
        fprintf(stderr, "No window can be made: %s.\n", SDL_GetError());
        return nullptr;
    }

    HWND__* window = new HWND__();
    window->className = windowClass->name;
    window->title = windowName ? windowName : "";
    window->windowProc = windowClass->windowClass.lpfnWndProc;
    window->style = style;
    window->exStyle = exStyle;
    window->x = x;
    window->y = y;
    window->width = width;
    window->height = height;
    window->deviceContext.window = window;
    // Until a pixel format is set the window carries the GL attributes of
    // the first format offered; SetPixelFormat remakes it for another.
    if (!CreateSdlWindow(window, 1)) {
        fprintf(stderr, "No window can be made: %s\n", SDL_GetError());
        delete window;
        return nullptr;
    }
    layer.windows.push_back(window);
    ++windowClass->windowCount;

    // What Windows sends from inside window creation.
    if (!SendToWindow(window, WM_NCCREATE, 0, 0) || SendToWindow(window, WM_CREATE, 0, 0) == -1) {
        DestroyWindow(window);
        return nullptr;
    }
    SendToWindow(window, WM_SIZE, SIZE_RESTORED, MAKELONG(width, height));
    SendToWindow(window, WM_MOVE, 0, MAKELONG(x, y));
    return window;
}

BOOL WINAPI DestroyWindow(HWND handle) {
    HWND__* window = FindLiveWindow(handle);
    if (!window) {
        return FALSE;
    }
    if (window->isVisible) {
        SendToWindow(window, WM_SHOWWINDOW, FALSE, 0);
    }
    DeactivateWindow(window);
    SendToWindow(window, WM_DESTROY, 0, 0);
    SendToWindow(window, WM_NCDESTROY, 0, 0);

    DropMessagesOf(window);
    // A context still current on this window's surface must not outlive it.
    if (SDL_GL_GetCurrentWindow() == window->sdlWindow) {
        SDL_GL_MakeCurrent(nullptr, nullptr);
    }
    SDL_DestroyWindow(window->sdlWindow);
    layer.windows.erase(std::find(layer.windows.begin(), layer.windows.end(), window));
    if (RegisteredClass* windowClass = FindClass(window->className.c_str())) {
        --windowClass->windowCount;
    }
    delete window;
    return TRUE;
}

BOOL WINAPI ShowWindow(HWND handle, int command) {
    HWND__* window = FindLiveWindow(handle);
    if (!window) {
        return FALSE;
    }
    BOOL wasVisible = window->isVisible ? TRUE : FALSE;
    if (command == SW_HIDE) {
        if (window->isVisible) {
            SendToWindow(window, WM_SHOWWINDOW, FALSE, 0);
            SDL_HideWindow(window->sdlWindow);
            window->isVisible = false;
            DeactivateWindow(window);
        }
        return wasVisible;
    }
    if (!window->isVisible) {
        SendToWindow(window, WM_SHOWWINDOW, TRUE, 0);
        ApplyFullscreenMode(window);
        SDL_ShowWindow(window->sdlWindow);
        window->isVisible = true;
    }
    if (command == SW_MINIMIZE || command == SW_SHOWMINIMIZED) {
        SDL_MinimizeWindow(window->sdlWindow);
    } else if (command == SW_SHOWMAXIMIZED) {
        SDL_MaximizeWindow(window->sdlWindow);
    } else if (command == SW_RESTORE) {
        SDL_RestoreWindow(window->sdlWindow);
    }
    if (command != SW_MINIMIZE && command != SW_SHOWMINIMIZED) {
        ActivateWindow(window);  // the showing commands activate the window
    }
    return wasVisible;
}

BOOL WINAPI SetForegroundWindow(HWND handle) {
    HWND__* window = FindLiveWindow(handle);
    if (!window) {
        return FALSE;
    }
    SDL_RaiseWindow(window->sdlWindow);
    ActivateWindow(window);
    return TRUE;
}

HWND WINAPI SetFocus(HWND handle) {
    HWND__* previous = layer.focusWindow;
    HWND__* window = FindLiveWindow(handle);
    if (!window) {
        return nullptr;
    }
    // Input focus goes to the window itself, also where no window manager
    // hands it over.
    if (window->isVisible) {
        SDL_SetWindowInputFocus(window->sdlWindow);
    }
    ActivateWindow(window);
    return previous;
}

BOOL WINAPI PeekMessageA(MSG* msg, HWND window, UINT filterMin, UINT filterMax, UINT removeMsg) {
    if (!msg) {
        return FALSE;
    }
    PumpEvents();
    auto& queue = layer.postedMessages;
    for (auto it = queue.begin(); it != queue.end(); ++it) {
        if (MatchesFilter(*it, window, filterMin, filterMax)) {
            *msg = *it;
            if (removeMsg & PM_REMOVE) {
                queue.erase(it);
            }
            return TRUE;
        }
    }
    bool isQuitWanted = (filterMin == 0 && filterMax == 0) || (WM_QUIT >= filterMin && WM_QUIT <= filterMax);
    if (layer.isQuitPosted && isQuitWanted) {
        *msg = MSG();
        msg->message = WM_QUIT;
        msg->wParam = static_cast<WPARAM>(layer.quitCode);
        msg->time = SDL_GetTicks();
        if (removeMsg & PM_REMOVE) {
            layer.isQuitPosted = false;
        }
        return TRUE;
    }
    return FALSE;
}

BOOL WINAPI TranslateMessage(const MSG* msg) {
    if (!msg || (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN)) {
        return FALSE;
    }
    char character = CharacterOf(msg->wParam);
    if (character == 0) {
        return FALSE;
    }
    MSG charMsg = *msg;
    charMsg.message = msg->message == WM_KEYDOWN ? WM_CHAR : WM_SYSCHAR;
    charMsg.wParam = static_cast<unsigned char>(character);
    // The character comes next, ahead of later input.
    layer.postedMessages.push_front(charMsg);
    return TRUE;
}

LRESULT WINAPI DispatchMessageA(const MSG* msg) {
    if (!msg) {
        return 0;
    }
    HWND__* window = FindLiveWindow(msg->hwnd);
    if (!window) {
        return 0;
    }
    return SendToWindow(window, msg->message, msg->wParam, msg->lParam);
}

LRESULT WINAPI DefWindowProcA(HWND handle, UINT message, WPARAM wParam, LPARAM) {
    HWND__* window = FindLiveWindow(handle);
    if (!window) {
        return 0;
    }
    switch (message) {
        case WM_NCCREATE:
            return TRUE;
        case WM_CLOSE:
            DestroyWindow(window);
            return 0;
        case WM_SYSKEYDOWN:
            if (wParam == VK_F4 && (SDL_GetModState() & KMOD_ALT)) {
                SendToWindow(window, WM_SYSCOMMAND, SC_CLOSE, 0);
            }
            return 0;
        case WM_SYSCOMMAND:
            switch (wParam & 0xFFF0) {
                case SC_CLOSE:
                    SendToWindow(window, WM_CLOSE, 0, 0);
                    break;
                case SC_MINIMIZE:
                    SDL_MinimizeWindow(window->sdlWindow);
                    break;
                case SC_MAXIMIZE:
                    SDL_MaximizeWindow(window->sdlWindow);
                    break;
                case SC_RESTORE:
                    SDL_RestoreWindow(window->sdlWindow);
                    break;
                default:
                    // SC_SCREENSAVE, SC_MONITORPOWER: the screen saver is
                    // kept off while the layer runs.
                    break;
            }
            return 0;
        default:
            return 0;
    }
}

void WINAPI PostQuitMessage(int exitCode) {
    layer.isQuitPosted = true;
    layer.quitCode = exitCode;
}

void platform::ShutdownPlatform() {
    while (!layer.contexts.empty()) {
        wglDeleteContext(layer.contexts.back());
    }
    while (!layer.windows.empty()) {
        DestroyWindow(layer.windows.back());
    }
    layer.classes.clear();
    layer.postedMessages.clear();
    // SDL itself stays up until the process ends; destroying the windows
    // has given back the desktop's mode. Quitting SDL would close the
    // display and unload the GL driver and libdbus, whose process-long
    // allocations would then be reported as leaks of an unknown module.
}
