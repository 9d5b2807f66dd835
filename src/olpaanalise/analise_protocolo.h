// SPDX-License-Identifier: GPL-3.0-or-later
// What the window (or olpa-rodar) and the analyser process olpa-analisa say
// to each other. The ranges of the learner functions it checks on constant
// arguments are the table's (olpa_funcoes.h).
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

// The option of the findings of the ranges check; its message is
// "FUNCAO ARGUMENTO VALOR", the argument counted from 1, and its one note,
// "chamada", spans the whole call.
constexpr char ANALISE_OPCAO_FAIXA[] = "olpa-faixa";

// The option of a function the program defines when it defines no main;
// its message is the function's name.
constexpr char ANALISE_OPCAO_SEM_MAIN[] = "olpa-sem-main";

// The note the analyser adds to an error on a line that uses a macro whose
// #define ends in ';', at that #define: "NOTA 'NOME'".
constexpr char ANALISE_NOTA_DEFINE[] = "olpa-define-com-ponto-e-virgula";
