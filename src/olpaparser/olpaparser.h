// Compiling and running a learner's program. Each run compiles, links and
// runs in a child process, so that nothing the program does (crash, endless
// loop, memory grab, exit) can take the application or the learner's code
// with it. The drawing library's state is handed to the child before the run
// and back after it, so it carries from one run to the next as if everything
// ran in one process. GTK-free.
#pragma once

#include <string>
#include <vector>

// Where a run's outcome goes; the window and the command-line runner each
// install their own. Any hook may be null.
struct ParserSaida {
  // Append to the run's console text: the program's text as it comes, then
  // the run's own messages.
  void (*console_insere)(const char *texto);
  void (*console_substitui)(const char *texto); // replace the whole console text
  void (*console_erro)();                       // error look + start picture
  void (*marca_erro)(int linha);                // mark an error line in the editor
  void (*marca_aviso)(int linha);               // mark a warning line in the editor
};

void parser_define_saida(const ParserSaida &saida);

// Compiles and runs one program. 1 when it compiled, linked and its main (if
// any) returned or called exit; 0 when anything failed (or the learner
// stopped it), after that has been reported through the hooks. Waits for the
// end in a main context of its own.
int parser_executa(const char *codigo);

// How the last run ended, for callers that grade runs rather than show them.
enum class ParserFim {
  Terminou,     // main returned or exit was called
  NaoRodou,     // compiling or linking failed, or no run could start
  Interrompido, // stopped: a crash, the time limit, too much memory, a forbidden call, Parar
};
ParserFim parser_ultimo_fim(void);

// What a run started with parser_comeca tells its caller as it goes, besides
// the hooks. Either may be null.
struct ParserEscuta {
  // The canvas changed: its pixels now, 640 x 480 ARGB32 as cairo holds
  // them, valid during the call. At most 60 times a second, and only once
  // the run has lasted long enough to be seen.
  void (*tela)(const unsigned char *argb);
  // The run ended, with parser_executa's result; the hooks have been called.
  void (*fim)(int resultado);
};
// Starts running `codigo` (a copy is taken) from the thread-default main
// context and returns at once; a run in progress is stopped first. The end
// always comes from the main loop, never from inside this call.
void parser_comeca(const char *codigo, const ParserEscuta &escuta);
// Stops the run in progress, if any: its child and everything it started are
// killed, the console gets "[olpa] programa interrompido.", and the end is
// reported before this returns.
void parser_interrompe(void);
// 1 while a run is in progress.
int parser_rodando(void);

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

// What the picture view shows after a run that ended well, as 640 x 480
// ARGB32 (as cairo holds it) valid until the next run: the picture it left
// at the export path (read from the file), or its canvas as drawn when it
// wrote none there; null for the start picture (it drew nothing). Never an
// earlier run's picture.
const unsigned char *parser_vista(void);

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
