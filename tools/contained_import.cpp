// convert's import in a child process under a memory and a time limit.
#include "contained_import.h"

#include <assimp/config.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <assimp/Importer.hpp>
#include <assimp/ProgressHandler.hpp>
#include <cerrno>
#include <cstring>
#include <new>

#include "import_pipe.h"
#include "progress_line.h"
#include "scene_triangles.h"

namespace {

#if defined(POLYVIEW_SANITIZE) || defined(__SANITIZE_ADDRESS__)
// AddressSanitizer reserves terabytes of address space for its shadow
// memory, so an address-space limit cannot work; the parent watches the
// child's resident size instead.
constexpr bool IsSanitized = true;
#else
constexpr bool IsSanitized = false;
#endif

// Exit status of a child whose allocation failed under the memory limit.
constexpr int ChildOutOfMemoryStatus = 86;

double Now() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// Pages of a process: its address space (field 0) or its resident set (1).
int64_t StatmPages(pid_t pid, int field) {
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/statm", int(pid));
    FILE* file = std::fopen(path, "r");
    if (!file) return 0;
    long long values[2] = {0, 0};
    int read = std::fscanf(file, "%lld %lld", &values[0], &values[1]);
    std::fclose(file);
    return read == 2 ? values[field] : 0;
}

}  // namespace

bool LimitAddressSpace(int64_t memoryMiB) {
    if (IsSanitized) return false;
    rlim_t bytes = rlim_t(StatmPages(getpid(), 0)) * rlim_t(sysconf(_SC_PAGESIZE)) + (rlim_t(memoryMiB) << 20);
    rlimit space = {bytes, bytes};
    return setrlimit(RLIMIT_AS, &space) == 0;
}

namespace {

// ---------------------------------------------------------------------------
// The child.

void OnOutOfMemory() {
    _exit(ChildOutOfMemoryStatus);
}

class ImportProgress : public Assimp::ProgressHandler {
public:
    explicit ImportProgress(ProgressLine* line) : line_(line) {}
    bool Update(float percentage) override {
        if (percentage >= 0) line_->Show("reading", percentage);
        return true;  // never cancel
    }

private:
    ProgressLine* line_;
};

[[noreturn]] void RunChild(const char* path, const ImportLimits& limits, bool showProgress, int out) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    rlimit noCore = {0, 0};
    setrlimit(RLIMIT_CORE, &noCore);  // a crash leaves no core file behind
    rlim_t seconds = rlim_t(limits.seconds);
    rlimit cpu = {seconds + 5, seconds + 10};  // a backstop; the parent keeps the time
    setrlimit(RLIMIT_CPU, &cpu);
    std::set_new_handler(OnOutOfMemory);
    // A crash ends the child by its signal, also where a sanitizer would
    // catch it to report it.
    for (int crash : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT}) signal(crash, SIG_DFL);

    // Progress goes to a copy of standard error; what the importer itself
    // prints (assertions, log lines) is not for the user.
    FILE* progressOut = nullptr;
    if (showProgress) progressOut = fdopen(dup(STDERR_FILENO), "w");
    if (!IsSanitized) {
        int devNull = open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (devNull >= 0) {
            dup2(devNull, STDOUT_FILENO);
            dup2(devNull, STDERR_FILENO);
        }
        LimitAddressSpace(limits.memoryMiB);
    }

    ProgressLine line(progressOut);  // goes on with the line the parent began
    Assimp::Importer importer;
    // Points and lines have no place in a triangle model.
    importer.SetPropertyInteger(AI_CONFIG_PP_SBP_REMOVE, aiPrimitiveType_POINT | aiPrimitiveType_LINE);
    importer.SetProgressHandler(new ImportProgress(&line));  // owned by the importer
    const aiScene* scene = importer.ReadFile(
        path, aiProcess_Triangulate | aiProcess_PreTransformVertices | aiProcess_SortByPType);
    ImportRecordHeader header;
    if (!scene) {
        std::string reason = importer.GetErrorString();
        if (reason.size() > MaxImportReasonBytes) reason.resize(MaxImportReasonBytes);
        header.kind = ImportRecordKind::Reason;
        header.count = reason.size();
        if (WriteImportHeader(out, header)) WriteAll(out, reason.data(), reason.size());
        _exit(0);
    }

    header.kind = ImportRecordKind::Mesh;
    header.count = CountSceneTriangles(scene, &header.hasTextureCoordinates);
    header.up = MetadataAxis(scene, "UpAxis", "UpAxisSign");
    header.front = MetadataAxis(scene, "FrontAxis", "FrontAxisSign");
    if (!WriteImportHeader(out, header) || header.count > uint64_t(MaxTriangleCount)) _exit(0);
    const bool isSent = FlattenSceneTriangles(scene, [out](const ModelTriangle* triangles, size_t count) {
        return WriteAll(out, triangles, count * sizeof(ModelTriangle));
    });
    _exit(isSent ? 0 : 1);
}

}  // namespace

