// The Win32 subset over SDL2, on a real X display (run under Xvfb) with
// Mesa's OpenGL.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "gl_read_back.h"
#include "platform/sdl/sdl_platform.h"

namespace {

struct Received {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

std::vector<Received> received;

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    received.push_back({message, wParam, lParam});
    return DefWindowProcA(window, message, wParam, lParam);
}

// A procedure that handles WM_CLOSE without destroying, as the viewer's does.
LRESULT CALLBACK KeepOnCloseProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    received.push_back({message, wParam, lParam});
    if (message == WM_CLOSE) {
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

std::vector<UINT> Messages() {
    std::vector<UINT> numbers;
    for (const Received& r : received) {
        numbers.push_back(r.message);
    }
    return numbers;
}

const Received* Find(UINT message) {
    for (const Received& r : received) {
        if (r.message == message) {
            return &r;
        }
    }
    return nullptr;
}

const char* const className = "PlatformTest";

HWND FindWindowBySdlIdForTest(HWND window) {
    return platform::FindWindowBySdlId(SDL_GetWindowID(window->native->sdlWindow));
}

PIXELFORMATDESCRIPTOR Request(DWORD flags, BYTE depthBits) {
    PIXELFORMATDESCRIPTOR pfd;
    memset(&pfd, 0, sizeof(pfd));
    pfd.nSize = sizeof(pfd);
    pfd.nVersion = 1;
    pfd.dwFlags = flags;
    pfd.iPixelType = PFD_TYPE_RGBA;
    pfd.cColorBits = 16;
    pfd.cDepthBits = depthBits;
    return pfd;
}

const DWORD windowedStyle = WS_OVERLAPPEDWINDOW | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
const DWORD glFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;

class PlatformTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(getenv("DISPLAY"), nullptr) << "run under with_xvfb.sh";
        received.clear();
        WNDCLASSA wc = {};
        wc.lpfnWndProc = RecordingProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = className;
        ASSERT_NE(RegisterClassA(&wc), 0);
    }

    void TearDown() override {
        for (HWND window : windows) {
            DestroyWindow(window);
        }
        UnregisterClassA(className, GetModuleHandleA(nullptr));
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
    }

    HWND Create(DWORD style = windowedStyle, int width = 320, int height = 240) {
        HWND window = CreateWindowExA(WS_EX_APPWINDOW, className, "Platform test", style, 0, 0, width,
                                      height, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        if (window) {
            windows.push_back(window);
        }
        return window;
    }

    void Destroy(HWND window) {
        EXPECT_TRUE(DestroyWindow(window));
        windows.erase(std::find(windows.begin(), windows.end(), window));
    }

    // A window with a pixel format set and a current context.
    HGLRC MakeCurrentGlWindow(HWND window) {
        HDC dc = GetDC(window);
        PIXELFORMATDESCRIPTOR pfd = Request(glFlags, 16);
        int format = ChoosePixelFormat(dc, &pfd);
        EXPECT_TRUE(SetPixelFormat(dc, format, &pfd));
        HGLRC context = wglCreateContext(dc);
        EXPECT_NE(context, nullptr);
        EXPECT_TRUE(wglMakeCurrent(dc, context));
        return context;
    }

    // Takes every message now waiting, dispatching each.
    std::vector<MSG> Drain() {
        std::vector<MSG> taken;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            taken.push_back(msg);
            if (msg.message != WM_QUIT) {
                DispatchMessageA(&msg);
            }
        }
        return taken;
    }

    std::vector<HWND> windows;
};

TEST_F(PlatformTest, ClassTableRefusesDuplicatesUnknownNamesAndClassesInUse) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = RecordingProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "platformtest";  // names are compared without regard to case
    EXPECT_EQ(RegisterClassA(&wc), 0);
    EXPECT_FALSE(UnregisterClassA("NoSuchClass", GetModuleHandleA(nullptr)));

    HWND window = Create();
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(UnregisterClassA(className, GetModuleHandleA(nullptr))) << "a window of it is alive";
    Destroy(window);
    EXPECT_TRUE(UnregisterClassA(className, GetModuleHandleA(nullptr)));
    EXPECT_FALSE(UnregisterClassA(className, GetModuleHandleA(nullptr)));
    EXPECT_EQ(CreateWindowExA(0, className, "x", windowedStyle, 0, 0, 10, 10, nullptr, nullptr,
                              GetModuleHandleA(nullptr), nullptr),
              nullptr);
    wc.lpszClassName = className;
    EXPECT_NE(RegisterClassA(&wc), 0);
}

