// Internals of the Win32 subset over SDL2, shared by its sources. Outside
// src/platform/ only the tests of this layer and the viewer benchmark include
// it (for ShutdownPlatform and the layer's state).
#pragma once

#include <SDL.h>

#include <deque>
#include <string>
#include <vector>

#include "platform/win32_api.h"

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
    SDL_Window* sdlWindow;
    Uint32 sdlWindowId;
    std::string className;
    std::string title;
    WNDPROC windowProc;
    DWORD style;
    DWORD exStyle;
    int x, y;           // top-left corner of the window on the screen
    int width, height;  // client size
    HDC__ deviceContext;  // the window's own device context
    int pixelFormat;      // index set by SetPixelFormat; 0 while none is set
    int sdlPixelFormat;   // the format whose GL attributes the SDL window was made with
    bool isVisible;
    bool isMinimized;
    bool isFullscreen;
};

struct HGLRC__ {
    SDL_GLContext context;
    int pixelFormat;
};

// A pixel format the layer offers: RGBA in the display's colour depth.
struct PlatformPixelFormat {
    bool isDoubleBuffered;
    int depthBits;  // the least depth the GL visual is asked for
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

// State of the layer; one thread, as with the Win32 window manager.
struct LayerState {
    bool isVideoReady;
    HINSTANCE__ moduleInstance;      // the handle GetModuleHandleA(NULL) gives
    HICON__ stockIcons[2];           // [0] icons, [1] cursors: handles only, never drawn
    std::vector<RegisteredClass> classes;
    ATOM nextAtom = 0xC000;          // the next class atom; they start here on Windows
    std::vector<HWND__*> windows;   // live windows, in creation order
    std::vector<HGLRC__*> contexts; // live rendering contexts
    HWND__* activeWindow;
    HWND__* focusWindow;
    std::deque<MSG> postedMessages;
    bool isQuitPosted;
    int quitCode;
    int cursorCount;                 // ShowCursor's display counter; shown while >= 0
    bool isFullscreenModeSet;        // ChangeDisplaySettingsA accepted a fullscreen mode
    SDL_DisplayMode fullscreenMode;  // ... this one
};

extern LayerState layer;

// Initialises SDL's video subsystem on first use; false where no display can
// be opened (SDL_GetError() says why).
bool EnsureVideo();

HWND__* FindLiveWindow(HWND window);
HWND__* FindWindowBySdlId(Uint32 sdlWindowId);
HDC__* FindDeviceContext(HDC dc);

// Calls the window's procedure at once, as Win32 does for sent messages.
LRESULT SendToWindow(HWND__* window, UINT message, WPARAM wParam, LPARAM lParam);

// Sets SDL's GL attributes for a pixel format: for the visual of a window
// made next, and for a context made next (a compatibility context, so that
// OpenGL 1.1's immediate mode is there).
void SetGlAttributes(const PlatformPixelFormat& format);

// (Re)creates the window's SDL window, hidden, with the GL attributes of the
// given pixel format; false when SDL refuses.
bool CreateSdlWindow(HWND__* window, int pixelFormat);

// Puts a shown popup window into the fullscreen mode that
// ChangeDisplaySettingsA accepted, when it has that mode's size at 0,0.
void ApplyFullscreenMode(HWND__* window);

// Gives the window keyboard activation: WM_ACTIVATE and WM_SETFOCUS, and
// deactivation of the window that had it.
void ActivateWindow(HWND__* window);
void DeactivateWindow(HWND__* window);

// A message box's text as SDL's box shows it: MessageBox wraps long lines
// to fit the screen, while SDL's box is as wide as its longest line and as
// tall as its lines. Lines are wrapped at blanks to at most MaxBoxColumns
// characters (a longer word is broken where it reaches that), and at most
// MaxBoxLines are kept, the last ending in "..." where text is left out.
constexpr size_t MaxBoxColumns = 72;
constexpr size_t MaxBoxLines = 20;
std::string FitBoxText(const std::string& text);

// Virtual-key code of an SDL key, 0 for keys without one.
int VirtualKeyOf(const SDL_Keysym& key);

// Releases every window, context and class still held; for the end of the
// process.
void ShutdownPlatform();

}  // namespace platform
