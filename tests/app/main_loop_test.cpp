// The entry point and its message and frame loop, against the recording fake.
#include "app_test.h"
#include "app/scene_reload.h"

namespace {

using Calls = std::vector<std::string>;
using fake::Idle;
using fake::Message;

const char* const question =
    "MessageBoxA(NULL, \"Would You Like To Run In Fullscreen Mode?\", \"Start FullScreen?\", 0x24)";
const char* const windowedCreate =
    "CreateWindowExA(0x40100, \"OpenGL\", \"Kelmo's OpenGL Framework\", 0x6cf0000, 0, 0, 646, 509, "
    "NULL, NULL, hInstance, NULL)";
const char* const fullscreenCreate =
    "CreateWindowExA(0x40000, \"OpenGL\", \"Kelmo's OpenGL Framework\", 0x86000000, 0, 0, 640, 480, "
    "NULL, NULL, hInstance, NULL)";

class MainLoopTest : public AppTest {
protected:
    int Run() { return WinMain(fake::instance, nullptr, const_cast<char*>(""), SW_SHOWDEFAULT); }

    // The loop's own calls and the scene's, without the builds' details.
    static Calls LoopCalls() {
        return fake::CallsNamed({"PeekMessageA", "TranslateMessage", "DispatchMessageA", "DrawScene",
                                 "SwapBuffers", "CreateWindowExA", "DestroyWindow", "PostQuitMessage"});
    }