TEST_F(PlatformTest, StockResourcesAndTheModuleHandle) {
    EXPECT_NE(GetModuleHandleA(nullptr), nullptr);
    EXPECT_EQ(GetModuleHandleA(nullptr), GetModuleHandleA(nullptr));
    EXPECT_NE(LoadIconA(nullptr, IDI_WINLOGO), nullptr);
    EXPECT_NE(LoadCursorA(nullptr, IDC_ARROW), nullptr);
    EXPECT_EQ(LoadIconA(nullptr, "named"), nullptr);
}

TEST_F(PlatformTest, CreationMakesAHiddenWindowOfTheGivenSizeAndSendsItsMessages) {
    RECT rect = {0, 0, 640, 480};
    EXPECT_TRUE(AdjustWindowRectEx(&rect, WS_OVERLAPPEDWINDOW, FALSE, WS_EX_APPWINDOW | WS_EX_WINDOWEDGE));
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.top, 0);
    EXPECT_EQ(rect.right, 640);
    EXPECT_EQ(rect.bottom, 480);

    HWND window = Create(windowedStyle, 640, 480);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(Messages(), std::vector<UINT>({WM_NCCREATE, WM_CREATE, WM_SIZE, WM_MOVE}));
    EXPECT_EQ(Find(WM_SIZE)->lParam, MAKELONG(640, 480));

    SDL_Window* sdlWindow = window->native->sdlWindow;
    Uint32 flags = SDL_GetWindowFlags(sdlWindow);
    EXPECT_TRUE(flags & SDL_WINDOW_HIDDEN);
    EXPECT_TRUE(flags & SDL_WINDOW_OPENGL);
    int w = 0, h = 0;
    SDL_GetWindowSize(sdlWindow, &w, &h);
    EXPECT_EQ(w, 640);
    EXPECT_EQ(h, 480);

    received.clear();
    EXPECT_FALSE(ShowWindow(window, SW_SHOW));
    EXPECT_TRUE(ShowWindow(window, SW_SHOW)) << "was visible";
    EXPECT_FALSE(SDL_GetWindowFlags(sdlWindow) & SDL_WINDOW_HIDDEN);
    ASSERT_GE(received.size(), 3u);
    EXPECT_EQ(received[0].message, static_cast<UINT>(WM_SHOWWINDOW));
    EXPECT_EQ(received[1].message, static_cast<UINT>(WM_ACTIVATE));
    EXPECT_EQ(received[1].wParam, static_cast<WPARAM>(WA_ACTIVE));
    EXPECT_EQ(received[2].message, static_cast<UINT>(WM_SETFOCUS));

    received.clear();
    Destroy(window);
    EXPECT_EQ(Messages(), std::vector<UINT>({WM_SHOWWINDOW, WM_ACTIVATE, WM_KILLFOCUS, WM_DESTROY, WM_NCDESTROY}));
    EXPECT_EQ(Find(WM_ACTIVATE)->wParam, static_cast<WPARAM>(WA_INACTIVE));
    EXPECT_FALSE(DestroyWindow(window)) << "already destroyed";
    EXPECT_FALSE(ShowWindow(window, SW_SHOW));
    EXPECT_EQ(GetDC(window), nullptr);
}

