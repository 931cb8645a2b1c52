// libFuzzer target over the Linux picture path: the input is written as
// Wall.bmp and made into a texture by LoadPictureTexture in a headless
// context, as the viewer does it, and the texture is read back. Besides the
// sanitizers' checks, a failed check here aborts:
//
//   - the heap that one load holds at its peak stays within what the
//     decoders may take (libjpeg's limit and some slack); allocations are
//     counted through the sanitizer's hooks;
//   - alpha is 0 exactly where a texel's colour is black;
//   - where an independent reader decodes the same file, the loader refuses
//     it when that picture breaks the size caps, and otherwise its texture is
//     that picture scaled by the loader's own scaler: SDL2's BMP loader for
//     BMPs without compression (16-bit channels may differ by 1), libpng for
//     PNG, giflib's whole-file reader for the first image of a GIF with the
//     last graphic control block before it.
#include <SDL2/SDL.h>
#include <gif_lib.h>
#include <png.h>
#include <sanitizer/allocator_interface.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "gl_read_back.h"
#include "headless_gl.h"
#include "texture/picture_decode.h"
#include "render/view.h"
#include "texture/picture_scale.h"
#include "texture/texture.h"

namespace {

const uint8_t* inputData;
size_t inputSize;

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "fuzz check failed: %s\ninput (%zu bytes):", what, inputSize);
    for (size_t i = 0; i < inputSize && i < 256; ++i) std::fprintf(stderr, " %02X", inputData[i]);
    std::fprintf(stderr, "\n");
    std::abort();
}

// Heap accounting while a load runs.
std::atomic<bool> isCounting{false};
std::atomic<int64_t> liveBytes{0}, peakBytes{0};

void CountMalloc(const volatile void*, size_t size) {
    if (!isCounting.load(std::memory_order_relaxed)) return;
    int64_t live = liveBytes.fetch_add(int64_t(size), std::memory_order_relaxed) + int64_t(size);
    int64_t peak = peakBytes.load(std::memory_order_relaxed);
    while (live > peak && !peakBytes.compare_exchange_weak(peak, live, std::memory_order_relaxed)) {
    }
}

void CountFree(const volatile void* pointer) {
    if (!isCounting.load(std::memory_order_relaxed) || !pointer) return;
    liveBytes.fetch_sub(int64_t(__sanitizer_get_allocated_size(pointer)), std::memory_order_relaxed);
}

// libjpeg's own limit, and room for libspng's chunk cache, row buffers and
// small pictures (large ones are mappings of their own, not heap). The
// driver's copy of a texture that was made comes on top.
constexpr int64_t HeapBudget = MaxPictureBytes + (int64_t(64) << 20);

// A picture from another reader: 0xAARRGGBB words, top row first.
struct Reference {
    int64_t width = 0, height = 0;
    std::vector<uint32_t> pixels;
    int tolerance = 0;  // in each colour channel
};

// `loaded`: whether the loader made a texture of the input.
void CheckAgainst(const Reference& reference, bool loaded, const GlImage& texture, GLint maxSide) {
    if (!IsPictureSizeAllowed(reference.width, reference.height) || reference.width == 0 ||
        reference.height == 0) {
        if (loaded) Fail("a picture beyond the size caps (or empty) was loaded");
        return;
    }
    if (!loaded) return;  // the loader may refuse what another reader takes
    int32_t width = ChooseTextureSide(int32_t(reference.width), maxSide);
    int32_t height = ChooseTextureSide(int32_t(reference.height), maxSide);
    if (texture.width != width || texture.height != height) Fail("texture size differs from the reference's");
    std::vector<uint8_t> block(size_t(width) * size_t(height) * 4, 0);
    PictureRows rows = {reinterpret_cast<const uint8_t*>(reference.pixels.data()), int32_t(reference.width) * 4,
                        int32_t(reference.width), int32_t(reference.height), PixelLayoutArgb32};
    ScalePicture(rows, block.data(), width, height);
    ConvertPixels(block.data(), width, height);
    for (size_t i = 0; i < block.size(); i += 4)
        for (int c = 0; c < 3; ++c)
            if (std::abs(int(block[i + c]) - int(texture.rgba[i + c])) > reference.tolerance)
                Fail("texture differs from the reference's picture");
}

uint32_t ReadLe(const uint8_t* p, int bytes) {
    uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) value = value << 8 | p[i];
    return value;
}

