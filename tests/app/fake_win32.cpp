// The recording fake of the Win32 subset: logs every call, answers as told,
// fails the calls a test names.
#include "fake_win32.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/utf.h"
#include "render/render.h"

namespace fake {

const HINSTANCE instance = reinterpret_cast<HINSTANCE>(uintptr_t(0x1000));
const HWND window = reinterpret_cast<HWND>(uintptr_t(0x2000));
const HDC dc = reinterpret_cast<HDC>(uintptr_t(0x3000));
const HGLRC rc = reinterpret_cast<HGLRC>(uintptr_t(0x4000));
const HICON icon = reinterpret_cast<HICON>(uintptr_t(0x5000));
const HCURSOR cursor = reinterpret_cast<HCURSOR>(uintptr_t(0x6000));

std::vector<std::string> calls;
std::string commandLine;
std::set<std::string> failing;
std::set<std::string> files;
std::map<std::string, int> answers;
std::vector<Box> boxes;
WNDCLASSA registeredClass;
DEVMODEA displayMode;
std::vector<PIXELFORMATDESCRIPTOR> choosePixelFormatRecords;
std::vector<PIXELFORMATDESCRIPTOR> setPixelFormatRecords;
std::deque<Step> script;
int passesPastScript;
HWND captureWindow;

Step Message(UINT message, WPARAM wParam, LPARAM lParam) {
    return Step{true, message, wParam, lParam, nullptr};
}

Step Idle(std::function<void()> action) {
    return Step{false, 0, 0, 0, std::move(action)};
}

void Reset() {
    calls.clear();
    failing.clear();
    files.clear();
    answers.clear();
    boxes.clear();
    memset(&registeredClass, 0, sizeof(registeredClass));
    memset(&displayMode, 0xEE, sizeof(displayMode));
    choosePixelFormatRecords.clear();
    setPixelFormatRecords.clear();
    script.clear();
    passesPastScript = 0;
    commandLine = "\"C:\\polyview\\polyview.exe\"";
    captureWindow = nullptr;
}

std::vector<std::string> CallsFrom(size_t first) {
    if (first >= calls.size()) {
        return {};
    }
    return std::vector<std::string>(calls.begin() + first, calls.end());
}

size_t Find(const std::string& call, size_t from) {
    for (size_t i = from; i < calls.size(); ++i) {
        if (calls[i] == call) {
            return i;
        }
    }
    return calls.size();
}

std::vector<std::string> CallsNamed(const std::vector<std::string>& names) {
    std::vector<std::string> result;
    for (const std::string& call : calls) {
        for (const std::string& name : names) {
            if (call.compare(0, name.size() + 1, name + "(") == 0) {
                result.push_back(call);
                break;
            }
        }
    }
    return result;
}

}  // namespace fake

using namespace fake;

namespace {

std::string Name(const void* handle) {
    if (!handle) return "NULL";
    if (handle == instance) return "hInstance";
    if (handle == window) return "hWnd";
    if (handle == dc) return "hDC";
    if (handle == rc) return "hRC";
    char text[32];
    snprintf(text, sizeof(text), "%p", handle);
    return text;
}

std::string Hex(unsigned long value) {
    char text[32];
    snprintf(text, sizeof(text), "0x%lx", value);
    return text;
}

std::string Quoted(const char* text) {
    return text ? "\"" + std::string(text) + "\"" : "NULL";
}

std::string Quoted(LPCWSTR text) {
    return text ? Quoted(NarrowUtf16(text).c_str()) : "NULL";
}

std::string Resource(LPCSTR name) {
    uintptr_t value = reinterpret_cast<uintptr_t>(name);
    return value >> 16 ? Quoted(name) : std::to_string(value);
}

std::string Bool(BOOL value) {
    return value ? "TRUE" : "FALSE";
}

std::string PfdName(const PIXELFORMATDESCRIPTOR* pfd) {
    return pfd == &WindowState.pixelFormatDesc ? "pfd" : "other pfd";
}

void Log(const std::string& call) {
    calls.push_back(call);
}

bool Fails(const char* name) {
    return failing.count(name) != 0;
}

}  // namespace

