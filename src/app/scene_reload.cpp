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
    Clock::time_point pendingSince;  // a change waits to rest since then; zero when none waits
    Clock::time_point lastFrame;     // the start of the latest pass that drew, when the one before drew
    Clock::duration framePeriod;     // between the starts of the latest two passes that drew
};

SceneWatch watch = {false, {{ScenePictureName, {}, {}, {}}, {SceneModelName, {}, {}, {}}}, {}, {}, {}, {}, {}};

// Whether this pass leaves its frame out: a change waits to rest and its
// reload is due before a frame begun now would end, so that the reload is
// not held up by a frame of the old scene. Frames are left out for at most
// twice QuietTime after the change was first seen: a file written on and on
// does not stop them.
bool HoldsFrame(Clock::time_point now) {
    const bool isHeld = watch.pendingSince != Clock::time_point() && now - watch.pendingSince < 2 * QuietTime &&
                        watch.nextLook - now < watch.framePeriod;
    if (!isHeld) {
        if (watch.lastFrame != Clock::time_point()) watch.framePeriod = now - watch.lastFrame;
        watch.lastFrame = now;
    } else {
        watch.lastFrame = Clock::time_point();
    }
    return isHeld;
}

// When a change first seen `now` (and not at the look before) was made: the
// file's own time where it is finer than seconds and falls between the two
// looks, plus the tick of the coarse clock the system stamps files with
// (a few milliseconds); otherwise, to be safe, now.
Clock::time_point ChangedAt(const FileStamp& stamp, Clock::time_point now) {
    if (!stamp.exists || stamp.changeTime % 1000000000 == 0) return now;
    const int64_t age = FileClockNow() - stamp.changeTime - 10000000;
    if (age < 0) return now;
    const Clock::time_point at = now - std::chrono::duration_cast<Clock::duration>(std::chrono::nanoseconds(age));
    return at < watch.lastLook ? watch.lastLook : at;
}

// Looks at the stamps when due, and in every pass while frames take longer
// than the looks' interval and no change waits; asks for a reload once a
// file differs from what was loaded and neither has changed for QuietTime.
void LookAtSceneFiles() {
    const Clock::time_point now = Clock::now();
    const bool isSlow = watch.framePeriod >= std::chrono::milliseconds(WatchPollMilliseconds);
    if (!watch.isOn || (now < watch.nextLook && (!isSlow || watch.pendingSince != Clock::time_point()))) return;
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
    if (!isChanged) {
        watch.pendingSince = Clock::time_point();
        return;
    }
    if (watch.pendingSince == Clock::time_point()) watch.pendingSince = now;
    if (now - quietSince < QuietTime) {
        // The next look when the quiet time would be over: a write since
        // then changes the stamp, and the wait starts again.
        watch.nextLook = quietSince + QuietTime;
        return;
    }
    for (WatchedFile& file : watch.files) file.loaded = file.seen;
    watch.pendingSince = Clock::time_point();
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

bool ServeSceneReload(HWND window, const char* title) {
    LookAtSceneFiles();
    if (isReloadRequested) {
        isReloadRequested = false;
        std::string why;
        const bool isLoaded = ReloadScene(&why);
        if (!isLoaded) std::fprintf(stderr, "polyview: %s; the scene stays as it was\n", why.c_str());
        SetWindowTextA(window, why.empty() ? title : (std::string(title) + " - " + why).c_str());
    }
    return !watch.isOn || !HoldsFrame(Clock::now());
}
