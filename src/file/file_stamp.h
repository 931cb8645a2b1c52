// What a watch compares of a file, read from the system's metadata without
// opening the file for reading: whether the name leads to a file, which file
// it is, its size and when it last changed.
#pragma once

#include <cstdint>

struct FileStamp {
    bool exists;
    uint64_t device;     // the volume, and the file on it (inode; Windows: the file index)
    uint64_t index;
    int64_t size;
    int64_t changeTime;  // nanoseconds since 1970: the later of the last write and the last
                         // change of the entry (Windows: of the last write and the creation)
};

bool operator==(const FileStamp& a, const FileStamp& b);
inline bool operator!=(const FileStamp& a, const FileStamp& b) {
    return !(a == b);
}

// The stamp of what `path` names, links followed; a name that leads to nothing
// gives a stamp whose only meaning is that.
FileStamp ReadFileStamp(const char* path);

// Now on the clock the file times are kept in, in nanoseconds since 1970.
int64_t FileClockNow();
