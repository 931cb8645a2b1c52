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

#include "progress_line.h"

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

// Pipe records, in the child's own layout (same program, same build):
// a header, then `count` triangles or `count` bytes of the importer's reason.
constexpr char RecordMagic[4] = {'P', 'V', 'I', '1'};
constexpr uint8_t MeshRecord = 1;
constexpr uint8_t ReasonRecord = 2;
constexpr size_t HeaderBytes = 16;  // magic, kind, texture coordinates, up, front, count
constexpr size_t MaxReasonBytes = 4096;

void PutHeader(uint8_t* header, uint8_t kind, bool hasTextureCoordinates, SignedAxis up, SignedAxis front,
               uint64_t count) {
    std::memcpy(header, RecordMagic, 4);
    header[4] = kind;
    header[5] = hasTextureCoordinates ? 1 : 0;
    header[6] = uint8_t(int8_t(up));
    header[7] = uint8_t(int8_t(front));
    std::memcpy(header + 8, &count, 8);
}

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

bool WriteAll(int fd, const void* data, size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = write(fd, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= size_t(n);
    }
    return true;
}

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

// The axis that a scene's metadata names (FBX states its axes this way).
SignedAxis MetadataAxis(const aiScene* scene, const char* axisKey, const char* signKey) {
    if (!scene->mMetaData) return 0;
    int32_t axis = -1, sign = 1;
    if (!scene->mMetaData->Get(std::string(axisKey), axis) || axis < 0 || axis > 2) return 0;
    scene->mMetaData->Get(std::string(signKey), sign);
    return sign < 0 ? -(axis + 1) : axis + 1;
}

bool IsUsableFace(const aiFace& face, unsigned vertexCount) {
    if (face.mNumIndices != 3) return false;  // points and lines
    for (int i = 0; i < 3; ++i)
        if (face.mIndices[i] >= vertexCount) return false;
    return true;
}

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

    uint8_t header[HeaderBytes];
    ProgressLine line(progressOut);  // goes on with the line the parent began
    Assimp::Importer importer;
    // Points and lines have no place in a triangle model.
    importer.SetPropertyInteger(AI_CONFIG_PP_SBP_REMOVE, aiPrimitiveType_POINT | aiPrimitiveType_LINE);
    importer.SetProgressHandler(new ImportProgress(&line));  // owned by the importer
    const aiScene* scene = importer.ReadFile(
        path, aiProcess_Triangulate | aiProcess_PreTransformVertices | aiProcess_SortByPType);
    if (!scene) {
        std::string reason = importer.GetErrorString();
        if (reason.size() > MaxReasonBytes) reason.resize(MaxReasonBytes);
        PutHeader(header, ReasonRecord, false, 0, 0, reason.size());
        WriteAll(out, header, sizeof header);
        WriteAll(out, reason.data(), reason.size());
        _exit(0);
    }

    uint64_t count = 0;
    bool hasTextureCoordinates = false;
    for (unsigned m = 0; m < scene->mNumMeshes; ++m) {
        const aiMesh* source = scene->mMeshes[m];
        if (source->HasTextureCoords(0)) hasTextureCoordinates = true;
        for (unsigned f = 0; f < source->mNumFaces; ++f)
            count += IsUsableFace(source->mFaces[f], source->mNumVertices);
    }
    PutHeader(header, MeshRecord, hasTextureCoordinates, MetadataAxis(scene, "UpAxis", "UpAxisSign"),
              MetadataAxis(scene, "FrontAxis", "FrontAxisSign"), count);
    if (!WriteAll(out, header, sizeof header) || count > uint64_t(MaxTriangleCount)) _exit(0);

    std::vector<ModelTriangle> chunk;
    chunk.reserve(4096);
    for (unsigned m = 0; m < scene->mNumMeshes; ++m) {
        const aiMesh* source = scene->mMeshes[m];
        const aiVector3D* uv = source->HasTextureCoords(0) ? source->mTextureCoords[0] : nullptr;
        for (unsigned f = 0; f < source->mNumFaces; ++f) {
            const aiFace& face = source->mFaces[f];
            if (!IsUsableFace(face, source->mNumVertices)) continue;
            ModelTriangle triangle;
            for (int i = 0; i < 3; ++i) {
                unsigned index = face.mIndices[i];
                const aiVector3D& p = source->mVertices[index];
                ModelVertex& vertex = triangle.vertices[i];
                vertex.x = p.x;
                vertex.y = p.y;
                vertex.z = p.z;
                vertex.u = uv ? uv[index].x : 0.0f;
                vertex.v = uv ? uv[index].y : 0.0f;
            }
            chunk.push_back(triangle);
            if (chunk.size() == chunk.capacity()) {
                if (!WriteAll(out, chunk.data(), chunk.size() * sizeof(ModelTriangle))) _exit(1);
                chunk.clear();
            }
        }
    }
    WriteAll(out, chunk.data(), chunk.size() * sizeof(ModelTriangle));
    _exit(0);
}