ImportResult ImportContained(const char* path, const ImportLimits& limits, FILE* progress,
                             ImportedMesh* mesh) {
    ImportResult result;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        result.outcome = ImportOutcome::Refused;
        result.reason = std::string("cannot start the importer: ") + std::strerror(errno);
        return result;
    }
    std::fflush(nullptr);
    pid_t child = fork();
    if (child < 0) {
        result.outcome = ImportOutcome::Refused;
        result.reason = std::string("cannot start the importer: ") + std::strerror(errno);
        close(fds[0]);
        close(fds[1]);
        return result;
    }
    if (child == 0) {
        close(fds[0]);
        RunChild(path, limits, progress != nullptr, fds[1]);
    }
    close(fds[1]);

    const double deadline = Now() + double(limits.seconds);
    const int64_t pageBytes = sysconf(_SC_PAGESIZE);
    const int64_t startResident = IsSanitized ? StatmPages(child, 1) * pageBytes : 0;
    bool isKilledForTime = false, isKilledForMemory = false;
    auto stop = [&](bool* why) {
        *why = true;
        kill(child, SIGKILL);
    };
    auto isOverMemory = [&]() {
        return IsSanitized && StatmPages(child, 1) * pageBytes - startResident > (limits.memoryMiB << 20);
    };

    ImportReceiver received(&mesh->triangles);
    mesh->triangles.clear();
    for (;;) {
        double left = deadline - Now();
        if (left <= 0) {
            stop(&isKilledForTime);
            break;
        }
        if (isOverMemory()) {
            stop(&isKilledForMemory);
            break;
        }
        // Sanitizer builds look at the child's size every 20 ms.
        int wait = left > 2e6 ? 2000000000 : int(left * 1000) + 1;
        if (IsSanitized && wait > 20) wait = 20;
        pollfd entry = {fds[0], POLLIN, 0};
        int ready = poll(&entry, 1, wait);
        if (ready < 0 && errno != EINTR) break;
        if (ready <= 0) continue;
        size_t room = 0;
        char* space = received.Space(&room);
        if (room == 0) break;  // all there: the rest is not ours
        ssize_t n = read(fds[0], space, room);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;  // end of the pipe
        received.Take(size_t(n));
        if (received.IsBroken()) break;
    }
    close(fds[0]);

    // The child ends right after its last record.
    int status = 0;
    for (;;) {
        pid_t done = waitpid(child, &status, WNOHANG);
        if (done == child) break;
        if (done < 0 && errno != EINTR) break;
        if (!isKilledForTime && !isKilledForMemory) {
            if (Now() >= deadline)
                stop(&isKilledForTime);
            else if (isOverMemory())
                stop(&isKilledForMemory);
        }
        pollfd none = {-1, 0, 0};
        poll(&none, 1, 5);
    }

    if (isKilledForTime) {
        result.outcome = ImportOutcome::TimedOut;
    } else if (isKilledForMemory || (WIFEXITED(status) && WEXITSTATUS(status) == ChildOutOfMemoryStatus)) {
        result.outcome = ImportOutcome::OutOfMemory;
    } else if (WIFSIGNALED(status) && WTERMSIG(status) == SIGXCPU) {
        result.outcome = ImportOutcome::TimedOut;
    } else if (WIFSIGNALED(status)) {
        result.outcome = ImportOutcome::Crashed;
        result.reason = "signal " + std::to_string(WTERMSIG(status));
    } else if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        result.outcome = ImportOutcome::Crashed;
        result.reason = "exit status " + std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    } else if (received.IsBroken() || !received.IsComplete()) {
        result.outcome = ImportOutcome::Crashed;
        result.reason = "it ended without a result";
    } else if (received.Header().kind != ImportRecordKind::Mesh) {
        result.outcome = ImportOutcome::Refused;
        result.reason = received.Reason();
    } else if (received.Header().count > uint64_t(MaxTriangleCount)) {
        result.outcome = ImportOutcome::Refused;
        result.reason = "it holds " + std::to_string(received.Header().count) +
                        " triangles, more than the viewer takes (" + std::to_string(MaxTriangleCount) + ")";
    } else if (received.Header().count == 0) {
        result.outcome = ImportOutcome::Refused;
        result.reason = "it holds no triangles";
    } else {
        result.outcome = ImportOutcome::Imported;
        mesh->triangles.resize(size_t(received.Header().count));
        mesh->hasTextureCoordinates = received.Header().hasTextureCoordinates;
        mesh->reportedUp = received.Header().up;
        mesh->reportedFront = received.Header().front;
    }
    if (result.outcome != ImportOutcome::Imported) {
        mesh->triangles.clear();
        mesh->triangles.shrink_to_fit();
    }
    return result;
}