TEST_F(PlatformTest, PixelFormatIsHonouredAndSetOncePerWindow) {
    HWND window = Create();
    ASSERT_NE(window, nullptr);
    HDC dc = GetDC(window);
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(GetDC(window), dc) << "one device context per window";
    EXPECT_EQ(wglCreateContext(dc), nullptr) << "no pixel format yet";

    PIXELFORMATDESCRIPTOR noGl = Request(PFD_DRAW_TO_WINDOW | PFD_DOUBLEBUFFER, 16);
    EXPECT_EQ(ChoosePixelFormat(dc, &noGl), 0);
    PIXELFORMATDESCRIPTOR colorIndex = Request(glFlags, 16);
    colorIndex.iPixelType = PFD_TYPE_COLORINDEX;
    EXPECT_EQ(ChoosePixelFormat(dc, &colorIndex), 0);
    PIXELFORMATDESCRIPTOR tooDeep = Request(glFlags, 32);
    EXPECT_EQ(ChoosePixelFormat(dc, &tooDeep), 0);

    PIXELFORMATDESCRIPTOR deeper = Request(glFlags, 24);
    int deeperFormat = ChoosePixelFormat(dc, &deeper);
    PIXELFORMATDESCRIPTOR pfd = Request(glFlags, 16);
    int format = ChoosePixelFormat(dc, &pfd);
    ASSERT_NE(format, 0);
    EXPECT_NE(format, deeperFormat);
    EXPECT_FALSE(SetPixelFormat(dc, 99, &pfd));
    EXPECT_TRUE(SetPixelFormat(dc, format, &pfd));
    EXPECT_FALSE(SetPixelFormat(dc, format, &pfd)) << "a second format on the same window";
    EXPECT_FALSE(SetPixelFormat(dc, deeperFormat, &deeper));

    HGLRC context = wglCreateContext(dc);
    ASSERT_NE(context, nullptr);
    EXPECT_EQ(SDL_GL_GetCurrentContext(), nullptr) << "creating does not make current";
    ASSERT_TRUE(wglMakeCurrent(dc, context));
    EXPECT_EQ(SDL_GL_GetCurrentContext(), context->context);

    GLint depthBits = 0;
    GLboolean isDoubleBuffered = GL_FALSE;
    GLint red = 0, green = 0, blue = 0;
    glGetIntegerv(GL_DEPTH_BITS, &depthBits);
    glGetBooleanv(GL_DOUBLEBUFFER, &isDoubleBuffered);
    glGetIntegerv(GL_RED_BITS, &red);
    glGetIntegerv(GL_GREEN_BITS, &green);
    glGetIntegerv(GL_BLUE_BITS, &blue);
    EXPECT_GE(depthBits, 16);
    EXPECT_TRUE(isDoubleBuffered);
    EXPECT_GT(red + green + blue, 0) << "RGBA";

    // Fixed-function immediate mode works in the context.
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glBegin(GL_TRIANGLES);
    glVertex3f(-1, -1, 0);
    glVertex3f(3, -1, 0);
    glVertex3f(-1, 3, 0);
    glEnd();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    glReadBuffer(GL_BACK);
    EXPECT_EQ(ReadFramePixels(10, 10, 1, 1).At(0, 0)[0], 255);
    EXPECT_TRUE(SwapBuffers(dc));

    EXPECT_TRUE(wglMakeCurrent(nullptr, nullptr));
    EXPECT_EQ(SDL_GL_GetCurrentContext(), nullptr);
    EXPECT_TRUE(wglDeleteContext(context));
    EXPECT_FALSE(wglDeleteContext(context));
    EXPECT_EQ(ReleaseDC(window, dc), 1);
    EXPECT_EQ(ReleaseDC(window, nullptr), 0);
}

TEST_F(PlatformTest, AnotherFormatRemakesTheHiddenWindowForItsVisual) {
    HWND window = Create();
    ASSERT_NE(window, nullptr);
    HDC dc = GetDC(window);
    PIXELFORMATDESCRIPTOR deeper = Request(glFlags, 24);
    int format = ChoosePixelFormat(dc, &deeper);
    ASSERT_NE(format, 0);
    ASSERT_TRUE(SetPixelFormat(dc, format, &deeper));
    EXPECT_EQ(FindWindowBySdlIdForTest(window), window) << "events still find the window";
    HGLRC context = wglCreateContext(dc);
    ASSERT_NE(context, nullptr);
    ASSERT_TRUE(wglMakeCurrent(dc, context));
    GLint depthBits = 0;
    glGetIntegerv(GL_DEPTH_BITS, &depthBits);
    EXPECT_GE(depthBits, 24);
    EXPECT_TRUE(wglDeleteContext(context));
}

TEST_F(PlatformTest, DeletingTheCurrentContextLeavesNoneCurrent) {
    HWND window = Create();
    ASSERT_NE(window, nullptr);
    HGLRC context = MakeCurrentGlWindow(window);
    EXPECT_TRUE(wglDeleteContext(context));
    EXPECT_EQ(SDL_GL_GetCurrentContext(), nullptr);
}

