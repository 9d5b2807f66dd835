// What the runner's files share, and nothing outside the runner sees: the
// memory shared with children, the settings, and the steps of one run (the
// child's side in filho.cpp, the application's in processo.cpp, the outcome
// in desfecho.cpp).
#pragma once

#include "olpagfx.h"
#include "olpaparser.h"
#include "parser_medidas.h"

#include <atomic>
#include <csignal>
#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include <cstdint>

#include <sys/types.h>

#include <libtcc.h>

struct TccDeleter {
  void operator()(TCCState *s) const { tcc_delete(s); }
};
using TccPtr = std::unique_ptr<TCCState, TccDeleter>;

double parser_agora_ms();
// A program's text as a console can take it: valid UTF-8, no NUL.
std::string parser_texto_valido(const char *bruto, size_t tamanho);
// Writes all of `dados` unless the descriptor fails; false then.
bool parser_escreve_tudo(int fd, const void *dados, size_t tamanho);

// ------------------------------------------------------------ settings

struct ParserAjustes {
  ParserSaida saida{};        // hooks; any may be null
  int fd_trace = 1;           // where trace lines and warnings go (standard output)
  double tempo_limite = 10.0; // seconds a run may take, not counting espera
  bool sem_espera = false;    // espera returns at once
  std::string quadros;        // folder a picture goes to at each espera; empty: none
  bool confinar = true;       // off only in the benchmark of what confining costs
  bool verificar = true;      // bounds checks, when tcc's checker is installed; off to measure them
};
extern ParserAjustes parser_ajustes;
extern ParserTempos parser_tempos_atuais;

// ------------------------------------------------------------ compiling (parser_compila.cpp)

// What every program is compiled with in front of it: the learner
// functions declared, and a marker at the head of the table of the bounds
// of its static data.
const std::string &parser_preludio();
constexpr char PARSER_MARCO_DE_LIMITES[] = "__olpa_limites";
constexpr uintptr_t PARSER_TAMANHO_DO_MARCO = 8;
// Whether programs are compiled with tcc's bounds checks (the default when
// tcc's checker is installed).
bool parser_verificando();
// A compiler state made ready to compile a program as every run does.
void parser_ajusta_compilador(TCCState *s, int tipo_de_saida);

// What a program's text may make the compiler do (politica.cpp): while
// `vigiar` holds, tcc opens headers only from the system's header folders,
// loads only the system's libraries, and takes no option from the text.
void politica_vigia(bool vigiar);
// The line of the first "#pragma comment" (or _Pragma of one) in `codigo`; 0 when none.
int politica_pragma_proibido(const std::string &codigo);

// ------------------------------------------------------------ faults

// How a program died in its own code, beyond its signal.
enum class TipoDeFalha : int {
  Nenhuma,
  ForaDoVetor,  // a bounds check failed (in `funcao`, a C function, when named)
  Liberacao,    // free of what malloc did not give, or twice
  Sobreposicao, // a copy between overlapping regions
  TextoInvalido // a learner function (`funcao`) read what it was handed as a text, and faulted
};

// Code addresses in the child where a program died: the first exact when
// `exato` (the faulting instruction), the others return addresses, nearest
// first; and where main was, to find them in the program's code again.
constexpr uint32_t ENDERECOS_DA_FALHA = 16;
struct EnderecosDaFalha {
  uint64_t principal;
  uint32_t quantos;
  uint32_t exato;
  uint64_t enderecos[ENDERECOS_DA_FALHA];
};
// The program's lines by where their code is in the child that runs it,
// found by the child before main runs (parser_linhas.cpp).
struct LinhaDoCodigo {
  uint32_t inicio; // offset in the program's code
  int linha;
};
struct TabelaDeLinhas {
  uint64_t base = 0;                 // where the code begins in the child; 0: unknown
  uint64_t tamanho = 0;              // its size
  std::vector<LinhaDoCodigo> linhas; // by offset
};
// The table of an object file of the program, and main's offset in its
// code; false when it has none.
bool linhas_le_objeto(const std::string &elf, TabelaDeLinhas *t, uint64_t *principal);
// The line of the program at `endereco` in the child, 0 when none.
int linhas_linha(const TabelaDeLinhas &t, uint64_t endereco);
// The line the addresses of a fault are on (the first that is in the
// program's own code, from 1 to `ultima`; with `mais_frequente`, the one most
// of them are on: a recursion's call), 0 when none is.
int parser_linha_do_codigo(const TabelaDeLinhas &t, int ultima, const EnderecosDaFalha &enderecos,
                           bool mais_frequente = false);

