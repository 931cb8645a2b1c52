// Load-time benchmark for the model loader.
//
// Writes a large model file, then loads it with LoadModelFile and with a
// straightforward fgets + sscanf loader, each load in its own child process so
// that its peak memory can be read from /proc. Prints the figures; the only
// failure is a difference between the two stores (a correctness problem, not
// a timing one).
//
//   model_load_bench [--count N] [--dir DIR] [--mode 0|1] [--runs R] [--keep]
//   model_load_bench --file PATH [--runs R]
//
// Defaults: 1,000,000 triangles, mode 1, 3 runs per loader, file under
// $TMPDIR (or /tmp), removed afterwards unless --keep is given. --file loads
// an existing model instead (left in place), for comparing builds on one file.

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "bench_random.h"
#include "model/model.h"

namespace {

// ---------------------------------------------------------------------------
// Model file generation

// Appends one number in one of the forms an exporter or a hand edit would
// produce: mostly fixed six decimals, with some exponent, short, integer and
// explicitly signed forms mixed in.
char* PutNumber(char* p, Rng& rng, double value) {
    unsigned form = rng.Below(100);
    if (form < 78) return p + std::sprintf(p, "%.6f", value);
    if (form < 86) return p + std::sprintf(p, "%e", value);
    if (form < 90) return p + std::sprintf(p, "%.3f", value);
    if (form < 93) return p + std::sprintf(p, "%d", int(value));
    if (form < 96) return p + std::sprintf(p, "%+.6f", value);
    if (form < 98) return p + std::sprintf(p, "%.7g", value);
    return p + std::sprintf(p, "%.2E", value);
}

double Position(Rng& rng) {
    unsigned kind = rng.Below(1000);
    double sign = rng.Below(2) ? -1.0 : 1.0;
    if (kind < 5) return sign * rng.Unit() * 1e-4;    // near-degenerate detail
    if (kind < 15) return sign * rng.Unit() * 5000.0;  // far scenery
    return sign * rng.Unit() * 50.0;
}

double TexCoord(Rng& rng) {
    unsigned kind = rng.Below(100);
    if (kind < 3) return 0.0;
    if (kind < 6) return 1.0;
    if (kind < 10) return rng.Unit() * 4.0;  // tiled
    return rng.Unit();
}

// Streams the file to disk; nothing but one line is held in memory.
bool WriteModelFile(const std::string& path, long count, int mode) {
    FILE* f = std::fopen(path.c_str(), "w");
    if (!f) {
        std::fprintf(stderr, "cannot create %s: %s\n", path.c_str(), std::strerror(errno));
        return false;
    }
    static char buffer[1 << 20];
    std::setvbuf(f, buffer, _IOFBF, sizeof buffer);
    Rng rng{0x5EEDu + uint64_t(count)};
    std::fprintf(f, "# polyview benchmark model, %ld triangles\n", count);
    std::fprintf(f, "UcgenSayisi >> %ld\n", count);
    std::fprintf(f, "KaplamaKullanimi >> %d\n\n", mode);
    char line[256];
    for (long t = 0; t < count; ++t) {
        if (t % 4096 == 0) std::fprintf(f, "# part %ld\n", t / 4096);
        if (t % 25000 == 12345) std::fputs("\n", f);
        for (int k = 0; k < 3; ++k) {
            char* p = line;
            p += std::sprintf(p, "Vertex");
            for (int i = 0; i < 3; ++i) {
                *p++ = ' ';
                if (rng.Below(50) == 0) *p++ = ' ';  // aligned columns now and then
                p = PutNumber(p, rng, Position(rng));
            }
            if (mode == 1) {
                p += std::sprintf(p, " >> TKoord ");
                p = PutNumber(p, rng, TexCoord(rng));
                *p++ = ' ';
                p = PutNumber(p, rng, TexCoord(rng));
            }
            *p++ = '\n';
            std::fwrite(line, 1, size_t(p - line), f);
        }
    }
    bool ok = std::ferror(f) == 0;
    if (std::fclose(f) != 0) ok = false;
    if (!ok) std::fprintf(stderr, "write failed for %s\n", path.c_str());
    return ok;
}

// ---------------------------------------------------------------------------
// Reference loader: the plain stdio way of reading the format.

struct LiteralModel {
    ModelTriangle* triangles = nullptr;
    int count = 0;
    int mode = 0;
};

void ReadLiteralLine(FILE* f, char* line) {
    do {
        if (!std::fgets(line, 255, f)) return;
    } while (line[0] == '#' || line[0] == '\n');
}

LiteralModel LoadLiteral(const char* path) {
    LiteralModel model;
    FILE* f = std::fopen(path, "r");
    if (!f) return model;
    char line[255] = "";
    ReadLiteralLine(f, line);
    if (std::sscanf(line, "UcgenSayisi >> %d\n", &model.count) != 1) {}
    ReadLiteralLine(f, line);
    if (std::sscanf(line, "KaplamaKullanimi >> %d\n", &model.mode) != 1) {}
    model.triangles =
        static_cast<ModelTriangle*>(std::malloc(size_t(model.count) * sizeof(ModelTriangle)));
    float x = 0, y = 0, z = 0, u = 0, v = 0;
    for (int i = 0; i < model.count; ++i) {
        for (int j = 0; j < 3; ++j) {
            ReadLiteralLine(f, line);
            if (model.mode == 1) {
                if (std::sscanf(line, "Vertex %f %f %f >> TKoord %f %f", &x, &y, &z, &u, &v) != 5) {}
            } else {
                if (std::sscanf(line, "Vertex %f %f %f", &x, &y, &z) != 3) {}
            }
            ModelVertex& vertex = model.triangles[i].vertices[j];
            vertex.x = x;
            vertex.y = y;
            vertex.z = z;
            vertex.u = u;
            vertex.v = v;
        }
    }
    std::fclose(f);
    return model;
}

// ---------------------------------------------------------------------------
// Measurement in a child process

struct Report {
    double ms;
    double cpuMs;  // user + system time of the load; steadier than wall time on a busy machine
    int64_t peakGrowthKiB;
    int32_t count;
    int32_t mode;
    uint64_t hash;
    int32_t hwmReset;  // 1 when the high-water mark was reset before loading
};

constexpr uint64_t FnvOffset = 0xCBF29CE484222325ull;
constexpr uint64_t FnvPrime = 0x100000001B3ull;

uint64_t Fnv1a(uint64_t h, const void* data, size_t size) {
    const unsigned char* p = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < size; ++i) h = (h ^ p[i]) * FnvPrime;
    return h;
}

