// The model file's reader: opening, positioned reads, and lines as the loads
// take them. The only code of the model that knows the system's file calls.

// Large files on 32-bit Linux builds too.
#define _FILE_OFFSET_BITS 64

#include "model/model_reader.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "model/model_keywords.h"

size_t ReadFileAt(FILE* file, int64_t offset, char* buffer, size_t size) {
    size_t done = 0;
#ifdef _WIN32
    HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    while (done < size) {
        OVERLAPPED at = {};
        uint64_t position = uint64_t(offset) + done;
        at.Offset = DWORD(position);
        at.OffsetHigh = DWORD(position >> 32);
        DWORD got = 0;
        DWORD want = DWORD(size - done < (size_t(1) << 30) ? size - done : size_t(1) << 30);
        if (!ReadFile(handle, buffer + done, want, &got, &at) || got == 0) break;
        done += got;
    }
#else
    int fd = fileno(file);
    while (done < size) {
        ssize_t got = pread(fd, buffer + done, size - done, off_t(offset + int64_t(done)));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += size_t(got);
    }
#endif
    return done;
}

int64_t StoredFileBytes(FILE* file) {
#ifdef _WIN32
    struct _stati64 status;
    if (_fstati64(_fileno(file), &status) != 0) return -1;
    return int64_t(status.st_size);
#else
    struct stat status;
    if (fstat(fileno(file), &status) != 0) return -1;
    return int64_t(status.st_blocks) * 512;
#endif
}

bool ReserveLine(ModelLine* line, size_t size) {
    if (size < line->capacity) return true;
    size_t capacity = line->capacity ? line->capacity : 256;
    while (capacity <= size) {
        if (capacity > SIZE_MAX / 2) return false;
        capacity *= 2;
    }
    char* text = static_cast<char*>(std::realloc(line->text, capacity));
    if (!text) return false;
    line->text = text;
    line->capacity = capacity;
    return true;
}

void AppendLine(ModelLine* line, const char* bytes, size_t count) {
    if (line->isCut) return;
    if (const void* nul = std::memchr(bytes, '\0', count)) {
        count = size_t(static_cast<const char*>(nul) - bytes) + 1;
        line->isCut = true;
    }
    if (!ReserveLine(line, line->length + count)) {
        // Out of memory for a giant line: keep what fits.
        if (line->capacity == 0) return;
        count = line->capacity - 1 - line->length;
    }
    std::memcpy(line->text + line->length, bytes, count);
    line->length += count;
    line->text[line->length] = '\0';
}

char* AllocateReadBlock() {
    return static_cast<char*>(std::calloc(ReadBlockSize + ReadBlockPadding, 1));
}

bool OpenModelStream(ModelStream* stream, const char* path, RegularFile* opened) {
    *stream = ModelStream{};
    // Binary: line ends are folded by the reader, the same on every build.
    RegularFile file = OpenRegularFile(path);
    if (opened) *opened = file;
    if (!file.file) return false;
    stream->file = file.file;
    stream->size = file.size;
    stream->block = AllocateReadBlock();
    if (!stream->block) {
        std::fclose(stream->file);
        stream->file = nullptr;
        return false;
    }
    return true;
}

void CloseModelStream(ModelStream* stream) {
    if (stream->file) std::fclose(stream->file);
    std::free(stream->block);
    *stream = ModelStream{};
}

