# Helpers shared by the subsystem folders.

include(GoogleTest)

# Debian ships GoogleTest as source; build it with the cross compiler.
set(GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest source folder")
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(${GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

# vorlane_add_test(NAME SOURCES sources... LIBS libs... [CHILD_SUITES suites...])
# One GoogleTest executable; its cases are discovered through Wine when ctest runs,
# inside the test run's own prefix and display. A case passes only when GoogleTest
# says so: under Wine a process that dies of a stack overflow can still exit with 0.
# The CHILD_SUITES run only in a process that one of the other cases starts: they
# are no tests of their own.
function(vorlane_add_test name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;PROPERTIES;CHILD_SUITES" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
    set(filter "")
    if(ARG_CHILD_SUITES)
        list(TRANSFORM ARG_CHILD_SUITES APPEND ".*")
        list(JOIN ARG_CHILD_SUITES ":" children)
        set(filter TEST_FILTER "-${children}")
    endif()
    gtest_discover_tests(${name}
        DISCOVERY_MODE PRE_TEST
        DISCOVERY_TIMEOUT 60
        ${filter}
        PROPERTIES TIMEOUT 120
                   PASS_REGULAR_EXPRESSION "\\[  PASSED  \\] 1 test\\."
                   FAIL_REGULAR_EXPRESSION "\\[  FAILED  \\]"
                   ${ARG_PROPERTIES})
endfunction()

# vorlane_add_gui_program(NAME OUTPUT_DIR dir [OUTPUT_NAME name] DESCRIPTION text
#                         RESOURCES file.rc SOURCES ... LIBS ...)
# A GUI-subsystem program with a wide entry point, its icon and manifest (from the
# .rc file) and a version block, laid out in the build tree as it is installed.
function(vorlane_add_gui_program name)
    cmake_parse_arguments(ARG "" "OUTPUT_DIR;OUTPUT_NAME;DESCRIPTION;RESOURCES" "SOURCES;LIBS" ${ARGN})
    if(NOT ARG_OUTPUT_NAME)
        set(ARG_OUTPUT_NAME ${name})
    endif()
    set(PROGRAM ${ARG_OUTPUT_NAME})
    set(DESCRIPTION ${ARG_DESCRIPTION})
    set(version_rc ${CMAKE_CURRENT_BINARY_DIR}/${name}_version.rc)
    configure_file(${CMAKE_SOURCE_DIR}/cmake/VersionInfo.rc.in ${version_rc} @ONLY)

    add_executable(${name} WIN32 ${ARG_SOURCES} ${ARG_RESOURCES} ${version_rc})
    target_link_options(${name} PRIVATE -municode -mwindows)
    target_link_libraries(${name} PRIVATE ${ARG_LIBS})
    set_target_properties(${name} PROPERTIES
        OUTPUT_NAME ${ARG_OUTPUT_NAME}
        RUNTIME_OUTPUT_DIRECTORY ${ARG_OUTPUT_DIR})
endfunction()
