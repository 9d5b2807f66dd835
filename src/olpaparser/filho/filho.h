// SPDX-License-Identifier: GPL-3.0-or-later
// The child: the process a learner's program runs in (filho.cpp), and what it
// uses there: compiling and linking (compila.cpp), what the text may make
// the compiler do (politica.cpp), the table of lines (linhas.cpp), the
// run-time checks (verifica.cpp), espera (espera.cpp), its memory readied
// (aquece.cpp) and its own space in ../telas (espaco.cpp).
#pragma once

#include "comum.h"
#include "eventos.h"
#include "diagnosticos.h"

// ------------------------------------------------------------ compiling (compila.cpp)

// Who hosts a compile-and-run, told of each step: the child (filho.cpp), or
// for the benchmarks' floor this very process (medidas.cpp).
struct Hospedeiro {
  bool (*confina)();        // before the compiler reads the text; false: it may not go on
  void (*evento)(Evento e); // a step of the compile (SemCompilador, NaoCompilou, ...)
  void (*mensagem)(const Diagnostico &d);            // a compiler message, translated and placed
  void (*rastro)(const char *texto, size_t tamanho); // the compiler's own words, as trace
  void (*registra)(TCCState *s);                     // names besides the learner functions
  void (*ligado)(TCCState *s, void *bloco, size_t tamanho); // the program is in memory
  void (*solta)(const TabelaDeLinhas &tabela);              // main is about to run
  void (*fim)(int codigo); // main returned (a child never comes back from it)
};
// Compiles, links and runs `texto` (the prelude, then the program's code) in
// this process; 1 when main returned and the host came back from its end.
int compila_e_roda(const std::string &texto, const Hospedeiro &h);
// The memory file the object file goes through, made now (a child does so
// before it is confined), and closed (before the program runs).
void compila_prepara_objeto();
void compila_fecha_objeto();

// What every program is compiled with in front of it: the learner
// functions declared, and a marker at the head of the table of the bounds
// of its static data.
const std::string &compila_preludio();
constexpr char COMPILA_MARCO_DE_LIMITES[] = "__olpa_limites";
constexpr uintptr_t COMPILA_TAMANHO_DO_MARCO = 8;
// Whether programs are compiled with tcc's bounds checks (the default when
// tcc's checker is installed).
bool compila_verificando();
// A compiler state made ready to compile a program as every run does.
void compila_ajusta(TCCState *s, int tipo_de_saida);

// What a program's text may make the compiler do (politica.cpp): while
// `vigiar` holds, tcc opens headers only from the system's header folders,
// loads only the system's libraries, and takes no option from the text.
void politica_vigia(bool vigiar);
// The line of the first "#pragma comment" (or _Pragma of one) in `codigo`; 0 when none.
int politica_pragma_proibido(const std::string &codigo);

// The child's allocations and threads, guarded (filho.cpp): the names
// programs reach them by.
struct GuardaDeMemoria {
  const char *nome;
  void *funcao;
};
const std::vector<GuardaDeMemoria> &filho_guardas_de_memoria();

// The checks in a child (verifica.cpp): the guards registered (through the
// bounds checker's own lookup when it checks); after relocation, the checker
// started and its failures caught; the handlers of faults.
void verifica_registra(TCCState *s);
void verifica_prepara(TCCState *s, const void *bloco, size_t tamanho);
// Only addresses in the program's own code are noted from then on.
void verifica_so_o_programa(const TabelaDeLinhas &t);
void verifica_sinais(uintptr_t topo_da_pilha, size_t limite_da_pilha);

// ------------------------------------------------------------ the child (filho.cpp)

// A child's whole life once forked: descriptors, limits and signals, then the
// code read from `comando`, compiled, linked and run. `aquecer`: touch now,
// while nobody waits, what the run would otherwise pay for.
[[noreturn]] void filho_vive(int comando, int console, int controle, int memoria, bool aquecer);
// Readies a child's memory (aquece.cpp): the warm-up while nobody waits; the
// shared pages at once when a run waits.
void aquece_tudo();
void aquece_povoa();
// This process's page faults so far.
long filho_faltas();
// A trace line of the child's (kept in shared memory once main runs).
void filho_rastro(const char *texto, size_t tamanho);

// ------------------------------------------------------------ espera in a child (espera.cpp)

// Before main: the run's espera settings read, and espera and every change of
// the canvas told to the application through shared memory.
void espera_prepara_filho();

// ------------------------------------------------------------ its own space (espaco.cpp)

// In the child, before anything else: ../telas overlaid by a memory file
// system of the budget's size, in namespaces of its own. Its root, for the
// application; -1 when the kernel gives no user namespace (the program then
// writes into ../telas itself).
int espaco_prepara_filho();
