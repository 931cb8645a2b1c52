// Building and tearing down the render window and its rendering context.
#include <cstring>

#include "app/window_state.h"
#include "render/render.h"
#include "render/view.h"

WindowStateRecord WindowState = {
    nullptr,  // instanceHandle
    nullptr,  // windowHandle
    nullptr,  // deviceContext
    nullptr,  // renderContext
    true,     // isActive
    true,     // isFullscreen
    {},       // keyDown: all keys up
    {},       // keyPressed: none since start
    {
        sizeof(PIXELFORMATDESCRIPTOR),                              // nSize
        1,                                                          // nVersion
        PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER,  // dwFlags
        PFD_TYPE_RGBA,                                              // iPixelType
        // The rest is filled by the first build that gets past window creation.
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    },
    {0, 0},  // dragPoint
};

bool isPixelFormatFilled = false;

namespace {

const char* const windowClassName = "OpenGL";

// dmSize of the display-mode record: its 148-byte layout, whatever size the
// platform headers give the structure.
const WORD displayModeRecordSize = 148;

const UINT errorBoxFlags = MB_OK | MB_ICONEXCLAMATION;
const UINT shutdownBoxFlags = MB_OK | MB_ICONINFORMATION;

void FillPixelFormatDesc(int32_t colorBits) {
    PIXELFORMATDESCRIPTOR& pfd = WindowState.pixelFormatDesc;
    pfd.cColorBits = static_cast<BYTE>(colorBits);
    pfd.cRedBits = 0;
    pfd.cRedShift = 0;
    pfd.cGreenBits = 0;
    pfd.cGreenShift = 0;
    pfd.cBlueBits = 0;
    pfd.cBlueShift = 0;
    pfd.cAlphaBits = 0;  // no alpha buffer
    pfd.cAlphaShift = 0;
    pfd.cAccumBits = 0;  // no accumulation buffer
    pfd.cAccumRedBits = 0;
    pfd.cAccumGreenBits = 0;
    pfd.cAccumBlueBits = 0;
    pfd.cAccumAlphaBits = 0;
    pfd.cDepthBits = 16;
    pfd.cStencilBits = 0;
    pfd.cAuxBuffers = 0;
    pfd.iLayerType = PFD_MAIN_PLANE;
    pfd.bReserved = 0;
    pfd.dwLayerMask = 0;
    pfd.dwVisibleMask = 0;
    pfd.dwDamageMask = 0;
}

// Tears down what the build made so far, then reports the failure.
bool FailBuild(const char* text) {
    CloseRenderWindow();
    MessageBoxA(nullptr, text, "ERROR", errorBoxFlags);
    return false;
}

}  // namespace

