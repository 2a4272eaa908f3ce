# Cross-compiles for 32-bit Windows with Debian's mingw-w64 (POSIX threads variant, so that
# std::thread and std::mutex work). Use with a build folder of its own:
#   cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(ASKGAME_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_C_COMPILER ${ASKGAME_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ASKGAME_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${ASKGAME_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ASKGAME_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Tests run the built programs through Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
