// The program's start-up on systems without Win32: calls WinMain as the
// Windows start-up does, with a command line that the shell splits back into
// these very arguments, and ends the process with its result.
#include <string>
#include <vector>

#include "platform/sdl_platform.h"
#include "platform/viewer_options.h"

int main(int argc, char** argv) {
    int optionStatus = 0;
    if (HandleViewerOptions(argc, argv, &optionStatus)) return optionStatus;
    std::string commandLine =
        JoinCommandLine(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc));
    int status = WinMain(GetModuleHandleA(nullptr), nullptr, &commandLine[0], SW_SHOWDEFAULT);
    platform::ShutdownPlatform();
    return status;
}
