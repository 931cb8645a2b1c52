// The process-wide triangle store and the load that fills it from a model
// file (the format's words are in model_format.h, the reader in
// model_reader.h).
#pragma once

#include <cstddef>
#include <cstdint>

#include "model/model_reader.h"

struct ModelVertex {
    float x, y, z;  // position
    float u, v;     // texture coordinates; meaningful in mode 1 only
};

struct ModelTriangle {
    ModelVertex vertices[3];  // in the order of their lines in the file
};

struct ModelStoreRecord {
    int32_t TextureMode;
    ModelLine lineBuffer;
    ModelTriangle* triangles;
    int32_t triangleCount;
    ModelStream modelFile;
};

extern ModelStoreRecord ModelStore;

// Largest count a load allocates: the array stays below half of the build's
// address space (about 35.8 million triangles on a 32-bit build).
constexpr int64_t MaxTriangleCount =
    (SIZE_MAX / 2 / sizeof(ModelTriangle)) < INT32_MAX
        ? int64_t(SIZE_MAX / 2 / sizeof(ModelTriangle))
        : int64_t(INT32_MAX);
static_assert(sizeof(ModelTriangle) == 60, "a triangle is fifteen 32-bit floats");
static_assert(uint64_t(MaxTriangleCount) * sizeof(ModelTriangle) <= SIZE_MAX / 2,
              "the largest array fits in half the address space");

// How a load spreads its vertex lines over threads. Threads: 0 takes the
// machine's cores (at most MaxLoadThreads), 1 keeps the whole load on the
// calling thread. Chunk bytes: the size of the pieces the lines are split
// into; 0 chooses by file size, and a file whose vertex lines take less than
// ParallelLoadBytes is read on the calling thread. Tests set a few bytes, to
// put piece boundaries everywhere.
extern int32_t modelLoadThreads;
extern int64_t modelLoadChunkBytes;
constexpr int32_t MaxLoadThreads = 16;
constexpr int64_t ParallelLoadBytes = int64_t(1) << 20;

// Threads a load of a large file takes, as modelLoadThreads and the
// processors this process may run on decide.
int32_t ChooseLoadThreads();

// Reads the model file at `path` into ModelStore. A file that cannot be opened,
// or that is not a regular file, leaves an empty model (count 0, no array);
// TextureMode keeps its value. The count is bounded by the file: at most one
// triangle for three data lines the rest of the file could hold, and, when
// the file ends before the count's vertex lines, the triangles it gives
// whole (those after would repeat its last line: points and segments).
void LoadModelFile(const char* path);

// LoadModelFile, telling in `opened` (when the load returns false) why the
// file was not opened.
bool LoadModelFileReported(const char* path, RegularFile* opened);

// What a load did with one line of the file, for tools that explain a load
// (polyview-tool check).
enum ModelLineKind {
    ModelLineCount,   // the count line
    ModelLineMode,    // the texture mode line
    ModelLineVertex,  // a vertex line, scanned into the holding values
    ModelLineUnread,  // a data line after the last one the load needs
};

struct ModelLineReport {
    ModelLineKind kind;
    const char* text;    // the data line as scanned, its line feed included where it had one
    size_t length;
    bool isNew;          // false: the file has ended and its last data line is delivered again
    int64_t lineNumber;  // the data line's number (0 while the load has read none)
    int64_t linesRead;   // lines taken from the file so far, comments and empty lines included
    int scanned;         // the scan's result: conversions assigned, or -1
    bool isFastScan;     // vertex lines: taken whole by the fast scan of plain numbers
    int32_t value;       // header lines: the count or mode after the scan
    const float* hold;   // vertex lines: the five holding values after the scan
    int64_t vertices;    // vertex lines: how many vertices take these values; past the end
                         // of the file, the vertices still asked for, which the load leaves
                         // out (with the triangle in progress)
};

typedef void (*ModelLineObserver)(const ModelLineReport& report, void* context);

// LoadModelFile on the calling thread, telling `observer` about every data
// line in file order: the header lines, each vertex line, and then the data
// lines that the load leaves unread. The store is the one LoadModelFile makes.
// False when the file cannot be opened (`opened`, which may be null, says why).
bool LoadModelFileObserved(const char* path, ModelLineObserver observer, void* context,
                           RegularFile* opened = nullptr);

// Releases the triangle array and the line buffer; the store is then empty.
void ReleaseModelStore();
