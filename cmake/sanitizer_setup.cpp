// Linked into every program of the sanitizer build (POLYVIEW_SANITIZE).
#include <cstdlib>

// Mesa's llvmpipe keeps worker threads for as long as its screen lives, that
// is, until the process ends. LeakSanitizer stops every thread at exit to scan
// for leaks, and its tracer can die (signal 11) on those threads, failing a
// test that passed. Without workers llvmpipe rasterizes on the calling thread
// and draws the same pixels. Set before any driver is loaded; a value given
// in the environment wins.
__attribute__((constructor)) static void RunLlvmpipeWithoutWorkers() {
    setenv("LP_NUM_THREADS", "0", 0);
}

// Leaks outside polyview's code. Mesa's drivers keep allocations for the life
// of the process; libdbus keeps a buffer once SDL has talked to the session
// bus (screen-saver inhibition).
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libEGL_mesa.so\n"
           "leak:libgallium\n"
           "leak:libGLX_mesa.so\n"
           "leak:swrast_dri.so\n"
           "leak:libLLVM\n"
           "leak:libglapi.so\n"
           "leak:libdbus-1.so\n";
}
