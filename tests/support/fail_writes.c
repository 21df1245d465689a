/* Loaded ahead of a program under test (LD_PRELOAD): its writes to regular
   files succeed until BELMORA_FAIL_AFTER bytes have been written, then come
   up short and fail with ENOSPC, as on a disk that has just filled up. The
   standard streams are not counted. With BELMORA_FAIL_NAME, only writes to
   files whose path contains that text count; with BELMORA_FAIL_RENAME, a
   rename onto a path containing that text fails with EIO. With
   BELMORA_KILL=1 the program is killed (SIGKILL) where the write that runs
   out would have failed, as by a power cut or `kill -9` in mid-edit. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

static long long budget = -2;

static long long Budget(void) {
  if (budget == -2) {
    const char* text = getenv("BELMORA_FAIL_AFTER");
    budget = text ? atoll(text) : -1;
  }
  return budget;
}

/* Whether the file open as fd is one whose writes are counted. */
static int Counted(int fd) {
  const char* name = getenv("BELMORA_FAIL_NAME");
  if (!name || !*name) return 1;
  char link[64], path[4096];
  snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  ssize_t k = readlink(link, path, sizeof path - 1);
  if (k < 0) return 0;
  path[k] = 0;
  return strstr(path, name) != NULL;
}

/* How many of n bytes may go to fd; -1 (ENOSPC) when none may. */
static ssize_t Allowed(int fd, size_t n) {
  struct stat st;
  if (Budget() < 0 || fd <= 2 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || !Counted(fd))
    return (ssize_t)n;
  if (budget == 0 || ((long long)n > budget && getenv("BELMORA_KILL"))) {
    if (getenv("BELMORA_KILL")) raise(SIGKILL);
    errno = ENOSPC;
    return -1;
  }
  if ((long long)n > budget) n = (size_t)budget;
  budget -= (long long)n;
  return (ssize_t)n;
}

ssize_t write(int fd, const void* data, size_t n) {
  static ssize_t (*real)(int, const void*, size_t);
  if (!real) real = (ssize_t(*)(int, const void*, size_t))dlsym(RTLD_NEXT, "write");
  ssize_t k = Allowed(fd, n);
  return k < 0 ? -1 : real(fd, data, (size_t)k);
}

ssize_t pwrite(int fd, const void* data, size_t n, off_t offset) {
  static ssize_t (*real)(int, const void*, size_t, off_t);
  if (!real) real = (ssize_t(*)(int, const void*, size_t, off_t))dlsym(RTLD_NEXT, "pwrite");
  ssize_t k = Allowed(fd, n);
  return k < 0 ? -1 : real(fd, data, (size_t)k, offset);
}

ssize_t pwrite64(int fd, const void* data, size_t n, off_t offset) {
  static ssize_t (*real)(int, const void*, size_t, off_t);
  if (!real) real = (ssize_t(*)(int, const void*, size_t, off_t))dlsym(RTLD_NEXT, "pwrite64");
  ssize_t k = Allowed(fd, n);
  return k < 0 ? -1 : real(fd, data, (size_t)k, offset);
}

int rename(const char* from, const char* to) {
  static int (*real)(const char*, const char*);
  if (!real) real = (int (*)(const char*, const char*))dlsym(RTLD_NEXT, "rename");
  const char* name = getenv("BELMORA_FAIL_RENAME");
  if (name && *name && strstr(to, name)) {
    errno = EIO;
    return -1;
  }
  return real(from, to);
}