HMODULE WINAPI GetModuleHandleA(LPCSTR name) {
    Log("GetModuleHandleA(" + Quoted(name) + ")");
    return instance;
}

LPWSTR WINAPI GetCommandLineW() {
    // Not logged: it reads the process's own state.
    static std::u16string line;
    line = WidenUtf8(commandLine.c_str());
    return &line[0];
}

// The error of the last failed call: ERROR_PATH_NOT_FOUND (3), or
// ERROR_DIRECTORY (267) for a file.
static DWORD lastError = 0;

BOOL WINAPI SetCurrentDirectoryW(LPCWSTR path) {
    Log("SetCurrentDirectoryW(" + Quoted(path) + ")");
    if (fake::files.count(NarrowUtf16(path))) {
        lastError = 267;
        return FALSE;
    }
    lastError = 3;
    return Fails("SetCurrentDirectoryW") ? FALSE : TRUE;
}

DWORD WINAPI GetFileAttributesW(LPCWSTR path) {
    Log("GetFileAttributesW(" + Quoted(path) + ")");
    if (fake::files.count(NarrowUtf16(path))) return FILE_ATTRIBUTE_NORMAL;
    return Fails("SetCurrentDirectoryW") ? INVALID_FILE_ATTRIBUTES : FILE_ATTRIBUTE_DIRECTORY;
}

DWORD WINAPI GetLastError() {
    Log("GetLastError()");
    return lastError;
}

DWORD WINAPI FormatMessageW(DWORD flags, LPCVOID source, DWORD id, DWORD language, LPWSTR buffer, DWORD size,
                            va_list* arguments) {
    Log("FormatMessageW(" + Hex(flags) + ", " + Name(source) + ", " + std::to_string(id) + ", " +
        std::to_string(language) + ", " + std::to_string(size) + ", " + Name(arguments) + ")");
    // The system's text for ERROR_PATH_NOT_FOUND, as Windows gives it.
    std::u16string text = id == 3 ? u"The system cannot find the path specified.\r\n" : u"";
    text.resize(std::min<size_t>(text.size(), size - 1));
    std::copy(text.begin(), text.end(), buffer);
    buffer[text.size()] = 0;
    return DWORD(text.size());
}

HICON WINAPI LoadIconA(HINSTANCE module, LPCSTR name) {
    Log("LoadIconA(" + Name(module) + ", " + Resource(name) + ")");
    return icon;
}

HCURSOR WINAPI LoadCursorA(HINSTANCE module, LPCSTR name) {
    Log("LoadCursorA(" + Name(module) + ", " + Resource(name) + ")");
    return cursor;
}

ATOM WINAPI RegisterClassA(const WNDCLASSA* windowClass) {
    Log("RegisterClassA(" + Quoted(windowClass->lpszClassName) + ")");
    registeredClass = *windowClass;
    return Fails("RegisterClassA") ? 0 : 0xC123;
}

BOOL WINAPI UnregisterClassA(LPCSTR className, HINSTANCE module) {
    Log("UnregisterClassA(" + Quoted(className) + ", " + Name(module) + ")");
    return Fails("UnregisterClassA") ? FALSE : TRUE;
}

LONG WINAPI ChangeDisplaySettingsA(DEVMODEA* mode, DWORD flags) {
    Log("ChangeDisplaySettingsA(" + std::string(mode ? "dm" : "NULL") + ", " + Hex(flags) + ")");
    if (!mode) {
        return DISP_CHANGE_SUCCESSFUL;
    }
    displayMode = *mode;
    return Fails("ChangeDisplaySettingsA") ? DISP_CHANGE_BADMODE : DISP_CHANGE_SUCCESSFUL;
}

namespace {

int ShowBox(const std::string& call, HWND owner, const std::string& text, const std::string& caption, UINT type) {
    Log(call + "(" + Name(owner) + ", \"" + text + "\", \"" + caption + "\", " + Hex(type) + ")");
    boxes.push_back(Box{text, caption, type, WindowState.instanceHandle, WindowState.windowHandle,
                        WindowState.deviceContext, WindowState.renderContext});
    auto answer = answers.find(caption);
    return answer == answers.end() ? IDOK : answer->second;
}

}  // namespace

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    return ShowBox("MessageBoxA", owner, text, caption, type);
}

