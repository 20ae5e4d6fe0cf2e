# SPDX-License-Identifier: MIT
# Cross build for 32-bit little-endian MIPS Linux (o32). Tests run under qemu-mipsel:
#   cmake -B build-mipsel-linux-gnu -DCMAKE_TOOLCHAIN_FILE=cmake/mipsel-linux-gnu.cmake
set(KELID3_CROSS_TRIPLET mipsel-linux-gnu)
set(CMAKE_SYSTEM_PROCESSOR mipsel)
set(KELID3_CROSS_QEMU qemu-mipsel)
include(${CMAKE_CURRENT_LIST_DIR}/cross-linux.cmake)
