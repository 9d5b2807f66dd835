// SPDX-License-Identifier: GPL-3.0-or-later
// The application's side of a run: a child forked and fed (processo.cpp,
// zigoto.cpp), the run driven from a main loop (rodada.cpp), its outcome read
// once (desfecho.cpp, falha.cpp, relato.cpp) into the one value a run is told
// through (resultado.cpp), and the run's space carried into ../telas
// (espaco.cpp).
#pragma once

#include "comum.h"

// What a death in the program's own code tells (falha.cpp): its line,
// found from the child's note of `f` when the program compiles quickly
// enough to compile again; and a cause that fits, empty when the signal's
// own says it best.
int falha_linha(const TabelaDeLinhas &t, const std::string &codigo, const Falha &f,
                bool recursao = false);
std::string falha_motivo(int sinal, bool pilha, bool verificacao, const Falha &f);
// What a signal that ended a program means to a learner ("divisão inteira
// por zero.\n").
std::string falha_motivo_do_sinal(int sinal, bool pilha);
// Whether the stack ran out through a recursion, rather than a huge frame.
bool falha_de_recursao(bool pilha, const Falha &f);
// Where a program stopped from outside was (the time limit, Parar): the
// lines of the addresses its child noted that are the program's, nearest
// first (empty when none is); `no_salto`: it was at a jump to itself.
std::vector<int> falha_linhas_da_parada(const TabelaDeLinhas &t, const std::string &codigo,
                                        const EnderecosDaFalha &e, bool no_salto);
// What a run stopped at its time limit suggests about those lines: the
// loop that never ends, the loop that only counts (use espera), nothing
// when no loop holds them, the old guess when none is known. The loop's
// line in *laco (0: none).
std::string falha_dica_do_tempo(const std::string &codigo, const std::vector<int> &linhas,
                                int *laco);

// What a run that ended well says about its picture (parser_relato.cpp):
// the first colour out of range as an "[aviso]" (on `linha` when known), and
// why it shows no picture, or not the expected one; empty when nothing is
// worth saying.
std::string relato_aviso_de_cor(const OlpaRelato &r, int linha);
std::string relato_por_que(const OlpaRelato &r, bool tem_main, const OlpaEstado &estado);

// ------------------------------------------------------------ the run's own space (espaco.cpp)

// The application's side, on the root a child sent: whether it is such a
// file system; whether the program filled it; whether it left a file at
// `caminho` ("../telas/..."); and everything it left carried into ../telas
// (false, errno set, when that failed somewhere).
bool espaco_valido(int raiz);
// Whether `fd` is a mount namespace; and letting go of one (its teardown, which
// waits on the kernel, done on a thread of its own).
bool espaco_e_namespace(int fd);
void espaco_solta_namespace(int fd);
bool espaco_estourou(int raiz);
bool espaco_tem_arquivo(int raiz, const char *caminho);
bool espaco_junta(int raiz);
// The pixels of the picture the run left at `caminho` in its space (or why
// there are none, in *motivo).
bool espaco_le_figura(int raiz, const char *caminho, std::vector<unsigned char> *argb,
                      std::string *motivo = nullptr);

// ------------------------------------------------------------ the child as the application sees it
// (processo.cpp)

// The memory the window's runs share with their children (made once, the
// drawing library's canvas pixels put there): parser_memoria.
bool processo_cria_memoria();

// A run's own settings, taken when it starts. A run beside others (the
// grading's) starts from the drawing library's defaults, in its own memory
// and its own run tree, and hands nothing back to this process's drawing
// state; the window's runs carry that state from one to the next.
struct AjustesDaRodada {
  double tempo_limite = 10.0; // seconds of processor time
  bool sem_espera = false;
  std::string quadros; // folder of ../telas a picture goes to at each espera; empty: none
  bool ao_lado = false;
  int pasta = -1;               // beside others: its run tree's bin/ (a descriptor, the caller's)
  bool vista = true;            // the picture is wanted in the outcome (decoded from its file)
  OlpaRegistroMedidas registro; // how much of its calls is recorded
};

