// The model text format's words: the keywords and the scan format of each
// kind of data line, which the scanners and check's lenient reading take
// from here, and the writer whose files the loader reads back exactly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "model/model.h"

// Each data line begins with its keyword in the first column.
constexpr char CountKeyword[] = "UcgenSayisi";
constexpr char ModeKeyword[] = "KaplamaKullanimi";
constexpr char VertexKeyword[] = "Vertex";
constexpr char TexCoordKeyword[] = "TKoord";

// A UTF-8 byte-order mark, as Windows editors write it at the start of a
// file; the loader skips it there (and only there).
constexpr char Utf8ByteOrderMark[] = "\xEF\xBB\xBF";

// The scan formats, in the order of the data lines: the triangle count, the
// texture mode, then three vertex lines per triangle in the mode's form.
constexpr char CountLineFormat[] = "UcgenSayisi >> %d\n";
constexpr char ModeLineFormat[] = "KaplamaKullanimi >> %d\n";
constexpr char TexturedVertexFormat[] = "Vertex %f %f %f >> TKoord %f %f";  // mode 1
constexpr char PlainVertexFormat[] = "Vertex %f %f %f";                      // mode 0

inline const char* VertexLineFormat(bool textured) {
    return textured ? TexturedVertexFormat : PlainVertexFormat;
}

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
