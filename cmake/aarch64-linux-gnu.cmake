# SPDX-License-Identifier: MIT
# Cross build for 64-bit ARM Linux (arm64). Tests run under qemu-aarch64:
#   cmake -B build-aarch64-linux-gnu -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake
set(KELID3_CROSS_TRIPLET aarch64-linux-gnu)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(KELID3_CROSS_QEMU qemu-aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/cross-linux.cmake)
