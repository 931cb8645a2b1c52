// A recording fake of the Win32 subset and of the scene operations, linked
// in place of the SDL platform layer and the renderer so that the
// application shell is tested alone.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/window_state.h"

namespace fake {

// The handles the fake hands out; logged as hInstance, hWnd, hDC, hRC.
extern const HINSTANCE instance;
extern const HWND window;
extern const HDC dc;
extern const HGLRC rc;
extern const HICON icon;
extern const HCURSOR cursor;
const int pixelFormatIndex = 7;
// What DefWindowProcA answers, so a pass-through shows in the result.
const LRESULT defaultProcResult = 0x5150;

// Every call into the fake platform and the fake scene, in order, with its
// arguments, e.g. "ShowWindow(hWnd, 5)".
extern std::vector<std::string> calls;

// Calls made to fail, by name: "RegisterClassA", "ChangeDisplaySettingsA",
// "CreateWindowExA", "GetDC", "ChoosePixelFormat", "SetPixelFormat",
// "wglCreateContext", "wglMakeCurrent" (making the context current),
// "wglMakeCurrent(NULL)" (releasing it), "wglDeleteContext", "ReleaseDC",
// "DestroyWindow", "UnregisterClassA", "SetCurrentDirectoryW" (with
// ERROR_PATH_NOT_FOUND, 3), "InitScene" and "ReloadScene" (why: "Wall.bmp:
// not a picture").
extern std::set<std::string> failing;

// Paths (in UTF-8) that are files: SetCurrentDirectoryW refuses them and
// GetFileAttributesW finds them. Every other path is a folder, or missing
// where "SetCurrentDirectoryW" fails.
extern std::set<std::string> files;

// The process's command line as GetCommandLineW gives it, in UTF-8: the
// program's name, then the arguments.
extern std::string commandLine;

// MessageBoxA's and MessageBoxW's answer by caption; IDOK for a caption not
// listed.
extern std::map<std::string, int> answers;

// A message box as shown (a wide one's texts in UTF-8), with the window state
// at that moment.
struct Box {
    std::string text;
    std::string caption;
    UINT flags;
    HINSTANCE instanceHandle;
    HWND windowHandle;
    HDC deviceContext;
    HGLRC renderContext;
};
extern std::vector<Box> boxes;

// Records handed to the platform, copied at the call.
extern WNDCLASSA registeredClass;
extern DEVMODEA displayMode;
extern std::vector<PIXELFORMATDESCRIPTOR> choosePixelFormatRecords;
extern std::vector<PIXELFORMATDESCRIPTOR> setPixelFormatRecords;

// What PeekMessageA finds in successive passes of the loop.
struct Step {
    bool hasMessage;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    std::function<void()> action;  // runs inside PeekMessageA, before it returns
};
extern std::deque<Step> script;
// Passes that found the script used up; each is answered with WM_QUIT
// carrying scriptEndCode, so a loop that should have ended still ends.
extern int passesPastScript;
const WPARAM scriptEndCode = 0xDEAD;

// The window SetCapture gave the mouse to; null after ReleaseCapture.
extern HWND captureWindow;

Step Message(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
Step Idle(std::function<void()> action = nullptr);

// Forgets calls, failures, answers, records and the script.
void Reset();

// The calls from position `first` on.
std::vector<std::string> CallsFrom(size_t first);
// Position of the first call equal to `call` at or after `from`; calls.size() when absent.
size_t Find(const std::string& call, size_t from = 0);
// The calls whose text begins with one of the given names.
std::vector<std::string> CallsNamed(const std::vector<std::string>& names);

}  // namespace fake
