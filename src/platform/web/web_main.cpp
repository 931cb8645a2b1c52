// The program's start-up in the browser: the page has made the current
// directory and put the files into it; WinMain runs with the page's
// arguments (those of a link) as its command line, and the page is told the
// exit status. The page also asks, through the functions exported here, for
// the scene to be loaded again and for the view shown.
#include <emscripten/emscripten.h>

#include <string>
#include <vector>

#include "app/scene_reload.h"
#include "platform/sdl/viewer_options.h"
#include "platform/web/web_platform.h"
#include "render/view_state.h"

extern "C" {

// Files dropped into the folder: shown in place at the loop's next pass.
EMSCRIPTEN_KEEPALIVE void WebRequestSceneReload() {
    RequestSceneReload();
}

// The view drawn now: 0 azimuth, 1 elevation (degrees), 2 zoom.
EMSCRIPTEN_KEEPALIVE double WebCurrentView(int which) {
    return which == 0 ? CurrentView.azimuth : which == 1 ? CurrentView.elevation : CurrentView.zoom;
}

}  // extern "C"

int main(int argc, char** argv) {
    platform::StartPlatform();
    std::string commandLine = JoinCommandLine(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc));
    SetStartCommandLine(("\"polyview\" " + commandLine).c_str());
    int status = WinMain(GetModuleHandleA(nullptr), nullptr, &commandLine[0], SW_SHOWDEFAULT);
    platform::ShutdownPlatform();
    WebReportExit(status);
    return status;
}
