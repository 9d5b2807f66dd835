#include "olpaparser.h"

#include "olpagfx.h"

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <glib.h>
#include <libtcc.h>

TCCState *tcc_estado;

namespace {

// ------------------------------------------------------------ shared pieces

struct TccDeleter {
  void operator()(TCCState *s) const { tcc_delete(s); }
};
using TccPtr = std::unique_ptr<TCCState, TccDeleter>;

// Why a child stopped, when it can tell before it dies.
enum Pista : int { PISTA_NENHUMA = 0, PISTA_PILHA = 1 };

// Memory shared by the application and its children: the drawing state
// both ways, the canvas pixels (so an open canvas needs no copying), and the
// child's own phase times.
struct Compartilhado {
  OlpaEstado entrada;
  OlpaEstado saida;
  volatile sig_atomic_t pista;
  double compila, liga, programa;
  char ultima_caminho[OLPA_CAMINHO_MAX];
  alignas(64) unsigned char pixels[OLPA_TELA_BYTES];
  alignas(64) unsigned char ultima_rgba[OLPA_TELA_BYTES];
};

Compartilhado *memoria;
ParserSaida saida_hooks;
int fd_trace = STDOUT_FILENO;
double tempo_limite = 10.0;
ParserTempos tempos;

double agora_ms() {
  return g_get_monotonic_time() / 1000.0;
}

bool cria_memoria() {
  if (memoria)
    return true;
  void *p = mmap(nullptr, sizeof(Compartilhado), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS,
                 -1, 0);
  if (p == MAP_FAILED)
    return false;
  memoria = static_cast<Compartilhado *>(p);
  olpa_gfx_define_pixels(memoria->pixels);
  return true;
}

// ------------------------------------------------------------ the child

// File descriptors inside a child, fixed so everything else can be closed.
constexpr int FD_CONSOLE = 1;  // the program's stdout/stderr and escreve_console
constexpr int FD_COMANDO = 3;  // code from the application
constexpr int FD_CONTROLE = 4; // events for the application
constexpr int FD_TRACE = 5;    // the application's own standard output

const char *codigo_atual; // the program being compiled, for locating link errors
uintptr_t topo_pilha;
size_t limite_pilha;

void escreve_tudo(int fd, const char *dados, size_t tamanho) {
  while (tamanho > 0) {
    const ssize_t n = write(fd, dados, tamanho);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return;
    dados += n;
    tamanho -= static_cast<size_t>(n);
  }
}

void controle(const std::string &evento) {
  const std::string linha = evento + "\n";
  escreve_tudo(FD_CONTROLE, linha.data(), linha.size());
}

void console_do_filho(const char *texto, size_t tamanho) {
  escreve_tudo(FD_CONSOLE, texto, tamanho);
}

void trace_do_filho(const char *texto, size_t tamanho) {
  escreve_tudo(FD_TRACE, texto, tamanho);
}

void escreve_stdout(const char *texto, size_t tamanho) {
  fwrite(texto, 1, tamanho, stdout);
}

// Where diagnostics go: the child's descriptors, or this process's own
// streams for the in-process baseline.
bool no_filho = false;
OlpaEscritor diagnostico_console = escreve_stdout;
OlpaEscritor diagnostico_trace = escreve_stdout;

// First line where `nome` stands as a whole word, 0 when nowhere.
int linha_do_nome(const char *codigo, const std::string &nome) {
  if (!codigo || nome.empty())
    return 0;
  int linha = 1;
  for (const char *p = codigo; *p; p++) {
    if (*p == '\n') {
      linha++;
      continue;
    }
    const bool inicio = p == codigo || !(g_ascii_isalnum(p[-1]) || p[-1] == '_');
    if (inicio && strncmp(p, nome.c_str(), nome.size()) == 0) {
      const char c = p[nome.size()];
      if (!(g_ascii_isalnum(c) || c == '_'))
        return linha;
    }
  }
  return 0;
}

void parser_erro(void *opaco, const char *mensagem) {
  (void)opaco;
  diagnostico_trace(mensagem, strlen(mensagem));
  diagnostico_trace("\n", 1);
  int linha = 0;
  std::string texto = parser_traduz_diagnostico(mensagem, &linha);
  if (texto.empty())
    return;
  // Link errors carry no line: point at the first use of the missing name.
  const char *indefinido = strstr(mensagem, "undefined symbol '");
  if (linha == 0 && indefinido) {
    const char *nome = indefinido + strlen("undefined symbol '");
    const char *fim = strchr(nome, '\'');
    if (fim) {
      linha = linha_do_nome(codigo_atual, std::string(nome, fim));
      if (linha > 0)
        texto.insert(strlen("[erro] "), "linha " + std::to_string(linha) + ": ");
    }
  }
  diagnostico_console(texto.data(), texto.size());
  if (no_filho)
    controle("E " + std::to_string(linha));
}

[[noreturn]] void fim_do_programa() {
  fflush(nullptr);
  memoria->programa = agora_ms() - memoria->programa;
  olpa_gfx_exporta_estado(&memoria->saida);
  controle("F");
  _exit(0);
}

// What programs reach under the names of exit: the run ends as if main had
// returned, and nothing of the application's own exit handlers runs.
[[noreturn]] void olpa_exit(int) {
  fim_do_programa();
}

[[noreturn]] void sem_memoria() {
  controle("R");
  _exit(3);
}

void *olpa_malloc(size_t n) {
  void *p = malloc(n);
  if (!p && n)
    sem_memoria();
  return p;
}
void *olpa_calloc(size_t n, size_t m) {
  void *p = calloc(n, m);
  if (!p && n && m)
    sem_memoria();
  return p;
}
void *olpa_realloc(void *q, size_t n) {
  void *p = realloc(q, n);
  if (!p && n)
    sem_memoria();
  return p;
}

void ao_falhar_acesso(int, siginfo_t *info, void *) {
  const uintptr_t endereco = reinterpret_cast<uintptr_t>(info->si_addr);
  if (endereco < topo_pilha + 65536 && endereco + limite_pilha + (1u << 20) > topo_pilha)
    memoria->pista = PISTA_PILHA;
  signal(SIGSEGV, SIG_DFL); // the faulting instruction runs again and ends the child
}

void prepara_sinais_do_filho() {
  signal(SIGPIPE, SIG_DFL);
  static char pilha_alternativa[64 * 1024];
  stack_t ss{};
  ss.ss_sp = pilha_alternativa;
  ss.ss_size = sizeof pilha_alternativa;
  sigaltstack(&ss, nullptr);
  struct sigaction sa {};
  sa.sa_sigaction = ao_falhar_acesso;
  sa.sa_flags = SA_SIGINFO | SA_ONSTACK;
  sigaction(SIGSEGV, &sa, nullptr);
  sigset_t todos;
  sigemptyset(&todos);
  sigprocmask(SIG_SETMASK, &todos, nullptr);
}

void limita_recursos() {
  long paginas = 0;
  if (FILE *f = fopen("/proc/self/statm", "r")) {
    if (fscanf(f, "%ld", &paginas) != 1)
      paginas = 0;
    fclose(f);
  }
  const rlim_t atual = static_cast<rlim_t>(paginas) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE));
  const rlimit memoria_max{atual + (1024ull << 20), atual + (1024ull << 20)};
  setrlimit(RLIMIT_AS, &memoria_max);
  const rlimit sem_core{0, 0};
  setrlimit(RLIMIT_CORE, &sem_core);
  const rlimit arquivo_max{256ull << 20, 256ull << 20};
  setrlimit(RLIMIT_FSIZE, &arquivo_max);
  rlimit pilha{};
  getrlimit(RLIMIT_STACK, &pilha);
  limite_pilha = pilha.rlim_cur == RLIM_INFINITY ? (8u << 20) : pilha.rlim_cur;
}

