// The model text format's writer, whose files the loader reads back exactly,
// with the format's words (model_keywords.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "model/model.h"
#include "model/model_keywords.h"

// The count and mode lines.
void WriteModelHeader(FILE* out, int64_t count, int32_t mode);

// One vertex line, with texture coordinates when `textured`. Numbers are
// written as %.9g, which reads back as the very same 32-bit float; with
// `decimals` of 0 or more, as %.<decimals>f instead, the way exporters
// often write them (the benchmarks make such files).
void WriteVertexLine(FILE* out, const ModelVertex& vertex, bool textured, int decimals = -1);

// A whole model: a comment line when `comment` is not null, the header, and
// three vertex lines per triangle (textured in mode 1). False on a write
// error.
bool WriteModelFile(FILE* out, const char* comment, const ModelTriangle* triangles, size_t count,
                    int32_t mode);
