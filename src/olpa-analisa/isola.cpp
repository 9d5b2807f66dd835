// SPDX-License-Identifier: GPL-3.0-or-later
// The analyser confined as a run is: clang parses text a learner wrote, and
// a parser can have bugs. Files: read only beneath the folders of headers,
// written only in its own temporary folder. System calls: what clang's
// parsing needs (no network, no process, no signals to others). Limits on
// memory, processor time, open files and the size of what it writes.
#include "analisa.h"
#include "olpa_landlock.h"

#include <cerrno>
#include <cstdint>
#include <string>

#include <fcntl.h>
#include <linux/landlock.h>
#include <sched.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <seccomp.h>

namespace {

constexpr uint64_t LEITURA = LANDLOCK_ACCESS_FS_READ_FILE | LANDLOCK_ACCESS_FS_READ_DIR;

bool restringe_arquivos(const std::string &temporaria) {
  const long abi =
      syscall(SYS_landlock_create_ruleset, nullptr, 0, LANDLOCK_CREATE_RULESET_VERSION);
  if (abi < 1)
    return false;
  struct {
    uint64_t arquivos, rede;
  } tratados{(1ull << 13) - 1, 0}; // every right on files of the first version
  if (abi >= 2)
    tratados.arquivos |= LANDLOCK_ACCESS_FS_REFER;
  if (abi >= 3)
    tratados.arquivos |= 1ull << 14; // truncate
  if (abi >= 4)
    tratados.rede = (1ull << 0) | (1ull << 1); // bind, connect
  const int regras = static_cast<int>(syscall(SYS_landlock_create_ruleset, &tratados,
                                              abi >= 4 ? sizeof tratados : sizeof(uint64_t), 0));
  if (regras < 0)
    return false;
  // Headers: the C library's, and clang's own beside its library.
  for (const char *pasta : {"/usr/include", "/usr/local/include", "/usr/lib"})
    olpa_landlock_permite(regras, pasta, LEITURA, tratados.arquivos);
  olpa_landlock_permite(regras, temporaria.c_str(), tratados.arquivos, tratados.arquivos);
  const bool feito = prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
                     syscall(SYS_landlock_restrict_self, regras, 0) == 0;
  close(regras);
  return feito;
}

// What clang's parsing calls, and nothing else: anything not here fails
// with EPERM; what only an attack would try ends the process.
bool filtra_chamadas() {
  scmp_filter_ctx filtro = seccomp_init(SCMP_ACT_ERRNO(EPERM));
  if (!filtro)
    return false;
  for (const char *chamada : {"read",
                              "write",
                              "pread64",
                              "pwrite64",
                              "readv",
                              "writev",
                              "openat",
                              "open",
                              "close",
                              "fstat",
                              "newfstatat",
                              "stat",
                              "lstat",
                              "statx",
                              "lseek",
                              "access",
                              "faccessat",
                              "faccessat2",
                              "readlink",
                              "readlinkat",
                              "getcwd",
                              "getdents64",
                              "mmap",
                              "munmap",
                              "mremap",
                              "mprotect",
                              "madvise",
                              "brk",
                              "futex",
                              "rt_sigprocmask",
                              "rt_sigreturn",
                              "sigaltstack",
                              "sched_yield",
                              "sched_getaffinity",
                              "gettid",
                              "getpid",
                              "exit",
                              "exit_group",
                              "clock_gettime",
                              "clock_nanosleep",
                              "nanosleep",
                              "gettimeofday",
                              "getrandom",
                              "rseq",
                              "set_robust_list",
                              "fcntl",
                              "ftruncate",
                              "unlink",
                              "unlinkat",
                              "rename",
                              "renameat",
                              "renameat2",
                              "uname",
                              "sysinfo",
                              "getrusage",
                              "prlimit64",
                              "getuid",
                              "geteuid",
                              "getgid",
                              "getegid",
                              "fsync",
                              "fdatasync",
                              "umask",
                              "mkdir",
                              "mkdirat",
                              "utimensat",
                              "fallocate",
                              "membarrier",
                              "poll",
                              "ppoll"})
    seccomp_rule_add(filtro, SCMP_ACT_ALLOW, seccomp_syscall_resolve_name(chamada), 0);
  // Threads only (clang parses on a thread of its own); clone3 hides its
  // flags from the filter, so the C library falls back to clone.
  seccomp_rule_add(filtro, SCMP_ACT_ALLOW, SCMP_SYS(clone), 1,
                   SCMP_A0(SCMP_CMP_MASKED_EQ, CLONE_THREAD, CLONE_THREAD));
  seccomp_rule_add(filtro, SCMP_ACT_ERRNO(ENOSYS), SCMP_SYS(clone3), 0);
  for (const char *ataque :
       {"execve", "execveat", "socket", "socketpair", "connect", "ptrace", "process_vm_readv",
        "process_vm_writev", "kill", "tkill", "tgkill", "fork", "vfork"})
    seccomp_rule_add(filtro, SCMP_ACT_KILL_PROCESS, seccomp_syscall_resolve_name(ataque), 0);
  const bool feito = seccomp_load(filtro) == 0;
  seccomp_release(filtro);
  return feito;
}

void limita(int recurso, rlim_t valor) {
  const rlimit limite{valor, valor};
  setrlimit(recurso, &limite);
}

} // namespace

std::string isola_processo(const std::string &temporaria) {
  // Memory: a program that makes clang build a huge expansion ends here,
  // not in the machine's swap. Processor: a backstop to the wall-clock
  // limit its starter keeps.
  limita(RLIMIT_AS, 2048ull << 20);
  limita(RLIMIT_CPU, 600);
  limita(RLIMIT_CORE, 0);
  limita(RLIMIT_NOFILE, 128);
  limita(RLIMIT_FSIZE, 256ull << 20);
  std::string falta;
  if (!restringe_arquivos(temporaria))
    falta = "sem Landlock";
  prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0);
  if (!filtra_chamadas())
    falta += std::string(falta.empty() ? "" : ", ") + "sem filtro de chamadas";
  return falta;
}
