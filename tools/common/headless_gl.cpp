// The headless OpenGL context over EGL (Mesa).
#include "headless_gl.h"

#include <EGL/eglext.h>

#include <cstdio>
#include <cstring>

namespace {

std::string EglErrorText(const char* step) {
    char text[96];
    std::snprintf(text, sizeof text, "%s failed (EGL error 0x%04X)", step, unsigned(eglGetError()));
    return text;
}

bool HasExtension(const char* list, const char* name) {
    size_t length = std::strlen(name);
    for (const char* at = list ? std::strstr(list, name) : nullptr; at; at = std::strstr(at + 1, name))
        if ((at == list || at[-1] == ' ') && (at[length] == ' ' || at[length] == '\0')) return true;
    return false;
}

// The Mesa surfaceless platform needs no window system; it falls back to
// software rendering (llvmpipe) where there is no GPU.
EGLDisplay OpenDisplay(std::string* error) {
    const char* clientExtensions = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    if (!HasExtension(clientExtensions, "EGL_MESA_platform_surfaceless")) {
        *error = "EGL has no surfaceless platform (EGL_MESA_platform_surfaceless); is Mesa's EGL installed?";
        return EGL_NO_DISPLAY;
    }
    auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
        eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (!getPlatformDisplay) {
        *error = "EGL lacks eglGetPlatformDisplayEXT";
        return EGL_NO_DISPLAY;
    }
    EGLDisplay display = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (display == EGL_NO_DISPLAY) *error = EglErrorText("eglGetPlatformDisplayEXT");
    return display;
}

}  // namespace

bool OpenHeadlessGl(HeadlessGl* gl, int32_t width, int32_t height, std::string* error) {
    *gl = HeadlessGl{};
    bool isPbuffer = width > 0 && height > 0;
    gl->display = OpenDisplay(error);
    if (gl->display == EGL_NO_DISPLAY) return false;
    EGLint major = 0, minor = 0;
    if (!eglInitialize(gl->display, &major, &minor)) {
        *error = EglErrorText("eglInitialize");
        gl->display = EGL_NO_DISPLAY;
        return false;
    }
    bool isDone = false;
    do {
        if (!eglBindAPI(EGL_OPENGL_API)) {
            *error = EglErrorText("eglBindAPI(EGL_OPENGL_API)");
            break;
        }
        const EGLint configAttributes[] = {
            EGL_SURFACE_TYPE, isPbuffer ? EGL_PBUFFER_BIT : 0,
            EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
            EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8, EGL_BLUE_SIZE, 8, EGL_ALPHA_SIZE, 8,
            EGL_DEPTH_SIZE, 16,
            EGL_NONE};
        EGLConfig config = nullptr;
        EGLint configCount = 0;
        if (!eglChooseConfig(gl->display, configAttributes, &config, 1, &configCount) ||
            configCount < 1) {
            *error = "no EGL configuration for desktop OpenGL";
            break;
        }
        // No version and no profile asked for: a compatibility context.
        gl->context = eglCreateContext(gl->display, config, EGL_NO_CONTEXT, nullptr);
        if (gl->context == EGL_NO_CONTEXT) {
            *error = EglErrorText("eglCreateContext");
            break;
        }
        if (isPbuffer) {
            const EGLint surfaceAttributes[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
            gl->surface = eglCreatePbufferSurface(gl->display, config, surfaceAttributes);
            if (gl->surface == EGL_NO_SURFACE) {
                *error = EglErrorText("eglCreatePbufferSurface");
                break;
            }
        }
        if (!eglMakeCurrent(gl->display, gl->surface, gl->surface, gl->context)) {
            *error = EglErrorText("eglMakeCurrent");
            break;
        }
        isDone = true;
    } while (false);
    if (!isDone) CloseHeadlessGl(gl);
    return isDone;
}

void CloseHeadlessGl(HeadlessGl* gl) {
    if (gl->display == EGL_NO_DISPLAY) return;
    eglMakeCurrent(gl->display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    if (gl->surface != EGL_NO_SURFACE) eglDestroySurface(gl->display, gl->surface);
    if (gl->context != EGL_NO_CONTEXT) eglDestroyContext(gl->display, gl->context);
    // The display stays initialised (no eglTerminate): terminating it
    // unloads the driver, and leak reports could then no longer name the
    // driver's own allocations. The process exit releases it.
    eglReleaseThread();
    *gl = HeadlessGl{};
}
