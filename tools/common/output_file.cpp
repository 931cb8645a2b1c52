#include "output_file.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

// As many links as the system itself follows in one path.
constexpr int MaxLinkHops = 40;

constexpr char TemporarySuffix[] = ".tmp-XXXXXX";

bool Refuse(const std::string& reason, std::string* error) {
    *error = reason;
    return false;
}

bool RefuseErrno(int code, std::string* error) {
    return Refuse(std::strerror(code), error);
}

// The folder part of `path` with its final slash ("" for a bare name).
std::string FolderPrefix(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Follows `path` while it is a symbolic link. `info` is the lstat of the
// result, `*exists` false where it names nothing (a new name, or the target
// of a dangling link).
bool FollowLinks(std::string* path, struct stat* info, bool* exists, std::string* error) {
    for (int hops = 0;; ++hops) {
        if (lstat(path->c_str(), info) != 0) {
            if (errno != ENOENT) return RefuseErrno(errno, error);
            *exists = false;
            return true;
        }
        if (!S_ISLNK(info->st_mode)) {
            *exists = true;
            return true;
        }
        if (hops == MaxLinkHops) return RefuseErrno(ELOOP, error);
        char link[PATH_MAX];
        ssize_t length = readlink(path->c_str(), link, sizeof link);
        if (length < 0) return RefuseErrno(errno, error);
        if (size_t(length) == sizeof link) return RefuseErrno(ENAMETOOLONG, error);
        std::string next(link, size_t(length));
        *path = !next.empty() && next[0] == '/' ? next : FolderPrefix(*path) + next;
    }
}

// Writes through the open `fd` (a FIFO, a character device, or a file that
// cannot be replaced under a name), in blocking mode from now on.
bool WriteInPlace(int fd, bool isFifo, OutputFile* file, std::string* error) {
    int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0 || !(file->stream = fdopen(fd, "wb"))) {
        int code = errno;
        close(fd);
        return RefuseErrno(code, error);
    }
    if (isFifo) {
        // A reader that leaves makes writes fail with EPIPE instead of
        // ending the tool.
        struct sigaction ignore = {};
        ignore.sa_handler = SIG_IGN;
        sigaction(SIGPIPE, &ignore, &file->pipeAction);
        file->isPipe = true;
    }
    return true;
}

// A temporary beside the target, with the mode and owner that the target
// has (or that a new file gets).
bool OpenTemporary(const struct stat* existing, OutputFile* file, std::string* error) {
    std::string name = file->target.substr(FolderPrefix(file->target).size());
    if (name.empty()) return RefuseErrno(EISDIR, error);
    size_t room = NAME_MAX - (sizeof TemporarySuffix - 1);
    file->temporary = FolderPrefix(file->target) + name.substr(0, room) + TemporarySuffix;
    int fd = mkostemp(&file->temporary[0], O_CLOEXEC);
    if (fd < 0) {
        int code = errno;
        file->temporary.clear();
        return Refuse(std::string("cannot make a file in its folder: ") + std::strerror(code), error);
    }
    std::string reason;
    struct stat made;
    if (existing && fstat(fd, &made) == 0 &&
        (made.st_uid != existing->st_uid || made.st_gid != existing->st_gid) &&
        fchown(fd, existing->st_uid, existing->st_gid) != 0)
        reason = "belongs to another user or group, which its replacement could not keep: left as it is";
    mode_t mask = umask(0);
    umask(mask);
    // mkstemp makes the file private.
    if (reason.empty() && fchmod(fd, existing ? existing->st_mode & 0777 : 0666 & ~mask) != 0)
        reason = std::strerror(errno);
    if (reason.empty() && !(file->stream = fdopen(fd, "wb"))) reason = std::strerror(errno);
    if (!reason.empty()) {
        close(fd);
        unlink(file->temporary.c_str());
        file->temporary.clear();
        return Refuse(reason, error);
    }
    return true;
}

}  // namespace

bool OpenOutputFile(const std::string& path, OutputFile* file, std::string* error) {
    *file = OutputFile{};
    file->target = path;
    // Opened without being made: the system follows the links (those in
    // /proc too) and checks that we may write; O_NONBLOCK keeps a FIFO
    // without a reader from blocking the open.
    int fd = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    struct stat info;
    bool exists = false;
    if (fd < 0) {
        int code = errno;
        if (code == ENOENT) {
            // A new name, or the target of a link that names nothing yet.
            if (!FollowLinks(&file->target, &info, &exists, error)) return false;
            if (exists) return Refuse("changed while it was being opened", error);
            return OpenTemporary(nullptr, file, error);
        }
        if (code == ENXIO && stat(path.c_str(), &info) == 0) {
            if (S_ISFIFO(info.st_mode))
                return Refuse("is a FIFO that no process has open for reading", error);
            if (S_ISSOCK(info.st_mode)) return Refuse("is a socket", error);
        }
        if (code == EISDIR) return Refuse("is a folder", error);
        return RefuseErrno(code, error);
    }
    struct stat opened;
    if (fstat(fd, &opened) != 0) {
        int code = errno;
        close(fd);
        return RefuseErrno(code, error);
    }
    if (S_ISFIFO(opened.st_mode) || S_ISCHR(opened.st_mode))
        return WriteInPlace(fd, S_ISFIFO(opened.st_mode), file, error);
    if (!S_ISREG(opened.st_mode)) {
        close(fd);
        if (S_ISBLK(opened.st_mode)) return Refuse("is a block device, which is not written over", error);
        return Refuse("is not a regular file", error);
    }
    // A regular file is replaced under the name its links lead to; where
    // that name is not this file (a link such as /dev/stdout that names
    // an open file rather than a path), it is written in place.
    if (FollowLinks(&file->target, &info, &exists, error) && exists && info.st_dev == opened.st_dev &&
        info.st_ino == opened.st_ino) {
        close(fd);
        return OpenTemporary(&opened, file, error);
    }
    file->target = path;
    if (ftruncate(fd, 0) != 0) {
        int code = errno;
        close(fd);
        return RefuseErrno(code, error);
    }
    return WriteInPlace(fd, false, file, error);
}

bool CloseOutputFile(OutputFile* file, bool isWritten, std::string* error) {
    bool isDone = isWritten;
    int code = 0;
    bool isTemporary = !file->temporary.empty();
    if (isDone && std::fflush(file->stream) != 0) isDone = false, code = errno;
    if (isDone && isTemporary && fsync(fileno(file->stream)) != 0) isDone = false, code = errno;
    if (std::fclose(file->stream) != 0 && isDone) isDone = false, code = errno;
    file->stream = nullptr;
    if (isTemporary) {
        if (isDone && std::rename(file->temporary.c_str(), file->target.c_str()) != 0)
            isDone = false, code = errno;
        if (!isDone) unlink(file->temporary.c_str());
        file->temporary.clear();
    }
    if (file->isPipe) sigaction(SIGPIPE, &file->pipeAction, nullptr);
    file->isPipe = false;
    if (isWritten && !isDone) *error = std::strerror(code ? code : EIO);
    return isDone;
}

bool FinishOutputFile(OutputFile* file, const void* bytes, size_t size, std::string* error) {
    errno = 0;
    bool isWritten = std::fwrite(bytes, 1, size, file->stream) == size;
    if (!isWritten) *error = std::strerror(errno ? errno : EIO);
    return CloseOutputFile(file, isWritten, error) && isWritten;
}

bool WriteOutputBytes(const std::string& path, const void* bytes, size_t size, std::string* error) {
    OutputFile file;
    return OpenOutputFile(path, &file, error) && FinishOutputFile(&file, bytes, size, error);
}
