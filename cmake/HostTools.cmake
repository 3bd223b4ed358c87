# The build's own tools are built for the build machine first, in a nested host build. Both
# cross trees can name one host folder (`make` does), so the tools and the native tests are built
# once; the builds of the trees then run one after the other, never at the same time.
include(ExternalProject)

set(FERRULE_HOST_DIR ${CMAKE_BINARY_DIR}/host CACHE PATH "Folder of the nested host build (may be shared by the cross trees)")
ExternalProject_Add(host_tools
    SOURCE_DIR ${CMAKE_SOURCE_DIR}
    BINARY_DIR ${FERRULE_HOST_DIR}
    CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release -DFERRULE_BUILD_TESTS=${FERRULE_BUILD_TESTS}
    BUILD_ALWAYS ON
    INSTALL_COMMAND ""
    BUILD_BYPRODUCTS ${FERRULE_HOST_DIR}/tools/formc/formc)

set(FERRULE_FORMC ${FERRULE_HOST_DIR}/tools/formc/formc)

# Converts a form description (text) into the binary form stream that a resource script links in.
function(ferrule_compile_form dfm output)
    add_custom_command(OUTPUT ${output}
        COMMAND ${FERRULE_FORMC} ${dfm} ${output}
        DEPENDS ${dfm} host_tools
        COMMENT "Compiling form ${dfm}")
endfunction()
