// The page side of windows, and the page's events as messages.
#include <cstdio>
#include <string>

#include "platform/web/web_platform.h"

namespace platform {

LayerState layer = {};

namespace {

void* ElementData(int elementId) {
    return reinterpret_cast<void*>(static_cast<intptr_t>(elementId));
}

int ElementOf(void* userData) {
    return static_cast<int>(reinterpret_cast<intptr_t>(userData));
}

void QueueEvent(PageEvent::Kind kind, int elementId) {
    PageEvent event = {};
    event.kind = kind;
    event.elementId = elementId;
    layer.events.push_back(event);
}

EM_BOOL OnKey(int eventType, const EmscriptenKeyboardEvent* key, void* userData) {
    PageEvent event = {};
    event.kind = PageEvent::Key;
    event.elementId = ElementOf(userData);
    event.virtualKey = VirtualKeyOf(*key);
    event.isUp = eventType == EMSCRIPTEN_EVENT_KEYUP;
    event.isRepeat = key->repeat != 0;
    event.isAltHeld = key->altKey != 0;
    layer.keyModifiers = (key->shiftKey ? KeyModifierShift : 0) | (key->altKey ? KeyModifierAlt : 0);
    if (event.virtualKey != 0) layer.events.push_back(event);
    // F1 would open the browser's help; every other key keeps its meaning
    // for the browser too.
    return event.virtualKey == VK_F1;
}

EM_BOOL OnFocus(int eventType, const EmscriptenFocusEvent*, void* userData) {
    QueueEvent(eventType == EMSCRIPTEN_EVENT_FOCUS ? PageEvent::Focus : PageEvent::Blur, ElementOf(userData));
    return EM_FALSE;
}

EM_BOOL OnCloseBox(int, const EmscriptenMouseEvent*, void* userData) {
    QueueEvent(PageEvent::CloseBox, ElementOf(userData));
    return EM_TRUE;
}

EM_BOOL OnVisibility(int, const EmscriptenVisibilityChangeEvent* change, void*) {
    QueueEvent(change->hidden ? PageEvent::Hidden : PageEvent::Shown, 0);
    return EM_FALSE;
}

EM_BOOL OnFullscreenChange(int, const EmscriptenFullscreenChangeEvent* change, void*) {
    // Leaving fullscreen that the layer did not ask to leave: the browser
    // ended it (Esc, or a window switch).
    if (!change->isFullscreen && layer.isFullscreenModeSet) QueueEvent(PageEvent::FullscreenLeft, 0);
    return EM_FALSE;
}

void SetElementCallbacks(NativeWindow* native, bool isOn) {
    const char* canvas = native->canvas.c_str();
    void* data = ElementData(native->elementId);
    emscripten_set_keydown_callback(canvas, data, EM_TRUE, isOn ? OnKey : nullptr);
    emscripten_set_keyup_callback(canvas, data, EM_TRUE, isOn ? OnKey : nullptr);
    emscripten_set_focus_callback(canvas, data, EM_TRUE, isOn ? OnFocus : nullptr);
    emscripten_set_blur_callback(canvas, data, EM_TRUE, isOn ? OnFocus : nullptr);
    if (!native->closeBox.empty())
        emscripten_set_click_callback(native->closeBox.c_str(), data, EM_TRUE, isOn ? OnCloseBox : nullptr);
    WebWatchPointer(native->elementId, isOn);
}

// Outside the client area only the window that has the mouse captured gets
// its messages, as on Windows; the wheel's go to the window wherever the
// pointer is, with screen coordinates. True for a button's message posted.
bool PostPageMouseEvent(HWND__* window, const PageEvent& event) {
    WPARAM buttons = event.isButtonDown ? MK_LBUTTON : 0;
    if (event.message == WM_MOUSEWHEEL) {
        PostMouseMessage(window, WM_MOUSEWHEEL, MAKEWPARAM(buttons, event.wheelDelta), event.x + window->x,
                         event.y + window->y);
        return false;
    }
    bool isInside = event.x >= 0 && event.y >= 0 && event.x < window->width && event.y < window->height;
    if (!isInside && GetCapture() != window) return false;
    PostMouseMessage(window, event.message, buttons, event.x, event.y);
    return event.message != WM_MOUSEMOVE;
}

// True when it posted a mouse button's message.
bool TranslateEvent(const PageEvent& event) {
    switch (event.kind) {
        case PageEvent::Hidden:
        case PageEvent::Shown:
            // A hidden page is the browser's way of minimizing.
            layer.isPageHidden = event.kind == PageEvent::Hidden;
            for (HWND__* window : windowManager.windows) {
                if (!window->isVisible) continue;
                if (layer.isPageHidden)
                    NoteMinimized(window);
                else
                    NoteRestored(window);
            }
            return false;
        case PageEvent::FullscreenLeft:
            // The browser is back to the page's own size, as after F1: the
            // window shown fullscreen gets a tap of F1, so that the viewer
            // switches to windowed mode as it does for the key.
            if (!layer.isFullscreenModeSet) return false;
            layer.isFullscreenModeSet = false;
            for (HWND__* window : windowManager.windows) {
                if (!window->isVisible || !(window->style & WS_POPUP)) continue;
                PostKeyMessage(window, VK_F1, 0, false, false, false);
                PostKeyMessage(window, VK_F1, 0, true, false, false);
            }
            return false;
        default:
            break;
    }
    HWND__* window = FindWindowByElement(event.elementId);
    if (!window) return false;  // an event for a window destroyed since
    switch (event.kind) {
        case PageEvent::Key:
            PostKeyMessage(window, event.virtualKey, event.scanCode, event.isUp, event.isRepeat, event.isAltHeld);
            break;
        case PageEvent::Focus:
            ActivateWindow(window);
            break;
        case PageEvent::Blur:
            DeactivateWindow(window);
            break;
        case PageEvent::CloseBox:
            NoteCloseRequested(window);
            break;
        case PageEvent::Mouse:
            return PostPageMouseEvent(window, event);
        default:
            break;
    }
    return false;
}

}  // namespace

HWND__* FindWindowByElement(int elementId) {
    for (HWND__* w : windowManager.windows) {
        if (w->native->elementId == elementId) return w;
    }
    return nullptr;
}

void StartPlatform() {
    emscripten_set_visibilitychange_callback(nullptr, EM_TRUE, OnVisibility);
    emscripten_set_fullscreenchange_callback(EMSCRIPTEN_EVENT_TARGET_DOCUMENT, nullptr, EM_TRUE,
                                             OnFullscreenChange);
}

// Up to a mouse button's message at most: the window procedure takes it
// (and sets or releases the capture) before the events that follow are
// turned into messages for it.
void PumpNativeEvents() {
    while (!layer.events.empty()) {
        PageEvent event = layer.events.front();
        layer.events.pop_front();
        if (TranslateEvent(event)) return;
    }
}

// The browser draws the page, runs its event handlers and shows the frame
// just drawn only while the program waits: once per frame, until its next
// animation frame.
bool YieldToHost() {
    return WebWaitForAnimationFrame() != 0;
}

uint32_t MessageTime() {
    return static_cast<uint32_t>(emscripten_performance_now());
}

int CurrentKeyModifiers() {
    return layer.keyModifiers;
}

bool CreateNativeWindow(HWND__* window) {
    // The window procedure gets WM_SIZE before any context is current. The
    // placeholder is made here rather than at the start, so that the
    // browser's first WebGL context (a good part of a second in a software
    // renderer) does not hold up the start-up question.
    EnsurePlaceholder();
    NativeWindow* native = new NativeWindow();
    native->elementId = layer.nextElementId++;
    bool isPopup = (window->style & WS_POPUP) != 0;
    native->canvas = "#polyview-canvas-" + std::to_string(native->elementId);
    if (!isPopup) native->closeBox = "#polyview-close-" + std::to_string(native->elementId);
    if (!WebCreateWindowElement(native->elementId, window->title.c_str(), window->width, window->height, isPopup)) {
        fprintf(stderr, "No window can be made: the page has no screen element.\n");
        delete native;
        return false;
    }
    window->native = native;
    SetElementCallbacks(native, true);
    return true;
}

void DestroyNativeWindow(HWND__* window) {
    // A context still current on this window's canvas must not outlive it.
    if (layer.currentContext && layer.currentContext->window == window) {
        MakeNoContextCurrent();
    }
    for (HGLRC__* context : layer.contexts) {
        if (context->window == window) context->window = nullptr;
    }
    SetElementCallbacks(window->native, false);
    WebRemoveWindowElement(window->native->elementId);
    delete window->native;
    window->native = nullptr;
}

void SetNativeWindowTitle(HWND__* window) {
    WebSetWindowTitle(window->native->elementId, window->title.c_str());
}

void ShowNativeWindow(HWND__* window, bool isShown) {
    WebShowWindowElement(window->native->elementId, isShown);
}

// The page's windows keep their place and size: there is nothing to
// minimize or maximize them to.
void ChangeNativeWindowState(HWND__*, int) {}

void RaiseNativeWindow(HWND__*) {}

void FocusNativeWindow(HWND__* window) {
    WebFocusCanvas(window->native->elementId);
}

// The browser's pointer capture, so that a drag goes on outside the page's
// window too.
void CaptureNativePointer(HWND__* window, bool isCaptured) {
    if (window && window->native) WebCapturePointer(window->native->elementId, isCaptured);
}

}  // namespace platform

// From the page (WebPointer in web_platform.js): queued, as every page event.
extern "C" EMSCRIPTEN_KEEPALIVE void WebQueueMouseEvent(int elementId, unsigned message, int x, int y,
                                                        int isButtonDown, int wheelDelta) {
    platform::PageEvent event = {};
    event.kind = platform::PageEvent::Mouse;
    event.elementId = elementId;
    event.message = message;
    event.x = x;
    event.y = y;
    event.isButtonDown = isButtonDown != 0;
    event.wheelDelta = wheelDelta;
    platform::layer.events.push_back(event);
}

void platform::ShutdownPlatform() {
    while (!layer.contexts.empty()) {
        wglDeleteContext(layer.contexts.back());
    }
    ShutdownWindowManager();
    ReleasePlaceholder();
    emscripten_set_visibilitychange_callback(nullptr, EM_TRUE, nullptr);
    emscripten_set_fullscreenchange_callback(EMSCRIPTEN_EVENT_TARGET_DOCUMENT, nullptr, EM_TRUE, nullptr);
    layer.events.clear();
}