// ---------------------------------------------------------------------------
// The parent.

// What has come through the pipe so far.
struct Received {
    uint8_t header[HeaderBytes];
    size_t headerBytes = 0;
    uint64_t count = 0;
    uint64_t payloadBytes = 0;  // expected after the header
    uint64_t payloadDone = 0;
    std::string reason;
    std::vector<ModelTriangle>* triangles = nullptr;
    bool isBroken = false;  // not what the child writes

    bool IsHeaderDone() const { return headerBytes == HeaderBytes; }
    bool IsMesh() const { return header[4] == MeshRecord; }
    bool IsComplete() const { return IsHeaderDone() && payloadDone == payloadBytes; }

    // Where the next bytes go, and how many may come.
    char* Space(size_t* room) {
        if (!IsHeaderDone()) {
            *room = HeaderBytes - headerBytes;
            return reinterpret_cast<char*>(header) + headerBytes;
        }
        uint64_t left = payloadBytes - payloadDone;
        if (IsMesh()) {
            // Grow as the data comes, never on the header's word alone.
            size_t needed = size_t(payloadDone / sizeof(ModelTriangle)) + 1;
            if (triangles->size() < needed) {
                size_t grown = triangles->size() < 1024 ? 1024 : triangles->size() * 2;
                if (grown > count) grown = size_t(count);
                triangles->resize(grown);
            }
            uint64_t space = uint64_t(triangles->size()) * sizeof(ModelTriangle) - payloadDone;
            *room = size_t(space < left ? space : left);
            return reinterpret_cast<char*>(triangles->data()) + payloadDone;
        }
        reason.resize(size_t(payloadBytes));
        *room = size_t(left);
        return &reason[size_t(payloadDone)];
    }

    void Take(size_t n) {
        if (IsHeaderDone()) {
            payloadDone += n;
            return;
        }
        headerBytes += n;
        if (!IsHeaderDone()) return;
        std::memcpy(&count, header + 8, 8);
        if (std::memcmp(header, RecordMagic, 4) != 0 ||
            (header[4] != MeshRecord && header[4] != ReasonRecord) ||
            (header[4] == ReasonRecord && count > MaxReasonBytes)) {
            isBroken = true;
            return;
        }
        if (IsMesh())
            payloadBytes = count <= uint64_t(MaxTriangleCount) ? count * sizeof(ModelTriangle) : 0;
        else
            payloadBytes = count;
    }
};

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

    Received received;
    received.triangles = &mesh->triangles;
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
        if (received.isBroken) break;
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
    } else if (received.isBroken || !received.IsComplete()) {
        result.outcome = ImportOutcome::Crashed;
        result.reason = "it ended without a result";
    } else if (!received.IsMesh()) {
        result.outcome = ImportOutcome::Refused;
        result.reason = received.reason;
    } else if (received.count > uint64_t(MaxTriangleCount)) {
        result.outcome = ImportOutcome::Refused;
        result.reason = "it holds " + std::to_string(received.count) +
                        " triangles, more than the viewer takes (" + std::to_string(MaxTriangleCount) + ")";
    } else if (received.count == 0) {
        result.outcome = ImportOutcome::Refused;
        result.reason = "it holds no triangles";
    } else {
        result.outcome = ImportOutcome::Imported;
        mesh->triangles.resize(size_t(received.count));
        mesh->hasTextureCoordinates = received.header[5] != 0;
        mesh->reportedUp = int8_t(received.header[6]);
        mesh->reportedFront = int8_t(received.header[7]);
    }
    if (result.outcome != ImportOutcome::Imported) {
        mesh->triangles.clear();
        mesh->triangles.shrink_to_fit();
    }
    return result;
}
