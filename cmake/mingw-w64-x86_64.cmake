# Cross-build for 64-bit Windows with Debian's MinGW-w64 (posix threads, for std::thread and
# std::mutex). The programs are linked statically so that they run from any folder, under Wine
# too, without the compiler's DLLs beside them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(kovrel_mingw x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${kovrel_mingw}-gcc-posix)
set(CMAKE_CXX_COMPILER ${kovrel_mingw}-g++-posix)
set(CMAKE_RC_COMPILER ${kovrel_mingw}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${kovrel_mingw})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# ctest runs the Windows programs through Wine. Debian installs wine64 outside the PATH unless
# the wine wrapper package is there too.
find_program(KOVREL_WINE64 NAMES wine64 PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(KOVREL_WINE64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${KOVREL_WINE64})
endif()
