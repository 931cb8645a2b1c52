// The window procedure's message table, against the recording fake.
#include <cstring>

#include "app_test.h"

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

}  // namespace
