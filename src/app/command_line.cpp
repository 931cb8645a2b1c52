// The command line: split by the C runtime's rules, and the start folder.
#include "app/command_line.h"

#include <cstdio>

namespace {

// A box names a folder by at most this many characters, the middle left
// out: the Windows box wraps at blanks only, so a long path would make it
// wider than the screen. Standard error gets the whole text.
constexpr size_t MaxShownPathLength = 64;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
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

}  // namespace

std::vector<std::string> SplitCommandLine(const char* commandLine) {
    std::vector<std::string> arguments;
    const char* p = commandLine ? commandLine : "";
    for (;;) {
        while (IsBlank(*p)) ++p;
        if (!*p) break;
        std::string argument;
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
            argument.append(backslashes, '\\');
            if (!*p || (!isQuoted && IsBlank(*p))) break;
            if (isCopied) argument += *p;
            ++p;
        }
        arguments.push_back(argument);
    }
    return arguments;
}

std::string JoinCommandLine(const std::vector<std::string>& arguments) {
    std::string line;
    for (const std::string& argument : arguments) {
        if (!line.empty()) line += ' ';
        if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos) {
            line += argument;
            continue;
        }
        line += '"';
        size_t backslashes = 0;
        for (char c : argument) {
            if (c == '\\') {
                ++backslashes;
                continue;
            }
            // Backslashes before a quote are doubled, and the quote escaped.
            line.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
            line += c;
            backslashes = 0;
        }
        line.append(2 * backslashes, '\\');  // before the closing quote
        line += '"';
    }
    return line;
}

bool ApplyCommandLine(LPCSTR commandLine, int* exitStatus) {
    std::vector<std::string> arguments = SplitCommandLine(commandLine);
    if (arguments.empty()) return true;
    if (arguments.size() > 1) {
        MessageBoxA(nullptr, "Too many arguments: the only one is the folder to start in.", "ERROR",
                    MB_OK | MB_ICONEXCLAMATION);
        *exitStatus = 2;
        return false;
    }
    const std::string& folder = arguments[0];
    if (SetCurrentDirectoryA(folder.c_str())) return true;

    DWORD error = GetLastError();
    char reason[512] = "";
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                                  0, reason, sizeof reason, nullptr);
    while (length > 0 &&
           (reason[length - 1] == '\n' || reason[length - 1] == '\r' || reason[length - 1] == ' '))
        reason[--length] = '\0';
    std::string why = length > 0 ? std::string(reason) : "error " + std::to_string(error);
    auto textNaming = [&why](const std::string& name) {
        return "Cannot enter the folder \"" + name + "\": " + why;
    };
    std::string shown = ShortenInMiddle(folder, MaxShownPathLength);
    if (shown != folder) std::fprintf(stderr, "ERROR: %s\n", textNaming(folder).c_str());
    std::string text = textNaming(shown);
    MessageBoxA(nullptr, text.c_str(), "ERROR", MB_OK | MB_ICONEXCLAMATION);
    *exitStatus = 1;
    return false;
}
