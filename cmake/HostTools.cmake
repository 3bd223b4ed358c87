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
        ${FERRULE_HOST_DIR}/tools/tdbg/tdbgcheck ${FERRULE_HOST_DIR}/tools/trxbuild/trxbuild
        ${FERRULE_HOST_DIR}/tools/icongen/icongen)

set(FERRULE_FORMC ${FERRULE_HOST_DIR}/tools/formc/formc)
set(FERRULE_TDBGC ${FERRULE_HOST_DIR}/tools/tdbg/tdbgc)
set(FERRULE_TDBGCHECK ${FERRULE_HOST_DIR}/tools/tdbg/tdbgcheck)
set(FERRULE_TRXBUILD ${FERRULE_HOST_DIR}/tools/trxbuild/trxbuild)
set(FERRULE_ICONGEN ${FERRULE_HOST_DIR}/tools/icongen/icongen)
# What trxbuild makes of the resource strings (ferrule_resource_strings): accessors, string table,
# translation resources and the identifier map every program carries as its section "VYN.DRC".
set(FERRULE_RESOURCE_STRING_DIR ${CMAKE_BINARY_DIR}/resstr)
set(FERRULE_IDENTIFIER_MAP ${FERRULE_RESOURCE_STRING_DIR}/IdentifierMap.drc)

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
        COMMAND ${FERRULE_TDBGC} --source-root ${FERRULE_IMAGE_SOURCE_ROOT} ${options}
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
    # Language 0, as translation modules are saved: a form in any other would stand twice in one.
    file(WRITE ${rc} "LANGUAGE 0, 0\n${resource_name} RCDATA \"${binary}\"\n")
    add_library(${stem}FormResource OBJECT ${rc})
    set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS ${binary})
    target_link_libraries(${library} INTERFACE ${stem}FormResource $<TARGET_OBJECTS:${stem}FormResource>)
endfunction()

# Numbers the resource strings of every unit's declaration file ("<Unit>.resstr") into one string
# table and generates what the programs need of them: the accessor headers (<Unit>ResStr.h,
# include folder on VynUnicode), their definitions, and the resources every program links through
# the runtime framework (the string table, "VYN_TRX_FLAG", the placeholder "VYN_TRX_GUID"). Call once,
# with every declaration file, in the folder that defines Rtl and VynUnicode.
function(ferrule_resource_strings)
    set(dir ${FERRULE_RESOURCE_STRING_DIR})
    set(outputs ${dir}/ResourceStrings.cpp ${dir}/ResourceStrings.rc ${dir}/TrxFlag.bin ${dir}/TrxGuid.bin
        ${FERRULE_IDENTIFIER_MAP})
    foreach(declarations IN LISTS ARGN)
        get_filename_component(unit ${declarations} NAME_WE)
        list(APPEND outputs ${dir}/include/${unit}ResStr.h)
    endforeach()
    add_custom_command(OUTPUT ${outputs}
        COMMAND ${FERRULE_TRXBUILD} strings --out ${dir} ${ARGN}
        DEPENDS ${ARGN} host_tools ${FERRULE_TRXBUILD}
        COMMENT "Numbering the resource strings"
        VERBATIM)
    add_custom_target(ResourceStringSources DEPENDS ${outputs})
    add_library(ResourceStringResources OBJECT ${dir}/ResourceStrings.rc)
    add_dependencies(ResourceStringResources ResourceStringSources)
    set(FERRULE_RESOURCE_STRING_DECLARATIONS ${ARGN} CACHE INTERNAL "")
endfunction()

# Writes the build identifier and the identifier map into every program of the calling folder, once
# the folder's CMakeLists is read (cmake_language DEFER), so that the stamp comes after every other
# step after linking (debug data, stripping): the identifier covers the resources as shipped and
# "VYN.DRC" is the last section. trxbuild leaves modules without the translation resources (the
# stand-in libraries) as the linker made them. Functions that define programs call it.
function(ferrule_stamp_programs)
    get_property(scheduled DIRECTORY PROPERTY FERRULE_PROGRAMS_STAMPED)
    if(NOT scheduled)
        set_property(DIRECTORY PROPERTY FERRULE_PROGRAMS_STAMPED ON)
        cmake_language(DEFER CALL _ferrule_stamp_folder_programs)
    endif()
endfunction()

function(_ferrule_stamp_folder_programs)
    get_property(targets DIRECTORY PROPERTY BUILDSYSTEM_TARGETS)
    foreach(target IN LISTS targets)
        get_target_property(type ${target} TYPE)
        if(type MATCHES "^(EXECUTABLE|SHARED_LIBRARY|MODULE_LIBRARY)$")
            add_custom_command(TARGET ${target} POST_BUILD
                COMMAND ${FERRULE_TRXBUILD} stamp --map ${FERRULE_IDENTIFIER_MAP} $<TARGET_FILE:${target}>
                VERBATIM)
            add_dependencies(${target} host_tools ResourceStringSources)
        endif()
    endforeach()
endfunction()
