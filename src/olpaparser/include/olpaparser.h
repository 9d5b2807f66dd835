// SPDX-License-Identifier: GPL-3.0-or-later
// Compiling and running a learner's program. Each run compiles, links and
// runs in a child process, so that nothing the program does (crash, endless
// loop, memory grab, exit) can take the application or the learner's code
// with it. The drawing library's state is handed to the child before the run
// and back after it, so it carries from one run to the next as if everything
// ran in one process. GTK-free.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct OlpaRegistro; // olpa_registro.h
struct OlpaPassos;   // olpa_passos.h

// How a run ended.
enum class ParserFim {
  Terminou,     // main returned or exit was called
  NaoRodou,     // compiling or linking failed, or no run could start
  Interrompido, // stopped: a crash, the time limit, too much memory, a forbidden call, Parar
};

// What a line of the console is.
enum class ParserTipo {
  Texto, // the program's own text
  Olpa,  // "[olpa] ...": how the run went
  Aviso, // "[aviso] ...": a warning (the program runs all the same)
  Erro,  // "[erro] ...": why it did not run, or stopped
};
// A line of the console: its kind, the program's line it is about (0 when
// none), and where it is in the console's text (its line end not included).
struct ParserLinha {
  ParserTipo tipo = ParserTipo::Texto;
  int linha = 0;
  size_t inicio = 0, fim = 0;
};

// Everything about one run, as it goes and once it ended: the one value the
// window, olpa-rodar, the grading and the tests read.
struct ParserResultado {
  // The console text as it stands (framing, the compiler's messages, the
  // program's text, how it ended), valid UTF-8. It only grows while the run
  // lasts, except when `trocado` counts up: then it was replaced whole.
  std::string texto;
  int trocado = 0;
  // The end, once it came.
  bool terminou = false;
  ParserFim fim = ParserFim::NaoRodou;
  bool sucesso = false;            // it ran and ended well: "[olpa] sucesso!"
  bool aparencia_de_erro = false;  // the console in its error look, the start picture shown
  std::vector<ParserLinha> linhas; // the console's lines with their kinds, as they complete
  std::vector<int> marcas_erro;    // the program's lines to mark as errors
  std::vector<int> marcas_aviso;   // ... and as warnings
  // The picture: while the run lasts, its canvas when it changed (`quadro`,
  // valid during the call); at its end, what the view shows (`figura`, valid
  // until the next run; null for the start picture), the export path, and
  // whether this run wrote a picture there.
  const unsigned char *quadro = nullptr;
  const unsigned char *figura = nullptr;
  std::string caminho;
  bool figura_gravada = false;
  // A run beside others keeps its picture's pixels here (`figura` points
  // into them), or, when it was stopped, its canvas as far as it got
  // (`figura` null; untrusted pixels, nothing more): they outlive the run as
  // long as this value.
  std::vector<unsigned char> pixels;
  // Every call the program made of a learner function, with its arguments
  // and its line (olpa_registro.h): once the program ran, at its end however
  // it ended, and while it stands paused (as far as it got). Null when it
  // never ran (or nothing was recorded).
  std::shared_ptr<const OlpaRegistro> registro;
  // Its steps (olpa_passos.h), for the window's runs that ended: gone through
  // as far as the console's notice needed; whoever shows them goes on.
  std::shared_ptr<OlpaPassos> passos;
  // Paused (ParserMomento::Pausa): the step the program stands before, its
  // call already in the record (0 while it runs).
  uint64_t pausa = 0;
  // Why the file the run left at the export path is no picture of 640 x 480
  // (in Portuguese), when it left one that is not.
  std::string figura_recusada;
};

// The text of a line of the console.
std::string parser_linha_texto(const ParserResultado &r, const ParserLinha &l);

// Why the listener is called: the console text grew (or was replaced), the
// canvas changed (at most 60 times a second, once the run has lasted long
// enough to be seen; not while a pause is asked), the program stands paused
// (its canvas in `quadro`), or the run ended.
enum class ParserMomento { Texto, Tela, Pausa, Fim };
using ParserOuvinte = void (*)(const ParserResultado &resultado, ParserMomento momento,
                               void *dados);

// Whether the compiler's warnings go to the console (by default they do; not
// when the analyser, which tells them better, is there). Set before a zygote
// is made: children are forked with it.
void parser_define_avisos_do_compilador(bool mostrar);

// Compiles and runs one program, waiting for the end in a main context of
// its own. 1 when it compiled, linked and its main (if any) returned or
// called exit; 0 when anything failed (or the learner stopped it). Its whole
// outcome in *resultado, when given.
int parser_executa(const char *codigo, ParserResultado *resultado = nullptr);

// Starts running `codigo` (a copy is taken) from the thread-default main
// context and returns at once; a run in progress is stopped first. The
// listener hears the framing at once, then the run as it goes; the end
// always comes from the main loop, never from inside this call.
void parser_comeca(const char *codigo, ParserOuvinte ouvinte, void *dados = nullptr);

// A run beside any others (a class graded at once): from the drawing
// library's defaults, in the run tree whose bin/ folder is `pasta` (a
// descriptor, kept open by the caller until the end), with its own memory,
// its own time limit and nothing handed back to this process's drawing
// state, and nothing it wrote carried into that tree's telas. It is heard
// like parser_comeca's (no frames); its picture is in the outcome.
struct ParserAoLado {
  double tempo_limite = 10.0;
  bool sem_espera = false;
  int pasta = -1;
};
void parser_roda_ao_lado(const char *codigo, const ParserAoLado &ajustes, ParserOuvinte ouvinte,
                         void *dados);