// Mode 1 stores all five values of every vertex, so the whole array is
// compared. In mode 0 only positions are defined for LoadModelFile (texture
// coordinates are not written), so only those are compared.
uint64_t HashStore(const ModelTriangle* triangles, int32_t count, int32_t mode) {
    if (!triangles || count <= 0) return FnvOffset;
    if (mode == 1) return Fnv1a(FnvOffset, triangles, size_t(count) * sizeof(ModelTriangle));
    uint64_t h = FnvOffset;
    for (int32_t i = 0; i < count; ++i)
        for (const ModelVertex& v : triangles[i].vertices) h = Fnv1a(h, &v, 3 * sizeof(float));
    return h;
}

// Reads a "Name:   123 kB" field from /proc/self/status; -1 when absent.
int64_t StatusKiB(const char* name) {
    FILE* f = std::fopen("/proc/self/status", "r");
    if (!f) return -1;
    char line[256];
    int64_t value = -1;
    size_t n = std::strlen(name);
    while (std::fgets(line, sizeof line, f)) {
        if (std::strncmp(line, name, n) == 0 && line[n] == ':') {
            value = std::strtoll(line + n + 1, nullptr, 10);
            break;
        }
    }
    std::fclose(f);
    return value;
}

double ProcessCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

bool ResetHighWaterMark() {
    int fd = open("/proc/self/clear_refs", O_WRONLY);
    if (fd < 0) return false;
    bool ok = write(fd, "5", 1) == 1;
    close(fd);
    return ok;
}

enum class Loader { Ours, Literal };

