// Device contexts, pixel formats, rendering contexts, display modes and the
// cursor over SDL2's OpenGL windows.
#include <algorithm>

#include "platform/sdl/sdl_platform.h"

namespace platform {

// The formats every window offers, by index - 1. The colour depth is the
// display's own; depth bits are the least the GL visual is asked for.
const PlatformPixelFormat pixelFormats[] = {
    {true, 16},
    {true, 24},
    {false, 16},
    {false, 24},
};
const int pixelFormatCount = sizeof(pixelFormats) / sizeof(pixelFormats[0]);

void SetGlAttributes(const PlatformPixelFormat& format) {
    SDL_GL_ResetAttributes();
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, format.isDoubleBuffered ? 1 : 0);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, format.depthBits);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 1);
}

namespace {

HGLRC__* FindContext(HGLRC context) {
    auto it = std::find(layer.contexts.begin(), layer.contexts.end(), context);
    return it == layer.contexts.end() ? nullptr : *it;
}

}  // namespace

namespace {

// A popup of the accepted mode's size at 0,0 is shown fullscreen in it.
bool IsFullscreenCandidate(const HWND__* window) {
    const SDL_DisplayMode& mode = layer.fullscreenMode;
    return layer.isFullscreenModeSet && (window->style & WS_POPUP) && window->x == 0 && window->y == 0 &&
           window->width == mode.w && window->height == mode.h;
}

}  // namespace

void ApplyFullscreenMode(HWND__* window) {
    const SDL_DisplayMode& mode = layer.fullscreenMode;
    if (window->native->isFullscreen || !IsFullscreenCandidate(window)) {
        return;
    }
    if (SDL_SetWindowDisplayMode(window->native->sdlWindow, &mode) == 0 &&
        SDL_SetWindowFullscreen(window->native->sdlWindow, SDL_WINDOW_FULLSCREEN) == 0) {
        window->native->isFullscreen = true;
    }
}

bool PrepareNativePixelFormat(HWND__* window, int format) {
    // An X window's visual is fixed when it is made: remake the (still
    // hidden) SDL window when it was made for another format.
    if (window->native->sdlPixelFormat == format) return true;
    return !window->isVisible && CreateSdlWindow(window, format);
}

}  // namespace platform

using namespace platform;

HGLRC WINAPI wglCreateContext(HDC dc) {
    HWND__* window = FindFormattedWindow(dc);
    if (!window) {
        return nullptr;
    }
    SetGlAttributes(pixelFormats[window->pixelFormat - 1]);

    // SDL makes a new context current; wglCreateContext does not.
    SDL_Window* previousWindow = SDL_GL_GetCurrentWindow();
    SDL_GLContext previousContext = SDL_GL_GetCurrentContext();
    SDL_GLContext context = SDL_GL_CreateContext(window->native->sdlWindow);
    SDL_GL_MakeCurrent(previousContext ? previousWindow : nullptr, previousContext);
    if (!context) {
        return nullptr;
    }
    HGLRC__* handle = new HGLRC__{context, window->pixelFormat};
    layer.contexts.push_back(handle);
    return handle;
}

BOOL WINAPI wglMakeCurrent(HDC dc, HGLRC handle) {
    if (!handle) {
        return SDL_GL_MakeCurrent(nullptr, nullptr) == 0 ? TRUE : FALSE;
    }
    HGLRC__* context = FindContext(handle);
    HDC__* deviceContext = FindDeviceContext(dc);
    // The device context must carry the pixel format the context was made for.
    if (!context || !deviceContext || deviceContext->window->pixelFormat != context->pixelFormat) {
        return FALSE;
    }
    return SDL_GL_MakeCurrent(deviceContext->window->native->sdlWindow, context->context) == 0 ? TRUE : FALSE;
}

BOOL WINAPI wglDeleteContext(HGLRC handle) {
    HGLRC__* context = FindContext(handle);
    if (!context) {
        return FALSE;
    }
    if (SDL_GL_GetCurrentContext() == context->context) {
        SDL_GL_MakeCurrent(nullptr, nullptr);
    }
    SDL_GL_DeleteContext(context->context);
    layer.contexts.erase(std::find(layer.contexts.begin(), layer.contexts.end(), context));
    delete context;
    return TRUE;
}

BOOL WINAPI SwapBuffers(HDC dc) {
    HDC__* deviceContext = FindDeviceContext(dc);
    if (!deviceContext) {
        return FALSE;
    }
    SDL_GL_SwapWindow(deviceContext->window->native->sdlWindow);
    return TRUE;
}

LONG WINAPI ChangeDisplaySettingsA(DEVMODEA* devMode, DWORD) {
    if (!devMode) {
        // Back to the desktop's mode.
        layer.isFullscreenModeSet = false;
        for (HWND__* window : windowManager.windows) {
            if (window->native->isFullscreen) {
                SDL_SetWindowFullscreen(window->native->sdlWindow, 0);
                window->native->isFullscreen = false;
            }
        }
        return DISP_CHANGE_SUCCESSFUL;
    }
    if (devMode->dmSize < offsetof(DEVMODEA, dmDisplayFrequency) || !EnsureVideo()) {
        return DISP_CHANGE_FAILED;
    }
    SDL_DisplayMode desktop;
    if (SDL_GetDesktopDisplayMode(0, &desktop) != 0) {
        return DISP_CHANGE_FAILED;
    }
    int width = (devMode->dmFields & DM_PELSWIDTH) ? static_cast<int>(devMode->dmPelsWidth) : desktop.w;
    int height = (devMode->dmFields & DM_PELSHEIGHT) ? static_cast<int>(devMode->dmPelsHeight) : desktop.h;
    // Only a mode the display offers at exactly this size. The colour depth
    // stays the display's own: X11 cannot change it.
    int modeCount = SDL_GetNumDisplayModes(0);
    for (int i = 0; i < modeCount; ++i) {
        SDL_DisplayMode mode;
        if (SDL_GetDisplayMode(0, i, &mode) == 0 && mode.w == width && mode.h == height) {
            layer.fullscreenMode = mode;
            layer.isFullscreenModeSet = true;
            return DISP_CHANGE_SUCCESSFUL;
        }
    }
    return DISP_CHANGE_BADMODE;
}

int WINAPI ShowCursor(BOOL show) {
    layer.cursorCount += show ? 1 : -1;
    if (layer.isVideoReady) {
        SDL_ShowCursor(layer.cursorCount >= 0 ? SDL_ENABLE : SDL_DISABLE);
    }
    return layer.cursorCount;
}
