// The picture texture loader: one picture file or address becomes one RGBA
// texture with power-of-two sides in which pure black is transparent.
#pragma once

#include <cstddef>
#include <cstdint>

#ifdef _WIN32
#include <windows.h>
#else
#include <climits>
#endif
#include <GL/gl.h>

// A unit of a path as the system's file calls take it: UTF-16 on Windows,
// whose wide calls take every name (no code page stands between); bytes
// elsewhere, UTF-8 or whatever the name holds.
#ifdef _WIN32
typedef wchar_t PathChar;
#else
typedef char PathChar;
#endif

// Room for a full path and its terminating NUL, in PathChar units: the
// system's own limit (MAX_PATH, 260, on Windows; PATH_MAX elsewhere).
#ifdef _WIN32
constexpr int32_t FullPathCapacity = MAX_PATH;
#else
constexpr int32_t FullPathCapacity = PATH_MAX;
#endif

#ifdef _WIN32
constexpr PathChar PathSeparator = L'\\';
#else
constexpr PathChar PathSeparator = '/';
#endif

// Makes a texture from the picture `pictureName` (relative to the current
// directory, or an address containing "http://") in the current rendering
// context and stores its name in `*textureOut`. On failure returns false and
// leaves `*textureOut`, the context's texture names and every resource as
// they were.
bool LoadPictureTexture(const char* pictureName, GLuint* textureOut);

// The full path: `pictureName` unchanged when it contains "http://",
// otherwise `currentDirectory`, `separator` and `pictureName`. Writes at most
// FullPathCapacity units to `fullPath`; false when the path would be longer
// than FullPathCapacity - 1 units. `currentDirectory` is only read for names
// without "http://".
bool FormFullPath(const PathChar* pictureName, const PathChar* currentDirectory, PathChar separator,
                  PathChar* fullPath);

// True when `pictureName` names an address: it contains "http://" anywhere
// (case-sensitive).
template <typename Char>
bool IsPictureAddress(const Char* pictureName) {
    static const char mark[] = "http://";
    for (; *pictureName; ++pictureName) {
        size_t k = 0;
        while (mark[k] && pictureName[k] == Char(mark[k])) ++k;
        if (!mark[k]) return true;
    }
    return false;
}

// Texture side for a picture side `side`: `maxSide` when above it, 1 when 0
// or less, else the power of two nearest on a logarithmic scale.
int32_t ChooseTextureSide(int32_t side, int32_t maxSide);

// Turns the blue-green-red-x pixel block into red-green-blue-alpha in place:
// alpha 0 where the colour is pure black, 255 everywhere else.
void ConvertPixels(uint8_t* pixels, int32_t width, int32_t height);

// glGenTextures into `textureOut`, binds it, linear filters, uploads `pixels`
// as level 0 RGBA. The texture stays bound.
void CreatePictureTexture(const uint8_t* pixels, int32_t width, int32_t height,
                          GLuint* textureOut);

// Why a load failed. The picture service tells the reasons about the file;
// the loader adds the path and the texture's.
enum PictureFailure {
    PictureFailureNone,         // the texture was made
    PictureFailurePathTooLong,  // the current directory and the name do not fit FullPathCapacity
    PictureFailureMissing,      // no file by that name
    PictureFailureNotReadable,  // there, but it cannot be opened or read (systemError says why)
    PictureFailureNotAFile,     // a folder, a device or a FIFO: not a regular file (systemError
                                // holds its FileKind)
    PictureFailureNotAPicture,  // no picture format the service reads
    PictureFailureUndecodable,  // its format's decoder refuses it: damaged, a variant it does not
                                // read, or beyond the service's size caps
    PictureFailureTooLarge,     // a file larger than the service reads
    PictureFailureAddress,      // an address the service does not fetch
    PictureFailureNoTexture,    // the picture was read, but no texture could be made of it
};

// What one load did, for polyview-tool and the benchmark. Stages that the load
// did not reach leave their fields 0.
struct TextureLoadReport {
    PictureFailure failure;     // why the load failed; PictureFailureNone when it did not
    int systemError;            // errno for PictureFailureMissing and PictureFailureNotReadable;
                                // the FileKind for PictureFailureNotAFile
    int32_t pictureWidth;       // the picture's natural size in pixels
    int32_t pictureHeight;
    int32_t textureWidth;       // the texture made of it
    int32_t textureHeight;
    double decodeSeconds;       // picture service load
    double scaleSeconds;        // picture service drawing into the pixel block
    double conversionSeconds;   // ConvertPixels
    double uploadSeconds;       // CreatePictureTexture
};

// LoadPictureTexture, also filling `report` (which may be null).
bool LoadPictureTextureReported(const char* pictureName, GLuint* textureOut, TextureLoadReport* report);

// The load's picture steps alone, with no rendering context: forms the path,
// has the service load and measure the picture, and gives it back. Fills the
// report's failure and picture size; false when the load would fail there.
bool ReadPictureReported(const char* pictureName, TextureLoadReport* report);
