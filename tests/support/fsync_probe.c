/* Loaded into trk7700 with LD_PRELOAD by the data-safety tests: every fsync
 * is written down (the path of its file, one a line, in $TRK_TEST_FSYNC_LOG),
 * and one whose path contains $TRK_TEST_FSYNC_FAIL fails as a disk that
 * cannot write would (EIO). */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

int fsync(int fd)
{
    char link[64], path[4096];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    ssize_t n = readlink(link, path, sizeof path - 1);
    path[n > 0 ? n : 0] = '\0';
    const char *log = getenv("TRK_TEST_FSYNC_LOG");
    if (log != NULL) {
        const int out = open(log, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
        if (out >= 0) {
            dprintf(out, "%s\n", path);
            close(out);
        }
    }
    const char *fail = getenv("TRK_TEST_FSYNC_FAIL");
    if (fail != NULL && fail[0] != '\0' && strstr(path, fail) != NULL) {
        errno = EIO;
        return -1;
    }
    int (*real)(int) = (int (*)(int))dlsym(RTLD_NEXT, "fsync");
    return real(fd);
}
