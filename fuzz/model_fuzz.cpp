// libFuzzer targets for the model reader. Built twice (see CMakeLists.txt):
//
//   FUZZ_SCAN   scan_fuzz: the input is one line; ScanText must give what
//               glibc's sscanf gives for each of the model's formats.
//   FUZZ_MODEL  model_fuzz: the input is a model file; loading it, and loading
//               it again, must leave a consistent and identical store.
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
#include "model/scan.h"

namespace {

[[noreturn]] void Fail(const char* what, const uint8_t* data, size_t size) {
    std::fprintf(stderr, "fuzz check failed: %s\ninput (%zu bytes):", what, size);
    for (size_t i = 0; i < size && i < 256; ++i) std::fprintf(stderr, " %02X", data[i]);
    std::fprintf(stderr, "\n");
    std::abort();
}

#if defined(FUZZ_SCAN)

struct Format {
    const char* text;
    int conversions;
    const char* wideText;  // with %ld, for the int formats
};

const Format Formats[] = {
    {"UcgenSayisi >> %d\n", 1, "UcgenSayisi >> %ld\n"},
    {"KaplamaKullanimi >> %d\n", 1, "KaplamaKullanimi >> %ld\n"},
    {"Vertex %f %f %f >> TKoord %f %f", 5, nullptr},
    {"Vertex %f %f %f", 3, nullptr},
};

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

Outcome Sscanf(const char* line, const Format& f) {
    if (!f.wideText)
        return Run<float>([&](float* t) { return std::sscanf(line, f.text, &t[0], &t[1], &t[2], &t[3], &t[4]); });
    long wide = 0;
    if (std::sscanf(line, f.wideText, &wide) == 1 && (wide > INT32_MAX || wide < INT32_MIN)) {
        // ScanText treats a value outside int32_t as not matching.
        return Run<int32_t>([](int32_t*) { return 0; });
    }
    return Run<int32_t>([&](int32_t* t) { return std::sscanf(line, f.text, &t[0]); });
}

Outcome Scan(const char* text, size_t length, const Format& f) {
    if (!f.wideText)
        return Run<float>([&](float* t) { return ScanText(text, length, f.text, &t[0], &t[1], &t[2], &t[3], &t[4]); });
    return Run<int32_t>([&](int32_t* t) { return ScanText(text, length, f.text, &t[0]); });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string line(reinterpret_cast<const char*>(data), size);  // NUL-terminated for sscanf
    for (const Format& f : Formats) {
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
// smaller one does not cover. MaxFuzzCountDigits is its number of digits.
constexpr int32_t MaxFuzzCount = 9999;
constexpr size_t MaxFuzzCountDigits = 4;

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

// A %d reads a run of digits, so without a longer run than MaxFuzzCount has
// the count cannot exceed it. Saves opening the file a third time: the
// reader's 1 MiB block is slow to come and go under the address sanitizer.
bool MayHoldLargeCount(const uint8_t* data, size_t size) {
    size_t run = 0;
    for (size_t i = 0; i < size; ++i) {
        run = (data[i] >= '0' && data[i] <= '9') ? run + 1 : 0;
        if (run > MaxFuzzCountDigits) return true;
    }
    return false;
}

// The triangle count the loader will read, found the way it finds it.
int32_t CountLine(const char* path) {
    ModelStream stream;
    ModelLine line = {};
    int32_t count = 0;
    if (OpenModelStream(&stream, path)) {
        ReadDataLine(&stream, &line);
        ScanText(line.text, line.length, "UcgenSayisi >> %d\n", &count);
        CloseModelStream(&stream);
    }
    std::free(line.text);
    return count;
}

// The store's contents that a load defines: positions always, texture
// coordinates in mode 1 only.
std::vector<uint32_t> Snapshot() {
    std::vector<uint32_t> out;
    const int32_t mode = ModelStore.TextureMode;
    if ((mode != 0 && mode != 1) || ModelStore.triangleCount <= 0) return out;
    out.reserve(size_t(ModelStore.triangleCount) * 15);
    for (int32_t t = 0; t < ModelStore.triangleCount; ++t) {
        for (const ModelVertex& v : ModelStore.triangles[t].vertices) {
            float values[5] = {v.x, v.y, v.z, mode == 1 ? v.u : 0.0f, mode == 1 ? v.v : 0.0f};
            uint32_t bits[5];
            std::memcpy(bits, values, sizeof bits);
            out.insert(out.end(), bits, bits + 5);
        }
    }
    return out;
}

// A negative count stays as scanned and draws nothing; only a positive count
// has an array.
void CheckStore(const uint8_t* data, size_t size) {
    if ((ModelStore.triangles != nullptr) != (ModelStore.triangleCount > 0))
        Fail("triangle array and count disagree", data, size);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* path = ScratchPath();
    WriteFile(path, data, size);
    if (MayHoldLargeCount(data, size) && CountLine(path) > MaxFuzzCount) return 0;

    // A mode line that does not scan leaves TextureMode as it was. Start from
    // a mode taken from the input, so that a failure reproduces from the
    // saved input alone; 2 stands for any mode that loads no vertices.
    ModelStore.TextureMode = int32_t(size % 3);

    LoadModelFile(path);
    CheckStore(data, size);
    const int32_t count = ModelStore.triangleCount, mode = ModelStore.TextureMode;
    const std::vector<uint32_t> first = Snapshot();

    // Reloading the same file gives the same model.
    LoadModelFile(path);
    CheckStore(data, size);
    if (ModelStore.triangleCount != count) Fail("reload changed the triangle count", data, size);
    if (ModelStore.TextureMode != mode) Fail("reload changed the texture mode", data, size);
    if (Snapshot() != first) Fail("reload changed the vertices", data, size);

    // Leave nothing allocated between inputs, so that libFuzzer's leak check
    // sees balanced runs.
    ReleaseModelStore();
    return 0;
}

#else
#error "define FUZZ_SCAN or FUZZ_MODEL"
#endif