// Closes every descriptor but the given ones, so that the program cannot
// reach the application's display connection or files.
void fecha_os_outros(int maior_mantido) {
  syscall(SYS_close_range, maior_mantido + 1, ~0u, 0);
}

bool le_tudo(int fd, void *destino, size_t tamanho) {
  auto *p = static_cast<char *>(destino);
  while (tamanho > 0) {
    const ssize_t n = read(fd, p, tamanho);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return false;
    p += n;
    tamanho -= static_cast<size_t>(n);
  }
  return true;
}

void registra(TCCState *s, const char *nome, const void *funcao) {
  tcc_add_symbol(s, nome, funcao);
}

void parser_carrega_funcoes() {
  TCCState *s = tcc_estado;
  registra(s, "inicia", reinterpret_cast<const void *>(inicia));
  registra(s, "inicia_arquivo", reinterpret_cast<const void *>(inicia_arquivo));
  registra(s, "grava_tela", reinterpret_cast<const void *>(grava_tela));
  registra(s, "termina", reinterpret_cast<const void *>(termina));
  registra(s, "linha", reinterpret_cast<const void *>(linha));
  registra(s, "linha_ate", reinterpret_cast<const void *>(linha_ate));
  registra(s, "anda", reinterpret_cast<const void *>(anda));
  registra(s, "anda_ate", reinterpret_cast<const void *>(anda_ate));
  registra(s, "rotaciona", reinterpret_cast<const void *>(rotaciona));
  registra(s, "origem", reinterpret_cast<const void *>(origem));
  registra(s, "escala", reinterpret_cast<const void *>(escala));
  registra(s, "traco", reinterpret_cast<const void *>(traco));
  registra(s, "cor", reinterpret_cast<const void *>(cor));
  registra(s, "cor_e_opacidade", reinterpret_cast<const void *>(cor_e_opacidade));
  registra(s, "opacidade", reinterpret_cast<const void *>(opacidade));
  registra(s, "escreve_console", reinterpret_cast<const void *>(escreve_console));
  registra(s, "sprintf", reinterpret_cast<const void *>(sprintf));
}

