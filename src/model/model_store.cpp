// Large files on 32-bit Linux builds too.
#define _FILE_OFFSET_BITS 64

#include "model/model.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>

#ifdef _WIN32
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif
#ifdef __linux__
#include <sys/mman.h>
#endif

#include "model/model_read.h"
#include "model/model_format.h"
#include "model/scan.h"

ModelStoreRecord ModelStore = {};
int32_t modelLoadThreads = 0;
int64_t modelLoadChunkBytes = 0;

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

int64_t RegularFileSize(FILE* file) {
#ifdef _WIN32
    struct _stati64 status;
    if (_fstati64(_fileno(file), &status) != 0 || (status.st_mode & _S_IFMT) != _S_IFREG) return -1;
#else
    struct stat status;
    if (fstat(fileno(file), &status) != 0 || !S_ISREG(status.st_mode)) return -1;
#endif
    return int64_t(status.st_size);
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

}  // namespace

void AppendLine(ModelLine* line, const char* bytes, size_t count) {
    if (!ReserveLine(line, line->length + count)) {
        // Out of memory for a giant line: keep what fits.
        if (line->capacity == 0) return;
        count = line->capacity - 1 - line->length;
    }
    std::memcpy(line->text + line->length, bytes, count);
    line->length += count;
    line->text[line->length] = '\0';
}

namespace {

void ClearLine(ModelLine* line) {
    line->length = 0;
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
    line->length = 0;
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

namespace {

void ReleaseTriangles() {
    delete[] ModelStore.triangles;
    ModelStore.triangles = nullptr;
    ModelStore.triangleCount = 0;
}

}  // namespace

bool OpenModelStream(ModelStream* stream, const char* path) {
    *stream = ModelStream{};
    // Binary: line ends are folded by the reader, the same on every build.
    stream->file = std::fopen(path, "rb");
    if (!stream->file) return false;
    std::setvbuf(stream->file, nullptr, _IONBF, 0);
    // Zeroed, with room past the end: vertex lines in the block are scanned
    // with reads of 16 bytes that may reach past the last line.
    stream->block = static_cast<char*>(std::calloc(ReadBlockSize + ReadBlockPadding, 1));
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

// Allocates `count` uninitialised records, or returns null when the count is
// out of bounds or memory is short.
ModelTriangle* AllocateTriangles(int32_t count) {
    if (count <= 0 || count > MaxTriangleCount) return nullptr;
    ModelTriangle* triangles = new (std::nothrow) ModelTriangle[size_t(count)];
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    // A large array is filled front to back right away: large pages spare a
    // page fault per 4 KiB, a sizeable part of a large load. Only advice; the
    // allocation stays the allocator's.
    const uintptr_t page = 4096;
    size_t bytes = size_t(count) * sizeof(ModelTriangle);
    if (triangles && bytes >= (size_t(4) << 20)) {
        uintptr_t begin = (reinterpret_cast<uintptr_t>(triangles) + page - 1) & ~(page - 1);
        uintptr_t end = (reinterpret_cast<uintptr_t>(triangles) + bytes) & ~(page - 1);
        madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
    }
#endif
    return triangles;
}

}  // namespace

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
        bool empty = first[0] == '\n' ||
                     (first[0] == '\r' && stream->begin + 1 < stream->end && first[1] == '\n');
        ++stream->linesRead;
        if (first[0] == '#' || empty) {
            SkipLine(stream);
            continue;
        }
        TakeLine(stream, buffer);
        stream->hasDataLine = true;
        stream->lineNumber = stream->linesRead;
        return;
    }
}

namespace {

// ReadDataLine for the common case, without copying: when the next data line
// lies whole in the block (line feed included), points `text` at it there and
// returns true. Otherwise returns false, having consumed at most some comment
// and empty lines, and the caller reads the line with ReadDataLine. A line in
// view is only valid until the block moves on.
bool ViewDataLine(ModelStream* stream, const char** text, size_t* length) {
    for (;;) {
        const char* first = stream->block + stream->begin;
        size_t avail = stream->end - stream->begin;
        if (avail < 2) return false;
        const char* lf = static_cast<const char*>(std::memchr(first, '\n', avail));
        if (!lf) return false;
        ++stream->linesRead;
        size_t taken = size_t(lf - first) + 1;
        stream->begin += taken;
        if (first[0] == '#' || first[0] == '\n' || (first[0] == '\r' && first[1] == '\n')) continue;
        *text = first;
        *length = taken;
        stream->hasDataLine = true;
        stream->lineNumber = stream->linesRead;
        return true;
    }
}

// Makes `text` the line buffer's contents, as ReadDataLine would have left it.
void KeepLine(ModelLine* line, const char* text, size_t length) {
    line->length = 0;
    AppendLine(line, text, length);
    FoldLineEnd(line);
}

}  // namespace