// How many runs beside others are going on.
int parser_ao_lado_em_curso(void);
// Stops every run beside others, as parser_interrompe stops the window's:
// each one's end is reported before this returns.
void parser_interrompe_ao_lado(void);
// Stops the run in progress, if any: its child and everything it started are
// killed, the console gets "[olpa] programa interrompido.", and the end is
// reported before this returns.
void parser_interrompe(void);
// 1 while a run is in progress.
int parser_rodando(void);
// Pausar: the window's run stops before its next call of a learner
// function, and is told as ParserMomento::Pausa (again after each Passo).
// The time it stands paused counts towards no limit. Passo: one more call,
// then paused again. Continuar: it goes on.
void parser_pausa(void);
void parser_passo(void);
void parser_continua(void);
// Whether Pausar was asked of the run in progress (and not Continuar since).
int parser_pausado(void);

// What the console says when no compiler state can be made.
extern const char *const PARSER_SEM_COMPILADOR; // "[erro fatal] linguagem olpa ausente.\n"
// 1 when a compiler state can be created, 0 when not.
int parser_inicia(void);

// Descriptor that trace lines and compiler warnings go to (standard output
// by default).
void parser_define_trace(int fd);

// Time limit of a run, in seconds (10 by default); time spent in espera does
// not count.
void parser_define_tempo_limite(double segundos);
// espera returns at once (for a batch of programs to check).
void parser_define_sem_espera(bool sem_espera);
// How much of each run's calls the record keeps: the first `chamadas`
// calls, and `textos` bytes of their texts (at most, and by default,
// 1,000,000 and 1 MiB); 0 calls: nothing is recorded.
void parser_define_registro(uint32_t chamadas, uint32_t textos);
// At each espera, the canvas goes as a picture to "../telas/<pasta>/" (which
// must exist), named "NNNNN-MS.png": the frame's number and how long it is
// shown, in milliseconds. At most PARSER_QUADROS_MAX per run. Empty: none.
void parser_define_quadros(const char *pasta);
constexpr int PARSER_QUADROS_MAX = 1000;

// Forks, while this process is still small (before a window is built), the
// process children are made from; without it they are forked from this one.
void parser_prepara_zigoto(void);
// The zygote's process id; 0 when there is none.
int parser_zigoto(void);
// Forks the child for the next run ahead of time, while nothing is waiting.
// parser_executa forks one itself when none is ready.
void parser_prepara(void);
// Stops a run in progress and ends a prepared child and the zygote, if any
// (before the application exits).
void parser_encerra(void);

// A run's budget beneath ../telas: what a program may write there in one
// run, in bytes and in files (folders included). A drawing program never
// needs this much; one that fills it has nothing it wrote kept.
constexpr long long PARSER_ORCAMENTO_BYTES = 256ll << 20;
constexpr long long PARSER_ORCAMENTO_ARQUIVOS = 4096;

// Removes the entry `nome` of the folder `pasta`, the whole tree if it is a
// folder, however deep and whatever it holds, never following a link.
bool parser_remove_arvore(int pasta, const char *nome);

// The file at `caminho` ("../telas/NOME"), opened for reading beneath
// ../telas without following any link, when it is a regular file; -1
// (errno set) when not. Its size (-1 when it cannot be opened so). Its
// pixels, when it is a 640 x 480 PNG: the canvas as cairo holds it.
int parser_abre_em_telas(const char *caminho);
long parser_tamanho_em_telas(const char *caminho);
bool parser_le_figura(const char *caminho, std::vector<unsigned char> *argb);
// The pixels of the PNG in the file open at `fd` (from where it stands), when
// it is a regular file holding a picture of 640 x 480 in any PNG format;
// false with the reason, in Portuguese, in *motivo.
bool parser_le_figura_fd(int fd, std::vector<unsigned char> *argb, std::string *motivo);

// The line, counted from 0, of the "{" that a "}" at byte `ate` of `texto`
// closes; -1 when none does. Braces in comments, strings and character
// constants do not count. (For the editor's brace matching.)
int parser_linha_da_abertura(const char *texto, size_t ate);
// The compiler's warnings never shown (patterns of GRegex), for the help.
std::vector<std::string> parser_avisos_descartados();

// Limit of program text shown per run.
constexpr size_t PARSER_LIMITE_SAIDA = 1024 * 1024;
// Limit of a program's code: a code file larger than this is neither loaded
// nor saved.
constexpr size_t PARSER_LIMITE_CODIGO = PARSER_LIMITE_SAIDA;

// Reads the code file at `caminho` the one way the window and olpa-rodar
// take it: only a regular file (never blocking), at most PARSER_LIMITE_CODIGO
// bytes, no NUL byte; UTF-8 kept, anything else read as Windows-1252 (or
// ISO-8859-1); a lone CR ends a line. False with a Portuguese reason.
bool parser_le_codigo(const char *caminho, std::string *texto, std::string *motivo);
// The same for bytes read some other way (standard input).
bool parser_decodifica_codigo(const std::string &bytes, std::string *texto, std::string *motivo);

// `texto` safe to show on a terminal: control characters but line ends and
// tabs written as \xNN (or \uNNNN), bytes that are not UTF-8 as \xNN.
std::string parser_escapa_controles(const std::string &texto);
