// The program's start-up on systems without Win32: calls WinMain as the
// Windows start-up does and ends the process with its result.
#include <string>

#include "platform/sdl_platform.h"
#include "platform/viewer_options.h"

int main(int argc, char** argv) {
    int optionStatus = 0;
    if (HandleViewerOptions(argc, argv, &optionStatus)) return optionStatus;
    std::string commandLine;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) {
            commandLine += ' ';
        }
        commandLine += argv[i];
    }
    int status = WinMain(GetModuleHandleA(nullptr), nullptr, &commandLine[0], SW_SHOWDEFAULT);
    platform::ShutdownPlatform();
    return status;
}
