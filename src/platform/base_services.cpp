// The base services of the Win32 subset: the current directory and error
// texts, over the C library.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/win32_api.h"

namespace {

// The error of the last base-service call that failed, as an errno value.
DWORD lastError = 0;

}  // namespace

BOOL WINAPI SetCurrentDirectoryA(LPCSTR pathName) {
    if (pathName && chdir(pathName) == 0) return TRUE;
    lastError = pathName ? DWORD(errno) : DWORD(EFAULT);
    return FALSE;
}

DWORD WINAPI GetLastError() {
    return lastError;
}

DWORD WINAPI FormatMessageA(DWORD flags, LPCVOID, DWORD messageId, DWORD, LPSTR buffer, DWORD size,
                            va_list*) {
    if (!(flags & FORMAT_MESSAGE_FROM_SYSTEM) || !buffer || size == 0) return 0;
    int length = std::snprintf(buffer, size, "%s", std::strerror(int(messageId)));
    if (length < 0) return 0;
    return DWORD(size_t(length) < size ? length : size - 1);
}
