// SPDX-License-Identifier: GPL-3.0-or-later
// The application's side of a run: the memory it shares with its children,
// forking a child (ahead of time when nothing waits), handing it the drawing
// state and the code, reading its console text and events, and ending its
// whole process group. The waiting is a main loop's (rodada.cpp).
#include "execucao.h"
#include "filho.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <glib.h>

Compartilhado *parser_memoria;

namespace {

Execucao preparado;                // the child forked ahead for the next run, if any
int memoria_principal = -1;        // the window's runs' memory, as a file its children map
unsigned char *registro_principal; // ... its record's part

// Memory to share with a child: a file in memory, mapped here and handed to
// the child, which maps it too; the record of the calls apart.
bool memoria_nova(Compartilhado **m, unsigned char **registro, int *fd) {
  *fd = memfd_create("olpa-execucao", MFD_CLOEXEC);
  if (*fd < 0)
    return false;
  const int protecao = PROT_READ | PROT_WRITE;
  void *p = ftruncate(*fd, static_cast<off_t>(memoria_tamanho())) == 0
                ? mmap(nullptr, sizeof(Compartilhado), protecao, MAP_SHARED, *fd, 0)
                : MAP_FAILED;
  void *q = p != MAP_FAILED ? mmap(nullptr, olpa_registro_tamanho(), protecao, MAP_SHARED, *fd,
                                   static_cast<off_t>(memoria_registro_inicio()))
                            : MAP_FAILED;
  if (q == MAP_FAILED) {
    if (p != MAP_FAILED)
      munmap(p, sizeof(Compartilhado));
    close(*fd);
    *fd = -1;
    return false;
  }
  *m = static_cast<Compartilhado *>(p);
  *registro = static_cast<unsigned char *>(q);
  return true;
}

// The compiler's errors come one a line, and it stops after a few; the
// table of the program's lines, a few bytes a line of code.
constexpr size_t LIMITE_EVENTOS = 16u << 20;

void fecha(int *fd) {
  if (*fd >= 0)
    close(*fd);
  *fd = -1;
}

void fecha_par(int par[2]) {
  fecha(&par[0]);
  fecha(&par[1]);
}

// A child for `ex`, which holds its memory (and, beside others, its tree).
bool cria_filho(Execucao *ex, bool aquecer) {
  static bool sinais_prontos = false;
  if (!sinais_prontos) {
    signal(SIGPIPE, SIG_IGN); // a child that died must not take us with it
    // Nothing of the same user, a program among them, may trace us or read
    // and write our memory through /proc.
    prctl(PR_SET_DUMPABLE, 0);
    sinais_prontos = true;
  }
  if (!ex->memoria) {
    if (!processo_cria_memoria())
      return false;
    ex->memoria = parser_memoria;
    ex->gravado = registro_principal;
    ex->memoria_fd = memoria_principal;
  }
  const int pasta = ex->ajustes.pasta >= 0 ? ex->ajustes.pasta : AT_FDCWD;
  int comando[2] = {-1, -1}, console[2] = {-1, -1}, controle[2] = {-1, -1};
  if (pipe2(comando, O_CLOEXEC) != 0 || pipe2(console, O_CLOEXEC) != 0 ||
      socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, controle) != 0) {
    const int erro = errno;
    fecha_par(comando), fecha_par(console), fecha_par(controle);
    errno = erro;
    return false;
  }
  const int diretorio = openat(pasta, ".", O_PATH | O_DIRECTORY | O_CLOEXEC);
  pid_t pid =
      zigoto_cria_filho(comando[0], console[1], controle[1], ex->memoria_fd, diretorio, aquecer);
  if (pid < 0) {
    fflush(stdout);
    fflush(stderr);
    pid = fork();
    if (pid == 0) {
      if (fchdir(diretorio) != 0)
        _exit(0);
      filho_vive(comando[0], console[1], controle[1], dup(ex->memoria_fd), aquecer);
    }
  }
  if (diretorio >= 0)
    close(diretorio);
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
  espaco_solta_namespace(ex->namespace_fd);
  ex->namespace_fd = -1;
  fecha(&ex->comando);
  fecha(&ex->console);
  fecha(&ex->controle);
  fecha(&ex->pidfd);
}

