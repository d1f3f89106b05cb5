# Cross-build of the whole Windows program: a Qt kit for MinGW-w64 over our MinGW toolchain
# (cmake/mingw-w64-x86_64.cmake, the compiler of the windows-core preset), with Debian's Qt host
# tools (moc, rcc, uic: the same Qt version) running on the build machine.
#
# The kit is found through KOVREL_WINDOWS_QT, a cache variable or an environment variable;
# without either, the shared kit beside the repository (../shared/windows-qt). The kit is never
# part of the repository.
if(NOT KOVREL_WINDOWS_QT)
  if(DEFINED ENV{KOVREL_WINDOWS_QT} AND NOT "$ENV{KOVREL_WINDOWS_QT}" STREQUAL "")
    set(KOVREL_WINDOWS_QT "$ENV{KOVREL_WINDOWS_QT}")
  else()
    get_filename_component(KOVREL_WINDOWS_QT "${CMAKE_CURRENT_LIST_DIR}/../../shared/windows-qt" ABSOLUTE)
  endif()
endif()
set(KOVREL_WINDOWS_QT "${KOVREL_WINDOWS_QT}" CACHE PATH "Qt kit for MinGW-w64 (x86_64, posix threads)")
# The compiler checks run this file again in projects of their own: they get the kit from here.
set(ENV{KOVREL_WINDOWS_QT} "${KOVREL_WINDOWS_QT}")

set(kovrel_qt_toolchain "${KOVREL_WINDOWS_QT}/lib/cmake/Qt6/qt.toolchain.cmake")
if(NOT EXISTS "${kovrel_qt_toolchain}")
  message(FATAL_ERROR "No Qt kit for MinGW-w64 at '${KOVREL_WINDOWS_QT}' (no lib/cmake/Qt6/qt.toolchain.cmake): "
                      "set KOVREL_WINDOWS_QT to the kit's folder")
endif()

set(QT_CHAINLOAD_TOOLCHAIN_FILE "${CMAKE_CURRENT_LIST_DIR}/mingw-w64-x86_64.cmake" CACHE FILEPATH "")
set(QT_HOST_PATH /usr CACHE PATH "")
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake CACHE PATH "")
include("${kovrel_qt_toolchain}")

# Everything the build and the tests start under Wine (the tests, kovrel-cli writing the default
# settings file) runs in the build folder's own Wine prefix, finds the kit's DLLs and runs
# without a display.
find_program(KOVREL_WINE64 NAMES wine64 PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(KOVREL_WINE64)
  set(CMAKE_CROSSCOMPILING_EMULATOR
      /usr/bin/env "WINEPREFIX=${CMAKE_BINARY_DIR}/wine" WINEDEBUG=-all
      "WINEDLLOVERRIDES=mscoree,mshtml,winemenubuilder.exe=" "WINEPATH=Z:${KOVREL_WINDOWS_QT}/bin"
      QT_QPA_PLATFORM=offscreen ${KOVREL_WINE64})
endif()
