# SPDX-License-Identifier: MIT
# What every cross toolchain file here shares: Debian's cross compilers
# (g++-<triplet>), their sysroot /usr/<triplet>, and qemu-user to run the
# programs built. The including file sets KELID3_CROSS_TRIPLET,
# CMAKE_SYSTEM_PROCESSOR and KELID3_CROSS_QEMU, and may set
# KELID3_CROSS_QEMU_OPTIONS.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_C_COMPILER ${KELID3_CROSS_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${KELID3_CROSS_TRIPLET}-g++)
set(CMAKE_FIND_ROOT_PATH /usr/${KELID3_CROSS_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Tests (and gtest_discover_tests) run the target's programs through the
# emulator; -L lets it find the target's dynamic loader and libc.
set(CMAKE_CROSSCOMPILING_EMULATOR ${KELID3_CROSS_QEMU} -L /usr/${KELID3_CROSS_TRIPLET}
    ${KELID3_CROSS_QEMU_OPTIONS})
