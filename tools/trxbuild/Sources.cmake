# The translation-resource tool's platform-free parts, shared by trxbuild and the tests.
set(TRXBUILD_DIR ${CMAKE_CURRENT_LIST_DIR})
set(TRXBUILD_SOURCES
    ${TRXBUILD_DIR}/ResourceStringDeclarations.cpp
    ${TRXBUILD_DIR}/ResourceStringTable.cpp
    ${TRXBUILD_DIR}/PeResources.cpp
    ${TRXBUILD_DIR}/Sha1.cpp
    ${TRXBUILD_DIR}/BuildIdentifier.cpp
    ${TRXBUILD_DIR}/ModuleTemplate.cpp)