// SDL2's core BMP loader, for BMPs without compression (whose pixels are
// opaque by any reading); with bit fields SDL has readings of its own.
bool ReadBmpReference(Reference* reference) {
    if (inputSize < 30 || inputData[0] != 'B' || inputData[1] != 'M') return false;
    uint32_t infoSize = ReadLe(inputData + 14, 4);
    uint32_t compression = infoSize >= 40 && inputSize >= 34 ? ReadLe(inputData + 30, 4) : 0;
    uint32_t bitCount = infoSize == 12 ? ReadLe(inputData + 24, 2) : ReadLe(inputData + 28, 2);
    // Short OS/2 2.x headers end before fields that SDL reads all the same.
    if (compression != 0 || (infoSize != 12 && infoSize < 40)) return false;
    // A palette that would reach into the pixels is cut short at them by the
    // loader (indices past it are black); SDL reads on into the pixels.
    if ((bitCount == 1 || bitCount == 2 || bitCount == 4 || bitCount == 8) && inputSize >= 50) {
        uint32_t entries = 1u << bitCount, used = infoSize >= 40 ? ReadLe(inputData + 46, 4) : 0;
        if (used > 0 && used < entries) entries = used;
        int64_t paletteEnd = 14 + int64_t(infoSize) + int64_t(entries) * (infoSize == 12 ? 3 : 4);
        if (paletteEnd > int64_t(ReadLe(inputData + 10, 4))) return false;
    }
    // SDL allocates what the header says before it reads the pixels: up to
    // twice the caps is enough to see the loader refuse what is beyond them.
    bool isCore = infoSize == 12;
    int64_t width = isCore ? int64_t(ReadLe(inputData + 18, 2)) : int64_t(int32_t(ReadLe(inputData + 18, 4)));
    int64_t height = isCore ? int64_t(ReadLe(inputData + 20, 2)) : int64_t(int32_t(ReadLe(inputData + 22, 4)));
    if (std::abs(width) * std::abs(height) > 2 * MaxPictureBytes / 4) return false;
    SDL_RWops* stream = SDL_RWFromConstMem(inputData, int(inputSize));
    SDL_Surface* loaded = stream ? SDL_LoadBMP_RW(stream, 1) : nullptr;
    SDL_Surface* surface = loaded ? SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_ARGB8888, 0) : nullptr;
    SDL_FreeSurface(loaded);
    if (!surface) return false;
    reference->width = surface->w;
    reference->height = surface->h;
    reference->tolerance = bitCount == 16 ? 1 : 0;  // SDL widens 5 bits by repeating them
    for (int y = 0; y < surface->h; ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(surface->pixels) +
                                                            size_t(y) * size_t(surface->pitch));
        for (int x = 0; x < surface->w; ++x) reference->pixels.push_back(row[x] | 0xFF000000u);
    }
    SDL_FreeSurface(surface);
    return true;
}

struct PngInput {
    size_t at;
};

void ReadPngBytes(png_structp png, png_bytep bytes, png_size_t count) {
    auto* input = static_cast<PngInput*>(png_get_io_ptr(png));
    if (count > inputSize - input->at) png_error(png, "end of data");
    std::memcpy(bytes, inputData + input->at, count);
    input->at += count;
}

void IgnorePngWarning(png_structp, png_const_charp) {}
[[noreturn]] void LeavePng(png_structp png, png_const_charp) { png_longjmp(png, 1); }

// libpng, with every transformation that makes 8-bit RGBA of any PNG.
bool ReadPngReference(Reference* reference) {
    if (inputSize < 8 || png_sig_cmp(inputData, 0, 8) != 0) return false;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, LeavePng, IgnorePngWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    PngInput input = {0};
    std::vector<uint8_t>* rgba = new std::vector<uint8_t>;  // survives a longjmp
    std::vector<png_bytep>* rowPointers = new std::vector<png_bytep>;
    bool isRead = false;
    if (info && setjmp(png_jmpbuf(png)) == 0) {
        png_set_read_fn(png, &input, ReadPngBytes);
        png_read_info(png, info);
        uint32_t width = png_get_image_width(png, info), height = png_get_image_height(png, info);
        reference->width = width;
        reference->height = height;
        if (IsPictureSizeAllowed(width, height)) {
            png_set_expand(png);
            png_set_strip_16(png);
            png_set_gray_to_rgb(png);
            png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
            png_set_interlace_handling(png);
            png_read_update_info(png, info);
            rgba->resize(size_t(width) * height * 4);
            for (uint32_t y = 0; y < height; ++y) rowPointers->push_back(rgba->data() + size_t(y) * width * 4);
            png_read_image(png, rowPointers->data());
            for (size_t i = 0; i < rgba->size(); i += 4) {
                const uint8_t* p = &(*rgba)[i];
                reference->pixels.push_back(uint32_t(p[3]) << 24 | uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2]);
            }
        }
        isRead = true;
    }
    png_destroy_read_struct(&png, &info, nullptr);
    delete rgba;
    delete rowPointers;
    return isRead;
}

struct GifInput {
    size_t at;
};

