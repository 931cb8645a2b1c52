// Window classes, windows, activation, the message queue, device contexts,
// pixel formats and the wide message box: the Win32 subset's
// host-independent part.
#include "platform/window_manager.h"

#include "platform/host_layer.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "platform/utf.h"

namespace platform {

WindowManagerState windowManager = {};

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
    for (RegisteredClass& c : windowManager.classes) {
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
    auto& queue = windowManager.postedMessages;
    queue.erase(std::remove_if(queue.begin(), queue.end(),
                               [window](const MSG& m) { return m.hwnd == window; }),
                queue.end());
}

LPARAM ClientSizeParam(const HWND__* window) {
    return MAKELONG(window->width, window->height);
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
    int modifiers = CurrentKeyModifiers();
    bool isShifted = (modifiers & KeyModifierShift) != 0;
    bool isCapsLock = (modifiers & KeyModifierCapsLock) != 0;
    if (vk >= 'A' && vk <= 'Z') {
        return static_cast<char>((isShifted != isCapsLock) ? vk : vk - 'A' + 'a');
    }
    if ((vk >= '0' && vk <= '9') || vk == VK_SPACE || vk == VK_RETURN || vk == VK_ESCAPE ||
        vk == VK_BACK || vk == VK_TAB) {
        return static_cast<char>(vk);
    }
    return 0;
}

// The first waiting message that passes the filter, or the quit message
// once the queue has none.
BOOL TakeMessage(MSG* msg, HWND window, UINT filterMin, UINT filterMax, UINT removeMsg) {
    auto& queue = windowManager.postedMessages;
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
    if (windowManager.isQuitPosted && isQuitWanted) {
        *msg = MSG();
        msg->message = WM_QUIT;
        msg->wParam = static_cast<WPARAM>(windowManager.quitCode);
        msg->time = MessageTime();
        if (removeMsg & PM_REMOVE) {
            windowManager.isQuitPosted = false;
        }
        return TRUE;
    }
    return FALSE;
}

}  // namespace

HWND__* FindLiveWindow(HWND window) {
    if (!window) {
        return nullptr;
    }
    for (HWND__* w : windowManager.windows) {
        if (w == window) {
            return w;
        }
    }
    return nullptr;
}

HDC__* FindDeviceContext(HDC dc) {
    for (HWND__* w : windowManager.windows) {
        if (&w->deviceContext == dc) {
            return dc;
        }
    }
    return nullptr;
}

HWND__* FindFormattedWindow(HDC dc) {
    HDC__* deviceContext = FindDeviceContext(dc);
    return deviceContext && deviceContext->window->pixelFormat != 0 ? deviceContext->window : nullptr;
}

LRESULT SendToWindow(HWND__* window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!FindLiveWindow(window) || !window->windowProc) {
        return 0;
    }
    return window->windowProc(window, message, wParam, lParam);
}

void PostToWindow(HWND__* window, UINT message, WPARAM wParam, LPARAM lParam) {
    MSG msg = {};
    msg.hwnd = window;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    msg.time = MessageTime();
    windowManager.postedMessages.push_back(msg);
}

void ActivateWindow(HWND__* window) {
    if (windowManager.activeWindow != window) {
        if (windowManager.activeWindow) {
            DeactivateWindow(windowManager.activeWindow);
        }
        windowManager.activeWindow = window;
        SendToWindow(window, WM_ACTIVATE, MAKELONG(WA_ACTIVE, window->isMinimized ? 1 : 0), 0);
    }
    if (windowManager.focusWindow != window) {
        windowManager.focusWindow = window;
        SendToWindow(window, WM_SETFOCUS, 0, 0);
    }
}

void DeactivateWindow(HWND__* window) {
    if (windowManager.activeWindow == window) {
        windowManager.activeWindow = nullptr;
        SendToWindow(window, WM_ACTIVATE, MAKELONG(WA_INACTIVE, window->isMinimized ? 1 : 0), 0);
    }
    if (windowManager.focusWindow == window) {
        windowManager.focusWindow = nullptr;
        SendToWindow(window, WM_KILLFOCUS, 0, 0);
    }
}

