# SPDX-License-Identifier: MIT
# The library for musl libc on x86-64 (Debian's musl-tools), used by the musl
# preset (scripts/check-musl). The library is C++ inside but needs nothing of
# the C++ runtime, only libstdc++'s header templates: g++ compiles it with no
# system include directory but libstdc++'s, musl's C headers and gcc's own
# (what musl-gcc uses for C), and musl-gcc links it. libstdc++'s configuration
# asks __GLIBC_PREREQ about three things (gets, and whether the thread
# functions sit in libc); musl answers as a current glibc would.
set(CMAKE_C_COMPILER musl-gcc)
set(CMAKE_CXX_COMPILER g++)
execute_process(COMMAND g++ -x c++ -E -v - INPUT_FILE /dev/null OUTPUT_QUIET
    ERROR_VARIABLE kelid3_search COMMAND_ERROR_IS_FATAL ANY)
string(REGEX MATCH "search starts here:\n(.*)End of search list" kelid3_search "${kelid3_search}")
string(REGEX MATCHALL "/[^ \n]*/c\\+\\+/[^ \n]*" kelid3_cxx_dirs "${CMAKE_MATCH_1}")
execute_process(COMMAND g++ -print-file-name=include OUTPUT_VARIABLE kelid3_gcc_include
    OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
set(CMAKE_CXX_FLAGS_INIT "-nostdinc '-D__GLIBC_PREREQ(major,minor)=1'")
foreach(dir IN LISTS kelid3_cxx_dirs ITEMS /usr/include/x86_64-linux-musl ${kelid3_gcc_include})
    string(APPEND CMAKE_CXX_FLAGS_INIT " -isystem ${dir}")
endforeach()
# CMake would name glibc's C++ runtime on the C driver's link line of a
# library with C++ sources: a musl link names none.
set(CMAKE_PROJECT_INCLUDE ${CMAKE_CURRENT_LIST_DIR}/musl-no-cxx-runtime.cmake)
