// The program's start-up on systems without Win32: calls WinMain as the
// Windows start-up does, with a command line (WinMain's, and GetCommandLineW's
// after the program's name) that the shell splits back into these very
// arguments, and ends the process with its result.
#include <algorithm>
#include <string>
#include <vector>

#include "platform/sdl/sdl_platform.h"
#include "platform/sdl/viewer_options.h"

int main(int argc, char** argv) {
    int optionStatus = 0;
    if (HandleViewerOptions(argc, argv, &optionStatus)) return optionStatus;
    std::string commandLine =
        JoinCommandLine(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc));
    // GetCommandLineW's line begins with the program's name in quotes, which
    // the name cannot hold then.
    std::string programName = argc > 0 ? argv[0] : "polyview";
    programName.erase(std::remove(programName.begin(), programName.end(), '"'), programName.end());
    SetStartCommandLine(("\"" + programName + "\" " + commandLine).c_str());
    int status = WinMain(GetModuleHandleA(nullptr), nullptr, &commandLine[0], SW_SHOWDEFAULT);
    platform::ShutdownPlatform();
    return status;
}
