// polyview-tool convert: a mesh in a common format (anything the Open Asset
// Import Library reads) written as a model file the viewer reads whole.
#include <assimp/config.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <assimp/Importer.hpp>
#include <assimp/ProgressHandler.hpp>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "check_model.h"
#include "commands.h"
#include "model/model.h"

namespace {

// Inputs at least this large show their progress on a terminal.
constexpr long long LargeInputBytes = 8ll << 20;

// Share of the view's height that a fitted model's bounding sphere fills.
constexpr double FitMargin = 0.95;

int Usage() {
    std::fputs("usage: polyview-tool convert IN OUT [--fit] [--mode 0|1]\n", stderr);
    return ExitUsage;
}

// One line of progress on standard error, rewritten in place.
class ProgressLine {
public:
    explicit ProgressLine(bool isShown) : isShown_(isShown) {}
    void Show(const char* stage, double fraction) {
        if (!isShown_) return;
        int percent = int(fraction * 100);
        if (percent < 0) percent = 0;
        if (percent > 100) percent = 100;
        if (stage == stage_ && percent == percent_) return;
        stage_ = stage;
        percent_ = percent;
        std::fprintf(stderr, "\rpolyview-tool convert: %s %3d%%", stage, percent);
        std::fflush(stderr);
    }
    void Finish() {
        if (isShown_ && stage_) std::fputs("\n", stderr);
        stage_ = nullptr;
    }

private:
    bool isShown_;
    const char* stage_ = nullptr;
    int percent_ = -1;
};

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

struct Mesh {
    std::vector<ModelTriangle> triangles;
    bool hasTextureCoordinates = false;
};

void CollectTriangles(const aiScene* scene, Mesh* mesh) {
    for (unsigned m = 0; m < scene->mNumMeshes; ++m) {
        const aiMesh* source = scene->mMeshes[m];
        const aiVector3D* uv = source->HasTextureCoords(0) ? source->mTextureCoords[0] : nullptr;
        if (uv) mesh->hasTextureCoordinates = true;
        for (unsigned f = 0; f < source->mNumFaces; ++f) {
            const aiFace& face = source->mFaces[f];
            if (face.mNumIndices != 3) continue;  // points and lines
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
            mesh->triangles.push_back(triangle);
        }
    }
}

// Centres the model on the origin and scales it so that its bounding sphere
// (about the centre of its bounding box) just fits the view's height at the
// viewer's distance. Values that are not finite are left out of the measure.
void FitIntoView(std::vector<ModelTriangle>* triangles) {
    double low[3] = {INFINITY, INFINITY, INFINITY}, high[3] = {-INFINITY, -INFINITY, -INFINITY};
    for (const ModelTriangle& triangle : *triangles)
        for (const ModelVertex& vertex : triangle.vertices) {
            const double p[3] = {vertex.x, vertex.y, vertex.z};
            for (int a = 0; a < 3; ++a) {
                if (!std::isfinite(p[a])) continue;
                if (p[a] < low[a]) low[a] = p[a];
                if (p[a] > high[a]) high[a] = p[a];
            }
        }
    double centre[3];
    for (int a = 0; a < 3; ++a) centre[a] = low[a] <= high[a] ? (low[a] + high[a]) / 2 : 0.0;
    double radius = 0;
    for (const ModelTriangle& triangle : *triangles)
        for (const ModelVertex& vertex : triangle.vertices) {
            double dx = vertex.x - centre[0], dy = vertex.y - centre[1], dz = vertex.z - centre[2];
            double d = std::sqrt(dx * dx + dy * dy + dz * dz);
            if (std::isfinite(d) && d > radius) radius = d;
        }
    const double halfAngle = ViewFieldOfView / 2 * 3.14159265358979323846 / 180.0;
    double scale = radius > 0 ? ViewDistance * std::sin(halfAngle) * FitMargin / radius : 1.0;
    for (ModelTriangle& triangle : *triangles)
        for (ModelVertex& vertex : triangle.vertices) {
            vertex.x = float((vertex.x - centre[0]) * scale);
            vertex.y = float((vertex.y - centre[1]) * scale);
            vertex.z = float((vertex.z - centre[2]) * scale);
        }
}

// The source name for the comment line, without anything that would end
// the line.
std::string PrintableName(const char* name) {
    std::string text;
    for (const char* p = name; *p; ++p) text += (unsigned char)*p < 0x20 || *p == 0x7F ? '?' : *p;
    return text;
}

// Writes the model in the model format; false (errno set) on a write error.
bool WriteModel(FILE* out, const char* source, const std::vector<ModelTriangle>& triangles, bool textured,
                ProgressLine* progress) {
    std::fprintf(out, "# Converted by polyview-tool from %s\n", PrintableName(source).c_str());
    std::fprintf(out, "UcgenSayisi >> %zu\nKaplamaKullanimi >> %d\n", triangles.size(), textured ? 1 : 0);
    size_t step = triangles.size() / 100 + 1;
    for (size_t t = 0; t < triangles.size(); ++t) {
        for (const ModelVertex& v : triangles[t].vertices) {
            // %.9g gives back the very same 32-bit float when read.
            if (textured)
                std::fprintf(out, "Vertex %.9g %.9g %.9g >> TKoord %.9g %.9g\n", double(v.x), double(v.y),
                             double(v.z), double(v.u), double(v.v));
            else
                std::fprintf(out, "Vertex %.9g %.9g %.9g\n", double(v.x), double(v.y), double(v.z));
        }
        if (t % step == 0) progress->Show("writing", double(t) / double(triangles.size()));
        if (std::ferror(out)) return false;
    }
    progress->Show("writing", 1.0);
    return std::fflush(out) == 0 && !std::ferror(out);
}

// Writes next to `outPath` under a temporary name and renames it into place,
// so that OUT is either the whole new file or left as it was.
bool WriteModelFile(const std::string& outPath, const char* source,
                    const std::vector<ModelTriangle>& triangles, bool textured, ProgressLine* progress,
                    std::string* error) {
    std::string temporary = outPath + ".tmp-XXXXXX";
    int fd = mkstemp(&temporary[0]);
    if (fd < 0) {
        *error = std::strerror(errno);
        return false;
    }
    // mkstemp makes the file private; give it the usual permissions.
    mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    FILE* out = fdopen(fd, "wb");
    if (!out) {
        *error = std::strerror(errno);
        close(fd);
        unlink(temporary.c_str());
        return false;
    }
    static char buffer[1 << 20];
    std::setvbuf(out, buffer, _IOFBF, sizeof buffer);
    errno = 0;
    bool isWritten = WriteModel(out, source, triangles, textured, progress);
    int writeError = errno;
    if (isWritten && fsync(fileno(out)) != 0) {
        isWritten = false;
        writeError = errno;
    }
    if (std::fclose(out) != 0 && isWritten) {
        isWritten = false;
        writeError = errno;
    }
    if (isWritten && std::rename(temporary.c_str(), outPath.c_str()) != 0) {
        isWritten = false;
        writeError = errno;
    }
    if (!isWritten) {
        *error = std::strerror(writeError ? writeError : EIO);
        unlink(temporary.c_str());
    }
    return isWritten;
}

}  // namespace