bool OpenRenderWindow(const char* title, int32_t width, int32_t height, int32_t colorBits,
                      bool wantFullscreen) {
    WindowState.isFullscreen = wantFullscreen;
    WindowState.instanceHandle = GetModuleHandleA(nullptr);

    WNDCLASSA windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW | CS_OWNDC;
    windowClass.lpfnWndProc = RenderWindowProc;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = 0;
    windowClass.hInstance = WindowState.instanceHandle;
    windowClass.hIcon = LoadIconA(nullptr, IDI_WINLOGO);
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = nullptr;
    windowClass.lpszMenuName = nullptr;
    windowClass.lpszClassName = windowClassName;
    if (!RegisterClassA(&windowClass)) {
        MessageBoxA(nullptr, "Failed To Register The Window Class.", "ERROR", errorBoxFlags);
        return false;
    }

    if (WindowState.isFullscreen) {
        DEVMODEA displayMode;
        memset(&displayMode, 0, sizeof(displayMode));
        displayMode.dmSize = displayModeRecordSize;
        displayMode.dmPelsWidth = width;
        displayMode.dmPelsHeight = height;
        displayMode.dmBitsPerPel = colorBits;
        displayMode.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
        if (ChangeDisplaySettingsA(&displayMode, CDS_FULLSCREEN) != DISP_CHANGE_SUCCESSFUL) {
            if (MessageBoxA(nullptr,
                            "The Requested Fullscreen Mode Is Not Supported By\n"
                            "Your Video Card. Use Windowed Mode Instead?",
                            "Kelmo GL", MB_YESNO | MB_ICONEXCLAMATION) == IDYES) {
                WindowState.isFullscreen = false;
            } else {
                MessageBoxA(nullptr, "Program Will Now Close.", "ERROR", MB_OK | MB_ICONSTOP);
                return false;
            }
        }
    }

    DWORD exStyle;
    DWORD style;
    if (WindowState.isFullscreen) {
        exStyle = WS_EX_APPWINDOW;
        style = WS_POPUP;
        ShowCursor(FALSE);
    } else {
        exStyle = WS_EX_APPWINDOW | WS_EX_WINDOWEDGE;
        style = WS_OVERLAPPEDWINDOW;
    }

    RECT windowRect;
    windowRect.left = 0;
    windowRect.top = 0;
    windowRect.right = width;
    windowRect.bottom = height;
    AdjustWindowRectEx(&windowRect, style, FALSE, exStyle);

    WindowState.windowHandle =
        CreateWindowExA(exStyle, windowClassName, title, style | WS_CLIPSIBLINGS | WS_CLIPCHILDREN,
                        0, 0, windowRect.right - windowRect.left,
                        windowRect.bottom - windowRect.top, nullptr, nullptr,
                        WindowState.instanceHandle, nullptr);
    if (!WindowState.windowHandle) {
        return FailBuild("Window Creation Error.");
    }

    if (!isPixelFormatFilled) {
        FillPixelFormatDesc(colorBits);
        isPixelFormatFilled = true;
    }

    WindowState.deviceContext = GetDC(WindowState.windowHandle);
    if (!WindowState.deviceContext) {
        return FailBuild("Can't Create A GL Device Context.");
    }

    int pixelFormat = ChoosePixelFormat(WindowState.deviceContext, &WindowState.pixelFormatDesc);
    if (!pixelFormat) {
        return FailBuild("Can't Find A Suitable PixelFormat.");
    }
    if (!SetPixelFormat(WindowState.deviceContext, pixelFormat, &WindowState.pixelFormatDesc)) {
        return FailBuild("Can't Set The PixelFormat.");
    }

    WindowState.renderContext = wglCreateContext(WindowState.deviceContext);
    if (!WindowState.renderContext) {
        return FailBuild("Can't Create A GL Rendering Context.");
    }
    if (!wglMakeCurrent(WindowState.deviceContext, WindowState.renderContext)) {
        return FailBuild("Can't Activate The GL Rendering Context.");
    }

    ShowWindow(WindowState.windowHandle, SW_SHOW);
    SetForegroundWindow(WindowState.windowHandle);
    SetFocus(WindowState.windowHandle);

    // The wanted client size, not the adjusted outer size.
    ResizeScene(width, height);

    if (!InitScene()) {
        return FailBuild(SceneFailedText);
    }
    return true;
}

void CloseRenderWindow() {
    if (WindowState.isFullscreen) {
        ChangeDisplaySettingsA(nullptr, 0);
        ShowCursor(TRUE);
    }

    if (WindowState.renderContext) {
        if (!wglMakeCurrent(nullptr, nullptr)) {
            MessageBoxA(nullptr, "Release Of DC And RC Failed.", "SHUTDOWN ERROR", shutdownBoxFlags);
        }
        if (!wglDeleteContext(WindowState.renderContext)) {
            MessageBoxA(nullptr, "Release Rendering Context Failed.", "SHUTDOWN ERROR",
                        shutdownBoxFlags);
        }
        WindowState.renderContext = nullptr;
    }

    if (WindowState.deviceContext) {
        if (!ReleaseDC(WindowState.windowHandle, WindowState.deviceContext)) {
            MessageBoxA(nullptr, "Release Device Context Failed.", "SHUTDOWN ERROR",
                        shutdownBoxFlags);
        }
        WindowState.deviceContext = nullptr;
    }

    if (WindowState.windowHandle) {
        if (!DestroyWindow(WindowState.windowHandle)) {
            MessageBoxA(nullptr, "Could Not Release hWnd.", "SHUTDOWN ERROR", shutdownBoxFlags);
        }
        WindowState.windowHandle = nullptr;
    }

    if (!UnregisterClassA(windowClassName, WindowState.instanceHandle)) {
        MessageBoxA(nullptr, "Could Not Unregister Class.", "SHUTDOWN ERROR", shutdownBoxFlags);
    }
    WindowState.instanceHandle = nullptr;
}
