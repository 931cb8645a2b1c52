// What a host layer supplies, and all it supplies: one folder per host
// (sdl/ on Linux, web/ in the browser) fills this contract, and the
// host-independent window manager and base services (window_manager.cpp,
// base_services.cpp) do the rest of the Win32 subset over it.
#pragma once

#include <cstdint>

#include "platform/win32_api.h"

// The Win32 calls that only the host can answer, as win32_api.h declares
// them: MessageBoxA (its dialogs); wglCreateContext, wglMakeCurrent,
// wglDeleteContext and SwapBuffers (its rendering contexts);
// ChangeDisplaySettingsA (its display modes); ShowCursor (its pointer). And
// the program's start: main() calling WinMain, then ShutdownPlatform.

struct HWND__;

namespace platform {

// Makes the window's native part, hidden; false (after saying why on
// standard error) when the host cannot make one.
bool CreateNativeWindow(HWND__* window);
// Gives it back; a rendering context current on it is released first.
void DestroyNativeWindow(HWND__* window);
void ShowNativeWindow(HWND__* window, bool isShown);
// Shows the window's title as it now is.
void SetNativeWindowTitle(HWND__* window);
// SW_MINIMIZE, SW_SHOWMINIMIZED, SW_SHOWMAXIMIZED or SW_RESTORE.
void ChangeNativeWindowState(HWND__* window, int showCommand);
void RaiseNativeWindow(HWND__* window);
void FocusNativeWindow(HWND__* window);
// Keeps the pointer's events coming to the window while it is captured
// (SetCapture), also from outside it; stops when released.
void CaptureNativePointer(HWND__* window, bool isCaptured);
// Readies the window for a pixel format from the layer's table, once,
// before SetPixelFormat sets it; false when the host refuses.
bool PrepareNativePixelFormat(HWND__* window, int format);
// Turns the host's pending events into messages.
void PumpNativeEvents();
// Called when PeekMessageA finds nothing: true after the layer has given
// control back to its host for a while (a host that must have it now and
// then, as a browser must), so that the queue is worth looking at again.
bool YieldToHost();
uint32_t MessageTime();  // milliseconds, for MSG.time

enum KeyModifier { KeyModifierShift = 1, KeyModifierCapsLock = 2, KeyModifierAlt = 4 };
int CurrentKeyModifiers();

// Releases every window, context and class still held; for the end of the
// program.
void ShutdownPlatform();

}  // namespace platform
