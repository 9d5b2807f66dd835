// The child: the process a learner's program runs in. It takes its fixed
// descriptors and resource limits, reads the code, compiles and links it with
// the learner functions, reporting events to the application as it goes;
// then it confines itself, closes the event pipe, and runs main behind
// guards for exit, memory and crashes.
#include "eventos.h"
#include "olpa_funcoes.h"
#include "parser_diagnosticos.h"
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
#include <sys/socket.h>
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
std::string diagnosticos_de; // the program's code the messages are about

void parser_erro(void *opaco, const char *mensagem) {
  (void)opaco;
  destino.trace(mensagem, strlen(mensagem));
  destino.trace("\n", 1);
  mensagens.emplace_back(mensagem);
}

// The messages as the console shows them, each line marked in the editor.
void mostra_diagnosticos() {
  for (const Diagnostico &d : parser_diagnosticos(diagnosticos_de, mensagens)) {
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

// The memory file the program's object file goes through, made before the
// child is confined (a program may not make them).
int fd_objeto = -1;

std::string caminho_do_objeto() {
  return "/proc/self/fd/" + std::to_string(fd_objeto);
}

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
    destino.trace(aviso.data(), aviso.size());
  parser_memoria->confina = parser_agora_ms() - t;
  return true;
}

// From here on the program may write anything on any descriptor it has: it
// keeps only its console. The application learns of the end from the exit
// status and the shared memory; the table of lines goes to it first.
void solta_o_programa(const TabelaDeLinhas &tabela) {
  if (destino.no_filho) {
    const std::string texto = evento_tabela(tabela);
    parser_escreve_tudo(FD_CONTROLE, texto.data(), texto.size());
  }
  envia(Evento::Inicio);
  if (!destino.no_filho)
    return;
  close(fd_objeto);
  close(FD_CONTROLE);
  close(FD_TRACE);
  destino.trace = trace_na_memoria;
  olpa_gfx_define_trace(trace_na_memoria);
}

// tcc's error function for both of a run's compiler states.
void prepara_estado(TCCState *s, int tipo_de_saida) {
  tcc_set_error_func(s, &tcc_estado, parser_erro);
  parser_ajusta_compilador(s, tipo_de_saida);
}

// The program compiled to an object file (in memory), so that its table of
// lines is known before it runs: empty when it did not compile.
std::string compila_objeto(const std::string &texto) {
  TccPtr s(tcc_new());
  if (!s)
    return {};
  prepara_estado(s.get(), TCC_OUTPUT_OBJ);
  politica_vigia(true);
  const int compilou = tcc_compile_string(s.get(), texto.c_str());
  politica_vigia(false);
  if (compilou == -1)
    return {};
  std::string objeto;
  if (fd_objeto < 0 && !destino.no_filho)
    fd_objeto = memfd_create("programa.o", MFD_CLOEXEC);
  if (fd_objeto >= 0 && ftruncate(fd_objeto, 0) == 0 &&
      tcc_output_file(s.get(), caminho_do_objeto().c_str()) == 0) {
    const off_t tamanho = lseek(fd_objeto, 0, SEEK_END);
    objeto.assign(tamanho > 0 ? static_cast<size_t>(tamanho) : 0, '\0');
    if (pread(fd_objeto, objeto.data(), objeto.size(), 0) != static_cast<ssize_t>(objeto.size()))
      objeto.clear();
  }
  return objeto;
}

// The object file linked into memory, behind the learner functions and the
// guards: 0 when it could not be (the reason told already).
std::unique_ptr<void, decltype(&free)> liga(const std::string &objeto, int *tamanho) {
  std::unique_ptr<void, decltype(&free)> bloco(nullptr, free);
  // The object file is still in its memory file, as tcc wrote it.
  tcc_set_options(tcc_estado, "-xb"); // an object file, whatever its name
  if (objeto.empty() || tcc_add_file(tcc_estado, caminho_do_objeto().c_str()) != 0) {
    envia(Evento::NaoLigou);
    return bloco;
  }
  for (const OlpaFuncao &f : OLPA_FUNCOES)
    registra(tcc_estado, f.nome, f.endereco);
  if (destino.no_filho)
    registra_guardas(tcc_estado);
  politica_vigia(true);
  *tamanho = tcc_relocate(tcc_estado, nullptr);
  politica_vigia(false);
  mostra_diagnosticos();
  if (*tamanho == -1) {
    envia(Evento::NaoLigou);
    return bloco;
  }
  bloco.reset(malloc(static_cast<size_t>(*tamanho)));
  politica_vigia(true);
  const bool ligado = bloco && tcc_relocate(tcc_estado, bloco.get()) != -1;
  politica_vigia(false);
  if (!ligado) {
    bloco.reset();
    envia(Evento::GrandeDemais);
  }
  return bloco;
}

// Compiles, links and runs `codigo` in this process; 1 when main returned.
// In a child, a program that ends by exit or returns from main never comes
// back here.
// `texto`: the prelude, then the program's code.
int compila_e_roda(const std::string &texto) {
  const std::string codigo = texto.substr(parser_preludio().size());
  diagnosticos_de = codigo;
  if (destino.no_filho && !confina_antes_de_compilar())
    return 0;
  double t = parser_agora_ms();
  tcc_estado = tcc_new();
  if (!tcc_estado) {
    envia(Evento::SemCompilador);
    return 0;
  }
  TccPtr dono(tcc_estado);
  prepara_estado(tcc_estado, TCC_OUTPUT_MEMORY);
  if (const int linha = politica_pragma_proibido(codigo)) {
    mensagens.push_back(std::string(PARSER_ARQUIVO) + ":" + std::to_string(linha) +
                        ": error: #pragma comment não é permitido no olpa: um programa não "
                        "escolhe opções nem bibliotecas do compilador");
    mostra_diagnosticos();
    envia(Evento::NaoCompilou);
    return 0;
  }
  const std::string objeto = compila_objeto(texto);
  parser_memoria->compila = parser_agora_ms() - t;
  t = parser_agora_ms();
  if (objeto.empty()) {
    mostra_diagnosticos();
    envia(Evento::NaoCompilou);
    return 0;
  }
  int tamanho = 0;
  auto bloco = liga(objeto, &tamanho);
  if (!bloco)
    return 0;
  if (destino.no_filho)
    verifica_prepara(tcc_estado, bloco.get(), static_cast<size_t>(tamanho));
  parser_memoria->liga = parser_agora_ms() - t;
  auto principal = reinterpret_cast<MainDoPrograma>(tcc_get_symbol(tcc_estado, "main"));
  TabelaDeLinhas tabela;
  uint64_t principal_no_objeto = 0;
  if (!principal)
    envia(Evento::SemMain);
  else if (linhas_le_objeto(objeto, &tabela, &principal_no_objeto))
    tabela.base = reinterpret_cast<uintptr_t>(principal) - principal_no_objeto;
  solta_o_programa(tabela);
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

// Its own space in ../telas goes to the application with the first event.
void envia_espaco(int raiz) {
  if (raiz < 0)
    return;
  char letra[2] = {static_cast<char>(Evento::Espaco), '\n'};
  char controle[CMSG_SPACE(sizeof(int))] = {};
  iovec dados{letra, sizeof letra};
  msghdr m{};
  m.msg_iov = &dados;
  m.msg_iovlen = 1;
  m.msg_control = controle;
  m.msg_controllen = sizeof controle;
  cmsghdr *c = CMSG_FIRSTHDR(&m);
  c->cmsg_level = SOL_SOCKET;
  c->cmsg_type = SCM_RIGHTS;
  c->cmsg_len = CMSG_LEN(sizeof(int));
  memcpy(CMSG_DATA(c), &raiz, sizeof raiz);
  while (sendmsg(FD_CONTROLE, &m, MSG_NOSIGNAL) < 0 && errno == EINTR) {
  }
  close(raiz);
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
  const int espaco = espaco_prepara_filho();
  if (espaco < 0) {
    static const char AVISO[] = "[olpa] este sistema não dá ao programa um espaço próprio em "
                                "telas: ele grava lá diretamente, sem limite por execução.\n";
    trace_do_filho(AVISO, sizeof AVISO - 1);
  }
  envia_espaco(espaco);
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
  fd_objeto = memfd_create("programa.o", MFD_CLOEXEC);
  limita_recursos();
  limita_processador();
  espera_prepara_filho();
  prepara_sinais();
  olpa_gfx_importa_estado(parser_memoria->estado);
  olpa_gfx_nova_execucao();
  compila_e_roda(texto);
  _exit(0);
}

int filho_roda_no_processo(const char *codigo, OlpaEscritor console) {
  destino = Destino{console, escreve_stdout, false};
  const int r = compila_e_roda(parser_preludio() + codigo);
  destino = Destino{};
  return r;
}
