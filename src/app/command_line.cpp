// The command line: split by the C runtime's rules, and the start folder.
#include "app/command_line.h"

#include <cstddef>
#include <cstdio>
#include <iterator>

#include "app/scene_reload.h"
#include "render/view.h"
#include "render/view_state.h"

namespace {

// A box names a folder by at most this many characters, the middle left
// out: the Windows box wraps at blanks only, so a long path would make it
// wider than the screen. Standard error gets the whole text.
constexpr size_t MaxShownPathLength = 64;

const char ViewerUsage[] = "usage: polyview [--watch] [--turn AZ,EL] [--zoom K] [DIR | DIR/poligon.m]";

bool IsBlank(WCHAR c) {
    return c == ' ' || c == '\t';
}

// UTF-16 and UTF-8 through the system's own conversion.
WideString Widen(const std::string& text) {
    WideString wide(size_t(MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0)), WCHAR(0));
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, &wide[0], int(wide.size()));
    wide.pop_back();  // the NUL
    return wide;
}

std::string Narrow(const WideString& wide) {
    std::string text(size_t(WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr)), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, &text[0], int(text.size()), nullptr, nullptr);
    text.pop_back();
    return text;
}

bool StartsCharacter(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;  // not a UTF-8 continuation byte
}

// `path` with its middle replaced by "..." where it is longer than
// `length` characters; UTF-8 sequences stay whole.
std::string ShortenInMiddle(const std::string& path, size_t length) {
    size_t characters = 0;
    for (char c : path) characters += StartsCharacter(c);
    if (characters <= length) return path;
    size_t keep = length - 3, head = 0, tail = path.size();
    for (size_t kept = 0; kept < (keep + 1) / 2; ++kept)
        do ++head;
        while (head < path.size() && !StartsCharacter(path[head]));
    for (size_t kept = 0; kept < keep / 2; ++kept)
        do --tail;
        while (tail > 0 && !StartsCharacter(path[tail]));
    return path.substr(0, head) + "..." + path.substr(tail);
}

// An error box whose text names `path` between `before` and `after`. The
// texts in UTF-8, and the box's in UTF-16: the name as it is.
void ShowPathError(const std::string& before, const WideString& path, const std::string& after) {
    std::string name = Narrow(path);
    std::string shown = ShortenInMiddle(name, MaxShownPathLength);
    if (shown != name) std::fprintf(stderr, "ERROR: %s\n", (before + name + after).c_str());
    MessageBoxW(nullptr, Widen(before + shown + after).c_str(), Widen("ERROR").c_str(), MB_OK | MB_ICONEXCLAMATION);
}

#ifdef _WIN32
const WCHAR PathSeparators[] = {'\\', '/', ':', 0};
#else
const WCHAR PathSeparators[] = {'/', 0};
#endif

// The one file the viewer reads its model from; on Windows in any case, as
// the system finds it so.
bool IsModelName(const WideString& name) {
    if (name.size() != sizeof SceneModelName - 1) return false;
    for (size_t i = 0; i < name.size(); ++i) {
        WCHAR c = name[i];
#ifdef _WIN32
        if (c >= 'A' && c <= 'Z') c = WCHAR(c - 'A' + 'a');
#endif
        if (c != WCHAR(SceneModelName[i])) return false;
    }
    return true;
}

// "--watch", wherever it stands, asks for the watch and is no folder.
std::vector<WideString> TakeWatchOption(std::vector<WideString> arguments) {
    static const WCHAR watch[] = {'-', '-', 'w', 'a', 't', 'c', 'h', 0};
    for (size_t i = arguments.size(); i-- > 0;) {
        if (arguments[i] != watch) continue;
        isSceneWatchWanted = true;
        arguments.erase(arguments.begin() + std::ptrdiff_t(i));
    }
    return arguments;
}

}  // namespace

