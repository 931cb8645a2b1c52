#include "picture_size.h"

#include "texture/picture_service.h"
#include "texture/texture.h"

bool MeasureNaturalSize(const char* pictureName, int32_t* width, int32_t* height) {
    char directory[FullPathCapacity];
    char fullPath[FullPathCapacity];
    if (!IsPictureAddress(pictureName) && !ReadCurrentDirectory(directory, FullPathCapacity))
        return false;
    if (!FormFullPath(pictureName, directory, PathSeparator, fullPath)) return false;
    char16_t widePath[FullPathCapacity];
    WidenPath(fullPath, widePath, FullPathCapacity);
    PictureRecord picture = {};
    if (!LoadPicture(widePath, &picture)) return false;
    bool isMeasured = OpenPictureCanvas(&picture);
    if (isMeasured) MeasurePicture(&picture, width, height);
    ReleasePicture(&picture);
    return isMeasured;
}
