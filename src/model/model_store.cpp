// The triangle store and its load: the header lines, the array, the vertex
// lines (serially here, or on threads by model_parallel.cpp) and the observer
// that tools use to follow a load.
#include "model/model.h"

#include <cstdlib>
#include <cstring>
#include <new>

#ifdef __linux__
#include <sys/mman.h>
#endif

#include "model/model_format.h"
#include "model/model_parallel.h"
#include "model/scan_fast.h"

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

// The load, with or without an observer. Observed loads stay on this thread.
bool LoadModel(const char* path, ModelLineObserver observer, void* context, RegularFile* opened) {
    ModelStoreRecord& store = ModelStore;
    ReleaseTriangles();
    static bool releaseAtExit = false;
    if (!releaseAtExit) releaseAtExit = std::atexit(ReleaseModelStore) == 0;

    if (!OpenModelStream(&store.modelFile, path, opened)) return false;
    ModelStream* stream = &store.modelFile;
    SkipByteOrderMark(stream);
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

    // No more triangles than the rest of the file has lines for, three each:
    // a count that asks for more costs no memory.
    const int64_t most = MostDataLines(stream->size - StreamPosition(stream)) / 3;
    const int32_t requested = count;
    if (count > most) count = int32_t(most);
    ModelTriangle* triangles = AllocateTriangles(count);
    if (count > 0 && !triangles) count = 0;
    store.triangles = triangles;
    store.triangleCount = count;

    const int32_t mode = store.TextureMode;
    if (mode == 0 || mode == 1) {
        const bool textured = mode == 1;
        float hold[5] = {0, 0, 0, 0, 0};
        ModelVertex* const first = count > 0 ? &triangles[0].vertices[0] : nullptr;
        ModelVertex* vertex = first;
        ModelVertex* last = vertex ? vertex + size_t(count) * 3 : nullptr;
        if (vertex && !observer) {
            const int64_t read = LoadVertexLinesInParallel(stream, line, vertex, int64_t(count) * 3, textured);
            if (read >= 0) last = vertex = first + read;
        }
        const char* viewed = nullptr;  // last data line, when still in the block
        size_t viewedLength = 0;
        bool isEnded = false;
        while (vertex != last) {
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
            // Past the end of the file every read delivers the same line, and a
            // scan of the same line leaves the holding values as they are: the
            // remaining vertices would all be alike, so the triangle in progress
            // and every one after it would be a point or a segment, which draws
            // nothing. The load keeps the triangles before them.
            isEnded = stream->lineNumber == before;
            bool isFast = false;
            const int scanned =
                isEnded ? 0 : ScanVertexFields(text, length, textured, viewed == text, hold, &isFast);
            if (observer) {
                ModelLineReport report = LineReport(ModelLineVertex, text, length, before, stream, scanned);
                report.isFastScan = isFast;
                report.hold = hold;
                report.vertices = isEnded ? last - vertex : 1;
                observer(report, context);
            }
            if (isEnded) {
                last = vertex;
                break;
            }
            StoreVertex(vertex++, hold, textured);
        }
        if (viewed) KeepLine(line, viewed, viewedLength);
        if (observer && !isEnded && count < requested) {
            // The file has no room for the lines the count asks for: it ends.
            before = stream->lineNumber;
            ModelLineReport report = LineReport(ModelLineVertex, line->text, line->length, before, stream, 0);
            report.hold = hold;
            report.vertices = (int64_t(requested) - count) * 3;
            observer(report, context);
        }
        if (first) KeepTriangles(int32_t((last - first) / 3));
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