// Outside the table: how a run ends and how memory runs out.
void registra_guardas(TCCState *s) {
  registra(s, "exit", reinterpret_cast<const void *>(olpa_exit));
  registra(s, "_exit", reinterpret_cast<const void *>(olpa_exit));
  registra(s, "_Exit", reinterpret_cast<const void *>(olpa_exit));
  registra(s, "malloc", reinterpret_cast<const void *>(olpa_malloc));
  registra(s, "calloc", reinterpret_cast<const void *>(olpa_calloc));
  registra(s, "realloc", reinterpret_cast<const void *>(olpa_realloc));
}

using MainDoPrograma = int (*)(int, char **);

// Compiles, links and runs `codigo` in this process; returns 1 on success.
// Events go to the control descriptor when `controlar` is set.
int compila_e_roda(const char *codigo, bool controlar) {
  codigo_atual = codigo;
  double t = agora_ms();
  tcc_estado = tcc_new();
  if (!tcc_estado) {
    if (controlar)
      controle("X");
    return 0;
  }
  TccPtr dono(tcc_estado);
  tcc_set_error_func(tcc_estado, &tcc_estado, parser_erro);
  tcc_set_output_type(tcc_estado, TCC_OUTPUT_MEMORY);
  parser_carrega_funcoes();
  if (controlar)
    registra_guardas(tcc_estado);
  const int compilou = tcc_compile_string(tcc_estado, codigo);
  memoria->compila = agora_ms() - t;
  t = agora_ms();
  if (compilou == -1) {
    if (controlar)
      controle("C");
    return 0;
  }
  const int tamanho = tcc_relocate(tcc_estado, nullptr);
  if (tamanho == -1) {
    if (controlar)
      controle("L");
    return 0;
  }
  std::unique_ptr<void, decltype(&free)> bloco(malloc(static_cast<size_t>(tamanho)), free);
  if (!bloco || tcc_relocate(tcc_estado, bloco.get()) == -1) {
    if (controlar)
      controle("N");
    return 0;
  }
  memoria->liga = agora_ms() - t;
  auto principal = reinterpret_cast<MainDoPrograma>(tcc_get_symbol(tcc_estado, "main"));
  memoria->programa = agora_ms();
  if (principal) {
    char nome[] = "programa";
    char *argv[] = {nome, nullptr};
    if (controlar)
      controle("M");
    principal(1, argv);
  }
  if (controlar)
    fim_do_programa();
  memoria->programa = agora_ms() - memoria->programa;
  return 1;
}

