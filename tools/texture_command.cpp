// polyview-tool texture: what the viewer's texture loader makes of a picture.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "commands.h"
#include "gl_read_back.h"
#include "headless_gl.h"
#include "png_output.h"
#include "texture/texture.h"

int RunTextureCommand(int argc, char** argv) {
    const char* picturePath = nullptr;
    const char* outPath = nullptr;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--out") == 0 && i + 1 < argc && !outPath) {
            outPath = argv[++i];
        } else if (!TakeOperand("texture", "PICTURE", argv[i], argv[i][0] == '-' && argv[i][1] != '\0',
                                &picturePath)) {
            return ExitUsage;
        }
    }
    if (!picturePath) {
        std::fputs("usage: polyview-tool texture PICTURE [--out OUT.png]\n", stderr);
        return ExitUsage;
    }

    // The output path stays relative to where the tool was started.
    std::string out = outPath ? AbsolutePath(outPath) : std::string();
    // The viewer loads its picture by name from the current directory: do
    // the same from the picture's own folder. Addresses go as they are.
    std::string name = picturePath;
    if (!IsPictureAddress(picturePath)) {
        size_t slash = name.rfind('/');
        if (slash != std::string::npos) {
            std::string folder = slash == 0 ? "/" : name.substr(0, slash);
            if (chdir(folder.c_str()) != 0) {
                std::fprintf(stderr, "polyview-tool texture: cannot enter '%s': %s\n", folder.c_str(),
                             std::strerror(errno));
                return 1;
            }
            name = name.substr(slash + 1);
        }
    }

    HeadlessGl gl;
    std::string error;
    if (!OpenHeadlessGl(&gl, 0, 0, &error)) {
        std::fprintf(stderr, "polyview-tool texture: no OpenGL context: %s\n", error.c_str());
        return 1;
    }
    int status = 0;
    GLuint texture = 0;
    TextureLoadReport load;
    if (!LoadPictureTextureReported(name.c_str(), &texture, &load)) {
        std::fprintf(stderr,
                     "polyview-tool texture: '%s' cannot be loaded as a texture "
                     "(missing, unreadable, not BMP/PNG/JPEG/GIF, or too large)\n",
                     picturePath);
        status = 1;
    } else {
        int32_t width = 0, height = 0;
        GetBoundTextureSize(&width, &height);
        std::printf("picture %dx%d\ntexture %dx%d\n", int(load.pictureWidth), int(load.pictureHeight),
                    int(width), int(height));
        if (outPath) {
            // Texture row 0 is the picture's bottom row, as in a frame read
            // back; the PNG keeps the alpha.
            const GlImage texels = ReadBoundTexture();
            if (!WriteBottomUpPng(out, texels.rgba.data(), texels.width, texels.height, true, &error)) {
                std::fprintf(stderr, "polyview-tool texture: cannot write '%s': %s\n", outPath,
                             error.c_str());
                status = 1;
            }
        }
        if (std::fflush(stdout) != 0) status = 1;
    }
    CloseHeadlessGl(&gl);
    return status;
}
