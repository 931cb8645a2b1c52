// The model's scan formats as the differential checks compare ScanText with
// glibc's sscanf on them (scan_differential_test.cpp and the scan fuzz target).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "model/model_format.h"

struct ScanFormat {
    const char* text;
    int conversions;
    std::string wideText;  // the same with %lld for an int format; else empty
};

// An int format with %lld in place of %d.
inline std::string Widened(const char* format) {
    std::string wide = format;
    return wide.replace(wide.find("%d"), 2, "%lld");
}

inline const ScanFormat ScanFormats[] = {
    {CountLineFormat, 1, Widened(CountLineFormat)},
    {ModeLineFormat, 1, Widened(ModeLineFormat)},
    {TexturedVertexFormat, 5, ""},
    {PlainVertexFormat, 3, ""},
};
constexpr int ScanFormatCount = 4;

// Whether glibc reads a value outside int32_t from `line` with an int
// format: glibc's %d then gives a truncated value, and ScanText must treat
// the conversion as one that does not match (it returns 0).
inline bool ReadsOutsideInt32(const char* line, const ScanFormat& format) {
    long long wide = 0;
    return !format.wideText.empty() && std::sscanf(line, format.wideText.c_str(), &wide) == 1 &&
           (wide > INT32_MAX || wide < INT32_MIN);
}
