// polyview-tool convert: a mesh in a common format (anything the Open Asset
// Import Library reads) written as a model file the viewer reads whole.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "commands.h"
#include "contained_import.h"
#include "model/model.h"
#include "model/model_format.h"
#include "model_placement.h"
#include "output_file.h"
#include "progress_line.h"
#include "view_coverage.h"

namespace {

// Inputs at least this large show their progress on a terminal.
constexpr long long LargeInputBytes = 8ll << 20;

// Share of the view's height that a fitted model's bounding sphere fills.
constexpr double FitMargin = 0.95;

const char* const UsageText =
    "usage: polyview-tool convert IN OUT [--fit] [--up x|y|z] [--keep-orientation] [--mode 0|1]\n"
    "                             [--uv box] [--memory-limit MIB] [--time-limit SECONDS]\n";

int Usage() {
    std::fputs(UsageText, stderr);
    return ExitUsage;
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
    WriteModelHeader(out, int64_t(triangles.size()), textured ? 1 : 0);
    size_t step = triangles.size() / 100 + 1;
    for (size_t t = 0; t < triangles.size(); ++t) {
        for (const ModelVertex& v : triangles[t].vertices) WriteVertexLine(out, v, textured);
        if (t % step == 0) progress->Show("writing", double(t) / double(triangles.size()));
        if (std::ferror(out)) return false;
    }
    progress->Show("writing", 1.0);
    return std::fflush(out) == 0 && !std::ferror(out);
}

// Writes the model to `outPath` by the tool's output rules (output_file.h):
// a regular file is either the whole new model or left as it was.
bool WriteModelFile(const std::string& outPath, const char* source,
                    const std::vector<ModelTriangle>& triangles, bool textured, ProgressLine* progress,
                    std::string* error) {
    OutputFile out;
    if (!OpenOutputFile(outPath, &out, error)) return false;
    static char buffer[1 << 20];
    std::setvbuf(out.stream, buffer, _IOFBF, sizeof buffer);
    errno = 0;
    bool isWritten = WriteModel(out.stream, source, triangles, textured, progress);
    if (!isWritten) *error = std::strerror(errno ? errno : EIO);
    return CloseOutputFile(&out, isWritten, error) && isWritten;
}

}  // namespace

