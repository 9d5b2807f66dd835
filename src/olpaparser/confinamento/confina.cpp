// SPDX-License-Identifier: GPL-3.0-or-later
// Confining a child before the learner's main: it keeps no capability and
// can gain none, reaches files only beneath the run tree (writing only in
// ../telas), and makes only the system calls a drawing program needs. What
// it may not do ends it with SIGSYS; the application then names what was
// tried. The filter itself is built with olpa (filtro.cpp, gera_filtro.cpp).
#include "filtro_gerado.h"
#include "comum.h"
#include "confina.h"
#include "olpa_landlock.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include <fcntl.h>
#include <linux/capability.h>
#include <linux/filter.h>
#include <linux/landlock.h>
#include <linux/seccomp.h>
#include <sys/stat.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <seccomp.h>

namespace {

// Where the process id goes, the filter holds the id it was built for.
constexpr bool lugares_do_id_certos() {
  for (unsigned i : FILTRO_LUGARES_DO_ID)
    if (i >= std::size(FILTRO_GERADO) || FILTRO_GERADO[i].k != FILTRO_ID)
      return false;
  return true;
}
static_assert(lugares_do_id_certos());

// Calls refused on purpose, and what a learner is told was tried.
struct Proibida {
  const char *chamada;
  const char *acao;
};
const Proibida PROIBIDAS[] = {
    {"fork", "criar outro processo"},
    {"vfork", "criar outro processo"},
    {"clone", "criar outro processo"},
    {"clone3", "criar outro processo"},
    {"execve", "rodar outro programa"},
    {"execveat", "rodar outro programa"},
    {"kill", "enviar um sinal a outro processo"},
    {"tkill", "enviar um sinal a outro processo"},
    {"tgkill", "enviar um sinal a outro processo"},
    {"rt_sigqueueinfo", "enviar um sinal a outro processo"},
    {"rt_tgsigqueueinfo", "enviar um sinal a outro processo"},
    {"pidfd_send_signal", "enviar um sinal a outro processo"},
    {"pidfd_open", "mexer em outro processo"},
    {"pidfd_getfd", "mexer em outro processo"},
    {"ptrace", "mexer em outro processo"},
    {"process_vm_readv", "mexer em outro processo"},
    {"process_vm_writev", "mexer em outro processo"},
    {"kcmp", "mexer em outro processo"},
    {"socket", "usar a rede"},
    {"socketpair", "usar a rede"},
    {"setsid", "sair do grupo de processos da execução"},
    {"setpgid", "sair do grupo de processos da execução"},
    {"rt_sigaction", "desviar o sinal SIGSYS, que o olpa usa para parar o programa"},
    {"ioctl", "controlar um dispositivo ou o terminal"},
    {"prlimit64", "mudar os limites de outro processo"},
    {"chmod", "mudar as permissões de um arquivo"},
    {"fchmod", "mudar as permissões de um arquivo"},
    {"fchmodat", "mudar as permissões de um arquivo"},
    {"chown", "mudar o dono de um arquivo"},
    {"fchown", "mudar o dono de um arquivo"},
    {"lchown", "mudar o dono de um arquivo"},
    {"fchownat", "mudar o dono de um arquivo"},
    {"mknod", "criar um arquivo especial"},
    {"mknodat", "criar um arquivo especial"},
    {"link", "criar um link"},
    {"linkat", "criar um link"},
    {"symlink", "criar um link"},
    {"symlinkat", "criar um link"},
    // Refused only in the forms that reach past the program.
    {"fcntl", "pedir que um arquivo mande sinais a um processo (fcntl)"},
    {"fallocate", "reservar espaço em disco além do tamanho de um arquivo"},
};

// ------------------------------------------------------------ SIGSYS

// A program that blocks SIGSYS first (as system() does before it forks) is
// ended by it all the same: the kernel forces it, without this handler.
void ao_proibir(int, siginfo_t *info, void *) {
  confina_recusa(info->si_syscall);
}

void arma_sigsys() {
  struct sigaction sa {};
  sa.sa_sigaction = ao_proibir;
  sa.sa_flags = SA_SIGINFO | SA_ONSTACK;
  sigaction(SIGSYS, &sa, nullptr);
}

// ------------------------------------------------------------ capabilities

// Root's powers must not help a program: none left, none to gain.
bool larga_capacidades() {
  for (int c = 0; prctl(PR_CAPBSET_READ, c) >= 0; c++)
    prctl(PR_CAPBSET_DROP, c); // refused without CAP_SETPCAP, when there is nothing to drop
  prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_CLEAR_ALL, 0, 0, 0);
  __user_cap_header_struct cabecalho{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct nenhuma[_LINUX_CAPABILITY_U32S_3] = {};
  return syscall(SYS_capset, &cabecalho, nenhuma) == 0 &&
         prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0;
}

// ------------------------------------------------------------ Landlock

// Newer than some installed headers; the kernel says which it knows.
struct RegrasLandlock {
  uint64_t arquivos, rede, escopo;
};
constexpr uint64_t FS_TRUNCATE = OLPA_LANDLOCK_TRUNCATE, FS_IOCTL_DEV = 1ull << 15;
constexpr uint64_t REDE_TUDO = (1ull << 0) | (1ull << 1);
constexpr uint64_t ESCOPO_TUDO = (1ull << 0) | (1ull << 1); // abstract sockets, signals

constexpr uint64_t LEITURA = LANDLOCK_ACCESS_FS_READ_FILE | LANDLOCK_ACCESS_FS_READ_DIR;

int abi_landlock() {
  const long abi =
      syscall(SYS_landlock_create_ruleset, nullptr, 0, LANDLOCK_CREATE_RULESET_VERSION);
  return abi < 0 ? 0 : static_cast<int>(abi);
}

// Files: read beneath ../exemplos and ../telas and what the C library may
// load late; write and remove only beneath ../telas. False when the kernel
// has no Landlock (the caller says so once).
bool restringe_arquivos() {
  const int abi = abi_landlock();
  if (abi < 1)
    return false;
  RegrasLandlock r{(1ull << 13) - 1, 0, 0}; // everything of ABI 1
  if (abi >= 2)
    r.arquivos |= LANDLOCK_ACCESS_FS_REFER;
  if (abi >= 3)
    r.arquivos |= FS_TRUNCATE;
  if (abi >= 4)
    r.rede = REDE_TUDO;
  if (abi >= 5)
    r.arquivos |= FS_IOCTL_DEV;
  if (abi >= 6)
    r.escopo = ESCOPO_TUDO;
  const size_t tamanho = abi >= 6 ? sizeof r : abi >= 4 ? 2 * sizeof(uint64_t) : sizeof(uint64_t);
  const int regras = static_cast<int>(syscall(SYS_landlock_create_ruleset, &r, tamanho, 0));
  if (regras < 0)
    return false;
  const uint64_t escrita = LANDLOCK_ACCESS_FS_WRITE_FILE | LANDLOCK_ACCESS_FS_REMOVE_FILE |
                           LANDLOCK_ACCESS_FS_REMOVE_DIR | LANDLOCK_ACCESS_FS_MAKE_REG |
                           LANDLOCK_ACCESS_FS_MAKE_DIR | FS_TRUNCATE;
  olpa_landlock_permite(regras, "../telas", LEITURA | escrita, r.arquivos);
  olpa_landlock_permite(regras, "../exemplos", LEITURA, r.arquivos);
  // The compiler's headers and libraries (it compiles confined), and what
  // the C library may load late.
  for (const char *sistema :
       {"/usr/include", "/usr/local/include", "/usr/lib", "/usr/share/zoneinfo", "/etc/localtime"})
    olpa_landlock_permite(regras, sistema, LEITURA, r.arquivos);
  olpa_landlock_permite(regras, "/dev/null",
                        LANDLOCK_ACCESS_FS_READ_FILE | LANDLOCK_ACCESS_FS_WRITE_FILE, r.arquivos);
  const bool feito = syscall(SYS_landlock_restrict_self, regras, 0) == 0;
  close(regras);
  return feito;
}

// The display, the session bus and the like stay with the application.
void limpa_ambiente() {
  std::string guardadas[3];
  const char *nomes[3] = {"LANG", "LC_ALL", "TZ"};
  for (int i = 0; i < 3; i++)
    if (const char *v = getenv(nomes[i]))
      guardadas[i] = std::string(nomes[i]) + "=" + v;
  clearenv();
  for (const std::string &v : guardadas)
    if (!v.empty())
      putenv(strdup(v.c_str()));
}

} // namespace

