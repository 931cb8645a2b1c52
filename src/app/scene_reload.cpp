// The in-place reload and the watch that asks for it. The watch only looks
// at the files' stamps (a stat each), at most every WatchPollMilliseconds;
// the files are read by the reload alone.
#include "app/scene_reload.h"

#include <chrono>
#include <cstdio>
#include <string>

#include "file/file_stamp.h"
#include "render/render.h"
#include "render/view.h"

bool isSceneWatchWanted = false;

namespace {

using Clock = std::chrono::steady_clock;
constexpr int WatchPollMilliseconds = 100;
constexpr auto QuietTime = std::chrono::milliseconds(WatchQuietMilliseconds);

bool isReloadRequested = false;

struct WatchedFile {
    const char* name;
    FileStamp loaded;              // as the latest reload (or the start) found it
    FileStamp seen;                // as the latest look found it
    Clock::time_point quietSince;  // when it last changed, as far as the looks tell
};

struct SceneWatch {
    bool isOn;
    WatchedFile files[2];
    Clock::time_point lastLook, nextLook;
};

SceneWatch watch = {false, {{ScenePictureName, {}, {}, {}}, {SceneModelName, {}, {}, {}}}, {}, {}};

// When a change first seen `now` (and not at the look before) was made: the
// file's own time where it is finer than seconds and falls between the two
// looks; otherwise, to be safe, now.
Clock::time_point ChangedAt(const FileStamp& stamp, Clock::time_point now) {
    if (!stamp.exists || stamp.changeTime % 1000000000 == 0) return now;
    const int64_t age = FileClockNow() - stamp.changeTime;
    if (age < 0) return now;
    const Clock::time_point at = now - std::chrono::duration_cast<Clock::duration>(std::chrono::nanoseconds(age));
    return at < watch.lastLook ? watch.lastLook : at;
}

// Looks at the stamps when due; asks for a reload once a file differs from
// what was loaded and neither has changed for QuietTime.
void LookAtSceneFiles() {
    const Clock::time_point now = Clock::now();
    if (!watch.isOn || now < watch.nextLook) return;
    bool isChanged = false;
    Clock::time_point quietSince = watch.files[0].quietSince;
    for (WatchedFile& file : watch.files) {
        FileStamp stamp = ReadFileStamp(file.name);
        if (stamp != file.seen) {
            file.quietSince = ChangedAt(stamp, now);
            file.seen = stamp;
        }
        isChanged = isChanged || file.seen != file.loaded;
        if (file.quietSince > quietSince) quietSince = file.quietSince;
    }
    watch.lastLook = now;
    watch.nextLook = now + std::chrono::milliseconds(WatchPollMilliseconds);
    if (!isChanged) return;
    if (now - quietSince < QuietTime) {
        // The next look when the quiet time would be over: a write since
        // then changes the stamp, and the wait starts again.
        watch.nextLook = quietSince + QuietTime;
        return;
    }
    for (WatchedFile& file : watch.files) file.loaded = file.seen;
    RequestSceneReload();
}

}  // namespace

void RequestSceneReload() {
    isReloadRequested = true;
}

void StartSceneWatch() {
    const Clock::time_point now = Clock::now();
    for (WatchedFile& file : watch.files) {
        file.loaded = file.seen = ReadFileStamp(file.name);
        file.quietSince = now;
    }
    watch.lastLook = now;
    watch.nextLook = now + std::chrono::milliseconds(WatchPollMilliseconds);
    watch.isOn = true;
}

void ServeSceneReload(HWND window, const char* title) {
    LookAtSceneFiles();
    if (!isReloadRequested) return;
    isReloadRequested = false;
    std::string why;
    const bool isLoaded = ReloadScene(&why);
    if (!isLoaded) std::fprintf(stderr, "polyview: %s; the scene stays as it was\n", why.c_str());
    SetWindowTextA(window, why.empty() ? title : (std::string(title) + " - " + why).c_str());
}
