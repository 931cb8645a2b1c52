// The real viewer's benchmarks' display and big folder.
#include "viewer_folder.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bench_random.h"
#include "model/model_format.h"
#include "render/view.h"

int RunUnderXvfbWithoutDisplay(int argc, char** argv) {
    if (getenv("DISPLAY")) return 0;
    // The same command, arguments included, under the script.
    std::vector<char*> command = {const_cast<char*>(POLYVIEW_WITH_XVFB), const_cast<char*>("1024x768x24")};
    command.insert(command.end(), argv, argv + argc);
    command.push_back(nullptr);
    execv(command[0], command.data());
    perror(command[0]);
    return 1;
}

std::string MakeBigFolder(int count) {
    char pattern[] = "/tmp/polyview-viewer-bench-XXXXXX";
    if (!mkdtemp(pattern)) return "";
    std::string dir = pattern;
    const std::string picture = std::string("/") + ScenePictureName;
    const std::string modelName = std::string("/") + SceneModelName;
    FILE* in = fopen((POLYVIEW_EXAMPLES + picture).c_str(), "rb");
    FILE* out = fopen((dir + picture).c_str(), "wb");
    FILE* model = fopen((dir + modelName).c_str(), "w");
    bool ok = in && out && model;
    if (ok) {
        char block[65536];
        for (size_t n; (n = fread(block, 1, sizeof block, in)) > 0;) ok = fwrite(block, 1, n, out) == n && ok;
        Rng rng{1};
        WriteModelHeader(model, count, 1);
        for (int t = 0; t < count; ++t) {
            double cx = rng.Unit() * 5.6 - 2.8, cy = rng.Unit() * 4.2 - 2.1, cz = -rng.Unit();
            for (int i = 0; i < 3; ++i) {
                ModelVertex vertex;
                vertex.x = float(cx + rng.Unit() * 0.5 - 0.25);
                vertex.y = float(cy + rng.Unit() * 0.5 - 0.25);
                vertex.z = float(cz);
                vertex.u = float(rng.Unit());
                vertex.v = float(rng.Unit());
                WriteVertexLine(model, vertex, true, 4);
            }
        }
    }
    if (in) fclose(in);
    if (out && fclose(out) != 0) ok = false;
    if (model && fclose(model) != 0) ok = false;
    return ok ? dir : "";
}

void RemoveBigFolder(const std::string& dir) {
    unlink((dir + "/" + ScenePictureName).c_str());
    unlink((dir + "/" + SceneModelName).c_str());
    rmdir(dir.c_str());
}
