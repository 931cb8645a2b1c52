// The platform's picture service, as the texture loader uses it. Each
// platform has one implementation (picture_service_<platform>.cpp: OLE
// Automation and GDI on Windows, the picture formats' own libraries on
// Linux, the browser's decoding on the web), which keeps what a picture
// needs in a record behind the opaque handle below (Windows' own; Linux and
// the web share one, picture_service_posix.cpp). The loader calls, in this order: LoadPicture,
// OpenPictureCanvas, MeasurePicture, CreatePixelBlock, DrawPicture, and
// ReleasePicture on every path once LoadPicture has succeeded.
#pragma once

#include <cstdint>

#include "texture/texture.h"

// One loaded picture and what drawing it takes; defined by each
// implementation.
struct PictureRecord;

// The current directory into `directory` (capacity units with the NUL);
// false when it cannot be read or does not fit. Windows: read as UTF-16, so
// that every folder name comes whole.
bool ReadCurrentDirectory(PathChar* directory, int32_t capacity);

// The picture's name (UTF-8; the viewer's own is ASCII) in the system's path
// units, NUL included; false when it does not fit `capacity` units.
bool NameToPath(const char* pictureName, PathChar* name, int32_t capacity);

// Loads the picture at the full path or address into a new record. On
// failure returns false with nothing held, the reason in `failure` and, for
// PictureFailureMissing and PictureFailureNotReadable, the errno value in
// `systemError`.
bool LoadPicture(const PathChar* fullPath, PictureRecord** picture, PictureFailure* failure,
                 int* systemError);

// Whatever the drawing needs besides the picture (Windows: the memory device
// context). False when it cannot be made.
bool OpenPictureCanvas(PictureRecord* picture);

// The picture's natural size in pixels.
void MeasurePicture(PictureRecord* picture, int32_t* width, int32_t* height);

// A zero-initialised block of width x height 4-byte pixels, rows bottom row
// first, made ready to draw into; false when it cannot be made.
bool CreatePixelBlock(PictureRecord* picture, int32_t width, int32_t height,
                      uint8_t** pixels);

// Draws the whole picture, upright, scaled to exactly width x height (each
// axis on its own), into the pixel block as blue, green, red and a fourth
// byte that the loader overwrites.
void DrawPicture(PictureRecord* picture, int32_t width, int32_t height);

// Gives back everything the record holds, and the record; safe on a partly
// made record.
void ReleasePicture(PictureRecord* picture);