struct Falha {
  TipoDeFalha tipo;
  char funcao[32];
  uint64_t quadro; // bytes of the faulting function's frame
  EnderecosDaFalha enderecos;
};

// What a death in the program's own code tells (falha.cpp): its line,
// found from the child's note of `f` when the program compiles quickly
// enough to compile again; and a cause that fits, empty when the signal's
// own says it best.
int falha_linha(const TabelaDeLinhas &t, const std::string &codigo, const Falha &f,
                bool recursao = false);
std::string falha_motivo(int sinal, bool pilha, bool verificacao, const Falha &f);
// Whether the stack ran out through a recursion, rather than a huge frame.
bool falha_de_recursao(bool pilha, const Falha &f);

// What a run that ended well says about its picture (parser_relato.cpp):
// the first colour out of range as an "[aviso]" (on `linha` when known), and
// why it shows no picture, or not the expected one; empty when nothing is
// worth saying.
std::string relato_aviso_de_cor(const OlpaRelato &r, int linha);
std::string relato_por_que(const OlpaRelato &r, bool tem_main, const OlpaEstado &estado);

// The child's allocations and threads, guarded (filho.cpp): the names
// programs reach them by.
struct GuardaDeMemoria {
  const char *nome;
  void *funcao;
};
const std::vector<GuardaDeMemoria> &parser_guardas_de_memoria();

// The checks in a child (verifica.cpp): the guards registered (through the
// bounds checker's own lookup when it checks); after relocation, the checker
// started and its failures caught; the handlers of faults.
void verifica_registra(TCCState *s);
void verifica_prepara(TCCState *s, const void *bloco, size_t tamanho);
void verifica_sinais(uintptr_t topo_da_pilha, size_t limite_da_pilha);

// ------------------------------------------------------------ shared memory

// Memory shared by the application and its children: the drawing state both
// ways, the canvas pixels (so an open canvas needs no copying), what the child
// can tell before it dies, and its phase times.
// Once the learner's main runs, everything here may have been written by the
// program: the application validates what it reads.
struct Compartilhado {
  OlpaEstado estado;                    // to the child before the run, back from it at the end
  volatile sig_atomic_t pilha_estourou; // the child's fault was at its stack's end
  volatile sig_atomic_t proibida;       // the system call refused, when it ended by SIGSYS
  Falha falha;                          // how it died in its own code
  int codigo_saida;                     // what main returned or exit was given
  double compila, liga, confina, programa;
  long faltas_aquece, faltas; // page faults of the warm-up, and from the code to the end
  double abre, grava, saida;  // inicia's canvas, pictures written; when it began to exit
  // Trace lines written after main started ("[arq-s] ...").
  uint32_t rastro_tamanho;
  char rastro[8192];
  // The run's settings, written before the child reads its code.
  double tempo_limite;
  int sem_espera;
  char quadros[OLPA_CAMINHO_MAX];
  // Written by the child while the program runs, so untrusted: they only
  // decide when the canvas is shown again and how much of the time passed
  // in espera, which never exceeds the time that really passed.
  std::atomic<uint32_t> mudancas;       // bumped at each change of the canvas
  std::atomic<uint32_t> esperas;        // esperas begun
  std::atomic<int64_t> espera_total_us; // time spent in esperas that ended
  std::atomic<int64_t> espera_desde_us; // when the espera under way began; 0 outside one
  std::atomic<int64_t> espera_ate_us;   // ... and when it is to end
  alignas(64) unsigned char pixels[OLPA_TELA_BYTES];
};
extern Compartilhado *parser_memoria;
// Maps the shared memory once and puts the canvas pixels there.
bool parser_cria_memoria();

// How a child ends besides its clean _exit(0) after main (or exit).
constexpr int SAIDA_SEM_MEMORIA = 3; // the program asked for memory it could not have
constexpr int SAIDA_PROIBIDA = 4;    // a refused system call (its number in shared memory)
constexpr int SAIDA_VERIFICACAO = 5; // a bounds check failed (the fault in shared memory)

