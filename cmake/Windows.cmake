# Settings of every Windows target: static runtime (no MinGW DLL beside the program),
# Unicode entry points, and the oldest Windows API level the program targets.
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX STRICT _WIN32_WINNT=0x0501 WINVER=0x0501
    __USE_MINGW_ANSI_STDIO=1)
add_link_options(-static -static-libgcc -static-libstdc++)
# A fault in the program's code is raised as an exception at the faulting instruction
# (SystemFaults.cpp): every instruction that can fault needs its unwinding described.
add_compile_options(-fnon-call-exceptions -fasynchronous-unwind-tables)
