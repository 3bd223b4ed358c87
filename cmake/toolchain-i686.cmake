# The product: 32-bit Windows executables (PE32).
set(FERRULE_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-common.cmake)
