// The natural size of a picture as the viewer's picture service reports it.
#pragma once

#include <cstdint>

// Loads `pictureName` as the texture loader does (relative to the current
// directory, or an address) and gives its size in pixels; false when the
// service cannot load it. The loader itself reports only success.
bool MeasureNaturalSize(const char* pictureName, int32_t* width, int32_t* height);