// Readies a pre-forked child while nobody waits for it. The first write to
// each page it shares with the application costs the child a copy-on-write
// fault, and on some machines those cost more than the run itself: a
// throwaway compile and PNG encode take most of them now, off the learner's
// time.
void aquece() {
#ifndef MADV_POPULATE_WRITE
#define MADV_POPULATE_WRITE 23
#endif
  madvise(memoria, sizeof(Compartilhado), MADV_POPULATE_WRITE);
  if (TccPtr s{tcc_new()}) {
    tcc_set_error_func(s.get(), nullptr, [](void *, const char *) {});
    tcc_set_output_type(s.get(), TCC_OUTPUT_MEMORY);
    if (tcc_compile_string(s.get(), "int main(void) { return 0; }") == 0) {
      const int tamanho = tcc_relocate(s.get(), nullptr);
      std::unique_ptr<void, decltype(&free)> bloco(
          tamanho > 0 ? malloc(static_cast<size_t>(tamanho)) : nullptr, free);
      if (bloco)
        tcc_relocate(s.get(), bloco.get());
    }
  }
  OlpaSurface tela(
      cairo_image_surface_create(CAIRO_FORMAT_ARGB32, OLPA_TELA_LARGURA, OLPA_TELA_ALTURA));
  OlpaCairo contexto(cairo_create(tela.get()));
  cairo_move_to(contexto.get(), 0, 0);
  cairo_line_to(contexto.get(), OLPA_TELA_LARGURA, OLPA_TELA_ALTURA);
  cairo_stroke(contexto.get());
  char motivo[64];
  olpa_gfx_grava_png(tela.get(), "/dev/null", motivo, sizeof motivo);
}

[[noreturn]] void filho(int comando, int console, int controle_fd, bool aquecer) {
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  setpgid(0, 0);
  // Fixed descriptors: 0 empty input, 1 and 2 the console, then ours.
  const int trace = dup(fd_trace);
  const int nulo = open("/dev/null", O_RDONLY);
  int fixos[6] = {nulo, console, console, comando, controle_fd, trace};
  int altos[6];
  for (int i = 0; i < 6; i++)
    altos[i] = fcntl(fixos[i], F_DUPFD, 100);
  for (int i = 0; i < 6; i++)
    dup2(altos[i], i);
  fecha_os_outros(FD_TRACE);
  setvbuf(stdout, nullptr, _IONBF, 0);
  setvbuf(stderr, nullptr, _IONBF, 0);
  olpa_gfx_define_console(console_do_filho);
  olpa_gfx_define_trace(trace_do_filho);
  no_filho = true;
  diagnostico_console = console_do_filho;
  diagnostico_trace = trace_do_filho;
  if (aquecer)
    aquece();

  uint64_t tamanho = 0;
  if (!le_tudo(FD_COMANDO, &tamanho, sizeof tamanho) || tamanho > (1ull << 31))
    _exit(0);
  std::string codigo(tamanho, '\0');
  if (!le_tudo(FD_COMANDO, codigo.data(), tamanho))
    _exit(0);
  close(FD_COMANDO);

  int marcador_pilha = 0;
  topo_pilha = reinterpret_cast<uintptr_t>(&marcador_pilha);
  limita_recursos();
  prepara_sinais_do_filho();
  olpa_gfx_importa_estado(memoria->entrada);
  olpa_gfx_nova_execucao();
  olpa_gfx_define_ultima_imagem(memoria->ultima_rgba, memoria->ultima_caminho);
  compila_e_roda(codigo.c_str(), true);
  _exit(0);
}

// ------------------------------------------------------------ the application side

struct Filho {
  pid_t pid = -1;
  int comando = -1, console = -1, controle = -1, pidfd = -1;
};
Filho pronto;

void fecha(int *fd) {
  if (*fd >= 0)
    close(*fd);
  *fd = -1;
}

void encerra(Filho *f, bool matar) {
  fecha(&f->comando);
  fecha(&f->console);
  fecha(&f->controle);
  fecha(&f->pidfd);
  if (f->pid > 0) {
    if (matar) {
      kill(-f->pid, SIGKILL);
      kill(f->pid, SIGKILL);
    }
    while (waitpid(f->pid, nullptr, 0) < 0 && errno == EINTR) {
    }
  }
  f->pid = -1;
}

