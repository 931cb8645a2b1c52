// Runs polyview-tool, or another program, as a child process and captures
// what it prints.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

struct ToolResult {
    int status = -1;  // exit status
    std::string out;  // standard output
    std::string err;  // standard error
};

inline std::string ReadWhole(const std::string& path) {
    std::string text;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        char chunk[4096];
        size_t n;
        while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) text.append(chunk, n);
        std::fclose(f);
    }
    return text;
}

// Runs `program` with `arguments`, a shell word list, quoted by the caller
// where needed.
inline ToolResult RunProgram(const std::string& program, const std::string& arguments) {
    char dir[] = "/tmp/polyview-tool-run-XXXXXX";
    ToolResult result;
    if (!mkdtemp(dir)) return result;
    std::string out = std::string(dir) + "/out", err = std::string(dir) + "/err";
    std::string command = "'" + program + "' " + arguments + " >'" + out +
                          "' 2>'" + err + "'";
    int raw = std::system(command.c_str());
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = ReadWhole(out);
    result.err = ReadWhole(err);
    std::remove(out.c_str());
    std::remove(err.c_str());
    rmdir(dir);
    return result;
}

#ifdef POLYVIEW_TOOL
inline ToolResult RunTool(const std::string& arguments) { return RunProgram(POLYVIEW_TOOL, arguments); }
#endif
