// Internals of the model reader, shared by the load on the calling thread
// (model_store.cpp) and the vertex lines read on several threads
// (model_parallel.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "model/model.h"

// A read block holds this many bytes, and after them this many more that stay
// readable: vertex lines are scanned with reads of 16 bytes that may reach
// past the last line (ScanPaddedVertexLine).
constexpr size_t ReadBlockSize = size_t(1) << 20;
constexpr size_t ReadBlockPadding = 16;

// Reads up to `size` bytes at `offset` without using a shared file position,
// so that several threads may read the one file at once. Fewer bytes only at
// the end of the file; a read error counts as the end.
size_t ReadFileAt(FILE* file, int64_t offset, char* buffer, size_t size);

// Size of a regular file; -1 for anything else, or when it cannot be told.
int64_t RegularFileSize(FILE* file);

// Makes room in `line` for `size` bytes and a NUL; false when memory is short
// (the line then keeps the room it has).
bool ReserveLine(ModelLine* line, size_t size);

// Appends bytes to `line`, keeping what fits when memory is short.
void AppendLine(ModelLine* line, const char* bytes, size_t count);

// Reads the rest of the line at the stream's position into `line` (replacing
// its contents), with a CR LF end folded to LF.
void TakeLine(ModelStream* stream, ModelLine* line);

// Stores the holding values into a vertex: all five in mode 1 (`textured`),
// the position alone in mode 0.
inline void StoreVertex(ModelVertex* vertex, const float* hold, bool textured) {
    vertex->x = hold[0];
    vertex->y = hold[1];
    vertex->z = hold[2];
    if (textured) {
        vertex->u = hold[3];
        vertex->v = hold[4];
    }
}

// Whether the line that begins at `text` is a data line: not a comment ("#"),
// not empty (a line feed, or CR LF). `end` bounds what is in view; a carriage
// return as the last byte in view must be the last byte of the file.
inline bool IsDataLine(const char* text, const char* end) {
    return text[0] != '#' && text[0] != '\n' &&
           !(text[0] == '\r' && text + 1 < end && text[1] == '\n');
}

// Reads the vertex lines of a load on several threads, when the file is large
// enough and more than one thread is allowed (modelLoadThreads). The stream
// stands right after the mode line; `vertices` has room for `needed`. Leaves
// the vertices and the line buffer exactly as reading the lines one by one
// would, and returns true; returns false, having read nothing, when the load
// should go on serially.
bool LoadVertexLinesInParallel(ModelStream* stream, ModelLine* line, ModelVertex* vertices,
                               int64_t needed, bool textured);