[[noreturn]] void RunChild(Loader loader, const char* path, int fd) {
    Report report{};
    report.hwmReset = ResetHighWaterMark() ? 1 : 0;
    int64_t baseline = StatusKiB("VmRSS");
    // Without a reset the inherited mark may sit above the baseline; the
    // growth is then an upper bound.
    double cpuStart = ProcessCpuMs();
    auto start = std::chrono::steady_clock::now();
    const ModelTriangle* triangles;
    if (loader == Loader::Ours) {
        LoadModelFile(path);
        triangles = ModelStore.triangles;
        report.count = ModelStore.triangleCount;
        report.mode = ModelStore.TextureMode;
    } else {
        LiteralModel model = LoadLiteral(path);
        triangles = model.triangles;
        report.count = model.count;
        report.mode = model.mode;
    }
    auto stop = std::chrono::steady_clock::now();
    report.ms = std::chrono::duration<double, std::milli>(stop - start).count();
    report.cpuMs = ProcessCpuMs() - cpuStart;
    report.peakGrowthKiB = StatusKiB("VmHWM") - baseline;
    report.hash = HashStore(triangles, report.count, report.mode);
    bool ok = write(fd, &report, sizeof report) == ssize_t(sizeof report);
    _exit(ok ? 0 : 1);
}