TEST_F(PlatformTest, ContextNeedsAWindowWithItsPixelFormat) {
    HWND first = Create();
    HWND second = Create();
    ASSERT_TRUE(first && second);
    HGLRC context = MakeCurrentGlWindow(first);
    HDC secondDc = GetDC(second);
    EXPECT_FALSE(wglMakeCurrent(secondDc, context)) << "no pixel format on the second window";
    PIXELFORMATDESCRIPTOR pfd = Request(glFlags, 16);
    ASSERT_TRUE(SetPixelFormat(secondDc, ChoosePixelFormat(secondDc, &pfd), &pfd));
    EXPECT_TRUE(wglMakeCurrent(secondDc, context)) << "same pixel format";
    EXPECT_TRUE(wglMakeCurrent(nullptr, nullptr));
    EXPECT_TRUE(wglDeleteContext(context));
}

TEST_F(PlatformTest, FullscreenModeIsOfferedOnlyAtTheDisplaysOwnSize) {
    SDL_DisplayMode desktop;
    ASSERT_EQ(SDL_GetDesktopDisplayMode(0, &desktop), 0);

    DEVMODEA mode;
    memset(&mode, 0, sizeof(mode));
    mode.dmSize = 148;
    mode.dmBitsPerPel = 16;
    mode.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
    mode.dmPelsWidth = desktop.w + 1;
    mode.dmPelsHeight = desktop.h;
    EXPECT_EQ(ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN), DISP_CHANGE_BADMODE);

    // Xvfb offers its screen size only; the colour depth is the display's.
    mode.dmPelsWidth = desktop.w;
    ASSERT_EQ(ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN), DISP_CHANGE_SUCCESSFUL);

    // A windowed window of that size is not made fullscreen ...
    HWND windowed = Create(windowedStyle, desktop.w, desktop.h);
    ASSERT_NE(windowed, nullptr);
    ShowWindow(windowed, SW_SHOW);
    EXPECT_FALSE(SDL_GetWindowFlags(windowed->native->sdlWindow) & SDL_WINDOW_FULLSCREEN);
    Destroy(windowed);

    // ... a popup of that size at 0,0 is.
    HWND popup = Create(WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, desktop.w, desktop.h);
    ASSERT_NE(popup, nullptr);
    ShowWindow(popup, SW_SHOW);
    EXPECT_TRUE(SDL_GetWindowFlags(popup->native->sdlWindow) & SDL_WINDOW_FULLSCREEN);
    EXPECT_TRUE(SDL_GetWindowFlags(popup->native->sdlWindow) & SDL_WINDOW_BORDERLESS);

    EXPECT_EQ(ChangeDisplaySettingsA(nullptr, 0), DISP_CHANGE_SUCCESSFUL);
    EXPECT_FALSE(SDL_GetWindowFlags(popup->native->sdlWindow) & SDL_WINDOW_FULLSCREEN);
}

TEST_F(PlatformTest, ShowCursorKeepsADisplayCounter) {
    ASSERT_NE(Create(), nullptr);  // video is up
    EXPECT_EQ(ShowCursor(FALSE), -1);
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);
    EXPECT_EQ(ShowCursor(FALSE), -2);
    EXPECT_EQ(ShowCursor(TRUE), -1);
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);
    EXPECT_EQ(ShowCursor(TRUE), 0);
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_ENABLE);
    EXPECT_EQ(ShowCursor(TRUE), 1);
    EXPECT_EQ(ShowCursor(FALSE), 0);
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_ENABLE);
}

TEST_F(PlatformTest, ScreenSaverIsOff) {
    ASSERT_NE(Create(), nullptr);
    EXPECT_FALSE(SDL_IsScreenSaverEnabled());
}

SDL_Event KeyEvent(HWND window, Uint32 type, SDL_Keycode sym, Uint16 mod = KMOD_NONE, Uint8 repeat = 0) {
    SDL_Event event = {};
    event.type = type;
    event.key.windowID = window->native->sdlWindowId;
    event.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    event.key.repeat = repeat;
    event.key.keysym.sym = sym;
    event.key.keysym.scancode = SDL_GetScancodeFromKey(sym);
    event.key.keysym.mod = mod;
    return event;
}

