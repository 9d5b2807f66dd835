// SPDX-License-Identifier: GPL-3.0-or-later
// The zygote: a small process forked from the application at its start,
// before it grows (a window's libraries, fonts, caches), that forks the
// children programs run in. A child cast from it is small: it copies little
// on write, holds little while it waits, and its exit (which the application
// waits for before a run's result is final) tears down little. Its children
// are the application's own (CLONE_PARENT), so the application waits for
// them, takes their exit status and kills their groups exactly as for a
// child it forked itself; the zygote only makes them.
#include "execucao.h"
#include "filho.h"

#include <algorithm>
#include <cerrno>
#include <vector>
#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <sched.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

int canal = -1; // the application's end of the socket to the zygote
pid_t zigoto;   // its process

// What the application asks for; the descriptors go with it.
struct Pedido {
  int aquecer;
  int confinar;
};
constexpr int DESCRITORES = 6; // code, console, events, trace, working directory, memory

bool envia_pedido(const Pedido &p, const int fds[DESCRITORES]) {
  return parser_envia_com_descritores(canal, &p, sizeof p, fds, DESCRITORES);
}

// False when the application went away.
bool recebe_pedido(int fd, Pedido *p, int fds[DESCRITORES]) {
  std::vector<int> recebidos;
  const ssize_t n = parser_recebe_com_descritores(fd, p, sizeof *p, &recebidos);
  if (n != sizeof *p || recebidos.size() != DESCRITORES) {
    for (int r : recebidos)
      close(r);
    return n > 0; // a malformed request is skipped
  }
  std::copy(recebidos.begin(), recebidos.end(), fds);
  return true;
}

[[noreturn]] void vive(int fd) {
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  for (;;) {
    Pedido p{};
    int fds[DESCRITORES] = {-1, -1, -1, -1, -1, -1};
    if (!recebe_pedido(fd, &p, fds))
      _exit(0);
    if (fds[0] < 0)
      continue;
    // A sibling of ours, child of the application: fork's own way (the
    // thread's id updated in the child), with the application as parent.
    const long pid = syscall(SYS_clone, CLONE_PARENT | SIGCHLD, 0, nullptr, nullptr, 0);
    if (pid == 0) {
      close(fd);
      if (fchdir(fds[4]) != 0)
        _exit(0);
      close(fds[4]);
      parser_ajustes.fd_trace = fds[3];
      parser_ajustes.confinar = p.confinar != 0;
      filho_vive(fds[0], fds[1], fds[2], fds[5], p.aquecer != 0);
    }
    const int resposta = pid < 0 ? -errno : static_cast<int>(pid);
    for (int d : fds)
      close(d);
    if (send(fd, &resposta, sizeof resposta, MSG_NOSIGNAL) != sizeof resposta)
      _exit(0);
  }
}

} // namespace

bool zigoto_inicia() {
  if (canal >= 0)
    return true;
  int par[2];
  if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, par) != 0)
    return false;
  fflush(stdout);
  fflush(stderr);
  const pid_t pid = fork();
  if (pid == 0) {
    close(par[0]);
    // Only its socket: nothing of the application's (a display connection,
    // files) reaches the children through it.
    const int fd = fcntl(par[1], F_DUPFD_CLOEXEC, 3);
    syscall(SYS_close_range, 3, fd - 1, 0);
    syscall(SYS_close_range, fd + 1, ~0u, 0);
    vive(fd);
  }
  close(par[1]);
  if (pid < 0) {
    close(par[0]);
    return false;
  }
  canal = par[0];
  zigoto = pid;
  return true;
}

pid_t zigoto_pid() {
  return canal >= 0 ? zigoto : 0;
}

void zigoto_encerra() {
  if (canal < 0)
    return;
  close(canal); // it leaves at the end of its socket
  canal = -1;
  while (waitpid(zigoto, nullptr, 0) < 0 && errno == EINTR) {
  }
}

pid_t zigoto_cria_filho(int comando, int console, int controle, int memoria, int pasta,
                        bool aquecer) {
  if (canal < 0)
    return -1;
  const int diretorio = fcntl(pasta, F_DUPFD_CLOEXEC, 3);
  const int fds[DESCRITORES] = {comando,   console, controle, parser_ajustes.fd_trace,
                                diretorio, memoria};
  const Pedido p{aquecer, parser_ajustes.confinar};
  int resposta = -1;
  const bool feito = diretorio >= 0 && envia_pedido(p, fds) &&
                     recv(canal, &resposta, sizeof resposta, 0) == sizeof resposta;
  if (diretorio >= 0)
    close(diretorio);
  if (!feito) {
    // The zygote is gone: children are forked directly from now on.
    zigoto_encerra();
    return -1;
  }
  if (resposta < 0) {
    errno = -resposta;
    return -1;
  }
  return resposta;
}
