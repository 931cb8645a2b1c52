# The web build: Emscripten's own CMake toolchain (EMSCRIPTEN names its
# folder where it is not Debian's /usr/share/emscripten).
if(DEFINED ENV{EMSCRIPTEN})
  set(POLYVIEW_EMSCRIPTEN_ROOT "$ENV{EMSCRIPTEN}")
else()
  set(POLYVIEW_EMSCRIPTEN_ROOT /usr/share/emscripten)
endif()
include(${POLYVIEW_EMSCRIPTEN_ROOT}/cmake/Modules/Platform/Emscripten.cmake)

# The linker runs Emscripten's JavaScript optimizer, which needs Debian's
# node modules (acorn); a node that is not Debian's does not look there.
if(EXISTS /usr/share/nodejs/acorn)
  set(CMAKE_CXX_LINKER_LAUNCHER ${CMAKE_COMMAND} -E env NODE_PATH=/usr/share/nodejs)
endif()
