// The window procedure's message table, against the recording fake.
#include <cmath>
#include <cstring>

#include "app_test.h"
#include "model/model.h"
#include "render/view_state.h"

namespace {

using Calls = std::vector<std::string>;
using WindowProcTest = AppTest;

LRESULT Send(UINT message, WPARAM wParam, LPARAM lParam = 0) {
    return RenderWindowProc(fake::window, message, wParam, lParam);
}

TEST_F(WindowProcTest, ActivationFollowsTheMinimizedFlagOnly) {
    struct Case {
        WPARAM wParam;
        bool isActive;
    };
    const Case cases[] = {
        {WA_ACTIVE, true},
        {WA_CLICKACTIVE, true},
        {WA_INACTIVE, true},  // behind another window: frames go on
        {MAKELONG(WA_INACTIVE, 1), false},
        {MAKELONG(WA_ACTIVE, 1), false},  // activated while minimized
        {WPARAM(0x80000000u | WA_CLICKACTIVE), false},
    };
    for (const Case& c : cases) {
        for (bool before : {false, true}) {
            WindowState.isActive = before;
            EXPECT_EQ(Send(WM_ACTIVATE, c.wParam), 0);
            EXPECT_EQ(WindowState.isActive, c.isActive) << std::hex << c.wParam;
        }
    }
    EXPECT_TRUE(fake::calls.empty());
}

TEST_F(WindowProcTest, ScreenSaverAndMonitorPowerAreSwallowedOtherCommandsTakeTheirDefault) {
    EXPECT_EQ(Send(WM_SYSCOMMAND, SC_SCREENSAVE), 0);
    EXPECT_EQ(Send(WM_SYSCOMMAND, SC_MONITORPOWER, 2), 0);
    EXPECT_TRUE(fake::calls.empty());

    // The whole word is compared: low bits set make another command.
    EXPECT_EQ(Send(WM_SYSCOMMAND, SC_SCREENSAVE | 1, 7), fake::defaultProcResult);
    EXPECT_EQ(Send(WM_SYSCOMMAND, SC_MONITORPOWER | 2), fake::defaultProcResult);
    EXPECT_EQ(Send(WM_SYSCOMMAND, SC_CLOSE), fake::defaultProcResult);
    EXPECT_EQ(Send(WM_SYSCOMMAND, SC_MINIMIZE, -3), fake::defaultProcResult);
    EXPECT_EQ(fake::calls, Calls({
                               "DefWindowProcA(hWnd, 0x112, 61761, 7)",
                               "DefWindowProcA(hWnd, 0x112, 61810, 0)",
                               "DefWindowProcA(hWnd, 0x112, 61536, 0)",
                               "DefWindowProcA(hWnd, 0x112, 61472, -3)",
                           }));
}

TEST_F(WindowProcTest, CloseAsksTheLoopToQuitAndLeavesTheWindow) {
    WindowState.windowHandle = fake::window;
    EXPECT_EQ(Send(WM_CLOSE, 0), 0);
    EXPECT_EQ(fake::calls, Calls({"PostQuitMessage(0)"}));
    EXPECT_EQ(WindowState.windowHandle, fake::window);
}

TEST_F(WindowProcTest, KeyMessagesSetAndClearTheirEntryOnly) {
    EXPECT_EQ(Send(WM_KEYDOWN, VK_F1), 0);
    EXPECT_TRUE(WindowState.keyDown[VK_F1]);
    // Only that entry changed, in both tables.
    for (int key = 0; key < 256; ++key) {
        EXPECT_EQ(WindowState.keyDown[key], key == VK_F1) << key;
        EXPECT_EQ(WindowState.keyPressed[key], key == VK_F1) << key;
    }

    // A repeat sets a cleared entry again.
    WindowState.keyDown[VK_F1] = false;
    EXPECT_EQ(Send(WM_KEYDOWN, VK_F1, 0x40000001), 0);
    EXPECT_TRUE(WindowState.keyDown[VK_F1]);

    EXPECT_EQ(Send(WM_KEYDOWN, 0), 0);
    EXPECT_EQ(Send(WM_KEYDOWN, 255), 0);
    EXPECT_TRUE(WindowState.keyDown[0]);
    EXPECT_TRUE(WindowState.keyDown[255]);

    EXPECT_EQ(Send(WM_KEYUP, VK_F1), 0);
    EXPECT_EQ(Send(WM_KEYUP, 255), 0);
    EXPECT_FALSE(WindowState.keyDown[VK_F1]);
    EXPECT_FALSE(WindowState.keyDown[255]);
    EXPECT_TRUE(WindowState.keyDown[0]);
    // A press stays recorded through the key-up, for the loop to take.
    EXPECT_TRUE(WindowState.keyPressed[VK_F1]);
    EXPECT_TRUE(WindowState.keyPressed[255]);
    // Key-up of a key that is not down leaves it up.
    EXPECT_EQ(Send(WM_KEYUP, VK_ESCAPE), 0);
    EXPECT_FALSE(WindowState.keyDown[VK_ESCAPE]);
    EXPECT_TRUE(fake::calls.empty());
}

TEST_F(WindowProcTest, KeyCodesOutsideTheTableAreIgnored) {
    WindowStateRecord before = WindowState;
    for (WPARAM code : {WPARAM(256), WPARAM(256 + VK_ESCAPE), WPARAM(0x10000), ~WPARAM(0)}) {
        EXPECT_EQ(Send(WM_KEYDOWN, code), 0);
        EXPECT_EQ(Send(WM_KEYUP, code), 0);
    }
    EXPECT_EQ(memcmp(before.keyDown, WindowState.keyDown, sizeof(KeyTable)), 0);
    EXPECT_EQ(memcmp(before.keyPressed, WindowState.keyPressed, sizeof(KeyTable)), 0);
    EXPECT_EQ(memcmp(&before.pixelFormatDesc, &WindowState.pixelFormatDesc, sizeof(PIXELFORMATDESCRIPTOR)), 0);
    EXPECT_EQ(before.isActive, WindowState.isActive);
    EXPECT_EQ(before.isFullscreen, WindowState.isFullscreen);
    EXPECT_TRUE(fake::calls.empty());
}

TEST_F(WindowProcTest, SystemKeysNeverReachTheKeyTable) {
    EXPECT_EQ(Send(WM_SYSKEYDOWN, VK_F4, 0x20000001), fake::defaultProcResult);
    EXPECT_EQ(Send(WM_SYSKEYDOWN, VK_F10), fake::defaultProcResult);
    EXPECT_EQ(Send(WM_SYSKEYUP, VK_F10), fake::defaultProcResult);
    EXPECT_FALSE(WindowState.keyDown[VK_F4]);
    EXPECT_FALSE(WindowState.keyDown[VK_F10]);
    EXPECT_FALSE(WindowState.keyPressed[VK_F10]);
    EXPECT_EQ(fake::calls.size(), 3u);
}

TEST_F(WindowProcTest, SizeMessagesResizeTheSceneWithTheUnsignedClientSize) {
    EXPECT_EQ(Send(WM_SIZE, SIZE_RESTORED, MAKELONG(800, 600)), 0);
    EXPECT_EQ(Send(WM_SIZE, SIZE_MINIMIZED, 0), 0);
    EXPECT_EQ(Send(WM_SIZE, SIZE_MAXIMIZED, MAKELONG(0xFFFF, 0x8000)), 0);
    EXPECT_EQ(Send(WM_SIZE, SIZE_RESTORED, MAKELONG(1, 0)), 0);
    EXPECT_EQ(fake::calls, Calls({
                               "ResizeScene(800, 600)",
                               "ResizeScene(0, 0)",
                               "ResizeScene(65535, 32768)",
                               "ResizeScene(1, 0)",
                           }));
}

TEST_F(WindowProcTest, OtherMessagesGoToTheDefaultProcedureUnchanged) {
    EXPECT_EQ(Send(0x000F /* WM_PAINT */, 0, 0), fake::defaultProcResult);
    EXPECT_EQ(Send(WM_CHAR, 'a', 0x1E0001), fake::defaultProcResult);
    EXPECT_EQ(Send(WM_NCCREATE, 0, 1234), fake::defaultProcResult);
    EXPECT_EQ(Send(0x7FFF, ~WPARAM(0), -1), fake::defaultProcResult);
    EXPECT_EQ(fake::calls, Calls({
                               "DefWindowProcA(hWnd, 0xf, 0, 0)",
                               "DefWindowProcA(hWnd, 0x102, 97, 1966081)",
                               "DefWindowProcA(hWnd, 0x81, 0, 1234)",
                               "DefWindowProcA(hWnd, 0x7fff, " + std::to_string(~WPARAM(0)) + ", -1)",
                           }));
}

// Messages in, the view out: drags (also out of the window, against the
// elevation's stops, across the azimuth's wrap), wheel notches and their
// fractions, the zoom's stops, the keys, Home and F. The pivot and the
// framing radius come from a model with a non-finite vertex.
TEST_F(WindowProcTest, MouseAndKeysMoveTheView) {
    ModelTriangle triangles[2] = {
        {{{-1, 0, 2, 0, 0}, {3, 1, 2, 0, 0}, {1, -2, NAN, 0, 0}}},
        {{{1, -2, 4, 0, 0}, {1, INFINITY, 0, 0, 0}, {1, 0, 2, 0, 0}}},
    };
    ModelStore.triangles = triangles;
    ModelStore.triangleCount = 2;
    SetViewPivotFromModel();
    ModelStore.triangles = nullptr;
    ModelStore.triangleCount = 0;
    EXPECT_EQ(ViewPivot.center[0], 1.0);
    EXPECT_EQ(ViewPivot.center[1], -0.5);
    EXPECT_EQ(ViewPivot.center[2], 3.0);
    EXPECT_EQ(ViewPivot.radius, std::sqrt(4.0 + 2.25 + 1.0));

    // F at the start view's distance fits a sphere of radius 5 sin 22.5
    // degrees (the vertical half-angle of a 4:3 view) at zoom 1.
    const double start = std::sqrt(1.0 + 0.25 + 4.0);  // the pivot's distance from the eye
    const double framed = ViewPivot.radius / (5.0 * std::sin(22.5 * M_PI / 180.0)) * 5.0 / start;

    struct Case {
        UINT message;
        WPARAM wParam;
        int x, y;
        ViewPose view;
        const char* call;  // the platform call the message makes, if any
    };
    const Case cases[] = {
        {WM_MOUSEMOVE, 0, 10, 10, {0, 0, 1}, nullptr},  // no button: nothing
        {WM_LBUTTONDOWN, MK_LBUTTON, 100, 100, {0, 0, 1}, "SetCapture(hWnd)"},
        {WM_MOUSEMOVE, MK_LBUTTON, 130, 90, {15, -5, 1}, nullptr},
        {WM_MOUSEMOVE, MK_LBUTTON, -20, 300, {-60, 90, 1}, nullptr},  // outside; stops at 90
        {WM_MOUSEMOVE, MK_LBUTTON, -20, 200, {-60, 40, 1}, nullptr},
        {WM_LBUTTONUP, 0, 0, 200, {-50, 40, 1}, "ReleaseCapture()"},
        {WM_MOUSEMOVE, 0, 500, 500, {-50, 40, 1}, nullptr},
        {WM_LBUTTONDOWN, MK_LBUTTON, 0, 0, {-50, 40, 1}, "SetCapture(hWnd)"},
        {WM_MOUSEMOVE, MK_LBUTTON, 400, -400, {150, -90, 1}, nullptr},
        {WM_MOUSEMOVE, MK_LBUTTON, 460, -400, {180, -90, 1}, nullptr},
        {WM_MOUSEMOVE, MK_LBUTTON, 480, -400, {-170, -90, 1}, nullptr},  // 190 wraps
        {WM_MOUSEMOVE, 0, 900, 0, {-170, -90, 1}, "ReleaseCapture()"},  // released unseen
        {WM_MOUSEMOVE, MK_LBUTTON, 900, 100, {-170, -90, 1}, nullptr},
        {WM_MOUSEWHEEL, MAKEWPARAM(0, 120), 0, 0, {-170, -90, 0.9}, nullptr},
        {WM_MOUSEWHEEL, MAKEWPARAM(0, 240), 0, 0, {-170, -90, 0.729}, nullptr},
        {WM_MOUSEWHEEL, MAKEWPARAM(0, -360), 0, 0, {-170, -90, 1}, nullptr},
        {WM_MOUSEWHEEL, MAKEWPARAM(MK_SHIFT, -60), 0, 0, {-170, -90, 1 / std::sqrt(0.9)}, nullptr},
        {WM_MOUSEWHEEL, MAKEWPARAM(0, 32767), 0, 0, {-170, -90, 0.05}, nullptr},
        {WM_MOUSEWHEEL, MAKEWPARAM(0, -32768), 0, 0, {-170, -90, 20}, nullptr},
        {WM_KEYDOWN, VK_PRIOR, 0, 0, {-170, -90, 18}, nullptr},
        {WM_KEYDOWN, VK_ADD, 0, 0, {-170, -90, 16.2}, nullptr},
        {WM_KEYDOWN, VK_OEM_PLUS, 0, 0, {-170, -90, 14.58}, nullptr},
        {WM_KEYDOWN, VK_NEXT, 0, 0, {-170, -90, 16.2}, nullptr},
        {WM_KEYDOWN, VK_OEM_MINUS, 0, 0, {-170, -90, 18}, nullptr},
        {WM_KEYDOWN, VK_SUBTRACT, 0, 0, {-170, -90, 20}, nullptr},
        {WM_KEYDOWN, VK_RIGHT, 0, 0, {-155, -90, 20}, nullptr},
        {WM_KEYDOWN, VK_DOWN, 0, 0, {-155, -75, 20}, nullptr},
        {WM_KEYDOWN, VK_DOWN, 0, 0, {-155, -60, 20}, nullptr},  // a repeat
        {WM_KEYDOWN, VK_LEFT, 0, 0, {-170, -60, 20}, nullptr},
        {WM_KEYDOWN, VK_UP, 0, 0, {-170, -75, 20}, nullptr},
        {WM_KEYDOWN, 'F', 0, 0, {-170, -75, framed}, nullptr},
        {WM_KEYDOWN, VK_HOME, 0, 0, {30, 20, 0.8}, nullptr},
        {WM_KEYUP, VK_LEFT, 0, 0, {30, 20, 0.8}, nullptr},
    };
    HomeView = {30, 20, 0.8};
    CurrentView = StartView;
    int step = 0;
    for (const Case& c : cases) {
        fake::calls.clear();
        EXPECT_EQ(Send(c.message, c.wParam, MAKELPARAM(c.x, c.y)), 0) << step;
        EXPECT_NEAR(CurrentView.azimuth, c.view.azimuth, 1e-9) << step;
        EXPECT_NEAR(CurrentView.elevation, c.view.elevation, 1e-9) << step;
        EXPECT_NEAR(CurrentView.zoom, c.view.zoom, 1e-9) << step;
        EXPECT_EQ(fake::calls, c.call ? Calls({c.call}) : Calls()) << step;
        ++step;
    }
    // The keys still count in the key table.
    EXPECT_TRUE(WindowState.keyPressed[VK_HOME] && WindowState.keyPressed['F'] && WindowState.keyDown[VK_DOWN]);
    EXPECT_FALSE(WindowState.keyDown[VK_LEFT]);
}

}  // namespace
