// Texture loading speed: the example picture and 4096 x 4096 pictures in
// each format (made here) through LoadPictureTexture in a headless context.
// Prints the median time of each stage and of the whole load (decode and
// build); never fails on timings.
//
//   texture_bench [RUNS] [--pictures DIR]
//
// With --pictures the pictures are kept in DIR, and read from there when they
// exist already, so that another build of the loader can be timed on the
// very same files.
#include <gif_lib.h>
#include <spng.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

// jpeglib.h needs FILE and size_t declared before it.
#include <jpeglib.h>

#include "headless_gl.h"
#include "texture/texture.h"

namespace {

// RGB, top row first.
struct Picture {
    int size;
    std::vector<uint8_t> rgb;
};

// Photo-like content: smooth gradients, hard-edged shapes and some grain, so
// that no format compresses it trivially.
Picture MakePicture(int size) {
    Picture picture{size, std::vector<uint8_t>(size_t(size) * size * 3)};
    uint32_t grain = 12345;
    for (int y = 0; y < size; ++y) {
        uint8_t* row = &picture.rgb[size_t(y) * size * 3];
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
    return picture;
}

bool WriteBmp(const char* path, const Picture& picture) {
    uint32_t rowBytes = (uint32_t(picture.size) * 3 + 3) / 4 * 4;
    uint32_t header[13] = {0, 0, 54, 40, uint32_t(picture.size), uint32_t(picture.size), 1 | 24 << 16, 0,
                           rowBytes * uint32_t(picture.size), 2835, 2835, 0, 0};
    header[0] = 54 + header[8];
    FILE* file = std::fopen(path, "wb");
    if (!file) return false;
    bool isWritten = std::fwrite("BM", 1, 2, file) == 2 && std::fwrite(header, 4, 13, file) == 13;
    std::vector<uint8_t> row(rowBytes, 0);
    for (int y = picture.size - 1; isWritten && y >= 0; --y) {
        const uint8_t* in = &picture.rgb[size_t(y) * picture.size * 3];
        for (int x = 0; x < picture.size; ++x) {
            row[3 * x + 0] = in[3 * x + 2];
            row[3 * x + 1] = in[3 * x + 1];
            row[3 * x + 2] = in[3 * x + 0];
        }
        isWritten = std::fwrite(row.data(), 1, rowBytes, file) == rowBytes;
    }
    return std::fclose(file) == 0 && isWritten;
}

bool WritePng(const char* path, const Picture& picture) {
    FILE* file = std::fopen(path, "wb");
    if (!file) return false;
    spng_ctx* context = spng_ctx_new(SPNG_CTX_ENCODER);
    spng_ihdr header = {uint32_t(picture.size), uint32_t(picture.size), 8, SPNG_COLOR_TYPE_TRUECOLOR, 0, 0, 0};
    bool isWritten = context && spng_set_png_file(context, file) == 0 && spng_set_ihdr(context, &header) == 0 &&
                     spng_encode_image(context, picture.rgb.data(), picture.rgb.size(), SPNG_FMT_PNG,
                                       SPNG_ENCODE_FINALIZE) == 0;
    spng_ctx_free(context);
    return std::fclose(file) == 0 && isWritten;
}

bool WriteJpeg(const char* path, const Picture& picture) {
    FILE* file = std::fopen(path, "wb");
    if (!file) return false;
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);  // errors end the program: fine here
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = JDIMENSION(picture.size);
    info.image_height = JDIMENSION(picture.size);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 90, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<uint8_t*>(&picture.rgb[size_t(info.next_scanline) * picture.size * 3]);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return std::fclose(file) == 0;
}

// 256 colours: 3 bits of red, 3 of green, 2 of blue.
bool WriteGif(const char* path, const Picture& picture) {
    int error = 0;
    GifFileType* gif = EGifOpenFileName(path, false, &error);
    if (!gif) return false;
    GifColorType colors[256];
    for (int i = 0; i < 256; ++i)
        colors[i] = {GifByteType((i >> 5) * 255 / 7), GifByteType((i >> 2 & 7) * 255 / 7), GifByteType((i & 3) * 85)};
    ColorMapObject* map = GifMakeMapObject(256, colors);
    bool isWritten = map && EGifPutScreenDesc(gif, picture.size, picture.size, 8, 0, map) == GIF_OK &&
                     EGifPutImageDesc(gif, 0, 0, picture.size, picture.size, false, nullptr) == GIF_OK;
    std::vector<GifPixelType> line(size_t(picture.size));
    for (int y = 0; isWritten && y < picture.size; ++y) {
        const uint8_t* in = &picture.rgb[size_t(y) * picture.size * 3];
        for (int x = 0; x < picture.size; ++x)
            line[x] = GifPixelType((in[3 * x] >> 5) << 5 | (in[3 * x + 1] >> 5) << 2 | in[3 * x + 2] >> 6);
        isWritten = EGifPutLine(gif, line.data(), picture.size) == GIF_OK;
    }
    GifFreeMapObject(map);
    return EGifCloseFile(gif, &error) == GIF_OK && isWritten;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

bool Measure(const char* label, const char* name, int runs) {
    std::vector<double> whole, decode, scale, conversion, upload;
    TextureLoadReport times{};
    for (int run = 0; run < runs; ++run) {
        GLuint texture = 0;
        auto start = std::chrono::steady_clock::now();
        bool isLoaded = LoadPictureTextureReported(name, &texture, &times);
        glFinish();
        whole.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        if (!isLoaded) {
            std::fprintf(stderr, "texture_bench: %s could not be loaded\n", name);
            return false;
        }
        glDeleteTextures(1, &texture);
        decode.push_back(times.decodeSeconds * 1e3);
        scale.push_back(times.scaleSeconds * 1e3);
        conversion.push_back(times.conversionSeconds * 1e3);
        upload.push_back(times.uploadSeconds * 1e3);
    }
    std::printf("%-48s %8.2f ms  (decode %.2f, scale %.2f, conversion %.2f, upload %.2f)\n", label,
                Median(whole), Median(decode), Median(scale), Median(conversion), Median(upload));
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 5;
    std::string keep;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--pictures") == 0 && i + 1 < argc)
            keep = std::filesystem::absolute(argv[++i]).string();
        else
            runs = std::max(1, std::atoi(argv[i]));
    }
    HeadlessGl gl;
    std::string error;
    if (!OpenHeadlessGl(&gl, 0, 0, &error)) {
        std::fprintf(stderr, "texture_bench: no OpenGL context: %s\n", error.c_str());
        return 1;
    }
    std::printf("renderer: %s; median of %d loads; decode and build, whole load\n",
                reinterpret_cast<const char*>(glGetString(GL_RENDERER)), runs);

    std::string folder = keep;
    if (folder.empty()) {
        folder = (std::filesystem::temp_directory_path() / "polyview-texture-bench-XXXXXX").string();
        if (!mkdtemp(folder.data())) folder.clear();
    } else {
        std::error_code ignored;  // chdir below tells
        std::filesystem::create_directories(folder, ignored);
    }
    if (folder.empty() || chdir(folder.c_str()) != 0) {
        std::perror("texture_bench: picture folder");
        return 1;
    }
    std::filesystem::copy_file(std::string(POLYVIEW_EXAMPLES) + "/Wall.bmp", "Wall.bmp",
                               std::filesystem::copy_options::overwrite_existing);
    const char* names[] = {"large.bmp", "large.png", "large.jpg", "large.gif", "odd.png"};
    bool isMade = true;
    if (!std::all_of(std::begin(names), std::end(names), [](const char* n) { return std::filesystem::exists(n); })) {
        Picture large = MakePicture(4096);
        isMade = WriteBmp("large.bmp", large) && WritePng("large.png", large) && WriteJpeg("large.jpg", large) &&
                 WriteGif("large.gif", large) && WritePng("odd.png", MakePicture(3000));
    }
    bool isDone = isMade;
    if (!isMade) std::fprintf(stderr, "texture_bench: cannot write the pictures\n");
    if (isDone) isDone = Measure("example Wall.bmp 256x256", "Wall.bmp", runs * 40);  // small: more loads
    if (isDone) isDone = Measure("4096x4096 BMP (24 bits)", "large.bmp", runs);
    if (isDone) isDone = Measure("4096x4096 PNG", "large.png", runs);
    if (isDone) isDone = Measure("4096x4096 JPEG (quality 90)", "large.jpg", runs);
    if (isDone) isDone = Measure("4096x4096 GIF (256 colours)", "large.gif", runs);
    // A size that must be resampled: 3000 -> 4096 on both axes.
    if (isDone) isDone = Measure("3000x3000 PNG -> 4096x4096 texture (resampled)", "odd.png", runs);

    if (keep.empty() && chdir("/") == 0) std::filesystem::remove_all(folder);
    CloseHeadlessGl(&gl);
    return isDone ? 0 : 1;
}
