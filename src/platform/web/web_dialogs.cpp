// Message boxes as dialogs in the page; the program waits for the answer.
#include "platform/web/web_platform.h"

int WINAPI MessageBoxA(HWND, LPCSTR text, LPCSTR caption, UINT type) {
    return WebShowMessageBox(text ? text : "", caption ? caption : "Error", type);
}
