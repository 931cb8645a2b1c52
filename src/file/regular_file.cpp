// The one opening of files that are read to their end, for the model reader,
// the picture services and the tools.

// Large files on 32-bit Linux builds too.
#define _FILE_OFFSET_BITS 64

#include "file/regular_file.h"

#include <cerrno>
#include <cstring>

#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

RegularFile Failed(FileOpenFailure failure, int systemError, FileKind kind = FileKindRegular) {
    RegularFile opened = {};
    opened.failure = failure;
    opened.systemError = systemError;
    opened.kind = kind;
    return opened;
}

// The stream unbuffered: its readers read in large blocks of their own or
// set a buffer.
RegularFile Opened(FILE* file, int64_t size) {
    std::setvbuf(file, nullptr, _IONBF, 0);
    RegularFile opened = {};
    opened.file = file;
    opened.size = size;
    return opened;
}

RegularFile FailedToOpen(int error) {
    return Failed(error == ENOENT ? FileOpenMissing : FileOpenNotReadable, error);
}

}  // namespace

#ifdef _WIN32

RegularFile OpenRegularFile(const char* path) {
    // A folder cannot be opened as a stream here: say what it is.
    struct _stati64 status;
    if (_stati64(path, &status) == 0 && (status.st_mode & _S_IFMT) == _S_IFDIR)
        return Failed(FileOpenNotRegular, 0, FileKindFolder);
    FILE* file = std::fopen(path, "rb");
    if (!file) return FailedToOpen(errno);
    FileKind kind = FileKindRegular;
    switch (GetFileType(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file))))) {
        case FILE_TYPE_DISK: break;
        case FILE_TYPE_CHAR: kind = FileKindDevice; break;
        case FILE_TYPE_PIPE: kind = FileKindFifo; break;
        default: kind = FileKindOther; break;
    }
    if (kind != FileKindRegular || _fstati64(_fileno(file), &status) != 0) {
        int error = errno;
        std::fclose(file);
        return kind != FileKindRegular ? Failed(FileOpenNotRegular, 0, kind) : FailedToOpen(error);
    }
    return Opened(file, int64_t(status.st_size));
}

#else

RegularFile OpenRegularFile(const char* path) {
    // O_NOCTTY: a terminal named here never becomes the controlling one.
    int descriptor = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (descriptor < 0) return FailedToOpen(errno);
    struct stat status;
    if (fstat(descriptor, &status) != 0) {
        int error = errno;
        close(descriptor);
        return Failed(FileOpenNotReadable, error);
    }
    if (!S_ISREG(status.st_mode)) {
        FileKind kind = S_ISDIR(status.st_mode)                              ? FileKindFolder
                        : S_ISFIFO(status.st_mode)                           ? FileKindFifo
                        : S_ISCHR(status.st_mode) || S_ISBLK(status.st_mode) ? FileKindDevice
                        : S_ISSOCK(status.st_mode)                           ? FileKindSocket
                                                                             : FileKindOther;
        close(descriptor);
        return Failed(FileOpenNotRegular, 0, kind);
    }
    FILE* file = nullptr;
    int flags = fcntl(descriptor, F_GETFL);
    if (flags < 0 || fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK) != 0 ||
        !(file = fdopen(descriptor, "rb"))) {
        int error = errno;
        close(descriptor);
        return Failed(FileOpenNotReadable, error);
    }
    return Opened(file, int64_t(status.st_size));
}

#endif

const char* DescribeFileKind(FileKind kind) {
    switch (kind) {
        case FileKindRegular: return "is a regular file";
        case FileKindFolder: return "is a folder";
        case FileKindFifo: return "is a FIFO";
        case FileKindDevice: return "is a device";
        case FileKindSocket: return "is a socket";
        case FileKindOther: break;
    }
    return "is not a regular file";
}

const char* DescribeFileOpenFailure(const RegularFile& opened) {
    switch (opened.failure) {
        case FileOpenDone: return "";
        case FileOpenMissing:
        case FileOpenNotReadable: return std::strerror(opened.systemError);
        case FileOpenNotRegular: break;
    }
    return DescribeFileKind(opened.kind);
}
