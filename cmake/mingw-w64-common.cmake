# What both mingw-w64 toolchain files share; each sets ASKGAME_MINGW_TRIPLE and the processor
# first. Debian's POSIX threads variant of the compilers, so that std::thread and std::mutex work.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${ASKGAME_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ASKGAME_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${ASKGAME_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ASKGAME_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
