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
    BUILD_BYPRODUCTS ${FERRULE_HOST_DIR}/tools/formc/formc ${FERRULE_HOST_DIR}/tools/tdbg/tdbgc
        ${FERRULE_HOST_DIR}/tools/tdbg/tdbgcheck)

set(FERRULE_FORMC ${FERRULE_HOST_DIR}/tools/formc/formc)
set(FERRULE_TDBGC ${FERRULE_HOST_DIR}/tools/tdbg/tdbgc)
set(FERRULE_TDBGCHECK ${FERRULE_HOST_DIR}/tools/tdbg/tdbgcheck)

# Stores the TDBG data of a linked program or DLL in its own section "TRACEDBG", after linking.
# STRIP: the module then carries no DWARF and no symbol table, only that section (the product).
# MAP: also writes the data as a linker map beside the module (<name>.map), for people reading an
# error report's addresses without the program at hand.
# FILES_ONLY: no section; the module stays as the linker made it and its data goes to the files
# beside it, <name>.tdbg and <name>.map, as it would for a library we ship but do not change.
# KEEP_UNSTRIPPED: the linked image as it was, DWARF and symbols included, stays beside it as
# "<file>.unstripped": the reference the accuracy check and the benchmark give addr2line.
function(ferrule_embed_debug_data target)
    cmake_parse_arguments(ARG "STRIP;MAP;FILES_ONLY;KEEP_UNSTRIPPED" "" "" ${ARGN})
    set(options "")
    set(keep_unstripped "")
    if(ARG_STRIP)
        list(APPEND options --strip-with ${CMAKE_OBJCOPY})
    endif()
    set(stem $<TARGET_FILE_DIR:${target}>/$<TARGET_FILE_BASE_NAME:${target}>)
    if(ARG_MAP OR ARG_FILES_ONLY)
        list(APPEND options --map ${stem}.map)
    endif()
    if(ARG_FILES_ONLY)
        list(APPEND options --tdbg ${stem}.tdbg --no-section)
    endif()
    if(ARG_KEEP_UNSTRIPPED)
        set(keep_unstripped COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:${target}> $<TARGET_FILE:${target}>.unstripped)
    endif()
    add_custom_command(TARGET ${target} POST_BUILD
        ${keep_unstripped}
        COMMAND ${FERRULE_TDBGC} --source-root ${CMAKE_SOURCE_DIR} ${options}
            $<TARGET_FILE:${target}>
        VERBATIM)
    add_dependencies(${target} host_tools)
endfunction()

# Converts a form description (text) into the binary form stream that a resource script links in.
function(ferrule_compile_form dfm output)
    add_custom_command(OUTPUT ${output}
        COMMAND ${FERRULE_FORMC} ${dfm} ${output}
        DEPENDS ${dfm} host_tools
        COMMENT "Compiling form ${dfm}")
endfunction()

# Links a library's form description into every program that links the library, as RCDATA
# `resource_name`. A resource inside a static library is never linked (nothing refers to it), so
# the compiled resource object goes onto the link line of the library's users.
function(ferrule_link_form library dfm resource_name)
    get_filename_component(stem ${dfm} NAME_WE)
    set(binary ${CMAKE_CURRENT_BINARY_DIR}/${stem}.bin)
    set(rc ${CMAKE_CURRENT_BINARY_DIR}/${stem}.rc)
    ferrule_compile_form(${dfm} ${binary})
    file(WRITE ${rc} "${resource_name} RCDATA \"${binary}\"\n")
    add_library(${stem}FormResource OBJECT ${rc})
    set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS ${binary})
    target_link_libraries(${library} INTERFACE ${stem}FormResource $<TARGET_OBJECTS:${stem}FormResource>)
endfunction()