int ReadGifBytes(GifFileType* gif, GifByteType* bytes, int count) {
    auto* input = static_cast<GifInput*>(gif->UserData);
    size_t n = std::min(size_t(count), inputSize - input->at);
    std::memcpy(bytes, inputData + input->at, n);
    input->at += n;
    return int(n);
}

// giflib's whole-file reader: the first image, in its own colours or the
// global ones (black beyond either), the transparent index of the last
// graphic control block before it.
bool ReadGifReference(Reference* reference) {
    GifInput input = {0};
    int error = 0;
    GifFileType* gif = DGifOpen(&input, ReadGifBytes, &error);
    if (!gif) return false;
    bool isRead = DGifSlurp(gif) == GIF_OK && gif->ImageCount > 0;
    if (isRead) {
        const SavedImage& image = gif->SavedImages[0];
        const ColorMapObject* colors = image.ImageDesc.ColorMap ? image.ImageDesc.ColorMap : gif->SColorMap;
        int transparent = -1;
        for (int i = 0; i < image.ExtensionBlockCount; ++i) {
            GraphicsControlBlock control;
            const ExtensionBlock& block = image.ExtensionBlocks[i];
            if (block.Function == GRAPHICS_EXT_FUNC_CODE &&
                DGifExtensionToGCB(size_t(block.ByteCount), block.Bytes, &control) == GIF_OK)
                transparent = control.TransparentColor;
        }
        reference->width = image.ImageDesc.Width;
        reference->height = image.ImageDesc.Height;
        size_t count = size_t(reference->width) * size_t(reference->height);
        for (size_t i = 0; i < count; ++i) {
            int index = image.RasterBits[i];
            uint32_t color = 0xFF000000u;
            if (colors && index < colors->ColorCount) {
                const GifColorType& c = colors->Colors[index];
                color |= uint32_t(c.Red) << 16 | uint32_t(c.Green) << 8 | c.Blue;
            }
            reference->pixels.push_back(index == transparent ? 0 : color);
        }
    }
    DGifCloseFile(gif, &error);
    return isRead;
}

HeadlessGl gl;
GLint maxSide = 0;
std::string scratch;  // the current directory while fuzzing

void RemoveScratch() {
    std::error_code ignored;
    std::filesystem::remove_all(scratch, ignored);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("LP_NUM_THREADS", "0", 1);  // llvmpipe without worker threads
    std::string error;
    if (!OpenHeadlessGl(&gl, 0, 0, &error)) {
        std::fprintf(stderr, "picture_fuzz: no OpenGL context: %s\n", error.c_str());
        std::exit(1);
    }
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSide);
    scratch = (std::filesystem::temp_directory_path() / "picture-fuzz-XXXXXX").string();
    if (!mkdtemp(scratch.data()) || chdir(scratch.c_str()) != 0) {
        std::perror("picture_fuzz: scratch folder");
        std::exit(1);
    }
    std::atexit(RemoveScratch);
    __sanitizer_install_malloc_and_free_hooks(CountMalloc, CountFree);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    inputData = data;
    inputSize = size;
    FILE* file = std::fopen(ScenePictureName, "wb");
    if (!file) Fail("cannot write the picture file");
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    GLuint texture = 0;
    liveBytes = 0;
    peakBytes = 0;
    isCounting = true;
    bool loaded = LoadPictureTexture(ScenePictureName, &texture);
    isCounting = false;

    GlImage image;  // row 0 at the picture's bottom
    if (loaded) image = ReadBoundTexture();
    int64_t textureBytes = int64_t(image.width) * image.height * 4;
    if (peakBytes.load() > HeapBudget + 2 * textureBytes) Fail("one load held more heap than the decoders may take");
    if (loaded) {
        glDeleteTextures(1, &texture);
        if (glGetError() != GL_NO_ERROR) Fail("OpenGL error");
        for (size_t i = 0; i < image.rgba.size(); i += 4) {
            bool isBlack = image.rgba[i] == 0 && image.rgba[i + 1] == 0 && image.rgba[i + 2] == 0;
            if (image.rgba[i + 3] != (isBlack ? 0 : 255)) Fail("alpha is not 0 exactly where the colour is black");
        }
    }

    // References only for what the loader took, or for pictures small enough
    // that another reader may allocate them without harm.
    Reference reference;
    bool hasReference = false;
    switch (SniffPictureFormat(data, size)) {
        case PictureFormatBmp: hasReference = ReadBmpReference(&reference); break;
        case PictureFormatPng: hasReference = ReadPngReference(&reference); break;
        case PictureFormatGif: hasReference = loaded && ReadGifReference(&reference); break;
        default: break;
    }
    if (hasReference) CheckAgainst(reference, loaded, image, maxSide);
    return 0;
}
