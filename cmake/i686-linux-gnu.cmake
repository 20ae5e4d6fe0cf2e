# SPDX-License-Identifier: MIT
# Cross build for 32-bit x86 Linux (i686). The kernel here may not run 32-bit x86
# programs itself, so they go through the emulator too. Tests run under qemu-i386:
#   cmake -B build-i686-linux-gnu -DCMAKE_TOOLCHAIN_FILE=cmake/i686-linux-gnu.cmake
set(KELID3_CROSS_TRIPLET i686-linux-gnu)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(KELID3_CROSS_QEMU qemu-i386)
include(${CMAKE_CURRENT_LIST_DIR}/cross-linux.cmake)