int RunConvertCommand(int argc, char** argv) {
    const char* inPath = nullptr;
    const char* outPath = nullptr;
    bool fit = false, keepOrientation = false, boxCoordinates = false;
    int forcedMode = -1;
    SignedAxis givenUp = 0;
    ImportLimits limits;
    for (int i = 0; i < argc; ++i) {
        const char* option = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (std::strcmp(option, "--help") == 0) {
            std::fputs(UsageText, stdout);
            return 0;
        } else if (std::strcmp(option, "--fit") == 0) {
            fit = true;
        } else if (std::strcmp(option, "--keep-orientation") == 0) {
            keepOrientation = true;
        } else if (std::strcmp(option, "--mode") == 0) {
            if (!value || (std::strcmp(value, "0") != 0 && std::strcmp(value, "1") != 0)) {
                std::fputs("polyview-tool convert: --mode takes 0 or 1\n", stderr);
                return ExitUsage;
            }
            forcedMode = value[0] - '0';
            ++i;
        } else if (std::strcmp(option, "--up") == 0) {
            if (!value || std::strlen(value) != 1 || !std::strchr("xyzXYZ", value[0])) {
                std::fputs("polyview-tool convert: --up takes x, y or z\n", stderr);
                return ExitUsage;
            }
            givenUp = (value[0] | 0x20) - 'x' + 1;
            ++i;
        } else if (std::strcmp(option, "--uv") == 0) {
            if (!value || std::strcmp(value, "box") != 0) {
                std::fputs("polyview-tool convert: --uv takes box\n", stderr);
                return ExitUsage;
            }
            boxCoordinates = true;
            ++i;
        } else if (std::strcmp(option, "--memory-limit") == 0 || std::strcmp(option, "--time-limit") == 0) {
            bool isMemory = option[2] == 'm';
            if (!value || !ParseLimit(value, isMemory ? &limits.memoryMiB : &limits.seconds)) {
                std::fprintf(stderr, "polyview-tool convert: %s takes a whole number from 1 on\n", option);
                return ExitUsage;
            }
            ++i;
        } else if (!TakeTwoOperands("convert", option, UsageText, &inPath, &outPath)) {
            return ExitUsage;
        }
    }
    if (!inPath || !outPath) return Usage();
    if (keepOrientation && (!fit || givenUp)) {
        std::fputs("polyview-tool convert: --keep-orientation goes with --fit and without --up\n", stderr);
        return ExitUsage;
    }
    if (boxCoordinates && forcedMode == 0) {
        std::fputs("polyview-tool convert: --uv box writes mode 1, not --mode 0\n", stderr);
        return ExitUsage;
    }

    struct stat info;
    bool isLarge = stat(inPath, &info) == 0 && info.st_size >= LargeInputBytes;
    FILE* progressOut = isLarge && isatty(STDERR_FILENO) ? stderr : nullptr;
    ProgressLine progress(progressOut);

    progress.Show("reading", 0.0);
    ImportedMesh mesh;
    ImportResult imported = ImportContained(inPath, limits, progressOut, &mesh);
    if (imported.outcome != ImportOutcome::Imported) {
        progress.Finish();
        switch (imported.outcome) {
            case ImportOutcome::Refused:
                std::fprintf(stderr, "polyview-tool convert: cannot read '%s': %s\n", inPath,
                             imported.reason.c_str());
                break;
            case ImportOutcome::Crashed:
                std::fprintf(stderr, "polyview-tool convert: the importer crashed on %s (%s)\n", inPath,
                             imported.reason.c_str());
                break;
            case ImportOutcome::OutOfMemory:
                std::fprintf(stderr,
                             "polyview-tool convert: the importer needed more than %lld MiB on %s "
                             "(see --memory-limit)\n",
                             (long long)limits.memoryMiB, inPath);
                break;
            default:
                std::fprintf(
                    stderr,
                    "polyview-tool convert: the importer took longer than %lld s on %s (see --time-limit)\n",
                    (long long)limits.seconds, inPath);
                break;
        }
        return 1;
    }
    progress.Show("reading", 1.0);

    // The view is fixed, so the side the viewer sees is decided here.
    SignedAxis up = givenUp ? givenUp : mesh.reportedUp;
    SignedAxis front = givenUp ? 0 : mesh.reportedFront;
    Orientation turn = {1, 2, 3};
    if (fit && !keepOrientation)
        turn = BroadestSideOrientation(mesh.triangles, up, front);
    else if (givenUp)
        turn = UprightOrientation(up, front);
    TurnMesh(&mesh.triangles, turn);
    if (fit) FitIntoView(&mesh.triangles, FitMargin);
    if (boxCoordinates) ProjectBoxCoordinates(&mesh.triangles);
    bool textured = boxCoordinates || (forcedMode >= 0 ? forcedMode == 1 : mesh.hasTextureCoordinates);

    std::string error;
    bool isWritten = WriteModelFile(outPath, inPath, mesh.triangles, textured, &progress, &error);
    progress.Finish();
    if (!isWritten) {
        std::fprintf(stderr, "polyview-tool convert: cannot write '%s': %s\n", outPath, error.c_str());
        return 1;
    }

    ViewCoverage coverage;
    for (const ModelTriangle& triangle : mesh.triangles) {
        const float p[3][3] = {{triangle.vertices[0].x, triangle.vertices[0].y, triangle.vertices[0].z},
                               {triangle.vertices[1].x, triangle.vertices[1].y, triangle.vertices[1].z},
                               {triangle.vertices[2].x, triangle.vertices[2].y, triangle.vertices[2].z}};
        coverage.AddTriangle(p);
    }
    std::string nothing = coverage.NothingShownWarning();
    if (!nothing.empty())
        std::fprintf(stderr, "polyview-tool convert: warning: %s: %s\n", outPath, nothing.c_str());

    std::string side = DescribeOrientation(turn, up, front);
    std::printf("%s: %zu triangle%s, mode %d; the viewer sees %s%s%s\n", outPath, mesh.triangles.size(),
                mesh.triangles.size() == 1 ? "" : "s", textured ? 1 : 0, side.c_str(),
                fit ? "; centred and scaled to fill the view" : "",
                boxCoordinates ? "; texture coordinates from its bounding box" : "");
    if (std::fflush(stdout) != 0) {
        std::perror("polyview-tool convert: writing the summary");
        return 1;
    }
    return 0;
}
