// Loading the scene again in the window as it is: on request (the web page
// after a drop), or when --watch sees the scene's files change.
#pragma once

#include "platform/win32_api.h"

// The main loop reloads in place at its next idle pass.
void RequestSceneReload();

// For the loop's idle pass, before the frame: asks the watch, then reloads
// when asked to. A failed reload keeps the scene and shows its reason after
// `title` in `window`'s title and on standard error; a good one shows the
// title alone again, or with what is to be said of the new scene. False
// when the pass is to draw no frame: the watch's reload is due before a
// frame begun now would end (for a short while only).
bool ServeSceneReload(HWND window, const char* title);

// --watch: the files' stamps taken now, and their changes looked for in
// every ServeSceneReload from then on. A changed file is reloaded once
// neither file has changed for WatchQuietMilliseconds; a burst of writes
// gives one reload.
constexpr int WatchQuietMilliseconds = 200;
void StartSceneWatch();
// Whether the command line asked for the watch (ApplyCommandLine sets it).
extern bool isSceneWatchWanted;
