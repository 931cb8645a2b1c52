// Load-time benchmark for the model loader.
//
// For two kinds of large model file, short numbers (the mixed forms that
// exporters and hand edits write) and six-decimal numbers (every number
// "%.6f", positions up to +-1000), it writes the file, then loads it with
// LoadModelFile as the viewer does (on all cores), with LoadModelFile kept to
// the calling thread (the serial path) and with a straightforward fgets +
// sscanf loader, each load in a child process so that its peak memory can be
// read from /proc; and it runs `polyview-tool dump --summary` on the file as
// a whole process. Then it times small files (1,000 and 100,000 triangles)
// with LoadModelFile against its serial path. Prints the figures; the only
// failure is a difference between the stores (a correctness problem, not a
// timing one).
//
//   model_load_bench [--count N] [--dir DIR] [--mode 0|1] [--runs R] [--threads T]
//                    [--tool PATH] [--keep]
//   model_load_bench --file PATH [--runs R] [--threads T] [--tool PATH]
//
// Defaults: 1,000,000 triangles, mode 1, 5 runs per loader, threads as the
// viewer takes them, the files under $TMPDIR (or /tmp), removed afterwards
// unless --keep is given. --file measures an existing model instead (left in
// place), for comparing builds on one file. --tool names the polyview-tool to
// run (default: the one built beside this benchmark).

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "bench_support.h"
#include "model/model.h"
#include "model/model_format.h"

