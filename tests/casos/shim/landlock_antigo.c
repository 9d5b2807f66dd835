/* A kernel whose Landlock is older (ABI 5, before Linux 6.12: no scoping of
 * signals), for the cases that must hold there too: preloaded, it answers 5
 * to the question of the ABI and passes every other system call on. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdarg.h>
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
  if (numero == SYS_landlock_create_ruleset && a[0] == 0 && a[1] == 0 &&
      a[2] == LANDLOCK_CREATE_RULESET_VERSION)
    return 5;
  if (!real)
    real = (long (*)(long, ...))dlsym(RTLD_NEXT, "syscall");
  return real(numero, a[0], a[1], a[2], a[3], a[4], a[5]);
}
