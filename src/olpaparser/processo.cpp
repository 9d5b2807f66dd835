// The application's side of a run: the memory it shares with its children,
// forking a child (ahead of time when nothing waits), handing it the drawing
// state and the code, reading its console text and events, waiting for it
// within the time limit, and ending its whole process group.
#include "parser_interno.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

Compartilhado *parser_memoria;

namespace {

Execucao preparado; // the child forked ahead for the next run, if any

// The compiler's errors come one a line, and it stops after a few.
constexpr size_t LIMITE_EVENTOS = 64 * 1024;

void fecha(int *fd) {
  if (*fd >= 0)
    close(*fd);
  *fd = -1;
}

void fecha_par(int par[2]) {
  fecha(&par[0]);
  fecha(&par[1]);
}

bool cria_filho(Execucao *ex, bool aquecer) {
  static bool sinais_prontos = false;
  if (!sinais_prontos) {
    signal(SIGPIPE, SIG_IGN); // a child that died must not take us with it
    // Nothing of the same user, a program among them, may trace us or read
    // and write our memory through /proc.
    prctl(PR_SET_DUMPABLE, 0);
    sinais_prontos = true;
  }
  if (!parser_cria_memoria())
    return false;
  int comando[2] = {-1, -1}, console[2] = {-1, -1}, controle[2] = {-1, -1};
  if (pipe2(comando, O_CLOEXEC) != 0 || pipe2(console, O_CLOEXEC) != 0 ||
      pipe2(controle, O_CLOEXEC) != 0) {
    const int erro = errno;
    fecha_par(comando), fecha_par(console), fecha_par(controle);
    errno = erro;
    return false;
  }
  fflush(stdout);
  fflush(stderr);
  const pid_t pid = fork();
  if (pid == 0)
    filho_vive(comando[0], console[1], controle[1], aquecer);
  const int erro = errno;
  fecha(&comando[0]), fecha(&console[1]), fecha(&controle[1]);
  if (pid < 0) {
    fecha(&comando[1]), fecha(&console[0]), fecha(&controle[0]);
    errno = erro;
    return false;
  }
  setpgid(pid, pid); // also here, so that the group exists before any kill
  ex->pid = pid;
  ex->comando = comando[1];
  ex->console = console[0];
  ex->controle = controle[0];
  ex->pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
  return true;
}

void mata_grupo(pid_t pid) {
  kill(-pid, SIGKILL);
  kill(pid, SIGKILL);
}

void fecha_tudo(Execucao *ex) {
  fecha(&ex->comando);
  fecha(&ex->console);
  fecha(&ex->controle);
  fecha(&ex->pidfd);
}

// The drawing state, then the code: its length and its bytes.
void envia(Execucao *ex, const char *codigo) {
  Compartilhado *m = parser_memoria;
  m->estado = olpa_gfx_exporta_estado();
  m->pilha_estourou = 0;
  m->proibida = 0;
  m->codigo_saida = 0;
  m->rastro_tamanho = 0;
  m->ultima_caminho[0] = '\0';
  m->compila = m->liga = m->confina = m->programa = 0;
  const uint64_t tamanho = strlen(codigo);
  if (parser_escreve_tudo(ex->comando, &tamanho, sizeof tamanho))
    parser_escreve_tudo(ex->comando, codigo, tamanho);
  fecha(&ex->comando);
}

void guarda_console(Execucao *ex, const char *dados, size_t n) {
  const size_t cabe = ex->texto.size() < PARSER_LIMITE_SAIDA
                          ? std::min(n, PARSER_LIMITE_SAIDA - ex->texto.size())
                          : 0;
  ex->texto.append(dados, cabe);
  ex->descartado += n - cabe;
}

// Reads what is there on `*fd`; closes it at end of stream.
void le_disponivel(Execucao *ex, int *fd, bool de_console) {
  char bloco[65536];
  while (*fd >= 0) {
    const ssize_t n = read(*fd, bloco, sizeof bloco);
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0 && errno == EAGAIN)
      return;
    if (n <= 0) {
      fecha(fd);
      return;
    }
    if (de_console)
      guarda_console(ex, bloco, static_cast<size_t>(n));
    else if (ex->eventos.size() < LIMITE_EVENTOS)
      ex->eventos.append(bloco, static_cast<size_t>(n));
  }
}

} // namespace

bool parser_cria_memoria() {
  if (parser_memoria)
    return true;
  void *p = mmap(nullptr, sizeof(Compartilhado), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS,
                 -1, 0);
  if (p == MAP_FAILED)
    return false;
  parser_memoria = static_cast<Compartilhado *>(p);
  olpa_gfx_define_pixels(parser_memoria->pixels);
  return true;
}

void processo_prepara() {
  if (preparado.pid <= 0 && !cria_filho(&preparado, true))
    preparado = Execucao{};
}

void processo_descarta_preparado() {
  if (preparado.pid > 0) {
    mata_grupo(preparado.pid);
    while (waitpid(preparado.pid, nullptr, 0) < 0 && errno == EINTR) {
    }
  }
  fecha_tudo(&preparado);
  preparado = Execucao{};
}

bool processo_inicia(Execucao *ex, const char *codigo) {
  const double inicio = parser_agora_ms();
  if (preparado.pid <= 0) {
    // Someone waits: no warming up.
    if (!cria_filho(&preparado, false)) {
      ex->erro = errno;
      preparado = Execucao{};
      return false;
    }
    ex->preparo = parser_agora_ms() - inicio;
  }
  const double preparo = ex->preparo;
  *ex = preparado;
  ex->preparo = preparo;
  preparado = Execucao{};

  const double envio = parser_agora_ms();
  envia(ex, codigo);
  ex->envio = parser_agora_ms() - envio;
  fcntl(ex->console, F_SETFL, O_NONBLOCK);
  fcntl(ex->controle, F_SETFL, O_NONBLOCK);
  ex->prazo = parser_agora_ms() + parser_ajustes.tempo_limite * 1000.0;
  return true;
}

bool processo_le(Execucao *ex) {
  le_disponivel(ex, &ex->console, true);
  le_disponivel(ex, &ex->controle, false);
  return ex->console >= 0 || ex->controle >= 0;
}

void processo_espera(Execucao *ex) {
  bool vivo = true;
  while (vivo && (ex->console >= 0 || ex->controle >= 0 || ex->pidfd < 0)) {
    const double resta = ex->prazo - parser_agora_ms();
    if (resta <= 0) {
      ex->estourou_tempo = true;
      break;
    }
    pollfd fds[3] = {{ex->console, POLLIN, 0}, {ex->controle, POLLIN, 0}, {ex->pidfd, POLLIN, 0}};
    const bool algo_a_esperar = ex->pidfd >= 0 || ex->console >= 0 || ex->controle >= 0;
    const int espera = algo_a_esperar ? static_cast<int>(std::min(resta, 1000.0)) + 1 : 10;
    if (poll(fds, 3, espera) < 0 && errno != EINTR)
      break;
    if (fds[0].revents || fds[1].revents)
      processo_le(ex);
    if (fds[2].revents)
      vivo = false;
    if (ex->pidfd < 0 && ex->console < 0 && ex->controle < 0)
      break;
  }
}

void processo_encerra(Execucao *ex) {
  // Gone or out of time: stop the whole group, then take what is left.
  if (ex->pid > 0) {
    mata_grupo(ex->pid);
    while (waitpid(ex->pid, &ex->status, 0) < 0 && errno == EINTR) {
    }
    ex->pid = -1;
  }
  processo_le(ex);
  fecha_tudo(ex);
}