bool cria_filho(Filho *f, bool aquecer) {
  static bool sinais_prontos = false;
  if (!sinais_prontos) {
    signal(SIGPIPE, SIG_IGN); // a child that died must not take us with it
    sinais_prontos = true;
  }
  if (!cria_memoria())
    return false;
  int comando[2], console[2], controle_fd[2];
  if (pipe2(comando, O_CLOEXEC) != 0)
    return false;
  if (pipe2(console, O_CLOEXEC) != 0) {
    close(comando[0]), close(comando[1]);
    return false;
  }
  if (pipe2(controle_fd, O_CLOEXEC) != 0) {
    close(comando[0]), close(comando[1]), close(console[0]), close(console[1]);
    return false;
  }
  fflush(stdout);
  fflush(stderr);
  const pid_t pid = fork();
  if (pid == 0)
    filho(comando[0], console[1], controle_fd[1], aquecer);
  close(comando[0]);
  close(console[1]);
  close(controle_fd[1]);
  if (pid < 0) {
    close(comando[1]), close(console[0]), close(controle_fd[0]);
    return false;
  }
  setpgid(pid, pid); // also here, so that the group exists before any kill
  f->pid = pid;
  f->comando = comando[1];
  f->console = console[0];
  f->controle = controle_fd[0];
  f->pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
  return true;
}

// Everything a child said during one run.
struct Relato {
  std::string console;
  size_t descartado = 0;
  std::string controle;
  bool estourou_tempo = false;
  int status = 0;
};

void guarda_console(Relato *r, const char *dados, size_t n) {
  const size_t cabe = r->console.size() < PARSER_LIMITE_SAIDA
                          ? std::min(n, PARSER_LIMITE_SAIDA - r->console.size())
                          : 0;
  r->console.append(dados, cabe);
  r->descartado += n - cabe;
}

// Reads what is there; false at end of stream.
bool le_disponivel(int fd, Relato *r, bool de_console) {
  char bloco[65536];
  for (;;) {
    const ssize_t n = read(fd, bloco, sizeof bloco);
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0)
      return errno == EAGAIN;
    if (n == 0)
      return false;
    if (de_console)
      guarda_console(r, bloco, static_cast<size_t>(n));
    else
      r->controle.append(bloco, static_cast<size_t>(n));
  }
}

void acompanha(Filho *f, Relato *r) {
  fcntl(f->console, F_SETFL, O_NONBLOCK);
  fcntl(f->controle, F_SETFL, O_NONBLOCK);
  const double prazo = agora_ms() + tempo_limite * 1000.0;
  bool console_aberto = true, controle_aberto = true, vivo = true;
  while (vivo && (console_aberto || controle_aberto || f->pidfd < 0)) {
    const double resta = prazo - agora_ms();
    if (resta <= 0) {
      r->estourou_tempo = true;
      break;
    }
    pollfd fds[3] = {{console_aberto ? f->console : -1, POLLIN, 0},
                     {controle_aberto ? f->controle : -1, POLLIN, 0},
                     {f->pidfd, POLLIN, 0}};
    const int espera = static_cast<int>(std::min(resta, 1000.0)) + 1;
    if (poll(fds, 3, f->pidfd >= 0 || console_aberto || controle_aberto ? espera : 10) < 0 &&
        errno != EINTR)
      break;
    if (fds[0].revents)
      console_aberto = le_disponivel(f->console, r, true);
    if (fds[1].revents)
      controle_aberto = le_disponivel(f->controle, r, false);
    if (fds[2].revents)
      vivo = false;
    if (f->pidfd < 0 && !console_aberto && !controle_aberto)
      break;
  }
  // Gone or out of time: stop the whole group, then take what is left.
  kill(-f->pid, SIGKILL);
  kill(f->pid, SIGKILL);
  while (waitpid(f->pid, &r->status, 0) < 0 && errno == EINTR) {
  }
  f->pid = -1;
  le_disponivel(f->console, r, true);
  le_disponivel(f->controle, r, false);
  encerra(f, false);
}

bool tem_evento(const std::string &controle, char evento) {
  for (size_t i = 0; i < controle.size(); i = controle.find('\n', i) + 1) {
    if (controle[i] == evento)
      return true;
    if (controle.find('\n', i) == std::string::npos)
      break;
  }
  return false;
}

std::string segundos(double s) {
  char texto[32];
  g_snprintf(texto, sizeof texto, "%g", s);
  return texto;
}

