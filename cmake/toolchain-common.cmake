# Cross compilation for Windows with the posix thread-model MinGW-w64 compilers
# (the win32 thread model has no std::mutex). FERRULE_ARCH is set by the including file.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${FERRULE_ARCH})
set(FERRULE_TRIPLE ${FERRULE_ARCH}-w64-mingw32)
set(CMAKE_C_COMPILER ${FERRULE_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${FERRULE_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${FERRULE_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${FERRULE_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
