// The model text format's words: the keywords and the scan format of each
// kind of data line, which the scanners and check's lenient reading take
// from here. Nothing of the store.
#pragma once

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
