// Pixel formats, rendering contexts (WebGL 1 under Emscripten's OpenGL 1.1
// emulation), presenting, the display mode (the browser's fullscreen) and
// the cursor.
#include <algorithm>
#include <cstddef>

#include "platform/web/web_platform.h"

namespace platform {

// WebGL draws into a buffer the browser presents, as a double-buffered
// format does, with a depth buffer of at least 16 bits.
const PlatformPixelFormat pixelFormats[] = {
    {true, 16},
};
const int pixelFormatCount = sizeof(pixelFormats) / sizeof(pixelFormats[0]);

namespace {

// OpenGL calls made while no context is current do nothing on Windows (a
// window's first WM_SIZE comes before its context). WebGL has no such
// state: they go to the context of a canvas that is never shown, or, where
// the browser gives no WebGL, to a context that does nothing.
EMSCRIPTEN_WEBGL_CONTEXT_HANDLE placeholderContext = 0;

HGLRC__* FindContext(HGLRC context) {
    auto it = std::find(layer.contexts.begin(), layer.contexts.end(), context);
    return it == layer.contexts.end() ? nullptr : *it;
}

EmscriptenWebGLContextAttributes ContextAttributes() {
    EmscriptenWebGLContextAttributes attributes;
    emscripten_webgl_init_context_attributes(&attributes);
    attributes.alpha = EM_FALSE;  // no alpha buffer: the page shows the colour alone
    attributes.depth = EM_TRUE;
    attributes.stencil = EM_FALSE;
    attributes.antialias = EM_FALSE;
    attributes.preserveDrawingBuffer = EM_FALSE;  // each frame is drawn whole
    attributes.failIfMajorPerformanceCaveat = EM_FALSE;  // a software renderer will do
    attributes.majorVersion = 1;
    attributes.minorVersion = 0;
    return attributes;
}

}  // namespace

void EnsurePlaceholder() {
    if (placeholderContext > 0) return;
    const int placeholderElement = 0;
    EmscriptenWebGLContextAttributes attributes = ContextAttributes();
    if (!WebCreateWindowElement(placeholderElement, "", 1, 1, 1)) return;
    placeholderContext = emscripten_webgl_create_context("#polyview-canvas-0", &attributes);
    if (placeholderContext <= 0) placeholderContext = WebCreateInertContext();
    if (placeholderContext <= 0 || layer.currentContext) return;
    if (emscripten_webgl_make_context_current(placeholderContext) == EMSCRIPTEN_RESULT_SUCCESS)
        WebStartGlEmulation();
}

void MakeNoContextCurrent() {
    layer.currentContext = nullptr;
    if (placeholderContext > 0)
        emscripten_webgl_make_context_current(placeholderContext);
    else
        EnsurePlaceholder();
}

// A canvas takes any format: the context is made with its attributes.
bool PrepareNativePixelFormat(HWND__*, int) {
    return true;
}

void ReleasePlaceholder() {
    if (placeholderContext <= 0) return;
    layer.currentContext = nullptr;
    emscripten_webgl_make_context_current(0);
    WebLoseContext(placeholderContext);
    emscripten_webgl_destroy_context(placeholderContext);
    placeholderContext = 0;
    WebRemoveWindowElement(0);
}

}  // namespace platform

using namespace platform;

HGLRC WINAPI wglCreateContext(HDC dc) {
    HWND__* window = FindFormattedWindow(dc);
    if (!window) return nullptr;
    EmscriptenWebGLContextAttributes attributes = ContextAttributes();
    EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context =
        emscripten_webgl_create_context(window->native->canvas.c_str(), &attributes);
    if (context <= 0) {
        return nullptr;
    }
    HGLRC__* handle = new HGLRC__{context, window};
    layer.contexts.push_back(handle);
    return handle;
}

BOOL WINAPI wglMakeCurrent(HDC dc, HGLRC handle) {
    if (!handle) {
        MakeNoContextCurrent();
        return TRUE;
    }
    HGLRC__* context = FindContext(handle);
    HDC__* deviceContext = FindDeviceContext(dc);
    // A WebGL context draws to its own canvas only.
    if (!context || !deviceContext || deviceContext->window != context->window) {
        return FALSE;
    }
    if (emscripten_webgl_make_context_current(context->context) != EMSCRIPTEN_RESULT_SUCCESS) {
        return FALSE;
    }
    if (layer.currentContext != context) {
        // The emulation keeps one set of fixed-function state and starts it
        // afresh for the context made current: the state of a context made
        // current again is not kept (the viewer has one at a time).
        layer.currentContext = context;
        WebStartGlEmulation();
    }
    return TRUE;
}

BOOL WINAPI wglDeleteContext(HGLRC handle) {
    HGLRC__* context = FindContext(handle);
    if (!context) {
        return FALSE;
    }
    if (layer.currentContext == context) {
        MakeNoContextCurrent();
    }
    // The browser would keep the context's textures and buffers until the
    // canvas is collected; losing it gives them back now.
    WebLoseContext(context->context);
    emscripten_webgl_destroy_context(context->context);
    layer.contexts.erase(std::find(layer.contexts.begin(), layer.contexts.end(), context));
    delete context;
    return TRUE;
}

BOOL WINAPI SwapBuffers(HDC dc) {
    if (!FindDeviceContext(dc)) {
        return FALSE;
    }
    // The browser presents the frame once the program yields to it.
    WebNoteFramePresented();
    return TRUE;
}

LONG WINAPI ChangeDisplaySettingsA(DEVMODEA* devMode, DWORD) {
    if (!devMode) {
        // Back to the page.
        if (layer.isFullscreenModeSet) {
            layer.isFullscreenModeSet = false;
            WebLeaveFullscreen();
        }
        return DISP_CHANGE_SUCCESSFUL;
    }
    if (devMode->dmSize < offsetof(DEVMODEA, dmDisplayFrequency)) {
        return DISP_CHANGE_FAILED;
    }
    // The browser shows the page's screen element fullscreen and scales the
    // window's picture to it; size and depth stay the display's own. Only a
    // request that comes from the user's own answer or key press is granted.
    if (!WebEnterFullscreen()) {
        return DISP_CHANGE_FAILED;
    }
    layer.isFullscreenModeSet = true;
    return DISP_CHANGE_SUCCESSFUL;
}

int WINAPI ShowCursor(BOOL show) {
    layer.cursorCount += show ? 1 : -1;
    WebShowCursor(layer.cursorCount >= 0);
    return layer.cursorCount;
}
