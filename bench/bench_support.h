// What the load and check benchmarks share: the model files they generate,
// and the measurement of work (time, processor time and the growth of peak
// memory) in this process or in a child process of its own, and of a whole
// program run.
#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <type_traits>

// How the generated files write their numbers: the mixed forms that
// exporters and hand edits write, positions up to +-5000; "%.6f" always,
// positions up to +-1000; or "%.6f" with the model inside the view (a file
// that check finds nothing in).
enum class NumberStyle { Short, SixDecimals, InView };

// Streams a model of `count` triangles in `mode` to `path`, with comment and
// empty lines among the vertex lines; nothing but one line is held in
// memory. The same arguments give the same file. False (with a message) when
// it cannot be written.
bool WriteBenchModel(const std::string& path, long count, int mode, NumberStyle style);

double NowMs();
double ProcessCpuMs();

struct WorkMeasure {
    double ms;
    double cpuMs;           // user + system time; steadier than wall time on a busy machine
    int64_t peakGrowthKiB;  // growth of peak resident memory over the work
    bool isPeakReset;       // false: the inherited peak could not be reset, so the growth is an upper bound
};

// Measures `work()` in this process.
template <typename Work>
WorkMeasure MeasureHere(Work work);

// Runs `work()` in a child process and measures it there, then `describe(&result)`
// unmeasured; `result` (plain data) comes back with the figures. False, with
// a message naming `what`, when the child fails.
template <typename Result, typename Work, typename Describe>
bool MeasureInChild(const char* what, Work work, Describe describe, WorkMeasure* measure, Result* result);

struct ProgramMeasure {
    double ms;
    double cpuMs;
    int64_t maxRssKiB;
};

// Runs the program `argv[0]` with `argv`, its standard output to /dev/null,
// as a whole process: start, work, exit. False when it fails.
bool MeasureProgram(const char* const* argv, ProgramMeasure* out);

// Internals of MeasureHere and MeasureInChild.
namespace bench_detail {
struct MeasureStart {
    int64_t baselineKiB;
    bool isPeakReset;
    double cpuStart, start;
};
MeasureStart StartMeasure();
WorkMeasure EndMeasure(const MeasureStart& start);
// Forks; in the child runs `body(fd)` and exits with its result. In the
// parent reads `size` bytes from the child's pipe into `out`.
bool RunChild(const char* what, void (*body)(int fd, void* context), void* context, void* out, size_t size);
bool WriteAll(int fd, const void* data, size_t size);
}  // namespace bench_detail

template <typename Work>
WorkMeasure MeasureHere(Work work) {
    const bench_detail::MeasureStart start = bench_detail::StartMeasure();
    work();
    return bench_detail::EndMeasure(start);
}

template <typename Result, typename Work, typename Describe>
bool MeasureInChild(const char* what, Work work, Describe describe, WorkMeasure* measure, Result* result) {
    static_assert(std::is_trivially_copyable<Result>::value, "the result crosses a pipe");
    struct Outcome {
        WorkMeasure measure;
        Result result;
    };
    struct Context {
        Work& work;
        Describe& describe;
    } context{work, describe};
    Outcome outcome{};
    auto body = [](int fd, void* pointer) {
        Context& c = *static_cast<Context*>(pointer);
        Outcome o{};
        const bench_detail::MeasureStart start = bench_detail::StartMeasure();
        c.work();
        o.measure = bench_detail::EndMeasure(start);
        c.describe(&o.result);
        _exit(bench_detail::WriteAll(fd, &o, sizeof o) ? 0 : 1);
    };
    if (!bench_detail::RunChild(what, body, &context, &outcome, sizeof outcome)) return false;
    *measure = outcome.measure;
    *result = outcome.result;
    return true;
}
