// One line of progress on a terminal, rewritten in place.
#pragma once

#include <cstdio>

class ProgressLine {
public:
    // Shows nothing when `out` is null.
    explicit ProgressLine(FILE* out) : out_(out) {}
    void Show(const char* stage, double fraction) {
        if (!out_) return;
        int percent = int(fraction * 100);
        if (percent < 0) percent = 0;
        if (percent > 100) percent = 100;
        if (stage == stage_ && percent == percent_) return;
        stage_ = stage;
        percent_ = percent;
        std::fprintf(out_, "\rpolyview-tool convert: %s %3d%%", stage, percent);
        std::fflush(out_);
    }
    // Ends the line, if one was begun.
    void Finish() {
        if (out_ && stage_) std::fputs("\n", out_);
        stage_ = nullptr;
    }

private:
    FILE* out_;
    const char* stage_ = nullptr;
    int percent_ = -1;
};
