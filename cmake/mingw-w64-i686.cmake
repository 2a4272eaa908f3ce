# Cross-compiles for 32-bit Windows, the plug-in's real target. Use with a build folder of its own:
#   cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake
set(CMAKE_SYSTEM_PROCESSOR i686)
set(ASKGAME_MINGW_TRIPLE i686-w64-mingw32)
# Debian's 32-bit Wine loader (package wine32); it needs a machine that runs 32-bit code.
set(ASKGAME_WINE_LOADER /usr/lib/wine/wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