namespace {

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
    if (std::sscanf(line, CountLineFormat, &model.count) != 1) {}
    ReadLiteralLine(f, line);
    if (std::sscanf(line, ModeLineFormat, &model.mode) != 1) {}
    model.triangles =
        static_cast<ModelTriangle*>(std::malloc(size_t(model.count) * sizeof(ModelTriangle)));
    float x = 0, y = 0, z = 0, u = 0, v = 0;
    for (int i = 0; i < model.count; ++i) {
        for (int j = 0; j < 3; ++j) {
            ReadLiteralLine(f, line);
            if (model.mode == 1) {
                if (std::sscanf(line, TexturedVertexFormat, &x, &y, &z, &u, &v) != 5) {}
            } else {
                if (std::sscanf(line, PlainVertexFormat, &x, &y, &z) != 3) {}
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

enum class Loader { Ours, Serial, Literal };
const char* const LoaderNames[] = {"ours loader", "serial loader", "literal loader"};

// One load in a child process of its own, so that its peak memory can be
// read from /proc.
bool Measure(Loader loader, int threads, const char* path, Report* out) {
    struct Loaded {
        const ModelTriangle* triangles;
        int32_t count, mode;
    } loaded{};
    struct Store {
        int32_t count, mode;
        uint64_t hash;
    } store{};
    WorkMeasure measure{};
    auto load = [&] {
        if (loader != Loader::Literal) {
            modelLoadThreads = loader == Loader::Serial ? 1 : threads;
            LoadModelFile(path);
            loaded = {ModelStore.triangles, ModelStore.triangleCount, ModelStore.TextureMode};
        } else {
            LiteralModel model = LoadLiteral(path);
            loaded = {model.triangles, model.count, model.mode};
        }
    };
    auto describe = [&](Store* result) {
        *result = {loaded.count, loaded.mode, HashStore(loaded.triangles, loaded.count, loaded.mode)};
    };
    if (!MeasureInChild(LoaderNames[int(loader)], load, describe, &measure, &store)) return false;
    *out = {measure.ms, measure.cpuMs, measure.peakGrowthKiB, store.count, store.mode, store.hash,
            measure.isPeakReset ? 1 : 0};
    return true;
}

// `polyview-tool dump --summary PATH` as a whole process: start, load,
// summary, exit. Its output goes to /dev/null.
bool MeasureTool(const char* tool, const char* path, ProgramMeasure* out) {
    const char* const argv[] = {tool, "dump", "--summary", path, nullptr};
    return MeasureProgram(argv, out);
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

// Threads LoadModelFile takes with modelLoadThreads set to `threads`.
int ThreadsUsed(int threads) {
    modelLoadThreads = threads;
    int used = ChooseLoadThreads();
    modelLoadThreads = 0;
    return used;
}

struct FileResult {
    const char* kind;
    bool measured = false;
    bool identical = false;
    bool withinBound = false;
    double oursMs = 0, serialMs = 0, literalMs = 0, toolMs = 0;  // best of the runs; tool 0: not run
    double oursMiB = 0, boundMiB = 0;
};

// Loads one file with every loader, `runs` times, alternating them so that
// all see the same cache state, and prints the figures.
FileResult MeasureFile(const char* kind, const std::string& path, int runs, int threads,
                       const char* tool) {
    FileResult result;
    result.kind = kind;
    Summary ours, serial, literal;
    ProgramMeasure bestTool{};
    for (int run = 0; run < runs; ++run) {
        // Each run starts with the next one in turn: a process that follows
        // the literal reader's finds the memory in small pieces and pays the
        // kernel for its large pages, and no one should pay that every time.
        Report r[3];
        ProgramMeasure t{};
        for (int k = 0; k < 4; ++k) {
            int which = (run + k) % 4;  // 0 to 2: the loaders, 3: the tool
            if (which < 3) {
                if (!Measure(Loader(which), threads, path.c_str(), &r[which])) return result;
            } else if (tool && !MeasureTool(tool, path.c_str(), &t)) {
                tool = nullptr;
            }
        }
        Add(ours, r[0], run);
        Add(serial, r[1], run);
        Add(literal, r[2], run);
        std::printf("run %d: ours %7.1f ms (cpu %7.1f)  serial %7.1f ms (cpu %7.1f)  literal %7.1f ms (cpu %7.1f)",
                    run + 1, r[0].ms, r[0].cpuMs, r[1].ms, r[1].cpuMs, r[2].ms, r[2].cpuMs);
        if (tool) {
            std::printf("  dump --summary %7.1f ms (cpu %7.1f)", t.ms, t.cpuMs);
            if (run == 0 || t.ms < bestTool.ms) bestTool = t;
        }
        std::printf("\n");
    }
    result.measured = true;
    const int used = ThreadsUsed(threads);
    const double storeMiB = double(ours.first.count) * sizeof(ModelTriangle) / 1048576.0;
    result.oursMs = ours.bestMs;
    result.serialMs = serial.bestMs;
    result.literalMs = literal.bestMs;
    result.toolMs = tool ? bestTool.ms : 0;
    result.oursMiB = MiB(double(ours.peakGrowthKiB));
    result.boundMiB = storeMiB + 16.0 + 2.0 * used;
    result.withinBound = result.oursMiB <= result.boundMiB;
    result.identical = ours.consistent && serial.consistent && literal.consistent &&
                       ours.first.hash == literal.first.hash && serial.first.hash == literal.first.hash &&
                       ours.first.count == literal.first.count && serial.first.count == literal.first.count &&
                       ours.first.mode == literal.first.mode && serial.first.mode == literal.first.mode;
    std::printf("  ours (LoadModelFile, %d threads): %8.1f ms  cpu %7.1f ms  peak +%.1f MiB%s\n", used,
                ours.bestMs, ours.bestCpuMs, result.oursMiB, ours.hwmReset ? "" : " (upper bound)");
    std::printf("  serial path (1 thread):         %8.1f ms  cpu %7.1f ms  peak +%.1f MiB\n", serial.bestMs,
                serial.bestCpuMs, MiB(double(serial.peakGrowthKiB)));
    std::printf("  literal (fgets + sscanf):       %8.1f ms  cpu %7.1f ms  peak +%.1f MiB\n", literal.bestMs,
                literal.bestCpuMs, MiB(double(literal.peakGrowthKiB)));
    if (tool)
        std::printf("  dump --summary (whole process): %8.1f ms  cpu %7.1f ms  max rss %.1f MiB\n",
                    bestTool.ms, bestTool.cpuMs, MiB(double(bestTool.maxRssKiB)));
    std::printf("  literal / ours:   %6.2fx  (cpu time %.2fx)   serial / ours: %.2fx\n",
                literal.bestMs / ours.bestMs, literal.bestCpuMs / ours.bestCpuMs, serial.bestMs / ours.bestMs);
    if (tool) std::printf("  literal / dump --summary: %6.2fx\n", literal.bestMs / bestTool.ms);
    std::printf("  peak growth of ours %.1f MiB; bound: store %.1f + 16 + 2 x %d threads = %.1f MiB: %s\n",
                result.oursMiB, storeMiB, used, result.boundMiB, result.withinBound ? "within" : "ABOVE");
    std::printf("  stores identical: %s (count %d, mode %d, hash %016" PRIx64 ")\n",
                result.identical ? "yes" : "NO", ours.first.count, ours.first.mode, ours.first.hash);
    if (!result.identical)
        std::printf("  serial hash %016" PRIx64 ", literal count %d mode %d hash %016" PRIx64 "\n",
                    serial.first.hash, literal.first.count, literal.first.mode, literal.first.hash);
    return result;
}

// Small files: LoadModelFile as the viewer runs it against its serial path,
// alternating, in this process. Prints medians and bests.
void MeasureSmallFile(const std::string& dir, long count, int mode, int threads) {
    std::string path = dir + "/small-" + std::to_string(count) + ".m";
    if (!WriteBenchModel(path, count, mode, NumberStyle::Short)) return;
    const int loads = count <= 10000 ? 301 : 21;
    std::vector<double> ours, serial;
    for (int i = 0; i < loads; ++i) {
        // Each first in turn, so that neither always finds the other's traces.
        for (int pass = 0; pass < 2; ++pass) {
            bool isOurs = (pass + i) % 2 == 0;
            modelLoadThreads = isOurs ? threads : 1;
            double start = NowMs();
            LoadModelFile(path.c_str());
            (isOurs ? ours : serial).push_back(NowMs() - start);
        }
    }
    modelLoadThreads = 0;
    ReleaseModelStore();
    std::remove(path.c_str());
    std::sort(ours.begin(), ours.end());
    std::sort(serial.begin(), serial.end());
    double oursMedian = ours[ours.size() / 2], serialMedian = serial[serial.size() / 2];
    std::printf("  %7ld triangles: ours %8.3f ms (best %8.3f)  serial path %8.3f ms (best %8.3f)  "
                "ours / serial %.2f (median of %d loads)\n",
                count, oursMedian, ours[0], serialMedian, serial[0], oursMedian / serialMedian, loads);
}

int Usage(const char* argv0) {
    std::fprintf(stderr,
                 "usage: %s [--count N] [--dir DIR] [--mode 0|1] [--runs R] [--threads T] [--tool PATH] [--keep]\n"
                 "       %s --file PATH [--runs R] [--threads T] [--tool PATH]\n",
                 argv0, argv0);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    long count = 1000000;
    int mode = 1;
    int runs = 5;
    int threads = 0;
    bool keep = false;
    const char* existing = nullptr;
#ifdef POLYVIEW_TOOL
    std::string tool = POLYVIEW_TOOL;
#else
    std::string tool;
#endif
    const char* tmp = std::getenv("TMPDIR");
    std::string dir = tmp && *tmp ? tmp : "/tmp";
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        bool hasValue = i + 1 < argc;
        if (arg == "--count" && hasValue) count = std::strtol(argv[++i], nullptr, 10);
        else if (arg == "--dir" && hasValue) dir = argv[++i];
        else if (arg == "--mode" && hasValue) mode = std::atoi(argv[++i]);
        else if (arg == "--runs" && hasValue) runs = std::atoi(argv[++i]);
        else if (arg == "--threads" && hasValue) threads = std::atoi(argv[++i]);
        else if (arg == "--tool" && hasValue) tool = argv[++i];
        else if (arg == "--file" && hasValue) existing = argv[++i];
        else if (arg == "--keep") keep = true;
        else return Usage(argv[0]);
    }
    if (count <= 0 || count > MaxTriangleCount || (mode != 0 && mode != 1) || runs < 1 || threads < 0)
        return Usage(argv[0]);
    const char* toolPath = !tool.empty() && access(tool.c_str(), X_OK) == 0 ? tool.c_str() : nullptr;
    if (!toolPath) std::printf("no polyview-tool to run: dump --summary is left out\n");
    std::printf("threads: %d (of %u on this machine)\n", ThreadsUsed(threads),
                std::thread::hardware_concurrency());

    std::vector<FileResult> results;
    if (existing) {
        std::printf("\n== %s\n", existing);
        results.push_back(MeasureFile("given file", existing, runs, threads, toolPath));
    } else {
        std::string workDir = dir + "/polyview-bench-XXXXXX";
        if (!mkdtemp(&workDir[0])) {
            std::fprintf(stderr, "cannot create a directory under %s: %s\n", dir.c_str(), std::strerror(errno));
            return 1;
        }
        const struct {
            const char* kind;
            const char* name;
            NumberStyle style;
        } kinds[] = {{"short numbers", "short.m", NumberStyle::Short},
                     {"six decimals", "six-decimals.m", NumberStyle::SixDecimals}};
        for (const auto& kind : kinds) {
            std::string path = workDir + "/" + kind.name;
            double start = NowMs();
            if (!WriteBenchModel(path, count, mode, kind.style)) return 1;
            struct stat st{};
            stat(path.c_str(), &st);
            std::printf("\n== %s: %s, %.1f MiB, %ld triangles, mode %d (written in %.0f ms)\n", kind.kind,
                        path.c_str(), st.st_size / 1048576.0, count, mode, NowMs() - start);
            results.push_back(MeasureFile(kind.kind, path, runs, threads, toolPath));
            if (keep) std::printf("kept %s\n", path.c_str());
            else std::remove(path.c_str());
        }
        std::printf("\n== small files (short numbers, mode %d): LoadModelFile against its serial path\n", mode);
        MeasureSmallFile(workDir, 1000, mode, threads);
        MeasureSmallFile(workDir, 100000, mode, threads);
        if (!keep) rmdir(workDir.c_str());
    }

    std::printf("\n== summary (best of %d runs; ratios against the literal fgets + sscanf loader)\n", runs);
    std::printf("  %-14s %9s %9s %9s %9s %8s %8s %8s  %s\n", "file", "ours", "serial", "literal", "dump",
                "lit/ours", "lit/dump", "peak", "identical");
    int status = 0;
    for (const FileResult& r : results) {
        if (!r.measured) {
            std::printf("  %-14s not measured\n", r.kind);
            status = 1;
            continue;
        }
        char dump[32] = "-", dumpRatio[32] = "-";
        if (r.toolMs > 0) {
            std::snprintf(dump, sizeof dump, "%.1f", r.toolMs);
            std::snprintf(dumpRatio, sizeof dumpRatio, "%.2fx", r.literalMs / r.toolMs);
        }
        std::printf("  %-14s %9.1f %9.1f %9.1f %9s %7.2fx %8s %8s  %s\n", r.kind, r.oursMs, r.serialMs,
                    r.literalMs, dump, r.literalMs / r.oursMs, dumpRatio,
                    r.withinBound ? "within" : "ABOVE", r.identical ? "yes" : "NO");
        if (!r.identical) status = 1;
    }
    return status;
}
