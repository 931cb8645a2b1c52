// Internals of the Win32 subset over the browser (Emscripten's html5.h and
// the page functions of web_platform.js), shared by its sources.
//
// The page has one screen element (its fullscreen element) that holds the
// windows and the message boxes. Each window is an element there with a
// canvas of its own, so that every rendering context is a new WebGL context
// on a new canvas, as every build on Windows makes a new context.
#pragma once

#include <emscripten/html5.h>

#include <deque>
#include <string>
#include <vector>

#include "platform/host_layer.h"
#include "platform/window_manager.h"

// A window's page side.
struct NativeWindow {
    int elementId;          // the page's number for the window's element
    std::string canvas;     // CSS selector of its canvas, for html5.h
    std::string closeBox;   // ... and of its close box (windowed styles only)
};

struct HGLRC__ {
    EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context;
    HWND__* window;  // the window whose canvas the context draws to
};

namespace platform {

// What the page reported, kept until PeekMessageA turns it into messages:
// the html5.h callbacks only queue, so no window procedure runs inside them.
struct PageEvent {
    enum Kind { Key, Focus, Blur, Hidden, Shown, FullscreenLeft, CloseBox, Mouse } kind;
    int elementId;
    int virtualKey;
    int scanCode;                    // browsers give none: 0
    bool isUp;
    bool isRepeat;
    bool isAltHeld;
    // Mouse: the message, client coordinates, the left button and the wheel.
    unsigned message;
    int x, y;
    bool isButtonDown;
    int wheelDelta;
};

// State of the layer besides the windows; one thread.
struct LayerState {
    int nextElementId = 1;
    std::vector<HGLRC__*> contexts;  // live rendering contexts
    HGLRC__* currentContext;         // null while the placeholder is current
    int cursorCount;                 // ShowCursor's display counter; shown while >= 0
    bool isFullscreenModeSet;        // the page is fullscreen at ChangeDisplaySettingsA's request
    bool isPageHidden;
    int keyModifiers;                // KeyModifier flags of the latest key event
    std::deque<PageEvent> events;
};

extern LayerState layer;

HWND__* FindWindowByElement(int elementId);

// Virtual-key code of a browser key event, 0 for keys without one.
int VirtualKeyOf(const EmscriptenKeyboardEvent& key);

// Watches the page's visibility and fullscreen state; once, at start.
void StartPlatform();

// The placeholder context, made once and current while no context is:
// OpenGL calls made then do nothing visible.
void EnsurePlaceholder();
void MakeNoContextCurrent();
// Gives the placeholder context and its canvas back; at the end.
void ReleasePlaceholder();


}  // namespace platform

// The page side, in web_platform.js.
extern "C" {
// False when the page has no screen element to put the window in.
int WebCreateWindowElement(int elementId, const char* title, int width, int height, int isPopup);
void WebShowWindowElement(int elementId, int isShown);
// The title in the window's title bar (a popup has none) and the page's.
void WebSetWindowTitle(int elementId, const char* title);
void WebRemoveWindowElement(int elementId);
void WebFocusCanvas(int elementId);
void WebStartGlEmulation();
// A context that does nothing, for a browser without WebGL; it marks the
// browser as such for the page.
EMSCRIPTEN_WEBGL_CONTEXT_HANDLE WebCreateInertContext();
void WebLoseContext(EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context);
void WebNoteFramePresented();
int WebEnterFullscreen();  // waits for the browser's answer
void WebLeaveFullscreen();  // waits until the page has left fullscreen
void WebShowCursor(int isShown);
int WebWaitForAnimationFrame();  // true once the next frame has begun
int WebShowMessageBox(const char* text, const char* caption, unsigned type);  // waits for the answer
void WebReportExit(int status);
// The pointer on the window's picture as mouse messages (WebQueueMouseEvent).
void WebWatchPointer(int elementId, int isOn);
void WebCapturePointer(int elementId, int isCaptured);
}
