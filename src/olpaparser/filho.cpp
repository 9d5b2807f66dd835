// The child: the process a learner's program runs in. It takes its fixed
// descriptors and resource limits, reads the code, compiles and links it with
// the learner functions, reporting events to the application as it goes;
// then it confines itself, closes the event pipe, and runs main behind
// guards for exit, memory and crashes.
#include "eventos.h"
#include "olpa_funcoes.h"
#include "diagnosticos.h"
#include "parser_interno.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <malloc.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <glib.h>

TCCState *tcc_estado;

namespace {

// File descriptors inside a child, fixed so everything else can be closed.
constexpr int FD_CONSOLE = 1;  // the program's stdout/stderr and escreve_console
constexpr int FD_COMANDO = 3;  // code from the application
constexpr int FD_CONTROLE = 4; // events for the application
constexpr int FD_TRACE = 5;    // the application's own standard output

void escreve_stdout(const char *texto, size_t tamanho) {
  fwrite(texto, 1, tamanho, stdout);
}

// Where a compile-and-run reports: the child's descriptors, or this process's
// own streams for the in-process baseline, which sends no events.
struct Destino {
  OlpaEscritor console = escreve_stdout;
  OlpaEscritor trace = escreve_stdout;
  bool no_filho = false;
};
Destino destino;

long faltas_no_codigo; // page faults when the code came
uintptr_t topo_pilha;
size_t limite_pilha;

void console_do_filho(const char *texto, size_t tamanho) {
  parser_escreve_tudo(FD_CONSOLE, texto, tamanho);
}

void trace_do_filho(const char *texto, size_t tamanho) {
  parser_escreve_tudo(FD_TRACE, texto, tamanho);
}

// Once main runs, trace lines wait in shared memory for the application,
// which shows them checked: the program gets no descriptor of its own there.
void trace_na_memoria(const char *texto, size_t tamanho) {
  Compartilhado *m = parser_memoria;
  const size_t usado = std::min<size_t>(m->rastro_tamanho, sizeof m->rastro);
  const size_t cabe = std::min(tamanho, sizeof m->rastro - usado);
  memcpy(m->rastro + usado, texto, cabe);
  m->rastro_tamanho = static_cast<uint32_t>(usado + cabe);
}

void envia(Evento evento, int linha = 0) {
  if (!destino.no_filho)
    return;
  const std::string texto = evento_linha(evento, linha);
  parser_escreve_tudo(FD_CONTROLE, texto.data(), texto.size());
}

// ------------------------------------------------------------ diagnostics

// The compiler's messages of this compile and link, shown together once it
// is known which matter (an unknown name's warning is dropped for its error).
std::vector<std::string> mensagens;

void parser_erro(void *opaco, const char *mensagem) {
  (void)opaco;
  destino.trace(mensagem, strlen(mensagem));
  destino.trace("\n", 1);
  mensagens.emplace_back(mensagem);
}

// The messages as the console shows them, each line marked in the editor.
void mostra_diagnosticos(const char *codigo) {
  for (const Diagnostico &d : diagnosticos_do_compilador(codigo, mensagens)) {
    destino.console(d.texto.data(), d.texto.size());
    envia(d.aviso ? Evento::Aviso : Evento::Erro, d.linha);
  }
  mensagens.clear();
}

// ------------------------------------------------------------ guards

// The clean end of a run: the drawing state handed back, then _exit(0).
[[noreturn]] void fim_do_programa(int codigo) {
  fflush(nullptr);
  parser_memoria->faltas = filho_faltas() - faltas_no_codigo;
  parser_memoria->programa = parser_agora_ms() - parser_memoria->programa;
  parser_memoria->estado = olpa_gfx_exporta_estado();
  parser_memoria->codigo_saida = codigo;
  parser_memoria->abre = olpa_gfx_tempos().abre;
  parser_memoria->grava = olpa_gfx_tempos().grava;
  parser_memoria->saida = parser_agora_ms();
  _exit(0);
}

// What programs reach under the names of exit: the run ends as if main had
// returned, and nothing of the application's own exit handlers runs.
[[noreturn]] void olpa_exit(int codigo) {
  fim_do_programa(codigo);
}

[[noreturn]] void sem_memoria() {
  _exit(SAIDA_SEM_MEMORIA);
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

// The C library's ways to start processes block every signal before they
// fork, so the kernel's refusal could not say what was tried: these say it.
[[noreturn]] void olpa_cria_processo() {
  confina_recusa(SYS_clone);
}
[[noreturn]] void olpa_roda_programa() {
  confina_recusa(SYS_execve);
}

void registra(TCCState *s, const char *nome, const void *funcao) {
  tcc_add_symbol(s, nome, funcao);
}

// Outside the table of learner functions: how a run ends, how memory runs
// out, and what may not be done at all.
void registra_guardas(TCCState *s) {
  registra(s, "exit", reinterpret_cast<const void *>(olpa_exit));
  registra(s, "_exit", reinterpret_cast<const void *>(olpa_exit));
  registra(s, "_Exit", reinterpret_cast<const void *>(olpa_exit));
  verifica_registra(s);
  for (const char *nome : {"system", "popen", "posix_spawn", "posix_spawnp"})
    registra(s, nome, reinterpret_cast<const void *>(olpa_cria_processo));
  for (const char *nome : {"execl", "execlp", "execle", "execv", "execvp", "execvpe"})
    registra(s, nome, reinterpret_cast<const void *>(olpa_roda_programa));
}

void prepara_sinais() {
  signal(SIGPIPE, SIG_DFL);
  static char pilha_alternativa[64 * 1024];
  stack_t ss{};
  ss.ss_sp = pilha_alternativa;
  ss.ss_size = sizeof pilha_alternativa;
  sigaltstack(&ss, nullptr);
  verifica_sinais(topo_pilha, limite_pilha);
  sigset_t todos;
  sigemptyset(&todos);
  sigprocmask(SIG_SETMASK, &todos, nullptr);
}

// ------------------------------------------------------------ limits

// Processor time: the time limit is kept by the application's clock, which
// the child can fool with a false espera; this limit it cannot. A program
// that keeps to the time limit (espera aside) never reaches it.
void limita_processador() {
  rusage uso{};
  getrusage(RUSAGE_SELF, &uso);
  const double limite = parser_memoria->tempo_limite > 0 ? parser_memoria->tempo_limite : 10.0;
  const rlim_t segundos = static_cast<rlim_t>(uso.ru_utime.tv_sec + uso.ru_stime.tv_sec) + 1 +
                          static_cast<rlim_t>(std::ceil(std::min(limite, 1e6))) + 1;
  const rlimit processador{segundos, segundos + 1};
  setrlimit(RLIMIT_CPU, &processador);
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

} // namespace

const std::vector<GuardaDeMemoria> &parser_guardas_de_memoria() {
  static const std::vector<GuardaDeMemoria> guardas = {
      {"malloc", reinterpret_cast<void *>(olpa_malloc)},
      {"calloc", reinterpret_cast<void *>(olpa_calloc)},
      {"realloc", reinterpret_cast<void *>(olpa_realloc)},
      {"pthread_create", reinterpret_cast<void *>(olpa_cria_processo)}};
  return guardas;
}

namespace {

// ------------------------------------------------------------ compile, link, run

using MainDoPrograma = int (*)(int, char **);

// From here on the program may write anything on any descriptor it has: it
// keeps only its console. The application learns of the end from the exit
// status and the shared memory.
void confina_antes_do_main() {
  const double t = parser_agora_ms();
  // What the C library says of the program (an assert that fails) names no
  // process of ours: "programa:4: main: Assertion ... failed."
  program_invocation_short_name = const_cast<char *>("");
  std::string aviso;
  if (parser_ajustes.confinar && !confina_filho(&aviso)) {
    envia(Evento::NaoConfinou);
    _exit(0);
  }
  if (!aviso.empty())
    destino.trace(aviso.data(), aviso.size());
  envia(Evento::Inicio);
  close(FD_CONTROLE);
  close(FD_TRACE);
  destino.trace = trace_na_memoria;
  olpa_gfx_define_trace(trace_na_memoria);
  parser_memoria->confina = parser_agora_ms() - t;
}

// Compiles, links and runs `codigo` in this process; 1 when main returned.
// In a child, a program that ends by exit or returns from main never comes
// back here.
// `texto`: the prelude, then the program's code.
int compila_e_roda(const std::string &texto) {
  const char *codigo = texto.c_str() + parser_preludio().size();
  double t = parser_agora_ms();
  tcc_estado = tcc_new();
  if (!tcc_estado) {
    envia(Evento::SemCompilador);
    return 0;
  }
  TccPtr dono(tcc_estado);
  tcc_set_error_func(tcc_estado, &tcc_estado, parser_erro);
  parser_ajusta_compilador(tcc_estado, TCC_OUTPUT_MEMORY);
  for (const OlpaFuncao &f : OLPA_FUNCOES)
    registra(tcc_estado, f.nome, f.endereco);
  if (destino.no_filho)
    registra_guardas(tcc_estado);
  const int compilou = tcc_compile_string(tcc_estado, texto.c_str());
  parser_memoria->compila = parser_agora_ms() - t;
  t = parser_agora_ms();
  if (compilou == -1) {
    mostra_diagnosticos(codigo);
    envia(Evento::NaoCompilou);
    return 0;
  }
  const int tamanho = tcc_relocate(tcc_estado, nullptr);
  mostra_diagnosticos(codigo);
  if (tamanho == -1) {
    envia(Evento::NaoLigou);
    return 0;
  }
  std::unique_ptr<void, decltype(&free)> bloco(malloc(static_cast<size_t>(tamanho)), free);
  if (!bloco || tcc_relocate(tcc_estado, bloco.get()) == -1) {
    envia(Evento::GrandeDemais);
    return 0;
  }
  if (destino.no_filho)
    verifica_prepara(tcc_estado, bloco.get(), static_cast<size_t>(tamanho));
  parser_memoria->liga = parser_agora_ms() - t;
  auto principal = reinterpret_cast<MainDoPrograma>(tcc_get_symbol(tcc_estado, "main"));
  if (!principal)
    envia(Evento::SemMain);
  if (destino.no_filho)
    confina_antes_do_main();
  parser_memoria->programa = parser_agora_ms();
  int codigo_saida = 0;
  if (principal) {
    char nome[] = "programa";
    char *argv[] = {nome, nullptr};
    codigo_saida = principal(1, argv);
  }
  if (destino.no_filho)
    fim_do_programa(codigo_saida);
  parser_memoria->programa = parser_agora_ms() - parser_memoria->programa;
  return 1;
}

// ------------------------------------------------------------ the child's life

// Fixed descriptors: 0 empty input, 1 and 2 the console, then ours; every
// other one closed, so that the program cannot reach the application's
// display connection or files.
void fixa_descritores(int comando, int console, int controle) {
  const int trace = dup(parser_ajustes.fd_trace);
  const int nulo = open("/dev/null", O_RDONLY);
  const int fixos[6] = {nulo, console, console, comando, controle, trace};
  int altos[6];
  for (int i = 0; i < 6; i++)
    altos[i] = fcntl(fixos[i], F_DUPFD, 100);
  for (int i = 0; i < 6; i++)
    dup2(altos[i], i);
  syscall(SYS_close_range, FD_TRACE + 1, ~0u, 0);
  setvbuf(stdout, nullptr, _IONBF, 0);
  setvbuf(stderr, nullptr, _IONBF, 0);
}

bool le_tudo(int fd, void *dados, size_t tamanho) {
  auto *p = static_cast<char *>(dados);
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

// The code, sent as its length and its bytes; false when the application
// went away instead.
// The code read straight behind the prelude, where it is compiled.
bool le_codigo(std::string *texto) {
  uint64_t tamanho = 0;
  if (!le_tudo(FD_COMANDO, &tamanho, sizeof tamanho) || tamanho > (1ull << 31))
    return false;
  const size_t preludio = parser_preludio().size();
  *texto = parser_preludio();
  texto->resize(preludio + tamanho);
  const bool lido = le_tudo(FD_COMANDO, texto->data() + preludio, tamanho);
  close(FD_COMANDO);
  return lido;
}

} // namespace

long filho_faltas() {
  rusage uso{};
  getrusage(RUSAGE_SELF, &uso);
  return uso.ru_minflt + uso.ru_majflt;
}

void filho_rastro(const char *texto, size_t tamanho) {
  destino.trace(texto, tamanho);
}

[[noreturn]] void filho_vive(int comando, int console, int controle, bool aquecer) {
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  setpgid(0, 0);
  fixa_descritores(comando, console, controle);
  olpa_gfx_define_console(console_do_filho);
  olpa_gfx_define_trace(trace_do_filho);
  destino = Destino{console_do_filho, trace_do_filho, true};
  // Memory freed stays with the process, so what the warm-up touched is
  // there again for the run (and large blocks are not mapped afresh).
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 256 << 20);
  if (aquecer)
    filho_aquece();
  else
    filho_povoa();
  const long faltas_aquecendo = filho_faltas();

  std::string texto;
  if (!le_codigo(&texto))
    _exit(0);
  faltas_no_codigo = filho_faltas();
  parser_memoria->faltas_aquece = faltas_aquecendo;
  int marcador_pilha = 0;
  topo_pilha = reinterpret_cast<uintptr_t>(&marcador_pilha);
  limita_recursos();
  limita_processador();
  espera_prepara_filho();
  prepara_sinais();
  olpa_gfx_importa_estado(parser_memoria->estado);
  olpa_gfx_nova_execucao();
  if (parser_memoria->guarda_imagem)
    olpa_gfx_define_ultima_imagem(parser_memoria->ultima, parser_memoria->ultima_caminho);
  compila_e_roda(texto);
  _exit(0);
}

int filho_roda_no_processo(const char *codigo, OlpaEscritor console) {
  destino = Destino{console, escreve_stdout, false};
  const int r = compila_e_roda(parser_preludio() + codigo);
  destino = Destino{};
  return r;
}
