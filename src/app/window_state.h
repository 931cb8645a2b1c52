// The application shell: the render window with its display mode, pixel
// format and rendering context, the window procedure with the key table, and
// the entry point with the message and frame loop.
#pragma once

#include <cstdint>

#include "platform/win32_api.h"

// 256 one-byte flags indexed by virtual-key code; true while the key is held.
typedef bool KeyTable[256];
static_assert(sizeof(KeyTable) == 256, "one byte per key");

struct WindowStateRecord {
    HINSTANCE instanceHandle;  // instance under which the class "OpenGL" is registered
    HWND windowHandle;         // the render window
    HDC deviceContext;         // its device context; frames are presented through it
    HGLRC renderContext;       // the OpenGL context, current while the window is open
    bool isActive;             // frames are drawn; false while minimized
    bool isFullscreen;         // fullscreen requested or in force
    KeyTable keyDown;
    // An entry becomes true with every key-down message of its key and stays
    // so through the key-up, until the loop's idle pass takes it (it takes
    // Esc and F1): a tap whose key-down and key-up were both taken since the
    // last idle pass still counts as down in the next one.
    KeyTable keyPressed;
    PIXELFORMATDESCRIPTOR pixelFormatDesc;  // the one pixel-format request of the process
    POINT dragPoint;  // where a drag's last message had the pointer, in client pixels
};

// The one process-wide window state.
extern WindowStateRecord WindowState;

// Whether a build has filled the variable part of WindowState.pixelFormatDesc;
// it is filled once per process and reused unchanged by every later build.
extern bool isPixelFormatFilled;

// Builds the render window (fullscreen or windowed) with a current rendering
// context, sizes the view and initialises the scene. False after showing the
// failure's message box; from window creation on, everything built is torn
// down before the box is shown.
bool OpenRenderWindow(const char* title, int32_t width, int32_t height, int32_t colorBits,
                      bool wantFullscreen);

// Releases whatever WindowState holds, in reverse order of the build, and
// restores the display mode after fullscreen. A failed release shows its
// message box and the teardown goes on.
void CloseRenderWindow();

// The window procedure of the class "OpenGL".
LRESULT CALLBACK RenderWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