// The drawing state and the run's settings, then the code: its length and
// its bytes.
void envia(Execucao *ex, const char *codigo) {
  Compartilhado *m = ex->memoria;
  const AjustesDaRodada &a = ex->ajustes;
  if (a.ao_lado) { // from the defaults, whatever this process drew
    OlpaEstado inicial{};
    g_strlcpy(inicial.arquivo_exportar, OLPA_ARQUIVO_PADRAO, sizeof inicial.arquivo_exportar);
    m->estado = inicial;
  } else {
    m->estado = olpa_gfx_exporta_estado();
  }
  m->pilha_estourou = 0;
  m->proibida = 0;
  m->codigo_saida = 0;
  m->rastro_tamanho = 0;
  m->compila = m->liga = m->confina = m->programa = 0;
  m->faltas_aquece = m->faltas = 0;
  m->abre = m->grava = m->saida = 0;
  m->tempo_limite = a.tempo_limite;
  m->sem_espera = a.sem_espera;
  g_strlcpy(m->quadros, a.quadros.c_str(), sizeof m->quadros);
  m->mudancas = 0;
  m->esperas = 0;
  m->espera_total_us = 0;
  m->espera_desde_us = 0;
  m->espera_ate_us = 0;
  m->registro_chamadas = ex->medidas.chamadas;
  m->registro_textos = ex->medidas.textos;
  m->pausar = 0;
  m->vez = 0;
  m->liberado = 0;
  m->pausado_em = 0;
  m->parada = EnderecosDaFalha{};
  m->parada_anotada = 0;
  m->parada_no_salto = 0;
  // No record of an earlier run is read as this one's, whatever this one's
  // child reaches.
  memset(ex->gravado, 0, sizeof(OlpaRegistroCabecalho));
  const uint64_t tamanho = strlen(codigo);
  // A large program in the pipe at once, rather than in turns with the child.
  if (tamanho > 60000)
    fcntl(ex->comando, F_SETPIPE_SZ, static_cast<int>(std::min<uint64_t>(tamanho + 8, 1 << 20)));
  if (parser_escreve_tudo(ex->comando, &tamanho, sizeof tamanho))
    parser_escreve_tudo(ex->comando, codigo, tamanho);
  fecha(&ex->comando);
}

// Where the text can be cut now: before a character whose last bytes may
// still be on their way. Any byte that starts a character (or is ASCII) is a
// place the whole text's validation passes too, so validating piece by piece
// gives what validating it all at once would.
size_t corte_seguro(const std::string &t, size_t desde) {
  for (size_t atras = 1; atras <= 3 && atras <= t.size() - desde; atras++) {
    const auto c = static_cast<unsigned char>(t[t.size() - atras]);
    if (c < 0x80)
      break;
    if (c >= 0xc0) {
      const size_t precisa = c >= 0xf0 ? 4 : c >= 0xe0 ? 3 : 2;
      return atras < precisa ? t.size() - atras : t.size();
    }
  }
  return t.size();
}

void valida_console(Execucao *ex, bool fim) {
  const size_t corte = fim ? ex->texto.size() : corte_seguro(ex->texto, ex->validado);
  if (corte > ex->validado)
    ex->valido += olpa_texto_valido(ex->texto.data() + ex->validado, corte - ex->validado);
  ex->validado = corte;
}

void guarda_console(Execucao *ex, const char *dados, size_t n) {
  const size_t cabe = ex->texto.size() < PARSER_LIMITE_SAIDA
                          ? std::min(n, PARSER_LIMITE_SAIDA - ex->texto.size())
                          : 0;
  ex->texto.append(dados, cabe);
  ex->descartado += n - cabe;
}

// Reads from the child's event socket, taking the descriptor it may send
// with its events (its own space: only the first, and only such a one).
ssize_t le_eventos(Execucao *ex, int fd, char *bloco, size_t tamanho) {
  std::vector<int> recebidos;
  const ssize_t n = parser_recebe_com_descritores(fd, bloco, tamanho, &recebidos);
  for (int recebido : recebidos) {
    if (ex->espaco < 0 && espaco_valido(recebido))
      ex->espaco = recebido;
    else if (ex->namespace_fd < 0 && espaco_e_namespace(recebido))
      ex->namespace_fd = recebido;
    else
      close(recebido);
  }
  return n;
}

// Reads what is there on `*fd`, about `maximo` bytes at most; closes it at
// end of stream.
void le_disponivel(Execucao *ex, int *fd, bool de_console, size_t maximo) {
  char bloco[65536];
  for (size_t lidos = 0; *fd >= 0 && lidos < maximo;) {
    const ssize_t n =
        de_console ? read(*fd, bloco, sizeof bloco) : le_eventos(ex, *fd, bloco, sizeof bloco);
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0 && errno == EAGAIN)
      return;
    if (n <= 0) {
      fecha(fd);
      return;
    }
    lidos += static_cast<size_t>(n);
    if (de_console)
      guarda_console(ex, bloco, static_cast<size_t>(n));
    else if (ex->eventos.size() < LIMITE_EVENTOS)
      ex->eventos.append(bloco, static_cast<size_t>(n));
  }
}

} // namespace