bool confina_filho(std::string *aviso) {
  limpa_ambiente();
  if (!larga_capacidades())
    return false;
  if (!restringe_arquivos())
    *aviso = "[olpa] este sistema não tem Landlock: o programa roda sem a proteção de arquivos.\n";
  arma_sigsys();
  sock_filter filtro[std::size(FILTRO_GERADO)];
  std::copy(std::begin(FILTRO_GERADO), std::end(FILTRO_GERADO), filtro);
  for (unsigned i : FILTRO_LUGARES_DO_ID)
    filtro[i].k = static_cast<uint32_t>(getpid());
  sock_fprog programa{static_cast<unsigned short>(std::size(filtro)), filtro};
  return syscall(SYS_seccomp, SECCOMP_SET_MODE_FILTER, 0, &programa) == 0;
}

void confina_recusa(int numero) {
  parser_memoria->proibida = numero;
  _exit(SAIDA_PROIBIDA);
}

std::string confina_acao(int numero) {
  char *nome = seccomp_syscall_resolve_num_arch(SCMP_ARCH_NATIVE, numero);
  std::string acao;
  for (const Proibida &p : PROIBIDAS)
    if (nome && strcmp(nome, p.chamada) == 0)
      acao = p.acao;
  if (acao.empty() && nome)
    acao = std::string("usar a chamada de sistema \"") + nome + "\"";
  free(nome);
  return acao;
}
