# SPDX-License-Identifier: MIT
# Cross build for 32-bit little-endian ARM Linux (armhf), the library's
# home target. Tests run under qemu-arm:
#   cmake -B build-arm-linux-gnueabihf -DCMAKE_TOOLCHAIN_FILE=cmake/arm-linux-gnueabihf.cmake
set(KELID3_CROSS_TRIPLET arm-linux-gnueabihf)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(KELID3_CROSS_QEMU qemu-arm)
include(${CMAKE_CURRENT_LIST_DIR}/cross-linux.cmake)