std::string motivo_da_parada(const Relato &r) {
  const std::string parou = "[erro] o programa foi interrompido: ";
  if (r.estourou_tempo)
    return "[erro] o programa passou do tempo limite de " + segundos(tempo_limite) +
           (tempo_limite == 1 ? " segundo" : " segundos") +
           " e foi interrompido (um laço que nunca termina?).\n";
  if (tem_evento(r.controle, 'R'))
    return parou + "usou memória demais.\n";
  if (tem_evento(r.controle, 'N'))
    return "[erro] o programa é grande demais para a memória.\n";
  if (WIFSIGNALED(r.status)) {
    switch (WTERMSIG(r.status)) {
    case SIGSEGV:
      if (memoria->pista == PISTA_PILHA)
        return parou + "a pilha estourou (uma recursão que nunca termina?).\n";
      return parou + "acessou memória inválida (um ponteiro ou índice de vetor errado?).\n";
    case SIGBUS:
      return parou + "acessou memória inválida (um ponteiro errado?).\n";
    case SIGFPE:
      return parou + "divisão inteira por zero.\n";
    case SIGILL:
      return parou + "executou uma instrução inválida.\n";
    case SIGABRT:
      return parou + "abortou (abort ou assert).\n";
    case SIGXFSZ:
      return parou + "escreveu um arquivo grande demais.\n";
    case SIGXCPU:
      return parou + "usou processamento demais.\n";
    default:
      return parou + "recebeu o sinal " + std::to_string(WTERMSIG(r.status)) + " (" +
             strsignal(WTERMSIG(r.status)) + ").\n";
    }
  }
  return "[erro] o programa terminou de forma inesperada.\n";
}

void insere(const std::string &texto) {
  if (saida_hooks.console_insere && !texto.empty())
    saida_hooks.console_insere(texto.c_str());
}

void marca_erros(const std::string &controle) {
  size_t i = 0;
  while (i < controle.size()) {
    const size_t fim = controle.find('\n', i);
    if (fim == std::string::npos)
      break;
    if (controle[i] == 'E' && saida_hooks.marca_erro) {
      const int linha = atoi(controle.c_str() + i + 1);
      if (linha > 0)
        saida_hooks.marca_erro(linha);
    }
    i = fim + 1;
  }
}

// Our own messages start a line of their own, whatever the program left
// unfinished, so that "[erro" and "[olpa" always begin a console line.
std::string em_linha_propria(const std::string &antes, const std::string &mensagem) {
  return (antes.empty() || antes.back() == '\n' ? "" : "\n") + mensagem;
}

std::string texto_valido(const std::string &bruto) {
  if (g_utf8_validate(bruto.data(), static_cast<gssize>(bruto.size()), nullptr) &&
      bruto.find('\0') == std::string::npos)
    return bruto;
  std::string texto = bruto;
  for (char &c : texto)
    if (c == '\0')
      c = ' ';
  char *valido = g_utf8_make_valid(texto.data(), static_cast<gssize>(texto.size()));
  std::string saida = valido;
  g_free(valido);
  return saida;
}

} // namespace

void parser_define_saida(const ParserSaida &saida) {
  saida_hooks = saida;
}

void parser_define_trace(int fd) {
  fd_trace = fd;
}

void parser_define_tempo_limite(double s) {
  tempo_limite = s > 0 ? s : 10.0;
}

const ParserTempos &parser_tempos(void) {
  return tempos;
}

const unsigned char *parser_imagem_gravada(const char *caminho) {
  if (!memoria || !caminho || memoria->ultima_caminho[0] == '\0')
    return nullptr;
  memoria->ultima_caminho[OLPA_CAMINHO_MAX - 1] = '\0';
  return strcmp(memoria->ultima_caminho, caminho) == 0 ? memoria->ultima_rgba : nullptr;
}

void parser_prepara(void) {
  if (pronto.pid <= 0 && !cria_filho(&pronto, true))
    pronto = Filho{};
}

void parser_encerra(void) {
  if (pronto.pid > 0)
    encerra(&pronto, true);
}

int parser_inicia(void) {
  TccPtr s(tcc_new());
  if (!s) {
    if (saida_hooks.console_substitui)
      saida_hooks.console_substitui("[erro fatal] linguagem olpa ausente.\n");
    return 0;
  }
  return 1;
}

