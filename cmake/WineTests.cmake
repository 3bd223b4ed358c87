# Windows test programs run under Wine in a prefix private to this build tree, with one
# persistent wineserver for the whole run; window tests need DISPLAY (tools/with-display.sh).
set(FERRULE_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(FERRULE_SCRIPT_DIR ${CMAKE_BINARY_DIR}/wine)
if(FERRULE_ARCH STREQUAL "x86_64")
    set(FERRULE_WINEARCH win64)
    set(FERRULE_WINE /usr/lib/wine/wine64)
else()
    set(FERRULE_WINEARCH win32)
    set(FERRULE_WINE /usr/lib/wine/wine)
endif()
# The server binary itself: the /usr/bin wrapper adds options of its own.
if(EXISTS /usr/lib/wine/wineserver64)
    set(FERRULE_WINESERVER /usr/lib/wine/wineserver64)
else()
    set(FERRULE_WINESERVER /usr/lib/wine/wineserver32)
endif()
foreach(script wine-env.sh wine-exec.sh prefix-start.sh prefix-stop.sh)
    configure_file(${CMAKE_SOURCE_DIR}/tools/wine/${script}.in ${FERRULE_SCRIPT_DIR}/${script} @ONLY
        FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
endforeach()
set(CMAKE_CROSSCOMPILING_EMULATOR ${FERRULE_SCRIPT_DIR}/wine-exec.sh)

add_test(NAME wine.prefix.start COMMAND ${FERRULE_SCRIPT_DIR}/prefix-start.sh)
set_tests_properties(wine.prefix.start PROPERTIES FIXTURES_SETUP wine TIMEOUT 600)
add_test(NAME wine.prefix.stop COMMAND ${FERRULE_SCRIPT_DIR}/prefix-stop.sh)
set_tests_properties(wine.prefix.stop PROPERTIES FIXTURES_CLEANUP wine)

set(GTEST_SOURCE_DIR /usr/src/googletest/googletest)
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
add_subdirectory(${GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
target_compile_options(gtest PRIVATE -w)
target_compile_options(gtest_main PRIVATE -w)

# One CTest entry per test program, run under Wine inside the prefix fixture.
function(ferrule_wine_test name)
    cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} gtest_main gtest)
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 300)
    endif()
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine TIMEOUT ${ARG_TIMEOUT}
        WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
    ferrule_stamp_programs()
endfunction()