    static size_t Count(const std::string& call) {
        size_t n = 0;
        for (const std::string& c : fake::calls) {
            n += c == call;
        }
        return n;
    }
};

const char* const peek = "PeekMessageA(NULL, 0, 0, 0x1)";

TEST_F(MainLoopTest, AsksTheStartUpQuestionFirstAndAnswerNoBuildsWindowed) {
    fake::answers["Start FullScreen?"] = IDNO;
    fake::script = {Message(WM_QUIT, 0)};
    EXPECT_EQ(Run(), 0);
    ASSERT_FALSE(fake::calls.empty());
    EXPECT_EQ(fake::calls[0], question);
    EXPECT_EQ(Count(windowedCreate), 1u);
    EXPECT_EQ(Count("ResizeScene(640, 480)"), 1u);
    EXPECT_FALSE(WindowState.isFullscreen);
}

TEST_F(MainLoopTest, AnyAnswerButNoBuildsFullscreen) {
    for (int answer : {IDYES, IDOK, IDCANCEL, 0}) {
        SetUp();
        fake::answers["Start FullScreen?"] = answer;
        fake::script = {Message(WM_QUIT, 0)};
        EXPECT_EQ(Run(), 0);
        EXPECT_EQ(Count(fullscreenCreate), 1u) << answer;
        EXPECT_EQ(Count("ChangeDisplaySettingsA(dm, 0x4)"), 1u) << answer;
        EXPECT_TRUE(WindowState.isFullscreen) << answer;
    }
}

TEST_F(MainLoopTest, FailedFirstBuildEndsWithZeroWithoutLoopOrTeardown) {
    fake::answers["Start FullScreen?"] = IDNO;
    fake::failing = {"wglCreateContext"};
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(fake::calls.back(),
              "MessageBoxA(NULL, \"Can't Create A GL Rendering Context.\", \"ERROR\", 0x30)");
    EXPECT_EQ(Count(peek), 0u);
}

TEST_F(MainLoopTest, TakesOneMessagePerPassAndDrawsOnlyWhenNoneIsWaiting) {
    fake::answers["Start FullScreen?"] = IDNO;
    fake::script = {Message(WM_KEYDOWN, 'A'), Message(WM_KEYUP, 'A'), Idle(), Idle(),
                    Message(WM_QUIT, 0)};
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(LoopCalls(), Calls({
                               windowedCreate,
                               peek, "TranslateMessage(0x100, 65)", "DispatchMessageA(0x100, 65)",
                               peek, "TranslateMessage(0x101, 65)", "DispatchMessageA(0x101, 65)",
                               peek, "DrawScene()", "SwapBuffers(hDC)",
                               peek, "DrawScene()", "SwapBuffers(hDC)",
                               peek,
                               "DestroyWindow(hWnd)",
                           }));
    EXPECT_EQ(fake::passesPastScript, 0);
}

TEST_F(MainLoopTest, QuitMessageEndsTheLoopWithItsCodeAndIsNotDispatched) {
    fake::answers["Start FullScreen?"] = IDNO;
    fake::script = {Idle(), Message(WM_QUIT, 3), Idle()};
    EXPECT_EQ(Run(), 3);
    EXPECT_EQ(Count("DispatchMessageA(0x12, 3)"), 0u);
    EXPECT_EQ(Count("TranslateMessage(0x12, 3)"), 0u);
    EXPECT_EQ(fake::script.size(), 1u) << "no pass after the quit message";
    // The final teardown, after the last pass.
    EXPECT_EQ(fake::calls.back(), "UnregisterClassA(\"OpenGL\", hInstance)");
    EXPECT_GT(fake::Find("DestroyWindow(hWnd)"), fake::Find(peek));
}

TEST_F(MainLoopTest, ClosingTheWindowEndsWithZeroAndDestroysItOnlyInTheFinalTeardown) {
    fake::answers["Start FullScreen?"] = IDNO;
    fake::script = {Idle(), Message(WM_CLOSE), Idle()};
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(LoopCalls(), Calls({
                               windowedCreate,
                               peek, "DrawScene()", "SwapBuffers(hDC)",
                               peek, "TranslateMessage(0x10, 0)", "DispatchMessageA(0x10, 0)",
                               "PostQuitMessage(0)",
                               peek,  // the quit message
                               "DestroyWindow(hWnd)",
                           }));
    EXPECT_EQ(fake::script.size(), 1u);
}

// A request is served in the next idle pass, before its frame; a failed
// reload's reason follows the title, and the next good one takes it away.
TEST_F(MainLoopTest, ReloadsInPlaceBeforeTheNextFrameAndTitlesTheOutcome) {
    fake::answers["Start FullScreen?"] = IDNO;
    fake::script = {Idle([] { RequestSceneReload(); fake::failing = {"ReloadScene"}; }),
                    Idle([] { RequestSceneReload(); fake::failing.clear(); }), Idle(), Message(WM_QUIT, 0)};
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(fake::CallsNamed({"ReloadScene", "SetWindowTextA", "DrawScene", "CreateWindowExA"}),
              Calls({windowedCreate, "ReloadScene()",
                     "SetWindowTextA(hWnd, \"Kelmo's OpenGL Framework - Wall.bmp: not a picture\")",
                     "DrawScene()", "ReloadScene()", "SetWindowTextA(hWnd, \"Kelmo's OpenGL Framework\")",
                     "DrawScene()", "DrawScene()"}));
}

TEST_F(MainLoopTest, EscWhileActiveEndsWithZeroWithoutDrawing) {
    fake::answers["Start FullScreen?"] = IDNO;
    // The last message taken carries 27; the status is 0 all the same.
    fake::script = {Idle(), Message(WM_KEYDOWN, VK_ESCAPE), Idle(), Idle()};
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(Count("DrawScene()"), 1u);
    EXPECT_EQ(fake::script.size(), 1u) << "the loop ends in the first idle pass that sees Esc";
    EXPECT_EQ(fake::calls.back(), "UnregisterClassA(\"OpenGL\", hInstance)");
    EXPECT_EQ(fake::passesPastScript, 0);
}

TEST_F(MainLoopTest, EscBeforeAnyMessageEndsWithZero) {
    fake::answers["Start FullScreen?"] = IDNO;
    fake::script = {Idle([] { WindowState.keyDown[VK_ESCAPE] = true; })};
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(Count("DrawScene()"), 0u);
    EXPECT_EQ(fake::passesPastScript, 0);
}

TEST_F(MainLoopTest, EscIsHonouredOnlyWhileActive) {
    fake::answers["Start FullScreen?"] = IDNO;
    fake::script = {
        Message(WM_ACTIVATE, MAKELONG(WA_INACTIVE, 1)),
        Message(WM_KEYDOWN, VK_ESCAPE),
        Idle(), Idle(),                    // minimized: neither quit nor frames
        Message(WM_ACTIVATE, WA_ACTIVE),   // restored with Esc still held
        Idle(),                            // ends here
        Idle(),
    };
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(Count("DrawScene()"), 0u);
    EXPECT_EQ(Count("SwapBuffers(hDC)"), 0u);
    EXPECT_EQ(fake::script.size(), 1u);
    EXPECT_EQ(fake::passesPastScript, 0);
}

TEST_F(MainLoopTest, TapsWhoseKeyUpIsTakenBeforeAnyIdlePassStillCount) {
    fake::answers["Start FullScreen?"] = IDNO;
    // Behind a long frame a quick tap's key-down and key-up are both waiting.
    fake::script = {
        Idle(),
        Message(WM_KEYDOWN, VK_F1), Message(WM_KEYUP, VK_F1),
        Idle(),  // draws, then switches once
        Idle(),
        Message(WM_KEYDOWN, VK_ESCAPE), Message(WM_KEYUP, VK_ESCAPE),
        Idle(),  // ends here
        Idle(),
    };
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(Count(fullscreenCreate), 1u);
    EXPECT_EQ(Count(windowedCreate), 1u);
    EXPECT_EQ(Count("DrawScene()"), 3u);
    EXPECT_EQ(fake::script.size(), 1u);
    EXPECT_EQ(fake::passesPastScript, 0);
    // The key table keeps its meaning: both keys are up.
    EXPECT_FALSE(WindowState.keyDown[VK_ESCAPE]);
    EXPECT_FALSE(WindowState.keyDown[VK_F1]);
}

TEST_F(MainLoopTest, ATapCountsInTheNextIdlePassOnlyActiveOrNot) {
    fake::answers["Start FullScreen?"] = IDNO;
    fake::script = {
        Message(WM_ACTIVATE, MAKELONG(WA_INACTIVE, 1)),
        Message(WM_KEYDOWN, VK_ESCAPE), Message(WM_KEYUP, VK_ESCAPE),
        Idle(),                           // minimized: the tap is taken, no quit
        Message(WM_ACTIVATE, WA_ACTIVE),
        Idle(),                           // not kept for the restored window
        Message(WM_QUIT, 5),
    };
    EXPECT_EQ(Run(), 5);
    EXPECT_EQ(Count("DrawScene()"), 1u);
    EXPECT_EQ(fake::passesPastScript, 0);
}

TEST_F(MainLoopTest, NoFramesWhileMinimizedButDeactivatedWindowsDraw) {
    fake::answers["Start FullScreen?"] = IDNO;
    fake::script = {
        Message(WM_ACTIVATE, WA_INACTIVE), Idle(),            // behind another window: drawn
        Message(WM_ACTIVATE, MAKELONG(WA_INACTIVE, 1)), Idle(), Idle(),  // minimized: polled only
        Message(WM_ACTIVATE, WA_ACTIVE), Idle(),
        Message(WM_QUIT, 0),
    };
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(Count("DrawScene()"), 2u);
    EXPECT_EQ(Count("SwapBuffers(hDC)"), 2u);
    EXPECT_EQ(Count(peek), 8u);
}

TEST_F(MainLoopTest, F1DrawsThenSwitchesModeWithinTheSameIdlePass) {
    fake::answers["Start FullScreen?"] = IDNO;
    fake::script = {Message(WM_KEYDOWN, VK_F1), Idle(), Message(WM_QUIT, 0)};
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(LoopCalls(), Calls({
                               windowedCreate,
                               peek, "TranslateMessage(0x100, 112)", "DispatchMessageA(0x100, 112)",
                               peek, "DrawScene()", "SwapBuffers(hDC)",
                               "DestroyWindow(hWnd)",  // teardown of the windowed window
                               fullscreenCreate,
                               peek,
                               "DestroyWindow(hWnd)",
                           }));
    EXPECT_TRUE(WindowState.isFullscreen);
    EXPECT_FALSE(WindowState.keyDown[VK_F1]);
    // The new build made the scene again.
    EXPECT_EQ(Count("InitScene()"), 2u);
    EXPECT_EQ(Count("ResizeScene(640, 480)"), 2u);
}

TEST_F(MainLoopTest, F1SwitchesAlsoWhileMinimized) {
    fake::answers["Start FullScreen?"] = IDYES;
    fake::script = {
        Message(WM_ACTIVATE, MAKELONG(WA_INACTIVE, 1)),
        Message(WM_KEYDOWN, VK_F1),
        Idle(),
        Message(WM_QUIT, 0),
    };
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(Count("DrawScene()"), 0u);
    EXPECT_EQ(Count(fullscreenCreate), 1u);
    EXPECT_EQ(Count(windowedCreate), 1u);
    EXPECT_FALSE(WindowState.isFullscreen);
    EXPECT_FALSE(WindowState.isActive) << "a rebuild leaves the activity flag to the window procedure";
}

TEST_F(MainLoopTest, EscAndF1InTheSamePassSwitchThenEndAndTearDownTheNewWindow) {
    fake::answers["Start FullScreen?"] = IDNO;
    fake::script = {Message(WM_KEYDOWN, VK_ESCAPE), Message(WM_KEYDOWN, VK_F1), Idle(), Idle()};
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(Count("DrawScene()"), 0u);
    EXPECT_EQ(Count(fullscreenCreate), 1u);
    EXPECT_EQ(fake::script.size(), 1u) << "no pass after the switch";
    size_t newWindow = fake::Find(fullscreenCreate);
    EXPECT_NE(fake::Find("DestroyWindow(hWnd)", newWindow), fake::calls.size());
    EXPECT_NE(fake::Find("ChangeDisplaySettingsA(NULL, 0x0)", newWindow), fake::calls.size());
    EXPECT_EQ(fake::calls.back(), "UnregisterClassA(\"OpenGL\", hInstance)");
}

TEST_F(MainLoopTest, HeldF1SwitchesAgainOnEachRepeatThatReachesTheNewWindow) {
    fake::answers["Start FullScreen?"] = IDNO;
    fake::script = {
        Message(WM_KEYDOWN, VK_F1), Idle(),
        Message(WM_KEYDOWN, VK_F1, 0x40000001), Idle(),
        Idle(),  // no further repeat: no further switch
        Message(WM_QUIT, 0),
    };
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(Count(fullscreenCreate), 1u);
    EXPECT_EQ(Count(windowedCreate), 2u);
    EXPECT_FALSE(WindowState.isFullscreen);
}

TEST_F(MainLoopTest, FailedBuildAfterF1EndsWithZeroAndNoFurtherTeardown) {
    fake::answers["Start FullScreen?"] = IDNO;
    fake::script = {Message(WM_KEYDOWN, VK_F1), Idle([] { fake::failing = {"InitScene"}; }), Idle()};
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(fake::calls.back(), "MessageBoxA(NULL, \"Initialization Failed.\", \"ERROR\", 0x30)");
    EXPECT_EQ(fake::script.size(), 1u);
    EXPECT_EQ(Count(windowedCreate), 1u) << "the previous mode is not tried again";
}

TEST_F(MainLoopTest, AfterTheWindowedFallbackF1AsksForFullscreenAgain) {
    fake::answers["Start FullScreen?"] = IDYES;
    fake::answers["Kelmo GL"] = IDYES;
    fake::failing = {"ChangeDisplaySettingsA"};
    fake::script = {Idle(), Message(WM_KEYDOWN, VK_F1), Idle(), Message(WM_QUIT, 0)};
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(Count("ChangeDisplaySettingsA(dm, 0x4)"), 2u);
    EXPECT_EQ(Count(windowedCreate), 2u);
    EXPECT_EQ(Count("ChangeDisplaySettingsA(NULL, 0x0)"), 0u) << "no restore after a fallback";
    EXPECT_FALSE(WindowState.isFullscreen);
}

}  // namespace