void PostKeyMessage(HWND__* window, int virtualKey, int scanCode, bool isUp, bool isRepeat, bool isAltHeld) {
    // Alt combinations, Alt itself and F10 are system keys on Windows.
    bool isSystemKey = isAltHeld || virtualKey == VK_MENU || virtualKey == VK_F10;
    UINT message = isSystemKey ? (isUp ? WM_SYSKEYUP : WM_SYSKEYDOWN) : (isUp ? WM_KEYUP : WM_KEYDOWN);
    uint32_t bits = 1;  // repeat count
    bits |= (static_cast<uint32_t>(scanCode) & 0xFF) << 16;
    if (isAltHeld) {
        bits |= 1u << 29;  // context code
    }
    if (isUp || isRepeat) {
        bits |= 1u << 30;  // key was down before
    }
    if (isUp) {
        bits |= 1u << 31;  // transition: released
    }
    PostToWindow(window, message, static_cast<WPARAM>(virtualKey), static_cast<LPARAM>(bits));
}

void NoteMinimized(HWND__* window) {
    if (!window->isMinimized) {
        window->isMinimized = true;
        SendToWindow(window, WM_ACTIVATE, MAKELONG(WA_INACTIVE, 1), 0);
        SendToWindow(window, WM_SIZE, SIZE_MINIMIZED, 0);
    }
}

void NoteRestored(HWND__* window) {
    if (window->isMinimized) {
        window->isMinimized = false;
        SendToWindow(window, WM_SIZE, SIZE_RESTORED, ClientSizeParam(window));
        SendToWindow(window, WM_ACTIVATE, MAKELONG(WA_ACTIVE, 0), 0);
    }
}

void NoteClientSize(HWND__* window, int width, int height) {
    if (!window->isMinimized && (width != window->width || height != window->height)) {
        window->width = width;
        window->height = height;
        SendToWindow(window, WM_SIZE, SIZE_RESTORED, ClientSizeParam(window));
    }
}

void NoteMoved(HWND__* window, int x, int y) {
    if (x != window->x || y != window->y) {
        window->x = x;
        window->y = y;
        SendToWindow(window, WM_MOVE, 0, MAKELONG(window->x, window->y));
    }
}

void NoteCloseRequested(HWND__* window) {
    // Windows turns the close box into the system command, whose default
    // handling sends WM_CLOSE.
    PostToWindow(window, WM_SYSCOMMAND, SC_CLOSE, 0);
}

void PostMouseMessage(HWND__* window, UINT message, WPARAM wParam, int x, int y) {
    HWND__* capture = windowManager.captureWindow;
    if (capture && capture != window && message != WM_MOUSEWHEEL) {
        if (window) {
            x += window->x - capture->x;
            y += window->y - capture->y;
        }
        window = capture;
    }
    if (!window) {
        return;
    }
    PostToWindow(window, message, wParam, MAKELPARAM(x, y));
}

void ShutdownWindowManager() {
    while (!windowManager.windows.empty()) {
        DestroyWindow(windowManager.windows.back());
    }
    windowManager.classes.clear();
    windowManager.postedMessages.clear();
}

}  // namespace platform

using namespace platform;

HMODULE WINAPI GetModuleHandleA(LPCSTR moduleName) {
    // Only the program's own module is known.
    return moduleName ? nullptr : &windowManager.moduleInstance;
}

HICON WINAPI LoadIconA(HINSTANCE instance, LPCSTR iconName) {
    if (instance || !IsIntResource(iconName)) {
        return nullptr;  // no resources beyond the stock ones
    }
    windowManager.stockIcons[0].resourceId = static_cast<int>(reinterpret_cast<uintptr_t>(iconName));
    return &windowManager.stockIcons[0];
}

HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR cursorName) {
    if (instance || !IsIntResource(cursorName)) {
        return nullptr;
    }
    windowManager.stockIcons[1].resourceId = static_cast<int>(reinterpret_cast<uintptr_t>(cursorName));
    return &windowManager.stockIcons[1];
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
    entry.atom = windowManager.nextAtom++;
    entry.windowCount = 0;
    windowManager.classes.push_back(entry);
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
    windowManager.classes.erase(windowManager.classes.begin() + (entry - windowManager.classes.data()));
    return TRUE;
}

BOOL WINAPI AdjustWindowRectEx(RECT* rect, DWORD, BOOL, DWORD) {
    // The host draws frame and caption outside the client area, so the
    // outer size asked of it is the client size.
    return rect ? TRUE : FALSE;
}

HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style,
                            int x, int y, int width, int height, HWND parent, HMENU, HINSTANCE,
                            LPVOID) {
    RegisteredClass* windowClass = className ? FindClass(className) : nullptr;
    if (!windowClass || parent) {
        return nullptr;  // unknown class; child windows are not offered
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
    if (!CreateNativeWindow(window)) {
        delete window;
        return nullptr;
    }
    windowManager.windows.push_back(window);
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
    if (windowManager.captureWindow == window) {
        ReleaseCapture();
    }
    if (window->isVisible) {
        SendToWindow(window, WM_SHOWWINDOW, FALSE, 0);
    }
    DeactivateWindow(window);
    SendToWindow(window, WM_DESTROY, 0, 0);
    SendToWindow(window, WM_NCDESTROY, 0, 0);

    DropMessagesOf(window);
    DestroyNativeWindow(window);
    windowManager.windows.erase(std::find(windowManager.windows.begin(), windowManager.windows.end(), window));
    if (RegisteredClass* windowClass = FindClass(window->className.c_str())) {
        --windowClass->windowCount;
    }
    delete window;
    return TRUE;
}

BOOL WINAPI SetWindowTextA(HWND handle, LPCSTR text) {
    HWND__* window = FindLiveWindow(handle);
    if (!window) {
        return FALSE;
    }
    window->title = text ? text : "";
    SetNativeWindowTitle(window);
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
            ShowNativeWindow(window, false);
            window->isVisible = false;
            DeactivateWindow(window);
        }
        return wasVisible;
    }
    if (!window->isVisible) {
        SendToWindow(window, WM_SHOWWINDOW, TRUE, 0);
        ShowNativeWindow(window, true);
        window->isVisible = true;
    }
    if (command == SW_MINIMIZE || command == SW_SHOWMINIMIZED || command == SW_SHOWMAXIMIZED ||
        command == SW_RESTORE) {
        ChangeNativeWindowState(window, command);
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
    RaiseNativeWindow(window);
    ActivateWindow(window);
    return TRUE;
}

HWND WINAPI SetFocus(HWND handle) {
    HWND__* previous = windowManager.focusWindow;
    HWND__* window = FindLiveWindow(handle);
    if (!window) {
        return nullptr;
    }
    // Input focus goes to the window itself, also where no window manager
    // hands it over.
    if (window->isVisible) {
        FocusNativeWindow(window);
    }
    ActivateWindow(window);
    return previous;
}

HWND WINAPI SetCapture(HWND handle) {
    HWND__* previous = windowManager.captureWindow;
    HWND__* window = FindLiveWindow(handle);
    if (!window || window == previous) {
        return previous;
    }
    windowManager.captureWindow = window;
    if (previous) {
        CaptureNativePointer(previous, false);
        SendToWindow(previous, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(window));
    }
    CaptureNativePointer(window, true);
    return previous;
}

BOOL WINAPI ReleaseCapture() {
    HWND__* window = windowManager.captureWindow;
    if (window) {
        windowManager.captureWindow = nullptr;
        CaptureNativePointer(window, false);
        SendToWindow(window, WM_CAPTURECHANGED, 0, 0);
    }
    return TRUE;
}

HWND WINAPI GetCapture() {
    return windowManager.captureWindow;
}

