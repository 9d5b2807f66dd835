// SPDX-License-Identifier: GPL-3.0-or-later
// What the runner's two sides share, the application's and the child's: the
// settings of a run, the memory they share, how a child ends, what it notes
// of a fault and the table of the program's lines. Private to the runner.
#pragma once

#include "olpa_registro.h"
#include "olpagfx.h"
#include "olpaparser.h"
#include "olpaparser_medidas.h"

#include <atomic>
#include <csignal>
#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include <sys/types.h>
#include <unistd.h>

#include <libtcc.h>

struct TccDeleter {
  void operator()(TCCState *s) const { tcc_delete(s); }
};
using TccPtr = std::unique_ptr<TCCState, TccDeleter>;

double parser_agora_ms();
// Writes all of `dados` unless the descriptor fails; false then. Reads
// exactly `tamanho` bytes; false when the stream ended or failed first.
bool parser_escreve_tudo(int fd, const void *dados, size_t tamanho);
bool parser_le_tudo(int fd, void *dados, size_t tamanho);
// On a Unix socket: `dados` with `quantos` descriptors (true when all went),
// and what came with the descriptors it brought (appended to *fds, each the
// caller's to close).
bool parser_envia_com_descritores(int canal, const void *dados, size_t tamanho, const int *fds,
                                  int quantos);
ssize_t parser_recebe_com_descritores(int canal, void *dados, size_t tamanho,
                                      std::vector<int> *fds);

// ------------------------------------------------------------ settings

struct ParserAjustes {
  int fd_trace = 1;           // where trace lines and warnings go (standard output)
  double tempo_limite = 10.0; // seconds a run may take, not counting espera
  bool sem_espera = false;    // espera returns at once
  std::string quadros;        // folder a picture goes to at each espera; empty: none
  bool confinar = true;       // off only in the benchmark of what confining costs
  bool verificar = true;      // bounds checks, when tcc's checker is installed; off to measure them
  OlpaRegistroMedidas registro; // how much of a run's calls is recorded (no calls: none)
};
extern ParserAjustes parser_ajustes;
extern ParserTempos parser_tempos_atuais;

// ------------------------------------------------------------ faults and lines

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
int linhas_da_falha(const TabelaDeLinhas &t, int ultima, const EnderecosDaFalha &enderecos,
                    bool mais_frequente = false);

struct Falha {
  TipoDeFalha tipo;
  char funcao[32];
  uint64_t quadro; // bytes of the faulting function's frame
  EnderecosDaFalha enderecos;
};

// ------------------------------------------------------------ pictures beneath a telas
// (parser_telas.cpp)

// The file at `caminho` ("../telas/NOME") of the run tree whose bin/ is
// `pasta` (AT_FDCWD: this process's), opened beneath that telas without
// following links, when regular; and the pixels of the PNG in the file open
// at `fd`, or at `caminho`, when it is 640 x 480 (otherwise why not, when
// `motivo` is given).
int telas_abre(int pasta, const char *caminho);
bool telas_le_figura_fd(int fd, std::vector<unsigned char> *argb, std::string *motivo = nullptr);
bool telas_le_figura(int pasta, const char *caminho, std::vector<unsigned char> *argb,
                     std::string *motivo = nullptr);

// ------------------------------------------------------------ a run's own space

// Its folders in the memory file system: what the program left, and the
// overlay's own work.
constexpr char ESPACO_CIMA[] = "cima";
constexpr char ESPACO_TRABALHO[] = "trabalho";

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
  // The size of the record of the program's calls in this run (written
  // before the child reads its code; no calls: nothing recorded).
  uint32_t registro_chamadas, registro_textos;
  // Pausar and Passo: while `pausar` holds, the program waits before any
  // call past step `liberado`, saying which in `pausado_em` (0 while it
  // runs); `vez` is bumped, and woken, at each change of the two.
  std::atomic<uint32_t> pausar;
  std::atomic<uint32_t> vez;
  std::atomic<uint64_t> liberado;
  std::atomic<uint64_t> pausado_em;
  // Where the program was when the application stopped it (the time limit,
  // Parar): noted by the child when asked (SINAL_DE_PARADA), just before it
  // is killed.
  EnderecosDaFalha parada;
  volatile sig_atomic_t parada_anotada;
  volatile sig_atomic_t parada_no_salto; // ... at a jump to itself (an empty loop)
  alignas(64) unsigned char pixels[OLPA_TELA_BYTES];
};
extern Compartilhado *parser_memoria;

// The memory file a run shares is Compartilhado, then, from the next page,
// the record of the program's calls at its largest (a mapping of its own:
// the warm-up never touches it, and only the calls made take memory).
inline size_t memoria_registro_inicio() {
  const size_t pagina = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  return (sizeof(Compartilhado) + pagina - 1) / pagina * pagina;
}
inline size_t memoria_tamanho() {
  return memoria_registro_inicio() + olpa_registro_tamanho();
}

// What the application sends a child to have it note where its program is
// (ignored by default: a child that has not set itself up for it goes on).
constexpr int SINAL_DE_PARADA = SIGURG;

// How a child ends besides its clean _exit(0) after main (or exit).
constexpr int SAIDA_SEM_MEMORIA = 3; // the program asked for memory it could not have
constexpr int SAIDA_PROIBIDA = 4;    // a refused system call (its number in shared memory)
constexpr int SAIDA_VERIFICACAO = 5; // a bounds check failed (the fault in shared memory)
