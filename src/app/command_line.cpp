// The command line: split by the C runtime's rules, and the start folder.
#include "app/command_line.h"

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
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
    std::string text = "Cannot enter the folder \"" + folder +
                       "\": " + (length > 0 ? std::string(reason) : "error " + std::to_string(error));
    MessageBoxA(nullptr, text.c_str(), "ERROR", MB_OK | MB_ICONEXCLAMATION);
    *exitStatus = 1;
    return false;
}