SDL_Event WindowEvent(HWND window, Uint8 what) {
    SDL_Event event = {};
    event.type = SDL_WINDOWEVENT;
    event.window.windowID = window->native->sdlWindowId;
    event.window.event = what;
    return event;
}

TEST_F(PlatformTest, KeysArrivePostedWithVirtualKeyCodesAndCharactersFollowTranslation) {
    HWND window = Create();
    ASSERT_NE(window, nullptr);
    ShowWindow(window, SW_SHOW);
    Drain();
    received.clear();

    SDL_Event events[] = {
        KeyEvent(window, SDL_KEYDOWN, SDLK_F1),
        KeyEvent(window, SDL_KEYDOWN, SDLK_F1, KMOD_NONE, 1),
        KeyEvent(window, SDL_KEYUP, SDLK_F1),
        KeyEvent(window, SDL_KEYDOWN, SDLK_ESCAPE),
        KeyEvent(window, SDL_KEYDOWN, SDLK_a),
    };
    for (SDL_Event& event : events) {
        ASSERT_EQ(SDL_PushEvent(&event), 1);
    }

    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, window);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_KEYDOWN));
    EXPECT_EQ(msg.wParam, static_cast<WPARAM>(VK_F1));
    EXPECT_EQ(msg.lParam & 0xFFFF, 1) << "repeat count";
    EXPECT_FALSE(msg.lParam & (1 << 30)) << "first press";
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_KEYDOWN));
    EXPECT_TRUE(msg.lParam & (1 << 30)) << "repeat: the key was down";
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_KEYUP));
    EXPECT_EQ(msg.wParam, static_cast<WPARAM>(VK_F1));
    EXPECT_TRUE(static_cast<uint32_t>(msg.lParam) & (1u << 31)) << "released";

    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.wParam, static_cast<WPARAM>(VK_ESCAPE));
    EXPECT_TRUE(TranslateMessage(&msg));
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_CHAR)) << "the character comes before later keys";
    EXPECT_EQ(msg.wParam, 27u);

    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.wParam, static_cast<WPARAM>('A'));
    EXPECT_EQ(DispatchMessageA(&msg), 0);
    EXPECT_TRUE(TranslateMessage(&msg));
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_CHAR));
    EXPECT_EQ(msg.wParam, static_cast<WPARAM>('a'));

    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) << "nothing waiting: no wait either";
    ASSERT_NE(Find(WM_KEYDOWN), nullptr) << "dispatch reached the procedure";

    // A key that SDL gives no window (it lost track of the focus) goes to the
    // window that has the focus.
    SetFocus(window);
    SDL_Event unowned = KeyEvent(window, SDL_KEYDOWN, SDLK_ESCAPE);
    unowned.key.windowID = 0;
    ASSERT_EQ(SDL_PushEvent(&unowned), 1);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, window);
    EXPECT_EQ(msg.wParam, static_cast<WPARAM>(VK_ESCAPE));
}

TEST_F(PlatformTest, VirtualKeyCodes) {
    struct Case {
        SDL_Keycode sym;
        int vk;
    };
    const Case cases[] = {
        {SDLK_ESCAPE, 27}, {SDLK_F1, 112},  {SDLK_F12, 123}, {SDLK_a, 'A'},     {SDLK_z, 'Z'},
        {SDLK_0, '0'},     {SDLK_9, '9'},   {SDLK_LEFT, 37}, {SDLK_UP, 38},     {SDLK_RIGHT, 39},
        {SDLK_DOWN, 40},   {SDLK_RETURN, 13}, {SDLK_SPACE, 32}, {SDLK_LSHIFT, 16}, {SDLK_F24, 135},
    };
    for (const Case& c : cases) {
        SDL_Keysym key = {};
        key.sym = c.sym;
        EXPECT_EQ(platform::VirtualKeyOf(key), c.vk) << SDL_GetKeyName(c.sym);
    }
}

