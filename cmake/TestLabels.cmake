# SPDX-License-Identifier: MIT
# kelid3_discover_tests(<target> [FILTER <gtest filter>] LABELS <label>...):
# the GoogleTest tests of <target> (those the filter selects), discovered when
# ctest runs, each with the ctest labels given: unit, tool, corpus, and slow
# besides for tests that take seconds under the emulators, the sanitizers and
# valgrind. (gtest_discover_tests's own PROPERTIES would pass a single label:
# a list loses its separators on the way to ctest.)
include(GoogleTest)
function(kelid3_discover_tests target)
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "FILTER" "LABELS")
    string(MAKE_C_IDENTIFIER "${target}_${arg_FILTER}" list)
    set(filter)
    if(arg_FILTER)
        set(filter TEST_FILTER "${arg_FILTER}")
    endif()
    gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST ${filter} TEST_LIST ${list})
    # Read by ctest after the discovery above has named the tests in ${list}.
    set(labels_file ${CMAKE_CURRENT_BINARY_DIR}/${list}_labels.cmake)
    file(WRITE ${labels_file} "if(${list})\n"
        "    set_tests_properties(\${${list}} PROPERTIES LABELS \"${arg_LABELS}\")\n"
        "endif()\n")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${labels_file})
endfunction()
