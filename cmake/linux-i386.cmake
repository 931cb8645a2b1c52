# 32-bit x86 Linux with the host's gcc and Debian's multilib (g++-multilib).
# The programs are run through qemu-i386-static where it is installed:
# machines that refuse i386 executables ("Exec format error") need it, and
# it runs them alike everywhere else.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_C_FLAGS_INIT -m32)
set(CMAKE_CXX_FLAGS_INIT -m32)
set(CMAKE_EXE_LINKER_FLAGS_INIT -m32)
set(CMAKE_SHARED_LINKER_FLAGS_INIT -m32)
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
find_program(POLYVIEW_QEMU_I386 qemu-i386-static)
if(POLYVIEW_QEMU_I386)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${POLYVIEW_QEMU_I386})
endif()