bool Measure(Loader loader, const char* path, Report* out) {
    int fds[2];
    if (pipe(fds) != 0) {
        std::perror("pipe");
        return false;
    }
    std::fflush(stdout);
    std::fflush(stderr);
    pid_t pid = fork();
    if (pid < 0) {
        std::perror("fork");
        close(fds[0]);
        close(fds[1]);
        return false;
    }
    if (pid == 0) {
        close(fds[0]);
        RunChild(loader, path, fds[1]);
    }
    close(fds[1]);
    size_t got = 0;
    char* dst = reinterpret_cast<char*>(out);
    while (got < sizeof *out) {
        ssize_t n = read(fds[0], dst + got, sizeof *out - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += size_t(n);
    }
    close(fds[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
    if (got != sizeof *out || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s loader child failed (status %d)\n",
                     loader == Loader::Ours ? "our" : "literal", status);
        return false;
    }
    return true;
}

struct Summary {
    double bestMs = 0;
    double bestCpuMs = 0;
    int64_t peakGrowthKiB = 0;  // largest over the runs
    Report first{};
    bool consistent = true;     // every run produced the same store
    bool hwmReset = true;
};

void Add(Summary& s, const Report& r, int run) {
    if (run == 0) {
        s.first = r;
        s.bestMs = r.ms;
        s.bestCpuMs = r.cpuMs;
        s.peakGrowthKiB = r.peakGrowthKiB;
    } else {
        s.bestMs = std::min(s.bestMs, r.ms);
        s.bestCpuMs = std::min(s.bestCpuMs, r.cpuMs);
        s.peakGrowthKiB = std::max(s.peakGrowthKiB, r.peakGrowthKiB);
        if (r.hash != s.first.hash || r.count != s.first.count || r.mode != s.first.mode)
            s.consistent = false;
    }
    if (!r.hwmReset) s.hwmReset = false;
}

double MiB(double kib) { return kib / 1024.0; }

int Usage(const char* argv0) {
    std::fprintf(stderr,
                 "usage: %s [--count N] [--dir DIR] [--mode 0|1] [--runs R] [--keep]\n"
                 "       %s --file PATH [--runs R]\n",
                 argv0, argv0);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    long count = 1000000;
    int mode = 1;
    int runs = 3;
    bool keep = false;
    const char* existing = nullptr;
    const char* tmp = std::getenv("TMPDIR");
    std::string dir = tmp && *tmp ? tmp : "/tmp";
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        bool hasValue = i + 1 < argc;
        if (arg == "--count" && hasValue) count = std::strtol(argv[++i], nullptr, 10);
        else if (arg == "--dir" && hasValue) dir = argv[++i];
        else if (arg == "--mode" && hasValue) mode = std::atoi(argv[++i]);
        else if (arg == "--runs" && hasValue) runs = std::atoi(argv[++i]);
        else if (arg == "--file" && hasValue) existing = argv[++i];
        else if (arg == "--keep") keep = true;
        else return Usage(argv[0]);
    }
    if (count <= 0 || count > MaxTriangleCount || (mode != 0 && mode != 1) || runs < 1)
        return Usage(argv[0]);

    std::string workDir, path;
    bool written = true;
    double genMs = 0;
    if (existing) {
        path = existing;
        keep = true;
    } else {
        workDir = dir + "/polyview-bench-XXXXXX";
        if (!mkdtemp(&workDir[0])) {
            std::fprintf(stderr, "cannot create a directory under %s: %s\n", dir.c_str(),
                         std::strerror(errno));
            return 1;
        }
        path = workDir + "/bench.m";
        auto genStart = std::chrono::steady_clock::now();
        written = WriteModelFile(path, count, mode);
        genMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() -
                                                          genStart).count();
    }

    int result = 1;
    Summary ours, literal;
    bool measured = written;
    struct stat st{};
    if (written && stat(path.c_str(), &st) != 0) measured = false;
    if (measured) {
        std::printf("model file:        %s\n", path.c_str());
        if (existing)
            std::printf("file size:         %lld bytes (%.1f MiB)\n", (long long)st.st_size,
                        st.st_size / 1048576.0);
        else
            std::printf("file size:         %lld bytes (%.1f MiB), %ld triangles, mode %d"
                        " (written in %.0f ms)\n",
                        (long long)st.st_size, st.st_size / 1048576.0, count, mode, genMs);
        // Alternate the loaders so that both see the same cache state.
        for (int run = 0; run < runs && measured; ++run) {
            Report r;
            if (!(measured = Measure(Loader::Ours, path.c_str(), &r))) break;
            Add(ours, r, run);
            std::printf("run %d: ours    %9.1f ms (cpu %7.1f ms)  peak +%.1f MiB\n", run + 1,
                        r.ms, r.cpuMs, MiB(double(r.peakGrowthKiB)));
            if (!(measured = Measure(Loader::Literal, path.c_str(), &r))) break;
            Add(literal, r, run);
            std::printf("run %d: literal %9.1f ms (cpu %7.1f ms)  peak +%.1f MiB\n", run + 1,
                        r.ms, r.cpuMs, MiB(double(r.peakGrowthKiB)));
        }
    }
    if (measured) {
        count = ours.first.count;
        double storeMiB = double(count) * sizeof(ModelTriangle) / 1048576.0;
        double oursMiB = MiB(double(ours.peakGrowthKiB));
        double literalMiB = MiB(double(literal.peakGrowthKiB));
        bool withinBound = oursMiB <= storeMiB + 16.0;
        bool identical = ours.consistent && literal.consistent &&
                         ours.first.hash == literal.first.hash &&
                         ours.first.count == literal.first.count &&
                         ours.first.mode == literal.first.mode;
        std::printf("\n");
        std::printf("ours (LoadModelFile): %10.1f ms (best of %d)\n", ours.bestMs, runs);
        std::printf("literal (fgets+sscanf): %8.1f ms (best of %d)\n", literal.bestMs, runs);
        std::printf("ratio literal/ours:   %10.2fx (cpu time: %.1f / %.1f ms = %.2fx)\n",
                    literal.bestMs / ours.bestMs, literal.bestCpuMs, ours.bestCpuMs,
                    literal.bestCpuMs / ours.bestCpuMs);
        std::printf("store size:           %10.1f MiB (%ld x %zu bytes)\n", storeMiB, count,
                    sizeof(ModelTriangle));
        std::printf("peak growth ours:     %10.1f MiB%s\n", oursMiB,
                    ours.hwmReset ? "" : " (mark not reset: upper bound)");
        std::printf("peak growth literal:  %10.1f MiB%s\n", literalMiB,
                    literal.hwmReset ? "" : " (mark not reset: upper bound)");
        std::printf("ours within store + 16 MiB: %s\n", withinBound ? "yes" : "no");
        std::printf("stores identical:     %s (ours count %d mode %d hash %016" PRIx64
                    "; literal count %d mode %d hash %016" PRIx64 ")\n",
                    identical ? "yes" : "NO", ours.first.count, ours.first.mode,
                    ours.first.hash, literal.first.count, literal.first.mode,
                    literal.first.hash);
        if (!ours.consistent || !literal.consistent)
            std::printf("warning: a loader gave different stores across runs\n");
        result = identical ? 0 : 1;
    }

    if (!existing && keep) {
        std::printf("kept %s\n", path.c_str());
    } else if (!existing) {
        std::remove(path.c_str());
        rmdir(workDir.c_str());
    }
    return result;
}
