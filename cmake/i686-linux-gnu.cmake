# SPDX-License-Identifier: MIT
# Cross build for 32-bit x86 Linux (i686). The kernel here may not run 32-bit x86
# programs itself, so they go through the emulator too. Tests run under qemu-i386:
#   cmake -B build-i686-linux-gnu -DCMAKE_TOOLCHAIN_FILE=cmake/i686-linux-gnu.cmake
set(KELID3_CROSS_TRIPLET i686-linux-gnu)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(KELID3_CROSS_QEMU qemu-i386)
# The sysroot's dynamic loader reads the host's /etc/ld.so.cache, which lists
# the host's own 32-bit x86 libraries (/lib32) when libc6-i386 is installed: it
# would take that libc, which does not match it, and hang in pthread_create.
# The sysroot's libraries come first.
set(KELID3_CROSS_QEMU_OPTIONS -E LD_LIBRARY_PATH=/usr/${KELID3_CROSS_TRIPLET}/lib)
include(${CMAKE_CURRENT_LIST_DIR}/cross-linux.cmake)
