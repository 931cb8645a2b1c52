// giflib's own encoder writing into memory, with the tests' four-colour
// palette: for the tests that make GIF files.
#pragma once

#include <gif_lib.h>

#include <cstdint>
#include <vector>

inline int AppendGifBytes(GifFileType* gif, const GifByteType* bytes, int count) {
    auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
    out->insert(out->end(), bytes, bytes + count);
    return count;
}

// An encoder that appends what it writes to `bytes`.
inline GifFileType* OpenGifWriter(std::vector<uint8_t>* bytes) {
    int error = 0;
    return EGifOpen(bytes, AppendGifBytes, &error);
}

// Black, blue, green, red: indices 0 to 3. The caller frees it with
// GifFreeMapObject.
inline ColorMapObject* MakeTestPalette() {
    GifColorType colors[4] = {{0, 0, 0}, {0, 0, 255}, {0, 255, 0}, {255, 0, 0}};
    return GifMakeMapObject(4, colors);
}
