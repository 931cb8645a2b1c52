// Vertex lines as the loads scan them: a fast path for lines of plain
// decimal numbers, held to the reference scanner's results, and the one
// entry that tries it first and lets the reference scan the rest.
#pragma once

#include <cstddef>

#include "model/model_format.h"
#include "model/scan.h"

// When `text` is a vertex line of the mode's form whose numbers are plain
// decimals, stores 3 values (5 when `textured`) into `values` exactly as
// ScanTextInto with VertexLineFormat(textured) would, and returns true.
// Otherwise stores nothing and returns false.
bool ScanVertexLine(const char* text, size_t length, bool textured, float* values);

// As ScanVertexLine, for text followed by at least 16 more readable bytes
// (they are read, never taken): each number is then read from one view of 16
// bytes, and numbers at the end of the line eight digits at a time like the
// rest.
bool ScanPaddedVertexLine(const char* text, size_t length, bool textured, float* values);

// For a line that ScanVertexLine took, which vouches for the keywords and
// every number: true when the numbers stand apart ("1-2" reads as two) and
// only white space follows the last one, so that the line reads as written.
bool IsTakenLineSpaced(const char* text, size_t length, bool textured);

// Scans a vertex line into the load's holding values `hold`, exactly as
// ScanTextInto with VertexLineFormat(textured): the fast path first, the
// reference scan where it declines. Returns ScanTextInto's result: the fields
// given (the first ones, in format order), or -1. `isPadded`: 16 readable
// bytes follow the text. `isFast`: whether the fast path took the line.
inline __attribute__((always_inline)) int ScanVertexFields(const char* text, size_t length, bool textured,
                                                           bool isPadded, float* hold, bool* isFast) {
    *isFast = isPadded ? ScanPaddedVertexLine(text, length, textured, hold)
                       : ScanVertexLine(text, length, textured, hold);
    if (*isFast) return textured ? 5 : 3;
    void* const targets[5] = {&hold[0], &hold[1], &hold[2], &hold[3], &hold[4]};
    return ScanTextInto(text, length, VertexLineFormat(textured), targets);
}
