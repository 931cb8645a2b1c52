// polyview-tool convert's import, run in a child process under a memory and
// a time limit, so that nothing a file holds can crash, hang or exhaust the
// tool itself. The child reads the file with the Open Asset Import Library
// and sends the triangles back through a pipe.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "model/model.h"
#include "signed_axis.h"

struct ImportLimits {
    int64_t memoryMiB = 2048;  // address space of the child (resident size in sanitizer builds)
    int64_t seconds = 60;      // wall-clock time of the child
};

struct ImportedMesh {
    std::vector<ModelTriangle> triangles;  // u, v are 0 where the source has none
    bool hasTextureCoordinates = false;
    SignedAxis reportedUp = 0;     // the up axis the file states, where its format has one
    SignedAxis reportedFront = 0;  // its front axis, likewise
};

enum class ImportOutcome {
    Imported,     // mesh holds the triangles
    Refused,      // the importer's reason (or ours: no triangles, too many)
    Crashed,      // the child died of a signal or ended without a result
    OutOfMemory,  // the child needed more than the memory limit
    TimedOut,     // the child took longer than the time limit
};

struct ImportResult {
    ImportOutcome outcome = ImportOutcome::Crashed;
    std::string reason;  // Refused: why; Crashed: "signal 11", "exit status 1", ...
};

// Imports `path` in a child process. When `progress` is given, the child
// shows its reading progress there and the first line of it is left open
// (no line feed).
ImportResult ImportContained(const char* path, const ImportLimits& limits, FILE* progress,
                             ImportedMesh* mesh);

// Limits this process's address space to what it has mapped now and
// `memoryMiB` more. Not in sanitizer builds, whose shadow memory reserves
// terabytes of address space: false there.
bool LimitAddressSpace(int64_t memoryMiB);
