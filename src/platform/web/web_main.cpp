// The program's start-up in the browser: the page has made the current
// directory and put the files into it; WinMain runs with no command line,
// and the page is told the exit status.
#include <string>

#include "platform/web/web_platform.h"

int main() {
    platform::StartPlatform();
    std::string commandLine;
    SetStartCommandLine("\"polyview\"");
    int status = WinMain(GetModuleHandleA(nullptr), nullptr, &commandLine[0], SW_SHOWDEFAULT);
    platform::ShutdownPlatform();
    WebReportExit(status);
    return status;
}
