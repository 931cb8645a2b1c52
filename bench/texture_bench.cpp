// Texture loading speed: 4096 x 4096 JPEG and PNG pictures (made here)
// through LoadPictureTexture in a headless context. Prints the time of each
// stage (median of several loads); never fails on timings.
#include <SDL2/SDL.h>
#include <SDL2/SDL_image.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "headless_gl.h"
#include "texture/texture.h"

namespace {

// A picture with photo-like content: smooth gradients, hard-edged shapes and
// some grain, so that neither format compresses it trivially.
SDL_Surface* MakePicture(int size) {
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, size, size, 24, SDL_PIXELFORMAT_RGB24);
    if (!surface) return nullptr;
    uint32_t grain = 12345;
    for (int y = 0; y < size; ++y) {
        auto* row = static_cast<uint8_t*>(surface->pixels) + size_t(y) * surface->pitch;
        for (int x = 0; x < size; ++x) {
            grain = grain * 1664525u + 1013904223u;
            int noise = int(grain >> 28) - 8;
            bool isBrick = (x / 97 + y / 41) % 3 != 0;
            int r = x * 255 / size + noise, g = y * 255 / size + noise, b = isBrick ? 160 + noise : 20;
            if ((x % 97) < 4 || (y % 41) < 3) r = g = b = 0;  // mortar
            row[3 * x + 0] = uint8_t(std::clamp(r, 0, 255));
            row[3 * x + 1] = uint8_t(std::clamp(g, 0, 255));
            row[3 * x + 2] = uint8_t(std::clamp(b, 0, 255));
        }
    }
    return surface;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

bool Measure(const char* label, const char* name, int runs) {
    std::vector<double> decode, scale, conversion, upload;
    TextureLoadTimes times{};
    textureLoadTimes = &times;
    for (int run = 0; run < runs; ++run) {
        GLuint texture = 0;
        if (!LoadPictureTexture(name, &texture)) {
            std::fprintf(stderr, "texture_bench: %s could not be loaded\n", name);
            return false;
        }
        glFinish();
        glDeleteTextures(1, &texture);
        decode.push_back(times.decodeSeconds * 1e3);
        scale.push_back(times.scaleSeconds * 1e3);
        conversion.push_back(times.conversionSeconds * 1e3);
        upload.push_back(times.uploadSeconds * 1e3);
    }
    textureLoadTimes = nullptr;
    double ownCpu = Median(scale) + Median(conversion);
    double own = ownCpu + Median(upload);
    std::printf("%s\n"
                "  decode      %8.1f ms\n"
                "  scale       %8.1f ms\n"
                "  conversion  %8.1f ms\n"
                "  upload      %8.1f ms  (glTexImage2D: the driver copies into its own storage)\n"
                "  loader's own work, scale + conversion + upload: %.1f ms, %s decoding\n"
                "  of which before the driver, scale + conversion: %.1f ms, %s decoding\n",
                label, Median(decode), Median(scale), Median(conversion), Median(upload), own,
                own < Median(decode) ? "less than" : "more than", ownCpu,
                ownCpu < Median(decode) ? "less than" : "more than");
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    HeadlessGl gl;
    std::string error;
    if (!OpenHeadlessGl(&gl, 0, 0, &error)) {
        std::fprintf(stderr, "texture_bench: no OpenGL context: %s\n", error.c_str());
        return 1;
    }
    std::printf("renderer: %s; median of %d loads\n",
                reinterpret_cast<const char*>(glGetString(GL_RENDERER)), runs);

    std::string folder = (std::filesystem::temp_directory_path() / "polyview-texture-bench-XXXXXX").string();
    if (!mkdtemp(folder.data()) || chdir(folder.c_str()) != 0) {
        std::perror("texture_bench: scratch folder");
        return 1;
    }
    SDL_Surface* large = MakePicture(4096);
    SDL_Surface* odd = MakePicture(3000);
    bool isMade = large && odd && IMG_SaveJPG(large, "large.jpg", 90) == 0 &&
                  IMG_SavePNG(large, "large.png") == 0 && IMG_SavePNG(odd, "odd.png") == 0;
    SDL_FreeSurface(large);
    SDL_FreeSurface(odd);
    bool isDone = isMade;
    if (!isMade) std::fprintf(stderr, "texture_bench: cannot write pictures: %s\n", IMG_GetError());
    if (isDone) isDone = Measure("4096x4096 JPEG -> 4096x4096 texture", "large.jpg", runs);
    if (isDone) isDone = Measure("4096x4096 PNG -> 4096x4096 texture", "large.png", runs);
    // A size that must be resampled: 3000 -> 4096 on both axes.
    if (isDone) isDone = Measure("3000x3000 PNG -> 4096x4096 texture (resampled)", "odd.png", runs);

    if (chdir("/") == 0) std::filesystem::remove_all(folder);
    CloseHeadlessGl(&gl);
    return isDone ? 0 : 1;
}
