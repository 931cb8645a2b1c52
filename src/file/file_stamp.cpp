// File stamps from stat, or on Windows from the file's handle opened for no
// access at all, which every other opener may share, rename and delete.
#define _FILE_OFFSET_BITS 64

#include "file/file_stamp.h"

#ifdef _WIN32
#include <windows.h>

#include <string>
#else
#include <sys/stat.h>
#include <time.h>
#endif

bool operator==(const FileStamp& a, const FileStamp& b) {
    if (!a.exists || !b.exists) return a.exists == b.exists;
    return a.device == b.device && a.index == b.index && a.size == b.size && a.changeTime == b.changeTime;
}

#ifdef _WIN32

namespace {

// 100-nanosecond units since 1601 to nanoseconds since 1970.
int64_t Nanoseconds(FILETIME time) {
    const int64_t ticks = int64_t((uint64_t(time.dwHighDateTime) << 32) | time.dwLowDateTime);
    return (ticks - 116444736000000000LL) * 100;
}

}  // namespace

FileStamp ReadFileStamp(const char* path) {
    FileStamp stamp = {};
    int length = MultiByteToWideChar(CP_ACP, 0, path, -1, nullptr, 0);
    if (length <= 0) return stamp;
    std::wstring name(size_t(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, path, -1, &name[0], length);
    HANDLE file = CreateFileW(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return stamp;
    BY_HANDLE_FILE_INFORMATION information;
    if (GetFileInformationByHandle(file, &information)) {
        stamp.exists = true;
        stamp.device = information.dwVolumeSerialNumber;
        stamp.index = (uint64_t(information.nFileIndexHigh) << 32) | information.nFileIndexLow;
        stamp.size = int64_t((uint64_t(information.nFileSizeHigh) << 32) | information.nFileSizeLow);
        int64_t written = Nanoseconds(information.ftLastWriteTime);
        int64_t created = Nanoseconds(information.ftCreationTime);
        stamp.changeTime = written > created ? written : created;
    }
    CloseHandle(file);
    return stamp;
}

int64_t FileClockNow() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return Nanoseconds(now);
}

#else

namespace {

int64_t Nanoseconds(const timespec& time) {
    return int64_t(time.tv_sec) * 1000000000 + time.tv_nsec;
}

}  // namespace

FileStamp ReadFileStamp(const char* path) {
    FileStamp stamp = {};
    struct stat status;
    if (stat(path, &status) != 0) return stamp;
    stamp.exists = true;
    stamp.device = uint64_t(status.st_dev);
    stamp.index = uint64_t(status.st_ino);
    stamp.size = int64_t(status.st_size);
    int64_t modified = Nanoseconds(status.st_mtim), changed = Nanoseconds(status.st_ctim);
    stamp.changeTime = modified > changed ? modified : changed;
    return stamp;
}

int64_t FileClockNow() {
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    return Nanoseconds(now);
}

#endif
