/* Test support, never part of the product: a pseudo-terminal has no modem lines,
 * so Wine's GetCommModemStatus fails on the virtual switch's port. Loaded into the
 * Wine process with LD_PRELOAD, this answers the line query (TIOCMGET) for a pty
 * from the file $WINEPREFIX/tovira-modem-lines/ptsN that the virtual switch keeps.
 * It also plays a port whose opening blocks: while the file
 * $WINEPREFIX/tovira-modem-lines/delay-open holds a number of milliseconds, every
 * set-up of a pseudo-terminal's line settings waits that long first. And it plays
 * a driver that completes reads with no bytes: while the file
 * $WINEPREFIX/tovira-modem-lines/empty-reads exists, every other read of a
 * pseudo-terminal returns nothing, which Wine turns into a read that ends with
 * no bytes. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

typedef int (*ioctl_fn)(int, unsigned long, ...);

/* What `fd` is open on, in `target` (of `size` bytes); whether it is a pty. */
static int pty_path(int fd, char* target, size_t size) {
  char link[64];
  snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  ssize_t length = readlink(link, target, size - 1);
  if (length <= 0) return 0;
  target[length] = '\0';
  return strncmp(target, "/dev/pts/", 9) == 0;
}

static int is_pty(int fd) {
  char target[256];
  return pty_path(fd, target, sizeof target);
}

static int read_line_bits(int fd, int* bits) {
  char target[256], path[1024];
  if (!pty_path(fd, target, sizeof target)) return 0;
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
  if (!is_pty(fd)) return;
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

/* Whether the empty-reads marker exists, looked at no more than every millisecond:
 * read() serves every pipe of the Wine process, and most calls must cost nothing. */
static int empty_reads_wanted(void) {
  static int wanted;
  static struct timespec checked;
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  const long elapsed_ms = (now.tv_sec - checked.tv_sec) * 1000L + (now.tv_nsec - checked.tv_nsec) / 1000000L;
  if (checked.tv_sec == 0 || elapsed_ms >= 1) {
    const char* prefix = getenv("WINEPREFIX");
    char marker[1024];
    struct stat status;
    snprintf(marker, sizeof marker, "%s/tovira-modem-lines/empty-reads", prefix != NULL ? prefix : "");
    wanted = prefix != NULL && stat(marker, &status) == 0;
    checked = now;
  }
  return wanted;
}

typedef ssize_t (*read_fn)(int, void*, size_t);

ssize_t read(int fd, void* buffer, size_t count) {
  static read_fn real_read;
  static int calls;
  if (real_read == NULL) real_read = (read_fn)dlsym(RTLD_NEXT, "read");
  if (count > 0 && empty_reads_wanted() && is_pty(fd) &&
      __atomic_add_fetch(&calls, 1, __ATOMIC_RELAXED) % 2 == 1) {
    return 0; /* an end of file: Wine ends the read with no bytes (and a broken pipe) */
  }
  return real_read(fd, buffer, count);
}