TEST_F(PlatformTest, AltF4AndTheCloseBoxBecomeWmClose) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = KeepOnCloseProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "KeepOnClose";
    ASSERT_NE(RegisterClassA(&wc), 0);
    HWND window = CreateWindowExA(0, "KeepOnClose", "x", windowedStyle, 0, 0, 100, 100, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(window, nullptr);
    ShowWindow(window, SW_SHOW);
    Drain();

    // Alt+F4 is a system key; its default handling closes the window.
    received.clear();
    SDL_SetModState(KMOD_LALT);
    SDL_Event altF4 = KeyEvent(window, SDL_KEYDOWN, SDLK_F4, KMOD_LALT);
    SDL_PushEvent(&altF4);
    std::vector<MSG> taken = Drain();
    SDL_SetModState(KMOD_NONE);
    ASSERT_FALSE(taken.empty());
    EXPECT_EQ(taken[0].message, static_cast<UINT>(WM_SYSKEYDOWN));
    EXPECT_EQ(taken[0].wParam, static_cast<WPARAM>(VK_F4));
    EXPECT_NE(Find(WM_CLOSE), nullptr);

    // The close box: the window manager's request.
    received.clear();
    SDL_Event close = WindowEvent(window, SDL_WINDOWEVENT_CLOSE);
    SDL_PushEvent(&close);
    taken = Drain();
    ASSERT_FALSE(taken.empty());
    EXPECT_EQ(taken[0].message, static_cast<UINT>(WM_SYSCOMMAND));
    EXPECT_EQ(taken[0].wParam, static_cast<WPARAM>(SC_CLOSE));
    EXPECT_NE(Find(WM_CLOSE), nullptr);
    EXPECT_TRUE(DestroyWindow(window)) << "the procedure kept the window";
    EXPECT_TRUE(UnregisterClassA("KeepOnClose", GetModuleHandleA(nullptr)));
}

TEST_F(PlatformTest, MinimizeAndRestoreAreSentAsActivationAndSize) {
    HWND window = Create(windowedStyle, 300, 200);
    ASSERT_NE(window, nullptr);
    ShowWindow(window, SW_SHOW);
    Drain();

    received.clear();
    SDL_Event event = WindowEvent(window, SDL_WINDOWEVENT_MINIMIZED);
    SDL_PushEvent(&event);
    MSG msg;
    PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);
    const Received* activate = Find(WM_ACTIVATE);
    ASSERT_NE(activate, nullptr);
    EXPECT_NE(HIWORD(activate->wParam), 0) << "minimized flag";
    const Received* size = Find(WM_SIZE);
    ASSERT_NE(size, nullptr);
    EXPECT_EQ(size->wParam, static_cast<WPARAM>(SIZE_MINIMIZED));
    EXPECT_EQ(size->lParam, 0);

    received.clear();
    event.window.event = SDL_WINDOWEVENT_RESTORED;
    SDL_PushEvent(&event);
    PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);
    activate = Find(WM_ACTIVATE);
    ASSERT_NE(activate, nullptr);
    EXPECT_EQ(HIWORD(activate->wParam), 0);
    size = Find(WM_SIZE);
    ASSERT_NE(size, nullptr);
    EXPECT_EQ(size->lParam, MAKELONG(300, 200));
}

TEST_F(PlatformTest, QuitMessageComesAfterPostedMessagesAndDestroyDropsAWindowsMessages) {
    HWND window = Create();
    ASSERT_NE(window, nullptr);
    ShowWindow(window, SW_SHOW);
    Drain();

    SDL_Event key = KeyEvent(window, SDL_KEYDOWN, SDLK_b);
    SDL_PushEvent(&key);
    PostQuitMessage(5);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_KEYDOWN));
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 5u);
    EXPECT_EQ(msg.hwnd, nullptr);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) << "taken once";

    SDL_PushEvent(&key);
    SDL_PumpEvents();
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) << "the key is queued";
    Destroy(window);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) << "gone with its window";
}

