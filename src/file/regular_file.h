// Opening a file that is read to its end: only a regular file is opened. A
// FIFO, a device or a folder could block the open, never end, or mean
// nothing as a file's contents, so it is refused at once, by its kind.
#pragma once

#include <cstdint>
#include <cstdio>

// What a name holds, where it is not a regular file.
enum FileKind {
    FileKindRegular,
    FileKindFolder,
    FileKindFifo,
    FileKindDevice,
    FileKindSocket,
    FileKindOther,
};

enum FileOpenFailure {
    FileOpenDone,
    FileOpenMissing,      // no such file (systemError says which part is missing)
    FileOpenNotReadable,  // there, but it cannot be opened or examined (systemError)
    FileOpenNotRegular,   // opened as nothing: `kind` says what it is
};

struct RegularFile {
    FILE* file;  // binary, unbuffered; null on failure
    int64_t size;
    FileOpenFailure failure;
    int systemError;
    FileKind kind;
};

// Opens `path` for reading without waiting (a FIFO with no writer would
// block the open) and keeps it only when it is a regular file; its reads then
// block as a regular file's do. Windows: the system tells the handle's type.
RegularFile OpenRegularFile(const char* path);

// "is a folder", "is a FIFO", ...: why a name of this kind is not read.
const char* DescribeFileKind(FileKind kind);

// The reason a failed open gives, in words: the system's for a missing or
// unreadable file, else the kind's.
const char* DescribeFileOpenFailure(const RegularFile& opened);
