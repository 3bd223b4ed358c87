# Unicode-runtime sources that also build natively (their Windows parts are conditional).
set(VYN_UNICODE_PORTABLE_DIR ${CMAKE_CURRENT_LIST_DIR})
set(VYN_UNICODE_PORTABLE_SOURCES
    ${VYN_UNICODE_PORTABLE_DIR}/VynClasses.cpp
    ${VYN_UNICODE_PORTABLE_DIR}/VynFormatStrUtils.cpp
    ${VYN_UNICODE_PORTABLE_DIR}/VynShortCuts.cpp
    ${VYN_UNICODE_PORTABLE_DIR}/VynSysUtilsPaths.cpp)
