// The reference scanner of model lines.
//
// ScanText interprets the small subset of scanf formats that the model
// format uses (literal characters, white space, %d and %f) with the exact
// results of glibc's sscanf, so that every build reads a file the same way,
// whatever its C runtime. The text ends at `length` or at its first NUL.
// The vertex-line fast path (scan_fast.cpp) is held against it.
#pragma once

#include <cstddef>
#include <cstdint>

// White space as a scan format sees it: the blank and \t \n \v \f \r.
inline bool IsScanSpace(unsigned char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

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
