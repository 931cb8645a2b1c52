// The vertex lines of a large load read on several threads.
#pragma once

#include <cstdint>

#include "model/model.h"
#include "model/model_reader.h"

// Reads the vertex lines of a load on several threads, when the file is large
// enough and more than one thread is allowed (modelLoadThreads). The stream
// stands right after the mode line; `vertices` has room for `needed`. Leaves
// the vertices and the line buffer exactly as reading the lines one by one
// would, up to the end of the file, and returns the vertices read (fewer than
// `needed` when the file ends first; those after them are not written).
// Returns -1, having read nothing, when the load should go on serially.
int64_t LoadVertexLinesInParallel(ModelStream* stream, ModelLine* line, ModelVertex* vertices,
                                  int64_t needed, bool textured);
