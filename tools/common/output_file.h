// Every file polyview-tool writes (convert's OUT, each --out) goes through
// here, so that writing never turns a name into something else:
// - a new name, or a regular file we may write, is written under a temporary
//   name in the same folder and renamed into place, so it is either the whole
//   new file or left as it was; a replaced file keeps its mode and owner (or
//   is left alone where the owner cannot be kept);
// - a symbolic link is followed, and its final target written that way: the
//   link stays a link;
// - a FIFO or a character device is written through, in place; a FIFO that no
//   process has open for reading is refused at once rather than waited for;
// - a folder, a block device or a socket is refused.
#pragma once

#include <csignal>
#include <cstdio>
#include <string>

struct OutputFile {
    FILE* stream = nullptr;
    std::string target;     // the file written, links followed
    std::string temporary;  // empty where the target is written through
    bool isPipe = false;    // SIGPIPE is ignored while it is open
    struct sigaction pipeAction = {};
};

// Opens `path` for writing by the rules above. False, with the reason in
// `error`, when it is refused or cannot be opened; nothing is then left.
bool OpenOutputFile(const std::string& path, OutputFile* file, std::string* error);

// Ends the writing. With `isWritten` true, flushes, syncs and renames the
// temporary into place; false (with `error`) if any of that fails. With
// `isWritten` false, or on failure, the temporary is removed and the target
// left as it was (a file written through keeps what reached it).
bool CloseOutputFile(OutputFile* file, bool isWritten, std::string* error);

// Writes `size` bytes as the whole of an opened file and closes it, as
// CloseOutputFile does.
bool FinishOutputFile(OutputFile* file, const void* bytes, size_t size, std::string* error);

// Writes `size` bytes as the whole file at `path`, by the rules above.
bool WriteOutputBytes(const std::string& path, const void* bytes, size_t size, std::string* error);
