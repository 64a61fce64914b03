// Preloaded (LD_PRELOAD) by exit_bench.py to time a program as it was before it watched any
// file: inotify is refused, so the drive map reads the simulation file on every lookup.

#include <cerrno>

extern "C" int inotify_init1(int) {
    errno = ENOSYS;
    return -1;
}

extern "C" int inotify_init() {
    errno = ENOSYS;
    return -1;
}