// ------------------------------------------------------------ the child (filho.cpp)

// A child's whole life once forked: descriptors, limits and signals, then the
// code read from `comando`, compiled, linked and run. `aquecer`: touch now,
// while nobody waits, what the run would otherwise pay for.
[[noreturn]] void filho_vive(int comando, int console, int controle, bool aquecer);
// Readies a child's memory (aquece.cpp): the warm-up while nobody waits; the
// shared pages at once when a run waits.
void filho_aquece();
void filho_povoa();
// Compiles, links and runs `codigo` in this process, console text to
// `console`; no guards, no events. 1 on success.
int filho_roda_no_processo(const char *codigo, OlpaEscritor console);
// This process's page faults so far.
long filho_faltas();
// A trace line of the child's (kept in shared memory once main runs).
void filho_rastro(const char *texto, size_t tamanho);

// ------------------------------------------------------------ espera in a child (espera.cpp)

// Before main: the run's espera settings read, and espera and every change of
// the canvas told to the application through shared memory.
void espera_prepara_filho();

// ------------------------------------------------------------ confinement (confina.cpp)

// Confines this child for the learner's main: no capabilities and no way to
// gain any, files only beneath the run tree (writing only in ../telas), only
// the system calls a drawing program needs; a refused one ends the child by
// SIGSYS, or exits with SAIDA_PROIBIDA and its number in
// parser_memoria->proibida. False when that could not
// be put in place; `aviso` gets a trace line when only the file rules could not.
bool confina_filho(std::string *aviso);
// Ends this child for trying system call `numero`.
[[noreturn]] void confina_recusa(int numero);
// What a program tried when system call `numero` was refused ("criar outro
// processo"); empty when not even its name is known.
std::string confina_acao(int numero);

// ------------------------------------------------------------ the run's own space (espaco.cpp)

// In the child, before anything else: ../telas overlaid by a memory file
// system of the budget's size, in namespaces of its own. Its root, for the
// application; -1 when the kernel gives no user namespace (the program then
// writes into ../telas itself).
int espaco_prepara_filho();
// The application's side, on the root a child sent: whether it is such a
// file system; whether the program filled it; whether it left a file at
// `caminho` ("../telas/..."); and everything it left carried into ../telas
// (false, errno set, when that failed somewhere).
bool espaco_valido(int raiz);
bool espaco_estourou(int raiz);
bool espaco_tem_arquivo(int raiz, const char *caminho);
bool espaco_junta(int raiz);

// ------------------------------------------------------------ the application's side
// (processo.cpp)

// One run's child as the application sees it, and everything it said so far.
// Reading what is there (processo_le) is apart from waiting for it, which a
// main loop does (rodada.cpp).
struct Execucao {
  pid_t pid = -1;
  int pidfd = -1;                      // readable once the child has ended; -1 on kernels without
  int comando = -1;                    // the code, to the child
  int console = -1;                    // its console text; -1 once it ended
  int controle = -1;                   // its events; -1 once they ended
  int espaco = -1;                     // its own space, when it sent one
  double inicio = 0;                   // when the code went to the child (parser_agora_ms)
  clockid_t relogio = CLOCK_MONOTONIC; // its processor-time clock
  bool tem_relogio = false;
  double cpu_inicio = 0, fila_inicio = 0; // its processor time and wait for one when the code went
  int erro = 0;                           // errno when no child could be started