int WINAPI MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
    return ShowBox("MessageBoxW", owner, NarrowUtf16(text), NarrowUtf16(caption), type);
}

int WINAPI ShowCursor(BOOL show) {
    Log("ShowCursor(" + Bool(show) + ")");
    return show ? 0 : -1;
}

BOOL WINAPI AdjustWindowRectEx(RECT* rect, DWORD style, BOOL menu, DWORD exStyle) {
    Log("AdjustWindowRectEx({" + std::to_string(rect->left) + ", " + std::to_string(rect->top) + ", " +
        std::to_string(rect->right) + ", " + std::to_string(rect->bottom) + "}, " + Hex(style) + ", " +
        Bool(menu) + ", " + Hex(exStyle) + ")");
    // Grows the rectangle by a frame and a caption, as Windows does for a
    // captioned window.
    if (style & WS_CAPTION) {
        rect->left -= 3;
        rect->top -= 26;
        rect->right += 3;
        rect->bottom += 3;
    }
    return TRUE;
}

HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style,
                            int x, int y, int width, int height, HWND parent, HMENU menu,
                            HINSTANCE module, LPVOID param) {
    Log("CreateWindowExA(" + Hex(exStyle) + ", " + Quoted(className) + ", " + Quoted(windowName) + ", " +
        Hex(style) + ", " + std::to_string(x) + ", " + std::to_string(y) + ", " + std::to_string(width) +
        ", " + std::to_string(height) + ", " + Name(parent) + ", " + Name(menu) + ", " + Name(module) +
        ", " + Name(param) + ")");
    return Fails("CreateWindowExA") ? nullptr : window;
}

BOOL WINAPI DestroyWindow(HWND handle) {
    Log("DestroyWindow(" + Name(handle) + ")");
    return Fails("DestroyWindow") ? FALSE : TRUE;
}

BOOL WINAPI SetWindowTextA(HWND handle, LPCSTR text) {
    Log("SetWindowTextA(" + Name(handle) + ", " + Quoted(text) + ")");
    return TRUE;
}

BOOL WINAPI ShowWindow(HWND handle, int command) {
    Log("ShowWindow(" + Name(handle) + ", " + std::to_string(command) + ")");
    return FALSE;
}

BOOL WINAPI SetForegroundWindow(HWND handle) {
    Log("SetForegroundWindow(" + Name(handle) + ")");
    return TRUE;
}

HWND WINAPI SetFocus(HWND handle) {
    Log("SetFocus(" + Name(handle) + ")");
    return nullptr;
}

// The window holding the mouse is told when it loses it, as Windows tells it.
HWND WINAPI SetCapture(HWND handle) {
    Log("SetCapture(" + Name(handle) + ")");
    HWND previous = captureWindow;
    captureWindow = handle;
    return previous;
}

BOOL WINAPI ReleaseCapture() {
    Log("ReleaseCapture()");
    HWND previous = captureWindow;
    captureWindow = nullptr;
    if (previous) RenderWindowProc(previous, WM_CAPTURECHANGED, 0, 0);
    return TRUE;
}

HWND WINAPI GetCapture() {
    return captureWindow;
}

HDC WINAPI GetDC(HWND handle) {
    Log("GetDC(" + Name(handle) + ")");
    return Fails("GetDC") ? nullptr : dc;
}

int WINAPI ReleaseDC(HWND handle, HDC deviceContext) {
    Log("ReleaseDC(" + Name(handle) + ", " + Name(deviceContext) + ")");
    return Fails("ReleaseDC") ? 0 : 1;
}

int WINAPI ChoosePixelFormat(HDC deviceContext, const PIXELFORMATDESCRIPTOR* pfd) {
    Log("ChoosePixelFormat(" + Name(deviceContext) + ", " + PfdName(pfd) + ")");
    choosePixelFormatRecords.push_back(*pfd);
    return Fails("ChoosePixelFormat") ? 0 : pixelFormatIndex;
}

