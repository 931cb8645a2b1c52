// Vertex lines as the loads scan them: the one entry, which tries the fast
// path for lines of plain decimal numbers (held to the reference scanner's
// results) and lets the reference scan the rest.
#pragma once

#include <cstddef>

// Scans a vertex line into the load's holding values `hold`, exactly as
// ScanTextInto with VertexLineFormat(textured): the fast path first, the
// reference scan where it declines. Returns ScanTextInto's result: the fields
// given (the first ones, in format order), or -1. `isPadded`: 16 readable
// bytes follow the text (they are read, never taken). `isFast`: whether the
// fast path took the line.
int ScanVertexFields(const char* text, size_t length, bool textured, bool isPadded, float* hold,
                     bool* isFast);

// For a line that the fast path took (`isFast`), which vouches for the
// keywords and every number: true when the numbers stand apart ("1-2" reads
// as two) and only white space follows the last one, so that the line reads
// as written.
bool IsTakenLineSpaced(const char* text, size_t length, bool textured);
