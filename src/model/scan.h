// Formatted scanning of model lines.
//
// ScanText interprets the small subset of scanf formats that the model
// format uses (literal characters, white space, %d and %f) with the exact
// results of glibc's sscanf, so that every build reads a file the same way,
// whatever its C runtime. The text ends at `length` or at its first NUL.
#pragma once

#include <cstddef>
#include <cstdint>

// Number of conversions assigned, or -1 when the text ran out before the
// first conversion (as sscanf). Arguments are int32_t* for %d and float*
// for %f, in format order. A %d whose value lies outside int32_t fails as a
// conversion that does not match: nothing is assigned and the scan stops.
int ScanText(const char* text, size_t length, const char* format, ...);

// As ScanText, with the targets given as an array in format order.
int ScanTextInto(const char* text, size_t length, const char* format, void* const* targets);

// Converts the text of a number exactly as glibc's strtof does, quirks
// included. `text` must be a complete number as the %f conversion collects
// it: optional sign, then "inf", "infinity" or "nan" in any case, a decimal
// or a "0x" hexadecimal mantissa with optional exponent. Returns false when
// strtof would convert nothing.
bool ConvertFloatText(const char* text, size_t length, float* out);

// Fast path for vertex lines. When `text` is a vertex line whose numbers are
// plain decimals, stores 3 values (5 when `textured`) into `values` exactly as
// ScanTextInto with the vertex line's format (model_format.h) would, and
// returns true. Otherwise stores nothing and returns false; the
// caller then uses ScanTextInto.
bool ScanVertexLine(const char* text, size_t length, bool textured, float* values);

// As ScanVertexLine, for text followed by at least 16 more readable bytes
// (they are read, never taken): each number is then read from one view of 16
// bytes, and numbers at the end of the line eight digits at a time like the
// rest.
bool ScanPaddedVertexLine(const char* text, size_t length, bool textured, float* values);
