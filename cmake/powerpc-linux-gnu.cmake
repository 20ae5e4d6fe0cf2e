# SPDX-License-Identifier: MIT
# Cross build for 32-bit big-endian PowerPC Linux. Tests run under qemu-ppc:
#   cmake -B build-powerpc-linux-gnu -DCMAKE_TOOLCHAIN_FILE=cmake/powerpc-linux-gnu.cmake
set(KELID3_CROSS_TRIPLET powerpc-linux-gnu)
set(CMAKE_SYSTEM_PROCESSOR powerpc)
set(KELID3_CROSS_QEMU qemu-ppc)
include(${CMAKE_CURRENT_LIST_DIR}/cross-linux.cmake)