TEST(NoDisplayTest, BoxesGoToStandardErrorAndWindowsCannotBeMade) {
    ASSERT_EQ(getenv("DISPLAY"), nullptr) << "run without a display";
    testing::internal::CaptureStderr();
    int question = MessageBoxA(nullptr, "Would You Like To Run In Fullscreen Mode?", "Start FullScreen?",
                               MB_YESNO | MB_ICONQUESTION);
    int error = MessageBoxA(nullptr, "Window Creation Error.", "ERROR", MB_OK | MB_ICONEXCLAMATION);
    std::string text = testing::internal::GetCapturedStderr();
    EXPECT_EQ(question, IDNO);
    EXPECT_EQ(error, IDOK);
    EXPECT_NE(text.find("Start FullScreen?: Would You Like To Run In Fullscreen Mode?"), std::string::npos) << text;
    EXPECT_NE(text.find("ERROR: Window Creation Error."), std::string::npos) << text;

    WNDCLASSA wc = {};
    wc.lpfnWndProc = RecordingProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "NoDisplay";
    ASSERT_NE(RegisterClassA(&wc), 0);
    testing::internal::CaptureStderr();
    HWND window = CreateWindowExA(0, "NoDisplay", "x", windowedStyle, 0, 0, 10, 10, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    text = testing::internal::GetCapturedStderr();
    EXPECT_EQ(window, nullptr);
    EXPECT_NE(text.find("No window can be made"), std::string::npos) << text;
    EXPECT_TRUE(UnregisterClassA("NoDisplay", GetModuleHandleA(nullptr)));
}

// Splits `text` at `separators`, dropping empty pieces.
std::vector<std::string> Pieces(const std::string& text, const char* separators) {
    std::vector<std::string> pieces;
    size_t at = 0;
    while ((at = text.find_first_not_of(separators, at)) != std::string::npos) {
        size_t end = text.find_first_of(separators, at);
        pieces.push_back(text.substr(at, end - at));
        at = end;
    }
    return pieces;
}

size_t Characters(const std::string& text) {
    size_t count = 0;
    for (char c : text) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return count;
}

TEST(BoxText, WrapsAtBlanksToFitAndNeverGrowsBeyondItsLines) {
    using platform::FitBoxText;
    using platform::MaxBoxColumns;
    using platform::MaxBoxLines;
    EXPECT_EQ(FitBoxText("Window Creation Error."), "Window Creation Error.");
    // Random texts of words (some longer than a line, some with two-byte
    // letters) between blanks, tabs and line feeds.
    std::mt19937 random(20);
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        bool hasLongWord = false;
        for (int words = random() % 40; words > 0; --words) {
            size_t length = random() % 4 ? 1 + random() % 12 : 1 + random() % 160;
            hasLongWord |= length > MaxBoxColumns;
            for (size_t i = 0; i < length; ++i)
                text += random() % 5 ? std::string(1, char('a' + random() % 26)) : "\xC3\xA7";
            text += " \t\n"[random() % 3];
            if (random() % 4 == 0) text += ' ';
        }
        std::string fitted = FitBoxText(text);
        std::vector<std::string> lines = Pieces(fitted, "\n");
        ASSERT_LE(lines.size(), MaxBoxLines) << text;
        for (const std::string& line : lines) {
            ASSERT_LE(Characters(line), MaxBoxColumns) << text;
            ASSERT_NE(static_cast<unsigned char>(line[0]) & 0xC0, 0x80u) << "a letter cut in two: " << text;
        }
        if (fitted.size() >= 3 && fitted.compare(fitted.size() - 3, 3, "...") == 0) continue;  // cut short
        // Nothing lost; words that fit a line are never broken.
        if (!hasLongWord) {
            EXPECT_EQ(Pieces(fitted, " \t\n"), Pieces(text, " \t\n")) << text;
        }
        std::string kept, given;
        for (const std::string& piece : Pieces(fitted, " \t\n")) kept += piece;
        for (const std::string& piece : Pieces(text, " \t\n")) given += piece;
        EXPECT_EQ(kept, given) << text;
    }
    // A path of 5,000 characters without a blank: 20 full lines, the last
    // one cut with "...".
    std::string fitted = FitBoxText("Cannot enter \"/" + std::string(5000, 'd') + "\": File name too long");
    std::vector<std::string> lines = Pieces(fitted, "\n");
    ASSERT_EQ(lines.size(), MaxBoxLines);
    EXPECT_EQ(lines[0], "Cannot enter");
    EXPECT_EQ(lines[1], "\"/" + std::string(MaxBoxColumns - 2, 'd'));
    EXPECT_EQ(lines.back(), std::string(MaxBoxColumns - 3, 'd') + "...");
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    int status = RUN_ALL_TESTS();
    platform::ShutdownPlatform();
    return status;
}
