// Check-time benchmark: how long `polyview-tool check` takes on a clean
// model, against loading the same file with LoadModelFile in the same run,
// each in a child process of its own. Prints the figures; it fails only when
// the check finds a problem in the clean file or disagrees with the loader
// about count and mode.
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

struct Outcome {
    int32_t count, mode;
    int warnings, errors;
};

// LoadModelFile, or the whole check, in a child process.
bool MeasureRun(bool isCheck, const std::string& path, Timing* timing, Outcome* outcome) {
    Outcome seen{};
    auto work = [&] {
        if (!isCheck) {
            LoadModelFile(path.c_str());
            seen = {ModelStore.triangleCount, ModelStore.TextureMode, 0, 0};
            return;
        }
        FILE* sink = std::fopen("/dev/null", "w");
        CheckReport report;
        report.out = sink;
        ModelCheckResult result = CheckModelFile(path.c_str(), path, &report);
        seen = {result.triangleCount, result.textureMode, report.warnings, report.errors};
        std::fclose(sink);
    };
    ChildMeasure measure{};
    if (!MeasureInChild(isCheck ? "check" : "load", work, [&](Outcome* out) { *out = seen; }, &measure,
                        outcome))
        return false;
    *timing = {measure.ms / 1e3, measure.cpuMs / 1e3};
    return true;
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

    Timing bestLoad = {1e30, 1e30}, bestCheck = {1e30, 1e30};
    Outcome loaded{}, checked{};
    int status = 0;
    // Alternate the two so that both see the same cache and clock state.
    for (int run = 0; run < runs && status == 0; ++run) {
        Timing load{}, check{};
        if (!MeasureRun(false, path, &load, &loaded) || !MeasureRun(true, path, &check, &checked)) {
            status = 1;
            break;
        }
        std::printf("run %d: load %.3f s (cpu %.3f s), check %.3f s (cpu %.3f s)\n", run + 1, load.wall,
                    load.cpu, check.wall, check.cpu);
        bestLoad = {std::min(bestLoad.wall, load.wall), std::min(bestLoad.cpu, load.cpu)};
        bestCheck = {std::min(bestCheck.wall, check.wall), std::min(bestCheck.cpu, check.cpu)};
    }

    if (checked.warnings || checked.errors) {
        std::printf("FAILED: the check reported %d warnings and %d errors on a clean file\n", checked.warnings,
                    checked.errors);
        status = 1;
    }
    if (checked.count != loaded.count || checked.mode != loaded.mode) {
        std::printf("FAILED: check says %d triangles in mode %d, the loader %d in mode %d\n", int(checked.count),
                    int(checked.mode), int(loaded.count), int(loaded.mode));
        status = 1;
    }
    std::printf("LoadModelFile (best of %d): %.3f s, cpu %.3f s\n", runs, bestLoad.wall, bestLoad.cpu);
    std::printf("check         (best of %d): %.3f s, cpu %.3f s\n", runs, bestCheck.wall, bestCheck.cpu);
    std::printf("check / load: %.2f (cpu time: %.2f, aim: below 2)\n", bestCheck.wall / bestLoad.wall,
                bestCheck.cpu / bestLoad.cpu);

    if (!keep) std::remove(path.c_str());
    return status;
}
