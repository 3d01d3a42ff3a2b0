/* Test support, never part of the product: a pseudo-terminal has no modem lines,
 * so Wine's GetCommModemStatus fails on the virtual switch's port. Loaded into the
 * Wine process with LD_PRELOAD, this answers the line query (TIOCMGET) for a pty
 * from the file $WINEPREFIX/tovira-modem-lines/ptsN that the virtual switch keeps. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <unistd.h>

typedef int (*ioctl_fn)(int, unsigned long, ...);

static int read_line_bits(int fd, int* bits) {
  char link[64], target[256], path[1024];
  snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  ssize_t length = readlink(link, target, sizeof target - 1);
  if (length <= 0) return 0;
  target[length] = '\0';
  if (strncmp(target, "/dev/pts/", 9) != 0) return 0;
  /* Once the far end has closed, the pty's node is gone: "/dev/pts/N (deleted)". */
  char* space = strchr(target + 9, ' ');
  if (space != NULL) *space = '\0';
  const char* prefix = getenv("WINEPREFIX");
  if (prefix == NULL) return 0;
  snprintf(path, sizeof path, "%s/tovira-modem-lines/pts%s", prefix, target + 9);
  FILE* file = fopen(path, "r");
  if (file == NULL) return 0;
  int ok = fscanf(file, "%d", bits) == 1;
  fclose(file);
  return ok;
}

int ioctl(int fd, unsigned long request, ...) {
  static ioctl_fn real_ioctl;
  if (real_ioctl == NULL) real_ioctl = (ioctl_fn)dlsym(RTLD_NEXT, "ioctl");
  va_list args;
  va_start(args, request);
  void* argument = va_arg(args, void*);
  va_end(args);
  int result = real_ioctl(fd, request, argument);
  if (result == -1 && request == TIOCMGET && argument != NULL) {
    int saved = errno;
    int bits = 0;
    if (read_line_bits(fd, &bits)) {
      *(int*)argument = bits;
      return 0;
    }
    errno = saved;
  }
  return result;
}
