# Settings of every Windows target: static runtime (no MinGW DLL beside the program),
# Unicode entry points, and the oldest Windows API level the program targets.
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX STRICT _WIN32_WINNT=0x0501 WINVER=0x0501
    __USE_MINGW_ANSI_STDIO=1)
add_link_options(-static -static-libgcc -static-libstdc++)
# A fault in the program's code is raised as an exception at the faulting instruction
# (SystemFaults.cpp): every instruction that can fault needs its unwinding described.
add_compile_options(-fnon-call-exceptions -fasynchronous-unwind-tables)
# Reproducible images: the same commit built in any folder at any time gives the same bytes. Paths
# are recorded relative to the source and build folders (the last matching map wins, and the build
# folder may lie inside the source folder); PE headers and archives carry no time stamps.
add_compile_options(-ffile-prefix-map=${CMAKE_SOURCE_DIR}=. -ffile-prefix-map=${CMAKE_BINARY_DIR}=.)
add_link_options(-Wl,--no-insert-timestamp)
foreach(lang C CXX)
    set(CMAKE_${lang}_ARCHIVE_CREATE "<CMAKE_AR> qcD <TARGET> <LINK_FLAGS> <OBJECTS>")
    set(CMAKE_${lang}_ARCHIVE_APPEND "<CMAKE_AR> qD <TARGET> <LINK_FLAGS> <OBJECTS>")
    set(CMAKE_${lang}_ARCHIVE_FINISH "<CMAKE_RANLIB> -D <TARGET>")
endforeach()
