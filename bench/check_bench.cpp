// Check-time benchmark: how long `polyview-tool check` takes on a clean
// model, against loading the same file with LoadModelFile in the same run,
// both in this process. Prints the figures; it fails only when the check
// finds a problem in the clean file or disagrees with the loader about count
// and mode.
//
//   check_bench [--count N] [--runs R] [--dir DIR] [--keep]
//
// Defaults: 1,000,000 triangles in mode 1, best of 5 runs each, the file
// under $TMPDIR (or /tmp), removed afterwards unless --keep is given.

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bench_support.h"
#include "check_model.h"
#include "model/model.h"

namespace {

struct Timing {
    double wall;  // seconds
    double cpu;
};

template <typename Work>
Timing Measure(Work work) {
    const WorkMeasure measure = MeasureHere(work);
    return {measure.ms / 1e3, measure.cpuMs / 1e3};
}

}  // namespace

int main(int argc, char** argv) {
    int32_t count = 1000000;
    int runs = 5;
    bool keep = false;
    const char* tmp = std::getenv("TMPDIR");
    std::string dir = tmp && *tmp ? tmp : "/tmp";
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--count") == 0 && i + 1 < argc) {
            count = int32_t(std::atol(argv[++i]));
        } else if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else if (std::strcmp(argv[i], "--dir") == 0 && i + 1 < argc) {
            dir = argv[++i];
        } else if (std::strcmp(argv[i], "--keep") == 0) {
            keep = true;
        } else {
            std::fprintf(stderr, "usage: check_bench [--count N] [--runs R] [--dir DIR] [--keep]\n");
            return 2;
        }
    }
    if (count < 1) count = 1;

    std::string path = dir + "/polyview-check-bench-" + std::to_string(getpid()) + ".m";
    std::printf("writing %d triangles (mode 1) to %s\n", int(count), path.c_str());
    if (!WriteBenchModel(path, count, 1, NumberStyle::InView)) return 1;
    FILE* size = std::fopen(path.c_str(), "rb");
    std::fseek(size, 0, SEEK_END);
    std::printf("file size: %.1f MB\n", double(std::ftell(size)) / 1e6);
    std::fclose(size);

    FILE* sink = std::fopen("/dev/null", "w");
    Timing bestLoad = {1e30, 1e30}, bestCheck = {1e30, 1e30};
    CheckReport report;
    report.out = sink;
    ModelCheckResult result;
    int32_t loadedCount = 0, loadedMode = 0;
    // Alternate the two so that both see the same cache and clock state.
    for (int run = 0; run < runs; ++run) {
        Timing load = Measure([&] { LoadModelFile(path.c_str()); });
        loadedCount = ModelStore.triangleCount;
        loadedMode = ModelStore.TextureMode;
        report.warnings = report.errors = 0;
        Timing check = Measure([&] { result = CheckModelFile(path.c_str(), path, &report); });
        std::printf("run %d: load %.3f s (cpu %.3f s), check %.3f s (cpu %.3f s)\n", run + 1, load.wall,
                    load.cpu, check.wall, check.cpu);
        bestLoad = {std::min(bestLoad.wall, load.wall), std::min(bestLoad.cpu, load.cpu)};
        bestCheck = {std::min(bestCheck.wall, check.wall), std::min(bestCheck.cpu, check.cpu)};
    }
    std::fclose(sink);

    int status = 0;
    if (report.warnings || report.errors) {
        std::printf("FAILED: the check reported %d warnings and %d errors on a clean file\n", report.warnings,
                    report.errors);
        status = 1;
    }
    if (result.triangleCount != loadedCount || result.textureMode != loadedMode) {
        std::printf("FAILED: check says %d triangles in mode %d, the loader %d in mode %d\n",
                    int(result.triangleCount), int(result.textureMode), int(loadedCount), int(loadedMode));
        status = 1;
    }
    std::printf("LoadModelFile (best of %d): %.3f s, cpu %.3f s\n", runs, bestLoad.wall, bestLoad.cpu);
    std::printf("check         (best of %d): %.3f s, cpu %.3f s\n", runs, bestCheck.wall, bestCheck.cpu);
    std::printf("check / load: %.2f (cpu time: %.2f, aim: below 2)\n", bestCheck.wall / bestLoad.wall,
                bestCheck.cpu / bestLoad.cpu);

    ReleaseModelStore();
    if (!keep) std::remove(path.c_str());
    return status;
}
