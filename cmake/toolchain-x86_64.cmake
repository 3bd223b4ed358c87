# The same sources as 64-bit Windows executables: the flavour the test suite runs under wine64
# on machines that cannot execute 32-bit code (see docs/ARCHITECTURE.md).
set(FERRULE_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-common.cmake)
