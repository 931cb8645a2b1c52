// The triangle store and its load: open, the header lines, the array, the
// vertex lines (serially here, or on threads by model_parallel.cpp), close;
// tools may follow a load through an observer.
#include "model/model.h"

#include <cstdlib>
#include <cstring>
#include <new>

#ifdef __linux__
#include <sys/mman.h>
#endif

#include "model/model_keywords.h"
#include "model/scan.h"
#include "model/model_parallel.h"
#include "model/model_store.h"
#include "model/scan_vertex.h"

ModelStoreRecord ModelStore = {};

namespace {

void ReleaseTriangles() {
    delete[] ModelStore.triangles;
    ModelStore.triangles = nullptr;
    ModelStore.triangleCount = 0;
}

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

// Keeps the first `count` triangles of the store; a much smaller array
// replaces one that the file did not fill.
void KeepTriangles(int32_t count) {
    ModelStoreRecord& store = ModelStore;
    if (count >= store.triangleCount) return;
    ModelTriangle* kept = nullptr;
    if (count > 0 && count <= store.triangleCount / 2) kept = new (std::nothrow) ModelTriangle[size_t(count)];
    if (kept) {
        std::memcpy(kept, store.triangles, size_t(count) * sizeof(ModelTriangle));
        delete[] store.triangles;
        store.triangles = kept;
    } else if (count == 0) {
        delete[] store.triangles;
        store.triangles = nullptr;
    }
    store.triangleCount = count;
}

// Who follows a load (tools do; the viewer's loads have no observer), and the
// one place that tells them of a line.
struct LoadWatch {
    ModelLineObserver observer;
    void* context;
    const ModelStream* stream;
};

// Tells the observer of the line just read; `before` is the stream's line
// number before the read.
void Tell(const LoadWatch& watch, ModelLineReport report, int64_t before) {
    report.isNew = watch.stream->lineNumber != before;
    report.lineNumber = watch.stream->lineNumber;
    report.linesRead = watch.stream->linesRead;
    watch.observer(report, watch.context);
}

ModelLineReport LineReport(ModelLineKind kind, const char* text, size_t length, int scanned) {
    ModelLineReport report = {};
    report.kind = kind;
    report.text = text;
    report.length = length;
    report.scanned = scanned;
    return report;
}

// Reads a header line and scans its one number into `value`, which keeps
// what it held when the line does not match.
void ReadHeaderLine(ModelStream* stream, ModelLine* line, const LoadWatch& watch, ModelLineKind kind,
                    const char* format, int32_t* value) {
    const int64_t before = stream->lineNumber;
    ReadDataLine(stream, line);
    const int scanned = ScanText(line->text, line->length, format, value);
    if (!watch.observer) return;
    ModelLineReport report = LineReport(kind, line->text, line->length, scanned);
    report.value = *value;
    Tell(watch, report, before);
}

// The store's array for the count: no more triangles than the rest of the
// file has lines for, three each, so that a count that asks for more costs
// no memory. Returns the store's count: the triangles allocated, or a count
// of none as the file gave it.
int32_t AllocateStore(const ModelStream* stream, int32_t count) {
    const int64_t most = MostDataLines(stream->size - StreamPosition(stream)) / 3;
    if (count > most) count = int32_t(most);
    ModelStore.triangles = AllocateTriangles(count);
    if (count > 0 && !ModelStore.triangles) count = 0;
    ModelStore.triangleCount = count;
    return count;
}

// Reads the vertex lines into the store's `count` triangles, on threads when
// nobody watches and the file is large; returns the vertices read, fewer
// where the file ends first. `requested` is the count the file gave.
int64_t ReadVertexLines(ModelStream* stream, ModelLine* line, const LoadWatch& watch, int32_t count,
                        int32_t requested, bool textured) {
    float hold[5] = {0, 0, 0, 0, 0};
    ModelVertex* const first = count > 0 ? &ModelStore.triangles[0].vertices[0] : nullptr;
    ModelVertex* vertex = first;
    ModelVertex* last = vertex ? vertex + size_t(count) * 3 : nullptr;
    if (vertex && !watch.observer) {
        const int64_t read = LoadVertexLinesInParallel(stream, line, vertex, int64_t(count) * 3, textured);
        if (read >= 0) last = vertex = first + read;
    }
    const char* viewed = nullptr;  // last data line, when still in the block
    size_t viewedLength = 0;
    bool isEnded = false;
    while (vertex != last) {
        const int64_t before = stream->lineNumber;
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
        // Past the end of the file every read delivers the same line, and a
        // scan of the same line leaves the holding values as they are: the
        // remaining vertices would all be alike, so the triangle in progress
        // and every one after it would be a point or a segment, which draws
        // nothing. The load keeps the triangles before them.
        isEnded = stream->lineNumber == before;
        bool isFast = false;
        const int scanned = isEnded ? 0 : ScanVertexFields(text, length, textured, viewed == text, hold, &isFast);
        if (watch.observer) {
            ModelLineReport report = LineReport(ModelLineVertex, text, length, scanned);
            report.isFastScan = isFast;
            report.hold = hold;
            report.vertices = isEnded ? last - vertex : 1;
            Tell(watch, report, before);
        }
        if (isEnded) {
            last = vertex;
            break;
        }
        StoreVertex(vertex++, hold, textured);
    }
    if (viewed) KeepLine(line, viewed, viewedLength);
    if (watch.observer && !isEnded && count < requested) {
        // The file has no room for the lines the count asks for: it ends.
        ModelLineReport report = LineReport(ModelLineVertex, line->text, line->length, 0);
        report.hold = hold;
        report.vertices = (int64_t(requested) - count) * 3;
        Tell(watch, report, stream->lineNumber);
    }
    return last - first;
}

// Tells the observer of the lines after the load's, read into a line of its
// own: the line buffer keeps the last line the load read.
void TellUnreadLines(ModelStream* stream, const LoadWatch& watch) {
    ModelLine rest = {};
    for (;;) {
        const int64_t before = stream->lineNumber;
        ReadDataLine(stream, &rest);
        if (stream->lineNumber == before) break;
        Tell(watch, LineReport(ModelLineUnread, rest.text, rest.length, 0), before);
    }
    std::free(rest.text);
}

// The load, with or without an observer. Observed loads stay on this thread.
bool LoadModel(const char* path, ModelLineObserver observer, void* context, RegularFile* opened) {
    ModelStoreRecord& store = ModelStore;
    ReleaseTriangles();
    static bool releaseAtExit = false;
    if (!releaseAtExit) releaseAtExit = std::atexit(ReleaseModelStore) == 0;

    ModelStream* stream = &store.modelFile;
    if (!OpenModelStream(stream, path, opened)) return false;
    SkipByteOrderMark(stream);
    const LoadWatch watch = {observer, context, stream};
    int32_t requested = 0;
    ReadHeaderLine(stream, &store.lineBuffer, watch, ModelLineCount, CountLineFormat, &requested);
    ReadHeaderLine(stream, &store.lineBuffer, watch, ModelLineMode, ModeLineFormat, &store.TextureMode);
    const int32_t count = AllocateStore(stream, requested);
    const int32_t mode = store.TextureMode;
    if (mode == 0 || mode == 1) {
        const int64_t read = ReadVertexLines(stream, &store.lineBuffer, watch, count, requested, mode == 1);
        if (count > 0) KeepTriangles(int32_t(read / 3));
    }
    if (observer) TellUnreadLines(stream, watch);
    CloseModelStream(stream);
    return true;
}

}  // namespace

void LoadModelFile(const char* path) {
    LoadModel(path, nullptr, nullptr, nullptr);
}

bool LoadModelFileReported(const char* path, RegularFile* opened) {
    return LoadModel(path, nullptr, nullptr, opened);
}

bool LoadModelFileObserved(const char* path, ModelLineObserver observer, void* context,
                           RegularFile* opened) {
    return LoadModel(path, observer, context, opened);
}

void ReleaseModelStore() {
    ReleaseTriangles();
    std::free(ModelStore.lineBuffer.text);
    ModelStore.lineBuffer = ModelLine{};
}
