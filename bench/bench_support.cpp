// The load and check benchmarks' generated models and measurements.
#include "bench_support.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "bench_random.h"
#include "model/model_format.h"

namespace {

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

double Position(Rng& rng, NumberStyle style) {
    if (style == NumberStyle::SixDecimals) return rng.Unit() * 2000.0 - 1000.0;
    if (style == NumberStyle::InView) return rng.Unit() * 2.0 - 1.0;
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

// Appends one number in the given style: the mixed forms of PutNumber, or
// six decimals always.
char* PutStyledNumber(char* p, Rng& rng, double value, NumberStyle style) {
    if (style != NumberStyle::Short) return p + std::sprintf(p, "%.6f", value);
    return PutNumber(p, rng, value);
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

bool ResetHighWaterMark() {
    int fd = open("/proc/self/clear_refs", O_WRONLY);
    if (fd < 0) return false;
    bool ok = write(fd, "5", 1) == 1;
    close(fd);
    return ok;
}

}  // namespace

bool WriteBenchModel(const std::string& path, long count, int mode, NumberStyle style) {
    FILE* f = std::fopen(path.c_str(), "w");
    if (!f) {
        std::fprintf(stderr, "cannot create %s: %s\n", path.c_str(), std::strerror(errno));
        return false;
    }
    static char buffer[1 << 20];
    std::setvbuf(f, buffer, _IOFBF, sizeof buffer);
    Rng rng{0x5EEDu + uint64_t(count)};
    std::fprintf(f, "# polyview benchmark model, %ld triangles\n", count);
    WriteModelHeader(f, count, mode);
    std::fputs("\n", f);
    char line[256];
    for (long t = 0; t < count; ++t) {
        if (t % 4096 == 0) std::fprintf(f, "# part %ld\n", t / 4096);
        if (t % 25000 == 12345) std::fputs("\n", f);
        for (int k = 0; k < 3; ++k) {
            char* p = line;
            p += std::sprintf(p, "%s", VertexKeyword);
            for (int i = 0; i < 3; ++i) {
                *p++ = ' ';
                if (rng.Below(50) == 0) *p++ = ' ';  // aligned columns now and then
                p = PutStyledNumber(p, rng, Position(rng, style), style);
            }
            if (mode == 1) {
                p += std::sprintf(p, " >> %s ", TexCoordKeyword);
                p = PutStyledNumber(p, rng, TexCoord(rng), style);
                *p++ = ' ';
                p = PutStyledNumber(p, rng, TexCoord(rng), style);
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

double NowMs() {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

double ProcessCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

namespace bench_detail {

MeasureStart StartMeasure() {
    MeasureStart start{};
    start.isPeakReset = ResetHighWaterMark();
    // Without a reset the inherited mark may sit above the baseline; the
    // growth is then an upper bound.
    start.baselineKiB = StatusKiB("VmRSS");
    start.cpuStart = ProcessCpuMs();
    start.start = NowMs();
    return start;
}

WorkMeasure EndMeasure(const MeasureStart& start) {
    WorkMeasure measure{};
    measure.ms = NowMs() - start.start;
    measure.cpuMs = ProcessCpuMs() - start.cpuStart;
    measure.peakGrowthKiB = StatusKiB("VmHWM") - start.baselineKiB;
    measure.isPeakReset = start.isPeakReset;
    return measure;
}

bool WriteAll(int fd, const void* data, size_t size) {
    return write(fd, data, size) == ssize_t(size);
}

bool RunChild(const char* what, void (*body)(int fd, void* context), void* context, void* out, size_t size) {
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
        body(fds[1], context);
        _exit(1);
    }
    close(fds[1]);
    size_t got = 0;
    char* dst = static_cast<char*>(out);
    while (got < size) {
        ssize_t n = read(fds[0], dst + got, size - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += size_t(n);
    }
    close(fds[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
    if (got != size || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s child failed (status %d)\n", what, status);
        return false;
    }
    return true;
}

}  // namespace bench_detail

bool MeasureProgram(const char* const* argv, ProgramMeasure* out) {
    std::fflush(stdout);
    std::fflush(stderr);
    double start = NowMs();
    pid_t pid = fork();
    if (pid < 0) {
        std::perror("fork");
        return false;
    }
    if (pid == 0) {
        int null = open("/dev/null", O_WRONLY);
        if (null >= 0) dup2(null, STDOUT_FILENO);
        execv(argv[0], const_cast<char* const*>(argv));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {}
    out->ms = NowMs() - start;
    out->cpuMs = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
                 double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
    out->maxRssKiB = usage.ru_maxrss;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s failed (status %d)\n", argv[0], status);
        return false;
    }
    return true;
}
