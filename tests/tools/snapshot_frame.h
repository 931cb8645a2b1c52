// The viewer's first frame as polyview-tool snapshot draws it, read back.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "png_output.h"
#include "tool_runner.h"

struct Frame {
    int width = 0, height = 0;
    std::vector<uint8_t> rgba;
    bool IsWhite(int x, int y) const {
        const uint8_t* p = &rgba[size_t(y * width + x) * 4];
        return p[0] == 255 && p[1] == 255 && p[2] == 255;
    }
    // Pixels that are not black.
    int Lit() const {
        int n = 0;
        for (size_t i = 0; i < rgba.size(); i += 4) n += rgba[i] || rgba[i + 1] || rgba[i + 2];
        return n;
    }
};

inline Frame ReadFrame(const std::string& path) {
    Frame frame;
    if (!ReadPng(path, &frame.width, &frame.height, &frame.rgba)) frame = Frame{};
    return frame;
}

// The snapshot of `dir` ("Wall.bmp" and "poligon.m" there) at `size`. Only
// the picture matters here: under LeakSanitizer the headless driver's own
// allocations can be reported once it is unloaded (snapshot's tests cover
// the tool itself), so no leak check.
inline Frame Snapshot(const std::string& dir, const std::string& size = "640x480") {
    const char* previous = std::getenv("ASAN_OPTIONS");
    std::string saved = previous ? previous : "";
    setenv("ASAN_OPTIONS", (saved.empty() ? "" : saved + ":").append("detect_leaks=0").c_str(), 1);
    std::string shot = dir + "/snapshot.png";
    ToolResult s = RunTool("snapshot --dir '" + dir + "' --size " + size + " --out '" + shot + "'");
    if (previous)
        setenv("ASAN_OPTIONS", saved.c_str(), 1);
    else
        unsetenv("ASAN_OPTIONS");
    Frame frame = s.status == 0 ? ReadFrame(shot) : Frame();
    std::remove(shot.c_str());
    return frame;
}
