// The Linux viewer's own options. The Windows build takes the view's
// options too (the shell reads them) and, like other Windows programs,
// ignores the options it does not know.
#include "platform/sdl/viewer_options.h"

#include <cstdio>
#include <cstring>

#include "render/view_state.h"

namespace {

const char* const usageLine =
    "usage: polyview [--watch] [--turn AZ,EL] [--zoom K] [DIR | DIR/poligon.m] | --help | --version\n";

// --help: the usage line and these.
const char* const helpText =
    "Draws the model \"poligon.m\" textured with \"Wall.bmp\" from DIR (default: here).\n"
    "  --watch       shows the files again whenever they change (once a change has rested\n"
    "                200 ms)\n"
    "  --turn AZ,EL  start turned AZ degrees about the model's upright axis and EL degrees\n"
    "                towards the viewer (EL within -90 to 90)\n"
    "  --zoom K      start at K times the start view's distance (0.05 to 20)\n"
    "Mouse: drag with the left button to turn the model, the wheel zooms.\n"
    "Keys: arrows turn by 15 degrees, Page Up / Page Down and + / - zoom, Home goes back\n"
    "to the start view, F frames the whole model; F1 switches between fullscreen and\n"
    "windowed mode, Esc quits.\n";

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
    const size_t count = arguments.size();
    // --help and --version alone.
    const char* only = count == 2 ? arguments[1] : "";
    if (std::strcmp(only, "--help") == 0) {
        std::fputs(usageLine, stdout);
        std::fputs(helpText, stdout);
        *exitStatus = std::fflush(stdout) == 0 ? 0 : 1;
        return true;
    }
    if (std::strcmp(only, "--version") == 0) {
        std::fputs("polyview " POLYVIEW_VERSION "\n", stdout);
        *exitStatus = std::fflush(stdout) == 0 ? 0 : 1;
        return true;
    }
    // At most one folder or file; one whose name begins with '-' is given as
    // ./-name. The view's options are checked here and read again by the
    // shell, which gets the arguments as they are.
    int folders = 0;
    for (size_t i = 1; i < count; ++i) {
        const char* argument = arguments[i];
        ViewPose pose = StartView;
        const char* why = nullptr;
        if (IsViewOption(argument)) {
            if (ApplyViewOption(argument, i + 1 < count ? arguments[++i] : nullptr, &pose, &why)) continue;
            std::fprintf(stderr, "polyview: %s\n", why);
        } else if (argument[0] == '-') {
            std::fprintf(stderr, "polyview: unknown option '%s'\n", argument);
        } else if (++folders > 1) {
            std::fputs("polyview: at most one folder, or its poligon.m, may be given\n", stderr);
        } else {
            continue;
        }
        std::fputs(usageLine, stderr);
        *exitStatus = 2;
        return true;
    }
    return false;
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
