// What the window (or olpa-rodar) and the analyser process olpa-analisa say
// to each other, and the per-argument ranges of the learner functions that
// the analyser checks on constant arguments. Plain C++, no library.
//
// Request:  "analisa SEQ N\n" followed by N bytes of program text.
// Answer:   one line a finding, then "fim\tSEQ\n". Fields are tab-separated;
//           lines and columns count from 1 in the program's text, columns
//           in bytes, ends one past the last byte:
//   d\tSEVERIDADE\tL\tC\tL2\tC2\tOPCAO\tMENSAGEM   a diagnostic ("e" error, "a" warning)
//   n\tL\tC\tL2\tC2\tMENSAGEM                      a note of the diagnostic before (L 0: elsewhere)
// The first line the analyser writes is "pronto\tMOTIVO" once it is
// confined (MOTIVO empty, or what could not be put in place).
#pragma once

#include <climits>

// The option of the findings of the ranges check; its message is
// "FUNCAO ARGUMENTO VALOR", the argument counted from 1, and its one note,
// "chamada", spans the whole call.
constexpr char ANALISE_OPCAO_FAIXA[] = "olpa-faixa";

// The option of a function the program defines when it defines no main;
// its message is the function's name.
constexpr char ANALISE_OPCAO_SEM_MAIN[] = "olpa-sem-main";

// An argument of a learner function with the values it takes.
struct AnaliseFaixa {
  const char *funcao;
  int argumento; // from 1
  long minimo, maximo;
  bool sem_zero; // zero is the one value out of range
};

// The drawing library's own rules that no C compiler knows.
constexpr AnaliseFaixa ANALISE_FAIXAS[] = {
    {"cor", 1, 0, 255, false},
    {"cor", 2, 0, 255, false},
    {"cor", 3, 0, 255, false},
    {"cor_e_opacidade", 1, 0, 255, false},
    {"cor_e_opacidade", 2, 0, 255, false},
    {"cor_e_opacidade", 3, 0, 255, false},
    {"cor_e_opacidade", 4, 0, 100, false},
    {"opacidade", 1, 0, 100, false},
    {"traco", 1, 1, LONG_MAX, false},
    {"escala", 1, LONG_MIN, LONG_MAX, true},
    {"escala", 2, LONG_MIN, LONG_MAX, true},
    {"espera", 1, 0, 10000, false},
};
