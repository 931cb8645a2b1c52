// polyview-tool dump: what the viewer's loader makes of a model file.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "commands.h"
#include "model/model.h"

namespace {

void PrintFields(const char* label, const float* values, int fields) {
    if (label) std::fputs(label, stdout);
    for (int i = 0; i < fields; ++i)
        std::printf(i || label ? " %.9g" : "%.9g", double(values[i]));
    std::putchar('\n');
}

int FieldCount() {
    if (ModelStore.TextureMode == 1) return 5;
    if (ModelStore.TextureMode == 0) return 3;
    return 0;
}

void ReadFields(const ModelVertex& vertex, float* values) {
    values[0] = vertex.x;
    values[1] = vertex.y;
    values[2] = vertex.z;
    values[3] = vertex.u;
    values[4] = vertex.v;
}

void PrintVertices(int fields) {
    float values[5];
    for (int32_t t = 0; t < ModelStore.triangleCount; ++t)
        for (const ModelVertex& vertex : ModelStore.triangles[t].vertices) {
            ReadFields(vertex, values);
            PrintFields(nullptr, values, fields);
        }
}

// Smallest and largest value of each of the first `Fields` fields. A NaN
// compares false, so it never becomes a bound; of equal values (0 and -0) the
// first stays.
template <int Fields>
void FindRanges(float* low, float* high) {
    float l[5], h[5];
    std::copy(low, low + 5, l);
    std::copy(high, high + 5, h);
    auto bound = [&](int i, float value) {
        l[i] = value < l[i] ? value : l[i];
        h[i] = value > h[i] ? value : h[i];
    };
    const ModelVertex* vertex = &ModelStore.triangles[0].vertices[0];
    const ModelVertex* const last = vertex + size_t(ModelStore.triangleCount) * 3;
    for (; vertex != last; ++vertex) {
        bound(0, vertex->x);
        bound(1, vertex->y);
        bound(2, vertex->z);
        if (Fields > 3) {
            bound(3, vertex->u);
            bound(4, vertex->v);
        }
    }
    std::copy(l, l + 5, low);
    std::copy(h, h + 5, high);
}

void PrintSummary(int fields) {
    if (ModelStore.triangleCount <= 0) return;
    float low[5], high[5];
    for (int i = 0; i < 5; ++i) {
        low[i] = INFINITY;
        high[i] = -INFINITY;
    }
    if (fields == 5)
        FindRanges<5>(low, high);
    else
        FindRanges<3>(low, high);
    // Bounds still crossed: the field held NaN only.
    for (int i = 0; i < fields; ++i)
        if (low[i] > high[i]) low[i] = high[i] = NAN;
    PrintFields("min", low, fields);
    PrintFields("max", high, fields);
}

}  // namespace

int RunDumpCommand(int argc, char** argv) {
    bool summary = false;
    const char* path = nullptr;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--summary") == 0 && !summary) {
            summary = true;
        } else if (!TakeOperand("dump", "FILE", argv[i],
                                argv[i][0] == '-' && argv[i][1] != '\0' && std::strcmp(argv[i], "--") != 0,
                                &path)) {
            return ExitUsage;
        }
    }
    if (!path) {
        std::fputs("usage: polyview-tool dump [--summary] FILE\n", stderr);
        return ExitUsage;
    }

    RegularFile opened = {};
    const bool isOpened = LoadModelFileReported(path, &opened);

    std::printf("count %d\nmode %d\n", int(ModelStore.triangleCount), int(ModelStore.TextureMode));
    int fields = FieldCount();
    if (fields) {
        if (summary)
            PrintSummary(fields);
        else
            PrintVertices(fields);
    }
    if (std::fflush(stdout) != 0) {
        std::perror("polyview-tool dump: writing the output");
        return 1;
    }
    if (!isOpened) {
        std::fprintf(stderr, "polyview-tool dump: cannot open '%s': %s\n", path,
                     DescribeFileOpenFailure(opened));
        return 1;
    }
    return 0;
}
