// The base services of the Win32 subset: the command line, the current
// directory and error texts, over the C library.
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/utf.h"
#include "platform/win32_api.h"

namespace {

// The error of the last base-service call that failed, as an errno value.
DWORD lastError = 0;

std::u16string commandLine;

}  // namespace

void SetStartCommandLine(const char* line) {
    commandLine = WidenUtf8(line);
}

LPWSTR WINAPI GetCommandLineW() {
    return &commandLine[0];
}

BOOL WINAPI SetCurrentDirectoryW(LPCWSTR pathName) {
    if (!pathName) {
        lastError = EFAULT;
        return FALSE;
    }
    if (chdir(NarrowUtf16(pathName).c_str()) == 0) return TRUE;
    lastError = DWORD(errno);
    return FALSE;
}

DWORD WINAPI GetLastError() {
    return lastError;
}

DWORD WINAPI FormatMessageW(DWORD flags, LPCVOID, DWORD messageId, DWORD, LPWSTR buffer, DWORD size,
                            va_list*) {
    if (!(flags & FORMAT_MESSAGE_FROM_SYSTEM) || !buffer || size == 0) return 0;
    std::u16string text = WidenUtf8(std::strerror(int(messageId)));
    size_t length = text.size() < size ? text.size() : size - 1;
    std::memcpy(buffer, text.data(), length * sizeof(WCHAR));
    buffer[length] = 0;
    return DWORD(length);
}
