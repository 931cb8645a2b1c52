// libFuzzer targets for the model reader. Built twice (see CMakeLists.txt):
//
//   FUZZ_SCAN   scan_fuzz: the input is one line; ScanText must give what
//               glibc's sscanf gives for each of the model's formats.
//   FUZZ_MODEL  model_fuzz: the input is a model file; loading it, and loading
//               it again on threads, must leave the store that the plain
//               reference loader makes of it.
//
// A failed check prints what it saw and aborts, which libFuzzer reports as a
// crash with the input saved.
#include <cinttypes>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>
#include <unistd.h>

#include "model/model.h"
#include "model/model_format.h"
#include "model/scan.h"
#include "reference_loader.h"  // tests/model
#include "scan_formats.h"      // tests/model

namespace {

[[noreturn]] void Fail(const char* what, const uint8_t* data, size_t size) {
    std::fprintf(stderr, "fuzz check failed: %s\ninput (%zu bytes):", what, size);
    for (size_t i = 0; i < size && i < 256; ++i) std::fprintf(stderr, " %02X", data[i]);
    std::fprintf(stderr, "\n");
    std::abort();
}

#if defined(FUZZ_SCAN)

// Fills the targets before a scan. As a float it is a signalling NaN, which no
// conversion writes; as an int it is one value among others.
constexpr uint32_t Sentinel = 0x7FA5A5A5u;

// Targets are 32-bit (int32_t or float) and are compared by bit pattern.
struct Outcome {
    int result;
    uint32_t bits[5];
};

// Runs `scan` on targets of type T filled with the sentinel.
template <typename T, typename Fn>
Outcome Run(Fn scan) {
    static_assert(sizeof(T) == 4, "32-bit targets");
    T t[5];
    for (T& x : t) std::memcpy(&x, &Sentinel, 4);
    Outcome o;
    o.result = scan(t);
    std::memcpy(o.bits, t, sizeof o.bits);
    return o;
}

Outcome Sscanf(const char* line, const ScanFormat& f) {
    if (f.wideText.empty())
        return Run<float>([&](float* t) { return std::sscanf(line, f.text, &t[0], &t[1], &t[2], &t[3], &t[4]); });
    if (ReadsOutsideInt32(line, f)) return Run<int32_t>([](int32_t*) { return 0; });
    return Run<int32_t>([&](int32_t* t) { return std::sscanf(line, f.text, &t[0]); });
}

Outcome Scan(const char* text, size_t length, const ScanFormat& f) {
    if (f.wideText.empty())
        return Run<float>([&](float* t) { return ScanText(text, length, f.text, &t[0], &t[1], &t[2], &t[3], &t[4]); });
    return Run<int32_t>([&](int32_t* t) { return ScanText(text, length, f.text, &t[0]); });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string line(reinterpret_cast<const char*>(data), size);  // NUL-terminated for sscanf
    for (const ScanFormat& f : ScanFormats) {
        // ScanText reads libFuzzer's buffer itself, which has no terminator.
        Outcome got = Scan(reinterpret_cast<const char*>(data), size, f);
        Outcome want = Sscanf(line.c_str(), f);
        if (got.result == want.result && std::memcmp(got.bits, want.bits, 4 * size_t(f.conversions)) == 0)
            continue;
        std::fprintf(stderr, "format \"%s\": sscanf %d, ScanText %d\n", f.text, want.result, got.result);
        for (int i = 0; i < f.conversions; ++i)
            std::fprintf(stderr, "  target %d: sscanf %08" PRIX32 ", ScanText %08" PRIX32 "\n", i,
                         want.bits[i], got.bits[i]);
        Fail("ScanText differs from sscanf", data, size);
    }
    return 0;
}

#elif defined(FUZZ_MODEL)

// Larger counts are skipped: they cost time and memory and add nothing that a
// smaller one does not cover.
constexpr int32_t MaxFuzzCount = 9999;

const char* ScratchPath() {
    static std::string path;
    if (path.empty()) {
        char pattern[] = "/tmp/polyview-fuzz-XXXXXX";
        int fd = mkstemp(pattern);
        if (fd < 0) {
            std::perror("mkstemp");
            std::abort();
        }
        close(fd);
        path = pattern;
        std::atexit([] { unlink(path.c_str()); });
    }
    return path.c_str();
}

void WriteFile(const char* path, const uint8_t* data, size_t size) {
    FILE* f = std::fopen(path, "wb");
    if (!f || std::fwrite(data, 1, size, f) != size || std::fclose(f) != 0) {
        std::perror(path);
        std::abort();
    }
}

// Loads the file as the viewer does and holds the whole store against the
// plain reference loader. False when the count is too large to fuzz.
bool LoadAndCompare(const char* path, const uint8_t* data, size_t size) {
    ReferenceModel want;
    if (!LoadReferenceModel(path, ModelStore.TextureMode, MaxFuzzCount, &want)) return false;
    LoadModelFile(path);
    std::string diff = DiffStoreFromReference(want);
    if (!diff.empty()) {
        std::fprintf(stderr, "store against the reference loader: %s\n", diff.c_str());
        Fail("LoadModelFile differs from the reference loader", data, size);
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* path = ScratchPath();
    WriteFile(path, data, size);

    // A mode line that does not scan leaves TextureMode as it was. Start from
    // a mode taken from the input, so that a failure reproduces from the
    // saved input alone; 2 stands for any mode that loads no vertices.
    ModelStore.TextureMode = int32_t(size % 3);
    // A reload starts from the mode the first load left, and must agree too.
    // It reads the vertex lines on threads, in chunks of a few bytes, so that
    // chunk boundaries fall everywhere.
    if (LoadAndCompare(path, data, size)) {
        modelLoadThreads = int32_t(2 + size % 3);
        modelLoadChunkBytes = int64_t(1 + size / 3 % 40);
        LoadAndCompare(path, data, size);
        modelLoadThreads = 0;
        modelLoadChunkBytes = 0;
    }

    // Leave nothing allocated between inputs, so that libFuzzer's leak check
    // sees balanced runs.
    ReleaseModelStore();
    return 0;
}

#else
#error "define FUZZ_SCAN or FUZZ_MODEL"
#endif
