# Settings of every Windows target: static runtime (no MinGW DLL beside the program),
# Unicode entry points, and the oldest Windows API level the program targets.
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX STRICT _WIN32_WINNT=0x0501 WINVER=0x0501
    __USE_MINGW_ANSI_STDIO=1)
add_link_options(-static -static-libgcc -static-libstdc++)
# A fault in the program's code is raised as an exception at the faulting instruction
# (SystemFaults.cpp): every instruction that can fault needs its unwinding described.
add_compile_options(-fnon-call-exceptions -fasynchronous-unwind-tables)
# Reproducible images: the same commit built in any folder at any time gives the same bytes. The
# source and build folders are recorded as fixed absolute roots (relative ones would be taken as
# relative to each object's own folder); the later map wins, so a build folder inside the source
# folder maps as the build. PE headers and archives carry no time stamps.
set(FERRULE_IMAGE_SOURCE_ROOT /ferrule/source)
set(FERRULE_IMAGE_BUILD_ROOT /ferrule/build)
add_compile_options(-ffile-prefix-map=${CMAKE_SOURCE_DIR}=${FERRULE_IMAGE_SOURCE_ROOT}
    -ffile-prefix-map=${CMAKE_BINARY_DIR}=${FERRULE_IMAGE_BUILD_ROOT})
add_link_options(-Wl,--no-insert-timestamp)
foreach(lang C CXX)
    set(CMAKE_${lang}_ARCHIVE_CREATE "<CMAKE_AR> qcD <TARGET> <LINK_FLAGS> <OBJECTS>")
    set(CMAKE_${lang}_ARCHIVE_APPEND "<CMAKE_AR> qD <TARGET> <LINK_FLAGS> <OBJECTS>")
    set(CMAKE_${lang}_ARCHIVE_FINISH "<CMAKE_RANLIB> -D <TARGET>")
endforeach()
