# Translation-unit sources that include no Windows header: built for Windows and natively alike.
set(VYN_TRX_PORTABLE_DIR ${CMAKE_CURRENT_LIST_DIR})
set(VYN_TRX_PORTABLE_SOURCES
    ${VYN_TRX_PORTABLE_DIR}/VynTrxDfmUtils.cpp
    ${VYN_TRX_PORTABLE_DIR}/VynTrxStringBlocks.cpp)