bool processo_cria_memoria() {
  if (parser_memoria)
    return true;
  if (!memoria_nova(&parser_memoria, &registro_principal, &memoria_principal))
    return false;
  olpa_gfx_define_pixels(parser_memoria->pixels);
  return true;
}

void processo_solta_memoria(Execucao *ex) {
  if (!ex->memoria_propria)
    return;
  munmap(ex->memoria, sizeof(Compartilhado));
  munmap(ex->gravado, olpa_registro_tamanho());
  fecha(&ex->memoria_fd);
  ex->memoria = nullptr;
  ex->gravado = nullptr;
  ex->memoria_propria = false;
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
  fecha(&preparado.espaco);
  preparado = Execucao{};
}

bool processo_inicia(Execucao *ex, const char *codigo, const AjustesDaRodada &ajustes) {
  const double inicio = parser_agora_ms();
  if (ajustes.ao_lado) {
    // Its own memory and tree, and a child of its own.
    *ex = Execucao{};
    ex->ajustes = ajustes;
    if (!memoria_nova(&ex->memoria, &ex->gravado, &ex->memoria_fd) ||
        (ex->memoria_propria = true, !cria_filho(ex, false))) {
      ex->erro = errno;
      return false;
    }
    ex->preparo = parser_agora_ms() - inicio;
  } else {
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
    ex->ajustes = ajustes;
    preparado = Execucao{};
  }
  ex->medidas = ajustes.registro;
  const double envio = parser_agora_ms();
  envia(ex, codigo);
  ex->envio = parser_agora_ms() - envio;
  fcntl(ex->console, F_SETFL, O_NONBLOCK);
  fcntl(ex->controle, F_SETFL, O_NONBLOCK);
  ex->inicio = parser_agora_ms();
  ex->tem_relogio = clock_getcpuclockid(ex->pid, &ex->relogio) == 0;
  const ProcessoUso uso = processo_uso(*ex);
  ex->cpu_inicio = uso.cpu;
  ex->fila_inicio = uso.fila;
  return true;
}

bool processo_le(Execucao *ex, size_t maximo) {
  le_disponivel(ex, &ex->console, true, maximo);
  le_disponivel(ex, &ex->controle, false, maximo);
  valida_console(ex, false);
  return ex->console >= 0 || ex->controle >= 0;
}

ProcessoUso processo_uso(const Execucao &ex) {
  ProcessoUso uso;
  // Processor time and time waiting for one, in nanoseconds, when the kernel keeps them.
  char caminho[64], texto[128] = {};
  g_snprintf(caminho, sizeof caminho, "/proc/%d/schedstat", static_cast<int>(ex.pid));
  const int fd = ex.pid > 0 ? open(caminho, O_RDONLY | O_CLOEXEC) : -1;
  const ssize_t n = fd >= 0 ? read(fd, texto, sizeof texto - 1) : -1;
  if (fd >= 0)
    close(fd);
  unsigned long long executou = 0, esperou = 0;
  if (n > 0 && sscanf(texto, "%llu %llu", &executou, &esperou) == 2 && executou > 0) {
    uso.cpu = executou / 1e6;
    uso.fila = esperou / 1e6;
    return uso;
  }
  timespec t{};
  if (ex.tem_relogio && clock_gettime(ex.relogio, &t) == 0)
    uso.cpu = t.tv_sec * 1e3 + t.tv_nsec / 1e6;
  return uso;
}

bool processo_terminou(const Execucao &ex) {
  if (ex.pid <= 0)
    return true;
  siginfo_t info{};
  return waitid(P_PID, static_cast<id_t>(ex.pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0 ||
         info.si_pid != 0;
}

void processo_anota_parada(Execucao *ex) {
  if (ex->pid <= 0 || processo_terminou(*ex) || kill(ex->pid, SINAL_DE_PARADA) != 0)
    return;
  // A child that is running notes it at once; one starved of processor
  // time, within this. One that blocked the signal is not waited for longer.
  constexpr double PRAZO_MS = 1000;
  const Compartilhado &m = *ex->memoria;
  for (const double fim = parser_agora_ms() + PRAZO_MS;
       !m.parada_anotada && !processo_terminou(*ex) && parser_agora_ms() < fim;)
    g_usleep(200);
}

void processo_solta_registro(Execucao *ex) {
  if (ex->gravado && ex->memoria_fd >= 0)
    fallocate(ex->memoria_fd, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE,
              static_cast<off_t>(memoria_registro_inicio()),
              static_cast<off_t>(olpa_registro_tamanho()));
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
  valida_console(ex, true);
  fecha_tudo(ex);
}
