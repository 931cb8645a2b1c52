// polyview-tool check: what the viewer's loader makes of a model file,
// compared line by line with what the file seems to mean.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// Collects the findings of one check and prints them in the compiler style
// that editors understand: "FILE:LINE: warning: TEXT" (or "error:").
struct CheckReport {
    FILE* out = stdout;
    int warnings = 0;
    int errors = 0;

    // `line` 0 leaves the line number out.
    void Warning(const std::string& file, int64_t line, const std::string& text);
    void Error(const std::string& file, int64_t line, const std::string& text);
    void Note(const std::string& file, int64_t line, const std::string& text);

private:
    void Print(const char* kind, const std::string& file, int64_t line, const std::string& text);
};

struct ModelCheckResult {
    bool isRead = false;        // false: the file could not be opened
    std::string readError;      // why not
    int32_t triangleCount = 0;  // as the viewer's store will hold it
    int32_t textureMode = 0;    // on a first load
};

// Reads the model at `path` with the viewer's own line reader and scanner,
// exactly as a first load does, and reports every place where the loaded
// model differs from what the file seems to mean, under the name `shownName`.
ModelCheckResult CheckModelFile(const char* path, const std::string& shownName, CheckReport* report);
