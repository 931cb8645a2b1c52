// A picture's size as its header states it, for a picture service that
// hands the file to a decoder it cannot bound (the browser's), so that the
// size caps are checked before anything is decoded.
#pragma once

#include <cstddef>
#include <cstdint>

// The size of a BMP (Windows or OS/2 header), PNG, GIF (its logical screen,
// widened to the first image where that lies outside) or JPEG (its frame
// header) picture held in `data`. False for other formats, for a header cut
// short, and for a JPEG whose height comes only after its first scan: the
// size is then known once the picture is decoded.
bool ReadHeaderPictureSize(const uint8_t* data, size_t size, int64_t* width, int64_t* height);
