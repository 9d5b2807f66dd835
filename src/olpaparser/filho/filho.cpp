// SPDX-License-Identifier: GPL-3.0-or-later
// The child: the process a learner's program runs in. It takes its fixed
// descriptors, its own space in ../telas and its resource limits, reads the
// code, confines itself, and hosts the compile and the run (compila.cpp):
// events to the application as it goes, then its event socket closed and
// main run behind guards for exit, memory and crashes.
#include "eventos.h"
#include "olpa_funcoes.h"
#include "diagnosticos.h"
#include "confina.h"
#include "filho.h"

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
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <glib.h>

namespace {

// File descriptors inside a child, fixed so everything else can be closed.
constexpr int FD_CONSOLE = 1;  // the program's stdout/stderr and escreve_console
constexpr int FD_COMANDO = 3;  // code from the application
constexpr int FD_CONTROLE = 4; // events for the application
constexpr int FD_TRACE = 5;    // the application's own standard output

// Where the child's own trace lines go: its descriptor, then (once main
// runs) shared memory.
OlpaEscritor rastro;

long faltas_no_codigo;       // page faults when the code came
void *registro = MAP_FAILED; // where the record of the calls goes
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

void envia(Evento evento) {
  const std::string texto = evento_linha(evento);
  parser_escreve_tudo(FD_CONTROLE, texto.data(), texto.size());
}

void envia_mensagem(const Diagnostico &d) {
  const std::string texto =
      evento_mensagem(d.aviso ? Evento::Aviso : Evento::Erro, d.linha, d.texto);
  parser_escreve_tudo(FD_CONTROLE, texto.data(), texto.size());
}

void escreve_rastro(const char *texto, size_t tamanho) {
  rastro(texto, tamanho);
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

// The checks start once the program is in memory.
void ligado(TCCState *s, void *bloco, size_t tamanho) {
  verifica_prepara(s, bloco, tamanho);
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
  const rlimit arquivo_max{64ull << 20, 64ull << 20};
  setrlimit(RLIMIT_FSIZE, &arquivo_max);
  // Enough for the compiler's nested headers and a program's files; a hard
  // limit the program cannot raise (each pipe holds kernel memory).
  const rlimit descritores{64, 64};
  setrlimit(RLIMIT_NOFILE, &descritores);
  rlimit pilha{};
  getrlimit(RLIMIT_STACK, &pilha);
  limite_pilha = pilha.rlim_cur == RLIM_INFINITY ? (8u << 20) : pilha.rlim_cur;
}

// The record of the calls, of the size the application asked for (read
// before the program runs; none fits past the mapping's).
void prepara_registro() {
  const OlpaRegistroMedidas maximo;
  OlpaRegistroMedidas medidas;
  medidas.chamadas = std::min(parser_memoria->registro_chamadas, maximo.chamadas);
  medidas.textos = std::min(parser_memoria->registro_textos, maximo.textos);
  if (registro != MAP_FAILED && medidas.chamadas > 0)
    olpa_registro_define(registro, medidas);
}

} // namespace

const std::vector<GuardaDeMemoria> &filho_guardas_de_memoria() {
  static const std::vector<GuardaDeMemoria> guardas = {
      {"malloc", reinterpret_cast<void *>(olpa_malloc)},
      {"calloc", reinterpret_cast<void *>(olpa_calloc)},
      {"realloc", reinterpret_cast<void *>(olpa_realloc)},
      {"pthread_create", reinterpret_cast<void *>(olpa_cria_processo)}};
  return guardas;
}

namespace {

// ------------------------------------------------------------ hosting the compile and the run

// Confined before the compiler reads a byte of the program: what the text
// makes tcc open or load is already within the child's rules.
bool confina_antes_de_compilar() {
  const double t = parser_agora_ms();
  // What the C library says of the program (an assert that fails) names no
  // process of ours: "programa:4: main: Assertion ... failed."
  program_invocation_short_name = const_cast<char *>("");
  std::string aviso;
  if (parser_ajustes.confinar && !confina_filho(&aviso)) {
    envia(Evento::NaoConfinou);
    return false;
  }
  if (!aviso.empty())
    rastro(aviso.data(), aviso.size());
  parser_memoria->confina = parser_agora_ms() - t;
  return true;
}

// From here on the program may write anything on any descriptor it has: it
// keeps only its console. The application learns of the end from the exit
// status and the shared memory; the table of lines goes to it first.
void solta_o_programa(const TabelaDeLinhas &tabela) {
  const std::string texto = evento_tabela(tabela);
  parser_escreve_tudo(FD_CONTROLE, texto.data(), texto.size());
  envia(Evento::Inicio);
  compila_fecha_objeto();
  close(FD_CONTROLE);
  close(FD_TRACE);
  rastro = trace_na_memoria;
  olpa_gfx_define_trace(trace_na_memoria);
}

[[noreturn]] void fim_de_main(int codigo) {
  fim_do_programa(codigo);
}

const Hospedeiro FILHO = {confina_antes_de_compilar, envia,  envia_mensagem,   escreve_rastro,
                          registra_guardas,          ligado, solta_o_programa, fim_de_main};

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

// Its own space in ../telas goes to the application with the first event,
// and its mount namespace with it: held there, the namespace is not torn
// down as this child exits (that takes milliseconds the run would wait for).
void envia_espaco(int raiz) {
  if (raiz < 0)
    return;
  const int fds[2] = {raiz, open("/proc/self/ns/mnt", O_RDONLY | O_CLOEXEC)};
  const char letra[2] = {static_cast<char>(Evento::Espaco), '\n'};
  parser_envia_com_descritores(FD_CONTROLE, letra, sizeof letra, fds, fds[1] >= 0 ? 2 : 1);
  close(raiz);
  if (fds[1] >= 0)
    close(fds[1]);
}

// The code, sent as its length and its bytes; false when the application
// went away instead.
// The code read straight behind the prelude, where it is compiled.
bool le_codigo(std::string *texto) {
  uint64_t tamanho = 0;
  if (!parser_le_tudo(FD_COMANDO, &tamanho, sizeof tamanho) || tamanho > (1ull << 31))
    return false;
  const size_t preludio = compila_preludio().size();
  *texto = compila_preludio();
  texto->resize(preludio + tamanho);
  const bool lido = parser_le_tudo(FD_COMANDO, texto->data() + preludio, tamanho);
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
  rastro(texto, tamanho);
}

[[noreturn]] void filho_vive(int comando, int console, int controle, int memoria, bool aquecer) {
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  setpgid(0, 0);
  // The run's own memory, shared with the application alone (whatever the
  // zygote or the application had mapped before is not this run's); the
  // record of the calls in a mapping of its own, which nothing touches
  // before the program calls.
  void *p = mmap(nullptr, sizeof(Compartilhado), PROT_READ | PROT_WRITE, MAP_SHARED, memoria, 0);
  if (p == MAP_FAILED)
    _exit(0);
  registro = mmap(nullptr, olpa_registro_tamanho(), PROT_READ | PROT_WRITE, MAP_SHARED, memoria,
                  static_cast<off_t>(memoria_registro_inicio()));
  close(memoria);
  parser_memoria = static_cast<Compartilhado *>(p);
  olpa_gfx_define_pixels(parser_memoria->pixels);
  fixa_descritores(comando, console, controle);
  const int espaco = espaco_prepara_filho();
  if (espaco < 0) {
    static const char AVISO[] = "[olpa] este sistema não dá ao programa um espaço próprio em "
                                "telas: ele grava lá diretamente, sem limite por execução.\n";
    trace_do_filho(AVISO, sizeof AVISO - 1);
  }
  envia_espaco(espaco);
  olpa_gfx_define_console(console_do_filho);
  olpa_gfx_define_trace(trace_do_filho);
  rastro = trace_do_filho;
  // Memory freed stays with the process, so what the warm-up touched is
  // there again for the run (and large blocks are not mapped afresh).
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 256 << 20);
  if (aquecer)
    aquece_tudo();
  else
    aquece_povoa();
  const long faltas_aquecendo = filho_faltas();

  std::string texto;
  if (!le_codigo(&texto))
    _exit(0);
  faltas_no_codigo = filho_faltas();
  parser_memoria->faltas_aquece = faltas_aquecendo;
  int marcador_pilha = 0;
  topo_pilha = reinterpret_cast<uintptr_t>(&marcador_pilha);
  compila_prepara_objeto();
  limita_recursos();
  limita_processador();
  espera_prepara_filho();
  prepara_sinais();
  prepara_registro();
  olpa_gfx_importa_estado(parser_memoria->estado);
  olpa_gfx_nova_execucao();
  compila_e_roda(texto, FILHO);
  _exit(0);
}
