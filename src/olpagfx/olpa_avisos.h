// SPDX-License-Identifier: GPL-3.0-or-later
// What a run's record tells about a picture that shows nothing, or loses
// strokes: one "[olpa]" line naming the first line at fault. GTK-free.
#pragma once

#include "olpa_passos.h"
#include "olpa_registro.h"

#include <string>
#include <vector>

// The notice for a run that ended well, from its record (with its lines:
// olpa_registro_define_linhas), its steps and the program's text; empty
// when nothing was lost. Strokes lost are told only once the steps have
// been gone through whole (olpa_passos_percorre). The line it names first
// (the one at fault) in *linha, when given (0 when none).
std::string olpa_avisos_do_registro(const OlpaRegistro &registro, const OlpaPassos *passos,
                                    const std::string &codigo, int *linha = nullptr);

// ------------------------------------------------------------ the program's text
// (olpa_controle.cpp)

// What can keep a line of a program from running.
enum class OlpaBloco { Nenhum, Laco, Se, Senao, Escolha, Funcao };
struct OlpaControle {
  int chamada = 0;                    // the line of the call; 0: the program makes none
  OlpaBloco tipo = OlpaBloco::Nenhum; // what kept it from running
  int linha = 0;                      // ... on this line
  std::string funcao;                 // ... a function of this name (never called)
};
// The first call in the program's text of a function named in `nomes`, and
// the construct around it (a loop, an if or else, a switch, a function
// other than main) most likely to have kept it from running: the outermost
// in which no line of `rodaram` (lines whose calls ran) is, else the
// innermost.
OlpaControle olpa_controle_da_chamada(const std::string &codigo,
                                      const std::vector<std::string> &nomes,
                                      const std::vector<int> &rodaram);

// The innermost loop (for, while, do) whose lines hold `linha`: its first
// line (0 when there is none), and whether it does nothing but count, as a
// loop written to pass time does.
struct OlpaLaco {
  int linha = 0;
  bool so_conta = false;
};
OlpaLaco olpa_controle_laco_da_linha(const std::string &codigo, int linha);
// The first loop from line `desde` on with nothing in its body (for (;;) {}):
// its line, 0 when none. (Such a loop has no line of its own in the
// compiler's table: its jump is told as the line before it.)
int olpa_controle_laco_vazio(const std::string &codigo, int desde);
