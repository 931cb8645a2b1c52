// Internals of the Win32 subset over SDL2, shared by its sources. Outside
// src/platform/ only the tests of this layer and the viewer benchmark include
// it (for the layer's state).
#pragma once

#include <SDL.h>

#include <vector>

#include "platform/host_layer.h"
#include "platform/window_manager.h"

// A window's SDL side.
struct NativeWindow {
    SDL_Window* sdlWindow;
    Uint32 sdlWindowId;
    int sdlPixelFormat;  // the format whose GL attributes the SDL window was made with
    bool isFullscreen;
    bool isFocusPending;  // SetFocus came before X could give the focus
};

struct HGLRC__ {
    SDL_GLContext context;
    int pixelFormat;
};

namespace platform {

// State of the layer besides the windows; one thread.
struct LayerState {
    bool isVideoReady;
    std::vector<HGLRC__*> contexts; // live rendering contexts
    int cursorCount;                 // ShowCursor's display counter; shown while >= 0
    bool isFullscreenModeSet;        // ChangeDisplaySettingsA accepted a fullscreen mode
    SDL_DisplayMode fullscreenMode;  // ... this one
    Uint32 mouseButtons;             // SDL's button mask after the last button event taken
};

extern LayerState layer;

// Initialises SDL's video subsystem on first use; false where no display can
// be opened (SDL_GetError() says why).
bool EnsureVideo();

HWND__* FindWindowBySdlId(Uint32 sdlWindowId);

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


}  // namespace platform
