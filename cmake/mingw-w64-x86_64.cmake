# Cross-compiles for 64-bit Windows: the same sources and tests as the 32-bit build, for machines
# that run no 32-bit code (where Wine 32 cannot start) and for 64-bit hosts.
#   cmake -S . -B build-win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(ASKGAME_MINGW_TRIPLE x86_64-w64-mingw32)
# Debian's 64-bit Wine loader (package wine64), called directly: /usr/bin/wine prefers the
# 32-bit loader whenever it is installed.
set(ASKGAME_WINE_LOADER /usr/lib/wine/wine64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