// One run's child as the application sees it, and everything it said so far.
// Reading what is there (processo_le) is apart from waiting for it, which a
// main loop does (rodada.cpp).
struct Execucao {
  AjustesDaRodada ajustes;
  Compartilhado *memoria = nullptr; // shared with the child
  unsigned char *gravado = nullptr; // ... and the record of its calls, as the child writes it
  OlpaRegistroMedidas medidas;      // ... of the size this run's record has
  int memoria_fd = -1;
  bool memoria_propria = false; // made for this run alone (freed at its end)
  pid_t pid = -1;
  int pidfd = -1;                      // readable once the child has ended; -1 on kernels without
  int comando = -1;                    // the code, to the child
  int console = -1;                    // its console text; -1 once it ended
  int controle = -1;                   // its events; -1 once they ended
  int espaco = -1;                     // its own space, when it sent one
  int namespace_fd = -1;               // ... and its mount namespace, held until the run's end
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
  // The record as read so far (while paused, and at the end): null until
  // the program ran.
  std::shared_ptr<OlpaRegistro> registro;
  // Pausar: asked for; the step the child was last seen standing before (0:
  // not seen paused), since when (parser_agora_ms), and the time it stood
  // paused before that, which no time limit counts.
  bool pausa_pedida = false;
  uint64_t pausado_em = 0;
  double pausa_desde = 0, pausado_ms = 0;
};
// Takes the child readied ahead (or forks one), and hands it the drawing state,
// the run's settings and the code. False, with ex->erro, when no child could be
// started.
bool processo_inicia(Execucao *ex, const char *codigo, const AjustesDaRodada &ajustes);
// A run's own memory given back (beside others), once its outcome was read.
void processo_solta_memoria(Execucao *ex);
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
// Has the child note where its program is (SINAL_DE_PARADA) before it is
// stopped from outside, and waits a little for the note.
void processo_anota_parada(Execucao *ex);
// Ends the child's whole group and takes its status and what it left unread
// (its own space stays open, for the outcome to carry over).
void processo_encerra(Execucao *ex);
// The memory the child's record took, given back (once it was read).
void processo_solta_registro(Execucao *ex);

// ------------------------------------------------------------ Pausar and Passo (pausa.cpp)

// What the application asks of the child: to stop before its next call,
// one call more, to go on. Each wakes it.
void pausa_pede(Execucao *ex);
void pausa_passo(Execucao *ex);
void pausa_solta(Execucao *ex);
// The step the child stands paused before, as asked (0 when it does not, or
// was not asked to); the time paused counted from when it is first seen.
uint64_t pausa_olha(Execucao *ex, double agora);
// Milliseconds the child stood paused so far.
double pausa_total_ms(const Execucao &ex, double agora);

// ------------------------------------------------------------ the record (registro.cpp)

// The record of the program's calls read from the child's memory as far as
// it goes (again while paused, once more at the end), each call's line found
// in the table the child sent (none past the program's last line); at the
// end (the child gone), without the call it stood paused before, which
// never ran.
void registro_le(Execucao *ex, const TabelaDeLinhas &tabela, const std::string &codigo);
// Its steps, gone through for the notice of a run that ended well when it
// is no larger than this many calls (a pass costs about what the run spent
// drawing; a larger one goes on in the window, and its lost strokes are not
// told).
constexpr uint32_t REGISTRO_AVISO_CHAMADAS = 50000;
std::shared_ptr<OlpaPassos> registro_passos(const std::shared_ptr<OlpaRegistro> &registro);
// The notice of a run that ended well ("[olpa] ..." naming a line, in
// *linha), from its record and steps; empty when nothing was lost.
std::string registro_aviso(const OlpaRegistro &registro, OlpaPassos *passos,
                           const std::string &codigo, int *linha);
struct Desfecho;
// An outcome's record (null when the program never ran), and for a run that
// ended well the notice it gives (its line marked as a warning, unless
// warned of already); its steps for the window's runs; whether a stopped
// run's canvas is its own; for the time limit, what its lines suggest.
void registro_no_desfecho(const Execucao &ex, const std::string &codigo, Desfecho *d);
// The child readied ahead: forked, or ended.
void processo_prepara();
void processo_descarta_preparado();

// ------------------------------------------------------------ the zygote (zigoto.cpp)

