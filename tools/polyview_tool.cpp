// polyview-tool: the command-line companion of the viewer. It links the
// viewer's own model, texture and render code.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "commands.h"

namespace {

struct Command {
    const char* name;
    int (*run)(int argc, char** argv);
};

const Command commands[] = {
    {"dump", RunDumpCommand},
    {"texture", RunTextureCommand},
    {"snapshot", RunSnapshotCommand},
    {"check", RunCheckCommand},
    {"convert", RunConvertCommand},
    {"thumbnail", RunThumbnailCommand},
    {"export", RunExportCommand},
};

}  // namespace

void PrintUsage(FILE* out) {
    std::fputs(
        "usage: polyview-tool COMMAND [ARGS]\n"
        "\n"
        "commands:\n"
        "  dump FILE             load FILE as the viewer does and print the store:\n"
        "                        'count N', 'mode M', then one line per vertex\n"
        "                        (x y z u v in mode 1, x y z in mode 0)\n"
        "  dump --summary FILE   the count and mode lines, then the smallest and\n"
        "                        largest value of each field ('min ...', 'max ...')\n"
        "  texture PICTURE [--out OUT.png]\n"
        "                        make a texture from PICTURE as the viewer does\n"
        "                        (from the picture's own folder, in a headless\n"
        "                        OpenGL context) and print 'picture WxH' and\n"
        "                        'texture WxH'; --out writes the texture as a PNG,\n"
        "                        upright, alpha kept\n"
        "  snapshot [--dir DIR] [--size WxH] [--turn AZ,EL] [--zoom K] [--frame]\n"
        "           --out OUT.png\n"
        "                        draw the viewer's first frame headless, with\n"
        "                        \"Wall.bmp\" and \"poligon.m\" read from DIR\n"
        "                        (default: here), W x H pixels (default 640x480),\n"
        "                        and write it to OUT.png; the view as the viewer's\n"
        "                        options of the same names give it, then framed\n"
        "                        as its F key does with --frame\n"
        "  thumbnail [--size N] [--memory-limit MIB] [--time-limit SECONDS] MODEL\n"
        "            OUT.png     draw MODEL as snapshot does, N pixels wide (default\n"
        "                        256) and 3N/4 high, textured with \"Wall.bmp\" from\n"
        "                        MODEL's folder (untextured without one), and write\n"
        "                        it to OUT.png, for file managers: nothing else is\n"
        "                        written, and the tool ends after SECONDS (default\n"
        "                        20) or when it needs MIB more memory (default 512)\n"
        "  check [PATH]          read a model file as the viewer does and report, as\n"
        "                        FILE:LINE: warning|error: ..., every place where the\n"
        "                        viewer makes something else of it than it seems to\n"
        "                        mean, and geometry the view will not show: vertices\n"
        "                        beyond the near or far plane, triangles without area\n"
        "                        on screen (degenerate, or seen edge-on), a model that\n"
        "                        covers no pixel; for a folder (default: here) also\n"
        "                        check its \"Wall.bmp\" and give the picture and texture\n"
        "                        sizes. Ends with a summary line. Exit 0: nothing to\n"
        "                        report, 1: warnings or errors, 2: the model cannot be\n"
        "                        read\n"
        "  convert IN OUT [--fit] [--up x|y|z] [--keep-orientation] [--mode 0|1]\n"
        "                [--uv box] [--memory-limit MIB] [--time-limit SECONDS]\n"
        "                        convert a mesh that the Open Asset Import Library\n"
        "                        reads (OBJ, STL, PLY, glTF 2.0, Collada, ...) into\n"
        "                        a model file: triangulated, node transforms\n"
        "                        applied, mode 1 when it has texture coordinates\n"
        "                        (--mode forces one). --fit turns the model so that\n"
        "                        the viewer sees the broadest side of its bounding\n"
        "                        box, up kept up where it can be (--keep-orientation:\n"
        "                        no turning), then centres and scales it to fill the\n"
        "                        view. --up names the source's up axis (default: what\n"
        "                        the file states, as FBX does, else y); without --fit\n"
        "                        it stands the model upright. --uv box gives texture\n"
        "                        coordinates projected from the bounding box and\n"
        "                        writes mode 1. The import runs in a process of its\n"
        "                        own, limited to MIB more memory (default 2048) and\n"
        "                        SECONDS (default 60). Prints a summary line, and a\n"
        "                        warning when the viewer would show nothing. OUT is\n"
        "                        replaced whole or not at all; exit 1 when IN cannot\n"
        "                        be read or the importer crashes or exceeds a limit\n"
        "  export DIR|MODEL OUT [--format glb|gltf|obj|stl|ply]\n"
        "                        write what the viewer draws of MODEL (DIR: its\n"
        "                        \"poligon.m\") through the Open Asset Import\n"
        "                        Library's exporter, in the format of OUT's extension\n"
        "                        or --format: glTF 2.0 (.glb, or .gltf and .bin), OBJ\n"
        "                        (and .mtl), binary STL or PLY. Viewer coordinates,\n"
        "                        triangles in their order; those with a vertex that\n"
        "                        is not finite are left out and counted. In mode 1,\n"
        "                        glTF and OBJ keep the texture coordinates and, for a\n"
        "                        DIR, the texture the viewer makes of its \"Wall.bmp\"\n"
        "                        as a PNG (inside .glb, else beside OUT); STL and PLY\n"
        "                        keep positions only. Prints a summary line; exit 1\n"
        "                        when the picture cannot be read (the model is then\n"
        "                        written without texture)\n"
        "\n"
        "  --help                print this text\n"
        "  --version             print the version\n",
        out);
}

bool TakeOperand(const char* command, const char* what, const char* argument, bool isOption,
                 const char** operand) {
    if (isOption) {
        std::fprintf(stderr, "polyview-tool %s: unknown option '%s'\n", command, argument);
        return false;
    }
    if (*operand) {
        std::fprintf(stderr, "polyview-tool %s: only one %s may be given\n", command, what);
        return false;
    }
    *operand = argument;
    return true;
}

bool ParseLimit(const char* text, int64_t* value) {
    char* end = nullptr;
    errno = 0;
    long long number = std::strtoll(text, &end, 10);
    if (end == text || *end != '\0' || errno || number < 1 || number > (1ll << 40)) return false;
    *value = number;
    return true;
}

bool TakeTwoOperands(const char* command, const char* argument, const char* usage, const char** first,
                     const char** second) {
    if (argument[0] == '-' && argument[1] != '\0') {
        std::fprintf(stderr, "polyview-tool %s: unknown option '%s'\n", command, argument);
    } else if (!*first || !*second) {
        *(*first ? second : first) = argument;
        return true;
    } else {
        std::fprintf(stderr, "polyview-tool %s: unexpected argument '%s'\n", command, argument);
    }
    std::fputs(usage, stderr);
    return false;
}

int main(int argc, char** argv) {
    if (argc >= 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        PrintUsage(stdout);
        return 0;
    }
    if (argc >= 2 && std::strcmp(argv[1], "--version") == 0) {
        std::puts("polyview-tool " POLYVIEW_VERSION);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    if (argc < 2) {
        PrintUsage(stderr);
        return ExitUsage;
    }
    for (const Command& command : commands)
        if (std::strcmp(argv[1], command.name) == 0) return command.run(argc - 2, argv + 2);
    std::fprintf(stderr, "polyview-tool: unknown command '%s'\n", argv[1]);
    PrintUsage(stderr);
    return ExitUsage;
}
