// SPDX-License-Identifier: GPL-3.0-or-later
// The system-call filter of a confined program, as libseccomp builds it. Only
// gera_filtro links this: the filter is built when olpa is built, and each
// child loads it as it is, with its own process id put in.
#include "filtro.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <seccomp.h>

namespace {

// ------------------------------------------------------------ system calls

// Calls a program may make. Anything else traps (SIGSYS): a program that
// tries it has done something olpa does not allow.
const char *const PERMITIDAS[] = {
    // files (Landlock decides which)
    "read", "write", "readv", "writev", "pread64", "pwrite64", "preadv", "pwritev", "preadv2",
    "pwritev2", "lseek", "close", "close_range", "fstat", "stat", "lstat", "newfstatat", "statx",
    "statfs", "fstatfs", "open", "openat", "openat2", "creat", "access", "faccessat", "faccessat2",
    "readlink", "readlinkat", "getdents", "getdents64", "getcwd", "chdir", "fchdir", "mkdir",
    "mkdirat", "rmdir", "unlink", "unlinkat", "rename", "renameat", "renameat2", "truncate",
    "ftruncate", "fadvise64", "fsync", "fdatasync", "flock", "dup", "dup2", "dup3", "umask", "pipe",
    "pipe2", "poll", "ppoll", "select", "pselect6",
    // memory
    "brk", "mmap", "munmap", "mremap", "mprotect", "madvise", "msync", "mincore",
    // signals (those sent are checked below)
    "rt_sigprocmask", "rt_sigreturn", "sigaltstack", "rt_sigpending", "rt_sigsuspend",
    "rt_sigtimedwait", "pause", "alarm", "setitimer", "getitimer", "timer_create", "timer_settime",
    "timer_gettime", "timer_getoverrun", "timer_delete",
    // time and what the process may know of itself
    "nanosleep", "clock_nanosleep", "clock_gettime", "clock_getres", "gettimeofday", "time",
    "times", "getrusage", "getpid", "gettid", "getppid", "getuid", "geteuid", "getgid", "getegid",
    "getgroups", "getpgrp", "getpgid", "getsid", "getpriority", "uname", "sysinfo", "getrandom",
    "sched_yield", "sched_getaffinity", "getcpu", "getrlimit", "setrlimit", "capget",
    "set_robust_list", "rseq", "futex", "restart_syscall", "exit", "exit_group"};

// Terminal requests standard I/O makes on its own (isatty, the window size).
const unsigned long IOCTL_PERMITIDOS[] = {TCGETS, TIOCGWINSZ, FIONREAD};

// What the C library's streams and a program's own locks ask of fcntl. Not
// F_SETOWN, F_SETSIG, F_NOTIFY, F_SETLEASE and the like: they let a file's
// events send a signal (SIGKILL among them) to another process, which older
// kernels' Landlock does not stop.
const unsigned long FCNTL_PERMITIDOS[] = {F_DUPFD,     F_DUPFD_CLOEXEC, F_GETFD,     F_SETFD,
                                          F_GETFL,     F_GETLK,         F_SETLK,     F_SETLKW,
                                          F_OFD_GETLK, F_OFD_SETLK,     F_OFD_SETLKW};

bool regra(scmp_filter_ctx f, const char *nome, unsigned n = 0, const scmp_arg_cmp *cmp = nullptr) {
  const int numero = seccomp_syscall_resolve_name(nome);
  // Names this architecture lacks (fork on some) need no rule.
  return numero == __NR_SCMP_ERROR ||
         seccomp_rule_add_array(f, SCMP_ACT_ALLOW, numero, n, cmp) == 0;
}

// The call allowed when its second argument is `valor`.
bool regra_com(scmp_filter_ctx f, const char *nome, unsigned long valor) {
  const scmp_arg_cmp este[] = {SCMP_A1(SCMP_CMP_EQ, valor)};
  return regra(f, nome, 1, este);
}

scmp_filter_ctx monta(uint32_t pid) {
  scmp_filter_ctx f = seccomp_init(SCMP_ACT_TRAP);
  if (!f)
    return nullptr;
  bool ok = seccomp_attr_set(f, SCMP_FLTATR_ACT_BADARCH, SCMP_ACT_KILL_PROCESS) == 0;
  seccomp_attr_set(f, SCMP_FLTATR_CTL_OPTIMIZE, 2); // a binary tree: fewer tests per call
  for (const char *nome : PERMITIDAS)
    ok = ok && regra(f, nome);
  // Signals only to itself; SIGSYS stays ours.
  const scmp_datum_t eu = static_cast<scmp_datum_t>(pid);
  const scmp_arg_cmp a_si[] = {SCMP_A0(SCMP_CMP_EQ, eu)};
  for (const char *nome : {"kill", "tkill", "tgkill", "rt_sigqueueinfo", "rt_tgsigqueueinfo"})
    ok = ok && regra(f, nome, 1, a_si);
  const scmp_arg_cmp nao_sigsys[] = {SCMP_A0(SCMP_CMP_NE, SIGSYS)};
  ok = ok && regra(f, "rt_sigaction", 1, nao_sigsys);
  // Limits of this process only (lowering them is harmless; the hard ones hold).
  const scmp_arg_cmp deste[] = {SCMP_A0(SCMP_CMP_EQ, 0)};
  ok = ok && regra(f, "prlimit64", 1, deste);
  for (unsigned long comando : FCNTL_PERMITIDOS)
    ok = ok && regra_com(f, "fcntl", comando);
  // Its flags, but never O_ASYNC (a signal at each event, to whoever F_SETOWN named).
  const scmp_arg_cmp sem_async[] = {SCMP_A1(SCMP_CMP_EQ, F_SETFL),
                                    SCMP_A2(SCMP_CMP_MASKED_EQ, O_ASYNC, 0)};
  ok = ok && regra(f, "fcntl", 2, sem_async);
  // Space for a file, but only as its size says: the other modes (keep the
  // size, punch a hole) would pass the limit on a file's size.
  const scmp_arg_cmp so_modo_0[] = {SCMP_A1(SCMP_CMP_EQ, 0)};
  ok = ok && regra(f, "fallocate", 1, so_modo_0);
  for (unsigned long pedido : IOCTL_PERMITIDOS)
    ok = ok && regra_com(f, "ioctl", pedido);
  if (!ok) {
    seccomp_release(f);
    return nullptr;
  }
  return f;
}

} // namespace

std::vector<sock_filter> filtro_monta(uint32_t pid) {
  std::vector<sock_filter> programa;
  scmp_filter_ctx f = monta(pid);
  const int fd = f ? memfd_create("filtro", MFD_CLOEXEC) : -1;
  if (fd >= 0 && seccomp_export_bpf(f, fd) == 0) {
    const off_t tamanho = lseek(fd, 0, SEEK_END);
    programa.resize(static_cast<size_t>(tamanho > 0 ? tamanho : 0) / sizeof(sock_filter));
    const size_t bytes = programa.size() * sizeof(sock_filter);
    if (pread(fd, programa.data(), bytes, 0) != static_cast<ssize_t>(bytes))
      programa.clear();
  }
  if (fd >= 0)
    close(fd);
  if (f)
    seccomp_release(f);
  return programa;
}
