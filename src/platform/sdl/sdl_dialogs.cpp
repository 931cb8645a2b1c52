// Message boxes over SDL's, with a standard-error fallback where no display
// can be opened.
#include <cstdio>
#include <string>
#include <vector>

#include "platform/sdl/sdl_platform.h"

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// Bytes from `from` that hold the next `columns` characters of UTF-8 text
// (fewer where the text ends).
size_t BytesOfColumns(const std::string& text, size_t from, size_t columns) {
    size_t at = from;
    for (size_t column = 0; at < text.size() && column < columns; ++column)
        do ++at;
        while (at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80);
    return at - from;
}

// Appends `line` (no line feeds) to `lines`, wrapped to MaxBoxColumns.
void WrapLine(const std::string& line, std::vector<std::string>* lines) {
    size_t at = 0;
    for (;;) {
        size_t cut = at + BytesOfColumns(line, at, platform::MaxBoxColumns);
        if (cut >= line.size()) {
            lines->push_back(line.substr(at));
            return;
        }
        // At the last blank up to the limit (the blank itself is dropped),
        // else inside the word.
        size_t end = cut, next = cut;
        size_t blank = line.find_last_of(" \t", cut);
        if (blank != std::string::npos && blank > at) {
            end = blank;
            while (end > at && IsBlank(line[end - 1])) --end;
            if (end > at) {
                next = blank;
                while (next < line.size() && IsBlank(line[next])) ++next;
            } else {
                end = cut;
            }
        }
        lines->push_back(line.substr(at, end - at));
        at = next;
        if (at >= line.size()) return;
    }
}

}  // namespace

std::string platform::FitBoxText(const std::string& text) {
    std::vector<std::string> lines;
    for (size_t start = 0;;) {
        size_t end = text.find('\n', start);
        std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        WrapLine(line, &lines);
        if (end == std::string::npos) break;
        start = end + 1;
    }
    if (lines.size() > MaxBoxLines) {
        lines.resize(MaxBoxLines);
        std::string& last = lines.back();
        last.resize(BytesOfColumns(last, 0, MaxBoxColumns - 3));
        last += "...";
    }
    std::string fitted;
    for (size_t i = 0; i < lines.size(); ++i) fitted += (i ? "\n" : "") + lines[i];
    return fitted;
}

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
    std::string shown = platform::FitBoxText(message);
    box.message = shown.c_str();
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
