# Cross-build for Windows with Debian's mingw-w64, in its POSIX-threads
# flavour (GoogleTest needs std::mutex). The including file sets
# POLYVIEW_MINGW_ARCH (i686 or x86_64).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${POLYVIEW_MINGW_ARCH})
set(CMAKE_C_COMPILER ${POLYVIEW_MINGW_ARCH}-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER ${POLYVIEW_MINGW_ARCH}-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER ${POLYVIEW_MINGW_ARCH}-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${POLYVIEW_MINGW_ARCH}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Only Windows system DLLs at run time: the GCC runtimes go in statically.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# The test programs run under the WoW64 Wine of scripts/wine-wow64.sh, and
# count only when GoogleTest's own report shows tests that passed.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tests/windows/run_gtest.sh)