std::vector<WideString> SplitCommandLine(const WCHAR* commandLine) {
    static const WCHAR none[] = {0};
    std::vector<WideString> arguments;
    const WCHAR* p = commandLine ? commandLine : none;
    for (;;) {
        while (IsBlank(*p)) ++p;
        if (!*p) break;
        WideString argument;
        bool isQuoted = false;
        for (;;) {
            size_t backslashes = 0;
            while (*p == '\\') {
                ++p;
                ++backslashes;
            }
            bool isCopied = true;
            if (*p == '"') {
                if (backslashes % 2 == 0) {
                    if (isQuoted && p[1] == '"') {
                        ++p;  // "" inside quotes: one literal quote
                    } else {
                        isCopied = false;
                        isQuoted = !isQuoted;
                    }
                }
                backslashes /= 2;
            }
            argument.append(backslashes, WCHAR('\\'));
            if (!*p || (!isQuoted && IsBlank(*p))) break;
            if (isCopied) argument += *p;
            ++p;
        }
        arguments.push_back(argument);
    }
    return arguments;
}

const WCHAR* SkipProgramName(const WCHAR* commandLine) {
    if (!commandLine) return commandLine;
    bool isQuoted = false;
    for (; *commandLine && (isQuoted || !IsBlank(*commandLine)); ++commandLine)
        if (*commandLine == '"') isQuoted = !isQuoted;
    return commandLine;
}

bool ApplyCommandLine(int* exitStatus) {
    const std::vector<WideString> arguments = TakeWatchOption(SplitCommandLine(SkipProgramName(GetCommandLineW())));
    // The view's options give the start view, where Home goes back to; other
    // options are ignored, as Windows programs do.
    std::vector<WideString> folders;
    ViewPose pose = StartView;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string argument = Narrow(arguments[i]);
        if (IsViewOption(argument.c_str())) {
            const bool hasValue = i + 1 < arguments.size();
            const std::string value = hasValue ? Narrow(arguments[++i]) : std::string();
            const char* why = nullptr;
            if (!ApplyViewOption(argument.c_str(), hasValue ? value.c_str() : nullptr, &pose, &why)) {
                MessageBoxA(nullptr, (std::string(why) + ".\n\n" + ViewerUsage).c_str(), "ERROR",
                            MB_OK | MB_ICONEXCLAMATION);
                *exitStatus = 2;
                return false;
            }
        } else if (argument[0] != '-') {
            folders.push_back(arguments[i]);
        }
    }
    CurrentView = HomeView = pose;
    if (folders.empty()) return true;
    if (folders.size() > 1) {
        MessageBoxA(nullptr, "Too many arguments: besides the view's options, the only one is the folder to start in.", "ERROR",
                    MB_OK | MB_ICONEXCLAMATION);
        *exitStatus = 2;
        return false;
    }
    WideString path = folders[0];
    if (SetCurrentDirectoryW(path.c_str())) return true;
    DWORD error = GetLastError();

    // A file: the model, whose folder the viewer starts in.
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        size_t nameStart = path.find_last_of(PathSeparators) + 1;  // 0 without a separator
        if (!IsModelName(path.substr(nameStart))) {
            ShowPathError("Cannot open \"", path,
                          std::string("\": the viewer opens a folder, or the file ") + SceneModelName + " in it.");
            *exitStatus = 2;
            return false;
        }
        static const WCHAR here[] = {'.', 0};
        path = nameStart == 0 ? WideString(here) : path.substr(0, nameStart);  // the separator kept: "/" stays "/"
        if (SetCurrentDirectoryW(path.c_str())) return true;
        error = GetLastError();
    }

    WCHAR reason[512] = {0};
    DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                                  0, reason, DWORD(std::size(reason)), nullptr);
    while (length > 0 &&
           (reason[length - 1] == '\n' || reason[length - 1] == '\r' || reason[length - 1] == ' '))
        reason[--length] = 0;
    std::string why = length > 0 ? Narrow(reason) : "error " + std::to_string(error);
    ShowPathError("Cannot enter the folder \"", path, "\": " + why);
    *exitStatus = 1;
    return false;
}
