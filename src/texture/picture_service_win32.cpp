// The picture service over OLE Automation and GDI: OleLoadPicturePath
// decodes, IPicture::Render draws into a DIB section that is the pixel block.
// Paths are UTF-16 from the current folder to the service, never through
// the ANSI code page, which cannot spell every folder name.
#include "texture/picture_service.h"

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <cerrno>
#include <new>

static_assert(sizeof(OLECHAR) == sizeof(PathChar), "OLE strings are the wide calls' UTF-16");

// The Windows service's record of one picture.
struct PictureRecord {
    IPicture* picture;
    HDC memoryContext;
    HBITMAP section;
    HGDIOBJ previousBitmap;  // the memory context's bitmap before the section
    OLE_XSIZE_HIMETRIC himetricWidth;
    OLE_YSIZE_HIMETRIC himetricHeight;
};

namespace {

// The reason for a failed OleLoadPicturePath, as far as its result tells.
void DescribeLoadFailure(HRESULT result, PictureFailure* failure, int* systemError) {
    if (result == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) || result == HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND) ||
        result == STG_E_FILENOTFOUND || result == STG_E_PATHNOTFOUND) {
        *failure = PictureFailureMissing;
        *systemError = ENOENT;
    } else if (result == E_ACCESSDENIED || result == STG_E_ACCESSDENIED) {
        *failure = PictureFailureNotReadable;
        *systemError = EACCES;
    } else if (result == CTL_E_INVALIDPICTURE) {
        *failure = PictureFailureNotAPicture;
    } else {
        *failure = PictureFailureUndecodable;
    }
}

}  // namespace

bool ReadCurrentDirectory(PathChar* directory, int32_t capacity) {
    directory[0] = L'\0';
    // Only a directory that does not fit is refused: the full path could not
    // fit either.
    return GetCurrentDirectoryW(DWORD(capacity), directory) < DWORD(capacity);
}

bool NameToPath(const char* pictureName, PathChar* name, int32_t capacity) {
    return MultiByteToWideChar(CP_UTF8, 0, pictureName, -1, name, capacity) > 0;
}

bool LoadPicture(const PathChar* fullPath, PictureRecord** picture, PictureFailure* failure,
                 int* systemError) {
    PictureRecord* record = new (std::nothrow) PictureRecord{};
    if (!record) {
        *failure = PictureFailureNotReadable;
        *systemError = ENOMEM;
        return false;
    }
    void* loaded = nullptr;
    HRESULT result = OleLoadPicturePath(const_cast<LPOLESTR>(fullPath), nullptr, 0, 0, IID_IPicture, &loaded);
    if (FAILED(result)) {
        DescribeLoadFailure(result, failure, systemError);
        delete record;
        return false;
    }
    record->picture = static_cast<IPicture*>(loaded);
    *picture = record;
    return true;
}

bool OpenPictureCanvas(PictureRecord* picture) {
    HDC screenContext = GetDC(nullptr);
    picture->memoryContext = CreateCompatibleDC(screenContext);
    ReleaseDC(nullptr, screenContext);
    return picture->memoryContext != nullptr;
}

void MeasurePicture(PictureRecord* picture, int32_t* width, int32_t* height) {
    picture->picture->get_Width(&picture->himetricWidth);
    *width = MulDiv(picture->himetricWidth, GetDeviceCaps(picture->memoryContext, LOGPIXELSX), 2540);
    picture->picture->get_Height(&picture->himetricHeight);
    *height = MulDiv(picture->himetricHeight, GetDeviceCaps(picture->memoryContext, LOGPIXELSY), 2540);
}

bool CreatePixelBlock(PictureRecord* picture, int32_t width, int32_t height, uint8_t** pixels) {
    BITMAPINFO description;
    ZeroMemory(&description, sizeof description);
    description.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    description.bmiHeader.biWidth = width;
    description.bmiHeader.biHeight = height;  // positive: bottom row first
    description.bmiHeader.biPlanes = 1;
    description.bmiHeader.biBitCount = 32;
    description.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    picture->section =
        CreateDIBSection(picture->memoryContext, &description, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!picture->section) return false;
    picture->previousBitmap = SelectObject(picture->memoryContext, picture->section);
    *pixels = static_cast<uint8_t*>(bits);
    return true;
}

void DrawPicture(PictureRecord* picture, int32_t width, int32_t height) {
    // Source from the top edge downwards, so that the picture lands upright.
    picture->picture->Render(picture->memoryContext, 0, 0, width, height, 0,
                             picture->himetricHeight, picture->himetricWidth,
                             -picture->himetricHeight, nullptr);
}

void ReleasePicture(PictureRecord* picture) {
    if (picture->section) {
        SelectObject(picture->memoryContext, picture->previousBitmap);
        DeleteObject(picture->section);
    }
    if (picture->memoryContext) DeleteDC(picture->memoryContext);
    if (picture->picture) picture->picture->Release();
    delete picture;
}
