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
        *path = next[0] == '/' ? next : FolderPrefix(*path) + next;
    }
}

// A FIFO or character device, opened where it is. O_NONBLOCK keeps a FIFO
// without a reader from blocking the open; writes block as usual after.
bool OpenInPlace(const struct stat& info, OutputFile* file, std::string* error) {
    bool isFifo = S_ISFIFO(info.st_mode);
    int fd = open(file->target.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        if (isFifo && errno == ENXIO) return Refuse("is a FIFO that no process has open for reading", error);
        return RefuseErrno(errno, error);
    }
    struct stat opened;
    int flags = fcntl(fd, F_GETFL);
    if (fstat(fd, &opened) != 0 || opened.st_dev != info.st_dev || opened.st_ino != info.st_ino ||
        flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        close(fd);
        return Refuse("changed while it was being opened", error);
    }
    file->stream = fdopen(fd, "wb");
    if (!file->stream) {
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
    if (existing && fstat(fd, &made) == 0 && (made.st_uid != existing->st_uid || made.st_gid != existing->st_gid) &&
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
    struct stat info;
    bool exists = false;
    if (!FollowLinks(&file->target, &info, &exists, error)) return false;
    if (!exists) return OpenTemporary(nullptr, file, error);
    if (S_ISREG(info.st_mode)) {
        // Only what we may write is replaced.
        if (faccessat(AT_FDCWD, file->target.c_str(), W_OK, AT_EACCESS) != 0) return RefuseErrno(errno, error);
        return OpenTemporary(&info, file, error);
    }
    if (S_ISFIFO(info.st_mode) || S_ISCHR(info.st_mode)) return OpenInPlace(info, file, error);
    if (S_ISDIR(info.st_mode)) return Refuse("is a folder", error);
    if (S_ISBLK(info.st_mode)) return Refuse("is a block device, which is not written over", error);
    if (S_ISSOCK(info.st_mode)) return Refuse("is a socket", error);
    return Refuse("is not a regular file", error);
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
        if (isDone && std::rename(file->temporary.c_str(), file->target.c_str()) != 0) isDone = false, code = errno;
        if (!isDone) unlink(file->temporary.c_str());
        file->temporary.clear();
    }
    if (file->isPipe) sigaction(SIGPIPE, &file->pipeAction, nullptr);
    file->isPipe = false;
    if (isWritten && !isDone) *error = std::strerror(code ? code : EIO);
    return isDone;
}
