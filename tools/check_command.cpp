// polyview-tool check: reports where the viewer will make something else of
// a model (and, for a folder, of its picture) than its author meant.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "check_model.h"
#include "commands.h"
#include "headless_gl.h"
#include "render/view.h"
#include "texture/texture.h"
#include "texture/texture_failure.h"

namespace {

std::string JoinPath(const std::string& folder, const char* name) {
    if (folder.empty()) return name;
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

// The error for a picture the viewer cannot make its texture of.
void ReportPictureFailure(const TextureLoadReport& load, const std::string& shownName, CheckReport* report) {
    const std::string stops = std::string("the viewer stops at start (\"") + SceneFailedText + "\")";
    if (load.failure == PictureFailureMissing)
        report->Error(shownName, 0, "missing: the viewer cannot make its texture and " + stops.substr(11));
    else if (load.failure == PictureFailureNoTexture)
        report->Error(shownName, 0, "the picture cannot be made into a texture (too large?): " + stops);
    else
        report->Error(shownName, 0, "cannot be read (" + DescribeTextureFailure(load) + "): " + stops);
}

// "Wall.bmp" in `folder`, made into a texture as the viewer's scene set-up
// makes it: from the folder as the current directory, in a fresh context.
// Without a context, the picture is still read as the loader reads it.
void CheckPicture(const std::string& folder, const std::string& shownName, CheckReport* report) {
    char start[4096];
    bool hasStart = getcwd(start, sizeof start) != nullptr;
    if (!folder.empty() && chdir(folder.c_str()) != 0) {
        report->Error(shownName, 0, std::string("cannot enter its folder: ") + std::strerror(errno));
        return;
    }
    HeadlessGl gl;
    std::string glError;
    TextureLoadReport load;
    if (!OpenHeadlessGl(&gl, 0, 0, &glError)) {
        if (!ReadPictureReported(ScenePictureName, &load))
            ReportPictureFailure(load, shownName, report);
        else
            report->Note(shownName, 0,
                         "the picture and texture sizes are not known here (no OpenGL context: " + glError + ")");
    } else {
        GLuint texture = 0;
        if (!LoadPictureTextureReported(ScenePictureName, &texture, &load)) {
            ReportPictureFailure(load, shownName, report);
        } else {
            GLint maxSide = 0;
            glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSide);
            const int32_t pictureWidth = load.pictureWidth, pictureHeight = load.pictureHeight;
            const int32_t width = load.textureWidth, height = load.textureHeight;
            bool isStretched = width != pictureWidth || height != pictureHeight;
            report->Note(shownName, 0,
                         "picture " + std::to_string(pictureWidth) + "x" + std::to_string(pictureHeight) +
                             ", texture " + std::to_string(width) + "x" + std::to_string(height) +
                             (isStretched ? " (the picture is stretched to it" : " (") +
                             (isStretched ? "; " : "") + "largest texture side here " +
                             std::to_string(maxSide) + ")");
        }
        CloseHeadlessGl(&gl);
    }
    if (hasStart && chdir(start) != 0) {
        // Nothing after this reads relative paths.
    }
}

}  // namespace

int RunCheckCommand(int argc, char** argv) {
    const char* given = nullptr;
    for (int i = 0; i < argc; ++i)
        if (!TakeOperand("check", "PATH", argv[i], argv[i][0] == '-' && argv[i][1] != '\0', &given))
            return ExitUsage;

    // A folder is checked as the viewer finds it there: "poligon.m" and "Wall.bmp".
    std::string folder;
    bool isFolder = !given;
    struct stat info;
    if (given && stat(given, &info) == 0 && S_ISDIR(info.st_mode)) {
        isFolder = true;
        folder = given;
    }
    std::string modelPath = isFolder ? JoinPath(folder, SceneModelName) : given;

    CheckReport report;
    ModelCheckResult model = CheckModelFile(modelPath.c_str(), modelPath, &report);
    if (!model.isRead) report.Error(modelPath, 0, "cannot be read: " + model.readError);
    if (isFolder) CheckPicture(folder, JoinPath(folder, ScenePictureName), &report);

    if (model.isRead)
        std::printf("%s: %d triangle%s, mode %d, %d warning%s, %d error%s\n", modelPath.c_str(),
                    int(model.triangleCount), model.triangleCount == 1 ? "" : "s", int(model.textureMode),
                    report.warnings, report.warnings == 1 ? "" : "s", report.errors,
                    report.errors == 1 ? "" : "s");
    if (std::fflush(stdout) != 0) {
        std::perror("polyview-tool check: writing the report");
        return 1;
    }
    if (!model.isRead) return 2;
    return report.warnings || report.errors ? 1 : 0;
}
