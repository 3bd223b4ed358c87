# The writer of TDBG data, shared by the producer and the tests of the reader.
set(TDBG_WRITER_DIR ${CMAKE_CURRENT_LIST_DIR})
set(TDBG_WRITER_SOURCES ${TDBG_WRITER_DIR}/TraceDebugWriter.cpp ${TDBG_WRITER_DIR}/PeSectionAppender.cpp)
# The producer's reading of a linked module (line table, DWARF functions, symbols) into TDBG
# content, shared by tdbgc and the native tests.
set(TDBG_PRODUCER_SOURCES
    ${TDBG_WRITER_DIR}/TdbgProducer.cpp
    ${TDBG_WRITER_DIR}/MapFileWriter.cpp
    ${TDBG_WRITER_DIR}/FunctionNames.cpp
    ${TDBG_WRITER_DIR}/DwarfSections.cpp
    ${TDBG_WRITER_DIR}/DwarfValues.cpp
    ${TDBG_WRITER_DIR}/DwarfAbbreviations.cpp
    ${TDBG_WRITER_DIR}/DwarfRanges.cpp
    ${TDBG_WRITER_DIR}/DwarfFunctionScanner.cpp
    ${TDBG_WRITER_DIR}/DwarfProcedureNames.cpp
    ${TDBG_WRITER_DIR}/InnermostProcedures.cpp
    ${TDBG_WRITER_DIR}/ProcedureStarts.cpp
    ${TDBG_WRITER_DIR}/ToolCommand.cpp
    ${TDBG_WRITER_DIR}/DwarfLineTable.cpp
    ${TDBG_WRITER_DIR}/SourcePaths.cpp)
# The accuracy check and benchmark of the embedded data against addr2line (tdbgcheck).
set(TDBG_CHECK_SOURCES
    ${TDBG_WRITER_DIR}/CallSites.cpp
    ${TDBG_WRITER_DIR}/Addr2LineAnswers.cpp
    ${TDBG_WRITER_DIR}/LocationAgreement.cpp)
