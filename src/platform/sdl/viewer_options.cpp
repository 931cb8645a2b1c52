// The Linux viewer's own options. The Windows build has none: like other
// Windows programs it ignores what it does not know.
#include "platform/sdl/viewer_options.h"

#include <cstdio>
#include <cstring>

namespace {

const char* const usageLine = "usage: polyview [--watch] [DIR | DIR/poligon.m] | --help | --version\n";

// --help: the usage line and these.
const char* const helpText =
    "Draws the model \"poligon.m\" textured with \"Wall.bmp\" from DIR (default: here).\n"
    "--watch: shows the files again whenever they change (once a change has rested 200 ms).\n"
    "Keys: F1 switches between fullscreen and windowed mode, Esc quits.\n";

// The arguments other than --watch, which the shell's start-up takes itself.
std::vector<const char*> WithoutWatch(int argc, char** argv) {
    std::vector<const char*> rest;
    for (int i = 0; i < argc; ++i)
        if (i == 0 || std::strcmp(argv[i], "--watch") != 0) rest.push_back(argv[i]);
    return rest;
}

}  // namespace

bool HandleViewerOptions(int argc, char** argv, int* exitStatus) {
    const std::vector<const char*> arguments = WithoutWatch(argc, argv);
    if (arguments.size() < 2) return false;
    const char* first = arguments[1];
    if (arguments.size() == 2) {
        if (std::strcmp(first, "--help") == 0) {
            std::fputs(usageLine, stdout);
            std::fputs(helpText, stdout);
            *exitStatus = std::fflush(stdout) == 0 ? 0 : 1;
            return true;
        }
        if (std::strcmp(first, "--version") == 0) {
            std::fputs("polyview " POLYVIEW_VERSION "\n", stdout);
            *exitStatus = std::fflush(stdout) == 0 ? 0 : 1;
            return true;
        }
        // A folder or a file; one whose name begins with '-' is given as ./-name.
        if (first[0] != '-') return false;
        std::fprintf(stderr, "polyview: unknown option '%s'\n", first);
    } else {
        std::fputs("polyview: at most one argument, the folder or its poligon.m, may be given\n", stderr);
    }
    std::fputs(usageLine, stderr);
    *exitStatus = 2;
    return true;
}

std::string JoinCommandLine(const std::vector<std::string>& arguments) {
    std::string line;
    for (const std::string& argument : arguments) {
        if (!line.empty()) line += ' ';
        if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos) {
            line += argument;
            continue;
        }
        line += '"';
        size_t backslashes = 0;
        for (char c : argument) {
            if (c == '\\') {
                ++backslashes;
                continue;
            }
            // Backslashes before a quote are doubled, and the quote escaped.
            line.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
            line += c;
            backslashes = 0;
        }
        line.append(2 * backslashes, '\\');  // before the closing quote
        line += '"';
    }
    return line;
}
