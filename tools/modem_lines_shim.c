/* Test support, never part of the product: a pseudo-terminal has no modem lines,
 * so Wine's GetCommModemStatus fails on the virtual switch's port. Loaded into the
 * Wine process with LD_PRELOAD, this answers the line query (TIOCMGET) for a pty
 * from the file $WINEPREFIX/tovira-modem-lines/ptsN that the virtual switch keeps.
 * It also plays a port whose opening blocks: while the file
 * $WINEPREFIX/tovira-modem-lines/delay-open holds a number of milliseconds, every
 * set-up of a pseudo-terminal's line settings waits that long first. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
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

/* The port's open is Wine's server's work; its set-up (SetCommState, then
 * tcsetattr) runs in the program's own thread: that is where the delay goes. */
static void delay_pty_setup(int fd) {
  char link[64], target[256];
  snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  ssize_t length = readlink(link, target, sizeof target - 1);
  if (length <= 0) return;
  target[length] = '\0';
  if (strncmp(target, "/dev/pts/", 9) != 0) return;
  const char* prefix = getenv("WINEPREFIX");
  if (prefix == NULL) return;
  char marker[1024];
  snprintf(marker, sizeof marker, "%s/tovira-modem-lines/delay-open", prefix);
  FILE* file = fopen(marker, "r");
  if (file == NULL) return;
  long milliseconds = 0;
  if (fscanf(file, "%ld", &milliseconds) != 1) milliseconds = 0;
  fclose(file);
  struct timespec pause = {milliseconds / 1000, (milliseconds % 1000) * 1000000L};
  while (nanosleep(&pause, &pause) == -1 && errno == EINTR) {
  }
}

typedef int (*tcsetattr_fn)(int, int, const struct termios*);

int tcsetattr(int fd, int when, const struct termios* settings) {
  static tcsetattr_fn real_tcsetattr;
  if (real_tcsetattr == NULL) real_tcsetattr = (tcsetattr_fn)dlsym(RTLD_NEXT, "tcsetattr");
  delay_pty_setup(fd);
  return real_tcsetattr(fd, when, settings);
}