int parser_executa(const char *codigo) {
  const double inicio = agora_ms();
  tempos = ParserTempos{};
  if (!codigo)
    codigo = "";
  if (pronto.pid <= 0) {
    // Someone waits: no warming up.
    if (!cria_filho(&pronto, false))
      pronto = Filho{};
    tempos.preparo = agora_ms() - inicio;
  }
  Filho f = pronto;
  pronto = Filho{};
  if (f.pid <= 0) {
    insere("[erro] não foi possível iniciar a execução do programa (" +
           std::string(g_strerror(errno)) + ").\n");
    if (saida_hooks.console_erro)
      saida_hooks.console_erro();
    return 0;
  }

  const double envio = agora_ms();
  olpa_gfx_exporta_estado(&memoria->entrada);
  memoria->saida = memoria->entrada;
  memoria->pista = PISTA_NENHUMA;
  memoria->ultima_caminho[0] = '\0';
  memoria->compila = memoria->liga = memoria->programa = 0;
  const uint64_t tamanho = strlen(codigo);
  const bool enviado =
      write(f.comando, &tamanho, sizeof tamanho) == static_cast<ssize_t>(sizeof tamanho);
  if (enviado) {
    for (size_t feito = 0; feito < tamanho;) {
      const ssize_t n = write(f.comando, codigo + feito, tamanho - feito);
      if (n < 0 && errno == EINTR)
        continue;
      if (n <= 0)
        break;
      feito += static_cast<size_t>(n);
    }
  }
  fecha(&f.comando);
  tempos.envio = agora_ms() - envio;

  Relato relato;
  acompanha(&f, &relato);

  std::string texto = texto_valido(relato.console);
  if (relato.descartado > 0)
    texto += em_linha_propria(texto, "[olpa] a saída do programa passou de 1 MiB; o restante (" +
                                         std::to_string(relato.descartado) +
                                         " bytes) foi descartado.\n");
  const bool terminou = tem_evento(relato.controle, 'F') && !relato.estourou_tempo;
  const bool sem_estado = tem_evento(relato.controle, 'X');
  const bool falhou_compilacao =
      tem_evento(relato.controle, 'C') || tem_evento(relato.controle, 'L');
  const bool com_erros = tem_evento(relato.controle, 'E');
  tempos.compila = memoria->compila;
  tempos.liga = memoria->liga;
  tempos.programa = terminou ? memoria->programa : 0;

  int resultado = 1;
  if (sem_estado) {
    if (saida_hooks.console_substitui)
      saida_hooks.console_substitui("[erro fatal] linguagem olpa ausente.\n");
    resultado = 0;
  } else if (terminou) {
    olpa_gfx_importa_estado(memoria->saida);
    insere(texto);
  } else if (falhou_compilacao && !relato.estourou_tempo) {
    insere(texto);
    resultado = 0;
  } else {
    // Stopped from outside: whatever the canvas held is no longer trusted.
    memoria->ultima_caminho[0] = '\0';
    olpa_gfx_fecha_tela();
    insere(texto + em_linha_propria(texto, motivo_da_parada(relato)));
    resultado = 0;
  }
  marca_erros(relato.controle);
  if (resultado == 0 && !sem_estado && saida_hooks.console_erro &&
      (com_erros || !falhou_compilacao))
    saida_hooks.console_erro();
  tempos.total = agora_ms() - inicio;
  return resultado;
}

// ------------------------------------------------------------ in-process baseline

namespace {
std::string console_no_processo;
void guarda_no_processo(const char *texto, size_t n) {
  console_no_processo.append(texto, n);
}
} // namespace

int parser_executa_no_processo(const char *codigo) {
  const double inicio = agora_ms();
  if (!cria_memoria())
    return 0;
  console_no_processo.clear();
  olpa_gfx_define_console(guarda_no_processo);
  diagnostico_console = guarda_no_processo;
  olpa_gfx_nova_execucao();
  memoria->compila = memoria->liga = memoria->programa = 0;
  const int r = compila_e_roda(codigo, false);
  olpa_gfx_define_console(nullptr);
  diagnostico_console = escreve_stdout;
  tempos = ParserTempos{};
  tempos.compila = memoria->compila;
  tempos.liga = memoria->liga;
  tempos.programa = memoria->programa;
  tempos.total = agora_ms() - inicio;
  insere(console_no_processo);
  return r;
}
