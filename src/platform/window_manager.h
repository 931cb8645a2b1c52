// The part of the Win32 USER subset that is the same over every host:
// window classes, windows and their messages, activation, the message queue
// and the default window procedure. Each host layer (sdl/ on Linux, web/ in
// the browser) supplies the native window behind each HWND (host_layer.h)
// and turns its host's events into messages with the helpers below.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "platform/win32_api.h"

// The layer's own part of a window, defined by each layer.
struct NativeWindow;

struct HINSTANCE__ {
    int unused;
};

// Stock icons and cursors: one object per resource number.
struct HICON__ {
    int resourceId;
};

struct HDC__ {
    HWND__* window;
};

struct HWND__ {
    std::string className;
    std::string title;
    WNDPROC windowProc;
    DWORD style;
    DWORD exStyle;
    int x, y;           // top-left corner of the window on the screen
    int width, height;  // client size
    HDC__ deviceContext;  // the window's own device context
    int pixelFormat;      // index set by SetPixelFormat; 0 while none is set
    bool isVisible;
    bool isMinimized;
    NativeWindow* native;  // made by CreateNativeWindow
};

// A pixel format a layer offers, RGBA in the display's colour depth; each
// layer has its table, in order of preference.
struct PlatformPixelFormat {
    bool isDoubleBuffered;
    int depthBits;  // the least depth the GL surface is asked for
};

namespace platform {

extern const PlatformPixelFormat pixelFormats[];
extern const int pixelFormatCount;

// A window class as RegisterClassA took it.
struct RegisteredClass {
    std::string name;  // as registered; looked up without regard to case
    WNDCLASSA windowClass;
    ATOM atom;
    int windowCount;
};

// Windows and messages; one thread, as with the Win32 window manager.
struct WindowManagerState {
    HINSTANCE__ moduleInstance;      // the handle GetModuleHandleA(NULL) gives
    HICON__ stockIcons[2];           // [0] icons, [1] cursors: handles only, never drawn
    std::vector<RegisteredClass> classes;
    ATOM nextAtom = 0xC000;          // the next class atom; they start here on Windows
    std::vector<HWND__*> windows;   // live windows, in creation order
    HWND__* activeWindow;
    HWND__* focusWindow;
    HWND__* captureWindow;           // SetCapture's window; null while none has the mouse
    std::deque<MSG> postedMessages;
    bool isQuitPosted;
    int quitCode;
};

extern WindowManagerState windowManager;

HWND__* FindLiveWindow(HWND window);
HDC__* FindDeviceContext(HDC dc);
// The window of a device context whose pixel format is set: the one a new
// rendering context is made for; null otherwise.
HWND__* FindFormattedWindow(HDC dc);

// Calls the window's procedure at once, as Win32 does for sent messages.
LRESULT SendToWindow(HWND__* window, UINT message, WPARAM wParam, LPARAM lParam);
void PostToWindow(HWND__* window, UINT message, WPARAM wParam, LPARAM lParam);

// Gives the window keyboard activation: WM_ACTIVATE and WM_SETFOCUS, and
// deactivation of the window that had it.
void ActivateWindow(HWND__* window);
void DeactivateWindow(HWND__* window);

// What the host reports, as Windows reports it to the window.
void PostKeyMessage(HWND__* window, int virtualKey, int scanCode, bool isUp, bool isRepeat, bool isAltHeld);
void NoteMinimized(HWND__* window);
void NoteRestored(HWND__* window);
void NoteClientSize(HWND__* window, int width, int height);
void NoteMoved(HWND__* window, int x, int y);
void NoteCloseRequested(HWND__* window);  // the close box
// A mouse message (WM_MOUSEMOVE, a button's, WM_MOUSEWHEEL) for the window
// the pointer is over; the capturing window takes it instead while there is
// one, with the position made relative to it. Button and move messages take
// client coordinates, the wheel's screen coordinates.
void PostMouseMessage(HWND__* window, UINT message, WPARAM wParam, int x, int y);

// Destroys every window still there and forgets classes and messages.
void ShutdownWindowManager();

}  // namespace platform