BOOL WINAPI SetPixelFormat(HDC deviceContext, int format, const PIXELFORMATDESCRIPTOR* pfd) {
    Log("SetPixelFormat(" + Name(deviceContext) + ", " + std::to_string(format) + ", " + PfdName(pfd) + ")");
    setPixelFormatRecords.push_back(*pfd);
    return Fails("SetPixelFormat") ? FALSE : TRUE;
}

HGLRC WINAPI wglCreateContext(HDC deviceContext) {
    Log("wglCreateContext(" + Name(deviceContext) + ")");
    return Fails("wglCreateContext") ? nullptr : rc;
}

BOOL WINAPI wglMakeCurrent(HDC deviceContext, HGLRC context) {
    Log("wglMakeCurrent(" + Name(deviceContext) + ", " + Name(context) + ")");
    return Fails(context ? "wglMakeCurrent" : "wglMakeCurrent(NULL)") ? FALSE : TRUE;
}

BOOL WINAPI wglDeleteContext(HGLRC context) {
    Log("wglDeleteContext(" + Name(context) + ")");
    return Fails("wglDeleteContext") ? FALSE : TRUE;
}

BOOL WINAPI SwapBuffers(HDC deviceContext) {
    Log("SwapBuffers(" + Name(deviceContext) + ")");
    return TRUE;
}

BOOL WINAPI PeekMessageA(MSG* msg, HWND handle, UINT filterMin, UINT filterMax, UINT remove) {
    Log("PeekMessageA(" + Name(handle) + ", " + std::to_string(filterMin) + ", " + std::to_string(filterMax) +
        ", " + Hex(remove) + ")");
    if (script.empty()) {
        ++passesPastScript;
        *msg = MSG();
        msg->message = WM_QUIT;
        msg->wParam = scriptEndCode;
        return TRUE;
    }
    Step step = script.front();
    script.pop_front();
    if (step.action) {
        step.action();
    }
    if (!step.hasMessage) {
        return FALSE;
    }
    *msg = MSG();
    msg->hwnd = step.message == WM_QUIT ? nullptr : WindowState.windowHandle;
    msg->message = step.message;
    msg->wParam = step.wParam;
    msg->lParam = step.lParam;
    return TRUE;
}

BOOL WINAPI TranslateMessage(const MSG* msg) {
    Log("TranslateMessage(" + Hex(msg->message) + ", " + std::to_string(msg->wParam) + ")");
    return FALSE;
}

LRESULT WINAPI DispatchMessageA(const MSG* msg) {
    Log("DispatchMessageA(" + Hex(msg->message) + ", " + std::to_string(msg->wParam) + ")");
    // Delivered to the procedure of the class registered last.
    return registeredClass.lpfnWndProc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

LRESULT WINAPI DefWindowProcA(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    Log("DefWindowProcA(" + Name(handle) + ", " + Hex(message) + ", " + std::to_string(wParam) + ", " +
        std::to_string(lParam) + ")");
    return defaultProcResult;
}

void WINAPI PostQuitMessage(int exitCode) {
    Log("PostQuitMessage(" + std::to_string(exitCode) + ")");
    // As on Windows, the quit message comes once no posted message is left.
    auto firstIdle = script.begin();
    while (firstIdle != script.end() && firstIdle->hasMessage) {
        ++firstIdle;
    }
    script.insert(firstIdle, Message(WM_QUIT, static_cast<WPARAM>(exitCode)));
}

// The scene, as the render subsystem offers it.

void ResizeScene(int32_t width, int32_t height) {
    Log("ResizeScene(" + std::to_string(width) + ", " + std::to_string(height) + ")");
}

bool InitScene() {
    Log("InitScene()");
    return !Fails("InitScene");
}

bool ReloadScene(std::string* why) {
    Log("ReloadScene()");
    *why = Fails("ReloadScene") ? "Wall.bmp: not a picture" : "";
    return !Fails("ReloadScene");
}

int DrawScene() {
    Log("DrawScene()");
    return 1;
}
