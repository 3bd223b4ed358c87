# Debug-data readers that include no Windows header: built for Windows and natively alike.
set(TRACE_PORTABLE_DIR ${CMAKE_CURRENT_LIST_DIR})
set(TRACE_PORTABLE_SOURCES
    ${TRACE_PORTABLE_DIR}/TraceDebugScanner.cpp)
list(APPEND TRACE_PORTABLE_SOURCES ${TRACE_PORTABLE_DIR}/TraceLocation.cpp)
list(APPEND TRACE_PORTABLE_SOURCES ${TRACE_PORTABLE_DIR}/TraceCallSite.cpp)
list(APPEND TRACE_PORTABLE_SOURCES ${TRACE_PORTABLE_DIR}/TraceMapScanner.cpp)
list(APPEND TRACE_PORTABLE_SOURCES ${TRACE_PORTABLE_DIR}/TracePeImage.cpp)
