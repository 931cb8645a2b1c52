// Message boxes over SDL's, with a standard-error fallback where no display
// can be opened.
#include <cstdio>

#include "platform/sdl_platform.h"

int WINAPI MessageBoxA(HWND, LPCSTR text, LPCSTR caption, UINT type) {
    const char* title = caption ? caption : "Error";
    const char* message = text ? text : "";

    // Return answers the first button, Escape the last: Yes/No, OK/Cancel, OK.
    SDL_MessageBoxButtonData buttons[2];
    int buttonCount;
    int escapeAnswer;
    const Uint32 returnKey = SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT;
    const Uint32 escapeKey = SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
    switch (type & MB_TYPEMASK) {
        case MB_YESNO:
            buttons[0] = {returnKey, IDYES, "Yes"};
            buttons[1] = {escapeKey, IDNO, "No"};
            buttonCount = 2;
            escapeAnswer = IDNO;
            break;
        case MB_OKCANCEL:
            buttons[0] = {returnKey, IDOK, "OK"};
            buttons[1] = {escapeKey, IDCANCEL, "Cancel"};
            buttonCount = 2;
            escapeAnswer = IDCANCEL;
            break;
        default:
            buttons[0] = {returnKey | escapeKey, IDOK, "OK"};
            buttonCount = 1;
            escapeAnswer = IDOK;
            break;
    }

    Uint32 flags;
    switch (type & MB_ICONMASK) {
        case MB_ICONSTOP:
            flags = SDL_MESSAGEBOX_ERROR;
            break;
        case MB_ICONEXCLAMATION:
            flags = SDL_MESSAGEBOX_WARNING;
            break;
        default:  // information, question (SDL has no question icon), none
            flags = SDL_MESSAGEBOX_INFORMATION;
            break;
    }

    SDL_MessageBoxData box = {};
    box.flags = flags | SDL_MESSAGEBOX_BUTTONS_LEFT_TO_RIGHT;
    box.window = nullptr;
    box.title = title;
    box.message = message;
    box.numbuttons = buttonCount;
    box.buttons = buttons;
    box.colorScheme = nullptr;

    int answer = -1;
    if (SDL_ShowMessageBox(&box, &answer) != 0) {
        // No display: say it on standard error and take the Escape answer.
        fprintf(stderr, "%s: %s\n", title, message);
        fflush(stderr);
        return escapeAnswer;
    }
    return answer < 0 ? escapeAnswer : answer;  // closed without a button
}
