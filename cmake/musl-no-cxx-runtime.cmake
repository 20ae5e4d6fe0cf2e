# SPDX-License-Identifier: MIT
# Read after project() in a musl build (cmake/x86_64-linux-musl.cmake): the
# libraries are linked by musl-gcc with nothing of glibc's C++ runtime.
set(CMAKE_CXX_IMPLICIT_LINK_LIBRARIES "")
set(CMAKE_CXX_IMPLICIT_LINK_DIRECTORIES "")
