// Browser key events to Win32 virtual-key codes.
#include <cstring>

#include "platform/web/web_platform.h"

int platform::VirtualKeyOf(const EmscriptenKeyboardEvent& key) {
    // Browsers give the Windows virtual-key code as the event's keyCode,
    // except Firefox for three punctuation keys, which the physical key
    // names.
    if (!strcmp(key.code, "Semicolon")) return VK_OEM_1;
    if (!strcmp(key.code, "Equal")) return VK_OEM_PLUS;
    if (!strcmp(key.code, "Minus")) return VK_OEM_MINUS;
    unsigned long code = key.keyCode;
    return code > 0 && code < 255 ? static_cast<int>(code) : 0;
}
