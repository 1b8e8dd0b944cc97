/* Test support: modem lines for ttys that have none.
 *
 * Under Wine a COM port mapped to a pty cannot read or set its modem lines: the
 * TIOCM* ioctls fail, so every GetCommModemStatus, EscapeCommFunction and
 * WaitCommEvent fails too. Preloaded into the wine64 process (LD_PRELOAD), this
 * library answers those ioctls on ttys where the real call fails:
 *   TIOCMGET              the bits named in the control file, plus DTR/RTS as last set
 *   TIOCMSET/BIS/BIC      remember DTR and RTS
 * The control file ($CORVANE_MODEM_LINES) holds words such as "CTS DSR"; a test
 * rewrites it to drop or raise a line while the program runs. Without the variable,
 * or with the file missing, CTS and DSR are on.
 *
 * Built with the host compiler; never linked into a program of the project.
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

typedef int (*ioctl_fn)(int, unsigned long, ...);

static int g_output_bits = TIOCM_DTR | TIOCM_RTS; /* lines this side drives */

static int lines_from_file(void) {
  const char* path = getenv("CORVANE_MODEM_LINES");
  if (!path || !*path) return TIOCM_CTS | TIOCM_DSR;
  FILE* f = fopen(path, "r");
  if (!f) return TIOCM_CTS | TIOCM_DSR;
  char word[32];
  int bits = 0;
  while (fscanf(f, "%31s", word) == 1) {
    if (!strcasecmp(word, "CTS")) bits |= TIOCM_CTS;
    else if (!strcasecmp(word, "DSR")) bits |= TIOCM_DSR;
    else if (!strcasecmp(word, "DCD") || !strcasecmp(word, "CD")) bits |= TIOCM_CD;
    else if (!strcasecmp(word, "RI")) bits |= TIOCM_RI;
  }
  fclose(f);
  return bits;
}

static int is_modem_request(unsigned long request) {
  return request == TIOCMGET || request == TIOCMSET || request == TIOCMBIS || request == TIOCMBIC;
}

int ioctl(int fd, unsigned long request, ...) {
  static ioctl_fn real;
  if (!real) real = (ioctl_fn)dlsym(RTLD_NEXT, "ioctl");
  va_list ap;
  va_start(ap, request);
  void* arg = va_arg(ap, void*);
  va_end(ap);
  int saved = errno;
  int rc = real(fd, request, arg);
  if (rc == 0 || !is_modem_request(request) || !isatty(fd) || !arg) return rc;
  errno = saved;
  int* bits = (int*)arg;
  switch (request) {
    case TIOCMGET: *bits = lines_from_file() | g_output_bits; break;
    case TIOCMSET: g_output_bits = *bits & (TIOCM_DTR | TIOCM_RTS); break;
    case TIOCMBIS: g_output_bits |= *bits & (TIOCM_DTR | TIOCM_RTS); break;
    case TIOCMBIC: g_output_bits &= ~(*bits & (TIOCM_DTR | TIOCM_RTS)); break;
  }
  return 0;
}
