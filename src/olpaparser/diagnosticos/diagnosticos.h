// SPDX-License-Identifier: GPL-3.0-or-later
// The compiler's messages about one program as the learner reads them,
// translated, placed and explained by the records of dados/compilador.ini.
// GTK-free.
#pragma once

#include <string>
#include <vector>

// The name the program's own lines go by, in the compiler's messages and in
// what the C library says of them (an assert's line).
constexpr char DIAGNOSTICOS_ARQUIVO[] = "programa";

struct Diagnostico {
  bool aviso = false; // a warning: shown, but the program runs
  int linha = 0;      // in the program; 0 when none
  std::string texto;  // "[erro] linha 3: ...\n", "[aviso] linha 5: ...\n"
};

// What the compiler said (its messages in the order they came) about
// `codigo`, translated and placed, warnings dropped when there are errors
// (or always, when the analyser tells them), sorted by line.
std::vector<Diagnostico> diagnosticos_do_compilador(const std::string &codigo,
                                                    const std::vector<std::string> &mensagens);
// Whether the compiler's warnings are shown (by default they are; off when
// the analyser, which tells them better, is there). Set before children
// are made.
void diagnosticos_define_avisos(bool mostrar);
// The Portuguese of one compiler message as it would reach the console
// (a line of "programa:N: error: ..." or "warning: ..."), alone; empty when
// it is one never shown. For the table's checks.
std::string diagnosticos_traduz(const std::string &mensagem);
// The patterns of the compiler's warnings never shown.
std::vector<std::string> diagnosticos_avisos_descartados();