// Forks the small process children are made from, once; false when it
// could not be made (children are then forked from the application).
bool zigoto_inicia();
// A child made by the zygote, the application's own, living filho_vive with
// these descriptors; -1 (errno set) when there is no zygote or it failed.
pid_t zigoto_cria_filho(int comando, int console, int controle, int memoria, int pasta,
                        bool aquecer);
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
  bool ao_lado = false;    // a run beside others: nothing handed back to the drawing state
  double tempo_limite = 0; // its limit, in seconds
  int sinal = 0;           // Sinal: which one
  bool pilha = false;      // Sinal: the fault was at the stack's end
  int proibida = -1;       // Proibido: the system call, -1 when unknown
  int erro = 0;            // NaoIniciou: errno
  int codigo_saida = 0;    // Terminou: what main returned or exit was given
  bool com_erros = false;  // compiler errors went to the console
  std::vector<int> linhas; // lines to mark in the editor as errors
  std::vector<int> avisos; // lines to mark as warnings
  bool tem_main = true;
  bool compilando = false; // it ended before main was to run
  int linha_da_cor = 0;    // Terminou: the line of the first colour out of range
  Falha falha{};           // Sinal, Verificacao: what the child noted of it (untrusted)
  int linha_da_falha = 0;  // ... and the line it names, checked; 0 when none
  std::string console;     // the program's text as the console already shows it
  size_t descartado = 0;   // bytes of it beyond the console's limit
  std::string rastro;      // trace lines from after main started, control characters escaped
  OlpaEstado estado{};     // Terminou: the drawing state handed back, made sane
  // Its own space in ../telas (when the kernel gave one): filled by the
  // program (nothing of it kept), or not carried over (errno); and whether
  // the run left a picture at its export path.
  bool espaco_proprio = false, espaco_estourou = false;
  int espaco_erro = 0;
  bool figura_nova = false;
  double compila = 0, liga = 0, confina = 0, programa = 0; // the child's phase times
  // Stopped from outside: the lines where the program was (nearest first;
  // at the time limit, a loop that never ends in place of where in it it
  // was), and for the time limit what they suggest.
  std::vector<int> linhas_da_parada;
  std::string dica_do_tempo;
  // The record of its calls (null: it never ran), its steps (the window's
  // runs; beside others only while the notice needs them), the notice of a
  // run that ended well and its line, and whether a stopped run's canvas is
  // its own.
  std::shared_ptr<OlpaRegistro> registro;
  std::shared_ptr<OlpaPassos> passos;
  std::string aviso;
  int linha_do_aviso = 0;
  bool tela = false;
};
Desfecho desfecho_le(const Execucao &ex, const std::string &codigo);
// The one place an outcome becomes console lines (after the program's own,
// which are there already), marks and the picture, in `*r`, ended.
void desfecho_mostra(const Desfecho &d, const Execucao &ex, ParserResultado *r);

// ------------------------------------------------------------ the value (resultado.cpp)

// A run's value begins: "[olpa] compilando".
void resultado_comeca(ParserResultado *r);
// The run's own text, whole lines of `tipo` about the program's `linha`, on
// a line of their own.
void resultado_acrescenta(ParserResultado *r, ParserTipo tipo, int linha, const std::string &texto);
// The program's text, as it comes (a line may come in pieces).
void resultado_programa(ParserResultado *r, const char *texto, size_t tamanho);
// Everything replaced by `texto`.
void resultado_troca(ParserResultado *r, ParserTipo tipo, const std::string &texto);

// ------------------------------------------------------------ the run (rodada.cpp)

// A run from the thread-default main context (parser_comeca), stopped
// (parser_interrompe); whether one is going on; the last one's outcome.
void rodada_comeca(const char *codigo, ParserOuvinte ouvinte, void *dados, bool vista = true);
// A run beside any others (parser_roda_ao_lado), and how many are going on.
void rodada_ao_lado(const char *codigo, const AjustesDaRodada &ajustes, ParserOuvinte ouvinte,
                    void *dados);
int rodada_ao_lado_em_curso();
void rodada_interrompe_ao_lado();
void rodada_interrompe();
bool rodada_em_curso();
// Pausar, Passo, Continuar of the window's run, and whether Pausar holds.
void rodada_pausa();
void rodada_passo();
void rodada_continua();
bool rodada_pausada();
const ParserResultado &rodada_ultimo();
