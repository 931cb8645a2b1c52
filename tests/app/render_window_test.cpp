// Building and tearing down the render window, against the recording fake.
#include <cstring>

#include "app_test.h"

namespace {

using Calls = std::vector<std::string>;

Calls Concat(std::initializer_list<Calls> parts) {
    Calls all;
    for (const Calls& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

const Calls classSteps = {
    "GetModuleHandleA(NULL)",
    "LoadIconA(NULL, 32517)",
    "LoadCursorA(NULL, 32512)",
    "RegisterClassA(\"OpenGL\")",
};

// Steps from the pixel format on, identical in both modes.
const Calls contextSteps = {
    "GetDC(hWnd)",
    "ChoosePixelFormat(hDC, pfd)",
    "SetPixelFormat(hDC, 7, pfd)",
    "wglCreateContext(hDC)",
    "wglMakeCurrent(hDC, hRC)",
    "ShowWindow(hWnd, 5)",
    "SetForegroundWindow(hWnd)",
    "SetFocus(hWnd)",
    "ResizeScene(640, 480)",
    "InitScene()",
};

const Calls windowedWindowSteps = {
    "AdjustWindowRectEx({0, 0, 640, 480}, 0xcf0000, FALSE, 0x40100)",
    "CreateWindowExA(0x40100, \"OpenGL\", \"Title\", 0x6cf0000, 0, 0, 646, 509, NULL, NULL, hInstance, NULL)",
};

const Calls fullscreenWindowSteps = {
    "ChangeDisplaySettingsA(dm, 0x4)",
    "ShowCursor(FALSE)",
    "AdjustWindowRectEx({0, 0, 640, 480}, 0x80000000, FALSE, 0x40000)",
    "CreateWindowExA(0x40000, \"OpenGL\", \"Title\", 0x86000000, 0, 0, 640, 480, NULL, NULL, hInstance, NULL)",
};

const Calls displayRestore = {"ChangeDisplaySettingsA(NULL, 0x0)", "ShowCursor(TRUE)"};

// The pixel-format request after the first fill, field by field.
PIXELFORMATDESCRIPTOR ExpectedPixelFormat(BYTE colorBits) {
    PIXELFORMATDESCRIPTOR pfd;
    memset(&pfd, 0, sizeof(pfd));
    pfd.nSize = 40;
    pfd.nVersion = 1;
    pfd.dwFlags = 0x25;
    pfd.iPixelType = 0;
    pfd.cColorBits = colorBits;
    pfd.cDepthBits = 16;
    pfd.iLayerType = 0;
    return pfd;
}

bool SameRecord(const PIXELFORMATDESCRIPTOR& a, const PIXELFORMATDESCRIPTOR& b) {
    return memcmp(&a, &b, sizeof(a)) == 0;
}

void ExpectAllHandlesNull() {
    EXPECT_EQ(WindowState.instanceHandle, nullptr);
    EXPECT_EQ(WindowState.windowHandle, nullptr);
    EXPECT_EQ(WindowState.deviceContext, nullptr);
    EXPECT_EQ(WindowState.renderContext, nullptr);
}

using RenderWindowTest = AppTest;

TEST_F(RenderWindowTest, WindowedBuildMakesItsCallsInOrderAndHoldsTheHandles) {
    ASSERT_TRUE(OpenRenderWindow("Title", 640, 480, 16, false));

    EXPECT_EQ(fake::calls, Concat({classSteps, windowedWindowSteps, contextSteps}));
    EXPECT_TRUE(fake::boxes.empty());
    EXPECT_FALSE(WindowState.isFullscreen);
    EXPECT_EQ(WindowState.instanceHandle, fake::instance);
    EXPECT_EQ(WindowState.windowHandle, fake::window);
    EXPECT_EQ(WindowState.deviceContext, fake::dc);
    EXPECT_EQ(WindowState.renderContext, fake::rc);

    const WNDCLASSA& wc = fake::registeredClass;
    EXPECT_EQ(wc.style, 0x23u);
    EXPECT_EQ(wc.lpfnWndProc, &RenderWindowProc);
    EXPECT_EQ(wc.cbClsExtra, 0);
    EXPECT_EQ(wc.cbWndExtra, 0);
    EXPECT_EQ(wc.hInstance, fake::instance);
    EXPECT_EQ(wc.hIcon, fake::icon);
    EXPECT_EQ(wc.hCursor, fake::cursor);
    EXPECT_EQ(wc.hbrBackground, nullptr);
    EXPECT_EQ(wc.lpszMenuName, nullptr);
    EXPECT_STREQ(wc.lpszClassName, "OpenGL");

    ASSERT_EQ(fake::choosePixelFormatRecords.size(), 1u);
    ASSERT_EQ(fake::setPixelFormatRecords.size(), 1u);
    EXPECT_TRUE(SameRecord(fake::choosePixelFormatRecords[0], ExpectedPixelFormat(16)));
    EXPECT_TRUE(SameRecord(fake::setPixelFormatRecords[0], ExpectedPixelFormat(16)));
}

TEST_F(RenderWindowTest, FullscreenBuildChangesTheDisplayModeAndHidesTheCursorBeforeTheWindow) {
    ASSERT_TRUE(OpenRenderWindow("Title", 640, 480, 16, true));

    EXPECT_EQ(fake::calls, Concat({classSteps, fullscreenWindowSteps, contextSteps}));
    EXPECT_TRUE(WindowState.isFullscreen);

    DEVMODEA expected;
    memset(&expected, 0, sizeof(expected));
    expected.dmSize = 148;
    expected.dmPelsWidth = 640;
    expected.dmPelsHeight = 480;
    expected.dmBitsPerPel = 16;
    expected.dmFields = 0x1C0000;
    EXPECT_EQ(memcmp(&fake::displayMode, &expected, sizeof(expected)), 0)
        << "the display-mode record is all zeros but size, width, height, depth and fields";
}

TEST_F(RenderWindowTest, BuildArgumentsReachTheDisplayModeAndTheWindow) {
    ASSERT_TRUE(OpenRenderWindow("Other", 800, 600, 32, true));
    EXPECT_EQ(fake::displayMode.dmPelsWidth, 800u);
    EXPECT_EQ(fake::displayMode.dmPelsHeight, 600u);
    EXPECT_EQ(fake::displayMode.dmBitsPerPel, 32u);
    EXPECT_NE(fake::Find("CreateWindowExA(0x40000, \"OpenGL\", \"Other\", 0x86000000, 0, 0, 800, 600, "
                         "NULL, NULL, hInstance, NULL)"),
              fake::calls.size());
    EXPECT_NE(fake::Find("ResizeScene(800, 600)"), fake::calls.size());
    EXPECT_TRUE(SameRecord(fake::choosePixelFormatRecords.at(0), ExpectedPixelFormat(32)));
}

TEST_F(RenderWindowTest, RefusedFullscreenAnsweredYesGoesOnWindowedAndLeavesDisplayAndCursorAlone) {
    fake::failing = {"ChangeDisplaySettingsA"};
    fake::answers["Kelmo GL"] = IDYES;
    ASSERT_TRUE(OpenRenderWindow("Title", 640, 480, 16, true));

    Calls question = {
        "ChangeDisplaySettingsA(dm, 0x4)",
        "MessageBoxA(NULL, \"The Requested Fullscreen Mode Is Not Supported By\nYour Video Card. "
        "Use Windowed Mode Instead?\", \"Kelmo GL\", 0x34)",
    };
    EXPECT_EQ(fake::calls, Concat({classSteps, question, windowedWindowSteps, contextSteps}));
    EXPECT_FALSE(WindowState.isFullscreen);

    size_t teardownStart = fake::calls.size();
    CloseRenderWindow();
    EXPECT_EQ(fake::CallsFrom(teardownStart), FullRelease()) << "no display restore, no ShowCursor";
}

TEST_F(RenderWindowTest, RefusedFullscreenAnsweredNoClosesWithoutTeardown) {
    fake::failing = {"ChangeDisplaySettingsA"};
    fake::answers["Kelmo GL"] = IDNO;
    EXPECT_FALSE(OpenRenderWindow("Title", 640, 480, 16, true));

    Calls expected = Concat({classSteps, {
        "ChangeDisplaySettingsA(dm, 0x4)",
        "MessageBoxA(NULL, \"The Requested Fullscreen Mode Is Not Supported By\nYour Video Card. "
        "Use Windowed Mode Instead?\", \"Kelmo GL\", 0x34)",
        "MessageBoxA(NULL, \"Program Will Now Close.\", \"ERROR\", 0x10)",
    }});
    EXPECT_EQ(fake::calls, expected);
    // The class stays registered: its instance is still held.
    EXPECT_EQ(WindowState.instanceHandle, fake::instance);
    EXPECT_TRUE(WindowState.isFullscreen);
}

TEST_F(RenderWindowTest, RefusedFullscreenWithAnyAnswerButYesCloses) {
    for (int answer : {IDOK, IDCANCEL, 0}) {
        fake::Reset();
        fake::failing = {"ChangeDisplaySettingsA"};
        fake::answers["Kelmo GL"] = answer;
        EXPECT_FALSE(OpenRenderWindow("Title", 640, 480, 16, true)) << answer;
        ASSERT_FALSE(fake::boxes.empty());
        EXPECT_EQ(fake::boxes.back().text, "Program Will Now Close.") << answer;
    }
}

TEST_F(RenderWindowTest, ClassRegistrationFailureShowsOneBoxAndTouchesNothingElse) {
    WindowState.isActive = false;
    WindowState.keyDown[VK_F1] = true;
    fake::failing = {"RegisterClassA"};
    EXPECT_FALSE(OpenRenderWindow("Title", 640, 480, 16, true));

    Calls expected = classSteps;
    expected.push_back("MessageBoxA(NULL, \"Failed To Register The Window Class.\", \"ERROR\", 0x30)");
    EXPECT_EQ(fake::calls, expected);
    EXPECT_TRUE(WindowState.isFullscreen);
    EXPECT_EQ(WindowState.instanceHandle, fake::instance);
    EXPECT_EQ(WindowState.windowHandle, nullptr);
    EXPECT_FALSE(WindowState.isActive);
    EXPECT_TRUE(WindowState.keyDown[VK_F1]);
    EXPECT_FALSE(isPixelFormatFilled);
}

// A failure from window creation on: the teardown of what was built, then
// the step's box.
struct BuildFailure {
    const char* failingCall;
    const char* text;
    Calls releases;  // what the teardown releases, after any display restore
};

const BuildFailure buildFailures[] = {
    {"CreateWindowExA", "Window Creation Error.", {"UnregisterClassA(\"OpenGL\", hInstance)"}},
    {"GetDC", "Can't Create A GL Device Context.",
     {"DestroyWindow(hWnd)", "UnregisterClassA(\"OpenGL\", hInstance)"}},
    {"ChoosePixelFormat", "Can't Find A Suitable PixelFormat.",
     {"ReleaseDC(hWnd, hDC)", "DestroyWindow(hWnd)", "UnregisterClassA(\"OpenGL\", hInstance)"}},
    {"SetPixelFormat", "Can't Set The PixelFormat.",
     {"ReleaseDC(hWnd, hDC)", "DestroyWindow(hWnd)", "UnregisterClassA(\"OpenGL\", hInstance)"}},
    {"wglCreateContext", "Can't Create A GL Rendering Context.",
     {"ReleaseDC(hWnd, hDC)", "DestroyWindow(hWnd)", "UnregisterClassA(\"OpenGL\", hInstance)"}},
    {"wglMakeCurrent", "Can't Activate The GL Rendering Context.", FullRelease()},
    {"InitScene", "Initialization Failed.", FullRelease()},
};

void PrintTo(const BuildFailure& failure, std::ostream* out) {
    *out << failure.failingCall;
}

class BuildFailureTest : public AppTest, public ::testing::WithParamInterface<std::tuple<BuildFailure, bool>> {};

TEST_P(BuildFailureTest, TearsDownBeforeTheBoxAndLeavesAllHandlesNull) {
    const BuildFailure& failure = std::get<0>(GetParam());
    bool isFullscreen = std::get<1>(GetParam());
    fake::failing = {failure.failingCall};

    EXPECT_FALSE(OpenRenderWindow("Title", 640, 480, 16, isFullscreen));

    size_t failedAt = 0;
    while (failedAt < fake::calls.size() &&
           fake::calls[failedAt].compare(0, strlen(failure.failingCall) + 1,
                                         std::string(failure.failingCall) + "(") != 0) {
        ++failedAt;
    }
    ASSERT_LT(failedAt, fake::calls.size()) << failure.failingCall << " was never called";
    Calls afterFailure = isFullscreen ? Concat({displayRestore, failure.releases}) : failure.releases;
    afterFailure.push_back("MessageBoxA(NULL, \"" + std::string(failure.text) + "\", \"ERROR\", 0x30)");
    EXPECT_EQ(fake::CallsFrom(failedAt + 1), afterFailure);

    ASSERT_EQ(fake::boxes.size(), 1u);
    const fake::Box& box = fake::boxes[0];
    EXPECT_EQ(box.instanceHandle, nullptr);
    EXPECT_EQ(box.windowHandle, nullptr);
    EXPECT_EQ(box.deviceContext, nullptr);
    EXPECT_EQ(box.renderContext, nullptr);
    ExpectAllHandlesNull();
    EXPECT_EQ(WindowState.isFullscreen, isFullscreen);
}

INSTANTIATE_TEST_SUITE_P(EveryStep, BuildFailureTest,
                         ::testing::Combine(::testing::ValuesIn(buildFailures), ::testing::Bool()),
                         [](const auto& info) {
                             std::string name = std::get<0>(info.param).failingCall;
                             return name + (std::get<1>(info.param) ? "Fullscreen" : "Windowed");
                         });

TEST_F(RenderWindowTest, SceneIsInitialisedOnlyAfterTheWindowIsShownAndSized) {
    fake::failing = {"InitScene"};
    EXPECT_FALSE(OpenRenderWindow("Title", 640, 480, 16, false));
    size_t shown = fake::Find("ShowWindow(hWnd, 5)");
    size_t sized = fake::Find("ResizeScene(640, 480)");
    size_t init = fake::Find("InitScene()");
    size_t destroyed = fake::Find("DestroyWindow(hWnd)");
    EXPECT_LT(shown, sized);
    EXPECT_LT(sized, init);
    EXPECT_LT(init, destroyed);
}

// Teardown of a complete fullscreen window with one release failing: its box
// right after it, and the later releases all the same.
struct ReleaseFailure {
    const char* failingCall;
    const char* releaseCall;
    const char* text;
};

const ReleaseFailure releaseFailures[] = {
    {"wglMakeCurrent(NULL)", "wglMakeCurrent(NULL, NULL)", "Release Of DC And RC Failed."},
    {"wglDeleteContext", "wglDeleteContext(hRC)", "Release Rendering Context Failed."},
    {"ReleaseDC", "ReleaseDC(hWnd, hDC)", "Release Device Context Failed."},
    {"DestroyWindow", "DestroyWindow(hWnd)", "Could Not Release hWnd."},
    {"UnregisterClassA", "UnregisterClassA(\"OpenGL\", hInstance)", "Could Not Unregister Class."},
};

void PrintTo(const ReleaseFailure& failure, std::ostream* out) {
    *out << failure.releaseCall;
}

class ReleaseFailureTest : public AppTest, public ::testing::WithParamInterface<ReleaseFailure> {};

TEST_P(ReleaseFailureTest, ShowsItsBoxAndTheTeardownGoesOn) {
    const ReleaseFailure& failure = GetParam();
    ASSERT_TRUE(OpenRenderWindow("Title", 640, 480, 16, true));
    size_t teardownStart = fake::calls.size();
    fake::failing = {failure.failingCall};

    CloseRenderWindow();

    Calls expected = displayRestore;
    for (const std::string& release : FullRelease()) {
        expected.push_back(release);
        if (release == failure.releaseCall) {
            expected.push_back("MessageBoxA(NULL, \"" + std::string(failure.text) + "\", \"SHUTDOWN ERROR\", 0x40)");
        }
    }
    EXPECT_EQ(fake::CallsFrom(teardownStart), expected);
    ExpectAllHandlesNull();
}

INSTANTIATE_TEST_SUITE_P(EveryRelease, ReleaseFailureTest, ::testing::ValuesIn(releaseFailures),
                         [](const auto& info) {
                             std::string name = info.param.failingCall;
                             return name == "wglMakeCurrent(NULL)" ? std::string("wglMakeCurrentNull") : name;
                         });

TEST_F(RenderWindowTest, TeardownInAnyStateReleasesOnlyWhatIsHeldAndKeepsTheFlags) {
    // Process start: nothing held, fullscreen flag still at its initial true.
    CloseRenderWindow();
    EXPECT_EQ(fake::calls, Concat({displayRestore, {"UnregisterClassA(\"OpenGL\", NULL)"}}));

    fake::Reset();
    WindowState.isFullscreen = false;
    WindowState.isActive = false;
    WindowState.keyDown[VK_ESCAPE] = true;
    WindowState.windowHandle = fake::window;
    WindowState.instanceHandle = fake::instance;
    PIXELFORMATDESCRIPTOR pfdBefore = WindowState.pixelFormatDesc;
    CloseRenderWindow();
    EXPECT_EQ(fake::calls, Calls({"DestroyWindow(hWnd)", "UnregisterClassA(\"OpenGL\", hInstance)"}));
    EXPECT_FALSE(WindowState.isFullscreen);
    EXPECT_FALSE(WindowState.isActive);
    EXPECT_TRUE(WindowState.keyDown[VK_ESCAPE]);
    EXPECT_TRUE(SameRecord(WindowState.pixelFormatDesc, pfdBefore));
    ExpectAllHandlesNull();
}

TEST_F(RenderWindowTest, PixelFormatRecordIsFilledByTheFirstBuildPastWindowCreationOnly) {
    // Process start: only the fixed part is set.
    PIXELFORMATDESCRIPTOR preset;
    memset(&preset, 0, sizeof(preset));
    preset.nSize = 40;
    preset.nVersion = 1;
    preset.dwFlags = 0x25;
    EXPECT_TRUE(SameRecord(WindowState.pixelFormatDesc, preset));

    // A build that fails at window creation does not fill it.
    fake::failing = {"CreateWindowExA"};
    EXPECT_FALSE(OpenRenderWindow("Title", 640, 480, 16, false));
    EXPECT_TRUE(SameRecord(WindowState.pixelFormatDesc, preset));

    // The next build does, with its colour depth.
    fake::Reset();
    ASSERT_TRUE(OpenRenderWindow("Title", 640, 480, 24, false));
    EXPECT_TRUE(SameRecord(WindowState.pixelFormatDesc, ExpectedPixelFormat(24)));

    // Every later build hands the record on as it stands, without refilling.
    CloseRenderWindow();
    WindowState.pixelFormatDesc.cDepthBits = 32;
    fake::Reset();
    ASSERT_TRUE(OpenRenderWindow("Title", 640, 480, 16, false));
    PIXELFORMATDESCRIPTOR kept = ExpectedPixelFormat(24);
    kept.cDepthBits = 32;
    ASSERT_EQ(fake::choosePixelFormatRecords.size(), 1u);
    EXPECT_TRUE(SameRecord(fake::choosePixelFormatRecords[0], kept));
    EXPECT_TRUE(SameRecord(fake::setPixelFormatRecords[0], kept));
}

TEST_F(RenderWindowTest, RebuildAfterTeardownRegistersAgainAndSizesTheViewToTheClientArea) {
    ASSERT_TRUE(OpenRenderWindow("Title", 640, 480, 16, true));
    CloseRenderWindow();
    size_t rebuild = fake::calls.size();
    ASSERT_TRUE(OpenRenderWindow("Title", 640, 480, 16, false));
    EXPECT_EQ(fake::CallsFrom(rebuild), Concat({classSteps, windowedWindowSteps, contextSteps}))
        << "outer window 646 x 509, view 640 x 480";
}

}  // namespace