BOOL WINAPI PeekMessageA(MSG* msg, HWND window, UINT filterMin, UINT filterMax, UINT removeMsg) {
    if (!msg) {
        return FALSE;
    }
    PumpNativeEvents();
    if (TakeMessage(msg, window, filterMin, filterMax, removeMsg)) {
        return TRUE;
    }
    if (!YieldToHost()) {
        return FALSE;
    }
    PumpNativeEvents();
    return TakeMessage(msg, window, filterMin, filterMax, removeMsg);
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
    windowManager.postedMessages.push_front(charMsg);
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
            if (wParam == VK_F4 && (CurrentKeyModifiers() & KeyModifierAlt)) {
                SendToWindow(window, WM_SYSCOMMAND, SC_CLOSE, 0);
            }
            return 0;
        case WM_SYSCOMMAND:
            switch (wParam & 0xFFF0) {
                case SC_CLOSE:
                    SendToWindow(window, WM_CLOSE, 0, 0);
                    break;
                case SC_MINIMIZE:
                    ChangeNativeWindowState(window, SW_MINIMIZE);
                    break;
                case SC_MAXIMIZE:
                    ChangeNativeWindowState(window, SW_SHOWMAXIMIZED);
                    break;
                case SC_RESTORE:
                    ChangeNativeWindowState(window, SW_RESTORE);
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
    windowManager.isQuitPosted = true;
    windowManager.quitCode = exitCode;
}

HDC WINAPI GetDC(HWND handle) {
    HWND__* window = FindLiveWindow(handle);
    // Every window keeps one device context of its own (CS_OWNDC).
    return window ? &window->deviceContext : nullptr;
}

int WINAPI ReleaseDC(HWND handle, HDC dc) {
    HWND__* window = FindLiveWindow(handle);
    return (window && dc == &window->deviceContext) ? 1 : 0;
}

int WINAPI ChoosePixelFormat(HDC dc, const PIXELFORMATDESCRIPTOR* pfd) {
    if (!FindDeviceContext(dc) || !pfd || pfd->nSize != sizeof(PIXELFORMATDESCRIPTOR) ||
        pfd->nVersion != 1) {
        return 0;
    }
    // Only RGBA formats for OpenGL drawing into a window are offered.
    const DWORD required = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL;
    if ((pfd->dwFlags & required) != required || pfd->iPixelType != PFD_TYPE_RGBA) {
        return 0;
    }
    bool isDoubleBufferWanted = (pfd->dwFlags & PFD_DOUBLEBUFFER) != 0;
    bool isDoubleBufferFree = (pfd->dwFlags & PFD_DOUBLEBUFFER_DONTCARE) != 0;
    int depthWanted = (pfd->dwFlags & PFD_DEPTH_DONTCARE) ? 0 : pfd->cDepthBits;
    // The formats are in order of preference: the first that fits.
    for (int i = 0; i < pixelFormatCount; ++i) {
        const PlatformPixelFormat& format = pixelFormats[i];
        if ((isDoubleBufferFree || format.isDoubleBuffered == isDoubleBufferWanted) &&
            format.depthBits >= depthWanted) {
            return i + 1;
        }
    }
    return 0;
}

BOOL WINAPI SetPixelFormat(HDC dc, int format, const PIXELFORMATDESCRIPTOR*) {
    HDC__* deviceContext = FindDeviceContext(dc);
    if (!deviceContext || format < 1 || format > pixelFormatCount) {
        return FALSE;
    }
    HWND__* window = deviceContext->window;
    if (window->pixelFormat != 0) {
        return FALSE;  // a window's pixel format is set once
    }
    if (!PrepareNativePixelFormat(window, format)) {
        return FALSE;
    }
    window->pixelFormat = format;
    return TRUE;
}

int WINAPI MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
    // The layer's boxes take UTF-8, as the narrow calls' bytes are.
    std::string narrowText = text ? NarrowUtf16(text) : "", narrowCaption = caption ? NarrowUtf16(caption) : "";
    return MessageBoxA(owner, text ? narrowText.c_str() : nullptr, caption ? narrowCaption.c_str() : nullptr, type);
}
