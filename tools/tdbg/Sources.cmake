# The writer of TDBG data, shared by the producer and the tests of the reader.
set(TDBG_WRITER_DIR ${CMAKE_CURRENT_LIST_DIR})
set(TDBG_WRITER_SOURCES ${TDBG_WRITER_DIR}/TraceDebugWriter.cpp ${TDBG_WRITER_DIR}/PeSectionAppender.cpp)