namespace {

// Moves the unread bytes to the front of the block and reads more behind them.
// Returns false when nothing more could be read (end of file or read error).
bool FillBlock(ModelStream* stream) {
    if (stream->atEnd) return false;
    size_t keep = stream->end - stream->begin;
    std::memmove(stream->block, stream->block + stream->begin, keep);
    size_t got = ReadFileAt(stream->file, stream->offset, stream->block + keep, ReadBlockSize - keep);
    stream->offset += int64_t(got);
    stream->begin = 0;
    stream->end = keep + got;
    if (got == 0) {
        stream->atEnd = true;
        return false;
    }
    return true;
}

void ClearLine(ModelLine* line) {
    StartLine(line);
    if (ReserveLine(line, 0)) line->text[0] = '\0';
}

// Drops a carriage return that stands right before the line feed, so that a
// CR LF pair reads as one line feed on every build.
void FoldLineEnd(ModelLine* line) {
    size_t n = line->length;
    if (n >= 2 && line->text[n - 1] == '\n' && line->text[n - 2] == '\r') {
        line->text[n - 2] = '\n';
        line->text[n - 1] = '\0';
        line->length = n - 1;
    }
}

// Skips the rest of a line (up to and including its line feed).
void SkipLine(ModelStream* stream) {
    for (;;) {
        const char* start = stream->block + stream->begin;
        size_t avail = stream->end - stream->begin;
        const void* lf = std::memchr(start, '\n', avail);
        if (lf) {
            stream->begin += size_t(static_cast<const char*>(lf) - start) + 1;
            return;
        }
        stream->begin = stream->end;
        if (!FillBlock(stream)) return;
    }
}

}  // namespace

void TakeLine(ModelStream* stream, ModelLine* line) {
    StartLine(line);
    for (;;) {
        const char* start = stream->block + stream->begin;
        size_t avail = stream->end - stream->begin;
        const void* lf = std::memchr(start, '\n', avail);
        size_t count = lf ? size_t(static_cast<const char*>(lf) - start) + 1 : avail;
        AppendLine(line, start, count);
        stream->begin += count;
        if (lf || !FillBlock(stream)) break;
    }
    FoldLineEnd(line);
}

bool SkipByteOrderMark(ModelStream* stream) {
    const size_t markLength = sizeof Utf8ByteOrderMark - 1;
    while (stream->end - stream->begin < markLength && FillBlock(stream)) {
    }
    if (stream->end - stream->begin < markLength ||
        std::memcmp(stream->block + stream->begin, Utf8ByteOrderMark, markLength) != 0)
        return false;
    stream->begin += markLength;
    return true;
}

void ReadDataLine(ModelStream* stream, ModelLine* buffer) {
    for (;;) {
        if (stream->begin == stream->end && !FillBlock(stream)) {
            // End of file: the last data line of this load stands again.
            if (!stream->hasDataLine) ClearLine(buffer);
            return;
        }
        // A CR LF pair is an empty line; make sure both bytes are in view.
        if (stream->block[stream->begin] == '\r' && stream->begin + 1 == stream->end)
            FillBlock(stream);
        const char* first = stream->block + stream->begin;
        ++stream->linesRead;
        if (!IsDataLine(first, stream->block + stream->end)) {
            SkipLine(stream);
            continue;
        }
        TakeLine(stream, buffer);
        stream->hasDataLine = true;
        stream->lineNumber = stream->linesRead;
        return;
    }
}

void ReadLineAt(FILE* file, int64_t offset, const char* text, size_t inView, ModelLine* line) {
    StartLine(line);
    AppendLine(line, text, inView);
    offset += int64_t(line->length);
    for (;;) {
        if (line->isCut) return;
        size_t piece = line->length > (size_t(1) << 16) ? line->length : size_t(1) << 16;
        if (!ReserveLine(line, line->length + piece)) {
            if (line->capacity <= line->length + 1) return;
            piece = line->capacity - 1 - line->length;
        }
        char* at = line->text + line->length;
        size_t got = ReadFileAt(file, offset, at, piece);
        const void* lf = std::memchr(at, '\n', got);
        size_t taken = lf ? size_t(static_cast<const char*>(lf) - at) + 1 : got;
        if (const void* nul = std::memchr(at, '\0', taken)) {
            taken = size_t(static_cast<const char*>(nul) - at) + 1;
            line->isCut = true;
        }
        line->length += taken;
        line->text[line->length] = '\0';
        offset += int64_t(taken);
        if (lf || got < piece || line->isCut) return;
    }
}

void TakeLineAt(ModelStream* stream, int64_t offset, ModelLine* line) {
    stream->offset = offset;
    stream->begin = stream->end = 0;
    stream->atEnd = false;
    TakeLine(stream, line);
}

void KeepLine(ModelLine* line, const char* text, size_t length) {
    StartLine(line);
    AppendLine(line, text, length);
    FoldLineEnd(line);
}