namespace {

// A report on the line just read; `lineNumberBefore` is the stream's line
// number before the read.
ModelLineReport LineReport(ModelLineKind kind, const char* text, size_t length,
                           int64_t lineNumberBefore, const ModelStream* stream, int scanned) {
    ModelLineReport report = {};
    report.kind = kind;
    report.text = text;
    report.length = length;
    report.isNew = stream->lineNumber != lineNumberBefore;
    report.lineNumber = stream->lineNumber;
    report.linesRead = stream->linesRead;
    report.scanned = scanned;
    return report;
}

// The load, with or without an observer. Observed loads stay on this thread.
bool LoadModel(const char* path, ModelLineObserver observer, void* context) {
    ModelStoreRecord& store = ModelStore;
    ReleaseTriangles();
    static bool releaseAtExit = false;
    if (!releaseAtExit) releaseAtExit = std::atexit(ReleaseModelStore) == 0;

    if (!OpenModelStream(&store.modelFile, path)) return false;
    ModelStream* stream = &store.modelFile;
    ModelLine* line = &store.lineBuffer;

    int32_t count = 0;
    int64_t before = stream->lineNumber;
    ReadDataLine(stream, line);
    int scanned = ScanText(line->text, line->length, CountLineFormat, &count);
    if (observer) {
        ModelLineReport report = LineReport(ModelLineCount, line->text, line->length, before, stream, scanned);
        report.value = count;
        observer(report, context);
    }
    before = stream->lineNumber;
    ReadDataLine(stream, line);
    scanned = ScanText(line->text, line->length, ModeLineFormat, &store.TextureMode);
    if (observer) {
        ModelLineReport report = LineReport(ModelLineMode, line->text, line->length, before, stream, scanned);
        report.value = store.TextureMode;
        observer(report, context);
    }

    ModelTriangle* triangles = AllocateTriangles(count);
    if (count > 0 && !triangles) count = 0;
    store.triangles = triangles;
    store.triangleCount = count;

    const int32_t mode = store.TextureMode;
    if (mode == 0 || mode == 1) {
        const bool textured = mode == 1;
        const int fields = textured ? 5 : 3;
        const char* format = VertexLineFormat(textured);
        float hold[5] = {0, 0, 0, 0, 0};
        void* const targets[5] = {&hold[0], &hold[1], &hold[2], &hold[3], &hold[4]};
        ModelVertex* vertex = count > 0 ? &triangles[0].vertices[0] : nullptr;
        ModelVertex* const last = vertex ? vertex + size_t(count) * 3 : nullptr;
        if (vertex && !observer &&
            LoadVertexLinesInParallel(stream, line, vertex, int64_t(count) * 3, textured))
            vertex = last;
        const char* viewed = nullptr;  // last data line, when still in the block
        size_t viewedLength = 0;
        while (vertex != last) {
            bool repeating = stream->atEnd && stream->begin == stream->end;
            before = stream->lineNumber;
            const char* text;
            size_t length;
            if (ViewDataLine(stream, &text, &length)) {
                viewed = text;
                viewedLength = length;
            } else {
                // The block may move on: the line buffer takes over.
                if (viewed) KeepLine(line, viewed, viewedLength);
                viewed = nullptr;
                ReadDataLine(stream, line);
                text = line->text;
                length = line->length;
            }
            bool isFastScan = viewed == text ? ScanPaddedVertexLine(text, length, textured, hold)
                                             : ScanVertexLine(text, length, textured, hold);
            scanned = isFastScan ? fields : ScanTextInto(text, length, format, targets);
            // Past the end of the file every read delivers the same line, and a
            // scan of the same line leaves the holding values as they are: the
            // remaining vertices are all alike.
            ModelVertex* stop = repeating ? last : vertex + 1;
            if (observer) {
                ModelLineReport report = LineReport(ModelLineVertex, text, length, before, stream, scanned);
                report.isFastScan = isFastScan;
                report.hold = hold;
                report.vertices = stop - vertex;
                observer(report, context);
            }
            for (; vertex != stop; ++vertex) StoreVertex(vertex, hold, textured);
        }
        if (viewed) KeepLine(line, viewed, viewedLength);
    }
    if (observer) {
        // Read on, into a line of its own: the line buffer keeps the last line
        // the load read.
        ModelLine rest = {};
        for (;;) {
            before = stream->lineNumber;
            ReadDataLine(stream, &rest);
            if (stream->lineNumber == before) break;
            observer(LineReport(ModelLineUnread, rest.text, rest.length, before, stream, 0), context);
        }
        std::free(rest.text);
    }
    CloseModelStream(stream);
    return true;
}

}  // namespace

void LoadModelFile(const char* path) {
    LoadModel(path, nullptr, nullptr);
}

bool LoadModelFileObserved(const char* path, ModelLineObserver observer, void* context) {
    return LoadModel(path, observer, context);
}

void ReleaseModelStore() {
    ReleaseTriangles();
    std::free(ModelStore.lineBuffer.text);
    ModelStore.lineBuffer = ModelLine{};
}
