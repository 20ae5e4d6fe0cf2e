# SPDX-License-Identifier: MIT
# Cross build for 32-bit big-endian MIPS Linux (o32), as on many routers. Tests run under qemu-mips:
#   cmake -B build-mips-linux-gnu -DCMAKE_TOOLCHAIN_FILE=cmake/mips-linux-gnu.cmake
set(KELID3_CROSS_TRIPLET mips-linux-gnu)
set(CMAKE_SYSTEM_PROCESSOR mips)
set(KELID3_CROSS_QEMU qemu-mips)
include(${CMAKE_CURRENT_LIST_DIR}/cross-linux.cmake)
