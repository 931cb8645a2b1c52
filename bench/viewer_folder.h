// What the benchmarks of the real viewer share: an X display (an Xvfb of
// their own where none is set) and a folder with a big generated model.
#pragma once

#include <string>

// Without DISPLAY, runs the same command again under tests/e2e/with_xvfb.sh
// (does not return unless that fails: then 1). With one, returns 0.
int RunUnderXvfbWithoutDisplay(int argc, char** argv);

// A folder with the example's Wall.bmp and a model of `count` textured
// triangles spread over the whole view, overlapping; the same on every run.
// Empty on failure.
std::string MakeBigFolder(int count);
void RemoveBigFolder(const std::string& dir);
