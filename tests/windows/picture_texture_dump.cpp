// Windows only: makes textures from pictures with the viewer's own loader and
// the OLE picture service, in a hidden WGL window, and writes each texture as
// a PAM file (RGBA, top row first) for comparison with the Linux build.
//   picture_texture_dump OUT_FOLDER PICTURE...
// Prints one line a picture: "NAME WxH alpha-errors N" for a texture (N: texels
// whose alpha breaks the rule that only pure black is transparent), or
// "NAME refused".
#include <windows.h>

#include <GL/gl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "gl_read_back.h"
#include "texture/texture.h"

namespace {

bool OpenHiddenContext() {
    WNDCLASSA windowClass = {};
    windowClass.style = CS_OWNDC;
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "PictureTextureDump";
    if (!RegisterClassA(&windowClass)) return false;
    HWND window = CreateWindowExA(0, "PictureTextureDump", "", WS_POPUP, 0, 0, 16, 16, nullptr,
                                  nullptr, windowClass.hInstance, nullptr);
    if (!window) return false;
    HDC dc = GetDC(window);
    PIXELFORMATDESCRIPTOR pfd = {};
    pfd.nSize = sizeof pfd;
    pfd.nVersion = 1;
    pfd.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    pfd.iPixelType = PFD_TYPE_RGBA;
    pfd.cColorBits = 24;
    int format = ChoosePixelFormat(dc, &pfd);
    if (!format || !SetPixelFormat(dc, format, &pfd)) return false;
    HGLRC context = wglCreateContext(dc);
    return context && wglMakeCurrent(dc, context);
}

void WritePam(const std::string& path, int width, int height, const std::vector<unsigned char>& texels) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return;
    std::fprintf(f, "P7\nWIDTH %d\nHEIGHT %d\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n", width, height);
    for (int y = height - 1; y >= 0; --y)  // texture row 0 is the picture's bottom
        std::fwrite(&texels[size_t(y) * width * 4], 1, size_t(width) * 4, f);
    std::fclose(f);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fputs("usage: picture_texture_dump OUT_FOLDER PICTURE...\n", stderr);
        return 2;
    }
    if (!OpenHiddenContext()) {
        std::fputs("picture_texture_dump: no OpenGL context\n", stderr);
        return 1;
    }
    char start[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, start);
    std::string out = argv[1];
    for (int i = 2; i < argc; ++i) {
        // The loader reads names from the current directory, as the viewer does.
        std::string path = argv[i];
        size_t slash = path.find_last_of("\\/");
        std::string folder = slash == std::string::npos ? start : path.substr(0, slash);
        std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
        SetCurrentDirectoryA(folder.c_str());
        GLuint texture = 0;
        bool loaded = LoadPictureTexture(name.c_str(), &texture);
        SetCurrentDirectoryA(start);
        if (!loaded) {
            std::printf("%s refused\n", name.c_str());
            continue;
        }
        const GlImage image = ReadBoundTexture();
        const int32_t width = image.width, height = image.height;
        const std::vector<uint8_t>& texels = image.rgba;
        WritePam(out + "\\" + name + ".pam", width, height, texels);
        long alphaErrors = 0;
        for (size_t t = 0; t < texels.size(); t += 4) {
            bool black = texels[t] == 0 && texels[t + 1] == 0 && texels[t + 2] == 0;
            if (texels[t + 3] != (black ? 0 : 255)) ++alphaErrors;
        }
        std::printf("%s %dx%d alpha-errors %ld\n", name.c_str(), int(width), int(height), alphaErrors);
    }
    return 0;
}
