/* Preloaded into Wine for the tests: Wine's device manager links a COM port
 * to every /dev/ttyS*, ttyUSB* and ttyACM* that access() reports, at each
 * session start. Hiding them leaves only the COM ports the test maps itself
 * (to simulated lines) in the prefix. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <unistd.h>

static int is_serial_device(const char* path) {
    static const char* const prefixes[] = {"/dev/ttyS", "/dev/ttyUSB", "/dev/ttyACM"};
    if (path == NULL) return 0;
    for (unsigned i = 0; i < sizeof prefixes / sizeof prefixes[0]; ++i)
        if (strncmp(path, prefixes[i], strlen(prefixes[i])) == 0) return 1;
    return 0;
}

__attribute__((visibility("default"))) int access(const char* path, int mode) {
    static int (*real)(const char*, int);
    if (is_serial_device(path)) {
        errno = ENOENT;
        return -1;
    }
    if (!real) real = (int (*)(const char*, int))dlsym(RTLD_NEXT, "access");
    return real ? real(path, mode) : -1;
}

__attribute__((visibility("default"))) int faccessat(int dirfd, const char* path, int mode, int flags) {
    static int (*real)(int, const char*, int, int);
    if (is_serial_device(path)) {
        errno = ENOENT;
        return -1;
    }
    if (!real) real = (int (*)(int, const char*, int, int))dlsym(RTLD_NEXT, "faccessat");
    return real ? real(dirfd, path, mode, flags) : -1;
}
