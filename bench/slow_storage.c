/* SPDX-License-Identifier: MIT */
/* slow_storage.c - a preload library that stands in for slow storage (a
 * network share): every open and pread waits SLOW_STORAGE_US microseconds
 * (default 2000) before it is done. Used by bench/jobs to measure -j.
 *   cc -shared -fPIC -O2 -o slow_storage.so slow_storage.c -ldl
 *   LD_PRELOAD=./slow_storage.so kelid3-info -j 4 DIR */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdlib.h>
#include <sys/types.h>
#include <time.h>

static void wait_a_while(void) {
    const char *env = getenv("SLOW_STORAGE_US");
    const long us = env != NULL ? atol(env) : 2000;
    struct timespec t = {us / 1000000, (us % 1000000) * 1000};
    while (nanosleep(&t, &t) != 0) continue;
}

#define NEXT(name) ((__typeof__(&name))dlsym(RTLD_NEXT, #name))

static int open_as(const char *name, const char *path, int flags, va_list args) {
    int (*next)(const char *, int, ...) = (int (*)(const char *, int, ...))dlsym(RTLD_NEXT, name);
    mode_t mode = (flags & (O_CREAT | O_TMPFILE)) != 0 ? (mode_t)va_arg(args, int) : 0;
    wait_a_while();
    return next(path, flags, mode);
}

int open(const char *path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const int fd = open_as("open", path, flags, args);
    va_end(args);
    return fd;
}

int open64(const char *path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const int fd = open_as("open64", path, flags, args);
    va_end(args);
    return fd;
}

ssize_t pread(int fd, void *buf, size_t count, off_t offset) {
    wait_a_while();
    return NEXT(pread)(fd, buf, count, offset);
}

ssize_t pread64(int fd, void *buf, size_t count, off64_t offset) {
    wait_a_while();
    return NEXT(pread64)(fd, buf, count, offset);
}
