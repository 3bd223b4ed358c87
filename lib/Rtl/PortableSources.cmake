# Framework sources that include no Windows header: built for Windows and natively alike.
set(RTL_PORTABLE_DIR ${CMAKE_CURRENT_LIST_DIR})
set(RTL_PORTABLE_SOURCES
    ${RTL_PORTABLE_DIR}/Assertions.cpp
    ${RTL_PORTABLE_DIR}/ByteReader.cpp
    ${RTL_PORTABLE_DIR}/Classes.cpp
    ${RTL_PORTABLE_DIR}/FloatText.cpp
    ${RTL_PORTABLE_DIR}/FormData.cpp
    ${RTL_PORTABLE_DIR}/FormDataShared.cpp
    ${RTL_PORTABLE_DIR}/FormLoader.cpp
    ${RTL_PORTABLE_DIR}/FormStreamReader.cpp
    ${RTL_PORTABLE_DIR}/FormStreamWriter.cpp
    ${RTL_PORTABLE_DIR}/FormTextParser.cpp
    ${RTL_PORTABLE_DIR}/FormTextRenderer.cpp
    ${RTL_PORTABLE_DIR}/FormWriter.cpp
    ${RTL_PORTABLE_DIR}/Format.cpp
    ${RTL_PORTABLE_DIR}/MaskFormat.cpp
    ${RTL_PORTABLE_DIR}/Random.cpp
    ${RTL_PORTABLE_DIR}/Streams.cpp
    ${RTL_PORTABLE_DIR}/StringTableEntry.cpp
    ${RTL_PORTABLE_DIR}/StringLists.cpp
    ${RTL_PORTABLE_DIR}/TextConversion.cpp
    ${RTL_PORTABLE_DIR}/Unattended.cpp
    ${RTL_PORTABLE_DIR}/UnitRegistry.cpp
    ${RTL_PORTABLE_DIR}/Utf8Text.cpp
    ${RTL_PORTABLE_DIR}/VersionBlock.cpp
    ${RTL_PORTABLE_DIR}/WideCompare.cpp)