  std::string texto;     // console text as written, up to PARSER_LIMITE_SAIDA
  size_t descartado = 0; // console bytes beyond that
  // The text as the console shows it (valid UTF-8, no NUL), made as it comes:
  // the first `validado` bytes of `texto` (the rest may be the first bytes of
  // a character still on its way).
  std::string valido;
  size_t validado = 0;
  std::string eventos;
  // Which limit stopped it: its processor time, or the time it sat idle
  // (sleeping or blocked) not in espera.
  enum class Limite { Nenhum, Processador, Parado } limite = Limite::Nenhum;
  bool interrompido = false; // stopped by the learner
  int status = 0;            // as waitpid gives it
  double preparo = 0, envio = 0;
};
// Takes the child readied ahead (or forks one), and hands it the drawing state,
// the run's settings and the code. False, with ex->erro, when no child could be
// started.
bool processo_inicia(Execucao *ex, const char *codigo);
// Reads what the child has written so far, at most about `maximo` bytes,
// without blocking. False once its console and its events have both ended.
bool processo_le(Execucao *ex, size_t maximo = SIZE_MAX);
// What the child has used so far, in milliseconds: processor time, and time
// spent waiting for a processor (0 when the kernel does not say).
struct ProcessoUso {
  double cpu = 0, fila = 0;
};
ProcessoUso processo_uso(const Execucao &ex);
// Whether the child has ended (without taking its status).
bool processo_terminou(const Execucao &ex);
// Ends the child's whole group and takes its status and what it left unread
// (its own space stays open, for the outcome to carry over).
void processo_encerra(Execucao *ex);
// The child readied ahead: forked, or ended.
void processo_prepara();
void processo_descarta_preparado();

// ------------------------------------------------------------ the zygote (zigoto.cpp)

// Forks the small process children are made from, once; false when it
// could not be made (children are then forked from the application).
bool zigoto_inicia();
// A child made by the zygote, the application's own, living filho_vive with
// these descriptors; -1 (errno set) when there is no zygote or it failed.
pid_t zigoto_cria_filho(int comando, int console, int controle, bool aquecer);
pid_t zigoto_pid();
// Ends the zygote and waits for it.
void zigoto_encerra();

// ------------------------------------------------------------ the outcome (desfecho.cpp)

// How a run ended.
enum class ComoTerminou {
  Terminou,      // main returned or exit was called: the child's own clean exit
  NaoIniciou,    // no child could be started
  SemCompilador, // no compiler state could be made
  NaoCompilou,   // compiling or linking failed; the errors are in the console text
  NaoConfinou,   // the child could not be confined, so the program did not run
  TempoEsgotado, // stopped at the time limit (of processor time)
  Parado,        // stopped for sitting idle (sleeping, blocked) too long outside espera
  SemMemoria,    // the program asked for more memory than it may have
  GrandeDemais,  // no memory for the linked program
  Proibido,      // it tried a system call it may not make
  Sinal,         // ended by a signal
  Verificacao,   // a bounds check failed
  Interrompido,  // stopped by the learner
  Inesperado,    // ended any other way
};

// A run's outcome: the child's report, read once. Everything from after the
// program started is checked before it lands here.
struct Desfecho {
  ComoTerminou como = ComoTerminou::Inesperado;
  int sinal = 0;           // Sinal: which one
  bool pilha = false;      // Sinal: the fault was at the stack's end
  int proibida = -1;       // Proibido: the system call, -1 when unknown
  int erro = 0;            // NaoIniciou: errno
  int codigo_saida = 0;    // Terminou: what main returned or exit was given
  bool com_erros = false;  // compiler errors went to the console
  std::vector<int> linhas; // lines to mark in the editor as errors
  std::vector<int> avisos; // lines to mark as warnings
  bool tem_main = true;
  int linha_da_cor = 0;   // Terminou: the line of the first colour out of range
  Falha falha{};          // Sinal, Verificacao: what the child noted of it (untrusted)
  int linha_da_falha = 0; // ... and the line it names, checked; 0 when none
  std::string console;    // the program's text as the console already shows it
  size_t descartado = 0;  // bytes of it beyond the console's limit
  std::string rastro;     // trace lines from after main started, control characters escaped
  OlpaEstado estado{};    // Terminou: the drawing state handed back (untrusted)
  // Its own space in ../telas (when the kernel gave one): filled by the
  // program (nothing of it kept), or not carried over (errno); and whether
  // the run left a picture at its export path.
  bool espaco_proprio = false, espaco_estourou = false;
  int espaco_erro = 0;
  bool figura_nova = false;
  double compila = 0, liga = 0, confina = 0, programa = 0; // the child's phase times
};
Desfecho desfecho_le(const Execucao &ex, const std::string &codigo);
// The one place an outcome becomes console text (after the program's own,
// which is already there) and hook calls; the run's result.
int desfecho_mostra(const Desfecho &d);
