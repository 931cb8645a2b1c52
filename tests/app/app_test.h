// Common set-up of the application shell's tests: the fake platform and a
// window state as at process start.
#pragma once

#include <gtest/gtest.h>

#include "fake_win32.h"
#include "render/view_state.h"

// WindowState as it stands when the process starts.
extern const WindowStateRecord initialWindowState;

class AppTest : public ::testing::Test {
protected:
    void SetUp() override {
        fake::Reset();
        WindowState = initialWindowState;
        isPixelFormatFilled = false;
        CurrentView = HomeView = StartView;
    }
};

// The release calls of a teardown of a complete window, after any
// display-mode restore.
inline std::vector<std::string> FullRelease() {
    return {"wglMakeCurrent(NULL, NULL)", "wglDeleteContext(hRC)", "ReleaseDC(hWnd, hDC)",
            "DestroyWindow(hWnd)", "UnregisterClassA(\"OpenGL\", hInstance)"};
}
