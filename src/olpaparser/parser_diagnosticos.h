// SPDX-License-Identifier: GPL-3.0-or-later
// The compiler's messages about one program as the learner reads them.
// GTK-free.
#pragma once

#include <string>
#include <vector>

// The name the program's own lines go by, in the compiler's messages and in
// what the C library says of them (an assert's line).
constexpr char PARSER_ARQUIVO[] = "programa";

struct Diagnostico {
  bool aviso = false; // a warning: shown, but the program runs
  int linha = 0;      // in the program; 0 when none
  std::string texto;  // "[erro] linha 3: ...\n", "[aviso] linha 5: ...\n"
};

// What the compiler said (its messages in the order they came) about
// `codigo`, translated and placed, warnings dropped when there are errors
// and sorted by line; with the runner's own warnings about the source.
std::vector<Diagnostico> parser_diagnosticos(const std::string &codigo,
                                             const std::vector<std::string> &mensagens);
// The compiler's warnings never shown (patterns, "%s" for any text).
std::vector<std::string> parser_avisos_descartados();
