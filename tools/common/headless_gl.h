// A headless desktop OpenGL context over EGL (Mesa), for polyview-tool and
// the tests: no window system and no display needed.
#pragma once

#include <EGL/egl.h>

#include <cstdint>
#include <string>

struct HeadlessGl {
    EGLDisplay display = EGL_NO_DISPLAY;
    EGLContext context = EGL_NO_CONTEXT;
    EGLSurface surface = EGL_NO_SURFACE;  // a pbuffer when a size was asked for
};

// Makes a compatibility-profile OpenGL context current on this thread, so
// that OpenGL 1.1 with immediate mode works. With a width and height above 0
// it draws into a pbuffer of that size with a depth buffer; otherwise it has
// no default framebuffer. On failure fills `error` and returns false with
// nothing held.
bool OpenHeadlessGl(HeadlessGl* gl, int32_t width, int32_t height, std::string* error);

// Releases the context and the surface. The display stays initialised
// until the process ends, so that the driver stays loaded.
void CloseHeadlessGl(HeadlessGl* gl);