int RunConvertCommand(int argc, char** argv) {
    const char* inPath = nullptr;
    const char* outPath = nullptr;
    bool fit = false;
    int forcedMode = -1;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--fit") == 0) {
            fit = true;
        } else if (std::strcmp(argv[i], "--mode") == 0) {
            if (i + 1 >= argc || (std::strcmp(argv[i + 1], "0") != 0 && std::strcmp(argv[i + 1], "1") != 0)) {
                std::fputs("polyview-tool convert: --mode takes 0 or 1\n", stderr);
                return ExitUsage;
            }
            forcedMode = argv[++i][0] - '0';
        } else if (argv[i][0] == '-' && argv[i][1] != '\0') {
            std::fprintf(stderr, "polyview-tool convert: unknown option '%s'\n", argv[i]);
            return Usage();
        } else if (!inPath) {
            inPath = argv[i];
        } else if (!outPath) {
            outPath = argv[i];
        } else {
            std::fprintf(stderr, "polyview-tool convert: unexpected argument '%s'\n", argv[i]);
            return Usage();
        }
    }
    if (!inPath || !outPath) return Usage();

    struct stat info;
    bool isLarge = stat(inPath, &info) == 0 && info.st_size >= LargeInputBytes;
    ProgressLine progress(isLarge && isatty(STDERR_FILENO));

    Mesh mesh;
    {
        Assimp::Importer importer;
        // Points and lines have no place in a triangle model.
        importer.SetPropertyInteger(AI_CONFIG_PP_SBP_REMOVE, aiPrimitiveType_POINT | aiPrimitiveType_LINE);
        importer.SetProgressHandler(new ImportProgress(&progress));  // owned by the importer
        const aiScene* scene = importer.ReadFile(
            inPath, aiProcess_Triangulate | aiProcess_PreTransformVertices | aiProcess_SortByPType);
        if (!scene) {
            progress.Finish();
            std::fprintf(stderr, "polyview-tool convert: cannot read '%s': %s\n", inPath,
                         importer.GetErrorString());
            return 1;
        }
        CollectTriangles(scene, &mesh);
    }
    if (mesh.triangles.empty()) {
        progress.Finish();
        std::fprintf(stderr, "polyview-tool convert: '%s' holds no triangles\n", inPath);
        return 1;
    }
    if (int64_t(mesh.triangles.size()) > MaxTriangleCount) {
        progress.Finish();
        std::fprintf(stderr,
                     "polyview-tool convert: '%s' holds %zu triangles, more than the viewer takes (%lld)\n",
                     inPath, mesh.triangles.size(), (long long)MaxTriangleCount);
        return 1;
    }
    if (fit) FitIntoView(&mesh.triangles);
    bool textured = forcedMode >= 0 ? forcedMode == 1 : mesh.hasTextureCoordinates;

    std::string error;
    bool isWritten = WriteModelFile(outPath, inPath, mesh.triangles, textured, &progress, &error);
    progress.Finish();
    if (!isWritten) {
        std::fprintf(stderr, "polyview-tool convert: cannot write '%s': %s\n", outPath, error.c_str());
        return 1;
    }
    return 0;
}
