# The translator's tool's platform-free part, shared by the program and the native tests.
set(TRXTOOL_DIR ${CMAKE_CURRENT_LIST_DIR})
set(TRXTOOL_PORTABLE_SOURCES ${TRXTOOL_DIR}/PoFile.cpp)
