/* Older or stricter kernels, for the cases that must hold there too. Preloaded:
 * with OLPA_SHIM_LANDLOCK_5, Landlock answers ABI 5 (before Linux 6.12: no
 * scoping of signals); with OLPA_SHIM_SEM_NAMESPACE, no user namespace can be
 * made (as where the system forbids them). Everything else passes on. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <sched.h>
#include <stdarg.h>
#include <stdlib.h>
#include <sys/syscall.h>

#define LANDLOCK_CREATE_RULESET_VERSION (1U << 0)

long syscall(long numero, ...) {
  static long (*real)(long, ...);
  va_list args;
  long a[6];
  va_start(args, numero);
  for (int i = 0; i < 6; i++)
    a[i] = va_arg(args, long);
  va_end(args);
  if (getenv("OLPA_SHIM_LANDLOCK_5") && numero == SYS_landlock_create_ruleset && a[0] == 0 && a[1] == 0 &&
      a[2] == LANDLOCK_CREATE_RULESET_VERSION)
    return 5;
  if (!real)
    real = (long (*)(long, ...))dlsym(RTLD_NEXT, "syscall");
  return real(numero, a[0], a[1], a[2], a[3], a[4], a[5]);
}

int unshare(int flags) {
  static int (*real)(int);
  if (getenv("OLPA_SHIM_SEM_NAMESPACE") && (flags & CLONE_NEWUSER)) {
    errno = EPERM;
    return -1;
  }
  if (!real)
    real = (int (*)(int))dlsym(RTLD_NEXT, "unshare");
  return real(flags);
}
